// Lossless JPEG rotation and flipping through the jpegtran of libjpeg-turbo, and the one
// file step that they share with the lossless crop.
//
// jpegtran never writes into the picture: it writes a temporary file beside it, and that
// file takes the picture's name (with the picture's mode, date and trailer) only when
// jpegtran ended with status 0 and the file holds a whole JPEG picture of the expected
// size. A failed, refused, killed or timed-out run, or a crash at any moment, leaves a
// whole picture under the picture's name.
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <set>

#include "controls/QzFileExplorer28.h"
#include "core/Diversen.h"
#include "core/Unit1.h"
#include "platform/graphics/Jpeg.h"
#include "platform/gui/ComCtrls.h"
#include "platform/gui/Dialogs.h"
#include "platform/gui/ExtCtrls.h"
#include "platform/gui/Menus.h"
#include "platform/gui/StdCtrls.h"
#include "platform/i18n/GnuGetText.h"
#include "platform/rtl/Classes.h"
#include "platform/rtl/FileFaults.h"
#include "platform/rtl/Paths.h"
#include "platform/rtl/SysUtils.h"
#include "platform/shell/Shell.h"

namespace {

// jpegtran reads and writes at disk speed; a huge picture on a slow share still gets
// there in this time. Past it the run is stopped, which harms nothing.
uint16_t JpegtranTimeOut(int64_t fileSize) {
  const int64_t seconds = 120 + fileSize / (int64_t(1) << 20) * 4;
  return uint16_t(std::min<int64_t>(seconds, 3600));
}

// The picture's size from its header; false when it is no JPEG picture.
bool JpegSize(const std::string& fileName, int& width, int& height) {
  try {
    TJPEGImage jpeg;
    jpeg.LoadFromFile(fileName);
    width = jpeg.Width();
    height = jpeg.Height();
    return width > 0 && height > 0;
  } catch (const std::exception&) {
    return false;
  }
}

// The file ends with the end-of-image marker that jpegtran writes last.
bool EndsWithEndOfImage(const std::string& fileName) {
  const int fd = fileio::Open(fileName, O_RDONLY | O_CLOEXEC);
  if (fd < 0) return false;
  unsigned char tail[2] = {0, 0};
  struct stat st;
  const bool whole = ::fstat(fd, &st) == 0 && st.st_size >= 4 && ::pread(fd, tail, 2, st.st_size - 2) == 2 &&
                     tail[0] == 0xFF && tail[1] == 0xD9;
  ::close(fd);
  return whole;
}

// A side after -trim: the edge blocks that do not fill a whole MCU (at most 31 pixels)
// may be gone.
bool Trimmed(int got, int want) { return got <= want && got + 32 > want; }

// The layout of a JPEG file as far as the lossless step needs it: where its first picture
// ends (after the end-of-image marker: what follows is a trailer such as the further
// pictures of an MPF file or a motion photo's video), and where the byte-order mark of its
// MPF index lies (0 when it has none).
struct TJpegLayout {
  size_t end = 0;
  size_t mpfHeader = 0;
};

uint32_t Get(const std::string& b, size_t at, int size, bool little) {
  uint32_t v = 0;
  for (int i = 0; i < size; ++i) {
    const uint32_t byte = uint8_t(b[at + size_t(little ? size - 1 - i : i)]);
    v = (v << 8) | byte;
  }
  return v;
}

void Put(std::string& b, size_t at, int size, bool little, uint32_t v) {
  for (int i = 0; i < size; ++i) b[at + size_t(little ? i : size - 1 - i)] = char((v >> (8 * i)) & 0xFF);
}

// Walks the markers and the compressed data to the end of the first picture; false for
// anything that is no whole JPEG picture.
bool ReadJpegLayout(const std::string& b, TJpegLayout& layout) {
  const size_t n = b.size();
  if (n < 4 || uint8_t(b[0]) != 0xFF || uint8_t(b[1]) != 0xD8) return false;
  size_t pos = 2;
  for (;;) {
    if (pos + 1 >= n || uint8_t(b[pos]) != 0xFF) return false;
    while (pos + 1 < n && uint8_t(b[pos + 1]) == 0xFF) ++pos;  // fill bytes
    if (pos + 1 >= n) return false;
    const uint8_t marker = uint8_t(b[pos + 1]);
    if (marker == 0xD9) {
      layout.end = pos + 2;
      return true;
    }
    if (marker == 0x01 || (marker >= 0xD0 && marker <= 0xD7)) {
      pos += 2;
      continue;
    }
    if (pos + 4 > n) return false;
    const size_t length = Get(b, pos + 2, 2, false);
    if (length < 2 || pos + 2 + length > n) return false;
    if (marker == 0xE2 && length >= 16 && layout.mpfHeader == 0 && b.compare(pos + 4, 4, std::string("MPF\0", 4)) == 0)
      layout.mpfHeader = pos + 8;
    pos += 2 + length;
    if (marker != 0xDA) continue;
    // Compressed data: up to the next marker that is no stuffed byte or restart marker.
    for (;;) {
      const void* ff = std::memchr(b.data() + pos, 0xFF, n - pos);
      if (!ff) return false;
      pos = size_t(static_cast<const char*>(ff) - b.data());
      if (pos + 1 >= n) return false;
      const uint8_t next = uint8_t(b[pos + 1]);
      if (next == 0x00 || (next >= 0xD0 && next <= 0xD7)) {
        pos += 2;
      } else if (next == 0xFF) {
        ++pos;
      } else {
        break;
      }
    }
  }
}

// The entries of the MPF index (attribute, size, offset, two dependants: 16 bytes each)
// at the byte-order mark header; false when it is not a readable index.
bool MpfEntries(const std::string& b, size_t header, size_t& entries, uint32_t& count, bool& little) {
  if (header == 0 || header + 8 > b.size()) return false;
  little = b.compare(header, 4, std::string("II*\0", 4)) == 0;
  if (!little && b.compare(header, 4, std::string("MM\0*", 4)) != 0) return false;
  const size_t ifd = header + Get(b, header + 4, 4, little);
  if (ifd + 2 > b.size() || ifd < header) return false;
  const uint32_t tags = Get(b, ifd, 2, little);
  for (uint32_t t = 0; t < tags && ifd + 2 + 12 * (t + 1) <= b.size(); ++t) {
    const size_t tag = ifd + 2 + 12 * t;
    if (Get(b, tag, 2, little) != 0xB002) continue;
    const uint32_t bytes = Get(b, tag + 4, 4, little);
    entries = header + Get(b, tag + 8, 4, little);
    count = bytes / 16;
    return count > 0 && entries >= header && entries + size_t(count) * 16 <= b.size();
  }
  return false;
}

// Carries the trailer of the original (everything after its first picture) into the turned
// file out, whose MPF index then points at the further pictures where they now lie. The
// number of further pictures the index names (they are carried, not turned).
int CarryTrailer(const std::string& original, const TJpegLayout& from, std::string& out) {
  TJpegLayout to;
  if (!ReadJpegLayout(out, to)) return 0;
  out.resize(to.end);
  size_t oldEntries = 0, newEntries = 0;
  uint32_t oldCount = 0, newCount = 0;
  bool oldLittle = false, newLittle = false;
  int further = 0;
  if (MpfEntries(original, from.mpfHeader, oldEntries, oldCount, oldLittle) &&
      MpfEntries(out, to.mpfHeader, newEntries, newCount, newLittle) && newCount == oldCount) {
    for (uint32_t i = 0; i < newCount; ++i) {
      const size_t entry = newEntries + 16 * i;
      const uint32_t offset = Get(original, oldEntries + 16 * i + 8, 4, oldLittle);
      if (offset == 0) {
        // The first picture itself: its size changed.
        Put(out, entry + 4, 4, newLittle, uint32_t(to.end));
        continue;
      }
      ++further;
      const size_t at = from.mpfHeader + offset;
      if (at < from.end || at > original.size()) continue;  // not in the trailer: left alone
      Put(out, entry + 8, 4, newLittle, uint32_t(at - from.end + to.end - to.mpfHeader));
    }
  }
  out.append(original, from.end, std::string::npos);
  return further;
}

// Writes bytes over the file (jpegtran's output, not yet in use) and flushes it.
bool RewriteWorkFile(const std::string& fileName, const std::string& bytes) {
  const int fd = fileio::Open(fileName, O_WRONLY | O_TRUNC | O_CLOEXEC);
  if (fd < 0) return false;
  const bool ok = fileio::WriteAll(fd, bytes.data(), bytes.size()) && fileio::Sync(fd) == 0;
  return ::close(fd) == 0 && ok;
}

bool SyncFile(const std::string& fileName) {
  const int fd = fileio::Open(fileName, O_RDONLY | O_CLOEXEC);
  if (fd < 0) return false;
  const bool ok = fileio::Sync(fd) == 0;
  ::close(fd);
  return ok;
}

// Why jpegtran could not write its output into the folder, as far as the disk tells:
// EROFS on a read-only file system, ENOSPC when less room is left than the picture needs;
// 0 when the disk is not the reason.
int DiskReason(const std::string& folder, int64_t needed) {
  struct statvfs vfs;
  if (::statvfs(folder.c_str(), &vfs) != 0) return 0;
  if (vfs.f_flag & ST_RDONLY) return EROFS;
  return int64_t(vfs.f_bavail) * int64_t(vfs.f_frsize) < needed ? ENOSPC : 0;
}

// Gives the untouched picture the backup's name beside it: a second name of the file, or
// where the file system has none a flushed copy; an old backup is replaced only when
// replace says so, and only once the new one is whole.
bool MakeBackup(const std::string& fileName, const std::string& backup, bool replace) {
  std::string temp = WorkFileTemplate(backup, ".kivo2copy-");
  temp.resize(temp.size() - 6);
  temp += "backup";
  fileio::Unlink(temp);
  if (fileio::Link(fileName, temp) != 0) {
    if (errno != EPERM && errno != EOPNOTSUPP && errno != EMLINK && errno != ENOSYS) return false;
    temp = WorkFileTemplate(backup, ".kivo2copy-");
    if (!CopyFileToNew(fileName, temp, true, true, true)) return false;
  }
  if ((replace ? fileio::Rename(temp, backup) : fileio::RenameNoReplace(temp, backup)) == 0) return true;
  fileio::Unlink(temp);
  return false;
}

}  // namespace

