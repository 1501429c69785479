// Generates the factory bank from its definition, checks a bank file against the definition, and
// renders programs to report how loud they play.
//
//   make_factory_bank <definition> <bank.fxb>
//       writes the bank
//   make_factory_bank --check <definition> <bank.fxb>
//       exits 0 when the file holds exactly the bank the definition gives
//   make_factory_bank --loudness <definition> [seconds]
//       level of the sum output for every program
//   make_factory_bank --voices <definition> <program> [seconds]
//       the same for each voice of one program playing alone, to balance a kit
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <numeric>
#include <sstream>
#include <string>
#include <vector>

#include "framework/PresetFiles.h"
#include "tools/FactoryBankBuilder.h"
#include "tools/FactoryDefinition.h"

namespace {

using factorybank::FactoryDefinition;
using factorybank::ProgramDefinition;

constexpr double kSampleRate = 44100.0;
constexpr int kBlockSize = 512;
constexpr double kDefaultSeconds = 16.0;
// Four blocks, about 46 ms: long enough to hold the body of one hit.
constexpr int kWindowBlocks = 4;

// Levels of the sum output, both channels.
struct Loudness {
  double peak = 0.0;
  // Over the whole render.
  double rms = 0.0;
  // Of the loudest window: how loud a single hit sounds.
  double loudest = 0.0;
};

double Decibels(double x) {
  return 20.0 * std::log10(std::max(x, 1e-9));
}

void PrintHeading(const char* what) {
  std::printf("%8s %8s %8s %8s  %s\n", "peak", "peak dB", "hit dB", "rms dB", what);
}

void PrintLoudness(const Loudness& l, const std::string& label) {
  std::printf("%8.3f %8.1f %8.1f %8.1f  %s\n", l.peak, Decibels(l.peak), Decibels(l.loudest),
              Decibels(l.rms), label.c_str());
}

// The engine under a host whose transport plays from the start at the program's tempo, so
// programs that follow the host run as well as those that keep their own tempo.
class OfflinePlayer : public Rhythmoria {
 public:
  OfflinePlayer() : Rhythmoria(IPlugInstanceInfo{}) {}

  double GetHostTempo() override { return mTempo; }
  int GetTransportSample() override { return static_cast<int>(mSamplePosition); }
  void GetTransportInfo(ITransportInfo* info) override {
    info->mTempo = mTempo;
    info->mSamplePos = mSamplePosition;
    info->mPPQPos = mSamplePosition / GetSampleRate() * mTempo / 60.0;
    info->mTransportIsRunning = true;
  }

  Loudness Render(double seconds) {
    SetHostSampleRate(kSampleRate);
    OnReset();
    SetHostBlockSize(kBlockSize);
    OnReset();
    SetActive(true);
    mTempo = GetParam(kTempo)->Value();
    if (GetParam(kTempoSync)->Value() < 0.5) ToggleRun(true);

    std::vector<std::vector<double>> channels(static_cast<std::size_t>(NOutChannels()),
                                              std::vector<double>(kBlockSize));
    std::vector<double*> pointers;
    for (auto& channel : channels) pointers.push_back(channel.data());
    Loudness loudness;
    double total = 0.0;
    std::vector<double> window(kWindowBlocks, 0.0);
    const auto blocks = std::max(1LL, static_cast<long long>(seconds * kSampleRate / kBlockSize));
    for (long long b = 0; b < blocks; ++b) {
      ProcessBuffersDouble(nullptr, 0, pointers.data(), static_cast<int>(pointers.size()),
                           kBlockSize);
      double squares = 0.0;
      for (std::size_t c = 0; c < 2; ++c) {
        for (double x : channels[c]) {
          loudness.peak = std::max(loudness.peak, std::fabs(x));
          squares += x * x;
        }
      }
      total += squares;
      window[static_cast<std::size_t>(b % kWindowBlocks)] = squares;
      loudness.loudest =
          std::max(loudness.loudest, std::accumulate(window.begin(), window.end(), 0.0));
      mSamplePosition += kBlockSize;
    }
    const double samplesPerBlock = 2.0 * kBlockSize;
    loudness.rms = std::sqrt(total / (samplesPerBlock * static_cast<double>(blocks)));
    loudness.loudest = std::sqrt(loudness.loudest / (samplesPerBlock * kWindowBlocks));
    return loudness;
  }

