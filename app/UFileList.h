#pragma once
// The converter's list of sources, bound to the items of one list view: beside list
// item i it keeps entry i with the source's path, kind, weight, output name and tag
// sets. It owns one probe input per kind of source, which measures files as they are
// added and later serves as the input of the conversion run.
//
// Tags travel as UTF-8 from the readers to the names and the writers.
//
// While a run is active (Lock .. Unlock), the list refuses every change that could
// move an entry under the run: adding, deleting, clearing, moving (raising
// EListLocked) and ticking or unticking items in the view. Only the run's own
// SetChecked passes.

#include <cstdint>
#include <deque>
#include <memory>
#include <string>
#include <unordered_set>
#include <vector>

#include "platform/cdrom/CDRom.h"
#include "platform/rtl/Classes.h"
#include "platform/rtl/SysUtils.h"

class TAuFileIn;
class TCDIn;
class TListItems;
class TCustomListView;
class TControl;
class TStrings;
class TStringList;
class TWMAOut;

// The kind of a source; the output type codes of WriteFileTags are the same numbers.
enum TInputFormatCode : uint8_t {
  fcCDTrack = 0, fcMP3 = 1, fcOggVorbis = 2, fcWave = 3, fcFLAC = 4, fcMonkeysAudio = 5, fcWavPack = 6,
  fcTrueAudio = 7, fcWindowsMedia = 8, fcWindowsMediaSystem = 9, fcAVI = 10, fcMusepack = 11,
  fcUnsupported = 255
};

struct TTagSet {
  std::string Artist, Album, Genre, Year, Track, Title, Comment, Composer, Encoder, Copyright, Language, Link;
  friend bool operator==(const TTagSet&, const TTagSet&) = default;
};
constexpr int TagSetFieldCount = 12;
// The fields in the order above, and the APE item names the application uses for them.
extern std::string TTagSet::* const TagSetFields[TagSetFieldCount];
extern const char* const APEItemNames[TagSetFieldCount];

struct TFileListEntry {
  // The file name without folder, or "Track N" for a CD track.
  std::string Caption;
  // The source's path; a CD track is named by its drive path and "TrackNN.cda".
  std::string FileName;
  // Made by MakeOutputName: the base name (no extension) and the sub-folder below the
  // output folder (empty, or ending in "/").
  std::string OutputName;
  std::string OutputDir;
  int32_t Duration = 0;  // seconds
  // The entry's weight in the run's progress, always positive: the decoded bytes;
  // else the duration times the bytes of one second; else 1.
  int64_t DataSize = 1;
  TInputFormatCode FormatCode = fcUnsupported;
  // CD tracks: the track number on the disc, and the track's record (disc serial,
  // start and length) as the disc in the drive had it when the track was listed.
  int32_t Position = 0;
  TCDTrackRecord CDRecord{};
  bool Checked = false;
  TTagSet FileTags;     // as read from the source
  TTagSet CurrentTags;  // written into the output
  TTagSet WorkingTags;  // the tag editor's copy
};

// A file an add did not add, and why.
struct TNotAddedFile {
  std::string Name;  // without its folder
  std::string Reason;
  friend bool operator==(const TNotAddedFile&, const TNotAddedFile&) = default;
};

// Index 0-13 of the output name patterns.
using TFileNamePattern = uint8_t;
constexpr int FileNamePatternCount = 14;
extern const char* const FileNamePatternNames[FileNamePatternCount];

// A change of the list refused while a run is active.
class EListLocked : public Exception {
public:
  using Exception::Exception;
};

class TFileList {
public:
  // Binds the list to Items (not owned); message boxes belong to the items' view.
  // Raises EAuException when a codec library the probes need cannot be loaded.
  explicit TFileList(TListItems* AItems);
  ~TFileList();
  TFileList(const TFileList&) = delete;
  TFileList& operator=(const TFileList&) = delete;

  int32_t Count() const { return static_cast<int32_t>(FEntries.size()); }
  int32_t CheckedCount() const { return FCheckedCount; }
  // The entry the player works on; -1 when none.
  int32_t CurrentIndex() const { return FCurrentIndex; }
  void SetCurrentIndex(int32_t Value) { FCurrentIndex = Value; }
  TListItems* Items() const { return FItems; }
  TFileListEntry& Entries(int32_t N) { return FEntries.at(static_cast<size_t>(N)); }
  const TFileListEntry& Entries(int32_t N) const { return FEntries.at(static_cast<size_t>(N)); }

