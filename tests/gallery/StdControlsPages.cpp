// Gallery pages of the standard controls over Qt widgets: edits and memos, combo boxes,
// the list view, and the hint window.
#include <QImage>

#include "platform/gui/ComboBox.h"
#include "platform/gui/Edits.h"
#include "platform/gui/HintWindow.h"
#include "platform/gui/ListView.h"
#include "platform/gui/StdCtrls.h"
#include "tests/gallery/Gallery.h"

namespace {

using gallery::Note;
using gallery::Place;

TGalleryPage EditsPage("edits", [](TForm* Form) {
  Form->SetColor(clBtnFace);
  const struct {
    const char* Name;
    const char* Text;
  } Edits[] = {{"EdtPlain", "Sunken edge (Ctl3D)"}, {"EdtFlat", "Flat: one line"}, {"EdtNone", "No border"},
               {"EdtRight", "Right-aligned"},       {"EdtPassword", "secret"},     {"EdtReadOnly", "Read-only"},
               {"EdtDisabled", "Disabled"},         {"EdtSelected", "Part of it selected"}};
  int32_t Y = 10;
  for (const auto& E : Edits) {
    auto* Edit = Place<TEdit>(Form, E.Name, Bounds(10, Y, 200, 21));
    Edit->SetText(E.Text);
    Y += 28;
  }
  static_cast<TEdit*>(FindControl(Form, "EdtFlat"))->SetCtl3D(false);
  static_cast<TEdit*>(FindControl(Form, "EdtNone"))->SetBorderStyle(bsNone);
  static_cast<TEdit*>(FindControl(Form, "EdtRight"))->SetAlignment(taRightJustify);
  static_cast<TEdit*>(FindControl(Form, "EdtPassword"))->SetPasswordChar(U'*');
  static_cast<TEdit*>(FindControl(Form, "EdtReadOnly"))->SetReadOnly(true);
  static_cast<TEdit*>(FindControl(Form, "EdtReadOnly"))->SetColor(clInfoBk);
  static_cast<TEdit*>(FindControl(Form, "EdtDisabled"))->SetEnabled(false);
  auto* Selected = static_cast<TEdit*>(FindControl(Form, "EdtSelected"));
  Selected->SetHideSelection(false);
  Selected->SetSelStart(8);
  Selected->SetSelLength(8);
  auto* Memo = Place<TMemo>(Form, "MemComm", Bounds(230, 10, 240, 120));
  Memo->SetScrollBars(ssVertical);
  for (const char* Line : {"A memo with lines,", "a vertical scroll bar", "and word wrap, which breaks this rather long line "
                           "at the memo's width.", "", "Last line"})
    Memo->Lines()->Add(Line);
  auto* NoWrap = Place<TMemo>(Form, "MemNoWrap", Bounds(230, 140, 240, 80));
  NoWrap->SetWordWrap(false);
  NoWrap->SetScrollBars(ssBoth);
  NoWrap->SetText("Without word wrap the long lines run on to the right, under the scroll bar.\nSecond line");
  Note(Form, 230, 230, "Memos: vertical scroll bar, both scroll bars");
});

TGalleryPage CombosPage("combos", [](TForm* Form) {
  Form->SetColor(clBtnFace);
  const std::vector<std::string> Items{"High", "Above Medium", "Medium", "Below Medium", "Low"};
  const struct {
    const char* Name;
    TComboBoxStyle Style;
    const char* Title;
  } Boxes[] = {{"CmbList", csDropDownList, "drop-down list"},
               {"CmbEdit", csDropDown, "drop-down with an edit part"},
               {"CmbFixed", csOwnerDrawFixed, "owner-drawn"},
               {"CmbDisabled", csDropDown, "editable, disabled, showing \"4\""}};
  int32_t Y = 10;
  for (const auto& B : Boxes) {
    auto* Box = Place<TComboBox>(Form, B.Name, Bounds(10, Y, 180, 21));
    Box->SetStyle(B.Style);
    Box->Items()->Assign(Items);
    Box->SetItemIndex(2);
    Note(Form, 200, Y + 4, B.Title);
    Y += 32;
  }
  auto* Disabled = static_cast<TComboBox*>(FindControl(Form, "CmbDisabled"));
  Disabled->SetText("4");
  Disabled->SetEnabled(false);
  auto* Fixed = static_cast<TComboBox*>(FindControl(Form, "CmbFixed"));
  Fixed->OnDrawItem = [Fixed](TComponent*, int32_t Index, TRect R, TOwnerDrawState State) {
    TCanvas* C = Fixed->Canvas();
    C->FillRect(R);
    const TColor Swatches[] = {clRed, clOlive, clGreen, clTeal, clBlue};
    C->Brush()->SetColor(Swatches[Index % 5]);
    C->FillRect(Rect(R.Left + 2, R.Top + 2, R.Left + 14, R.Bottom - 2));
    C->Brush()->SetStyle(bsClear);
    C->TextOut(R.Left + 18, R.Top + 1, Fixed->Items()->Strings(Index) + ((State & odComboBoxEdit) ? " (face)" : ""));
  };
  auto* Simple = Place<TComboBox>(Form, "CmbSimple", Bounds(10, Y, 180, 21));
  Simple->SetStyle(csSimple);
  Simple->SetHeight(120);  // the other styles keep the face's height
  Simple->Items()->Assign(Items);
  Simple->SetItemIndex(1);
  Note(Form, 200, Y + 4, "simple: the list always shown");
});

TGalleryPage ListViewPage("listview", [](TForm* Form) {
  Form->SetColor(clBtnFace);
  auto Columns = [](TListView* L) {
    const struct {
      const char* Caption;
      int32_t Width;
      TAlignment Alignment;
    } Cols[] = {{"File", 180, taLeftJustify}, {"Duration", 70, taRightJustify}, {"Size MB", 62, taRightJustify}};
    for (const auto& C : Cols) {
      TListColumn* Column = L->Columns()->Add();
      Column->SetCaption(C.Caption);
      Column->SetWidth(C.Width);
      Column->SetAlignment(C.Alignment);
    }
    const char* Rows[][3] = {{"01 - Intro.flac", "1:05", "7.12 MB"},
                             {"02 - Long Title of a Song That Goes On.mp3", "4:31", "6.20 MB"},
                             {"03 - Outro.ogg", "0:48", "0.90 MB"}};
    for (const auto& R : Rows) {
      TListItem* Item = L->Items()->Add();
      Item->SetCaption(R[0]);
      Item->SubItems()->Add(R[1]);
      Item->SubItems()->Add(R[2]);
    }
  };
  auto* Conv = Place<TListView>(Form, "LstConv", Bounds(10, 10, 340, 120));
  Columns(Conv);
  Conv->SetCheckboxes(true);
  Conv->SetShowColumnHeaders(false);
  Conv->SetRowSelect(true);
  Conv->SetMultiSelect(true);
  Conv->SetHideSelection(false);
  Conv->Items()->Item(0)->SetChecked(true);
  Conv->Items()->Item(2)->SetChecked(true);
  Conv->Items()->Item(1)->SetSelected(true);
  Conv->Items()->Item(1)->SetFocused(true);  // the dots round a row with descenders
  Note(Form, 360, 14, "check boxes, row select,");
  Note(Form, 360, 30, "no headers, focused");
  auto* Files = Place<TListView>(Form, "LstFiles", Bounds(10, 140, 340, 120));
  Columns(Files);
  Files->SetGridLines(true);
  Files->SetHideSelection(false);
  Files->Items()->Item(2)->SetSelected(true);
  Note(Form, 360, 144, "headers, grid lines,");
  Note(Form, 360, 160, "caption-only selection,");
  Note(Form, 360, 176, "unfocused");
});

TGalleryPage HintsPage("hints", [](TForm* Form) {
  Form->SetColor(clBtnFace);
  auto* Hint = new THintWindow(Form);
  const std::string Text = "Full path to folder\nwith audio files";
  Hint->HandleNeeded();  // its window styles (the border) are read as the window is made
  const TRect R = Hint->CalcHintRect(400, Text, nullptr);
  Hint->SetCaption(Text);
  Hint->SetBounds(0, 0, R.Width(), R.Height() + 4);  // as ActivateHint makes it
  Note(Form, 20, 20, "The default hint window, two lines:");
  Form->OnPaint = [Form, Hint](TComponent*) {
    // The hint is a window of its own: its picture goes onto the page.
    QImage Picture(Hint->Width(), Hint->Height(), QImage::Format_ARGB32_Premultiplied);
    Picture.fill(Qt::transparent);
    Hint->PaintTo(Picture, 0, 0);
    Form->Canvas()->DrawImage(Bounds(20, 40, Hint->Width(), Hint->Height()), Picture,
                              Rect(0, 0, Hint->Width(), Hint->Height()));
  };
});

}  // namespace
