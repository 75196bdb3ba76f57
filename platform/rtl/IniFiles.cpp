#include "platform/rtl/IniFiles.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <charconv>
#include <cstring>

#include "platform/rtl/FileUtils.h"
#include "platform/rtl/StrUtils.h"
#include "platform/rtl/StringList.h"

namespace {

constexpr char Bom[] = "\xEF\xBB\xBF";
constexpr size_t BomSize = 3;

// The file's bytes; false when it is missing, not a regular file, unreadable, too
// large or binary.
bool ReadTextFile(const std::string& FileName, std::string& Text) {
  // Never waits on a FIFO or a device.
  const int fd = OpenRegularFile(FileName);
  if (fd < 0) return false;
  struct stat st;
  bool ok = fstat(fd, &st) == 0 && st.st_size <= TIniFile::MaxIniFileSize;
  if (ok) {
    Text.resize(static_cast<size_t>(st.st_size));
    ok = PReadAll(fd, Text.data(), Text.size(), 0);
  }
  close(fd);
  return ok && std::memchr(Text.data(), 0, Text.size()) == nullptr;
}

bool IsQuoted(std::string_view V) { return V.size() >= 2 && V.front() == '"' && V.back() == '"'; }

std::string DecodeValue(std::string_view Raw) {
  std::string v = Trim(Raw);
  if (IsQuoted(v)) return v.substr(1, v.size() - 2);
  return v;
}

// Quotes a value that reading would otherwise trim or unquote.
std::string EncodeValue(const std::string& Value) {
  if (Value.empty()) return Value;
  const bool blankEnd = static_cast<unsigned char>(Value.front()) <= ' ' ||
                        static_cast<unsigned char>(Value.back()) <= ' ';
  return blankEnd || IsQuoted(Value) ? '"' + Value + '"' : Value;
}

bool HasLineBreakOrNul(std::string_view S) { return S.find_first_of(std::string_view("\r\n\0", 3)) != S.npos; }

bool ParseInteger(std::string_view S, int32_t& Result) {
  size_t i = 0;
  const size_t n = S.size();
  bool negative = false;
  if (i < n && (S[i] == '+' || S[i] == '-')) negative = S[i++] == '-';
  int base = 10;
  if (i < n && S[i] == '$') {
    base = 16;
    ++i;
  } else if (i + 1 < n && S[i] == '0' && (S[i + 1] == 'x' || S[i + 1] == 'X')) {
    base = 16;
    i += 2;
  }
  if (i == n) return false;
  const uint64_t limit = base == 16 ? 0xFFFFFFFFull : negative ? 0x80000000ull : 0x7FFFFFFFull;
  uint64_t v = 0;
  for (; i < n; ++i) {
    const char c = S[i];
    int digit;
    if (c >= '0' && c <= '9') digit = c - '0';
    else if (base == 16 && c >= 'a' && c <= 'f') digit = c - 'a' + 10;
    else if (base == 16 && c >= 'A' && c <= 'F') digit = c - 'A' + 10;
    else return false;
    v = v * static_cast<uint64_t>(base) + static_cast<uint64_t>(digit);
    if (v > limit) return false;
  }
  // Two's complement in 32 bits: hexadecimal may name the sign bit.
  const uint32_t bits = static_cast<uint32_t>(negative ? 0 - v : v);
  Result = static_cast<int32_t>(bits);
  return true;
}

// A name that a header or key line holds and reads back unchanged.
bool StorableName(const std::string& Name) {
  return !Name.empty() && Trim(Name).size() == Name.size() && !HasLineBreakOrNul(Name);
}

}  // namespace

TIniFile::TIniFile(std::string FileName) : FFileName(std::move(FileName)) { Load(); }

TIniFile::~TIniFile() {
  if (!FModified) return;
  try {
    UpdateFile();
  } catch (...) {
    // A destructor must not throw; callers that care call UpdateFile themselves.
  }
}

void TIniFile::Load() {
  FSections.assign(1, TSection{});
  std::string text;
  if (!ReadTextFile(FFileName, text)) return;
  std::string_view rest(text);
  if (rest.substr(0, BomSize) == Bom) {
    FBom = true;
    rest.remove_prefix(BomSize);
  }
  bool firstBreak = true;
  while (!rest.empty()) {
    const size_t end = rest.find_first_of("\r\n");
    const std::string_view line = rest.substr(0, end);
    if (line.size() <= MaxIniLineLength) AddLine(line);
    if (end == rest.npos) break;
    const bool crlf = rest[end] == '\r' && end + 1 < rest.size() && rest[end + 1] == '\n';
    if (firstBreak) FCrLf = crlf;
    firstBreak = false;
    rest.remove_prefix(end + (crlf ? 2 : 1));
  }
}

