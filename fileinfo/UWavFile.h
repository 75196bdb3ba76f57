#pragma once
// Seven tag fields kept in a trailer after the RIFF data of a WAV file:
// the texts (one byte per character, each ended by a zero byte), the track
// number, the trailer's length and "W3DI", all little-endian. An empty Track is
// stored as track 0, which reads back as an empty Track; any other Track that is no
// number is stored as 1.

#include <cstdint>
#include <string>

class TWavFile {
public:
  TWavFile() = default;

  bool ReadFromFile(const std::string& FileName);
  // Writes the trailer after the RIFF data: appends it when the RIFF data ends
  // the file, replaces it when the file ends in exactly one valid trailer, and
  // otherwise leaves the file alone and returns false.
  bool SaveToFile(const std::string& FileName);

  bool Exists() const { return FExists; }
  const std::u16string& Title() const { return FTitle; }
  const std::u16string& Artist() const { return FArtist; }
  const std::u16string& Album() const { return FAlbum; }
  const std::u16string& Track() const { return FTrack; }
  const std::u16string& Year() const { return FYear; }
  const std::u16string& Genre() const { return FGenre; }
  const std::u16string& Comment() const { return FComment; }
  void SetTitle(const std::u16string& V) { FTitle = V; }
  void SetArtist(const std::u16string& V) { FArtist = V; }
  void SetAlbum(const std::u16string& V) { FAlbum = V; }
  void SetTrack(const std::u16string& V) { FTrack = V; }
  void SetYear(const std::u16string& V) { FYear = V; }
  void SetGenre(const std::u16string& V) { FGenre = V; }
  void SetComment(const std::u16string& V) { FComment = V; }

  // Longest text part a trailer may have; the reader refuses longer ones.
  static constexpr int64_t MaxTextSize = 65536;

private:
  void Clear();

  bool FExists = false;
  std::u16string FTitle, FArtist, FAlbum, FTrack, FYear, FGenre, FComment;
};
