#include "audio/io/TSL_CDROM.h"

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <sstream>

#include "audio/core/TSL_CodecLib.h"
#include "audio/io/TSL_DXAudio.h"
#include "platform/codecs/cdrip/CDRip.h"
#include "platform/rtl/ByteOrder.h"
#include "platform/rtl/FileUtils.h"
#include "platform/rtl/Folders.h"
#include "platform/rtl/StrUtils.h"

namespace {

const char* const CDRipLibraryName = "libcdrip.so";
const char* const ReadErrorMessage = "Failed to read audio data from the CD";
constexpr int32_t RipBufferBytes = 176400;  // one second of CD audio
constexpr uint32_t FramesPerSector = CD_SECTOR_BYTES / 4;

// ---------------------------------------------------------------------------
// The CD ripping library

// The library's entry points.
#define CDRIP_ENTRIES(X)                                                                                      \
  X(CR_Init) X(CR_DeInit) X(CR_GetCDRipVersion) X(CR_GetNumCDROM) X(CR_GetActiveCDROM) X(CR_SetActiveCDROM) \
  X(CR_SelectCDROMType) X(CR_GetCDROMType) X(CR_GetCDROMParameters) X(CR_SetCDROMParameters)                  \
  X(CR_OpenRipper) X(CR_CloseRipper) X(CR_RipChunk) X(CR_NormalizeChunk) X(CR_GetPeakValue)                   \
  X(CR_GetPercentCompleted) X(CR_GetNumberOfJitterErrors) X(CR_GetLastJitterErrorPosition)                    \
  X(CR_GetJitterPosition) X(CR_GetCurrentRipSector) X(CR_ReadToc) X(CR_GetNumTocEntries) X(CR_GetTocEntry)    \
  X(CR_IsUnitReady) X(CR_IsMediaLoaded) X(CR_IsAudioPlaying) X(CR_EjectCD) X(CR_LockCD) X(CR_PlayTrack)       \
  X(CR_PlaySection) X(CR_PauseCD) X(CR_StopPlayTrack) X(CR_GetPlayPosition) X(CR_SetPlayPosition)             \
  X(CR_GetSubChannelTrackInfo) X(CR_ReadCDText) X(CR_GetCDStatusInfo) X(CR_GetTransportLayer)                 \
  X(CR_SetTransportLayer) X(CR_LoadSettings) X(CR_SaveSettings) X(CR_ScanForC2Errors)

namespace cdr {
CDRIP_ENTRIES(CODEC_ENTRY_POINTER)
void BindAll(TCodecLibrary& Lib) { CDRIP_ENTRIES(CODEC_BIND_ENTRY) }
}  // namespace cdr

// Loaded only together with its initialisation, which an exit handler undoes.
// Never destroyed: the handler, registered after the library was loaded, runs before
// the library's own static objects are gone, and the library stays mapped until the
// process ends (unmapping a library that has thread-local data at exit only confuses
// tools that inspect the threads afterwards).
TCodecLibrary& CDRipLibrary() {
  static auto* Library = new TCodecLibrary(CDRipLibraryName);
  return *Library;
}

void ReleaseCDRip() {
  if (CDRipLibrary().Loaded()) cdr::CR_DeInit();
}

// The library has one active drive: selecting it and asking about it go together.
TCriticalSection CDRipLock;

// Sets nActive = 0 in section CD-ROM of the settings file, keeping the rest; a file
// that says so already is left alone, so that a start writes nothing. A file that
// cannot be written only means the library starts with its defaults.
void WriteCDRipSettings(const std::string& FileName) {
  std::string old;
  if (const int fd = OpenRegularFile(FileName); fd >= 0) {
    char buffer[4096];
    for (ssize_t n; (n = ::read(fd, buffer, sizeof buffer)) > 0;) old.append(buffer, static_cast<size_t>(n));
    ::close(fd);
  }
  std::vector<std::string> lines;
  {
    std::istringstream in(old);
    for (std::string line; std::getline(in, line);) lines.push_back(line);
  }
  auto isSection = [](const std::string& L) { return !Trim(L).empty() && Trim(L).front() == '['; };
  size_t section = lines.size();
  for (size_t i = 0; i < lines.size(); ++i)
    if (LowerCase(Trim(lines[i])) == "[cd-rom]") section = i;
  if (section == lines.size()) {
    lines.push_back("[CD-ROM]");
    lines.push_back("nActive=0");
  } else {
    size_t i = section + 1;
    bool done = false;
    for (; i < lines.size() && !isSection(lines[i]); ++i) {
      const std::string t = Trim(lines[i]);
      const size_t eq = t.find('=');
      if (eq != std::string::npos && LowerCase(Trim(t.substr(0, eq))) == "nactive") {
        lines[i] = "nActive=0";
        done = true;
      }
    }
    if (!done) lines.insert(lines.begin() + static_cast<std::ptrdiff_t>(section) + 1, "nActive=0");
  }
  std::string text;
  for (const auto& l : lines) text += l + "\n";
  if (text == old) return;
  auto writeAll = [&text](int Fd) { return WriteAll(Fd, text.data(), text.size()); };
  if (FileExists(FileName)) {
    ReplaceFileSafely(FileName, writeAll);
    return;
  }
  const int fd = ::open(FileName.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0644);
  if (fd < 0) return;
  const bool ok = writeAll(fd);
  ::close(fd);
  if (!ok) DeleteFile(FileName);
}

// Loads, binds and initialises the library once; the caller holds LoadLock.
bool LoadCDRip(const std::string& Folder) {
  TCodecLibrary& L = CDRipLibrary();
  if (L.Loaded()) return true;
  if (!L.Load(cdr::BindAll)) return false;
  if (L.Missing().empty()) {
    const std::string settings = Folder + "cdr.ini";
    WriteCDRipSettings(settings);
    if (cdr::CR_Init(settings.c_str()) == CDEX_OK) {
      std::atexit(ReleaseCDRip);
      return true;
    }
  }
  L.Unload();
  return false;
}

bool SelectDrive(int32_t Drive) { return cdr::CR_SetActiveCDROM(Drive) == CDEX_OK; }

// The sector a position stands for: its track's start (for an end position, where
// the track before it ends) plus its time.
bool PositionSector(const TCDToc& Toc, const TCDTMSF& Pos, bool End, uint32_t& Sector) {
  const int count = Toc.TracksCount();
  if (Pos.Track < 1 || Pos.Track > count + (End ? 1 : 0)) return false;
  const uint32_t base = End && Pos.Track >= 2 ? CDTrackEndSector(Toc.Entries, Pos.Track - 2)
                                              : Toc.Entries[static_cast<size_t>(Pos.Track - 1)].StartSector;
  Sector = base + MSFToSectors(TCDMSF{Pos.Minute, Pos.Second, Pos.Frame});
  return true;
}

TCDTrackInfo TrackInfoOf(const TCDToc& Toc, int32_t Track) {
  if (Track < 1 || Track > Toc.TracksCount()) throw EAuException("Track out of range.");
  const size_t i = static_cast<size_t>(Track - 1);
  const uint32_t start = Toc.Entries[i].StartSector;
  const uint32_t end = std::max(CDTrackEndSector(Toc.Entries, i), start);
  TCDTrackInfo info;
  info.TrackLength = SectorsToMSF(end - start);
  info.TrackType = CDIsDataTrack(Toc.Entries[i].Flag) ? ttData : ttAudio;
  return info;
}

}  // namespace

