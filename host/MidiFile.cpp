#include "host/MidiFile.h"

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstring>
#include <fstream>
#include <iterator>

namespace vsthost {

namespace {

constexpr std::uint32_t kDefaultMicrosPerQuarter = 500000;  // 120 beats per minute

void PutU32(std::vector<std::uint8_t>& out, std::uint32_t v) {
  for (int shift = 24; shift >= 0; shift -= 8) out.push_back(static_cast<std::uint8_t>(v >> shift));
}

void PutU16(std::vector<std::uint8_t>& out, std::uint16_t v) {
  out.push_back(static_cast<std::uint8_t>(v >> 8));
  out.push_back(static_cast<std::uint8_t>(v));
}

void PutVarLen(std::vector<std::uint8_t>& out, std::uint32_t v) {
  std::uint8_t bytes[5];
  int n = 0;
  do {
    bytes[n++] = static_cast<std::uint8_t>(v & 0x7F);
    v >>= 7;
  } while (v && n < 5);
  while (n-- > 0) out.push_back(static_cast<std::uint8_t>(bytes[n] | (n > 0 ? 0x80 : 0)));
}

// Bytes a channel message carries after its status.
int DataBytes(std::uint8_t status) {
  const int kind = status & 0xF0;
  return (kind == 0xC0 || kind == 0xD0) ? 1 : 2;
}

// Reads big-endian fields and variable-length numbers, refusing to step past the end.
class Reader {
 public:
  Reader(const std::uint8_t* data, std::size_t size) : mData(data), mSize(size) {}
  bool Has(std::size_t n) const { return mSize - mPos >= n; }
  bool U8(std::uint8_t* v) {
    if (!Has(1)) return false;
    *v = mData[mPos++];
    return true;
  }
  bool U16(std::uint32_t* v) {
    if (!Has(2)) return false;
    *v = (std::uint32_t{mData[mPos]} << 8) | mData[mPos + 1];
    mPos += 2;
    return true;
  }
  bool U32(std::uint32_t* v) {
    if (!Has(4)) return false;
    *v = (std::uint32_t{mData[mPos]} << 24) | (std::uint32_t{mData[mPos + 1]} << 16) |
         (std::uint32_t{mData[mPos + 2]} << 8) | mData[mPos + 3];
    mPos += 4;
    return true;
  }
  bool VarLen(std::uint32_t* v) {
    *v = 0;
    for (int i = 0; i < 4; ++i) {
      std::uint8_t b = 0;
      if (!U8(&b)) return false;
      *v = (*v << 7) | (b & 0x7F);
      if (!(b & 0x80)) return true;
    }
    return false;
  }
  bool Skip(std::size_t n) {
    if (!Has(n)) return false;
    mPos += n;
    return true;
  }
  bool Tag(const char* tag) {
    if (!Has(4) || std::memcmp(mData + mPos, tag, 4) != 0) return false;
    mPos += 4;
    return true;
  }
  std::size_t Pos() const { return mPos; }
  const std::uint8_t* Here() const { return mData + mPos; }

