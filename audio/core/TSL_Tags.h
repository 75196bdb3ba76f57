#pragma once
// Tag sets carried by tagged inputs and outputs: a key-to-value container and one
// kind of it per tag format, with the engine's own readers and writers of the
// ID3v1 block, the ID3v2 tag and the APEv2 footer tag.
//
// File operations take a file descriptor ("handle") and never raise: every failure
// is a false result.

#include <cstdint>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

#include "platform/rtl/Classes.h"
#include "platform/rtl/Streams.h"

// A tag value: nothing, a number, 8-bit (UTF-8) text or wide (UTF-16) text.
using TTagValue = std::variant<std::monostate, int64_t, std::string, std::u16string>;

inline bool TagValueIsEmpty(const TTagValue& V) { return std::holds_alternative<std::monostate>(V); }
// Same-value comparison: nothing equals only nothing; texts compare by their
// characters whatever their width; a number equals a text that reads as that number.
bool TagValuesSame(const TTagValue& A, const TTagValue& B);

class TAuTags : public TPersistent {
public:
  TAuTags() = default;

  // The value of Key (nothing when the key is unknown).
  TTagValue Values(const std::string& Key) const;
  // Stores Value when Key exists and the value really differs; that marks the set
  // not empty and changed. Unknown keys are ignored.
  void SetValue(const std::string& Key, const TTagValue& Value);
  // The value converted: text to a number when it reads as one (else 0), a number to
  // its decimal text; nothing gives 0 or empty text.
  int32_t AsInteger(const std::string& Key) const;
  std::string AsString(const std::string& Key) const;
  std::u16string AsWideString(const std::string& Key) const;

  int32_t Count() const { return static_cast<int32_t>(FItems.size()); }
  // Empty outside 0..Count-1.
  std::string Keys(int32_t Index) const;
  bool Empty() const { return FEmpty; }
  bool Changed() const { return FChanged; }

  // Every value becomes nothing; the set is empty and changed.
  void Clear();
  // From another tag set: Clear, then the values of the keys both sets have.
  void Assign(const TPersistent& Source) override;

  // Base behaviour: true when Handle is an open descriptor (ReadFromFile also clears).
  virtual bool HasTag(int Handle);
  virtual bool ReadFromFile(int Handle);
  virtual bool WriteToFile(int Handle, bool Unicode);

protected:
  void AssignTo(TPersistent& Dest) const override;
  // Adds Key with Default when it is not present yet (keys are case-insensitive).
  void AddTag(const std::string& Key, const TTagValue& Default = {});
  int32_t IndexOfKey(const std::string& Key) const;

private:
  struct TItem {
    std::string Key;
    TTagValue Value;
  };
  std::vector<TItem> FItems;
  bool FEmpty = true;
  bool FChanged = false;
};

// Generates a text property over one key.
#define TSL_TAG_WIDE(Name, Key)                                              \
  std::u16string Name() const { return AsWideString(Key); }                  \
  void Set##Name(const std::u16string& V) { SetValue(Key, TTagValue(V)); }
#define TSL_TAG_STR(Name, Key)                                               \
  std::string Name() const { return AsString(Key); }                         \
  void Set##Name(const std::string& V) { SetValue(Key, TTagValue(V)); }

// ---------------------------------------------------------------------------
// ID3v1

using TId3v1TagsGenreId = uint8_t;  // 0..147
constexpr int32_t Id3v1GenreCount = 148;
constexpr TId3v1TagsGenreId Id3v1DefaultGenre = 12;  // "Other"
// The engine's genre names, indexed by genre id.
extern const char* const Id3v1GenreNames[Id3v1GenreCount];
// The index of a genre name (trimmed, any letter case); -1 when none matches.
int32_t Id3v1GenreIndex(const std::string& Name);

// The 128-byte block at the end of a file; text is stored as Latin-1 there.
class TId3v1Tags : public TAuTags {
public:
  TId3v1Tags();

  TSL_TAG_STR(Title, "title")
  TSL_TAG_STR(Album, "album")
  TSL_TAG_STR(Comment, "comment")
  // Empty when the value is not text.
  std::string Artist() const;
  void SetArtist(const std::string& V) { SetValue("artist", TTagValue(V)); }
  // 0 when the value is no number in range.
  uint16_t Year() const;
  void SetYear(uint16_t V) { SetValue("year", TTagValue(int64_t(V))); }
  uint8_t Track() const;
  void SetTrack(uint8_t V) { SetValue("track", TTagValue(int64_t(V))); }
  // A genre stored as a name is looked up; anything unknown or out of range reads as 12.
  TId3v1TagsGenreId GenreId() const;
  void SetGenreId(TId3v1TagsGenreId V) { SetValue("genre", TTagValue(int64_t(V))); }
  std::string Genre() const { return Id3v1GenreNames[GenreId()]; }
  // Selects the genre of that name; an unknown name changes nothing.
  void SetGenre(const std::string& V);

  // Looks for the block at the end of the file; the file position is kept.
  bool HasTag(int Handle) override;
  // Clears, then reads the block; false when there is none. The file position is kept.
  bool ReadFromFile(int Handle) override;
  // Writes the block at the current position (normally the end of the file);
  // true when all 128 bytes were written. Unicode has no meaning for this format.
  bool WriteToFile(int Handle, bool Unicode) override;

  // The block for the present values (Latin-1, '?' for what it cannot hold).
  void BuildBlock(uint8_t (&Block)[128]) const;
  // Fills the set from a block; false without the "TAG" mark.
  bool ParseBlock(const uint8_t (&Block)[128]);
};

// ---------------------------------------------------------------------------
// ID3v2

