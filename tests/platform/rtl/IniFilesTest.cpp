// Settings files: what reads, what a write changes in the file, and saving.

#include "platform/rtl/IniFiles.h"

#include <sys/stat.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "platform/rtl/FileUtils.h"
#include "platform/rtl/StringList.h"

namespace {

class IniFileTest : public testing::Test {
protected:
  void SetUp() override {
    std::string templ = GetTempDirectory() + "rtl-inifiles-XXXXXX";
    ASSERT_NE(mkdtemp(templ.data()), nullptr);
    Dir = templ + "/";
    Name = Dir + "test.ini";
  }
  void TearDown() override { std::filesystem::remove_all(Dir); }

  void Write(const std::string& Text) { std::ofstream(Name, std::ios::binary) << Text; }
  std::string Read() const {
    std::stringstream ss;
    ss << std::ifstream(Name, std::ios::binary).rdbuf();
    return ss.str();
  }

  std::string Dir, Name;
};

TEST_F(IniFileTest, ReadsNamesIgnoringCaseAndValuesAsWritten) {
  Write("\xEF\xBB\xBForphan=before any section\r\n"
        "[Main]\r\n"
        "; comment=not a key\r\n"
        "  Spaced Key  =  padded value \t\r\n"
        "quoted=\"  kept  \"\r\nhalf=\"open\r\nempty=\r\nno equals sign\r\n=no key\r\neq=a=b\r\n"
        "utf=\xC5\x81\xC3\xB3" "d\xC5\xBA\r"  // a lone CR ends a line too
        "dup=first\nDUP=second\n[broken\n"
        "[ main ]\ndup=in the second section of the same name\nlate=only here\n");
  const TIniFile ini(Name);
  const std::string d = "<default>";
  const std::tuple<const char*, const char*, std::string> cases[] = {
      {"main", "spaced key", "padded value"}, {"MAIN", "quoted", "  kept  "},
      {"Main", "half", "\"open"},             {"Main", "empty", ""},
      {"Main", "eq", "a=b"},                  {"Main", "utf", "\xC5\x81\xC3\xB3" "d\xC5\xBA"},
      {"Main", "dup", "first"},               {"Main", "late", d},
      {"Main", "no equals sign", d},          {"Main", "", d},
      {"Main", "; comment", d},               {"", "orphan", d},
      {"broken", "dup", d},
  };
  for (const auto& [section, key, expected] : cases)
    EXPECT_EQ(ini.ReadString(section, key, d), expected) << section << "/" << key;
  EXPECT_TRUE(ini.ValueExists("main", "EMPTY"));
  EXPECT_FALSE(ini.SectionExists("broken"));

  TStringList list;
  list.Add("replaced");
  ini.ReadSections(list);
  EXPECT_EQ(list.Text(), "Main\n");
  ini.ReadSection("main", list);
  EXPECT_EQ(list.Text(), "Spaced Key\nquoted\nhalf\nempty\neq\nutf\ndup\n");
  ini.ReadSectionValues("main", list);
  EXPECT_EQ(list.Count(), 7);
  EXPECT_EQ(list.Values("dup"), "first");
}

TEST_F(IniFileTest, NumbersReadAsTheClassLibraryReadsThem) {
  // Integers with 77 as default; "-$10" and "$FFFFFFFF" fill 32 bits.
  const std::pair<const char*, int32_t> integers[] = {
      {"12", 12}, {"0", 0}, {"-5", -5}, {"+7", 7}, {" 42 ", 42}, {"$1F", 31}, {"0x1f", 31}, {"0XfF", 255},
      {"-$10", -16}, {"$FFFFFFFF", -1}, {"$80000000", INT32_MIN}, {"2147483647", INT32_MAX},
      {"-2147483648", INT32_MIN}, {"2147483648", 77}, {"-2147483649", 77}, {"$100000000", 77},
      {"99999999999999999999", 77}, {"", 77}, {"-", 77}, {"$", 77}, {"0x", 77}, {"12a", 77},
      {"1.5", 77}, {"1 2", 77}, {"--1", 77}, {"$G", 77}, {"true", 77}};
  const std::pair<const char*, double> floats[] = {{"1.5", 1.5}, {"-2e3", -2000}, {"+0.25", 0.25},
                                                   {"1,5", 9},   {"abc", 9},      {"+-1", 9}};
  std::string text = "[N]\n";
  for (size_t i = 0; i < std::size(integers); ++i) text += "i" + std::to_string(i) + "=" + integers[i].first + "\n";
  for (size_t i = 0; i < std::size(floats); ++i) text += "f" + std::to_string(i) + "=" + floats[i].first + "\n";
  Write(text);
  const TIniFile ini(Name);
  for (size_t i = 0; i < std::size(integers); ++i) {
    const auto& [value, expected] = integers[i];
    EXPECT_EQ(ini.ReadInteger("N", "i" + std::to_string(i), 77), expected) << value;
    EXPECT_EQ(ini.ReadBool("N", "i" + std::to_string(i), true), expected != 0) << value;
  }
  for (size_t i = 0; i < std::size(floats); ++i)
    EXPECT_DOUBLE_EQ(ini.ReadFloat("N", "f" + std::to_string(i), 9), floats[i].second) << floats[i].first;
}

TEST_F(IniFileTest, WritesKeepTheFileAndChangeOnlyWhatWasWritten) {
  // A line too long to be a setting is neither read nor written back.
  Write("\xEF\xBB\xBF; settings\r\n[Position]\r\nLeft = 10\r\n; the top edge\r\nTop=20\r\n\r\n"
        "; output follows\r\n[Output]\r\nFormat=3\r\nOutputDir=/" +
        std::string(TIniFile::MaxIniLineLength, 'a') +
        "\r\njunk line\r\n[Gone]\r\nx=1\r\n"
        "[Keys]\r\nx=1\r\n; about y\r\ny=2\r\nX=3\r\n[gone]\r\ny=2\r\n");
  EXPECT_EQ(TIniFile(Name).ReadString("Output", "OutputDir", "none"), "none");
  {
    TIniFile ini(Name);
    ini.WriteInteger("position", "LEFT", 10);  // same value: the line stays as it was
    ini.WriteInteger("Position", "top", -7);
    ini.WriteBool("Position", "Max", true);
    ini.WriteBool("Output", "Normalize", false);
    ini.WriteString("Output", "OutputDir", " /music/with spaces/ ");
    ini.EraseSection("GONE");
    ini.DeleteKey("keys", "x");
    ini.WriteString("Source", "Dir", "\"quoted\"");
    ini.WriteFloat("Source", "Gain", 0.1);
  }  // the destructor saves
  EXPECT_EQ(Read(),
            "\xEF\xBB\xBF; settings\r\n[Position]\r\nLeft = 10\r\n; the top edge\r\nTop=-7\r\nMax=1\r\n\r\n"
            "; output follows\r\n[Output]\r\nFormat=3\r\nNormalize=0\r\n"
            "OutputDir=\" /music/with spaces/ \"\r\njunk line\r\n"
            "[Keys]\r\n; about y\r\ny=2\r\n\r\n[Source]\r\nDir=\"\"quoted\"\"\r\nGain=0.1\r\n");
  const TIniFile back(Name);
  EXPECT_EQ(back.ReadString("Output", "OutputDir", ""), " /music/with spaces/ ");
  EXPECT_EQ(back.ReadString("Source", "Dir", ""), "\"quoted\"");
  EXPECT_EQ(back.ReadFloat("Source", "Gain", 0), 0.1);
}

TEST_F(IniFileTest, NamesAndValuesThatALineCannotHoldAreRefused) {
  Write("[S]\nk=v\n");
  TIniFile ini(Name);
  const std::tuple<std::string, std::string, std::string> bad[] = {
      {"", "k", "v"},   {" S", "k", "v"},  {"S]", "k", "v"},  {"a\nb", "k", "v"},
      {"S", "", "v"},   {"S", "k ", "v"},  {"S", "a=b", "v"}, {"S", ";k", "v"},
      {"S", "[k", "v"}, {"S", "k", "a\nb"}, {"S", "k", "a\r"}, {"S", "k", std::string("a\0b", 3)},
      {"S", "k", std::string(TIniFile::MaxIniLineLength - 1, 'v')}};
  for (const auto& [section, key, value] : bad)
    EXPECT_THROW(ini.WriteString(section, key, value), EIniFileException) << section << "/" << key;
  ini.UpdateFile();
  EXPECT_EQ(Read(), "[S]\nk=v\n");
}

TEST_F(IniFileTest, UnreadableFilesReadAsEmptyWithoutBlocking) {
  ASSERT_EQ(mkfifo((Dir + "fifo").c_str(), 0600), 0);
  std::ofstream(Dir + "binary", std::ios::binary) << std::string("[S]\nk=v\n\0", 9);
  std::ofstream(Dir + "huge", std::ios::binary) << "[S]\nk=v\n" << std::string(TIniFile::MaxIniFileSize, '\n');
  for (const std::string& name : {Dir + "missing", Dir, Dir + "fifo", Dir + "binary", Dir + "huge"}) {
    const TIniFile ini(name);
    EXPECT_FALSE(ini.SectionExists("S")) << name;
  }
  TIniFile(Dir + "binary").WriteInteger("S", "k", 1);  // replaces it with a text file
  EXPECT_EQ(TIniFile(Dir + "binary").ReadInteger("S", "k", 5), 1);
}

TEST_F(IniFileTest, SavingCreatesTheFileAndReportsFailureWithoutDamage) {
  const mode_t mask = umask(022);
  TIniFile(Name).WriteString("S", "k", "v");
  umask(mask);
  struct stat st;
  ASSERT_EQ(stat(Name.c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 0777, 0644u);

  // Read-only files (even for root) and missing folders.
  ASSERT_EQ(chmod(Name.c_str(), 0444), 0);
  for (const std::string& name : {Name, Dir + "no/such/folder/x.ini"}) {
    TIniFile ini(name);
    ini.WriteString("S", "k", "new");
    try {
      ini.UpdateFile();
      ADD_FAILURE() << "saved " << name;
    } catch (const EIniFileException& E) {
      EXPECT_NE(E.Message().find(name), std::string::npos) << E.Message();
    }
  }  // the destructors try again and stay quiet
  EXPECT_EQ(Read(), "[S]\nk=v\n");
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator(Dir), {}), 1);
}

}  // namespace
