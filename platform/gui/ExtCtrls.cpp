#include "platform/gui/ExtCtrls.h"

#include <QTimer>
#include <QWidget>
#include <algorithm>
#include <chrono>
#include <vector>

#include "platform/gui/GuiInternal.h"

// ---------------------------------------------------------------------------
// Timers and the test clock

struct TTimerClock {
  static inline bool On = false;
  static inline bool Advancing = false;
  static inline uint64_t Now = 0;
  static inline uint64_t NextOrder = 0;
  static inline std::vector<TTimer*> Timers;

  // The running timer due first (by due time, then start order) no later than Limit.
  static TTimer* NextDue(uint64_t Limit) {
    TTimer* Best = nullptr;
    for (TTimer* T : Timers)
      if (T->Running() && T->FDue <= Limit &&
          (!Best || T->FDue < Best->FDue || (T->FDue == Best->FDue && T->FOrder < Best->FOrder)))
        Best = T;
    return Best;
  }
};

TTimer::TTimer(TComponent* AOwner) : TComponent(AOwner), FTimer(std::make_unique<QTimer>()) {
  QObject::connect(FTimer.get(), &QTimer::timeout, [this] { RunGuarded([this] { Timer(); }, this); });
  TTimerClock::Timers.push_back(this);
  UpdateTimer();
}

TTimer::~TTimer() { std::erase(TTimerClock::Timers, this); }

void TTimer::BeforeDestruction() {
  FEnabled = false;
  UpdateTimer();
  TComponent::BeforeDestruction();
}

bool TTimer::Running() const { return FEnabled && FInterval > 0; }

void TTimer::UpdateTimer() {
  FTimer->stop();
  if (!Running()) return;
  if (TTimerClock::On) {
    FDue = TTimerClock::Now + FInterval;
    FOrder = TTimerClock::NextOrder++;
  } else {
    FTimer->start(static_cast<int>(FInterval));
  }
}

void TTimer::SetInterval(uint32_t Value) {
  if (Value == FInterval) return;
  FInterval = Value;
  UpdateTimer();
}

void TTimer::SetEnabled(bool Value) {
  if (Value == FEnabled) return;
  FEnabled = Value;
  UpdateTimer();
}

void TTimer::Timer() {
  if (OnTimer) OnTimer(this);
}

void TTimer::SetTestClock(bool On) {
  if (On == TTimerClock::On) return;
  TTimerClock::On = On;
  for (TTimer* T : TTimerClock::Timers) T->UpdateTimer();
}

bool TTimer::TestClock() { return TTimerClock::On; }

void TTimer::Advance(uint32_t Milliseconds) {
  if (!TTimerClock::On) throw EInvalidOperation("The test clock is not running");
  if (TTimerClock::Advancing) throw EInvalidOperation("The test clock is already advancing");
  TTimerClock::Advancing = true;
  struct TDone {
    ~TDone() { TTimerClock::Advancing = false; }
  } Done;
  const uint64_t Target = TTimerClock::Now + Milliseconds;
  while (TTimer* T = TTimerClock::NextDue(Target)) {
    TTimerClock::Now = T->FDue;
    // The next period is counted from this due time, as a running timer's would be.
    T->FDue += T->FInterval;
    T->FOrder = TTimerClock::NextOrder++;
    RunGuarded([T] { T->Timer(); }, T);
  }
  TTimerClock::Now = Target;
}

uint32_t GetTickCount() {
  if (TTimerClock::On) return static_cast<uint32_t>(TTimerClock::Now);
  static const auto Start = std::chrono::steady_clock::now();
  return static_cast<uint32_t>(
      std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - Start).count());
}

// ---------------------------------------------------------------------------
// Panels

void Frame3D(TCanvas* Canvas, TRect& Rect, TColor TopColor, TColor BottomColor, int32_t Width) {
  Canvas->Pen()->SetWidth(1);
  --Rect.Bottom;
  --Rect.Right;
  for (; Width > 0; --Width) {
    Canvas->Pen()->SetColor(TopColor);
    Canvas->Polyline({{Rect.Left, Rect.Bottom}, {Rect.Left, Rect.Top}, {Rect.Right, Rect.Top}});
    Canvas->Pen()->SetColor(BottomColor);
    Canvas->Polyline({{Rect.Right, Rect.Top}, {Rect.Right, Rect.Bottom}, {Rect.Left - 1, Rect.Bottom}});
    InflateRect(Rect, -1, -1);
  }
  ++Rect.Bottom;
  ++Rect.Right;
}

TCustomPanel::TCustomPanel(TComponent* AOwner) : TCustomControl(AOwner) {
  SetControlStyle(csAcceptsControls | csCaptureMouse | csClickEvents | csSetCaption | csOpaque | csDoubleClicks |
                  csReplicatable);
  SetBounds(0, 0, 185, 41);
  SetColor(clBtnFace);
}

