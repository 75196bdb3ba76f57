#include "app/UOutput.h"

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>

#include "audio/codecs/ape/TSL_MAC.h"
#include "audio/codecs/flac/TSL_FLAC.h"
#include "audio/codecs/mp3/TSL_LAME.h"
#include "audio/codecs/mpc/TSL_MPC.h"
#include "audio/codecs/tta/TSL_TTA.h"
#include "audio/codecs/vorbis/TSL_Vorbis.h"
#include "audio/codecs/wavpack/TSL_WavPack.h"
#include "audio/io/TSL_CDROM.h"
#include "audio/io/TSL_Converters.h"
#include "audio/io/TSL_Wave.h"
#include "audio/io/TSL_WinMedia.h"
#include "platform/gui/Dialogs.h"
#include "platform/gui/ExtCtrls.h"
#include "platform/gui/Forms.h"
#include "platform/gui/Graphics.h"
#include "platform/gui/ListView.h"
#include "platform/rtl/FileUtils.h"
#include "platform/rtl/StrUtils.h"
#include "widgets/KvPrgres.h"

namespace {

// The construction defaults: Stereo, BitRate, Samplerate, Samplesize, Qual and preset.
// Each format's settings are those of its preset (WMA's VBR quality and WAV's sample
// size are Medium's too).
const struct {
  TFormatSettings Settings;
  TQualityPreset Preset;
} Defaults[OutputFormatCount] = {
    {{2, 0, 0, 4, 0, 0, 5}, 2}, {{2, 0, 0, 4, 0, 0, 5}, 2}, {{0, 0, 0, 0, 0, 0, 0}, 2}, {{2, 0, 0, 0, 1, 2, 0}, 2},
    {{2, 0, 0, 0, 0, 0, 1}, 2}, {{2, 0, 0, 0, 0, 0, 1}, 2}, {{2, 0, 0, 0, 0, 0, 5}, 2}, {{0, 0, 0, 0, 0, 0, 4}, 2},
    {{0, 0, 0, 0, 0, 0, 0}, 2}, {{0, 0, 0, 0, 0, 0, 0}, 0},
};

const char* const Extensions[OutputFormatCount] = {".mp3", ".wma", ".wma", ".wav", ".wv",
                                                   ".ape", ".ogg", ".flac", ".tta", ".mpc"};

// The tag writer's code of each output format.
const TInputFormatCode OutputCodes[OutputFormatCount] = {fcMP3,         fcWindowsMedia, fcWindowsMediaSystem, fcWave,
                                                         fcWavPack,     fcMonkeysAudio, fcOggVorbis,          fcFLAC,
                                                         fcTrueAudio,   fcMusepack};

// The window's lists behind the stored indices.
const TMP3BitRate MP3BitRates[] = {mbr320, mbr256, mbr224, mbr192, mbr160, mbr128, mbr112, mbr96,
                                   mbr80,  mbr64,  mbr56,  mbr48,  mbr40,  mbr32,  mbrAuto};
const uint32_t WMABitRates[] = {320, 256, 192, 160, 128, 96, 80, 64, 48, 32, 20, 16, 8};
const int32_t WaveSampleRates[] = {48000, 44100, 40000, 32075, 32000, 24000, 22050, 16000, 11025, 8000, 6000, 0};
const int32_t WaveSampleSizes[] = {0, 8, 16, 24};
const int32_t MPCSampleRates[] = {48000, 44100, 37800, 32000, 0};
const TWVCompressionLevel WVLevels[] = {wvclFast, wvclHigh, wvclVeryHigh};

// The list entry Index names; the last one for an index past the list (settings from
// a damaged file never index outside it).
template <class T, size_t N>
T Pick(const T (&List)[N], uint8_t Index) {
  return List[std::min<size_t>(Index, N - 1)];
}

std::string FormatHMS(int64_t Seconds) {
  Seconds = std::max<int64_t>(Seconds, 0);
  char text[32];
  std::snprintf(text, sizeof text, "%lld:%02lld:%02lld", static_cast<long long>(Seconds / 3600),
                static_cast<long long>(Seconds / 60 % 60), static_cast<long long>(Seconds % 60));
  return text;
}

// Any entry of that name, a dangling link included.
bool NameTaken(const std::string& Path) {
  struct stat st;
  return ::lstat(Path.c_str(), &st) == 0;
}

// Whether Relative names a place inside its folder: no empty, "." or ".." part.
bool StaysInside(const std::string& Relative) {
  size_t start = 0;
  while (start <= Relative.size()) {
    size_t end = Relative.find('/', start);
    if (end == std::string::npos) end = Relative.size();
    const std::string part = Relative.substr(start, end - start);
    if ((part.empty() && end != Relative.size()) || part == "." || part == "..") return false;
    start = end + 1;
  }
  return true;
}

TAuFileOut* CreateOutput(TOutputFormat Format) {
  switch (Format) {
    case outMP3: return new TMP3Out(nullptr);
    case outWMA:
    case outWMASystem: return new TWMAOut(nullptr);
    case outWave: return new TWaveOut(nullptr);
    case outWavPack: return new TWVOut(nullptr);
    case outMonkeysAudio: return new TMACOut(nullptr);
    case outOggVorbis: return new TVorbisOut(nullptr);
    case outFLAC: return new TFLACOut(nullptr);
    case outTrueAudio: return new TTTAOut(nullptr);
    case outMusepack: return new TMPCOut(nullptr);
  }
  return nullptr;
}

}  // namespace

