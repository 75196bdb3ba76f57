#include "platform/rtl/StringList.h"

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>

#include "platform/rtl/FileUtils.h"
#include "platform/rtl/StrUtils.h"
#include "platform/rtl/SysUtils.h"

namespace {

const char* const SortedListError = "Operation not allowed on sorted list";

[[noreturn]] void IndexError(int Index) {
  throw EListError("List index out of bounds (" + std::to_string(Index) + ")");
}

unsigned char Upper(char C) {
  const auto c = static_cast<unsigned char>(C);
  return (c >= 'a' && c <= 'z') ? static_cast<unsigned char>(c - 'a' + 'A') : c;
}

// The ordering of the class library's CompareText: ASCII letters folded to upper
// case, other bytes by value.
bool LessText(const std::string& A, const std::string& B) {
  const size_t n = std::min(A.size(), B.size());
  for (size_t i = 0; i < n; ++i) {
    const unsigned char a = Upper(A[i]), b = Upper(B[i]);
    if (a != b) return a < b;
  }
  return A.size() < B.size();
}


}  // namespace

const std::string& TStringList::Strings(int Index) const {
  if (Index < 0 || Index >= Count()) IndexError(Index);
  return FItems[static_cast<size_t>(Index)];
}

void TStringList::SetString(int Index, const std::string& S) {
  if (FSorted) throw EListError(SortedListError);
  if (Index < 0 || Index >= Count()) IndexError(Index);
  FItems[static_cast<size_t>(Index)] = S;
}

int TStringList::Add(const std::string& S) {
  if (!FSorted) {
    FItems.push_back(S);
    return Count() - 1;
  }
  // After any equal items, so items added later stay later.
  const auto pos = std::upper_bound(FItems.begin(), FItems.end(), S, LessText) - FItems.begin();
  FItems.insert(FItems.begin() + pos, S);
  return static_cast<int>(pos);
}

void TStringList::Insert(int Index, const std::string& S) {
  if (FSorted) throw EListError(SortedListError);
  if (Index < 0 || Index > Count()) IndexError(Index);
  FItems.insert(FItems.begin() + Index, S);
}

void TStringList::Delete(int Index) {
  if (Index < 0 || Index >= Count()) IndexError(Index);
  FItems.erase(FItems.begin() + Index);
}

int TStringList::IndexOf(const std::string& S) const {
  for (int i = 0; i < Count(); ++i)
    if (SameText(FItems[static_cast<size_t>(i)], S)) return i;
  return -1;
}

std::string TStringList::Names(int Index) const {
  const std::string& s = Strings(Index);
  const size_t eq = s.find('=');
  return eq == std::string::npos ? std::string() : s.substr(0, eq);
}

std::string TStringList::ValueFromIndex(int Index) const {
  const std::string& s = Strings(Index);
  const size_t eq = s.find('=');
  return eq == std::string::npos ? std::string() : s.substr(eq + 1);
}

std::string TStringList::Values(const std::string& Name) const {
  const int i = IndexOfName(Name);
  return i < 0 ? std::string() : ValueFromIndex(i);
}

void TStringList::SetValue(const std::string& Name, const std::string& Value) {
  const int i = IndexOfName(Name);
  if (Value.empty()) {
    if (i >= 0) Delete(i);
    return;
  }
  const std::string item = Name + "=" + Value;
  if (i < 0) {
    Add(item);
  } else if (FSorted) {
    // The new text may sort elsewhere among items of the same name.
    Delete(i);
    Add(item);
  } else {
    FItems[static_cast<size_t>(i)] = item;
  }
}

int TStringList::IndexOfName(const std::string& Name) const {
  for (int i = 0; i < Count(); ++i) {
    const std::string& s = FItems[static_cast<size_t>(i)];
    const size_t eq = s.find('=');
    if (eq != std::string::npos && SameText(std::string_view(s).substr(0, eq), Name)) return i;
  }
  return -1;
}

std::string TStringList::Text() const {
  // Every line ends with '\n', so SetText(Text()) gives back the same list, a
  // final empty line included.
  std::string r;
  for (const std::string& s : FItems) {
    r += s;
    r += '\n';
  }
  return r;
}

void TStringList::SetText(const std::string& S) {
  FItems.clear();
  size_t start = 0;
  const size_t n = S.size();
  while (start < n) {
    size_t end = S.find_first_of("\r\n", start);
    if (end == std::string::npos) {
      Add(S.substr(start));
      break;
    }
    Add(S.substr(start, end - start));
    start = (S[end] == '\r' && end + 1 < n && S[end + 1] == '\n') ? end + 2 : end + 1;
  }
}

bool TStringList::LoadFromFile(const std::string& FileName) {
  const int fd = open(FileName.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) return false;
  std::string data;
  char buf[65536];
  for (;;) {
    const ssize_t n = read(fd, buf, sizeof buf);
    if (n < 0) {
      if (errno == EINTR) continue;
      close(fd);
      return false;
    }
    if (n == 0) break;
    data.append(buf, static_cast<size_t>(n));
  }
  close(fd);
  if (data.compare(0, 3, "\xEF\xBB\xBF") == 0) data.erase(0, 3);
  SetText(data);
  return true;
}

bool TStringList::SaveToFile(const std::string& FileName) const {
  const std::string text = Text();
  // An existing file is replaced whole, so a failed write never leaves it cut short.
  if (FileExists(FileName))
    return ReplaceFileSafely(FileName, [&](int Fd) { return WriteAll(Fd, text.data(), text.size()); });
  const int fd = open(FileName.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
  if (fd < 0) return false;
  bool ok = WriteAll(fd, text.data(), text.size());
  if (close(fd) != 0) ok = false;
  if (!ok) unlink(FileName.c_str());
  return ok;
}

void TStringList::SetSorted(bool V) {
  if (V && !FSorted) Sort();
  FSorted = V;
}

void TStringList::Sort() { std::stable_sort(FItems.begin(), FItems.end(), LessText); }
