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
    std::ifstream in(Name, std::ios::binary);
    std::stringstream ss;
    ss << in.rdbuf();
    return ss.str();
  }
  static std::string Joined(const TStringList& L) {
    std::string s;
    for (int i = 0; i < L.Count(); ++i) s += L.Strings(i) + "|";
    return s;
  }

  std::string Dir, Name;
};

TEST_F(IniFileTest, ReadsNamesIgnoringCaseAndValuesAsWritten) {
  Write("\xEF\xBB\xBF"
        "orphan=before any section\r\n"
        "[Main]\r\n"
        "; comment=not a key\r\n"
        "  Spaced Key  =  padded value \t\r\n"
        "quoted=\"  kept  \"\r\n"
        "half=\"open\r\n"
        "empty=\r\n"
        "no equals sign\r\n"
        "=no key\r\n"
        "eq=a=b\r\n"
        "utf=\xC5\x81\xC3\xB3" "d\xC5\xBA\r"  // a lone CR ends a line too
        "dup=first\n"
        "DUP=second\n"
        "[broken\n"
        "[ main ]\n"
        "dup=in the second section of the same name\n"
        "late=only here\n");
  const TIniFile ini(Name);
  struct TCase {
    const char *Section, *Key, *Expected;
  } cases[] = {
      {"main", "spaced key", "padded value"},
      {"MAIN", "quoted", "  kept  "},
      {"Main", "half", "\"open"},
      {"Main", "empty", ""},
      {"Main", "eq", "a=b"},
      {"Main", "utf", "\xC5\x81\xC3\xB3" "d\xC5\xBA"},
      {"Main", "dup", "first"},
      {"Main", "late", "<default>"},
      {"Main", "no equals sign", "<default>"},
      {"Main", "", "<default>"},
      {"Main", "; comment", "<default>"},
      {"", "orphan", "<default>"},
      {"broken", "dup", "<default>"},
      {"Other", "eq", "<default>"},
  };
  for (const TCase& c : cases)
    EXPECT_EQ(ini.ReadString(c.Section, c.Key, "<default>"), c.Expected) << c.Section << "/" << c.Key;
  EXPECT_TRUE(ini.ValueExists("main", "EMPTY"));
  EXPECT_FALSE(ini.ValueExists("main", "late"));
  EXPECT_TRUE(ini.SectionExists("MAIN"));
  EXPECT_FALSE(ini.SectionExists("broken"));

  TStringList list;
  list.Add("replaced");
  ini.ReadSections(list);
  EXPECT_EQ(Joined(list), "Main|");
  ini.ReadSection("main", list);
  EXPECT_EQ(Joined(list), "Spaced Key|quoted|half|empty|eq|utf|dup|");
  ini.ReadSectionValues("main", list);
  EXPECT_EQ(list.Values("dup"), "first");
  EXPECT_EQ(list.Values("quoted"), "  kept  ");
  ini.ReadSection("nothing", list);
  EXPECT_EQ(list.Count(), 0);
}

