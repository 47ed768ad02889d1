// TRegistry: the registry stand-in. Each root lives in one ".reg" text file in the
// Windows export format (REGEDIT4). All TRegistry objects of the process share one
// parsed copy per file, which is read again whenever the file changed on disk.
#include "platform/rtl/Registry.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstring>
#include <map>
#include <memory>
#include <mutex>

#include "platform/i18n/GnuGetText.h"
#include "platform/rtl/FileFaults.h"
#include "platform/rtl/RtlInternal.h"

namespace {
constexpr uint32_t REG_SZ = 1, REG_EXPAND_SZ = 2, REG_BINARY = 3, REG_DWORD = 4;

struct RegValue {
  std::string name;
  uint32_t type = REG_SZ;
  std::string data;  // text for REG_SZ/REG_EXPAND_SZ (no terminator), raw bytes otherwise
};

struct RegKey {
  std::string path;  // below the root, components joined by '\', as first written
  std::vector<RegValue> values;
  RegValue* Find(const std::string& name) {
    for (auto& v : values)
      if (AnsiSameText(v.name, name)) return &v;
    return nullptr;
  }
};

struct RegFile {
  std::string fileName;
  std::string rootName;
  std::map<std::string, RegKey> keys;  // by upper-cased path; "" is the root itself
  rtl_internal::FileSignature signature;
  int batchDepth = 0;    // open BeginUpdate calls on this root
  bool pending = false;  // writes made during a batch, not saved yet
  // The file on disk could not be read whole and no copy of it could be kept: it is not
  // saved over.
  bool unkept = false;
  bool damageUnsaid = false;  // a damaged file was read since TakeRegistryDamage last asked
  std::string keptAs;         // where the damaged file last read is kept ("" when nowhere)
};

std::mutex g_mutex;
std::map<std::string, std::unique_ptr<RegFile>> g_files;

std::string RootName(HKEY root) {
  switch (root) {
    case HKEY_CLASSES_ROOT: return "HKEY_CLASSES_ROOT";
    case HKEY_CURRENT_USER: return "HKEY_CURRENT_USER";
    case HKEY_LOCAL_MACHINE: return "HKEY_LOCAL_MACHINE";
    case HKEY_USERS: return "HKEY_USERS";
    case HKEY_CURRENT_CONFIG: return "HKEY_CURRENT_CONFIG";
    default: return std::string();
  }
}

std::string KeyId(const std::string& path) { return AnsiUpperCase(path); }

// Path components without empty parts, joined by '\'.
std::string CleanPath(const std::string& path) {
  std::string out, part;
  for (size_t i = 0; i <= path.size(); ++i) {
    if (i == path.size() || path[i] == '\\') {
      if (!part.empty()) {
        if (!out.empty()) out += '\\';
        out += part;
      }
      part.clear();
    } else {
      part += path[i];
    }
  }
  return out;
}

RegKey& EnsureKey(RegFile& f, const std::string& path) {
  // Every ancestor exists too, as in the real registry.
  std::string sofar;
  size_t start = 0;
  RegKey* key = &f.keys[""];
  while (start < path.size()) {
    size_t end = path.find('\\', start);
    if (end == std::string::npos) end = path.size();
    if (!sofar.empty()) sofar += '\\';
    sofar += path.substr(start, end - start);
    RegKey& k = f.keys[KeyId(sofar)];
    if (k.path.empty()) k.path = sofar;
    key = &k;
    start = end + 1;
  }
  return *key;
}

// ---- reading the .reg text ----
bool HexByte(const std::string& s, size_t& i, uint8_t& out) {
  auto hv = [](char c) -> int {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
  };
  while (i < s.size() && (s[i] == ' ' || s[i] == '\t')) ++i;
  if (i + 2 > s.size()) return false;
  int a = hv(s[i]), b = hv(s[i + 1]);
  if (a < 0 || b < 0) return false;
  out = uint8_t(a * 16 + b);
  i += 2;
  return true;
}

bool ParseHexList(const std::string& s, size_t i, std::string& bytes) {
  bytes.clear();
  while (i < s.size() && (s[i] == ' ' || s[i] == '\t')) ++i;
  if (i >= s.size()) return true;
  for (;;) {
    uint8_t b;
    if (!HexByte(s, i, b)) return false;
    bytes += char(b);
    while (i < s.size() && (s[i] == ' ' || s[i] == '\t')) ++i;
    if (i >= s.size()) return true;
    if (s[i] != ',') return false;
    ++i;
  }
}

// A quoted text with \\ and \" escapes starting at s[i] == '"'; i ends after the closing quote.
bool ParseQuoted(const std::string& s, size_t& i, std::string& out) {
  if (i >= s.size() || s[i] != '"') return false;
  out.clear();
  for (++i; i < s.size(); ++i) {
    char c = s[i];
    if (c == '\\' && i + 1 < s.size()) {
      out += s[++i];
    } else if (c == '"') {
      ++i;
      return true;
    } else {
      out += c;
    }
  }
  return false;
}

std::string Utf16LeToUtf8(const std::string& bytes) {
  std::string out;
  for (size_t i = 0; i + 1 < bytes.size(); i += 2) {
    uint32_t cp = uint8_t(bytes[i]) | (uint32_t(uint8_t(bytes[i + 1])) << 8);
    if (cp >= 0xD800 && cp <= 0xDBFF && i + 3 < bytes.size()) {
      uint32_t lo = uint8_t(bytes[i + 2]) | (uint32_t(uint8_t(bytes[i + 3])) << 8);
      if (lo >= 0xDC00 && lo <= 0xDFFF) {
        cp = 0x10000 + ((cp - 0xD800) << 10) + (lo - 0xDC00);
        i += 2;
      }
    }
    if (cp < 0x80) {
      out += char(cp);
    } else if (cp < 0x800) {
      out += char(0xC0 | (cp >> 6));
      out += char(0x80 | (cp & 0x3F));
    } else if (cp < 0x10000) {
      out += char(0xE0 | (cp >> 12));
      out += char(0x80 | ((cp >> 6) & 0x3F));
      out += char(0x80 | (cp & 0x3F));
    } else {
      out += char(0xF0 | (cp >> 18));
      out += char(0x80 | ((cp >> 12) & 0x3F));
      out += char(0x80 | ((cp >> 6) & 0x3F));
      out += char(0x80 | (cp & 0x3F));
    }
  }
  return out;
}

// Text held in hex(1)/hex(2) data: without its terminating zero. Our own files hold the
// text's bytes as they were written, whatever they are, and one zero after them.
std::string TextOfBytes(std::string bytes, bool utf16) {
  if (utf16) {
    std::string t = Utf16LeToUtf8(bytes);
    while (!t.empty() && t.back() == '\0') t.pop_back();
    return t;
  }
  if (!bytes.empty() && bytes.back() == '\0') bytes.pop_back();
  return bytes;
}

// Reads one value line into key; false when it is no value line (a deletion "=-" is one).
bool ParseValueLine(RegKey& key, const std::string& line, bool utf16) {
  size_t i = 0;
  RegValue v;
  if (line[0] == '@') {
    i = 1;
  } else if (!ParseQuoted(line, i, v.name)) {
    return false;
  }
  while (i < line.size() && line[i] == ' ') ++i;
  if (i >= line.size() || line[i] != '=') return false;
  ++i;
  while (i < line.size() && line[i] == ' ') ++i;
  std::string rest = line.substr(i);
  if (!rest.empty() && rest[0] == '"') {
    size_t k = 0;
    if (!ParseQuoted(rest, k, v.data)) return false;
    v.type = REG_SZ;
  } else if (StartsText("dword:", rest)) {
    std::string hex = Trim(rest.substr(6));
    if (hex.empty() || hex.size() > 8 || hex.find_first_not_of("0123456789abcdefABCDEF") != std::string::npos)
      return false;
    uint32_t d = uint32_t(std::stoul(hex, nullptr, 16));
    v.type = REG_DWORD;
    v.data.assign(reinterpret_cast<const char*>(&d), 4);
  } else if (StartsText("hex:", rest)) {
    if (!ParseHexList(rest, 4, v.data)) return false;
    v.type = REG_BINARY;
  } else if (StartsText("hex(", rest)) {
    size_t close = rest.find(')');
    if (close == std::string::npos || close + 1 >= rest.size() || rest[close + 1] != ':') return false;
    std::string t = rest.substr(4, close - 4);
    if (t.empty() || t.size() > 8 || t.find_first_not_of("0123456789abcdefABCDEF") != std::string::npos)
      return false;
    v.type = uint32_t(std::stoul(t, nullptr, 16));
    if (!ParseHexList(rest, close + 2, v.data)) return false;
    if (v.type == REG_SZ || v.type == REG_EXPAND_SZ) v.data = TextOfBytes(v.data, utf16);
  } else {
    return rest == "-";  // a deletion, which a settings file never needs
  }
  if (RegValue* old = key.Find(v.name)) *old = std::move(v);
  else key.values.push_back(std::move(v));
  return true;
}

// Reads the text into f, every line it can; false when the file is not whole: its first
// line is no export header, a line is neither a key, a value of a key, a comment nor blank,
// or it does not end as every file written here ends, with a blank line after the last key
// (a file cut short ends elsewhere; its last line, when it has no line end, is not read).
bool Parse(RegFile& f, const std::string& text) {
  // Every value keeps its bytes: no line, and no escaped ":\" in one, makes the file read in
  // another code page.
  const bool bom = text.compare(0, 3, "\xEF\xBB\xBF") == 0;
  std::vector<std::string> raw = rtl_internal::SplitLines(bom ? text.substr(3) : text);
  bool whole = !text.empty() && (text.back() == '\n' || text.back() == '\r');
  if (!whole && !raw.empty()) raw.pop_back();
  if (raw.empty() || !Trim(raw.back()).empty()) whole = false;
  size_t n = 0;
  while (n < raw.size() && Trim(raw[n]).empty()) ++n;
  const std::string header = n < raw.size() ? Trim(raw[n]) : std::string();
  const bool utf16 = StartsText("Windows Registry Editor Version 5", header);
  if (utf16 || header == "REGEDIT4") ++n;
  else whole = false;
  RegKey* current = nullptr;
  bool inKey = false;  // a key's line came before
  for (; n < raw.size(); ++n) {
    std::string line = Trim(raw[n]);
    // Long hex data continues on the next lines after a trailing backslash.
    while (!line.empty() && line.back() == '\\' && line[0] != '[' && n + 1 < raw.size()) {
      line.pop_back();
      line += Trim(raw[++n]);
    }
    if (line.empty() || line[0] == ';') continue;
    if (line[0] == '[') {
      current = nullptr;
      size_t close = line.rfind(']');
      inKey = close != std::string::npos && close > 1;
      if (!inKey) whole = false;
      if (!inKey || line[1] == '-') continue;
      std::string full = line.substr(1, close - 1);
      size_t slash = full.find('\\');
      std::string root = full.substr(0, slash);
      if (!SameText(root, f.rootName)) continue;
      current = &EnsureKey(f, CleanPath(slash == std::string::npos ? std::string() : full.substr(slash + 1)));
      continue;
    }
    // A value of another root's key is read only to see that it is whole.
    RegKey elsewhere;
    if (!inKey || !ParseValueLine(current ? *current : elsewhere, line, utf16)) whole = false;
  }
  return whole;
}

// Keeps a copy of a damaged file beside it, so that no save destroys what its user may
// want back: under the first free name of "<file>.damaged", "<file>.damaged-2" ... (a
// copy kept earlier with the same bytes serves again). The name, or "" when none was made.
std::string KeepDamaged(const std::string& fileName) {
  constexpr int kMostCopies = 50;
  for (int n = 1; n <= kMostCopies; ++n) {
    const std::string name = fileName + ".damaged" + (n == 1 ? std::string() : "-" + IntToStr(n));
    struct stat st;
    if (::lstat(name.c_str(), &st) == 0) {
      if (SameFileBytes(fileName, name)) return name;
      continue;
    }
    std::string work = WorkFileTemplate(name, kSaveWorkKind);
    if (!CopyFileToNew(fileName, work, true, true, true)) return std::string();
    if (fileio::RenameNoReplace(work, name) == 0) {
      fileio::SyncFolder(ExtractFileDir(name));
      return name;
    }
    const int err = errno;
    fileio::Unlink(work);
    if (err != EEXIST) return std::string();
  }
  return std::string();
}

void Refresh(RegFile& f) {
  // Writes waiting for the end of a batch must not be replaced by the older file.
  if (f.pending) return;
  if (!f.signature.Update(f.fileName)) return;
  f.keys.clear();
  f.keys[""];
  f.unkept = false;
  if (!f.signature.existed) return;
  bool whole = false;
  try {
    whole = Parse(f, ReadFileBytes(f.fileName, 64 << 20));
  } catch (const Exception&) {
    // Unreadable: as if empty, and damaged.
  }
  if (whole) return;
  f.keptAs = KeepDamaged(f.fileName);
  f.unkept = f.keptAs.empty();
  f.damageUnsaid = true;
}

// ---- writing the .reg text ----
std::string Escape(const std::string& s) {
  std::string r;
  for (char c : s) {
    if (c == '\\' || c == '"') r += '\\';
    r += c;
  }
  return r;
}

void AppendHex(std::string& out, const std::string& prefix, const std::string& bytes) {
  static const char* kHex = "0123456789abcdef";
  std::string line = prefix;
  for (size_t i = 0; i < bytes.size(); ++i) {
    uint8_t b = uint8_t(bytes[i]);
    line += kHex[b >> 4];
    line += kHex[b & 15];
    if (i + 1 < bytes.size()) {
      line += ',';
      // regedit keeps lines within 80 columns, continuing with "\" and two blanks.
      if (line.size() > 76) {
        out += line;
        out += "\\\r\n";
        line = "  ";
      }
    }
  }
  out += line;
  out += "\r\n";
}

std::string Serialize(const RegFile& f) {
  std::vector<const RegKey*> keys;
  for (const auto& [id, key] : f.keys)
    if (!(id.empty() && key.values.empty())) keys.push_back(&key);
  // Tree order: a key, then its sub-keys, names compared without case.
  auto order = [](const std::string& p) {
    std::string s = AnsiUpperCase(p);
    std::replace(s.begin(), s.end(), '\\', '\x01');
    return s;
  };
  std::sort(keys.begin(), keys.end(), [&](const RegKey* a, const RegKey* b) { return order(a->path) < order(b->path); });
  std::string out = "REGEDIT4\r\n\r\n";
  for (const RegKey* k : keys) {
    out += "[" + f.rootName + (k->path.empty() ? "" : "\\" + k->path) + "]\r\n";
    for (const RegValue& v : k->values) {
      std::string name = v.name.empty() ? "@" : "\"" + Escape(v.name) + "\"";
      switch (v.type) {
        case REG_SZ: {
          bool plain = std::none_of(v.data.begin(), v.data.end(), [](char c) { return uint8_t(c) < 0x20; });
          if (plain) out += name + "=\"" + Escape(v.data) + "\"\r\n";
          else AppendHex(out, name + "=hex(1):", v.data + std::string(1, '\0'));
          break;
        }
        case REG_EXPAND_SZ:
          AppendHex(out, name + "=hex(2):", v.data + std::string(1, '\0'));
          break;
        case REG_DWORD: {
          uint32_t d = 0;
          std::memcpy(&d, v.data.data(), std::min<size_t>(4, v.data.size()));
          char buf[16];
          std::snprintf(buf, sizeof buf, "%08x", d);
          out += name + "=dword:" + buf + "\r\n";
          break;
        }
        case REG_BINARY:
          AppendHex(out, name + "=hex:", v.data);
          break;
        default: {
          char buf[16];
          std::snprintf(buf, sizeof buf, "%x", v.type);
          AppendHex(out, name + "=hex(" + buf + "):", v.data);
          break;
        }
      }
    }
    out += "\r\n";
  }
  return out;
}

// The parsed file of a root (nullptr for roots without one), current with the disk. Caller holds g_mutex.
RegFile* FileOf(HKEY root) {
  std::string name = RegistryFileName(root);
  if (name.empty()) return nullptr;
  auto& slot = g_files[name];
  if (!slot) {
    slot = std::make_unique<RegFile>();
    slot->fileName = name;
    slot->rootName = RootName(root);
  }
  Refresh(*slot);
  return slot.get();
}

// Saves the file; on failure our copy goes back to what the disk holds and false is returned.
bool Save(RegFile& f) {
  if (f.batchDepth > 0) {
    f.pending = true;
    return true;
  }
  f.pending = false;
  try {
    if (f.unkept) throw EWriteError(f.fileName);
    ForceDirectories(ExtractFileDir(f.fileName));
    SaveTextFileAtomically(f.fileName, Serialize(f));
  } catch (const Exception&) {
    f.signature.Forget();
    Refresh(f);
    return false;
  }
  f.signature.Forget();
  Refresh(f);
  return true;
}

// Whether this process may rewrite the file, as the registry's access check on a key
// asks: a save writes a temporary file in the file's folder and renames it over the file,
// so the folder (or, while it is missing, the nearest folder above it) must take new
// files, and a file that is there must not be read-only for this user.
bool MayRewrite(const std::string& fileName) {
  if (::faccessat(AT_FDCWD, fileName.c_str(), F_OK, 0) == 0 &&
      ::faccessat(AT_FDCWD, fileName.c_str(), W_OK, AT_EACCESS) != 0)
    return false;
  std::string dir = ExtractFileDir(fileName);
  while (!dir.empty() && !DirectoryExists(dir)) {
    std::string up = ExtractFileDir(dir);
    if (up == dir) break;
    dir = up;
  }
  if (dir.empty()) dir = "/";
  return ::faccessat(AT_FDCWD, dir.c_str(), W_OK | X_OK, AT_EACCESS) == 0;
}

[[noreturn]] void InvalidType(const std::string& name) {
  throw ERegistryException(Format(_("Invalid data type for '%s'"), {name}));
}
[[noreturn]] void SetFailed(const std::string& name) {
  throw ERegistryException(Format(_("Failed to set data for '%s'"), {name}));
}
}  // namespace

