#pragma once
// The program's main window as the tests drive it. TAppFolders gives the window folders
// of its own (HOME, and XDG_CONFIG_HOME with the user's music folder inside, so the
// settings file and the default output folder are the test's) and the sound layer's
// in-memory device;
// TMainWindow makes the window, shows it active, finds its controls by their design
// names and works them with the mouse and the keyboard.

#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "app/UFormMain.h"
#include "platform/dsound/DSFake.h"
#include "tests/support/Files.h"

class TKvComboBox;

class TAppFolders {
public:
  TAppFolders();
  ~TAppFolders();
  TAppFolders(const TAppFolders&) = delete;
  TAppFolders& operator=(const TAppFolders&) = delete;

  std::string Music() const { return Root.Path("music"); }
  // $HOME, without its trailing slash.
  std::string Home() const { return Root.Path("home"); }
  std::string SettingsFile() const { return Root.Path("config/sonvix/sonvix.ini"); }

  testsupport::TTempDir Root;
  std::shared_ptr<TDSFakeBackend> Sound;

private:
  // The variables set, with their values before (none when they were unset).
  std::vector<std::pair<const char*, std::optional<std::string>>> FSaved;
};

class TMainWindow {
public:
  TMainWindow();
  ~TMainWindow();
  TMainWindow(const TMainWindow&) = delete;
  TMainWindow& operator=(const TMainWindow&) = delete;

  template <class T = TControl>
  T* Find(const std::string& Name) const {
    return dynamic_cast<T*>(FindControl(Form, Name));
  }
  bool Enabled(const std::string& Name) const { return Find(Name)->Enabled(); }
  // A mouse click in the middle of the control.
  void Click(const std::string& Name);
  // The browse button of a button edit.
  void ClickBrowse(const std::string& Edit);
  void Choose(const std::string& Combo, int32_t Index);
  // Adds files through "Add files to the list" and the open dialog.
  void AddFiles(const std::vector<std::string>& Files);
  // Presses "Convert" and handles events until the run state has ended.
  bool ConvertAndWait();
  // Handles events until the run works on entry Position (1-based), then pauses it
  // with "Pause".
  bool PauseAt(int32_t Position);
  // Closes the window as the user does and frees it.
  void Close();

  TFrmMain* Form;
};
