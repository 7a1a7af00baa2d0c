#include "platform/progress.h"

#include <chrono>
#include <thread>

#include "platform/ui_hooks.h"

namespace lw {
namespace {

std::atomic<uint32_t> g_jobRunning{0};
std::atomic<uint32_t> g_jobCancel{0};

// Creates the own display on first use (mode 2).
ProgressSink* Display(ProgressRecord* r) {
  if (!r || (r->flags & kProgressSilent)) return nullptr;
  if (!r->sink && (r->flags & kProgressOwnDialog) && !r->sinkTried) {
    r->sinkTried = true;
    r->ownSink = Hooks().CreateProgressDialog();
    r->sink = r->ownSink.get();
  }
  return r->sink;
}

// Handles pending input between steps.
void Pump(ProgressRecord* r) {
  if (r->job && IsJobCancelled(r->job)) {
    r->continueFlag = 0;
    return;
  }
  if (r->flags & (kProgressSilent | kProgressNoPumping)) return;
  if (r->continueFlag == 0) return;
  if (ProgressSink* sink = Display(r); sink && !sink->Pump()) r->continueFlag = 0;
}

}  // namespace

ProgressPtr BeginProgress(uint32_t flags, uint32_t job, ProgressSink* ownerSink) {
  auto record = std::make_unique<ProgressRecord>();
  record->flags = flags;
  record->job = job;
  if (flags & kProgressOwnerBar) record->sink = ownerSink;
  return record;
}

void SetProgressText(ProgressRecord* record, const std::string& text) {
  if (!record) return;
  ProgressSink* sink = Display(record);
  Pump(record);
  if (sink) sink->SetText(text);
}

void SetProgressRange(ProgressRecord* record, uint32_t total) {
  if (!record || (record->flags & kProgressSilent)) return;
  ProgressSink* sink = Display(record);
  record->divisor = 1;
  while (total > 1000) {
    total /= 10;
    record->divisor *= 10;
  }
  if (sink) {
    sink->SetRange(total);
    sink->SetPosition(0);
  }
  record->position = 0;
}

bool StepProgress(ProgressRecord* record) {
  if (!record) return true;
  Pump(record);
  if (record->continueFlag && !(record->flags & kProgressSilent)) {
    ++record->position;
    if (ProgressSink* sink = Display(record)) sink->SetPosition(record->position);
  }
  return record->continueFlag != 0;
}

bool SetProgressPosition(ProgressRecord* record, uint32_t position) {
  if (!record) return true;
  Pump(record);
  if (record->continueFlag && !(record->flags & kProgressSilent)) {
    record->position = position / record->divisor;
    if (ProgressSink* sink = Display(record)) sink->SetPosition(record->position);
  }
  return record->continueFlag != 0;
}

void FocusProgress(ProgressRecord* record) {
  if (record && (record->flags & kProgressOwnDialog))
    if (ProgressSink* sink = Display(record)) sink->Focus();
}

void EndProgress(ProgressPtr& record) {
  if (!record) return;
  if (record->ownSink) record->ownSink->Close();
  record.reset();
}

uint32_t GetProgressFlags(const ProgressRecord* record) {
  return record ? record->flags : 0;
}

uint32_t SetProgressFlags(ProgressRecord* record, uint32_t flags) {
  if (!record) return 0;
  uint32_t old = record->flags;
  record->flags = flags;
  return old;
}

void CancelProgress(ProgressRecord* record) {
  if (record) record->continueFlag = 0;
}

bool ProgressContinues(const ProgressRecord* record) {
  if (!record) return true;
  if (record->job && IsJobCancelled(record->job)) return false;
  return record->continueFlag != 0;
}

bool IsJobRunning(uint32_t bits) {
  return (g_jobRunning.load() & bits) != 0;
}
bool IsJobCancelled(uint32_t bits) {
  return (g_jobCancel.load() & bits) != 0;
}

void SetJobRunning(uint32_t bits, bool on) {
  if (on)
    g_jobRunning.fetch_or(bits);
  else
    g_jobRunning.fetch_and(~bits);
}

void SetJobCancelled(uint32_t bits, bool on) {
  if (on)
    g_jobCancel.fetch_or(bits);
  else
    g_jobCancel.fetch_and(~bits);
}

void CancelJobAndWait(uint32_t bits) {
  if (!IsJobRunning(bits)) return;
  SetJobCancelled(bits, true);
  while (IsJobRunning(bits)) std::this_thread::sleep_for(std::chrono::milliseconds(10));
}

void WaitForJob(uint32_t bits) {
  while (IsJobRunning(bits)) std::this_thread::sleep_for(std::chrono::milliseconds(10));
}

void CancelJobAndWaitPumping(uint32_t bits, const std::function<void()>& pump) {
  if (!IsJobRunning(bits)) return;
  SetJobCancelled(bits, true);
  for (;;) {
    std::this_thread::sleep_for(std::chrono::milliseconds(3));
    if (!IsJobRunning(bits)) return;
    if (pump) pump();
  }
}

void EndJob(uint32_t bits) {
  SetJobCancelled(bits, false);
  SetJobRunning(bits, false);
}

}  // namespace lw
