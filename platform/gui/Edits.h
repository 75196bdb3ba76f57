#pragma once
// Edits and memos: single-line text over QLineEdit, multi-line text over QPlainTextEdit,
// each inside the border band of TWidgetControl.
//
// Events follow the class library: OnChange runs after every change of the text, by
// the user or by code (setting Text to its present value changes nothing); setting Text
// in code also raises CM_TEXTCHANGED. Keys go through OnKeyDown, OnKeyPress (which may
// swallow or change the character) and OnKeyUp before the widget sees them (see
// TWinControl). Cut, copy, paste, delete and undo, whether from the keyboard, the
// context menu or code, go through WM_CUT, WM_COPY, WM_PASTE, WM_CLEAR and WM_UNDO
// (WMCut and the rest), so a derived control can refuse them.
//
// Positions (SelStart, SelLength, caret columns) count UTF-16 code units, which are
// the characters of every text outside the rare supplementary planes.

#include <cstdint>
#include <memory>
#include <string>

#include "platform/gui/Strings.h"
#include "platform/gui/WidgetControl.h"

class QLineEdit;
class QPlainTextEdit;

enum TEditCharCase : uint8_t { ecNormal, ecUpperCase, ecLowerCase };

class TCustomEdit : public TWidgetControl {
public:
  explicit TCustomEdit(TComponent* AOwner);
  ~TCustomEdit() override;

  // 0: no limit. Text already longer stays. Edits only; memos take any length.
  int32_t MaxLength() const { return FMaxLength; }
  void SetMaxLength(int32_t Value);
  bool ReadOnly() const;
  void SetReadOnly(bool Value);
  // Shown for each character instead of the text; 0 shows the text. Edits only.
  char32_t PasswordChar() const { return FPasswordChar; }
  void SetPasswordChar(char32_t Value);
  // Typed and pasted text, and text set in code, are converted to this case. Edits only.
  TEditCharCase CharCase() const { return FCharCase; }
  void SetCharCase(TEditCharCase Value);
  // Entering the control other than by a click selects the whole text (edits only).
  bool AutoSelect() const { return FAutoSelect; }
  void SetAutoSelect(bool Value) { FAutoSelect = Value; }
  // The selection is shown only while the control has the focus.
  bool HideSelection() const { return FHideSelection; }
  void SetHideSelection(bool Value);
  TAlignment Alignment() const { return FAlignment; }
  void SetAlignment(TAlignment Value);
  // Space between the band and the text (EM_SETMARGINS).
  int32_t LeftMargin() const { return FLeftMargin; }
  int32_t RightMargin() const { return FRightMargin; }
  void SetMargins(int32_t Left, int32_t Right);

  // The selection: SelStart is the caret when nothing is selected. Setting SelStart
  // empties the selection; SelText replaces it.
  int32_t SelStart() const;
  void SetSelStart(int32_t Value);
  int32_t SelLength() const;
  void SetSelLength(int32_t Value);
  std::string SelText() const;
  void SetSelText(const std::string& Value);
  void SelectAll();
  void ClearSelection() { Perform(WM_CLEAR); }
  void CutToClipboard() { Perform(WM_CUT); }
  void CopyToClipboard() { Perform(WM_COPY); }
  void PasteFromClipboard() { Perform(WM_PASTE); }
  void Undo() { Perform(WM_UNDO); }
  bool CanUndo() const;
  void ClearUndo();
  void Clear() { SetText(""); }
  // The edit's own context menu, shown when neither OnContextPopup nor PopupMenu takes
  // the request (see TWidgetControl::PopupEditMenu).
  void ShowEditMenu(const TPoint& ScreenPos);
  // With AutoSize (the default for edits) the height follows the font when the font
  // or the border changes: the font's cell height plus 8 pixels with Ctl3D, 6 without.
  // A height set in code stays until then.
  void SetAutoSize(bool Value) override;
  // Set by every change of the text; cleared only by code.
  bool Modified() const { return FModified; }
  void SetModified(bool Value) { FModified = Value; }

  TNotifyEvent OnChange;