std::vector<std::string> MissingFolders(const std::string& Dir) {
  std::vector<std::string> r;
  struct stat st;
  for (std::string d = ExcludeTrailingPathDelimiter(Dir); !d.empty() && d != "/" && ::lstat(d.c_str(), &st) != 0;
       d = ExtractFileDir(d))
    r.push_back(d);
  return r;
}

void RemoveEmptyFolders(std::vector<std::string>& Folders) {
  // rmdir takes only empty folders.
  for (const std::string& d : Folders) ::rmdir(d.c_str());
  Folders.clear();
}

// The widest integer samples Monkey's Audio and True Audio files hold.
constexpr int32_t LosslessMaxBits = 24;

std::string WithFirstLines(const TControl* Owner, std::string Text, const std::vector<std::string>& Lines) {
  // A message box wraps its text at words, at least as wide as half the screen (at most
  // 500 pixels) less its icon and margins; its frame, margins and button take about
  // eight lines' height. The text is measured in the desktop font a little narrower
  // than that, so that what is counted as fitting does.
  constexpr int32_t BoxWidthLimit = 500, BoxInset = 80, BoxRows = 8;
  const TRect area = Screen->MonitorFromWindow(Owner).WorkareaRect;
  TBitmap measure(1, 1);
  TCanvas* canvas = measure.Canvas();
  const int32_t rowHeight = std::max(canvas->TextHeight("Ag"), 1);
  const int32_t width = std::max(std::min(area.Width() / 2, BoxWidthLimit) - BoxInset, rowHeight);
  const auto rows = [&](const std::string& Line) {
    TRect r = Rect(0, 0, width, 0);
    const int32_t wrapped = canvas->DrawText(Line, r, DT_CALCRECT | DT_WORDBREAK | DT_NOPREFIX) / rowHeight;
    // A word wider than the box is broken up by the box, not kept on one line.
    return std::max({wrapped, (canvas->TextWidth(Line) + width - 1) / width, 1});
  };
  int32_t room = area.Height() / rowHeight - BoxRows - rows(Text);
  size_t shown = 0;
  for (; shown < Lines.size(); ++shown) {
    // A line that is not the last leaves room for the count.
    const int32_t need = rows(Lines[shown]);
    if (need + (shown + 1 < Lines.size() ? 1 : 0) > room) break;
    room -= need;
    Text += "\n" + Lines[shown];
  }
  if (shown < Lines.size()) Text += "\nand " + std::to_string(Lines.size() - shown) + " more";
  return Text;
}

const char* OutputExtension(TOutputFormat Format) { return Extensions[std::min<int>(Format, OutputFormatCount - 1)]; }