std::string RegistryFileName(HKEY root) {
  std::string dir = GetEnvironmentVariable("KIVO2_REGISTRY_DIR");
  if (root == HKEY_CURRENT_USER) {
    if (dir.empty()) {
      // XDG_CONFIG_HOME counts only as a full path; else ~/.config.
      std::string config = GetEnvironmentVariable("XDG_CONFIG_HOME");
      if (config.empty() || config[0] != '/') {
        std::string home = GetEnvironmentVariable("HOME");
        if (home.empty()) return std::string();
        config = IncludeTrailingPathDelimiter(home) + ".config";
      }
      dir = IncludeTrailingPathDelimiter(config) + "Kivo2/registry";
    }
    return IncludeTrailingPathDelimiter(dir) + "HKEY_CURRENT_USER.reg";
  }
  if (root == HKEY_LOCAL_MACHINE) {
    if (dir.empty()) dir = "/etc/xdg/Kivo2/registry";
    return IncludeTrailingPathDelimiter(dir) + "HKEY_LOCAL_MACHINE.reg";
  }
  return std::string();
}

bool TakeRegistryDamage(HKEY root, std::string& keptAs) {
  std::lock_guard<std::mutex> lock(g_mutex);
  RegFile* f = FileOf(root);
  keptAs.clear();
  if (!f || !f->damageUnsaid) return false;
  f->damageUnsaid = false;
  keptAs = f->keptAs;
  return true;
}

