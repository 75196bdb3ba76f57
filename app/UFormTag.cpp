#include "app/UFormTag.h"

#include <initializer_list>

#include "app/UForms.h"
#include "audio/core/TSL_Tags.h"
#include "platform/gui/ListView.h"
#include "platform/rtl/StrUtils.h"
#include "widgets/KvBckgnd.h"
#include "widgets/KvButton.h"
#include "widgets/KvCmboBx.h"
#include "widgets/KvEdit.h"
#include "widgets/KvLabel.h"
#include "widgets/KvListVw.h"
#include "widgets/KvPanel.h"
#include "widgets/KvToolBtn.h"

namespace {

enum TEditorKind : uint8_t { ekEdit, ekMemo, ekCombo };

// The fields in the order the two groups show them: "Musik" the first six.
struct TFieldSpec {
  std::string TTagSet::*Tag;
  TEditorKind Kind;
  const char* Editor;  // design name; its label is "Lbl" and the name after the prefix
  const char* Caption;
  const char* Button;  // the "Apply for all tracks" button, or nullptr
  bool Trimmed;
  bool Short;  // a number: a short edit
};
constexpr int32_t MusikFields = 6;
const TFieldSpec FieldSpecs[TagSetFieldCount] = {
    {&TTagSet::Artist, ekEdit, "EdtArtist", "Artist:", "BtnArtist", true, false},
    {&TTagSet::Album, ekEdit, "EdtAlbum", "Album title:", "BtnAlbum", true, false},
    {&TTagSet::Year, ekEdit, "EdtYear", "Year:", "BtnYear", true, true},
    {&TTagSet::Track, ekEdit, "EdtTrack", "Track number:", nullptr, false, true},
    {&TTagSet::Genre, ekCombo, "CmbGenre", "Genre:", "BtnGenre", false, false},
    {&TTagSet::Composer, ekEdit, "EdtComposer", "Composer:", nullptr, false, false},
    {&TTagSet::Title, ekEdit, "EdtTtl", "Title:", nullptr, false, false},
    {&TTagSet::Comment, ekMemo, "MemComm", "Comments:", "BtnComm", true, false},
    {&TTagSet::Language, ekEdit, "EdtLang", "Language:", "BtnLang", true, false},
    {&TTagSet::Copyright, ekEdit, "EdtCopy", "Copyright:", "BtnCopy", true, false},
    {&TTagSet::Link, ekEdit, "EdtURL", "URL:", "BtnURL", true, false},
    {&TTagSet::Encoder, ekEdit, "EdtEnc", "Encoded by:", "BtnEnc", true, false},
};

constexpr char ApplyCaption[] = "Apply for all tracks";

// Layout: the list with the buttons beside it, the two groups below.
constexpr int32_t Margin = 8;
constexpr int32_t ListWidth = 440, ListHeight = 190;
constexpr int32_t ButtonLeft = Margin + ListWidth + 8, ButtonWidth = 136, ButtonHeight = 25;
constexpr int32_t GroupTop = Margin + ListHeight + 8, GroupWidth = 288, GroupHeight = 330;
constexpr int32_t FormWidth = 2 * Margin + 2 * GroupWidth + 8, FormHeight = GroupTop + GroupHeight + Margin;
// Inside a group: a label, the "Apply" button on its line, the editor below.
constexpr int32_t FirstRow = 20, RowPitch = 46, MusikRowPitch = 52, LabelToEditor = 19;
constexpr int32_t Inset = 10, EditorWidth = GroupWidth - 2 * Inset, ShortWidth = 80, MemoHeight = 52;
constexpr int32_t ApplyWidth = 120, ApplyHeight = 20;

// The windows' look of the text controls: a flat frame that turns bold while hot or focused.
template <class T>
void HotFrame(T* Control) {
  Control->SetFramingPreference(fpCustomFraming);
  Control->SetFrameHotTrack(true);
}

}  // namespace

