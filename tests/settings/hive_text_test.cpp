// The registry export text: every type and escape round-trips, files written
// the Windows way are read, damaged text never yields a wrong value.
#include <gtest/gtest.h>

#include <random>

#include "settings/hive_file.h"
#include "settings/utf16.h"

namespace kev {
namespace {

constexpr const char* kKey = "HKEY_CURRENT_USER\\Software\\Test";

// The text as the Windows registry editor saves it: UTF-16LE after a byte-order mark.
std::string Utf16LeWithBom(std::string_view text) {
  std::vector<uint8_t> le = Utf16ToLe(BytesToUtf16(text));
  return "\xFF\xFE" + std::string(le.begin(), le.end());
}

std::string WithCrLf(std::string_view text) {
  std::string out;
  for (char c : text) {
    if (c == '\n') out += '\r';
    out += c;
  }
  return out;
}

const RegValue* Find(const HiveTree& t, std::string_view key, std::string_view name) {
  const HiveKey* k = t.find(key);
  return k ? k->find(name) : nullptr;
}

// A tree with every type and every awkward text the format must carry.
HiveTree EveryKind() {
  HiveTree t;
  HiveKey* k = t.create(kKey);
  k->set("Plain", TextValue("C:\\Media\\ding \"loud\".wav"));
  k->set("Utf8", TextValue("Gr\xC3\xBC\xC3\x9F"
                           "e \xF0\x9F\x8C\xA1"));
  k->set("NotUtf8", TextValue("\xFF\xFE\x80 ok \xED\xA0\x80"));
  k->set("Lines", TextValue("one\r\ntwo"));
  k->set("Inner zero", RegValue{REG_SZ, {'a', 0, 'b', 0}});
  k->set("No zero", RegValue{REG_SZ, {'a', 'b'}});
  k->set("Empty text", RegValue{REG_SZ, {}});
  k->set("Expand", TextValue("%HOME%\\x", REG_EXPAND_SZ));
  k->set("Dword", DwordValue(0xFFFFFFFF));
  k->set("Long dword", RegValue{REG_DWORD, {1, 2, 3, 4, 5}});
  std::vector<uint8_t> blob(130);
  for (size_t i = 0; i < blob.size(); ++i) blob[i] = static_cast<uint8_t>(i * 7);
  k->set("Blob", RegValue{REG_BINARY, blob});
  k->set("Empty blob", RegValue{REG_BINARY, {}});
  k->set("Multi", RegValue{REG_MULTI_SZ, {'a', 0, 0, 0, 0, 0}});
  k->set("Odd type", RegValue{0x12345678, {9, 8, 7}});
  k->set("", TextValue("default"));
  k->set("quote\"back\\slash", DwordValue(1));
  t.create("HKEY_CURRENT_USER\\Software\\Other\\Deep\\Er");
  t.create("HKEY_LOCAL_MACHINE\\Kept")->set("x", DwordValue(3));
  return t;
}

TEST(HiveText, EveryTypeAndEscapeRoundTrips) {
  HiveTree t = EveryKind();
  std::string text = FormatHive(t);
  HiveParseResult back = ParseHive(text);
  EXPECT_TRUE(back.problems.empty()) << back.problems.front();
  EXPECT_TRUE(back.tree == t) << text;
  // Writing what was read changes nothing.
  EXPECT_EQ(FormatHive(back.tree), text);
}

TEST(HiveText, WritesTheRegistryEditorForms) {
  std::string text = FormatHive(EveryKind());
  EXPECT_EQ(text.rfind("Windows Registry Editor Version 5.00\n\n", 0), 0u);
  for (const char* line : {
           "[HKEY_CURRENT_USER\\Software\\Test]\n",
           "\n\"Plain\"=\"C:\\\\Media\\\\ding \\\"loud\\\".wav\"\n",
           "\n\"Dword\"=dword:ffffffff\n",
           "\n\"Long dword\"=hex(4):01,02,03,04,05\n",
           "\n\"Expand\"=hex(2):25,00,48,00,4f,00,4d,00,45,00,25,00,5c,00,78,00,00,00\n",
           "\n\"Multi\"=hex(7):61,00,00,00,00,00\n",
           "\n\"Odd type\"=hex(12345678):09,08,07\n",
           "\n\"Empty blob\"=hex:\n",
           "\n@=\"default\"\n",
           "\n\"quote\\\"back\\\\slash\"=dword:00000001\n",
           "\n[HKEY_CURRENT_USER\\Software\\Other]\n",
       }) {
    EXPECT_NE(text.find(line), std::string::npos) << line;
  }
  // Long hex data is continued on indented lines no wider than the editor's.
  size_t blob = text.find("\"Blob\"=hex:");
  ASSERT_NE(blob, std::string::npos);
  size_t end = text.find("\n\"", blob);
  int lines = 0;
  for (size_t at = blob; at < end; ++lines) {
    size_t eol = text.find('\n', at);
    EXPECT_LE(eol - at, 80u);
    if (at != blob) {
      EXPECT_EQ(text.substr(at, 2), "  ");
    }
    at = eol + 1;
  }
  EXPECT_GE(lines, 5);
}

TEST(HiveText, ReadsAFileWrittenTheWindowsWay) {
  std::string file = Utf16LeWithBom(
      WithCrLf("Windows Registry Editor Version 5.00\n"
               "\n"
               "[HKEY_CURRENT_USER\\Software\\Test]\n"
               "\"Path\"=\"C:\\\\Program Files\\\\a \\\"b\\\".wav\"\n"
               "\"Expand\"=hex(2):25,00,53,00,79,00,73,00,74,00,65,00,6d,00,52,00,6f,00,6f,00,\\\n"
               "  74,00,25,00,00,00\n"
               "\"Flag\"=dword:00000002\n"
               "\"Blob\"=hex:01,02,\\\n"
               "  03\n"
               "@=\"x\"\n"
               "\n"));
  HiveParseResult r = ParseHive(file);
  EXPECT_TRUE(r.problems.empty()) << r.problems.front();
  EXPECT_EQ(*Find(r.tree, kKey, "Path"), TextValue("C:\\Program Files\\a \"b\".wav"));
  EXPECT_EQ(*Find(r.tree, kKey, "expand"), TextValue("%SystemRoot%", REG_EXPAND_SZ));
  EXPECT_EQ(*Find(r.tree, kKey, "Flag"), DwordValue(2));
  EXPECT_EQ(*Find(r.tree, kKey, "Blob"), (RegValue{REG_BINARY, {1, 2, 3}}));
  EXPECT_EQ(*Find(r.tree, kKey, ""), TextValue("x"));
  EXPECT_TRUE(r.tree.find("HKEY_CURRENT_USER\\Software"));  // parents exist
}

TEST(HiveText, OlderHeaderKeepsExpandableTextAsBytes) {
  HiveParseResult r =
      ParseHive("REGEDIT4\n\n[HKEY_CURRENT_USER\\Software\\Test]\n\"E\"=hex(2):25,41,25,00\n");
  EXPECT_TRUE(r.problems.empty());
  EXPECT_EQ(*Find(r.tree, kKey, "E"), TextValue("%A%", REG_EXPAND_SZ));
}

TEST(HiveText, DeletionLinesRemoveValuesAndKeys) {
  HiveParseResult r = ParseHive(
      "Windows Registry Editor Version 5.00\n"
      "[HKEY_CURRENT_USER\\A\\B]\n\"x\"=dword:00000001\n\"y\"=dword:00000002\n"
      "[HKEY_CURRENT_USER\\A\\BC]\n"
      "[HKEY_CURRENT_USER\\A\\B\\C]\n"
      "[HKEY_CURRENT_USER\\A\\B]\n\"x\"=-\n"
      "[-HKEY_CURRENT_USER\\A\\B]\n");
  EXPECT_TRUE(r.problems.empty());
  EXPECT_FALSE(r.tree.find("HKEY_CURRENT_USER\\A\\B"));
  EXPECT_FALSE(r.tree.find("HKEY_CURRENT_USER\\A\\B\\C"));
  EXPECT_TRUE(r.tree.find("HKEY_CURRENT_USER\\a\\bc"));  // a sibling, not below
}

TEST(HiveText, DamagedLinesAreReportedAndTheRestIsRead) {
  HiveParseResult r = ParseHive(
      "[HKEY_CURRENT_USER\\K]\n"  // no header
      "\"a\"=dword:1\n"           // short but complete on a terminated line
      "\"b\"=dword:xyz\n"         // bad digits
      "\"c\"=\"open\n"            // unterminated text
      "\"d\"=hex:01,zz\n"         // bad byte
      "\"e\"=hex(2):41,00,42\n"   // odd UTF-16
      "\"h\"=\n"                  // no data at all
      "garbage\n"
      "[HKEY_CURRENT_USER\\\\K2]\n"  // empty key name component
      "\"f\"=dword:00000001\n"       // value under the bad key: part of its problem
      "[HKEY_CURRENT_USER\\K3\n"     // no bracket
      "\"g\"=dword:00000001\n");
  EXPECT_EQ(*Find(r.tree, "HKEY_CURRENT_USER\\K", "a"), DwordValue(1));
  for (const char* n : {"b", "c", "d", "e", "f", "g", "h"}) {
    EXPECT_FALSE(Find(r.tree, "HKEY_CURRENT_USER\\K", n)) << n;
  }
  ASSERT_EQ(r.problems.size(), 9u);
  EXPECT_NE(r.problems[0].find("header"), std::string::npos);
  EXPECT_EQ(r.problems[1].rfind("line 3:", 0), 0u);
}

TEST(HiveText, ManyProblemsAreListedOnceWithACount) {
  std::string text = "Windows Registry Editor Version 5.00\n";
  for (int i = 0; i < 1000; ++i) text += "nonsense\n";
  HiveParseResult r = ParseHive(text);
  ASSERT_EQ(r.problems.size(), kMaxHiveProblems + 1);
  EXPECT_EQ(r.problems.back(), "... and 980 more problems");
}

TEST(HiveText, AFileCutShortAnywhereNeverYieldsAWrongValue) {
  HiveTree t = EveryKind();
  t.find(kKey)->set("Last", DwordValue(0x12345678));
  for (std::string full : {FormatHive(t), Utf16LeWithBom(WithCrLf(FormatHive(t)))}) {
    for (size_t cut = 0; cut <= full.size(); ++cut) {
      HiveParseResult r = ParseHive(std::string_view(full).substr(0, cut));
      for (const HiveKey* k : r.tree.keys()) {
        for (const HiveKey::Entry* e : k->entries()) {
          const RegValue* orig = Find(t, k->path(), e->name);
          ASSERT_TRUE(orig) << "cut " << cut << ": " << e->name;
          ASSERT_EQ(*orig, e->value) << "cut " << cut << ": " << e->name;
        }
      }
    }
  }
}

TEST(HiveText, GarbageAndWrongEncodingsNeverCrash) {
  std::mt19937 rng(7);
  for (int round = 0; round < 200; ++round) {
    std::string bytes(rng() % 600, '\0');
    for (char& c : bytes) c = static_cast<char>(rng());
    if (round % 3 == 0) bytes.insert(0, "\xFF\xFE");
    if (round % 3 == 1)
      bytes.insert(0, "Windows Registry Editor Version 5.00\n[HKEY_CURRENT_USER\\X]\n");
    HiveParseResult r = ParseHive(bytes);
    EXPECT_TRUE(ParseHive(FormatHive(r.tree)).tree == r.tree);
  }
  std::string be = "\xFE\xFF";
  for (char c : std::string_view("REGEDIT4\n[K]\n")) be += {'\0', c};
  HiveParseResult r = ParseHive(be);
  EXPECT_TRUE(r.problems.empty()) << r.problems.front();
  EXPECT_TRUE(r.tree.find("K"));
}

TEST(HiveText, OversizedTextIsReadOnlyUpToTheCap) {
  std::string text = "Windows Registry Editor Version 5.00\n[HKEY_CURRENT_USER\\K]\n";
  for (int i = 0; i < 100; ++i) text += "\"v" + std::to_string(i) + "\"=dword:00000001\n";
  HiveParseResult r = ParseHive(text, 200);
  ASSERT_FALSE(r.problems.empty());
  EXPECT_NE(r.problems.front().find("larger"), std::string::npos);
  EXPECT_TRUE(Find(r.tree, "HKEY_CURRENT_USER\\K", "v0"));
  EXPECT_FALSE(Find(r.tree, "HKEY_CURRENT_USER\\K", "v99"));
}

TEST(HiveTree, KeysKeepTheirFirstSpellingAndRejectMalformedPaths) {
  HiveTree t;
  ASSERT_TRUE(t.create("Root\\Sub"));
  ASSERT_TRUE(t.create("ROOT\\SUB\\Leaf"));
  EXPECT_EQ(t.find("root\\sub")->path(), "Root\\Sub");
  EXPECT_EQ(t.find("root\\sub\\leaf")->path(), "ROOT\\SUB\\Leaf");
  for (const char* bad : {"", "\\a", "a\\", "a\\\\b", "a\nb"}) EXPECT_FALSE(t.create(bad)) << bad;
}

}  // namespace
}  // namespace kev
