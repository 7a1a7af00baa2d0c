// The whole-animation edits on a 65535 x 65535 screen holding a few small frames: those that need
// screen-sized pictures refuse with a message before allocating them; crop and speed, which need none,
// still work. The address space is held low while they run, so that a missing check fails the test with
// an allocation failure instead of filling the machine's memory.
#include <gtest/gtest.h>
#include <sys/resource.h>
#include <unistd.h>

#include <fstream>

#include "edit/transforms/transforms.h"
#include "support/builders.h"
#include "support/composed.h"
#include "support/hooks_fixture.h"

namespace lw {
namespace {

#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
constexpr bool kSanitized = true;  // the sanitizers reserve terabytes of address space up front
#else
constexpr bool kSanitized = false;
#endif

// Caps the address space at what the process uses now plus one gigabyte, for the object's life.
class AddressSpaceCap {
 public:
  AddressSpaceCap() {
    if (kSanitized || getrlimit(RLIMIT_AS, &old_) != 0) return;
    size_t pages = 0;
    std::ifstream("/proc/self/statm") >> pages;
    const rlim_t cap =
        static_cast<rlim_t>(pages) * static_cast<rlim_t>(sysconf(_SC_PAGESIZE)) + (rlim_t{1} << 30);
    if (old_.rlim_cur != RLIM_INFINITY && old_.rlim_cur < cap) return;
    rlimit now{cap, old_.rlim_max};
    set_ = setrlimit(RLIMIT_AS, &now) == 0;
  }
  ~AddressSpaceCap() {
    if (set_) setrlimit(RLIMIT_AS, &old_);
  }
  AddressSpaceCap(const AddressSpaceCap&) = delete;
  AddressSpaceCap& operator=(const AddressSpaceCap&) = delete;

 private:
  rlimit old_{};
  bool set_ = false;
};

// Three 4 x 4 frames: at the top left, in the middle, at the bottom right; delays 10, 20, 30.
AnimationPtr HugeScreenSample() {
  AnimationPtr a = test::MakeAnimation(0, 65535, 65535);
  const int32_t places[3][2] = {{0, 0}, {30000, 30000}, {65531, 65531}};
  for (int k = 0; k < 3; ++k) {
    FramePtr f =
        test::MakeFrame(4, 4, a->globalPalette.get(), [k](int x, int) { return uint8_t((x + k) % 4); });
    SetFramePosition(*f, places[k][0], places[k][1]);
    SetDelay(*f, static_cast<uint32_t>(10 * (k + 1)));
    AppendBlock(*a, std::move(f));
    AddFrameCount(*a, 1);
  }
  return a;
}

class HugeScreen : public test::RecordingTest {};

TEST_F(HugeScreen, EditsThatComposeTheScreenRefuseBeforeAllocating) {
  AnimationPtr a = HugeScreenSample();
  const std::vector<std::pair<const char*, std::function<bool()>>> edits = {
      {"resize to half",
       [&] {
         return ResizeAnimation(*a, {32768, 32768, ResizeFilter::kLanczos, true}, nullptr);
       }},
      {"resize to a thumbnail",
       [&] {
         return ResizeAnimation(*a, {64, 64, ResizeFilter::kNearest, false}, nullptr);
       }},
      {"reverse", [&] { return ReverseAnimation(*a); }},
      {"drop every 2nd", [&] { return DropEveryNthFrame(*a, 2); }},
      {"drop to 5 fps", [&] { return DropToFrameRate(*a, 5); }},
      {"dedupe", [&] { return RemoveDuplicateFrames(*a); }},
  };
  AddressSpaceCap cap;
  for (const auto& [name, edit] : edits) {
    hooks.entries.clear();
    EXPECT_FALSE(edit()) << name;
    ASSERT_EQ(hooks.entries.size(), 1u) << name;
    EXPECT_EQ(hooks.entries[0].text, "Not enough memory to hold 3 frames of 65535 x 65535 pixels.") << name;
    EXPECT_EQ(a->screenWidth, 65535);
    EXPECT_EQ(a->frameCount, 3);
    EXPECT_EQ(test::FrameDelays(*a), (std::vector<uint32_t>{10, 20, 30})) << name;
    EXPECT_EQ(NthFrame(*a, 2)->left, 65531) << name;
  }
}

TEST_F(HugeScreen, CropAndSpeedNeedNoScreenSizedPictures) {
  AnimationPtr a = HugeScreenSample();
  AddressSpaceCap cap;
  const SpeedResult s = ChangeSpeed(*a, 2);
  EXPECT_TRUE(s.changed);
  EXPECT_EQ(test::FrameDelays(*a), (std::vector<uint32_t>{5, 10, 15}));
  // The bottom right corner: the last frame kept whole, the two others outside it.
  ASSERT_TRUE(CropScreen(*a, 65525, 65525, 10, 10));
  EXPECT_TRUE(hooks.entries.empty());
  EXPECT_EQ(a->screenWidth, 10);
  EXPECT_EQ(a->frameCount, 3);
  const auto pictures = test::ComposedFrames(*a);
  ASSERT_EQ(pictures.size(), 3u);
  const Frame* last = NthFrame(*a, 2);
  EXPECT_EQ(last->left, 6);
  EXPECT_EQ(last->top, 6);
  EXPECT_EQ(last->width, 4);
  EXPECT_EQ(pictures[0], pictures[1]);  // nothing of the first two frames shows in the corner
  EXPECT_NE(pictures[1], pictures[2]);
}

}  // namespace
}  // namespace lw
