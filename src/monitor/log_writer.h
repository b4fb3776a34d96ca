// Writes channel log lines on a thread of its own, so that the sampling
// cycle hands a line over and never waits on the disk.
#pragma once

#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <mutex>
#include <set>
#include <string>
#include <thread>

#include "monitor/channel_log.h"

namespace kev {

class LogWriter {
 public:
  // Lines waiting beyond this are dropped rather than making the sampling
  // thread wait for a disk that cannot keep up.
  static constexpr size_t kDefaultCapacity = 1024;

  // The seams' file system and free space are used on the writer's thread.
  explicit LogWriter(LogSeams seams, size_t capacity = kDefaultCapacity);
  // Writes every line still queued, then ends the thread.
  ~LogWriter();
  LogWriter(const LogWriter&) = delete;
  LogWriter& operator=(const LogWriter&) = delete;

  // Queues a formatted line for channel's log; lines of one channel are
  // written in the order handed over. Never waits on the disk: with the
  // queue full the line is dropped and counts as a failed write.
  void Submit(int channel, std::string path, int32_t sizeLimitKb, std::string line);

  // True once after a write of channel's log failed. Its lines queued
  // since are not written.
  bool TakeFailure(int channel);

  // Waits until every line handed over so far is written or has failed.
  void Flush();
  // The same for at most `deadline`; false when lines are still pending.
  bool Flush(std::chrono::milliseconds deadline);

  size_t DroppedLines() const;

 private:
  struct Entry {
    int channel;
    std::string path;
    int32_t sizeLimitKb;
    std::string line;
  };
  void Run();

  const LogSeams seams_;
  const size_t capacity_;
  mutable std::mutex mutex_;
  std::condition_variable wake_;
  std::condition_variable idle_;
  std::deque<Entry> queue_;
  std::set<int> failed_;
  size_t dropped_ = 0;
  bool busy_ = false;
  bool stopping_ = false;
  std::thread thread_;  // last: starts once everything above is set up
};

}  // namespace kev
