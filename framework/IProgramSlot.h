#pragma once

#include <string>

#include "framework/ChunkBuffer.h"

// One of the stored programs: its name and exactly the state the engine wrote for it.
struct IProgramSlot {
  static constexpr std::size_t kMaxNameLength = 255;

  bool mInitialized = false;
  std::string mName = "empty";
  ChunkBuffer mState;
};
