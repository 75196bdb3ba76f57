// Tag sets: values, flags, conversions, copying between kinds, the genre table and
// the tag sets owned by tagged components.

#include <gtest/gtest.h>

#include <set>

#include "audio/core/TSL_Classes.h"
#include "audio/core/TSL_Tags.h"

namespace {

// The smallest concrete tagged components.
class TTaggedIn : public TAuTaggedFileIn {
public:
  using TAuTaggedFileIn::TAuTaggedFileIn;

protected:
  void DoOpenFile() override {}
  void DoCloseFile() override {}
  void ReadRaw(void*&, uint32_t& Bytes) override { Bytes = 0; }
  bool SeekRaw(int64_t&) override { return false; }
};

class TTaggedOut : public TAuTaggedFileOut {
public:
  using TAuTaggedFileOut::TAuTaggedFileOut;

protected:
  bool WriteBlock(bool) override { return false; }
  void Finish() override {}
  void Prepare() override {}
};

class TOtherPersistent : public TPersistent {};

// A set whose keys start with values, as the ID3v1 genre does.
class TDefaultsTags : public TAuTags {
public:
  TDefaultsTags() {
    AddTag("name", std::string("Été"));
    AddTag("number", int64_t(5));
    AddTag("Name", std::string("ignored: the key exists"));
  }
};

}  // namespace

TEST(TagSetTest, ValuesFollowKeysWithoutRegardToCase) {
  TVorbisTags t;
  EXPECT_TRUE(t.Empty());
  EXPECT_FALSE(t.Changed());
  ASSERT_EQ(t.Count(), 6);
  EXPECT_EQ(t.Keys(0), "album");
  EXPECT_EQ(t.Keys(5), "tracknumber");
  EXPECT_EQ(t.Keys(-1), "");
  EXPECT_EQ(t.Keys(6), "");

  t.SetValue("TITLE", std::u16string(u"Nocturne"));
  EXPECT_EQ(t.Title(), u"Nocturne");
  EXPECT_FALSE(t.Empty());
  EXPECT_TRUE(t.Changed());

  // Unknown keys are ignored on writing and read as nothing.
  TVorbisTags u;
  u.SetValue("composer", std::string("x"));
  EXPECT_TRUE(u.Empty());
  EXPECT_FALSE(u.Changed());
  EXPECT_TRUE(TagValueIsEmpty(u.Values("composer")));
}

TEST(TagSetTest, OnlyARealChangeMarksTheSet) {
  TId3v1Tags t;
  // The default genre is already 12: storing it again is no change.
  t.SetGenreId(12);
  EXPECT_FALSE(t.Changed());
  EXPECT_TRUE(t.Empty());
  t.SetYear(0);
  EXPECT_TRUE(t.Changed());  // nothing -> 0 is a change
  EXPECT_FALSE(t.Empty());

  // Equal values in the other text width, or a number as its decimal text, are
  // no change either.
  TDefaultsTags d;
  EXPECT_EQ(d.Count(), 2);
  d.SetValue("name", std::u16string(u"Été"));
  d.SetValue("NUMBER", std::string("05"));
  d.SetValue("number", std::u16string(u" 5"));
  EXPECT_FALSE(d.Changed());
  EXPECT_TRUE(d.Empty());
  EXPECT_TRUE(std::holds_alternative<std::string>(d.Values("name")));
  d.SetValue("name", std::string("été"));
  EXPECT_TRUE(d.Changed());

  EXPECT_FALSE(TagValuesSame(TTagValue(int64_t(1999)), TTagValue(std::string("1999a"))));
  EXPECT_FALSE(TagValuesSame(TTagValue(), TTagValue(std::string())));

  // Clear empties the set and marks it changed; a cleared ID3v1 genre is no genre,
  // which reads as the default, not as 0 ("Blues").
  d.Clear();
  EXPECT_TRUE(d.Empty());
  EXPECT_TRUE(d.Changed());
  EXPECT_TRUE(TagValueIsEmpty(d.Values("number")));
  t.Clear();
  EXPECT_EQ(t.GenreId(), 12);
}

TEST(TagSetTest, ValuesConvertBetweenNumbersAndText) {
  TAPEv2Tags t;
  t.SetYear("1987");
  t.SetTrack("3/12");
  t.SetValue("Album", int64_t(-42));
  t.SetTitle(u"Über");
  EXPECT_EQ(t.AsInteger("Year"), 1987);
  EXPECT_EQ(t.AsInteger("Track"), 0);  // not a number
  EXPECT_EQ(t.AsInteger("Title"), 0);
  EXPECT_EQ(t.AsInteger("Comment"), 0);  // nothing
  EXPECT_EQ(t.AsString("Album"), "-42");
  EXPECT_EQ(t.AsWideString("Album"), u"-42");
  EXPECT_EQ(t.AsString("Title"), "Über");
  EXPECT_EQ(t.AsWideString("Year"), u"1987");
  EXPECT_EQ(t.AsString("Comment"), "");
  t.SetValue("Year", std::string("99999999999"));
  EXPECT_EQ(t.AsInteger("Year"), 0);  // outside 32 bits

  TId3v1Tags v1;
  v1.SetValue("year", std::string("70000"));
  v1.SetValue("track", std::string("300"));
  EXPECT_EQ(v1.Year(), 0);
  EXPECT_EQ(v1.Track(), 0);
  v1.SetValue("artist", int64_t(5));
  EXPECT_EQ(v1.Artist(), "");  // not text
}

