#pragma once
// libcdrip.so, the CD ripping library: a C interface of "CR_" entry points over the
// platform's CD layer. The engine loads it by file name and binds the entry points by
// name; this header gives their types.
//
// One drive is active at a time (CR_SetActiveCDROM); the table of contents, the media
// state and eject refer to it, and the ripper reads from the drive that was active
// when it was opened. Drive indices follow the platform's one drive list.
//
// CR_Init takes the settings file ("cdr.ini"): section "CD-ROM", key "nActive" (the
// drive made active at start). A missing or unreadable file leaves the defaults.
//
// Entry points the engine does not use answer CDEX_NOTSUPPORTED.

#include <cstdint>

#if defined(CDRIP_BUILD)
#define CDRIP_API extern "C" __attribute__((visibility("default")))
#else
#define CDRIP_API extern "C"
#endif

using CDEX_ERR = int32_t;
inline constexpr CDEX_ERR CDEX_OK = 0;
inline constexpr CDEX_ERR CDEX_ERROR = 1;
inline constexpr CDEX_ERR CDEX_FILEOPEN_ERROR = 2;
inline constexpr CDEX_ERR CDEX_JITTER_ERROR = 3;
inline constexpr CDEX_ERR CDEX_RIPPING_DONE = 4;
inline constexpr CDEX_ERR CDEX_RIPPING_INPROGRESS = 5;
inline constexpr CDEX_ERR CDEX_NOTSUPPORTED = 6;

// Drive parameters; the identification is NUL-terminated text.
struct CDROMPARAMS {
  char lpszCDROMID[256];
};

// One entry of the table of contents. Flag: ADR in the high nibble, the control bits
// in the low one (0x04: data track, 0x01: pre-emphasis, 0x02: copy permitted).
struct TOCENTRY {
  uint32_t dwStartSector;
  uint8_t btFlag;
  uint8_t btTrackNumber;  // 0xAA for the lead-out
  uint8_t btSession;      // 1 for the first session
};

CDRIP_API CDEX_ERR CR_Init(const char* IniFileName);
CDRIP_API CDEX_ERR CR_DeInit();
CDRIP_API int32_t CR_GetCDRipVersion();
CDRIP_API int32_t CR_GetNumCDROM();
CDRIP_API int32_t CR_GetActiveCDROM();
CDRIP_API CDEX_ERR CR_SetActiveCDROM(int32_t Index);
CDRIP_API CDEX_ERR CR_SelectCDROMType(int32_t Type);
CDRIP_API CDEX_ERR CR_GetCDROMType(int32_t* Type);
CDRIP_API CDEX_ERR CR_GetCDROMParameters(CDROMPARAMS* Params);
CDRIP_API CDEX_ERR CR_SetCDROMParameters(const CDROMPARAMS* Params);
// Opens the ripper on the active drive for sectors [StartSector, EndSector).
// BufferSize: in, the bytes the caller's chunks can hold; out, the bytes a chunk
// will bring at most (whole sectors).
CDRIP_API CDEX_ERR CR_OpenRipper(int32_t* BufferSize, int32_t StartSector, int32_t EndSector);
CDRIP_API CDEX_ERR CR_CloseRipper();
// Reads the next chunk; NumBytes receives its size. CDEX_RIPPING_DONE with 0 bytes at
// the end of the range; CDEX_ERROR when a sector cannot be read. A non-zero *Abort
// ends the rip.
CDRIP_API CDEX_ERR CR_RipChunk(uint8_t* Buffer, int32_t* NumBytes, int32_t* Abort);
CDRIP_API CDEX_ERR CR_NormalizeChunk(int16_t* Samples, int32_t Count, double Factor);
CDRIP_API CDEX_ERR CR_GetPeakValue(int32_t* Peak);
CDRIP_API CDEX_ERR CR_GetPercentCompleted(int32_t* Percent);
CDRIP_API CDEX_ERR CR_GetNumberOfJitterErrors(int32_t* Count);
CDRIP_API CDEX_ERR CR_GetLastJitterErrorPosition(int32_t* Sector);
CDRIP_API CDEX_ERR CR_GetJitterPosition(int32_t* Sector);
CDRIP_API CDEX_ERR CR_GetCurrentRipSector(int32_t* Sector);
CDRIP_API CDEX_ERR CR_ReadToc();
// Tracks in the table read by CR_ReadToc; the lead-out follows them as one more entry.
CDRIP_API int32_t CR_GetNumTocEntries();
CDRIP_API CDEX_ERR CR_GetTocEntry(int32_t Index, TOCENTRY* Entry);
CDRIP_API CDEX_ERR CR_IsUnitReady(int32_t* Ready);
CDRIP_API CDEX_ERR CR_IsMediaLoaded(int32_t* IsLoaded);
CDRIP_API int32_t CR_IsAudioPlaying();
// Non-zero Eject opens the tray, zero closes it.
CDRIP_API CDEX_ERR CR_EjectCD(int32_t Eject);
CDRIP_API CDEX_ERR CR_LockCD(int32_t Lock);
CDRIP_API CDEX_ERR CR_PlayTrack(int32_t Track);
CDRIP_API CDEX_ERR CR_PlaySection(int32_t StartSector, int32_t EndSector);
CDRIP_API CDEX_ERR CR_PauseCD(int32_t Pause);
CDRIP_API CDEX_ERR CR_StopPlayTrack();
CDRIP_API CDEX_ERR CR_GetPlayPosition(int32_t* Sector);
CDRIP_API CDEX_ERR CR_SetPlayPosition(int32_t Sector);
CDRIP_API CDEX_ERR CR_GetSubChannelTrackInfo(int32_t* Track, int32_t* Index, int32_t* RelSector,
                                             int32_t* AbsSector);
CDRIP_API CDEX_ERR CR_ReadCDText(uint8_t* Buffer, int32_t Size, int32_t* Count);
CDRIP_API CDEX_ERR CR_GetCDStatusInfo(int32_t* Status);
CDRIP_API CDEX_ERR CR_GetTransportLayer(int32_t* Layer);
CDRIP_API CDEX_ERR CR_SetTransportLayer(int32_t Layer);
CDRIP_API CDEX_ERR CR_LoadSettings();
CDRIP_API CDEX_ERR CR_SaveSettings();
CDRIP_API CDEX_ERR CR_ScanForC2Errors(int32_t StartSector, int32_t Count, int32_t* Errors, int32_t* Positions);