  // Adds the files in order (files already listed are skipped); a file that cannot be
  // added does not keep the others out. When the only files left out have extensions
  // no source kind has, the list says so in its one message of those extensions and
  // returns true. Otherwise false when a file was left out: it could not be read, is no
  // regular file (a folder, a FIFO, a device: those are not probed) or has no
  // extension; NotAdded then holds every file left out, for the caller's one message.
  bool AddFiles(const std::vector<std::string>& Names);
  // Adds the files (not the folders) of the folder's top level in name order, hidden
  // ones left out. 2: files were added, 1: nothing was, 0: a file failed after the
  // last one added. Files left out are told of as by AddFiles (the extension message
  // only with ShowUnsupported, with files added and nothing else left out); NotAdded
  // holds them otherwise, also a failure before an added file, and is empty with 1.
  int32_t AddFolder(const std::string& Folder, bool ShowUnsupported);
  // The files the last AddFiles or AddFolder left out and did not tell of, in order,
  // each once with its reason.
  const std::vector<TNotAddedFile>& NotAdded() const { return FNotAdded; }
  // Appends track Track of the CD input's drive.
  void AddCdTrack(const std::string& Caption, const std::string& Name, const std::string& DrivePath,
                  const std::string& LengthText, int32_t Track);
  // Replaces the list by the audio tracks of the drive; a drive without tracks leaves it.
  void AddCdTracks(int32_t DriveIndex);
  void Clear();
  void Delete(int32_t N);
  void MoveItemDown(int32_t N);
  void MoveItemUp(int32_t N);
  // The first entry of exactly that path; -1 when none.
  int32_t IndexOfFile(const std::string& Path) const;
  // Whether an entry has exactly that path (without a search through the list).
  bool Listed(const std::string& Path) const { return FPaths.count(Path) > 0; }

  // The probe of a kind of file source; nullptr for CD tracks and unknown codes.
  TAuFileIn* GetInput(TInputFormatCode Code) const;
  TCDIn* GetCDInput() const { return FCDIn.get(); }
  // Gives entry N's path to the probe of its kind.
  void SetInputFileName(int32_t N);
  // The CD input reads exactly entry N's track from its drive. Raises when that drive
  // no longer holds the disc the track was listed from, so that another disc's audio
  // is never saved under this track's name and tags.
  void SetCDTrack(int32_t N);
  // "***", then the name of every drive (it selects each drive in turn: not while a
  // run is active).
  void FillDriveList(TStrings* Items);
  void OpenCDTray();
  void CloseCDTray();
  const TStringList& GetWMACodecs() const;
  const TStringList& GetWMACodecFormats(int32_t CodecIndex);
  void SetWMACodecVBR(bool Flag);

  // The run's lock (see the file comment).
  bool Locked() const { return FLocked; }
  void Lock();
  void Unlock();
  // Takes every item's tick into its entry and counts them.
  void SyncChecked();
  // Takes item N's tick into its entry and the count, in no time however long the list.
  void TakeTick(int32_t N);
  // Ticks or unticks item and entry N; passes the lock.
  void SetChecked(int32_t N, bool Value);

  // Fills entry N's FileTags from its source by kind Code, then CurrentTags from them.
  void ReadFileTags(TInputFormatCode Code, int32_t N);
  // Makes every entry's OutputName and OutputDir from its CurrentTags by Pattern. Each
  // part is a safe file name: no separators or control characters, no leading or
  // trailing blanks, no trailing dots, never "." or "..", short enough for the file
  // system with room for "(n)" and an extension.
  void MakeOutputName(TFileNamePattern Pattern);
  // Writes entry N's CurrentTags into OutputFile, by the output's kind OutputCode.
  void WriteFileTags(int32_t N, TInputFormatCode OutputCode, const std::string& OutputFile);

  // "m:ss", minutes not limited.
  static std::string FormatTime(int32_t Seconds);
  static TInputFormatCode ExtToFormatCode(const std::string& FileName);
  // Megabytes to three significant digits with two decimals: "1.50 MB".
  static std::string SizeText(int64_t Bytes);

private:
  // Adds one file; false when it was skipped. Raises when it cannot be read.
  bool AddOneFile(const std::string& FileName, const std::string& Caption, int64_t FileBytes);
  // After an add: files of unknown extensions alone are told of in the extension
  // message (when Tell) and leave NotAdded empty; anything else stays there.
  void TellUnknownExtensions(bool Tell, uint32_t Icon);
  // Appends a ticked item and Entry, then reads its tags; a failure takes both away.
  void AppendEntry(TFileListEntry Entry, const std::vector<std::string>& SubItems);
  TCustomListView* View() const;
  TControl* MessageOwner() const;
  void CheckUnlocked() const;
  void ShowUnsupported(const std::string& Extensions, uint32_t Icon) const;
  // The item's tick, set while the view's ticks are locked.
  void SetItemChecked(int32_t N, bool Value);

  TListItems* FItems;
  // Entries are large (three tag sets): a deque adds one without moving the others or
  // keeping room for as many again, which a vector needs to grow.
  std::deque<TFileListEntry> FEntries;
  // Every entry's FileName, so that adding need not search the list for each file.
  std::unordered_multiset<std::string> FPaths;
  std::vector<TNotAddedFile> FNotAdded;
  int32_t FCheckedCount = 0;
  int32_t FCurrentIndex = -1;
  bool FLocked = false;
  // The probes, indexed by format code (nullptr where there is none).
  std::vector<TComponentPtr<TAuFileIn>> FProbes;
  TComponentPtr<TCDIn> FCDIn;
  TComponentPtr<TWMAOut> FWMAOut;
};
