#include "dragdrop/DragDrop.h"

#include <cxxabi.h>

#include <algorithm>
#include <cstdlib>
#include <typeinfo>

#include "dragdrop/DropTarget.h"

constinit const TClipboardFormatClassRef TClipboardFormat::Class{{"TClipboardFormat", nullptr}, nullptr};
constinit const TClassRef TCustomDataFormat::Class{"TCustomDataFormat", nullptr};

namespace {

constexpr size_t MaxFormatNameLength = 255;

// The class name of a component, as its messages show it.
std::string ClassNameOf(const TComponent& C) {
  const char* Mangled = typeid(C).name();
  int Status = 0;
  char* Name = abi::__cxa_demangle(Mangled, nullptr, nullptr, &Status);
  std::string Result = Status == 0 && Name ? Name : Mangled;
  std::free(Name);
  return Result;
}

}  // namespace

// ---------------------------------------------------------------------------
// TClipboardFormat

std::string TClipboardFormat::GetClipboardFormat() const {
  if (FClipboardFormat.empty())
    throw EDataFormatError(std::string("Internal error: ") + ClassName() + ".GetClipboardFormat needs implementation");
  return FClipboardFormat;
}

std::string TClipboardFormat::ClipboardFormatName() const {
  return ClipboardFormat().substr(0, MaxFormatNameLength);
}

void TClipboardFormat::SetClipboardFormatName(const std::string&) {
  throw EDataFormatError(std::string(ClassName()) + ".ClipboardFormat is read-only");
}

bool TClipboardFormat::HasValidFormats(const IDataObject& DataObject) const {
  return DataObject.QueryGetData(ClipboardFormat());
}

bool TClipboardFormat::AcceptFormat(const std::string& Format) const { return Format == ClipboardFormat(); }

bool TClipboardFormat::GetData(const IDataObject& DataObject) {
  Clear();
  std::string Data;
  if (!DataObject.GetData(ClipboardFormat(), Data)) return false;
  return DoGetData(Data);
}

bool TClipboardFormat::DoGetData(const std::string&) { return false; }

bool TClipboardFormat::AssignTo(TCustomDataFormat&) const { return false; }

void TClipboardFormats::Add(std::unique_ptr<TClipboardFormat> Format) {
  if (FDataFormat) Format->SetDataFormat(FDataFormat);
  FFormats.push_back(std::move(Format));
}

// ---------------------------------------------------------------------------
// Data formats

TDragDropComponent::TDragDropComponent(TComponent* AOwner) : TComponent(AOwner) {}
TDragDropComponent::~TDragDropComponent() = default;

TCustomDataFormat::TCustomDataFormat(TDragDropComponent* AOwner, TDataFormatClass AClass)
    : FClass(AClass), FOwner(AOwner), FCompatibleFormats(this) {
  if (AOwner && !dynamic_cast<TCustomDropMultiTarget*>(AOwner))
    throw EDataFormatError(ClassNameOf(*AOwner) + " is not a valid owner for " + AClass->ClassName +
                           ". Owner must be derived from TCustomDropMultiSource or TCustomDropMultiTarget");
  DataFormatMap().GetClipboardFormats(AClass, FCompatibleFormats, dfdTarget);
  if (AOwner && AOwner->DataFormats()) AOwner->DataFormats()->Add(this);
}

TCustomDataFormat::~TCustomDataFormat() {
  if (FOwner && FOwner->DataFormats()) FOwner->DataFormats()->Remove(this);
}

bool TCustomDataFormat::GetData(const IDataObject& DataObject) {
  bool Result = false;
  for (int32_t I = 0; I < FCompatibleFormats.Count() && NeedsData(); ++I) {
    TClipboardFormat* Format = FCompatibleFormats.Formats(I);
    Format->Clear();
    if (Format->GetData(DataObject) && Format->HasData() && Assign(*Format)) {
      Format->Clear();
      Result = true;
    }
  }
  return Result;
}

bool TCustomDataFormat::HasValidFormats(const IDataObject& DataObject) const {
  for (int32_t I = 0; I < FCompatibleFormats.Count(); ++I)
    if (FCompatibleFormats.Formats(I)->HasValidFormats(DataObject)) return true;
  return false;
}

bool TCustomDataFormat::AcceptFormat(const std::string& Format) const {
  for (int32_t I = 0; I < FCompatibleFormats.Count(); ++I)
    if (FCompatibleFormats.Formats(I)->AcceptFormat(Format)) return true;
  return false;
}

