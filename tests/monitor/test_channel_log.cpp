// Channel log files: line format, size cap, free-space rules, failures.
#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <csignal>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "monitor/channel_log.h"
#include "monitor_rig.h"

namespace kev {
namespace {

namespace fs = std::filesystem;
using Op = test::MemoryLogFiles::Op;

const LocalTime kNoon{2001, 5, 12, 13, 45, 10};

TEST(LogLine, FormatWithAndWithoutLabel) {
  EXPECT_EQ(FormatLogLine(kNoon, "CPU Fan", "4411RPM"),
            "2001/05/12 13:45:10 [CPU Fan] : 4411RPM\r\n");
  EXPECT_EQ(FormatLogLine(kNoon, "", "4411RPM"), "2001/05/12 13:45:10 : 4411RPM\r\n");
  EXPECT_EQ(FormatLogLine({1999, 1, 2, 3, 4, 5}, "x", "N/A"), "1999/01/02 03:04:05 [x] : N/A\r\n");
}

struct LogTest : ::testing::Test {
  test::MemoryLogFiles files;
  LocalTime now = kNoon;
  uint64_t freeBytes = 1 << 20;
  LogSeams seams{[this] { return now; }, [this] { return freeBytes; }, &files};
  const std::string path = "/logs/FAN_1.LOG";

  bool Append(const std::string& value, int32_t limitKb = 1) {
    return AppendLogLine(seams, limitKb, path, "CPU Fan", value);
  }
  // Fills the file with numbered lines up to at least bytes.
  void Fill(size_t bytes) {
    std::string& f = files.files[path];
    for (int i = 0; f.size() < bytes; ++i)
      f += "2001/05/12 13:45:10 : line " + std::to_string(i) + "\r\n";
  }
};

TEST_F(LogTest, AppendsOneLinePerSample) {
  ASSERT_TRUE(Append("4411RPM"));
  now.second = 11;
  ASSERT_TRUE(Append("4400RPM [Err]"));
  EXPECT_EQ(files.files[path],
            "2001/05/12 13:45:10 [CPU Fan] : 4411RPM\r\n"
            "2001/05/12 13:45:11 [CPU Fan] : 4400RPM [Err]\r\n");
}

TEST_F(LogTest, NewFileNeedsEightKilobytesFree) {
  freeBytes = 8191;
  EXPECT_FALSE(Append("1RPM"));
  EXPECT_EQ(files.files.count(path), 0u);
  freeBytes = 8192;
  EXPECT_TRUE(Append("1RPM"));
}

TEST_F(LogTest, FullFileDropsTheOldestLineForEachNewOne) {
  Fill(1024);
  const std::string before = files.files[path];
  ASSERT_TRUE(Append("4411RPM"));
  const std::string after = files.files[path];
  const size_t firstEnd = before.find("\r\n") + 2;
  EXPECT_EQ(after, before.substr(firstEnd) + "2001/05/12 13:45:10 [CPU Fan] : 4411RPM\r\n");
  // Just below the limit the line is appended.
  files.files[path] = before.substr(0, 1023);
  ASSERT_TRUE(Append("1RPM"));
  EXPECT_EQ(files.files[path].substr(0, 1023), before.substr(0, 1023));
}

TEST_F(LogTest, LargerLimitsAreKilobytes) {
  Fill(3000);
  const std::string before = files.files[path];
  ASSERT_TRUE(Append("1RPM", 3));
  EXPECT_EQ(files.files[path].substr(0, before.size()), before);
}

TEST_F(LogTest, ShortDriveRollsOverEvenBelowTheLimit) {
  Fill(200);
  const std::string before = files.files[path];
  freeBytes = 5119;
  ASSERT_TRUE(Append("7RPM", 50));
  const size_t line = FormatLogLine(kNoon, "CPU Fan", "7RPM").size();
  EXPECT_EQ(files.files[path].size(), before.size() - before.find("\r\n") - 2 + line);
  // A file that must roll over but is shorter than two new lines fails.
  files.files[path] = "short\r\n";
  EXPECT_FALSE(Append("7RPM", 50));
  EXPECT_EQ(files.files[path], "short\r\n");
  freeBytes = 5120;
  EXPECT_TRUE(Append("7RPM", 50));
}

TEST_F(LogTest, FileWithoutLineEndKeepsItsContentOnRollOver) {
  files.files[path] = std::string(1100, 'x');
  ASSERT_TRUE(Append("1RPM"));
  EXPECT_EQ(files.files[path].substr(0, 1100), std::string(1100, 'x'));
}

TEST_F(LogTest, EveryFailingStepReportsFailureAndKeepsTheOldLog) {
  for (Op op : {Op::kSizeOf, Op::kReadAll, Op::kReplace}) {
    files.files.clear();
    Fill(1100);
    const std::string before = files.files[path];
    files.failing = {op};
    EXPECT_FALSE(Append("1RPM")) << op;
    EXPECT_EQ(files.files[path], before) << op;
  }
  files.files.clear();
  files.failing = {Op::kAppend};
  EXPECT_FALSE(Append("1RPM"));
}

// While alive, no file of this process grows past limit bytes: a write
// beyond fails as on a full disk.
class FileSizeLimit {
 public:
  explicit FileSizeLimit(rlim_t limit) : oldSignal_(std::signal(SIGXFSZ, SIG_IGN)) {
    ::getrlimit(RLIMIT_FSIZE, &old_);
    rlimit lowered = old_;
    lowered.rlim_cur = limit;
    ::setrlimit(RLIMIT_FSIZE, &lowered);
  }
  ~FileSizeLimit() {
    ::setrlimit(RLIMIT_FSIZE, &old_);
    std::signal(SIGXFSZ, oldSignal_);
  }

