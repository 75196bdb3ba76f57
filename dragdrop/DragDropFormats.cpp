#include "dragdrop/DragDropFormats.h"

#include <algorithm>
#include <utility>

#include "dragdrop/DragDropBlocks.h"

constinit const TClipboardFormatClassRef TCustomSimpleClipboardFormat::Class{
    {"TCustomSimpleClipboardFormat", &TClipboardFormat::Class}, nullptr};
constinit const TClipboardFormatClassRef TCustomStringClipboardFormat::Class{
    {"TCustomStringClipboardFormat", &TCustomSimpleClipboardFormat::Class}, nullptr};
constinit const TClipboardFormatClassRef TCustomTextClipboardFormat::Class{
    {"TCustomTextClipboardFormat", &TCustomStringClipboardFormat::Class}, nullptr};
constinit const TClipboardFormatClassRef TCustomWideTextClipboardFormat::Class{
    {"TCustomWideTextClipboardFormat", &TCustomSimpleClipboardFormat::Class}, nullptr};
constinit const TClipboardFormatClassRef TCustomDWORDClipboardFormat::Class{
    {"TCustomDWORDClipboardFormat", &TCustomSimpleClipboardFormat::Class}, nullptr};

constinit const TClipboardFormatClassRef TTextClipboardFormat::Class{
    {"TTextClipboardFormat", &TCustomTextClipboardFormat::Class}, &MakeClipboardFormat<TTextClipboardFormat>};
constinit const TClipboardFormatClassRef TPreferredDropEffectClipboardFormat::Class{
    {"TPreferredDropEffectClipboardFormat", &TCustomDWORDClipboardFormat::Class},
    &MakeClipboardFormat<TPreferredDropEffectClipboardFormat>};
constinit const TClipboardFormatClassRef TPerformedDropEffectClipboardFormat::Class{
    {"TPerformedDropEffectClipboardFormat", &TCustomDWORDClipboardFormat::Class},
    &MakeClipboardFormat<TPerformedDropEffectClipboardFormat>};
constinit const TClipboardFormatClassRef TLogicalPerformedDropEffectClipboardFormat::Class{
    {"TLogicalPerformedDropEffectClipboardFormat", &TCustomDWORDClipboardFormat::Class},
    &MakeClipboardFormat<TLogicalPerformedDropEffectClipboardFormat>};
constinit const TClipboardFormatClassRef TPasteSuccededClipboardFormat::Class{
    {"TPasteSuccededClipboardFormat", &TCustomDWORDClipboardFormat::Class},
    &MakeClipboardFormat<TPasteSuccededClipboardFormat>};
constinit const TClipboardFormatClassRef TInShellDragLoopClipboardFormat::Class{
    {"TInShellDragLoopClipboardFormat", &TCustomDWORDClipboardFormat::Class},
    &MakeClipboardFormat<TInShellDragLoopClipboardFormat>};
constinit const TClipboardFormatClassRef TTargetCLSIDClipboardFormat::Class{
    {"TTargetCLSIDClipboardFormat", &TCustomSimpleClipboardFormat::Class},
    &MakeClipboardFormat<TTargetCLSIDClipboardFormat>};
constinit const TClipboardFormatClassRef TFileGroupDescritorClipboardFormat::Class{
    {"TFileGroupDescritorClipboardFormat", &TCustomSimpleClipboardFormat::Class},
    &MakeClipboardFormat<TFileGroupDescritorClipboardFormat>};

constinit const TClassRef TTextDataFormat::Class{"TTextDataFormat", &TCustomDataFormat::Class};
constinit const TClassRef TFeedbackDataFormat::Class{"TFeedbackDataFormat", &TCustomDataFormat::Class};
constinit const TClassRef TVirtualFileStreamDataFormat::Class{"TVirtualFileStreamDataFormat",
                                                              &TCustomDataFormat::Class};

std::string WindowsClipboardFormat(std::string_view Name) {
  return "application/x-qt-windows-mime;value=\"" + std::string(Name) + "\"";
}

// ---------------------------------------------------------------------------
// Kinds

