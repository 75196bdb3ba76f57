#pragma once
// Audio CDs. TCDPlayer plays tracks: it extracts them digitally and plays them through
// the sound output, its left and right volumes setting the gain. TCDIn rips tracks
// through the CD ripping library (libcdrip.so) and delivers them as 16-bit stereo
// PCM at 44100 Hz.
//
// Drive indices of both components follow the platform's one list of drives, so an
// index means the same drive in TCDIn and in TCDPlayer.

#include <atomic>
#include <cstdint>
#include <string>
#include <vector>

#include "audio/core/TSL_Classes.h"
#include "platform/cdrom/CDRom.h"

struct TCDMSF {
  uint8_t Minute = 0;
  uint8_t Second = 0;
  uint8_t Frame = 0;
};

// A position within a track.
struct TCDTMSF {
  uint8_t Track = 0;
  uint8_t Minute = 0;
  uint8_t Second = 0;
  uint8_t Frame = 0;
};

enum TCDTrackType : uint8_t { ttAudio, ttData };

struct TCDTrackInfo {
  TCDMSF TrackLength;
  TCDTrackType TrackType = ttAudio;
};

enum TCDStatus : uint8_t { cdsNotReady, cdsReady, cdsPlaying, cdsPaused };

TCDMSF SectorsToMSF(uint32_t Sectors);
uint32_t MSFToSectors(const TCDMSF& MSF);

class TCDPlayerIn;
class TCDPlayerOut;

class TCDPlayer : public TComponent {
public:
  explicit TCDPlayer(TComponent* AOwner);
  void BeforeDestruction() override;

  int32_t CurrentDrive() const { return FCurrentDrive; }
  // Only 0 .. DrivesCount - 1 is taken.
  void SetCurrentDrive(int32_t Value);
  int32_t DrivesCount() const { return static_cast<int32_t>(FDrives.size()); }
  // The current drive's device path followed by "/": the folder its ".cda" track
  // files are named in. Empty without drives.
  std::string DrivePath() const;

  // Gain of each channel, 0 (silent) to 65535 (unchanged); changes apply while playing.
  uint16_t LVolume() const { return FLVolume; }
  void SetLVolume(uint16_t Value) { FLVolume = Value; }
  uint16_t RVolume() const { return FRVolume; }
  void SetRVolume(uint16_t Value) { FRVolume = Value; }

  // 0 when no disc is ready.
  int32_t TracksCount();
  // The start of a track on the disc (from the disc's start, with its 2-second
  // lead-in); beyond the last track, the end of the disc.
  TCDMSF TrackStart(int32_t Track);
  // Plays the track from its start to its end.
  void Play(int32_t Track);
  void Pause();
  void Resume();
  void Stop();
  // The track being heard and the time into it.
  TCDTMSF Position();
  TCDTrackInfo GetTrackInfo(int32_t Track);
  TCDStatus Status();
  // Why the last Play ended early (the sound output could not be opened, the disc
  // could not be read); empty when it did not.
  std::string PlayError() const;

private:
  void OpenDevice();
  void CloseDevice();
  bool ReadToc(TCDToc& Toc);

  int32_t FOpenCount = 0;
  int32_t FCurrentDrive = 0;
  std::vector<std::string> FDrives;
  TCDDrive* FDrive = nullptr;
  std::atomic<uint16_t> FLVolume{0xFFFF};
  std::atomic<uint16_t> FRVolume{0xFFFF};
  TCDPlayerIn* FIn = nullptr;
  TCDPlayerOut* FOut = nullptr;
  uint8_t FPlayTrack = 0;  // the track last played, and its length in sectors
  uint32_t FPlayLength = 0;
  bool FPlayed = false;
};

class TCDIn : public TAuInput {
public:
  // Loads libcdrip.so on first use; EAuException when it cannot be loaded.
  explicit TCDIn(TComponent* AOwner);
  void BeforeDestruction() override;

  int32_t DrivesCount();
  int32_t CurrentDrive() const { return FCurrentDrive; }
  // Only 0 .. DrivesCount - 1 is taken.
  void SetCurrentDrive(int32_t Value);
  std::string DriveName();
  void LockDrive();
  void UnlockDrive();
  TCDStatus Status();
  // -1 when the table of contents cannot be read.
  int32_t TracksCount();
  TCDTrackInfo GetTrackInfo(int32_t Track);
  int32_t StartTrack() const { return FStartTrack; }
  void SetStartTrack(int32_t Track);
  int32_t EndTrack() const { return FEndTrack; }
  void SetEndTrack(int32_t Track);
  const TCDTMSF& StartPos() const { return FStartPos; }
  const TCDTMSF& EndPos() const { return FEndPos; }
  void Eject();
  void CloseTray();

protected:
  int32_t GetBitsPerSample() override { return 16; }
  int32_t GetChannels() override { return 2; }
  int32_t GetSampleRate() override { return 44100; }
  int32_t GetTotalTime() override;
  int64_t GetTotalSamples() override;
  void BeginRead() override;
  void EndRead() override;
  void ReadRaw(void*& Buffer, uint32_t& Bytes) override;

private:
  // Reads the table of contents of the current drive; false without a readable disc.
  bool ReadToc(TCDToc& Toc);
  void UpdateIdleSize();

  int32_t FDriveLocks = 0;
  int32_t FCurrentDrive = 0;
  int32_t FStartTrack = 0;
  int32_t FEndTrack = 0;
  TCDTMSF FStartPos;
  TCDTMSF FEndPos;
  uint32_t FRipBytes = 0;
  std::vector<uint8_t> FRipBuffer;
  int32_t FRipBufferSize = 0;
};
