#pragma once
// Popup panels: a panel that drops down like a menu.
//
// A TKvPopupPanel is built like any panel (its children are placed on it) and stays
// hidden. Popup moves its children into a frameless window (a TKvPopup) shown below a
// control, fitted into the work area of the monitor, and keeps it up (PopupLoop.h: the
// form stays active; keys go to the popup's first enabled windowed child) until the
// user clicks outside it (the click goes nowhere else), presses Escape or switches
// away, or until ClosePopup; in every case the children go back to the panel before
// the window goes.

#include <cstdint>
#include <memory>

#include "widgets/KvPanel.h"

class TKvPopupPanel;

// The look both share: a raised one-pixel frame (fsPopup) and a border of 2.
class TKvCustomPopup : public TKvCustomPanel {
public:
  explicit TKvCustomPopup(TComponent* AOwner);
};

// The window of one popup, made by the panel for it.
class TKvPopup : public TKvCustomPopup {
public:
  explicit TKvPopup(TKvPopupPanel* APanel);
  void BeforeDestruction() override;

  // Shows the panel's children below Control (or at (X, Y) from Control's top-left
  // corner when either is not -1), lined up with it by Alignment, and runs until the
  // popup closes. True when ClosePopup closed it.
  bool Popup(TControl* Control, TAlignment Alignment, int32_t X, int32_t Y);
  void ClosePopup();

private:
  void MoveChildrenBack();

  TKvPopupPanel* FPanel;
  TWinControl* FFocusedChild = nullptr;
  bool FDismissed = false;
  bool FHoldsChildren = false;
  std::shared_ptr<bool> FAlive = std::make_shared<bool>(true);
};

class TKvPopupPanel : public TKvCustomPopup {
public:
  explicit TKvPopupPanel(TComponent* AOwner);
  void BeforeDestruction() override;

  // Drops the panel down from Control: below it, its right edges lined up (Alignment
  // taRightJustify, the default), its left edges (taLeftJustify) or centred under it.
  // Returns false at once while a popup is open. Otherwise raises OnPopup, runs the
  // popup, raises OnClose and gives the focus back to the form's active control; true
  // when ClosePopup closed the popup, false when the user dismissed it.
  bool Popup(TControl* Control) { return PopupAt(Control, -1, -1); }
  // The same at (X, Y) from Control's top-left corner.
  bool PopupAt(TControl* Control, int32_t X, int32_t Y);
  // Closes the open popup (from a handler of one of its controls, say).
  void ClosePopup();

  // While a popup is open: the control it dropped from, and its window.
  TControl* PopupControl() const { return FControl; }
  TKvPopup* PopupWindow() const { return FPopup; }

  TNotifyEvent OnPopup;
  TNotifyEvent OnClose;

private:
  TControl* FControl = nullptr;
  TKvPopup* FPopup = nullptr;
  std::shared_ptr<bool> FAlive = std::make_shared<bool>(true);
};
