#pragma once
// An ordered list of 8-bit strings with name=value access.

#include <string>
#include <vector>

class TStringList {
public:
  int Count() const { return static_cast<int>(FItems.size()); }
  const std::string& Strings(int Index) const;   // EListError when out of range
  void SetString(int Index, const std::string& S);
  int Add(const std::string& S);                 // index of the new item (sorted lists keep order)
  void Insert(int Index, const std::string& S);
  void Delete(int Index);
  void Clear() { FItems.clear(); }
  int IndexOf(const std::string& S) const;       // ASCII case-insensitive; -1 when absent

  // name=value items: the name is the part before the first '='.
  std::string Names(int Index) const;
  std::string ValueFromIndex(int Index) const;
  std::string Values(const std::string& Name) const;          // empty when absent
  void SetValue(const std::string& Name, const std::string& Value);  // empty value deletes
  int IndexOfName(const std::string& Name) const;

  // Lines joined with '\n' (each line ends with one); SetText splits on "\n", "\r\n" and "\r".
  std::string Text() const;
  void SetText(const std::string& S);
  bool LoadFromFile(const std::string& FileName);
  bool SaveToFile(const std::string& FileName) const;

  bool Sorted() const { return FSorted; }
  void SetSorted(bool V);
  void Sort();

private:
  std::vector<std::string> FItems;
  bool FSorted = false;
};
