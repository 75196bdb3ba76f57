#include "platform/cdrom/CDRom.h"

#include <cdio/cdio.h>
// after cdio.h, which it needs
#include <cdio/audio.h>
#include <cdio/logging.h>
#include <cdio/mmc.h>
#include <cdio/paranoia/cdda.h>
#include <cdio/paranoia/paranoia.h>

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <bit>
#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <mutex>

#include "platform/rtl/ByteOrder.h"
#include "platform/rtl/Riff.h"

namespace {

const char* const ImagesVariable = "SONVIX_CD_IMAGES";

// libcdio warns about harmless things in images (short pregaps and the like); its
// errors are returned to us anyway.
void QuietLog(cdio_log_level_t, const char*) {}

void InitLibrary() {
  static std::once_flag once;
  std::call_once(once, [] { cdio_log_set_handler(QuietLog); });
}

// libcdio keeps global state in places (strtok in its cue and toc parsers, getmntent
// when it looks for drives), so its calls are serialised. The program and the CD
// ripping library each carry a copy of this layer: besides the mutex of this copy, a
// lock on the program file, which every copy opens, keeps the copies apart. Reading
// sectors needs neither and is not held up.
class TCdioGuard {
public:
  TCdioGuard() {
    if (Depth++ > 0) return;
    Mutex().lock();
    Fd = ::open("/proc/self/exe", O_RDONLY | O_CLOEXEC);
    if (Fd >= 0) ::flock(Fd, LOCK_EX);
  }
  ~TCdioGuard() {
    if (--Depth > 0) return;
    if (Fd >= 0) ::close(Fd);  // releases the lock
    Fd = -1;
    Mutex().unlock();
  }
  TCdioGuard(const TCdioGuard&) = delete;
  TCdioGuard& operator=(const TCdioGuard&) = delete;

private:
  static std::mutex& Mutex() {
    static std::mutex m;
    return m;
  }
  static thread_local int Depth;
  static thread_local int Fd;
};

thread_local int TCdioGuard::Depth = 0;
thread_local int TCdioGuard::Fd = -1;

bool IsFile(const std::string& Path) {
  struct stat st {};
  return stat(Path.c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

const char* const TrayLogVariable = "SONVIX_CD_TRAY_LOG";

// An image has no tray: the request fails. It is noted in the tray log when there is
// one (a line of the request and the image), appended in one write so that every copy
// of this layer can share the file.
bool ImageTrayRequest(const std::string& Image, const char* Request) {
  const char* log = std::getenv(TrayLogVariable);
  if (!log || !*log) return false;
  const int fd = ::open(log, O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC, 0644);
  if (fd < 0) return false;
  const std::string line = std::string(Request) + " " + Image + "\n";
  [[maybe_unused]] const ssize_t written = ::write(fd, line.data(), line.size());
  ::close(fd);
  return false;
}

// Sector numbers reported by paranoia's callback are not needed: any sector it had to
// give up on makes the read fail, so a bad rip is never passed off as audio.
thread_local bool ParanoiaGaveUp = false;

void ParanoiaCallback(long, paranoia_cb_mode_t Mode) {
  if (Mode == PARANOIA_CB_SKIP) ParanoiaGaveUp = true;
}

}  // namespace

// ---------------------------------------------------------------------------
// Addresses and the table of contents

TCDMSFTime CDSectorsToMSF(uint32_t Sectors) {
  const uint32_t s = Sectors / CD_SECTORS_PER_SECOND;
  TCDMSFTime t;
  t.Minute = static_cast<uint8_t>(std::min<uint32_t>(s / 60, 255));
  t.Second = static_cast<uint8_t>(s % 60);
  t.Frame = static_cast<uint8_t>(Sectors % CD_SECTORS_PER_SECOND);
  return t;
}

uint32_t CDMSFToSectors(const TCDMSFTime& Time) {
  return (Time.Minute * 60u + Time.Second) * CD_SECTORS_PER_SECOND + Time.Frame;
}

uint32_t CDTrackEndSector(const std::vector<TCDTocEntry>& Entries, size_t Index) {
  if (Index + 1 >= Entries.size()) return 0;
  const TCDTocEntry& cur = Entries[Index];
  const TCDTocEntry& next = Entries[Index + 1];
  // The next session starts after this one's lead-out and the next one's lead-in;
  // reading on to its first track would read the gap as audio, or fail.
  if (next.Session > cur.Session && next.StartSector >= cur.StartSector + CD_SESSION_GAP_SECTORS)
    return next.StartSector - CD_SESSION_GAP_SECTORS;
  return next.StartSector;
}

// ---------------------------------------------------------------------------
// Drives

std::vector<std::string> CDGetDrives() {
  InitLibrary();
  std::vector<std::string> drives;
  {
    TCdioGuard guard;
    if (char** list = cdio_get_devices(DRIVER_DEVICE)) {
      for (char** p = list; *p; ++p) drives.emplace_back(*p);
      cdio_free_device_list(list);
    }
  }
  if (const char* images = std::getenv(ImagesVariable)) {
    std::string all = images;
    size_t start = 0;
    while (start <= all.size()) {
      size_t end = all.find(':', start);
      if (end == std::string::npos) end = all.size();
      const std::string name = all.substr(start, end - start);
      if (!name.empty() && IsFile(name) && std::find(drives.begin(), drives.end(), name) == drives.end())
        drives.push_back(name);
      start = end + 1;
    }
  }
  return drives;
}

TCDDrive::TCDDrive(std::string Device) : FDevice(std::move(Device)) { InitLibrary(); }

TCDDrive::~TCDDrive() { Close(); }

_CdIo* TCDDrive::Open() {
  // Opened afresh for every query: the disc may have changed since the last one.
  TCdioGuard guard;
  Close();
  if (!FDevice.empty()) FHandle = cdio_open(FDevice.c_str(), DRIVER_UNKNOWN);
  return FHandle;
}

void TCDDrive::Close() {
  TCdioGuard guard;
  if (FHandle) cdio_destroy(FHandle);
  FHandle = nullptr;
}

bool TCDDrive::ReadToc(TCDToc& Toc) {
  Toc.Entries.clear();
  TCdioGuard guard;
  CdIo_t* p = Open();
  if (!p) return false;
  const track_t first = cdio_get_first_track_num(p);
  const track_t count = cdio_get_num_tracks(p);
  if (first == CDIO_INVALID_TRACK || count == CDIO_INVALID_TRACK || count == 0) {
    Close();
    return false;
  }
  lsn_t lastSession = 0;
  if (cdio_get_last_session(p, &lastSession) != DRIVER_OP_SUCCESS) lastSession = 0;
  auto sessionOf = [lastSession](lsn_t Start) -> uint8_t {
    return lastSession > 0 && Start >= lastSession ? 2 : 1;
  };
  for (track_t t = first; t < first + count; ++t) {
    const lsn_t start = cdio_get_track_lsn(p, t);
    if (start == CDIO_INVALID_LSN || start < 0) {
      Close();
      return false;
    }
    TCDTocEntry e;
    e.StartSector = static_cast<uint32_t>(start);
    e.TrackNumber = static_cast<uint8_t>(t);
    e.Flag = CDFLAG_ADR_POSITION;
    if (cdio_get_track_format(p, t) != TRACK_FORMAT_AUDIO) e.Flag |= CDFLAG_DATA;
    if (cdio_get_track_preemphasis(p, t) == CDIO_TRACK_FLAG_TRUE) e.Flag |= CDFLAG_PREEMPHASIS;
    if (cdio_get_track_copy_permit(p, t) == CDIO_TRACK_FLAG_TRUE) e.Flag |= CDFLAG_COPY_PERMITTED;
    if (cdio_get_track_channels(p, t) == 4) e.Flag |= CDFLAG_FOUR_CHANNEL;
    e.Session = sessionOf(start);
    Toc.Entries.push_back(e);
  }
  const lsn_t leadOut = cdio_get_track_lsn(p, CDIO_CDROM_LEADOUT_TRACK);
  Close();
  if (leadOut == CDIO_INVALID_LSN || leadOut < 0 || static_cast<uint32_t>(leadOut) < Toc.Entries.back().StartSector) {
    Toc.Entries.clear();
    return false;
  }
  TCDTocEntry lo;
  lo.StartSector = static_cast<uint32_t>(leadOut);
  lo.TrackNumber = CD_LEADOUT_TRACK;
  lo.Session = sessionOf(leadOut);
  Toc.Entries.push_back(lo);
  return true;
}

bool TCDDrive::MediaLoaded() {
  TCDToc toc;
  return ReadToc(toc);
}

bool TCDDrive::AudioPlaying() {
  TCdioGuard guard;
  CdIo_t* p = Open();
  if (!p) return false;
  cdio_subchannel_t sub{};
  const bool playing =
      cdio_audio_read_subchannel(p, &sub) == DRIVER_OP_SUCCESS && sub.audio_status == CDIO_MMC_READ_SUB_ST_PLAY;
  Close();
  return playing;
}

std::string TCDDrive::Name() {
  TCdioGuard guard;
  CdIo_t* p = Open();
  if (!p) return FDevice;
  std::string name;
  const driver_id_t id = cdio_get_driver_id(p);
  const bool image = id == DRIVER_BINCUE || id == DRIVER_CDRDAO || id == DRIVER_NRG;
  cdio_hwinfo_t hw{};
  if (!image && cdio_get_hwinfo(p, &hw)) {
    for (const char* part : {hw.psz_vendor, hw.psz_model, hw.psz_revision}) {
      std::string s(part, strnlen(part, sizeof(hw.psz_model)));
      while (!s.empty() && std::isspace(static_cast<unsigned char>(s.back()))) s.pop_back();
      while (!s.empty() && std::isspace(static_cast<unsigned char>(s.front()))) s.erase(0, 1);
      if (s.empty()) continue;
      if (!name.empty()) name += ' ';
      name += s;
    }
  }
  Close();
  return name.empty() ? FDevice : name;
}

bool TCDDrive::Eject() {
  if (IsFile(FDevice)) return ImageTrayRequest(FDevice, "eject");
  TCdioGuard guard;
  Close();
  return cdio_eject_media_drive(FDevice.c_str()) == DRIVER_OP_SUCCESS;
}

bool TCDDrive::CloseTray() {
  if (IsFile(FDevice)) return ImageTrayRequest(FDevice, "close");
  TCdioGuard guard;
  Close();
  driver_id_t driver = DRIVER_DEVICE;
  return cdio_close_tray(FDevice.c_str(), &driver) == DRIVER_OP_SUCCESS;
}

// ---------------------------------------------------------------------------
// Extraction

TCDRipper::~TCDRipper() { Close(); }

bool TCDRipper::Open(const std::string& Device, uint32_t StartSector, uint32_t EndSector) {
  TCdioGuard guard;
  Close();
  InitLibrary();
  if (EndSector <= StartSector) return false;
  FCdio = cdio_open(Device.c_str(), DRIVER_UNKNOWN);
  if (!FCdio) return false;
  const lsn_t leadOut = cdio_get_track_lsn(FCdio, CDIO_CDROM_LEADOUT_TRACK);
  if (leadOut == CDIO_INVALID_LSN || EndSector > static_cast<uint32_t>(leadOut)) {
    Close();
    return false;
  }
  char* messages = nullptr;
  cdrom_drive_t* drive = cdio_cddap_identify_cdio(FCdio, CDDA_MESSAGE_FORGETIT, &messages);
  if (messages) cdio_cddap_free_messages(messages);
  if (!drive) {
    Close();
    return false;
  }
  FDrive = drive;
  if (cdio_cddap_open(drive) != 0) {
    Close();
    return false;
  }
  cdrom_paranoia_t* paranoia = cdio_paranoia_init(drive);
  if (!paranoia) {
    Close();
    return false;
  }
  FParanoia = paranoia;
  cdio_paranoia_modeset(paranoia, PARANOIA_MODE_FULL ^ PARANOIA_MODE_NEVERSKIP);
  cdio_paranoia_seek(paranoia, static_cast<int32_t>(StartSector), SEEK_SET);
  FNext = StartSector;
  FEnd = EndSector;
  return true;
}

void TCDRipper::Close() {
  TCdioGuard guard;
  if (FParanoia) cdio_paranoia_free(static_cast<cdrom_paranoia_t*>(FParanoia));
  FParanoia = nullptr;
  // The drive structure does not own the libcdio handle we opened it on.
  if (FDrive) cdio_cddap_close_no_free_cdio(static_cast<cdrom_drive_t*>(FDrive));
  FDrive = nullptr;
  if (FCdio) cdio_destroy(FCdio);
  FCdio = nullptr;
  FNext = FEnd = 0;
  FFailed = false;
}

int32_t TCDRipper::Read(uint8_t* Buffer, uint32_t MaxSectors) {
  if (!FParanoia || FFailed) return -1;
  auto* paranoia = static_cast<cdrom_paranoia_t*>(FParanoia);
  int32_t done = 0;
  while (static_cast<uint32_t>(done) < MaxSectors && FNext < FEnd) {
    ParanoiaGaveUp = false;
    const int16_t* samples = cdio_paranoia_read(paranoia, ParanoiaCallback);
    if (!samples || ParanoiaGaveUp) {
      // Paranoia gave up on a sector near this one: nothing from here on can be
      // trusted. The sectors already read are still delivered.
      FFailed = true;
      return done > 0 ? done : -1;
    }
    uint8_t* out = Buffer + static_cast<size_t>(done) * CD_SECTOR_BYTES;
    if constexpr (std::endian::native == std::endian::little) {
      std::memcpy(out, samples, CD_SECTOR_BYTES);
    } else {
      for (uint32_t i = 0; i < CD_SECTOR_BYTES / 2; ++i) {
        PutLE16(out + 2 * i, static_cast<uint16_t>(samples[i]));
      }
    }
    ++FNext;
    ++done;
  }
  return done;
}

// ---------------------------------------------------------------------------
// Track files

uint32_t CDDiscSerial(const TCDToc& Toc) {
  const int tracks = Toc.TracksCount();
  if (tracks <= 0) return 0;
  uint32_t serial = 0;
  for (int i = 0; i < tracks; ++i) {
    const TCDMSFTime t = CDSectorsToMSF(Toc.Entries[static_cast<size_t>(i)].StartSector + CD_PREGAP_SECTORS);
    serial += (static_cast<uint32_t>(t.Minute) << 16) | (static_cast<uint32_t>(t.Second) << 8) | t.Frame;
  }
  if (tracks < 3) serial += Toc.Entries.back().StartSector - Toc.Entries.front().StartSector;
  return serial;
}

bool CDTrackRecord(const TCDToc& Toc, int Track, TCDTrackRecord& Record) {
  Record.fill(0);
  if (Track < 1 || Track > Toc.TracksCount()) return false;
  const size_t i = static_cast<size_t>(Track - 1);
  const TCDTocEntry& e = Toc.Entries[i];
  if (CDIsDataTrack(e.Flag)) return false;
  const uint32_t end = CDTrackEndSector(Toc.Entries, i);
  if (end <= e.StartSector) return false;
  const uint32_t start = e.StartSector;
  const uint32_t length = end - start;
  uint8_t* r = Record.data();
  PutRiffChunkHeader(r, "RIFF", 36);
  std::memcpy(r + 8, "CDDA", 4);
  PutRiffChunkHeader(r + 12, "fmt ", 24);
  PutLE16(r + 20, 1);
  PutLE16(r + 22, static_cast<uint16_t>(e.TrackNumber));
  PutLE32(r + 24, CDDiscSerial(Toc));
  PutLE32(r + 28, start);
  PutLE32(r + 32, length);
  const TCDMSFTime s = CDSectorsToMSF(start + CD_PREGAP_SECTORS);
  r[36] = s.Frame;
  r[37] = s.Second;
  r[38] = s.Minute;
  const TCDMSFTime l = CDSectorsToMSF(length);
  r[40] = l.Frame;
  r[41] = l.Second;
  r[42] = l.Minute;
  return true;
}

std::string CDTrackFileName(const std::string& Device, int Track) {
  char name[32];
  std::snprintf(name, sizeof name, "/Track%02d.cda", Track);
  return Device + name;
}

bool CDReadTrackFile(const std::string& FileName, TCDTrackRecord& Record) {
  Record.fill(0);
  const size_t slash = FileName.rfind('/');
  if (slash == std::string::npos || slash == 0) return false;
  const std::string base = FileName.substr(slash + 1);
  const std::string device = FileName.substr(0, slash);
  if (base.size() < 11 || base.compare(0, 5, "Track") != 0 || base.compare(base.size() - 4, 4, ".cda") != 0)
    return false;
  const std::string digits = base.substr(5, base.size() - 9);
  if (digits.empty() || digits.size() > 3 ||
      !std::all_of(digits.begin(), digits.end(), [](char c) { return c >= '0' && c <= '9'; }))
    return false;
  const int track = std::atoi(digits.c_str());
  TCDDrive drive(device);
  TCDToc toc;
  if (!drive.ReadToc(toc)) return false;
  return CDTrackRecord(toc, track, Record);
}
