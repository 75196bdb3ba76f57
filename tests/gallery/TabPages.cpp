// Gallery pages of the tab controls: every shape on every strip, the other settings, and
// the page control as the main window has it.
#include <string>
#include <vector>

#include "tests/gallery/Gallery.h"
#include "widgets/KvBckgnd.h"
#include "widgets/KvLabel.h"
#include "widgets/KvTabs.h"

namespace {

TKvTabControl* MakeTabs(TForm* Form, TRect Bounds, const std::vector<std::string>& Captions, int32_t Selected) {
  auto* T = new TKvTabControl(Form);
  T->SetParent(Form);
  T->SetBoundsRect(Bounds);
  for (const std::string& C : Captions) T->Tabs().Add()->Caption = C;
  T->SetTabIndex(Selected);
  T->TabsChanged();
  return T;
}

TKvLabel* Note(TForm* Form, TRect Bounds, const std::string& Caption) {
  auto* L = new TKvLabel(Form);
  L->SetParent(Form);
  L->SetAutoSize(false);
  L->SetBoundsRect(Bounds);
  L->SetCaption(Caption);
  return L;
}

// Rows: top, left, bottom, right strips; columns: the five shapes.
TGalleryPage ShapesPage("kv-tabs-shapes", [](TForm* Form) {
  Form->SetColor(clBtnFace);
  const TKvTabStyle Styles[] = {tsSingleSlant, tsDoubleSlant, tsCutCorner, tsRoundCorners, tsBackSlant};
  const TKvTabOrientation Strips[] = {toTop, toLeft, toBottom, toRight};
  for (int32_t S = 0; S < 4; ++S)
    for (int32_t K = 0; K < 5; ++K) {
      const bool Vertical = Strips[S] == toLeft || Strips[S] == toRight;
      TKvTabControl* T = MakeTabs(Form, Bounds(6 + K * 95, 6 + S * 88, 90, 82),
                                  Vertical ? std::vector<std::string>{"A", "B", "C"}
                                           : std::vector<std::string>{"Ab", "Cd"},
                                  1);
      T->SetTabStyle(Styles[K]);
      T->SetTabOrientation(Strips[S]);
      T->SetShowShadow(false);
      T->SetColor(clWhite);
    }
});

TGalleryPage SettingsPage("kv-tabs-settings", [](TForm* Form) {
  Form->SetColor(clBtnFace);
  // Reversed sequence with the shadow; a disabled tab; a hot tab.
  TKvTabControl* Reverse = MakeTabs(Form, Bounds(6, 6, 230, 70), {"&First", "Se&cond", "Third"}, 0);
  Reverse->SetTabSequence(tsReverse);
  TKvTabControl* Shadow = MakeTabs(Form, Bounds(244, 6, 230, 70), {"Plain", "Off", "&&Co"}, 0);
  Shadow->Tabs().Items(1)->Enabled = false;
  Shadow->TabsChanged();
  Shadow->SetTextOrientation(orHorizontal);
  // Several rows, the selected one turned next to the card, rows aligned.
  TKvTabControl* Rows = MakeTabs(Form, Bounds(6, 84, 230, 110),
                                 {"January", "February", "March", "April", "May", "June", "July", "August"}, 2);
  Rows->SetMultiLine(true);
  Rows->SetAlignTabs(true);
  Rows->SetShowShadow(false);
  // A row too long for the strip scrolls; the close button sits at the end, the menu
  // button before it.
  TKvTabControl* Scroll = MakeTabs(Form, Bounds(244, 84, 230, 60), {"One", "Two", "Three", "Four", "Five", "Six"}, 0);
  Scroll->SetShowCloseButton(true);
  Scroll->SetShowMenuButton(true);
  Scroll->SetShowShadow(false);
  Scroll->SetTabStyle(tsRoundCorners);
  // Turned captions on both vertical strips, colours of their own.
  TKvTabControl* Left = MakeTabs(Form, Bounds(244, 152, 110, 120), {"Audio", "Video"}, 0);
  Left->SetTabOrientation(toLeft);
  Left->SetTextOrientation(orVertical);
  TKvTabControl* Right = MakeTabs(Form, Bounds(364, 152, 110, 120), {"Audio", "Video"}, 1);
  Right->SetTabOrientation(toRight);
  Right->SetTextOrientation(orVertical);
  Right->Tabs().Items(0)->Color = clMoneyGreen;
  Right->Tabs().Items(1)->Color = clSkyBlue;
  Right->TabsChanged();
  Right->SetUseColoredTabs(true);
  // Two-line captions, bottom strip, cut corners, hot tracking in the text colour, the
  // menu button's arrow pointing up at the card.
  TKvTabControl* Lines = MakeTabs(Form, Bounds(6, 202, 230, 70), {"Two\r\nlines", "One"}, 0);
  Lines->SetTabOrientation(toBottom);
  Lines->SetTabStyle(tsCutCorner);
  Lines->SetHotTrackStyle(htsText);
  Lines->SetUseGradients(false);
  Lines->SetShowMenuButton(true);
  Note(Form, Bounds(6, 280, 468, 16), "reverse, shadow; disabled tab, accelerators; rows; scrolling, close, menu;");
  Note(Form, Bounds(6, 298, 468, 16),
       "vertical text on left and right strips; two-line captions on a bottom strip, menu");
});

// The main window's source pages: sky blue sheets on the window's gradient.
TGalleryPage PagesPage("kv-pages", [](TForm* Form) {
  auto* Back = new TKvBackground(Form);
  Back->SetParent(Form);
  Back->SetAlign(alClient);
  Back->SetGradientColorStart(RGB(176, 214, 255));
  Back->SetGradientColorStop(RGB(244, 250, 255));
  Back->SetGradientDirection(gdDiagonalDown);
  auto* Pages = new TKvPageControl(Form);
  Pages->SetName("PageSource");
  Pages->SetParent(Form);
  Pages->SetBounds(10, 10, 300, 150);
  Pages->SetBoldCurrentTab(true);
  Pages->SetFlatColor(RGB(120, 150, 190));
  Pages->TabColors()->SetHighlightBar(RGB(255, 170, 60));
  Pages->TabColors()->SetShadow(RGB(200, 220, 245));
  Pages->SetShowFocusRect(false);
  Pages->SetShowShadow(false);
  Pages->SetTabWidth(80);
  Pages->SetTransparent(true);
  Pages->SetFixedDimension(19);
  TKvTabSheet* Active = nullptr;
  for (const char* Caption : {"Audio CD", "Folder", "File"}) {
    auto* Sheet = new TKvTabSheet(Form);
    Sheet->SetPageControl(Pages);
    Sheet->SetCaption(Caption);
    Sheet->SetColor(clSkyBlue);
    Note(Form, Bounds(10, 10, 200, 16), std::string("Source: ") + Caption)->SetParent(Sheet);
    if (std::string(Caption) == "Folder") Active = Sheet;
  }
  Pages->SetActivePage(Active);
  // The same with a disabled page, the middle page's tab hidden, at the bottom.
  auto* Other = new TKvPageControl(Form);
  Other->SetParent(Form);
  Other->SetBounds(10, 180, 300, 150);
  Other->SetTabOrientation(toBottom);
  Other->SetTabStyle(tsDoubleSlant);
  for (const char* Caption : {"General", "Hidden", "Tags", "Disabled"}) {
    auto* Sheet = new TKvTabSheet(Form);
    Sheet->SetPageControl(Other);
    Sheet->SetCaption(Caption);
    Note(Form, Bounds(10, 10, 200, 16), std::string("Page ") + Caption)->SetParent(Sheet);
  }
  Other->Pages(1)->SetTabVisible(false);
  Other->Pages(3)->SetTabEnabled(false);
  Other->SetActivePage(Other->Pages(2));
});

}  // namespace
