// One Kevatra program at a time on the hardware: every port helper on the
// machine holds one lock file for the length of each message, so that two
// programs never interleave their accesses to a chip.
#pragma once

#include <chrono>
#include <string>

namespace kev::ports {

// The package creates it (root:kevatra 0660, by tmpfiles.d at boot).
inline constexpr const char* kMachineLockPath = "/run/lock/kevatra-ports.lock";
// How long a message waits for another program before it answers Busy.
inline constexpr std::chrono::milliseconds kLockWait{1000};

class MachineLock {
 public:
  // Opens path without following a link, creating it when missing; when
  // that fails, problem() says why and the lock always succeeds (as it
  // does for an empty path: a test's helper with nothing to keep apart).
  explicit MachineLock(const std::string& path);
  ~MachineLock();
  MachineLock(const MachineLock&) = delete;
  MachineLock& operator=(const MachineLock&) = delete;

  // Waits up to wait for the lock; false when another holder kept it.
  bool acquire(std::chrono::milliseconds wait);
  void release();
  const std::string& problem() const { return problem_; }

 private:
  int fd_ = -1;
  bool held_ = false;
  std::string problem_;
};

}  // namespace kev::ports
