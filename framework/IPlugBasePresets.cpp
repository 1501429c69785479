// Program slots, the preset chunks and the chunks exchanged with the host.

#include <algorithm>
#include <cstdio>
#include <cstring>

#include "framework/IPlugBase.h"

namespace {

constexpr const char* kUserPreset = "user preset";
constexpr std::int32_t kLowestBankVersion = 0x10000;
// A slot's state may carry the program's name; an empty slot reserves room for the longest.
constexpr int kNameReserve = static_cast<int>(IProgramSlot::kMaxNameLength) + 4;
// A bank chunk for the host ends with the current program's index behind this tag, so a project
// reopened from the chunk alone comes back on the program it was saved on. Readers that know
// nothing of it stop after the last slot and never see it.
constexpr char kCurrentProgramTag[4] = {'c', 'u', 'r', 'P'};

void SetSlotName(IProgramSlot& slot, const char* name, std::size_t length) {
  slot.mName.assign(name, std::min(length, IProgramSlot::kMaxNameLength));
}

void SetSlotName(IProgramSlot& slot, const std::string& name) {
  SetSlotName(slot, name.data(), name.size());
}

// A program that a permanent bank already holds exactly as it would be stored now is read from
// the bank's bytes: the plug-in's first instance in a process no longer writes (and faults in)
// a fresh copy of every factory program. The slot still gets the room a write needs, so storing
// the program later, on the audio thread too, allocates nothing.
void KeepNormalizedState(const ChunkBuffer& chunk, int start, int end,
                         const ChunkBuffer& normalized, ChunkBuffer& state) {
  state.Reserve(normalized.Capacity());
  const auto length = static_cast<std::size_t>(end - start);
  if (normalized.Size() == end - start &&
      std::memcmp(normalized.Data(), chunk.Data() + start, length) == 0) {
    state.Borrow(chunk.Data() + start, length);
  } else {
    state.CopyFrom(normalized);
  }
}

// Copies the host's bytes into an exchange buffer; the host may hand back the very buffer we
// gave it, so the bytes can overlap.
void CopyIntoExchange(ChunkBuffer& buffer, const std::uint8_t* data, int size) {
  const std::uint8_t* begin = buffer.Data();
  if (data && begin && data >= begin && data < begin + buffer.Size()) {
    std::memmove(buffer.Data(), data, static_cast<std::size_t>(size));
    buffer.Resize(size);
    return;
  }
  buffer.Resize(size);
  if (size > 0) std::memcpy(buffer.Data(), data, static_cast<std::size_t>(size));
}

}  // namespace

void IPlugBase::TakeSnapshot(Snapshot& snapshot) {
  snapshot.mLive.Clear();
  snapshot.mLiveValid = SerializeState(snapshot.mLive);
  snapshot.mPrograms = mPrograms;
  snapshot.mCurrentProgram = mCurrentProgram;
}

void IPlugBase::RollBack(Snapshot& snapshot) {
  if (snapshot.mLiveValid) UnserializeState(snapshot.mLive, 0);
  mPrograms.swap(snapshot.mPrograms);
  mCurrentProgram = snapshot.mCurrentProgram;
  ReserveEmptySlots();
  ProgramsChangedByHost();
  SyncEditorToParams();
}

void IPlugBase::ReserveEmptySlots() {
  int largest = 0;
  for (const IProgramSlot& slot : mPrograms) {
    if (slot.mInitialized) largest = std::max(largest, slot.mState.Size());
  }
  if (largest == 0) return;
  for (IProgramSlot& slot : mPrograms) {
    if (!slot.mInitialized) slot.mState.Reserve(largest + kNameReserve);
  }
}

void IPlugBase::ModifyCurrentPreset(const char* name) {
  ScopedLock lock(mMutex);
  IProgramSlot* slot = GetProgram(mCurrentProgram);
  if (!slot) return;
  slot->mState.Clear();
  // A slot holding a state is a program: left unmarked, the next RestoreProgram would take it
  // for empty and rename it, losing the name just given.
  if (SerializeState(slot->mState)) slot->mInitialized = true;
  if (name && *name) SetSlotName(*slot, name, std::strlen(name));
}

