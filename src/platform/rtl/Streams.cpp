#include "platform/rtl/Streams.h"

#include "platform/i18n/GnuGetText.h"
#include "platform/rtl/FileFaults.h"
#include "platform/rtl/RtlInternal.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <limits>

void TStream::ReadBuffer(void* buffer, int64_t count) {
  if (count < 0 || Read(buffer, count) != count) throw EReadError(_("Stream read error"));
}

void TStream::WriteBuffer(const void* buffer, int64_t count) {
  if (count < 0 || Write(buffer, count) != count) throw EWriteError(_("Stream write error"));
}

int64_t TStream::Size() {
  int64_t pos = Seek(0, soCurrent);
  int64_t size = Seek(0, soEnd);
  Seek(pos, soBeginning);
  return size;
}

void TStream::SetSize(int64_t) { throw EStreamError(_("Stream size cannot be changed")); }

int64_t TStream::CopyFrom(TStream& source, int64_t count) {
  if (count == 0) {
    source.SetPosition(0);
    count = source.Size();
  }
  if (count <= 0) return 0;
  int64_t result = count;
  std::vector<uint8_t> buf(size_t(std::min<int64_t>(count, 1 << 20)));
  while (count > 0) {
    int64_t n = std::min<int64_t>(count, int64_t(buf.size()));
    source.ReadBuffer(buf.data(), n);
    WriteBuffer(buf.data(), n);
    count -= n;
  }
  return result;
}

// ---------------------------------------------------------------------------

namespace {
// The first fill after opening or a seek is small, as readers of picture headers and
// metadata take a few bytes here and there; each further fill in a row doubles, up to the
// full read-ahead, for readers that go through the whole file.
constexpr size_t kFirstFill = 8 * 1024;
constexpr size_t kReadAhead = 64 * 1024;
}

