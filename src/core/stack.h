#pragma once

#include <cstddef>
#include <cstring>
#include <type_traits>

#include "core/out_of_memory.h"

// A stack of plain records in one contiguous block; the back of the block is the top.
// Growth goes through realloc, which moves large blocks by remapping pages rather than
// copying, so a stack of millions of records never needs twice its size while it grows.
template <typename T>
class Stack {
  static_assert(std::is_trivially_copyable_v<T>);

 public:
  Stack() = default;
  ~Stack() { std::free(items_); }
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
    std::free(items_);
    items_ = nullptr;
    count_ = capacity_ = 0;
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
  void resize(size_t n) {
    if (n == 0) {
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
  }

  T* items_ = nullptr;
  size_t count_ = 0;
  size_t capacity_ = 0;
};
