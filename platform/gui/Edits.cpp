#include "platform/gui/Edits.h"

#include <QClipboard>
#include <QFontMetrics>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPointer>
#include <QProxyStyle>
#include <QScrollBar>
#include <QTextBlock>
#include <QTextDocument>
#include <functional>

#include "platform/gui/ClassicLook.h"
#include "platform/gui/QtSupport.h"
#include "platform/gui/WidgetHost.h"

// ---------------------------------------------------------------------------
// Hosts

namespace {

// The clipboard and undo keys of the platform, as the commands they stand for.
uint32_t CommandOf(QKeyEvent* E) {
  if (E->matches(QKeySequence::Cut)) return WM_CUT;
  if (E->matches(QKeySequence::Copy)) return WM_COPY;
  if (E->matches(QKeySequence::Paste)) return WM_PASTE;
  if (E->matches(QKeySequence::Undo)) return WM_UNDO;
  return 0;
}

// Keys that cut, copy, paste or undo go through the control's messages; Shift+Enter
// breaks a line as Enter does (Qt would insert a soft line separator).
template <class Base>
class TTextHost : public TControlHost<Base> {
public:
  using TControlHost<Base>::TControlHost;

protected:
  void contextMenuEvent(QContextMenuEvent* E) override {
    auto* C = static_cast<TCustomEdit*>(this->Control());
    if (!C) return Base::contextMenuEvent(E);
    RunGuarded([&] { C->ShowEditMenu(FromQPoint(E->globalPos())); }, C);
    E->accept();
  }

  void keyPressEvent(QKeyEvent* E) override {
    TControl* C = this->Control();
    if (const uint32_t Command = C ? CommandOf(E) : 0) {
      RunGuarded([&] { C->Perform(Command); }, C);
      E->accept();
      return;
    }
    if ((E->key() == Qt::Key_Return || E->key() == Qt::Key_Enter) && (E->modifiers() & Qt::ShiftModifier)) {
      QKeyEvent Plain(E->type(), E->key(), E->modifiers() & ~Qt::ShiftModifier, E->text(), E->isAutoRepeat());
      Base::keyPressEvent(&Plain);
      E->setAccepted(Plain.isAccepted());
      return;
    }
    Base::keyPressEvent(E);
  }
};

using TLineEditHost = TTextHost<QLineEdit>;

// Qt shows a line edit's caret whenever its selection changes while text is selected,
// focused or not; the selection kept on leaving would bring the caret back into an
// edit that has lost the focus. Only the focused edit shows a caret.
class TCaretStyle : public QProxyStyle {
public:
  TCaretStyle() : QProxyStyle(NewClassicStyle()) {}
  int styleHint(StyleHint Hint, const QStyleOption* Option, const QWidget* Widget,
                QStyleHintReturn* Return) const override {
    if (Hint == SH_BlinkCursorWhenTextSelected && Widget && !Widget->hasFocus()) return 0;
    return QProxyStyle::styleHint(Hint, Option, Widget, Return);
  }
};

QStyle* CaretStyle() {
  static QPointer<QStyle> Style;
  if (!Style) {
    Style = new TCaretStyle;
    Style->setParent(qApp);  // goes with the application
  }
  return Style;
}
using TMemoHost = TScrollAreaHost<TTextHost<QPlainTextEdit>>;

QString CaseOf(const QString& S, TEditCharCase Case) {
  switch (Case) {
    case ecUpperCase: return S.toUpper();
    case ecLowerCase: return S.toLower();
    default: return S;
  }
}

}  // namespace

// ---------------------------------------------------------------------------
// The text widgets

