#pragma once
// Shared builders of the widget tests: a canvas on a filled image, channel reads, and
// controls recording the messages they get.

#include "tests/support/Gui.h"

#include <QImage>
#include <string>
#include <utility>
#include <vector>

#include "platform/gui/Forms.h"
#include "platform/gui/Graphics.h"
#include "widgets/KvCommon.h"

namespace widgettest {

// A W x H image filled with Background and a canvas drawing on it.
struct TSheet {
  explicit TSheet(int32_t W = 40, int32_t H = 40, TColor Background = clWhite)
      : Image(testsupport::MakeImage(W, H, Background)), Background(ColorToRGB(Background)) {
    Canvas.SetImage(&Image);
  }
  ~TSheet() { Canvas.SetImage(nullptr); }
  TSheet(const TSheet&) = delete;
  TSheet& operator=(const TSheet&) = delete;

  TColor At(int32_t X, int32_t Y) const { return testsupport::PixelAt(Image, X, Y); }
  // Nothing but the background outside R.
  bool CleanOutside(const TRect& R) const { return testsupport::OnlyColorOutside(Image, R, Background); }
  // Nothing drawn at all.
  bool Blank() const { return CleanOutside(TRect{}); }
  // Nothing but the background inside R.
  bool CleanInside(const TRect& R) const {
    return testsupport::CountColor(Image, Background, R) == R.Width() * R.Height();
  }

  QImage Image;
  TColor Background;
  TCanvas Canvas;
};

inline TColor RGBOf(TColor C) { return ColorToRGB(C); }

// The bounding box of the pixels of Color inside Area (all zero when there is none).
inline TRect BoundsIn(const QImage& Image, TColor Color, const TRect& Area) {
  TRect R = testsupport::ColorBounds(Image.copy(Area.Left, Area.Top, Area.Width(), Area.Height()), Color);
  if (!IsRectEmpty(R)) OffsetRect(R, Area.Left, Area.Top);
  return R;
}

// A form for controls under real mouse and key input: build the controls on Form, then
// Show() makes it the active window.
struct TInputForm {
  explicit TInputForm(int32_t W = 320, int32_t H = 200) : Form(new TForm(nullptr)) { Form->SetBounds(0, 0, W, H); }
  ~TInputForm() { Form->Free(); }
  TInputForm(const TInputForm&) = delete;
  TInputForm& operator=(const TInputForm&) = delete;
  void Show() { testsupport::ShowActive(Form); }
  // A control of class T on Parent (the form by default) at Bounds.
  template <class T>
  T* Add(TRect Bounds, const std::string& Caption = "", TWinControl* Parent = nullptr) {
    T* C = new T(Form);
    C->SetParent(Parent ? Parent : Form);
    C->SetBoundsRect(Bounds);
    C->SetCaption(Caption);
    return C;
  }
  TForm* Form;
};

// Counts the widgets' beeps while it lives.
struct TBeepCounter {
  TBeepCounter() : Previous(SetKvBeepHook([this] { ++Count; })) {}
  ~TBeepCounter() { SetKvBeepHook(std::move(Previous)); }
  TBeepCounter(const TBeepCounter&) = delete;
  TBeepCounter& operator=(const TBeepCounter&) = delete;
  int Count = 0;
  TKvBeepHook Previous;
};

}  // namespace widgettest
