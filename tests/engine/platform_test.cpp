#include <gtest/gtest.h>

#include <unistd.h>

#include <atomic>
#include <chrono>
#include <fstream>
#include <thread>

#include "model/preferences.h"
#include "platform/progress.h"
#include "platform/recording_ui_hooks.h"
#include "platform/settings_store.h"
#include "support/builders.h"

namespace lw {
namespace {

using test::TempDir;

std::string ReadText(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

void WriteText(const std::string& path, const std::string& text) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out << text;
}

TEST(SettingsStore, ValuesSurviveAReloadWithTheirTypes) {
  TempDir dir;
  std::string path = dir / "deep/er/2.0.conf";
  {
    SettingsStore store(path);
    EXPECT_FALSE(store.Load());
    EXPECT_TRUE(store.SetString("File1", "/home/ann/my walk\ncycle.gif"));
    EXPECT_TRUE(store.SetBinary("Placement", {0, 1, 2, 255}));
    EXPECT_TRUE(store.SetString("InitDir", "C:\\odd\\path"));
  }
  SettingsStore again(path);
  ASSERT_TRUE(again.Load());
  EXPECT_EQ(again.GetString("File1"), "/home/ann/my walk\ncycle.gif");
  EXPECT_EQ(again.GetString("InitDir"), "C:\\odd\\path");
  EXPECT_EQ(again.GetBinary("Placement"), (SettingsStore::Binary{0, 1, 2, 255}));
  EXPECT_FALSE(again.GetBinary("File1"));  // the type is part of the value
  EXPECT_TRUE(again.Delete("File1"));
  EXPECT_FALSE(again.Delete("File1"));
}

TEST(SettingsStore, DamagedOrTruncatedFilesNeverLoseTheLastGoodSettings) {
  TempDir dir;
  std::string path = dir / "2.0.conf";
  SettingsStore store(path);
  store.Load();
  store.SetString("File1", "one.gif");
  store.SetString("File2", "two.gif");  // the first version is now the backup
  std::string good = ReadText(path);
  // Cut short, as by a full disk or a crash of another writer: the backup is used.
  WriteText(path, good.substr(0, good.size() / 2));
  SettingsStore reader(path);
  ASSERT_TRUE(reader.Load());
  EXPECT_EQ(reader.GetString("File1"), "one.gif");
  // A leftover temporary file from an interrupted save is ignored.
  WriteText(dir / ".2.0.conf.abc123", "# Loopwright 2.0 settings\nFile1=string:junk");
  WriteText(path, good);
  ASSERT_TRUE(reader.Load());
  EXPECT_EQ(reader.GetString("File2"), "two.gif");
  // Garbage everywhere: defaults (empty), no crash.
  WriteText(path, std::string("\0\xff\xfe garbage", 12));
  WriteText(path + ".bak", "# Loopwright 2.0 settings\nPref=binary:zz\n# end\n");
  EXPECT_FALSE(reader.Load());
  EXPECT_TRUE(reader.Values().empty());
}

TEST(SettingsStore, WritesGoThroughARenameSoTheTargetIsAlwaysComplete) {
  TempDir dir;
  std::string path = dir / "2.0.conf";
  SettingsStore store(path);
  store.Load();
  for (int i = 0; i < 20; ++i) store.SetString("File" + std::to_string(i % 7 + 1), std::string(i * 10, 'x'));
  EXPECT_TRUE(ParseSettingsText(ReadText(path)).has_value());
  // No temporary files are left behind.
  int files = 0;
  for (const auto& entry : std::filesystem::directory_iterator(dir.path())) {
    (void)entry;
    ++files;
  }
  EXPECT_EQ(files, 2);  // the file and its backup
}

TEST(Preferences, FreshUserGetsTheDefaults) {
  TempDir dir;
  SettingsStore store(dir / "2.0.conf");
  store.Load();
  ReadPreferences(&store);
  EXPECT_EQ(GetPreference(kPrefDefaultDelay), 100u);
  EXPECT_EQ(GetPreference(kPrefDefaultIterations), 0u);
  EXPECT_EQ(GetPreference(kPrefSizeConflict), 1u);
  EXPECT_EQ(GetPreference(kPrefPaletteConflict), 0x181u);
  EXPECT_EQ(GetPreference(kPrefHighColor), 0x80182u);
  EXPECT_EQ(GetPreference(kPrefReduce), 0x10007u);
  EXPECT_EQ(GetPreference(9), 0u);
  ReadPreferences(nullptr);
}

TEST(Preferences, RecordIsStoredWholeAsThirtySixLittleEndianBytes) {
  TempDir dir;
  std::string path = dir / "2.0.conf";
  {
    SettingsStore store(path);
    store.Load();
    ReadPreferences(&store);
    SetPreference(kPrefDefaultDelay, 0x01020304);
    auto bytes = store.GetBinary("Pref");
    ASSERT_TRUE(bytes);
    ASSERT_EQ(bytes->size(), 36u);
    EXPECT_EQ((*bytes)[0], 0x04);
    EXPECT_EQ((*bytes)[3], 0x01);
    EXPECT_EQ((*bytes)[12], 0x81);  // slot 3 = 0x181
    EXPECT_EQ((*bytes)[13], 0x01);
  }
  SettingsStore store(path);
  store.Load();
  ReadPreferences(&store);
  EXPECT_EQ(GetPreference(kPrefDefaultDelay), 0x01020304u);
  EXPECT_EQ(GetPreference(kPrefHighColor), 0x80182u);
  // A shorter stored value replaces only the leading bytes.
  store.SetBinary("Pref", {50, 0, 0, 0, 3, 0});
  ReadPreferences(&store);
  EXPECT_EQ(GetPreference(kPrefDefaultDelay), 50u);
  EXPECT_EQ(GetPreference(kPrefDefaultIterations), 3u);
  EXPECT_EQ(GetPreference(kPrefSizeConflict), 1u);
  // A longer one is ignored.
  store.SetBinary("Pref", SettingsStore::Binary(40, 9));
  ReadPreferences(&store);
  EXPECT_EQ(GetPreference(kPrefDefaultDelay), 100u);
  ReadPreferences(nullptr);
}

TEST(Preferences, OldSingleValuesGoOnlyAfterDelay) {
  TempDir dir;
  SettingsStore store(dir / "2.0.conf");
  store.Load();
  store.SetString("Iter", "5");
  ReadPreferences(&store);
  EXPECT_TRUE(store.Has("Iter"));  // "Delay" was absent, so nothing else goes
  store.SetString("Delay", "5");
  store.SetString("HiColor", "5");
  ReadPreferences(&store);
  EXPECT_FALSE(store.Has("Delay"));
  EXPECT_FALSE(store.Has("Iter"));
  EXPECT_FALSE(store.Has("HiColor"));
  ReadPreferences(nullptr);
}

// A display that records what it is told and can play the user pressing Esc.
class FakeSink : public ProgressSink {
 public:
  std::vector<std::string>* log;
  int escAfterPumps = -1;
  explicit FakeSink(std::vector<std::string>* l) : log(l) {}
  void SetText(const std::string& t) override { log->push_back("text " + t); }
  void SetRange(uint32_t total) override { log->push_back("range " + std::to_string(total)); }
  void SetPosition(uint32_t p) override { log->push_back("pos " + std::to_string(p)); }
  bool Pump() override { return escAfterPumps < 0 || escAfterPumps-- > 0; }
  void Close() override { log->push_back("close"); }
};

class SinkHooks : public RecordingUiHooks {
 public:
  std::vector<std::string> log;
  int escAfterPumps = -1;
  int created = 0;
  std::unique_ptr<ProgressSink> CreateProgressDialog() override {
    ++created;
    auto sink = std::make_unique<FakeSink>(&log);
    sink->escAfterPumps = escAfterPumps;
    return sink;
  }
};

TEST(Progress, LargeTotalsAreDividedDownToAThousandSteps) {
  SinkHooks hooks;
  ScopedUiHooks scope(&hooks);
  ProgressPtr p = BeginProgress(kProgressOwnDialog);
  EXPECT_EQ(hooks.created, 0);  // the dialog comes with the first text or range
  SetProgressRange(p.get(), 25000);
  EXPECT_EQ(hooks.created, 1);
  EXPECT_EQ(p->divisor, 100u);  // divided by ten until at most 1000
  EXPECT_TRUE(SetProgressPosition(p.get(), 12345));
  SetProgressRange(p.get(), 1000);
  EXPECT_EQ(p->divisor, 1u);
  EXPECT_TRUE(StepProgress(p.get()));
  EXPECT_EQ(hooks.log,
            (std::vector<std::string>{"range 250", "pos 0", "pos 123", "range 1000", "pos 0", "pos 1"}));
  EndProgress(p);
  EXPECT_EQ(hooks.log.back(), "close");
  EXPECT_EQ(p, nullptr);
}

TEST(Progress, EscStopsOnlyTheOperationWhoseDisplayGotIt) {
  SinkHooks hooks;
  hooks.escAfterPumps = 1;
  ScopedUiHooks scope(&hooks);
  ProgressPtr foreground = BeginProgress(kProgressOwnDialog);
  SetProgressRange(foreground.get(), 10);
  ProgressPtr background = BeginProgress(kProgressSilent, kJobFileSize);
  EXPECT_TRUE(StepProgress(foreground.get()));
  EXPECT_FALSE(StepProgress(foreground.get()));  // Esc
  // The background job neither sees the Esc nor, by ending, undoes it.
  EXPECT_TRUE(StepProgress(background.get()));
  EndProgress(background);
  EXPECT_FALSE(StepProgress(foreground.get()));
  EXPECT_FALSE(ProgressContinues(foreground.get()));
  // A silent record never creates a display.
  EXPECT_EQ(hooks.created, 1);
}

TEST(Progress, CancelRequestStopsTheJobsRecord) {
  ProgressPtr job = BeginProgress(kProgressSilent, kJobColorUse);
  EXPECT_TRUE(StepProgress(job.get()));
  SetJobCancelled(kJobColorUse, true);
  EXPECT_FALSE(StepProgress(job.get()));
  SetJobCancelled(kJobColorUse, false);
  EXPECT_TRUE(StepProgress(nullptr));
}

TEST(Jobs, CancelAndWaitReturnsWhenTheJobEnds) {
  // Not running: at once.
  auto t0 = std::chrono::steady_clock::now();
  CancelJobAndWait(kJobFileSize);
  EXPECT_LT(std::chrono::steady_clock::now() - t0, std::chrono::milliseconds(5));
  EXPECT_FALSE(IsJobCancelled(kJobFileSize));

  SetJobRunning(kJobFileSize, true);
  std::atomic<int> steps{0};
  std::thread worker([&] {
    ProgressPtr p = BeginProgress(kProgressSilent, kJobFileSize);
    while (StepProgress(p.get())) {
      ++steps;
      std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    EndJob(kJobFileSize);
  });
  while (steps < 3) std::this_thread::yield();
  CancelJobAndWait(kJobFileSize);
  EXPECT_FALSE(IsJobRunning(kJobFileSize));
  EXPECT_FALSE(IsJobCancelled(kJobFileSize));  // the job cleared its own bit
  worker.join();

  // WaitForJob asks nothing: the job runs to its end.
  SetJobRunning(kJobColorUse, true);
  std::thread finisher([] {
    std::this_thread::sleep_for(std::chrono::milliseconds(30));
    EXPECT_FALSE(IsJobCancelled(kJobColorUse));
    EndJob(kJobColorUse);
  });
  WaitForJob(kJobColorUse);
  EXPECT_FALSE(IsJobRunning(kJobColorUse));
  finisher.join();

  int pumps = 0;
  SetJobRunning(kJobReducePreview, true);
  std::thread reducer([] {
    while (!IsJobCancelled(kJobReducePreview)) std::this_thread::yield();
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
    EndJob(kJobReducePreview);
  });
  CancelJobAndWaitPumping(kJobReducePreview, [&] { ++pumps; });
  EXPECT_GT(pumps, 0);
  reducer.join();
}

}  // namespace
}  // namespace lw
