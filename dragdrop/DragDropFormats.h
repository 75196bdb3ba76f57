#pragma once
// The generic kinds of clipboard formats (a block of bytes read as a string, a text, a
// UTF-16 text or a 32-bit value) and the formats and data formats for text, for the
// shell's feedback values and for virtual files.
//
// Text comes as "text/plain". The shell's feedback values and virtual files are Windows
// formats with no counterpart in Linux drag and drop: they keep their Windows names in
// Qt's notation for Windows formats (WindowsClipboardFormat) and are read like any other
// format, but no Linux program offers them. Virtual files deliver only their names: their
// contents travel per file index, which a Linux drag cannot carry.

#include <array>
#include <string>
#include <string_view>
#include <vector>

#include "dragdrop/DragDrop.h"

// The MIME type standing for the Windows clipboard format Name.
std::string WindowsClipboardFormat(std::string_view Name);

// A format carried in one block of bytes; an empty block holds nothing.
class TCustomSimpleClipboardFormat : public TClipboardFormat {
public:
  static const TClipboardFormatClassRef Class;
  TClipboardFormatClass ClassType() const override { return &Class; }

protected:
  bool DoGetData(const std::string& Data) override;
  // Takes the value from a block of at least one byte; false when it holds none.
  virtual bool ReadDataInto(std::string_view Data) = 0;
};

// The block's bytes as a string, cut at the first zero byte when TrimZeroes.
class TCustomStringClipboardFormat : public TCustomSimpleClipboardFormat {
public:
  static const TClipboardFormatClassRef Class;
  TClipboardFormatClass ClassType() const override { return &Class; }
  const std::string& Data() const { return FData; }
  bool TrimZeroes() const { return FTrimZeroes; }
  void SetTrimZeroes(bool Value) { FTrimZeroes = Value; }
  void Clear() override { FData.clear(); }
  bool HasData() const override { return !FData.empty(); }

protected:
  bool ReadDataInto(std::string_view Data) override;

private:
  std::string FData;
  bool FTrimZeroes = false;
};

// Zero-terminated 8-bit text.
class TCustomTextClipboardFormat : public TCustomStringClipboardFormat {
public:
  static const TClipboardFormatClassRef Class;
  TCustomTextClipboardFormat() { SetTrimZeroes(true); }
  TClipboardFormatClass ClassType() const override { return &Class; }
  const std::string& Text() const { return Data(); }
};

// Zero-terminated UTF-16 text, held as UTF-8.
class TCustomWideTextClipboardFormat : public TCustomSimpleClipboardFormat {
public:
  static const TClipboardFormatClassRef Class;
  TClipboardFormatClass ClassType() const override { return &Class; }
  const std::string& Text() const { return FText; }
  void Clear() override { FText.clear(); }
  bool HasData() const override { return !FText.empty(); }

protected:
  bool ReadDataInto(std::string_view Data) override;

private:
  std::string FText;
};

// A 32-bit little-endian value; a block shorter than 4 bytes holds none.
class TCustomDWORDClipboardFormat : public TCustomSimpleClipboardFormat {
public:
  static const TClipboardFormatClassRef Class;
  TClipboardFormatClass ClassType() const override { return &Class; }
  uint32_t Value() const { return FValue; }
  void Clear() override { FValue = 0; }

protected:
  bool ReadDataInto(std::string_view Data) override;

private:
  uint32_t FValue = 0;
};

// ---------------------------------------------------------------------------
// Concrete clipboard formats

class TTextClipboardFormat : public TCustomTextClipboardFormat {
public:
  static const TClipboardFormatClassRef Class;
  TClipboardFormatClass ClassType() const override { return &Class; }

protected:
  std::string GetClipboardFormat() const override { return "text/plain"; }
};

// The shell's feedback values.
class TPreferredDropEffectClipboardFormat : public TCustomDWORDClipboardFormat {
public:
  static const TClipboardFormatClassRef Class;
  TClipboardFormatClass ClassType() const override { return &Class; }

protected:
  std::string GetClipboardFormat() const override;
};

class TPerformedDropEffectClipboardFormat : public TCustomDWORDClipboardFormat {
public:
  static const TClipboardFormatClassRef Class;
  TClipboardFormatClass ClassType() const override { return &Class; }

protected:
  std::string GetClipboardFormat() const override;
};