void ApplyPreset(TOutputFormat Format, TQualityPreset Preset, TFormatSettings& s) {
  if (Preset > 4) return;
  static const uint8_t Steps[5] = {0, 3, 5, 7, 9};
  switch (Format) {
    case outMP3: {
      static const uint8_t Rates[5] = {0, 2, 4, 5, 7};
      s.Stereo = 2, s.BitRate = Rates[Preset], s.Qual = Steps[Preset];
      break;
    }
    case outWMA: {
      static const uint8_t Rates[5] = {0, 2, 4, 6, 8};
      s.Stereo = 2, s.BitRate = Rates[Preset], s.Qual = Steps[Preset];
      break;
    }
    case outWave: {
      static const uint8_t Rates[5] = {0, 1, 1, 4, 7}, Sizes[5] = {3, 3, 2, 2, 1};
      s.Stereo = 2, s.Samplerate = Rates[Preset], s.Samplesize = Sizes[Preset], s.Qual = 0;
      break;
    }
    case outOggVorbis:
      s.Stereo = 2, s.Qual = Steps[Preset];
      break;
    case outMusepack: {
      static const uint8_t Rates[5] = {0, 1, 1, 2, 3}, Quals[5] = {0, 2, 4, 6, 9};
      s.Samplerate = Rates[Preset], s.Qual = Quals[Preset];
      break;
    }
    default:
      break;
  }
}

const TFormatSettings& SettingCounts(TOutputFormat Format) {
  // Stereo, Lossless, VarBitrate, BitRate, Samplerate, Samplesize, Qual.
  static const TFormatSettings Counts[OutputFormatCount] = {
      {3, 1, 2, std::size(MP3BitRates), 1, 1, 10},
      {3, WMALosslessAvailable ? 2 : 1, WMAVariableBitrateAvailable ? 2 : 1, std::size(WMABitRates), 1, 1, 10},
      {1, 1, WMAVariableBitrateAvailable ? 2 : 1, 255, 1, 1, 255},
      {3, 1, 1, 1, std::size(WaveSampleRates), std::size(WaveSampleSizes), 2},
      {3, 1, 1, 1, 1, 1, std::size(WVLevels)},
      {3, 1, 1, 1, 1, 1, 4},
      {3, 1, 1, 1, 1, 1, 10},
      {1, 1, 1, 1, 1, 1, 9},
      {1, 1, 1, 1, 1, 1, 1},
      {1, 1, 1, 1, std::size(MPCSampleRates), 1, 10},
  };
  return Counts[std::min<int>(Format, OutputFormatCount - 1)];
}

const TFormatSettings& DefaultSettings(TOutputFormat Format) {
  return Defaults[std::min<int>(Format, OutputFormatCount - 1)].Settings;
}

TQualityPreset DefaultPreset(TOutputFormat Format) { return Defaults[std::min<int>(Format, OutputFormatCount - 1)].Preset; }

TOutput::TOutput(TControl* OwnerWnd, TKvCustomProgressBar* APrgCurrent, TKvCustomProgressBar* APrgTotal,
                 TControl* ALblInfo, TControl* ALblElapT, TControl* ALblRemT)
    : FOwnerWnd(OwnerWnd),
      FPrgCurrent(APrgCurrent),
      FPrgTotal(APrgTotal),
      FLblInfo(ALblInfo),
      FLblElapT(ALblElapT),
      FLblRemT(ALblRemT),
      FConverter(new TAudioConverter(nullptr)),
      FACMConverter(new TACMConverter(nullptr)),
      FNormalizer(new TNormalizer(nullptr)),
      FTimer(new TTimer(nullptr)) {
  for (int f = 0; f < OutputFormatCount; ++f) {
    FSettings[f] = Defaults[f].Settings;
    FPresets[f] = Defaults[f].Preset;
  }
  FTimer->SetEnabled(false);
  FTimer->SetInterval(500);
  FTimer->OnTimer = [this](TComponent*) { TimerTick(); };
}

TOutput::~TOutput() {
  if (Running()) Stop();
  FTimer->SetEnabled(false);
}

// ---------------------------------------------------------------------------
// Settings

void TOutput::SetStereo(uint8_t Value) {
  FSettings[FFormat].Stereo = Value;
  if (Value != 2) FPresets[FFormat] = qpCustom;
}

void TOutput::SetBitRate(uint8_t Value) {
  FSettings[FFormat].BitRate = Value;
  FPresets[FFormat] = qpCustom;
}

void TOutput::SetSampleRate(uint8_t Value) {
  FSettings[FFormat].Samplerate = Value;
  FPresets[FFormat] = qpCustom;
}

void TOutput::SetSampleSize(uint8_t Value) {
  FSettings[FFormat].Samplesize = Value;
  FPresets[FFormat] = qpCustom;
}

void TOutput::SetQual(uint8_t Value) {
  FSettings[FFormat].Qual = Value;
  FPresets[FFormat] = qpCustom;
}

void TOutput::SetLossless(uint8_t Value) { FSettings[FFormat].Lossless = Value; }

