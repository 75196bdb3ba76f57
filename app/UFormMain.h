#pragma once
// The main window: the sources (CD drive, folder, files), the list of files and the
// list of CD tracks with their buttons, the output settings with one panel of encoder
// settings per format, the run with its progress, and the tool menu. It owns the two
// TFileList objects and the TOutput that converts them, loads its settings file when it
// is first shown and saves it when it closes.
//
// A running conversion cannot be disturbed: while a run is active the sources, the
// output settings, "Convert", the list buttons and the player are disabled, ticks are
// refused (the list's lock), and drops are refused. Leaving the run state gives them
// back as the lists allow.
//
// Controls carry their design names as object names (FindControl finds them).

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "platform/gui/Forms.h"

class TAuFileIn;
class TStringList;
class TCDPlayer;
class TDXAudioOut;
class TDropFileTarget;
class TFileList;
class TFormNewV;
class TFrmTag;
class TImageList;
class TKvBitBtn;
class TKvButtonEdit;
class TKvCheckBox;
class TKvComboBox;
class TKvGroupBox;
class TKvLabel;
class TKvListView;
class TKvPageControl;
class TKvPanel;
class TKvProgressBar;
class TKvRadioButton;
class TKvSpinButtons;
class TKvTabSheet;
class TKvToolButton;
class TKvToolbar;
class TListItem;
class TOpenDialog;
class TOutput;
class TTimer;
class TWaveIn;

// The settings file: "sonvix.ini" beside the program when that file exists and can be
// written (a portable install), else in the user's configuration folder
// (ConfigFolder, created when missing). Empty when neither can be had.
std::string SettingsFileName(const std::string& ProgramFolder, const std::string& ConfigFolder);

// The strings of List, in order.
std::vector<std::string> Names(const TStringList& List);

// What the window says of files it could not add.
inline constexpr const char* FileReadErrorText = "File read error or unsupported file format.";

class TFrmMain : public TForm {
public:
  explicit TFrmMain(TComponent* AOwner);
  ~TFrmMain() override;
  void BeforeDestruction() override;

  TFileList* FileList() const { return FFileList.get(); }
  TFileList* CDList() const { return FCDList.get(); }
  TOutput* Output() const { return FOutput.get(); }
  TDXAudioOut* AudioOut() const { return FAudioOut; }
  // The player of CD tracks.
  TCDPlayer* CDPreview() const { return CDPlayer; }
  // The list the buttons act on: the CD tracks while the "Audio CD" page is active.
  TFileList* ActiveList() const;
  // Where the settings are kept (see SettingsFileName).
  std::string SettingsFile() const;

  void LoadSettings();
  void SaveSettings();

private:
  void BuildWindow();
  void BuildSource();
  void BuildLists();
  void BuildOutput();
  void BuildFormatPanels();
  void BuildBottom();
  void BuildMenu();
  void BuildHelpers();

  // Start-up and shutdown.
  void FormCreate();
  void FormShow();
  void FormActivate();
  void FormClose();
  // The tag editor, its OnTagsChanged wired to the names.
  TFrmTag* TagEditor();

  // Run state and the lists.
  void SetRunState(bool Running);
  bool RunActive() const;
  void RefreshLists();
  void UpdatePlayerButtons();
  void ShowCounts();
  // The file player's state; playing a sound counts as idle, since the sounds are
  // no list entry.
  int32_t FilePlayerStatus() const;
  void StopPlayers();
  void PageSourcePageChange();

  // Sources.
  void BtnAddClick();
  void EdtDirButtonClick();
  void EdtDirKeyDown(uint16_t& Key);
  void AddFolderFromEdit(bool ShowMessages);
  void AddFolderResult(int32_t Result, int32_t CountBefore);
  void ShowAddError(int32_t CountBefore);
  // One message: Text, then the files the list left out, each with its reason (as
  // many as the screen shows, then how many more).
  void ShowNotAdded(const std::string& Text, uint32_t Icon);

  // List buttons and list events.
  void BtnCheckClick(bool Checked);
  void BtnDelClick();
  void BtnClrClick();
  void SpnMoveClick(bool Down);
  void ListCheckStateChange(TKvListView* View, TFileList* List, TListItem* Item);
  void ListInsert(TKvListView* View, TFileList* List);
  void ListSelectItem(TFileList* List, TListItem* Item, bool Selected);
  void CmbCaptClick();

  // Output folder, priority, normalising.
  void EdtOutDirButtonClick();
  void EdtOutDirChange();

  // The run.
  void BtnConvClick();
  // The message of the output folder check ("" when it can be used).
  std::string CheckOutputDir(const std::string& Dir) const;
  void BtnPauseClick();
  void BtnAbortClick();
  void PlaySound(const std::string& FileName);
  void OutputFileDone();
  void OutputAllDone();