TEST(TagSetTest, AssignCopiesTheKeysBothSetsHave) {
  TId3v1Tags v1;
  v1.SetTitle("T");
  v1.SetArtist("A");
  TId3v2Tags v2;
  v2.Assign(v1);
  for (int32_t i = 0; i < v2.Count(); ++i) EXPECT_TRUE(TagValueIsEmpty(v2.Values(v2.Keys(i))));
  EXPECT_TRUE(v2.Empty());

  TId3v1Tags copy;
  copy.Assign(v1);
  EXPECT_EQ(copy.Title(), "T");
  EXPECT_EQ(copy.Artist(), "A");
  EXPECT_EQ(copy.GenreId(), 12);
  EXPECT_TRUE(copy.Changed());
  EXPECT_FALSE(copy.Empty());

  // Keys match without regard to case, so APEv2 items reach the ID3v1 set, and its
  // genre, given as a name, is looked up.
  TAPEv2Tags ape;
  ape.SetArtist(u"Ärtist");
  ape.SetGenre(u"jazz");
  ape.SetYear("2004");
  ape.SetTrack("9");
  TId3v1Tags fromApe;
  fromApe.Assign(ape);
  EXPECT_EQ(fromApe.Artist(), "Ärtist");
  EXPECT_EQ(fromApe.GenreId(), 8);
  EXPECT_EQ(fromApe.Genre(), "Jazz");
  EXPECT_EQ(fromApe.Year(), 2004);
  EXPECT_EQ(fromApe.Track(), 9);
  ape.SetGenre(u"Polka Dot");
  fromApe.Assign(ape);
  EXPECT_EQ(fromApe.GenreId(), 12);
  ape.SetGenre(u"17");
  fromApe.Assign(ape);
  EXPECT_EQ(fromApe.GenreId(), 17);

  // AssignTo is the same copy seen from the source.
  TVorbisTags vorbis;
  vorbis.SetAlbum(u"Al");
  TPersistent& asPersistent = fromApe;
  asPersistent.Assign(vorbis);
  EXPECT_EQ(fromApe.Album(), "Al");
  EXPECT_EQ(fromApe.Artist(), "");  // cleared first

  // A set assigned to itself keeps its values.
  copy.Assign(copy);
  EXPECT_EQ(copy.Title(), "T");

  TOtherPersistent other;
  EXPECT_THROW(copy.Assign(other), EConvertError);
  EXPECT_THROW(other.Assign(copy), EConvertError);
}

TEST(TagSetTest, Id3v2PropertiesFollowTheIdentifierSet) {
  TId3v2Tags t;
  EXPECT_EQ(t.IDSet(), 1);
  EXPECT_EQ(t.Count(), 24);
  t.SetTitle(u"New");
  EXPECT_EQ(t.AsWideString("TIT2"), u"New");
  t.SetIDSet(0);
  EXPECT_EQ(t.Title(), u"");
  t.SetTitle(u"Old");
  t.SetTrack("3");
  EXPECT_EQ(t.AsWideString("TT2"), u"Old");
  EXPECT_EQ(t.AsString("TRK"), "3");

  // A set in 2.2 keys copied into a set using later keys keeps its fields.
  TId3v2Tags later;
  later.Assign(t);
  EXPECT_EQ(later.IDSet(), 1);
  EXPECT_EQ(later.Title(), u"Old");
  EXPECT_EQ(later.Track(), "3");
  TTaggedOut out(nullptr);
  out.SetId3v2Tags(t);
  EXPECT_EQ(out.Id3v2Tags()->Title(), u"Old");
}

TEST(TagSetTest, GenreTableAndGenreNames) {
  std::set<std::string> names;
  for (int32_t i = 0; i < Id3v1GenreCount; ++i) {
    ASSERT_NE(Id3v1GenreNames[i], nullptr);
    names.insert(Id3v1GenreNames[i]);
  }
  EXPECT_EQ(names.size(), 148u);
  // The spellings are compared with id3v2's list in TagId3v1FileTest.
  TId3v1Tags t;
  EXPECT_EQ(t.GenreId(), 12);
  EXPECT_EQ(t.Genre(), "Other");
  t.SetGenre(" rock ");
  EXPECT_EQ(t.GenreId(), 17);
  t.SetGenre("Rockabilly");
  EXPECT_EQ(t.GenreId(), 17);
  t.SetGenre("death METAL");
  EXPECT_EQ(t.GenreId(), 22);
  t.SetValue("genre", int64_t(148));
  EXPECT_EQ(t.GenreId(), 12);
  t.SetValue("genre", int64_t(255));
  EXPECT_EQ(t.Genre(), "Other");
  EXPECT_EQ(Id3v1GenreIndex("synthpop"), 147);
  EXPECT_EQ(Id3v1GenreIndex(""), -1);
}

TEST(TagSetTest, TaggedComponentsOwnTheirSetsAndCopyOnSet) {
  TComponentPtr<TComponent> owner(new TComponent(nullptr));
  auto* in = new TTaggedIn(owner.get());
  ASSERT_NE(in->Id3v1Tags(), nullptr);
  ASSERT_NE(in->Id3v2Tags(), nullptr);
  ASSERT_NE(in->APEv2Tags(), nullptr);
  EXPECT_TRUE(in->Id3v2Tags()->Empty());

  auto* out = new TTaggedOut(owner.get());
  TId3v1Tags mine;
  mine.SetTitle("Mine");
  out->SetId3v1Tags(mine);
  EXPECT_NE(out->Id3v1Tags(), &mine);
  EXPECT_EQ(out->Id3v1Tags()->Title(), "Mine");
  mine.SetTitle("Changed later");
  EXPECT_EQ(out->Id3v1Tags()->Title(), "Mine");
  TAPEv2Tags ape;
  ape.SetAlbum(u"Album");
  out->SetAPEv2Tags(ape);
  EXPECT_EQ(out->APEv2Tags()->Album(), u"Album");
  EXPECT_FALSE(out->APEv2Tags()->Empty());
}
