#pragma once

#include <cstdint>

// Identity and shape of a plug-in, handed down the constructor chain to the base.
struct IPlugConfig {
  const char* effectName = "";
  const char* productName = "";
  const char* mfrName = "";
  std::int32_t uniqueID = 0;
  std::int32_t mfrID = 0;
  std::int32_t version = 0;  // 0xMMMMmmpp
  const char* channelIOString = "";
  int nParams = 0;
  int nPrograms = 0;
  bool doesChunks = false;
  bool isInstrument = false;
  bool handlesMidi = false;
  int latency = 0;
  std::int32_t pluginApi = 0;
};

// Four characters as a 32-bit code whose big-endian bytes spell them.
constexpr std::int32_t FourCharCode(const char (&c)[5]) {
  return static_cast<std::int32_t>(
      (static_cast<std::uint32_t>(static_cast<unsigned char>(c[0])) << 24) |
      (static_cast<std::uint32_t>(static_cast<unsigned char>(c[1])) << 16) |
      (static_cast<std::uint32_t>(static_cast<unsigned char>(c[2])) << 8) |
      static_cast<std::uint32_t>(static_cast<unsigned char>(c[3])));
}
