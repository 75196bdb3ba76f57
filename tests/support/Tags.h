#pragma once
// Tags built byte by byte for the tests (ID3v2 frames and tags, APE items and
// tags, the ID3v1 block), and tags as an independent library reads them: the
// Python library mutagen, run by Debian's /usr/bin/python3.

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

namespace testsupport {

// A string literal with the zero bytes inside it.
template <size_t N>
std::string Bytes(const char (&S)[N]) {
  return std::string(S, N - 1);
}

// ID3v2: a 28-bit syncsafe number, a big-endian 32-bit one, a text frame's
// content in ISO-8859-1 (encoding byte 0, no terminator).
std::string Syncsafe(uint32_t V);
std::string BE32(uint32_t V);
std::string L1(const std::string& Text);
// A frame of version 2 (3-character ID, no flags), 3 (plain size) or 4 (syncsafe
// size, unless SyncsafeSize is false); Flags2 is the second flag byte.
std::string Frame22(const std::string& ID, const std::string& Content);
std::string Frame23(const std::string& ID, const std::string& Content, uint8_t Flags2 = 0);
std::string Frame24(const std::string& ID, const std::string& Content, uint8_t Flags2 = 0, bool SyncsafeSize = true);
// A tag around Body with Padding zero bytes after it.
std::string Tag(uint8_t Version, uint8_t Flags, const std::string& Body, size_t Padding = 0);

// APE: one item, a header or footer record, and a tag around Items (with a
// header unless Version is 1000 or Header is false).
std::string Item(const std::string& Name, const std::string& Value, uint32_t Flags = 0);
std::string Record(uint32_t Version, uint32_t Size, uint32_t Count, uint32_t Flags);
std::string ApeTag(const std::string& Items, uint32_t Count, uint32_t Version = 2000, bool Header = true);

// The 128-byte ID3v1 block; texts are placed as they are, cut to their width.
// A Track above 0 makes it version 1.1.
std::string Id3v1Block(const std::string& Title, const std::string& Artist, const std::string& Album,
                       const std::string& Year, const std::string& Comment, uint8_t Track = 0, uint8_t Genre = 255);

// Tags as mutagen reads them, one (key, value) pair per item, sorted by key; the
// values of one key stay in file order. Kind "id3" (the ID3v2 tag, as stored:
// key = frame hash key, value = the frame; the first pair is ("version", "2.N")),
// "ape" (key in lower case, value = kind and value), "asf" (Windows Media
// attributes: name, value = type and value), "flac" and "ogg" (comment names in
// lower case; FLAC pictures under "picture"). Fails the test when mutagen cannot
// read the file.
using TTagItems = std::vector<std::pair<std::string, std::string>>;
TTagItems MutagenTags(const std::string& Kind, const std::string& Path);
// The items whose key is not one of Keys.
TTagItems Without(const TTagItems& Items, const std::vector<std::string>& Keys);
// The value of the first item with Key; empty when there is none.
std::string ValueOf(const TTagItems& Items, const std::string& Key);

// Writes tags with mutagen: Kind "id3" (a version 2.3 tag; keys are frame IDs, "COMM"
// an English comment) or "ape" (an APEv2 tag; keys are item names). Replaces the tag
// the file had.
void MutagenWriteTags(const std::string& Kind, const std::string& Path, const TTagItems& Items);

// The common fields of each file's tags as mutagen reads them, whatever the format:
// "artist", "album", "title", "track", "year", "genre", "comment" (only those present).
// A file with an ID3v2 tag is read by it (as mutagen's readers of MP3 and True Audio
// files do); a Windows Media file's comment is its Copyright attribute, where this
// system keeps it.
std::vector<TTagItems> MutagenCommonTags(const std::vector<std::string>& Paths);

}  // namespace testsupport
