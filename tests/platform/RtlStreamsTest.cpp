// Streams: opening failures, seeking past the end, exact reads and copying between
// file and memory streams; copies are compared with cmp.
#include "RtlTestHelpers.h"
#include "platform/rtl/Streams.h"

namespace {

using testsupport::ReadFile;
using testsupport::TempPath;
using testsupport::WriteFile;

TEST(RtlStreams, OpeningFailuresRaiseTheirOwnClasses) {
  try {
    TFileStream f(TempPath("missing.jpg"), fmOpenRead | fmShareDenyWrite);
    FAIL();
  } catch (const EFOpenError& e) {
    EXPECT_NE(e.Message().find("missing.jpg"), std::string::npos);
  }
  EXPECT_THROW(TFileStream(testsupport::TempDir(), fmOpenRead), EFOpenError);
  EXPECT_THROW(TFileStream(TempPath("no/folder.jpg"), fmCreate), EFCreateError);
  // Both are stream errors, as callers catch them.
  EXPECT_THROW(TFileStream(TempPath("missing.jpg"), fmOpenRead), EStreamError);
}

TEST(RtlStreams, SeekingPastTheEndAndShortReads) {
  std::string f = TempPath("ten.bin");
  WriteFile(f, "0123456789");
  TFileStream s(f, fmOpenRead);
  EXPECT_EQ(s.Size(), 10);
  EXPECT_EQ(s.Seek(20, soBeginning), 20);
  char buf[16];
  EXPECT_EQ(s.Read(buf, 4), 0);
  EXPECT_EQ(s.Seek(-3, soEnd), 7);
  EXPECT_EQ(s.Read(buf, 16), 3);
  EXPECT_EQ(std::string(buf, 3), "789");
  s.SetPosition(8);
  EXPECT_THROW(s.ReadBuffer(buf, 4), EReadError);
  s.SetPosition(2);
  s.ReadBuffer(buf, 2);
  EXPECT_EQ(std::string(buf, 2), "23");
  EXPECT_EQ(s.Seek(1, soCurrent), 5);
  TMemoryStream m;
  m.Seek(4, soBeginning);
  m.WriteBuffer("ab", 2);
  EXPECT_EQ(m.Size(), 6);
  EXPECT_EQ(std::string(reinterpret_cast<const char*>(m.Memory()), 6), std::string("\0\0\0\0ab", 6));
  EXPECT_EQ(m.Seek(-100, soCurrent), 0);
  TReadOnlyMemoryStream r("xyz", 3);
  EXPECT_EQ(r.Write("a", 1), 0);
  EXPECT_THROW(r.WriteBuffer("a", 1), EWriteError);
}

TEST(RtlStreams, CopyFromCopiesWholeOrPart) {
  KIVO2_REQUIRE_TOOL("cmp");
  std::string src = TempPath("src.bin"), dst = TempPath("dst.bin");
  std::string data;
  for (int i = 0; i < 3 * 1024 * 1024 + 17; ++i) data += char(i * 131 + (i >> 9));
  WriteFile(src, data);
  {
    TFileStream in(src, fmOpenRead);
    TFileStream out(dst, fmCreate);
    in.SetPosition(12345);
    EXPECT_EQ(out.CopyFrom(in, 0), int64_t(data.size()));  // 0: all of it, from the start
  }
  EXPECT_EQ(testsupport::Run({"cmp", src, dst}).exitCode, 0);
  TFileStream in(src, fmOpenRead);
  TMemoryStream part;
  in.SetPosition(100);
  EXPECT_EQ(part.CopyFrom(in, 1000), 1000);
  EXPECT_EQ(std::string(reinterpret_cast<const char*>(part.Memory()), 1000), data.substr(100, 1000));
  EXPECT_EQ(part.CopyFrom(in, -5), 0);
  in.SetPosition(int64_t(data.size()) - 10);
  EXPECT_THROW(part.CopyFrom(in, 11), EReadError);
  TStringStream text("line");
  EXPECT_EQ(text.DataString(), "line");
}

}  // namespace

namespace {

// Reads of every size at every kind of position (small steps that refill the read-ahead,
// reads across its end, large reads past it, seeks inside and outside it, writes between
// reads) give the file's bytes, as a reader of picture headers and one of whole files do.
TEST(RtlStreams, MixedReadsSeeksAndWritesGiveTheFilesBytes) {
  std::string data;
  for (int i = 0; i < 300 * 1024 + 5; ++i) data += char(i * 7 + (i >> 11));
  const std::string path = testsupport::TempFile("mixed.bin", data);
  TFileStream s(path, fmOpenReadWrite);
  uint32_t seed = 12345;
  auto next = [&seed](uint32_t n) {
    seed = seed * 1103515245u + 12345u;
    return (seed >> 8) % n;
  };
  int64_t pos = 0;
  std::string buf;
  for (int step = 0; step < 4000; ++step) {
    const uint32_t what = next(10);
    if (what < 6) {
      // Mostly small reads, now and then one larger than the whole read-ahead.
      const int64_t n = what == 5 ? 1 + next(200000) : 1 + next(what < 3 ? 16 : 9000);
      buf.assign(size_t(n), '\0');
      const int64_t got = s.Read(buf.data(), n);
      const int64_t want = std::max<int64_t>(0, std::min<int64_t>(n, int64_t(data.size()) - pos));
      ASSERT_EQ(got, want) << "step " << step << " at " << pos;
      ASSERT_EQ(buf.compare(0, size_t(got), data, size_t(std::min<int64_t>(pos, int64_t(data.size()))), size_t(got)), 0)
          << "step " << step << " at " << pos;
      pos += got;
    } else if (what < 8) {
      pos = what == 6 ? int64_t(next(uint32_t(data.size()))) : std::max<int64_t>(0, pos - int64_t(next(20000)));
      ASSERT_EQ(s.Seek(pos, soBeginning), pos);
    } else if (what == 8) {
      const int64_t by = int64_t(next(30000)) - 10000;
      pos = std::max<int64_t>(0, pos + by);
      ASSERT_EQ(s.Seek(pos, soBeginning), pos);
      ASSERT_EQ(s.Position(), pos);
    } else if (pos + 3 <= int64_t(data.size())) {
      // A write in between: what follows reads the new bytes.
      const std::string patch = {char(step), char(step >> 8), 'w'};
      ASSERT_EQ(s.Write(patch.data(), 3), 3);
      data.replace(size_t(pos), 3, patch);
      pos += 3;
    }
  }
  // The file holds what was written, where it was written (read by other means).
  EXPECT_EQ(ReadFile(path), data);
}

}  // namespace
