#include "scanner/CorvoTwainUtils.h"

TPointerList::TPointerList() : items_(10, nullptr), capacity_(10) {}

void TPointerList::SetCapacity(int value) {
  if (value < 1 || value < count_) return;
  capacity_ = value;
  items_.resize(size_t(value), nullptr);
}

void TPointerList::Add(void* item) {
  ++count_;
  int capacity = capacity_;
  while (capacity < count_) capacity += growthStep_;
  if (capacity != capacity_) SetCapacity(capacity);
  items_[size_t(count_ - 1)] = item;
}

void TPointerList::Clear() {
  count_ = 0;
  capacity_ = growthStep_;
  items_.assign(size_t(growthStep_), nullptr);
}

void* TPointerList::Items(int index) const {
  if (index < 0 || index >= count_ || index > MaxPointerListIndex) return nullptr;
  return items_[size_t(index)];
}

void TPointerList::SetItems(int index, void* item) {
  if (index < 0 || index >= count_ || index > MaxPointerListIndex) return;
  items_[size_t(index)] = item;
}

double Fix32ToFloat(const TW_FIX32& value) { return double(value.Whole) + double(value.Frac) / 65536.0; }

int TwainItemSize(TW_UINT16 itemType) {
  switch (itemType) {
    case TWTY_INT8:
    case TWTY_UINT8: return 1;
    case TWTY_INT16:
    case TWTY_UINT16:
    case TWTY_BOOL: return 2;
    case TWTY_INT32:
    case TWTY_UINT32:
    case TWTY_FIX32: return 4;
    case TWTY_FRAME: return 16;
    case TWTY_STR32: return 34;
    case TWTY_STR64: return 66;
    case TWTY_STR128: return 130;
    case TWTY_STR255: return 256;
    case TWTY_STR1024: return 1026;
    case TWTY_UNI512: return 1024;
    default: return 0;
  }
}
