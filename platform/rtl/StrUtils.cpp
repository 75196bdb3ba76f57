#include "platform/rtl/StrUtils.h"

#include <limits>

namespace {

constexpr char32_t ReplacementChar = 0xFFFD;

// Decodes the code point at S[Pos] and advances Pos. A malformed sequence yields
// U+FFFD and consumes its maximal invalid subpart (at least one byte), so the byte
// that broke the sequence is read again as the start of the next one.
char32_t NextUTF8(std::string_view S, size_t& Pos, bool& Valid) {
  const auto b0 = static_cast<unsigned char>(S[Pos]);
  Valid = true;
  if (b0 < 0x80) {
    ++Pos;
    return b0;
  }
  int len;
  char32_t cp;
  // Bounds of the second byte rule out overlongs, surrogates and values past U+10FFFF.
  unsigned char lo = 0x80, hi = 0xBF;
  if (b0 >= 0xC2 && b0 <= 0xDF) {
    len = 2;
    cp = b0 & 0x1F;
  } else if (b0 >= 0xE0 && b0 <= 0xEF) {
    len = 3;
    cp = b0 & 0x0F;
    if (b0 == 0xE0) lo = 0xA0;
    if (b0 == 0xED) hi = 0x9F;
  } else if (b0 >= 0xF0 && b0 <= 0xF4) {
    len = 4;
    cp = b0 & 0x07;
    if (b0 == 0xF0) lo = 0x90;
    if (b0 == 0xF4) hi = 0x8F;
  } else {
    // Lone continuation byte, C0/C1 (always overlong) or F5..FF.
    ++Pos;
    Valid = false;
    return ReplacementChar;
  }
  ++Pos;
  for (int i = 1; i < len; ++i) {
    if (Pos >= S.size()) {
      Valid = false;
      return ReplacementChar;
    }
    const auto b = static_cast<unsigned char>(S[Pos]);
    const unsigned char l = (i == 1) ? lo : 0x80;
    const unsigned char h = (i == 1) ? hi : 0xBF;
    if (b < l || b > h) {
      Valid = false;
      return ReplacementChar;
    }
    cp = (cp << 6) | (b & 0x3F);
    ++Pos;
  }
  return cp;
}

// Decodes the code point at S[Pos] from UTF-16 and advances Pos; unpaired
// surrogates yield U+FFFD.
char32_t NextUTF16(std::u16string_view S, size_t& Pos) {
  const char16_t u = S[Pos++];
  if (u < 0xD800 || u > 0xDFFF) return u;
  if (u <= 0xDBFF && Pos < S.size() && S[Pos] >= 0xDC00 && S[Pos] <= 0xDFFF) {
    const char16_t l = S[Pos++];
    return 0x10000 + ((static_cast<char32_t>(u) - 0xD800) << 10) + (l - 0xDC00);
  }
  return ReplacementChar;
}

void AppendUTF8(std::string& R, char32_t C) {
  if (C < 0x80) {
    R += static_cast<char>(C);
  } else if (C < 0x800) {
    R += static_cast<char>(0xC0 | (C >> 6));
    R += static_cast<char>(0x80 | (C & 0x3F));
  } else if (C < 0x10000) {
    R += static_cast<char>(0xE0 | (C >> 12));
    R += static_cast<char>(0x80 | ((C >> 6) & 0x3F));
    R += static_cast<char>(0x80 | (C & 0x3F));
  } else {
    R += static_cast<char>(0xF0 | (C >> 18));
    R += static_cast<char>(0x80 | ((C >> 12) & 0x3F));
    R += static_cast<char>(0x80 | ((C >> 6) & 0x3F));
    R += static_cast<char>(0x80 | (C & 0x3F));
  }
}

char AsciiUpper(char C) { return (C >= 'a' && C <= 'z') ? static_cast<char>(C - 'a' + 'A') : C; }
char AsciiLower(char C) { return (C >= 'A' && C <= 'Z') ? static_cast<char>(C - 'A' + 'a') : C; }

bool IsBlank(char C) { return C == ' ' || C == '\t' || C == '\r' || C == '\n' || C == '\v' || C == '\f'; }

}  // namespace

std::u16string UTF8ToUTF16(std::string_view S) {
  std::u16string R;
  R.reserve(S.size());
  size_t pos = 0;
  bool valid;
  while (pos < S.size()) {
    const char32_t c = NextUTF8(S, pos, valid);
    if (c >= 0x10000) {
      R += static_cast<char16_t>(0xD800 + ((c - 0x10000) >> 10));
      R += static_cast<char16_t>(0xDC00 + ((c - 0x10000) & 0x3FF));
    } else {
      R += static_cast<char16_t>(c);
    }
  }
  return R;
}

