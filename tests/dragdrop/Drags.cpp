#include "tests/dragdrop/Drags.h"

#include <QCoreApplication>
#include <QDropEvent>
#include <QWidget>
#include <cstdio>

#include "platform/gui/DropSite.h"

namespace dragtest {

std::string FileUri(const std::string& Path) {
  std::string Uri = "file://";
  for (unsigned char C : Path) {
    const bool Plain = (C >= 'a' && C <= 'z') || (C >= 'A' && C <= 'Z') || (C >= '0' && C <= '9') ||
                       C == '-' || C == '.' || C == '_' || C == '~' || C == '/';
    if (Plain) {
      Uri.push_back(static_cast<char>(C));
    } else {
      char Escape[4];
      std::snprintf(Escape, sizeof Escape, "%%%02X", C);
      Uri += Escape;
    }
  }
  return Uri;
}

std::unique_ptr<QMimeData> UriList(const std::vector<std::string>& Uris) {
  QByteArray Bytes;
  for (const std::string& U : Uris) Bytes.append(U.data(), static_cast<qsizetype>(U.size())).append("\r\n");
  auto Data = std::make_unique<QMimeData>();
  Data->setData("text/uri-list", Bytes);
  return Data;
}

TForeignDrag::TForeignDrag(TWinControl* Target, std::unique_ptr<QMimeData> Data, Qt::DropActions Offered)
    : FWidget(TDropSite::DropWidgetOf(Target)), FData(std::move(Data)), FOffered(Offered) {}

namespace {

TAnswer Send(QWidget* Widget, QDropEvent& Event) {
  QCoreApplication::sendEvent(Widget, &Event);
  return {Event.isAccepted(), Event.dropAction()};
}

}  // namespace

TAnswer TForeignDrag::Enter(TPoint At, Qt::KeyboardModifiers Keys) {
  QDragEnterEvent E(QPoint(At.X, At.Y), FOffered, FData.get(), Qt::LeftButton, Keys);
  QCoreApplication::sendEvent(FWidget, &E);
  return Move(At, Keys);
}

TAnswer TForeignDrag::Move(TPoint At, Qt::KeyboardModifiers Keys) {
  QDragMoveEvent E(QPoint(At.X, At.Y), FOffered, FData.get(), Qt::LeftButton, Keys);
  return Send(FWidget, E);
}

void TForeignDrag::Leave() {
  QDragLeaveEvent E;
  QCoreApplication::sendEvent(FWidget, &E);
}

TAnswer TForeignDrag::Drop(TPoint At, Qt::KeyboardModifiers Keys) {
  QDropEvent E(QPointF(At.X, At.Y), FOffered, FData.get(), Qt::NoButton, Keys);
  return Send(FWidget, E);
}

}  // namespace dragtest
