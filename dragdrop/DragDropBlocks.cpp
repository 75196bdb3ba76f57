#include "dragdrop/DragDropBlocks.h"

#include "platform/rtl/StrUtils.h"

namespace {

constexpr size_t DescriptorNameOffset = 72;
constexpr size_t DescriptorNameLength = 260;

int HexValue(char C) {
  if (C >= '0' && C <= '9') return C - '0';
  if (C >= 'a' && C <= 'f') return C - 'a' + 10;
  if (C >= 'A' && C <= 'F') return C - 'A' + 10;
  return -1;
}

bool StartsWithNoCase(std::string_view S, std::string_view Prefix) {
  return S.size() >= Prefix.size() && SameText(S.substr(0, Prefix.size()), Prefix);
}

std::string_view TrimBlanks(std::string_view S) {
  while (!S.empty() && (S.front() == ' ' || S.front() == '\t')) S.remove_prefix(1);
  while (!S.empty() && (S.back() == ' ' || S.back() == '\t' || S.back() == '\r')) S.remove_suffix(1);
  return S;
}

// Percent-decodes Path into bytes; false on a bad escape or a character that has no
// place in a path (controls, zero).
bool DecodePath(std::string_view Path, std::string& Out) {
  Out.clear();
  for (size_t I = 0; I < Path.size(); ++I) {
    unsigned char C = static_cast<unsigned char>(Path[I]);
    if (C == '%') {
      if (I + 2 >= Path.size()) return false;
      const int Hi = HexValue(Path[I + 1]), Lo = HexValue(Path[I + 2]);
      if (Hi < 0 || Lo < 0) return false;
      C = static_cast<unsigned char>(Hi * 16 + Lo);
      I += 2;
    }
    if (C < 0x20 || C == 0x7F) return false;
    Out.push_back(static_cast<char>(C));
  }
  return true;
}

uint16_t WideCharAt(std::string_view Block, size_t Index) {
  return static_cast<uint16_t>(static_cast<unsigned char>(Block[2 * Index]) |
                               (static_cast<unsigned char>(Block[2 * Index + 1]) << 8));
}

}  // namespace

bool LocalFileOfUri(std::string_view Uri, std::string& FileName) {
  FileName.clear();
  if (!StartsWithNoCase(Uri, "file:")) return false;
  std::string_view Rest = Uri.substr(5);
  if (Rest.starts_with("//")) {
    Rest.remove_prefix(2);
    const size_t Slash = Rest.find('/');
    const std::string_view Host = Rest.substr(0, Slash);
    if (!Host.empty() && !SameText(Host, "localhost")) return false;
    if (Slash == std::string_view::npos) return false;
    Rest.remove_prefix(Slash);
  }
  Rest = Rest.substr(0, Rest.find_first_of("?#"));
  if (!Rest.starts_with('/')) return false;
  std::string Path;
  if (!DecodePath(Rest, Path)) return false;
  FileName = std::move(Path);
  return true;
}

std::vector<std::string> LocalFilesOfUriList(std::string_view Block) {
  Block = Block.substr(0, Block.find('\0'));
  std::vector<std::string> Files;
  while (!Block.empty()) {
    const size_t End = Block.find('\n');
    const std::string_view Line = TrimBlanks(Block.substr(0, End));
    Block.remove_prefix(End == std::string_view::npos ? Block.size() : End + 1);
    if (Line.empty() || Line.front() == '#') continue;
    std::string Name;
    if (LocalFileOfUri(Line, Name)) Files.push_back(std::move(Name));
  }
  return Files;
}

std::string ReadText(std::string_view Block) { return std::string(Block.substr(0, Block.find('\0'))); }

std::string ReadWideText(std::string_view Block) {
  std::u16string Text;
  for (size_t I = 0; I < Block.size() / 2; ++I) {
    const uint16_t C = WideCharAt(Block, I);
    if (C == 0) break;
    Text.push_back(static_cast<char16_t>(C));
  }
  return UTF16ToUTF8(Text);
}

std::vector<std::string> ReadNameList(std::string_view Block, bool Wide) {
  std::vector<std::string> Names;
  const size_t Unit = Wide ? 2 : 1;
  size_t Pos = 0;
  while (Pos + Unit <= Block.size()) {
    const std::string_view Rest = Block.substr(Pos);
    size_t Length = 0;  // characters before the terminator
    bool Terminated = false;
    for (; (Length + 1) * Unit <= Rest.size(); ++Length) {
      const bool Zero = Wide ? WideCharAt(Rest, Length) == 0 : Rest[Length] == '\0';
      if (Zero) {
        Terminated = true;
        break;
      }
    }
    if (!Terminated || Length == 0) break;
    Names.push_back(Wide ? ReadWideText(Rest) : ReadText(Rest));
    Pos += (Length + 1) * Unit;
  }
  return Names;
}

bool ReadDWORD(std::string_view Block, uint32_t& Value) {
  if (Block.size() < 4) return false;
  Value = 0;
  for (int I = 3; I >= 0; --I) Value = (Value << 8) | static_cast<unsigned char>(Block[static_cast<size_t>(I)]);
  return true;
}

std::vector<std::string> ReadGroupDescriptor(std::string_view Block, size_t RecordSize) {
  uint32_t Count = 0;
  if (RecordSize == 0 || !ReadDWORD(Block, Count) || Count == 0) return {};
  if ((Block.size() - 4) / RecordSize != Count) return {};
  std::vector<std::string> Records;
  for (uint32_t I = 0; I < Count; ++I) Records.emplace_back(Block.substr(4 + I * RecordSize, RecordSize));
  return Records;
}

std::string DescriptorFileName(std::string_view Record) {
  if (Record.size() <= DescriptorNameOffset) return {};
  return ReadText(Record.substr(DescriptorNameOffset, DescriptorNameLength));
}
