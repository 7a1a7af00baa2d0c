// Progress of long operations and the words that coordinate background jobs.
//
// An operation opens a ProgressRecord, reports text, range and steps, and asks at every step whether to
// go on. The record's display is a ProgressSink: the editor's progress dialog, a terminal bar, or nothing.
// Each record has its own continue flag, so a background job's record can never undo an Esc that was meant
// for the foreground operation (nor the other way round).
#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>

namespace lw {

// Where a progress record shows itself.
class ProgressSink {
 public:
  virtual ~ProgressSink() = default;
  virtual void SetText(const std::string& text) = 0;
  // The bar runs from 0 to total (already divided down to at most 1000).
  virtual void SetRange(uint32_t total) = 0;
  virtual void SetPosition(uint32_t position) = 0;
  // Lets the display handle pending input (Esc, Cancel). Returns false when the user asked to stop.
  virtual bool Pump() { return true; }
  // The operation has ended; the display goes away.
  virtual void Close() {}
  // Puts up the wait cursor and gives the display the keyboard focus.
  virtual void Focus() {}
};

// Record flags.
enum : uint32_t {
  kProgressSilent = 1,     // no display and no pumping: usable from a background thread
  kProgressOwnDialog = 2,  // the record opens its own display (UiHooks::CreateProgressDialog)
  kProgressOwnerBar = 4,   // the display belongs to the owner (given to BeginProgress)
  kProgressNoPumping = 8,  // display, but no handling of pending input
};

// Background jobs, one bit each.
enum : uint32_t {
  kJobFileSize = 1,
  kJobColorUse = 2,
  kJobOptimizePreview = 4,
  kJobReducePreview = 8,
};

struct ProgressRecord {
  uint32_t flags = 0;
  uint32_t job = 0;                       // the job bit whose cancel request stops this operation (0 = none)
  uint32_t divisor = 1;                   // positions are divided by it before they reach the display
  std::unique_ptr<ProgressSink> ownSink;  // mode 2: created on first use
  ProgressSink* sink = nullptr;           // the display in use (own or owner's), or null
  bool sinkTried = false;
  uint32_t position = 0;  // the bar's position, in divided units
  std::atomic<uint32_t> continueFlag{1};
};

using ProgressPtr = std::unique_ptr<ProgressRecord>;

// Opens a record. ownerSink is the owner's display for mode 4; it is not owned.
ProgressPtr BeginProgress(uint32_t flags, uint32_t job = 0, ProgressSink* ownerSink = nullptr);
void SetProgressText(ProgressRecord* record, const std::string& text);
// Unless silent: positions are divided by 10 until the total is at most 1000.
void SetProgressRange(ProgressRecord* record, uint32_t total);
// Each gives whether to go on. A null record always goes on.
bool StepProgress(ProgressRecord* record);
bool SetProgressPosition(ProgressRecord* record, uint32_t position);
void FocusProgress(ProgressRecord* record);
// Closes the display. The record itself goes with its pointer.
void EndProgress(ProgressPtr& record);
uint32_t GetProgressFlags(const ProgressRecord* record);
uint32_t SetProgressFlags(ProgressRecord* record, uint32_t flags);
// What Esc or Cancel does: the operation of this record stops at its next step.
void CancelProgress(ProgressRecord* record);
// Whether the operation may go on, without pumping (null: yes).
bool ProgressContinues(const ProgressRecord* record);

// The two job words.
bool IsJobRunning(uint32_t bits);
bool IsJobCancelled(uint32_t bits);
void SetJobRunning(uint32_t bits, bool on);
void SetJobCancelled(uint32_t bits, bool on);
// Asks the jobs to stop and sleeps 10 ms at a time until none of them runs.
void CancelJobAndWait(uint32_t bits);
// Sleeps until none of the jobs runs, without asking them to stop. The wait cursor, when wanted, is the
// caller's affair (the editor sets it around this call).
void WaitForJob(uint32_t bits);
// As CancelJobAndWait, but sleeps 3 ms at a time and calls pump between sleeps (a dialog's messages).
void CancelJobAndWaitPumping(uint32_t bits, const std::function<void()>& pump);

// What a background job does as it ends: clears its cancel bit, then its running bit.
void EndJob(uint32_t bits);

}  // namespace lw
