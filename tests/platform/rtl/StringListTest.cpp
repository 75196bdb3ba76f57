#include "platform/rtl/StringList.h"

#include <sys/stat.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <fstream>
#include <sstream>
#include <vector>

#include "platform/rtl/FileUtils.h"
#include "platform/rtl/SysUtils.h"

namespace {

std::vector<std::string> Items(const TStringList& L) {
  std::vector<std::string> r;
  for (int i = 0; i < L.Count(); ++i) r.push_back(L.Strings(i));
  return r;
}

std::string ListError(const std::function<void()>& Fn) {
  try {
    Fn();
  } catch (const EListError& e) {
    return e.Message();
  }
  return "no exception";
}

std::string ReadFile(const std::string& Name) {
  std::ifstream in(Name, std::ios::binary);
  std::stringstream ss;
  ss << in.rdbuf();
  return ss.str();
}

using V = std::vector<std::string>;

}  // namespace

TEST(StringList, EditingAndBounds) {
  TStringList l;
  EXPECT_EQ(l.Add("b"), 0);
  EXPECT_EQ(l.Add("c"), 1);
  l.Insert(0, "a");
  l.Insert(3, "d");
  EXPECT_EQ(Items(l), (V{"a", "b", "c", "d"}));
  l.SetString(1, "B");
  l.Delete(2);
  EXPECT_EQ(Items(l), (V{"a", "B", "d"}));
  EXPECT_EQ(ListError([&] { l.Strings(3); }), "List index out of bounds (3)");
  EXPECT_EQ(ListError([&] { l.Strings(-1); }), "List index out of bounds (-1)");
  EXPECT_EQ(ListError([&] { l.Insert(5, "x"); }), "List index out of bounds (5)");
  EXPECT_EQ(ListError([&] { l.Delete(3); }), "List index out of bounds (3)");
  EXPECT_EQ(ListError([&] { l.SetString(3, "x"); }), "List index out of bounds (3)");
  EXPECT_EQ(l.Count(), 3);
  EXPECT_EQ(l.IndexOf("b"), 1);
  EXPECT_EQ(l.IndexOf("D"), 2);
  EXPECT_EQ(l.IndexOf("e"), -1);
  l.Add("\xC3\xA9");
  EXPECT_EQ(l.IndexOf("\xC3\x89"), -1);  // only ASCII folds
  l.Clear();
  EXPECT_EQ(l.Count(), 0);
}

TEST(StringList, SortedListKeepsCaseInsensitiveOrder) {
  TStringList l;
  for (const char* s : {"pear", "Apple", "banana", "apple"}) l.Add(s);
  l.SetSorted(true);
  EXPECT_EQ(Items(l), (V{"Apple", "apple", "banana", "pear"}));
  EXPECT_EQ(l.Add("Cherry"), 3);
  EXPECT_EQ(l.Add("APPLE"), 2);  // after the equal ones
  EXPECT_EQ(l.Add("zz"), 6);
  // Letters compare as upper case, so '_' (between 'Z' and 'a') comes after them all.
  EXPECT_EQ(l.Add("_"), 7);
  EXPECT_EQ(Items(l), (V{"Apple", "apple", "APPLE", "banana", "Cherry", "pear", "zz", "_"}));
  EXPECT_EQ(ListError([&] { l.Insert(0, "x"); }), "Operation not allowed on sorted list");
  EXPECT_EQ(ListError([&] { l.SetString(0, "x"); }), "Operation not allowed on sorted list");
  EXPECT_EQ(l.IndexOf("CHERRY"), 4);
  l.SetSorted(false);
  l.Insert(0, "z");
  EXPECT_EQ(l.Strings(0), "z");
}

