// Popup panels: every way out (a click outside, swallowed; Escape; leaving the
// application; ClosePopup by code or from a child) puts the children back; keys reach
// the popup's first child; the popup is placed below its control inside the work area.
#include "tests/widgets/BarsTest.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QWidget>
#include <functional>

#include "widgets/KvPopups.h"
#include "widgets/KvToolBtn.h"

using namespace barstest;
using testsupport::KeyClick;
using testsupport::MouseClick;

namespace {

struct TPopupForm : TBarsForm {
  TPopupForm() {
    Drop = Place<TKvToolButton>(Bounds(200, 20, 25, 25));
    Other = Place<TKvToolButton>(Bounds(20, 200, 25, 25));
    Other->OnClick = OtherClicks.Handler();
    Other->OnMouseDown = [this](TComponent*, TMouseButton, TShiftState, int32_t, int32_t) { ++OtherPresses; };
    Panel = Place<TKvPopupPanel>(Bounds(0, 0, 100, 100));
    Field = Place<TKvPanel>(Bounds(5, 5, 60, 20), Panel);
    Field->OnKeyDown = [this](TComponent*, uint16_t& Key, TShiftState) { Keys.push_back(Key); };
    Closer = Place<TKvToolButton>(Bounds(5, 30, 25, 25), Panel);
    Closer->OnClick = [this](TComponent*) { Panel->ClosePopup(); };
    Panel->OnPopup = Popups.Handler();
    Panel->OnClose = Closes.Handler();
  }
  TKvToolButton* Drop;
  TKvToolButton* Other;
  TKvPopupPanel* Panel;
  TKvPanel* Field;
  TKvToolButton* Closer;
  TClicks OtherClicks, Popups, Closes;
  int32_t OtherPresses = 0;
  std::vector<uint16_t> Keys;
};

}  // namespace

TEST(KvPopupPanel, EveryWayOutPutsTheChildrenBack) {
  struct TCase {
    const char* Name;
    std::function<void(TPopupForm&)> Leave;
    bool Closed;  // PopupAt's answer
  };
  const TCase Cases[] = {
      {"outside click", [](TPopupForm& P) { MouseClick(P.Other, 5, 5); }, false},
      {"escape",
       [](TPopupForm& P) {
         KeyClick(Qt::Key_A);
         EXPECT_EQ(P.Keys, std::vector<uint16_t>{'A'});
         KeyClick(Qt::Key_Escape);
       },
       false},
      {"application left", [](TPopupForm&) { QApplication::setActiveWindow(nullptr); }, false},
      {"code", [](TPopupForm& P) { P.Panel->ClosePopup(); }, true},
      {"child", [](TPopupForm& P) { MouseClick(P.Closer, 5, 5); }, true},
  };
  for (const TCase& C : Cases) {
    TPopupForm P;
    bool Inside = false;
    const TInsidePopup During([&]() -> TWinControl* { return P.Panel->PopupWindow(); }, [&] {
      Inside = true;
      TKvPopup* Window = P.Panel->PopupWindow();
      EXPECT_EQ(P.Field->Parent(), Window) << C.Name;
      EXPECT_EQ(P.Closer->Parent(), Window) << C.Name;
      EXPECT_EQ(P.Panel->PopupControl(), P.Drop) << C.Name;
      EXPECT_TRUE(P.Form.Active()) << "the form keeps the activation: " << C.Name;
      EXPECT_FALSE(P.Panel->Popup(P.Other)) << "a second popup: " << C.Name;
      C.Leave(P);
    });
    EXPECT_EQ(P.Panel->Popup(P.Drop), C.Closed) << C.Name;
    EXPECT_TRUE(Inside) << C.Name;
    EXPECT_EQ(P.Field->Parent(), P.Panel) << C.Name;
    EXPECT_EQ(P.Closer->Parent(), P.Panel) << C.Name;
    EXPECT_EQ(P.Panel->PopupWindow(), nullptr) << C.Name;
    EXPECT_EQ(P.Panel->PopupControl(), nullptr) << C.Name;
    EXPECT_EQ(P.Popups.Count, 1) << C.Name;
    EXPECT_EQ(P.Closes.Count, 1) << C.Name;
    // The click that closed the popup reached nothing, and nothing stays in its way.
    EXPECT_EQ(P.OtherPresses, 0) << C.Name;
    EXPECT_EQ(P.OtherClicks.Count, 0) << C.Name;
    testsupport::ShowActive(&P.Form);
    MouseClick(P.Other, 5, 5);
    EXPECT_EQ(P.OtherClicks.Count, 1) << C.Name;
  }
}

TEST(KvPopupPanel, DropsBelowItsControlInsideTheWorkArea) {
  struct TCase {
    const char* Name;
    TRect Control;  // in the form, which covers the 800 x 800 screen
    TAlignment Alignment;
    TPoint At;      // PopupAt's offset, or (-1, -1)
    TPoint Popup;   // the popup's top-left corner in the form (it is 100 x 60)
    bool AtScreenEdge;  // Popup.X is the screen's, not the form's
  };
  const TCase Cases[] = {
      {"right edges lined up", Bounds(300, 100, 50, 20), taRightJustify, {-1, -1}, {250, 120}, false},
      {"left edges lined up", Bounds(300, 100, 50, 20), taLeftJustify, {-1, -1}, {300, 120}, false},
      {"centred", Bounds(300, 100, 50, 20), taCenter, {-1, -1}, {275, 120}, false},
      {"at an offset", Bounds(300, 100, 50, 20), taRightJustify, {10, 5}, {310, 105}, false},
      {"near the right edge", Bounds(760, 100, 30, 20), taLeftJustify, {-1, -1}, {700, 120}, true},
      {"near the bottom: above", Bounds(300, 770, 50, 20), taRightJustify, {-1, -1}, {250, 710}, false},
  };
  for (const TCase& C : Cases) {
    TPopupForm P;
    P.Form.SetBounds(0, 0, 800, 800);
    P.Drop->SetBoundsRect(C.Control);
    P.Panel->SetAutoSize(false);
    P.Panel->SetBounds(0, 0, 100, 60);
    P.Panel->SetAlignment(C.Alignment);
    TRect Shown;
    const TInsidePopup During([&]() -> TWinControl* { return P.Panel->PopupWindow(); }, [&] {
      Shown = P.Panel->PopupWindow()->BoundsRect();
      P.Panel->ClosePopup();
    });
    EXPECT_TRUE(P.Panel->PopupAt(P.Drop, C.At.X, C.At.Y)) << C.Name;
    const TPoint O = P.Form.ClientOrigin();
    const TPoint Expected = {C.AtScreenEdge ? C.Popup.X : O.X + C.Popup.X, O.Y + C.Popup.Y};
    EXPECT_EQ(Shown, Bounds(Expected.X, Expected.Y, 100, 60)) << C.Name;
  }
}

TEST(KvPopupPanel, FreedWhilePoppedUpTakesItsChildrenAlong) {
  TPopupForm P;
  const int32_t Components = P.Form.ComponentCount();
  const TInsidePopup During([&]() -> TWinControl* { return P.Panel->PopupWindow(); }, [&] { P.Panel->Free(); });
  EXPECT_FALSE(P.Panel->Popup(P.Drop));
  // The panel, its two children and nothing else are gone.
  EXPECT_EQ(P.Form.ComponentCount(), Components - 3);
  EXPECT_EQ(P.Form.ControlCount(), 2);
}
