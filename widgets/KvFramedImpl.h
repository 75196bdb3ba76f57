#pragma once
// The definitions of TKvFramed (KvFramed.h), for the sources that instantiate it.

#include "platform/gui/Themes.h"
#include "widgets/KvFramed.h"

template <class Base>
TKvFramed<Base>::TKvFramed(TComponent* AOwner) : Base(AOwner) {}

template <class Base>
void TKvFramed<Base>::Loaded() {
  Base::Loaded();
  UpdateColors();
  SetFrameState(kfsFocus, false);
}

template <class Base>
bool TKvFramed<Base>::UseThemes() const {
  return FFramingPreference == fpXPThemes && ThemesEnabled();
}

// ---------------------------------------------------------------------------
// Colours

template <class Base>
void TKvFramed<Base>::UpdateColors() {
  if (this->Loading()) return;
  TColor New = FNormalColor;
  if (!this->Enabled())
    New = FDisabledColor;
  else if (FFocusedState)
    New = StateReadOnly() && FReadOnlyColorOnFocus ? FReadOnlyColor : FFocusColor;
  else if (StateReadOnly())
    New = FReadOnlyColor;
  FUpdatingColor = true;
  struct TDone {
    bool& Flag;
    ~TDone() { Flag = false; }
  } Done{FUpdatingColor};
  this->SetColor(New);
}

template <class Base>
void TKvFramed<Base>::CMColorChanged() {
  if (!FUpdatingColor) {
    // A colour from outside is the new normal colour; a focus colour that was the same
    // goes along with it.
    if (FFocusColor == FNormalColor) FFocusColor = this->Color();
    FNormalColor = this->Color();
    if (FFrameVisible && !UseThemes()) RepaintFrame();
  }
  Base::CMColorChanged();
}

template <class Base>
void TKvFramed<Base>::SetDisabledColor(TColor Value) {
  if (Value == FDisabledColor) return;
  FDisabledColor = Value;
  if (!this->Enabled()) UpdateColors();
}

template <class Base>
void TKvFramed<Base>::SetFocusColor(TColor Value) {
  if (Value == FFocusColor) return;
  FFocusColor = Value;
  if (FFocusedState) UpdateColors();
}

template <class Base>
void TKvFramed<Base>::SetReadOnlyColor(TColor Value) {
  if (Value == FReadOnlyColor) return;
  FReadOnlyColor = Value;
  if (StateReadOnly()) UpdateColors();
}

template <class Base>
void TKvFramed<Base>::SetReadOnlyColorOnFocus(bool Value) {
  if (Value == FReadOnlyColorOnFocus) return;
  FReadOnlyColorOnFocus = Value;
  if (StateReadOnly()) UpdateColors();
}

// ---------------------------------------------------------------------------
// Frame

template <class Base>
template <class T>
void TKvFramed<Base>::ChangeFrame(T& Field, T Value) {
  if (Field == Value) return;
  Field = Value;
  RepaintFrame();
}

template <class Base>
void TKvFramed<Base>::SetFrameColor(TColor Value) {
  ChangeFrame(FFrameColor, Value);
}
template <class Base>
void TKvFramed<Base>::SetFrameHotColor(TColor Value) {
  ChangeFrame(FFrameHotColor, Value);
}
template <class Base>
void TKvFramed<Base>::SetFrameHotStyle(TFrameStyle Value) {
  ChangeFrame(FFrameHotStyle, Value);
}
template <class Base>
void TKvFramed<Base>::SetFrameSides(TSides Value) {
  ChangeFrame(FFrameSides, TSides(Value & sdsAll));
}
template <class Base>
void TKvFramed<Base>::SetFrameStyle(TFrameStyle Value) {
  ChangeFrame(FFrameStyle, Value);
}

template <class Base>
void TKvFramed<Base>::SetFrameHotTrack(bool Value) {
  if (Value == FFrameHotTrack) return;
  FFrameHotTrack = Value;
  if (Value) {
    SetFrameVisible(true);
    if (!this->Loading()) SetFrameSides(sdsAll);
  }
  RepaintFrame();
}

