#pragma once
// Modal dialogs, and the one function every one of them goes through.
//
// ExecuteDialog runs a modal dialog: when a responder is installed it answers instead
// (and records what was asked, in tests), otherwise the real dialog is shown. Message
// boxes, ShowModal of forms, and the open-files and folder dialogs all go through it, so
// no test ever blocks on a modal window.

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

class TControl;
class TCustomForm;
class TMenuItem;
class TPopupMenu;

// Message box flags: buttons, icon, default button.
enum : uint32_t {
  MB_OK = 0x0, MB_OKCANCEL = 0x1, MB_ABORTRETRYIGNORE = 0x2, MB_YESNOCANCEL = 0x3,
  MB_YESNO = 0x4, MB_RETRYCANCEL = 0x5,
  MB_ICONHAND = 0x10, MB_ICONSTOP = 0x10, MB_ICONERROR = 0x10, MB_ICONQUESTION = 0x20,
  MB_ICONEXCLAMATION = 0x30, MB_ICONWARNING = 0x30, MB_ICONASTERISK = 0x40,
  MB_ICONINFORMATION = 0x40,
  MB_DEFBUTTON1 = 0x000, MB_DEFBUTTON2 = 0x100, MB_DEFBUTTON3 = 0x200,
  MB_TYPEMASK = 0x00F, MB_ICONMASK = 0x0F0, MB_DEFMASK = 0xF00,
};

// The button a message box was closed with.
enum : int32_t { IDOK = 1, IDCANCEL = 2, IDABORT = 3, IDRETRY = 4, IDIGNORE = 5, IDYES = 6, IDNO = 7 };

enum TDialogKind : uint8_t { dkMessageBox, dkForm, dkOpenFiles, dkSelectFolder, dkPopupMenu };

struct TDialogRequest {
  TDialogKind Kind = dkMessageBox;
  // The control whose window the dialog belongs to (nullptr: the active form).
  TControl* Owner = nullptr;
  std::string Caption;
  // Message boxes: the text, line breaks as "\n".
  std::string Text;
  // Message boxes: MB_ flags.
  uint32_t Flags = 0;
  // dkForm: the form, already shown (its OnShow has run) while the responder answers;
  // the responder may work its controls. A ModalResult the form got meanwhile wins
  // over the answer's Result.
  TCustomForm* Form = nullptr;
  // File and folder dialogs.
  std::string InitialDir;
  std::string FileName;
  std::string Filter;
  int32_t FilterIndex = 1;
  uint32_t Options = 0;
  // dkPopupMenu: the menu (its items as they are shown) and where it pops up, in
  // screen coordinates.
  TPopupMenu* Menu = nullptr;
  int32_t X = 0;
  int32_t Y = 0;

  uint32_t Buttons() const { return Flags & MB_TYPEMASK; }
  uint32_t Icon() const { return Flags & MB_ICONMASK; }
};

struct TDialogAnswer {
  // Message boxes: an ID value; forms and dialogs: a modal result (mrOk, mrCancel, ...).
  int32_t Result = 0;
  // dkOpenFiles: the chosen files.
  std::vector<std::string> Files;
  // dkSelectFolder: the chosen folder.
  std::string Folder;
  int32_t FilterIndex = 0;
  // dkPopupMenu: the item chosen, nullptr when the menu was dismissed.
  TMenuItem* MenuItem = nullptr;
};

using TDialogResponder = std::function<TDialogAnswer(const TDialogRequest& Request)>;

// Installs Responder (an empty one shows the real dialogs) and returns the one before.
TDialogResponder SetDialogResponder(TDialogResponder Responder);
// Runs one modal dialog: the responder's answer when one is installed, else Show's.
TDialogAnswer ExecuteDialog(const TDialogRequest& Request, const std::function<TDialogAnswer()>& Show);

// Line breaks written as "\r\n" (or "\n\r") become "\n".
std::string NormalizeLineBreaks(const std::string& Text);

// A message box with Flags' buttons and icon, owned by Owner's window (nullptr: the
// active form); returns the ID of the button pressed (IDCANCEL when closed otherwise).
int32_t MessageBox(TControl* Owner, const std::string& Text, const std::string& Caption, uint32_t Flags);
