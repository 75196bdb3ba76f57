#pragma once
// The 128-byte ID3v1 block at the end of a file and the Lyrics3 v2 block that
// may stand directly before it with longer texts. Texts are UTF-8 here and
// Latin-1 in the file.

#include <cstdint>
#include <string>

constexpr int ID3v1GenreCount = 148;
// The reader's own genre table, indexed 0 to 147.
extern const char* const ID3v1Genres[ID3v1GenreCount];

class TID3v1 {
public:
  TID3v1() = default;

  bool ReadFromFile(const std::string& FileName);
  // Replaces both blocks (Lyrics3 first, then "TAG", which stays last).
  bool SaveToFile(const std::string& FileName);

  bool Exists() const { return FExists; }
  uint8_t VersionID() const { return FVersionID; }
  const std::string& Year() const { return FYear; }
  uint8_t Track() const { return FTrack; }
  uint8_t GenreID() const { return FGenreID; }
  bool HasLyrics3() const { return FHasLyrics3; }
  int32_t Lyrics3Size() const { return FLyrics3Size; }
  const std::string& ExtTitle() const { return FExtTitle; }
  const std::string& ExtArtist() const { return FExtArtist; }
  const std::string& ExtAlbum() const { return FExtAlbum; }
  const std::string& ExtComment() const { return FExtComment; }
  const std::string& Image() const { return FImage; }
  const std::string& Author() const { return FAuthor; }
  const std::string& Lyrics() const { return FLyrics; }

  // The extended text when there is one, else the short one.
  std::string GetTitle() const { return FExtTitle.empty() ? FTitle : FExtTitle; }
  std::string GetArtist() const { return FExtArtist.empty() ? FArtist : FExtArtist; }
  std::string GetAlbum() const { return FExtAlbum.empty() ? FAlbum : FExtAlbum; }
  std::string GetComment() const { return FExtComment.empty() ? FComment : FExtComment; }
  std::string GetGenre() const;

  void SetTitle(const std::string& V);
  void SetArtist(const std::string& V);
  void SetAlbum(const std::string& V);
  void SetComment(const std::string& V);
  void SetYear(const std::string& V);
  void SetTrack(uint8_t V) { FTrack = V; }
  // Also accepts the spellings of the other genre lists of the program.
  void SetGenre(const std::string& Name);
  void SetGenreID(uint8_t V) { FGenreID = V; }
  void SetImage(const std::string& V) { FImage = V; }
  void SetAuthor(const std::string& V) { FAuthor = V; }
  void SetLyrics(const std::string& V) { FLyrics = V; }

private:
  void Clear();
  bool ReadBlocks(const std::string& FileName, bool WithFields, int64_t& FileSize,
                  int64_t& BlocksSize);

  bool FExists = false;
  uint8_t FVersionID = 1;
  std::string FTitle, FArtist, FAlbum, FYear, FComment;
  uint8_t FTrack = 0;
  uint8_t FGenreID = 255;
  bool FHasLyrics3 = false;
  int32_t FLyrics3Size = 0;
  std::string FExtArtist, FExtAlbum, FExtTitle, FExtComment;
  std::string FImage, FAuthor, FLyrics;
};
