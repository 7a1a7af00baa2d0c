#include "app/dialogs/preview_job.h"

#include <QCoreApplication>
#include <QEventLoop>
#include <QLabel>
#include <QMetaObject>
#include <QProgressBar>
#include <QTimer>
#include <algorithm>
#include <new>
#include <system_error>

#include "io/files.h"

namespace lw::app {

// The worker's progress, kept under a lock for the dialog's timer.
class PreviewJob::Sink : public ProgressSink {
 public:
  void SetText(const std::string& text) override {
    std::lock_guard<std::mutex> hold(lock_);
    state_.text = QString::fromStdString(text);
  }
  void SetRange(uint32_t total) override {
    std::lock_guard<std::mutex> hold(lock_);
    state_.range = total;
  }
  void SetPosition(uint32_t position) override {
    std::lock_guard<std::mutex> hold(lock_);
    state_.position = position;
  }
  // Stops come through the job's cancel bit, never from here.
  bool Pump() override { return true; }
  PreviewProgress Get() const {
    std::lock_guard<std::mutex> hold(lock_);
    return state_;
  }
  void Reset() {
    std::lock_guard<std::mutex> hold(lock_);
    state_ = {};
  }

 private:
  mutable std::mutex lock_;
  PreviewProgress state_;
};

PreviewJob::PreviewJob(uint32_t jobBit, QObject* parent)
    : QObject(parent), job_(jobBit), sink_(std::make_unique<Sink>()) {}

PreviewJob::~PreviewJob() {
  Stop();
}

PreviewProgress PreviewJob::Progress() const {
  return sink_->Get();
}

void PreviewJob::Start(Work work) {
  pending_ = std::move(work);
  hasResult_ = false;
  result_ = {};
  if (thread_.joinable()) {
    // The run under way is for an older choice: it stops at its next step and Deliver starts this one.
    SetJobCancelled(job_, true);
    return;
  }
  Launch();
}

void PreviewJob::Launch() {
  Work work = std::move(pending_);
  pending_ = nullptr;
  sink_->Reset();
  SetJobCancelled(job_, false);
  SetJobRunning(job_, true);
  try {
    thread_ = std::thread([this, work = std::move(work)] {
      ProgressPtr progress = BeginProgress(kProgressOwnerBar, job_, sink_.get());
      PreviewResult result;
      try {
        result = work(progress.get());
      } catch (const std::bad_alloc&) {
        result = {};
        result.outOfMemory = true;
      }
      bool cancelled = IsJobCancelled(job_) || !ProgressContinues(progress.get());
      EndProgress(progress);
      {
        std::lock_guard<std::mutex> hold(mailboxLock_);
        mailbox_ = std::move(result);
        mailboxCancelled_ = cancelled;
        mailboxFull_ = true;
      }
      QMetaObject::invokeMethod(this, "Deliver", Qt::QueuedConnection);
      EndJob(job_);
    });
  } catch (const std::system_error&) {
    EndJob(job_);
    result_ = {};
    result_.outOfMemory = true;
    hasResult_ = true;
    emit Finished();
  }
}

void PreviewJob::Deliver() {
  if (thread_.joinable()) thread_.join();
  PreviewResult result;
  bool cancelled;
  {
    std::lock_guard<std::mutex> hold(mailboxLock_);
    if (!mailboxFull_) return;
    result = std::move(mailbox_);
    mailbox_ = {};
    cancelled = mailboxCancelled_;
    mailboxFull_ = false;
  }
  if (pending_) {
    // A newer choice waited for this run: its result is stale.
    Launch();
    return;
  }
  // A stopped run's copy is partial: it is never measured or committed.
  if (cancelled) return;
  result_ = std::move(result);
  hasResult_ = true;
  emit Finished();
}

void PreviewJob::Stop() {
  pending_ = nullptr;
  if (thread_.joinable()) {
    // Events are served while waiting (not the user's input): a worker may be waiting for the interface
    // thread to show a message.
    CancelJobAndWaitPumping(job_,
                            [] { QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents); });
    if (thread_.joinable()) thread_.join();
  }
  {
    std::lock_guard<std::mutex> hold(mailboxLock_);
    mailbox_ = {};
    mailboxFull_ = false;
  }
  SetJobCancelled(job_, false);
}

void ShowJobProgress(const PreviewJob& job, QTimer& poll, QLabel* status, QProgressBar* bar) {
  if (!job.IsBusy()) {
    poll.stop();
    status->clear();
    bar->setRange(0, 1);
    bar->setValue(0);
    return;
  }
  PreviewProgress p = job.Progress();
  status->setText(p.text);
  bar->setRange(0, static_cast<int>(std::max<uint32_t>(p.range, 1)));
  bar->setValue(static_cast<int>(std::min(p.position, std::max<uint32_t>(p.range, 1))));
}

bool RunGoesOn(const ProgressRecord* progress) {
  return ProgressContinues(progress) && !(progress && progress->job && IsJobCancelled(progress->job));
}

QString SizeText(uint32_t size) {
  if (size == kUnknownFileSize) return {};
  if (size == 0) return "None";
  return QString::fromStdString(FormatThousands(size)) + " bytes";
}

namespace {

bool Saves(uint32_t documentSize, uint32_t size) {
  return documentSize != kUnknownFileSize && size != kUnknownFileSize && documentSize > 0 &&
         size <= documentSize;
}

}  // namespace

QString SavingText(uint32_t documentSize, uint32_t size) {
  return Saves(documentSize, size) ? SizeText(documentSize - size) : QString();
}

QString SavingPercentText(uint32_t documentSize, uint32_t size) {
  if (!Saves(documentSize, size)) return {};
  double percent = static_cast<double>(documentSize - size) / documentSize * 100.0;
  return QString::asprintf("(%.1f%%)", percent);
}

}  // namespace lw::app
