#pragma once
// The ID3v2 tag at the start of a file: versions 2.2, 2.3 and 2.4 are read and
// written. Texts are UTF-8 here; the writer stores a text as ISO-8859-1 when it
// fits and as UTF-16 with a byte-order mark when not.
//
// Saving rewrites only the frames of the fields whose value differs from what
// the file's tag says; every other frame (pictures, comments with a description
// or in another language, private and unknown frames) is carried over byte for
// byte, and a changed link keeps its description. A file with a tag keeps that
// tag's version; a file without one gets version 2.3. Values over 16 MiB are
// not read, and saving keeps them as they are.

#include <cstdint>
#include <string>

class TID3v2 {
public:
  TID3v2() = default;

  // True when the 10 header bytes could be read, whether or not a tag exists.
  bool ReadFromFile(const std::string& FileName);
  bool SaveToFile(const std::string& FileName);

  bool Exists() const { return FExists; }
  uint8_t VersionID() const { return FVersionID; }
  // Whole tag size with header and footer; 0 when absent or implausible.
  int32_t Size() const { return FSize; }
  const std::string& Title() const { return FTitle; }
  const std::string& Artist() const { return FArtist; }
  const std::string& Album() const { return FAlbum; }
  uint16_t Track() const { return FTrack; }
  const std::string& TrackString() const { return FTrackString; }
  const std::string& Year() const { return FYear; }
  const std::string& Genre() const { return FGenre; }
  const std::string& Comment() const { return FComment; }
  const std::string& Composer() const { return FComposer; }
  const std::string& Encoder() const { return FEncoder; }
  const std::string& Copyright() const { return FCopyright; }
  const std::string& Language() const { return FLanguage; }
  const std::string& Link() const { return FLink; }
  const std::string& SizeText() const { return FSizeText; }

  // Each stores the trimmed text.
  void SetTitle(const std::string& V);
  void SetArtist(const std::string& V);
  void SetAlbum(const std::string& V);
  void SetYear(const std::string& V);
  void SetGenre(const std::string& V);
  void SetComment(const std::string& V);
  void SetComposer(const std::string& V);
  void SetEncoder(const std::string& V);
  void SetCopyright(const std::string& V);
  void SetLanguage(const std::string& V);
  void SetLink(const std::string& V);
  void SetTrack(uint16_t V) { FTrack = V; }

  // The frames of a tag, as they are parsed.
  struct TFrameList;

private:
  void Clear();
  // Fills the fields from the frames by the reading rules.
  void TakeFields(const TFrameList& L);

  bool FExists = false;
  uint8_t FVersionID = 0;
  int32_t FSize = 0;
  std::string FTitle, FArtist, FAlbum;
  uint16_t FTrack = 0;
  std::string FTrackString, FYear, FGenre, FComment, FComposer, FEncoder, FCopyright,
      FLanguage, FLink, FSizeText;
};
