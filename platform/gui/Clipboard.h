#pragma once
// Data that Qt hands over (a drag's, the clipboard's) as the class library reads it,
// and the desktop clipboard.

#include <memory>
#include <string>
#include <vector>

#include "platform/gui/DataObject.h"
#include "platform/rtl/Classes.h"

class QMimeData;

// Qt's data of a drag or of the clipboard. It does not own the data and offers nothing
// once Qt has freed it (the clipboard's data goes when the clipboard changes). A
// persistent, so that it can be assigned to what takes drops.
class TMimeDataObject : public TPersistent, public IDataObject {
public:
  explicit TMimeDataObject(const QMimeData* Data);
  ~TMimeDataObject() override;

  std::vector<std::string> Formats() const override;
  bool QueryGetData(const std::string& Format) const override;
  bool GetData(const std::string& Format, std::string& Data) const override;

private:
  struct TWatch;
  std::unique_ptr<TWatch> FWatch;
};

// The desktop clipboard (Ctrl+C, Ctrl+V); one per process, Clipboard().
class TClipboard : public TPersistent {
public:
  // What the clipboard holds now.
  std::unique_ptr<TMimeDataObject> DataObject() const;
};

TClipboard& Clipboard();