TRegistry::TRegistry() = default;
TRegistry::TRegistry(uint32_t access) : access_(access) {}
TRegistry::~TRegistry() {
  // A batch left open (an exception between BeginUpdate and EndUpdate) still saves its writes.
  while (updateDepth_ > 0) EndUpdate();
}

void TRegistry::BeginUpdate() {
  std::lock_guard<std::mutex> lock(g_mutex);
  if (updateDepth_ == 0) updateRoot_ = rootKey_;
  if (RegFile* f = FileOf(updateRoot_)) ++f->batchDepth;
  ++updateDepth_;
}

bool TRegistry::EndUpdate() {
  std::lock_guard<std::mutex> lock(g_mutex);
  if (updateDepth_ == 0) return true;
  --updateDepth_;
  RegFile* f = FileOf(updateRoot_);
  if (!f || f->batchDepth == 0) return true;
  if (--f->batchDepth > 0 || !f->pending) return true;
  return Save(*f);
}

void TRegistry::SetRootKey(HKEY root) {
  CloseKey();
  rootKey_ = root;
}

void TRegistry::CloseKey() {
  open_ = false;
  openReadOnly_ = false;
  currentPath_.clear();
}

std::string TRegistry::resolve(const std::string& key) const {
  bool relative = key.empty() || key[0] != '\\';
  std::string path = CleanPath(key);
  if (relative && open_ && !currentPath_.empty()) return path.empty() ? currentPath_ : currentPath_ + "\\" + path;
  return path;
}

