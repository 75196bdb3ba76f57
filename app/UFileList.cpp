#include "app/UFileList.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <system_error>

#include "audio/codecs/ape/TSL_MAC.h"
#include "audio/codecs/flac/TSL_FLAC.h"
#include "audio/codecs/mpc/TSL_MPC.h"
#include "audio/codecs/tta/TSL_TTA.h"
#include "audio/codecs/vorbis/TSL_Vorbis.h"
#include "audio/codecs/wavpack/TSL_WavPack.h"
#include "audio/io/TSL_CDROM.h"
#include "audio/io/TSL_Wave.h"
#include "audio/io/TSL_WinMedia.h"
#include "audio/io/TSL_smpeg.h"
#include "audio/io/Tessel_AVI.h"
#include "fileinfo/MPEGaudio.h"
#include "platform/cdrom/CDRom.h"
#include "platform/gui/Dialogs.h"
#include "platform/gui/ListView.h"
#include "platform/rtl/FileUtils.h"
#include "platform/rtl/StrUtils.h"

namespace {

constexpr int32_t ProbeSlots = fcMusepack + 1;

const std::string UnsupportedText = "Not supported file extension is detected.\r\nFiles with extensions";
// Why a file that no source kind reads was left out.
const char* const UnknownExtension = "unknown extension";
const char* const NoExtension = "no extension";

// Bytes of one second of a probe's audio; 0 when its format is not known.
int64_t BytesPerSecond(TAuFileIn& Probe) {
  return static_cast<int64_t>(Probe.SampleRate()) * Probe.Channels() * (Probe.BitsPerSample() / 8);
}

}  // namespace

std::string TTagSet::* const TagSetFields[TagSetFieldCount] = {
    &TTagSet::Artist, &TTagSet::Album,    &TTagSet::Genre,   &TTagSet::Year,      &TTagSet::Track,    &TTagSet::Title,
    &TTagSet::Comment, &TTagSet::Composer, &TTagSet::Encoder, &TTagSet::Copyright, &TTagSet::Language, &TTagSet::Link};

const char* const APEItemNames[TagSetFieldCount] = {"Artist",  "Album",    "Genre",   "Year",      "Track",    "Title",
                                                    "Comment", "Composer", "Encoder", "Copyright", "Language", "Link"};

TFileList::TFileList(TListItems* AItems) : FItems(AItems), FProbes(ProbeSlots) {
  FProbes[fcMP3].reset(new TMP3In(nullptr));
  FProbes[fcOggVorbis].reset(new TVorbisIn(nullptr));
  FProbes[fcWave].reset(new TWaveIn(nullptr));
  FProbes[fcFLAC].reset(new TFLACIn(nullptr));
  FProbes[fcMonkeysAudio].reset(new TMACIn(nullptr));
  FProbes[fcWavPack].reset(new TWVIn(nullptr));
  FProbes[fcTrueAudio].reset(new TTTAIn(nullptr));
  FProbes[fcWindowsMedia].reset(new TWMIn(nullptr));
  FProbes[fcAVI].reset(new TAVIIn(nullptr));
  FProbes[fcMusepack].reset(new TMPCIn(nullptr));
  FCDIn.reset(new TCDIn(nullptr));
  FWMAOut.reset(new TWMAOut(nullptr));
}

TFileList::~TFileList() = default;

TCustomListView* TFileList::View() const { return FItems->Owner(); }

TControl* TFileList::MessageOwner() const { return View(); }

void TFileList::CheckUnlocked() const {
  if (FLocked) throw EListLocked("The list cannot be changed while it is being converted.");
}

void TFileList::Lock() {
  FLocked = true;
  View()->SetChecksLocked(true);
}

void TFileList::Unlock() {
  FLocked = false;
  View()->SetChecksLocked(false);
}

void TFileList::SetItemChecked(int32_t N, bool Value) {
  TCustomListView* view = View();
  const bool locked = view->ChecksLocked();
  view->SetChecksLocked(false);
  try {
    FItems->Item(N)->SetChecked(Value);
  } catch (...) {
    view->SetChecksLocked(locked);
    throw;
  }
  view->SetChecksLocked(locked);
}

