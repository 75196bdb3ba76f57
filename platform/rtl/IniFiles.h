#pragma once
// Settings in INI files: "[Section]" headers and "Key=Value" lines of UTF-8 text.
//
// The whole file is read when the object is made and written back by UpdateFile:
// - LF, CRLF and lone CR line ends are read; a leading UTF-8 byte-order mark is
//   skipped. Lines starting with ';' are comments; lines without '=' are ignored.
// - Section and key names ignore ASCII case. With a section or key given twice, the
//   first one counts, as with the system's own INI reader.
// - Names and values are trimmed of spaces and control characters; a value enclosed in
//   double quotes loses one pair of them. Values written are stored so that they read
//   back byte for byte (quoted when they would otherwise be changed by that).
// - A missing, unreadable or binary file (one holding a NUL byte) or one larger than
//   MaxIniFileSize reads as empty, without raising. A line longer than
//   MaxIniLineLength is no setting anyone wrote: it is skipped, and not written back.
// - Writing keeps the order of sections and keys, the comments and the untouched lines
//   of the file that was read, its line ends and its byte-order mark.
// - UpdateFile replaces the whole file atomically (ReplaceFileSafely; a missing file is
//   created with the user's normal permissions) and raises EIniFileException, naming
//   the file, when that fails. The destructor saves changes not yet saved and drops a
//   failure silently: call UpdateFile to learn of it.
// Not thread-safe: one object belongs to one thread at a time.

#include <cstdint>
#include <string>
#include <vector>

#include "platform/rtl/SysUtils.h"

class TStringList;

class EIniFileException : public Exception { using Exception::Exception; };

class TIniFile {
public:
  // Settings files are a few kilobytes; the limits keep a damaged or hostile one from
  // costing memory (a line holds a value of the longest path with room to spare).
  static constexpr int64_t MaxIniFileSize = 1024 * 1024;
  static constexpr size_t MaxIniLineLength = 8192;

  explicit TIniFile(std::string FileName);
  ~TIniFile();
  TIniFile(const TIniFile&) = delete;
  TIniFile& operator=(const TIniFile&) = delete;

  const std::string& FileName() const { return FFileName; }

  // Default when the key is absent; a key with an empty value gives "".
  std::string ReadString(const std::string& Section, const std::string& Ident,
                         const std::string& Default) const;
  // Decimal, or hexadecimal after "$" or "0x", with an optional sign; hexadecimal
  // fills all 32 bits ("$FFFFFFFF" is -1). Default for anything else, also for
  // numbers outside the 32-bit range.
  int32_t ReadInteger(const std::string& Section, const std::string& Ident, int32_t Default) const;
  // An integer other than 0 is true; Default when the value is no integer.
  bool ReadBool(const std::string& Section, const std::string& Ident, bool Default) const;
  // With '.' as decimal separator whatever the locale; Default when not a number.
  double ReadFloat(const std::string& Section, const std::string& Ident, double Default) const;

  // A new key goes after the last key of its section, a new section at the end of the
  // file. Names that a line cannot hold (empty, surrounded by blanks, with a line
  // break, a key with '=' or starting with ';' or '[', a section name with ']'),
  // values with a line break or NUL, and lines longer than MaxIniLineLength raise
  // EIniFileException and change nothing.
  void WriteString(const std::string& Section, const std::string& Ident, const std::string& Value);
  void WriteInteger(const std::string& Section, const std::string& Ident, int32_t Value);
  void WriteBool(const std::string& Section, const std::string& Ident, bool Value);  // "1" / "0"
  void WriteFloat(const std::string& Section, const std::string& Ident, double Value);

  bool SectionExists(const std::string& Section) const;
  bool ValueExists(const std::string& Section, const std::string& Ident) const;
  // Each replaces the list's content: the section's key names; the section names; the
  // section's "Key=Value" lines. Every name is listed once, as first spelled.
  void ReadSection(const std::string& Section, TStringList& Strings) const;
  void ReadSections(TStringList& Strings) const;
  void ReadSectionValues(const std::string& Section, TStringList& Strings) const;
  // Removes every section of that name with all its lines, comments included.
  void EraseSection(const std::string& Section);
  // Removes every line of the key in the section.
  void DeleteKey(const std::string& Section, const std::string& Ident);

  void UpdateFile();

private:
  struct TLine {
    std::string Text;  // as read or as it will be written
    std::string Key;   // empty for lines that are not a key
    std::string Value;
  };
  struct TSection {
    std::string Name;
    std::string Header;  // the "[Name]" line
    std::vector<TLine> Lines;
  };

  void Load();
  void AddLine(std::string_view Line);
  // Index into FSections of the first section named Section; 0 (the lines before any
  // header) when there is none.
  size_t FindSection(const std::string& Section) const;
  const TLine* FindKey(const std::string& Section, const std::string& Ident) const;
  std::string Serialize() const;

  std::string FFileName;
  // FSections[0] holds the lines before the first header and has no name.
  std::vector<TSection> FSections;
  bool FCrLf = false;
  bool FBom = false;
  bool FModified = false;
};