bool TRegistry::writable() const { return open_ && !openReadOnly_ && (access_ & KEY_SET_VALUE); }

namespace {
// The open key's data, or nullptr (no key open, or the key is gone). Caller holds g_mutex.
RegKey* CurrentKeyOf(RegFile* f, bool open, const std::string& path) {
  if (!f || !open) return nullptr;
  auto it = f->keys.find(KeyId(path));
  return it == f->keys.end() ? nullptr : &it->second;
}
}  // namespace

bool TRegistry::OpenKey(const std::string& key, bool canCreate) {
  std::lock_guard<std::mutex> lock(g_mutex);
  std::string path = resolve(key);
  RegFile* f = FileOf(rootKey_);
  if (!f) {
    if (!path.empty()) return false;
    open_ = true;
    openReadOnly_ = true;
    currentPath_.clear();
    return true;
  }
  // A key opened with the right to write needs a file this user may write, as a key of
  // HKEY_LOCAL_MACHINE does on Windows: without it the open fails, whether the key exists
  // or not.
  if ((access_ & (KEY_CREATE_SUB_KEY | KEY_SET_VALUE)) && !MayRewrite(f->fileName)) return false;
  auto it = f->keys.find(KeyId(path));
  if (it == f->keys.end()) {
    if (!canCreate || !(access_ & (KEY_CREATE_SUB_KEY | KEY_SET_VALUE))) return false;
    EnsureKey(*f, path);
    if (!Save(*f)) return false;
    it = f->keys.find(KeyId(path));
    if (it == f->keys.end()) return false;
  }
  open_ = true;
  openReadOnly_ = false;
  currentPath_ = it->second.path;
  return true;
}