void TOutput::SetVarBitrate(uint8_t Value) { FSettings[FFormat].VarBitrate = Value; }

void TOutput::SetQuality(uint8_t Preset) {
  if (Preset > 4) {
    FPresets[FFormat] = qpCustom;
    return;
  }
  FPresets[FFormat] = Preset;
  ApplyPreset(FFormat, Preset, FSettings[FFormat]);
}

void TOutput::SetNormalize(bool Value) {
  FNormalize = Value;
  FNormalizer->SetEnabled(Value);
}

void TOutput::ApplySettings() {
  const TFormatSettings& s = FSettings[FFormat];
  const int32_t channels = s.Stereo == 0 ? 1 : 2;
  FConverter->SetOutBitsPerSample(0);
  FConverter->SetOutChannels(channels);
  FACMConverter->SetOutChannels(0);
  FACMConverter->SetOutBitsPerSample(0);
  FACMConverter->SetOutSampleRate(0);
  switch (FFormat) {
    case outMP3: {
      auto* out = static_cast<TMP3Out*>(FOutput.get());
      out->SetEnableVBR(s.VarBitrate != 0);
      out->SetBitRate(Pick(MP3BitRates, s.BitRate));
      out->SetVBRQuality(static_cast<TMP3Quality>(std::min<uint8_t>(s.Qual, mp3ql9)));
      out->SetMode(s.Stereo == 0 ? mmMono : s.Stereo == 1 ? mmJointStereo : mmStereo);
      break;
    }
    case outWMA: {
      auto* out = static_cast<TWMAOut*>(FOutput.get());
      out->SetDesiredBitrate(Pick(WMABitRates, s.BitRate) * 1000);  // the list is in kbit/s
      out->SetVBR(s.VarBitrate != 0);
      out->SetLossless(s.Lossless != 0);
      out->SetVBRQuality(static_cast<uint8_t>(99 - 10 * std::min<uint8_t>(s.Qual, 9)));
      break;
    }
    case outWMASystem: {
      auto* out = static_cast<TWMAOut*>(FOutput.get());
      out->SetVBR(s.VarBitrate != 0);
      out->SetCodecIndex(s.Qual);
      out->SetFormatIndex(s.BitRate);
      break;
    }
    case outWave:
      static_cast<TWaveOut*>(FOutput.get())->SetWavType(s.Qual == 1 ? wtDVIADPCM : wtPCM);
      FConverter->SetOutBitsPerSample(s.Qual == 1 ? 16 : Pick(WaveSampleSizes, s.Samplesize));
      FACMConverter->SetOutSampleRate(Pick(WaveSampleRates, s.Samplerate));
      break;
    case outWavPack: {
      auto* out = static_cast<TWVOut*>(FOutput.get());
      out->SetJointStereo(s.Stereo == 1);
      out->SetCompressionLevel(Pick(WVLevels, s.Qual));
      break;
    }
    case outMonkeysAudio:
      static_cast<TMACOut*>(FOutput.get())->SetCompressionLevel((std::min<uint8_t>(s.Qual, 3) + 1) * 1000);
      break;
    case outOggVorbis:
      static_cast<TVorbisOut*>(FOutput.get())->SetCompression(1.0f - static_cast<float>(std::min<uint8_t>(s.Qual, 9)) / 10.0f);
      break;
    case outFLAC:
      static_cast<TFLACOut*>(FOutput.get())->SetCompressionLevel(std::min<uint8_t>(s.Qual, 8));
      break;
    case outTrueAudio:
      // The converter only narrows wide samples here; the channels stay the source's.
      FConverter->SetOutChannels(0);
      break;
    case outMusepack:
      FACMConverter->SetOutSampleRate(Pick(MPCSampleRates, s.Samplerate));
      static_cast<TMPCOut*>(FOutput.get())->SetQuality(10.0f - static_cast<float>(std::min<uint8_t>(s.Qual, 9)));
      break;
  }
  static const TThreadPriority Priorities[3] = {tpHigher, tpNormal, tpLowest};
  FOutput->SetThreadPriority(FPrior < 3 ? Priorities[FPrior] : tpNormal);
}

// ---------------------------------------------------------------------------
// The run

void TOutput::Message(const std::string& Text, uint32_t Flags) const {
  MessageBox(FOwnerWnd, Text, "Error", MB_OK | Flags);
}

