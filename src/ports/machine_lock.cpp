#include "ports/machine_lock.h"

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <thread>

namespace kev::ports {
namespace {

constexpr mode_t kLockMode = 0660;
constexpr std::chrono::microseconds kFirstPause{200};
constexpr std::chrono::microseconds kLongestPause{5000};

}  // namespace

MachineLock::MachineLock(const std::string& path) {
  if (path.empty()) return;
  fd_ = open(path.c_str(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC | O_NOCTTY);
  if (fd_ < 0 && errno == ENOENT) {
    fd_ = open(path.c_str(), O_RDONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, kLockMode);
    if (fd_ < 0 && errno == EEXIST) fd_ = open(path.c_str(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC);
  }
  if (fd_ < 0) {
    problem_ = "cannot open the lock " + path + " (" + std::strerror(errno) +
               "): other Kevatra programs are not kept apart";
  }
}

MachineLock::~MachineLock() {
  if (fd_ >= 0) close(fd_);
}

bool MachineLock::acquire(std::chrono::milliseconds wait) {
  if (fd_ < 0) return true;
  const auto deadline = std::chrono::steady_clock::now() + wait;
  std::chrono::microseconds pause = kFirstPause;
  for (;;) {
    if (flock(fd_, LOCK_EX | LOCK_NB) == 0) {
      held_ = true;
      return true;
    }
    if (errno != EWOULDBLOCK && errno != EINTR) return false;
    if (std::chrono::steady_clock::now() >= deadline) return false;
    std::this_thread::sleep_for(pause);
    pause = std::min(pause * 2, kLongestPause);
  }
}

void MachineLock::release() {
  if (fd_ >= 0 && held_) flock(fd_, LOCK_UN);
  held_ = false;
}

}  // namespace kev::ports
