// The hive file on disk: first save, preservation of what the program does
// not know, the atomic save under failing writes, damaged files.
#include "settings/hive_file.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cerrno>
#include <filesystem>

#include "settings/settings_io.h"
#include "temp_dir.h"

namespace kev {
namespace {

using test::ReadAll;
using test::TempDir;
using test::WriteAll;

constexpr const char* kGoodFile =
    "Windows Registry Editor Version 5.00\n\n"
    "[HKEY_CURRENT_USER\\Software\\Tolvenor\\Kevatra\\FanSpeed]\n"
    "\"Fan1PPR\"=dword:00000002\n";

class HiveFileTest : public ::testing::Test {
 protected:
  std::string path() const { return dir.file("Kevatra/registry.reg"); }
  std::vector<std::string> Entries() const {
    std::vector<std::string> names;
    for (auto& e : std::filesystem::directory_iterator(dir.file("Kevatra"))) {
      names.push_back(e.path().filename().string());
    }
    std::sort(names.begin(), names.end());
    return names;
  }
  TempDir dir;
};

TEST_F(HiveFileTest, FirstRunStartsEmptyAndTheFirstSaveCreatesTheFile) {
  HiveFileRegistry reg(path());
  EXPECT_TRUE(reg.load().empty());
  MonitorSettings s;
  LoadSettings(reg, s);
  EXPECT_TRUE(s.SettingsDefaulted);
  s.IntervalTime = 3000;
  s.Temp3SMBAddress = -1;
  s.SoundFile1 = "/usr/share/sounds/a \"b\".wav";
  ASSERT_TRUE(SaveSettings(reg, s));

  std::string text = ReadAll(path());
  EXPECT_NE(text.find("[HKEY_CURRENT_USER\\Software\\Tolvenor\\Kevatra\\General]\n"
                      "\"AlwaysOnTop\"=dword:00000000\n"),
            std::string::npos);
  EXPECT_NE(text.find("\"IntervalTime\"=dword:00000bb8\n"), std::string::npos);
  EXPECT_NE(text.find("\"Temp3SMBAddress\"=dword:ffffffff\n"), std::string::npos);
  EXPECT_NE(text.find("\"SoundFile1\"=\"/usr/share/sounds/a \\\"b\\\".wav\"\n"), std::string::npos);

  HiveFileRegistry again(path());
  EXPECT_TRUE(again.load().empty());
  MonitorSettings back;
  LoadSettings(again, back);
  s.SettingsDefaulted = false;
  EXPECT_TRUE(back == s);
  EXPECT_EQ(Entries(), std::vector<std::string>{"registry.reg"});
}

TEST_F(HiveFileTest, UnknownValuesAndKeysSurviveASave) {
  WriteAll(path(),
           "Windows Registry Editor Version 5.00\n\n"
           "[HKEY_CURRENT_USER\\Software\\Tolvenor\\Kevatra\\General]\n"
           "\"Note\"=hex(b):01,00,00,00,00,00,00,00\n"
           "\"IntervalTime\"=\"fast\"\n"
           "[HKEY_CURRENT_USER\\Software\\Other\\Program]\n"
           "\"Kept\"=hex(2):41,00,00,00\n"
           "[HKEY_LOCAL_MACHINE\\Elsewhere]\n"
           "@=\"x\"\n");
  HiveFileRegistry reg(path());
  ASSERT_TRUE(reg.load().empty());
  MonitorSettings s;
  LoadSettings(reg, s);
  ASSERT_TRUE(SaveSettings(reg, s));

  HiveParseResult saved = ParseHive(ReadAll(path()));
  const HiveKey* general =
      saved.tree.find("HKEY_CURRENT_USER\\Software\\Tolvenor\\Kevatra\\General");
  ASSERT_TRUE(general);
  EXPECT_EQ(*general->find("Note"), (RegValue{0xB, {1, 0, 0, 0, 0, 0, 0, 0}}));
  EXPECT_EQ(*general->find("IntervalTime"), DwordValue(1000));  // the mistyped value replaced
  EXPECT_EQ(*saved.tree.find("HKEY_CURRENT_USER\\Software\\Other\\Program")->find("Kept"),
            TextValue("A", REG_EXPAND_SZ));
  EXPECT_EQ(*saved.tree.find("HKEY_LOCAL_MACHINE\\Elsewhere")->find(""), TextValue("x"));
}

TEST_F(HiveFileTest, FailedWriteLeavesTheOldFileAsItWas) {
  WriteAll(path(), kGoodFile);
  size_t budget = 100;
  HiveFileRegistry reg(path(), [&](int fd, const void* buf, size_t n) -> ssize_t {
    if (budget == 0) {
      errno = ENOSPC;
      return -1;
    }
    n = std::min(n, budget);
    budget -= n;
    return ::write(fd, buf, n);
  });
  ASSERT_TRUE(reg.load().empty());
  MonitorSettings s;
  LoadSettings(reg, s);
  SaveResult r = SaveSettings(reg, s);
  EXPECT_FALSE(r);
  EXPECT_NE(r.error.find("No space left on device"), std::string::npos) << r.error;
  EXPECT_NE(r.error.find(path()), std::string::npos) << r.error;
  EXPECT_EQ(ReadAll(path()), kGoodFile);
  EXPECT_EQ(Entries(), std::vector<std::string>{"registry.reg"});  // no half-written file left

  budget = SIZE_MAX;  // writes that go through a little at a time still complete
  ASSERT_TRUE(SaveSettings(reg, s));
  EXPECT_NE(ReadAll(path()).find("\"Volt9LLimit\"=dword:00000001\n"), std::string::npos);
}

TEST_F(HiveFileTest, SaveKeepsTheFilesModeAndALinkPointingAtIt) {
  std::string real = dir.file("dotfiles/kevatra.reg");
  WriteAll(real, kGoodFile);
  chmod(real.c_str(), 0600);
  std::filesystem::create_directories(dir.file("Kevatra"));
  std::filesystem::create_symlink(real, path());
  HiveFileRegistry reg(path());
  ASSERT_TRUE(reg.load().empty());
  ASSERT_TRUE(SaveSettings(reg, MonitorSettings{}));
  EXPECT_TRUE(std::filesystem::is_symlink(path()));
  EXPECT_NE(ReadAll(real).find("[HKEY_CURRENT_USER\\Software\\Tolvenor\\Kevatra\\Voltage]"),
            std::string::npos);
  struct stat st;
  ASSERT_EQ(stat(real.c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 0777, 0600u);
}

TEST_F(HiveFileTest, DamagedFileIsUsedAsFarAsReadableAndKeptAsideAtTheNextSave) {
  std::string damaged =
      "Windows Registry Editor Version 5.00\n\n"
      "[HKEY_CURRENT_USER\\Software\\Tolvenor\\Kevatra\\FanSpeed]\n"
      "\"Fan1PPR\"=dword:00000002\n"
      "\x01\x02garbage\xFF\n"
      "[HKEY_CURRENT_USER\\Software\\Tolvenor\\Kevatra\\General]\n"
      "\"AlwaysOnTop\"=dword:0000";  // cut short
  WriteAll(path(), damaged);
  HiveFileRegistry reg(path());
  std::vector<std::string> problems = reg.load();
  ASSERT_EQ(problems.size(), 2u);
  EXPECT_EQ(problems[0].rfind("line 5:", 0), 0u) << problems[0];
  EXPECT_NE(problems[1].find("cut short"), std::string::npos) << problems[1];
  MonitorSettings s;
  LoadSettings(reg, s);
  EXPECT_TRUE(s.SettingsDefaulted);
  ASSERT_TRUE(SaveSettings(reg, s));
  EXPECT_EQ(ReadAll(path() + ".damaged"), damaged);
  EXPECT_TRUE(ParseHive(ReadAll(path())).problems.empty());

  HiveFileRegistry reread(path());
  EXPECT_TRUE(reread.load().empty());
}

TEST_F(HiveFileTest, UnreadableOrUnwritablePlaceIsReportedNotFatal) {
  std::filesystem::create_directories(path());  // a folder where the file should be
  HiveFileRegistry reg(path());
  std::vector<std::string> problems = reg.load();
  ASSERT_EQ(problems.size(), 1u);
  EXPECT_NE(problems[0].find("Cannot read"), std::string::npos) << problems[0];
  SaveResult r = SaveSettings(reg, MonitorSettings{});
  EXPECT_FALSE(r);
  EXPECT_NE(r.error.find(path()), std::string::npos) << r.error;
  EXPECT_TRUE(std::filesystem::is_directory(path()));
}

TEST_F(HiveFileTest, OversizedFileIsReportedAndKeptAsideNotCutDown) {
  // Blank lines beyond the cap: the value before them is all the reader sees.
  std::string big = kGoodFile + std::string(kMaxHiveBytes, '\n') + "\"Late\"=dword:00000001\n";
  WriteAll(path(), big);
  HiveFileRegistry reg(path());
  std::vector<std::string> problems = reg.load();
  ASSERT_FALSE(problems.empty());
  EXPECT_NE(problems.back().find("larger than"), std::string::npos) << problems.back();
  MonitorSettings s;
  LoadSettings(reg, s);
  ASSERT_TRUE(SaveSettings(reg, s));
  // The save does not cut the user's file down: the whole of it is kept aside.
  EXPECT_EQ(std::filesystem::file_size(path() + ".damaged"), big.size());
}

TEST(HivePath, FollowsTheXdgConfigHomeAndFallsBackToTheHomeFolder) {
  auto env = [](const char* xdg, const char* home) {
    return [=](const char* name) -> const char* {
      return std::string_view(name) == "XDG_CONFIG_HOME" ? xdg
             : std::string_view(name) == "HOME"          ? home
                                                         : nullptr;
    };
  };
  EXPECT_EQ(DefaultHivePath(env("/cfg", "/home/u")), "/cfg/Kevatra/registry.reg");
  EXPECT_EQ(DefaultHivePath(env("relative", "/home/u")), "/home/u/.config/Kevatra/registry.reg");
  EXPECT_EQ(DefaultHivePath(env(nullptr, "/home/u")), "/home/u/.config/Kevatra/registry.reg");
  EXPECT_EQ(DefaultHivePath(env("", nullptr)), "");
}

}  // namespace
}  // namespace kev