void TIniFile::AddLine(std::string_view Line) {
  const std::string t = Trim(Line);
  if (!t.empty() && t[0] == '[') {
    const size_t close = t.find(']');
    if (close != t.npos) {
      FSections.push_back(TSection{Trim(std::string_view(t).substr(1, close - 1)), std::string(Line), {}});
      return;
    }
  }
  TLine line{std::string(Line), {}, {}};
  const size_t eq = t.find('=');
  if (!t.empty() && t[0] != ';' && t[0] != '[' && eq != t.npos) {
    line.Key = Trim(std::string_view(t).substr(0, eq));
    line.Value = DecodeValue(std::string_view(t).substr(eq + 1));
  }
  FSections.back().Lines.push_back(std::move(line));
}

size_t TIniFile::FindSection(const std::string& Section) const {
  for (size_t i = 1; i < FSections.size(); ++i)
    if (SameText(FSections[i].Name, Section)) return i;
  return 0;
}

const TIniFile::TLine* TIniFile::FindKey(const std::string& Section, const std::string& Ident) const {
  const size_t s = FindSection(Section);
  if (s == 0 || Ident.empty()) return nullptr;
  for (const TLine& line : FSections[s].Lines)
    if (!line.Key.empty() && SameText(line.Key, Ident)) return &line;
  return nullptr;
}

std::string TIniFile::ReadString(const std::string& Section, const std::string& Ident,
                                 const std::string& Default) const {
  const TLine* line = FindKey(Section, Ident);
  return line ? line->Value : Default;
}

int32_t TIniFile::ReadInteger(const std::string& Section, const std::string& Ident, int32_t Default) const {
  const TLine* line = FindKey(Section, Ident);
  int32_t v;
  return line && ParseInteger(Trim(line->Value), v) ? v : Default;
}

bool TIniFile::ReadBool(const std::string& Section, const std::string& Ident, bool Default) const {
  return ReadInteger(Section, Ident, Default ? 1 : 0) != 0;
}

double TIniFile::ReadFloat(const std::string& Section, const std::string& Ident, double Default) const {
  const TLine* line = FindKey(Section, Ident);
  if (!line) return Default;
  std::string s = Trim(line->Value);
  if (s.size() > 1 && s[0] == '+' && s[1] != '-') s.erase(0, 1);
  double v;
  const auto [end, ec] = std::from_chars(s.data(), s.data() + s.size(), v);
  return !s.empty() && ec == std::errc() && end == s.data() + s.size() ? v : Default;
}

void TIniFile::WriteString(const std::string& Section, const std::string& Ident, const std::string& Value) {
  if (!StorableName(Section) || Section.find(']') != Section.npos)
    throw EIniFileException("The section name \"" + Section + "\" cannot be stored in \"" + FFileName + "\".");
  if (!StorableName(Ident) || Ident.find('=') != Ident.npos || Ident[0] == ';' || Ident[0] == '[')
    throw EIniFileException("The key name \"" + Ident + "\" cannot be stored in \"" + FFileName + "\".");
  if (HasLineBreakOrNul(Value))
    throw EIniFileException("The value of \"" + Ident + "\" holds a line break and cannot be stored in \"" +
                            FFileName + "\".");
  const std::string text = Ident + "=" + EncodeValue(Value);
  if (text.size() > MaxIniLineLength || Section.size() + 2 > MaxIniLineLength)
    throw EIniFileException("The value of \"" + Ident + "\" is too long to be stored in \"" + FFileName + "\".");

  size_t s = FindSection(Section);
  if (s == 0) {
    // A blank line before a new section, unless the file is empty or ends with one.
    TSection& last = FSections.back();
    const std::string* lastLine = !last.Lines.empty() ? &last.Lines.back().Text
                                  : FSections.size() > 1 ? &last.Header : nullptr;
    if (lastLine && !Trim(*lastLine).empty()) last.Lines.push_back(TLine{});
    FSections.push_back(TSection{Section, "[" + Section + "]", {}});
    s = FSections.size() - 1;
  }
  std::vector<TLine>& lines = FSections[s].Lines;
  size_t insertAt = 0;
  for (size_t i = 0; i < lines.size(); ++i) {
    TLine& line = lines[i];
    if (line.Key.empty()) continue;
    if (SameText(line.Key, Ident)) {
      if (line.Value == Value) return;
      line.Value = Value;
      line.Text = line.Key + "=" + EncodeValue(Value);
      FModified = true;
      return;
    }
    insertAt = i + 1;
  }
  lines.insert(lines.begin() + static_cast<std::ptrdiff_t>(insertAt), TLine{text, Ident, Value});
  FModified = true;
}