bool IPlugBase::RestoreProgram(int index) {
  ScopedLock lock(mMutex);
  IProgramSlot* slot = GetProgram(index);
  if (!slot) return false;
  bool restored = false;
  if (slot->mInitialized) {
    restored = UnserializeState(slot->mState, 0) > 0;
  } else {
    int userPresets = 0;
    for (const IProgramSlot& other : mPrograms) {
      if (other.mName.find(kUserPreset) != std::string::npos) ++userPresets;
    }
    // Short enough for the string's inline storage: no allocation on the audio thread.
    char name[32];
    std::snprintf(name, sizeof(name), "%s %d", kUserPreset, userPresets + 1);
    slot->mName.assign(name);
    slot->mInitialized = true;
    slot->mState.Clear();
    restored = SerializeState(slot->mState);
    if (!restored) slot->mInitialized = false;
  }
  if (!restored) return false;
  mCurrentProgram = index;
  ProgramsChangedByHost();
  SyncEditorToParams();
  return true;
}

const char* IPlugBase::GetProgramName(int index) const {
  if (index < 0 || index >= NPrograms()) return "";
  return mPrograms[index].mName.c_str();
}

void IPlugBase::FillEmptyPrograms(const char* name, int count) {
  ScopedLock lock(mMutex);
  const char* text = name ? name : "";
  for (int n = 0; n < count; ++n) {
    auto slot = std::find_if(mPrograms.begin(), mPrograms.end(),
                             [](const IProgramSlot& p) { return !p.mInitialized; });
    if (slot == mPrograms.end()) break;
    slot->mInitialized = true;
    SetSlotName(*slot, text, std::strlen(text));
    slot->mState.Clear();
    SerializeState(slot->mState);
  }
  ReserveEmptySlots();
}

bool IPlugBase::SerializePresets(ChunkBuffer& chunk) {
  ScopedLock lock(mMutex);
  for (const IProgramSlot& slot : mPrograms) {
    chunk.PutString(slot.mName);
    chunk.PutBytes(static_cast<std::uint8_t>(slot.mInitialized ? 1 : 0));
    if (slot.mInitialized) chunk.PutChunk(slot.mState);
  }
  return chunk.Size() > 0;
}

int IPlugBase::UnserializePresets(const ChunkBuffer& chunk, int position) {
  ScopedLock lock(mMutex);
  // A slot's state has no length of its own, so a damaged slot is found only after the slots
  // before it were loaded through the engine: keep everything to give back.
  Snapshot before;
  TakeSnapshot(before);
  const bool normalize = BeginNormalizingStates();
  const IProgramSlot* lastStored = nullptr;
  ChunkBuffer normalized;
  std::string name;
  for (IProgramSlot& slot : mPrograms) {
    if (position < 0) break;
    position = chunk.GetString(&name, position);
    std::uint8_t initialized = 0;
    if (position >= 0) position = chunk.GetBytes(&initialized, position);
    if (position < 0) break;
    SetSlotName(slot, name);
    slot.mInitialized = initialized != 0;
    slot.mState.Clear();
    if (!slot.mInitialized) continue;
    // Stored again as the engine writes it now, so every slot holds the current format.
    if (normalize && mBankBytesPermanent) {
      const int start = position;
      normalized.Clear();
      position = NormalizeState(chunk, position, normalized);
      if (position > 0) KeepNormalizedState(chunk, start, position, normalized, slot.mState);
      if (position <= 0) position = -1;
      lastStored = &slot;
      continue;
    }
    if (normalize) {
      position = NormalizeState(chunk, position, slot.mState);
      if (position <= 0) position = -1;
      lastStored = &slot;
      continue;
    }
    position = UnserializeState(chunk, position);
    if (position <= 0 || !SerializeState(slot.mState)) position = -1;
  }
  // Loaded one by one, the engine would now hold the bank's last program, and an empty current
  // slot below would be given that.
  const IProgramSlot* current = GetProgram(mCurrentProgram);
  if (position >= 0 && lastStored && current && !current->mInitialized &&
      UnserializeState(lastStored->mState, 0) <= 0) {
    position = -1;
  }
  if (position < 0 || !RestoreProgram(mCurrentProgram)) {
    RollBack(before);
    return -1;
  }
  ReserveEmptySlots();
  return position;
}

