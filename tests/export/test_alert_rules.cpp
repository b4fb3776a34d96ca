// The alert rules of docs/metrics.md fire where they should, as promtool
// evaluates them on made-up series.
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>

namespace {

std::string ReadFile(const std::filesystem::path& p) {
  std::ifstream in(p);
  std::ostringstream s;
  s << in.rdbuf();
  return s.str();
}

// The first yaml block after the heading.
std::string YamlBlockAfter(const std::string& doc, const std::string& heading) {
  const std::string open = "```yaml\n";
  const size_t at = doc.find(open, doc.find(heading));
  if (at == std::string::npos) return {};
  const size_t from = at + open.size();
  return doc.substr(from, doc.find("```", from) - from);
}

TEST(AlertRules, DocumentedRulesFireOnAStalledFanAnOverheatedSensorAndARailOutOfWindow) {
  if (std::system("command -v promtool >/dev/null 2>&1") != 0)
    GTEST_SKIP() << "promtool is not installed";
  const std::filesystem::path source = KEV_SOURCE_DIR;
  const std::filesystem::path dir =
      std::filesystem::temp_directory_path() / ("kev-alert-rules-" + std::to_string(getpid()));
  std::filesystem::create_directories(dir);
  const std::string rules = YamlBlockAfter(ReadFile(source / "docs/metrics.md"), "## Alert rules");
  ASSERT_NE(rules.find("FanStalled"), std::string::npos);
  std::ofstream(dir / "rules.yml") << rules;
  std::filesystem::copy_file(source / "tests/export/alert_rules_test.yml",
                             dir / "alert_rules_test.yml",
                             std::filesystem::copy_options::overwrite_existing);
  std::string output;
  const std::string command =
      "cd '" + dir.string() + "' && promtool test rules alert_rules_test.yml 2>&1";
  FILE* p = popen(command.c_str(), "r");
  for (char buf[256]; fgets(buf, sizeof buf, p) != nullptr;) output += buf;
  EXPECT_EQ(pclose(p), 0) << output;
  std::filesystem::remove_all(dir);
}

}  // namespace