int32_t TDataFormats::Add(TCustomDataFormat* Format) {
  const int32_t I = IndexOf(Format);
  if (I >= 0) return I;
  FFormats.push_back(Format);
  return Count() - 1;
}

int32_t TDataFormats::IndexOf(const TCustomDataFormat* Format) const {
  const auto It = std::find(FFormats.begin(), FFormats.end(), Format);
  return It == FFormats.end() ? -1 : static_cast<int32_t>(It - FFormats.begin());
}

void TDataFormats::Remove(const TCustomDataFormat* Format) { std::erase(FFormats, Format); }

// ---------------------------------------------------------------------------
// The registry

void TDataFormatClasses::Add(TDataFormatClass Class) {
  if (std::find(FClasses.begin(), FClasses.end(), Class) == FClasses.end()) FClasses.push_back(Class);
}

void TDataFormatClasses::Remove(TDataFormatClass Class) { std::erase(FClasses, Class); }

void TDataFormatMap::Add(TDataFormatClass DataClass, TClipboardFormatClass ClipboardClass, int32_t Priority,
                         TDataFormatDirections Directions, TDataDirections TransferDirections) {
  TDataFormatMapEntry Entry;
  const auto Found = std::find_if(FEntries.begin(), FEntries.end(), [&](const TDataFormatMapEntry& E) {
    return E.DataClass->InheritsFrom(DataClass) && E.ClipboardClass->InheritsFrom(ClipboardClass);
  });
  if (Found != FEntries.end()) {
    Entry = *Found;
    FEntries.erase(Found);
  }
  Entry.DataClass = DataClass;
  Entry.ClipboardClass = ClipboardClass;
  Entry.Priority = Priority;
  Entry.Directions |= Directions;
  Entry.TransferDirections |= TransferDirections;

  // After the last entry of the same class's run with a lower priority; before the
  // run when none is lower; at the end when the class has no entries yet.
  auto SameClass = [&](size_t I) { return FEntries[I].DataClass == DataClass; };
  size_t Last = FEntries.size();
  while (Last > 0 && !SameClass(Last - 1)) --Last;
  if (Last == 0) {
    FEntries.push_back(Entry);
    return;
  }
  size_t Pos = Last;  // one past the run
  while (Pos > 0 && SameClass(Pos - 1) && FEntries[Pos - 1].Priority >= Priority) --Pos;
  FEntries.insert(FEntries.begin() + static_cast<std::ptrdiff_t>(Pos), Entry);
}

void TDataFormatMap::DeleteDataClass(TDataFormatClass DataClass) {
  std::erase_if(FEntries, [&](const TDataFormatMapEntry& E) { return E.DataClass->InheritsFrom(DataClass); });
}

void TDataFormatMap::DeleteClipboardClass(TClipboardFormatClass ClipboardClass) {
  std::erase_if(FEntries, [&](const TDataFormatMapEntry& E) { return E.ClipboardClass->InheritsFrom(ClipboardClass); });
}

void TDataFormatMap::GetClipboardFormats(TDataFormatClass DataClass, TClipboardFormats& List,
                                         TDataFormatDirections Direction) const {
  List.Clear();
  for (const TDataFormatMapEntry& E : FEntries) {
    if (!(E.Directions & Direction) || !E.DataClass->InheritsFrom(DataClass) || !E.ClipboardClass->Create) continue;
    std::unique_ptr<TClipboardFormat> Format = E.ClipboardClass->Create();
    Format->SetDataDirections(E.TransferDirections);
    List.Add(std::move(Format));
  }
}

TDataFormatClasses& DataFormatClasses() {
  static TDataFormatClasses Classes;
  return Classes;
}

TDataFormatMap& DataFormatMap() {
  static TDataFormatMap Map;
  return Map;
}

void RegisterDataFormat(TDataFormatClass DataClass) { DataFormatClasses().Add(DataClass); }

void UnregisterDataFormat(TDataFormatClass DataClass) {
  DataFormatMap().DeleteDataClass(DataClass);
  DataFormatClasses().Remove(DataClass);
}

void RegisterDataConversion(TDataFormatClass DataClass, TClipboardFormatClass ClipboardClass, int32_t Priority,
                            TDataFormatDirections Directions, TDataDirections TransferDirections) {
  DataFormatMap().Add(DataClass, ClipboardClass, Priority, Directions, TransferDirections);
}

void UnregisterClipboardFormat(TClipboardFormatClass ClipboardClass) {
  DataFormatMap().DeleteClipboardClass(ClipboardClass);
}
