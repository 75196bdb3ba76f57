#pragma once
// A FLAC file's stream information and its Vorbis-comment metadata block with
// 28 named text fields. Writing replaces the comment block, in place when the
// padding after it has room, otherwise by rebuilding the metadata in a new
// file. A leading ID3v2 tag is stepped over and kept. Texts are UTF-8.

#include <cstdint>
#include <string>
#include <vector>

#include "fileinfo/ID3v2.h"

constexpr int FLACFieldCount = 28;
// The comment names of the text fields, in field order.
extern const char* const FLACFieldNames[FLACFieldCount];

// Indexes of the text fields.
enum TFLACField : uint8_t {
  ffTrackNumber, ffTitle, ffArtist, ffAlbum, ffDate, ffGenre, ffComment, ffTones, ffStyles,
  ffMood, ffSituation, ffRating, ffQuality, ffTempo, ffType, ffComposer, ffLanguage,
  ffCopyright, ffURL, ffEncoder, ffLyrics, ffPerformer, ffLicense, ffOrganization,
  ffDescription, ffLocation, ffContact, ffISRC
};

struct TFLACExtraField {
  std::string Name;
  std::string Value;
};

class TFLACfile {
public:
  TFLACfile() = default;

  // Clears the text fields and reads everything; true for a valid FLAC file.
  bool ReadFromFile(const std::string& FileName);
  // Writes the text fields that were read or set (and, unless BasicOnly, the
  // rarer ones and the extra fields) as the file's comment block. The file's
  // comments that no field of this save stands for are kept after them: those
  // of fields never read or set; with BasicOnly, the rarer names and the
  // repeats; without it, the comments the extra fields do not hold, unless the
  // extra fields were read from this same file (they then stand for all of its
  // other comments, so removing one removes it). False leaves the file as it was.
  bool SaveToFile(const std::string& FileName, bool BasicOnly);

  bool IsValid() const;
  double Duration() const;  // seconds; 0 when not valid

  const std::string& FileName() const { return FFileName; }
  int32_t PaddingIndex() const { return FPaddingIndex; }
  bool PaddingLast() const { return FPaddingLast; }
  bool MultiplePadding() const { return FMultiplePadding; }
  int32_t CommentIndex() const { return FCommentIndex; }
  int32_t PaddingSize() const { return FPaddingSize; }
  int64_t CommentOffset() const { return FCommentOffset; }
  int64_t AudioOffset() const { return FAudioOffset; }
  uint8_t Channels() const { return FChannels; }
  int32_t SampleRate() const { return FSampleRate; }
  uint8_t BitsPerSample() const { return FBitsPerSample; }
  int32_t Bitrate() const { return FBitrate; }
  int64_t FileSize() const { return FFileSize; }
  int64_t Samples() const { return FSamples; }
  const std::string& Vendor() const { return FVendor; }
  int32_t CommentSize() const { return FCommentSize; }
  bool HasTags() const { return FHasTags; }
  const TID3v2& ID3v2() const { return FID3v2; }
  // Number of metadata blocks kept as they are when the file is rewritten.
  size_t OtherBlockCount() const { return FOtherBlocks.size(); }

  const std::string& Field(TFLACField F) const { return FText[F]; }
  void SetField(TFLACField F, const std::string& V) {
    FText[F] = V;
    FSet[F] = true;
  }
  const std::vector<TFLACExtraField>& ExtraFields() const { return FExtraFields; }
  std::vector<TFLACExtraField>& ExtraFields() { return FExtraFields; }

  const std::string& TrackString() const { return FText[ffTrackNumber]; }
  const std::string& Title() const { return FText[ffTitle]; }
  const std::string& Artist() const { return FText[ffArtist]; }
  const std::string& Album() const { return FText[ffAlbum]; }
  const std::string& Year() const { return FText[ffDate]; }
  const std::string& Genre() const { return FText[ffGenre]; }
  const std::string& Comment() const { return FText[ffComment]; }
  const std::string& Composer() const { return FText[ffComposer]; }
  const std::string& Language() const { return FText[ffLanguage]; }
  const std::string& Copyright() const { return FText[ffCopyright]; }
  const std::string& Link() const { return FText[ffURL]; }
  const std::string& Encoder() const { return FText[ffEncoder]; }
  void SetTrackString(const std::string& V) { SetField(ffTrackNumber, V); }
  void SetTitle(const std::string& V) { SetField(ffTitle, V); }
  void SetArtist(const std::string& V) { SetField(ffArtist, V); }
  void SetAlbum(const std::string& V) { SetField(ffAlbum, V); }
  void SetYear(const std::string& V) { SetField(ffDate, V); }
  void SetGenre(const std::string& V) { SetField(ffGenre, V); }
  void SetComment(const std::string& V) { SetField(ffComment, V); }
  void SetComposer(const std::string& V) { SetField(ffComposer, V); }
  void SetLanguage(const std::string& V) { SetField(ffLanguage, V); }
  void SetCopyright(const std::string& V) { SetField(ffCopyright, V); }
  void SetLink(const std::string& V) { SetField(ffURL, V); }
  void SetEncoder(const std::string& V) { SetField(ffEncoder, V); }

private:
  // A metadata block other than STREAMINFO, the comment block and the first
  // padding; its data stays in the file until a rewrite copies it.
  struct TOtherBlock {
    uint8_t Type = 0;
    int64_t DataOffset = 0;
    int64_t DataSize = 0;
  };

  void ClearHeader();
  // Walks the metadata; fills the text fields only when TakeComments.
  bool ReadMetadata(const std::string& FileName, bool TakeComments);
  void ParseComments(const std::string& Data, bool TakeComments);

  std::string FHeader;  // "fLaC", the STREAMINFO block header and its 34 bytes
  std::string FFileName;
  int32_t FPaddingIndex = 0;
  bool FPaddingLast = false;
  bool FMultiplePadding = false;
  int32_t FCommentIndex = 0;
  int32_t FPaddingSize = 0;
  int64_t FCommentOffset = 0;
  int64_t FAudioOffset = 0;
  uint8_t FChannels = 0;
  int32_t FSampleRate = 0;
  uint8_t FBitsPerSample = 0;
  int32_t FBitrate = 0;
  int64_t FFileSize = 0;
  int64_t FSamples = 0;
  std::vector<TOtherBlock> FOtherBlocks;
  std::string FVendor;
  int32_t FCommentSize = 0;
  bool FHasTags = false;
  TID3v2 FID3v2;
  std::string FText[FLACFieldCount];
  bool FSet[FLACFieldCount] = {};  // the field was read or set: a save writes it
  std::vector<TFLACExtraField> FExtraFields;

  int64_t FStreamStart = 0;      // offset of "fLaC", after a leading ID3v2 tag
  bool FExtraComment = false;    // a second comment block was met
  std::vector<std::string> FFileComments;  // the comment block's comments as stored
  std::string FExtrasFrom;       // the file the extra fields were read from
};
