#include "platform/gui/Dialogs.h"

#include <QMessageBox>
#include <QPushButton>
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

TDialogAnswer ShowMessageBox(const TDialogRequest& R) {
  QMessageBox Box(IconOf(R.Icon()), ToQString(R.Caption), ToQString(R.Text), QMessageBox::NoButton, OwnerWindow(R.Owner));
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
