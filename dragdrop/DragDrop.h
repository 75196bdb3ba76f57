#pragma once
// Clipboard formats, data formats and the registry that joins them.
//
// Dragged data reaches a drop target through two layers. A clipboard format knows one
// format of the drag's data (a MIME type) and turns its bytes into plain values. A data
// format is what the program reads (the list of dropped files, the text); it holds the
// clipboard formats it can be fed from, in the order the registry gives, and takes its
// value from the first of them that delivers.
//
// The registry (TDataFormatMap, one per process) says which clipboard format classes
// feed which data format class, with a priority: each data format class's entries stay
// together in ascending priority, and among equal priorities the later registration
// comes first. The units that define formats register them while the program starts
// and remove them when it ends; afterwards the registry is only read (GUI thread).
//
// Only the receiving side exists here: nothing offers data to other programs.

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "platform/gui/DataObject.h"
#include "platform/rtl/Classes.h"
#include "platform/rtl/SysUtils.h"

class TClipboardFormat;
class TCustomDataFormat;
class TDataFormats;

// A class reference, as the registry keeps them: the class's name and its base.
struct TClassRef {
  const char* ClassName;
  const TClassRef* Parent;
  // This class or a class derived from it.
  bool InheritsFrom(const TClassRef* Ancestor) const {
    for (const TClassRef* C = this; C; C = C->Parent)
      if (C == Ancestor) return true;
    return false;
  }
};
// A clipboard format class can also make an instance (nullptr for abstract classes).
struct TClipboardFormatClassRef : TClassRef {
  std::unique_ptr<TClipboardFormat> (*Create)();
};
using TClipboardFormatClass = const TClipboardFormatClassRef*;
using TDataFormatClass = const TClassRef*;

template <class T>
std::unique_ptr<TClipboardFormat> MakeClipboardFormat() {
  return std::make_unique<T>();
}

// Transfer directions of a clipboard format: its owner reads it from dropped data, or
// writes it.
using TDataDirections = uint8_t;
enum : TDataDirections { ddRead = 1, ddWrite = 2 };
// The sides a registry entry applies to: a drag source or a drop target.
using TDataFormatDirections = uint8_t;
enum : TDataFormatDirections { dfdSource = 1, dfdTarget = 2 };

class EDataFormatError : public Exception {
public:
  using Exception::Exception;
};

// ---------------------------------------------------------------------------

class TClipboardFormat {
public:
  static const TClipboardFormatClassRef Class;
  // A format that the descendant names (GetClipboardFormat).
  TClipboardFormat() = default;
  // A free-standing format of the given MIME type.
  explicit TClipboardFormat(std::string Format) : FClipboardFormat(std::move(Format)) {}
  virtual ~TClipboardFormat() = default;
  TClipboardFormat(const TClipboardFormat&) = delete;
  TClipboardFormat& operator=(const TClipboardFormat&) = delete;

  virtual TClipboardFormatClass ClassType() const { return &Class; }
  const char* ClassName() const { return ClassType()->ClassName; }

  TDataDirections DataDirections() const { return FDataDirections; }
  void SetDataDirections(TDataDirections Value) { FDataDirections = Value; }
  // The data format that owns this format, or nullptr.
  TCustomDataFormat* DataFormat() const { return FDataFormat; }
  void SetDataFormat(TCustomDataFormat* Value) { FDataFormat = Value; }

  // The MIME type. A class that does not name one raises "Internal error: ...".
  std::string ClipboardFormat() const { return GetClipboardFormat(); }
  void SetClipboardFormat(const std::string& Value) { FClipboardFormat = Value; }
  // The MIME type, at most 255 characters of it.
  std::string ClipboardFormatName() const;
  // Raises: the name follows from the format.
  void SetClipboardFormatName(const std::string& Value);

  // The data offers this format.
  virtual bool HasValidFormats(const IDataObject& DataObject) const;
  virtual bool AcceptFormat(const std::string& Format) const;
  // Clears, then reads the format's bytes from DataObject. True when they were read.
  virtual bool GetData(const IDataObject& DataObject);
  // Copies this format's value into Dest; false when it does not know Dest.
  virtual bool AssignTo(TCustomDataFormat& Dest) const;
  virtual void Clear() = 0;
  virtual bool HasData() const { return true; }

protected:
  virtual std::string GetClipboardFormat() const;
  // Takes the value from the format's bytes; false when they hold none.
  virtual bool DoGetData(const std::string& Data);

private:
  TDataDirections FDataDirections = ddRead;
  TCustomDataFormat* FDataFormat = nullptr;
  std::string FClipboardFormat;
};

// The clipboard formats of a data format; the list owns them.
class TClipboardFormats {
public:
  explicit TClipboardFormats(TCustomDataFormat* DataFormat) : FDataFormat(DataFormat) {}
  // Appends Format, which then belongs to the list's data format.
  void Add(std::unique_ptr<TClipboardFormat> Format);
  void Clear() { FFormats.clear(); }
  int32_t Count() const { return static_cast<int32_t>(FFormats.size()); }
  TClipboardFormat* Formats(int32_t Index) const { return FFormats.at(static_cast<size_t>(Index)).get(); }
  TCustomDataFormat* DataFormat() const { return FDataFormat; }

private:
  TCustomDataFormat* FDataFormat;
  std::vector<std::unique_ptr<TClipboardFormat>> FFormats;
};

