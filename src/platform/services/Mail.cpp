// The Simple MAPI stand-in: the desktop's mail program through xdg-email, else a MIME
// message (written with GMime) in the outbox folder.
#include "platform/services/Mail.h"

#include <dirent.h>
#include <fcntl.h>
#include <gmime/gmime.h>
#include <QtCore/QProcess>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <memory>
#include <mutex>
#include <set>
#include <string>
#include <vector>

#include "platform/gui/Dialogs.h"
#include "platform/i18n/GnuGetText.h"
#include "platform/rtl/FileFaults.h"
#include "platform/rtl/Paths.h"
#include "platform/rtl/SysUtils.h"
#include "platform/shell/Shell.h"

namespace {

// The mail program gets this long to take the message; one that still runs then has it.
constexpr int kMailProgramSeconds = 15;
// The question which program handles mail addresses gets this long.
constexpr int kMailQueryMilliseconds = 5000;
// Attachment copies handed to a mail program are kept this long.
constexpr time_t kSpoolKeepSeconds = 7 * 24 * 3600;
// A message holds at most this much attachment data (it is built in memory).
constexpr int64_t kMaxAttachmentBytes = int64_t(1) << 30;

std::string& OutboxOverride() {
  static std::string folder;
  return folder;
}

std::string& LastOutboxFile() {
  static std::string file;
  return file;
}

std::string XdgFolder(const char* variable, const char* fallbackBelowHome) {
  std::string dir = GetEnvironmentVariable(variable);
  if (dir.empty() || dir[0] != '/') dir = PathJoin(GetEnvironmentVariable("HOME"), fallbackBelowHome);
  return dir;
}

std::string Text(const char* s) { return s ? std::string(s) : std::string(); }

// What the receiver sees as the attachment's name: the given name, else the path's.
std::string DisplayName(const MapiFileDesc& file) {
  std::string name = Text(file.lpszFileName);
  if (name.empty()) name = ExtractFileName(Text(file.lpszPathName));
  std::string clean;
  for (char c : name) clean += (c == '/' || c == '\0') ? '_' : c;
  return clean.empty() ? std::string("attachment") : clean;
}

// The address of a recipient (its name when it has no address), without the "SMTP:"
// prefix of an address-book entry.
std::string AddressOf(const MapiRecipDesc& r) {
  std::string a = Text(r.lpszAddress);
  if (a.empty()) a = Text(r.lpszName);
  if (a.size() > 5 && SameText(a.substr(0, 5), "SMTP:")) a.erase(0, 5);
  return a;
}

// Every attachment must be there and readable before anything is handed over.
ULONG CheckAttachments(const MapiMessage& m) {
  for (ULONG i = 0; i < m.nFileCount; ++i) {
    const std::string path = Text(m.lpFiles[i].lpszPathName);
    struct stat st {};
    if (path.empty() || stat(path.c_str(), &st) != 0 || !S_ISREG(st.st_mode)) return MAPI_E_ATTACHMENT_NOT_FOUND;
    const int fd = fileio::Open(path, O_RDONLY | O_CLOEXEC);
    if (fd < 0) return MAPI_E_ATTACHMENT_OPEN_FAILURE;
    close(fd);
  }
  return SUCCESS_SUCCESS;
}

ULONG ErrorToMapi(int error) {
  switch (error) {
    case ENOSPC:
    case EDQUOT:
      return MAPI_E_DISK_FULL;
    case EACCES:
    case EPERM:
    case EROFS:
      return MAPI_E_ACCESS_DENIED;
    case ENOMEM:
      return MAPI_E_INSUFFICIENT_MEMORY;
    default:
      return MAPI_E_FAILURE;
  }
}

// Removes a folder with the files in it (the spool holds no sub folders).
void RemoveFolderWithFiles(const std::string& dir) {
  if (DIR* d = opendir(dir.c_str())) {
    while (dirent* e = readdir(d)) {
      const std::string name = e->d_name;
      if (name != "." && name != "..") fileio::Unlink(PathJoin(dir, name));
    }
    closedir(d);
  }
  fileio::RemoveDir(dir);
}

void PruneSpool(const std::string& spool) {
  DIR* d = opendir(spool.c_str());
  if (!d) return;
  std::vector<std::string> old;
  const time_t now = time(nullptr);
  while (dirent* e = readdir(d)) {
    const std::string name = e->d_name;
    if (name == "." || name == "..") continue;
    struct stat st {};
    const std::string path = PathJoin(spool, name);
    if (lstat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode) && now - st.st_mtime > kSpoolKeepSeconds)
      old.push_back(path);
  }
  closedir(d);
  for (const std::string& path : old) RemoveFolderWithFiles(path);
}

