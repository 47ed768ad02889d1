// String lists: TStrings (the list built on a few primitives) and TStringList.
#include <algorithm>

#include "platform/i18n/GnuGetText.h"
#include "platform/rtl/Classes.h"
#include "platform/rtl/RtlInternal.h"

// ---------------------------------------------------------------------------
// TStrings
// ---------------------------------------------------------------------------
void TStrings::Error(int index) const {
  throw EStringListError(Format(_("List index out of bounds (%d)"), {index}));
}

void TStrings::SetStrings(int index, const std::string& s) {
  TObject* o = Objects(index);
  Delete(index);
  InsertObject(index, s, o);
}

TObject* TStrings::Objects(int) const { return nullptr; }
void TStrings::SetObjects(int, TObject*) {}

int TStrings::Add(const std::string& s) {
  int index = Count();
  Insert(index, s);
  return index;
}

int TStrings::AddObject(const std::string& s, TObject* object) {
  int index = Add(s);
  SetObjects(index, object);
  return index;
}

int TStrings::AddData(const std::string& s, intptr_t value) {
  return AddObject(s, reinterpret_cast<TObject*>(value));
}

void TStrings::InsertObject(int index, const std::string& s, TObject* object) {
  Insert(index, s);
  SetObjects(index, object);
}

void TStrings::AddStrings(const TStrings& strings) {
  BeginUpdate();
  try {
    for (int i = 0; i < strings.Count(); ++i) AddObject(strings.Strings(i), strings.Objects(i));
  } catch (...) {
    EndUpdate();
    throw;
  }
  EndUpdate();
}

void TStrings::AddStrings(const std::vector<std::string>& strings) {
  BeginUpdate();
  try {
    for (const auto& s : strings) Add(s);
  } catch (...) {
    EndUpdate();
    throw;
  }
  EndUpdate();
}

void TStrings::Exchange(int index1, int index2) {
  BeginUpdate();
  try {
    std::string s1 = Strings(index1), s2 = Strings(index2);
    TObject* o1 = Objects(index1);
    TObject* o2 = Objects(index2);
    SetStrings(index1, s2);
    SetObjects(index1, o2);
    SetStrings(index2, s1);
    SetObjects(index2, o1);
  } catch (...) {
    EndUpdate();
    throw;
  }
  EndUpdate();
}

void TStrings::Move(int curIndex, int newIndex) {
  if (curIndex == newIndex) return;
  BeginUpdate();
  try {
    std::string s = Strings(curIndex);
    TObject* o = Objects(curIndex);
    if (newIndex < 0 || newIndex >= Count()) Error(newIndex);
    Delete(curIndex);
    InsertObject(newIndex, s, o);
  } catch (...) {
    EndUpdate();
    throw;
  }
  EndUpdate();
}

int TStrings::CompareStrings(const std::string& a, const std::string& b) const { return AnsiCompareText(a, b); }

int TStrings::IndexOf(const std::string& s) const {
  for (int i = 0, n = Count(); i < n; ++i)
    if (CompareStrings(Strings(i), s) == 0) return i;
  return -1;
}

std::string TStrings::Names(int index) const {
  std::string s = Strings(index);
  size_t p = s.find(nameValueSeparator_);
  return p == std::string::npos ? std::string() : s.substr(0, p);
}

int TStrings::IndexOfName(const std::string& name) const {
  for (int i = 0, n = Count(); i < n; ++i) {
    std::string s = Strings(i);
    size_t p = s.find(nameValueSeparator_);
    if (p != std::string::npos && CompareStrings(s.substr(0, p), name) == 0) return i;
  }
  return -1;
}

int TStrings::IndexOfObject(const TObject* object) const {
  for (int i = 0, n = Count(); i < n; ++i)
    if (Objects(i) == object) return i;
  return -1;
}

bool TStrings::Equals(const TStrings& other) const {
  if (Count() != other.Count()) return false;
  for (int i = 0, n = Count(); i < n; ++i)
    if (Strings(i) != other.Strings(i)) return false;
  return true;
}

std::string TStrings::ValueFromIndex(int index) const {
  std::string s = Strings(index);
  size_t p = s.find(nameValueSeparator_);
  // A line without a separator has no value (not its text minus one character).
  return p == std::string::npos ? std::string() : s.substr(p + 1);
}