class TCustomEdit::TTextWidget {
public:
  virtual ~TTextWidget() = default;
  virtual bool MultiLine() const = 0;
  virtual QString Text() const = 0;
  virtual void SetText(const QString& S) = 0;
  virtual int SelStart() const = 0;
  virtual int SelLength() const = 0;
  // Selects Length characters from Start; the caret goes to the end.
  virtual void Select(int Start, int Length) = 0;
  virtual QString SelectedText() const = 0;
  virtual void ReplaceSelection(const QString& S) = 0;
  virtual void SelectAll() = 0;
  virtual void Cut() = 0;
  virtual void Copy() = 0;
  virtual void Paste() = 0;
  virtual void Undo() = 0;
  virtual bool CanUndo() const = 0;
  virtual void ClearUndo() = 0;
  virtual bool ReadOnly() const = 0;
  virtual void SetReadOnly(bool Value) = 0;
  // The edit's options: length limit, password character, alignment, margins.
  virtual void ApplyOptions(const TCustomEdit& Edit) = 0;
  // Runs after every change of the text.
  std::function<void()> OnChanged;
};

namespace {

class TLineText : public TCustomEdit::TTextWidget {
public:
  explicit TLineText(QLineEdit* E) : FEdit(E) {
    FEdit->setFrame(false);
    FEdit->setDragEnabled(false);
    FEdit->setStyle(CaretStyle());
    QObject::connect(FEdit, &QLineEdit::textChanged, [this] {
      if (OnChanged) OnChanged();
    });
  }
  bool MultiLine() const override { return false; }
  QString Text() const override { return FEdit->text(); }
  void SetText(const QString& S) override { FEdit->setText(S); }
  int SelStart() const override { return LineSelStart(FEdit); }
  int SelLength() const override { return LineSelLength(FEdit); }
  void Select(int Start, int Length) override {
    Start = std::clamp(Start, 0, static_cast<int>(FEdit->text().size()));
    if (Length > 0)
      FEdit->setSelection(Start, Length);
    else
      FEdit->setCursorPosition(Start);
  }
  QString SelectedText() const override { return FEdit->selectedText(); }
  void ReplaceSelection(const QString& S) override { FEdit->insert(S); }
  void SelectAll() override { FEdit->selectAll(); }
  void Cut() override { FEdit->cut(); }
  void Copy() override { FEdit->copy(); }
  void Paste() override { FEdit->paste(); }
  void Undo() override { FEdit->undo(); }
  bool CanUndo() const override { return FEdit->isUndoAvailable(); }
  void ClearUndo() override {
    // Setting the text starts a new history; the text stays, so nothing changes.
    const QSignalBlocker Block(FEdit);
    const int Start = SelStart(), Length = SelLength();
    FEdit->setText(FEdit->text());
    Select(Start, Length);
  }
  bool ReadOnly() const override { return FEdit->isReadOnly(); }
  void SetReadOnly(bool Value) override { FEdit->setReadOnly(Value); }
  void ApplyOptions(const TCustomEdit& Edit) override {
    FEdit->setMaxLength(Edit.MaxLength() > 0 ? Edit.MaxLength() : std::numeric_limits<int>::max());
    const char32_t Mask = Edit.PasswordChar();
    FEdit->setEchoMode(Mask ? QLineEdit::Password : QLineEdit::Normal);
    const QString Sheet = Mask ? QString("QLineEdit { lineedit-password-character: %1 }").arg(uint32_t(Mask)) : QString();
    if (FEdit->styleSheet() != Sheet) FEdit->setStyleSheet(Sheet);
    static const Qt::Alignment Alignments[] = {Qt::AlignLeft, Qt::AlignRight, Qt::AlignHCenter};
    FEdit->setAlignment(Alignments[Edit.Alignment()] | Qt::AlignVCenter);
    const int32_t B = Edit.BorderBand();
    FEdit->setTextMargins(B + Edit.LeftMargin(), B, B + Edit.RightMargin(), B);
  }

private:
  QLineEdit* FEdit;
};

class TPlainText : public TCustomEdit::TTextWidget {
public:
  explicit TPlainText(TMemoHost* E) : FEdit(E) {
    FEdit->setTabChangesFocus(false);
    QObject::connect(FEdit, &QPlainTextEdit::textChanged, [this] {
      if (OnChanged) OnChanged();
    });
  }
  bool MultiLine() const override { return true; }
  QString Text() const override {
    // The raw text keeps non-breaking spaces; its paragraph separators are line breaks.
    QString S = FEdit->document()->toRawText();
    S.replace(QChar::ParagraphSeparator, u'\n');
    S.replace(QChar::LineSeparator, u'\n');
    return S;
  }
  void SetText(const QString& S) override { FEdit->setPlainText(S); }
  int SelStart() const override { return FEdit->textCursor().selectionStart(); }
  int SelLength() const override {
    const QTextCursor C = FEdit->textCursor();
    return C.selectionEnd() - C.selectionStart();
  }
  void Select(int Start, int Length) override {
    QTextCursor C = FEdit->textCursor();
    const int End = FEdit->document()->characterCount() - 1;
    Start = std::clamp(Start, 0, End);
    C.setPosition(Start);
    C.setPosition(std::clamp(Start + std::max(0, Length), 0, End), QTextCursor::KeepAnchor);
    FEdit->setTextCursor(C);
  }
  QString SelectedText() const override {
    QString S = FEdit->textCursor().selectedText();
    S.replace(QChar::ParagraphSeparator, u'\n');
    return S;
  }
  void ReplaceSelection(const QString& S) override { FEdit->insertPlainText(S); }
  void SelectAll() override { FEdit->selectAll(); }
  void Cut() override { FEdit->cut(); }
  void Copy() override { FEdit->copy(); }
  void Paste() override { FEdit->paste(); }
  void Undo() override { FEdit->undo(); }
  bool CanUndo() const override { return FEdit->document()->isUndoAvailable(); }
  void ClearUndo() override { FEdit->document()->clearUndoRedoStacks(); }
  bool ReadOnly() const override { return FEdit->isReadOnly(); }
  void SetReadOnly(bool Value) override { FEdit->setReadOnly(Value); }
  void ApplyOptions(const TCustomEdit& Edit) override {
    static const Qt::Alignment Alignments[] = {Qt::AlignLeft, Qt::AlignRight, Qt::AlignHCenter};
    QTextOption Option = FEdit->document()->defaultTextOption();
    Option.setAlignment(Alignments[Edit.Alignment()]);
    FEdit->document()->setDefaultTextOption(Option);
    SetFrameBand(FEdit, Edit.BorderBand());
    FEdit->SetViewportMargins(Edit.LeftMargin(), 0, Edit.RightMargin(), 0);
  }

private:
  TMemoHost* FEdit;
};

}  // namespace