void TCustomPanel::Rebuild() {
  Realign();
  Invalidate();
}

void TCustomPanel::SetAlignment(TAlignment Value) {
  if (Value == FAlignment) return;
  FAlignment = Value;
  Invalidate();
}

void TCustomPanel::SetBevelInner(TPanelBevel Value) {
  if (Value == FBevelInner) return;
  FBevelInner = Value;
  Rebuild();
}

void TCustomPanel::SetBevelOuter(TPanelBevel Value) {
  if (Value == FBevelOuter) return;
  FBevelOuter = Value;
  Rebuild();
}

void TCustomPanel::SetBevelWidth(int32_t Value) {
  if (Value < 1 || Value == FBevelWidth) return;
  FBevelWidth = Value;
  Rebuild();
}

void TCustomPanel::SetBorderWidth(int32_t Value) {
  if (Value < 0 || Value == FBorderWidth) return;
  FBorderWidth = Value;
  Rebuild();
}

void TCustomPanel::SetFullRepaint(bool Value) {
  if (Value == FFullRepaint) return;
  FFullRepaint = Value;
  // Static contents: Qt then repaints only what a change of size uncovers.
  if (QWidget* W = Host()) W->setAttribute(Qt::WA_StaticContents, !Value);
}

void TCustomPanel::InvalidateRect(const TRect& R) {
  if (QWidget* W = Host()) W->update(R.Left, R.Top, R.Width(), R.Height());
}

void TCustomPanel::AdjustClientRect(TRect& Rect) {
  TCustomControl::AdjustClientRect(Rect);
  int32_t Size = FBorderWidth;
  if (FBevelOuter != bvNone) Size += FBevelWidth;
  if (FBevelInner != bvNone) Size += FBevelWidth;
  InflateRect(Rect, -Size, -Size);
}

namespace {

// Highlight over shadow for a raised bevel, the reverse for a lowered one, the panel's
// colour on both for a blank band.
void BevelColors(TPanelBevel Bevel, TColor Face, TColor& Top, TColor& Bottom) {
  switch (Bevel) {
    case bvLowered: Top = clBtnShadow; Bottom = clBtnHighlight; break;
    case bvSpace: Top = Face; Bottom = Face; break;
    default: Top = clBtnHighlight; Bottom = clBtnShadow; break;
  }
}

}  // namespace

void TCustomPanel::Paint() {
  static constexpr uint32_t Alignments[] = {DT_LEFT, DT_RIGHT, DT_CENTER};
  TCanvas* C = Canvas();
  TRect R = ClientRect();
  TColor Top, Bottom;
  if (FBevelOuter != bvNone) {
    BevelColors(FBevelOuter, Color(), Top, Bottom);
    Frame3D(C, R, Top, Bottom, FBevelWidth);
  }
  Frame3D(C, R, Color(), Color(), FBorderWidth);
  if (FBevelInner != bvNone) {
    BevelColors(FBevelInner, Color(), Top, Bottom);
    Frame3D(C, R, Top, Bottom, FBevelWidth);
  }
  C->Brush()->SetColor(Color());
  C->FillRect(R);
  C->Brush()->SetStyle(bsClear);
  C->SetFont(Font());
  const int32_t FontHeight = C->TextHeight("W");
  R.Top = (R.Bottom + R.Top - FontHeight) / 2;
  R.Bottom = R.Top + FontHeight;
  C->DrawText(Caption(), R, DrawTextBiDiModeFlags(DT_EXPANDTABS | DT_VCENTER | Alignments[FAlignment]));
}

// ---------------------------------------------------------------------------
// TImage

TImage::TImage(TComponent* AOwner) : TGraphicControl(AOwner), FPicture(std::make_unique<TPicture>()) {
  SetBounds(0, 0, 105, 105);
  FPicture->OnChange = [this](TComponent*) { Invalidate(); };
}

TImage::~TImage() { FPicture->OnChange = nullptr; }

void TImage::SetCenter(bool Value) {
  if (FCenter == Value) return;
  FCenter = Value;
  Invalidate();
}

void TImage::SetStretch(bool Value) {
  if (FStretch == Value) return;
  FStretch = Value;
  Invalidate();
}

void TImage::Paint() {
  const TGraphic* G = FPicture->Graphic();
  if (!G || G->Empty()) return;
  if (FStretch)
    Canvas()->StretchDraw(ClientRect(), G);
  else if (FCenter)
    Canvas()->Draw((Width() - G->Width()) / 2, (Height() - G->Height()) / 2, G);
  else
    Canvas()->Draw(0, 0, G);
}