bool TRegistry::OpenKeyReadOnly(const std::string& key) {
  std::lock_guard<std::mutex> lock(g_mutex);
  std::string path = resolve(key);
  RegFile* f = FileOf(rootKey_);
  std::string found;
  if (!f) {
    if (!path.empty()) return false;
  } else {
    auto it = f->keys.find(KeyId(path));
    if (it == f->keys.end()) return false;
    found = it->second.path;
  }
  open_ = true;
  openReadOnly_ = true;
  currentPath_ = found;
  return true;
}

bool TRegistry::CreateKey(const std::string& key) {
  std::lock_guard<std::mutex> lock(g_mutex);
  std::string path = resolve(key);
  RegFile* f = FileOf(rootKey_);
  if (f && f->keys.count(KeyId(path))) return true;
  if (!f || path.empty() || !(access_ & (KEY_CREATE_SUB_KEY | KEY_SET_VALUE)) || (EnsureKey(*f, path), !Save(*f)))
    throw ERegistryException(Format(_("Failed to create key %s"), {key}));
  return true;
}

bool TRegistry::DeleteKey(const std::string& key) {
  std::lock_guard<std::mutex> lock(g_mutex);
  std::string path = resolve(key);
  RegFile* f = FileOf(rootKey_);
  if (!f || path.empty() || !(access_ & KEY_SET_VALUE)) return false;
  std::string id = KeyId(path);
  if (!f->keys.count(id)) return false;
  std::string prefix = id + "\\";
  for (auto it = f->keys.begin(); it != f->keys.end();) {
    if (it->first == id || it->first.compare(0, prefix.size(), prefix) == 0) it = f->keys.erase(it);
    else ++it;
  }
  return Save(*f);
}

