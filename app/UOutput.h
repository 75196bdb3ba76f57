#pragma once
// The conversion run controller: the user's choices for the output side (format,
// encoder settings and quality preset per format, name pattern, output folder,
// priority, normalising, auto-untick) and the run that converts the checked entries of
// a TFileList one after another on the GUI thread.
//
// A run never stalls and never reports a failure as success: an entry that cannot be
// set up or whose conversion fails leaves no output file, stays ticked and gets no
// tags; the run goes on with the next entry, and at its end one message names the
// files that failed (as many as the screen shows, and how many more). Folders the run
// made, the output folder's own included, do not stay behind empty after an entry failed
// or was aborted, or after the run; a folder that was there before is never removed.
// While a run is active its file list is locked (see TFileList). Elapsed and remaining
// times come from the monotonic tick count (the timers' test clock in tests).

#include <array>
#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "app/UFileList.h"
#include "platform/rtl/Classes.h"

class TAudioConverter;
class TACMConverter;
class TNormalizer;
class TAuFileOut;
class TControl;
class TKvCustomProgressBar;
class TTimer;

// The output format, in the order of the window's format list.
enum TOutputFormat : uint8_t {
  outMP3, outWMA, outWMASystem, outWave, outWavPack, outMonkeysAudio, outOggVorbis, outFLAC, outTrueAudio,
  outMusepack
};
constexpr int OutputFormatCount = 10;

// One format's settings, each a list index or a flag as the window's controls show it.
struct TFormatSettings {
  uint8_t Stereo = 0;  // 0 mono; MP3 and WavPack: 1 joint stereo, 2 stereo; others: non-zero stereo
  uint8_t Lossless = 0;
  uint8_t VarBitrate = 0;
  uint8_t BitRate = 0;
  uint8_t Samplerate = 0;
  uint8_t Samplesize = 0;
  uint8_t Qual = 0;
  friend bool operator==(const TFormatSettings&, const TFormatSettings&) = default;
};

// 0 "High" .. 4 "Low"; qpCustom when the settings are no preset's.
using TQualityPreset = uint8_t;
constexpr TQualityPreset qpCustom = 255;

// The extension of an output format's files.
const char* OutputExtension(TOutputFormat Format);

// Sets the fields that preset Preset (0 "High" .. 4 "Low") decides for Format; the other
// fields, and formats without presets, stay.
void ApplyPreset(TOutputFormat Format, TQualityPreset Preset, TFormatSettings& Settings);
// How many values each field of Format's settings can take: the items of the window's
// control for it, 2 for a flag, 1 for a field the format does not use. The system-codec
// format's codec and format indices (Qual, BitRate) follow the machine's codec lists,
// which the caller asks; they count 255 here.
const TFormatSettings& SettingCounts(TOutputFormat Format);

// The Windows Media encoder here (WMA versions 1 and 2) has constant bitrates only:
// its lossless and variable-bitrate settings have one value, off.
inline constexpr bool WMALosslessAvailable = false;
inline constexpr bool WMAVariableBitrateAvailable = false;
// The settings and preset a TOutput starts with.
const TFormatSettings& DefaultSettings(TOutputFormat Format);
TQualityPreset DefaultPreset(TOutputFormat Format);

// The folders on the way to Dir that do not exist, deepest first.
std::vector<std::string> MissingFolders(const std::string& Dir);
// Removes those of Folders (deepest first) that are empty, and forgets them all: whatever
// another run or anyone else put there stays.
void RemoveEmptyFolders(std::vector<std::string>& Folders);

// Text, then the first of Lines, each on a line of its own, as many as a message box on
// Owner's screen shows whole, then "and N more" for the rest. A message box cut to the
// screen would lose that count.
std::string WithFirstLines(const TControl* Owner, std::string Text, const std::vector<std::string>& Lines);

class TOutput {
public:
  // Message boxes belong to OwnerWnd's window; the bars and labels show the run.
  TOutput(TControl* OwnerWnd, TKvCustomProgressBar* APrgCurrent, TKvCustomProgressBar* APrgTotal, TControl* ALblInfo,
          TControl* ALblElapT, TControl* ALblRemT);
  ~TOutput();
  TOutput(const TOutput&) = delete;
  TOutput& operator=(const TOutput&) = delete;

  // Settings of the current format.
  TOutputFormat Format() const { return FFormat; }
  void SetFormat(TOutputFormat Value) { FFormat = Value; }
  void SetStereo(uint8_t Value);
  void SetBitRate(uint8_t Value);
  void SetSampleRate(uint8_t Value);
  void SetSampleSize(uint8_t Value);
  void SetQual(uint8_t Value);
  void SetLossless(uint8_t Value);
  void SetVarBitrate(uint8_t Value);
  // Presets 0..4 set the fields of MP3, WMA, WAV, Ogg and Musepack; anything else
  // stores qpCustom.
  void SetQuality(uint8_t Preset);
  // The settings file reads and writes these directly, past the setters.
  TFormatSettings& Settings(TOutputFormat F) { return FSettings[F]; }
  TQualityPreset& Presets(TOutputFormat F) { return FPresets[F]; }

