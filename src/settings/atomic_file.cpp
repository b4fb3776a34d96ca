#include "settings/atomic_file.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>

namespace kev {
namespace {

constexpr mode_t kNewFileMode = 0644;
constexpr mode_t kNewDirMode = 0755;
// A replaced file keeps its permissions, never set-user-ID, set-group-ID or sticky bits.
constexpr mode_t kKeptModeBits = 0777;
constexpr int kMaxLinkHops = 40;  // as many as the kernel follows
// A save takes milliseconds; a lock held longer belongs to a stuck process.
constexpr int kLockWaitMs = 10000;
constexpr int kLockPollMs = 10;

SaveResult Failure(const std::string& path, int err) {
  return SaveResult::Failed("Cannot write \"" + path + "\": " + std::strerror(err) + ".");
}

std::string DirName(const std::string& path) {
  size_t slash = path.rfind('/');
  if (slash == std::string::npos) return ".";
  return slash == 0 ? "/" : path.substr(0, slash);
}

// Someone besides the user and root may add or replace entries of the folder.
bool OthersMayWrite(const std::string& dir) {
  struct stat st;
  if (stat(dir.c_str(), &st) != 0) return true;
  return (st.st_uid != geteuid() && st.st_uid != 0) || (st.st_mode & (S_IWGRP | S_IWOTH)) != 0;
}

bool WriteAll(int fd, std::string_view content, const WriteFn& write, int& err) {
  while (!content.empty()) {
    ssize_t n = write ? write(fd, content.data(), content.size())
                      : ::write(fd, content.data(), content.size());
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) {
      err = n < 0 ? errno : EIO;
      return false;
    }
    content.remove_prefix(static_cast<size_t>(n));
  }
  return true;
}

}  // namespace

FileRead ReadFileCapped(const std::string& path, size_t max_bytes) {
  FileRead r;
  // Non-blocking, so that a FIFO swapped in after the caller looked never blocks the open.
  int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
  if (fd < 0) {
    if (errno != ENOENT) r.error = "Cannot read \"" + path + "\": " + std::strerror(errno) + ".";
    return r;
  }
  r.exists = true;
  struct stat st;
  if (fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
    r.error = "Cannot read \"" + path + "\": it is not a regular file.";
    close(fd);
    return r;
  }
  r.device = st.st_dev;
  r.inode = st.st_ino;
  char buf[65536];
  for (;;) {
    ssize_t n = read(fd, buf, sizeof buf);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) {
      r.error = "Cannot read \"" + path + "\": " + std::strerror(errno) + ".";
      break;
    }
    if (n == 0) break;
    size_t room = max_bytes - r.bytes.size();
    if (static_cast<size_t>(n) > room) {
      r.bytes.append(buf, room);
      r.truncated = true;
      break;
    }
    r.bytes.append(buf, static_cast<size_t>(n));
  }
  close(fd);
  return r;
}

bool MakeDirectories(const std::string& dir) {
  struct stat st;
  if (stat(dir.c_str(), &st) == 0) return S_ISDIR(st.st_mode);
  std::string parent = DirName(dir);
  if (parent != dir && !MakeDirectories(parent)) return false;
  return mkdir(dir.c_str(), kNewDirMode) == 0 || errno == EEXIST;
}

SaveResult ReplaceFileExclusively(const std::string& path, std::string_view content, mode_t mode,
                                  const WriteFn& write) {
  std::string temp = path + ".XXXXXX";
  int fd = mkostemp(temp.data(), O_CLOEXEC);
  if (fd < 0) return Failure(path, errno);
  int err = 0;
  bool ok = fchmod(fd, mode & kKeptModeBits) == 0 || (err = errno, false);
  ok = ok && WriteAll(fd, content, write, err);
  ok = ok && (fsync(fd) == 0 || (err = errno, false));
  if (close(fd) != 0 && ok) ok = false, err = errno;
  ok = ok && (rename(temp.c_str(), path.c_str()) == 0 || (err = errno, false));
  if (!ok) {
    unlink(temp.c_str());
    return Failure(path, err);
  }
  return {};
}

SaveResult ResolveSaveTarget(const std::string& path, std::string& target) {
  target = path;
  for (int hop = 0; hop < kMaxLinkHops; ++hop) {
    struct stat link;
    if (lstat(target.c_str(), &link) != 0) {
      if (hop > 0) target = path;  // a link to nothing: replaced as it is
      return {};
    }
    if (!S_ISLNK(link.st_mode)) return {};
    const std::string dir = DirName(target);
    if (link.st_uid != geteuid() && link.st_uid != 0 && OthersMayWrite(dir)) {
      return SaveResult::Failed("Cannot write \"" + path + "\": \"" + target +
                                "\" is a symbolic link of another user (" +
                                std::to_string(link.st_uid) +
                                ") in a folder others can write; nothing is saved through it.");
    }
    char next[PATH_MAX];
    const ssize_t n = readlink(target.c_str(), next, sizeof next);
    if (n < 0 || static_cast<size_t>(n) == sizeof next) {
      return Failure(path, n < 0 ? errno : ENAMETOOLONG);
    }
    target = next[0] == '/' ? std::string(next, static_cast<size_t>(n))
                            : dir + '/' + std::string(next, static_cast<size_t>(n));
  }
  return Failure(path, ELOOP);
}

SaveResult WriteFileAtomically(const std::string& path, std::string_view content,
                               const WriteFn& write) {
  std::string target;
  if (SaveResult safe = ResolveSaveTarget(path, target); !safe) return safe;
  const std::string dir = DirName(target);
  if (!MakeDirectories(dir)) return Failure(dir, errno);
  struct stat old;
  mode_t mode = stat(target.c_str(), &old) == 0 ? (old.st_mode & kKeptModeBits) : kNewFileMode;
  SaveResult r = ReplaceFileExclusively(target, content, mode, write);
  if (!r) return r;
  // The rename itself reaches the disk with the folder; a folder that
  // cannot be synced may lose the new file in a crash, which is said.
  int dfd = open(dir.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  const bool synced = dfd >= 0 && (fsync(dfd) == 0 || errno == EINVAL);
  const int err = errno;
  if (dfd >= 0) close(dfd);
  if (!synced) {
    return SaveResult::Failed("Cannot write \"" + path + "\": the folder \"" + dir +
                              "\" could not be synced to disk: " + std::strerror(err) + ".");
  }
  return {};
}

FolderLock::FolderLock(const std::string& file) {
  fd_ = open(DirName(file).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd_ < 0) return;
  for (int waited = 0;; waited += kLockPollMs) {
    if (flock(fd_, LOCK_EX | LOCK_NB) == 0) return;
    // A folder that cannot be locked at all is saved into unlocked.
    if (errno != EWOULDBLOCK && errno != EINTR) return;
    if (waited >= kLockWaitMs) {
      ok_ = false;
      return;
    }
    usleep(kLockPollMs * 1000);
  }
}

FolderLock::~FolderLock() {
  if (fd_ >= 0) close(fd_);  // closing lets the lock go
}

SaveResult RemoveFile(const std::string& path) {
  if (unlink(path.c_str()) == 0 || errno == ENOENT) return {};
  return SaveResult::Failed("Cannot remove \"" + path + "\": " + std::strerror(errno) + ".");
}

}  // namespace kev
