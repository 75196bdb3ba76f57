#pragma once
// Popup menus: a tree of menu items shown at a screen position.
//
// A menu is built afresh from its items each time it pops up (over QMenu), so items
// may change at any time, also from OnPopup. Popup runs through ExecuteDialog
// (Dialogs.h) as a dkPopupMenu request: a responder picks an item or dismisses the
// menu, so no test ever blocks on it. The chosen item's Click runs before Popup returns.

#include <cstdint>
#include <string>
#include <vector>

#include "platform/gui/Messages.h"
#include "platform/gui/Types.h"
#include "platform/rtl/Classes.h"
#include "platform/rtl/SysUtils.h"

class TCustomImageList;
class TPopupMenu;

// One entry of a menu. A caption of "-" makes a separator line; '&' marks the next
// character as the accelerator ("&&" is one '&'). An item frees its sub-items.
class TMenuItem : public TComponent {
public:
  explicit TMenuItem(TComponent* AOwner);
  ~TMenuItem() override;
  void BeforeDestruction() override;

  const std::string& Caption() const { return FCaption; }
  void SetCaption(const std::string& Value) { FCaption = Value; }
  bool IsLine() const { return FCaption == "-"; }
  bool Checked() const { return FChecked; }
  // Checking a radio item unchecks the other radio items of its group among its
  // siblings.
  void SetChecked(bool Value);
  bool RadioItem() const { return FRadioItem; }
  void SetRadioItem(bool Value) { FRadioItem = Value; }
  uint8_t GroupIndex() const { return FGroupIndex; }
  void SetGroupIndex(uint8_t Value) { FGroupIndex = Value; }
  bool Enabled() const { return FEnabled; }
  void SetEnabled(bool Value) { FEnabled = Value; }
  bool Visible() const { return FVisible; }
  void SetVisible(bool Value) { FVisible = Value; }
  // An image of the menu's Images; -1 for none.
  int32_t ImageIndex() const { return FImageIndex; }
  void SetImageIndex(int32_t Value) { FImageIndex = Value; }
  // Shown beside the caption.
  TShortCut ShortCut() const { return FShortCut; }
  void SetShortCut(TShortCut Value) { FShortCut = Value; }
  int32_t Tag() const { return FTag; }
  void SetTag(int32_t Value) { FTag = Value; }

  // Sub-items.
  int32_t Count() const { return static_cast<int32_t>(FItems.size()); }
  TMenuItem* Items(int32_t Index) const;
  TMenuItem* Parent() const { return FParent; }
  // The index among the parent's items; -1 without a parent.
  int32_t MenuIndex() const;
  int32_t IndexOf(const TMenuItem* Item) const;
  // Takes Item from the menu it was in. Raises EMenuError for an item that holds this one.
  void Add(TMenuItem* Item);
  void Insert(int32_t Index, TMenuItem* Item);
  // Removes the item from this menu without freeing it.
  void Delete(int32_t Index);
  void Remove(TMenuItem* Item);
  // Frees every sub-item.
  void Clear();
  // Whether Item is this item or lies anywhere below it.
  bool Contains(const TMenuItem* Item) const;

  // Raises OnClick.
  virtual void Click();
  TNotifyEvent OnClick;

private:
  std::string FCaption;
  bool FChecked = false;
  bool FRadioItem = false;
  uint8_t FGroupIndex = 0;
  bool FEnabled = true;
  bool FVisible = true;
  int32_t FImageIndex = -1;
  TShortCut FShortCut = 0;
  int32_t FTag = 0;
  TMenuItem* FParent = nullptr;
  std::vector<TMenuItem*> FItems;
};

// Which side of the menu the popup point is: its left edge, its right edge or its middle.
enum TPopupAlignment : uint8_t { paLeft, paRight, paCenter };

class TPopupMenu : public TComponent {
public:
  explicit TPopupMenu(TComponent* AOwner);
  ~TPopupMenu() override;
  void BeforeDestruction() override;

  // The root item; the menu's entries are its sub-items.
  TMenuItem* Items() const { return FItems; }
  TCustomImageList* Images() const { return FImages; }
  void SetImages(TCustomImageList* Value);
  // Whether a control shows the menu by itself on a right click or the menu key.
  bool AutoPopup() const { return FAutoPopup; }
  void SetAutoPopup(bool Value) { FAutoPopup = Value; }
  // The control (or other component) the menu popped up for; cleared when it goes.
  TComponent* PopupComponent() const { return FPopupComponent; }
  void SetPopupComponent(TComponent* Value);
  // Where the menu last popped up, in screen coordinates.
  TPoint PopupPoint() const { return FPopupPoint; }

  TPopupAlignment Alignment() const { return FAlignment; }
  void SetAlignment(TPopupAlignment Value) { FAlignment = Value; }

  // Raises OnPopup and shows the menu with its top edge at Y and, by Alignment, its
  // left edge, right edge or middle at X (screen coordinates).
  virtual void Popup(int32_t X, int32_t Y);
  TNotifyEvent OnPopup;

protected:
  virtual void DoPopup();
  void Notification(TComponent* AComponent, TOperation Operation) override;

private:
  TMenuItem* FItems;
  TCustomImageList* FImages = nullptr;
  bool FAutoPopup = true;
  TPopupAlignment FAlignment = paLeft;
  TComponent* FPopupComponent = nullptr;
  TPoint FPopupPoint;
};

class EMenuError : public Exception {
public:
  using Exception::Exception;
};

// "Ctrl+Shift+F4" and the like; empty for 0.
std::string ShortCutToText(TShortCut ShortCut);