bool IPlugBase::WriteHostChunk(bool isBank, const std::uint8_t** data, int* size) {
  if (data) *data = nullptr;
  if (size) *size = 0;
  if (!data || !size) return false;
  ScopedLock lock(mMutex);
  ChunkBuffer& buffer = isBank ? mBankExchange : mProgramExchange;
  BeginVersionedChunk(buffer);
  bool written = false;
  if (isBank) {
    ModifyCurrentPreset();
    written = SerializePresets(buffer);
    buffer.PutRaw(kCurrentProgramTag, sizeof(kCurrentProgramTag));
    buffer.PutBytes(static_cast<std::int32_t>(mCurrentProgram));
  } else {
    written = SerializeState(buffer);
    buffer.PutString(GetProgramName(mCurrentProgram));
  }
  if (!written || buffer.Size() <= 0) return false;
  *data = buffer.Data();
  *size = buffer.Size();
  return true;
}

int IPlugBase::ReadBankChunk(const ChunkBuffer& chunk, int position) {
  position = UnserializePresets(chunk, position);
  if (position < 0) return -1;
  char tag[sizeof(kCurrentProgramTag)] = {};
  std::int32_t current = 0;
  int after = chunk.GetBytes(&tag, position);
  if (after >= 0) after = chunk.GetBytes(&current, after);
  if (after < 0 || std::memcmp(tag, kCurrentProgramTag, sizeof(tag)) != 0) return position;
  // An index that names no slot is ignored, as is the rest of what follows it.
  if (current != mCurrentProgram && GetProgram(current) && !RestoreProgram(current)) return -1;
  return after;
}

int IPlugBase::ReadProgramChunk(const ChunkBuffer& chunk, int position) {
  position = UnserializeState(chunk, position);
  if (position < 0) return -1;
  std::string name;
  if (position < chunk.Size()) {
    position = chunk.GetString(&name, position);
    if (position < 0) return -1;
  }
  // An empty name keeps the slot's own.
  ModifyCurrentPreset(name.c_str());
  return position;
}

bool IPlugBase::ReadHostChunk(const std::uint8_t* data, int size, bool isBank,
                              bool programPathHost) {
  if (size < 0 || (!data && size > 0)) return false;
  ScopedLock lock(mMutex);
  ChunkBuffer& buffer = isBank ? mBankExchange : mProgramExchange;
  CopyIntoExchange(buffer, data, size);

  Snapshot before;
  TakeSnapshot(before);
  int position = 0;
  const std::int32_t version = ReadChunkVersion(buffer, &position);
  if (position >= 0) {
    if (isBank && version >= kLowestBankVersion) {
      position = ReadBankChunk(buffer, position);
    } else {
      position = ReadProgramChunk(buffer, position);
    }
  }

  bool rolledBack = false;
  if (programPathHost && position != buffer.Size()) {
    // This host sends banks through the program path too: what did not read as exactly one
    // program may be a bank.
    if (&buffer != &mBankExchange) mBankExchange.CopyFrom(buffer);
    int bankPosition = 0;
    const std::int32_t bankVersion = ReadChunkVersion(mBankExchange, &bankPosition);
    if (bankVersion >= kLowestBankVersion) {
      // The bank starts from what was there before the program attempt.
      RollBack(before);
      rolledBack = true;
      position = ReadBankChunk(mBankExchange, bankPosition);
    } else if (bankPosition < 0) {
      position = -1;
    }
    // Otherwise it is no bank, and the program attempt's outcome stands: a program read in full
    // keeps its success, a failed one is not turned into one.
  }

  if (position < 0) {
    if (!rolledBack) RollBack(before);
    return false;
  }
  SyncEditorToParams();
  return true;
}
