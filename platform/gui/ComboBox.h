#pragma once
// The combo box over QComboBox.
//
// Events follow the class library: only the user's choice of an item (a click in the
// list, the arrow keys, the wheel) raises OnClick and then OnSelect (OnChange instead
// when OnSelect is not assigned); typing in the edit part raises OnChange. Setting
// ItemIndex or Items in code raises nothing; setting Text of a style with an edit part
// raises OnChange, as a change of an edit's text does. OnDropDown runs before the list
// opens (it may still fill Items), OnCloseUp after it closed.
//
// Style can change at any time; the items, the selected item and (for the styles with
// an edit part) the text stay. A box built while its form loads makes the edit part of
// its style when loading ends, or before if its text or selection is used: a form's
// boxes are built as csDropDown and most are given a list style at once, and an edit
// part made and dropped again for each would cost start-up its time. The dropped list
// is made, and given the box's look and item drawing, the first time it is needed (as
// it opens, as a rule): making it costs as much as the rest of the box, and most boxes
// of a form are never opened. csSimple shows the list always, below the edit part.
// The owner-draw styles draw every item, and the selected one in the closed box (with
// odComboBoxEdit), through DrawItem on Canvas; csOwnerDrawVariable asks MeasureItem
// for each item's height.
//
// An item that carries an object (Objects, not nullptr) and leaves the list (Delete,
// Clear, Items replaced, the control destroyed) is reported to ItemDeleted once.

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "platform/gui/Strings.h"
#include "platform/gui/WidgetControl.h"

class QAbstractItemDelegate;
class QAbstractItemView;
class QComboBox;
class QLineEdit;
class QMouseEvent;
class QPainter;
class QRect;

enum TComboBoxStyle : uint8_t { csDropDown, csSimple, csDropDownList, csOwnerDrawFixed, csOwnerDrawVariable };

// The state of an item being drawn.
using TOwnerDrawState = uint16_t;
enum : TOwnerDrawState {
  odSelected = 0x0001, odGrayed = 0x0002, odDisabled = 0x0004, odChecked = 0x0008, odFocused = 0x0010,
  odDefault = 0x0020, odComboBoxEdit = 0x1000,
};

using TDrawItemEvent = std::function<void(TComponent* Control, int32_t Index, TRect Rect, TOwnerDrawState State)>;
using TMeasureItemEvent = std::function<void(TComponent* Control, int32_t Index, int32_t& Height)>;

class TCustomComboBox : public TWidgetControl {
public:
  explicit TCustomComboBox(TComponent* AOwner);
  ~TCustomComboBox() override;
  void BeforeDestruction() override;

  TComboBoxStyle Style() const { return FStyle; }
  void SetStyle(TComboBoxStyle Value);
  TStrings* Items() const { return FItems.get(); }
  void SetItems(const TStrings* Value) { FItems->Assign(*Value); }
  // -1 for none. Setting it raises no event.
  int32_t ItemIndex() const;
  void SetItemIndex(int32_t Value);
  // Styles with an edit part: typing may leave no item selected.
  bool ItemsEditable() const { return FStyle == csDropDown || FStyle == csSimple; }
  // The number of items the dropped list shows without scrolling.
  int32_t DropDownCount() const { return FDropDownCount; }
  void SetDropDownCount(int32_t Value);
  // The width of the dropped list; not narrower than the control (0: the control's width).
  int32_t DroppedWidth() const { return FDroppedWidth; }
  void SetDroppedWidth(int32_t Value);
  bool DroppedDown() const;
  void SetDroppedDown(bool Value);
  // The owner-draw styles' item height (others: the font's).
  int32_t ItemHeight() const;
  void SetItemHeight(int32_t Value);
  // Styles with an edit part: the longest text typed (0: no limit).
  int32_t MaxLength() const { return FMaxLength; }
  void SetMaxLength(int32_t Value);
  // Styles with an edit part: the typed text completes to the first item beginning with it.
  bool AutoComplete() const { return FAutoComplete; }
  void SetAutoComplete(bool Value);

