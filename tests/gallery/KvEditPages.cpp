// Gallery pages of the widget library's edits, memos, combo boxes and list views.
#include <string>
#include <vector>

#include "tests/gallery/Gallery.h"
#include "widgets/KvBtnEdt.h"
#include "widgets/KvCmboBx.h"
#include "widgets/KvEdit.h"
#include "widgets/KvListVw.h"
#include "widgets/KvSpnEdt.h"

namespace {

using gallery::Note;
using gallery::Place;

// The look of the windows: a flat frame that turns bold while hot or focused.
template <class T>
void HotFrame(T* Control) {
  Control->SetFramingPreference(fpCustomFraming);
  Control->SetFrameHotTrack(true);
}

TGalleryPage EditsPage("kv-edits", [](TForm* Form) {
  Form->SetColor(clBtnFace);
  const struct {
    const char* Name;
    const char* Text;
    const char* Title;
  } Edits[] = {{"EdtPlain", "Class library border", "FrameVisible off"},
               {"EdtFlat", "Flat frame", "FrameVisible, fsFlat"},
               {"EdtFocus", "Focused", "focused: FocusColor, hot frame"},
               {"EdtReadOnly", "Read-only", "read-only: ReadOnlyColor"},
               {"EdtDisabled", "Disabled", "disabled: DisabledColor"},
               {"EdtStyled", "Lowered in a colour", "fsLowered on cream"}};
  int32_t Y = 10;
  for (const auto& E : Edits) {
    auto* Edit = Place<TKvEdit>(Form, E.Name, Bounds(10, Y, 160, 21));
    Edit->SetText(E.Text);
    Note(Form, 180, Y + 4, E.Title);
    if (Y > 10) HotFrame(Edit);
    Y += 30;
  }
  auto* Focus = static_cast<TKvEdit*>(FindControl(Form, "EdtFocus"));
  Focus->SetFocusColor(RGB(255, 250, 210));
  Form->SetActiveControl(Focus);
  static_cast<TKvEdit*>(FindControl(Form, "EdtReadOnly"))->SetReadOnly(true);
  static_cast<TKvEdit*>(FindControl(Form, "EdtDisabled"))->SetEnabled(false);
  auto* Styled = static_cast<TKvEdit*>(FindControl(Form, "EdtStyled"));
  Styled->SetFrameHotTrack(false);
  Styled->SetFrameStyle(fsLowered);
  Styled->SetColor(clCream);
  auto* Memo = Place<TKvMemo>(Form, "MemComm", Bounds(10, 200, 220, 100));
  HotFrame(Memo);
  Memo->SetScrollBars(ssVertical);
  Memo->SetText("The tag editor's comment: a memo\nwith the flat frame,\nline and column events\nand the wheel.");
  auto* Bold = Place<TKvMemo>(Form, "MemBold", Bounds(250, 200, 220, 100));
  Bold->SetFrameVisible(true);
  Bold->SetFrameStyle(fsFlatBold);
  Bold->SetFrameColor(clNavy);
  Bold->SetFrameSides(sdsLeft | sdsBottom);
  Bold->SetText("fsFlatBold in navy on the left and bottom sides only");
  Note(Form, 10, 310, "Memos: the windows' frame; a bold frame on two sides");
});

TGalleryPage ButtonEditsPage("kv-buttonedits", [](TForm* Form) {
  Form->SetColor(clBtnFace);
  const struct {
    const char* Name;
    TButtonKind Main, Alt;
    const char* Title;
  } Edits[] = {{"EdtDir", bkLookup, bkLookup, "browse (lookup), the windows' frame"},
               {"EdtFolder", bkFolder, bkDropDown, "folder and drop-down"},
               {"EdtCheck", bkAccept, bkReject, "accept and reject, flat, focused"},
               {"EdtFind", bkFind, bkSearch, "find and search, disabled"},
               {"EdtDate", bkCalendar, bkLookup, "calendar, read-only: no buttons"}};
  int32_t Y = 10;
  for (const auto& E : Edits) {
    auto* Edit = Place<TKvButtonEdit>(Form, E.Name, Bounds(10, Y, 200, 21));
    Edit->SetText("/home/user/Music");
    Edit->SetButtonKind(E.Main);
    Edit->SetAltBtnKind(E.Alt);
    Edit->SetAltBtnVisible(Y > 10);
    HotFrame(Edit);
    Note(Form, 220, Y + 4, E.Title);
    Y += 30;
  }
  auto* Flat = static_cast<TKvButtonEdit*>(FindControl(Form, "EdtCheck"));
  Flat->SetFlatButtons(true);
  Flat->SetFlatButtonColor(RGB(220, 235, 255));
  Form->SetActiveControl(Flat);
  static_cast<TKvButtonEdit*>(FindControl(Form, "EdtFind"))->SetEnabled(false);
  static_cast<TKvButtonEdit*>(FindControl(Form, "EdtDate"))->SetReadOnly(true);
  // Spin buttons: the main window's up and down, side by side, flat, disabled, glyphs.
  Place<TKvSpinButtons>(Form, "SpnMove", Bounds(10, 170, 16, 25));
  auto* Sideways = Place<TKvSpinButtons>(Form, "SpnSide", Bounds(40, 170, 16, 25));
  Sideways->SetDirection(sdLeftRight);
  Sideways->SetOrientation(orHorizontal);
  auto* FlatSpin = Place<TKvSpinButtons>(Form, "SpnFlat", Bounds(90, 170, 16, 25));
  FlatSpin->SetFlat(true);
  auto* Off = Place<TKvSpinButtons>(Form, "SpnOff", Bounds(120, 170, 16, 25));
  Off->SetEnabled(false);
  auto* Glyphs = Place<TKvSpinButtons>(Form, "SpnGlyphs", Bounds(150, 170, 20, 31));
  Glyphs->SetGlyphUpRight(ButtonEditGlyph(bkAccept));
  Glyphs->SetGlyphDownLeft(ButtonEditGlyph(bkReject));
  Note(Form, 190, 178, "spin: up/down, left/right, flat, off, glyphs");
});

TGalleryPage CombosPage("kv-combos", [](TForm* Form) {
  Form->SetColor(clBtnFace);
  const std::vector<std::string> Items{"48000", "44100", "32000", "22050", "default"};
  const struct {
    const char* Name;
    TComboBoxStyle Style;
    const char* Title;
  } Boxes[] = {{"CmbPlain", csDropDownList, "class library look"},
               {"CmbWindow", csDropDownList, "the windows' look (flat frame)"},
               {"CmbFlat", csDropDownList, "flat button, focused"},
               {"CmbFlatColor", csDropDownList, "flat button in a colour"},
               {"CmbReadOnly", csDropDownList, "read-only: no button"},
               {"CmbWavSS", csDropDown, "editable, disabled, showing \"4\""},
               {"CmbDrawn", csOwnerDrawFixed, "owner-drawn items"}};
  int32_t Y = 10;
  for (const auto& B : Boxes) {
    auto* Box = Place<TKvComboBox>(Form, B.Name, Bounds(10, Y, 160, 21));
    Box->SetStyle(B.Style);
    Box->Items()->Assign(Items);
    Box->SetItemIndex(1);
    Note(Form, 180, Y + 4, B.Title);
    if (Y > 10) HotFrame(Box);
    Y += 32;
  }
  auto* Flat = static_cast<TKvComboBox*>(FindControl(Form, "CmbFlat"));
  Flat->SetFlatButtons(true);
  Form->SetActiveControl(Flat);
  auto* FlatColor = static_cast<TKvComboBox*>(FindControl(Form, "CmbFlatColor"));
  FlatColor->SetFlatButtons(true);
  FlatColor->SetColor(RGB(235, 245, 255));
  auto* ReadOnly = static_cast<TKvComboBox*>(FindControl(Form, "CmbReadOnly"));
  ReadOnly->SetReadOnly(true);
  auto* WavSS = static_cast<TKvComboBox*>(FindControl(Form, "CmbWavSS"));
  WavSS->Items()->Assign(std::vector<std::string>{"default", "8", "16", "24"});
  WavSS->SetText("4");
  WavSS->SetEnabled(false);
  auto* Drawn = static_cast<TKvComboBox*>(FindControl(Form, "CmbDrawn"));
  Drawn->OnDrawItem = [Drawn](TComponent*, int32_t Index, TRect R, TOwnerDrawState) {
    TCanvas* C = Drawn->Canvas();
    C->FillRect(R);
    const TColor Swatch[] = {clRed, clGreen, clBlue, clTeal, clGray};
    C->Brush()->SetColor(Swatch[Index % 5]);
    C->FillRect(Rect(R.Left + 3, R.Top + 3, R.Left + 13, R.Bottom - 3));
    C->Brush()->SetStyle(bsClear);
    C->TextOut(R.Left + 18, R.Top + 1, Drawn->Items()->Strings(Index) + " Hz");
  };
});

// A list whose header clicks the page can make.
class TClickableList : public TKvListView {
public:
  using TKvListView::TKvListView;
  void ClickColumn(int32_t Index) { ColClick(Columns()->Items(Index)); }
};

TGalleryPage ListViewPage("kv-listview", [](TForm* Form) {
  Form->SetColor(clBtnFace);
  const struct {
    const char* File;
    const char* Duration;
    const char* Size;
    bool Checked;
  } Rows[] = {{"01 - Intro.flac", "1:05", "7.12", true},
              {"02 - Long Title of a Song That Goes On.flac", "4:31", "", false},
              {"03 - Outro.ogg", "0:48", "0.90", true}};
  const auto Fill = [&](TKvListView* List, bool Headers) {
    for (const auto& [Caption, Width, Alignment] :
         {std::tuple("File", 250, taLeftJustify), std::tuple("Duration", 70, taRightJustify),
          std::tuple("Size MB", 62, taRightJustify)}) {
      TListColumn* C = List->Columns()->Add();
      C->SetCaption(Caption);
      C->SetWidth(Width);
      C->SetAlignment(Alignment);
    }
    List->SetShowColumnHeaders(Headers);
    List->SetRowSelect(true);
    for (const auto& R : Rows) {
      TListItem* Item = List->Items()->Add();
      Item->SetCaption(R.File);
      Item->SubItems()->Add(R.Duration);
      Item->SubItems()->Add(R.Size);
    }
  };
  auto* Conv = Place<TKvListView>(Form, "LstConv", Bounds(10, 10, 460, 90));
  HotFrame(Conv);
  Conv->SetCheckboxes(true);
  Fill(Conv, false);
  for (int32_t I = 0; I < 3; ++I) Conv->Items()->Item(I)->SetChecked(Rows[I].Checked);
  Conv->Items()->Item(1)->SetSelected(true);
  Note(Form, 10, 104, "The conversion list: check boxes, no headers, the last column filling the width");
  auto* Sorted = Place<TClickableList>(Form, "LstSorted", Bounds(10, 125, 460, 100));
  Fill(Sorted, true);
  Sorted->SetGridLines(true);
  Sorted->SetAlphaSortAll(true);
  Sorted->ClickColumn(1);
  Sorted->ClickColumn(1);
  Note(Form, 10, 229, "Headers with the sort arrow (descending by duration), grid lines; below: disabled");
  auto* Disabled = Place<TKvListView>(Form, "LstDisabled", Bounds(10, 250, 460, 70));
  Fill(Disabled, true);
  Disabled->SetDisabledColor(RGB(230, 230, 230));
  Disabled->SetEnabled(false);
});

}  // namespace