bool TOutput::Start(TFileList* List) {
  if (Running()) throw EInvalidOperation("A conversion is already running.");
  List->SyncChecked();
  if (List->CheckedCount() == 0) {
    MessageBox(FOwnerWnd, "Only checked list items can be converted. Please check any file in the list above",
               "Nothing is checked for conversion", MB_OK | MB_ICONWARNING);
    return false;
  }
  const std::string dir = FOutputDir;
  if (dir.empty() || dir[0] != '/') {
    Message("The output directory \"" + dir + "\" is not a full path.", MB_ICONERROR);
    return false;
  }
  FRunFolders = MissingFolders(dir);
  const auto refuse = [this](const std::string& Text) {
    RemoveEmptyFolders(FRunFolders);
    Message(Text, MB_ICONERROR);
    return false;
  };
  if (!ForceDirectories(dir)) return refuse("Cannot create directory " + dir);
  if (::access(dir.c_str(), W_OK | X_OK) != 0) return refuse("Cannot write to the output directory " + dir);
  try {
    FOutput.reset(CreateOutput(FFormat));
    ApplySettings();
  } catch (const std::exception& E) {
    FOutput.reset();
    return refuse(E.what());
  }
  FRunDir = IncludeTrailingPathDelimiter(dir);
  FExt = OutputExtension(FFormat);
  FFileList = List;
  List->MakeOutputName(FNamePattern);
  FTotalBytes = 0;
  for (int32_t i = 0; i < List->Count(); ++i) {
    if (!List->Entries(i).Checked) continue;
    FTotalBytes += List->Entries(i).DataSize;
    FLastChecked = i;
  }
  FDoneBytes = 0;
  FFailures.clear();
  FPausedMs = 0;
  FPaused = false;
  FStartTick = GetTickCount();
  // The last run's times and bars go before this run shows its first.
  FPrgCurrent->SetPercent(0);
  FPrgTotal->SetPercent(0);
  FLblElapT->SetCaption("0:00:00");
  FLblRemT->SetCaption("0:00:00");
  FOutput->OnProgress = [this](TComponent*) { OutputProgress(); };
  FOutput->OnDone = [this](TComponent*) { OutputDone(); };
  List->Lock();
  FPosition = 1;
  StartNextFile();
  return true;
}

void TOutput::StartNextFile() {
  // A loop, so that any number of entries failing in a row costs no stack.
  for (;;) {
    while (FPosition <= FFileList->Count() && !Entry().Checked) ++FPosition;
    if (FPosition > FFileList->Count()) return EndRun();
    try {
      SetUpEntry();
      FOutput->Run();
      return;
    } catch (const std::exception& E) {
      EntryFailed(E.what());
    }
    if (!MoveOn()) return EndRun();
  }
}