bool TCustomSimpleClipboardFormat::DoGetData(const std::string& Data) {
  return !Data.empty() && ReadDataInto(Data);
}

bool TCustomStringClipboardFormat::ReadDataInto(std::string_view Data) {
  FData = FTrimZeroes ? ReadText(Data) : std::string(Data);
  return true;
}

bool TCustomWideTextClipboardFormat::ReadDataInto(std::string_view Data) {
  FText = ReadWideText(Data);
  return true;
}

bool TCustomDWORDClipboardFormat::ReadDataInto(std::string_view Data) { return ReadDWORD(Data, FValue); }

// ---------------------------------------------------------------------------
// Named formats

std::string TPreferredDropEffectClipboardFormat::GetClipboardFormat() const {
  return WindowsClipboardFormat("Preferred DropEffect");
}
std::string TPerformedDropEffectClipboardFormat::GetClipboardFormat() const {
  return WindowsClipboardFormat("Performed DropEffect");
}
std::string TLogicalPerformedDropEffectClipboardFormat::GetClipboardFormat() const {
  return WindowsClipboardFormat("Logical Performed DropEffect");
}
std::string TPasteSuccededClipboardFormat::GetClipboardFormat() const {
  return WindowsClipboardFormat("Paste Succeeded");
}
std::string TInShellDragLoopClipboardFormat::GetClipboardFormat() const {
  return WindowsClipboardFormat("InShellDragLoop");
}
std::string TTargetCLSIDClipboardFormat::GetClipboardFormat() const { return WindowsClipboardFormat("TargetCLSID"); }
std::string TFileGroupDescritorClipboardFormat::GetClipboardFormat() const {
  return WindowsClipboardFormat("FileGroupDescriptor");
}

bool TTargetCLSIDClipboardFormat::ReadDataInto(std::string_view Data) {
  if (Data.size() < FCLSID.size()) return false;
  std::copy_n(Data.begin(), FCLSID.size(), FCLSID.begin());
  return true;
}

bool TFileGroupDescritorClipboardFormat::ReadDataInto(std::string_view Data) {
  FRecords = ReadGroupDescriptor(Data, FileDescriptorSize);
  return !FRecords.empty();
}

// ---------------------------------------------------------------------------
// Data formats

void TTextDataFormat::Clear() {
  Changing();
  FText.clear();
}

bool TTextDataFormat::Assign(TClipboardFormat& Source) {
  auto* Text = dynamic_cast<TTextClipboardFormat*>(&Source);
  if (!Text) return TCustomDataFormat::Assign(Source);
  Changing();
  FText = Text->Text();
  return true;
}

void TFeedbackDataFormat::Clear() {
  Changing();
  FPreferredDropEffect = FPerformedDropEffect = FLogicalPerformedDropEffect = FPasteSucceeded = 0;
  FInShellDragLoop = FGotInShellDragLoop = false;
  FTargetCLSID = {};
}

bool TFeedbackDataFormat::Assign(TClipboardFormat& Source) {
  const TClipboardFormatClass Class = Source.ClassType();
  if (Class->InheritsFrom(&TTargetCLSIDClipboardFormat::Class)) {
    Changing();
    FTargetCLSID = static_cast<TTargetCLSIDClipboardFormat&>(Source).CLSID();
    return true;
  }
  if (!Class->InheritsFrom(&TCustomDWORDClipboardFormat::Class)) return TCustomDataFormat::Assign(Source);
  const uint32_t Value = static_cast<TCustomDWORDClipboardFormat&>(Source).Value();
  if (Class->InheritsFrom(&TInShellDragLoopClipboardFormat::Class)) {
    Changing();
    FInShellDragLoop = Value != 0;
    FGotInShellDragLoop = true;
    return true;
  }
  static constexpr std::pair<TClipboardFormatClass, uint32_t TFeedbackDataFormat::*> Fields[] = {
      {&TPreferredDropEffectClipboardFormat::Class, &TFeedbackDataFormat::FPreferredDropEffect},
      {&TPerformedDropEffectClipboardFormat::Class, &TFeedbackDataFormat::FPerformedDropEffect},
      {&TLogicalPerformedDropEffectClipboardFormat::Class, &TFeedbackDataFormat::FLogicalPerformedDropEffect},
      {&TPasteSuccededClipboardFormat::Class, &TFeedbackDataFormat::FPasteSucceeded},
  };
  for (const auto& [FieldClass, Field] : Fields)
    if (Class->InheritsFrom(FieldClass)) {
      Changing();
      this->*Field = Value;
      return true;
    }
  return TCustomDataFormat::Assign(Source);
}

