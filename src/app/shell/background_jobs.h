// The two background jobs of the editor: the saved size of the document (written to a temporary file on
// a thread of its own) and the count of the global palette's colours in use. At most one thread per job;
// starting a job ends a running one first, and the interface thread stops both before it changes or frees
// the document.
#pragma once

#include <QObject>
#include <cstdint>
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

 signals:
  // The saved size in bytes, or -1 while it is being computed.
  void FileSizeChanged(qint64 size);

 private:
  void JoinSize();
  void JoinColor();

  std::thread sizeThread_;
  std::thread colorThread_;
  uint64_t sizeGeneration_ = 0;
};

}  // namespace lw::app