void TOutput::SetUpEntry() {
  TFileListEntry& e = Entry();
  FEntryFolders.clear();
  FPrgCurrent->SetPercent(0);
  const bool normalize = FNormalize && FFormat != outFLAC;
  FNormalizer->SetEnabled(normalize);
  if (normalize) {
    // The normaliser's first pass gives no progress; the timer shows the time meanwhile.
    FLblInfo->SetCaption("Normalizing - \"" + e.Caption + "\"");
    FTimer->SetTag(0);
    FTimer->SetEnabled(true);
  }

  TAuInput* source;
  if (e.FormatCode == fcCDTrack) {
    FFileList->SetCDTrack(FPosition - 1);
    source = FFileList->GetCDInput();
  } else {
    source = FFileList->GetInput(e.FormatCode);
    if (!source) throw Exception("The file \"" + e.FileName + "\" is not a supported audio file");
    FFileList->SetInputFileName(FPosition - 1);
  }
  switch (FFormat) {
    case outWMA:
    case outWavPack:
    case outMonkeysAudio:
    case outOggVorbis:
    case outTrueAudio:
      FConverter->SetInput(source);
      FNormalizer->SetInput(FConverter.get());
      break;
    case outWave:
      FACMConverter->SetInput(source);
      FConverter->SetInput(FACMConverter.get());
      FNormalizer->SetInput(FConverter.get());
      break;
    case outMusepack:
      FACMConverter->SetInput(source);
      FNormalizer->SetInput(FACMConverter.get());
      break;
    default:
      FNormalizer->SetInput(source);
      break;
  }
  // Monkey's Audio holds integer samples of at most 24 bits, and True Audio's wider format
  // (floats) loses bits of 32-bit integers and is read by few decoders: wider sources
  // (32-bit and floating-point) are stored in 24 bits.
  if (FFormat == outMonkeysAudio || FFormat == outTrueAudio)
    FConverter->SetOutBitsPerSample(source->BitsPerSample() > LosslessMaxBits ? LosslessMaxBits : 0);
  FOutput->SetInput(FNormalizer.get());
  // What the encoder cannot take from the chain is refused before any folder or file is made.
  const std::string refusal =
      FOutput->FormatRefusal(FNormalizer->BitsPerSample(), FNormalizer->Channels(), FNormalizer->SampleRate());
  if (!refusal.empty()) throw Exception(refusal);

  if (!StaysInside(e.OutputDir + e.OutputName)) throw Exception("The output name \"" + e.OutputName + "\" is not valid");
  const std::string dir = FRunDir + e.OutputDir;
  FEntryFolders = MissingFolders(dir);
  if (!ForceDirectories(dir)) throw Exception("Cannot create directory " + dir);
  std::string name = dir + e.OutputName + FExt;
  for (int n = 1; NameTaken(name); ++n) name = dir + e.OutputName + "(" + IntToStr(n) + ")" + FExt;
  FOutput->SetFileName(name);

  if (FFormat == outWMA || FFormat == outWMASystem) {
    TId3v2Tags& tags = *static_cast<TWMAOut*>(FOutput.get())->Id3v2Tags();
    const TTagSet& t = e.CurrentTags;
    tags.Clear();
    tags.SetArtist(UTF8ToUTF16(t.Artist));
    tags.SetAlbum(UTF8ToUTF16(t.Album));
    tags.SetGenre(UTF8ToUTF16(t.Genre));
    tags.SetYear(t.Year);
    tags.SetTrack(t.Track);
    tags.SetTitle(UTF8ToUTF16(t.Title));
    tags.SetComment(UTF8ToUTF16(t.Comment));
    tags.SetComposer(UTF8ToUTF16(t.Composer));
    tags.SetEncoder(UTF8ToUTF16(t.Encoder));
    tags.SetCopyright(UTF8ToUTF16(t.Copyright));
    tags.SetLanguage(UTF8ToUTF16(t.Language));
    tags.SetLink(UTF8ToUTF16(t.Link));
  }
  FFileList->Items()->Item(FPosition - 1)->SetSelected(true);
}

void TOutput::EntryFailed(const std::string& Message) {
  TFileListEntry& e = Entry();
  FFailures.emplace_back(e.Caption, Message);
  // A failed run leaves nothing under the entry's name: whatever is there is not its own.
  FOutput->SetFileName("");
  RemoveEmptyFolders(FEntryFolders);
  FDoneBytes += e.DataSize;
  FFileList->Items()->Item(FPosition - 1)->SetSelected(false);
}

bool TOutput::MoveOn() {
  const bool last = FPosition - 1 >= FLastChecked;
  ++FPosition;
  return !last;
}

void TOutput::OutputDone() {
  if (!Running() || !FOutput) return;
  const std::string error = FOutput->ExceptionMessage();
  if (!error.empty()) {
    EntryFailed(error);
  } else {
    TFileListEntry& e = Entry();
    const std::string name = FOutput->FileName();
    // A finished file is no longer the run's to delete, nor its folders.
    FOutput->SetFileName("");
    FEntryFolders.clear();
    FFileList->Items()->Item(FPosition - 1)->SetSelected(false);
    if (FAutoUncheck) FFileList->SetChecked(FPosition - 1, false);
    FDoneBytes += e.DataSize;
    try {
      FFileList->WriteFileTags(FPosition - 1, OutputCodes[FFormat], name);
    } catch (const std::exception&) {
      // The audio is complete; a tag that could not be written does not undo it.
    }
  }
  if (!MoveOn()) return EndRun();
  if (error.empty() && OnFileDone) OnFileDone(nullptr);
  if (Running()) StartNextFile();
}

void TOutput::ResetRunState() {
  FTimer->SetEnabled(false);
  FTimer->SetTag(0);
  FPosition = 0;
  FLastChecked = 0;
  FDoneBytes = 0;
  FTotalBytes = 0;
  FPausedMs = 0;
  FPaused = false;
  FPrgCurrent->SetPercent(0);
  FPrgTotal->SetPercent(0);
  FLblInfo->SetCaption("");
  FLblRemT->SetCaption("0:00:00");
  FConverter->Reset();
  FACMConverter->Reset();
  FNormalizer->Reset();
  // An output that fails while it is freed is dropped all the same.
  if (TAuFileOut* out = FOutput.release()) {
    try {
      out->Free();
    } catch (...) {
    }
  }
  if (FFileList) FFileList->Unlock();
  FFileList = nullptr;
}

