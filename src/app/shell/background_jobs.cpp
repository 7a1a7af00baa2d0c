#include "app/shell/background_jobs.h"

#include <QApplication>
#include <QCursor>
#include <QMetaObject>
#include <system_error>

#include "gif/gif_writer.h"
#include "model/animation.h"
#include "platform/progress.h"

namespace lw::app {

BackgroundJobs::~BackgroundJobs() {
  StopJobs();
}

namespace {

// Cancels a job and waits for its thread. Joining wakes the interface thread the moment the job ends,
// where sleeping 10 ms at a time would hold up every edit that restarts the job by 10 ms or more.
void CancelAndJoin(uint32_t job, std::thread& thread) {
  if (!thread.joinable()) {
    CancelJobAndWait(job);
    return;
  }
  if (IsJobRunning(job)) SetJobCancelled(job, true);
  thread.join();
  // A job that ended between the look at its running bit and the request leaves the request behind; it
  // would stop the next run at once.
  SetJobCancelled(job, false);
}

}  // namespace

void BackgroundJobs::JoinSize() {
  CancelAndJoin(kJobFileSize, sizeThread_);
}

void BackgroundJobs::JoinColor() {
  CancelAndJoin(kJobColorUse, colorThread_);
}

void BackgroundJobs::StopJobs() {
  JoinColor();
  JoinSize();
}

void BackgroundJobs::WaitColorJob() {
  if (IsJobRunning(kJobColorUse)) {
    QApplication::setOverrideCursor(Qt::WaitCursor);
    WaitForJob(kJobColorUse);
    QApplication::restoreOverrideCursor();
  }
  if (colorThread_.joinable()) colorThread_.join();
}

void BackgroundJobs::CompleteColorCount(Animation* a) {
  WaitColorJob();
  if (!a || (colorTarget_ == a && !(interrupted_.load() & kJobColorUse))) return;
  QApplication::setOverrideCursor(Qt::WaitCursor);
  CountGlobalColorUse(*a, a->colorUse, true);
  QApplication::restoreOverrideCursor();
  colorTarget_ = a;
  interrupted_.fetch_and(~kJobColorUse);
}

bool BackgroundJobs::WasInterrupted(uint32_t job, const Animation* a) const {
  const Animation* target = job == kJobFileSize ? sizeTarget_ : colorTarget_;
  return a && target == a && (interrupted_.load() & job) != 0;
}

void BackgroundJobs::ResumeJobs(Animation* a) {
  bool size = WasInterrupted(kJobFileSize, a) && !IsJobRunning(kJobFileSize);
  bool color = WasInterrupted(kJobColorUse, a) && !IsJobRunning(kJobColorUse);
  if (color) StartColorUsageJob(a);
  // The cached size is kept: it is unknown exactly when the interrupted run had not finished.
  if (size) StartFileSizeJob(a, false);
}

void BackgroundJobs::StartFileSizeJob(Animation* a, bool dropCache) {
  JoinSize();
  uint64_t generation = ++sizeGeneration_;
  sizeTarget_ = a;
  interrupted_.fetch_and(~kJobFileSize);
  emit FileSizeChanged(-1);
  if (!a) return;
  if (dropCache) a->fileSize = kUnknownFileSize;
  // No thread of this job runs now: a request left over from an earlier stop is not for this run.
  SetJobCancelled(kJobFileSize, false);
  SetJobRunning(kJobFileSize, true);
  try {
    sizeThread_ = std::thread([this, a, generation] {
      // A silent record: no display, no pumping, but it sees the job's cancel request.
      ProgressPtr progress = BeginProgress(kProgressSilent, kJobFileSize);
      uint32_t size = ComputeFileSize(*a, false, progress.get());
      bool cancelled = IsJobCancelled(kJobFileSize);
      EndProgress(progress);
      if (cancelled) interrupted_.fetch_or(kJobFileSize);
      bool report = !cancelled && size != kUnknownFileSize;
      if (report) {
        // Reported on the interface thread, and only when no newer job has started meanwhile. Posted
        // before the running bit clears, so a stop that follows always finds it queued or dropped.
        {
          std::lock_guard<std::mutex> hold(mailboxLock_);
          mailboxSize_ = size;
          mailboxGeneration_ = generation;
        }
        QMetaObject::invokeMethod(this, "DeliverFileSize", Qt::QueuedConnection);
      }
      EndJob(kJobFileSize);
    });
  } catch (const std::system_error&) {
    // No thread: the size stays "Calculating..." rather than the stop waiting for ever on a job that
    // never ran.
    EndJob(kJobFileSize);
    interrupted_.fetch_or(kJobFileSize);
  }
}

void BackgroundJobs::DeliverFileSize() {
  uint32_t size;
  uint64_t generation;
  {
    std::lock_guard<std::mutex> hold(mailboxLock_);
    size = mailboxSize_;
    generation = mailboxGeneration_;
  }
  if (generation == sizeGeneration_) emit FileSizeChanged(static_cast<qint64>(size));
}

void BackgroundJobs::StartColorUsageJob(Animation* a) {
  JoinColor();
  colorTarget_ = a;
  interrupted_.fetch_and(~kJobColorUse);
  if (!a) return;
  SetJobCancelled(kJobColorUse, false);
  SetJobRunning(kJobColorUse, true);
  try {
    colorThread_ = std::thread([this, a] {
      // A cancelled count leaves a partial table; ResumeJobs counts again.
      if (!CountGlobalColorUse(*a, a->colorUse, true)) interrupted_.fetch_or(kJobColorUse);
      EndJob(kJobColorUse);
    });
  } catch (const std::system_error&) {
    EndJob(kJobColorUse);
    interrupted_.fetch_or(kJobColorUse);
  }
}

}  // namespace lw::app