TCDMSF SectorsToMSF(uint32_t Sectors) {
  const TCDMSFTime t = CDSectorsToMSF(Sectors);
  return TCDMSF{t.Minute, t.Second, t.Frame};
}

uint32_t MSFToSectors(const TCDMSF& MSF) { return CDMSFToSectors(TCDMSFTime{MSF.Minute, MSF.Second, MSF.Frame}); }

// ===========================================================================
// TCDIn

TCDIn::TCDIn(TComponent* AOwner) : TAuInput(AOwner) {
  FFrameSize = 4;
  if (Designing()) return;
  std::string folder = AppConfigFolder();
  if (folder.empty()) folder = ProgramDir();
  folder = IncludeTrailingPathDelimiter(folder);
  TCriticalSectionGuard g(LoadLock);
  if (!LoadCDRip(folder)) throw EAuException(std::string(CDRipLibraryName) + " library could not be loaded.");
}

void TCDIn::BeforeDestruction() {
  if (FBusy) Reset();
  TAuInput::BeforeDestruction();
}

int32_t TCDIn::DrivesCount() {
  if (Designing()) return 0;
  return std::max(cdr::CR_GetNumCDROM(), 0);
}

void TCDIn::SetCurrentDrive(int32_t Value) {
  if (Designing() || Value < 0 || Value >= DrivesCount() || Value == FCurrentDrive) return;
  FCurrentDrive = Value;
  UpdateIdleSize();
}

