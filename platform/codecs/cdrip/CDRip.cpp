// libcdrip.so over the platform's CD layer.

#include "platform/codecs/cdrip/CDRip.h"

#include <algorithm>
#include <cctype>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <mutex>
#include <string>

#include "platform/cdrom/CDRom.h"

namespace {

constexpr int32_t Version = 100;

std::mutex StateLock;  // the active drive and the table of contents
int32_t Active = 0;
TCDToc Toc;

std::mutex RipLock;  // the ripper
TCDRipper Ripper;
uint32_t ChunkSectors = 1;

std::string Trim(const std::string& S) {
  size_t b = 0, e = S.size();
  while (b < e && std::isspace(static_cast<unsigned char>(S[b]))) ++b;
  while (e > b && std::isspace(static_cast<unsigned char>(S[e - 1]))) --e;
  return S.substr(b, e - b);
}

bool SameText(const std::string& A, const char* B) {
  const size_t n = std::strlen(B);
  if (A.size() != n) return false;
  for (size_t i = 0; i < n; ++i)
    if (std::tolower(static_cast<unsigned char>(A[i])) != std::tolower(static_cast<unsigned char>(B[i]))) return false;
  return true;
}

// The value of Key in Section of an INI file; empty when there is none.
std::string IniValue(const char* FileName, const char* Section, const char* Key) {
  if (!FileName) return {};
  std::ifstream in(FileName);
  std::string line;
  bool inSection = false;
  while (std::getline(in, line)) {
    line = Trim(line);
    if (line.empty() || line[0] == ';') continue;
    if (line.front() == '[') {
      inSection = line.back() == ']' && SameText(Trim(line.substr(1, line.size() - 2)), Section);
      continue;
    }
    const size_t eq = line.find('=');
    if (inSection && eq != std::string::npos && SameText(Trim(line.substr(0, eq)), Key))
      return Trim(line.substr(eq + 1));
  }
  return {};
}

// The active drive's device; empty when there is no such drive. Caller holds StateLock.
std::string ActiveDevice() {
  const auto drives = CDGetDrives();
  if (Active < 0 || static_cast<size_t>(Active) >= drives.size()) return {};
  return drives[static_cast<size_t>(Active)];
}

}  // namespace

CDRIP_API CDEX_ERR CR_Init(const char* IniFileName) {
  std::lock_guard<std::mutex> lk(StateLock);
  Active = 0;
  Toc = TCDToc{};
  const std::string active = IniValue(IniFileName, "CD-ROM", "nActive");
  if (!active.empty()) Active = std::max(0, std::atoi(active.c_str()));
  return CDEX_OK;
}

CDRIP_API CDEX_ERR CR_DeInit() {
  {
    std::lock_guard<std::mutex> lk(RipLock);
    Ripper.Close();
  }
  std::lock_guard<std::mutex> lk(StateLock);
  Toc = TCDToc{};
  return CDEX_OK;
}

CDRIP_API int32_t CR_GetCDRipVersion() { return Version; }

CDRIP_API int32_t CR_GetNumCDROM() { return static_cast<int32_t>(CDGetDrives().size()); }

CDRIP_API int32_t CR_GetActiveCDROM() {
  std::lock_guard<std::mutex> lk(StateLock);
  return Active;
}

CDRIP_API CDEX_ERR CR_SetActiveCDROM(int32_t Index) {
  if (Index < 0 || Index >= CR_GetNumCDROM()) return CDEX_ERROR;
  std::lock_guard<std::mutex> lk(StateLock);
  if (Index != Active) Toc = TCDToc{};
  Active = Index;
  return CDEX_OK;
}

CDRIP_API CDEX_ERR CR_GetCDROMParameters(CDROMPARAMS* Params) {
  if (!Params) return CDEX_ERROR;
  std::memset(Params, 0, sizeof *Params);
  std::string device;
  {
    std::lock_guard<std::mutex> lk(StateLock);
    device = ActiveDevice();
  }
  if (device.empty()) return CDEX_ERROR;
  const std::string name = TCDDrive(device).Name();
  std::memcpy(Params->lpszCDROMID, name.data(), std::min(name.size(), sizeof Params->lpszCDROMID - 1));
  return CDEX_OK;
}

