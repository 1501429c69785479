#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "framework/ChunkBuffer.h"
#include "framework/IPlugConfig.h"

// The program and bank file layout shared with hosts: a "CcnK" container with big-endian header
// fields around either our opaque chunks ("FPCh", "FBCh") or lists of normalised parameter values
// ("FxCk", "FxBk", read only). Offsets are from the start of the file.
namespace presetfile {

inline constexpr std::int32_t kContainerMagic = FourCharCode("CcnK");
inline constexpr std::int32_t kProgramChunkBody = FourCharCode("FPCh");
inline constexpr std::int32_t kBankChunkBody = FourCharCode("FBCh");
inline constexpr std::int32_t kProgramParamsBody = FourCharCode("FxCk");
inline constexpr std::int32_t kBankParamsBody = FourCharCode("FxBk");

inline constexpr std::int32_t kProgramFormatVersion = 1;
inline constexpr std::int32_t kBankFormatVersion = 2;

// Fields common to both headers.
inline constexpr std::size_t kByteSizeOffset = 4;
inline constexpr std::size_t kBodyOffset = 8;
inline constexpr std::size_t kFormatVersionOffset = 12;
inline constexpr std::size_t kPluginCodeOffset = 16;
inline constexpr std::size_t kPluginVersionOffset = 20;
inline constexpr std::size_t kCountOffset = 24;  // parameters (program) or programs (bank)

// Program file.
inline constexpr std::size_t kProgramNameOffset = 28;
inline constexpr std::size_t kProgramNameSize = 28;
inline constexpr std::size_t kProgramPayloadLengthOffset = 56;
inline constexpr std::size_t kProgramHeaderSize = 60;
// A parameter-list program: the header through the name, then one float per parameter.
inline constexpr std::size_t kProgramParamsOffset = 56;

// Bank file.
inline constexpr std::size_t kBankCurrentProgramOffset = 28;
inline constexpr std::size_t kBankReservedOffset = 32;
inline constexpr std::size_t kBankReservedSize = 124;
inline constexpr std::size_t kBankPayloadLengthOffset = 156;
inline constexpr std::size_t kBankHeaderSize = 160;
// A parameter-list bank has no payload length: its program records follow the reserved field.
inline constexpr std::size_t kBankRecordsOffset = 156;

// Far beyond any real bank (64 programs of some tens of kilobytes); bounds what a damaged or
// hostile file can make us read into memory.
inline constexpr std::size_t kMaxFileSize = 64u << 20;

std::uint32_t ReadBE32(const std::uint8_t* bytes);
float ReadBEFloat(const std::uint8_t* bytes);
void PutBE32(ChunkBuffer& out, std::uint32_t value);
// The fixed name field: cut so that it always ends in at least one NUL.
void PutName(ChunkBuffer& out, const std::string& name);
// The text of a fixed name field up to its first NUL; never reads past the field.
std::string ReadName(const std::uint8_t* field);

// Reads a whole file; false when it cannot be opened or read or is larger than kMaxFileSize.
bool ReadWholeFile(const std::string& path, std::vector<std::uint8_t>* bytes);
// Writes the bytes in one go; false unless every byte reached the file and it closed cleanly.
bool WriteWholeFile(const std::string& path, const ChunkBuffer& bytes);

}  // namespace presetfile