// ===========================================================================
// One file
// ===========================================================================
std::string TForm1::JpegtranProgram() const {
  const std::string folder = FindNameNoCase(FProgramDir, "jpegtran");
  if (!folder.empty()) {
    const std::string program = FindNameNoCase(folder, "jpegtran");
    if (!program.empty() && !FindProgramFile(program).empty()) return program;
  }
  return FindProgramFile("jpegtran");
}

void TForm1::DeleteCachedThumb(const std::string& FileName) {
  if (FThumbCacheFolder.empty()) return;
  const std::string thumb = ThumbNailName(FileName);
  if (FileExists(thumb)) fileio::Unlink(thumb);
}

bool TForm1::LosslessTransform(const TLosslessStep& Step, const std::string& FileName) {
  const std::string program = JpegtranProgram();
  if (program.empty()) {
    ShowMessage(_("The file jpegtran.exe is needed for this action") + "\r" + _("But not found in the folder: ") + FProgramDir +
                "jpegtran");
    return false;
  }
  // A listed link stays a link: the picture it points to is turned, in its own folder and
  // with its own backup beside it.
  std::string picture = FileName;
  if (char* real = ::realpath(FileName.c_str(), nullptr)) {
    picture = real;
    std::free(real);
  }
  ClearReadOnly(picture);
  struct stat original {};
  if (::stat(picture.c_str(), &original) != 0 || !S_ISREG(original.st_mode)) {
    const int err = S_ISDIR(original.st_mode) ? EISDIR : original.st_mode != 0 ? EINVAL : errno;
    ShowMessage(Step.FailureText + "\r" + FileName + "\r" + SysErrorMessage(err));
    return false;
  }
  const std::string folder = ExtractFilePath(picture);
  const std::string backup = folder + "backup_" + ExtractFileName(picture);
  bool makeBackup = Step.Backup, replaceBackup = false;
  if (makeBackup && FileExists(backup)) {
    switch (TranslatedMessageDialog(_("Backup file found, overwrite backup file?"), mtConfirmation,
                                    TMsgDlgButtons{mbYes, mbNo, mbCancel}, 0)) {
      case mrCancel:
        return false;
      case mrYes:
        replaceBackup = true;
        break;
      default:
        makeBackup = false;  // the file is transformed without a backup
        break;
    }
  }

  HourGlassCursor();
  DeleteCachedThumb(FileName);
  if (picture != FileName) DeleteCachedThumb(picture);
  if (makeBackup) DeleteCachedThumb(backup);

  // The picture keeps its name and bytes until the end: jpegtran writes the turned picture
  // into a work file beside it, which is checked, given the picture's trailer (the further
  // pictures of an MPF file, a motion photo's video) and date, and flushed; the backup then
  // gets its name by a second name of the picture (or a copy), and the work file takes the
  // picture's name in one step. The first step that fails gives the reason.
  std::string reason;
  int diskError = 0;  // ENOSPC, EROFS or EDQUOT when the disk is the reason
  auto failed = [&reason](const std::string& why) {
    if (reason.empty()) reason = why;
    return false;
  };
  auto failedErrno = [&](bool ok) {
    if (ok || !reason.empty()) return ok;
    const int err = errno;
    if (err == ENOSPC || err == EROFS || err == EDQUOT) diskError = err;
    return failed(SysErrorMessage(err));
  };
  std::string bytes;
  TJpegLayout layout;
  int width = 0, height = 0;
  try {
    bytes = ReadFileBytes(picture);
  } catch (const Exception& e) {
    failed(e.Message());
  }
  bool done = reason.empty() && ((ReadJpegLayout(bytes, layout) && JpegSize(picture, width, height)) ||
                                 failed(_("The file is not a whole JPEG picture.")));
  std::string output = WorkFileTemplate(picture, ".kivo2lossless-");
  int fd = done ? fileio::MakeTemp(output, O_CLOEXEC) : -1;
  done = done && failedErrno(fd >= 0);
  bool backupMade = false;
  if (fd >= 0) {
    // The new file gets the picture's permissions and, where allowed, its owner.
    if (::fchown(fd, original.st_uid, original.st_gid) != 0) {
      // An ordinary user cannot give a file away; it stays the user's own.
    }
    ::fchmod(fd, (original.st_mode & 07777) | S_IWUSR);
    ::close(fd);
    std::vector<std::string> argv{program};
    if (Step.Perfect) argv.push_back("-perfect");
    for (const char* word : {"-copy", "all", "-trim"}) argv.push_back(word);
    argv.insert(argv.end(), Step.Transform.begin(), Step.Transform.end());
    argv.insert(argv.end(), {"-outfile", output, picture});
    std::string messages;
    const TProcessResult run = RunProcessAndWait(
        argv, JpegtranTimeOut(original.st_size), true, [] { Application->ProcessMessages(); }, nullptr, &messages);
    int outWidth = 0, outHeight = 0;
    done = run.Outcome == TWaitOutcome::Finished && run.ExitCode == 0 && EndsWithEndOfImage(output) &&
           JpegSize(output, outWidth, outHeight) && Step.WholeResult(width, height, outWidth, outHeight);
    if (!done) {
      // The disk that took no more says so before the work file gives its room back;
      // otherwise jpegtran's own last word is the reason.
      diskError = DiskReason(folder, original.st_size);
      messages = Trim(messages);
      if (diskError != 0)
        failed(SysErrorMessage(diskError));
      else if (!messages.empty())
        failed(messages.substr(messages.rfind('\n') + 1));
    }
    if (done && layout.end < bytes.size()) {
      std::string turned;
      try {
        turned = ReadFileBytes(output);
      } catch (const Exception&) {
        turned.clear();
      }
      FLosslessFurtherImages += CarryTrailer(bytes, layout, turned);
      done = !turned.empty() && failedErrno(RewriteWorkFile(output, turned));
    }
    done = done && failedErrno(CopyFileDate(picture, output) == 0 && SyncFile(output));
    if (done && makeBackup) done = backupMade = failedErrno(MakeBackup(picture, backup, replaceBackup));
    done = done && failedErrno(fileio::Rename(output, picture) == 0);
    if (done) {
      fileio::SyncFolder(ExtractFileDir(picture));
    } else {
      fileio::Unlink(output);
      // A backup made for a turn that did not happen is only a second copy of the picture.
      if (backupMade && !replaceBackup) fileio::Unlink(backup);
      backupMade = false;
    }
  }

  if (!done) {
    // A run that ended without a whole picture and without a word of its own.
    if (reason.empty()) reason = _("jpegtran made no whole picture.");
    const std::string text = Step.FailureText + "\r" + FileName + "\r" + reason;
    // A full or read-only disk ends the batch: it says so once, for all its files.
    if (diskError != 0 && ActionRunning)
      FLosslessStopText = text;
    else
      ShowMessage(text);
  } else {
    // The backup shows in the list of its folder.
    if (backupMade && !TreeView1->Visible() && !PanelCustomLists->Visible() && SameFolderPath(folder, FLastPath) &&
        ListBox1->Items()->IndexOf(ExtractFileName(backup)) < 0)
      ListBox1->Items()->Add(ExtractFileName(backup));
    if (Step.ShowResult) OpenThePicture(FileName);
  }
  RestoreCursor();
  return done;
}

