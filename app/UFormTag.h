#pragma once
// The tag editor: a modal dialog over one TFileList (the files or the CD tracks) in
// which the user edits the tags the outputs will get. It writes no file.
//
// Opening copies every entry's CurrentTags into its WorkingTags; the dialog edits the
// working sets, entry by entry or one field for all entries at once. OK copies them
// back into CurrentTags and raises OnTagsChanged (the main window then makes the
// output names again); Cancel leaves CurrentTags as they were. The working sets stay
// in the entries until the next opening.
//
// Only what the user types or chooses is stored, into the selected entry: showing an
// entry changes nothing. Texts are UTF-8 as typed; Artist, Album, Year, Comment,
// Language, Copyright, URL and Encoded by lose the blanks at both ends. The track
// number is stored as typed (digits only can be typed; "0" stays "0").

#include <array>
#include <cstdint>
#include <string>

#include "app/UFileList.h"
#include "platform/gui/Forms.h"

class TKvBackground;
class TKvBitBtn;
class TKvComboBox;
class TKvGroupBox;
class TKvListView;
class TKvToolButton;
class TListItem;

class TFrmTag : public TForm {
public:
  explicit TFrmTag(TComponent* AOwner);

  // Shows the dialog modally on List's entries and returns mrOk once the edits are in
  // CurrentTags (OnTagsChanged has run), else mrCancel. The dialog does not keep List
  // afterwards.
  TModalResult LoadFileList(TFileList* List);

  // After OK copied the working sets into CurrentTags.
  TNotifyEvent OnTagsChanged;

  bool CloseQuery() override;

  TKvBackground* BgrTag;
  TKvListView* LstFiles;
  TKvGroupBox* GrpMusik;
  TKvGroupBox* GrpDescr;
  TKvComboBox* CmbGenre;
  TKvBitBtn* BtnOK;
  TKvBitBtn* BtnCncl;
  TKvBitBtn* BtnResCurr;
  TKvBitBtn* BtnResAll;
  TKvBitBtn* BtnClrCurr;
  TKvBitBtn* BtnClrAll;

private:
  // One tag field: its editor (edit, memo or the genre box) and its "Apply for all
  // tracks" button (nullptr for Track, Title and Composer).
  struct TField {
    std::string TTagSet::*Tag = nullptr;
    TWinControl* Editor = nullptr;
    TKvToolButton* ApplyButton = nullptr;
    bool Trimmed = false;
  };
  static constexpr int32_t GenreField = 4;

  void CreateControls();
  void CreateGroup(TKvGroupBox* Group, int32_t FirstField, int32_t LastField);
  // The selected entry's index; -1 when none.
  int32_t SelectedEntry() const;
  // The text a field's editor holds, as the field stores it.
  std::string FieldText(const TField& F) const;
  // Shows entry N's working set (N = -1: empties the editors).
  void ShowEntry(int32_t N);
  void UpdateApplyButton(const TField& F);
  void ForEntries(bool AllEntries, void (*Change)(TFileListEntry&));

  void LstFilesSelectItem();
  void LstFilesClick();
  void FieldChange(const TField& F);
  void EdtTrackKeyPress(char32_t& Key);
  void ApplyForAllClick(const TField& F);
  void FormCloseQuery();

  std::array<TField, TagSetFieldCount> FFields;
  TFileList* FList = nullptr;
  // Set while the editors show an entry, so that their change events store nothing.
  bool FShowing = false;
};
