#pragma once
// The class library's base classes: TObject, TPersistent, TComponent with
// ownership, events, and (from the rest of the run-time library) string lists.
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "platform/rtl/Streams.h"
#include "platform/rtl/SysUtils.h"
#include "platform/rtl/Types.h"

class TObject {
 public:
  virtual ~TObject() = default;
};

using TNotifyEvent = std::function<void(TObject* Sender)>;

class TPersistent : public TObject {
 public:
  // Copies source into this object; the default raises EConvertError ("Cannot assign").
  virtual void Assign(TPersistent* source);
};

enum TOperation { opInsert, opRemove };

// A component belongs to its owner, which frees it (last created first) when it is freed.
// A component freed on its own leaves its owner's list.
class TComponent : public TPersistent {
 public:
  explicit TComponent(TComponent* owner);
  ~TComponent() override;
  TComponent(const TComponent&) = delete;
  TComponent& operator=(const TComponent&) = delete;

  TComponent* Owner() const { return owner_; }
  const std::string& Name() const { return name_; }
  void SetName(const std::string& name) { name_ = name; }
  intptr_t Tag() const { return tag_; }
  void SetTag(intptr_t tag) { tag_ = tag; }

  int ComponentCount() const { return int(components_.size()); }
  TComponent* Components(int index) const;
  // The owned component of that name (case-blind), or nullptr.
  TComponent* FindComponent(const std::string& name) const;
  void InsertComponent(TComponent* component);
  void RemoveComponent(TComponent* component);
  // Frees every owned component, the last created first.
  void DestroyComponents();
  bool Destroying() const { return destroying_; }
  // Asks to be told (Notification) when component is freed.
  void FreeNotification(TComponent* component);

 protected:
  virtual void Notification(TComponent* component, TOperation operation);

 private:
  TComponent* owner_ = nullptr;
  std::string name_;
  intptr_t tag_ = 0;
  std::vector<TComponent*> components_;
  std::vector<TComponent*> freeNotifies_;
  bool destroying_ = false;
};

// ===========================================================================
// String lists. TStrings is the abstract list (list boxes, memos and combo boxes
// derive from it and supply the primitives); TStringList keeps its own lines.
// Index errors raise EStringListError "List index out of bounds (%d)".
// ===========================================================================
enum TDuplicates { dupIgnore, dupAccept, dupError };

class TStrings : public TPersistent {
 public:
  TStrings() = default;
  TStrings(const TStrings&) = delete;
  TStrings& operator=(const TStrings&) = delete;

  // --- primitives a derived list supplies ---
  virtual int Count() const = 0;
  virtual std::string Strings(int index) const = 0;
  virtual void SetStrings(int index, const std::string& s);  // default: Delete + Insert, object kept
  virtual TObject* Objects(int index) const;                 // default: nullptr
  virtual void SetObjects(int index, TObject* object);       // default: ignored
  virtual void Insert(int index, const std::string& s) = 0;
  virtual void Delete(int index) = 0;
  virtual void Clear() = 0;
  // Room for this many lines without growing (default: ignored).
  virtual void SetCapacity(int /*capacity*/) {}

  std::string operator[](int index) const { return Strings(index); }
  // An integer kept with a line (the object pointer slot used as a number).
  intptr_t Data(int index) const { return reinterpret_cast<intptr_t>(Objects(index)); }
  void SetData(int index, intptr_t value) { SetObjects(index, reinterpret_cast<TObject*>(value)); }

  // --- built on the primitives ---
  virtual int Add(const std::string& s);  // index of the new line
  // The same, taking the text over instead of copying it where the list can.
  virtual int Add(std::string&& s) { return Add(static_cast<const std::string&>(s)); }
  int AddObject(const std::string& s, TObject* object);
  int AddData(const std::string& s, intptr_t value);
  void InsertObject(int index, const std::string& s, TObject* object);
  void Append(const std::string& s) { Add(s); }
  void AddStrings(const TStrings& strings);
  void AddStrings(const std::vector<std::string>& strings);
  virtual void Exchange(int index1, int index2);
  virtual void Move(int curIndex, int newIndex);
  // First line equal to s (without case unless the list is case sensitive); -1 when none.
  virtual int IndexOf(const std::string& s) const;
  int IndexOfName(const std::string& name) const;
  int IndexOfObject(const TObject* object) const;
  bool Equals(const TStrings& other) const;  // same lines, exactly

  // Name=Value lines (the separator is NameValueSeparator, '=').
  std::string Names(int index) const;
  std::string ValueFromIndex(int index) const;
  void SetValueFromIndex(int index, const std::string& value);
  std::string Values(const std::string& name) const;  // "" when absent
  // Sets the value of name (adds "name=value"); an empty value removes the line.
  void SetValues(const std::string& name, const std::string& value);
  char NameValueSeparator() const { return nameValueSeparator_; }
  void SetNameValueSeparator(char c) { nameValueSeparator_ = c; }

  // Every line followed by CR LF.
  std::string Text() const;
  // Splits at CR LF, LF and lone CR; a final line break adds no empty line.
  virtual void SetText(const std::string& text);
  // Lines separated by ',' and quoted with '"' when they hold blanks, commas, quotes or control characters.
  std::string CommaText() const;
  void SetCommaText(const std::string& text);
  // Lines separated by Delimiter and quoted with QuoteChar as needed. Without StrictDelimiter
  // blanks (and control characters) also separate unquoted lines, as the class library does.
  std::string DelimitedText() const;
  void SetDelimitedText(const std::string& text);
  char Delimiter() const { return delimiter_; }
  void SetDelimiter(char c) { delimiter_ = c; }
  char QuoteChar() const { return quoteChar_; }
  void SetQuoteChar(char c) { quoteChar_ = c; }
  bool StrictDelimiter() const { return strictDelimiter_; }
  void SetStrictDelimiter(bool b) { strictDelimiter_ = b; }