void TStrings::SetValueFromIndex(int index, const std::string& value) {
  if (value.empty()) {
    if (index >= 0) Delete(index);
    return;
  }
  if (index < 0) {
    Add(std::string(1, nameValueSeparator_) + value);
    return;
  }
  SetStrings(index, Names(index) + nameValueSeparator_ + value);
}

std::string TStrings::Values(const std::string& name) const {
  int i = IndexOfName(name);
  return i < 0 ? std::string() : ValueFromIndex(i);
}

void TStrings::SetValues(const std::string& name, const std::string& value) {
  int i = IndexOfName(name);
  if (value.empty()) {
    if (i >= 0) Delete(i);
    return;
  }
  std::string line = name + nameValueSeparator_ + value;
  if (i < 0) Add(line);
  else SetStrings(i, line);
}

std::string TStrings::Text() const {
  std::string r;
  for (int i = 0, n = Count(); i < n; ++i) {
    r += Strings(i);
    r += "\r\n";
  }
  return r;
}

void TStrings::SetText(const std::string& text) {
  BeginUpdate();
  try {
    Clear();
    for (const std::string& line : rtl_internal::SplitLines(text)) Add(line);
  } catch (...) {
    EndUpdate();
    throw;
  }
  EndUpdate();
}

std::string TStrings::DelimitedText() const {
  int n = Count();
  if (n == 1 && Strings(0).empty()) return std::string(2, quoteChar_);
  std::string r;
  for (int i = 0; i < n; ++i) {
    std::string s = Strings(i);
    bool quote = false;
    for (char c : s) {
      unsigned char u = static_cast<unsigned char>(c);
      if (c == quoteChar_ || c == delimiter_ || (!strictDelimiter_ && u <= ' ' ) || (strictDelimiter_ && u == 0)) {
        quote = true;
        break;
      }
    }
    if (i) r += delimiter_;
    r += quote ? AnsiQuotedStr(s, quoteChar_) : s;
  }
  return r;
}

void TStrings::SetDelimitedText(const std::string& text) {
  BeginUpdate();
  try {
    Clear();
    size_t i = 0, n = text.size();
    auto blank = [&](size_t k) { return k < n && text[k] != 0 && static_cast<unsigned char>(text[k]) <= ' '; };
    auto skipBlanks = [&] {
      if (!strictDelimiter_)
        while (blank(i)) ++i;
    };
    skipBlanks();
    while (i < n) {
      std::string token;
      if (text[i] == quoteChar_) {
        ++i;
        while (i < n) {
          if (text[i] == quoteChar_) {
            if (i + 1 < n && text[i + 1] == quoteChar_) {
              token += quoteChar_;
              i += 2;
              continue;
            }
            ++i;
            break;
          }
          token += text[i++];
        }
      } else {
        size_t start = i;
        while (i < n && text[i] != delimiter_ && (strictDelimiter_ || !blank(i))) ++i;
        token = text.substr(start, i - start);
      }
      Add(token);
      skipBlanks();
      if (i < n && text[i] == delimiter_) {
        if (i + 1 == n) Add(std::string());
        ++i;
        skipBlanks();
      } else if (i < n && strictDelimiter_) {
        // Text after a closing quote up to the next delimiter belongs to no line.
        while (i < n && text[i] != delimiter_) ++i;
        if (i < n) {
          if (i + 1 == n) Add(std::string());
          ++i;
        }
      }
    }
  } catch (...) {
    EndUpdate();
    throw;
  }
  EndUpdate();
}

std::string TStrings::CommaText() const {
  TStringList copy;
  copy.AddStrings(*this);
  return copy.DelimitedText();
}

void TStrings::SetCommaText(const std::string& text) {
  char d = delimiter_, q = quoteChar_;
  bool strict = strictDelimiter_;
  delimiter_ = ',';
  quoteChar_ = '"';
  strictDelimiter_ = false;
  try {
    SetDelimitedText(text);
  } catch (...) {
    delimiter_ = d;
    quoteChar_ = q;
    strictDelimiter_ = strict;
    throw;
  }
  delimiter_ = d;
  quoteChar_ = q;
  strictDelimiter_ = strict;
}

void TStrings::LoadFromFile(const std::string& fileName) { SetText(rtl_internal::DecodeTextFile(ReadFileBytes(fileName))); }

void TStrings::LoadFromFile(const std::string& fileName, int64_t maxBytes) {
  SetText(rtl_internal::DecodeTextFile(ReadFileBytes(fileName, maxBytes)));
}

