#pragma once
// The program's hint window: borderless with rounded corners, navy text centred in a
// maroon rounded frame, one space wider and two spaces' width taller than a standard
// hint of the same text. The main window installs it as the application's hint window
// class (InstallHintWindow in UFormMain); a drop shadow is the desktop's affair.

#include <memory>
#include <string>

#include "platform/gui/HintWindow.h"

class TRegion;

class THintWnd : public THintWindow {
public:
  explicit THintWnd(TComponent* AOwner);
  ~THintWnd() override;
  void BeforeDestruction() override;

  void ActivateHint(TRect Rect, const std::string& AHint) override;
  // The part of the window that shows; nullptr before the first hint.
  const TRegion* Region() const { return FRegion.get(); }

protected:
  // The standard styles without the one-pixel border.
  void CreateParams(TCreateParams& Params) override;
  void Paint() override;

private:
  void FreeRegion();

  std::unique_ptr<TRegion> FRegion;
};
