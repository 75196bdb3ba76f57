#pragma once
// The 44-byte record of an audio CD track (a RIFF "CDDA" file) and the names
// of the track, its artist and its disc from "cdplayer.ini" in the program's
// configuration folder.

#include <cstdint>
#include <string>

class TCDAtrack {
public:
  TCDAtrack() = default;

  // False when the 44 bytes cannot be read; a record without the RIFF and
  // CDDA marks reads as not valid.
  bool ReadFromFile(const std::string& FileName);

  bool Valid() const { return FValid; }
  const std::u16string& Title() const { return FTitle; }
  const std::u16string& Artist() const { return FArtist; }
  const std::u16string& Album() const { return FAlbum; }
  double Duration() const { return FDuration; }  // seconds
  int32_t Track() const { return FTrack; }
  double Position() const { return FPosition; }  // start, seconds

  // The names file's section of a disc: its serial number in upper-case hex.
  static std::string DiscSection(uint32_t Serial);

private:
  void Clear();

  bool FValid = false;
  std::u16string FTitle, FArtist, FAlbum;
  double FDuration = 0;
  int32_t FTrack = 0;
  double FPosition = 0;
};