std::string TCDIn::DriveName() {
  if (Designing()) return {};
  TCriticalSectionGuard g(CDRipLock);
  if (!SelectDrive(FCurrentDrive)) return {};
  CDROMPARAMS params{};
  if (cdr::CR_GetCDROMParameters(&params) != CDEX_OK) return {};
  return std::string(params.lpszCDROMID, strnlen(params.lpszCDROMID, 255));
}

void TCDIn::LockDrive() {
  TCriticalSectionGuard g(CDRipLock);
  if (FDriveLocks++ == 0) SelectDrive(FCurrentDrive);
}

void TCDIn::UnlockDrive() {
  TCriticalSectionGuard g(CDRipLock);
  if (FDriveLocks > 0) --FDriveLocks;
}

TCDStatus TCDIn::Status() {
  if (Designing()) return cdsNotReady;
  TCriticalSectionGuard g(CDRipLock);
  if (!SelectDrive(FCurrentDrive)) return cdsNotReady;
  int32_t loaded = 0;
  if (cdr::CR_IsMediaLoaded(&loaded) != CDEX_OK || !loaded) return cdsNotReady;
  return cdr::CR_IsAudioPlaying() ? cdsPlaying : cdsReady;
}

bool TCDIn::ReadToc(TCDToc& Toc) {
  Toc.Entries.clear();
  if (Designing()) return false;
  TCriticalSectionGuard g(CDRipLock);
  if (!SelectDrive(FCurrentDrive) || cdr::CR_ReadToc() != CDEX_OK) return false;
  const int32_t count = cdr::CR_GetNumTocEntries();
  if (count < 1) return false;
  for (int32_t i = 0; i <= count; ++i) {
    TOCENTRY e{};
    if (cdr::CR_GetTocEntry(i, &e) != CDEX_OK) {
      Toc.Entries.clear();
      return false;
    }
    Toc.Entries.push_back(TCDTocEntry{e.dwStartSector, e.btFlag, e.btTrackNumber, e.btSession});
  }
  return true;
}

int32_t TCDIn::TracksCount() {
  TCDToc toc;
  return ReadToc(toc) ? toc.TracksCount() : -1;
}

TCDTrackInfo TCDIn::GetTrackInfo(int32_t Track) {
  TCDToc toc;
  ReadToc(toc);
  return TrackInfoOf(toc, Track);
}

void TCDIn::SetStartTrack(int32_t Track) {
  if (FBusy) throw EAuException("The component is busy");
  FStartTrack = Track;
  FStartPos = TCDTMSF{static_cast<uint8_t>(std::clamp(Track, 0, 255)), 0, 0, 0};
  UpdateIdleSize();
}

void TCDIn::SetEndTrack(int32_t Track) {
  if (FBusy) throw EAuException("The component is busy");
  FEndTrack = Track;
  // The start of the next track: the last track runs up to the lead-out.
  FEndPos = TCDTMSF{static_cast<uint8_t>(std::clamp(Track + 1, 0, 255)), 0, 0, 0};
  UpdateIdleSize();
}

void TCDIn::Eject() {
  if (FBusy) throw EAuException("The component is busy");
  TCriticalSectionGuard g(CDRipLock);
  if (SelectDrive(FCurrentDrive)) cdr::CR_EjectCD(1);
}

void TCDIn::CloseTray() {
  TCriticalSectionGuard g(CDRipLock);
  if (SelectDrive(FCurrentDrive)) cdr::CR_EjectCD(0);
}