TEST(StringList, NameValueAccess) {
  TStringList l;
  l.SetText("Title=Song\nartist=A=B\nplain\n=empty name\nTRACK=\n");
  EXPECT_EQ(l.Names(0), "Title");
  EXPECT_EQ(l.ValueFromIndex(1), "A=B");
  EXPECT_EQ(l.Names(2), "");
  EXPECT_EQ(l.ValueFromIndex(2), "");
  EXPECT_EQ(l.Values("ARTIST"), "A=B");
  EXPECT_EQ(l.Values("plain"), "");
  EXPECT_EQ(l.IndexOfName("plain"), -1);
  EXPECT_EQ(l.IndexOfName("track"), 4);
  EXPECT_EQ(l.IndexOfName(""), 3);
  l.SetValue("title", "Other");
  EXPECT_EQ(l.Strings(0), "title=Other");
  l.SetValue("Year", "2001");
  EXPECT_EQ(l.Strings(5), "Year=2001");
  l.SetValue("ARTIST", "");
  EXPECT_EQ(l.IndexOfName("artist"), -1);
  EXPECT_EQ(l.Count(), 5);
  l.SetValue("absent", "");
  EXPECT_EQ(l.Count(), 5);
  EXPECT_THROW(l.Names(9), EListError);

  TStringList s;
  s.SetSorted(true);
  s.SetValue("b", "1");
  s.SetValue("a", "2");
  s.SetValue("B", "3");
  EXPECT_EQ(Items(s), (V{"a=2", "B=3"}));
}

TEST(StringList, TextSplitsEveryLineBreakAndRoundTrips) {
  TStringList l;
  l.SetText("a\r\nb\rc\nd");
  EXPECT_EQ(Items(l), (V{"a", "b", "c", "d"}));
  l.SetText("a\n\nb\n");
  EXPECT_EQ(Items(l), (V{"a", "", "b"}));
  l.SetText("\r\n\r\n");
  EXPECT_EQ(Items(l), (V{"", ""}));
  l.SetText("");
  EXPECT_EQ(l.Count(), 0);
  EXPECT_EQ(l.Text(), "");
  for (const V& v : {V{"x", ""}, V{""}, V{"a", "b"}}) {
    TStringList a, b;
    for (const auto& s : v) a.Add(s);
    b.SetText(a.Text());
    EXPECT_EQ(Items(b), v);
  }
}

TEST(StringList, FilesLoadWithoutBomAndSaveSafely) {
  std::string dir = GetTempDirectory() + "rtl-strlist-XXXXXX";
  ASSERT_NE(mkdtemp(dir.data()), nullptr);
  dir += "/";
  const std::string f = dir + "list.txt";
  std::ofstream(f, std::ios::binary) << "\xEF\xBB\xBFone\r\ntwo=2\r\n";
  TStringList l;
  ASSERT_TRUE(l.LoadFromFile(f));
  EXPECT_EQ(Items(l), (V{"one", "two=2"}));
  EXPECT_EQ(l.Values("TWO"), "2");
  l.Add("\xC3\xA9t\xC3\xA9");
  ASSERT_TRUE(l.SaveToFile(f));
  EXPECT_EQ(ReadFile(f), "one\ntwo=2\n\xC3\xA9t\xC3\xA9\n");
  const std::string n = dir + "new.txt";
  ASSERT_TRUE(l.SaveToFile(n));
  TStringList back;
  ASSERT_TRUE(back.LoadFromFile(n));
  EXPECT_EQ(Items(back), Items(l));

  // A read-only file is left as it is.
  ASSERT_EQ(chmod(n.c_str(), 0444), 0);
  TStringList other;
  other.Add("replaced");
  EXPECT_FALSE(other.SaveToFile(n));
  EXPECT_EQ(ReadFile(n), l.Text());
  EXPECT_FALSE(other.SaveToFile(dir + "missing/x.txt"));
  EXPECT_FALSE(other.LoadFromFile(dir + "missing.txt"));
  EXPECT_EQ(Items(other), V{"replaced"});

  unlink(f.c_str());
  unlink(n.c_str());
  rmdir(dir.c_str());
}
