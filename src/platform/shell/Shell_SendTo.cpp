// Send-to targets of the desktop: compressed folders (.zip, written with libzip) and the
// mail service (the files handed to the user's mail program).
#include <dirent.h>
#include <sys/stat.h>
#include <zip.h>

#include <cerrno>
#include <cstring>
#include <string>
#include <vector>

#include "platform/i18n/GnuGetText.h"
#include "platform/rtl/FileFaults.h"
#include "platform/rtl/Paths.h"
#include "platform/rtl/SysUtils.h"
#include "platform/shell/ShellExplorer.h"
#include "platform/shell/ShellInternal.h"

namespace {

// Adds path to the archive under name: a file as it is, a folder with everything below
// it. Links, devices and pipes are left out (a link could lead outside or in a circle).
bool AddEntry(zip_t* za, const std::string& path, const std::string& name, std::string& error) {
  struct stat st;
  if (!shell_internal::LstatOf(path, st)) {
    error = Format(_("Cannot open file \"%s\". %s"), {path, SysErrorMessage(errno)});
    return false;
  }
  if (S_ISREG(st.st_mode)) {
    zip_source_t* src = zip_source_file(za, path.c_str(), 0, -1);
    if (!src) {
      error = Format(_("Cannot open file \"%s\". %s"), {path, zip_strerror(za)});
      return false;
    }
    zip_int64_t index = zip_file_add(za, name.c_str(), src, ZIP_FL_ENC_UTF_8);
    if (index < 0) {
      zip_source_free(src);
      error = zip_strerror(za);
      return false;
    }
    zip_file_set_mtime(za, zip_uint64_t(index), st.st_mtime, 0);
    return true;
  }
  if (!S_ISDIR(st.st_mode)) return true;
  if (zip_dir_add(za, name.c_str(), ZIP_FL_ENC_UTF_8) < 0) {
    error = zip_strerror(za);
    return false;
  }
  DIR* dir = ::opendir(path.c_str());
  if (!dir) {
    error = Format(_("Cannot open file \"%s\". %s"), {path, SysErrorMessage(errno)});
    return false;
  }
  std::vector<std::string> names;
  while (dirent* e = ::readdir(dir)) {
    std::string n = e->d_name;
    if (n != "." && n != "..") names.push_back(n);
  }
  ::closedir(dir);
  for (const std::string& n : names)
    if (!AddEntry(za, PathJoin(path, n), name + "/" + n, error)) return false;
  return true;
}

TMailFilesHandler& MailHandler() {
  static TMailFilesHandler handler;
  return handler;
}

}  // namespace

bool WriteZipArchive(const std::string& zipPath, const std::vector<std::string>& paths, std::string& error) {
  struct stat st;
  if (shell_internal::LstatOf(zipPath, st)) {
    error = Format(_("\"%s\" already exists"), {zipPath});
    return false;
  }
  // libzip writes into a private folder beside the archive; the finished archive is then
  // put in place without replacing anything.
  std::string folder = ExtractFileDir(zipPath);
  std::string temp = PathJoin(folder.empty() ? "." : folder, ".kivo2zip-XXXXXX");
  if (!fileio::MakeTempDir(temp)) {
    error = Format(_("Cannot create file \"%s\". %s"), {zipPath, SysErrorMessage(errno)});
    return false;
  }
  std::string work = PathJoin(temp, "archive.zip");
  int zerr = 0;
  zip_t* za = zip_open(work.c_str(), ZIP_CREATE | ZIP_EXCL, &zerr);
  bool ok = za != nullptr;
  if (!za) {
    zip_error_t ze;
    zip_error_init_with_code(&ze, zerr);
    error = Format(_("Cannot create file \"%s\". %s"), {zipPath, zip_error_strerror(&ze)});
    zip_error_fini(&ze);
  }
  for (size_t i = 0; ok && i < paths.size(); ++i)
    ok = AddEntry(za, ExcludeTrailingPathDelimiter(paths[i]), ExtractFileName(ExcludeTrailingPathDelimiter(paths[i])),
                  error);
  if (za) {
    if (ok && zip_close(za) != 0) {
      error = Format(_("Cannot write file \"%s\". %s"), {zipPath, zip_strerror(za)});
      ok = false;
    }
    if (!ok) zip_discard(za);
  }
  if (ok && fileio::RenameNoReplace(work, zipPath) != 0) {
    error = Format(_("Cannot write file \"%s\". %s"), {zipPath, SysErrorMessage(errno)});
    ok = false;
  }
  fileio::Unlink(work);
  fileio::RemoveDir(temp);
  return ok;
}

void SetMailFilesHandler(TMailFilesHandler handler) { MailHandler() = std::move(handler); }

bool MailFiles(const std::vector<std::string>& files) {
  if (files.empty()) return false;
  if (MailHandler()) return MailHandler()(files);
  std::vector<std::string> argv{"xdg-email"};
  for (const std::string& f : files) {
    argv.push_back("--attach");
    argv.push_back(f);
  }
  return StartDetached(argv);
}