void TCDIn::UpdateIdleSize() {
  if (FBusy) return;
  FSize = 0;
  TCDToc toc;
  if (!ReadToc(toc)) return;
  uint32_t start = 0, end = 0;
  if (FStartPos.Track > toc.TracksCount() || !PositionSector(toc, FStartPos, false, start) ||
      !PositionSector(toc, FEndPos, true, end) || end < start)
    return;
  FSize = (static_cast<int64_t>(end) - start + 1) * CD_SECTOR_BYTES;
}

int64_t TCDIn::GetTotalSamples() { return FSize / 4; }

int32_t TCDIn::GetTotalTime() { return static_cast<int32_t>(Round(static_cast<double>(GetTotalSamples()) / 44100.0)); }

void TCDIn::BeginRead() {
  if (FBusy) throw EAuException("The component is busy");
  if (Status() == cdsNotReady) throw EAuException("The drive is not ready");
  TCDToc toc;
  ReadToc(toc);
  const int32_t count = toc.TracksCount();
  if (FStartPos.Track < 1 || FStartPos.Track > count) throw EAuException("The start track out of range");
  // The data bit decides; pre-emphasis and copy bits leave a track audio.
  if (CDIsDataTrack(toc.Entries[FStartPos.Track - 1u].Flag)) throw EAuException("Trying to rip a data track");
  uint32_t start = 0, end = 0;
  if (!PositionSector(toc, FStartPos, false, start) || !PositionSector(toc, FEndPos, true, end) || end <= start)
    throw EAuException("The end track out of range");
  FRipBytes = (end - start) * CD_SECTOR_BYTES;
  FRipBuffer.resize(RipBufferBytes);
  FRipBufferSize = RipBufferBytes;
  LockDrive();
  {
    TCriticalSectionGuard g(CDRipLock);
    if (!SelectDrive(FCurrentDrive) ||
        cdr::CR_OpenRipper(&FRipBufferSize, static_cast<int32_t>(start), static_cast<int32_t>(end)) != CDEX_OK) {
      UnlockDrive();
      throw EAuException(ReadErrorMessage);
    }
  }
  FRipBufferSize = std::clamp(FRipBufferSize, 1, RipBufferBytes);
  FBusy = true;
  FBufStart = 0;
  FBufEnd = 0;
  FPosition = 0;
  FFrameSize = 4;
  FSize = FRipBytes;
}

void TCDIn::EndRead() {
  if (!FBusy) return;
  cdr::CR_CloseRipper();
  UnlockDrive();
  FBusy = false;
  UpdateIdleSize();
}

void TCDIn::ReadRaw(void*& Buffer, uint32_t& Bytes) {
  if (!FBusy) throw EAuException("The Stream is not opened");
  if (FBufStart >= FBufEnd) {
    int32_t got = FRipBufferSize;
    int32_t abort = 0;
    const CDEX_ERR r = cdr::CR_RipChunk(FRipBuffer.data(), &got, &abort);
    if ((r != CDEX_OK && r != CDEX_RIPPING_DONE) || got < 0 || got > FRipBufferSize)
      throw EAuException(ReadErrorMessage);
    // The ripper ending before the range did is a failure too, not the end of the track.
    if (got == 0 && FPosition < static_cast<int64_t>(FRipBytes)) throw EAuException(ReadErrorMessage);
    FBufStart = 0;
    FBufEnd = got;
    if (got == 0) {
      Buffer = nullptr;
      Bytes = 0;
      return;
    }
  }
  const uint32_t n = std::min<uint32_t>(Bytes, static_cast<uint32_t>(FBufEnd - FBufStart));
  Buffer = FRipBuffer.data() + FBufStart;
  FBufStart += static_cast<int32_t>(n);
  FPosition += n;
  Bytes = n;
}

// ===========================================================================
// TCDPlayer

// Reads one track range of a drive and applies the player's channel gains.
class TCDPlayerIn : public TAuInput {
public:
  TCDPlayerIn(TComponent* AOwner, const TCDPlayer& Player) : TAuInput(AOwner), FPlayer(Player) {}

  void SetRange(const std::string& Device, uint32_t Start, uint32_t End) {
    FDevice = Device;
    FStart = Start;
    FEnd = End;
  }

protected:
  int32_t GetBitsPerSample() override { return 16; }
  int32_t GetChannels() override { return 2; }
  int32_t GetSampleRate() override { return 44100; }