  // The preview player (UFormMainPlayer.cpp). Playing is refused while a run is
  // active: the run uses the lists' inputs.
  bool CDPage() const;
  bool PlayRefused() const;
  void BtnPPlayClick();
  // Play from a stopped player; false when the entry cannot be played.
  bool PlayFile();
  bool PlayCDTrack();
  void BtnPPauseClick();
  void BtnPStopClick();
  // Plays the entry Step (+1, -1) away from the list's current one, round the ends.
  void PlayNeighbour(int32_t Step);
  void ListDblClick(bool CD);
  void TmrPosTimer();
  // The player has stopped by itself: heard to the end, or failed.
  void PreviewEnded();
  // Seconds of the file heard so far: from the frames played and the sample rate.
  int32_t FilePlayedSeconds() const;
  void ClearPosition();
  void StopCDPlayer();
  void ResumeFileMuted();
  // The selected item of View (item 0 selected when none is); -1 for an empty view.
  static int32_t SelectedOrFirst(TKvListView* View);

  // The "Audio CD" page.
  void CmbDriveSelect();
  void TmrCDTimer();
  void BtnEjectClick();
  void ClearCDList();
  // Lists the tracks of the disc in the drive of CmbDrive item DriveItem (none for "***").
  void ListDriveTracks(int32_t DriveItem);

  // Tool menu and the dialogs.
  void BtnMAboutClick();
  void BtnMNewClick();
  void BtnMHomeClick();
  void BtnTagClick();

  // Drops on the list of files (UFormMainDrop.cpp: the drop layer's names clash with the
  // widgets').
  void BuildDropTarget(TWinControl* Target);
  void DrpTrgEnter(uint32_t& Effect);
  void DrpTrgLeave();
  void DrpTrgDrop(uint32_t& Effect);
  bool DropRefused() const;

  // The output settings panel.
  void CmbFormatChange();
  void RefreshFormatPanel();
  // The texts and enabled states that follow the settings: the quality list, the MP3
  // and WMA bitrate controls, the WAV sample size. The texts always; the enabled states
  // only while the output group is enabled (the group's memory of its children would
  // undo them otherwise); the group calls it again when it is enabled.
  void ApplyPanelStates();
  // The quality list's items and choice: the format's preset, or "High" for a format
  // without presets.
  void ShowPreset(bool Presets);
  void SetOutputGroupEnabled(bool Value);
  void CmbQualChange();
  void CmbBitClick(TKvComboBox* Sender);
  void CmbCompClick(TKvComboBox* Sender);
  void CmbWavSRClick(TKvComboBox* Sender);
  void CmbWavSSClick();
  void CmbWavEncClick();
  void ChkBitClick(TKvCheckBox* Sender);
  void ChkWMALLClick();
  void RdoStereoClick();
  void CmbWMA2CodChange();
  void ChkWMA2BitClick();
  // The system codec's controls from its settings.
  void ShowWMACodec();
  void FillWMAFormats();
  // True while the window fills controls from the settings: their click handlers then
  // change nothing.
  bool Filling() const { return FFilling > 0; }

  // Settings file helpers.
  void LoadFormatSettings(const class TIniFile& Ini);
  void ApplyWindowPosition(int32_t Left, int32_t Top);

  std::string FAppDir;
  // The CD player: 0 playing, 1 paused, 2 stopped.
  int32_t FCDState = 2;
  // Per CmbDrive item: 1 after the window opened that drive's tray.
  std::vector<uint8_t> FTrayFlags;
  bool FSettingsLoaded = false;
  // FormClose is under way: a signal handled in one of its message boxes closes nothing twice.
  bool FClosing = false;
  // The window is in its run state (from "Convert" until the run has ended).
  bool FRunState = false;
  int32_t FFilling = 0;

  std::unique_ptr<TFileList> FFileList;
  std::unique_ptr<TFileList> FCDList;
  std::unique_ptr<TOutput> FOutput;