TFrmTag::TFrmTag(TComponent* AOwner) : TForm(AOwner) {
  BeginLoading(this);
  SetName("FrmTag");
  SetCaption("Tag editor");
  SetBorderStyle(bsDialog);
  SetPosition(poMainFormCenter);
  SetClientWidth(FormWidth);
  SetClientHeight(FormHeight);
  CreateControls();
  OpenHelpOnF1(this, HelpTagEditor);
  EndLoading(this);
}

void TFrmTag::CreateControls() {
  BgrTag = AddBackground(this, "BgrTag");

  LstFiles = AddControl<TKvListView>(this, this, "LstFiles", Bounds(Margin, Margin, ListWidth, ListHeight));
  LstFiles->SetShowColumnHeaders(false);
  LstFiles->SetReadOnly(true);
  LstFiles->SetRowSelect(true);
  LstFiles->SetGridLines(true);
  LstFiles->SetHideSelection(false);
  AddEntryColumns(LstFiles);
  LstFiles->OnSelectItem = [this](TComponent*, TListItem*, bool) { LstFilesSelectItem(); };
  LstFiles->OnClick = [this](TComponent*) { LstFilesClick(); };

  // OK and Cancel, then the two pairs of Reset and Clear, a little apart.
  const struct {
    TKvBitBtn*& Button;
    const char* Name;
    TBitBtnKind Kind;
    const char* Caption;
    int32_t Top;
    TNotifyEvent Click;
  } Buttons[] = {
      {BtnOK, "BtnOK", bkOK, "OK", Margin, nullptr},
      {BtnCncl, "BtnCncl", bkCancel, "Cancel", Margin + 29, nullptr},
      {BtnResCurr, "BtnResCurr", bkCustom, "Reset current", Margin + 68,
       [this](TComponent*) { ForEntries(false, [](TFileListEntry& E) { E.WorkingTags = E.FileTags; }); }},
      {BtnResAll, "BtnResAll", bkCustom, "Reset all", Margin + 97,
       [this](TComponent*) { ForEntries(true, [](TFileListEntry& E) { E.WorkingTags = E.FileTags; }); }},
      {BtnClrCurr, "BtnClrCurr", bkCustom, "Clear current", Margin + 136,
       [this](TComponent*) { ForEntries(false, [](TFileListEntry& E) { E.WorkingTags = TTagSet(); }); }},
      {BtnClrAll, "BtnClrAll", bkCustom, "Clear all", Margin + 165,
       [this](TComponent*) { ForEntries(true, [](TFileListEntry& E) { E.WorkingTags = TTagSet(); }); }},
  };
  for (const auto& B : Buttons) {
    B.Button = AddControl<TKvBitBtn>(this, this, B.Name, Bounds(ButtonLeft, B.Top, ButtonWidth, ButtonHeight));
    B.Button->SetCaption(B.Caption);
    B.Button->SetKind(B.Kind);  // OK and Cancel: the default and cancel roles, the modal results, the pictures
    B.Button->OnClick = B.Click;
  }
  BtnResCurr->SetEnabled(false);
  BtnClrCurr->SetEnabled(false);

  GrpMusik = AddControl<TKvGroupBox>(this, this, "GrpMusik", Bounds(Margin, GroupTop, GroupWidth, GroupHeight));
  GrpMusik->SetCaption("Musik");
  GrpDescr = AddControl<TKvGroupBox>(this, this, "GrpDescr",
                                     Bounds(Margin + GroupWidth + 8, GroupTop, GroupWidth, GroupHeight));
  GrpDescr->SetCaption("Description");
  for (TKvGroupBox* Group : {GrpMusik, GrpDescr}) Group->SetTransparent(true);
  // From the list to the fields, then to the buttons.
  GrpMusik->SetTabOrder(1);
  GrpDescr->SetTabOrder(2);
  CreateGroup(GrpMusik, 0, MusikFields);
  CreateGroup(GrpDescr, MusikFields, TagSetFieldCount);
  for (int32_t I = 0; I < Id3v1GenreCount; ++I) CmbGenre->Items()->Add(Id3v1GenreNames[I]);
}