  void BeginRead() override {
    if (FBusy) throw EAuException("The component is busy");
    if (!FRipper.Open(FDevice, FStart, FEnd)) throw EAuException(ReadErrorMessage);
    FBuffer.resize(static_cast<size_t>(ChunkSectors) * CD_SECTOR_BYTES);
    FBusy = true;
    FPosition = 0;
    FSize = static_cast<int64_t>(FEnd - FStart) * CD_SECTOR_BYTES;
    FFrameSize = 4;
    FBufStart = FBufEnd = 0;
  }

  void EndRead() override {
    FRipper.Close();
    FBusy = false;
  }

  void ReadRaw(void*& Buffer, uint32_t& Bytes) override {
    if (!FBusy) throw EAuException("The Stream is not opened");
    if (FBufStart >= FBufEnd) {
      const int32_t sectors = FRipper.Read(FBuffer.data(), ChunkSectors);
      if (sectors < 0) throw EAuException(ReadErrorMessage);
      FBufStart = 0;
      FBufEnd = sectors * static_cast<int32_t>(CD_SECTOR_BYTES);
      if (sectors == 0) {
        Buffer = nullptr;
        Bytes = 0;
        return;
      }
      ApplyGain(FBuffer.data(), static_cast<uint32_t>(FBufEnd));
    }
    const uint32_t n = std::min<uint32_t>(Bytes, static_cast<uint32_t>(FBufEnd - FBufStart));
    Buffer = FBuffer.data() + FBufStart;
    FBufStart += static_cast<int32_t>(n);
    FPosition += n;
    Bytes = n;
  }

private:
  static constexpr uint32_t ChunkSectors = 15;  // 0.2 s

  void ApplyGain(uint8_t* P, uint32_t Bytes) const {
    const uint32_t gain[2] = {FPlayer.LVolume(), FPlayer.RVolume()};
    if (gain[0] == 0xFFFF && gain[1] == 0xFFFF) return;
    for (uint32_t i = 0; i + 1 < Bytes; i += 2) {
      const auto v = static_cast<int16_t>(GetLE16(P + i));
      const auto w = static_cast<int32_t>(std::nearbyint(v * static_cast<double>(gain[(i / 2) % 2]) / 65535.0));
      PutLE16(P + i, static_cast<uint16_t>(w));
    }
  }

  const TCDPlayer& FPlayer;
  TCDRipper FRipper;
  std::string FDevice;
  uint32_t FStart = 0;
  uint32_t FEnd = 0;
  std::vector<uint8_t> FBuffer;
};

// The player's output; it tells how much of the run has been heard.
class TCDPlayerOut : public TDXAudioOut {
public:
  using TDXAudioOut::TDXAudioOut;
  int64_t Heard() const { return PlayedFrames(); }
};

namespace {

class TDeviceUse {
public:
  TDeviceUse(std::function<void()> Open, std::function<void()> Close) : FClose(std::move(Close)) { Open(); }
  ~TDeviceUse() { FClose(); }

private:
  std::function<void()> FClose;
};

}  // namespace

TCDPlayer::TCDPlayer(TComponent* AOwner) : TComponent(AOwner) {
  if (Designing()) return;
  FDrives = CDGetDrives();
  FCurrentDrive = 0;
}

void TCDPlayer::BeforeDestruction() {
  if (!Destroying()) {
    try {
      if (FOut) FOut->Stop(false);
    } catch (...) {
    }
    while (FOpenCount > 0) CloseDevice();
  }
  TComponent::BeforeDestruction();
}

void TCDPlayer::SetCurrentDrive(int32_t Value) {
  if (Value >= 0 && Value < DrivesCount()) FCurrentDrive = Value;
}

std::string TCDPlayer::DrivePath() const {
  if (FCurrentDrive < 0 || FCurrentDrive >= DrivesCount()) return {};
  return FDrives[static_cast<size_t>(FCurrentDrive)] + "/";
}

void TCDPlayer::OpenDevice() {
  if (FOpenCount == 0) {
    if (FCurrentDrive < 0 || FCurrentDrive >= DrivesCount()) throw EAuException("Cannot open MCI audiocd device");
    FDrive = new TCDDrive(FDrives[static_cast<size_t>(FCurrentDrive)]);
  }
  ++FOpenCount;
}

