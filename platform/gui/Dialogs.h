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

#include "platform/rtl/Classes.h"
#include "platform/rtl/StringList.h"

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
  // dkPopupMenu: the side of the menu that X gives (a TPopupAlignment).
  uint8_t MenuAlignment = 0;

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

// ---------------------------------------------------------------------------
// File and folder dialogs

// One entry of a file dialog's filter: "MP3 files (*.mp3)" with its masks ("*.mp3").
struct TFileFilter {
  std::string Description;
  std::vector<std::string> Masks;
  friend bool operator==(const TFileFilter&, const TFileFilter&) = default;
};
// Splits "description|mask;mask|description|mask" into its entries. A description
// without a mask after it is dropped; an empty mask stands for every file ("*").
std::vector<TFileFilter> ParseFilter(const std::string& Filter);

// Options of the open dialog.
using TOpenOptions = uint32_t;
enum : TOpenOptions {
  ofReadOnly = 0x00001, ofOverwritePrompt = 0x00002, ofHideReadOnly = 0x00004, ofNoChangeDir = 0x00008,
  ofShowHelp = 0x00010, ofNoValidate = 0x00020, ofAllowMultiSelect = 0x00040, ofExtensionDifferent = 0x00080,
  ofPathMustExist = 0x00100, ofFileMustExist = 0x00200, ofCreatePrompt = 0x00400, ofShareAware = 0x00800,
  ofNoReadOnlyReturn = 0x01000, ofNoTestFileCreate = 0x02000, ofEnableSizing = 0x80000,
};

// The dialog that picks files to open. Execute shows it (through ExecuteDialog as a
// dkOpenFiles request); on OK, Files holds the chosen files (one without
// ofAllowMultiSelect), FileName the first, and FilterIndex the filter in use.
class TOpenDialog : public TComponent {
public:
  explicit TOpenDialog(TComponent* AOwner) : TComponent(AOwner) {}

  const std::string& Title() const { return FTitle; }
  void SetTitle(const std::string& Value) { FTitle = Value; }
  const std::string& Filter() const { return FFilter; }
  void SetFilter(const std::string& Value) { FFilter = Value; }
  // From 1.
  int32_t FilterIndex() const { return FFilterIndex; }
  void SetFilterIndex(int32_t Value) { FFilterIndex = Value; }
  const std::string& InitialDir() const { return FInitialDir; }
  void SetInitialDir(const std::string& Value) { FInitialDir = Value; }
  const std::string& FileName() const { return FFileName; }
  void SetFileName(const std::string& Value) { FFileName = Value; }
  TOpenOptions Options() const { return FOptions; }
  void SetOptions(TOpenOptions Value) { FOptions = Value; }
  const TStringList& Files() const { return FFiles; }

  // True when files were chosen; Cancel leaves Files and FileName as they were.
  virtual bool Execute(TControl* Owner = nullptr);

private:
  std::string FTitle;
  std::string FFilter;
  int32_t FFilterIndex = 1;
  std::string FInitialDir;
  std::string FFileName;
  TOpenOptions FOptions = ofHideReadOnly | ofEnableSizing;
  TStringList FFiles;
};

// Options of SelectDirectory.
enum : uint32_t { sdNewFolder = 0x01 };

// Asks for a folder (through ExecuteDialog as a dkSelectFolder request), starting at
// Directory when it is not empty. Caption tells what the folder is for (lines broken
// with "\n"); sdNewFolder lets the user make folders. True with the folder chosen in
// Directory; false on Cancel, leaving Directory as it was.
bool SelectDirectory(const std::string& Caption, std::string& Directory, uint32_t Options = 0, TControl* Owner = nullptr);