std::string TimeStamp() {
  const time_t now = time(nullptr);
  struct tm local {};
  localtime_r(&now, &local);
  char buf[32];
  strftime(buf, sizeof buf, "%Y%m%d-%H%M%S", &local);
  return buf;
}

// A name not used yet among used: "name.ext", then "name (2).ext" ...
std::string FreeName(const std::string& name, std::set<std::string>& used) {
  std::string candidate = name;
  const std::string ext = ExtractFileExt(name), base = name.substr(0, name.size() - ext.size());
  for (int n = 2; used.count(candidate); ++n) candidate = base + " (" + std::to_string(n) + ")" + ext;
  used.insert(candidate);
  return candidate;
}

// ---------------------------------------------------------------------------
// The desktop's mail program
// ---------------------------------------------------------------------------

// False when the desktop names no program for mail addresses. xdg-email would then hand
// the message to a web browser, which drops the attachments and still reports success.
// True when that cannot be asked (xdg-mime missing): xdg-email's own answer decides.
bool MailProgramConfigured() {
  QProcess query;
  query.setStandardErrorFile(QProcess::nullDevice());
  query.start(QStringLiteral("xdg-mime"),
              {QStringLiteral("query"), QStringLiteral("default"), QStringLiteral("x-scheme-handler/mailto")});
  if (!query.waitForStarted(kMailQueryMilliseconds)) return true;
  query.closeWriteChannel();
  if (!query.waitForFinished(kMailQueryMilliseconds)) {
    query.kill();
    query.waitForFinished(kMailQueryMilliseconds);
    return true;
  }
  return !query.readAllStandardOutput().trimmed().isEmpty();
}

// Hands the message to xdg-email with copies of the attachments in a spool folder of its
// own. False when no mail program took it (none configured, xdg-email missing, or it
// found no program).
bool HandToMailProgram(const MapiMessage& m) {
  if (!MailProgramConfigured()) return false;
  const std::string spool = MailSpoolFolder();
  ForceDirectories(spool);
  PruneSpool(spool);
  std::string dir = PathJoin(spool, TimeStamp() + "-XXXXXX");
  if (m.nFileCount > 0 && !fileio::MakeTempDir(dir)) return false;
  std::vector<std::string> argv{"xdg-email", "--utf8"};
  std::set<std::string> used;
  bool copied = true;
  for (ULONG i = 0; i < m.nFileCount && copied; ++i) {
    const std::string copy = PathJoin(dir, FreeName(DisplayName(m.lpFiles[i]), used));
    copied = CopyFileExclusive(Text(m.lpFiles[i].lpszPathName), copy, false);
    argv.insert(argv.end(), {"--attach", copy});
  }
  std::vector<std::string> to;
  for (ULONG i = 0; i < m.nRecipCount; ++i) {
    const std::string address = AddressOf(m.lpRecips[i]);
    if (address.empty()) continue;
    if (m.lpRecips[i].ulRecipClass == MAPI_CC) argv.insert(argv.end(), {"--cc", address});
    else if (m.lpRecips[i].ulRecipClass == MAPI_BCC) argv.insert(argv.end(), {"--bcc", address});
    else to.push_back(address);
  }
  if (m.lpszSubject) argv.insert(argv.end(), {"--subject", m.lpszSubject});
  if (m.lpszNoteText && *m.lpszNoteText) argv.insert(argv.end(), {"--body", m.lpszNoteText});
  argv.insert(argv.end(), to.begin(), to.end());
  bool taken = false;
  if (copied) {
    const TProcessResult r = RunProcessAndWait(argv, kMailProgramSeconds, false);
    taken = (r.Outcome == TWaitOutcome::Finished && r.ExitCode == 0) || r.Outcome == TWaitOutcome::TimedOut;
  }
  if (!taken && m.nFileCount > 0) RemoveFolderWithFiles(dir);
  return taken;
}

