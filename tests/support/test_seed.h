#pragma once

#include <cstdlib>
#include <random>

// The seed of a randomized test: SLATE_SEED when set (to replay a failure it reported), else
// a fresh one each run.
inline unsigned testSeed() {
  if (const char* text = std::getenv("SLATE_SEED"))
    return static_cast<unsigned>(std::strtoul(text, nullptr, 10));
  return std::random_device{}();
}
