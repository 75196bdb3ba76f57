// Streams over memory, descriptors and named files, and their errors.

#include <gtest/gtest.h>

#include <sys/stat.h>

#include "platform/rtl/FileUtils.h"
#include "platform/rtl/Streams.h"
#include "platform/rtl/SysUtils.h"

TEST(MemoryStreamTest, ReadWriteSeekAndSize) {
  TMemoryStream m;
  const char text[] = "0123456789";
  EXPECT_EQ(m.Write(text, 10), 10);
  EXPECT_EQ(m.Size(), 10);
  m.SetPosition(20);  // writing past the end grows the stream with zeros
  m.WriteBuffer("x", 1);
  EXPECT_EQ(m.Size(), 21);
  EXPECT_EQ(m.Memory()[15], 0);
  m.SetPosition(8);
  char buf[8] = {};
  EXPECT_EQ(m.Read(buf, 8), 8);  // "89" + zeros up to 16
  EXPECT_EQ(buf[0], '8');
  m.SetSize(4);
  EXPECT_EQ(m.Position(), 4);
  EXPECT_EQ(m.Read(buf, 4), 0);
  EXPECT_THROW(m.ReadBuffer(buf, 1), EReadError);
  EXPECT_THROW(m.Seek(-1, soBeginning), EStreamError);
  EXPECT_EQ(m.Seek(-2, soEnd), 2);
}

TEST(FileStreamTest, CreateOpenAndCopy) {
  const std::string name = CreateUniqueFile(GetTempDirectory(), "stream", ".bin");
  {
    TFileStream f(name, fmCreate);
    std::string s(100000, 'a');
    for (size_t i = 0; i < s.size(); ++i) s[i] = static_cast<char>(i * 31);
    f.WriteBuffer(s.data(), static_cast<int64_t>(s.size()));
    EXPECT_EQ(f.Size(), 100000);
    f.SetSize(70000);
    EXPECT_EQ(f.Size(), 70000);
  }
  {
    TFileStream in(name, fmOpenRead | fmShareDenyWrite);
    EXPECT_THROW(in.WriteBuffer("x", 1), EWriteError);  // opened for reading only
    TMemoryStream m;
    EXPECT_EQ(m.CopyFrom(in, 0), 70000);
    EXPECT_EQ(m.Memory()[69999], static_cast<uint8_t>(69999 * 31));
  }
  {
    TFileStream rw(name, fmOpenReadWrite);
    rw.Seek(0, soEnd);
    rw.WriteBuffer("end", 3);
    EXPECT_EQ(rw.Size(), 70003);
  }
  EXPECT_TRUE(DeleteFile(name));
}

TEST(FileStreamTest, FailuresCarryTheSystemsReason) {
  try {
    TFileStream f("/nonexistent-dir/x.bin", fmOpenRead);
    ADD_FAILURE();
  } catch (const EFOpenError& E) {
    EXPECT_NE(E.Message().find(SysErrorMessage(ENOENT)), std::string::npos);
    EXPECT_NE(E.Message().find("/nonexistent-dir/x.bin"), std::string::npos);
  }
  EXPECT_THROW(TFileStream("/nonexistent-dir/x.bin", fmCreate), EFCreateError);
  // A folder is not a file to stream.
  EXPECT_THROW(TFileStream(GetTempDirectory(), fmOpenRead), EFOpenError);
}