void TFileList::SyncChecked() {
  FCheckedCount = 0;
  for (int32_t i = 0; i < Count(); ++i) {
    FEntries[static_cast<size_t>(i)].Checked = FItems->Item(i)->Checked();
    if (FEntries[static_cast<size_t>(i)].Checked) ++FCheckedCount;
  }
}

void TFileList::TakeTick(int32_t N) {
  TFileListEntry& e = Entries(N);
  const bool ticked = FItems->Item(N)->Checked();
  if (e.Checked != ticked) FCheckedCount += ticked ? 1 : -1;
  e.Checked = ticked;
}

void TFileList::SetChecked(int32_t N, bool Value) {
  SetItemChecked(N, Value);
  SyncChecked();
}

// ---------------------------------------------------------------------------
// Adding

bool TFileList::AddOneFile(const std::string& FileName, const std::string& Caption, int64_t FileBytes) {
  if (Listed(FileName)) return false;
  const TInputFormatCode code = ExtToFormatCode(FileName);
  TAuFileIn* probe = GetInput(code);
  if (!probe) {
    // "README", "..wav" and "x.wav." have no extension to name.
    FNotAdded.push_back({Caption, ExtractFileExt(FileName).size() > 1 ? UnknownExtension : NoExtension});
    return false;
  }
  // A FIFO or a device is never opened: reading one could wait for good.
  std::error_code kindError;
  if (const auto kind = std::filesystem::status(FileName, kindError).type();
      !kindError && kind != std::filesystem::file_type::regular)
    throw EAuException("not a regular file");
  TFileListEntry entry;
  entry.Caption = Caption;
  entry.FileName = FileName;
  entry.FormatCode = code;
  int64_t decoded = -1, bytesPerSecond = 0;
  // The probe is emptied again whatever happens, so it holds no file open; it stays open
  // until the entry's tags are read, which a Windows Media file takes from it.
  struct TEmptyProbe {
    TAuFileIn* Probe = nullptr;
    ~TEmptyProbe() {
      try {
        if (Probe) Probe->SetFileName("");
      } catch (...) {
      }
    }
  } emptyProbe;
  TMPEGaudio mpeg;
  if (code == fcMP3 && mpeg.ReadFromFile(FileName)) {
    // The frame headers tell what the media reader decodes (16-bit samples) at a
    // fraction of what opening it costs; a file they do not explain goes to the reader.
    bytesPerSecond = static_cast<int64_t>(mpeg.SampleRate()) * mpeg.Channels() * 2;
    decoded = mpeg.Samples() * mpeg.Channels() * 2;
    entry.Duration = static_cast<int32_t>(Round(static_cast<double>(decoded) / static_cast<double>(bytesPerSecond)));
  } else {
    emptyProbe.Probe = probe;
    probe->SetFileName(FileName);
    // A WAV file of a kind that cannot be read (damaged, or a compression without a
    // decoder) is a file that failed, so the user is told it was not added.
    if (!probe->Valid()) throw EAuException("not a valid audio file");
    entry.Duration = probe->TotalTime();
    decoded = probe->Size();
    bytesPerSecond = BytesPerSecond(*probe);
    // A Windows Media file counts its frames only when it is converted (that decodes
    // all of it); until then its header's length in hundredths stands for them.
    if (auto* wm = dynamic_cast<TWMIn*>(probe); wm && decoded < 0 && bytesPerSecond > 0)
      decoded = Round(wm->HeaderDuration() / 100.0 * probe->SampleRate()) * (bytesPerSecond / probe->SampleRate());
  }
  if (decoded > 0)
    entry.DataSize = decoded;
  else if (entry.Duration > 0 && bytesPerSecond > 0)
    entry.DataSize = entry.Duration * bytesPerSecond;
  std::vector<std::string> subItems = {FormatTime(entry.Duration),
                                       SizeText(FileBytes >= 0 ? FileBytes : std::max<int64_t>(decoded, 0))};
  AppendEntry(std::move(entry), subItems);
  return true;
}

