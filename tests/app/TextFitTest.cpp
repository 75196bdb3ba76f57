// Every text of the real windows fits the room its control gives it: captions of labels,
// buttons, check boxes, radio buttons, groups and panels, and every item a closed
// drop-down list can show. A label must also keep clear of its neighbours and stay
// inside its parent.
#include "tests/support/Gui.h"

#include <gtest/gtest.h>

#include <QComboBox>
#include <QStyle>
#include <QStyleOptionComboBox>

#include "app/UFormAbout.h"
#include "app/UFormNewV.h"
#include "app/UFormTag.h"
#include "platform/gui/ComboBox.h"
#include "platform/gui/StdCtrls.h"
#include "tests/app/MainWindow.h"
#include "widgets/KvBckgnd.h"
#include "widgets/KvButton.h"
#include "widgets/KvPanel.h"
#include "widgets/KvRadChk.h"
#include "widgets/KvTabs.h"

using namespace testsupport;

namespace {

// The rooms the controls give their text, from their painting.
constexpr int32_t ButtonCaptionInset = 5;  // each side of a push button
constexpr int32_t CheckGlyph = 13 + 4;     // a check box's or radio button's glyph and gap
constexpr int32_t GroupCaptionIndent = 8;  // each side of a group's caption
constexpr int32_t PanelCaptionMargin = 4;  // each side of a panel's caption
constexpr int32_t ComboRing = 2, ComboButton = 17, ComboTextIndent = 2;

class TFitWalk {
public:
  // Each text that does not fit, as "Control: "text" needs W pixels of R".
  std::vector<std::string> Misfits;

  void Walk(const TWinControl* Parent) {
    for (int32_t I = 0; I < Parent->ControlCount(); ++I) {
      TControl* C = Parent->Controls(I);
      Check(C);
      if (const auto* W = dynamic_cast<const TWinControl*>(C)) Walk(W);
    }
  }

private:
  void Check(TControl* C) {
    if (auto* Label = dynamic_cast<TCustomLabel*>(C)) return CheckLabel(Label);
    if (auto* Box = dynamic_cast<TCustomComboBox*>(C)) return CheckCombo(Box);
    if (auto* Button = dynamic_cast<TKvBitBtn*>(C)) {
      int32_t Picture = 0;
      if (Button->Images() && Button->ImageIndex() >= 0)
        Picture = Button->Images()->Width();
      else if (!Button->Glyph()->Empty())
        Picture = Button->Glyph()->Width() / std::max(1, Button->NumGlyphs());
      if (Picture > 0) Picture += std::max(0, Button->Margin()) + Button->Spacing();
      return Fits(C, C->Caption(), C->ClientWidth() - 2 * ButtonCaptionInset - Picture);
    }
    if (dynamic_cast<TKvButton*>(C)) return Fits(C, C->Caption(), C->ClientWidth() - 2 * ButtonCaptionInset);
    if (dynamic_cast<TKvCustomGlyphButton*>(C)) return Fits(C, C->Caption(), C->ClientWidth() - 2 - CheckGlyph);
    if (dynamic_cast<TKvCustomGroupBox*>(C)) return Fits(C, C->Caption(), C->Width() - 2 * GroupCaptionIndent);
    if (dynamic_cast<TKvCustomPanel*>(C)) return Fits(C, C->Caption(), C->ClientWidth() - 2 * PanelCaptionMargin);
  }

  // The text as drawn in Control's font (accelerators taken out), one line or several.
  static TRect Measure(const TControl* Control, const std::string& Text, int32_t WrapWidth = 0) {
    TBitmap B(1, 1);
    B.Canvas()->SetFont(Control->Font());
    TRect R = Rect(0, 0, std::max(1, WrapWidth), 0);
    B.Canvas()->DrawText(Text, R, DT_CALCRECT | (WrapWidth > 0 ? uint32_t(DT_WORDBREAK) : 0u));
    return R;
  }

  void Fits(const TControl* C, const std::string& Text, int32_t Room) {
    if (Text.empty()) return;
    const int32_t Needs = Measure(C, Text).Width();
    if (Needs > Room)
      Misfits.push_back(C->Name() + ": \"" + Text + "\" needs " + std::to_string(Needs) + " pixels of " +
                        std::to_string(Room));
  }