bool TRegistry::KeyExists(const std::string& key) {
  std::lock_guard<std::mutex> lock(g_mutex);
  std::string path = resolve(key);
  RegFile* f = FileOf(rootKey_);
  if (!f) return path.empty();
  return f->keys.count(KeyId(path)) != 0;
}

namespace {
std::vector<std::string> ChildNames(RegFile* f, const std::string& path) {
  std::vector<std::string> names;
  if (!f) return names;
  std::string prefix = path.empty() ? std::string() : KeyId(path) + "\\";
  for (const auto& [id, key] : f->keys) {
    if (id.empty() || id.size() <= prefix.size() || id.compare(0, prefix.size(), prefix) != 0) continue;
    if (id.find('\\', prefix.size()) != std::string::npos) continue;
    size_t slash = key.path.rfind('\\');
    names.push_back(slash == std::string::npos ? key.path : key.path.substr(slash + 1));
  }
  std::sort(names.begin(), names.end(), [](const std::string& a, const std::string& b) { return AnsiCompareText(a, b) < 0; });
  return names;
}
}  // namespace

bool TRegistry::HasSubKeys() {
  std::lock_guard<std::mutex> lock(g_mutex);
  return !ChildNames(FileOf(rootKey_), open_ ? currentPath_ : std::string()).empty();
}

