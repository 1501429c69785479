#include "framework/PresetFiles.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>

#include "framework/IPlugBase.h"

namespace presetfile {

std::uint32_t ReadBE32(const std::uint8_t* bytes) {
  return (static_cast<std::uint32_t>(bytes[0]) << 24) |
         (static_cast<std::uint32_t>(bytes[1]) << 16) |
         (static_cast<std::uint32_t>(bytes[2]) << 8) | static_cast<std::uint32_t>(bytes[3]);
}

float ReadBEFloat(const std::uint8_t* bytes) {
  const std::uint32_t bits = ReadBE32(bytes);
  float value = 0.0f;
  static_assert(sizeof(value) == sizeof(bits));
  std::memcpy(&value, &bits, sizeof(value));
  return value;
}

void PutBE32(ChunkBuffer& out, std::uint32_t value) {
  const std::uint8_t bytes[4] = {
      static_cast<std::uint8_t>(value >> 24), static_cast<std::uint8_t>(value >> 16),
      static_cast<std::uint8_t>(value >> 8), static_cast<std::uint8_t>(value)};
  out.PutRaw(bytes, sizeof(bytes));
}

void PutName(ChunkBuffer& out, const std::string& name) {
  std::uint8_t field[kProgramNameSize] = {};
  std::memcpy(field, name.data(), std::min(name.size(), kProgramNameSize - 1));
  out.PutRaw(field, sizeof(field));
}

std::string ReadName(const std::uint8_t* field) {
  const void* nul = std::memchr(field, 0, kProgramNameSize);
  const std::size_t length =
      nul ? static_cast<std::size_t>(static_cast<const std::uint8_t*>(nul) - field)
          : kProgramNameSize;
  return std::string(reinterpret_cast<const char*>(field), length);
}

bool ReadWholeFile(const std::string& path, std::vector<std::uint8_t>* bytes) {
  bytes->clear();
  if (path.empty()) return false;
  std::FILE* file = std::fopen(path.c_str(), "rb");
  if (!file) return false;
  // Read in pieces rather than trusting a size from the file system: devices and pipes have
  // none, and the cap must hold for them too.
  std::uint8_t piece[65536];
  bool ok = true;
  for (;;) {
    const std::size_t n = std::fread(piece, 1, sizeof(piece), file);
    if (n > 0) {
      if (bytes->size() + n > kMaxFileSize) {
        ok = false;
        break;
      }
      bytes->insert(bytes->end(), piece, piece + n);
    }
    if (n < sizeof(piece)) {
      ok = !std::ferror(file);
      break;
    }
  }
  std::fclose(file);
  if (!ok) bytes->clear();
  return ok;
}

bool WriteWholeFile(const std::string& path, const ChunkBuffer& bytes) {
  if (path.empty()) return false;
  std::FILE* file = std::fopen(path.c_str(), "wb");
  if (!file) return false;
  const auto size = static_cast<std::size_t>(bytes.Size());
  const bool written = std::fwrite(bytes.Data(), 1, size, file) == size;
  // A full disk often shows only when the buffered bytes are flushed at close.
  const bool closed = std::fclose(file) == 0;
  return written && closed;
}

}  // namespace presetfile

using namespace presetfile;

namespace {

bool HeaderIs(const std::uint8_t* data, std::size_t offset, std::int32_t value) {
  return ReadBE32(data + offset) == static_cast<std::uint32_t>(value);
}

// Normalised values as stored in a parameter list. A non-finite value marks the list as
// damaged; finite values are held to 0..1, where every parameter maps to a value in its range.
bool ReadNormalizedList(const std::uint8_t* floats, int count, std::vector<double>* values) {
  values->resize(static_cast<std::size_t>(count));
  for (int i = 0; i < count; ++i) {
    const float x = ReadBEFloat(floats + 4 * static_cast<std::size_t>(i));
    if (!std::isfinite(x)) return false;
    (*values)[static_cast<std::size_t>(i)] = std::clamp(static_cast<double>(x), 0.0, 1.0);
  }
  return true;
}

struct ProgramRecord {
  std::string name;
  std::vector<double> values;
};

}  // namespace

