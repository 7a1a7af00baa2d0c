#include <gtest/gtest.h>

#include <map>
#include <random>
#include <vector>

#include "gif/gif_lzw.h"
#include "gif/gif_sink.h"
#include "optimize/lzw_choice.h"

namespace lw {
namespace {

// The size of GIF image data by the textbook algorithm: a map for the string table, a clear code when
// the 4096 codes are used up, the code width growing once the next code no longer fits.
uint64_t ReferenceSize(const std::vector<uint8_t>& px, int minCodeSize) {
  const int clear = 1 << minCodeSize;
  int width = minCodeSize + 1, next = clear + 2;
  bool pendingReset = false;
  uint64_t bits = 0;
  std::map<std::pair<int, int>, int> table;
  auto emit = [&] {
    bits += static_cast<uint64_t>(width);
    if (pendingReset) {
      width = minCodeSize + 1;
      pendingReset = false;
    } else if (next > (1 << width) - 1 && width < 12) {
      ++width;
    }
  };
  emit();
  int ent = px[0];
  for (size_t i = 1; i < px.size(); ++i) {
    auto it = table.find({ent, px[i]});
    if (it != table.end()) {
      ent = it->second;
      continue;
    }
    emit();
    if (next < 4096) {
      table[{ent, px[i]}] = next++;
    } else {
      table.clear();
      next = clear + 2;
      pendingReset = true;
      emit();
    }
    ent = px[i];
  }
  emit();
  emit();
  uint64_t bytes = (bits + 7) / 8;
  return 1 + bytes + (bytes + 253) / 254 + 1;
}

TEST(LzwChooser, SizesMatchTheTextbookEncoder) {
  std::mt19937 rng(7);
  LzwChooser chooser;
  for (int minCodeSize : {2, 4, 8}) {
    for (size_t n : {size_t{1}, size_t{2}, size_t{300}, size_t{20000}, size_t{90000}}) {
      for (int alphabet : {2, 3, 1 << minCodeSize}) {
        std::vector<uint8_t> px(n);
        // Runs of random length, so strings repeat and the table fills (and clears) at every code width.
        for (size_t i = 0; i < n;) {
          uint8_t v = static_cast<uint8_t>(rng() % static_cast<uint32_t>(alphabet));
          for (size_t r = 1 + rng() % 6; r > 0 && i < n; --r) px[i++] = v;
        }
        ASSERT_EQ(chooser.Size(px.data(), n, minCodeSize), ReferenceSize(px, minCodeSize))
            << "n " << n << " alphabet " << alphabet << " code size " << minCodeSize;
      }
    }
  }
}

// With the table kept once full, the size is that of the writer's data for the same pixels.
TEST(LzwChooser, KeptTableSizesMatchTheWriter) {
  std::mt19937 rng(11);
  LzwChooser chooser;
  chooser.SetKeepFullTable(true);
  LzwEncoder encoder;
  for (int minCodeSize : {2, 5, 8}) {
    for (size_t n : {size_t{1}, size_t{5000}, size_t{90000}}) {
      std::vector<uint8_t> px(n);
      for (size_t i = 0; i < n;) {
        uint8_t v = static_cast<uint8_t>(rng() % (1u << minCodeSize));
        for (size_t r = 1 + rng() % 4; r > 0 && i < n; --r) px[i++] = v;
      }
      MemorySink sink;
      ASSERT_TRUE(encoder.Encode(
          sink, LzwImage{px.data(), static_cast<int>(n), static_cast<int>(n), 1, false}, minCodeSize, true));
      EXPECT_EQ(chooser.Size(px.data(), n, minCodeSize), sink.bytes.size()) << n << " " << minCodeSize;
      // A table started afresh gives other data once it fills.
      if (n == 90000) {
        EXPECT_NE(ReferenceSize(px, minCodeSize), sink.bytes.size());
      }
    }
  }
}

TEST(LzwChooser, PicksOnlyAllowedValuesAndItsSizeIsTheirs) {
  std::mt19937 rng(11);
  LzwChooser chooser;
  for (int round = 0; round < 40; ++round) {
    // Up to 120000 pixels: enough for the table to fill and be cleared several times.
    const size_t n = 1 + rng() % (round % 4 == 0 ? 120000 : 5000);
    std::vector<uint8_t> a(n), b(n), out(n);
    for (size_t i = 0; i < n; ++i) {
      a[i] = static_cast<uint8_t>(rng() % 6);
      b[i] = rng() % 3 ? a[i] : 7;  // a third of the pixels may be 7 instead
    }
    for (bool preferSecond : {false, true}) {
      uint64_t size = chooser.Choose(a.data(), b.data(), n, 3, preferSecond, out.data());
      for (size_t i = 0; i < n; ++i) ASSERT_TRUE(out[i] == a[i] || out[i] == b[i]) << i;
      // What the writer's encoder makes of the picks is what the chooser promised.
      EXPECT_EQ(size, ReferenceSize(out, 3));
    }
  }
  // Fixed runs of 1 with pixels at random places that may be 5 or 1: letting them be 1 is far smaller
  // than keeping the 5s.
  std::vector<uint8_t> fives(4000, 1), ones(4000, 1), out(4000);
  for (size_t i = 0; i < fives.size(); i += 1 + rng() % 7) fives[i] = 5;
  EXPECT_LT(chooser.Choose(fives.data(), ones.data(), fives.size(), 4, true, out.data()),
            chooser.Size(fives.data(), fives.size(), 4) / 4);
  std::vector<uint8_t> scratch;
  PickFewestRuns(fives.data(), ones.data(), fives.size(), false, out.data(), scratch);
  EXPECT_EQ(out, ones);
}

TEST(PickFewestRuns, BothAtOnceAndTheFlippedChoiceAgreeWithTheSingleOnes) {
  std::mt19937 rng(5);
  std::vector<uint8_t> scratch;
  LzwChooser chooser;
  for (int round = 0; round < 30; ++round) {
    const size_t n = 1 + rng() % 3000;
    std::vector<uint8_t> colour(n), clear(n), one(n), two(n), first(n), second(n), other(n), a(n), b(n);
    for (size_t i = 0; i < n; ++i) {
      colour[i] = static_cast<uint8_t>(rng() % 5);
      clear[i] = rng() % 2 ? colour[i] : 9;
    }
    PickFewestRuns(colour.data(), clear.data(), n, false, one.data(), scratch);
    PickFewestRuns(colour.data(), clear.data(), n, true, two.data(), scratch);
    PickFewestRunsBoth(colour.data(), clear.data(), n, first.data(), second.data(), scratch);
    ASSERT_EQ(first, one);
    ASSERT_EQ(second, two);
    for (size_t i = 0; i < n; ++i) other[i] = second[i] == colour[i] ? clear[i] : colour[i];
    EXPECT_EQ(chooser.Choose(second.data(), other.data(), n, 4, false, a.data()),
              chooser.Choose(second.data(), clear.data(), n, 4, false, b.data(), UINT64_MAX, colour.data()));
    EXPECT_EQ(a, b);
  }
}

TEST(PickFewestRuns, IsMinimalAgainstEveryChoice) {
  std::mt19937 rng(3);
  std::vector<uint8_t> scratch;
  for (int round = 0; round < 200; ++round) {
    const size_t n = 1 + rng() % 12;
    std::vector<uint8_t> a(n), b(n), out(n);
    for (size_t i = 0; i < n; ++i) {
      a[i] = static_cast<uint8_t>(rng() % 3);
      b[i] = rng() % 2 ? a[i] : static_cast<uint8_t>(rng() % 3);
    }
    auto runs = [](const std::vector<uint8_t>& v) {
      size_t r = 1;
      for (size_t i = 1; i < v.size(); ++i) r += v[i] != v[i - 1];
      return r;
    };
    size_t best = SIZE_MAX;
    for (uint32_t mask = 0; mask < (1u << n); ++mask) {
      std::vector<uint8_t> v(n);
      for (size_t i = 0; i < n; ++i) v[i] = (mask >> i) & 1 ? b[i] : a[i];
      best = std::min(best, runs(v));
    }
    for (bool preferSecond : {false, true}) {
      PickFewestRuns(a.data(), b.data(), n, preferSecond, out.data(), scratch);
      for (size_t i = 0; i < n; ++i) ASSERT_TRUE(out[i] == a[i] || out[i] == b[i]);
      ASSERT_EQ(runs(out), best) << "round " << round;
    }
  }
}

}  // namespace
}  // namespace lw