template <class Base>
void TKvFramed<Base>::SetFrameVisible(bool Value) {
  if (Value == FFrameVisible) return;
  FFrameVisible = Value;
  FrameVisibleChanged();
}

template <class Base>
void TKvFramed<Base>::SetFramingPreference(TFramingPreference Value) {
  if (Value == FFramingPreference) return;
  FFramingPreference = Value;
  if (Value == fpCustomFraming) RepaintFrame();
}

template <class Base>
void TKvFramed<Base>::RepaintFrame() {
  if (!this->Loading()) RedrawNonClientFrame(this, Rect(0, 0, this->Width(), this->Height()));
}

template <class Base>
void TKvFramed<Base>::PaintFrame(TCanvas* Canvas) {
  const bool Hot = FrameHot();
  PaintEditFrame(Canvas, this->Width(), this->Height(), false, FFrameSides, Hot ? FFrameHotColor : FFrameColor,
                 this->Color(), Hot ? FFrameHotStyle : FFrameStyle);
}

template <class Base>
void TKvFramed<Base>::WMNCPaint(TCanvas* Canvas) {
  if (FFrameVisible && !UseThemes())
    PaintFrame(Canvas);
  else
    Base::WMNCPaint(Canvas);
}

// ---------------------------------------------------------------------------
// States

template <class Base>
void TKvFramed<Base>::SetFrameState(TKvFrameState Which, bool Value) {
  (Which == kfsFocus ? FFocusedState : FHotState) = Value;
  if (RepaintOnState()) RepaintFrame();
  UpdateColors();
}

template <class Base>
void TKvFramed<Base>::CMEnabledChanged() {
  Base::CMEnabledChanged();
  UpdateColors();
  RepaintFrame();
}

template <class Base>
void TKvFramed<Base>::CMEnter() {
  SetFrameState(kfsFocus, true);
  Base::CMEnter();
}

template <class Base>
void TKvFramed<Base>::CMExit() {
  SetFrameState(kfsFocus, false);
  Base::CMExit();
}

template <class Base>
void TKvFramed<Base>::CMMouseEnter() {
  SetFrameState(kfsHot, true);
  Base::CMMouseEnter();
}

template <class Base>
void TKvFramed<Base>::CMMouseLeave() {
  SetFrameState(kfsHot, false);
  Base::CMMouseLeave();
}

// ---------------------------------------------------------------------------
// Frame controller

template <class Base>
void TKvFramed<Base>::Notification(TComponent* AComponent, TOperation Operation) {
  Base::Notification(AComponent, Operation);
  FFrameLink.Notification(AComponent, Operation);
}

template <class Base>
void TKvFramed<Base>::SetFrameSetting(TKvFrameControllerPropertyConnection Index, uint32_t Value) {
  const bool On = Value != 0;
  switch (Index) {
    case fcpColor: this->SetColor(Value); break;
    case fcpParentColor: this->SetParentColor(On); break;
    case fcpFocusColor: SetFocusColor(Value); break;
    case fcpDisabledColor: SetDisabledColor(Value); break;
    case fcpReadOnlyColor: SetReadOnlyColor(Value); break;
    case fcpReadOnlyColorOnFocus: SetReadOnlyColorOnFocus(On); break;
    case fcpFrameColor: SetFrameColor(Value); break;
    case fcpFrameHotColor: SetFrameHotColor(Value); break;
    case fcpFrameHotTrack: SetFrameHotTrack(On); break;
    case fcpFrameHotStyle: SetFrameHotStyle(TFrameStyle(Value)); break;
    case fcpFrameSides: SetFrameSides(TSides(Value)); break;
    case fcpFrameStyle: SetFrameStyle(TFrameStyle(Value)); break;
    case fcpFrameVisible: SetFrameVisible(On); break;
    case fcpFramingPreference: SetFramingPreference(TFramingPreference(Value)); break;
    default: break;
  }
}