// ---------------------------------------------------------------------------
// The MIME message
// ---------------------------------------------------------------------------

void InitGMime() {
  static std::once_flag once;
  std::call_once(once, [] { g_mime_init(); });
}

template <class T>
struct GUnref {
  void operator()(T* p) const {
    if (p) g_object_unref(p);
  }
};
template <class T>
using GPtr = std::unique_ptr<T, GUnref<T>>;

std::string ContentTypeOf(const std::string& name) {
  const std::string ext = UpperCase(ExtractFileExt(name));
  if (ext == ".JPG" || ext == ".JPEG" || ext == ".JPE" || ext == ".THM") return "image/jpeg";
  if (ext == ".PNG") return "image/png";
  if (ext == ".GIF") return "image/gif";
  if (ext == ".TIF" || ext == ".TIFF") return "image/tiff";
  if (ext == ".BMP") return "image/bmp";
  if (ext == ".TXT") return "text/plain";
  return "application/octet-stream";
}

void AddMailboxes(GMimeMessage* message, const MapiMessage& m) {
  for (ULONG i = 0; i < m.nRecipCount; ++i) {
    const MapiRecipDesc& r = m.lpRecips[i];
    const std::string address = AddressOf(r), name = Text(r.lpszName);
    if (address.empty()) continue;
    const GMimeAddressType type = r.ulRecipClass == MAPI_CC    ? GMIME_ADDRESS_TYPE_CC
                                  : r.ulRecipClass == MAPI_BCC ? GMIME_ADDRESS_TYPE_BCC
                                                               : GMIME_ADDRESS_TYPE_TO;
    g_mime_message_add_mailbox(message, type, name == address ? "" : name.c_str(), address.c_str());
  }
}

// The whole message with CR LF line ends: the note as a text part, then every attachment
// in base64 under its display name. The attachments are read here. Without a sender: the
// mail program that sends it puts in the user's own address.
ULONG ComposeMessage(const MapiMessage& m, std::string& out) {
  InitGMime();
  GPtr<GMimeMessage> message(g_mime_message_new(TRUE));
  AddMailboxes(message.get(), m);
  g_mime_message_set_subject(message.get(), Text(m.lpszSubject).c_str(), "utf-8");
  GDateTime* now = g_date_time_new_now_local();
  g_mime_message_set_date(message.get(), now);
  g_date_time_unref(now);
  char host[256] = "localhost";
  gethostname(host, sizeof host - 1);
  char* id = g_mime_utils_generate_message_id(host);
  g_mime_message_set_message_id(message.get(), id);
  g_free(id);
  // Mail programs open a message marked so as a draft to send.
  g_mime_object_set_header(GMIME_OBJECT(message.get()), "X-Unsent", "1", nullptr);

  GPtr<GMimeTextPart> note(g_mime_text_part_new_with_subtype("plain"));
  g_mime_text_part_set_text(note.get(), Text(m.lpszNoteText).c_str());
  if (m.nFileCount == 0) {
    g_mime_message_set_mime_part(message.get(), GMIME_OBJECT(note.get()));
  } else {
    GPtr<GMimeMultipart> mixed(g_mime_multipart_new_with_subtype("mixed"));
    g_mime_multipart_add(mixed.get(), GMIME_OBJECT(note.get()));
    int64_t total = 0;
    for (ULONG i = 0; i < m.nFileCount; ++i) {
      std::string bytes;
      try {
        bytes = ReadFileBytes(Text(m.lpFiles[i].lpszPathName), kMaxAttachmentBytes - total);
      } catch (const std::exception&) {
        return MAPI_E_ATTACHMENT_OPEN_FAILURE;
      }
      total += int64_t(bytes.size());
      const std::string name = DisplayName(m.lpFiles[i]), type = ContentTypeOf(name);
      const size_t slash = type.find('/');
      GPtr<GMimePart> part(g_mime_part_new_with_type(type.substr(0, slash).c_str(), type.substr(slash + 1).c_str()));
      GPtr<GMimeStream> stream(g_mime_stream_mem_new_with_buffer(bytes.data(), bytes.size()));
      GPtr<GMimeDataWrapper> content(g_mime_data_wrapper_new_with_stream(stream.get(), GMIME_CONTENT_ENCODING_DEFAULT));
      g_mime_part_set_content(part.get(), content.get());
      g_mime_part_set_content_encoding(part.get(), GMIME_CONTENT_ENCODING_BASE64);
      g_mime_part_set_filename(part.get(), name.c_str());
      g_mime_multipart_add(mixed.get(), GMIME_OBJECT(part.get()));
    }
    g_mime_message_set_mime_part(message.get(), GMIME_OBJECT(mixed.get()));
  }

  GMimeFormatOptions* options = g_mime_format_options_clone(nullptr);
  g_mime_format_options_set_newline_format(options, GMIME_NEWLINE_FORMAT_DOS);
  GPtr<GMimeStream> sink(g_mime_stream_mem_new());
  const ssize_t written = g_mime_object_write_to_stream(GMIME_OBJECT(message.get()), options, sink.get());
  g_mime_format_options_free(options);
  if (written < 0) return MAPI_E_INSUFFICIENT_MEMORY;
  GByteArray* array = g_mime_stream_mem_get_byte_array(GMIME_STREAM_MEM(sink.get()));
  out.assign(reinterpret_cast<const char*>(array->data), array->len);
  return SUCCESS_SUCCESS;
}