 private:
  const std::uint8_t* mData;
  std::size_t mSize;
  std::size_t mPos = 0;
};

struct TickEvent {
  std::uint64_t tick;
  std::size_t order;  // keeps file order among events at the same tick
  bool isTempo;
  std::uint32_t micros;
  std::uint8_t bytes[3];
};

bool ReadTrack(Reader& track, std::vector<TickEvent>* events, std::string* error) {
  std::uint64_t tick = 0;
  std::uint8_t running = 0;
  while (track.Has(1)) {
    std::uint32_t delta = 0;
    std::uint8_t status = 0;
    if (!track.VarLen(&delta) || !track.U8(&status)) break;
    tick += delta;
    if (status == 0xFF) {
      std::uint8_t type = 0;
      std::uint32_t length = 0;
      if (!track.U8(&type) || !track.VarLen(&length) || !track.Has(length)) break;
      if (type == 0x2F) return true;
      if (type == 0x51 && length == 3) {
        const std::uint8_t* p = track.Here();
        const std::uint32_t micros = (std::uint32_t{p[0]} << 16) | (p[1] << 8) | p[2];
        events->push_back({tick, events->size(), true, micros, {}});
      }
      track.Skip(length);
      continue;
    }
    if (status == 0xF0 || status == 0xF7) {
      std::uint32_t length = 0;
      if (!track.VarLen(&length) || !track.Skip(length)) break;
      continue;
    }
    std::uint8_t first = 0;
    if (status & 0x80) {
      if (status >= 0xF0) {
        *error = "unexpected system message in a track";
        return false;
      }
      running = status;
      if (!track.U8(&first)) break;
    } else {
      if (!running) {
        *error = "a data byte without a status";
        return false;
      }
      first = status;
      status = running;
    }
    std::uint8_t second = 0;
    if (DataBytes(status) == 2 && !track.U8(&second)) break;
    events->push_back({tick, events->size(), false, 0, {status, first, second}});
  }
  // Tracks cut short keep what they had; many writers forget the end-of-track event.
  return true;
}

}  // namespace

std::vector<std::uint8_t> EncodeMidiFile(const std::vector<MidiOut>& events, double sampleRate,
                                         double tempo) {
  std::vector<MidiOut> sorted = events;
  std::stable_sort(sorted.begin(), sorted.end(),
                   [](const MidiOut& a, const MidiOut& b) { return a.frame < b.frame; });
  const double ticksPerSample = tempo / 60.0 * kMidiFileTicksPerQuarter / sampleRate;

  std::vector<std::uint8_t> track;
  PutVarLen(track, 0);
  const auto micros = static_cast<std::uint32_t>(std::lround(60000000.0 / tempo));
  track.insert(track.end(),
               {0xFF, 0x51, 0x03, static_cast<std::uint8_t>(micros >> 16),
                static_cast<std::uint8_t>(micros >> 8), static_cast<std::uint8_t>(micros)});
  std::uint64_t lastTick = 0;
  for (const MidiOut& event : sorted) {
    if (event.status < 0x80 || event.status >= 0xF0) continue;
    const auto tick =
        static_cast<std::uint64_t>(std::llround(std::max<double>(event.frame, 0) * ticksPerSample));
    PutVarLen(track, static_cast<std::uint32_t>(tick - std::min(tick, lastTick)));
    lastTick = std::max(tick, lastTick);
    track.push_back(event.status);
    track.push_back(event.data1 & 0x7F);
    if (DataBytes(event.status) == 2) track.push_back(event.data2 & 0x7F);
  }
  PutVarLen(track, 0);
  track.insert(track.end(), {0xFF, 0x2F, 0x00});

  std::vector<std::uint8_t> file = {'M', 'T', 'h', 'd'};
  PutU32(file, 6);
  PutU16(file, 0);
  PutU16(file, 1);
  PutU16(file, kMidiFileTicksPerQuarter);
  file.insert(file.end(), {'M', 'T', 'r', 'k'});
  PutU32(file, static_cast<std::uint32_t>(track.size()));
  file.insert(file.end(), track.begin(), track.end());
  return file;
}

bool DecodeMidiFile(const std::vector<std::uint8_t>& bytes, std::vector<TimedMidi>* events,
                    std::string* error) {
  std::string ignored;
  if (!error) error = &ignored;
  Reader file(bytes.data(), bytes.size());
  std::uint32_t headerLength = 0, format = 0, tracks = 0, division = 0;
  if (!file.Tag("MThd") || !file.U32(&headerLength) || headerLength < 6 || !file.U16(&format) ||
      !file.U16(&tracks) || !file.U16(&division) || !file.Skip(headerLength - 6)) {
    *error = "not a Standard MIDI File";
    return false;
  }
  if (format > 1) {
    *error = "MIDI files of type " + std::to_string(format) + " are not supported";
    return false;
  }
  if (division == 0) {
    *error = "the MIDI file's time division is 0";
    return false;
  }

  std::vector<TickEvent> all;
  for (std::uint32_t t = 0; t < tracks && file.Has(8); ++t) {
    std::uint32_t length = 0;
    const bool isTrack = file.Tag("MTrk");
    if (!isTrack) file.Skip(4);
    if (!file.U32(&length)) break;
    const std::size_t available = std::min<std::size_t>(length, bytes.size() - file.Pos());
    if (isTrack) {
      Reader track(file.Here(), available);
      if (!ReadTrack(track, &all, error)) return false;
    } else {
      ++tracks;  // chunks of unknown kind do not count as tracks
    }
    file.Skip(available);
  }
  std::stable_sort(all.begin(), all.end(), [](const TickEvent& a, const TickEvent& b) {
    return a.tick != b.tick ? a.tick < b.tick : a.order < b.order;
  });

  events->clear();
  const bool smpte = (division & 0x8000) != 0;
  const double smpteTicksPerSecond =
      smpte ? -static_cast<double>(static_cast<std::int8_t>(division >> 8)) * (division & 0xFF)
            : 0.0;
  std::uint64_t tempoTick = 0;
  double tempoSeconds = 0.0;
  std::uint32_t micros = kDefaultMicrosPerQuarter;
  for (const TickEvent& event : all) {
    double seconds = 0.0;
    if (smpte) {
      seconds = smpteTicksPerSecond > 0 ? event.tick / smpteTicksPerSecond : 0.0;
    } else {
      seconds = tempoSeconds + (event.tick - tempoTick) * (micros / 1e6) / division;
    }
    if (event.isTempo) {
      tempoSeconds = seconds;
      tempoTick = event.tick;
      micros = std::max<std::uint32_t>(event.micros, 1);
      continue;
    }
    events->push_back({seconds, event.bytes[0], event.bytes[1], event.bytes[2]});
  }
  return true;
}

bool ReadFileBytes(const std::string& path, std::vector<std::uint8_t>* bytes, std::string* error) {
  std::ifstream in(path, std::ios::binary);
  if (!in) {
    *error = "cannot open " + path + ": " + std::strerror(errno);
    return false;
  }
  bytes->assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
  if (in.bad()) {
    *error = "cannot read " + path;
    return false;
  }
  return true;
}

bool WriteFileBytes(const std::string& path, const std::vector<std::uint8_t>& bytes,
                    std::string* error) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  if (out) out.write(reinterpret_cast<const char*>(bytes.data()), std::ssize(bytes));
  if (out) out.close();
  if (!out) {
    *error = "cannot write " + path + ": " + std::strerror(errno);
    return false;
  }
  return true;
}

}  // namespace vsthost