// The ID3v2 fields, in the order the reader matches and the writer writes them.
enum TId3v2Field : uint8_t {
  id3Album, id3Artist, id3Genre, id3Title, id3Track, id3Year,
  id3Comment, id3Composer, id3Encoder, id3Copyright, id3Language, id3Link
};
constexpr int32_t Id3v2FieldCount = 12;

class TId3v2Tags : public TAuTags {
public:
  TId3v2Tags();

  // 0: the keys of version 2.2 frames, 1: those of version 2.3 and later. The
  // properties work on the keys of the current set.
  uint8_t IDSet() const { return FIDSet; }
  void SetIDSet(uint8_t V) { FIDSet = V ? 1 : 0; }
  // The key of a field in the current set.
  const char* FieldKey(TId3v2Field Field) const;

  TSL_TAG_WIDE(Album, FieldKey(id3Album))
  TSL_TAG_WIDE(Artist, FieldKey(id3Artist))
  TSL_TAG_WIDE(Genre, FieldKey(id3Genre))
  TSL_TAG_WIDE(Title, FieldKey(id3Title))
  TSL_TAG_STR(Track, FieldKey(id3Track))
  TSL_TAG_STR(Year, FieldKey(id3Year))
  TSL_TAG_WIDE(Comment, FieldKey(id3Comment))
  TSL_TAG_WIDE(Composer, FieldKey(id3Composer))
  TSL_TAG_WIDE(Encoder, FieldKey(id3Encoder))
  TSL_TAG_WIDE(Copyright, FieldKey(id3Copyright))
  TSL_TAG_WIDE(Language, FieldKey(id3Language))
  TSL_TAG_WIDE(Link, FieldKey(id3Link))

  // From another ID3v2 set the fields are copied by meaning, so a set read from a
  // version 2.2 tag keeps its fields in a set that uses the later keys.
  void Assign(const TPersistent& Source) override;

  // Checks the header at the current position; the position is kept.
  bool HasTag(int Handle) override;
  // Reads the tag at the current position and leaves the position at its end; true
  // whenever the header is valid and the file holds the whole tag.
  bool ReadFromFile(int Handle) override;
  // Puts a new version 2.3 tag in front of the file's content. The file is rewritten
  // completely and replaced atomically, so a failure leaves it as it was; Handle then
  // refers to the new file, positioned at its end (other descriptors of the old file
  // keep seeing the old content). A descriptor of a file without a
  // name (deleted or anonymous) is rewritten in place from a complete copy instead.
  // Unicode is accepted for callers; text always goes as Latin-1 when it fits and
  // as UTF-16 otherwise.
  bool WriteToFile(int Handle, bool Unicode) override;

  // The complete tag (header, frames, padding) for the present values; false when
  // it would exceed the format's size limit.
  bool BuildTag(std::vector<uint8_t>& Tag) const;
  // Reads a tag from memory (Data starting with the header); false when the header
  // is not valid or the tag is longer than Size. TagSize receives the tag's length.
  bool ParseTag(const uint8_t* Data, size_t Size, int64_t& TagSize);

private:
  uint8_t FIDSet = 1;
};

// ---------------------------------------------------------------------------
// APEv2

class TAPEv2Tags : public TAuTags {
public:
  TAPEv2Tags();

  TSL_TAG_WIDE(Artist, "Artist")
  TSL_TAG_WIDE(Composer, "Composer")
  TSL_TAG_WIDE(Album, "Album")
  TSL_TAG_WIDE(DebutAlbum, "Debut album")
  TSL_TAG_WIDE(Publisher, "Publisher")
  TSL_TAG_WIDE(Conductor, "Conductor")
  TSL_TAG_WIDE(Copyright, "Copyright")
  TSL_TAG_STR(ISBN, "ISBN")
  TSL_TAG_STR(ISRC, "ISRC")
  TSL_TAG_STR(BarCode, "EAN/UPC")
  TSL_TAG_STR(LabelCode, "LC")
  TSL_TAG_STR(Catalog, "Catalog")
  TSL_TAG_WIDE(Language, "Language")
  TSL_TAG_WIDE(Genre, "Genre")
  TSL_TAG_STR(Year, "Year")
  TSL_TAG_STR(RecordDate, "Record Date")
  TSL_TAG_WIDE(RecordLocation, "Record Location")
  TSL_TAG_WIDE(File_, "File")
  TSL_TAG_WIDE(Related, "Related")
  TSL_TAG_WIDE(Abstract, "Abstract")
  TSL_TAG_WIDE(Bibliography, "Bibliography")
  TSL_TAG_STR(Track, "Track")
  TSL_TAG_WIDE(Title, "Title")
  TSL_TAG_WIDE(SubTitle, "Subtitle")
  TSL_TAG_WIDE(Comment, "Comment")
};

// Reads the APEv2 tag at the end of Stream: the text items Artist, Album, Copyright,
// Genre, Year, Track and Title go into Tags. The tag and every item are bounded by
// the stream; binary items are skipped. False when there is no readable tag.
bool ReadAPEv2Tags(TStream& Stream, TAPEv2Tags& Tags);

// ---------------------------------------------------------------------------
// Vorbis comments

class TVorbisTags : public TAuTags {
public:
  TVorbisTags();

  // Takes one "NAME=value" comment (UTF-8) when NAME is one of the set's keys, in any
  // letter case; anything else is ignored.
  void TakeComment(std::string_view Comment);

  TSL_TAG_WIDE(Album, "album")
  TSL_TAG_WIDE(Artist, "artist")
  TSL_TAG_WIDE(Date, "date")
  TSL_TAG_WIDE(Genre, "genre")
  TSL_TAG_WIDE(Title, "title")
  TSL_TAG_WIDE(Track, "tracknumber")
};

#undef TSL_TAG_WIDE
#undef TSL_TAG_STR
