#include "platform/gui/Dialogs.h"

#include <QFileDialog>
#include <QMessageBox>
#include <QPushButton>
#include <QScreen>
#include <algorithm>
#include <utility>

#include "platform/gui/Forms.h"
#include "platform/gui/QtSupport.h"

namespace {
TDialogResponder& CurrentResponder() {
  static TDialogResponder Responder;
  return Responder;
}
}  // namespace

TDialogResponder SetDialogResponder(TDialogResponder Responder) {
  return std::exchange(CurrentResponder(), std::move(Responder));
}

TDialogAnswer ExecuteDialog(const TDialogRequest& Request, const std::function<TDialogAnswer()>& Show) {
  if (const TDialogResponder& R = CurrentResponder()) return R(Request);
  return Show();
}

std::string NormalizeLineBreaks(const std::string& Text) {
  std::string Result;
  Result.reserve(Text.size());
  for (size_t I = 0; I < Text.size(); ++I) {
    const char C = Text[I];
    if (C == '\r' || C == '\n') {
      Result += '\n';
      // A pair of different break characters is one break.
      if (I + 1 < Text.size() && (Text[I + 1] == '\r' || Text[I + 1] == '\n') && Text[I + 1] != C) ++I;
    } else {
      Result += C;
    }
  }
  return Result;
}

namespace {

struct TButtonChoice {
  QMessageBox::StandardButton Button;
  int32_t Id;
};

std::vector<TButtonChoice> ButtonsOf(uint32_t Type) {
  switch (Type) {
    case MB_OKCANCEL: return {{QMessageBox::Ok, IDOK}, {QMessageBox::Cancel, IDCANCEL}};
    case MB_ABORTRETRYIGNORE: return {{QMessageBox::Abort, IDABORT}, {QMessageBox::Retry, IDRETRY}, {QMessageBox::Ignore, IDIGNORE}};
    case MB_YESNOCANCEL: return {{QMessageBox::Yes, IDYES}, {QMessageBox::No, IDNO}, {QMessageBox::Cancel, IDCANCEL}};
    case MB_YESNO: return {{QMessageBox::Yes, IDYES}, {QMessageBox::No, IDNO}};
    case MB_RETRYCANCEL: return {{QMessageBox::Retry, IDRETRY}, {QMessageBox::Cancel, IDCANCEL}};
    default: return {{QMessageBox::Ok, IDOK}};
  }
}

QMessageBox::Icon IconOf(uint32_t Icon) {
  switch (Icon) {
    case MB_ICONHAND: return QMessageBox::Critical;
    case MB_ICONQUESTION: return QMessageBox::Question;
    case MB_ICONEXCLAMATION: return QMessageBox::Warning;
    case MB_ICONASTERISK: return QMessageBox::Information;
    default: return QMessageBox::NoIcon;
  }
}

QWidget* OwnerWindow(TControl* Owner) {
  if (Owner)
    if (TCustomForm* Form = GetParentForm(Owner)) return Form->Host();
  if (Screen)
    if (TCustomForm* Active = Screen->ActiveForm()) return Active->Host();
  return nullptr;
}

// A message box that always fits the screen it is shown on. Qt limits its width and
// wraps the text, but lets it grow as tall as the text: a text too long is cut after
// the last whole line that fits (within the first line when not even that fits) and
// ends in "…", so that the box and its buttons stay on the screen.
class TFittingMessageBox : public QMessageBox {
public:
  TFittingMessageBox(Icon AIcon, const QString& Caption, const QString& Text, QWidget* Parent)
      : QMessageBox(AIcon, Caption, Text, NoButton, Parent), FText(Text) {
    // Messages are plain text: a file name such as "<b>.wav" is shown as it is.
    setTextFormat(Qt::PlainText);
  }

protected:
  void showEvent(QShowEvent* Event) override {
    QMessageBox::showEvent(Event);
    if (Fits()) return;
    // The longest beginning of the text that fits, found by halving.
    qsizetype low = 0, high = FText.size();
    while (low < high) {
      const qsizetype mid = (low + high + 1) / 2;
      setText(Cut(mid));
      if (Fits())
        low = mid;
      else
        high = mid - 1;
    }
    setText(Cut(low));
    // Placed again for its new size.
    adjustPosition(parentWidget());
  }

private:
  // The text's first Length characters, back to the end of their last whole line
  // when they have one, and "…".
  QString Cut(qsizetype Length) const {
    const QChar ellipsis(0x2026);
    const qsizetype lineEnd = FText.lastIndexOf('\n', std::min(Length, FText.size() - 1));
    return lineEnd > 0 ? FText.left(lineEnd) + '\n' + ellipsis : FText.left(Length) + ellipsis;
  }
  bool Fits() const {
    const QRect area = screen()->availableGeometry();
    const QRect frame = frameGeometry();
    // Before the window system has framed the box, its frame is unknown: room is kept
    // for one as large as QDialog reckons when it places a dialog.
    const int frameWidth = frame.width() > width() ? frame.width() - width() : 10;
    const int frameHeight = frame.height() > height() ? frame.height() - height() : 40;
    return width() + frameWidth <= area.width() && height() + frameHeight <= area.height();
  }

  QString FText;
};

TDialogAnswer ShowMessageBox(const TDialogRequest& R) {
  TFittingMessageBox Box(IconOf(R.Icon()), ToQString(R.Caption), ToQString(R.Text), OwnerWindow(R.Owner));
  const std::vector<TButtonChoice> Buttons = ButtonsOf(R.Buttons());
  for (const TButtonChoice& B : Buttons) Box.addButton(B.Button);
  const size_t Default = std::min<size_t>((R.Flags & MB_DEFMASK) >> 8, Buttons.size() - 1);
  Box.setDefaultButton(Buttons[Default].Button);
  const int Pressed = Box.exec();
  for (const TButtonChoice& B : Buttons)
    if (B.Button == Pressed) return {B.Id, {}, {}, 0};
  return {IDCANCEL, {}, {}, 0};
}

}  // namespace