TEST_F(IniFileTest, NumbersAndBooleansReadAsTheClassLibraryReadsThem) {
  struct TCase {
    const char* Text;
    int32_t Integer;  // with 77 as default
    bool Bool;        // with true as default
  } cases[] = {
      {"12", 12, true},          {"0", 0, false},
      {"-5", -5, true},          {"+7", 7, true},
      {" 42 ", 42, true},        {"$1F", 31, true},
      {"0x1f", 31, true},        {"0XfF", 255, true},
      {"-$10", -16, true},       {"$FFFFFFFF", -1, true},
      {"$80000000", INT32_MIN, true},
      {"2147483647", INT32_MAX, true},
      {"-2147483648", INT32_MIN, true},
      {"2147483648", 77, true},  {"-2147483649", 77, true},
      {"$100000000", 77, true},  {"99999999999999999999", 77, true},
      {"", 77, true},            {"-", 77, true},
      {"$", 77, true},           {"0x", 77, true},
      {"12a", 77, true},         {"1.5", 77, true},
      {"1 2", 77, true},         {"--1", 77, true},
      {"$G", 77, true},          {"true", 77, true},
  };
  std::string text = "[N]\n";
  for (size_t i = 0; i < std::size(cases); ++i) text += "k" + std::to_string(i) + "=" + cases[i].Text + "\n";
  Write(text);
  TIniFile ini(Name);
  for (size_t i = 0; i < std::size(cases); ++i) {
    const std::string key = "k" + std::to_string(i);
    EXPECT_EQ(ini.ReadInteger("N", key, 77), cases[i].Integer) << cases[i].Text;
    EXPECT_EQ(ini.ReadBool("N", key, true), cases[i].Bool) << cases[i].Text;
  }
  EXPECT_FALSE(ini.ReadBool("N", "missing", false));

  Write("[F]\na=1.5\nb=-2e3\nc=+0.25\nd=1,5\ne=abc\nf=\ng=+-1\n");
  TIniFile floats(Name);
  const std::pair<const char*, double> expected[] = {{"a", 1.5}, {"b", -2000}, {"c", 0.25}, {"d", 9},
                                                     {"e", 9},   {"f", 9},     {"g", 9}};
  for (const auto& [key, value] : expected) EXPECT_DOUBLE_EQ(floats.ReadFloat("F", key, 9), value) << key;
}

TEST_F(IniFileTest, WritesKeepTheFileAndChangeOnlyWhatWasWritten) {
  Write("\xEF\xBB\xBF; settings\r\n"
        "[Position]\r\n"
        "Left = 10\r\n"
        "; the top edge\r\n"
        "Top=20\r\n"
        "\r\n"
        "; output follows\r\n"
        "[Output]\r\n"
        "Format=3\r\n"
        "junk line\r\n");
  {
    TIniFile ini(Name);
    ini.WriteInteger("position", "LEFT", 10);  // same value: the line stays as it was
    ini.WriteInteger("Position", "top", -7);
    ini.WriteBool("Position", "Max", true);
    ini.WriteBool("Output", "Normalize", false);
    ini.WriteString("Output", "OutputDir", " /music/with spaces/ ");
    ini.WriteString("Source", "Dir", "\"quoted\"");
    ini.WriteFloat("Source", "Gain", 0.1);
    ini.UpdateFile();
  }
  EXPECT_EQ(Read(),
            "\xEF\xBB\xBF; settings\r\n"
            "[Position]\r\n"
            "Left = 10\r\n"
            "; the top edge\r\n"
            "Top=-7\r\n"
            "Max=1\r\n"
            "\r\n"
            "; output follows\r\n"
            "[Output]\r\n"
            "Format=3\r\n"
            "Normalize=0\r\n"
            "OutputDir=\" /music/with spaces/ \"\r\n"
            "junk line\r\n"
            "\r\n"
            "[Source]\r\n"
            "Dir=\"\"quoted\"\"\r\n"
            "Gain=0.1\r\n");
  const TIniFile back(Name);
  EXPECT_EQ(back.ReadString("Output", "OutputDir", ""), " /music/with spaces/ ");
  EXPECT_EQ(back.ReadString("Source", "Dir", ""), "\"quoted\"");
  EXPECT_EQ(back.ReadFloat("Source", "Gain", 0), 0.1);
  EXPECT_EQ(back.ReadInteger("Position", "Top", 0), -7);
  EXPECT_TRUE(back.ReadBool("Position", "Max", false));
}

TEST_F(IniFileTest, ErasingSectionsAndKeys) {
  Write("[A]\nx=1\n; about y\ny=2\nX=3\n[B]\nz=1\n[a]\nw=4\n");
  {
    TIniFile ini(Name);
    ini.DeleteKey("a", "X");
    ini.DeleteKey("B", "absent");
    EXPECT_FALSE(ini.ValueExists("A", "x"));
    EXPECT_EQ(ini.ReadString("A", "y", ""), "2");
    ini.EraseSection("b");
    ini.EraseSection("missing");
    EXPECT_FALSE(ini.SectionExists("B"));
  }  // the destructor saves
  EXPECT_EQ(Read(), "[A]\n; about y\ny=2\n[a]\nw=4\n");
  {
    TIniFile ini(Name);
    ini.EraseSection("A");  // both sections of that name
    TStringList sections;
    ini.ReadSections(sections);
    EXPECT_EQ(sections.Count(), 0);
    ini.WriteString("New", "k", "v");
  }
  EXPECT_EQ(Read(), "[New]\nk=v\n");
}

