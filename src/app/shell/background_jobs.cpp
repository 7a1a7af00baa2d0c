#include "app/shell/background_jobs.h"

#include <QApplication>
#include <QCursor>
#include <QMetaObject>

#include "gif/gif_writer.h"
#include "model/animation.h"
#include "platform/progress.h"

namespace lw::app {

BackgroundJobs::~BackgroundJobs() {
  StopJobs();
}

void BackgroundJobs::JoinSize() {
  CancelJobAndWait(kJobFileSize);
  if (sizeThread_.joinable()) sizeThread_.join();
}

void BackgroundJobs::JoinColor() {
  CancelJobAndWait(kJobColorUse);
  if (colorThread_.joinable()) colorThread_.join();
}

void BackgroundJobs::StopJobs() {
  JoinColor();
  JoinSize();
}

void BackgroundJobs::WaitColorJob() {
  if (!IsJobRunning(kJobColorUse)) return;
  QApplication::setOverrideCursor(Qt::WaitCursor);
  WaitForJob(kJobColorUse);
  QApplication::restoreOverrideCursor();
  if (colorThread_.joinable()) colorThread_.join();
}

void BackgroundJobs::StartFileSizeJob(Animation* a, bool dropCache) {
  JoinSize();
  uint64_t generation = ++sizeGeneration_;
  emit FileSizeChanged(-1);
  if (!a) return;
  if (dropCache) a->fileSize = kUnknownFileSize;
  SetJobRunning(kJobFileSize, true);
  sizeThread_ = std::thread([this, a, generation] {
    // A silent record: no display, no pumping, but it sees the job's cancel request.
    ProgressPtr progress = BeginProgress(kProgressSilent, kJobFileSize);
    uint32_t size = ComputeFileSize(*a, false, progress.get());
    bool cancelled = IsJobCancelled(kJobFileSize);
    EndProgress(progress);
    EndJob(kJobFileSize);
    if (cancelled || size == kUnknownFileSize) return;
    // Reported on the interface thread, and only when no newer job has started meanwhile.
    QMetaObject::invokeMethod(
        this,
        [this, size, generation] {
          if (generation == sizeGeneration_) emit FileSizeChanged(static_cast<qint64>(size));
        },
        Qt::QueuedConnection);
  });
}

void BackgroundJobs::StartColorUsageJob(Animation* a) {
  JoinColor();
  if (!a) return;
  SetJobRunning(kJobColorUse, true);
  colorThread_ = std::thread([a] {
    // The count stops early, leaving a partial table, when the job is cancelled; the next count redoes it.
    CountGlobalColorUse(*a, a->colorUse, true);
    EndJob(kJobColorUse);
  });
}

}  // namespace lw::app
