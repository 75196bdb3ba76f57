#include "platform/gui/Menus.h"

#include <QActionGroup>
#include <QIcon>
#include <QMenu>
#include <QPixmap>
#include <algorithm>
#include <map>
#include <utility>

#include "platform/gui/Controls.h"
#include "platform/gui/Dialogs.h"
#include "platform/gui/ImgList.h"
#include "platform/gui/QtSupport.h"

// ---------------------------------------------------------------------------
// TMenuItem

TMenuItem::TMenuItem(TComponent* AOwner) : TComponent(AOwner) {}

TMenuItem::~TMenuItem() {
  if (FParent) FParent->Remove(this);
  for (TMenuItem* Item : FItems) Item->FParent = nullptr;
}

void TMenuItem::BeforeDestruction() {
  TComponent::BeforeDestruction();
  while (!FItems.empty()) FItems.back()->Free();
  if (FParent) FParent->Remove(this);
}

TMenuItem* TMenuItem::Items(int32_t Index) const {
  if (Index < 0 || Index >= Count()) throw EMenuError("Menu index out of range");
  return FItems[static_cast<size_t>(Index)];
}

int32_t TMenuItem::MenuIndex() const { return FParent ? FParent->IndexOf(this) : -1; }

int32_t TMenuItem::IndexOf(const TMenuItem* Item) const {
  const auto It = std::find(FItems.begin(), FItems.end(), Item);
  return It == FItems.end() ? -1 : static_cast<int32_t>(It - FItems.begin());
}

bool TMenuItem::Contains(const TMenuItem* Item) const {
  for (; Item; Item = Item->FParent)
    if (Item == this) return true;
  return false;
}

void TMenuItem::Add(TMenuItem* Item) { Insert(Count(), Item); }

void TMenuItem::Insert(int32_t Index, TMenuItem* Item) {
  if (!Item) return;
  if (Item->Contains(this)) throw EMenuError("A menu item cannot hold itself");
  if (Item->FParent) Item->FParent->Remove(Item);
  Index = std::clamp<int32_t>(Index, 0, Count());
  FItems.insert(FItems.begin() + Index, Item);
  Item->FParent = this;
}

void TMenuItem::Delete(int32_t Index) {
  TMenuItem* Item = Items(Index);
  FItems.erase(FItems.begin() + Index);
  Item->FParent = nullptr;
}

void TMenuItem::Remove(TMenuItem* Item) {
  if (const int32_t I = IndexOf(Item); I >= 0) Delete(I);
}

void TMenuItem::Clear() {
  while (!FItems.empty()) FItems.back()->Free();
}

void TMenuItem::SetChecked(bool Value) {
  FChecked = Value;
  if (!Value || !FRadioItem || !FParent) return;
  for (TMenuItem* Other : FParent->FItems)
    if (Other != this && Other->FRadioItem && Other->FGroupIndex == FGroupIndex) Other->FChecked = false;
}

void TMenuItem::Click() {
  if (OnClick) OnClick(this);
}

// ---------------------------------------------------------------------------
// TPopupMenu

TPopupMenu::TPopupMenu(TComponent* AOwner) : TComponent(AOwner), FItems(new TMenuItem(this)) {}

TPopupMenu::~TPopupMenu() = default;

void TPopupMenu::BeforeDestruction() {
  SetImages(nullptr);
  SetPopupComponent(nullptr);
  TComponent::BeforeDestruction();
}

void TPopupMenu::SetImages(TCustomImageList* Value) {
  if (Value == FImages) return;
  if (FImages) FImages->RemoveFreeNotification(this);
  FImages = Value;
  if (Value) Value->FreeNotification(this);
}

void TPopupMenu::SetPopupComponent(TComponent* Value) {
  if (Value == FPopupComponent) return;
  if (FPopupComponent) FPopupComponent->RemoveFreeNotification(this);
  FPopupComponent = Value;
  if (Value) Value->FreeNotification(this);
}

void TPopupMenu::Notification(TComponent* AComponent, TOperation Operation) {
  TComponent::Notification(AComponent, Operation);
  if (Operation != opRemove) return;
  if (AComponent == FImages) FImages = nullptr;
  if (AComponent == FPopupComponent) FPopupComponent = nullptr;
}

void TPopupMenu::DoPopup() {
  if (OnPopup) OnPopup(this);
}

