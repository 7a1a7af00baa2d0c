// A test that records every message and question and starts from the default preferences (kept in memory
// only), putting both back afterwards.
#pragma once

#include <gtest/gtest.h>

#include "model/preferences.h"
#include "platform/recording_ui_hooks.h"

namespace lw::test {

class RecordingTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ReadPreferences(nullptr);
    previous_ = SetUiHooks(&hooks);
  }
  void TearDown() override {
    SetUiHooks(previous_);
    ReadPreferences(nullptr);
  }
  RecordingUiHooks hooks;

 private:
  UiHooks* previous_ = nullptr;
};

}  // namespace lw::test