// ---------------------------------------------------------------------------
// TCustomEdit

TCustomEdit::TCustomEdit(TComponent* AOwner) : TCustomEdit(AOwner, new TLineEditHost(this), false) {}

TCustomEdit::TCustomEdit(TComponent* AOwner, IControlHost* AHost, bool MultiLine) : TWidgetControl(AOwner, AHost) {
  if (MultiLine)
    FText = std::make_unique<TPlainText>(static_cast<TMemoHost*>(Host()));
  else
    FText = std::make_unique<TLineText>(static_cast<QLineEdit*>(Host()));
  FText->OnChanged = [this] { RunGuarded([this] { Change(); }, this); };
  SetControlStyle(csCaptureMouse | csClickEvents | csSetCaption | csDoubleClicks);
  FText->ApplyOptions(*this);
  ApplyLook();
  SetBounds(Left(), Top(), 121, 25);
  SetAutoSize(!FText->MultiLine());
}

TCustomEdit::~TCustomEdit() = default;

void TCustomEdit::Change() {
  FModified = true;
  if (OnChange) OnChange(this);
}

std::string TCustomEdit::GetText() const { return FromQString(FText->Text()); }

void TCustomEdit::DoSetText(const std::string& Value) {
  const QString New = FText->MultiLine() ? ToQString(Value) : CaseOf(ToQString(Value), FCharCase);
  if (New == FText->Text()) return;
  FText->SetText(New);
  Perform(CM_TEXTCHANGED);
}

void TCustomEdit::SetMaxLength(int32_t Value) {
  Value = std::max(0, Value);
  if (Value == FMaxLength) return;
  FMaxLength = Value;
  FText->ApplyOptions(*this);
}