std::string UTF16ToUTF8(std::u16string_view S) {
  std::string R;
  R.reserve(S.size());
  size_t pos = 0;
  while (pos < S.size()) AppendUTF8(R, NextUTF16(S, pos));
  return R;
}

std::string Latin1ToUTF8(std::string_view S) {
  std::string R;
  R.reserve(S.size());
  for (char c : S) AppendUTF8(R, static_cast<unsigned char>(c));
  return R;
}

std::u16string Latin1ToUTF16(std::string_view S) {
  std::u16string R;
  R.reserve(S.size());
  for (char c : S) R += static_cast<char16_t>(static_cast<unsigned char>(c));
  return R;
}

std::string UTF8ToLatin1(std::string_view S, char Replacement) {
  std::string R;
  R.reserve(S.size());
  size_t pos = 0;
  bool valid;
  while (pos < S.size()) {
    const char32_t c = NextUTF8(S, pos, valid);
    // A malformed sequence decodes to U+FFFD, which is outside Latin-1 too.
    R += (c < 0x100) ? static_cast<char>(c) : Replacement;
  }
  return R;
}

std::string UTF16ToLatin1(std::u16string_view S, char Replacement) {
  std::string R;
  R.reserve(S.size());
  size_t pos = 0;
  while (pos < S.size()) {
    const char32_t c = NextUTF16(S, pos);
    R += (c < 0x100) ? static_cast<char>(c) : Replacement;
  }
  return R;
}

bool IsValidUTF8(std::string_view S) {
  size_t pos = 0;
  bool valid;
  while (pos < S.size()) {
    NextUTF8(S, pos, valid);
    if (!valid) return false;
  }
  return true;
}

bool FitsLatin1(std::u16string_view S) {
  for (char16_t c : S)
    if (c >= 0x100) return false;
  return true;
}

std::string UpperCase(std::string_view S) {
  std::string R(S);
  for (char& c : R) c = AsciiUpper(c);
  return R;
}

std::string LowerCase(std::string_view S) {
  std::string R(S);
  for (char& c : R) c = AsciiLower(c);
  return R;
}

bool SameText(std::string_view A, std::string_view B) {
  if (A.size() != B.size()) return false;
  for (size_t i = 0; i < A.size(); ++i)
    if (AsciiLower(A[i]) != AsciiLower(B[i])) return false;
  return true;
}

// Trim removes spaces and control characters at both ends, as the class library does.
std::string Trim(std::string_view S) {
  size_t b = 0, e = S.size();
  while (b < e && static_cast<unsigned char>(S[b]) <= ' ') ++b;
  while (e > b && static_cast<unsigned char>(S[e - 1]) <= ' ') --e;
  return std::string(S.substr(b, e - b));
}

std::u16string Trim(std::u16string_view S) {
  size_t b = 0, e = S.size();
  while (b < e && S[b] <= u' ') ++b;
  while (e > b && S[e - 1] <= u' ') --e;
  return std::u16string(S.substr(b, e - b));
}

std::string IntToStr(int64_t V) { return std::to_string(V); }

int64_t StrToIntDef(std::string_view S, int64_t Default) {
  size_t b = 0, e = S.size();
  while (b < e && IsBlank(S[b])) ++b;
  while (e > b && IsBlank(S[e - 1])) --e;
  if (b == e) return Default;
  bool negative = false;
  if (S[b] == '+' || S[b] == '-') {
    negative = S[b] == '-';
    ++b;
  }
  if (b == e) return Default;
  // Accumulate the magnitude unsigned so INT64_MIN parses.
  const uint64_t limit = negative ? uint64_t(std::numeric_limits<int64_t>::max()) + 1
                                  : uint64_t(std::numeric_limits<int64_t>::max());
  uint64_t v = 0;
  for (size_t i = b; i < e; ++i) {
    const char c = S[i];
    if (c < '0' || c > '9') return Default;
    const unsigned d = static_cast<unsigned>(c - '0');
    if (v > (limit - d) / 10) return Default;
    v = v * 10 + d;
  }
  if (negative) return v == limit ? std::numeric_limits<int64_t>::min() : -static_cast<int64_t>(v);
  return static_cast<int64_t>(v);
}
