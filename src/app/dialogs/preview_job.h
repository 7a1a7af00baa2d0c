// The experiment behind a dialog's size preview: a private copy of the document is changed and measured on
// a thread of its own while the dialog stays responsive. A new run asked for while one runs cancels it and
// starts when it has ended, so the last choice always wins and the interface thread never waits for a run
// it no longer wants. The result comes back on the interface thread through a mailbox under a lock.
#pragma once

#include <QObject>
#include <QString>
#include <cstdint>
#include <functional>
#include <mutex>
#include <thread>

#include "model/animation.h"
#include "optimize/lossy.h"
#include "platform/progress.h"

class QLabel;
class QProgressBar;
class QTimer;

namespace lw::app {

// What one run made.
struct PreviewResult {
  AnimationPtr copy;                         // the changed copy; null when it could not be made
  uint32_t size = kUnknownFileSize;          // its saved size
  uint32_t documentSize = kUnknownFileSize;  // the document's saved size
  bool outOfMemory = false;                  // the copy could not be made or memory ran out on the way
  uint32_t fitLimit = 0;                     // the size the copy was fitted under (0: none asked)
  FitResult fit;                             // what that fit reached
};

// The progress a run reports, read by the dialog's timer.
struct PreviewProgress {
  QString text;
  uint32_t range = 0;
  uint32_t position = 0;
};

class PreviewJob : public QObject {
  Q_OBJECT

 public:
  // The work of one run, on the worker thread: it may stop early when the record says so.
  using Work = std::function<PreviewResult(ProgressRecord* progress)>;

  explicit PreviewJob(uint32_t jobBit, QObject* parent = nullptr);
  ~PreviewJob() override;

  // Runs work; a run still going is cancelled first and this one starts when it has ended.
  void Start(Work work);
  // Cancels the running run and forgets a waiting one; waits for the thread while serving the interface
  // thread's events (a worker may be waiting for a message box there).
  void Stop();
  // Whether a run is going or waiting to start.
  bool IsBusy() const { return thread_.joinable() || static_cast<bool>(pending_); }
  PreviewProgress Progress() const;
  // The result of the last run that ended without being cancelled or replaced.
  PreviewResult& Result() { return result_; }
  bool HasResult() const { return hasResult_; }

 signals:
  // A run ended with a result for the newest choice.
  void Finished();

 private:
  class Sink;
  void Launch();
  Q_INVOKABLE void Deliver();

  const uint32_t job_;
  std::thread thread_;
  Work pending_;
  std::unique_ptr<Sink> sink_;
  // Handed over by the worker.
  std::mutex mailboxLock_;
  PreviewResult mailbox_;
  bool mailboxCancelled_ = false;
  bool mailboxFull_ = false;
  PreviewResult result_;
  bool hasResult_ = false;
};

// A dialog's view of its job: the run's text and bar while the job is busy (read by the poll timer); once it
// is idle the timer stops and both are cleared.
void ShowJobProgress(const PreviewJob& job, QTimer& poll, QLabel* status, QProgressBar* bar);

// Whether a run may go on: its record was not stopped and its job has no cancel request.
bool RunGoesOn(const ProgressRecord* progress);

// A size as the dialogs show it: empty when unknown, "None" for 0, else "%s bytes" with grouped digits.
QString SizeText(uint32_t size);
// The saving of a result against the document's size: "" when either is unknown or the result is larger.
QString SavingText(uint32_t documentSize, uint32_t size);
// The saving in percent, "(%.1f%%)", or "" as SavingText.
QString SavingPercentText(uint32_t documentSize, uint32_t size);

}  // namespace lw::app
