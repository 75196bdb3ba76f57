// Tags read from the sources when entries are added, and written into the finished
// outputs. All texts are UTF-8; a format that stores another character set converts
// at its own boundary.
#include "app/UFileList.h"

#include <algorithm>
#include <cctype>

#include "audio/io/TSL_Wave.h"
#include "audio/io/TSL_WinMedia.h"
#include "fileinfo/APETag.h"
#include "fileinfo/CDAtrack.h"
#include "fileinfo/FLACfile.h"
#include "fileinfo/ID3v1.h"
#include "fileinfo/ID3v2.h"
#include "fileinfo/OggVorbis.h"
#include "fileinfo/TTA.h"
#include "fileinfo/UWavFile.h"
#include "fileinfo/WAVPackFile.h"
#include "platform/rtl/Streams.h"
#include "platform/rtl/StrUtils.h"

namespace {

// Readers give 0 for "no track": that is an empty Track, never a made-up number.
std::string TrackText(int64_t Number) { return Number > 0 ? IntToStr(Number) : std::string(); }

// A track as the number the number-only writers take: the leading decimal of "3" or
// "3/12"; 0 ("no track") for anything else or above Max.
int64_t TrackNumber(const std::string& Track, int64_t Max) {
  const std::string t = Trim(Track);
  size_t digits = 0;
  while (digits < t.size() && std::isdigit(static_cast<unsigned char>(t[digits]))) ++digits;
  if (digits == 0 || digits > 9 || (digits < t.size() && t[digits] != '/')) return 0;
  const int64_t n = StrToIntDef(t.substr(0, digits), 0);
  return n <= Max ? n : 0;
}

// Set: assigns. Fill: assigns only while the field is empty.
void Put(std::string& Field, const std::string& Value, bool Fill) {
  if (!Fill || Field.empty()) Field = Value;
}

void TakeID3v2(TTagSet& T, const TID3v2& Tag) {
  T.Artist = Tag.Artist();
  T.Album = Tag.Album();
  T.Genre = Tag.Genre();
  T.Year = Tag.Year();
  T.Track = TrackText(Tag.Track());
  T.Title = Tag.Title();
  T.Comment = Tag.Comment();
  T.Composer = Tag.Composer();
  T.Encoder = Tag.Encoder();
  T.Copyright = Tag.Copyright();
  T.Language = Tag.Language();
  T.Link = Tag.Link();
}

void FillID3v1(TTagSet& T, const TID3v1& Tag) {
  Put(T.Artist, Tag.GetArtist(), true);
  Put(T.Album, Tag.GetAlbum(), true);
  Put(T.Genre, Tag.GetGenre(), true);
  Put(T.Year, Tag.Year(), true);
  Put(T.Track, TrackText(Tag.Track()), true);
  Put(T.Title, Tag.GetTitle(), true);
  Put(T.Comment, Tag.GetComment(), true);
}

void TakeAPE(TTagSet& T, const TAPETag& Tag, bool Fill) {
  for (int i = 0; i < TagSetFieldCount; ++i) Put(T.*TagSetFields[i], Tag.GetField(APEItemNames[i]), Fill);
}

// The ID3v2 tag (set), then the ID3v1 block (fill), as MP3 files and the APE-tagged
// formats carry them.
void ReadID3Tags(TTagSet& T, const std::string& FileName) {
  TID3v2 v2;
  if (v2.ReadFromFile(FileName) && v2.Exists()) TakeID3v2(T, v2);
  TID3v1 v1;
  if (v1.ReadFromFile(FileName) && v1.Exists()) FillID3v1(T, v1);
}

void PutID3v2(TID3v2& Tag, const TTagSet& T) {
  Tag.SetArtist(T.Artist);
  Tag.SetAlbum(T.Album);
  Tag.SetGenre(T.Genre);
  Tag.SetYear(T.Year);
  Tag.SetTrack(static_cast<uint16_t>(TrackNumber(T.Track, 0xFFFF)));
  Tag.SetTitle(T.Title);
  Tag.SetComment(T.Comment);
  Tag.SetComposer(T.Composer);
  Tag.SetEncoder(T.Encoder);
  Tag.SetCopyright(T.Copyright);
  Tag.SetLanguage(T.Language);
  Tag.SetLink(T.Link);
}

// Whether a WAV file's data chunk holds anything.
bool HasWaveAudio(const std::string& FileName) {
  try {
    TFileStream f(FileName, fmOpenRead);
    TWavHeader h;
    return ScanWavHeader(f, 0, h) && h.DataSize > 0;
  } catch (const std::exception&) {
    return false;
  }
}

void SaveAPE(const TTagSet& T, const std::string& FileName) {
  // Saving replaces the tag's text items and keeps its binary ones (a cover).
  TAPETag ape;
  for (int i = 0; i < TagSetFieldCount; ++i) ape.AppendField(APEItemNames[i], T.*TagSetFields[i]);
  ape.SaveToFile(FileName);
}

}  // namespace