void TFileList::AppendEntry(TFileListEntry Entry, const std::vector<std::string>& SubItems) {
  const TInputFormatCode code = Entry.FormatCode;
  Entry.Checked = true;
  TListItem* item = FItems->Add();
  try {
    item->SetCaption(Entry.Caption);
    item->SubItems()->Assign(SubItems);
    item->SetChecked(true);
    FEntries.push_back(std::move(Entry));
    ReadFileTags(code, Count() - 1);
  } catch (...) {
    // Nothing of a file that could not be read stays in the list.
    FItems->Delete(item->Index());
    FEntries.resize(static_cast<size_t>(FItems->Count()));
    throw;
  }
  FPaths.insert(FEntries.back().FileName);
  ++FCheckedCount;
}

void TFileList::ShowUnsupported(const std::string& Extensions, uint32_t Icon) const {
  MessageBox(MessageOwner(), UnsupportedText + Extensions + " have not been added.", "Not supported file",
             MB_OK | Icon);
}

void TFileList::TellUnknownExtensions(bool Tell, uint32_t Icon) {
  std::string extensions;
  for (const TNotAddedFile& f : FNotAdded) {
    if (f.Reason != UnknownExtension) return;
    const std::string ext = ExtractFileExt(f.Name);
    if ((extensions + " ").find(" " + ext + " ") == std::string::npos) extensions += " " + ext;
  }
  if (Tell && !extensions.empty()) ShowUnsupported(extensions, Icon);
  FNotAdded.clear();
}

bool TFileList::AddFiles(const std::vector<std::string>& Names) {
  CheckUnlocked();
  FNotAdded.clear();
  for (const std::string& name : Names) {
    const std::string shown = ExtractFileName(ExcludeTrailingPathDelimiter(name));
    // A folder is no file: it is named as not added rather than passed over.
    if (DirectoryExists(name)) {
      FNotAdded.push_back({shown, "a folder"});
      continue;
    }
    try {
      AddOneFile(name, shown, FileSize(name));
    } catch (const std::exception& E) {
      FNotAdded.push_back({shown, E.what()});
    }
  }
  TellUnknownExtensions(true, MB_ICONERROR);
  return FNotAdded.empty();
}

int32_t TFileList::AddFolder(const std::string& Folder, bool ShowUnsupportedMessage) {
  CheckUnlocked();
  FNotAdded.clear();
  namespace fs = std::filesystem;
  const std::string folder = IncludeTrailingPathDelimiter(Folder);
  std::vector<std::pair<std::string, int64_t>> found;
  std::error_code ec;
  for (fs::directory_iterator it(folder, ec), end; !ec && it != end; it.increment(ec)) {
    const std::string name = it->path().filename().string();
    // Anything but a folder is the folder's file: one that is no regular file (a FIFO,
    // a device) fails as unreadable rather than being passed over.
    std::error_code kindError;
    if (name.empty() || name[0] == '.' || it->is_directory(kindError)) continue;
    std::error_code sizeError;
    const auto bytes = it->file_size(sizeError);
    found.emplace_back(name, sizeError ? -1 : static_cast<int64_t>(bytes));
  }
  std::sort(found.begin(), found.end());

  int32_t result = 1;
  for (const auto& [name, bytes] : found) {
    try {
      if (AddOneFile(folder + name, name, bytes)) result = 2;
    } catch (const std::exception& E) {
      result = 0;
      FNotAdded.push_back({name, E.what()});
    }
  }
  // A folder without a file to add is told of as such, whatever else it holds.
  if (result == 1)
    FNotAdded.clear();
  else
    TellUnknownExtensions(ShowUnsupportedMessage, MB_ICONWARNING);
  return result;
}

