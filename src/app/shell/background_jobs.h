// The two background jobs of the editor: the saved size of the document (written to a temporary file on
// a thread of its own) and the count of the global palette's colours in use. At most one thread per job;
// starting a job ends a running one first, and the interface thread stops both before it changes or frees
// the document.
#pragma once

#include <QObject>
#include <atomic>
#include <cstdint>
#include <mutex>
#include <thread>

namespace lw {
struct Animation;
}

namespace lw::app {

class BackgroundJobs : public QObject {
  Q_OBJECT

 public:
  BackgroundJobs() = default;
  ~BackgroundJobs() override;

  // Shows "calculating" at once; with a document, computes its saved size (dropping the cached one when
  // asked) and reports it when known.
  void StartFileSizeJob(Animation* a, bool dropCache);
  void StartColorUsageJob(Animation* a);
  // Cancels the colour-use count and waits for it, then the same for the file size.
  void StopJobs();
  // Waits, without cancelling, until the colour-use count has ended.
  void WaitColorJob();
  // Before a palette merge, which gives colours no frame uses to new ones: waits for a running colour-use
  // count, and counts now when the last one on this document was cut short or never ran.
  void CompleteColorCount(Animation* a);
  // Starts again, on the same document, the jobs that a stop cancelled before they had a result (a command
  // that stopped them and restarted neither would otherwise leave "Calculating..." or a partial count).
  void ResumeJobs(Animation* a);
  // Whether the last run of the job on this document was cancelled before it ended (job bits).
  bool WasInterrupted(uint32_t job, const Animation* a) const;

 signals:
  // The saved size in bytes, or -1 while it is being computed.
  void FileSizeChanged(qint64 size);

 private:
  // Takes the size a job left in the mailbox and shows it if no newer job has started since.
  Q_INVOKABLE void DeliverFileSize();
  void JoinSize();
  void JoinColor();

  std::thread sizeThread_;
  std::thread colorThread_;
  uint64_t sizeGeneration_ = 0;
  // A finished size job's result, handed to the interface thread through a lock the race checker sees
  // (Qt's own queue locks with futexes it cannot see).
  std::mutex mailboxLock_;
  uint32_t mailboxSize_ = 0;
  uint64_t mailboxGeneration_ = 0;
  // The document each job last ran on, and the jobs whose last run was cancelled before its end (set by
  // the job's thread, read after it has been joined).
  const Animation* sizeTarget_ = nullptr;
  const Animation* colorTarget_ = nullptr;
  std::atomic<uint32_t> interrupted_{0};
};

}  // namespace lw::app