bool TCustomEdit::ReadOnly() const { return FText->ReadOnly(); }

void TCustomEdit::SetReadOnly(bool Value) {
  if (Value == FText->ReadOnly()) return;
  FText->SetReadOnly(Value);
  ReadOnlyChanged();
}

void TCustomEdit::SetPasswordChar(char32_t Value) {
  if (Value == FPasswordChar) return;
  FPasswordChar = Value;
  FText->ApplyOptions(*this);
}

void TCustomEdit::SetCharCase(TEditCharCase Value) {
  if (Value == FCharCase) return;
  FCharCase = Value;
  DoSetText(GetText());
}

void TCustomEdit::SetHideSelection(bool Value) {
  if (Value == FHideSelection) return;
  FHideSelection = Value;
  ApplyLook();
}

void TCustomEdit::SetAlignment(TAlignment Value) {
  if (Value == FAlignment) return;
  FAlignment = Value;
  FText->ApplyOptions(*this);
}

void TCustomEdit::SetMargins(int32_t Left, int32_t Right) {
  FLeftMargin = std::max(0, Left);
  FRightMargin = std::max(0, Right);
  FText->ApplyOptions(*this);
}

int32_t TCustomEdit::SelStart() const { return FText->SelStart(); }
void TCustomEdit::SetSelStart(int32_t Value) { FText->Select(Value, 0); }
int32_t TCustomEdit::SelLength() const { return FText->SelLength(); }
void TCustomEdit::SetSelLength(int32_t Value) { FText->Select(FText->SelStart(), Value); }
std::string TCustomEdit::SelText() const { return FromQString(FText->SelectedText()); }
void TCustomEdit::SetSelText(const std::string& Value) { FText->ReplaceSelection(ToQString(Value)); }
void TCustomEdit::SelectAll() { FText->SelectAll(); }
bool TCustomEdit::CanUndo() const { return FText->CanUndo(); }

void TCustomEdit::ShowEditMenu(const TPoint& ScreenPos) {
  TEditMenuState State;
  State.CanUndo = FText->CanUndo();
  State.HasSelection = FText->SelLength() > 0;
  State.ReadOnly = FText->ReadOnly();
  State.CanSelectAll = FText->SelLength() < FText->Text().size();
  PopupEditMenu(ScreenPos, State, [this] { SelectAll(); });
}
void TCustomEdit::ClearUndo() { FText->ClearUndo(); }

void TCustomEdit::WMCut() {
  if (!ReadOnly()) FText->Cut();
}

void TCustomEdit::WMCopy() { FText->Copy(); }

void TCustomEdit::WMPaste() {
  if (ReadOnly()) return;
  if (FCharCase == ecNormal || FText->MultiLine())
    FText->Paste();
  else
    FText->ReplaceSelection(CaseOf(QGuiApplication::clipboard()->text(), FCharCase));
}

void TCustomEdit::WMClear() {
  if (!ReadOnly() && FText->SelLength() > 0) FText->ReplaceSelection(QString());
}

void TCustomEdit::WMUndo() {
  if (!ReadOnly()) FText->Undo();
}

void TCustomEdit::KeyPress(char32_t& Key) {
  TWidgetControl::KeyPress(Key);
  if (Key >= U' ' && FCharCase != ecNormal && !FText->MultiLine()) {
    const std::u32string Converted = CaseOf(QString::fromUcs4(&Key, 1), FCharCase).toStdU32String();
    if (Converted.size() == 1) Key = Converted[0];
  }
}

void TCustomEdit::DoEnter() {
  // A click places the caret where it went down; other ways in select everything.
  if (FAutoSelect && !FText->MultiLine() && !(QGuiApplication::mouseButtons() & Qt::LeftButton)) SelectAll();
  TWidgetControl::DoEnter();
}