bool TFeedbackDataFormat::HasData() const {
  return FPreferredDropEffect != 0 || FPerformedDropEffect != 0 || FPasteSucceeded != 0 || FGotInShellDragLoop;
}

TVirtualFileStreamDataFormat::TVirtualFileStreamDataFormat(TDragDropComponent* AOwner)
    : TCustomDataFormat(AOwner, &Class) {
  CompatibleFormats().Add(std::make_unique<TFileGroupDescritorClipboardFormat>());
}

std::vector<std::string> TVirtualFileStreamDataFormat::FileNames() const {
  std::vector<std::string> Names;
  for (const std::string& Record : FDescriptors) Names.push_back(DescriptorFileName(Record));
  return Names;
}

void TVirtualFileStreamDataFormat::Clear() {
  Changing();
  FDescriptors.clear();
}

bool TVirtualFileStreamDataFormat::Assign(TClipboardFormat& Source) {
  auto* Group = dynamic_cast<TFileGroupDescritorClipboardFormat*>(&Source);
  if (!Group) return TCustomDataFormat::Assign(Source);
  Changing();
  FDescriptors = Group->Records();
  return true;
}

// ---------------------------------------------------------------------------
// Registration while the program runs

namespace {

struct TFormatsRegistration {
  TFormatsRegistration() {
    RegisterDataFormat(&TTextDataFormat::Class);
    RegisterDataFormat(&TVirtualFileStreamDataFormat::Class);
    RegisterDataFormat(&TFeedbackDataFormat::Class);
    RegisterDataConversion(&TTextDataFormat::Class, &TTextClipboardFormat::Class, 0);
    RegisterDataConversion(&TFeedbackDataFormat::Class, &TPreferredDropEffectClipboardFormat::Class, 0);
    RegisterDataConversion(&TFeedbackDataFormat::Class, &TPerformedDropEffectClipboardFormat::Class, 0,
                           dfdSource | dfdTarget, ddWrite);
    RegisterDataConversion(&TFeedbackDataFormat::Class, &TPasteSuccededClipboardFormat::Class, 0,
                           dfdSource | dfdTarget, ddWrite);
    RegisterDataConversion(&TFeedbackDataFormat::Class, &TInShellDragLoopClipboardFormat::Class, 0);
    RegisterDataConversion(&TFeedbackDataFormat::Class, &TTargetCLSIDClipboardFormat::Class, 0,
                           dfdSource | dfdTarget, ddWrite);
    RegisterDataConversion(&TFeedbackDataFormat::Class, &TLogicalPerformedDropEffectClipboardFormat::Class, 0,
                           dfdSource | dfdTarget, ddWrite);
  }
  ~TFormatsRegistration() {
    UnregisterDataFormat(&TTextDataFormat::Class);
    UnregisterDataFormat(&TVirtualFileStreamDataFormat::Class);
    UnregisterDataFormat(&TFeedbackDataFormat::Class);
    for (TClipboardFormatClass C :
         {&TTextClipboardFormat::Class, &TPreferredDropEffectClipboardFormat::Class,
          &TPerformedDropEffectClipboardFormat::Class, &TPasteSuccededClipboardFormat::Class,
          &TInShellDragLoopClipboardFormat::Class, &TTargetCLSIDClipboardFormat::Class,
          &TLogicalPerformedDropEffectClipboardFormat::Class, &TFileGroupDescritorClipboardFormat::Class})
      UnregisterClipboardFormat(C);
  }
} FormatsRegistration;

}  // namespace
