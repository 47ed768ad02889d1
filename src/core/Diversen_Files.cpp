// Diversen: facts about one file or drive, file operations and path helpers.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cmath>
#include <cstdio>

#include "core/Diversen.h"
#include "platform/graphics/Graphics.h"
#include "platform/graphics/Jpeg.h"
#include "platform/gui/Forms.h"
#include "platform/rtl/FileFaults.h"
#include "platform/rtl/Paths.h"
#include "platform/rtl/SysUtils.h"
#include "platform/shell/Shell.h"

namespace {

void ProcessPendingMessages() {
  if (Application) Application->ProcessMessages();
}

}  // namespace

// ---------------------------------------------------------------------------
// File and drive facts
// ---------------------------------------------------------------------------

std::string FileDateAsExifText(const std::string& fileName) {
  TDateTime modified;
  if (fileName.empty() || !FileAge(fileName, modified)) return "0000:00:00 00:00:00";
  int year, month, day, hour, minute, second, msec;
  DecodeDateTime(modified, year, month, day, hour, minute, second, msec);
  // Built by hand: FormatDateTime would put the language's time separator for each ':'.
  char text[64];
  std::snprintf(text, sizeof text, "%04d:%02d:%02d %02d:%02d:%02d", year, month, day, hour, minute, second);
  return text;
}

int32_t FileDosDateTime(const std::string& fileName) {
  struct stat st;
  if (fileName.empty() || ::stat(fileName.c_str(), &st) != 0 || S_ISDIR(st.st_mode)) return -1;
  return DateTimeToFileDate(UnixToDateTime(int64_t(st.st_mtim.tv_sec)));
}

int CopyFileDate(const std::string& source, const std::string& target) {
  int fd = target.empty() ? -1 : fileio::Open(target, O_RDWR | O_NONBLOCK | O_CLOEXEC);
  if (fd < 0) return -1;
  int result = 0;
  struct stat st;
  if (source.empty() || ::stat(source.c_str(), &st) != 0) {
    result = ENOENT;
  } else {
    struct timespec times[2] = {{0, UTIME_OMIT}, st.st_mtim};
    if (::futimens(fd, times) != 0) result = errno;
  }
  ::close(fd);
  return result;
}

int64_t GetFileSizeByName(const std::string& fileName) {
  struct stat st;
  if (fileName.empty() || ::stat(fileName.c_str(), &st) != 0 || S_ISDIR(st.st_mode)) return 0;
  return int64_t(st.st_size);
}

std::string FileSizeText(const std::string& fileName) {
  struct stat st;
  if (fileName.empty() || ::stat(fileName.c_str(), &st) != 0) return "0 bytes";
  return IntToStr(GetFileSizeByName(fileName) / 1024) + " Kbytes";
}

std::string SizeWithUnitText(int64_t byteCount) { return ByteSizeText(byteCount); }

std::string FileSizeWithUnitText(const std::string& fileName) { return SizeWithUnitText(GetFileSizeByName(fileName)); }

std::string MegabyteText(double byteCount) {
  double megabytes = byteCount / 1024 / 1024;
  return FormatFloat(" #,##0.##", megabytes) + (megabytes > 9 ? " MB" : " MB     ");
}

std::string GigabyteText(double byteCount) { return FormatFloat("#,##0.##", byteCount / 1024 / 1024 / 1024) + " GB"; }

int64_t DriveFreeSpace(const std::string& path) { return path.empty() ? -1 : DiskFree(path); }

uint8_t DriveKind(const std::string& path) {
  TDriveInfo info;
  if (path.empty() || !DriveInfoOfPath(path, info) || info.Kind == dkUnknown) return 255;
  return uint8_t(info.Kind);
}

bool GetJpegDimensions(const std::string& fileName, int& height, int& width) {
  try {
    TPicture picture;
    picture.LoadFromFile(fileName);
    TGraphic* graphic = picture.Graphic();
    if (!graphic || !graphic->ClassType()->InheritsFrom(TJPEGImage::ClassRef())) return false;
    height = graphic->Height();
    width = graphic->Width();
    return height != 0 && width != 0;
  } catch (const std::exception&) {
    return false;
  }
}

// ---------------------------------------------------------------------------
// File operations
// ---------------------------------------------------------------------------

bool ShellMoveFile(const std::string& source, const std::string& destination) { return MovePath(source, destination); }

bool ShellDeleteToRecycleBin(const std::string& path) { return !path.empty() && MoveToTrash(ExpandFileName(path)); }

bool RecycleFile(const std::string& fileName) {
  if (fileName.empty() || !FileExists(fileName)) return false;
  return MoveToTrash(ExpandFileName(fileName));
}

bool ForceDeleteFile(const std::string& fileName) {
  if (fileName.empty()) return false;
  ClearReadOnly(fileName);
  // The file must open for reading (a pipe is opened without waiting for a writer).
  int fd = fileio::Open(fileName, O_RDONLY | O_NONBLOCK | O_CLOEXEC);
  if (fd < 0) return false;
  ::close(fd);
  return fileio::Unlink(fileName) == 0;
}

void ClearReadOnly(const std::string& fileName) {
  if (FileExists(fileName) && FileIsReadOnly(fileName)) FileSetReadOnly(fileName, false);
}

bool CopyFileKeepAttr(const std::string& source, const std::string& target) {
  return CopyFileReplacing(source, target, ProcessPendingMessages);
}

bool FolderExists(const std::string& path) { return !path.empty() && DirectoryExists(path); }

std::string GetTempFolder() { return GetTempDir(); }

// ---------------------------------------------------------------------------
// Paths
// ---------------------------------------------------------------------------

void AddTrailingBackslash(std::string& path) {
  if (!path.empty() && path.back() != PathDelim) path += PathDelim;
}

std::string RemoveTrailingBackslash(const std::string& path) {
  if (path.size() > 1 && path.back() == PathDelim) return path.substr(0, path.size() - 1);
  return path;
}

bool PathIsWithin(const std::string& path, const std::string& folder) {
  const std::string inner = RemoveTrailingBackslash(path), outer = RemoveTrailingBackslash(folder);
  if (outer.empty() || inner.compare(0, outer.size(), outer) != 0) return false;
  // The root holds every full path; any other folder ends where a separator follows.
  return inner.size() == outer.size() || outer == "/" || inner[outer.size()] == PathDelim;
}

std::string ReplacePathStart(const std::string& oldFolder, const std::string& newFolder, const std::string& path) {
  if (!PathIsWithin(path, oldFolder)) return path;
  const std::string outer = RemoveTrailingBackslash(oldFolder);
  const std::string rest = outer == "/" ? RemoveTrailingBackslash(path).substr(1)
                                        : RemoveTrailingBackslash(path).substr(outer.size());
  if (rest.empty()) return RemoveTrailingBackslash(newFolder);
  return RemoveTrailingBackslash(PathJoin(newFolder, rest));
}

void LastFolderName(std::string& path) {
  if (!path.empty() && path.back() == PathDelim) path.pop_back();
  size_t slash = path.rfind(PathDelim);
  if (slash != std::string::npos) path.erase(0, slash + 1);
}

int GetPathKind(const std::string& path) {
  if (!IsFullPath(path)) return 0;
  if (DirectoryExists(path) && DriveKind(path) == dkRemote) return 2;
  return 1;
}

std::string DesktopFolder() { return UserFolder(TUserFolder::Desktop); }

bool IsDirectoryAttr(int attr) { return (attr & faDirectory) != 0; }