void TIniFile::WriteInteger(const std::string& Section, const std::string& Ident, int32_t Value) {
  WriteString(Section, Ident, IntToStr(Value));
}

void TIniFile::WriteBool(const std::string& Section, const std::string& Ident, bool Value) {
  WriteString(Section, Ident, Value ? "1" : "0");
}

void TIniFile::WriteFloat(const std::string& Section, const std::string& Ident, double Value) {
  char buf[64];
  const auto [end, ec] = std::to_chars(buf, buf + sizeof buf, Value);
  WriteString(Section, Ident, std::string(buf, ec == std::errc() ? end : buf));
}

bool TIniFile::SectionExists(const std::string& Section) const { return FindSection(Section) != 0; }

bool TIniFile::ValueExists(const std::string& Section, const std::string& Ident) const {
  return FindKey(Section, Ident) != nullptr;
}

void TIniFile::ReadSection(const std::string& Section, TStringList& Strings) const {
  ReadSectionValues(Section, Strings);
  for (int i = 0; i < Strings.Count(); ++i) Strings.SetString(i, Strings.Names(i));
}

void TIniFile::ReadSections(TStringList& Strings) const {
  Strings.Clear();
  for (size_t i = 1; i < FSections.size(); ++i)
    if (FindSection(FSections[i].Name) == i) Strings.Add(FSections[i].Name);
}

void TIniFile::ReadSectionValues(const std::string& Section, TStringList& Strings) const {
  Strings.Clear();
  const size_t s = FindSection(Section);
  if (s == 0) return;
  for (const TLine& line : FSections[s].Lines)
    if (!line.Key.empty() && FindKey(Section, line.Key) == &line) Strings.Add(line.Key + "=" + line.Value);
}

void TIniFile::EraseSection(const std::string& Section) {
  for (size_t s; (s = FindSection(Section)) != 0;) {
    FSections.erase(FSections.begin() + static_cast<std::ptrdiff_t>(s));
    FModified = true;
  }
}

void TIniFile::DeleteKey(const std::string& Section, const std::string& Ident) {
  const size_t s = FindSection(Section);
  if (s == 0) return;
  std::vector<TLine>& lines = FSections[s].Lines;
  const auto n = std::erase_if(lines, [&](const TLine& L) { return !L.Key.empty() && SameText(L.Key, Ident); });
  if (n > 0) FModified = true;
}

std::string TIniFile::Serialize() const {
  const char* eol = FCrLf ? "\r\n" : "\n";
  std::string out = FBom ? Bom : "";
  for (size_t s = 0; s < FSections.size(); ++s) {
    if (s > 0) out.append(FSections[s].Header).append(eol);
    for (const TLine& line : FSections[s].Lines) out.append(line.Text).append(eol);
  }
  return out;
}

void TIniFile::UpdateFile() {
  const std::string text = Serialize();
  // ReplaceFileSafely replaces only an existing file: a new one is created empty first.
  bool created = false;
  int err = 0;
  struct stat st;
  if (lstat(FFileName.c_str(), &st) != 0 && errno == ENOENT) {
    const int fd = open(FFileName.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    if (fd >= 0) {
      close(fd);
      created = true;
    } else {
      err = errno;
    }
  }
  if (err == 0 && ReplaceFileSafely(FFileName, [&](int Fd) { return WriteAll(Fd, text.data(), text.size()); })) {
    FModified = false;
    return;
  }
  if (created) unlink(FFileName.c_str());
  throw EIniFileException("Cannot save the file \"" + FFileName + "\"." +
                          (err != 0 ? " " + SysErrorMessage(err) : std::string()));
}