void TRegistry::GetKeyNames(TStrings& strings) {
  std::vector<std::string> names;
  {
    std::lock_guard<std::mutex> lock(g_mutex);
    names = ChildNames(FileOf(rootKey_), open_ ? currentPath_ : std::string());
  }
  rtl_internal::ReplaceLines(strings, names);
}

void TRegistry::GetValueNames(TStrings& strings) {
  std::vector<std::string> names;
  {
    std::lock_guard<std::mutex> lock(g_mutex);
    if (RegKey* k = CurrentKeyOf(FileOf(rootKey_), open_, currentPath_))
      for (const auto& v : k->values) names.push_back(v.name);
  }
  rtl_internal::ReplaceLines(strings, names);
}

namespace {
bool Lookup(HKEY root, bool open, const std::string& path, const std::string& name, RegValue& out) {
  std::lock_guard<std::mutex> lock(g_mutex);
  RegKey* k = CurrentKeyOf(FileOf(root), open, path);
  if (!k) return false;
  RegValue* v = k->Find(name);
  if (!v) return false;
  out = *v;
  return true;
}

TRegDataType DataTypeOf(uint32_t type) {
  switch (type) {
    case REG_SZ: return rdString;
    case REG_EXPAND_SZ: return rdExpandString;
    case REG_DWORD: return rdInteger;
    case REG_BINARY: return rdBinary;
    default: return rdUnknown;
  }
}

int SizeOf(const RegValue& v) {
  if (v.type == REG_SZ || v.type == REG_EXPAND_SZ) return int(v.data.size()) + 1;
  return int(v.data.size());
}
}  // namespace

bool TRegistry::ValueExists(const std::string& name) {
  RegValue v;
  return Lookup(rootKey_, open_, currentPath_, name, v);
}

bool TRegistry::DeleteValue(const std::string& name) {
  std::lock_guard<std::mutex> lock(g_mutex);
  if (!writable()) return false;
  RegFile* f = FileOf(rootKey_);
  RegKey* k = CurrentKeyOf(f, open_, currentPath_);
  if (!k) return false;
  auto it = std::find_if(k->values.begin(), k->values.end(), [&](const RegValue& v) { return AnsiSameText(v.name, name); });
  if (it == k->values.end()) return false;
  k->values.erase(it);
  return Save(*f);
}

TRegDataType TRegistry::GetDataType(const std::string& name) {
  RegValue v;
  return Lookup(rootKey_, open_, currentPath_, name, v) ? DataTypeOf(v.type) : rdUnknown;
}

int TRegistry::GetDataSize(const std::string& name) {
  RegValue v;
  return Lookup(rootKey_, open_, currentPath_, name, v) ? SizeOf(v) : -1;
}