CDRIP_API CDEX_ERR CR_OpenRipper(int32_t* BufferSize, int32_t StartSector, int32_t EndSector) {
  if (!BufferSize || StartSector < 0 || EndSector <= StartSector) return CDEX_ERROR;
  std::string device;
  {
    std::lock_guard<std::mutex> lk(StateLock);
    device = ActiveDevice();
  }
  if (device.empty()) return CDEX_ERROR;
  std::lock_guard<std::mutex> lk(RipLock);
  ChunkSectors = std::max<uint32_t>(static_cast<uint32_t>(std::max(*BufferSize, 0)) / CD_SECTOR_BYTES, 1);
  *BufferSize = static_cast<int32_t>(ChunkSectors * CD_SECTOR_BYTES);
  return Ripper.Open(device, static_cast<uint32_t>(StartSector), static_cast<uint32_t>(EndSector)) ? CDEX_OK
                                                                                                    : CDEX_ERROR;
}

CDRIP_API CDEX_ERR CR_CloseRipper() {
  std::lock_guard<std::mutex> lk(RipLock);
  Ripper.Close();
  return CDEX_OK;
}

CDRIP_API CDEX_ERR CR_RipChunk(uint8_t* Buffer, int32_t* NumBytes, int32_t* Abort) {
  if (!NumBytes) return CDEX_ERROR;
  *NumBytes = 0;
  std::lock_guard<std::mutex> lk(RipLock);
  if (!Buffer || !Ripper.Active()) return CDEX_ERROR;
  if (Abort && *Abort) {
    Ripper.Close();
    return CDEX_RIPPING_DONE;
  }
  const int32_t sectors = Ripper.Read(Buffer, ChunkSectors);
  if (sectors < 0) return CDEX_ERROR;
  *NumBytes = sectors * static_cast<int32_t>(CD_SECTOR_BYTES);
  return sectors == 0 ? CDEX_RIPPING_DONE : CDEX_OK;
}

CDRIP_API CDEX_ERR CR_ReadToc() {
  std::lock_guard<std::mutex> lk(StateLock);
  const std::string device = ActiveDevice();
  Toc = TCDToc{};
  if (device.empty()) return CDEX_ERROR;
  TCDDrive drive(device);
  return drive.ReadToc(Toc) ? CDEX_OK : CDEX_ERROR;
}

CDRIP_API int32_t CR_GetNumTocEntries() {
  std::lock_guard<std::mutex> lk(StateLock);
  return Toc.TracksCount();
}

CDRIP_API CDEX_ERR CR_GetTocEntry(int32_t Index, TOCENTRY* Entry) {
  if (!Entry) return CDEX_ERROR;
  std::memset(Entry, 0, sizeof *Entry);
  std::lock_guard<std::mutex> lk(StateLock);
  if (Index < 0 || static_cast<size_t>(Index) >= Toc.Entries.size()) return CDEX_ERROR;
  const TCDTocEntry& e = Toc.Entries[static_cast<size_t>(Index)];
  Entry->dwStartSector = e.StartSector;
  Entry->btFlag = e.Flag;
  Entry->btTrackNumber = e.TrackNumber;
  Entry->btSession = e.Session;
  return CDEX_OK;
}

CDRIP_API CDEX_ERR CR_IsMediaLoaded(int32_t* IsLoaded) {
  if (!IsLoaded) return CDEX_ERROR;
  *IsLoaded = 0;
  std::string device;
  {
    std::lock_guard<std::mutex> lk(StateLock);
    device = ActiveDevice();
  }
  if (device.empty()) return CDEX_ERROR;
  *IsLoaded = TCDDrive(device).MediaLoaded() ? 1 : 0;
  return CDEX_OK;
}

CDRIP_API int32_t CR_IsAudioPlaying() {
  std::string device;
  {
    std::lock_guard<std::mutex> lk(StateLock);
    device = ActiveDevice();
  }
  return !device.empty() && TCDDrive(device).AudioPlaying() ? 1 : 0;
}