bool TCustomEdit::HostEvent(QEvent* Event) {
  switch (Event->type()) {
    case QEvent::FocusIn: {
      // Qt selects everything when tabbed into; without AutoSelect the caret stays.
      const bool HadSelection = FText->SelLength() > 0;
      const int Caret = FText->SelStart();
      const bool Result = TWidgetControl::HostEvent(Event);
      if (!FAutoSelect && !HadSelection && FText->SelLength() > 0) FText->Select(Caret, 0);
      ApplyLook();
      return Result;
    }
    case QEvent::FocusOut: {
      // Qt drops a line edit's selection on leaving; the class library keeps it.
      const int Start = FText->SelStart(), Length = FText->SelLength();
      const bool Result = TWidgetControl::HostEvent(Event);
      if (Length > 0 && FText->SelLength() == 0) FText->Select(Start, Length);
      ApplyLook();
      return Result;
    }
    default:
      return TWidgetControl::HostEvent(Event);
  }
}

void TCustomEdit::ApplyLook() {
  TWidgetControl::ApplyLook();
  if (!FHideSelection || Focused()) return;
  // An unfocused control shows no selection.
  QPalette Pal = Host()->palette();
  for (QPalette::ColorGroup G : {QPalette::Active, QPalette::Inactive}) {
    Pal.setColor(G, QPalette::Highlight, Pal.color(G, QPalette::Base));
    Pal.setColor(G, QPalette::HighlightedText, Pal.color(G, QPalette::Text));
  }
  Host()->setPalette(Pal);
}

void TCustomEdit::SetAutoSize(bool Value) {
  TWidgetControl::SetAutoSize(Value);
  AdjustHeight();
}

bool TCustomEdit::CanAutoSize(int32_t&, int32_t&) { return false; }

void TCustomEdit::AdjustHeight() {
  if (AutoSize() && !Loading()) SetHeight(QFontMetrics(Font()->QtFont()).height() + (Ctl3D() ? 8 : 6));
}

void TCustomEdit::Loaded() {
  TWidgetControl::Loaded();
  AdjustHeight();
}

void TCustomEdit::CMFontChanged() {
  TWidgetControl::CMFontChanged();
  AdjustHeight();
}

void TCustomEdit::BorderChanged() {
  FText->ApplyOptions(*this);
  AdjustHeight();
  TWidgetControl::BorderChanged();
}

// ---------------------------------------------------------------------------
// TCustomMemo

class TCustomMemo::TMemoStrings : public TStrings {
public:
  explicit TMemoStrings(QPlainTextEdit* E) : FEdit(E) {}

  int32_t Count() const override {
    const QTextDocument* D = FEdit->document();
    // A final line break does not start another line.
    return D->blockCount() - (D->lastBlock().text().isEmpty() ? 1 : 0);
  }
  std::string Strings(int32_t Index) const override {
    CheckIndex(Index, Count());
    return FromQString(Block(Index).text());
  }
  void SetString(int32_t Index, const std::string& S) override {
    CheckIndex(Index, Count());
    QTextCursor C(Block(Index));
    C.movePosition(QTextCursor::EndOfBlock, QTextCursor::KeepAnchor);
    C.insertText(ToQString(S));
  }
  void Insert(int32_t Index, const std::string& S) override {
    CheckIndex(Index, Count() + 1);
    const QTextDocument* D = FEdit->document();
    if (Index < D->blockCount()) {
      QTextCursor C(Block(Index));
      C.insertText(ToQString(S) + u'\n');
    } else {
      QTextCursor C(FEdit->document());
      C.movePosition(QTextCursor::End);
      C.insertText(u'\n' + ToQString(S));
    }
  }
  void Delete(int32_t Index) override {
    CheckIndex(Index, Count());
    QTextCursor C(Block(Index));
    const QTextBlock Next = Block(Index).next();
    if (Next.isValid())
      C.setPosition(Next.position(), QTextCursor::KeepAnchor);
    else
      C.movePosition(QTextCursor::EndOfBlock, QTextCursor::KeepAnchor);
    C.removeSelectedText();
  }
  void Clear() override { FEdit->clear(); }

private:
  QTextBlock Block(int32_t Index) const { return FEdit->document()->findBlockByNumber(Index); }
  QPlainTextEdit* FEdit;
};