 private:
  rlimit old_{};
  void (*oldSignal_)(int);
};

// The same rules on real files in a temporary directory.
struct PosixLogTest : ::testing::Test {
  void SetUp() override {
    dir = fs::temp_directory_path() /
          ("kev_log_" + std::to_string(::getpid()) + "_" +
           ::testing::UnitTest::GetInstance()->current_test_info()->name());
    fs::remove_all(dir);
    fs::create_directories(dir);
    path = (dir / "VOLT_1.LOG").string();
  }
  void TearDown() override {
    fs::permissions(dir, fs::perms::owner_all);
    fs::remove_all(dir);
  }
  static std::string Read(const fs::path& file) {
    std::ifstream in(file, std::ios::binary);
    std::stringstream ss;
    ss << in.rdbuf();
    return ss.str();
  }
  std::string Read() const { return Read(path); }
  void Write(const std::string& content) const { std::ofstream(path, std::ios::binary) << content; }
  // Numbered lines up to the 1 KB cap.
  static std::string FullLog() {
    std::string content;
    for (int i = 0; content.size() < 1024; ++i)
      content += "2001/05/12 13:45:10 : +1.2" + std::to_string(i) + "V\r\n";
    return content;
  }

  fs::path dir;
  std::string path;
  PosixLogFileSystem files;
  LogSeams seams{[] { return kNoon; }, [] { return uint64_t{1} << 30; }, &files};
};

TEST_F(PosixLogTest, RollOverReplacesTheFileAndFollowsNoPlantedLink) {
  const std::string content = FullLog();
  Write(content);
  const fs::path victim = dir / "victim";
  std::ofstream(victim) << "keep";
  fs::create_symlink(victim, path + ".new");  // where the new file once went
  ASSERT_TRUE(AppendLogLine(seams, 1, path, "", "+3.30V"));
  EXPECT_EQ(Read(), content.substr(content.find("\r\n") + 2) + "2001/05/12 13:45:10 : +3.30V\r\n");
  EXPECT_EQ(Read(victim), "keep");
  EXPECT_EQ(std::distance(fs::directory_iterator(dir), fs::directory_iterator()), 3);
}

TEST_F(PosixLogTest, FailureDuringRollOverLosesNothing) {
  const std::string content = FullLog();
  Write(content);
  {
    FileSizeLimit full(content.size() / 2);
    EXPECT_FALSE(AppendLogLine(seams, 1, path, "", "+3.30V"));
  }
  EXPECT_EQ(Read(), content);
  EXPECT_EQ(std::distance(fs::directory_iterator(dir), fs::directory_iterator()), 1);
}

TEST_F(PosixLogTest, FailedAppendLeavesNoHalfLine) {
  const std::string before = "2001/05/12 13:45:10 : +1.20V\r\n";
  Write(before);
  {
    FileSizeLimit full(before.size() + 10);  // room for part of a line only
    EXPECT_FALSE(AppendLogLine(seams, 1, path, "", "+3.30V"));
  }
  EXPECT_EQ(Read(), before);
  ASSERT_TRUE(AppendLogLine(seams, 1, path, "", "+3.30V"));
  EXPECT_EQ(Read(), before + "2001/05/12 13:45:10 : +3.30V\r\n");
}

// A log name that is a link (to a file, or to nowhere yet) or a file with
// a second name is refused, so a planted link never redirects a write.
TEST_F(PosixLogTest, LinkedLogsAreRefused) {
  const fs::path target = dir / "elsewhere";
  std::ofstream(target, std::ios::binary) << FullLog();
  fs::create_symlink(target, path);
  EXPECT_FALSE(AppendLogLine(seams, 1, path, "", "+3.30V"));
  EXPECT_TRUE(fs::is_symlink(path));
  EXPECT_EQ(Read(target), FullLog());
  fs::create_symlink(dir / "nowhere", dir / "FAN_1.LOG");
  EXPECT_FALSE(AppendLogLine(seams, 1, (dir / "FAN_1.LOG").string(), "", "1RPM"));
  EXPECT_FALSE(fs::exists(dir / "nowhere"));
  fs::create_hard_link(target, dir / "FAN_2.LOG");
  EXPECT_FALSE(AppendLogLine(seams, 1, (dir / "FAN_2.LOG").string(), "", "1RPM"));
  EXPECT_EQ(Read(target), FullLog());
}

TEST_F(PosixLogTest, UnwritableFileOrDirectoryFails) {
  // A folder standing where the log should be, and a place where no file can
  // be created: both refuse whoever runs the test.
  fs::create_directory(dir / "FAN_3.LOG");
  EXPECT_FALSE(AppendLogLine(seams, 1, (dir / "FAN_3.LOG").string(), "", "1RPM"));
  EXPECT_FALSE(AppendLogLine(seams, 1, "/proc/self/FAN_2.LOG", "", "1RPM"));
  if (::geteuid() == 0) return;  // file permissions do not bind root
  Write("old\r\n");
  fs::permissions(path, fs::perms::owner_read);
  EXPECT_FALSE(AppendLogLine(seams, 1, path, "", "1RPM"));
  fs::permissions(dir, fs::perms::owner_read | fs::perms::owner_exec);
  EXPECT_FALSE(AppendLogLine(seams, 1, (dir / "FAN_2.LOG").string(), "", "1RPM"));
  EXPECT_EQ(Read(), "old\r\n");
}

TEST_F(PosixLogTest, MissingDirectoryFails) {
  EXPECT_FALSE(AppendLogLine(seams, 1, (dir / "gone" / "FAN_1.LOG").string(), "", "1RPM"));
}

TEST_F(PosixLogTest, CreatesAndAppends) {
  ASSERT_TRUE(AppendLogLine(seams, 1, path, "Vcore", "+1.65V"));
  ASSERT_TRUE(AppendLogLine(seams, 1, path, "Vcore", "+1.66V"));
  EXPECT_EQ(Read(),
            "2001/05/12 13:45:10 [Vcore] : +1.65V\r\n2001/05/12 13:45:10 [Vcore] : +1.66V\r\n");
}

}  // namespace
}  // namespace kev