void TFileList::AddCdTrack(const std::string& Caption, const std::string& Name, const std::string& DrivePath,
                           const std::string& LengthText, int32_t Track) {
  CheckUnlocked();
  TFileListEntry entry;
  entry.Caption = Caption;
  entry.FileName = DrivePath + Name + ".cda";
  entry.FormatCode = fcCDTrack;
  const TCDMSF length = FCDIn->GetTrackInfo(Track).TrackLength;
  entry.Duration = length.Minute * 60 + length.Second;
  entry.DataSize = std::max<int64_t>(static_cast<int64_t>(MSFToSectors(length)) * CD_SECTOR_BYTES, 1);
  entry.Position = Track;
  CDReadTrackFile(entry.FileName, entry.CDRecord);
  AppendEntry(std::move(entry), {LengthText});
}

void TFileList::AddCdTracks(int32_t DriveIndex) {
  CheckUnlocked();
  TComponentPtr<TCDPlayer> player(new TCDPlayer(nullptr));
  player->SetCurrentDrive(DriveIndex);
  FCDIn->SetCurrentDrive(DriveIndex);
  const int32_t count = player->TracksCount();
  if (count < 1) return;
  Clear();
  for (int32_t t = 1; t <= count; ++t) {
    const TCDTrackInfo info = player->GetTrackInfo(t);
    if (info.TrackType == ttData) continue;
    char name[16], length[16];
    std::snprintf(name, sizeof name, "Track%02d", t);
    std::snprintf(length, sizeof length, "%d:%02d", info.TrackLength.Minute, info.TrackLength.Second);
    AddCdTrack("Track " + IntToStr(t), name, player->DrivePath(), length, t);
  }
}

// ---------------------------------------------------------------------------
// Changing the list

void TFileList::Clear() {
  CheckUnlocked();
  FItems->Clear();
  FEntries.clear();
  FPaths.clear();
  FCheckedCount = 0;
  FCurrentIndex = -1;
}

void TFileList::Delete(int32_t N) {
  CheckUnlocked();
  if (N < 0 || N >= Count()) return;
  if (N == FCurrentIndex)
    FCurrentIndex = -1;
  else if (N < FCurrentIndex)
    --FCurrentIndex;
  if (FEntries[static_cast<size_t>(N)].Checked) --FCheckedCount;
  FItems->Delete(N);
  if (const auto path = FPaths.find(FEntries[static_cast<size_t>(N)].FileName); path != FPaths.end())
    FPaths.erase(path);
  FEntries.erase(FEntries.begin() + N);
}

void TFileList::MoveItemDown(int32_t N) {
  CheckUnlocked();
  if (N < 0 || N + 1 >= Count()) return;
  if (FCurrentIndex == N)
    FCurrentIndex = N + 1;
  else if (FCurrentIndex == N + 1)
    FCurrentIndex = N;
  std::swap(FEntries[static_cast<size_t>(N)], FEntries[static_cast<size_t>(N + 1)]);
  TListItem* a = FItems->Item(N);
  TListItem* b = FItems->Item(N + 1);
  const std::string caption = a->Caption();
  a->SetCaption(b->Caption());
  b->SetCaption(caption);
  const std::vector<std::string> subItems = a->SubItems()->ToVector();
  a->SubItems()->Assign(b->SubItems()->ToVector());
  b->SubItems()->Assign(subItems);
  // The ticks go with their items; the view is what the user sees.
  const bool checkedA = a->Checked();
  a->SetChecked(b->Checked());
  b->SetChecked(checkedA);
  SyncChecked();
  a->SetSelected(false);
  a->SetFocused(false);
  b->SetSelected(true);
  b->SetFocused(true);
}

void TFileList::MoveItemUp(int32_t N) {
  if (N < 1) return CheckUnlocked();
  MoveItemDown(N - 1);
  // MoveItemDown leaves the lower item selected; the moved one is the upper one.
  FItems->Item(N)->SetSelected(false);
  FItems->Item(N)->SetFocused(false);
  FItems->Item(N - 1)->SetSelected(true);
  FItems->Item(N - 1)->SetFocused(true);
}

int32_t TFileList::IndexOfFile(const std::string& Path) const {
  for (size_t i = 0; i < FEntries.size(); ++i)
    if (FEntries[i].FileName == Path) return static_cast<int32_t>(i);
  return -1;
}

