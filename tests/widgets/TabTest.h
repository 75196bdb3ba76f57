#pragma once
// Builders of the tab and page control tests: a shown form with a tab control or a page
// control, tabs of a fixed size, and a log of the selection events.

#include "tests/widgets/WidgetTest.h"

#include <algorithm>
#include <initializer_list>
#include <string>
#include <utility>
#include <vector>

#include "widgets/KvTabs.h"

namespace tabtest {

// Every tab 80 pixels along the strip and 19 across, whatever the strip and caption.
inline void FixTabSize(TKvCustomTabControl* T) {
  const bool Vertical = T->TabOrientation() == toLeft || T->TabOrientation() == toRight;
  T->SetTabWidth(Vertical ? 19 : 80);
  T->SetTabHeight(Vertical ? 80 : 19);
}

// Tabs of that size on Strip in Sequence, without the card's shadow.
inline void FixStrip(TKvCustomTabControl* T, TKvTabOrientation Strip, TKvTabSequence Sequence) {
  T->SetShowShadow(false);
  T->SetTabOrientation(Strip);
  T->SetTabSequence(Sequence);
  FixTabSize(T);
}

inline std::string StripName(TKvTabOrientation Strip, TKvTabSequence Sequence = tsStandard) {
  return "strip " + std::to_string(Strip) + " sequence " + std::to_string(Sequence);
}

// The selection events of a control in the order they came.
struct TEventLog {
  void Attach(TKvCustomTabControl* T) {
    T->OnChanging = [this](TComponent*, int32_t NewIndex, bool& Allow) {
      Events.push_back("changing " + std::to_string(NewIndex));
      Allow = std::find(Refused.begin(), Refused.end(), NewIndex) == Refused.end();
    };
    T->OnChange = [this](TComponent*) { Events.push_back("change"); };
    T->OnPageChange = [this](TComponent*) { Events.push_back("page"); };
    T->OnTabClick = [this](TComponent*) { Events.push_back("click"); };
  }
  std::vector<std::string> Take() { return std::exchange(Events, {}); }
  std::vector<std::string> Events;
  std::vector<int32_t> Refused;
};

// The captions of the sheets on screen.
inline std::vector<std::string> ShownPages(const std::vector<TKvTabSheet*>& Sheets) {
  std::vector<std::string> Result;
  for (const TKvTabSheet* S : Sheets)
    if (S->Showing()) Result.push_back(S->Caption());
  return Result;
}

// A 300 x 200 tab control at (10, 10) on a shown, active form.
struct TTabForm {
  explicit TTabForm(std::initializer_list<std::string> Captions, bool Show = true) : Form(NewForm<TForm>(nullptr)) {
    Form->SetBounds(0, 0, 400, 300);
    Form->SetColor(clWhite);
    Tabs = new TKvTabControl(Form);
    Tabs->SetName("Tabs");
    Tabs->SetParent(Form);
    Tabs->SetBounds(10, 10, 300, 200);
    for (const std::string& C : Captions) Tabs->Tabs().Add()->Caption = C;
    Tabs->TabsChanged();
    if (Show) testsupport::ShowActive(Form);
    Log.Attach(Tabs);
  }
  ~TTabForm() { Form->Free(); }
  TTabForm(const TTabForm&) = delete;
  TTabForm& operator=(const TTabForm&) = delete;

  // A point well inside tab Index.
  TPoint Inside(int32_t Index) const { return CenterPoint(Tabs->TabControlRect(Index)); }
  void Click(int32_t Index) {
    const TPoint P = Inside(Index);
    testsupport::MouseClick(Tabs, P.X, P.Y);
  }

  TForm* Form;
  TKvTabControl* Tabs;
  TEventLog Log;
};

// A page control on a shown form with one sheet per caption, each holding a focusable
// control named "Edit<caption>".
struct TPageForm {
  explicit TPageForm(std::initializer_list<std::string> Captions) : Form(NewForm<TForm>(nullptr)) {
    Form->SetBounds(0, 0, 400, 300);
    Pages = new TKvPageControl(Form);
    Pages->SetName("Pages");
    Pages->SetParent(Form);
    Pages->SetBounds(10, 10, 300, 200);
    for (const std::string& C : Captions) {
      auto* Sheet = new TKvTabSheet(Form);
      Sheet->SetName("Sheet" + C);
      Sheet->SetCaption(C);
      Sheet->SetPageControl(Pages);
      auto* Edit = new TCustomControl(Form);
      Edit->SetName("Edit" + C);
      Edit->SetTabStop(true);
      Edit->SetParent(Sheet);
      Edit->SetBounds(5, 5, 50, 20);
      Sheets.push_back(Sheet);
    }
    testsupport::ShowActive(Form);
    Log.Attach(Pages);
  }
  ~TPageForm() { Form->Free(); }
  TPageForm(const TPageForm&) = delete;
  TPageForm& operator=(const TPageForm&) = delete;

  TWinControl* Edit(int32_t Page) const { return static_cast<TWinControl*>(Sheets[static_cast<size_t>(Page)]->Controls(0)); }
  void ClickTab(int32_t Tab) {
    const TPoint P = CenterPoint(Pages->TabControlRect(Tab));
    testsupport::MouseClick(Pages, P.X, P.Y);
  }
  std::vector<std::string> Shown() const { return ShownPages(Sheets); }

  TForm* Form;
  TKvPageControl* Pages;
  std::vector<TKvTabSheet*> Sheets;
  TEventLog Log;
};

}  // namespace tabtest
