#pragma once
// The data of a drag or of the clipboard: the formats it is offered in and the bytes
// of each. Formats are MIME types ("text/uri-list", "text/plain").

#include <string>
#include <vector>

class IDataObject {
public:
  virtual ~IDataObject() = default;
  // The formats offered, in the source's order.
  virtual std::vector<std::string> Formats() const = 0;
  virtual bool QueryGetData(const std::string& Format) const = 0;
  // The bytes of Format; false when it is not offered.
  virtual bool GetData(const std::string& Format, std::string& Data) const = 0;
};