void TFileList::ReadFileTags(TInputFormatCode Code, int32_t N) {
  TFileListEntry& entry = Entries(N);
  const std::string& name = entry.FileName;
  TTagSet t;
  switch (Code) {
    case fcCDTrack: {
      TCDAtrack cda;
      if (cda.ReadFromFile(name) && cda.Valid()) {
        t.Artist = UTF16ToUTF8(cda.Artist());
        t.Album = UTF16ToUTF8(cda.Album());
        t.Title = UTF16ToUTF8(cda.Title());
        t.Track = TrackText(cda.Track());
      }
      // Linux has no track files: the number comes from the table of contents.
      Put(t.Track, TrackText(entry.Position), true);
      break;
    }
    case fcMP3:
      ReadID3Tags(t, name);
      break;
    case fcOggVorbis: {
      TOggVorbis ogg;
      if (ogg.ReadFromFile(name) && ogg.IsValid()) {
        t.Artist = ogg.Artist();
        t.Album = ogg.Album();
        t.Genre = ogg.Genre();
        t.Year = ogg.Date();
        t.Track = TrackText(ogg.Track());
        t.Title = ogg.Title();
        t.Comment = ogg.Comment();
      }
      break;
    }
    case fcWave: {
      TWavFile wav;
      if (wav.ReadFromFile(name) && wav.Exists()) {
        t.Artist = UTF16ToUTF8(wav.Artist());
        t.Album = UTF16ToUTF8(wav.Album());
        t.Genre = UTF16ToUTF8(wav.Genre());
        t.Year = UTF16ToUTF8(wav.Year());
        t.Track = TrackText(StrToIntDef(UTF16ToUTF8(wav.Track()), 0));
        t.Title = UTF16ToUTF8(wav.Title());
        t.Comment = UTF16ToUTF8(wav.Comment());
      }
      break;
    }
    case fcFLAC: {
      TFLACfile flac;
      if (flac.ReadFromFile(name) && flac.IsValid()) {
        t.Artist = flac.Artist();
        t.Album = flac.Album();
        t.Genre = flac.Genre();
        t.Year = flac.Year();
        t.Track = flac.TrackString() == "0" ? std::string() : flac.TrackString();
        t.Title = flac.Title();
        t.Comment = flac.Comment();
        t.Composer = flac.Composer();
        t.Encoder = flac.Encoder();
        t.Copyright = flac.Copyright();
        t.Language = flac.Language();
        t.Link = flac.Link();
      }
      break;
    }
    case fcMonkeysAudio:
    case fcMusepack: {
      ReadID3Tags(t, name);
      TAPETag ape;
      if (ape.ReadFromFile(name) && ape.Exists()) TakeAPE(t, ape, true);
      break;
    }
    case fcWavPack: {
      ReadID3Tags(t, name);
      TWAVPackfile wv;
      if (wv.ReadFromFile(name) && wv.APETag().Exists()) TakeAPE(t, wv.APETag(), false);
      break;
    }
    case fcTrueAudio: {
      TTTA tta;
      if (tta.ReadFromFile(name)) {
        if (tta.ID3v2().Exists()) TakeID3v2(t, tta.ID3v2());
        if (tta.ID3v1().Exists()) FillID3v1(t, tta.ID3v1());
        if (tta.APETag().Exists()) TakeAPE(t, tta.APETag(), true);
      }
      break;
    }
    case fcWindowsMedia:
    case fcWindowsMediaSystem: {
      // The probe that has just measured the file holds its header already.
      auto* probe = dynamic_cast<TWMIn*>(GetInput(Code));
      TComponentPtr<TWMIn> own;
      TWMIn* wm = probe;
      if (!probe || probe->FileName() != name || probe->Busy()) {
        own.reset(new TWMIn(nullptr));
        wm = own.get();
        wm->SetFileName(name);
      }
      if (wm->Valid()) {
        const TId3v2Tags& v = *wm->Id3v2Tags();
        t.Artist = UTF16ToUTF8(v.Artist());
        t.Album = UTF16ToUTF8(v.Album());
        t.Genre = UTF16ToUTF8(v.Genre());
        t.Year = v.Year();
        t.Track = TrackText(TrackNumber(v.Track(), 0x7FFFFFFF));
        t.Title = UTF16ToUTF8(v.Title());
        t.Comment = UTF16ToUTF8(v.Comment());
        t.Composer = UTF16ToUTF8(v.Composer());
        t.Encoder = UTF16ToUTF8(v.Encoder());
        t.Copyright = UTF16ToUTF8(v.Copyright());
        t.Language = UTF16ToUTF8(v.Language());
        t.Link = UTF16ToUTF8(v.Link());
      }
      break;
    }
    default:
      break;
  }
  entry.FileTags = t;
  entry.CurrentTags = t;
}