// ---------------------------------------------------------------------------
// Inputs, CD drives and the Windows Media codec lists

TAuFileIn* TFileList::GetInput(TInputFormatCode Code) const {
  return Code < ProbeSlots ? FProbes[Code].get() : nullptr;
}

void TFileList::SetInputFileName(int32_t N) {
  const TFileListEntry& entry = Entries(N);
  if (TAuFileIn* probe = GetInput(entry.FormatCode)) probe->SetFileName(entry.FileName);
}

void TFileList::SetCDTrack(int32_t N) {
  const TFileListEntry& entry = Entries(N);
  TCDTrackRecord now;
  if (!CDReadTrackFile(entry.FileName, now) || now != entry.CDRecord)
    throw Exception("The disc in the drive is not the one this track was listed from");
  // The drive the track was listed from, wherever the input pointed meanwhile.
  const std::string device = ExtractFileDir(entry.FileName);
  const std::vector<std::string> drives = CDGetDrives();
  const auto drive = std::find(drives.begin(), drives.end(), device);
  if (drive != drives.end()) FCDIn->SetCurrentDrive(static_cast<int32_t>(drive - drives.begin()));
  FCDIn->SetStartTrack(entry.Position);
  FCDIn->SetEndTrack(entry.Position);
}

void TFileList::FillDriveList(TStrings* Items) {
  CheckUnlocked();
  Items->Add("***");
  for (int32_t d = 0; d < FCDIn->DrivesCount(); ++d) {
    FCDIn->SetCurrentDrive(d);
    Items->Add(FCDIn->DriveName());
  }
  FCDIn->SetCurrentDrive(0);
}

void TFileList::OpenCDTray() { FCDIn->Eject(); }

void TFileList::CloseCDTray() {
  if (FCDIn->Status() == cdsNotReady) FCDIn->CloseTray();
}

const TStringList& TFileList::GetWMACodecs() const { return FWMAOut->Codecs(); }

const TStringList& TFileList::GetWMACodecFormats(int32_t CodecIndex) {
  return FWMAOut->GetFormats(static_cast<uint16_t>(std::clamp(CodecIndex, 0, 0xFFFF)));
}

void TFileList::SetWMACodecVBR(bool Flag) { FWMAOut->SetVBR(Flag); }

// ---------------------------------------------------------------------------
// Texts

std::string TFileList::FormatTime(int32_t Seconds) {
  Seconds = std::max(Seconds, 0);
  char text[32];
  std::snprintf(text, sizeof text, "%d:%02d", Seconds / 60, Seconds % 60);
  return text;
}

TInputFormatCode TFileList::ExtToFormatCode(const std::string& FileName) {
  static const struct {
    const char* Ext;
    TInputFormatCode Code;
  } table[] = {{".mp3", fcMP3},        {".ogg", fcOggVorbis},   {".wav", fcWave},          {".flac", fcFLAC},
               {".ape", fcMonkeysAudio}, {".wv", fcWavPack},    {".tta", fcTrueAudio},     {".wma", fcWindowsMedia},
               {".wm", fcWindowsMedia}, {".avi", fcAVI},        {".mpc", fcMusepack}};
  const std::string ext = LowerCase(ExtractFileExt(FileName));
  for (const auto& e : table)
    if (ext == e.Ext) return e.Code;
  return fcUnsupported;
}

std::string TFileList::SizeText(int64_t Bytes) {
  const double mb = static_cast<double>(std::max<int64_t>(Bytes, 0)) / 1048576.0;
  char text[48];
  double shown = 0;
  if (mb > 0) {
    // Three significant digits; the digits after them show as zeros.
    const double scale = std::pow(10.0, 2 - static_cast<int>(std::floor(std::log10(mb))));
    shown = static_cast<double>(Round(mb * scale)) / scale;
  }
  if (shown >= 1000)
    std::snprintf(text, sizeof text, "%.2E MB", shown);
  else
    std::snprintf(text, sizeof text, "%.2f MB", shown);
  return text;
}
