#pragma once
// Dropped files: their clipboard formats, the data formats holding their names, and
// TDropFileTarget, the drop target the program puts on its list of files.
//
// Files come as "text/uri-list". Only "file:" URLs with an empty host or "localhost"
// name files (LocalFilesOfUriList), and of those only existing files are kept: folders
// and missing paths are left out, while special files (pipes, devices) stay for the
// receiver to refuse with a word. Names are the bytes of
// the paths, whatever their encoding. The Windows formats "FileNameW" and "FileName" (one
// name) and "FileNameMapW" and "FileNameMap" (the new names of the files) keep their
// Windows names; no Linux program offers them.

#include <string>
#include <vector>

#include "dragdrop/DragDropFormats.h"
#include "dragdrop/DropTarget.h"
#include "platform/rtl/StringList.h"

// "text/uri-list": the local files it names.
class TFileClipboardFormat : public TCustomSimpleClipboardFormat {
public:
  static const TClipboardFormatClassRef Class;
  TClipboardFormatClass ClassType() const override { return &Class; }
  const std::vector<std::string>& Files() const { return FFiles; }
  void Clear() override { FFiles.clear(); }
  bool HasData() const override { return !FFiles.empty(); }

protected:
  std::string GetClipboardFormat() const override { return "text/uri-list"; }
  bool ReadDataInto(std::string_view Data) override;

private:
  std::vector<std::string> FFiles;
};

class TFilenameClipboardFormat : public TCustomTextClipboardFormat {
public:
  static const TClipboardFormatClassRef Class;
  TClipboardFormatClass ClassType() const override { return &Class; }

protected:
  std::string GetClipboardFormat() const override;
};

class TFilenameWClipboardFormat : public TCustomWideTextClipboardFormat {
public:
  static const TClipboardFormatClassRef Class;
  TClipboardFormatClass ClassType() const override { return &Class; }

protected:
  std::string GetClipboardFormat() const override;
};

// A list of zero-terminated names ended by an empty one, 8-bit or UTF-16.
class TCustomNameListClipboardFormat : public TCustomSimpleClipboardFormat {
public:
  static const TClipboardFormatClassRef Class;
  TClipboardFormatClass ClassType() const override { return &Class; }
  const std::vector<std::string>& Names() const { return FNames; }
  void Clear() override { FNames.clear(); }
  bool HasData() const override { return !FNames.empty(); }

protected:
  explicit TCustomNameListClipboardFormat(bool Wide) : FWide(Wide) {}
  bool ReadDataInto(std::string_view Data) override;

private:
  bool FWide;
  std::vector<std::string> FNames;
};

class TFilenameMapClipboardFormat : public TCustomNameListClipboardFormat {
public:
  static const TClipboardFormatClassRef Class;
  TFilenameMapClipboardFormat() : TCustomNameListClipboardFormat(false) {}
  TClipboardFormatClass ClassType() const override { return &Class; }

protected:
  std::string GetClipboardFormat() const override;
};

class TFilenameMapWClipboardFormat : public TCustomNameListClipboardFormat {
public:
  static const TClipboardFormatClassRef Class;
  TFilenameMapWClipboardFormat() : TCustomNameListClipboardFormat(true) {}
  TClipboardFormatClass ClassType() const override { return &Class; }

protected:
  std::string GetClipboardFormat() const override;
};

// A data format holding a list of names.
class TCustomNameListDataFormat : public TCustomDataFormat {
public:
  static const TClassRef Class;
  void Clear() override;
  bool HasData() const override { return FNames.Count() > 0; }

protected:
  using TCustomDataFormat::TCustomDataFormat;
  TStringList FNames;
};

// The dropped files: full path names, in the source's order.
class TFileDataFormat : public TCustomNameListDataFormat {
public:
  static const TClassRef Class;
  explicit TFileDataFormat(TDragDropComponent* AOwner) : TCustomNameListDataFormat(AOwner, &Class) {}
  const TStringList& Files() const { return FNames; }
  // Takes the regular files among the names; false when there are none.
  bool Assign(TClipboardFormat& Source) override;
};

// The new names of the dropped files.
class TFileMapDataFormat : public TCustomNameListDataFormat {
public:
  static const TClassRef Class;
  explicit TFileMapDataFormat(TDragDropComponent* AOwner) : TCustomNameListDataFormat(AOwner, &Class) {}
  const TStringList& FileMaps() const { return FNames; }
  bool Assign(TClipboardFormat& Source) override;
};

// Takes dropped files. Files holds them from the moment they were fetched (when the
// drag enters with GetDataOnEnter, else at the drop) until the drag ends: after the
// drop events, or when the drag leaves. Pasted or assigned files stay until the next
// drag, paste or Assign.
class TDropFileTarget : public TCustomDropMultiTarget {
public:
  explicit TDropFileTarget(TComponent* AOwner);
  const TStringList& Files() const { return FFileFormat->Files(); }
  const TStringList& FileMaps() const { return FFileMapFormat->FileMaps(); }

private:
  TFileDataFormat* FFileFormat;
  TFileMapDataFormat* FFileMapFormat;
};
