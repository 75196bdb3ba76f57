#pragma once
// Helpers for the GUI tests: shown and active forms, mouse and keys through Qt's real
// event delivery, pixel facts about rendered images, and a dialog script that answers
// modal dialogs and records what they asked.
//
// Include this header before anything that includes <QTest>: it turns on
// QTEST_QPA_MOUSE_HANDLING, so that mouse events go through the window system with
// the implicit grab and enter/leave events.

#define QTEST_QPA_MOUSE_HANDLING
#include <QTest>

#include <QObject>

#include <deque>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "platform/gui/Dialogs.h"
#include "platform/gui/Forms.h"
#include "platform/gui/Menus.h"

class TCustomComboBox;

namespace testsupport {

// Shows Form and makes it the active window, with the resulting events handled.
void ShowActive(TCustomForm* Form);

// Mouse, in Control's client coordinates (inside a border band, see ClientOffset).
void MouseClick(TControl* Control, int32_t X, int32_t Y, Qt::MouseButton Button = Qt::LeftButton);
void MousePress(TControl* Control, int32_t X, int32_t Y, Qt::MouseButton Button = Qt::LeftButton);
void MouseMove(TControl* Control, int32_t X, int32_t Y);
void MouseRelease(TControl* Control, int32_t X, int32_t Y, Qt::MouseButton Button = Qt::LeftButton);
void MouseDoubleClick(TControl* Control, int32_t X, int32_t Y);
// Wheel steps (Delta in eighths of a degree, 120 a notch; positive away from the user)
// at a client point, delivered to the widget under it as the window system would.
void MouseWheel(TControl* Control, int32_t X, int32_t Y, int32_t Delta);
// A key press and release sent to the focused widget, as the keyboard would.
void KeyClick(Qt::Key Key, Qt::KeyboardModifiers Modifiers = Qt::NoModifier);
void KeyClick(char Char, Qt::KeyboardModifiers Modifiers = Qt::NoModifier);
// Chooses item Index of Box as the user does with the arrow keys (every step is a choice
// with its events); Box's form must be active.
void ChooseItem(TCustomComboBox* Box, int32_t Index);
// Text (UTF-8, any script) typed into the focused widget, a key press and release per
// character; QTest's own typing knows Latin-1 only.
void TypeText(const std::string& Text);

// Pixels. Images are what TControl::PaintTo or a canvas produced.
// Control painted with PaintTo over an image of its size filled with Background.
QImage Render(TControl* Control, TColor Background = clWhite);
TColor PixelAt(const QImage& Image, int32_t X, int32_t Y);
// The bounding box of the pixels of Color (all zero when there is none).
TRect ColorBounds(const QImage& Image, TColor Color);
// Pixels of Color within Area (the whole image by default).
int32_t CountColor(const QImage& Image, TColor Color, TRect Area = {});
// Row Y from X0 to X1-1 as runs of equal colour: (colour, length) pairs.
std::vector<std::pair<TColor, int32_t>> RowRuns(const QImage& Image, int32_t Y, int32_t X0, int32_t X1);
// Every pixel outside R has Color.
bool OnlyColorOutside(const QImage& Image, const TRect& R, TColor Color);
// An image of the given size filled with Color, for canvases to draw on.
QImage MakeImage(int32_t Width, int32_t Height, TColor Color = clWhite);

// Counts the paint events that the hosts of Controls get while it lives, and the area
// they paint (the bounds of their regions, in client coordinates) since Forget.
class TPaintCounter : public QObject {
public:
  explicit TPaintCounter(std::initializer_list<TControl*> Controls);
  int Of(const TControl* Control) const;
  TRect Painted(const TControl* Control) const { return FPainted.at(Control->Host()); }
  void Forget();

protected:
  bool eventFilter(QObject* Watched, QEvent* Event) override;

private:
  std::map<const QObject*, int> FCounts;
  std::map<const QObject*, TRect> FPainted;
};

// Answers modal dialogs while it lives (restoring the responder before it afterwards):
// each dialog takes the next queued answer and is recorded. A dialog with no answer
// queued fails the test and is cancelled.
class TDialogScript {
public:
  using TAnswerer = std::function<TDialogAnswer(const TDialogRequest&)>;
  TDialogScript();
  ~TDialogScript();
  TDialogScript(const TDialogScript&) = delete;
  TDialogScript& operator=(const TDialogScript&) = delete;

  void Answer(int32_t Result) { FAnswers.push_back([Result](const TDialogRequest&) { return TDialogAnswer{Result, {}, {}, 0}; }); }
  void Answer(TAnswerer Answerer) { FAnswers.push_back(std::move(Answerer)); }
  // A popup menu is answered with its item captioned Caption (see FindMenuItem); the
  // captions of the menu's visible items are added to MenuCaptions.
  void Choose(const std::string& Caption);
  // A popup menu is dismissed; its captions are recorded as above.
  void Dismiss() { Choose(""); }
  std::vector<std::vector<std::string>> MenuCaptions;
  const std::vector<TDialogRequest>& Requests() const { return FRequests; }
  bool Finished() const { return FAnswers.empty(); }

private:
  TDialogResponder FPrevious;
  std::deque<TAnswerer> FAnswers;
  std::vector<TDialogRequest> FRequests;
};

// The item of Menu (at any depth) whose caption, without '&' and without the shortcut
// text after a tab, is Caption; nullptr when there is none.
TMenuItem* FindMenuItem(const TPopupMenu* Menu, const std::string& Caption);
// The captions (as FindMenuItem compares them) of Menu's visible top-level items,
// separators as "-".
std::vector<std::string> MenuCaptions(const TPopupMenu* Menu);

// No responder while it lives: the real dialogs run their own modal loops.
class TNoResponder {
public:
  TNoResponder() : FSaved(SetDialogResponder(nullptr)) {}
  ~TNoResponder() { SetDialogResponder(std::move(FSaved)); }
  TNoResponder(const TNoResponder&) = delete;
  TNoResponder& operator=(const TNoResponder&) = delete;

private:
  TDialogResponder FSaved;
};

// Runs Fn from inside the next modal loop, again while it answers false (the dialog is
// not up yet); after Tries turns every loop is ended, so the test cannot hang.
void FromInsideTheDialog(std::function<bool()> Fn, int Tries = 50);

// While it lives, message boxes are the real ones, looked at as the user sees them
// (whenever they come up, a run's end included) and closed with their default button.
class TMessageBoxWatch {
public:
  struct TShown {
    std::string Text;  // as shown, so cut short when it did not fit
    bool OnScreen;     // the frame and the buttons lie within the screen's work area
    int32_t FrameHeight, AreaHeight, LineHeight;
  };
  TMessageBoxWatch();
  ~TMessageBoxWatch();
  TMessageBoxWatch(const TMessageBoxWatch&) = delete;
  TMessageBoxWatch& operator=(const TMessageBoxWatch&) = delete;

  const std::vector<TShown>& Shown() const { return FShown; }

private:
  TNoResponder FReal;
  std::unique_ptr<QObject> FTimer;
  std::vector<TShown> FShown;
};

// The lines of a message's text.
std::vector<std::string> Lines(const std::string& Text);

// The responder of the GUI test main: any dialog no script expects fails the test.
void InstallUnexpectedDialogGuard();

// Handles events (the workers' notifications included) until Done says so or TimeoutMs
// have passed; returns Done(). The loop also wakes on its own now and then, for
// conditions that no event announces.
bool ProcessEventsUntil(const std::function<bool()>& Done, int TimeoutMs = 120000);

}  // namespace testsupport
