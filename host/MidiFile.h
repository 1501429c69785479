#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "host/PluginHost.h"

namespace vsthost {

// A channel message at a time in seconds from the start of a file.
struct TimedMidi {
  double seconds = 0.0;
  std::uint8_t status = 0;
  std::uint8_t data1 = 0;
  std::uint8_t data2 = 0;
};

constexpr int kMidiFileTicksPerQuarter = 960;

// A Standard MIDI File of type 0 at 960 ticks per quarter note holding the captured messages,
// placed by their sample positions at the given rate and a constant tempo.
std::vector<std::uint8_t> EncodeMidiFile(const std::vector<MidiOut>& events, double sampleRate,
                                         double tempo);

// The channel messages of a Standard MIDI File of type 0 or 1, all tracks merged in time order,
// timed through the file's tempo map (or its SMPTE division). System exclusive and meta events
// other than tempo are skipped. False with a message for anything that is not such a file.
bool DecodeMidiFile(const std::vector<std::uint8_t>& bytes, std::vector<TimedMidi>* events,
                    std::string* error);

bool ReadFileBytes(const std::string& path, std::vector<std::uint8_t>* bytes, std::string* error);
bool WriteFileBytes(const std::string& path, const std::vector<std::uint8_t>& bytes,
                    std::string* error);

}  // namespace vsthost
