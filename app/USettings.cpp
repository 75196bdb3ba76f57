// The main window's settings file. Every value read is checked against what its control
// or list can show; a value that is missing, unreadable or out of range takes its key's
// default, so a damaged or foreign file (a Windows path, a window position on a screen
// that is gone) gives a window that works.
#include <climits>
#include <cstdio>
#include <unistd.h>

#include "app/UFileList.h"
#include "app/UFormMain.h"
#include "app/UOutput.h"
#include "platform/gui/Dialogs.h"
#include "platform/rtl/FileUtils.h"
#include "platform/rtl/Folders.h"
#include "platform/rtl/IniFiles.h"
#include "platform/rtl/StrUtils.h"
#include "widgets/KvBtnEdt.h"
#include "widgets/KvCmboBx.h"
#include "widgets/KvRadChk.h"
#include "widgets/KvTabs.h"

namespace {

const char* const SettingsName = "sonvix.ini";
const char* const SecPosition = "Position";
const char* const SecSource = "Source";
const char* const SecOutput = "Output";

// The settings fields in the file's order, with their key names.
const struct {
  const char* Key;
  uint8_t TFormatSettings::* Field;
  bool Flag;
} FieldKeys[] = {
    {"Stereo", &TFormatSettings::Stereo, false},         {"VarBitrate", &TFormatSettings::VarBitrate, true},
    {"Lossless", &TFormatSettings::Lossless, true},      {"BitRate", &TFormatSettings::BitRate, false},
    {"Samplerate", &TFormatSettings::Samplerate, false}, {"Samplesize", &TFormatSettings::Samplesize, false},
    {"Qual", &TFormatSettings::Qual, false},
};

std::string Key(const char* Name, int32_t Format) { return Name + IntToStr(Format); }

// An integer key that must lie in [0, Count); Default otherwise.
int32_t ReadIndex(const TIniFile& Ini, const char* Section, const std::string& Ident, int32_t Count, int32_t Default) {
  const int32_t v = Ini.ReadInteger(Section, Ident, Default);
  return v >= 0 && v < Count ? v : Default;
}

// An absolute folder that a path can name, as the file holds it ("~" for the home
// folder), or empty.
std::string AbsoluteFolder(const std::string& Value) {
  const std::string v = ExpandHomeFolder(Trim(Value));
  return !v.empty() && v[0] == '/' && v.size() < PATH_MAX ? v : std::string();
}

}  // namespace

std::string SettingsFileName(const std::string& ProgramFolder, const std::string& ConfigFolder) {
  const std::string portable = IncludeTrailingPathDelimiter(ProgramFolder) + SettingsName;
  if (!ProgramFolder.empty() && FileExists(portable) && ::access(portable.c_str(), W_OK) == 0) return portable;
  if (ConfigFolder.empty()) return {};
  return IncludeTrailingPathDelimiter(ConfigFolder) + SettingsName;
}

std::string TFrmMain::SettingsFile() const { return SettingsFileName(ProgramDir(), AppConfigFolder()); }

void TFrmMain::ApplyWindowPosition(int32_t ALeft, int32_t ATop) {
  const TRect wanted = Bounds(ALeft, ATop, Width(), Height());
  for (int32_t m = 0; m < Screen->MonitorCount(); ++m) {
    const TRect area = Screen->Monitors(m).WorkareaRect;
    if (wanted.Left >= area.Left && wanted.Top >= area.Top && wanted.Right <= area.Right &&
        wanted.Bottom <= area.Bottom)
      return SetBounds(ALeft, ATop, Width(), Height());
  }
  // Not wholly on any screen: centred on the one that holds the window.
  const TRect area = Screen->MonitorFromWindow(this).WorkareaRect;
  SetBounds(area.Left + static_cast<int32_t>(Round((area.Width() - Width()) / 2.0)),
            area.Top + static_cast<int32_t>(Round((area.Height() - Height()) / 2.0)), Width(), Height());
}

void TFrmMain::LoadFormatSettings(const TIniFile& Ini) {
  const int32_t codecs = CmbWMA2Cod->Items()->Count();
  for (int32_t f = 0; f < OutputFormatCount; ++f) {
    const auto format = static_cast<TOutputFormat>(f);
    TFormatSettings& s = FOutput->Settings(format);
    const TFormatSettings& counts = SettingCounts(format);
    for (const auto& k : FieldKeys) {
      // A flag missing from the file is off; any other missing value keeps the default.
      const int32_t fallback = k.Flag ? 0 : s.*k.Field;
      const int32_t missing = k.Flag ? 0 : k.Field == &TFormatSettings::Stereo ? 2 : -1;
      int32_t v = Ini.ReadInteger(SecOutput, Key(k.Key, f), missing);
      if (k.Flag && v != 0) v = 1;
      s.*k.Field = static_cast<uint8_t>(v >= 0 && v < counts.*k.Field ? v : fallback);
    }
    // The preset is stored as the file has it, whatever the settings beside it: loading
    // never makes one "Custom", and a format without the key is "Medium".
    const int32_t quality = Ini.ReadInteger(SecOutput, Key("Quality", f), 2);
    FOutput->Presets(format) = quality == -1                 ? qpCustom
                               : quality >= 0 && quality < 5 ? static_cast<TQualityPreset>(quality)
                                                             : TQualityPreset{2};
  }
  // The system codec and its format are indices into this machine's lists.
  TFormatSettings& system = FOutput->Settings(outWMASystem);
  if (system.Qual >= codecs) system.Qual = 0;
  FFileList->SetWMACodecVBR(system.VarBitrate != 0);
  if (system.BitRate >= FFileList->GetWMACodecFormats(system.Qual).Count()) system.BitRate = 0;
}

