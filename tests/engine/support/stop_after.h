// A progress display whose user presses Esc after a given number of steps.
#pragma once

#include <cstdint>
#include <string>

#include "platform/progress.h"

namespace lw::test {

class StopAfter : public ProgressSink {
 public:
  // Lets `steps` pumps go on, then stops at the next one.
  explicit StopAfter(int steps) : left_(steps) {}
  void SetText(const std::string&) override {}
  void SetRange(uint32_t) override {}
  void SetPosition(uint32_t) override {}
  bool Pump() override { return left_-- > 0; }

 private:
  int left_;
};

}  // namespace lw::test
