#pragma once
// String lists bound to controls: the items of a combo box, the lines of a memo, the
// sub-items of a list item. Each control keeps its strings in the Qt widget (or its
// own store) and offers them through this interface, so code reads and changes them
// the same way everywhere.

#include <cstdint>
#include <string>
#include <vector>

#include "platform/rtl/SysUtils.h"

class TStringList;

class TStrings {
public:
  TStrings() = default;
  virtual ~TStrings() = default;
  TStrings(const TStrings&) = delete;
  TStrings& operator=(const TStrings&) = delete;

  virtual int32_t Count() const = 0;
  // Raise EListError for an index out of range (Insert: 0 to Count).
  virtual std::string Strings(int32_t Index) const = 0;
  virtual void SetString(int32_t Index, const std::string& S) = 0;
  virtual void Insert(int32_t Index, const std::string& S) = 0;
  virtual void Delete(int32_t Index) = 0;
  virtual void Clear() = 0;
  // A value kept beside each string (nullptr by default); lists that keep none raise
  // EListError when one is set.
  virtual void* Objects(int32_t Index) const;
  virtual void SetObject(int32_t Index, void* Object);

  int32_t Add(const std::string& S);
  int32_t AddObject(const std::string& S, void* Object);
  // The first string equal to S ignoring ASCII case; -1 when there is none.
  int32_t IndexOf(const std::string& S) const;
  void Exchange(int32_t Index1, int32_t Index2);
  // Replaces the strings (and their objects) with Source's.
  void Assign(const TStrings& Source);
  void Assign(const TStringList& Source);
  void Assign(const std::vector<std::string>& Source);
  std::vector<std::string> ToVector() const;
  // Lines each ending in "\n"; SetText splits at "\n", "\r\n" and "\r".
  std::string Text() const;
  void SetText(const std::string& Value);

  // Changes between BeginUpdate and the last EndUpdate may be shown only at the end.
  void BeginUpdate();
  void EndUpdate();
  bool Updating() const { return FUpdateCount > 0; }

protected:
  // Told when the first BeginUpdate starts (true) and the last EndUpdate ends (false).
  virtual void SetUpdateState(bool Updating) { (void)Updating; }
  void CheckIndex(int32_t Index, int32_t Limit) const;

private:
  int32_t FUpdateCount = 0;
};

// Strings kept in memory with their objects. After each change Changed says from which
// index on the strings may differ and how many there were before, so a derived list can
// show them.
class TStringVector : public TStrings {
public:
  int32_t Count() const override { return static_cast<int32_t>(FStrings.size()); }
  std::string Strings(int32_t Index) const override;
  void SetString(int32_t Index, const std::string& S) override;
  void Insert(int32_t Index, const std::string& S) override;
  void Delete(int32_t Index) override;
  void Clear() override;
  void* Objects(int32_t Index) const override;
  void SetObject(int32_t Index, void* Object) override;

protected:
  virtual void Changed(int32_t From, int32_t OldCount) {
    (void)From;
    (void)OldCount;
  }

private:
  std::vector<std::string> FStrings;
  std::vector<void*> FObjects;
};
