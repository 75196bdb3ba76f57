#pragma once
// Text conversion between the encodings the system meets: UTF-8 (all 8-bit text
// inside the program), UTF-16 (tag values, wide names) and Latin-1 (only where a
// file format stores it). Conversions are explicit; nothing truncates code units.

#include <cstdint>
#include <string>
#include <string_view>

// Malformed UTF-8 sequences become U+FFFD; surrogate pairs are produced for
// code points above U+FFFF.
std::u16string UTF8ToUTF16(std::string_view S);
// Unpaired surrogates become U+FFFD.
std::string UTF16ToUTF8(std::u16string_view S);

std::string Latin1ToUTF8(std::string_view S);
std::u16string Latin1ToUTF16(std::string_view S);
// Characters outside Latin-1 become Replacement (one per code point).
std::string UTF8ToLatin1(std::string_view S, char Replacement = '?');
std::string UTF16ToLatin1(std::u16string_view S, char Replacement = '?');

bool IsValidUTF8(std::string_view S);
// True when every code unit is below U+0100.
bool FitsLatin1(std::u16string_view S);

// ASCII-only case handling, as the design's file-name and key comparisons use.
std::string UpperCase(std::string_view S);
std::string LowerCase(std::string_view S);
bool SameText(std::string_view A, std::string_view B);
std::string Trim(std::string_view S);
std::u16string Trim(std::u16string_view S);

std::string IntToStr(int64_t V);
// Decimal with optional sign and surrounding blanks; Default on anything else
// or on overflow.
int64_t StrToIntDef(std::string_view S, int64_t Default);
