// Compares renders of the same cases made by different builds of the plug-in (the Linux shared
// object and the two Windows DLLs): MIDI out and bank chunks must be byte for byte the same, and
// samples the same or within a tolerance where the systems' maths libraries round differently.
//
//   render_compare notes FILE.mid          the MIDI input that plays every note once
//   render_compare compare DIR DIR [DIR…]  every case of the first folder against the others

#include <sndfile.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "host/MidiFile.h"

namespace {

namespace fs = std::filesystem;

constexpr double kTolerance = 1e-6;

struct Audio {
  int channels = 0;
  int rate = 0;
  std::vector<float> samples;
};

bool ReadAudio(const fs::path& path, Audio* audio) {
  SF_INFO info = {};
  SNDFILE* file = sf_open(path.c_str(), SFM_READ, &info);
  if (!file) return false;
  audio->channels = info.channels;
  audio->rate = info.samplerate;
  audio->samples.resize(static_cast<std::size_t>(info.frames) * info.channels);
  const sf_count_t read = sf_readf_float(file, audio->samples.data(), info.frames);
  sf_close(file);
  return read == info.frames;
}

bool SameBytes(const fs::path& a, const fs::path& b, std::string* why) {
  std::vector<std::uint8_t> left;
  std::vector<std::uint8_t> right;
  std::string error;
  if (!vsthost::ReadFileBytes(a.string(), &left, &error) ||
      !vsthost::ReadFileBytes(b.string(), &right, &error)) {
    *why = error;
    return false;
  }
  if (left == right) return true;
  const auto first = std::mismatch(left.begin(), left.end(), right.begin(), right.end());
  *why = std::to_string(left.size()) + " and " + std::to_string(right.size()) +
         " bytes, first difference at byte " + std::to_string(first.first - left.begin());
  return false;
}

struct Largest {
  double difference = 0.0;
  std::string where;
};

int WriteNotes(const std::string& path) {
  // Every note once, 60 ms apart with changing velocities, each released 30 ms later: whatever
  // notes a program gives its voices, each voice is struck.
  constexpr double kRate = 44100.0;
  std::vector<vsthost::MidiOut> events;
  for (int note = 0; note < 128; ++note) {
    const auto on = static_cast<std::int64_t>(note * 0.060 * kRate);
    const auto off = on + static_cast<std::int64_t>(0.030 * kRate);
    const auto velocity = static_cast<std::uint8_t>(40 + (note * 37) % 88);
    events.push_back({on, 0x99, static_cast<std::uint8_t>(note), velocity});
    events.push_back({off, 0x89, static_cast<std::uint8_t>(note), 0});
  }
  std::string error;
  if (!vsthost::WriteFileBytes(path, vsthost::EncodeMidiFile(events, kRate, 120.0), &error)) {
    std::fprintf(stderr, "%s\n", error.c_str());
    return 1;
  }
  return 0;
}

int Compare(const std::vector<fs::path>& dirs) {
  std::vector<std::string> cases;
  for (const auto& entry : fs::directory_iterator(dirs[0])) {
    if (entry.path().extension() == ".wav") cases.push_back(entry.path().stem().string());
  }
  std::sort(cases.begin(), cases.end());
  if (cases.empty()) {
    std::fprintf(stderr, "no renders in %s\n", dirs[0].c_str());
    return 1;
  }
  int failures = 0;
  int withSound = 0;
  long long samplesCompared = 0;
  long long samplesDiffering = 0;
  Largest largest;
  for (const std::string& name : cases) {
    Audio reference;
    if (!ReadAudio(dirs[0] / (name + ".wav"), &reference)) {
      std::printf("FAIL %s: cannot read %s\n", name.c_str(), dirs[0].c_str());
      ++failures;
      continue;
    }
    const bool sound = std::any_of(reference.samples.begin(), reference.samples.end(),
                                   [](float s) { return s != 0.0f; });
    withSound += sound ? 1 : 0;
    for (std::size_t d = 1; d < dirs.size(); ++d) {
      const std::string pair =
          name + " (" + dirs[0].filename().string() + " and " + dirs[d].filename().string() + ")";
      for (const char* extension : {".mid", ".state"}) {
        std::string why;
        if (!SameBytes(dirs[0] / (name + extension), dirs[d] / (name + extension), &why)) {
          std::printf("FAIL %s: %s files differ: %s\n", pair.c_str(), extension, why.c_str());
          ++failures;
        }
      }
      Audio other;
      if (!ReadAudio(dirs[d] / (name + ".wav"), &other) || other.channels != reference.channels ||
          other.rate != reference.rate || other.samples.size() != reference.samples.size()) {
        std::printf("FAIL %s: the audio files differ in form or length\n", pair.c_str());
        ++failures;
        continue;
      }
      double caseLargest = 0.0;
      std::size_t at = 0;
      for (std::size_t i = 0; i < reference.samples.size(); ++i) {
        const double difference = std::fabs(static_cast<double>(reference.samples[i]) -
                                            static_cast<double>(other.samples[i]));
        if (difference > 0.0) ++samplesDiffering;
        if (difference > caseLargest) {
          caseLargest = difference;
          at = i;
        }
      }
      samplesCompared += static_cast<long long>(reference.samples.size());
      if (caseLargest > largest.difference) {
        char where[200];
        std::snprintf(where, sizeof(where), "%s, channel %zu, frame %zu", pair.c_str(),
                      at % static_cast<std::size_t>(reference.channels),
                      at / static_cast<std::size_t>(reference.channels));
        largest = {caseLargest, where};
      }
      if (caseLargest > kTolerance) {
        std::printf("FAIL %s: samples differ by up to %.3g\n", pair.c_str(), caseLargest);
        ++failures;
      }
    }
  }
  std::printf("%zu cases (%d with sound) in %zu builds: %lld of %lld samples differ", cases.size(),
              withSound, dirs.size(), samplesDiffering, samplesCompared);
  if (largest.difference > 0.0) {
    std::printf(", largest difference %.3g in %s", largest.difference, largest.where.c_str());
  }
  std::printf("\n");
  if (withSound == 0) {
    std::printf("FAIL: every render is silent, so nothing was compared\n");
    ++failures;
  }
  return failures == 0 ? 0 : 1;
}

}  // namespace

int main(int argc, char** argv) {
  const std::vector<std::string> args(argv + 1, argv + argc);
  if (args.size() == 2 && args[0] == "notes") return WriteNotes(args[1]);
  if (args.size() >= 3 && args[0] == "compare") {
    return Compare(std::vector<fs::path>(args.begin() + 1, args.end()));
  }
  std::fprintf(stderr,
               "usage: render_compare notes FILE.mid\n"
               "       render_compare compare DIR DIR [DIR...]\n");
  return 2;
}