class TLogicalPerformedDropEffectClipboardFormat : public TCustomDWORDClipboardFormat {
public:
  static const TClipboardFormatClassRef Class;
  TClipboardFormatClass ClassType() const override { return &Class; }

protected:
  std::string GetClipboardFormat() const override;
};

class TPasteSuccededClipboardFormat : public TCustomDWORDClipboardFormat {
public:
  static const TClipboardFormatClassRef Class;
  TClipboardFormatClass ClassType() const override { return &Class; }

protected:
  std::string GetClipboardFormat() const override;
};

class TInShellDragLoopClipboardFormat : public TCustomDWORDClipboardFormat {
public:
  static const TClipboardFormatClassRef Class;
  TClipboardFormatClass ClassType() const override { return &Class; }

protected:
  std::string GetClipboardFormat() const override;
};

using TCLSID = std::array<uint8_t, 16>;

// The class identifier of the drop target: 16 bytes; the null identifier is no data.
class TTargetCLSIDClipboardFormat : public TCustomSimpleClipboardFormat {
public:
  static const TClipboardFormatClassRef Class;
  TClipboardFormatClass ClassType() const override { return &Class; }
  const TCLSID& CLSID() const { return FCLSID; }
  void Clear() override { FCLSID = {}; }
  bool HasData() const override { return FCLSID != TCLSID{}; }

protected:
  std::string GetClipboardFormat() const override;
  bool ReadDataInto(std::string_view Data) override;

private:
  TCLSID FCLSID{};
};

// "FileGroupDescriptor": the descriptors of virtual files, 332-byte records.
class TFileGroupDescritorClipboardFormat : public TCustomSimpleClipboardFormat {
public:
  static const TClipboardFormatClassRef Class;
  TClipboardFormatClass ClassType() const override { return &Class; }
  const std::vector<std::string>& Records() const { return FRecords; }
  void Clear() override { FRecords.clear(); }
  bool HasData() const override { return !FRecords.empty(); }

protected:
  std::string GetClipboardFormat() const override;
  bool ReadDataInto(std::string_view Data) override;

private:
  std::vector<std::string> FRecords;
};

// ---------------------------------------------------------------------------
// Data formats

class TTextDataFormat : public TCustomDataFormat {
public:
  static const TClassRef Class;
  explicit TTextDataFormat(TDragDropComponent* AOwner) : TCustomDataFormat(AOwner, &Class) {}
  const std::string& Text() const { return FText; }
  void Clear() override;
  bool Assign(TClipboardFormat& Source) override;
  bool HasData() const override { return !FText.empty(); }

private:
  std::string FText;
};

// The shell's feedback values.
class TFeedbackDataFormat : public TCustomDataFormat {
public:
  static const TClassRef Class;
  explicit TFeedbackDataFormat(TDragDropComponent* AOwner) : TCustomDataFormat(AOwner, &Class) {}
  uint32_t PreferredDropEffect() const { return FPreferredDropEffect; }
  uint32_t PerformedDropEffect() const { return FPerformedDropEffect; }
  uint32_t LogicalPerformedDropEffect() const { return FLogicalPerformedDropEffect; }
  uint32_t PasteSucceeded() const { return FPasteSucceeded; }
  bool InShellDragLoop() const { return FInShellDragLoop; }
  const TCLSID& TargetCLSID() const { return FTargetCLSID; }
  void Clear() override;
  bool Assign(TClipboardFormat& Source) override;
  bool HasData() const override;

private:
  uint32_t FPreferredDropEffect = 0;
  uint32_t FPerformedDropEffect = 0;
  uint32_t FLogicalPerformedDropEffect = 0;
  uint32_t FPasteSucceeded = 0;
  bool FInShellDragLoop = false;
  bool FGotInShellDragLoop = false;
  TCLSID FTargetCLSID{};
};

// Virtual files: their descriptors and names. It has data when it holds a descriptor.
class TVirtualFileStreamDataFormat : public TCustomDataFormat {
public:
  static const TClassRef Class;
  explicit TVirtualFileStreamDataFormat(TDragDropComponent* AOwner);
  // FILEDESCRIPTORA records.
  const std::vector<std::string>& Descriptors() const { return FDescriptors; }
  std::vector<std::string> FileNames() const;
  void Clear() override;
  bool Assign(TClipboardFormat& Source) override;
  bool HasData() const override { return !FDescriptors.empty(); }

private:
  std::vector<std::string> FDescriptors;
};
