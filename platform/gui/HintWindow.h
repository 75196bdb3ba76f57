#pragma once
// Hints: the hint window and the application's hint manager.
//
// The manager follows the mouse over every window of the application. When the pointer
// rests on a control whose hint is shown (its ShowHint, or the nearest parent's with
// it, and Application->ShowHint), the hint appears after Application->HintPause
// milliseconds (HintShortPause when another hint was just showing) below the pointer,
// and goes after HintHidePause, on a button press, a key or the wheel, when the pointer
// moves to another control, and on Application->CancelHint. The text is the short part
// (before '|') of the control's Hint, or of the nearest parent's that has one, read
// afresh each time a hint shows; line breaks make more lines. The pauses run on TTimer,
// so tests advance the test clock. Qt's own tool tips never show.
//
// The window is made by Application->HintWindowClass (a THintWindow when none is set),
// once, and again after ShowHint was switched off and on.

#include <cstdint>
#include <memory>
#include <string>

#include "platform/gui/Controls.h"

// Window styles a hint window asks for in CreateParams.
enum : uint32_t {
  WS_POPUP = 0x80000000,
  WS_BORDER = 0x00800000,  // a one-pixel frame in clWindowFrame round the client area
  WS_EX_TOOLWINDOW = 0x00000080,
  CS_SAVEBITS = 0x0800,
  CS_DROPSHADOW = 0x00020000,  // kept; the shadow is the desktop's to draw
};

struct TCreateParams {
  uint32_t Style = 0;
  uint32_t ExStyle = 0;
  uint32_t WindowClassStyle = 0;
};

// A frameless window above all others that shows a hint text. It never takes the focus
// or the mouse. Its colour is clInfoBk, its font the screen's hint font in clInfoText.
class THintWindow : public TCustomControl {
public:
  explicit THintWindow(TComponent* AOwner);

  // The rectangle (from (0, 0)) that shows AHint in lines no wider than MaxWidth: the
  // text's size plus 6 pixels across and 2 down.
  virtual TRect CalcHintRect(int32_t MaxWidth, const std::string& AHint, void* AData);
  // Shows AHint in Rect (screen coordinates) made 4 pixels taller, so the last line
  // keeps a margin below it, and moved into the work area of its monitor.
  virtual void ActivateHint(TRect Rect, const std::string& AHint);
  // Hides the window.
  void ReleaseHandle();
  // Sets the bounds without showing the window.
  void UpdateBoundsRect(const TRect& R) { SetBoundsRect(R); }
  // The part of the window that shows (nullptr: all of it), in its own coordinates.
  void SetWindowRegion(const TRegion* Region);
  const TCreateParams& Params() const { return FParams; }
  TPoint ClientOffset() const override;

protected:
  // The window's styles, asked once before it first shows: WS_POPUP and WS_BORDER,
  // CS_SAVEBITS and CS_DROPSHADOW, WS_EX_TOOLWINDOW. Overrides call the inherited one.
  virtual void CreateParams(TCreateParams& Params);
  void CreateWnd() override;
  // The caption from (2, 2) of the client area, word-wrapped.
  void Paint() override;
  void PaintControl(QImage& Image, const TRegion& Clip, const TPoint& Origin) override;
  TRect GetClientRect() const override;

private:
  TCreateParams FParams;
  bool FParamsRead = false;
};

// The hint manager of the application (see the file comment); TApplication owns it.
class THintManager {
public:
  THintManager();
  ~THintManager();
  THintManager(const THintManager&) = delete;
  THintManager& operator=(const THintManager&) = delete;

  void CancelHint();
  // Shows the hint of the control under CursorPos (screen coordinates) now.
  void ActivateHint(const TPoint& CursorPos);
  // The window of the hint showing now, or nullptr.
  THintWindow* ShownWindow() const;
  // Frees the window; the next hint makes a new one (Application->ShowHint switched).
  void ResetWindow();

private:
  struct TImpl;
  std::unique_ptr<TImpl> FImpl;
};