  TFileNamePattern NamePattern() const { return FNamePattern; }
  void SetFileNamePattern(TFileNamePattern Value) { FNamePattern = Value; }
  const std::string& OutputDir() const { return FOutputDir; }
  void SetOutputDir(const std::string& Value) { FOutputDir = Value; }
  // 0 "High" (nice -5 where the system allows it, else 0), 1 "Normal" (0), 2 "Low" (10).
  uint8_t Prior() const { return FPrior; }
  void SetPriority(uint8_t Value) { FPrior = Value; }
  bool Normalize() const { return FNormalize; }
  void SetNormalize(bool Value);
  bool AutoUncheck() const { return FAutoUncheck; }
  void SetAutoUncheck(bool Value) { FAutoUncheck = Value; }

  // Begins a run over List's ticked entries. False, after one message, when nothing is
  // ticked, the output folder cannot be used or the output cannot be made (a codec
  // library missing); no run state is left then. Raises EInvalidOperation while a run
  // is active.
  bool Start(TFileList* List);
  void Pause();
  void Resume();
  // Aborts the run: the unfinished file is deleted, finished ones stay.
  void Stop();

  bool Running() const { return FPosition > 0; }
  // The 1-based list position of the entry in work; 0 when no run is active.
  int32_t Position() const { return FPosition; }
  // The run's output component; nullptr when idle.
  TAuFileOut* Output() const { return FOutput.get(); }
  TNormalizer* Normalizer() const { return FNormalizer.get(); }
  TTimer* Timer() const { return FTimer.get(); }

  // Raised after each entry converted but the last, and after the last entry of a
  // run (whether or not it was converted).
  TNotifyEvent OnFileDone;
  TNotifyEvent OnAllDone;

private:
  void ApplySettings();
  // Sets up and starts the next ticked entry; entries that fail to start are recorded
  // and passed over. Ends the run when no entry is left.
  void StartNextFile();
  // Input chain, output file and tags of entry Position; raises on failure.
  void SetUpEntry();
  void EntryFailed(const std::string& Message);
  // Position moves on; false when the entry just handled was the last one.
  bool MoveOn();
  void EndRun();
  void ResetRunState();
  void OutputProgress();
  void OutputDone();
  void TimerTick();
  // Milliseconds of the run so far, pauses left out.
  uint32_t ElapsedMs() const;
  void ShowTimes(bool CheckEnabled);
  TFileListEntry& Entry() const { return FFileList->Entries(FPosition - 1); }
  void Message(const std::string& Text, uint32_t Flags) const;

  TControl* FOwnerWnd;
  TKvCustomProgressBar* FPrgCurrent;
  TKvCustomProgressBar* FPrgTotal;
  TControl* FLblInfo;
  TControl* FLblElapT;
  TControl* FLblRemT;

  TOutputFormat FFormat = outMP3;
  std::array<TFormatSettings, OutputFormatCount> FSettings;
  std::array<TQualityPreset, OutputFormatCount> FPresets;
  TFileNamePattern FNamePattern = 0;
  std::string FOutputDir;
  uint8_t FPrior = 1;
  bool FNormalize = true;
  bool FAutoUncheck = true;

  TComponentPtr<TAudioConverter> FConverter;
  TComponentPtr<TACMConverter> FACMConverter;
  TComponentPtr<TNormalizer> FNormalizer;
  TComponentPtr<TTimer> FTimer;

  // The run.
  TFileList* FFileList = nullptr;
  TComponentPtr<TAuFileOut> FOutput;
  std::string FExt;
  std::string FRunDir;  // the output folder, ending in "/"
  // The folders the run made for the entry in work, deepest first: a failed or aborted
  // entry leaves none of them behind empty.
  std::vector<std::string> FEntryFolders;
  // The output folder and its parents as far as Start made them, deepest first: a run
  // that leaves nothing there removes them.
  std::vector<std::string> FRunFolders;
  int32_t FPosition = 0;
  int32_t FLastChecked = 0;
  int64_t FDoneBytes = 0;
  int64_t FTotalBytes = 0;
  uint32_t FStartTick = 0;
  uint32_t FPausedMs = 0;
  uint32_t FPauseStart = 0;
  bool FPaused = false;
  // Files that failed in this run: caption and message.
  std::vector<std::pair<std::string, std::string>> FFailures;
};