void TFrmTag::CreateGroup(TKvGroupBox* Group, int32_t FirstField, int32_t LastField) {
  const int32_t Pitch = Group == GrpMusik ? MusikRowPitch : RowPitch;
  int32_t Top = FirstRow;
  for (int32_t I = FirstField; I < LastField; ++I) {
    const TFieldSpec& S = FieldSpecs[I];
    TField& F = FFields[I];
    F.Tag = S.Tag;
    F.Trimmed = S.Trimmed;
    const TRect EditorBounds =
        Bounds(Inset, Top + LabelToEditor, S.Short ? ShortWidth : EditorWidth, S.Kind == ekMemo ? MemoHeight : 21);
    switch (S.Kind) {
      case ekEdit: {
        auto* Edit = AddControl<TKvEdit>(this, Group, S.Editor, EditorBounds);
        HotFrame(Edit);
        if (S.Tag == &TTagSet::Track) Edit->OnKeyPress = [this](TComponent*, char32_t& Key) { EdtTrackKeyPress(Key); };
        F.Editor = Edit;
        break;
      }
      case ekMemo: {
        auto* Memo = AddControl<TKvMemo>(this, Group, S.Editor, EditorBounds);
        HotFrame(Memo);
        Memo->SetScrollBars(ssVertical);
        F.Editor = Memo;
        break;
      }
      case ekCombo:
        CmbGenre = AddControl<TKvComboBox>(this, Group, S.Editor, EditorBounds);
        HotFrame(CmbGenre);
        CmbGenre->SetDropDownCount(16);
        F.Editor = CmbGenre;
        break;
    }
    // Typing and choosing a genre change its text alike.
    const auto Change = [this, &F](TComponent*) { FieldChange(F); };
    if (auto* Edit = dynamic_cast<TCustomEdit*>(F.Editor))
      Edit->OnChange = Change;
    else
      CmbGenre->OnChange = Change;

    auto* Label = AddControl<TKvLabel>(this, Group, std::string("Lbl") + (S.Editor + 3), Bounds(Inset, Top, 10, 10));
    Label->SetCaption(S.Caption);
    Label->SetTransparent(true);
    Label->SetFocusControl(F.Editor);
    if (S.Button) {
      F.ApplyButton = AddControl<TKvToolButton>(
          this, Group, S.Button, Bounds(GroupWidth - Inset - ApplyWidth, Top - 2, ApplyWidth, ApplyHeight));
      F.ApplyButton->SetCaption(ApplyCaption);
      F.ApplyButton->SetShowCaption(true);
      // Raised, so that it does not pass for a label.
      F.ApplyButton->SetVisualStyle(vsClassic);
      F.ApplyButton->SetFlat(false);
      F.ApplyButton->SetEnabled(false);
      F.ApplyButton->OnClick = [this, &F](TComponent*) { ApplyForAllClick(F); };
    }
    Top += Pitch + (S.Kind == ekMemo ? MemoHeight - 21 : 0);
  }
}

TModalResult TFrmTag::LoadFileList(TFileList* List) {
  FList = List;
  struct TForget {
    TFileList*& List;
    ~TForget() { List = nullptr; }
  } Forget{FList};
  ShowEntry(-1);
  FFields[GenreField].ApplyButton->SetEnabled(List->Count() > 1);
  TListItems* Items = LstFiles->Items();
  Items->BeginUpdate();
  Items->Clear();
  for (int32_t I = 0; I < List->Items()->Count(); ++I) {
    const TListItem* From = List->Items()->Item(I);
    TListItem* To = Items->Add();
    To->SetCaption(From->Caption());
    To->SubItems()->Assign(*From->SubItems());
  }
  Items->EndUpdate();
  for (int32_t I = 0; I < List->Count(); ++I) List->Entries(I).WorkingTags = List->Entries(I).CurrentTags;
  if (Items->Count() > 0) {
    Items->Item(0)->SetSelected(true);
    Items->Item(0)->SetFocused(true);
    SetActiveControl(LstFiles);
  }
  LstFilesSelectItem();
  if (ShowModal() != mrOk) return mrCancel;
  for (int32_t I = 0; I < List->Count(); ++I) List->Entries(I).CurrentTags = List->Entries(I).WorkingTags;
  if (OnTagsChanged) OnTagsChanged(this);
  return mrOk;
}

