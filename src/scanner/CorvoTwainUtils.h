#pragma once
// Small helpers of the scanner component: a pointer list that grows in steps and reaches its
// items by index up to 255, the conversion of TWAIN's fixed-point numbers, and the size of a
// TWAIN item type.
#include <vector>

#include "platform/rtl/Classes.h"
#include "platform/services/Twain.h"

class TPointerList : public TObject {
 public:
  // Growth step 10, capacity 10.
  TPointerList();
  int Count() const { return count_; }
  int Capacity() const { return capacity_; }
  // Any value of at least 1 that is not below the count; others are ignored.
  void SetCapacity(int value);
  int GrowthStep() const { return growthStep_; }
  // Appends item, growing the capacity by the growth step until it holds the count.
  void Add(void* item);
  // Count 0, capacity back to the growth step.
  void Clear();
  // Items exist at 0..Count-1 and at most index 255: other reads give nullptr, other
  // writes do nothing.
  void* Items(int index) const;
  void SetItems(int index, void* item);

 private:
  std::vector<void*> items_;
  int count_ = 0;
  int capacity_ = 0;
  int growthStep_ = 10;
};

constexpr int MaxPointerListIndex = 255;

// Whole + Frac / 65536.
double Fix32ToFloat(const TW_FIX32& value);
// Bytes of one item of a TWTY type; 0 for an unknown type.
int TwainItemSize(TW_UINT16 itemType);