  // Source.
  TKvGroupBox* GrpSource = nullptr;
  TKvPageControl* PageSource = nullptr;
  TKvTabSheet* TabDrv = nullptr;
  TKvTabSheet* TabFld = nullptr;
  TKvTabSheet* TabFile = nullptr;
  TKvComboBox* CmbDrive = nullptr;
  TKvBitBtn* BtnEject = nullptr;
  TKvButtonEdit* EdtDir = nullptr;
  TKvBitBtn* BtnAdd = nullptr;
  // Lists.
  TKvListView* LstConv = nullptr;
  TKvListView* LstRip = nullptr;
  TKvLabel* LblAllC = nullptr;
  TKvLabel* LblChkC = nullptr;
  TKvBitBtn* BtnCheck = nullptr;
  TKvBitBtn* BtnDel = nullptr;
  TKvBitBtn* BtnClr = nullptr;
  TKvBitBtn* BtnUncheck = nullptr;
  TKvSpinButtons* SpnMove = nullptr;
  TKvCheckBox* ChkUnc = nullptr;
  // Player.
  TKvToolbar* ToolPlay = nullptr;
  TKvToolButton* BtnPPlay = nullptr;
  TKvToolButton* BtnPPause = nullptr;
  TKvToolButton* BtnPStop = nullptr;
  TKvToolButton* BtnPPrew = nullptr;
  TKvToolButton* BtnPNext = nullptr;
  TKvLabel* LblPos = nullptr;
  // Output.
  TKvGroupBox* GrpOut = nullptr;
  TKvComboBox* CmbFormat = nullptr;
  TKvComboBox* CmbQual = nullptr;
  TKvGroupBox* GrpCustom = nullptr;
  TKvComboBox* CmbCapt = nullptr;
  TKvBitBtn* BtnTag = nullptr;
  TKvButtonEdit* EdtOutDir = nullptr;
  TKvComboBox* CmbPrior = nullptr;
  TKvCheckBox* ChkNorm = nullptr;
  // The format panels, by output format.
  TKvPanel* FPanels[10] = {};
  TKvCheckBox* ChkBit = nullptr;
  TKvLabel* LblBit = nullptr;
  TKvComboBox* CmbBit = nullptr;
  TKvLabel* LblComp = nullptr;
  TKvComboBox* CmbComp = nullptr;
  TKvRadioButton* RdoMono = nullptr;
  TKvRadioButton* RdoJoin = nullptr;
  TKvRadioButton* RdoStereo = nullptr;
  TKvCheckBox* ChkWMALL = nullptr;
  TKvCheckBox* ChkWMABit = nullptr;
  TKvLabel* LblWMABR = nullptr;
  TKvComboBox* CmbWMABR = nullptr;
  TKvLabel* LblWMAKb = nullptr;
  TKvLabel* LblWMAComp = nullptr;
  TKvComboBox* CmbWMAComp = nullptr;
  TKvRadioButton* RdoWMAMono = nullptr;
  TKvRadioButton* RdoWMAStereo = nullptr;
  TKvComboBox* CmbWMA2Cod = nullptr;
  TKvComboBox* CmbWMA2Form = nullptr;
  TKvCheckBox* ChkWMA2Bit = nullptr;
  TKvComboBox* CmbWavSR = nullptr;
  TKvComboBox* CmbWavSS = nullptr;
  TKvComboBox* CmbWavEnc = nullptr;
  TKvRadioButton* RdoWavMono = nullptr;
  TKvRadioButton* RdoWavStereo = nullptr;
  TKvComboBox* CmbWVCQ = nullptr;
  TKvRadioButton* RdoWVMono = nullptr;
  TKvRadioButton* RdoWVJoin = nullptr;
  TKvRadioButton* RdoWVStereo = nullptr;
  TKvComboBox* CmbMACCQ = nullptr;
  TKvRadioButton* RdoMACMono = nullptr;
  TKvRadioButton* RdoMACStereo = nullptr;
  TKvComboBox* CmbOGGCQ = nullptr;
  TKvRadioButton* RdoOGGMono = nullptr;
  TKvRadioButton* RdoOGGStereo = nullptr;
  TKvComboBox* CmbFLCCQ = nullptr;
  TKvComboBox* CmbMPCSR = nullptr;
  TKvComboBox* CmbMPCCQ = nullptr;
  // Run.
  TKvProgressBar* PrgCurrent = nullptr;
  TKvProgressBar* PrgTotal = nullptr;
  std::vector<TKvLabel*> FRunLabels;  // LblCur .. LblInfo: enabled while running
  TKvLabel* LblElapT = nullptr;
  TKvLabel* LblRemT = nullptr;
  TKvLabel* LblInfo = nullptr;
  TKvBitBtn* BtnConv = nullptr;
  TKvBitBtn* BtnPause = nullptr;
  TKvBitBtn* BtnAbort = nullptr;
  // Tool menu.
  TKvToolbar* ToolMenu = nullptr;
  // Helpers.
  TOpenDialog* DlgOpen = nullptr;
  TDropFileTarget* DrpTrg = nullptr;
  TDXAudioOut* FAudioOut = nullptr;
  TCDPlayer* CDPlayer = nullptr;
  TWaveIn* WaveIn = nullptr;
  TTimer* TmrPos = nullptr;
  TTimer* TmrCD = nullptr;
  TImageList* ImageList1 = nullptr;
};

// The program's forms, made by StartProgram (the dialogs also on first use).
extern TFrmMain* FrmMain;
extern TFrmTag* FrmTag;
extern TFormNewV* FormNewV;

// The main window unit's start-up: the application's hint windows become THintWnd.
void InstallHintWindow();
// The program's start-up before the event loop: the hint window class, the title and
// the forms in their order: the main window (so it is the main form), the tag editor,
// the about window, the update dialog.
void StartProgram();
// The whole program: the application, StartProgram, then the event loop until the main
// window closes; Started runs just before the loop. SIGTERM, SIGHUP and SIGINT close the
// main window as the user does (the run stops and leaves no unfinished file, the
// settings are saved), and the process then ends of that signal, so that whoever
// started it sees why. Returns the exit status otherwise.
int RunProgram(int& Argc, char** Argv, const std::function<void()>& Started = {});
