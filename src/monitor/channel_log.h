// Per-channel log files: one time-stamped CR LF line per sample, with a
// size cap kept by dropping the oldest line for every new one.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

namespace kev {

// Local wall-clock time, as the time stamp shows it.
struct LocalTime {
  int year = 2000, month = 1, day = 1;
  int hour = 0, minute = 0, second = 0;
};

// The file operations a log line needs. The real one works on the host's
// file system; tests substitute files that fail on demand.
class LogFileSystem {
 public:
  enum class Open { Ok, Missing, Failed };
  virtual ~LogFileSystem() = default;
  // Size of an existing file that can be opened for reading and writing.
  virtual Open SizeOf(const std::string& path, uint64_t& size) = 0;
  virtual bool ReadAll(const std::string& path, std::string& out) = 0;
  // Appends at the end, creating the file when it does not exist.
  virtual bool Append(const std::string& path, std::string_view data) = 0;
  // Writes content into a new file and puts it in place of path in one step;
  // on any failure path keeps its old content.
  virtual bool Replace(const std::string& path, std::string_view content) = 0;
};

// POSIX files. A log must be a plain file with one name: a symbolic link,
// a second hard link or anything else at its place fails, so that a file
// planted beside a log can never redirect a write. Replace writes a new
// file under an exclusive, unpredictable name first; a failed Append cuts
// the file back to its old size.
class PosixLogFileSystem : public LogFileSystem {
 public:
  Open SizeOf(const std::string& path, uint64_t& size) override;
  bool ReadAll(const std::string& path, std::string& out) override;
  bool Append(const std::string& path, std::string_view data) override;
  bool Replace(const std::string& path, std::string_view content) override;
};

struct LogSeams {
  std::function<LocalTime()> now;
  std::function<uint64_t()> freeSpace;  // bytes free on the current directory's drive
  LogFileSystem* files = nullptr;
};

// The host's clock, the current directory's free space and POSIX files.
// The file system object must outlive the seams.
LogSeams SystemLogSeams(LogFileSystem& files);
LocalTime SystemLocalTime();
uint64_t CurrentDirectoryFreeSpace();

// "yyyy/mm/dd hh:nn:ss".
std::string FormatTimeStamp(const LocalTime& t);
// Time stamp, " [label]" when there is one, " : ", the value text, CR LF.
std::string FormatLogLine(const LocalTime& t, const std::string& label,
                          const std::string& valueText);

// Appends one formatted line to the log at path, keeping the file within
// sizeLimitKb kilobytes. False when nothing could be written.
bool WriteLogLine(const LogSeams& seams, int32_t sizeLimitKb, const std::string& path,
                  std::string_view line);
// The same for a line stamped now.
bool AppendLogLine(const LogSeams& seams, int32_t sizeLimitKb, const std::string& path,
                   const std::string& label, const std::string& valueText);

}  // namespace kev
