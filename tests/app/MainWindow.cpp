#include "tests/app/MainWindow.h"

#include "tests/support/Gui.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>

#include "app/UOutput.h"
#include "audio/core/TSL_Classes.h"
#include "widgets/KvBtnEdt.h"
#include "widgets/KvCmboBx.h"
#include "widgets/KvTabs.h"

using namespace testsupport;

TAppFolders::TAppFolders() : Sound(std::make_shared<TDSFakeBackend>()) {
  for (const auto& [name, value] : {std::pair{"HOME", Home()}, std::pair{"XDG_CONFIG_HOME", Root.Path("config")}}) {
    const char* saved = getenv(name);
    FSaved.emplace_back(name, saved ? std::optional<std::string>(saved) : std::nullopt);
    setenv(name, value.c_str(), 1);
    std::filesystem::create_directories(value);
  }
  std::filesystem::create_directories(Music());
  WriteFile(Root.Path("config/user-dirs.dirs"), "XDG_MUSIC_DIR=\"" + Music() + "\"\n");
  DirectSoundSetBackend(Sound);
}

TAppFolders::~TAppFolders() {
  DirectSoundSetBackend(nullptr);
  for (const auto& [name, value] : FSaved) {
    if (value)
      setenv(name, value->c_str(), 1);
    else
      unsetenv(name);
  }
}

TMainWindow::TMainWindow() : Form(NewForm<TFrmMain>(nullptr)) { ShowActive(Form); }

TMainWindow::~TMainWindow() {
  if (Form) Form->Free();
}

void TMainWindow::Click(const std::string& Name) {
  TControl* c = Find(Name);
  ASSERT_NE(c, nullptr) << Name;
  MouseClick(c, c->ClientWidth() / 2, c->ClientHeight() / 2);
}

void TMainWindow::ClickBrowse(const std::string& Edit) {
  TControl* button = Find<TKvButtonEdit>(Edit)->Buttons()->MainButton();
  MouseClick(button, button->Width() / 2, button->Height() / 2);
}

void TMainWindow::Choose(const std::string& Combo, int32_t Index) { ChooseItem(Find<TKvComboBox>(Combo), Index); }

void TMainWindow::AddFiles(const std::vector<std::string>& Files) {
  Find<TKvPageControl>("PageSource")->SetActivePageIndex(2);
  // The open dialog is answered here; the messages that follow go to the test's script.
  TDialogResponder previous;
  previous = SetDialogResponder([&](const TDialogRequest& Request) {
    if (Request.Kind == dkOpenFiles) {
      EXPECT_EQ(Request.Caption, "Add audio files");
      return TDialogAnswer{mrOk, Files, {}, 0};
    }
    return previous(Request);
  });
  Click("BtnAdd");
  SetDialogResponder(std::move(previous));
}

bool TMainWindow::ConvertAndWait() {
  Click("BtnConv");
  return ProcessEventsUntil([this] { return !Form->Output()->Running() && !Enabled("BtnAbort"); });
}

bool TMainWindow::PauseAt(int32_t Position) {
  if (!ProcessEventsUntil([&] { return Form->Output()->Position() >= Position; })) return false;
  Click("BtnPause");
  return ProcessEventsUntil([this] { return Form->Output()->Output()->Status() == asPaused; });
}

void TMainWindow::Close() {
  Form->Close();
  Form->Free();
  Form = nullptr;
}