bool TRegistry::GetDataInfo(const std::string& name, TRegDataInfo& info) {
  RegValue v;
  if (!Lookup(rootKey_, open_, currentPath_, name, v)) {
    info = TRegDataInfo();
    return false;
  }
  info.RegData = DataTypeOf(v.type);
  info.DataSize = SizeOf(v);
  return true;
}

std::string TRegistry::ReadString(const std::string& name) {
  RegValue v;
  if (!Lookup(rootKey_, open_, currentPath_, name, v)) return std::string();
  if (v.type != REG_SZ && v.type != REG_EXPAND_SZ) InvalidType(name);
  return v.data;
}

int TRegistry::ReadInteger(const std::string& name) {
  RegValue v;
  if (!Lookup(rootKey_, open_, currentPath_, name, v) || v.type != REG_DWORD || v.data.size() != 4) InvalidType(name);
  uint32_t d;
  std::memcpy(&d, v.data.data(), 4);
  return int(int32_t(d));
}

bool TRegistry::ReadBool(const std::string& name) { return ReadInteger(name) != 0; }

double TRegistry::ReadFloat(const std::string& name) {
  RegValue v;
  if (!Lookup(rootKey_, open_, currentPath_, name, v) || v.type != REG_BINARY || v.data.size() != sizeof(double))
    InvalidType(name);
  double d;
  std::memcpy(&d, v.data.data(), sizeof d);
  return d;
}

int TRegistry::ReadBinaryData(const std::string& name, void* buffer, int bufSize) {
  RegValue v;
  if (!Lookup(rootKey_, open_, currentPath_, name, v)) InvalidType(name);
  if (v.type == REG_SZ || v.type == REG_EXPAND_SZ || v.type == REG_DWORD) InvalidType(name);
  if (bufSize < 0 || size_t(bufSize) < v.data.size() || (!buffer && !v.data.empty()))
    throw ERegistryException(Format(_("Failed to get data for '%s'"), {name}));
  if (!v.data.empty()) std::memcpy(buffer, v.data.data(), v.data.size());
  return int(v.data.size());
}

namespace {
// Sets a value of the open key and saves the file.
void Put(bool writable, HKEY root, bool open, const std::string& path, const std::string& name, uint32_t type,
         std::string data) {
  std::lock_guard<std::mutex> lock(g_mutex);
  if (!writable) SetFailed(name);
  RegFile* f = FileOf(root);
  RegKey* k = CurrentKeyOf(f, open, path);
  if (!k) SetFailed(name);  // the open key was deleted meanwhile
  if (RegValue* v = k->Find(name)) {
    v->type = type;
    v->data = std::move(data);
  } else {
    k->values.push_back(RegValue{name, type, std::move(data)});
  }
  if (!Save(*f)) SetFailed(name);
}
}  // namespace

void TRegistry::WriteString(const std::string& name, const std::string& value) {
  Put(writable(), rootKey_, open_, currentPath_, name, REG_SZ, value);
}

void TRegistry::WriteExpandString(const std::string& name, const std::string& value) {
  Put(writable(), rootKey_, open_, currentPath_, name, REG_EXPAND_SZ, value);
}

void TRegistry::WriteInteger(const std::string& name, int value) {
  uint32_t d = uint32_t(value);
  Put(writable(), rootKey_, open_, currentPath_, name, REG_DWORD, std::string(reinterpret_cast<const char*>(&d), 4));
}

void TRegistry::WriteBool(const std::string& name, bool value) { WriteInteger(name, value ? 1 : 0); }

void TRegistry::WriteFloat(const std::string& name, double value) {
  Put(writable(), rootKey_, open_, currentPath_, name, REG_BINARY,
      std::string(reinterpret_cast<const char*>(&value), sizeof value));
}

void TRegistry::WriteBinaryData(const std::string& name, const void* buffer, int bufSize) {
  if (bufSize < 0 || (!buffer && bufSize > 0)) SetFailed(name);
  Put(writable(), rootKey_, open_, currentPath_, name, REG_BINARY,
      std::string(static_cast<const char*>(buffer ? buffer : ""), size_t(bufSize)));
}
