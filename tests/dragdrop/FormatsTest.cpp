// The format registry's ordering rules, the formats each data format gets, and what the
// formats read from blocks of dropped bytes.
#include <gtest/gtest.h>

#include <functional>
#include <map>
#include <string>
#include <vector>

#include "dragdrop/DragDropBlocks.h"
#include "dragdrop/DragDropFile.h"
#include "platform/rtl/StrUtils.h"
#include "tests/support/Files.h"

namespace {

using namespace std::string_literals;

// Data formats and clipboard formats that exist only for the registry's rules.
constexpr const char* TestNames[] = {"C0", "C1", "C2", "C3", "C4", "C5", "C6", "CBase", "CDerived"};
template <int N>
class TTestFormat : public TClipboardFormat {
public:
  static const TClipboardFormatClassRef Class;
  TClipboardFormatClass ClassType() const override { return &Class; }
  void Clear() override {}
};
constinit const TClipboardFormatClassRef BaseFormat{{"CBase", &TClipboardFormat::Class}, nullptr};
template <int N>
constinit const TClipboardFormatClassRef TTestFormat<N>::Class{{TestNames[N], N == 8 ? &BaseFormat : &TClipboardFormat::Class},
                                                              &MakeClipboardFormat<TTestFormat<N>>};

constinit const TClassRef DText{"DText", &TCustomDataFormat::Class};
constinit const TClassRef DFeedback{"DFeedback", &TCustomDataFormat::Class};
constinit const TClassRef DFile{"DFile", &TCustomDataFormat::Class};
constinit const TClassRef DDerived{"DDerived", &DFile};

std::vector<std::string> EntryNames(const TDataFormatMap& Map, TDataFormatClass Data) {
  std::vector<std::string> Names;
  for (const TDataFormatMapEntry& E : Map.Entries())
    if (E.DataClass == Data) Names.push_back(E.ClipboardClass->ClassName + std::to_string(E.Priority));
  return Names;
}

TEST(DataFormatMap, KeepsEachDataFormatsEntriesTogetherByPriorityLaterRegistrationsFirst) {
  TDataFormatMap Map;
  // Three data formats registered interleaved, as the units do.
  struct TRegistration {
    TDataFormatClass Data;
    TClipboardFormatClass Clipboard;
    int32_t Priority;
  } Registrations[] = {
      {&DText, &TTestFormat<0>::Class, 0},     {&DFile, &TTestFormat<4>::Class, 0},
      {&DText, &TTestFormat<1>::Class, 1},     {&DFeedback, &TTestFormat<5>::Class, 0},
      {&DText, &TTestFormat<2>::Class, 1},     {&DFile, &TTestFormat<5>::Class, 1},
      {&DFeedback, &TTestFormat<6>::Class, 0}, {&DText, &TTestFormat<3>::Class, 1},
      {&DFile, &TTestFormat<6>::Class, 2},     {&DFile, &TTestFormat<0>::Class, 2},
      {&DFeedback, &TTestFormat<0>::Class, 0},
  };
  for (const TRegistration& R : Registrations) Map.Add(R.Data, R.Clipboard, R.Priority, dfdTarget, ddRead);
  EXPECT_EQ(EntryNames(Map, &DText), (std::vector<std::string>{"C00", "C31", "C21", "C11"}));
  EXPECT_EQ(EntryNames(Map, &DFeedback), (std::vector<std::string>{"C00", "C60", "C50"}));
  EXPECT_EQ(EntryNames(Map, &DFile), (std::vector<std::string>{"C40", "C51", "C02", "C62"}));
  EXPECT_EQ(Map.Entries().size(), 11u);

  // Registered again: one entry, both calls' directions, the later priority, placed anew.
  Map.Add(&DText, &TTestFormat<2>::Class, 0, dfdSource, ddWrite);
  EXPECT_EQ(EntryNames(Map, &DText), (std::vector<std::string>{"C20", "C00", "C31", "C11"}));
  const auto& First = *std::find_if(Map.Entries().begin(), Map.Entries().end(),
                                    [](const TDataFormatMapEntry& E) { return E.DataClass == &DText; });
  EXPECT_EQ(First.Directions, dfdSource | dfdTarget);
  EXPECT_EQ(First.TransferDirections, ddRead | ddWrite);
  EXPECT_EQ(Map.Entries().size(), 11u);
}

TEST(DataFormatMap, TakesDerivedClassesAlongAndListsOnlyTheAskedDirection) {
  TDataFormatMap Map;
  Map.Add(&DDerived, &TTestFormat<8>::Class, 0, dfdTarget, ddRead);
  Map.Add(&DFile, &TTestFormat<1>::Class, 0, dfdSource, ddRead);
  Map.Add(&DFile, &TTestFormat<2>::Class, 1, dfdTarget, ddWrite);
  Map.Add(&DText, &TTestFormat<1>::Class, 0, dfdTarget, ddRead);

  TClipboardFormats List(nullptr);
  Map.GetClipboardFormats(&DFile, List, dfdTarget);
  ASSERT_EQ(List.Count(), 2) << "a data format gets the entries of classes derived from it, target side only";
  EXPECT_EQ(List.Formats(0)->ClassType(), &TTestFormat<8>::Class);
  EXPECT_EQ(List.Formats(1)->ClassType(), &TTestFormat<2>::Class);
  EXPECT_EQ(List.Formats(1)->DataDirections(), ddWrite);

  // An entry of derived classes is found and updated through their bases.
  Map.Add(&DFile, &BaseFormat, 3, dfdSource, ddRead);
  EXPECT_EQ(EntryNames(Map, &DDerived), std::vector<std::string>{});
  EXPECT_EQ(EntryNames(Map, &DFile), (std::vector<std::string>{"C10", "C21", "CBase3"}));

  Map.DeleteClipboardClass(&TClipboardFormat::Class);
  EXPECT_TRUE(Map.Entries().empty()) << "every clipboard format derives from the base";
  Map.Add(&DDerived, &TTestFormat<1>::Class, 0, dfdTarget, ddRead);
  Map.Add(&DText, &TTestFormat<1>::Class, 0, dfdTarget, ddRead);
  Map.DeleteDataClass(&DFile);
  EXPECT_EQ(EntryNames(Map, &DText), std::vector<std::string>{"C10"});
  EXPECT_EQ(Map.Entries().size(), 1u);
}

std::vector<std::string> FormatsOf(const TCustomDataFormat& F) {
  std::vector<std::string> Result;
  for (int32_t I = 0; I < F.CompatibleFormats().Count(); ++I)
    Result.push_back(F.CompatibleFormats().Formats(I)->ClipboardFormat());
  return Result;
}

TEST(DataFormats, GetTheirFormatsInRegisteredOrderAndTakeOnlyAMultiTargetAsOwner) {
  TComponentPtr<TDropFileTarget> Target(new TDropFileTarget(nullptr));
  ASSERT_EQ(Target->DataFormats()->Count(), 2);
  auto W = WindowsClipboardFormat;
  EXPECT_EQ(FormatsOf(*Target->DataFormats()->Formats(0)),
            (std::vector<std::string>{"text/uri-list", W("FileNameW"), W("FileName")}));
  EXPECT_EQ(FormatsOf(*Target->DataFormats()->Formats(1)), (std::vector<std::string>{W("FileNameMapW"), W("FileNameMap")}));
  EXPECT_EQ(FormatsOf(TFeedbackDataFormat(nullptr)),
            (std::vector<std::string>{W("Logical Performed DropEffect"), W("TargetCLSID"), W("InShellDragLoop"),
                                      W("Paste Succeeded"), W("Performed DropEffect"), W("Preferred DropEffect")}));
  EXPECT_EQ(FormatsOf(TTextDataFormat(nullptr)), std::vector<std::string>{"text/plain"});

  TComponentPtr<TDragDropComponent> Plain(new TDragDropComponent(nullptr));
  TTextClipboardFormat Text;
  const std::pair<std::function<void()>, std::string> Errors[] = {
      {[&] { TFileDataFormat F(Plain.get()); },
       "TDragDropComponent is not a valid owner for TFileDataFormat. Owner must be derived from "
       "TCustomDropMultiSource or TCustomDropMultiTarget"},
      {[&] { Text.SetClipboardFormatName("x"); }, "TTextClipboardFormat.ClipboardFormat is read-only"},
      {[&] { TTestFormat<0>().ClipboardFormat(); }, "Internal error: C0.GetClipboardFormat needs implementation"},
  };
  for (const auto& [Call, Message] : Errors) {
    try {
      Call();
      ADD_FAILURE() << "no exception: " << Message;
    } catch (const EDataFormatError& E) {
      EXPECT_EQ(E.Message(), Message);
    }
  }
}

TEST(DropBlocks, AUriListGivesTheLocalFilesItNames) {
  const struct {
    std::string List;
    std::vector<std::string> Files;
  } Cases[] = {
      {"file:///a/b.wav\r\nfile://localhost/c%20d.mp3\r\nFILE:/e\n", {"/a/b.wav", "/c d.mp3", "/e"}},
      {"# comment\r\n\r\n  file:///x  \r\nfile:///y", {"/x", "/y"}},
      {"file:///caf%C3%A9/%e9%FF%2F", {"/caf\xC3\xA9/\xE9\xFF/"}},
      {"file:///q?query#frag\r\nfile:///r#f", {"/q", "/r"}},
      {"file:///end\0file:///after"s, {"/end"}},
      {"http://host/a\r\nfile://host/a\r\nfile://localhost\r\nfile:a\r\nfile:\r\nfiles:///a\r\nfile:///%\r\n"
       "file:///%4\r\nfile:///%G0\r\nfile:///nul%00\r\nfile:///tab%09\r\nfile:///\x01",
       {}},
  };
  for (const auto& C : Cases) EXPECT_EQ(LocalFilesOfUriList(C.List), C.Files) << C.List;
}

// Dropped data in memory.
class TMemoryData : public IDataObject {
public:
  explicit TMemoryData(std::map<std::string, std::string> Blocks) : FBlocks(std::move(Blocks)) {}
  std::vector<std::string> Formats() const override {
    std::vector<std::string> F;
    for (const auto& [Name, Block] : FBlocks) F.push_back(Name);
    return F;
  }
  bool QueryGetData(const std::string& Format) const override { return FBlocks.count(Format) > 0; }
  bool GetData(const std::string& Format, std::string& Data) const override {
    const auto It = FBlocks.find(Format);
    if (It == FBlocks.end()) return false;
    Data = It->second;
    return true;
  }

private:
  std::map<std::string, std::string> FBlocks;
};

std::string Join(const std::vector<std::string>& Items) {
  std::string S;
  for (const std::string& I : Items) S += (S.empty() ? "" : "|") + I;
  return S;
}
std::string Join(const TStringList& List) {
  std::vector<std::string> Items;
  for (int I = 0; I < List.Count(); ++I) Items.push_back(List.Strings(I));
  return Join(Items);
}

std::string Descriptors(uint32_t Count, const std::vector<std::string>& Names) {
  std::string Block(reinterpret_cast<const char*>(&Count), 4);
  for (const std::string& N : Names) {
    std::string Record(FileDescriptorSize, '\xAA');
    Record.replace(72, 260, std::string(260, '\0'));
    const std::string Name = N.substr(0, 260);
    Record.replace(72, Name.size(), Name);
    Block += Record;
  }
  return Block;
}

// Each data format read from one drop's blocks: the value it took, or "-" for none.
TEST(DataFormats, TakeTheirValuesFromTheFirstFormatThatHoldsOne) {
  testsupport::TTempDir Dir;
  const std::string File = Dir / "s\xC3\xA9.wav", Other = Dir / "o.wav";
  testsupport::WriteFile(File, "x"s);
  testsupport::WriteFile(Other, "y"s);
  auto W = WindowsClipboardFormat;
  auto Wide = [](const std::u16string& S) {
    return std::string(reinterpret_cast<const char*>(S.data()), 2 * S.size());
  };
  auto TextOf = [](TCustomDataFormat& F) { return static_cast<TTextDataFormat&>(F).Text(); };
  auto FilesOf = [](TCustomDataFormat& F) { return Join(static_cast<TFileDataFormat&>(F).Files()); };
  auto MapsOf = [](TCustomDataFormat& F) { return Join(static_cast<TFileMapDataFormat&>(F).FileMaps()); };
  auto NamesOf = [](TCustomDataFormat& F) { return Join(static_cast<TVirtualFileStreamDataFormat&>(F).FileNames()); };
  auto FeedbackOf = [](TCustomDataFormat& F) {
    auto& Fb = static_cast<TFeedbackDataFormat&>(F);
    return std::to_string(Fb.PreferredDropEffect()) + "/" + std::to_string(Fb.InShellDragLoop());
  };
  using TMake = std::function<std::unique_ptr<TCustomDataFormat>()>;
  auto Make = []<class T>(T*) -> TMake { return [] { return std::make_unique<T>(nullptr); }; };
  const struct {
    TMake Create;
    std::function<std::string(TCustomDataFormat&)> Value;
    std::map<std::string, std::string> Blocks;
    std::string Expected;
  } Cases[] = {
      {Make((TTextDataFormat*)nullptr), TextOf, {{"text/plain", "hello\0world"s}}, "hello"},
      {Make((TTextDataFormat*)nullptr), TextOf, {{"text/plain", ""}}, "-"},
      {Make((TFileDataFormat*)nullptr), FilesOf,
       {{"text/uri-list", "file://" + File}, {W("FileName"), Other + "\0"s}}, File},
      {Make((TFileDataFormat*)nullptr), FilesOf,
       {{"text/uri-list", "file:///no/such/file"}, {W("FileNameW"), Wide(UTF8ToUTF16(File)) + "\0\0\x01"s},
        {W("FileName"), Other + "\0"s}}, File},
      {Make((TFileDataFormat*)nullptr), FilesOf,
       {{W("FileNameW"), Wide(u"/no/such/file")}, {W("FileName"), Other + "\0junk"s}}, Other},
      {Make((TFileMapDataFormat*)nullptr), MapsOf, {{W("FileNameMapW"), Wide(u"a\0b\u00e9\0\0c\0"s)}}, "a|b\xC3\xA9"},
      {Make((TFileMapDataFormat*)nullptr), MapsOf, {{W("FileNameMapW"), Wide(u"a\0bc"s)}, {W("FileNameMap"), "x"}}, "a"},
      {Make((TFileMapDataFormat*)nullptr), MapsOf, {{W("FileNameMap"), "unterminated"}}, "-"},
      {Make((TFeedbackDataFormat*)nullptr), FeedbackOf, {{W("Preferred DropEffect"), "\x05\0\0\0\xFF"s}}, "5/0"},
      {Make((TFeedbackDataFormat*)nullptr), FeedbackOf,
       {{W("Preferred DropEffect"), "\x05\0\0"s}, {W("InShellDragLoop"), "\x01\0\0\0"s}}, "0/1"},
      {Make((TVirtualFileStreamDataFormat*)nullptr), NamesOf,
       {{W("FileGroupDescriptor"), Descriptors(2, {"Text scrap.txt", std::string(300, 'n')})}},
       "Text scrap.txt|" + std::string(260, 'n')},
      {Make((TVirtualFileStreamDataFormat*)nullptr), NamesOf,
       {{W("FileGroupDescriptor"), Descriptors(2, {"one"})}}, "-"},
      {Make((TVirtualFileStreamDataFormat*)nullptr), NamesOf,
       {{W("FileGroupDescriptor"), Descriptors(1, {"one"}) + "tail"}}, "one"},
  };
  for (const auto& C : Cases) {
    const std::unique_ptr<TCustomDataFormat> Format = C.Create();
    const TMemoryData Data(C.Blocks);
    const bool Read = Format->GetData(Data);
    EXPECT_EQ(Read ? C.Value(*Format) : "-", C.Expected) << Format->ClassName() << " " << C.Expected;
  }
}

}  // namespace