int32_t TFrmTag::SelectedEntry() const {
  const int32_t N = LstFiles->ItemIndex();
  return FList && N >= 0 && N < FList->Count() ? N : -1;
}

std::string TFrmTag::FieldText(const TField& F) const { return F.Trimmed ? Trim(F.Editor->Text()) : F.Editor->Text(); }

void TFrmTag::ShowEntry(int32_t N) {
  {
    TKvFlagScope Showing(FShowing);
    for (const TField& F : FFields) {
      const std::string Text = N >= 0 ? FList->Entries(N).WorkingTags.*F.Tag : std::string();
      if (F.Editor != CmbGenre) {
        F.Editor->SetText(Text);
        continue;
      }
      // The genre's item when there is one, else the genre as it is.
      int32_t Index = -1;
      for (int32_t I = 0; I < CmbGenre->Items()->Count() && Index < 0; ++I)
        if (CmbGenre->Items()->Strings(I) == Text) Index = I;
      CmbGenre->SetItemIndex(Index);
      if (Index < 0) CmbGenre->SetText(Text);
    }
  }
  for (const TField& F : FFields) UpdateApplyButton(F);
}

void TFrmTag::UpdateApplyButton(const TField& F) {
  // The genre's button follows the number of entries only.
  if (!F.ApplyButton || F.Editor == CmbGenre) return;
  F.ApplyButton->SetEnabled(FList && FList->Count() > 1 && !FieldText(F).empty());
}

void TFrmTag::ForEntries(bool AllEntries, void (*Change)(TFileListEntry&)) {
  const int32_t N = SelectedEntry();
  if (AllEntries && FList)
    for (int32_t I = 0; I < FList->Count(); ++I) Change(FList->Entries(I));
  else if (N >= 0)
    Change(FList->Entries(N));
  ShowEntry(N);
}

void TFrmTag::LstFilesSelectItem() {
  // The groups first: enabling them gives their children back the states they had.
  LstFilesClick();
  ShowEntry(SelectedEntry());
}

void TFrmTag::LstFilesClick() {
  const bool Selected = SelectedEntry() >= 0;
  for (TControl* C : std::initializer_list<TControl*>{BtnResCurr, BtnClrCurr, GrpMusik, GrpDescr})
    C->SetEnabled(Selected);
}

void TFrmTag::FieldChange(const TField& F) {
  if (FShowing) return;
  if (const int32_t N = SelectedEntry(); N >= 0) FList->Entries(N).WorkingTags.*F.Tag = FieldText(F);
  UpdateApplyButton(F);
}

void TFrmTag::EdtTrackKeyPress(char32_t& Key) {
  // Digits, and the control characters of editing (backspace, the clipboard keys).
  if (Key >= U' ' && Key != 0x7F && (Key < U'0' || Key > U'9')) Key = 0;
}

void TFrmTag::ApplyForAllClick(const TField& F) {
  if (!FList) return;
  const std::string Text = FieldText(F);
  for (int32_t I = 0; I < FList->Count(); ++I) FList->Entries(I).WorkingTags.*F.Tag = Text;
}

bool TFrmTag::CloseQuery() {
  FormCloseQuery();
  return TForm::CloseQuery();
}

void TFrmTag::FormCloseQuery() {
  // The next opening starts as the first did.
  for (const TField& F : FFields)
    if (F.ApplyButton) F.ApplyButton->SetEnabled(false);
  BtnResCurr->SetEnabled(false);
  BtnClrCurr->SetEnabled(false);
}