void TFrmMain::LoadSettings() {
  const std::string file = SettingsFile();
  if (file.empty()) return;
  const TIniFile ini(file);
  // A file that holds none of the settings (none yet, empty, not an INI file) leaves the
  // window as it was made.
  if (!ini.SectionExists(SecPosition) && !ini.SectionExists(SecSource) && !ini.SectionExists(SecOutput)) return;

  // Missing keys leave the window where it is (centred); a bad place centres it.
  ApplyWindowPosition(ini.ReadInteger(SecPosition, "Left", Left()), ini.ReadInteger(SecPosition, "Top", Top()));

  PageSource->SetActivePageIndex(ReadIndex(ini, SecSource, "Tab", PageSource->PageCount(), 0));
  PageSourcePageChange();
  EdtDir->SetText(AbsoluteFolder(ini.ReadString(SecSource, "Dir", "")));
  AddFolderFromEdit(false);
  ChkUnc->SetChecked(ini.ReadBool(SecSource, "Uncheck", true));

  LoadFormatSettings(ini);
  CmbFormat->SetItemIndex(ReadIndex(ini, SecOutput, "Format", OutputFormatCount, 0));
  CmbFormatChange();
  CmbCapt->SetItemIndex(ReadIndex(ini, SecOutput, "FileName", FileNamePatternCount, 0));
  CmbCaptClick();
  ChkNorm->SetChecked(ini.ReadBool(SecOutput, "Normalize", true));
  CmbPrior->SetItemIndex(ReadIndex(ini, SecOutput, "Prior", CmbPrior->Items()->Count(), 1));
  FOutput->SetPriority(static_cast<uint8_t>(CmbPrior->ItemIndex()));
  const std::string outputDir = AbsoluteFolder(ini.ReadString(SecOutput, "OutputDir", EdtOutDir->Text()));
  EdtOutDir->SetText(!outputDir.empty() ? outputDir : ExcludeTrailingPathDelimiter(MusicFolder()));
}

void TFrmMain::SaveSettings() {
  const std::string file = SettingsFile();
  try {
    if (file.empty()) throw Exception("No folder for the settings could be made.");
    TIniFile ini(file);
    ini.WriteInteger(SecPosition, "Left", Left());
    ini.WriteInteger(SecPosition, "Top", Top());
    // Folders are saved as they load: no value that loading would refuse.
    ini.WriteString(SecSource, "Dir", AbsoluteFolder(EdtDir->Text()));
    ini.WriteInteger(SecSource, "Tab", PageSource->ActivePageIndex());
    ini.WriteBool(SecSource, "Uncheck", ChkUnc->Checked());
    for (int32_t f = 0; f < OutputFormatCount; ++f) {
      const auto format = static_cast<TOutputFormat>(f);
      const TFormatSettings& s = FOutput->Settings(format);
      for (const auto& k : FieldKeys) {
        if (k.Flag)
          ini.WriteBool(SecOutput, Key(k.Key, f), s.*k.Field == 1);
        else
          ini.WriteInteger(SecOutput, Key(k.Key, f), s.*k.Field);
      }
      ini.WriteInteger(SecOutput, Key("Quality", f), static_cast<int8_t>(FOutput->Presets(format)));
    }
    ini.WriteInteger(SecOutput, "Format", CmbFormat->ItemIndex());
    ini.WriteInteger(SecOutput, "FileName", CmbCapt->ItemIndex());
    ini.WriteBool(SecOutput, "Normalize", ChkNorm->Checked());
    ini.WriteInteger(SecOutput, "Prior", CmbPrior->ItemIndex());
    ini.WriteString(SecOutput, "OutputDir", AbsoluteFolder(EdtOutDir->Text()));
    ini.UpdateFile();
  } catch (const std::exception& E) {
    const std::string text = std::string("The settings could not be saved: ") + E.what();
    // Closed by a signal, the program is on its way out and nobody may be there to answer a box.
    if (Application->TerminationSignal() != 0)
      std::fprintf(stderr, "%s\n", text.c_str());
    else
      MessageBox(this, text, "Error", MB_OK | MB_ICONERROR);
  }
}