CDRIP_API CDEX_ERR CR_EjectCD(int32_t Eject) {
  std::string device;
  {
    std::lock_guard<std::mutex> lk(StateLock);
    device = ActiveDevice();
    Toc = TCDToc{};
  }
  if (device.empty()) return CDEX_ERROR;
  TCDDrive drive(device);
  return (Eject ? drive.Eject() : drive.CloseTray()) ? CDEX_OK : CDEX_ERROR;
}

// ---------------------------------------------------------------------------
// Not used by the engine.

CDRIP_API CDEX_ERR CR_SelectCDROMType(int32_t) { return CDEX_NOTSUPPORTED; }
CDRIP_API CDEX_ERR CR_GetCDROMType(int32_t*) { return CDEX_NOTSUPPORTED; }
CDRIP_API CDEX_ERR CR_SetCDROMParameters(const CDROMPARAMS*) { return CDEX_NOTSUPPORTED; }
CDRIP_API CDEX_ERR CR_NormalizeChunk(int16_t*, int32_t, double) { return CDEX_NOTSUPPORTED; }
CDRIP_API CDEX_ERR CR_GetPeakValue(int32_t*) { return CDEX_NOTSUPPORTED; }
CDRIP_API CDEX_ERR CR_GetPercentCompleted(int32_t*) { return CDEX_NOTSUPPORTED; }
CDRIP_API CDEX_ERR CR_GetNumberOfJitterErrors(int32_t*) { return CDEX_NOTSUPPORTED; }
CDRIP_API CDEX_ERR CR_GetLastJitterErrorPosition(int32_t*) { return CDEX_NOTSUPPORTED; }
CDRIP_API CDEX_ERR CR_GetJitterPosition(int32_t*) { return CDEX_NOTSUPPORTED; }
CDRIP_API CDEX_ERR CR_GetCurrentRipSector(int32_t*) { return CDEX_NOTSUPPORTED; }
CDRIP_API CDEX_ERR CR_IsUnitReady(int32_t*) { return CDEX_NOTSUPPORTED; }
CDRIP_API CDEX_ERR CR_LockCD(int32_t) { return CDEX_NOTSUPPORTED; }
CDRIP_API CDEX_ERR CR_PlayTrack(int32_t) { return CDEX_NOTSUPPORTED; }
CDRIP_API CDEX_ERR CR_PlaySection(int32_t, int32_t) { return CDEX_NOTSUPPORTED; }
CDRIP_API CDEX_ERR CR_PauseCD(int32_t) { return CDEX_NOTSUPPORTED; }
CDRIP_API CDEX_ERR CR_StopPlayTrack() { return CDEX_NOTSUPPORTED; }
CDRIP_API CDEX_ERR CR_GetPlayPosition(int32_t*) { return CDEX_NOTSUPPORTED; }
CDRIP_API CDEX_ERR CR_SetPlayPosition(int32_t) { return CDEX_NOTSUPPORTED; }
CDRIP_API CDEX_ERR CR_GetSubChannelTrackInfo(int32_t*, int32_t*, int32_t*, int32_t*) { return CDEX_NOTSUPPORTED; }
CDRIP_API CDEX_ERR CR_ReadCDText(uint8_t*, int32_t, int32_t*) { return CDEX_NOTSUPPORTED; }
CDRIP_API CDEX_ERR CR_GetCDStatusInfo(int32_t*) { return CDEX_NOTSUPPORTED; }
CDRIP_API CDEX_ERR CR_GetTransportLayer(int32_t*) { return CDEX_NOTSUPPORTED; }
CDRIP_API CDEX_ERR CR_SetTransportLayer(int32_t) { return CDEX_NOTSUPPORTED; }
CDRIP_API CDEX_ERR CR_LoadSettings() { return CDEX_NOTSUPPORTED; }
CDRIP_API CDEX_ERR CR_SaveSettings() { return CDEX_NOTSUPPORTED; }
CDRIP_API CDEX_ERR CR_ScanForC2Errors(int32_t, int32_t, int32_t*, int32_t*) { return CDEX_NOTSUPPORTED; }