TEST_F(IniFileTest, NamesAndValuesThatALineCannotHoldAreRefused) {
  Write("[S]\nk=v\n");
  TIniFile ini(Name);
  const std::pair<std::string, std::string> badNames[] = {
      {"", "k"},    {" S", "k"},  {"S]", "k"},  {"a\nb", "k"}, {"S", ""},   {"S", "k "},
      {"S", "a=b"}, {"S", ";k"},  {"S", "[k"},  {"S", "a\rb"}, {"S", std::string("a\0b", 3)},
  };
  for (const auto& [section, key] : badNames)
    EXPECT_THROW(ini.WriteString(section, key, "v"), EIniFileException) << section << "/" << key;
  for (const std::string& value : {std::string("a\nb"), std::string("a\r"), std::string("a\0b", 3)})
    EXPECT_THROW(ini.WriteString("S", "k", value), EIniFileException);
  EXPECT_EQ(ini.ReadString("S", "k", ""), "v");
  ini.UpdateFile();
  EXPECT_EQ(Read(), "[S]\nk=v\n");
}

TEST_F(IniFileTest, UnreadableFilesReadAsEmptyWithoutBlocking) {
  ASSERT_EQ(mkfifo((Dir + "fifo").c_str(), 0600), 0);
  std::ofstream(Dir + "binary", std::ios::binary) << std::string("[S]\nk=v\n\0", 9);
  for (const std::string& name : {Dir + "missing", Dir, Dir + "fifo", Dir + "binary"}) {
    const TIniFile ini(name);
    TStringList sections;
    ini.ReadSections(sections);
    EXPECT_EQ(sections.Count(), 0) << name;
    EXPECT_EQ(ini.ReadInteger("S", "k", 5), 5) << name;
  }
  // Writing over a binary file replaces it with a text file.
  {
    TIniFile ini(Dir + "binary");
    ini.WriteInteger("S", "k", 1);
  }
  EXPECT_EQ(TIniFile(Dir + "binary").ReadInteger("S", "k", 5), 1);
}

TEST_F(IniFileTest, SavingCreatesTheFileAndReportsFailureWithoutDamage) {
  const mode_t mask = umask(022);
  {
    TIniFile ini(Name);
    ini.WriteString("S", "k", "v");
    ini.UpdateFile();
  }
  umask(mask);
  struct stat st;
  ASSERT_EQ(stat(Name.c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 0777, 0644u);
  EXPECT_EQ(Read(), "[S]\nk=v\n");

  // A file without write permission stays as it was, even for root.
  ASSERT_EQ(chmod(Name.c_str(), 0444), 0);
  {
    TIniFile ini(Name);
    ini.WriteString("S", "k", "new");
    try {
      ini.UpdateFile();
      ADD_FAILURE() << "no exception";
    } catch (const EIniFileException& E) {
      EXPECT_NE(E.Message().find(Name), std::string::npos) << E.Message();
    }
  }  // the destructor tries again and stays quiet
  EXPECT_EQ(Read(), "[S]\nk=v\n");

  // In a folder that does not exist, nothing is left behind.
  const std::string nowhere = Dir + "no/such/folder/x.ini";
  {
    TIniFile ini(nowhere);
    ini.WriteString("S", "k", "v");
    EXPECT_THROW(ini.UpdateFile(), EIniFileException);
  }
  EXPECT_FALSE(FileExists(nowhere));
  std::error_code ec;
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator(Dir, ec), {}), 1);
}

}  // namespace