  // Any line end; UTF-8 when valid, else Windows-1252; a UTF-8 byte-order mark is dropped.
  // LoadFromFile raises EFOpenError when the file cannot be opened.
  virtual void LoadFromFile(const std::string& fileName);
  // The same for a file of at most maxBytes (EReadError when larger).
  void LoadFromFile(const std::string& fileName, int64_t maxBytes);
  virtual void LoadFromStream(TStream& stream);  // reads from the stream's position to its end
  // CR LF line ends, UTF-8 without byte-order mark. SaveToFile replaces the file atomically
  // and raises EFCreateError/EWriteError on failure (the old file stays as it was).
  virtual void SaveToFile(const std::string& fileName) const;
  virtual void SaveToStream(TStream& stream) const;

  void Assign(TPersistent* source) override;
  void Assign(const TStrings& source);
  std::vector<std::string> ToVector() const;

  // Updates: OnChange (of a string list) and repainting (of a control) wait until the last EndUpdate.
  void BeginUpdate();
  void EndUpdate();
  int UpdateCount() const { return updateCount_; }

 protected:
  // Told when the first BeginUpdate starts (true) and the last EndUpdate ends (false).
  virtual void SetUpdateState(bool updating);
  // Compares two lines the way IndexOf does (without case here).
  virtual int CompareStrings(const std::string& a, const std::string& b) const;
  [[noreturn]] void Error(int index) const;

 private:
  int updateCount_ = 0;
  char nameValueSeparator_ = '=';
  char delimiter_ = ',';
  char quoteChar_ = '"';
  bool strictDelimiter_ = false;
};

class TStringList;
// <0, 0, >0 for the lines at index1 and index2.
using TStringListSortCompare = std::function<int(TStringList* list, int index1, int index2)>;

class TStringList : public TStrings {
 public:
  TStringList() = default;
  ~TStringList() override = default;

  int Count() const override { return int(items_.size()); }
  std::string Strings(int index) const override;
  // A reference to the line (no copy); raises for a bad index.
  const std::string& StringRef(int index) const;
  void SetStrings(int index, const std::string& s) override;  // EStringListError on a sorted list
  TObject* Objects(int index) const override;
  void SetObjects(int index, TObject* object) override;
  void Insert(int index, const std::string& s) override;  // EStringListError on a sorted list
  void Delete(int index) override;
  void Clear() override;
  void SetCapacity(int capacity) override {
    if (capacity > 0) items_.reserve(size_t(capacity));
  }
  void Exchange(int index1, int index2) override;
  void Move(int curIndex, int newIndex) override;
  // On a sorted list: inserts at the sorted place, honouring Duplicates (dupIgnore returns the
  // index of the line already there; dupError raises EStringListError "String list does not allow duplicates").
  int Add(const std::string& s) override;
  int Add(std::string&& s) override;
  int IndexOf(const std::string& s) const override;  // binary search when sorted
  void SetText(const std::string& text) override;

  // Sorts without case (or with, when CaseSensitive); ties keep no particular but a fixed order.
  virtual void Sort();
  void CustomSort(const TStringListSortCompare& compare);
  bool Sorted() const { return sorted_; }
  void SetSorted(bool sorted);  // sorting starts at once
  TDuplicates Duplicates() const { return duplicates_; }
  void SetDuplicates(TDuplicates d) { duplicates_ = d; }
  bool CaseSensitive() const { return caseSensitive_; }
  void SetCaseSensitive(bool b);  // a sorted list is sorted again
  // On a sorted list: true when s is there, index is its position or where it would go.
  // On an unsorted list the result is meaningless, as in the class library.
  virtual bool Find(const std::string& s, int& index) const;

  TNotifyEvent OnChange;
  TNotifyEvent OnChanging;

 protected:
  void SetUpdateState(bool updating) override;
  int CompareStrings(const std::string& a, const std::string& b) const override;
  virtual void Changed();
  virtual void Changing();

 private:
  struct Item {
    std::string s;
    TObject* object = nullptr;
  };
  void insertItem(int index, std::string s, TObject* object);
  // Where Add puts s; -1 - index of the line already there when Duplicates ignores it
  // (dupError raises).
  int addIndex(const std::string& s) const;
  void quickSort(const TStringListSortCompare& compare);
  std::vector<Item> items_;
  bool sorted_ = false;
  bool caseSensitive_ = false;
  TDuplicates duplicates_ = dupIgnore;
};

// Changes a stored list file as one step that no other process can interleave: takes the
// lock of the file's folder (TFolderLock), reads the file again (no lines when it is
// absent), lets change edit the lines, writes them whole (SaveToFile) when change returns
// true, and lets the lock go. True when it wrote. Raises, with the file as it was, when
// the lock is not had (in time, before the user gave the wait up, or at all: EFOpenError),
// when the file cannot be read or is larger than maxBytes (EReadError), or when it cannot
// be written. change must not wait for the user.
bool ChangeListFile(const std::string& fileName, const std::function<bool(TStringList& lines)>& change,
                    int64_t maxBytes = int64_t(64) << 20);
