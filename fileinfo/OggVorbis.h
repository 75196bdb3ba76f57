#pragma once
// An Ogg Vorbis file's identification and comment headers: stream facts and
// nine known comments. SaveTag rewrites the comment header in a new file: the
// comment and setup packets are laid out in new pages; when their number
// changes, the stream's later pages are renumbered, otherwise every other page
// stays byte for byte. Texts are UTF-8.

#include <cstdint>
#include <string>

// Names of the channel modes: unknown, mono, stereo, multichannel.
extern const char* const VorbisModes[4];

class TOggVorbis {
public:
  TOggVorbis() = default;

  // True when the file starts, after an optional ID3v2 tag, with an Ogg page
  // whose packet is the Vorbis identification header.
  bool ReadFromFile(const std::string& FileName);
  // Rewrites the comment header: a field whose value differs from what the
  // file says replaces the comments of its name (an empty one removes them);
  // every other comment is kept where it is. Refused (false, file unchanged)
  // unless the comment and setup packets are whole, over 16 MiB at the most,
  // on pages of the identification header's stream from page 2 on, with the
  // setup packet ending its page.
  bool SaveTag(const std::string& FileName);

  bool IsValid() const;
  double Duration() const;  // seconds
  int32_t Bitrate() const;  // kbit/s

  int64_t FileSize() const { return FFileSize; }
  uint8_t Channels() const { return FChannels; }
  int32_t SampleRate() const { return FSampleRate; }
  uint16_t BitRateNominal() const { return FBitRateNominal; }
  int64_t Samples() const { return FSamples; }
  int64_t StreamOffset() const { return FStreamOffset; }
  const std::string& Title() const { return FTitle; }
  const std::string& Artist() const { return FArtist; }
  const std::string& Album() const { return FAlbum; }
  uint8_t Track() const { return FTrack; }
  const std::string& Date() const { return FDate; }
  const std::string& Genre() const { return FGenre; }
  const std::string& Comment() const { return FComment; }
  const std::string& Vendor() const { return FVendor; }

  void SetTitle(const std::string& V) { FTitle = V; }
  void SetArtist(const std::string& V) { FArtist = V; }
  void SetAlbum(const std::string& V) { FAlbum = V; }
  void SetTrack(uint8_t V) { FTrack = V; }
  void SetDate(const std::string& V) { FDate = V; }
  void SetGenre(const std::string& V) { FGenre = V; }
  void SetComment(const std::string& V) { FComment = V; }

  // The largest comment (and setup) packet read; the rest of a bigger one is ignored.
  static constexpr int64_t MaxCommentPacket = 16 * 1024 * 1024;

private:
  void Clear();
  // The fields from the nine comment values, by the reading rules.
  void TakeValues(const std::string* Values);

  int64_t FFileSize = 0;
  uint8_t FChannels = 0;
  int32_t FSampleRate = 0;
  uint16_t FBitRateNominal = 0;
  int64_t FSamples = 0;
  int64_t FStreamOffset = 0;
  std::string FTitle, FArtist, FAlbum;
  uint8_t FTrack = 0;
  std::string FDate, FGenre, FComment, FVendor;
};

// The Ogg page checksum (polynomial 0x04C11DB7, no reflection, initial value
// and final value 0) over Size bytes, continuing from Crc.
uint32_t OggCRC(const void* Data, size_t Size, uint32_t Crc = 0);