int32_t MessageBox(TControl* Owner, const std::string& Text, const std::string& Caption, uint32_t Flags) {
  TDialogRequest Request;
  Request.Kind = dkMessageBox;
  Request.Owner = Owner;
  Request.Caption = Caption;
  Request.Text = NormalizeLineBreaks(Text);
  Request.Flags = Flags;
  return ExecuteDialog(Request, [&] { return ShowMessageBox(Request); }).Result;
}

// ---------------------------------------------------------------------------
// File and folder dialogs

namespace {

// Qt's name filter for Filter's entries: the patterns go in the last parentheses.
QStringList NameFilters(const std::vector<TFileFilter>& Filters) {
  QStringList Result;
  for (const TFileFilter& F : Filters) {
    QStringList Masks;
    for (const std::string& M : F.Masks) Masks << ToQString(M);
    Result << ToQString(F.Description) + " (" + Masks.join(' ') + ")";
  }
  return Result;
}

}  // namespace

std::vector<TFileFilter> ParseFilter(const std::string& Filter) {
  std::vector<TFileFilter> Result;
  if (Filter.empty()) return Result;
  const QStringList Parts = ToQString(Filter).split(u'|');
  for (qsizetype I = 0; I + 1 < Parts.size(); I += 2) {
    TFileFilter F{FromQString(Parts[I]), {}};
    for (const QString& Mask : Parts[I + 1].split(u';'))
      if (!Mask.trimmed().isEmpty()) F.Masks.push_back(FromQString(Mask.trimmed()));
    if (F.Masks.empty()) F.Masks.push_back("*");
    Result.push_back(std::move(F));
  }
  return Result;
}

bool TOpenDialog::Execute(TControl* Owner) {
  TDialogRequest Request;
  Request.Kind = dkOpenFiles;
  Request.Owner = Owner;
  Request.Caption = FTitle;
  Request.InitialDir = FInitialDir;
  Request.FileName = FFileName;
  Request.Filter = FFilter;
  Request.FilterIndex = FFilterIndex;
  Request.Options = FOptions;
  const TDialogAnswer Answer = ExecuteDialog(Request, [&] {
    QFileDialog Dialog(OwnerWindow(Owner), ToQString(FTitle.empty() ? std::string("Open") : FTitle),
                       ToQString(FInitialDir));
    Dialog.setAcceptMode(QFileDialog::AcceptOpen);
    Dialog.setFileMode((FOptions & ofAllowMultiSelect) ? QFileDialog::ExistingFiles
                       : (FOptions & ofFileMustExist) ? QFileDialog::ExistingFile
                                                        : QFileDialog::AnyFile);
    Dialog.setOption(QFileDialog::HideNameFilterDetails);
    const std::vector<TFileFilter> Parsed = ParseFilter(FFilter);
    const QStringList Filters = NameFilters(Parsed);
    if (!Filters.isEmpty()) {
      Dialog.setNameFilters(Filters);
      Dialog.selectNameFilter(Filters.value(std::clamp<int>(FFilterIndex, 1, static_cast<int>(Filters.size())) - 1));
    }
    if (!FFileName.empty()) Dialog.selectFile(ToQString(FFileName));
    TDialogAnswer A;
    A.Result = Dialog.exec() == QDialog::Accepted ? mrOk : mrCancel;
    for (const QString& F : Dialog.selectedFiles()) A.Files.push_back(FromQString(F));
    // The dialog names the filter in use without its masks.
    const QString Selected = Dialog.selectedNameFilter();
    for (size_t I = 0; I < Parsed.size() && A.FilterIndex == 0; ++I)
      if (Filters[static_cast<qsizetype>(I)] == Selected || ToQString(Parsed[I].Description) == Selected)
        A.FilterIndex = static_cast<int32_t>(I) + 1;
    return A;
  });
  if (Answer.Result != mrOk || Answer.Files.empty()) return false;
  FFiles.Clear();
  for (const std::string& F : Answer.Files) {
    FFiles.Add(F);
    if (!(FOptions & ofAllowMultiSelect)) break;
  }
  FFileName = FFiles.Strings(0);
  if (Answer.FilterIndex > 0) FFilterIndex = Answer.FilterIndex;
  return true;
}

bool SelectDirectory(const std::string& Caption, std::string& Directory, uint32_t Options, TControl* Owner) {
  TDialogRequest Request;
  Request.Kind = dkSelectFolder;
  Request.Owner = Owner;
  Request.Caption = NormalizeLineBreaks(Caption);
  Request.InitialDir = Directory;
  Request.Options = Options;
  const TDialogAnswer Answer = ExecuteDialog(Request, [&] {
    // A window title has one line.
    QString Title = ToQString(Request.Caption);
    Title.replace(u'\n', u' ');
    QFileDialog Dialog(OwnerWindow(Owner), Title, ToQString(Directory));
    Dialog.setFileMode(QFileDialog::Directory);
    Dialog.setOption(QFileDialog::ShowDirsOnly);
    Dialog.setOption(QFileDialog::ReadOnly, !(Options & sdNewFolder));
    TDialogAnswer A;
    A.Result = Dialog.exec() == QDialog::Accepted ? mrOk : mrCancel;
    if (!Dialog.selectedFiles().isEmpty()) A.Folder = FromQString(Dialog.selectedFiles().first());
    return A;
  });
  if (Answer.Result != mrOk || Answer.Folder.empty()) return false;
  Directory = Answer.Folder;
  return true;
}