bool TForm1::RotateJPG(const std::string& Value, const std::string& Option, const std::string& FileName) {
  TLosslessStep step;
  step.Transform = {"-" + Option, Value};
  step.Backup = M_Losslesbackup->Checked();
  step.Perfect = M_JPGTRANPerfect->Checked();
  step.ShowResult = !M_Fastbatchrotate->Checked();
  step.FailureText = _("Jpegtran message: Couldn't crop or rotate the file");
  // A quarter turn swaps the sides, and -trim may drop the edge blocks that do not fill
  // a whole MCU (at most 31 pixels).
  const bool quarter = Value == "90" || Value == "270";
  step.WholeResult = [quarter](int width, int height, int outWidth, int outHeight) {
    if (quarter) std::swap(width, height);
    return Trimmed(outWidth, width) && Trimmed(outHeight, height);
  };
  return LosslessTransform(step, FileName);
}

// ===========================================================================
// The batch
// ===========================================================================
void TForm1::LosslessBatch(const std::function<void(const std::string&)>& OneFile, bool OpenLast, bool ReportEmpty) {
  if (ActionRunning) return;
  FFileAction = 50;
  FillWorkFileList(false);
  if (ReportEmpty && FWorkFiles->Count() == 0) ShowMessage(_("No jpg files found!"));
  StopRequested = false;
  ActionRunning = true;
  // The entry of a file: found by its full path, whatever the list shows (bare names of
  // a folder, full paths of the paperclip, a show or a search); -1 when it is gone.
  auto entryOf = [this](const std::string& file) {
    for (int i = 0; i < ListBox1->Count(); ++i)
      if (ListEntryPath(i) == file) return i;
    return -1;
  };
  // The files are taken as they are now: the steps handle messages.
  const std::vector<std::string> files = FWorkFiles->ToVector();
  const int count = int(files.size());
  FLosslessFurtherImages = 0;
  FLosslessStopText.clear();
  std::set<std::string> folders;
  for (int n = 0; n < count; ++n) {
    const std::string& file = files[size_t(n)];
    // What a crashed run left in the folder goes first (a picture it took away comes back).
    if (folders.insert(ExtractFileDir(file)).second) ClearLeftovers(ExtractFileDir(file));
    int index = entryOf(file);
    if (index >= 0) {
      ListBox1->SetItemIndex(index);
      ListBox1->SetSelected(index, true);
    }
    Application->ProcessMessages();
    if (StopRequested || Application->Terminated()) break;
    OneFile(file);
    if (!FLosslessStopText.empty()) {
      // The disk is full or read-only: the files after this one are left as they are.
      const int left = count - n - 1;
      if (left > 0)
        FLosslessStopText += "\r" + Format(_n("%d more file was left as it was.", "%d more files were left as they were.",
                                               static_cast<unsigned long>(left)),
                                            {left});
      break;
    }
    // Messages ran meanwhile: the list may have changed.
    index = entryOf(file);
    if (n == count - 1) {
      if (OpenLast && ListBox1->ItemIndex() >= 0) OpenThePicture(ListEntryPath(ListBox1->ItemIndex()));
    } else if (index >= 0) {
      ListBox1->SetSelected(index, false);
    }
    if (index >= 0) UpdateThumbnail(index, file);
  }
  FWorkFiles->Clear();
  FFileAction = 10;
  const bool stopped = StopRequested;
  StopRequested = false;
  ActionRunning = false;
  if (Application->Terminated()) return;
  if (FLosslessFurtherImages > 0)
    ShowMessage(Format(_n("%d further picture in the files (MPF) was kept as it was, not changed with the main "
                          "picture.",
                          "%d further pictures in the files (MPF) were kept as they were, not changed with the main "
                          "picture.",
                          FLosslessFurtherImages),
                       {FLosslessFurtherImages}));
  if (!FLosslessStopText.empty()) ShowMessage(FLosslessStopText);
  if (stopped) ShowMessage(_("Action aborted by user"));
}

void TForm1::RotateInitStart(const std::string& Value, const std::string& Option) {
  LosslessBatch([this, &Value, &Option](const std::string& file) { RotateJPG(Value, Option, file); },
                M_Fastbatchrotate->Checked(), false);
}

void TForm1::rotateSelected(const char* Value, const char* Option) {
  RotateInitStart(Value, Option);
  if (PanelThumbHolder->Visible()) FillTheTumbsNow();
}

void TForm1::RotateRight2Click(TObject* /*Sender*/) { rotateSelected("90", "rotate"); }

void TForm1::RotateLeft2Click(TObject* /*Sender*/) { rotateSelected("270", "rotate"); }

void TForm1::UpsideDown2Click(TObject* /*Sender*/) { rotateSelected("180", "rotate"); }

void TForm1::FlipHorizontally2Click(TObject* /*Sender*/) { rotateSelected("horizontal", "flip"); }

void TForm1::FlipVertically2Click(TObject* /*Sender*/) { rotateSelected("vertical", "flip"); }