// Writes the message as a new file of the outbox (never over another one): a temporary
// file first, then renamed to a free name.
ULONG WriteToOutbox(const std::string& bytes, std::string& file) {
  const std::string outbox = MailOutboxFolder();
  if (!ForceDirectories(outbox)) return ErrorToMapi(errno);
  std::string temp = PathJoin(outbox, ".message-XXXXXX");
  const int fd = fileio::MakeTemp(temp, O_CLOEXEC);
  if (fd < 0) return ErrorToMapi(errno);
  fchmod(fd, 0600);
  bool ok = fileio::WriteAll(fd, bytes.data(), bytes.size()) && fileio::Sync(fd) == 0;
  int error = errno;
  if (close(fd) != 0 && ok) {
    ok = false;
    error = errno;
  }
  const std::string stamp = TimeStamp();
  for (int n = 1; ok; ++n) {
    file = PathJoin(outbox, stamp + "-" + std::to_string(n) + ".eml");
    if (fileio::RenameNoReplace(temp, file) == 0) break;
    if (errno != EEXIST || n >= 1000) {
      ok = false;
      error = errno;
    }
  }
  if (!ok) {
    fileio::Unlink(temp);
    file.clear();
    return ErrorToMapi(error);
  }
  return SUCCESS_SUCCESS;
}

// ---------------------------------------------------------------------------
// Allocated blocks and the library
// ---------------------------------------------------------------------------

std::mutex& BlocksMutex() {
  static std::mutex m;
  return m;
}
std::set<void*>& Blocks() {
  static std::set<void*> blocks;
  return blocks;
}

void* AllocateBlock(size_t size) {
  void* p = std::calloc(1, size);
  if (p) {
    std::lock_guard<std::mutex> lock(BlocksMutex());
    Blocks().insert(p);
  }
  return p;
}

}  // namespace

struct TMapiLibraryInfo {
  const char* name;
};

namespace {
const TMapiLibraryInfo kStandIn{"MAPI32.DLL"};
}

ULONG MAPISendMail(LHANDLE /*session*/, uintptr_t /*uiParam*/, const MapiMessage* message, ULONG flags,
                   ULONG /*reserved*/) {
  LastOutboxFile().clear();
  if (!message || (message->nFileCount && !message->lpFiles) || (message->nRecipCount && !message->lpRecips))
    return MAPI_E_INVALID_MESSAGE;
  if (const ULONG check = CheckAttachments(*message); check != SUCCESS_SUCCESS) return check;
  if (!(flags & MAPI_DIALOG) && message->nRecipCount == 0) return MAPI_E_INVALID_RECIPS;
  if (HandToMailProgram(*message)) return SUCCESS_SUCCESS;
  std::string bytes, file;
  if (const ULONG composed = ComposeMessage(*message, bytes); composed != SUCCESS_SUCCESS) return composed;
  if (const ULONG written = WriteToOutbox(bytes, file); written != SUCCESS_SUCCESS) return written;
  LastOutboxFile() = file;
  ShowMessage(Format(_("No mail program took the message. It was saved with its attachments as\n%s\nOpen it with "
                       "your mail program to send it."),
                     {file}));
  return SUCCESS_SUCCESS;
}

