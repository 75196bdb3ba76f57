#pragma once
// Readers of the blocks of bytes that drags carry. They take any bytes: nothing is
// read outside the block, and what is malformed gives nothing (a bad entry of a list
// is left out, the rest is kept). No Qt and no files here, so they can be fuzzed alone.

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

// The local files a "text/uri-list" names, in its order, as the bytes of their paths.
// One URI a line (CRLF or LF), "#" lines are comments, a zero byte ends the list. Only
// "file:" URIs with an empty host or "localhost" count; their absolute path is
// percent-decoded (query and fragment dropped). Other schemes, other hosts, relative
// paths, bad escapes, control characters and zero bytes in a path are left out.
std::vector<std::string> LocalFilesOfUriList(std::string_view Block);
// One URI of such a list; false when it names no local file.
bool LocalFileOfUri(std::string_view Uri, std::string& FileName);

// Text up to its first zero byte.
std::string ReadText(std::string_view Block);
// UTF-16 (little-endian) text up to its first zero character, as UTF-8; an odd last
// byte is not part of it.
std::string ReadWideText(std::string_view Block);
// A list of zero-terminated names ended by an empty name, 8-bit or UTF-16 (then given
// as UTF-8). A name the block cuts off before its terminator is left out.
std::vector<std::string> ReadNameList(std::string_view Block, bool Wide);
// The little-endian 32-bit value at the start; false when the block is shorter.
bool ReadDWORD(std::string_view Block, uint32_t& Value);

// A file group descriptor: a 32-bit count and that many records of RecordSize bytes.
// The records, when the block holds exactly as many whole records as the count says
// and the count is above 0; otherwise none.
std::vector<std::string> ReadGroupDescriptor(std::string_view Block, size_t RecordSize);
// The 8-bit file name of a descriptor record: at most 260 bytes from offset 72, up to
// the first zero.
std::string DescriptorFileName(std::string_view Record);

inline constexpr size_t FileDescriptorSize = 332;
