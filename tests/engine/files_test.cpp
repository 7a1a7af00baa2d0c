#include <gtest/gtest.h>

#include "io/files.h"
#include "model/preferences.h"
#include "platform/recording_ui_hooks.h"

namespace lw {
namespace {

TEST(ReadAnyFile, BitmapsOpenByTheirExtensionInAnyCase) {
  ReadPreferences(nullptr);
  RecordingUiHooks hooks;
  ScopedUiHooks scope(&hooks);
  std::string path = std::string(LW_TEST_DATA) + "/bmp/pal8.bmp";
  AnimationPtr a;
  ASSERT_EQ(ReadAnyFile(path, &a, nullptr), 1);
  ASSERT_EQ(a->frameCount, 1);
  EXPECT_EQ(GetFrameName(*FirstFrame(*a)), "[Unnamed]");
  EXPECT_EQ(FirstFrame(*a)->width, a->screenWidth);
  uint64_t counted = 0;
  for (uint32_t c : a->colorUse) counted += c;
  EXPECT_EQ(counted, uint64_t(a->screenWidth) * uint64_t(a->screenHeight));
  EXPECT_TRUE(hooks.entries.empty());
}

}  // namespace
}  // namespace lw