void TFileList::WriteFileTags(int32_t N, TInputFormatCode OutputCode, const std::string& OutputFile) {
  const TTagSet& t = Entries(N).CurrentTags;
  // Nothing to write: the output stays as the encoder made it.
  if (t == TTagSet{}) return;
  switch (OutputCode) {
    case fcMP3: {
      TID3v1 v1;
      v1.SetArtist(t.Artist);
      v1.SetAlbum(t.Album);
      v1.SetGenre(t.Genre);
      v1.SetYear(t.Year);
      v1.SetTrack(static_cast<uint8_t>(TrackNumber(t.Track, 0xFF)));
      v1.SetTitle(t.Title);
      v1.SetComment(t.Comment);
      v1.SaveToFile(OutputFile);
      TID3v2 v2;
      PutID3v2(v2, t);
      v2.SaveToFile(OutputFile);
      break;
    }
    case fcOggVorbis: {
      TOggVorbis ogg;
      ogg.SetArtist(t.Artist);
      ogg.SetAlbum(t.Album);
      ogg.SetGenre(t.Genre);
      ogg.SetDate(t.Year);
      ogg.SetTrack(static_cast<uint8_t>(TrackNumber(t.Track, 0xFF)));
      ogg.SetTitle(t.Title);
      ogg.SetComment(t.Comment);
      ogg.SaveTag(OutputFile);
      break;
    }
    case fcWave: {
      // A trailer of empty fields says nothing, and after a data chunk of size 0 (which
      // readers take as "to the end of the file") it would read as sound.
      if ((t.Artist.empty() && t.Album.empty() && t.Genre.empty() && t.Year.empty() &&
           TrackNumber(t.Track, 0x7FFFFFFF) == 0 && t.Title.empty() && t.Comment.empty()) ||
          !HasWaveAudio(OutputFile))
        break;
      TWavFile wav;
      wav.SetArtist(UTF8ToUTF16(t.Artist));
      wav.SetAlbum(UTF8ToUTF16(t.Album));
      wav.SetGenre(UTF8ToUTF16(t.Genre));
      wav.SetYear(UTF8ToUTF16(t.Year));
      wav.SetTrack(UTF8ToUTF16(TrackText(TrackNumber(t.Track, 0x7FFFFFFF))));
      wav.SetTitle(UTF8ToUTF16(t.Title));
      wav.SetComment(UTF8ToUTF16(t.Comment));
      wav.SaveToFile(OutputFile);
      break;
    }
    case fcFLAC: {
      TFLACfile flac;
      flac.SetArtist(t.Artist);
      flac.SetAlbum(t.Album);
      flac.SetGenre(t.Genre);
      flac.SetYear(t.Year);
      flac.SetTrackString(t.Track);
      flac.SetTitle(t.Title);
      flac.SetComment(t.Comment);
      flac.SetComposer(t.Composer);
      flac.SetEncoder(t.Encoder);
      flac.SetCopyright(t.Copyright);
      flac.SetLanguage(t.Language);
      flac.SetLink(t.Link);
      flac.SaveToFile(OutputFile, false);
      break;
    }
    case fcMonkeysAudio:
    case fcWavPack:
    case fcMusepack:
      SaveAPE(t, OutputFile);
      break;
    case fcTrueAudio: {
      TID3v2 v2;
      PutID3v2(v2, t);
      v2.SaveToFile(OutputFile);
      SaveAPE(t, OutputFile);
      break;
    }
    default:
      // Windows Media outputs take their tags before the run.
      break;
  }
}