TCustomMemo::TCustomMemo(TComponent* AOwner)
    : TCustomEdit(AOwner, new TMemoHost(this), true), FLines(std::make_unique<TMemoStrings>(Memo())) {
  SetBounds(Left(), Top(), 185, 89);
  SetWordWrap(true);
  SetScrollBars(ssNone);
}

TCustomMemo::~TCustomMemo() = default;

QPlainTextEdit* TCustomMemo::Memo() const { return static_cast<QPlainTextEdit*>(Host()); }

TPoint TCustomMemo::CaretPos() const {
  const QTextCursor C = Memo()->textCursor();
  return {C.positionInBlock(), C.blockNumber()};
}

void TCustomMemo::SetCaretPos(const TPoint& Value) {
  const QTextDocument* D = Memo()->document();
  const QTextBlock B = D->findBlockByNumber(std::clamp(Value.Y, 0, D->blockCount() - 1));
  QTextCursor C(B);
  C.setPosition(B.position() + std::clamp(Value.X, 0, B.length() - 1));
  Memo()->setTextCursor(C);
}

void TCustomMemo::SetWordWrap(bool Value) {
  FWordWrap = Value;
  Memo()->setLineWrapMode(Value ? QPlainTextEdit::WidgetWidth : QPlainTextEdit::NoWrap);
}

void TCustomMemo::SetScrollBars(TScrollStyle Value) {
  FScrollBars = Value;
  const bool H = Value == ssHorizontal || Value == ssBoth, V = Value == ssVertical || Value == ssBoth;
  Memo()->setHorizontalScrollBarPolicy(H ? Qt::ScrollBarAlwaysOn : Qt::ScrollBarAlwaysOff);
  Memo()->setVerticalScrollBarPolicy(V ? Qt::ScrollBarAlwaysOn : Qt::ScrollBarAlwaysOff);
}

int32_t TCustomMemo::TopLine() const { return Memo()->cursorForPosition(QPoint(0, 0)).blockNumber(); }

void TCustomMemo::SetTopLine(int32_t Value) {
  // The scroll bar counts laid-out lines: a wrapped line counts as many.
  QTextDocument* D = Memo()->document();
  int Lines = 0;
  for (QTextBlock B = D->begin(); B.isValid() && B.blockNumber() < Value; B = B.next()) {
    D->documentLayout()->blockBoundingRect(B);
    Lines += std::max(1, B.lineCount());
  }
  Memo()->verticalScrollBar()->setValue(Lines);
}

bool TCustomMemo::ScrollLines(int32_t Count) { return Scroll(Count, false); }
bool TCustomMemo::ScrollPages(int32_t Count) { return Scroll(Count, true); }

bool TCustomMemo::Scroll(int32_t Count, bool Pages) {
  QScrollBar* Bar = Memo()->verticalScrollBar();
  const int Old = Bar->value();
  Bar->setValue(Old + Count * (Pages ? Bar->pageStep() : Bar->singleStep()));
  return Bar->value() != Old;
}

uint32_t TCustomMemo::WMGetDlgCode() {
  return DLGC_WANTCHARS | DLGC_WANTARROWS | (FWantTabs ? uint32_t(DLGC_WANTTAB) : 0u) |
         (FWantReturns ? uint32_t(DLGC_WANTALLKEYS) : 0u);
}

void TCustomMemo::KeyDown(uint16_t& Key, TShiftState Shift) {
  // Escape belongs to the form (its cancel button) even while the memo wants Enter.
  if (Key == VK_ESCAPE && FWantReturns)
    if (TCustomForm* Form = GetParentForm(this); Form && Form->Perform(CM_DIALOGKEY, Key, Shift)) {
      Key = 0;
      return;
    }
  TCustomEdit::KeyDown(Key, Shift);
}

void TCustomMemo::KeyPress(char32_t& Key) {
  TCustomEdit::KeyPress(Key);
  if (Key == U'\r' && !FWantReturns) Key = 0;
}

