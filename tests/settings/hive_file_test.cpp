// The hive file on disk: first save, preservation of what the program does
// not know, the atomic save under failing writes, damaged files.
#include "settings/hive_file.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

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

TEST_F(HiveFileTest, SaveKeepsTheFilesModeButNoSetIdBitsAndALinkPointingAtIt) {
  std::string real = dir.file("dotfiles/kevatra.reg");
  WriteAll(real, kGoodFile);
  chmod(real.c_str(), 06600);
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
  EXPECT_EQ(st.st_mode & 07777, 0600u);
}

TEST_F(HiveFileTest, AFifoInPlaceOfTheFileIsRefusedWithoutBlocking) {
  std::filesystem::create_directories(dir.file("Kevatra"));
  ASSERT_EQ(mkfifo(path().c_str(), 0600), 0);
  HiveFileRegistry reg(path());
  const std::vector<std::string> problems = reg.load();  // no writer: a blocking open would hang
  ASSERT_EQ(problems.size(), 1u);
  EXPECT_NE(problems[0].find("not a regular file"), std::string::npos) << problems[0];
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

// Without a bound every level of a deep key is stored with its full path:
// 10,000 levels took hundreds of megabytes.
TEST_F(HiveFileTest, AKeyPathTooDeepIsOneProblemOfItsLine) {
  std::string deep = "[HKEY_CURRENT_USER";
  for (int level = 0; level < 10000; ++level) deep += "\\k";
  WriteAll(path(), std::string(kGoodFile) + deep + "]\n\"A\"=dword:00000001\n\"B\"=\"x\"\n");
  HiveFileRegistry reg(path());
  std::vector<std::string> problems = reg.load();
  ASSERT_EQ(problems.size(), 1u);
  EXPECT_EQ(problems[0], "line 5: a key path deeper than 32 levels");
  EXPECT_EQ(reg.tree().keys().size(), 5u);  // the good file's key and those above it
  EXPECT_TRUE(reg.queryValue("Software\\Tolvenor\\Kevatra\\FanSpeed", "Fan1PPR"));
}

// Three programs that loaded the same damaged file save one after another
// or at once: the copy kept aside is still the damaged original.
TEST_F(HiveFileTest, ConcurrentSavesKeepTheDamagedOriginal) {
  const std::string damaged = std::string(kGoodFile) + "garbage\n";
  constexpr int kSavers = 3;
  for (int round = 0; round < 3; ++round) {
    WriteAll(path(), damaged);
    std::filesystem::remove(path() + ".damaged");
    int loaded[2], go[2];
    ASSERT_EQ(pipe(loaded), 0);
    ASSERT_EQ(pipe(go), 0);
    for (int n = 0; n < kSavers; ++n) {
      if (fork() != 0) continue;
      close(go[1]);
      HiveFileRegistry reg(path());
      const bool sawDamage = !reg.load().empty();
      char byte = 0;
      (void)!write(loaded[1], &byte, 1);
      (void)!read(go[0], &byte, 1);  // returns when the test closes its end
      _exit(sawDamage && SaveSettings(reg, MonitorSettings{}).ok ? 0 : 1);
    }
    close(loaded[1]);
    char bytes[kSavers];
    ssize_t got = 0;
    for (ssize_t n = 1; got < kSavers && n > 0; got += n) n = read(loaded[0], bytes, kSavers);
    EXPECT_EQ(got, kSavers);
    close(go[1]);  // all have loaded the damaged file: save
    for (int n = 0; n < kSavers; ++n) {
      int status = 0;
      wait(&status);
      EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    }
    close(loaded[0]);
    close(go[0]);
    EXPECT_EQ(ReadAll(path() + ".damaged"), damaged) << "round " << round;
  }
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
