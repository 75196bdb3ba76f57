#pragma once
// The comment list that Ogg Vorbis and FLAC files share: a vendor text, then a
// count and the comments, each "NAME=value" in UTF-8 after a 32-bit
// little-endian length.

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

struct TVorbisComments {
  std::string Vendor;              // as stored
  std::vector<std::string> Items;  // the comments as stored, in order
  int64_t End = -1;                // offset after the last comment; -1 when the list overruns the data
};

// Reads the list that starts at Offset of Data. Every length and the count are
// checked against the data; what fits before the first overrun is kept.
TVorbisComments ParseVorbisComments(std::string_view Data, size_t Offset);
// The name of a comment in upper case; empty when it has no "=".
std::string VorbisCommentName(std::string_view Item);
// The text after the first "=" (the whole comment when there is none).
std::string_view VorbisCommentValue(std::string_view Item);
// Appends one comment with its length.
void AppendVorbisComment(std::string& List, std::string_view Item);
// The whole list: vendor length, vendor, count, then Comments as AppendVorbisComment
// made them.
std::string BuildVorbisComments(std::string_view Vendor, uint32_t Count, std::string_view Comments);