 private:
  double mTempo = 120.0;
  double mSamplePosition = 0.0;
};

Loudness Measure(const ProgramDefinition& program, double seconds) {
  OfflinePlayer player;
  factorybank::ApplyProgram(player, program);
  return player.Render(seconds);
}

bool ReadDefinition(const char* path, FactoryDefinition* definition) {
  std::ifstream file(path, std::ios::binary);
  if (!file) {
    std::fprintf(stderr, "cannot read %s\n", path);
    return false;
  }
  std::stringstream text;
  text << file.rdbuf();
  std::string error;
  if (!factorybank::ParseFactoryDefinition(text.str(), definition, &error)) {
    std::fprintf(stderr, "%s: %s\n", path, error.c_str());
    return false;
  }
  return true;
}

bool Build(const FactoryDefinition& definition, ChunkBuffer* bank) {
  std::string error;
  if (!factorybank::BuildFactoryBank(definition, bank, &error)) {
    std::fprintf(stderr, "cannot build the bank: %s\n", error.c_str());
    return false;
  }
  return true;
}

int Write(const FactoryDefinition& definition, const char* path) {
  ChunkBuffer bank;
  if (!Build(definition, &bank)) return 1;
  if (!presetfile::WriteWholeFile(path, bank)) {
    std::fprintf(stderr, "cannot write %s\n", path);
    return 1;
  }
  return 0;
}

int Check(const FactoryDefinition& definition, const char* path) {
  ChunkBuffer bank;
  if (!Build(definition, &bank)) return 1;
  std::vector<std::uint8_t> bytes;
  if (!presetfile::ReadWholeFile(path, &bytes)) {
    std::fprintf(stderr, "cannot read %s\n", path);
    return 1;
  }
  const bool same = bytes.size() == static_cast<std::size_t>(bank.Size()) &&
                    std::equal(bytes.begin(), bytes.end(), bank.Data());
  if (!same) {
    std::fprintf(stderr, "%s differs from the bank the definition gives; regenerate it\n", path);
    return 1;
  }
  return 0;
}

int PrintAllPrograms(const FactoryDefinition& definition, double seconds) {
  PrintHeading("program");
  for (int p = 0; p < factorybank::kNumPrograms; ++p) {
    const ProgramDefinition& program = definition.programs[static_cast<std::size_t>(p)];
    PrintLoudness(Measure(program, seconds), std::to_string(p) + " " + program.name);
  }
  return 0;
}

// Each voice of the program alone, the others at level 0.
int Voices(const FactoryDefinition& definition, int program, double seconds) {
  const ProgramDefinition& whole = definition.programs[static_cast<std::size_t>(program)];
  PrintHeading(whole.name.c_str());
  PrintLoudness(Measure(whole, seconds), "all");
  for (int k = 0; k < kNumInstruments; ++k) {
    ProgramDefinition solo = whole;
    for (int other = 0; other < kNumInstruments; ++other) {
      if (other != k) solo.parameters.push_back({kLevelFirst + other, 0.0});
    }
    const Loudness loudness = Measure(solo, seconds);
    if (loudness.peak > 0.0) PrintLoudness(loudness, kInstrumentParamWords[k]);
  }
  return 0;
}

int Usage() {
  std::fprintf(stderr,
               "usage: make_factory_bank <definition> <bank.fxb>\n"
               "       make_factory_bank --check <definition> <bank.fxb>\n"
               "       make_factory_bank --loudness <definition> [seconds]\n"
               "       make_factory_bank --voices <definition> <program> [seconds]\n");
  return 2;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 3) return Usage();
  const std::string mode = argv[1];
  FactoryDefinition definition;
  if (mode == "--check") {
    if (argc != 4) return Usage();
    return ReadDefinition(argv[2], &definition) ? Check(definition, argv[3]) : 1;
  }
  if (mode == "--loudness") {
    if (argc > 4) return Usage();
    double seconds = kDefaultSeconds;
    if (argc == 4) seconds = std::atof(argv[3]);
    if (!(seconds > 0.0)) return Usage();
    return ReadDefinition(argv[2], &definition) ? PrintAllPrograms(definition, seconds) : 1;
  }
  if (mode == "--voices") {
    if (argc < 4 || argc > 5) return Usage();
    const int program = std::atoi(argv[3]);
    double seconds = kDefaultSeconds;
    if (argc == 5) seconds = std::atof(argv[4]);
    if (program < 0 || program >= factorybank::kNumPrograms || !(seconds > 0.0)) return Usage();
    return ReadDefinition(argv[2], &definition) ? Voices(definition, program, seconds) : 1;
  }
  if (argc != 3 || mode.rfind("--", 0) == 0) return Usage();
  return ReadDefinition(argv[1], &definition) ? Write(definition, argv[2]) : 1;
}
