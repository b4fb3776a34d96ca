#include "monitor/log_writer.h"

#include <utility>

namespace kev {

LogWriter::LogWriter(LogSeams seams, size_t capacity)
    : seams_(std::move(seams)), capacity_(capacity), thread_([this] { Run(); }) {}

LogWriter::~LogWriter() {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    stopping_ = true;
  }
  wake_.notify_one();
  thread_.join();
}

void LogWriter::Submit(int channel, std::string path, int32_t sizeLimitKb, std::string line) {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    if (queue_.size() >= capacity_) {
      ++dropped_;
      failed_.insert(channel);
      return;
    }
    queue_.push_back({channel, std::move(path), sizeLimitKb, std::move(line)});
  }
  wake_.notify_one();
}

bool LogWriter::TakeFailure(int channel) {
  std::lock_guard<std::mutex> lock(mutex_);
  if (failed_.erase(channel) == 0) return false;
  std::erase_if(queue_, [channel](const Entry& e) { return e.channel == channel; });
  return true;
}

void LogWriter::Flush() {
  std::unique_lock<std::mutex> lock(mutex_);
  idle_.wait(lock, [this] { return queue_.empty() && !busy_; });
}

bool LogWriter::Flush(std::chrono::milliseconds deadline) {
  std::unique_lock<std::mutex> lock(mutex_);
  return idle_.wait_for(lock, deadline, [this] { return queue_.empty() && !busy_; });
}

size_t LogWriter::DroppedLines() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return dropped_;
}

void LogWriter::Run() {
  std::unique_lock<std::mutex> lock(mutex_);
  for (;;) {
    wake_.wait(lock, [this] { return stopping_ || !queue_.empty(); });
    if (queue_.empty()) return;  // stopping, and everything is written
    Entry e = std::move(queue_.front());
    queue_.pop_front();
    if (failed_.count(e.channel) == 0) {
      busy_ = true;
      lock.unlock();
      bool ok = false;
      try {
        ok = WriteLogLine(seams_, e.sizeLimitKb, e.path, e.line);
      } catch (...) {  // out of memory for a roll-over: that line fails
      }
      lock.lock();
      busy_ = false;
      if (!ok) failed_.insert(e.channel);
    }
    if (queue_.empty()) idle_.notify_all();
  }
}

}  // namespace kev