namespace {

QIcon IconOf(const TCustomImageList* Images, int32_t Index) {
  if (!Images || Index < 0 || Index >= Images->Count()) return {};
  TBitmap Image;
  Images->GetBitmap(Index, &Image);
  return QIcon(QPixmap::fromImage(Image.Image()));
}

// Fills Menu with Parent's visible items; Items maps each action to its item.
void BuildMenu(QMenu& Menu, const TMenuItem* Parent, const TCustomImageList* Images,
               std::map<const QAction*, TMenuItem*>& Items) {
  std::map<uint8_t, QActionGroup*> Groups;
  for (int32_t I = 0; I < Parent->Count(); ++I) {
    TMenuItem* Item = Parent->Items(I);
    if (!Item->Visible()) continue;
    if (Item->IsLine()) {
      Menu.addSeparator();
      continue;
    }
    QAction* Action;
    if (Item->Count() > 0) {
      QMenu* Sub = Menu.addMenu(ToQString(Item->Caption()));
      BuildMenu(*Sub, Item, Images, Items);
      Action = Sub->menuAction();
    } else {
      // The shortcut's text after a tab goes to the menu's shortcut column; it is not
      // made a Qt shortcut, which would act on its own.
      const std::string Keys = ShortCutToText(Item->ShortCut());
      Action = Menu.addAction(ToQString(Keys.empty() ? Item->Caption() : Item->Caption() + '\t' + Keys));
      Items[Action] = Item;
    }
    Action->setEnabled(Item->Enabled());
    Action->setIcon(IconOf(Images, Item->ImageIndex()));
    if (Item->Checked() || Item->RadioItem()) {
      Action->setCheckable(true);
      Action->setChecked(Item->Checked());
    }
    if (Item->RadioItem()) {
      QActionGroup*& Group = Groups[Item->GroupIndex()];
      if (!Group) Group = new QActionGroup(&Menu);
      Group->addAction(Action);
    }
  }
}

}  // namespace

void TPopupMenu::Popup(int32_t X, int32_t Y) {
  FPopupPoint = {X, Y};
  DoPopup();
  TDialogRequest Request;
  Request.Kind = dkPopupMenu;
  Request.Owner = dynamic_cast<TControl*>(FPopupComponent);
  Request.Menu = this;
  Request.X = X;
  Request.Y = Y;
  Request.MenuAlignment = FAlignment;
  const TDialogAnswer Answer = ExecuteDialog(Request, [this, X, Y] {
    QMenu Menu;
    std::map<const QAction*, TMenuItem*> Items;
    BuildMenu(Menu, FItems, FImages, Items);
    TDialogAnswer Result;
    const int32_t Width = Menu.sizeHint().width();
    const int32_t Left = FAlignment == paRight ? X - Width : FAlignment == paCenter ? X - Width / 2 : X;
    if (const QAction* Chosen = Menu.exec(QPoint(Left, Y))) {
      const auto It = Items.find(Chosen);
      if (It != Items.end()) Result.MenuItem = It->second;
    }
    return Result;
  });
  // Only an enabled, visible command of this menu can be chosen.
  TMenuItem* Item = Answer.MenuItem;
  if (!Item || !FItems->Contains(Item) || Item == FItems || Item->IsLine() || Item->Count() > 0) return;
  for (const TMenuItem* I = Item; I != FItems; I = I->Parent())
    if (!I->Enabled() || !I->Visible()) return;
  Item->Click();
}

// ---------------------------------------------------------------------------

std::string ShortCutToText(TShortCut ShortCut) {
  const uint16_t Key = ShortCut & ~(scShift | scCtrl | scAlt);
  std::string Name;
  if ((Key >= 'A' && Key <= 'Z') || (Key >= '0' && Key <= '9'))
    Name = std::string(1, static_cast<char>(Key));
  else if (Key >= VK_F1 && Key <= VK_F12)
    Name = "F" + std::to_string(Key - VK_F1 + 1);
  else {
    static const std::pair<uint16_t, const char*> Names[] = {
        {VK_BACK, "BkSp"}, {VK_TAB, "Tab"},     {VK_RETURN, "Enter"},  {VK_ESCAPE, "Esc"},
        {VK_SPACE, "Space"},    {VK_PRIOR, "PgUp"},  {VK_NEXT, "PgDn"},     {VK_END, "End"},
        {VK_HOME, "Home"},      {VK_LEFT, "Left"},   {VK_UP, "Up"},         {VK_RIGHT, "Right"},
        {VK_DOWN, "Down"},      {VK_INSERT, "Ins"},  {VK_DELETE, "Del"},
    };
    for (const auto& [Code, Text] : Names)
      if (Code == Key) Name = Text;
  }
  if (Name.empty()) return {};
  std::string Result;
  if (ShortCut & scCtrl) Result += "Ctrl+";
  if (ShortCut & scShift) Result += "Shift+";
  if (ShortCut & scAlt) Result += "Alt+";
  return Result + Name;
}