void TCDPlayer::CloseDevice() {
  if (FOpenCount < 2) {
    delete FDrive;
    FDrive = nullptr;
  }
  if (FOpenCount > 0) --FOpenCount;
}

bool TCDPlayer::ReadToc(TCDToc& Toc) {
  Toc.Entries.clear();
  // No drive at all is a drive that is not ready.
  if (FCurrentDrive < 0 || FCurrentDrive >= DrivesCount()) return false;
  TDeviceUse use([this] { OpenDevice(); }, [this] { CloseDevice(); });
  return FDrive->ReadToc(Toc);
}

int32_t TCDPlayer::TracksCount() {
  TCDToc toc;
  return ReadToc(toc) ? toc.TracksCount() : 0;
}

TCDMSF TCDPlayer::TrackStart(int32_t Track) {
  TCDToc toc;
  if (!ReadToc(toc)) throw EAuException("Device is not ready");
  if (Track < 1) throw EAuException("Track out of range.");
  const size_t i = static_cast<size_t>(std::min(Track, toc.TracksCount() + 1) - 1);
  return SectorsToMSF(toc.Entries[i].StartSector + CD_PREGAP_SECTORS);
}

TCDTrackInfo TCDPlayer::GetTrackInfo(int32_t Track) {
  TCDToc toc;
  ReadToc(toc);
  return TrackInfoOf(toc, Track);
}

void TCDPlayer::Play(int32_t Track) {
  TDeviceUse use([this] { OpenDevice(); }, [this] { CloseDevice(); });
  TCDToc toc;
  if (!FDrive->ReadToc(toc)) throw EAuException("Device is not ready");
  if (Track < 1 || Track > toc.TracksCount()) throw EAuException("Track out of range.");
  const size_t i = static_cast<size_t>(Track - 1);
  if (CDIsDataTrack(toc.Entries[i].Flag)) throw EAuException("Trying to play a data track.");
  Stop();
  if (!FOut) {
    FIn = new TCDPlayerIn(this, *this);
    FOut = new TCDPlayerOut(this);
    // A small buffer keeps the position and the volume close to what is heard.
    FOut->SetFramesInBuffer(22050);
    FOut->SetPollingInterval(100);
    FOut->SetInput(FIn);
  }
  FIn->SetRange(FDrive->Device(), toc.Entries[i].StartSector, CDTrackEndSector(toc.Entries, i));
  FPlayTrack = toc.Entries[i].TrackNumber;
  FPlayLength = CDTrackEndSector(toc.Entries, i) - toc.Entries[i].StartSector;
  FPlayed = true;
  FOut->Run();
}

void TCDPlayer::Pause() {
  if (FOut && FOut->Status() == asWorking) FOut->Pause();
}

void TCDPlayer::Resume() {
  if (FOut && FOut->Status() == asPaused) FOut->Resume();
}

void TCDPlayer::Stop() {
  if (FOut) FOut->Stop(false);
}

TCDTMSF TCDPlayer::Position() {
  if (!FPlayed) {
    TCDToc toc;
    if (!ReadToc(toc)) return TCDTMSF{};
    return TCDTMSF{toc.Entries[0].TrackNumber, 0, 0, 0};
  }
  // Only one track plays at a time: the time heard into it, at most its length.
  const uint64_t heard = static_cast<uint64_t>(std::max<int64_t>(FOut ? FOut->Heard() : 0, 0)) / FramesPerSector;
  const TCDMSF t = SectorsToMSF(static_cast<uint32_t>(std::min<uint64_t>(heard, FPlayLength)));
  return TCDTMSF{FPlayTrack, t.Minute, t.Second, t.Frame};
}

std::string TCDPlayer::PlayError() const { return FOut ? FOut->ExceptionMessage() : std::string(); }

TCDStatus TCDPlayer::Status() {
  TCDToc toc;
  if (!ReadToc(toc)) return cdsNotReady;
  if (FOut && FOut->Busy()) return FOut->Status() == asPaused ? cdsPaused : cdsPlaying;
  return cdsReady;
}
