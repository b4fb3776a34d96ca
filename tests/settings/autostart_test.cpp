// Start at login through the desktop's autostart entry.
#include "settings/autostart.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>

#include "temp_dir.h"

namespace kev {
namespace {

using test::ReadAll;
using test::TempDir;
using test::WriteAll;

class AutostartTest : public ::testing::Test {
 protected:
  AutostartPlace Place(const std::string& exe) const {
    return {dir.file("autostart/Kevatra.desktop"), exe};
  }
  bool Exists() const { return std::filesystem::exists(dir.file("autostart/Kevatra.desktop")); }
  bool Read(const std::string& exe) {
    MonitorSettings s;
    s.StartWithWindows = true;
    EXPECT_TRUE(ReadStartWithWindows(s, Place(exe)));
    return s.StartWithWindows;
  }
  TempDir dir;
};

TEST_F(AutostartTest, SwitchingOnWritesAnEntryThatReadsBackAsOn) {
  ASSERT_TRUE(WriteStartWithWindows(true, Place("/opt/kev/kevatra")));
  EXPECT_EQ(ReadAll(dir.file("autostart/Kevatra.desktop")),
            "[Desktop Entry]\nType=Application\nName=Kevatra\nExec=/opt/kev/kevatra\n");
  EXPECT_TRUE(Read("/opt/kev/kevatra"));
  EXPECT_TRUE(Exists());
  ASSERT_TRUE(WriteStartWithWindows(false, Place("/opt/kev/kevatra")));
  EXPECT_FALSE(Exists());
}

TEST_F(AutostartTest, EntryInAnotherLetterCaseOrPlaceIsRemovedAtStart) {
  ASSERT_TRUE(WriteStartWithWindows(true, Place("/opt/KEV/kevatra")));
  EXPECT_FALSE(Read("/opt/kev/kevatra"));
  EXPECT_FALSE(Exists());
  WriteAll(dir.file("autostart/Kevatra.desktop"), "[Desktop Entry]\nName=Kevatra\n");  // no Exec
  EXPECT_FALSE(Read("/opt/kev/kevatra"));
  EXPECT_FALSE(Exists());
}

TEST_F(AutostartTest, SwitchingOffWithoutAnEntryTouchesNothing) {
  ASSERT_TRUE(WriteStartWithWindows(false, Place("/opt/kev/kevatra")));
  EXPECT_FALSE(std::filesystem::exists(dir.file("autostart")));
  EXPECT_FALSE(Read("/opt/kev/kevatra"));
}

TEST_F(AutostartTest, HiddenEntryReadsOffAndIsLeftAlone) {
  WriteAll(dir.file("autostart/Kevatra.desktop"),
           "# switched off by the desktop\n[Desktop Entry]\nType=Application\n"
           "Exec = /opt/kev/kevatra\nHidden=true\n[Other]\nExec=/elsewhere\n");
  EXPECT_FALSE(Read("/opt/kev/kevatra"));
  EXPECT_TRUE(Exists());
}

TEST_F(AutostartTest, UnknownOwnPathNeitherRemovesNorWrites) {
  ASSERT_TRUE(WriteStartWithWindows(true, Place("/opt/kev/kevatra")));
  EXPECT_FALSE(Read(""));
  EXPECT_TRUE(Exists());
  EXPECT_FALSE(WriteStartWithWindows(true, Place("")));
}

TEST(AutostartEntry, AwkwardExecutablePathsRoundTripThroughTheCommand) {
  for (std::string exe : {"/home/u/My Apps/kevatra", "/x/100%/kev", "/x/a\"b/$HOME/`c`\\d",
                          "/x/tab\there", "/x/\xC3\xBCn\xC3\xAF/k", "/x/semi;colon#(1)"}) {
    EXPECT_EQ(AutostartEntryExecutable(AutostartEntryText(exe)), exe) << exe;
  }
  EXPECT_NE(AutostartEntryText("/home/u/My Apps/k%").find("Exec=\"/home/u/My Apps/k%%\"\n"),
            std::string::npos);
  EXPECT_NE(AutostartEntryText("/a\\b").find("Exec=\"/a\\\\\\\\b\"\n"), std::string::npos);
  EXPECT_EQ(AutostartEntryExecutable("[Desktop Entry]\nExec=\"/no/closing\n"), "");
  EXPECT_EQ(AutostartEntryExecutable("[Desktop Entry]\nExec=/bin/k --tray\n"), "/bin/k");
  EXPECT_EQ(AutostartEntryExecutable("[Desktop Entry]\nExec=\"/a\\sb\"\n"), "/a b");
}

TEST(AutostartEntry, DesktopFileValidatorAcceptsTheEntry) {
  const char* validator = "/usr/bin/desktop-file-validate";
  if (access(validator, X_OK) != 0) GTEST_SKIP() << "desktop-file-utils not installed";
  TempDir dir;
  for (std::string exe : {"/opt/kev/kevatra", "/home/u/My Apps/100% kev"}) {
    std::string file = dir.file("Kevatra.desktop");
    WriteAll(file, AutostartEntryText(exe));
    std::string cmd = std::string(validator) + " '" + file + "' 2>&1";
    FILE* p = popen(cmd.c_str(), "r");
    ASSERT_TRUE(p);
    std::string out;
    char buf[256];
    while (fgets(buf, sizeof buf, p) != nullptr) out += buf;
    EXPECT_EQ(pclose(p), 0) << out;
    EXPECT_EQ(out.find("error"), std::string::npos) << out;
  }
}

}  // namespace
}  // namespace kev
