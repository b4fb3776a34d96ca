// Runs kevatra-cli in-process with captured streams and a private settings folder.
#pragma once

#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "cli/cli.h"
#include "settings/hive_file.h"
#include "settings/settings_io.h"

namespace kev::cli::testing {

struct CliRun {
  int code = -1;
  std::string out;
  std::string err;
};

class CliTest : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_ = std::filesystem::temp_directory_path() /
           ("kev-cli-" + std::to_string(::getpid()) + "-" +
            ::testing::UnitTest::GetInstance()->current_test_info()->name());
    std::filesystem::remove_all(dir_);
    std::filesystem::create_directories(dir_);
    env.env = [this](const char* name) -> const char* {
      if (std::string(name) == "XDG_CONFIG_HOME") return configHome_.c_str();
      return nullptr;
    };
    configHome_ = (dir_ / "config").string();
    env.sleepMs = [this](uint64_t ms) { slept.push_back(ms); };
    env.now = [] { return LocalTime{2024, 5, 6, 7, 8, 9}; };
    env.currentDirectory = [this] { return dir_.string(); };
    // An empty sysfs and proc: nothing of the test machine's own is read.
    env.roots = {(dir_ / "sys").string(), (dir_ / "proc").string()};
  }
  void TearDown() override { std::filesystem::remove_all(dir_); }

  CliRun run(std::vector<std::string> args) {
    std::ostringstream out, err;
    CliRun r;
    r.code = RunCli(args, out, err, env);
    r.out = out.str();
    r.err = err.str();
    return r;
  }
  // The same with a settings file of this test's own.
  CliRun runWithSettings(std::vector<std::string> args) {
    args.push_back("--settings");
    args.push_back(settingsPath());
    return run(std::move(args));
  }

  // Writes a settings record into this test's settings file.
  void storeSettings(const MonitorSettings& s) const {
    HiveFileRegistry reg(settingsPath());
    reg.load();
    ASSERT_TRUE(SaveSettings(reg, s).ok);
  }
  MonitorSettings loadStored() const {
    HiveFileRegistry reg(settingsPath());
    reg.load();
    MonitorSettings s;
    LoadSettings(reg, s);
    return s;
  }

  // A board of the test's own, so that exact readings do not depend on the
  // catalogue: a PIIX4E, a W83782D on ISA whose Temp 1 warms from 38 C to
  // 71 C over ten minutes.
  std::string testBoard() const {
    const std::string file = path("board.json");
    writeFile(file, R"({
      "host_bridge": {"kind": "440BX"},
      "south_bridge": {"kind": "PIIX4E", "smbus_base": "0x5000"},
      "chips": [{"id": "main", "kind": "W83782D", "isa": "0x290",
        "fans": [{"rpm": 4500, "pulses": 2}, {"rpm": 2700, "pulses": 2}, {"rpm": 3000, "pulses": 2}],
        "temps": [{"shape": "ramp", "from": 38, "to": 71, "start_ms": 0, "end_ms": 600000}, 30, 29.5],
        "volts": [{"volts": 2.0}, {"volts": 2.5}, {"volts": 3.31}, {"volts": 2.99}, {"volts": 3.15},
                  {"raw": 35}, {"raw": 54}, {"raw": 186}, {"raw": 188}]}]})");
    return file;
  }

  std::string settingsPath() const { return (dir_ / "registry.reg").string(); }
  std::string path(const std::string& name) const { return (dir_ / name).string(); }
  void writeFile(const std::string& file, const std::string& text) const {
    std::ofstream(file, std::ios::binary) << text;
  }
  static std::string readFile(const std::string& file) {
    std::ifstream in(file, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
  }

  CliEnv env;
  std::vector<uint64_t> slept;

 private:
  std::filesystem::path dir_;
  std::string configHome_;
};

inline std::vector<std::string> Lines(const std::string& text) {
  std::vector<std::string> lines;
  std::istringstream in(text);
  for (std::string l; std::getline(in, l);) lines.push_back(l);
  return lines;
}

}  // namespace kev::cli::testing