bool IPlugBase::WriteProgramToMemory(ChunkBuffer& out) {
  ScopedLock lock(mMutex);
  ChunkBuffer payload;
  BeginVersionedChunk(payload);
  if (!SerializeState(payload)) return false;
  out.Clear();
  PutBE32(out, kContainerMagic);
  PutBE32(out, static_cast<std::uint32_t>(kProgramHeaderSize + payload.Size()));
  PutBE32(out, kProgramChunkBody);
  PutBE32(out, kProgramFormatVersion);
  PutBE32(out, static_cast<std::uint32_t>(GetUniqueID()));
  PutBE32(out, static_cast<std::uint32_t>(GetEffectVersion(true)));
  PutBE32(out, static_cast<std::uint32_t>(NParams()));
  PutName(out, GetProgramName(mCurrentProgram));
  PutBE32(out, static_cast<std::uint32_t>(payload.Size()));
  out.PutChunk(payload);
  return true;
}

bool IPlugBase::WriteBankToMemory(ChunkBuffer& out) {
  ScopedLock lock(mMutex);
  ChunkBuffer payload;
  BeginVersionedChunk(payload);
  if (!SerializePresets(payload)) return false;
  out.Clear();
  PutBE32(out, kContainerMagic);
  PutBE32(out, static_cast<std::uint32_t>(kBankHeaderSize + payload.Size()));
  PutBE32(out, kBankChunkBody);
  PutBE32(out, kBankFormatVersion);
  PutBE32(out, static_cast<std::uint32_t>(GetUniqueID()));
  PutBE32(out, static_cast<std::uint32_t>(GetEffectVersion(true)));
  PutBE32(out, static_cast<std::uint32_t>(NPrograms()));
  PutBE32(out, static_cast<std::uint32_t>(mCurrentProgram));
  const std::uint8_t reserved[kBankReservedSize] = {};
  out.PutRaw(reserved, sizeof(reserved));
  PutBE32(out, static_cast<std::uint32_t>(payload.Size()));
  out.PutChunk(payload);
  return true;
}

bool IPlugBase::SaveProgramFile(const std::string& path) {
  if (path.empty()) return false;
  ChunkBuffer bytes;
  // Built before the file is opened, so a failure cannot truncate an existing file.
  return WriteProgramToMemory(bytes) && WriteWholeFile(path, bytes);
}

bool IPlugBase::SaveBankFile(const std::string& path) {
  if (path.empty()) return false;
  ChunkBuffer bytes;
  return WriteBankToMemory(bytes) && WriteWholeFile(path, bytes);
}

bool IPlugBase::LoadProgramFile(const std::string& path) {
  std::vector<std::uint8_t> bytes;
  return ReadWholeFile(path, &bytes) && LoadProgramFromMemory(bytes.data(), bytes.size());
}

bool IPlugBase::LoadBankFile(const std::string& path) {
  std::vector<std::uint8_t> bytes;
  return ReadWholeFile(path, &bytes) && LoadBankFromMemory(bytes.data(), bytes.size());
}

bool IPlugBase::LoadProgramFromMemory(const std::uint8_t* data, std::size_t size) {
  if (!data || size < kProgramParamsOffset || size > kMaxFileSize) return false;
  if (!HeaderIs(data, 0, kContainerMagic) ||
      !HeaderIs(data, kFormatVersionOffset, kProgramFormatVersion) ||
      !HeaderIs(data, kPluginCodeOffset, GetUniqueID())) {
    return false;
  }
  const std::int32_t body = static_cast<std::int32_t>(ReadBE32(data + kBodyOffset));
  const std::string name = ReadName(data + kProgramNameOffset);

  // Parsed before anything changes; what only the engine can read is read inside a snapshot.
  ChunkBuffer chunk;
  std::vector<double> values;
  if (body == kProgramChunkBody) {
    if (size < kProgramHeaderSize) return false;
    chunk.PutRaw(data, size);
  } else if (body == kProgramParamsBody) {
    const std::size_t needed = kProgramParamsOffset + 4 * static_cast<std::size_t>(NParams());
    if (size < needed || !ReadNormalizedList(data + kProgramParamsOffset, NParams(), &values)) {
      return false;
    }
  } else {
    return false;
  }

  ScopedLock lock(mMutex);
  Snapshot before;
  TakeSnapshot(before);
  bool loaded = true;
  if (body == kProgramChunkBody) {
    int position = static_cast<int>(kProgramHeaderSize);
    if (HasChunkMagic(data, size, kProgramHeaderSize)) position += kChunkVersionMagicSize;
    loaded = UnserializeState(chunk, position) > 0;
  } else {
    // Applied without OnParameterChange: RestoreProgram below applies the whole program.
    for (int i = 0; i < NParams(); ++i) mParams[i].SetFromNormalized(values[i]);
  }
  if (loaded) {
    ModifyCurrentPreset(name.c_str());
    loaded = RestoreProgram(mCurrentProgram);
  }
  if (!loaded) {
    RollBack(before);
    return false;
  }
  ReportProgramChangeToHost();
  return true;
}

