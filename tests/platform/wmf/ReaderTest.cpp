// The synchronous reader on files made by ffmpeg: outputs and formats, sample times
// (each block stamped with its start), ranges, the end of the stream, attributes,
// and what it refuses.

#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>

#include "platform/wmf/WMF.h"
#include "tests/support/Files.h"
#include "tests/support/Tools.h"

namespace {

// A byte stream over a file descriptor.
class TFdStream : public IWMByteStream {
public:
  explicit TFdStream(const std::string& Path) : FFd(::open(Path.c_str(), O_RDONLY)) {}
  ~TFdStream() override {
    if (FFd >= 0) ::close(FFd);
  }
  HRESULT Read(void* Buffer, uint32_t Count, uint32_t* Read) override {
    const ssize_t n = ::read(FFd, Buffer, Count);
    if (Read) *Read = n > 0 ? static_cast<uint32_t>(n) : 0;
    return n > 0 ? S_OK : E_FAIL;
  }
  HRESULT Write(const void*, uint32_t, uint32_t*) override { return E_FAIL; }
  HRESULT Seek(int64_t Move, uint32_t Origin, uint64_t* NewPosition) override {
    const off_t p = ::lseek(FFd, Move, Origin == STREAM_SEEK_SET ? SEEK_SET : Origin == STREAM_SEEK_CUR ? SEEK_CUR : SEEK_END);
    if (p < 0) return E_FAIL;
    if (NewPosition) *NewPosition = static_cast<uint64_t>(p);
    return S_OK;
  }
  HRESULT SetSize(uint64_t) override { return E_FAIL; }
  HRESULT Stat(WMSTATSTG& S) override {
    struct stat st {};
    ::fstat(FFd, &st);
    S = WMSTATSTG();
    S.cbSize = static_cast<uint64_t>(st.st_size);
    return S_OK;
  }

private:
  int FFd;
};

std::string Make(const std::string& Name, const std::string& Args) {
  const std::string path = testsupport::TempPath(Name);
  testsupport::Shell("ffmpeg -nostdin -v error -y " + Args + " " + testsupport::Quote(path));
  return path;
}

}  // namespace

TEST(ReaderTest, BlocksCarryTheirStartTimesAndRangesStartWhereAsked) {
  const std::string path = Make("t.wma",
                                "-f lavfi -i sine=f=440:r=44100 -t 1.5 -ac 2 -c:a wmav2 -b:a 128k "
                                "-metadata title=Hello");
  TFdStream s(path);
  std::unique_ptr<IWMSyncReader> r;
  WMCreateSyncReader(nullptr, 0, r);
  ASSERT_EQ(r->OpenStream(&s), S_OK);
  uint32_t outputs = 0;
  r->GetOutputCount(outputs);
  ASSERT_EQ(outputs, 1u);
  WM_MEDIA_TYPE t;
  ASSERT_EQ(r->GetOutputProps(0, t), S_OK);
  EXPECT_EQ(t.majortype, WMMEDIATYPE_Audio);
  EXPECT_EQ(t.nChannels, 2);
  EXPECT_EQ(t.wBitsPerSample, 16);
  uint32_t formats = 0;
  r->GetOutputFormatCount(0, formats);
  EXPECT_EQ(formats, 2u);  // stereo and mono, 16 bits
  uint16_t stream = 0;
  r->GetStreamNumberForOutput(0, stream);
  EXPECT_EQ(r->SetReadStreamSamples(stream, true), NS_E_INVALID_REQUEST);  // compressed samples are not offered
  EXPECT_EQ(r->SetReadStreamSamples(stream, false), S_OK);

  int64_t frames = 0;
  ASSERT_EQ(r->GetOutputSampleCount(0, frames), S_OK);
  std::unique_ptr<INSSBuffer> sample;
  uint64_t time = 0, duration = 0, expected = 0;
  uint32_t flags = 0, output = 0;
  uint16_t number = 0;
  int64_t total = 0;
  int blocks = 0;
  HRESULT hr;
  while ((hr = r->GetNextSample(stream, sample, time, duration, flags, output, number)) == S_OK) {
    uint32_t length = 0;
    sample->GetLength(length);
    // Each block starts where the one before ended.
    EXPECT_NEAR(static_cast<double>(time), static_cast<double>(expected), 1.0) << blocks;
    expected = time + duration;
    total += length / 4;
    ++blocks;
  }
  EXPECT_EQ(hr, NS_E_NO_MORE_SAMPLES);
  EXPECT_EQ(total, frames);
  EXPECT_GT(blocks, 10);

  // From 0.5 s on: the first block starts there, to the sample.
  ASSERT_EQ(r->SetRange(5000000, 0), S_OK);
  ASSERT_EQ(r->GetNextSample(stream, sample, time, duration, flags, output, number), S_OK);
  EXPECT_EQ(time, 5000000u);
  total = 0;
  uint32_t length = 0;
  do {
    sample->GetLength(length);
    total += length / 4;
  } while (r->GetNextSample(stream, sample, time, duration, flags, output, number) == S_OK);
  EXPECT_EQ(total, frames - 22050);

  IWMHeaderInfo* h = r->HeaderInfo();
  ASSERT_NE(h, nullptr);
  uint16_t s0 = 0;
  WMT_ATTR_DATATYPE type;
  uint16_t size = 0;
  ASSERT_EQ(h->GetAttributeByName(s0, "Title", type, nullptr, size), S_OK);
  EXPECT_EQ(type, WMT_TYPE_STRING);
  EXPECT_EQ(size, 12);  // "Hello" and the terminating zero, UTF-16
  std::vector<uint8_t> v(size);
  uint16_t small = 4;
  EXPECT_EQ(h->GetAttributeByName(s0, "Title", type, v.data(), small), E_INVALIDARG);
  EXPECT_EQ(h->GetAttributeByName(s0, "Title", type, v.data(), size), S_OK);
  EXPECT_EQ(v[0], 'H');
  EXPECT_EQ(h->GetAttributeByName(s0, "WM/Composer", type, nullptr, size), ASF_E_NOTFOUND);
  ASSERT_EQ(h->GetAttributeByName(s0, "Duration", type, nullptr, size), S_OK);
  EXPECT_EQ(type, WMT_TYPE_QWORD);
  EXPECT_EQ(size, 8);
  EXPECT_EQ(h->SetAttribute(0, "Title", WMT_TYPE_STRING, v.data(), size), NS_E_INVALID_REQUEST);
  r->Close();
  EXPECT_EQ(r->HeaderInfo(), nullptr);
  ::unlink(path.c_str());
}

TEST(ReaderTest, OnlyAsfAndMp3AreTaken) {
  const std::string wav = Make("t.wav", "-f lavfi -i sine=f=440:r=8000 -t 0.3");
  const std::string flac = Make("t.flac", "-f lavfi -i sine=f=440:r=8000 -t 0.3");
  for (const auto& path : {wav, flac}) {
    TFdStream s(path);
    std::unique_ptr<IWMSyncReader> r;
    WMCreateSyncReader(nullptr, 0, r);
    EXPECT_EQ(r->OpenStream(&s), NS_E_INVALID_INPUT_FORMAT) << path;
    uint32_t outputs = 0;
    EXPECT_EQ(r->GetOutputCount(outputs), NS_E_INVALID_REQUEST);
    // The stream is left where the reader found it.
    uint64_t pos = 99;
    s.Seek(0, STREAM_SEEK_CUR, &pos);
    EXPECT_EQ(pos, 0u);
    ::unlink(path.c_str());
  }
}