  void CheckLabel(TCustomLabel* L) {
    const std::string Text = L->Caption();
    if (Text.empty()) return;
    if (L->WordWrap()) {
      const int32_t Needs = Measure(L, Text, L->ClientWidth()).Height();
      if (Needs > L->ClientHeight())
        Misfits.push_back(L->Name() + ": \"" + Text + "\" needs " + std::to_string(Needs) + " pixels of height " +
                          std::to_string(L->ClientHeight()));
    } else {
      Fits(L, Text, L->ClientWidth());
    }
    // Clear of the parent's edge and of every shown neighbour (the window's background
    // aside), once the parent is laid out on the screen.
    const TWinControl* Parent = L->Parent();
    if (!Parent->Showing()) return;
    const TRect Own = L->BoundsRect();
    if (Own.Right > Parent->ClientWidth() || Own.Bottom > Parent->ClientHeight())
      Misfits.push_back(L->Name() + ": \"" + Text + "\" runs out of " + Parent->Name());
    for (int32_t I = 0; I < Parent->ControlCount(); ++I) {
      const TControl* Other = Parent->Controls(I);
      TRect Common;
      if (Other == L || !Other->Visible() || dynamic_cast<const TKvBackground*>(Other)) continue;
      if (IntersectRect(Common, Own, Other->BoundsRect()))
        Misfits.push_back(L->Name() + ": \"" + Text + "\" runs into " + Other->Name());
    }
  }

  // A drop-down list may show any item; a box with an edit part shows its text. The
  // text starts inside the edit field Qt's style gives and ends at the drop button.
  void CheckCombo(TCustomComboBox* Box) {
    auto* Q = static_cast<QComboBox*>(Box->Host());
    QStyleOptionComboBox Option;
    Option.initFrom(Q);
    Option.editable = Q->isEditable();
    Option.frame = Q->hasFrame();
    const QRect Field = Q->style()->subControlRect(QStyle::CC_ComboBox, &Option, QStyle::SC_ComboBoxEditField, Q);
    const int32_t Room = Box->Width() - ComboRing - ComboButton - (Field.left() + ComboTextIndent);
    if (Box->ItemsEditable()) return Fits(Box, Box->Text(), Room);
    for (int32_t I = 0; I < Box->Items()->Count(); ++I) Fits(Box, Box->Items()->Strings(I), Room);
  }
};

std::vector<std::string> Misfits(const TWinControl* Form) {
  TFitWalk Walk;
  Walk.Walk(Form);
  return Walk.Misfits;
}

using TTexts = std::vector<std::string>;

}  // namespace

TEST(TextFit, EveryTextOfTheMainWindowFitsItsControl) {
  TAppFolders Folders;
  TMainWindow W;
  // Each source page laid out in turn.
  auto* Pages = W.Find<TKvPageControl>("PageSource");
  for (int32_t Page = 0; Page < Pages->PageCount(); ++Page) {
    Pages->SetActivePageIndex(Page);
    EXPECT_EQ(Misfits(W.Form), TTexts{}) << Page;
  }
  // The other captions that states give: the average bitrate, ADPCM's sample size.
  W.Find<TKvCheckBox>("ChkBit")->SetChecked(true);
  W.Find<TCustomComboBox>("CmbWavEnc")->SetItemIndex(1);
  W.Find<TCustomComboBox>("CmbWavEnc")->OnClick(nullptr);
  EXPECT_EQ(Misfits(W.Form), TTexts{});
  W.Close();
}

TEST(TextFit, EveryTextOfTheTagEditorAboutAndUpdateDialogFitsItsControl) {
  for (TForm* Form : std::initializer_list<TForm*>{NewForm<TFrmTag>(nullptr), NewForm<TFrmAbout>(nullptr)}) {
    ShowActive(Form);
    EXPECT_EQ(Misfits(Form), TTexts{}) << Form->Name();
    Form->Free();
  }
  TFormNewV* Update = NewForm<TFormNewV>(nullptr);
  Update->SetVersionFileUrl("http://127.0.0.1:9/version");
  ShowActive(Update);
  auto* Text = dynamic_cast<TCustomLabel*>(FindControl(Update, "Label1"));
  ASSERT_NE(Text, nullptr);
  for (TVersionCheck Check : {vcNotNewer, vcFailed, vcNewer}) {
    Text->SetCaption(VersionCheckText({Check, {12, 34, 56}}));
    EXPECT_EQ(Misfits(Update), TTexts{}) << Text->Caption();
  }
  Update->Free();
}