bool IPlugBase::LoadBankFromMemory(const std::uint8_t* data, std::size_t size,
                                   bool permanentBytes) {
  if (!data || size < kBankRecordsOffset || size > kMaxFileSize) return false;
  if (!HeaderIs(data, 0, kContainerMagic) || !HeaderIs(data, kPluginCodeOffset, GetUniqueID())) {
    return false;
  }
  const std::int32_t body = static_cast<std::int32_t>(ReadBE32(data + kBodyOffset));
  const auto nPrograms = static_cast<std::int32_t>(ReadBE32(data + kCountOffset));
  const auto current = static_cast<std::int32_t>(ReadBE32(data + kBankCurrentProgramOffset));

  if (body == kBankChunkBody) {
    if (size < kBankHeaderSize) return false;
    // Read in place: the caller's bytes outlive this call.
    const ChunkBuffer chunk = ChunkBuffer::Borrowing(data, size);
    int position = static_cast<int>(kBankHeaderSize);
    if (HasChunkMagic(data, size, kBankHeaderSize)) position += kChunkVersionMagicSize;
    ScopedLock lock(mMutex);
    // Gives everything back by itself when a slot fails to read.
    mBankBytesPermanent = permanentBytes;
    position = UnserializePresets(chunk, position);
    mBankBytesPermanent = false;
    if (position < 0) return false;
    ReportProgramChangeToHost();
    return true;
  }
  if (body != kBankParamsBody) return false;

  // Records beyond our slots would land in whichever slot was restored last.
  if (nPrograms < 0 || nPrograms > NPrograms()) return false;
  const std::size_t recordSize = kProgramParamsOffset + 4 * static_cast<std::size_t>(NParams());
  std::vector<ProgramRecord> records(static_cast<std::size_t>(nPrograms));
  for (std::size_t i = 0; i < records.size(); ++i) {
    const std::size_t offset = kBankRecordsOffset + i * recordSize;
    if (size < offset + recordSize) return false;
    const std::uint8_t* record = data + offset;
    if (!HeaderIs(record, 0, kContainerMagic) ||
        !HeaderIs(record, kBodyOffset, kProgramParamsBody) ||
        !HeaderIs(record, kFormatVersionOffset, kProgramFormatVersion) ||
        !HeaderIs(record, kCountOffset, NParams()) ||
        !ReadNormalizedList(record + kProgramParamsOffset, NParams(), &records[i].values)) {
      return false;
    }
    records[i].name = ReadName(record + kProgramNameOffset);
  }

  ScopedLock lock(mMutex);
  Snapshot before;
  TakeSnapshot(before);
  for (int i = 0; i < nPrograms; ++i) {
    if (!RestoreProgram(i)) {
      RollBack(before);
      return false;
    }
    for (int p = 0; p < NParams(); ++p) mParams[p].SetFromNormalized(records[i].values[p]);
    ModifyCurrentPreset(records[i].name.c_str());
  }
  // The values above reached the parameters without OnParameterChange; restoring a program
  // applies them, the last record's slot when the header names no slot of ours.
  if (!RestoreProgram(current) && !RestoreProgram(mCurrentProgram)) {
    RollBack(before);
    return false;
  }
  ReportProgramChangeToHost();
  return true;
}
