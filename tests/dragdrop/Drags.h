#pragma once
// Drags from another program, delivered to a control as Qt delivers them: enter, move,
// leave and drop events with MIME data, sent through the event system to the widget
// that takes the control's drops.

#include <QMimeData>
#include <memory>
#include <string>
#include <vector>

#include "platform/gui/Controls.h"

namespace dragtest {

// The "file://" URI of a path given as bytes, every byte outside the unreserved
// characters and '/' percent-encoded (as file managers write them).
std::string FileUri(const std::string& Path);
// MIME data offering "text/uri-list" with these lines.
std::unique_ptr<QMimeData> UriList(const std::vector<std::string>& Uris);

// What the target told the source.
struct TAnswer {
  bool Accepted = false;
  Qt::DropAction Action = Qt::IgnoreAction;
};

class TForeignDrag {
public:
  TForeignDrag(TWinControl* Target, std::unique_ptr<QMimeData> Data,
               Qt::DropActions Offered = Qt::CopyAction | Qt::MoveAction | Qt::LinkAction);
  // The enter and the move that Qt sends right after it; the answer to that move.
  TAnswer Enter(TPoint At = {5, 5}, Qt::KeyboardModifiers Keys = Qt::NoModifier);
  TAnswer Move(TPoint At, Qt::KeyboardModifiers Keys = Qt::NoModifier);
  void Leave();
  TAnswer Drop(TPoint At, Qt::KeyboardModifiers Keys = Qt::NoModifier);

private:
  QWidget* FWidget;
  std::unique_ptr<QMimeData> FData;
  Qt::DropActions FOffered;
};

}  // namespace dragtest
