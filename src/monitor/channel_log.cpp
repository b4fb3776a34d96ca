#include "monitor/channel_log.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <ctime>
#include <limits>

#include "settings/atomic_file.h"

namespace kev {

// Log times past 2038 and logs over 2 GB on 32-bit builds too.
static_assert(sizeof(std::time_t) == 8 && sizeof(off_t) == 8,
              "build with -D_TIME_BITS=64 -D_FILE_OFFSET_BITS=64");

namespace {

constexpr uint64_t kReserveBytes = 5120;  // kept free on the current drive
constexpr uint64_t kNewFileReserve = kReserveBytes + 3072;
constexpr uint64_t kBytesPerKb = 1024;
constexpr const char* kLineEnd = "\r\n";
constexpr mode_t kNewLogMode = 0644;
constexpr mode_t kKeptModeBits = 0666;  // never execute or set-id bits on a new log

bool WriteAll(int fd, std::string_view data) {
  while (!data.empty()) {
    const ssize_t n = ::write(fd, data.data(), data.size());
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return false;
    data.remove_prefix(static_cast<size_t>(n));
  }
  return true;
}

// Closes fd; true when both the earlier steps and the close succeeded.
bool CloseAfter(int fd, bool ok) { return ::close(fd) == 0 && ok; }

// A plain file with a single name; anything else may have been planted.
bool PlainLogFile(const struct stat& st) { return S_ISREG(st.st_mode) && st.st_nlink == 1; }

// Opens path without following a link and checks what was opened.
// -1 with errno set on failure; ENOENT only when nothing is there.
int OpenLog(const std::string& path, int flags, struct stat& st) {
  const int fd = ::open(path.c_str(), flags | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC, kNewLogMode);
  if (fd < 0) return -1;
  if (::fstat(fd, &st) == 0 && PlainLogFile(st)) return fd;
  ::close(fd);
  errno = EPERM;
  return -1;
}

// The old content without its first line (through the first CR LF).
std::string_view WithoutOldestLine(std::string_view content) {
  const size_t end = content.find(kLineEnd);
  return end == std::string_view::npos ? content : content.substr(end + 2);
}

}  // namespace

LogFileSystem::Open PosixLogFileSystem::SizeOf(const std::string& path, uint64_t& size) {
  struct stat st {};
  const int fd = OpenLog(path, O_RDWR, st);
  if (fd < 0) return errno == ENOENT ? Open::Missing : Open::Failed;
  if (!CloseAfter(fd, true)) return Open::Failed;
  size = static_cast<uint64_t>(st.st_size);
  return Open::Ok;
}

bool PosixLogFileSystem::ReadAll(const std::string& path, std::string& out) {
  struct stat st {};
  const int fd = OpenLog(path, O_RDONLY, st);
  if (fd < 0) return false;
  out.clear();
  char buf[4096];
  for (;;) {
    const ssize_t n = ::read(fd, buf, sizeof buf);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) return CloseAfter(fd, false);
    if (n == 0) break;
    out.append(buf, static_cast<size_t>(n));
  }
  return CloseAfter(fd, true);
}

bool PosixLogFileSystem::Append(const std::string& path, std::string_view data) {
  struct stat st {};
  const int fd = OpenLog(path, O_WRONLY | O_APPEND | O_CREAT, st);
  if (fd < 0) return false;
  if (WriteAll(fd, data)) return CloseAfter(fd, true);
  // Cut the file back, so that no half line stays for the next one to be
  // glued onto; the append has failed either way.
  [[maybe_unused]] const int cut = ::ftruncate(fd, st.st_size);
  return CloseAfter(fd, false);
}

bool PosixLogFileSystem::Replace(const std::string& path, std::string_view content) {
  struct stat st {};
  if (::lstat(path.c_str(), &st) != 0 || !PlainLogFile(st)) return false;
  return static_cast<bool>(ReplaceFileExclusively(path, content, st.st_mode & kKeptModeBits));
}

LocalTime SystemLocalTime() {
  const std::time_t now = std::time(nullptr);
  std::tm tm{};
  localtime_r(&now, &tm);
  return {tm.tm_year + 1900, tm.tm_mon + 1, tm.tm_mday, tm.tm_hour, tm.tm_min, tm.tm_sec};
}

uint64_t CurrentDirectoryFreeSpace() {
  struct statvfs st {};
  // Unknown free space does not stop logging; a full disk fails the write.
  if (::statvfs(".", &st) != 0) return std::numeric_limits<uint64_t>::max();
  return static_cast<uint64_t>(st.f_bavail) * st.f_frsize;
}

LogSeams SystemLogSeams(LogFileSystem& files) {
  return {SystemLocalTime, CurrentDirectoryFreeSpace, &files};
}

std::string FormatTimeStamp(const LocalTime& t) {
  char buf[32];
  std::snprintf(buf, sizeof buf, "%04d/%02d/%02d %02d:%02d:%02d", t.year, t.month, t.day, t.hour,
                t.minute, t.second);
  return buf;
}

std::string FormatLogLine(const LocalTime& t, const std::string& label,
                          const std::string& valueText) {
  std::string line = FormatTimeStamp(t);
  if (!label.empty()) line += " [" + label + "]";
  line += " : ";
  line += valueText;
  line += kLineEnd;
  return line;
}

bool WriteLogLine(const LogSeams& seams, int32_t sizeLimitKb, const std::string& path,
                  std::string_view line) {
  if (seams.files == nullptr || !seams.freeSpace) return false;
  LogFileSystem& files = *seams.files;
  const uint64_t free = seams.freeSpace();
  uint64_t size = 0;
  switch (files.SizeOf(path, size)) {
    case LogFileSystem::Open::Failed:
      return false;
    case LogFileSystem::Open::Missing:
      if (free < kNewFileReserve) return false;
      size = 0;
      break;
    case LogFileSystem::Open::Ok:
      break;
  }
  const uint64_t limit = sizeLimitKb > 0 ? static_cast<uint64_t>(sizeLimitKb) * kBytesPerKb : 0;
  if (free >= kReserveBytes && size < limit) return files.Append(path, line);

  // Full, or the drive is short of space: the new line replaces the oldest.
  if (size < 2 * line.size()) return false;
  std::string old;
  if (!files.ReadAll(path, old)) return false;
  std::string next(WithoutOldestLine(old));
  next += line;
  return files.Replace(path, next);
}

bool AppendLogLine(const LogSeams& seams, int32_t sizeLimitKb, const std::string& path,
                   const std::string& label, const std::string& valueText) {
  if (!seams.now) return false;
  return WriteLogLine(seams, sizeLimitKb, path, FormatLogLine(seams.now(), label, valueText));
}

}  // namespace kev
