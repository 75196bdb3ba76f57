#include "platform/gui/Clipboard.h"

#include <QClipboard>
#include <QGuiApplication>
#include <QMimeData>
#include <QPointer>

#include "platform/gui/QtSupport.h"

struct TMimeDataObject::TWatch {
  QPointer<const QMimeData> Data;
};

TMimeDataObject::TMimeDataObject(const QMimeData* Data) : FWatch(new TWatch{Data}) {}

TMimeDataObject::~TMimeDataObject() = default;

std::vector<std::string> TMimeDataObject::Formats() const {
  std::vector<std::string> Result;
  if (FWatch->Data)
    for (const QString& F : FWatch->Data->formats()) Result.push_back(F.toStdString());
  return Result;
}

bool TMimeDataObject::QueryGetData(const std::string& Format) const {
  return FWatch->Data && FWatch->Data->hasFormat(ToQString(Format));
}

bool TMimeDataObject::GetData(const std::string& Format, std::string& Data) const {
  if (!QueryGetData(Format)) return false;
  const QByteArray Bytes = FWatch->Data->data(ToQString(Format));
  Data.assign(Bytes.constData(), static_cast<size_t>(Bytes.size()));
  return true;
}

std::unique_ptr<TMimeDataObject> TClipboard::DataObject() const {
  return std::make_unique<TMimeDataObject>(QGuiApplication::clipboard()->mimeData(QClipboard::Clipboard));
}

TClipboard& Clipboard() {
  static TClipboard Instance;
  return Instance;
}