void TStrings::LoadFromStream(TStream& stream) {
  int64_t pos = stream.Position();
  int64_t size = stream.Size();
  std::string bytes;
  if (size > pos) {
    bytes.resize(size_t(size - pos));
    int64_t got = stream.Read(bytes.data(), int64_t(bytes.size()));
    bytes.resize(size_t(std::max<int64_t>(got, 0)));
  }
  SetText(rtl_internal::DecodeTextFile(std::move(bytes)));
}

void TStrings::SaveToFile(const std::string& fileName) const { SaveTextFileAtomically(fileName, Text()); }

bool ChangeListFile(const std::string& fileName, const std::function<bool(TStringList& lines)>& change,
                    int64_t maxBytes) {
  TFolderLock lock(fileName);
  TStringList lines;
  if (FileExists(fileName)) lines.LoadFromFile(fileName, maxBytes);
  if (!change(lines)) return false;
  lines.SaveToFile(fileName);
  return true;
}

void TStrings::SaveToStream(TStream& stream) const {
  std::string t = Text();
  if (!t.empty()) stream.WriteBuffer(t.data(), int64_t(t.size()));
}

void TStrings::Assign(TPersistent* source) {
  if (auto* s = dynamic_cast<TStrings*>(source)) {
    Assign(*s);
    return;
  }
  TPersistent::Assign(source);
}

void TStrings::Assign(const TStrings& source) {
  if (&source == this) return;
  BeginUpdate();
  try {
    Clear();
    nameValueSeparator_ = source.nameValueSeparator_;
    delimiter_ = source.delimiter_;
    quoteChar_ = source.quoteChar_;
    strictDelimiter_ = source.strictDelimiter_;
    AddStrings(source);
  } catch (...) {
    EndUpdate();
    throw;
  }
  EndUpdate();
}

std::vector<std::string> TStrings::ToVector() const {
  std::vector<std::string> v;
  v.reserve(size_t(Count()));
  for (int i = 0, n = Count(); i < n; ++i) v.push_back(Strings(i));
  return v;
}

void TStrings::BeginUpdate() {
  if (updateCount_ == 0) SetUpdateState(true);
  ++updateCount_;
}

void TStrings::EndUpdate() {
  if (updateCount_ <= 0) return;
  if (--updateCount_ == 0) SetUpdateState(false);
}

void TStrings::SetUpdateState(bool) {}

// ---------------------------------------------------------------------------
// TStringList
// ---------------------------------------------------------------------------
std::string TStringList::Strings(int index) const { return StringRef(index); }

const std::string& TStringList::StringRef(int index) const {
  if (index < 0 || index >= Count()) Error(index);
  return items_[size_t(index)].s;
}

void TStringList::SetStrings(int index, const std::string& s) {
  if (sorted_) throw EStringListError(_("Operation not allowed on sorted list"));
  if (index < 0 || index >= Count()) Error(index);
  Changing();
  items_[size_t(index)].s = s;
  Changed();
}

TObject* TStringList::Objects(int index) const {
  if (index < 0 || index >= Count()) Error(index);
  return items_[size_t(index)].object;
}

void TStringList::SetObjects(int index, TObject* object) {
  if (index < 0 || index >= Count()) Error(index);
  Changing();
  items_[size_t(index)].object = object;
  Changed();
}

void TStringList::insertItem(int index, std::string s, TObject* object) {
  Changing();
  items_.insert(items_.begin() + index, Item{std::move(s), object});
  Changed();
}

void TStringList::Insert(int index, const std::string& s) {
  if (sorted_) throw EStringListError(_("Operation not allowed on sorted list"));
  if (index < 0 || index > Count()) Error(index);
  insertItem(index, s, nullptr);
}

int TStringList::addIndex(const std::string& s) const {
  int index;
  if (!sorted_) return Count();
  if (Find(s, index)) {
    if (duplicates_ == dupIgnore) return -1 - index;
    if (duplicates_ == dupError) throw EStringListError(_("String list does not allow duplicates"));
  }
  return index;
}

int TStringList::Add(const std::string& s) {
  const int index = addIndex(s);
  if (index < 0) return -1 - index;
  insertItem(index, s, nullptr);
  return index;
}

int TStringList::Add(std::string&& s) {
  const int index = addIndex(s);
  if (index < 0) return -1 - index;
  insertItem(index, std::move(s), nullptr);
  return index;
}

void TStringList::Delete(int index) {
  if (index < 0 || index >= Count()) Error(index);
  Changing();
  items_.erase(items_.begin() + index);
  Changed();
}