void TOutput::EndRun() {
  const auto failures = std::move(FFailures);
  FFailures.clear();
  ResetRunState();
  RemoveEmptyFolders(FRunFolders);
  if (OnAllDone) OnAllDone(nullptr);
  if (failures.empty()) return;
  std::vector<std::string> lines;
  for (const auto& [name, reason] : failures) lines.push_back(name + ": " + reason);
  Message(WithFirstLines(FOwnerWnd,
                         IntToStr(static_cast<int64_t>(failures.size())) + " file(s) could not be converted:", lines),
          MB_ICONWARNING);
}

void TOutput::Pause() {
  if (!FOutput || FPaused) return;
  FOutput->Pause();
  FPauseStart = GetTickCount();
  FPaused = true;
}

void TOutput::Resume() {
  if (!FOutput || !FPaused) return;
  FOutput->Resume();
  FPausedMs += GetTickCount() - FPauseStart;
  FPaused = false;
}

void TOutput::Stop() {
  if (FOutput && FOutput->Status() != asIdle) FOutput->Stop(false);
  // The file of the entry in work, when its run completed it before it stopped; an
  // unfinished one never had its name.
  const std::string name =
      FOutput && FOutput->CompletedFileName() == FOutput->FileName() ? FOutput->FileName() : std::string();
  FFailures.clear();
  if (FOutput) FOutput->SetFileName("");
  ResetRunState();
  if (!name.empty() && FileExists(name)) DeleteFile(name);
  RemoveEmptyFolders(FEntryFolders);
  RemoveEmptyFolders(FRunFolders);
}

// ---------------------------------------------------------------------------
// Progress and time

uint32_t TOutput::ElapsedMs() const {
  const uint32_t now = GetTickCount();
  return now - FStartTick - FPausedMs - (FPaused ? now - FPauseStart : 0);
}

void TOutput::ShowTimes(bool CheckEnabled) {
  const std::string elapsed = FormatHMS(ElapsedMs() / 1000);
  if (elapsed == FLblElapT->Caption()) return;
  FLblElapT->SetCaption(elapsed);
  if (CheckEnabled && !FLblRemT->Enabled()) return FLblRemT->SetCaption("0:00:00");
  const int32_t p = std::clamp(FOutput ? FOutput->Progress() : 0, 0, 100);
  const double done = static_cast<double>(Entry().DataSize * p) / 100.0 + static_cast<double>(FDoneBytes);
  int64_t remaining = 0;
  if (done > 0 && p + FPrgTotal->Percent() >= 1) {
    const double seconds = ElapsedMs() / 1000.0;
    remaining = Round(static_cast<double>(FTotalBytes) / done * seconds - seconds);
  }
  FLblRemT->SetCaption(FormatHMS(remaining));
}

void TOutput::OutputProgress() {
  if (!Running() || !FOutput) return;
  // -1: the input does not know its size.
  const int32_t p = std::clamp(FOutput->Progress(), 0, 100);
  FPrgCurrent->SetPercent(static_cast<uint16_t>(p));
  const double done = static_cast<double>(Entry().DataSize * p) / 100.0 + static_cast<double>(FDoneBytes);
  const int64_t total = FTotalBytes > 0 ? Round(done / static_cast<double>(FTotalBytes) * 100.0) : 0;
  FPrgTotal->SetPercent(static_cast<uint16_t>(std::clamp<int64_t>(total, 0, 100)));
  if (FTimer->Enabled()) {
    FTimer->SetEnabled(false);
    FTimer->SetTag(0);
  }
  FLblInfo->SetCaption("Encoding - \"" + Entry().Caption + "\"");
  ShowTimes(true);
}

void TOutput::TimerTick() {
  if (!Running()) return FTimer->SetEnabled(false);
  ShowTimes(false);
  if (FTimer->Tag() != 0) {
    FLblInfo->SetCaption(Trim(FLblInfo->Caption()));
    FTimer->SetTag(0);
  } else {
    FLblInfo->SetCaption("  " + FLblInfo->Caption());
    FTimer->SetTag(1);
  }
}
