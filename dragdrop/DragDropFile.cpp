#include "dragdrop/DragDropFile.h"

#include <sys/stat.h>

#include "dragdrop/DragDropBlocks.h"

constinit const TClipboardFormatClassRef TFileClipboardFormat::Class{
    {"TFileClipboardFormat", &TCustomSimpleClipboardFormat::Class}, &MakeClipboardFormat<TFileClipboardFormat>};
constinit const TClipboardFormatClassRef TFilenameClipboardFormat::Class{
    {"TFilenameClipboardFormat", &TCustomTextClipboardFormat::Class}, &MakeClipboardFormat<TFilenameClipboardFormat>};
constinit const TClipboardFormatClassRef TFilenameWClipboardFormat::Class{
    {"TFilenameWClipboardFormat", &TCustomWideTextClipboardFormat::Class},
    &MakeClipboardFormat<TFilenameWClipboardFormat>};
constinit const TClipboardFormatClassRef TCustomNameListClipboardFormat::Class{
    {"TCustomNameListClipboardFormat", &TCustomSimpleClipboardFormat::Class}, nullptr};
constinit const TClipboardFormatClassRef TFilenameMapClipboardFormat::Class{
    {"TFilenameMapClipboardFormat", &TCustomNameListClipboardFormat::Class},
    &MakeClipboardFormat<TFilenameMapClipboardFormat>};
constinit const TClipboardFormatClassRef TFilenameMapWClipboardFormat::Class{
    {"TFilenameMapWClipboardFormat", &TCustomNameListClipboardFormat::Class},
    &MakeClipboardFormat<TFilenameMapWClipboardFormat>};

constinit const TClassRef TCustomNameListDataFormat::Class{"TCustomNameListDataFormat", &TCustomDataFormat::Class};
constinit const TClassRef TFileDataFormat::Class{"TFileDataFormat", &TCustomNameListDataFormat::Class};
constinit const TClassRef TFileMapDataFormat::Class{"TFileMapDataFormat", &TCustomNameListDataFormat::Class};

namespace {

// Followed through links: an existing file of any kind but a folder. Special files
// (pipes, devices) are kept, so the list can say it does not take them; stat itself
// never blocks on one.
bool IsFileNotFolder(const std::string& Name) {
  struct stat St {};
  return stat(Name.c_str(), &St) == 0 && !S_ISDIR(St.st_mode);
}

}  // namespace

// ---------------------------------------------------------------------------
// Clipboard formats

bool TFileClipboardFormat::ReadDataInto(std::string_view Data) {
  FFiles = LocalFilesOfUriList(Data);
  return !FFiles.empty();
}

std::string TFilenameClipboardFormat::GetClipboardFormat() const { return WindowsClipboardFormat("FileName"); }
std::string TFilenameWClipboardFormat::GetClipboardFormat() const { return WindowsClipboardFormat("FileNameW"); }
std::string TFilenameMapClipboardFormat::GetClipboardFormat() const {
  return WindowsClipboardFormat("FileNameMap");
}
std::string TFilenameMapWClipboardFormat::GetClipboardFormat() const {
  return WindowsClipboardFormat("FileNameMapW");
}

bool TCustomNameListClipboardFormat::ReadDataInto(std::string_view Data) {
  FNames = ReadNameList(Data, FWide);
  return !FNames.empty();
}

// ---------------------------------------------------------------------------
// Data formats

void TCustomNameListDataFormat::Clear() {
  Changing();
  FNames.Clear();
}

bool TFileDataFormat::Assign(TClipboardFormat& Source) {
  std::vector<std::string> Names;
  bool Replace = false;
  if (auto* List = dynamic_cast<TFileClipboardFormat*>(&Source)) {
    Names = List->Files();
    Replace = true;
  } else if (auto* Name = dynamic_cast<TFilenameClipboardFormat*>(&Source)) {
    Names = {Name->Text()};
  } else if (auto* WideName = dynamic_cast<TFilenameWClipboardFormat*>(&Source)) {
    Names = {WideName->Text()};
  } else {
    return TCustomDataFormat::Assign(Source);
  }
  Changing();
  if (Replace) FNames.Clear();
  for (const std::string& N : Names)
    if (IsFileNotFolder(N)) FNames.Add(N);
  return FNames.Count() > 0;
}

bool TFileMapDataFormat::Assign(TClipboardFormat& Source) {
  auto* Map = dynamic_cast<TCustomNameListClipboardFormat*>(&Source);
  if (!Map) return TCustomDataFormat::Assign(Source);
  Changing();
  FNames.Clear();
  for (const std::string& N : Map->Names()) FNames.Add(N);
  return true;
}

// ---------------------------------------------------------------------------
// TDropFileTarget

TDropFileTarget::TDropFileTarget(TComponent* AOwner)
    : TCustomDropMultiTarget(AOwner),
      FFileFormat(new TFileDataFormat(this)),
      FFileMapFormat(new TFileMapDataFormat(this)) {
  SetOptimizedMove(true);
}

// ---------------------------------------------------------------------------
// Registration while the program runs

namespace {

struct TFileFormatsRegistration {
  TFileFormatsRegistration() {
    RegisterDataFormat(&TFileDataFormat::Class);
    RegisterDataFormat(&TFileMapDataFormat::Class);
    RegisterDataConversion(&TFileDataFormat::Class, &TFileClipboardFormat::Class, 0);
    RegisterDataConversion(&TFileDataFormat::Class, &TFilenameClipboardFormat::Class, 2);
    RegisterDataConversion(&TFileDataFormat::Class, &TFilenameWClipboardFormat::Class, 2);
    RegisterDataConversion(&TFileMapDataFormat::Class, &TFilenameMapClipboardFormat::Class, 0);
    RegisterDataConversion(&TFileMapDataFormat::Class, &TFilenameMapWClipboardFormat::Class, 0);
  }
  ~TFileFormatsRegistration() {
    UnregisterDataFormat(&TFileDataFormat::Class);
    UnregisterDataFormat(&TFileMapDataFormat::Class);
    for (TClipboardFormatClass C : {&TFileClipboardFormat::Class, &TFilenameClipboardFormat::Class,
                                    &TFilenameWClipboardFormat::Class, &TFilenameMapClipboardFormat::Class,
                                    &TFilenameMapWClipboardFormat::Class})
      UnregisterClipboardFormat(C);
  }
} FileFormatsRegistration;

}  // namespace