void TStringList::Clear() {
  if (items_.empty()) return;
  Changing();
  items_.clear();
  Changed();
}

void TStringList::Exchange(int index1, int index2) {
  if (index1 < 0 || index1 >= Count()) Error(index1);
  if (index2 < 0 || index2 >= Count()) Error(index2);
  Changing();
  std::swap(items_[size_t(index1)], items_[size_t(index2)]);
  Changed();
}

void TStringList::Move(int curIndex, int newIndex) {
  if (curIndex == newIndex) return;
  if (curIndex < 0 || curIndex >= Count()) Error(curIndex);
  if (newIndex < 0 || newIndex >= Count()) Error(newIndex);
  if (sorted_) throw EStringListError(_("Operation not allowed on sorted list"));
  Changing();
  Item it = std::move(items_[size_t(curIndex)]);
  items_.erase(items_.begin() + curIndex);
  items_.insert(items_.begin() + newIndex, std::move(it));
  Changed();
}

int TStringList::CompareStrings(const std::string& a, const std::string& b) const {
  return caseSensitive_ ? AnsiCompareStr(a, b) : AnsiCompareText(a, b);
}

bool TStringList::Find(const std::string& s, int& index) const {
  // The first line that is not less than s.
  int lo = 0, hi = Count() - 1;
  bool found = false;
  while (lo <= hi) {
    int mid = lo + (hi - lo) / 2;
    int c = CompareStrings(items_[size_t(mid)].s, s);
    if (c < 0) {
      lo = mid + 1;
    } else {
      hi = mid - 1;
      if (c == 0) {
        found = true;
        if (duplicates_ != dupAccept) lo = mid;
      }
    }
  }
  index = lo;
  return found;
}

int TStringList::IndexOf(const std::string& s) const {
  if (!sorted_) return TStrings::IndexOf(s);
  int index;
  return Find(s, index) ? index : -1;
}

void TStringList::SetText(const std::string& text) { TStrings::SetText(text); }

void TStringList::quickSort(const TStringListSortCompare& compare) {
  // A merge sort of the positions: any comparison function (even an inconsistent one)
  // gives a permutation, never a read outside the list.
  size_t n = items_.size();
  std::vector<int> order(n), tmp(n);
  for (size_t i = 0; i < n; ++i) order[i] = int(i);
  for (size_t width = 1; width < n; width *= 2) {
    for (size_t left = 0; left < n; left += 2 * width) {
      size_t mid = std::min(left + width, n), right = std::min(left + 2 * width, n);
      size_t a = left, b = mid, k = left;
      while (a < mid && b < right) tmp[k++] = compare(this, order[b], order[a]) < 0 ? order[b++] : order[a++];
      while (a < mid) tmp[k++] = order[a++];
      while (b < right) tmp[k++] = order[b++];
    }
    order.swap(tmp);
  }
  std::vector<Item> sorted;
  sorted.reserve(n);
  for (int i : order) sorted.push_back(std::move(items_[size_t(i)]));
  items_.swap(sorted);
}

void TStringList::CustomSort(const TStringListSortCompare& compare) {
  if (items_.size() < 2 || !compare) return;
  Changing();
  quickSort(compare);
  Changed();
}

void TStringList::Sort() {
  CustomSort([](TStringList* list, int a, int b) {
    return list->CompareStrings(list->items_[size_t(a)].s, list->items_[size_t(b)].s);
  });
}

void TStringList::SetSorted(bool sorted) {
  if (sorted_ == sorted) return;
  if (sorted) Sort();
  sorted_ = sorted;
}

void TStringList::SetCaseSensitive(bool b) {
  if (caseSensitive_ == b) return;
  caseSensitive_ = b;
  if (sorted_) Sort();
}

void TStringList::SetUpdateState(bool updating) {
  if (updating) Changing();
  else Changed();
}

void TStringList::Changed() {
  if (UpdateCount() == 0 && OnChange) OnChange(this);
}

void TStringList::Changing() {
  if (UpdateCount() == 0 && OnChanging) OnChanging(this);
}

void rtl_internal::ReplaceLines(TStrings& strings, const std::vector<std::string>& lines) {
  strings.BeginUpdate();
  try {
    strings.Clear();
    strings.AddStrings(lines);
  } catch (...) {
    strings.EndUpdate();
    throw;
  }
  strings.EndUpdate();
}
