#pragma once
// The APE tag at the end of a file (before an ID3v1 block, when there is one).
// Reads versions 1 and 2, writes version 2 with header and footer. Names and
// values are byte strings as stored (UTF-8 in version 2). Fields holds the text
// items; binary items, links and items of unknown kinds (and text over 16 MiB or
// under a name the format does not allow) are not read, and saving keeps them.

#include <cstdint>
#include <string>
#include <vector>

struct TAPEField {
  std::string Name;
  std::string Value;
};

class TAPETag {
public:
  TAPETag() = default;

  // False when the footer area cannot be read; a missing tag is not a failure.
  bool ReadFromFile(const std::string& FileName);
  // Cuts a valid tag off the file, keeping an ID3v1 block after it.
  bool RemoveFromFile(const std::string& FileName);
  // Replaces the file's tag (or adds one) with the Fields that have a value and
  // the items of the old tag that Fields cannot hold and does not name (a field
  // with an empty value removes its item); an ID3v1 block stays last. With no
  // item left the file gets no tag.
  bool SaveToFile(const std::string& FileName);

  void AppendField(const std::string& Name, const std::string& Value);
  // Value of the first item named Name, ignoring letter case; empty when none.
  std::string GetField(const std::string& Name) const;

  const std::vector<TAPEField>& Fields() const { return FFields; }
  bool Exists() const { return FExists; }
  int32_t Version() const { return FVersion; }
  int32_t Size() const { return FSize; }

private:
  std::vector<TAPEField> FFields;
  bool FExists = false;
  int32_t FVersion = 0;
  int32_t FSize = 0;
};
