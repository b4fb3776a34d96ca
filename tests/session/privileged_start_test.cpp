// What root leaves behind for the user it becomes.
#include "session/privileged_start.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>

namespace kev::session {
namespace {

constexpr uint32_t kNobody = 65534;

uid_t OwnerOf(const std::filesystem::path& p) {
  struct stat st {};
  return ::lstat(p.c_str(), &st) == 0 ? st.st_uid : static_cast<uid_t>(-1);
}

// sudo -E once wrote the settings as root into the user's folder: the user
// gets the program's folder and file, nothing reached through a planted link.
TEST(RootLeftovers, TheSettingsFolderAndFileBecomeTheUsersAndLinksAreNotFollowed) {
  if (geteuid() != 0) GTEST_SKIP() << "needs root to own the files and give them away";
  const std::filesystem::path home =
      std::filesystem::temp_directory_path() / ("kev_adopt_" + std::to_string(::getpid()));
  const std::filesystem::path folder = home / ".config/Kevatra";
  std::filesystem::create_directories(folder);
  std::ofstream(folder / "registry.reg") << "settings";
  const std::filesystem::path elsewhere = home / "root-only";
  std::filesystem::create_directories(elsewhere);
  std::ofstream(elsewhere / "registry.reg") << "root's";
  const char* oldHome = std::getenv("HOME");
  const std::string keptHome = oldHome ? oldHome : "";
  setenv("HOME", home.c_str(), 1);

  AdoptRootOwnedSettings((folder / "registry.reg").string(), kNobody, kNobody);
  EXPECT_EQ(OwnerOf(folder), kNobody);
  EXPECT_EQ(OwnerOf(folder / "registry.reg"), kNobody);
  EXPECT_EQ(OwnerOf(home / ".config"), 0u);  // not the program's to give

  std::filesystem::remove_all(home / ".config");
  std::filesystem::create_directories(home / ".config");
  std::filesystem::create_directory_symlink(elsewhere, home / ".config/Kevatra");
  AdoptRootOwnedSettings((folder / "registry.reg").string(), kNobody, kNobody);
  EXPECT_EQ(OwnerOf(elsewhere), 0u);
  EXPECT_EQ(OwnerOf(elsewhere / "registry.reg"), 0u);

  if (oldHome) setenv("HOME", keptHome.c_str(), 1);
  std::filesystem::remove_all(home);
}

// Root's settings are read before the switch from a path the user's
// environment names (sudo -E): a link there, in the file or in a folder on
// the way, leads nowhere.
TEST(RootLeftovers, RootsSettingsAreReadWithoutFollowingALink) {
  if (geteuid() != 0) GTEST_SKIP() << "needs root to own the files";
  const std::filesystem::path dir =
      std::filesystem::temp_directory_path() / ("kev_rootread_" + std::to_string(::getpid()));
  std::filesystem::create_directories(dir / "real");
  std::ofstream(dir / "real/registry.reg") << "root's settings";
  std::ofstream(dir / "secret") << "root only";
  std::filesystem::create_symlink(dir / "secret", dir / "real/linked.reg");
  std::filesystem::create_directory_symlink(dir / "real", dir / "folder");
  EXPECT_EQ(ReadRootOwnedSettings((dir / "real/registry.reg").string()), "root's settings");
  EXPECT_EQ(ReadRootOwnedSettings((dir / "real/linked.reg").string()), std::nullopt);
  EXPECT_EQ(ReadRootOwnedSettings((dir / "folder/registry.reg").string()), std::nullopt);
  std::filesystem::create_hard_link(dir / "secret", dir / "real/hard.reg");
  EXPECT_EQ(ReadRootOwnedSettings((dir / "real/hard.reg").string()), std::nullopt);
  std::filesystem::remove_all(dir);
}

}  // namespace
}  // namespace kev::session
