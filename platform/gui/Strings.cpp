#include "platform/gui/Strings.h"

#include <utility>

#include "platform/rtl/StrUtils.h"
#include "platform/rtl/StringList.h"

namespace {
class TUpdateScope {
public:
  explicit TUpdateScope(TStrings* S) : FStrings(S) { S->BeginUpdate(); }
  ~TUpdateScope() { FStrings->EndUpdate(); }
  TUpdateScope(const TUpdateScope&) = delete;
  TUpdateScope& operator=(const TUpdateScope&) = delete;

private:
  TStrings* FStrings;
};
}  // namespace

void* TStrings::Objects(int32_t Index) const {
  CheckIndex(Index, Count());
  return nullptr;
}

void TStrings::SetObject(int32_t Index, void* Object) {
  CheckIndex(Index, Count());
  if (Object) throw EListError("This list keeps no objects");
}

void TStrings::CheckIndex(int32_t Index, int32_t Limit) const {
  if (Index < 0 || Index >= Limit) throw EListError("List index out of bounds (" + std::to_string(Index) + ")");
}

int32_t TStrings::Add(const std::string& S) {
  const int32_t Index = Count();
  Insert(Index, S);
  return Index;
}

int32_t TStrings::AddObject(const std::string& S, void* Object) {
  const int32_t Index = Add(S);
  SetObject(Index, Object);
  return Index;
}

int32_t TStrings::IndexOf(const std::string& S) const {
  for (int32_t I = 0, N = Count(); I < N; ++I)
    if (SameText(Strings(I), S)) return I;
  return -1;
}

void TStrings::Exchange(int32_t Index1, int32_t Index2) {
  const std::string S1 = Strings(Index1), S2 = Strings(Index2);
  void* O1 = Objects(Index1);
  void* O2 = Objects(Index2);
  SetString(Index1, S2);
  SetString(Index2, S1);
  if (O1 || O2) {
    SetObject(Index1, O2);
    SetObject(Index2, O1);
  }
}

void TStrings::Assign(const TStrings& Source) {
  if (&Source == this) return;
  TUpdateScope Scope(this);
  Clear();
  for (int32_t I = 0; I < Source.Count(); ++I) {
    Add(Source.Strings(I));
    if (void* O = Source.Objects(I)) SetObject(I, O);
  }
}

void TStrings::Assign(const std::vector<std::string>& Source) {
  TUpdateScope Scope(this);
  Clear();
  for (const std::string& S : Source) Add(S);
}

void TStrings::Assign(const TStringList& Source) {
  std::vector<std::string> Lines;
  Lines.reserve(static_cast<size_t>(Source.Count()));
  for (int I = 0; I < Source.Count(); ++I) Lines.push_back(Source.Strings(I));
  Assign(Lines);
}

std::vector<std::string> TStrings::ToVector() const {
  std::vector<std::string> Result;
  for (int32_t I = 0, N = Count(); I < N; ++I) Result.push_back(Strings(I));
  return Result;
}

std::string TStrings::Text() const {
  std::string Result;
  for (int32_t I = 0, N = Count(); I < N; ++I) Result += Strings(I) + '\n';
  return Result;
}

void TStrings::SetText(const std::string& Value) {
  TStringList Lines;
  Lines.SetText(Value);
  Assign(Lines);
}

void TStrings::BeginUpdate() {
  if (FUpdateCount++ == 0) SetUpdateState(true);
}

void TStrings::EndUpdate() {
  if (FUpdateCount > 0 && --FUpdateCount == 0) SetUpdateState(false);
}

// ---------------------------------------------------------------------------
// TStringVector

std::string TStringVector::Strings(int32_t Index) const {
  CheckIndex(Index, Count());
  return FStrings[static_cast<size_t>(Index)];
}

void TStringVector::SetString(int32_t Index, const std::string& S) {
  CheckIndex(Index, Count());
  FStrings[static_cast<size_t>(Index)] = S;
  Changed(Index, Count());
}

void TStringVector::Insert(int32_t Index, const std::string& S) {
  CheckIndex(Index, Count() + 1);
  FStrings.insert(FStrings.begin() + Index, S);
  FObjects.insert(FObjects.begin() + Index, nullptr);
  Changed(Index, Count() - 1);
}

void TStringVector::Delete(int32_t Index) {
  CheckIndex(Index, Count());
  FStrings.erase(FStrings.begin() + Index);
  FObjects.erase(FObjects.begin() + Index);
  Changed(Index, Count() + 1);
}

void TStringVector::Clear() {
  const int32_t Old = Count();
  FStrings.clear();
  FObjects.clear();
  Changed(0, Old);
}

void* TStringVector::Objects(int32_t Index) const {
  CheckIndex(Index, Count());
  return FObjects[static_cast<size_t>(Index)];
}

void TStringVector::SetObject(int32_t Index, void* Object) {
  CheckIndex(Index, Count());
  FObjects[static_cast<size_t>(Index)] = Object;
}
