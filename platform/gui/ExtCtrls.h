#pragma once
// Timers, panels and images.

#include <cstdint>
#include <memory>

#include "platform/gui/Controls.h"

class QTimer;

// Raises OnTimer every Interval milliseconds while Enabled (and Interval is not 0).
// Changing Interval or Enabled starts the period again.
//
// The test clock: while it is on, timers do not run by themselves; Advance(ms) moves
// the clock on and fires every timer that falls due meanwhile, in the order of their
// due times (timers due at the same time in the order they were started), each at its
// own due time. Handlers may start, stop and change timers. GetTickCount follows the
// clock. Tests switch it on and never wait.
class TTimer : public TComponent {
public:
  explicit TTimer(TComponent* AOwner);
  ~TTimer() override;
  void BeforeDestruction() override;

  uint32_t Interval() const { return FInterval; }
  void SetInterval(uint32_t Value);
  bool Enabled() const { return FEnabled; }
  void SetEnabled(bool Value);
  int32_t Tag() const { return FTag; }
  void SetTag(int32_t Value) { FTag = Value; }

  TNotifyEvent OnTimer;

  static void SetTestClock(bool On);
  static bool TestClock();
  // Raises EInvalidOperation when the test clock is off or Advance is already running.
  static void Advance(uint32_t Milliseconds);

protected:
  virtual void Timer();

private:
  friend struct TTimerClock;
  void UpdateTimer();
  bool Running() const;

  uint32_t FInterval = 1000;
  bool FEnabled = true;
  int32_t FTag = 0;
  std::unique_ptr<QTimer> FTimer;
  uint64_t FDue = 0;
  uint64_t FOrder = 0;
};

// Milliseconds on a monotonic clock (the test clock's time while it is on); wraps
// after about 49 days.
uint32_t GetTickCount();

enum TPanelBevel : uint8_t { bvNone, bvLowered, bvRaised, bvSpace };

// Draws Width nested one-pixel frames inside Rect (top and left in TopColor, bottom
// and right in BottomColor) and moves Rect in by Width on each side.
void Frame3D(TCanvas* Canvas, TRect& Rect, TColor TopColor, TColor BottomColor, int32_t Width);

// A container with an outer bevel, a border of the panel's colour, an inner bevel and a
// caption centred vertically. Child alignment works inside the bevels and the border.
class TCustomPanel : public TCustomControl {
public:
  explicit TCustomPanel(TComponent* AOwner);

  TAlignment Alignment() const { return FAlignment; }
  void SetAlignment(TAlignment Value);
  TPanelBevel BevelInner() const { return FBevelInner; }
  void SetBevelInner(TPanelBevel Value);
  TPanelBevel BevelOuter() const { return FBevelOuter; }
  void SetBevelOuter(TPanelBevel Value);
  int32_t BevelWidth() const { return FBevelWidth; }
  void SetBevelWidth(int32_t Value);
  int32_t BorderWidth() const { return FBorderWidth; }
  void SetBorderWidth(int32_t Value);
  // Off: a change of size repaints only the area it uncovers (and what the panel itself
  // asks for); on: all of the panel.
  bool FullRepaint() const { return FFullRepaint; }
  void SetFullRepaint(bool Value);
  // Stored only: it keeps a document embedded in place from taking the panel over for
  // its tools, and nothing here embeds documents.
  bool Locked() const { return FLocked; }
  void SetLocked(bool Value) { FLocked = Value; }

protected:
  void Paint() override;
  void AdjustClientRect(TRect& Rect) override;
  // Asks for a paint of R (client coordinates) only.
  void InvalidateRect(const TRect& R);

private:
  void Rebuild();

  TAlignment FAlignment = taCenter;
  TPanelBevel FBevelInner = bvNone;
  TPanelBevel FBevelOuter = bvRaised;
  int32_t FBevelWidth = 1;
  int32_t FBorderWidth = 0;
  bool FFullRepaint = true;
  bool FLocked = false;
};

class TPanel : public TCustomPanel {
public:
  using TCustomPanel::TCustomPanel;
};

// A picture on a form: drawn at the control's top left, centred in it, or stretched
// over it. Where the picture is transparent (or does not reach) the parent shows.
class TImage : public TGraphicControl {
public:
  explicit TImage(TComponent* AOwner);
  ~TImage() override;

  TPicture* Picture() const { return FPicture.get(); }
  void SetPicture(const TPicture* Value) { FPicture->Assign(*Value); }
  bool Center() const { return FCenter; }
  void SetCenter(bool Value);
  bool Stretch() const { return FStretch; }
  void SetStretch(bool Value);

protected:
  void Paint() override;

private:
  std::unique_ptr<TPicture> FPicture;
  bool FCenter = false;
  bool FStretch = false;
};
