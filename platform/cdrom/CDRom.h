#pragma once
// Audio CD drives over libcdio: the one list of drives every part of the program uses,
// the table of contents, media state, the tray, and digital audio extraction checked
// and repaired by libcdio-paranoia.
//
// The drives are the system's CD drives in libcdio's order, followed by the disc
// images (cue/bin, cdrdao toc, nrg) named in $SONVIX_CD_IMAGES, separated by ':',
// each of which behaves as a drive holding that disc. The list is computed the same
// way wherever it is asked for, so a drive index means the same drive in the program
// and in the libraries it loads. No drive gives an empty list.

#include <array>
#include <cstdint>
#include <string>
#include <vector>

struct _CdIo;  // libcdio's CdIo_t

inline constexpr uint32_t CD_SECTOR_BYTES = 2352;  // 588 stereo 16-bit frames
inline constexpr uint32_t CD_SECTORS_PER_SECOND = 75;
inline constexpr uint32_t CD_PREGAP_SECTORS = 150;  // before the first track: MSF 00:02:00
// From the first session's lead-out to the first track of the next session: lead-out
// (6750), lead-in (4500) and pregap (150).
inline constexpr uint32_t CD_SESSION_GAP_SECTORS = 11400;
inline constexpr uint8_t CD_LEADOUT_TRACK = 0xAA;

// The flag byte of a table-of-contents entry: ADR 1 in the high nibble, the track's
// control bits in the low one.
inline constexpr uint8_t CDFLAG_PREEMPHASIS = 0x01;
inline constexpr uint8_t CDFLAG_COPY_PERMITTED = 0x02;
inline constexpr uint8_t CDFLAG_DATA = 0x04;
inline constexpr uint8_t CDFLAG_FOUR_CHANNEL = 0x08;
inline constexpr uint8_t CDFLAG_ADR_POSITION = 0x10;

inline bool CDIsDataTrack(uint8_t Flag) { return (Flag & CDFLAG_DATA) != 0; }

struct TCDTocEntry {
  uint32_t StartSector = 0;  // logical sector; the first track normally starts at 0
  uint8_t Flag = CDFLAG_ADR_POSITION;
  uint8_t TrackNumber = 0;  // CD_LEADOUT_TRACK for the lead-out
  uint8_t Session = 1;
};

// The tracks in disc order, then the lead-out.
struct TCDToc {
  std::vector<TCDTocEntry> Entries;
  int TracksCount() const { return Entries.empty() ? 0 : static_cast<int>(Entries.size()) - 1; }
};

// The sector after the last one of the track at Index (0-based): the next entry's
// start, except that a track followed by a later session ends at its own session's
// lead-out. 0 for an index without a following entry.
uint32_t CDTrackEndSector(const std::vector<TCDTocEntry>& Entries, size_t Index);

struct TCDMSFTime {
  uint8_t Minute = 0;
  uint8_t Second = 0;
  uint8_t Frame = 0;
};
TCDMSFTime CDSectorsToMSF(uint32_t Sectors);
uint32_t CDMSFToSectors(const TCDMSFTime& Time);

// The drive list: device paths, then images.
std::vector<std::string> CDGetDrives();

// One drive (or image) by its device path. Every query looks at the disc that is in
// the drive now.
class TCDDrive {
public:
  explicit TCDDrive(std::string Device);
  ~TCDDrive();
  TCDDrive(const TCDDrive&) = delete;
  TCDDrive& operator=(const TCDDrive&) = delete;

  const std::string& Device() const { return FDevice; }
  // False when there is no readable disc.
  bool ReadToc(TCDToc& Toc);
  bool MediaLoaded();
  // The drive plays audio through its own output.
  bool AudioPlaying();
  // Vendor, model and revision of a drive; the file of an image.
  std::string Name();
  // False when the tray cannot move. An image has none; when $SONVIX_CD_TRAY_LOG
  // names a file, the request is appended to it as "eject IMAGE" or "close IMAGE".
  bool Eject();
  bool CloseTray();

private:
  _CdIo* Open();
  void Close();

  std::string FDevice;
  _CdIo* FHandle = nullptr;
};

// Reads the audio sectors [StartSector, EndSector) of the disc in a drive, in order.
class TCDRipper {
public:
  TCDRipper() = default;
  ~TCDRipper();
  TCDRipper(const TCDRipper&) = delete;
  TCDRipper& operator=(const TCDRipper&) = delete;

  // False when the drive cannot be read or the range is empty or beyond the disc.
  bool Open(const std::string& Device, uint32_t StartSector, uint32_t EndSector);
  void Close();
  bool Active() const { return FParanoia != nullptr; }
  // Reads up to MaxSectors whole sectors (16-bit little-endian stereo) into Buffer.
  // Returns the sectors read, 0 at the end of the range, -1 when a sector could not
  // be read: the sectors before it are returned first, and after a failure every
  // read fails until the ripper is opened again.
  int32_t Read(uint8_t* Buffer, uint32_t MaxSectors);
  uint32_t CurrentSector() const { return FNext; }

private:
  _CdIo* FCdio = nullptr;
  void* FDrive = nullptr;     // cdrom_drive_t
  void* FParanoia = nullptr;  // cdrom_paranoia_t
  uint32_t FNext = 0;
  uint32_t FEnd = 0;
  bool FFailed = false;
};

// The disc serial number that a ".cda" track file carries, derived from the table of
// contents: the sum of the tracks' start addresses as minute << 16 | second << 8 |
// frame, plus the disc's length in sectors when it has fewer than three tracks.
uint32_t CDDiscSerial(const TCDToc& Toc);

// The 44-byte record of a ".cda" track file for audio track Track (1-based): "RIFF",
// size 36, "CDDAfmt ", chunk size 24, version 1, track number, disc serial, start
// and length in sectors, then start (with the 2-second lead-in) and length as frame,
// second, minute, 0. False for a data track or a track the disc does not have.
using TCDTrackRecord = std::array<uint8_t, 44>;
bool CDTrackRecord(const TCDToc& Toc, int Track, TCDTrackRecord& Record);

// A CD track as a file: the drive's device path, "/Track", two or more digits and
// ".cda" (for example "/dev/sr0/Track03.cda").
std::string CDTrackFileName(const std::string& Device, int Track);
// The record of such a file name, read from the disc in that drive; false when the
// name is no CD track or the disc has no such audio track.
bool CDReadTrackFile(const std::string& FileName, TCDTrackRecord& Record);
