#pragma once
// Shared builders of the widget tests: a canvas on a filled image, channel reads, and
// controls recording the messages they get.

#include "tests/support/Gui.h"

#include <QImage>
#include <string>
#include <utility>
#include <vector>

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

// Counts the widgets' beeps while it lives.
struct TBeepCounter {
  TBeepCounter() : Previous(SetKvBeepHook([this] { ++Count; })) {}
  ~TBeepCounter() { SetKvBeepHook(std::move(Previous)); }
  TBeepCounter(const TBeepCounter&) = delete;
  TBeepCounter& operator=(const TBeepCounter&) = delete;
  int Count = 0;
  TKvBeepHook Previous;
};

// A control of class T on Parent at Bounds, named Name when given.
template <class T>
T* Place(TWinControl* Parent, TRect Bounds, const std::string& Name = {}) {
  auto* C = new T(Parent);
  C->SetParent(Parent);
  C->SetBoundsRect(Bounds);
  if (!Name.empty()) C->SetName(Name);
  return C;
}

}  // namespace widgettest
