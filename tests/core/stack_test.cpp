// The record stack across the size at which its block becomes a large block of its own: the
// records survive growth, shrinking, moves and swaps on either side of it.
#include "core/stack.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <utility>

namespace {

struct Record {
  uint64_t a;
  uint32_t b;
};

bool holdsSequence(const Stack<Record>& stack, size_t count) {
  if (stack.count() != count) return false;
  for (size_t i = 0; i < count; ++i) {
    if (stack.data()[i].a != i * 7 || stack.data()[i].b != static_cast<uint32_t>(i)) return false;
  }
  return true;
}

TEST(Stack, RecordsSurviveGrowingPastTheLargeBlockSizeAndBack) {
  constexpr size_t kMany = 3'000'000;  // 48 MB of records
  Stack<Record> stack;
  for (size_t i = 0; i < kMany; ++i) stack.push({i * 7, static_cast<uint32_t>(i)});
  EXPECT_TRUE(holdsSequence(stack, kMany));

  stack.drop(kMany - 1000);  // gives memory back as it empties
  EXPECT_LT(stack.capacity(), 10'000u);
  EXPECT_TRUE(holdsSequence(stack, 1000));
  for (size_t i = 1000; i < kMany; ++i) stack.push({i * 7, static_cast<uint32_t>(i)});
  EXPECT_TRUE(holdsSequence(stack, kMany));

  Record* slot = stack.extend(5);
  for (size_t i = 0; i < 5; ++i) slot[i] = {(kMany + i) * 7, static_cast<uint32_t>(kMany + i)};
  stack.trim();
  EXPECT_EQ(stack.capacity(), kMany + 5);
  EXPECT_TRUE(holdsSequence(stack, kMany + 5));

  while (stack.count() > 3) stack.pop();
  EXPECT_TRUE(holdsSequence(stack, 3));
  stack.clear();
  EXPECT_TRUE(stack.empty());
  EXPECT_EQ(stack.capacity(), 0u);
  stack.push({0, 0});  // usable again after clear
  EXPECT_TRUE(holdsSequence(stack, 1));
}

TEST(Stack, LargeAndSmallStacksTradePlaces) {
  Stack<Record> large, small;
  for (size_t i = 0; i < 1'000'000; ++i) large.push({i * 7, static_cast<uint32_t>(i)});
  for (size_t i = 0; i < 10; ++i) small.push({i * 7, static_cast<uint32_t>(i)});
  std::swap(large, small);
  EXPECT_TRUE(holdsSequence(large, 10));
  EXPECT_TRUE(holdsSequence(small, 1'000'000));
  Stack<Record> moved(std::move(small));
  EXPECT_TRUE(holdsSequence(moved, 1'000'000));
  moved.reserve(2'000'000);
  EXPECT_TRUE(holdsSequence(moved, 1'000'000));
  large = std::move(moved);
  EXPECT_TRUE(holdsSequence(large, 1'000'000));
}

}  // namespace
