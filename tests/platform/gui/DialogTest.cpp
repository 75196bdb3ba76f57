// The open dialog and the folder chooser: filters, answers through the responder, and
// the real Qt dialogs driven from inside their loops.
#include "tests/support/Gui.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QFile>
#include <QFileDialog>
#include <QMessageBox>
#include <QPushButton>
#include <QScreen>
#include <QTemporaryDir>

#include "platform/gui/Dialogs.h"

using namespace testsupport;

namespace {

// The main window's filter, the first mask without its dot.
const std::string AudioFilter =
    "All supported files|*.mp3;*.wma;*.wm;*.wav;*.wv;*.ogg;*.ape;*.flac;*.tta;*.mpc;*avi|MP3 files (*.mp3)|*.mp3|"
    "Windows Media Audio files (*.wma;*.wm)|*.wma;*.wm|Microsoft Wave (*.wav)|*.wav|WavPack (*.wv)|*.wv|"
    "Ogg Vorbis (*.ogg)|*.ogg|Monkey's Audio (*.ape)|*.ape|FLAC (*.flac)|*.flac|True Audio (*.tta)|*.tta|"
    "Musepack (*.mpc)|*.mpc|Video files (*.avi)|*.avi";

QFileDialog* ShownFileDialog() {
  for (QWidget* W : QApplication::topLevelWidgets())
    if (auto* D = qobject_cast<QFileDialog*>(W); D && D->isVisible()) return D;
  return nullptr;
}

QMessageBox* ShownMessageBox() {
  for (QWidget* W : QApplication::topLevelWidgets())
    if (auto* B = qobject_cast<QMessageBox*>(W); B && B->isVisible()) return B;
  return nullptr;
}

}  // namespace

TEST(MessageBox, AnyTextFitsTheScreenWithItsButton) {
  TNoResponder Real;
  std::string lines = "300 lines:", words;
  for (int i = 1; i <= 300; ++i) lines += "\nLine " + std::to_string(i) + " of a message that has many of them";
  for (int i = 0; i < 3000; ++i) words += "word" + std::to_string(i) + " ";
  const struct {
    std::string Text, Start;
  } cases[] = {{lines, "300 lines:\nLine 1 of a message"}, {words, "word0 word1 "}, {"Short", "Short"}};
  for (const auto& c : cases) {
    FromInsideTheDialog([&] {
      QMessageBox* box = ShownMessageBox();
      if (!box) return false;
      const QRect area = box->screen()->availableGeometry();
      EXPECT_TRUE(area.contains(box->frameGeometry())) << c.Start;
      QAbstractButton* ok = box->button(QMessageBox::Ok);
      EXPECT_TRUE(area.contains(QRect(ok->mapToGlobal(QPoint(0, 0)), ok->size()))) << c.Start;
      const std::string shown = box->text().toStdString();
      EXPECT_EQ(shown.rfind(c.Start, 0), 0u) << c.Start;
      EXPECT_EQ(shown.size() < c.Text.size(), c.Text != "Short") << c.Start;
      if (c.Text == lines) {
        EXPECT_EQ(shown.substr(shown.size() - 4), "\n\u2026");
      }
      ok->click();
      return true;
    });
    EXPECT_EQ(MessageBox(nullptr, c.Text, "Error", MB_OK | MB_ICONWARNING), IDOK);
  }
}

TEST(FileFilter, SplitsDescriptionsAndMasks) {
  const std::vector<TFileFilter> Filters = ParseFilter(AudioFilter);
  ASSERT_EQ(Filters.size(), 11u);
  EXPECT_EQ(Filters[0].Masks.size(), 11u);
  EXPECT_EQ(Filters[0].Masks.back(), "*avi");
  EXPECT_EQ(Filters[2], (TFileFilter{"Windows Media Audio files (*.wma;*.wm)", {"*.wma", "*.wm"}}));
  // A description without a mask is dropped; an empty mask takes every file.
  EXPECT_EQ(ParseFilter("Text|*.txt|Any||Lonely"),
            (std::vector<TFileFilter>{{"Text", {"*.txt"}}, {"Any", {"*"}}}));
  EXPECT_TRUE(ParseFilter("").empty());
}

