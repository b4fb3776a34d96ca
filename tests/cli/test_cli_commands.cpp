#include <map>
#include <nlohmann/json.hpp>
#include <optional>

#include "cli/output.h"
#include "cli_fixture.h"
#include "sim/board.h"

namespace kev::cli::testing {
namespace {

using CliCommands = CliTest;

TEST_F(CliCommands, EveryCatalogueBoardRunsEveryCommand) {
  for (const std::string& board : sim::CatalogueBoardNames()) {
    SCOPED_TRACE(board);
    const CliRun report = runWithSettings({"report", "--board", board});
    EXPECT_EQ(report.code, kExitOk) << report.err;
    EXPECT_EQ(Lines(report.out).size(), 18u);  // three group titles, fifteen rows
    const CliRun info = runWithSettings({"info", "--board", board});
    EXPECT_EQ(info.code, kExitOk) << info.err;
    EXPECT_EQ(Lines(info.out).size(), 8u);
    const CliRun watch = runWithSettings({"watch", "--board", board, "--count", "2"});
    EXPECT_EQ(watch.code, kExitOk) << watch.err;
    EXPECT_EQ(Lines(watch.out).size(), 2u);
    const CliRun profile = runWithSettings({"profile", "--board", board});
    EXPECT_EQ(profile.code, kExitOk) << profile.err;
    EXPECT_NE(profile.out.find("--[ Monitor Window ]"), std::string::npos);
  }
}

// What a voltage row should read under a caption: nominal value and tolerance.
struct Rail {
  double nominal, tolerance;
};
std::optional<Rail> RailOfCaption(const std::string& caption) {
  static const std::map<std::string, Rail> kRails = {
      {"+2.5V", {2.5, 0.15}},  {"+3.3V", {3.3, 0.2}},    {"3VSB", {3.3, 0.2}},
      {"VDD", {3.3, 0.2}},     {"+5.0V", {5.0, 0.25}},   {"5VSB", {5.0, 0.25}},
      {"+12.0V", {12.0, 0.6}}, {"-12.0V", {-12.0, 0.6}}, {"-5.0V", {-5.0, 0.25}},
      {"VBAT", {3.0, 0.4}},    {"VCORE", {2.3, 1.3}},    {"VCORE1", {2.3, 1.3}},
      {"VCORE2", {2.3, 1.3}},  {"VINR0", {2.3, 1.3}},
  };
  const auto it = kRails.find(caption);
  if (it == kRails.end()) return std::nullopt;
  return it->second;
}

TEST_F(CliCommands, CatalogueVoltagesMatchTheirFirstStartCaptions) {
  for (const std::string& board : sim::CatalogueBoardNames()) {
    SCOPED_TRACE(board);
    const CliRun r = runWithSettings({"report", "--board", board, "--json"});
    ASSERT_EQ(r.code, kExitOk) << r.err;
    const auto doc = nlohmann::json::parse(r.out);
    ASSERT_EQ(doc["rows"].size(), 15u);
    for (const auto& row : doc["rows"]) {
      if (row["group"] != "volt" || row["value"].is_null()) continue;
      const std::string caption = row["label"];
      const auto rail = RailOfCaption(caption);
      ASSERT_TRUE(rail) << caption;
      EXPECT_NEAR(row["value"].get<double>(), rail->nominal, rail->tolerance)
          << caption << " reads " << row["text"];
    }
  }
}

TEST_F(CliCommands, ReportShowsRowsInWindowOrder) {
  MonitorSettings s;
  s.CheckBoxFan1 = s.CheckBoxVolt1 = true;
  s.Fan1PositionIndex = 2;  // Fan 1 at the bottom of its group
  s.Fan3PositionIndex = 0;
  s.Volt2CaptionIndex = 13;
  storeSettings(s);
  const auto lines = Lines(runWithSettings({"report", "--board", testBoard()}).out);
  ASSERT_EQ(lines.size(), 18u);
  EXPECT_EQ(lines[0], "Fan Speed");
  EXPECT_EQ(lines[1], "  Fan 3          Ignore");
  EXPECT_EQ(lines[3].substr(0, 17), "  Fan 1          ");
  EXPECT_NE(lines[3].find("RPM"), std::string::npos);
  EXPECT_EQ(lines[4], "Temperature");
  EXPECT_EQ(lines[8], "Voltage");
  EXPECT_EQ(lines[10], "  VTT            Ignore");
}

TEST_F(CliCommands, JsonCarriesNumbersUnitsAndErrors) {
  MonitorSettings s;
  for (int ch = 1; ch <= kChannelCount; ++ch) ChannelChecked(s, ch) = true;
  s.Fan1Limit = 11;  // every real count is at or above it
  s.CheckBoxFan3 = false;
  storeSettings(s);
  const CliRun r = runWithSettings({"report", "--board", testBoard(), "--json"});
  ASSERT_EQ(r.code, kExitOk) << r.err;
  const auto doc = nlohmann::json::parse(r.out);
  EXPECT_EQ(doc["board"], testBoard());
  EXPECT_EQ(doc["chip"], "Winbond W83782D");
  ASSERT_EQ(doc["rows"].size(), 15u);
  const auto& fan1 = doc["rows"][0];
  EXPECT_EQ(fan1["channel"], 1);
  EXPECT_EQ(fan1["group"], "fan");
  EXPECT_EQ(fan1["unit"], "RPM");
  EXPECT_TRUE(fan1["error"].get<bool>());
  EXPECT_TRUE(fan1["value"].is_number_integer());
  EXPECT_EQ(fan1["text"].get<std::string>().find(" [Err]"),
            fan1["text"].get<std::string>().size() - 6);
  const auto& fan3 = doc["rows"][2];
  EXPECT_EQ(fan3["text"], "Ignore");
  EXPECT_TRUE(fan3["value"].is_null());
  EXPECT_FALSE(fan3["checked"].get<bool>());
  EXPECT_EQ(doc["rows"][3]["unit"], "C");
  EXPECT_EQ(doc["rows"][6]["group"], "volt");
  EXPECT_EQ(doc["rows"][6]["unit"], "V");
}

TEST_F(CliCommands, JsonNamesTheChipAsInfoDoes) {
  const CliRun info = run({"info", "--board", "kt133a-vt82c686b"});
  EXPECT_NE(info.out.find("VIA VT82C686B"), std::string::npos) << info.out;
  const CliRun r = run({"report", "--board", "kt133a-vt82c686b", "--json"});
  EXPECT_EQ(nlohmann::json::parse(r.out)["chip"], "VIA VT82C686B");
}

TEST_F(CliCommands, JsonCopesWithABoardPathThatIsNoUtf8) {
  const std::string odd = path("latin1-\xE9.json");
  writeFile(odd, readFile(testBoard()));
  const CliRun r = runWithSettings({"report", "--board", odd, "--json"});
  ASSERT_EQ(r.code, kExitOk) << r.err;
  EXPECT_EQ(nlohmann::json::parse(r.out)["board"], path("latin1-\xEF\xBF\xBD.json"));
}

TEST_F(CliCommands, WatchAdvancesTheBoardClockByTheInterval) {
  // The demo processor warms from 38 C to 71 C over ten minutes.
  const CliRun r =
      runWithSettings({"watch", "--board", testBoard(), "--interval", "300", "--count", "3"});
  ASSERT_EQ(r.code, kExitOk) << r.err;
  const auto lines = Lines(r.out);
  ASSERT_EQ(lines.size(), 3u);
  EXPECT_EQ(lines[0].rfind("2024/05/06 07:08:09  Fan 1 ", 0), 0u) << lines[0];
  EXPECT_NE(lines[0].find("Temp. 1 38.0C"), std::string::npos) << lines[0];
  EXPECT_NE(lines[2].find("Temp. 1 71.0C"), std::string::npos) << lines[2];
  EXPECT_EQ(slept, (std::vector<uint64_t>{300000, 300000}));
}

TEST_F(CliCommands, WatchUsesIntervalTimeAndStopsOnRequest) {
  MonitorSettings s;
  s.IntervalTime = 2500;
  s.CheckBoxTemp1 = true;
  storeSettings(s);
  env.stopRequested = [this] { return slept.size() >= 2; };
  const CliRun r = runWithSettings({"watch", "--board", testBoard()});
  EXPECT_EQ(r.code, kExitOk);
  EXPECT_EQ(Lines(r.out).size(), 2u);
  EXPECT_EQ(slept, (std::vector<uint64_t>{2500, 2500}));
  EXPECT_EQ(Lines(r.out)[0], "2024/05/06 07:08:09  Temp. 1 38.0C / 100.0F");
}

TEST_F(CliCommands, WatchWithManualSamplingFallsBackToOneSecond) {
  MonitorSettings s;
  s.IntervalTime = 0;
  storeSettings(s);
  const CliRun r = runWithSettings({"watch", "--board", "demo", "--count", "2"});
  EXPECT_EQ(r.code, kExitOk);
  EXPECT_EQ(slept, (std::vector<uint64_t>{1000}));
  EXPECT_NE(r.err.find("IntervalTime is 0"), std::string::npos);
  EXPECT_NE(r.out.find("(no channel checked)"), std::string::npos);
}

TEST_F(CliCommands, InfoPrintsTheEightSummaryLines) {
  const auto lines = Lines(runWithSettings({"info", "--board", testBoard()}).out);
  ASSERT_EQ(lines.size(), 8u);
  EXPECT_EQ(lines[0], "PM Device Chip            intel 82371EB (PIIX4E)");
  EXPECT_EQ(lines[3], "SMBus Base Address        5000h");
  EXPECT_EQ(lines[4], "Hardware Monitoring Chip  Winbond W83782D");
  EXPECT_EQ(lines[5], "SMBus  1st  Address       *****");
}

TEST_F(CliCommands, ProfileShowsTheRowsOfThisRun) {
  MonitorSettings s;
  s.CheckBoxFan1 = true;
  s.Fan1CaptionIndex = 10;
  storeSettings(s);
  const CliRun r = runWithSettings({"profile", "--board", testBoard()});
  ASSERT_EQ(r.code, kExitOk) << r.err;
  EXPECT_NE(r.out.find("--[ Monitor Window ]"), std::string::npos);
  EXPECT_NE(r.out.find("  Fan1 [CPU Fan] : 4500RPM\n"), std::string::npos);
  EXPECT_NE(r.out.find("  Fan2 [] : Ignore\n"), std::string::npos);
}

}  // namespace
}  // namespace kev::cli::testing