  // The text operations of the widget (QLineEdit or QPlainTextEdit).
  class TTextWidget;

protected:
  // AHost is a QPlainTextEdit when MultiLine, else a QLineEdit.
  TCustomEdit(TComponent* AOwner, IControlHost* AHost, bool MultiLine);
  TTextWidget& TextWidget() const { return *FText; }

  // After every change of the text: sets Modified and raises OnChange.
  virtual void Change();
  // After ReadOnly changed.
  virtual void ReadOnlyChanged() {}
  std::string GetText() const override;
  void DoSetText(const std::string& Value) override;
  bool HostEvent(QEvent* Event) override;
  void DoEnter() override;
  void KeyPress(char32_t& Key) override;
  uint32_t WMGetDlgCode() override { return DLGC_WANTCHARS | DLGC_WANTARROWS; }
  // The height for AutoSize (see SetAutoSize); the children play no part in it.
  virtual void AdjustHeight();
  bool CanAutoSize(int32_t& NewWidth, int32_t& NewHeight) override;
  void Loaded() override;
  void CMFontChanged() override;
  void BorderChanged() override;
  void ApplyLook() override;
  void WMCut() override;
  void WMCopy() override;
  void WMPaste() override;
  void WMClear() override;
  void WMUndo() override;

private:
  std::unique_ptr<TTextWidget> FText;

  int32_t FMaxLength = 0;
  char32_t FPasswordChar = 0;
  TEditCharCase FCharCase = ecNormal;
  bool FAutoSelect = true;
  bool FHideSelection = true;
  TAlignment FAlignment = taLeftJustify;
  int32_t FLeftMargin = 0;
  int32_t FRightMargin = 0;
  bool FModified = false;
};

// The edit the widget library's edits derive from. Edit masks are not built: nothing
// sets one, so this is the plain edit.
class TCustomMaskEdit : public TCustomEdit {
public:
  using TCustomEdit::TCustomEdit;
};

class TEdit : public TCustomEdit {
public:
  using TCustomEdit::TCustomEdit;
};

// ---------------------------------------------------------------------------

enum TScrollStyle : uint8_t { ssNone, ssHorizontal, ssVertical, ssBoth };

// Multi-line text. Lines are the hard lines of the text (a final line break does not
// start another line). Enter types a line break with WantReturns (and is dropped
// without it, after the form had its chance at it); Tab types a tab with WantTabs and
// moves the focus without it; Escape always goes to the form first.
class TCustomMemo : public TCustomEdit {
public:
  explicit TCustomMemo(TComponent* AOwner);
  ~TCustomMemo() override;

  TStrings* Lines() const { return FLines.get(); }
  void SetLines(const TStrings* Value) { FLines->Assign(*Value); }
  // The caret: X the column and Y the line, both from 0.
  TPoint CaretPos() const;
  void SetCaretPos(const TPoint& Value);
  bool WordWrap() const { return FWordWrap; }
  void SetWordWrap(bool Value);
  // Scroll bars shown always (ssNone: never).
  TScrollStyle ScrollBars() const { return FScrollBars; }
  void SetScrollBars(TScrollStyle Value);
  bool WantReturns() const { return FWantReturns; }
  void SetWantReturns(bool Value) { FWantReturns = Value; }
  bool WantTabs() const { return FWantTabs; }
  void SetWantTabs(bool Value) { FWantTabs = Value; }

  // The first line shown at the top; setting it scrolls as far as the text allows.
  int32_t TopLine() const;
  void SetTopLine(int32_t Value);
  // Scrolls by Count lines or pages (negative: up); false when it could not move.
  bool ScrollLines(int32_t Count);
  bool ScrollPages(int32_t Count);

protected:
  uint32_t WMGetDlgCode() override;
  void KeyDown(uint16_t& Key, TShiftState Shift) override;
  void KeyPress(char32_t& Key) override;
  void AdjustHeight() override {}
  QPlainTextEdit* Memo() const;

private:
  class TMemoStrings;
  bool Scroll(int32_t Count, bool Pages);

  std::unique_ptr<TStrings> FLines;
  bool FWordWrap = true;
  TScrollStyle FScrollBars = ssNone;
  bool FWantReturns = true;
  bool FWantTabs = false;
};

class TMemo : public TCustomMemo {
public:
  using TCustomMemo::TCustomMemo;
};
