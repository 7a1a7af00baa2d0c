// Hooks for the fuzz targets: messages go nowhere and every box answers OK, so that a run only stops on a
// real fault.
#pragma once

#include <string>

#include "platform/ui_hooks.h"

namespace lw::fuzz {

class QuietHooks : public UiHooks {
 public:
  void Error(const std::string&) override {}
  MsgResult MessageBox(const std::string&, const std::string&, MsgButtons, MsgIcon) override {
    return MsgResult::Ok;
  }
};

}  // namespace lw::fuzz