// ---------------------------------------------------------------------------

// A component that owns data formats (drop targets).
class TDragDropComponent : public TComponent {
public:
  explicit TDragDropComponent(TComponent* AOwner);
  ~TDragDropComponent() override;
  // The data formats of this component; nullptr for a component that takes none.
  TDataFormats* DataFormats() const { return FDataFormats.get(); }

protected:
  std::unique_ptr<TDataFormats> FDataFormats;
};

class TCustomDataFormat {
public:
  static const TClassRef Class;
  // Raises "... is not a valid owner ..." when AOwner is not a multi-format drop
  // target; with no owner the format stands alone. Fills the compatible formats from
  // the registry (target side) and joins the owner's DataFormats. AClass is the class
  // being made, whose registry entries are wanted.
  TCustomDataFormat(TDragDropComponent* AOwner, TDataFormatClass AClass);
  virtual ~TCustomDataFormat();
  TCustomDataFormat(const TCustomDataFormat&) = delete;
  TCustomDataFormat& operator=(const TCustomDataFormat&) = delete;

  TDataFormatClass ClassType() const { return FClass; }
  const char* ClassName() const { return FClass->ClassName; }
  TDragDropComponent* Owner() const { return FOwner; }
  TClipboardFormats& CompatibleFormats() { return FCompatibleFormats; }
  const TClipboardFormats& CompatibleFormats() const { return FCompatibleFormats; }

  virtual void Clear() = 0;
  // Takes the value of Source; false when this format does not know Source's class.
  virtual bool Assign(TClipboardFormat& Source) { return Source.AssignTo(*this); }
  // Reads the compatible formats in order until one delivers; true when one did.
  virtual bool GetData(const IDataObject& DataObject);
  virtual bool HasData() const = 0;
  bool NeedsData() const { return !HasData(); }
  // Some compatible format is offered by DataObject.
  virtual bool HasValidFormats(const IDataObject& DataObject) const;
  virtual bool AcceptFormat(const std::string& Format) const;

  // Raised before the value changes.
  std::function<void(TCustomDataFormat* Sender)> OnChanging;

protected:
  void Changing() {
    if (OnChanging) OnChanging(this);
  }

private:
  TDataFormatClass FClass;
  TDragDropComponent* FOwner;
  TClipboardFormats FCompatibleFormats;
};

// The data formats of one component, not owned.
class TDataFormats {
public:
  // Appends Format unless it is there; its index.
  int32_t Add(TCustomDataFormat* Format);
  int32_t IndexOf(const TCustomDataFormat* Format) const;
  void Remove(const TCustomDataFormat* Format);
  int32_t Count() const { return static_cast<int32_t>(FFormats.size()); }
  TCustomDataFormat* Formats(int32_t Index) const { return FFormats.at(static_cast<size_t>(Index)); }

private:
  std::vector<TCustomDataFormat*> FFormats;
};

// ---------------------------------------------------------------------------
// The registry

class TDataFormatClasses {
public:
  void Add(TDataFormatClass Class);  // unless present
  void Remove(TDataFormatClass Class);
  int32_t Count() const { return static_cast<int32_t>(FClasses.size()); }
  TDataFormatClass Classes(int32_t Index) const { return FClasses.at(static_cast<size_t>(Index)); }

private:
  std::vector<TDataFormatClass> FClasses;
};

struct TDataFormatMapEntry {
  TDataFormatClass DataClass = nullptr;
  TClipboardFormatClass ClipboardClass = nullptr;
  int32_t Priority = 0;  // lower comes first
  TDataFormatDirections Directions = 0;
  TDataDirections TransferDirections = 0;
};

class TDataFormatMap {
public:
  // Adds an entry, or updates the one whose classes are these or derived from them
  // (its directions gain the new ones); either way it is placed anew by priority.
  void Add(TDataFormatClass DataClass, TClipboardFormatClass ClipboardClass, int32_t Priority,
           TDataFormatDirections Directions, TDataDirections TransferDirections);
  // Deletes the entries of this data format class and of classes derived from it.
  void DeleteDataClass(TDataFormatClass DataClass);
  // Deletes the entries of this clipboard format class and of classes derived from it.
  void DeleteClipboardClass(TClipboardFormatClass ClipboardClass);
  // Empties List, then adds a new clipboard format for every entry that applies in
  // Direction and whose data format class is DataClass or derived from it, in map order.
  void GetClipboardFormats(TDataFormatClass DataClass, TClipboardFormats& List,
                           TDataFormatDirections Direction) const;
  const std::vector<TDataFormatMapEntry>& Entries() const { return FEntries; }

private:
  std::vector<TDataFormatMapEntry> FEntries;
};

// The process-wide registry, made on first use.
TDataFormatClasses& DataFormatClasses();
TDataFormatMap& DataFormatMap();

void RegisterDataFormat(TDataFormatClass DataClass);
// Also deletes the class's map entries (and those of classes derived from it).
void UnregisterDataFormat(TDataFormatClass DataClass);
void RegisterDataConversion(TDataFormatClass DataClass, TClipboardFormatClass ClipboardClass, int32_t Priority,
                            TDataFormatDirections Directions = dfdSource | dfdTarget,
                            TDataDirections TransferDirections = ddRead);
void UnregisterClipboardFormat(TClipboardFormatClass ClipboardClass);
