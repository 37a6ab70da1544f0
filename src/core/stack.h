#pragma once

#include <cstddef>
#include <cstdlib>
#include <cstring>
#include <type_traits>
#include <utility>

#include "platform/large_block.h"
#include "platform/out_of_memory.h"

// A stack of plain records in one contiguous block; the back of the block is the top.
// Growth goes through realloc, and a block of megabytes is a large block of its own
// (platform/large_block.h), which moves by remapping pages rather than copying, so a stack
// of millions of records never needs twice its size while it grows.
template <typename T>
class Stack {
  static_assert(std::is_trivially_copyable_v<T>);

 public:
  Stack() = default;
  ~Stack() { resize(0); }
  Stack(const Stack&) = delete;
  Stack& operator=(const Stack&) = delete;
  Stack(Stack&& other) noexcept { swap(other); }
  Stack& operator=(Stack&& other) noexcept {
    swap(other);
    return *this;
  }

  size_t count() const { return count_; }
  bool empty() const { return count_ == 0; }
  size_t capacity() const { return capacity_; }

  T& top() { return items_[count_ - 1]; }
  const T& top() const { return items_[count_ - 1]; }
  // i = 0 is the top.
  T& fromTop(size_t i) { return items_[count_ - 1 - i]; }
  const T& fromTop(size_t i) const { return items_[count_ - 1 - i]; }
  // The bottom record is index 0.
  T* data() { return items_; }
  const T* data() const { return items_; }

  void push(const T& item) {
    if (count_ == capacity_) grow(count_ + 1);
    items_[count_++] = item;
  }
  T pop() {
    T item = items_[--count_];
    shrinkIfSparse();
    return item;
  }
  // Drops the top n records without looking at them.
  void drop(size_t n) {
    count_ -= n;
    shrinkIfSparse();
  }
  // Makes room for n records on top and returns where the lowest of them goes; the caller
  // fills all n slots.
  T* extend(size_t n) {
    if (count_ + n > capacity_) grow(count_ + n);
    T* slot = items_ + count_;
    count_ += n;
    return slot;
  }
  void reserve(size_t n) {
    if (n > capacity_) resize(n);
  }
  void clear() {
    resize(0);
    count_ = 0;
  }
  // Gives back capacity beyond the records held.
  void trim() {
    if (capacity_ > count_ + 16) resize(count_);
  }

 private:
  static constexpr size_t kShrinkAbove = 1 << 16;

  // Large stacks give memory back as they empty, so moving records from one stack to
  // another never holds both copies at once.
  void shrinkIfSparse() {
    if (capacity_ > kShrinkAbove && count_ < capacity_ / 2) resize(count_ + count_ / 4 + 16);
  }
  void grow(size_t need) {
    size_t next = capacity_ < 16 ? 16 : capacity_ + capacity_ / 2;
    resize(next < need ? need : next);
  }
  // Keeps count_ records; the caller makes sure n is at least count_.
  void resize(size_t n) {
    if (large_) {
      items_ =
          static_cast<T*>(platform::resizeLargeBlock(items_, capacity_ * sizeof(T), n * sizeof(T)));
      large_ = n > 0;
    } else if (n * sizeof(T) >= kLargeBlock) {
      T* block = static_cast<T*>(platform::resizeLargeBlock(nullptr, 0, n * sizeof(T)));
      if (count_ > 0) std::memcpy(static_cast<void*>(block), items_, count_ * sizeof(T));
      std::free(items_);
      items_ = block;
      large_ = true;
    } else if (n == 0) {
      std::free(items_);
      items_ = nullptr;
    } else {
      items_ = static_cast<T*>(checkedRealloc(items_, n * sizeof(T)));
    }
    capacity_ = n;
  }
  void swap(Stack& other) {
    std::swap(items_, other.items_);
    std::swap(count_, other.count_);
    std::swap(capacity_, other.capacity_);
    std::swap(large_, other.large_);
  }

  static constexpr size_t kLargeBlock = size_t{4} << 20;  // bytes

  T* items_ = nullptr;
  size_t count_ = 0;
  size_t capacity_ = 0;
  bool large_ = false;  // items_ is a large block rather than a malloc block
};