ULONG MAPILogon(uintptr_t /*uiParam*/, const char* /*profileName*/, const char* /*password*/, ULONG /*flags*/,
                ULONG /*reserved*/, LHANDLE* session) {
  if (!session) return MAPI_E_FAILURE;
  static LHANDLE next = 1;
  *session = next++;
  return SUCCESS_SUCCESS;
}

ULONG MAPILogoff(LHANDLE session, uintptr_t /*uiParam*/, ULONG /*flags*/, ULONG /*reserved*/) {
  return session ? SUCCESS_SUCCESS : MAPI_E_INVALID_SESSION;
}

ULONG MAPIResolveName(LHANDLE /*session*/, uintptr_t /*uiParam*/, const char* name, ULONG /*flags*/,
                      ULONG /*reserved*/, MapiRecipDesc** recip) {
  if (!recip) return MAPI_E_FAILURE;
  *recip = nullptr;
  const std::string text = Text(name);
  if (text.find('@') == std::string::npos) return MAPI_E_UNKNOWN_RECIPIENT;
  // One block: the record, the text (name and address alike) and the entry id.
  const std::string entryId = "SMTP:" + text;
  const size_t size = sizeof(MapiRecipDesc) + text.size() + 1 + entryId.size() + 1;
  auto* block = static_cast<char*>(AllocateBlock(size));
  if (!block) return MAPI_E_INSUFFICIENT_MEMORY;
  auto* r = reinterpret_cast<MapiRecipDesc*>(block);
  char* textCopy = block + sizeof(MapiRecipDesc);
  std::memcpy(textCopy, text.c_str(), text.size() + 1);
  char* idCopy = textCopy + text.size() + 1;
  std::memcpy(idCopy, entryId.c_str(), entryId.size() + 1);
  r->ulRecipClass = MAPI_TO;
  r->lpszName = textCopy;
  r->lpszAddress = textCopy;
  r->ulEIDSize = ULONG(entryId.size() + 1);
  r->lpEntryID = idCopy;
  *recip = r;
  return SUCCESS_SUCCESS;
}

ULONG MAPIFreeBuffer(void* buffer) {
  if (!buffer) return SUCCESS_SUCCESS;
  {
    std::lock_guard<std::mutex> lock(BlocksMutex());
    if (!Blocks().erase(buffer)) return MAPI_E_FAILURE;
  }
  std::free(buffer);
  return SUCCESS_SUCCESS;
}

TMapiLibrary MapiLoadLibrary(const std::string& name) { return SameText(name, kStandIn.name) ? &kStandIn : nullptr; }

void* MapiGetProcAddress(TMapiLibrary library, const std::string& procName) {
  if (library != &kStandIn) return nullptr;
  if (procName == "MAPISendMail") return reinterpret_cast<void*>(&MAPISendMail);
  if (procName == "MAPILogon") return reinterpret_cast<void*>(&MAPILogon);
  if (procName == "MAPILogoff") return reinterpret_cast<void*>(&MAPILogoff);
  if (procName == "MAPIResolveName") return reinterpret_cast<void*>(&MAPIResolveName);
  if (procName == "MAPIFreeBuffer") return reinterpret_cast<void*>(&MAPIFreeBuffer);
  return nullptr;
}

void MapiFreeLibrary(TMapiLibrary /*library*/) {}

std::string MailOutboxFolder() {
  if (!OutboxOverride().empty()) return OutboxOverride();
  return PathJoin(XdgFolder("XDG_DATA_HOME", ".local/share"), "Kivo2/outbox");
}

void SetMailOutboxFolder(const std::string& folder) { OutboxOverride() = folder; }

std::string MailSpoolFolder() { return PathJoin(XdgFolder("XDG_CACHE_HOME", ".cache"), "Kivo2/mail-spool"); }

std::string LastMailOutboxFile() { return LastOutboxFile(); }
