#include "tests/support/Gui.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QElapsedTimer>
#include <QTimer>
#include <QAbstractButton>
#include <QFontMetrics>
#include <QImage>
#include <QMessageBox>
#include <QPaintEvent>
#include <QPushButton>
#include <QPainter>
#include <QScreen>
#include <QWheelEvent>
#include <QWidget>

#include <algorithm>

#include "platform/gui/ComboBox.h"

namespace testsupport {

void ShowActive(TCustomForm* Form) {
  Form->Show();
  QWidget* W = Form->Host();
  W->activateWindow();
  QApplication::setActiveWindow(W);
  Application->ProcessMessages();
}

namespace {
// A client point of Control in its host widget's coordinates.
QPoint At(TControl* Control, int32_t X, int32_t Y) {
  const TPoint O = Control->ClientOffset();
  return QPoint(X + O.X, Y + O.Y);
}
}  // namespace

void MouseClick(TControl* Control, int32_t X, int32_t Y, Qt::MouseButton Button) {
  QTest::mouseClick(Control->Host(), Button, Qt::NoModifier, At(Control, X, Y));
}
void MousePress(TControl* Control, int32_t X, int32_t Y, Qt::MouseButton Button) {
  QTest::mousePress(Control->Host(), Button, Qt::NoModifier, At(Control, X, Y));
}
void MouseMove(TControl* Control, int32_t X, int32_t Y) { QTest::mouseMove(Control->Host(), At(Control, X, Y)); }
void MouseRelease(TControl* Control, int32_t X, int32_t Y, Qt::MouseButton Button) {
  QTest::mouseRelease(Control->Host(), Button, Qt::NoModifier, At(Control, X, Y));
}
void MouseDoubleClick(TControl* Control, int32_t X, int32_t Y) {
  QTest::mouseDClick(Control->Host(), Qt::LeftButton, Qt::NoModifier, At(Control, X, Y));
}

void MouseWheel(TControl* Control, int32_t X, int32_t Y, int32_t Delta) {
  QWidget* Host = Control->Host();
  const QPoint Pos = At(Control, X, Y);
  QWidget* Target = Host->childAt(Pos);
  if (!Target) Target = Host;
  const QPointF Local = Target->mapFrom(Host, Pos);
  QWheelEvent E(Local, Target->mapToGlobal(Local), QPoint(), QPoint(0, Delta), Qt::NoButton, Qt::NoModifier,
                Qt::NoScrollPhase, false);
  QApplication::sendEvent(Target, &E);
}

namespace {
QWidget* KeyTarget() {
  QWidget* W = QApplication::focusWidget();
  return W ? W : QApplication::activeWindow();
}
}  // namespace

void KeyClick(Qt::Key Key, Qt::KeyboardModifiers Modifiers) { QTest::keyClick(KeyTarget(), Key, Modifiers); }
void KeyClick(char Char, Qt::KeyboardModifiers Modifiers) { QTest::keyClick(KeyTarget(), Char, Modifiers); }

void ChooseItem(TCustomComboBox* Box, int32_t Index) {
  ASSERT_TRUE(Index >= 0 && Index < Box->Items()->Count()) << Index;
  Box->SetFocus();
  for (int32_t Steps = Box->Items()->Count(); Box->ItemIndex() != Index && Steps >= 0; --Steps)
    KeyClick(Box->ItemIndex() < Index ? Qt::Key_Down : Qt::Key_Up);
  ASSERT_EQ(Box->ItemIndex(), Index);
}

void TypeText(const std::string& Text) {
  for (const char32_t C : QString::fromStdString(Text).toUcs4()) {
    const QString Typed = QString::fromUcs4(&C, 1);
    QTest::sendKeyEvent(QTest::Click, KeyTarget(), Qt::Key(Typed.toUpper().at(0).unicode()), Typed, Qt::NoModifier);
  }
}

TPaintCounter::TPaintCounter(std::initializer_list<TControl*> Controls) {
  for (TControl* C : Controls) {
    C->Host()->installEventFilter(this);
    FCounts[C->Host()] = 0;
    FPainted[C->Host()] = {};
  }
}

int TPaintCounter::Of(const TControl* Control) const { return FCounts.at(Control->Host()); }

void TPaintCounter::Forget() {
  for (auto& [Host, Area] : FPainted) Area = {};
}

bool TPaintCounter::eventFilter(QObject* Watched, QEvent* Event) {
  if (Event->type() != QEvent::Paint) return false;
  ++FCounts[Watched];
  const QRect Area = static_cast<QPaintEvent*>(Event)->region().boundingRect();
  FPainted[Watched] = UnionRect(FPainted[Watched], Bounds(Area.x(), Area.y(), Area.width(), Area.height()));
  return false;
}

QImage Render(TControl* Control, TColor Background) {
  QImage Image = MakeImage(Control->Width(), Control->Height(), Background);
  Control->PaintTo(Image, 0, 0);
  return Image;
}

TColor PixelAt(const QImage& Image, int32_t X, int32_t Y) {
  if (!Image.rect().contains(X, Y)) return CLR_INVALID;
  const QRgb P = Image.pixel(X, Y);
  return RGB(qRed(P), qGreen(P), qBlue(P));
}

TRect ColorBounds(const QImage& Image, TColor Color) {
  TRect R{Image.width(), Image.height(), -1, -1};
  for (int32_t Y = 0; Y < Image.height(); ++Y)
    for (int32_t X = 0; X < Image.width(); ++X)
      if (PixelAt(Image, X, Y) == ColorToRGB(Color)) {
        R.Left = std::min(R.Left, X);
        R.Top = std::min(R.Top, Y);
        R.Right = std::max(R.Right, X + 1);
        R.Bottom = std::max(R.Bottom, Y + 1);
      }
  return R.Right < 0 ? TRect{} : R;
}

int32_t CountColor(const QImage& Image, TColor Color, TRect Area) {
  if (IsRectEmpty(Area)) Area = Rect(0, 0, Image.width(), Image.height());
  int32_t N = 0;
  for (int32_t Y = Area.Top; Y < Area.Bottom; ++Y)
    for (int32_t X = Area.Left; X < Area.Right; ++X) N += PixelAt(Image, X, Y) == ColorToRGB(Color);
  return N;
}

std::vector<std::pair<TColor, int32_t>> RowRuns(const QImage& Image, int32_t Y, int32_t X0, int32_t X1) {
  std::vector<std::pair<TColor, int32_t>> Runs;
  for (int32_t X = X0; X < X1; ++X) {
    const TColor C = PixelAt(Image, X, Y);
    if (!Runs.empty() && Runs.back().first == C)
      ++Runs.back().second;
    else
      Runs.emplace_back(C, 1);
  }
  return Runs;
}

bool OnlyColorOutside(const QImage& Image, const TRect& R, TColor Color) {
  for (int32_t Y = 0; Y < Image.height(); ++Y)
    for (int32_t X = 0; X < Image.width(); ++X)
      if (!PtInRect(R, {X, Y}) && PixelAt(Image, X, Y) != ColorToRGB(Color)) return false;
  return true;
}

QImage MakeImage(int32_t Width, int32_t Height, TColor Color) {
  QImage Image(std::max(1, Width), std::max(1, Height), QImage::Format_RGB32);
  const TColor C = ColorToRGB(Color);
  Image.fill(QColor(GetRValue(C), GetGValue(C), GetBValue(C)));
  return Image;
}

TDialogScript::TDialogScript() {
  FPrevious = SetDialogResponder([this](const TDialogRequest& R) {
    FRequests.push_back(R);
    if (FAnswers.empty()) {
      ADD_FAILURE() << "Unexpected dialog \"" << R.Caption << "\": " << R.Text;
      return TDialogAnswer{R.Kind == dkMessageBox ? int32_t(IDCANCEL) : int32_t(mrCancel), {}, {}, 0};
    }
    TAnswerer Next = std::move(FAnswers.front());
    FAnswers.pop_front();
    return Next(R);
  });
}

TDialogScript::~TDialogScript() { SetDialogResponder(std::move(FPrevious)); }

void TDialogScript::Choose(const std::string& Caption) {
  Answer([this, Caption](const TDialogRequest& R) {
    TDialogAnswer A;
    EXPECT_EQ(R.Kind, dkPopupMenu);
    if (R.Kind != dkPopupMenu) return A;
    MenuCaptions.push_back(testsupport::MenuCaptions(R.Menu));
    if (Caption.empty()) return A;
    A.MenuItem = FindMenuItem(R.Menu, Caption);
    EXPECT_NE(A.MenuItem, nullptr) << "No menu item \"" << Caption << "\"";
    return A;
  });
}

namespace {

std::string PlainCaption(const TMenuItem* Item) {
  std::string S = Item->Caption();
  S = S.substr(0, S.find('\t'));
  std::string Result;
  for (size_t I = 0; I < S.size(); ++I) {
    if (S[I] == '&' && I + 1 < S.size()) ++I;
    Result += S[I];
  }
  return Result;
}

TMenuItem* FindIn(const TMenuItem* Parent, const std::string& Caption) {
  for (int32_t I = 0; I < Parent->Count(); ++I) {
    TMenuItem* Item = Parent->Items(I);
    if (PlainCaption(Item) == Caption) return Item;
    if (TMenuItem* Found = FindIn(Item, Caption)) return Found;
  }
  return nullptr;
}

}  // namespace

TMenuItem* FindMenuItem(const TPopupMenu* Menu, const std::string& Caption) {
  return Menu ? FindIn(Menu->Items(), Caption) : nullptr;
}

std::vector<std::string> MenuCaptions(const TPopupMenu* Menu) {
  std::vector<std::string> Result;
  for (int32_t I = 0; Menu && I < Menu->Items()->Count(); ++I)
    if (Menu->Items()->Items(I)->Visible()) Result.push_back(PlainCaption(Menu->Items()->Items(I)));
  return Result;
}

void FromInsideTheDialog(std::function<bool()> Fn, int Tries) {
  QMetaObject::invokeMethod(
      qApp,
      [Fn, Tries] {
        if (Fn()) return;
        if (Tries > 0)
          FromInsideTheDialog(Fn, Tries - 1);
        else
          QCoreApplication::exit(1);
      },
      Qt::QueuedConnection);
}

TMessageBoxWatch::TMessageBoxWatch() {
  auto* timer = new QTimer;
  FTimer.reset(timer);
  QObject::connect(timer, &QTimer::timeout, [this] {
    for (QWidget* W : QApplication::topLevelWidgets()) {
      auto* box = qobject_cast<QMessageBox*>(W);
      if (!box || !box->isVisible()) continue;
      const QRect area = box->screen()->availableGeometry(), frame = box->frameGeometry();
      bool onScreen = area.contains(frame);
      for (QAbstractButton* B : box->buttons())
        onScreen = onScreen && area.contains(QRect(B->mapToGlobal(QPoint(0, 0)), B->size()));
      FShown.push_back({box->text().toStdString(), onScreen, frame.height(), area.height(),
                        QFontMetrics(box->font()).lineSpacing()});
      QAbstractButton* close = box->defaultButton();
      if (!close) close = box->buttons().value(0);
      close->click();
    }
  });
  timer->start(10);
}

TMessageBoxWatch::~TMessageBoxWatch() = default;

std::vector<std::string> Lines(const std::string& Text) {
  std::vector<std::string> lines;
  for (size_t start = 0, end; start <= Text.size(); start = end + 1) {
    end = std::min(Text.find('\n', start), Text.size());
    lines.push_back(Text.substr(start, end - start));
  }
  return lines;
}

void InstallUnexpectedDialogGuard() {
  SetDialogResponder([](const TDialogRequest& R) {
    ADD_FAILURE() << "Unexpected dialog \"" << R.Caption << "\": " << R.Text;
    return TDialogAnswer{R.Kind == dkMessageBox ? int32_t(IDCANCEL) : int32_t(mrCancel), {}, {}, 0};
  });
}

bool ProcessEventsUntil(const std::function<bool()>& Done, int TimeoutMs) {
  QElapsedTimer Clock;
  Clock.start();
  QTimer Wake;
  Wake.start(10);
  while (!Done()) {
    if (Clock.elapsed() > TimeoutMs) return Done();
    QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
  }
  return true;
}

}  // namespace testsupport