  // The first item from StartAfter + 1 on (wrapping round; -1 searches all) that
  // begins with S, or equals S for the exact search, ignoring case; -1 when none does.
  int32_t FindString(const std::string& S, int32_t StartAfter = -1) const;
  int32_t FindStringExact(const std::string& S, int32_t StartAfter = -1) const;
  // The first item shown at the top of the list (meaningful while it is dropped down).
  int32_t TopIndex() const;
  void SetTopIndex(int32_t Value);

  // Styles with an edit part: the selection in it (see TCustomEdit).
  int32_t SelStart() const;
  void SetSelStart(int32_t Value);
  int32_t SelLength() const;
  void SetSelLength(int32_t Value);
  std::string SelText() const;
  void SelectAll();

  // Bound only while DrawItem runs.
  TCanvas* Canvas() const { return FCanvas.get(); }

  TNotifyEvent OnChange;
  TNotifyEvent OnSelect;
  TNotifyEvent OnDropDown;
  TNotifyEvent OnCloseUp;
  TDrawItemEvent OnDrawItem;
  TMeasureItemEvent OnMeasureItem;

protected:
  void Loaded() override;
  // The edit part of the styles that have one, made now if it is still due; nullptr for
  // the others.
  QLineEdit* EditPart() const;
  // OnChange.
  virtual void Change();
  // OnSelect, or Change without it.
  virtual void Select();
  virtual void DropDown();
  virtual void CloseUp();
  // Draws item Index in Rect on Canvas: OnDrawItem, or by default the text on the
  // brush colour (clHighlight for a selected item).
  virtual void DrawItem(int32_t Index, const TRect& Rect, TOwnerDrawState State);
  // csOwnerDrawVariable: OnMeasureItem may change Height (ItemHeight to start with).
  virtual void MeasureItem(int32_t Index, int32_t& Height);
  // After DrawItem: the focus rectangle of a focused item.
  virtual void DrawItemFocus(const TRect& Rect, TOwnerDrawState State);
  // The user chose item Index: Click, then Select.
  void UserSelected(int32_t Index);
  // An item whose object was Data left the list (nothing here). An exception goes to
  // Application->HandleException, as from a message, and the other items are still told.
  virtual void ItemDeleted(void* Data) { (void)Data; }

  std::string GetText() const override;
  void DoSetText(const std::string& Value) override;
  uint32_t WMGetDlgCode() override;
  void ApplyLook() override;
  void WMCut() override;
  void WMCopy() override;
  void WMPaste() override;
  void WMClear() override;
  void WMUndo() override;
  QComboBox* Combo() const;

public:
  // The height of the styles without an always-shown list follows the font (its cell
  // height plus 8 pixels); csSimple takes any height.
  void SetBounds(int32_t ALeft, int32_t ATop, int32_t AWidth, int32_t AHeight) override;
  // The edit part's own context menu (see TWidgetControl::PopupEditMenu).
  void ShowEditMenu(const TPoint& ScreenPos);

private:
  friend class TComboHost;
  class TComboStrings;
  class TItemDelegate;
  void ApplyStyle(bool Editable);
  void ApplyEditOptions();
  // What the dropped list takes from the box: item drawing, look, width.
  void SetUpList(QAbstractItemView* List);
  void ReportDeleted(const std::vector<void*>& Objects);
  void EditPartMouse(QMouseEvent* Event);
  void PaintItem(QPainter& Painter, int32_t Index, const QRect& Rect, TOwnerDrawState State);
  int32_t MeasuredHeight(int32_t Index);
  int32_t FaceHeight() const;
  bool OwnerDraw() const { return FStyle == csOwnerDrawFixed || FStyle == csOwnerDrawVariable; }

  TComboBoxStyle FStyle = csDropDown;
  std::unique_ptr<TStrings> FItems;
  std::unique_ptr<TCanvas> FCanvas;
  QAbstractItemDelegate* FQtDelegate = nullptr;
  TItemDelegate* FOwnerDelegate = nullptr;
  int32_t FDropDownCount = 8;
  int32_t FDroppedWidth = 0;
  int32_t FItemHeight = 16;
  int32_t FMaxLength = 0;
  bool FAutoComplete = true;
  // The style has an edit part that is not made yet (see above).
  bool FEditPartDue = false;
};

class TComboBox : public TCustomComboBox {
public:
  using TCustomComboBox::TCustomComboBox;
};