TEST(OpenDialog, AnswersComeBackAsFilesAndTheFilterInUse) {
  TDialogScript Script;
  TOpenDialog Dialog(nullptr);
  Dialog.SetTitle("Add audio files");
  Dialog.SetFilter(AudioFilter);
  Dialog.SetInitialDir("/music");
  Dialog.SetOptions(Dialog.Options() | ofAllowMultiSelect | ofFileMustExist);
  Script.Answer([](const TDialogRequest& R) {
    EXPECT_EQ(R.Kind, dkOpenFiles);
    EXPECT_EQ(R.Caption, "Add audio files");
    EXPECT_EQ(R.InitialDir, "/music");
    EXPECT_EQ(R.FilterIndex, 1);
    EXPECT_TRUE(R.Options & ofAllowMultiSelect);
    return TDialogAnswer{mrOk, {"/music/a.mp3", "/music/b.flac"}, {}, 3};
  });
  ASSERT_TRUE(Dialog.Execute());
  EXPECT_EQ(Dialog.Files().Count(), 2);
  EXPECT_EQ(Dialog.Files().Strings(1), "/music/b.flac");
  EXPECT_EQ(Dialog.FileName(), "/music/a.mp3");
  EXPECT_EQ(Dialog.FilterIndex(), 3);
  // Cancel changes nothing; a single choice keeps one file.
  Script.Answer(mrCancel);
  EXPECT_FALSE(Dialog.Execute());
  EXPECT_EQ(Dialog.Files().Count(), 2);
  Dialog.SetOptions(Dialog.Options() & ~ofAllowMultiSelect);
  Script.Answer([](const TDialogRequest&) { return TDialogAnswer{mrOk, {"/x.wav", "/y.wav"}, {}, 0}; });
  ASSERT_TRUE(Dialog.Execute());
  EXPECT_EQ(Dialog.Files().Count(), 1);
  EXPECT_EQ(Dialog.FilterIndex(), 3);
  EXPECT_TRUE(Script.Finished());
}

TEST(OpenDialog, TheRealDialogShowsTheFiltersAndReturnsTheChosenFiles) {
  TNoResponder Real;
  QTemporaryDir Folder;
  for (const char* Name : {"one.mp3", "two.flac"}) {
    QFile F(Folder.filePath(Name));
    ASSERT_TRUE(F.open(QIODevice::WriteOnly));
  }
  TOpenDialog Dialog(nullptr);
  Dialog.SetFilter(AudioFilter);
  Dialog.SetFilterIndex(2);
  Dialog.SetInitialDir(Folder.path().toStdString());
  Dialog.SetOptions(ofAllowMultiSelect | ofFileMustExist);
  FromInsideTheDialog([&] {
    QFileDialog* D = ShownFileDialog();
    if (!D) return false;
    EXPECT_EQ(D->nameFilters().size(), 11);
    EXPECT_EQ(D->selectedNameFilter(), QString("MP3 files (*.mp3)"));  // the masks go unshown
    EXPECT_EQ(D->directory().path(), Folder.path());
    D->selectNameFilter(D->nameFilters().value(7));  // FLAC
    D->selectFile(QString("\"one.mp3\" \"two.flac\""));
    static_cast<QDialog*>(D)->accept();  // QFileDialog checks the choice
    return true;
  });
  ASSERT_TRUE(Dialog.Execute());
  EXPECT_EQ(Dialog.Files().Count(), 2);
  EXPECT_EQ(Dialog.FileName(), Folder.filePath("one.mp3").toStdString());
  EXPECT_EQ(Dialog.FilterIndex(), 8);
}

TEST(SelectDirectory, StartsAtTheFolderAndLeavesItOnCancel) {
  TDialogScript Script;
  std::string Folder = "/home/user/Music";
  Script.Answer([](const TDialogRequest& R) {
    EXPECT_EQ(R.Kind, dkSelectFolder);
    EXPECT_EQ(R.InitialDir, "/home/user/Music");
    EXPECT_EQ(R.Caption, "Select directory with audio files.\nAll supported files will be added.");
    EXPECT_EQ(R.Options, 0u);
    TDialogAnswer A;
    A.Result = mrOk;
    A.Folder = "/data/albums";
    return A;
  });
  ASSERT_TRUE(SelectDirectory("Select directory with audio files.\r\nAll supported files will be added.", Folder));
  EXPECT_EQ(Folder, "/data/albums");
  Script.Answer(mrCancel);
  EXPECT_FALSE(SelectDirectory("Select output directory.", Folder, sdNewFolder));
  EXPECT_EQ(Folder, "/data/albums");
  EXPECT_EQ(Script.Requests().back().Options, uint32_t(sdNewFolder));
  // The real chooser: the start folder is the one chosen when the user confirms.
  TNoResponder Real;
  QTemporaryDir Start;
  std::string Chosen = Start.path().toStdString();
  FromInsideTheDialog([&] {
    QFileDialog* D = ShownFileDialog();
    if (!D) return false;
    EXPECT_TRUE(D->testOption(QFileDialog::ReadOnly));  // no new folders
    static_cast<QDialog*>(D)->accept();  // QFileDialog checks the choice
    return true;
  });
  ASSERT_TRUE(SelectDirectory("Pick", Chosen));
  EXPECT_EQ(Chosen, Start.path().toStdString());
  FromInsideTheDialog([&] {
    QFileDialog* D = ShownFileDialog();
    if (!D) return false;
    D->reject();
    return true;
  });
  Chosen = "/nowhere";
  EXPECT_FALSE(SelectDirectory("Pick", Chosen));
  EXPECT_EQ(Chosen, "/nowhere");
}
