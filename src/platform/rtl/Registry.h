#pragma once
// TRegistry: the registry stand-in. Each root is one text file in the Windows ".reg" export
// format (REGEDIT4): HKEY_CURRENT_USER.reg and HKEY_LOCAL_MACHINE.reg in $KIVO2_REGISTRY_DIR
// when set, else $XDG_CONFIG_HOME/Kivo2/registry/ (~/.config when unset) and
// /etc/xdg/Kivo2/registry/. HKEY_CLASSES_ROOT and the other roots are empty and read-only.
// Key and value names compare without case. Writes are saved at once, atomically; a failed
// save raises ERegistryException. Every TRegistry of the process sees the others' writes, and
// a file changed on disk is read again. A damaged file (see TakeRegistryDamage) gives the
// values it holds whole; before anything is saved over it, a copy of it is kept beside it.
#include <cstdint>
#include <string>

#include "platform/rtl/Classes.h"
#include "platform/rtl/SysUtils.h"

using HKEY = uintptr_t;
constexpr HKEY HKEY_CLASSES_ROOT = 0x80000000u;
constexpr HKEY HKEY_CURRENT_USER = 0x80000001u;
constexpr HKEY HKEY_LOCAL_MACHINE = 0x80000002u;
constexpr HKEY HKEY_USERS = 0x80000003u;
constexpr HKEY HKEY_CURRENT_CONFIG = 0x80000005u;

constexpr uint32_t KEY_QUERY_VALUE = 0x0001;
constexpr uint32_t KEY_SET_VALUE = 0x0002;
constexpr uint32_t KEY_CREATE_SUB_KEY = 0x0004;
constexpr uint32_t KEY_ENUMERATE_SUB_KEYS = 0x0008;
constexpr uint32_t KEY_NOTIFY = 0x0010;
constexpr uint32_t KEY_READ = 0x20019;
constexpr uint32_t KEY_WRITE = 0x20006;
constexpr uint32_t KEY_EXECUTE = KEY_READ;
constexpr uint32_t KEY_ALL_ACCESS = 0xF003F;

enum TRegDataType { rdUnknown, rdString, rdExpandString, rdInteger, rdBinary };

struct TRegDataInfo {
  TRegDataType RegData = rdUnknown;
  int DataSize = 0;
};

// The file that holds a root ("" for roots without a file).
std::string RegistryFileName(HKEY root);

// Whether the root's file was found damaged since the last call for it (each finding is
// reported once): it could not be read whole - no export header first, a line that is no
// key, value, comment or blank, or an end other than the blank line after the last key
// that every file written here has (a file cut short). Its whole values are read, the rest
// are missing. keptAs gets the copy kept beside it, "<file>.damaged" (or "-2", "-3" ...
// after it when that name holds other bytes); it is "" when no copy could be made, and
// the file is then not saved over.
bool TakeRegistryDamage(HKEY root, std::string& keptAs);

class TRegistry : public TObject {
 public:
  TRegistry();  // HKEY_CURRENT_USER, KEY_ALL_ACCESS
  explicit TRegistry(uint32_t access);
  ~TRegistry() override;
  TRegistry(const TRegistry&) = delete;
  TRegistry& operator=(const TRegistry&) = delete;

  HKEY RootKey() const { return rootKey_; }
  void SetRootKey(HKEY root);  // closes the current key
  uint32_t Access() const { return access_; }
  void SetAccess(uint32_t access) { access_ = access; }
  // Non-zero while a key is open.
  HKEY CurrentKey() const { return open_ ? rootKey_ : 0; }
  // Path of the open key below the root, without a leading backslash ("" at the root).
  const std::string& CurrentPath() const { return currentPath_; }

  // Opens key (relative to the open key unless it starts with '\'); with canCreate a missing
  // key is made (false when it cannot be). Writing needs KEY_SET_VALUE in Access. With
  // KEY_SET_VALUE or KEY_CREATE_SUB_KEY in Access the open fails when this user may not
  // rewrite the root's file (a read-only HKEY_LOCAL_MACHINE), as an open for full access
  // of a key the user may not write fails on Windows; OpenKeyReadOnly still opens it.
  bool OpenKey(const std::string& key, bool canCreate);
  // Opens an existing key for reading only.
  bool OpenKeyReadOnly(const std::string& key);
  bool CreateKey(const std::string& key);
  // Deletes the key and everything below it.
  bool DeleteKey(const std::string& key);
  bool KeyExists(const std::string& key);
  void CloseKey();
  bool HasSubKeys();
  void GetKeyNames(TStrings& strings);
  void GetKeyNames(TStrings* strings) { GetKeyNames(*strings); }
  void GetValueNames(TStrings& strings);  // "" is the default value (shown as @ in the file)
  void GetValueNames(TStrings* strings) { GetValueNames(*strings); }

  bool ValueExists(const std::string& name);
  bool DeleteValue(const std::string& name);
  TRegDataType GetDataType(const std::string& name);  // rdUnknown when missing
  int GetDataSize(const std::string& name);            // bytes as Windows counts them; -1 when missing
  bool GetDataInfo(const std::string& name, TRegDataInfo& info);

  // "" for a missing value; ERegistryException "Invalid data type for 'name'" for a non-string value.
  std::string ReadString(const std::string& name);
  // Missing values and values of another type raise ERegistryException "Invalid data type for 'name'".
  int ReadInteger(const std::string& name);
  bool ReadBool(const std::string& name);
  double ReadFloat(const std::string& name);  // 8 bytes of binary data
  // Copies the binary data into buffer (raises when bufSize is too small); returns its size.
  int ReadBinaryData(const std::string& name, void* buffer, int bufSize);

  // Raise ERegistryException "Failed to set data for 'name'" when no key is open for writing
  // or the file cannot be saved.
  void WriteString(const std::string& name, const std::string& value);
  void WriteExpandString(const std::string& name, const std::string& value);
  void WriteInteger(const std::string& name, int value);
  void WriteBool(const std::string& name, bool value);  // a DWORD 1 or 0
  void WriteFloat(const std::string& name, double value);
  void WriteBinaryData(const std::string& name, const void* buffer, int bufSize);

  // Between BeginUpdate and the matching EndUpdate the writes to this object's root are
  // kept in memory and saved together, once, by EndUpdate; false when that save failed
  // (the file then keeps its old contents). Other objects see the writes at once.
  void BeginUpdate();
  bool EndUpdate();

 private:
  std::string resolve(const std::string& key) const;
  bool writable() const;
  HKEY rootKey_ = HKEY_CURRENT_USER;
  uint32_t access_ = KEY_ALL_ACCESS;
  bool open_ = false;
  bool openReadOnly_ = false;
  std::string currentPath_;
  int updateDepth_ = 0;
  HKEY updateRoot_ = 0;
};