TFileStream::TFileStream(const std::string& fileName, uint16_t mode) : fileName_(fileName) {
  if (mode == fmCreate || (mode & 0xFF00) == fmCreate) {
    fd_ = fileio::Open(fileName, O_RDWR | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
    if (fd_ < 0) throw EFCreateError(rtl_internal::FileErrorText("Cannot create file \"%s\". %s", fileName, errno));
    return;
  }
  int flags = O_CLOEXEC;
  switch (mode & 0x3) {
    case fmOpenWrite: flags |= O_WRONLY; break;
    case fmOpenReadWrite: flags |= O_RDWR; break;
    default: flags |= O_RDONLY; break;
  }
  fd_ = fileio::Open(fileName, flags);
  if (fd_ < 0) throw EFOpenError(rtl_internal::FileErrorText("Cannot open file \"%s\". %s", fileName, errno));
  struct stat st;
  if (fstat(fd_, &st) == 0 && S_ISDIR(st.st_mode)) {
    ::close(fd_);
    fd_ = -1;
    throw EFOpenError(rtl_internal::FileErrorText("Cannot open file \"%s\". %s", fileName, EISDIR));
  }
}

TFileStream::~TFileStream() {
  if (fd_ >= 0) ::close(fd_);
}

void TFileStream::dropReadBuffer() {
  if (readPos_ < readLen_) {
    filePos_ -= int64_t(readLen_ - readPos_);
    ::lseek(fd_, filePos_, SEEK_SET);
  }
  readLen_ = 0;
  readPos_ = 0;
  nextFill_ = 0;
}

int64_t TFileStream::Read(void* buffer, int64_t count) {
  if (count <= 0) return 0;
  auto* out = static_cast<uint8_t*>(buffer);
  int64_t done = 0;
  while (done < count) {
    if (readPos_ < readLen_) {
      size_t n = size_t(std::min<int64_t>(count - done, int64_t(readLen_ - readPos_)));
      std::memcpy(out + done, readBuf_.get() + readPos_, n);
      readPos_ += n;
      done += int64_t(n);
      continue;
    }
    readLen_ = 0;
    readPos_ = 0;
    const size_t fill = nextFill_ ? nextFill_ : kFirstFill;
    const int64_t want = count - done;
    ssize_t r;
    if (want >= int64_t(fill)) {
      // Large reads go straight into the caller's buffer.
      r = ::read(fd_, out + done, size_t(std::min<int64_t>(want, std::numeric_limits<ssize_t>::max())));
      if (r > 0) done += r;
    } else {
      if (!readBuf_) readBuf_ = std::make_unique_for_overwrite<uint8_t[]>(kReadAhead);
      r = ::read(fd_, readBuf_.get(), fill);
      if (r > 0) readLen_ = size_t(r);
    }
    if (r < 0 && errno == EINTR) continue;
    if (r <= 0) break;
    filePos_ += r;
    nextFill_ = std::min(fill * 2, kReadAhead);
  }
  return done;
}

int64_t TFileStream::Write(const void* buffer, int64_t count) {
  if (count <= 0) return 0;
  dropReadBuffer();
  const auto* in = static_cast<const uint8_t*>(buffer);
  int64_t done = 0;
  while (done < count) {
    ssize_t w = fileio::Write(fd_, in + done, size_t(count - done));
    if (w <= 0) break;
    done += w;
    filePos_ += w;
  }
  return done;
}

int64_t TFileStream::Seek(int64_t offset, TSeekOrigin origin) {
  int64_t logical = filePos_ - int64_t(readLen_ - readPos_);
  if (origin == soCurrent) {
    if (offset == 0) return logical;
    int64_t target = logical + offset;
    // A seek inside the read-ahead keeps it.
    int64_t bufStart = filePos_ - int64_t(readLen_);
    if (target >= bufStart && target <= filePos_) {
      readPos_ = size_t(target - bufStart);
      return target;
    }
    offset = target;
    origin = soBeginning;
  }
  if (origin == soBeginning) {
    int64_t bufStart = filePos_ - int64_t(readLen_);
    if (offset >= bufStart && offset <= filePos_ && readLen_ > 0) {
      readPos_ = size_t(offset - bufStart);
      return offset;
    }
  }
  readLen_ = 0;
  readPos_ = 0;
  nextFill_ = 0;
  off_t r = ::lseek(fd_, offset, origin == soBeginning ? SEEK_SET : SEEK_END);
  if (r < 0) {
    ::lseek(fd_, filePos_, SEEK_SET);
    return filePos_;
  }
  filePos_ = r;
  return filePos_;
}

int64_t TFileStream::Size() {
  struct stat st;
  if (fstat(fd_, &st) != 0) return 0;
  return st.st_size;
}

void TFileStream::SetSize(int64_t newSize) {
  int64_t pos = Position();
  dropReadBuffer();
  if (::ftruncate(fd_, newSize) != 0) throw EStreamError(rtl_internal::FileErrorText("Cannot set the size of \"%s\". %s", fileName_, errno));
  Seek(std::min(pos, newSize), soBeginning);
}

// ---------------------------------------------------------------------------

int64_t TMemoryStream::Read(void* buffer, int64_t count) {
  if (count <= 0 || pos_ >= int64_t(data_.size())) return 0;
  int64_t n = std::min<int64_t>(count, int64_t(data_.size()) - pos_);
  std::memcpy(buffer, data_.data() + pos_, size_t(n));
  pos_ += n;
  return n;
}

int64_t TMemoryStream::Write(const void* buffer, int64_t count) {
  if (count <= 0) return 0;
  if (pos_ + count > int64_t(data_.size())) data_.resize(size_t(pos_ + count));
  std::memcpy(data_.data() + pos_, buffer, size_t(count));
  pos_ += count;
  return count;
}

int64_t TMemoryStream::Seek(int64_t offset, TSeekOrigin origin) {
  int64_t base = origin == soBeginning ? 0 : origin == soCurrent ? pos_ : int64_t(data_.size());
  int64_t target = base + offset;
  if (target < 0) target = 0;
  pos_ = target;
  return pos_;
}

void TMemoryStream::SetSize(int64_t newSize) {
  if (newSize < 0) newSize = 0;
  data_.resize(size_t(newSize));
  if (pos_ > newSize) pos_ = newSize;
}

void TMemoryStream::Clear() {
  data_.clear();
  data_.shrink_to_fit();
  pos_ = 0;
}

void TMemoryStream::LoadFromStream(TStream& stream) {
  stream.SetPosition(0);
  int64_t n = stream.Size();
  data_.resize(size_t(n));
  if (n) stream.ReadBuffer(data_.data(), n);
  pos_ = 0;
}

void TMemoryStream::LoadFromFile(const std::string& fileName) {
  TFileStream f(fileName, fmOpenRead | fmShareDenyWrite);
  LoadFromStream(f);
}

void TMemoryStream::SaveToStream(TStream& stream) {
  if (!data_.empty()) stream.WriteBuffer(data_.data(), int64_t(data_.size()));
}

void TMemoryStream::SaveToFile(const std::string& fileName) {
  TFileStream f(fileName, fmCreate);
  SaveToStream(f);
}

// ---------------------------------------------------------------------------

int64_t TReadOnlyMemoryStream::Read(void* buffer, int64_t count) {
  if (count <= 0 || pos_ >= size_) return 0;
  int64_t n = std::min(count, size_ - pos_);
  std::memcpy(buffer, data_ + pos_, size_t(n));
  pos_ += n;
  return n;
}

int64_t TReadOnlyMemoryStream::Write(const void*, int64_t) { return 0; }

int64_t TReadOnlyMemoryStream::Seek(int64_t offset, TSeekOrigin origin) {
  int64_t base = origin == soBeginning ? 0 : origin == soCurrent ? pos_ : size_;
  pos_ = std::max<int64_t>(0, base + offset);
  return pos_;
}

// ---------------------------------------------------------------------------

TStringStream::TStringStream(const std::string& s) {
  if (!s.empty()) {
    Write(s.data(), int64_t(s.size()));
    SetPosition(0);
  }
}

std::string TStringStream::DataString() { return std::string(reinterpret_cast<const char*>(Memory()), size_t(Size())); }
