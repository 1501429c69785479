// Reference renders: a matrix of cases played through the built plug-in binary, each reduced to
// one hash of every output sample and every MIDI message the plug-in sent. Speed work on the
// engine must leave every one of them unchanged.
//
// Regenerate the references (after a change that is meant to alter the sound):
//
//   cmake --build --preset release --target Rhythmoria reference_renders &&
//     build/release/tests/reference/reference_renders write build/release/Rhythmoria.so
//     tests/data/reference-renders.txt
//
// (one command line; from the source folder).
//
// The CTest case reference.RendersMatchTheReferences runs the same program with "check".
//
// Every case runs in a child process of its own: the noise source belongs to the process, so a
// case must not depend on which cases ran before it. The transport runs at one tempo from the
// first block to the last and no block is longer than the block size announced to the plug-in.

#include <sys/wait.h>
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "host/PluginHost.h"

namespace {

namespace fs = std::filesystem;

constexpr int kNumOutputs = 16;
constexpr int kNumVoices = 15;
constexpr int kTempoSyncParam = 3;
// The controller the settings file of every case maps to the play switch.
constexpr int kPlayController = 20;
constexpr double kSeconds = 2.5;
constexpr double kHostTempo = 128.0;

enum class Clock { Host, Internal, Stopped };

struct Case {
  std::string name;
  int program = 0;
  Clock clock = Clock::Host;
  double rate = 44100.0;
  int block = 512;
  bool doublePrecision = false;
};

std::vector<Case> Matrix() {
  std::vector<Case> cases;
  // Two programs of several rhythms, the two sound-effect kits, one that follows the host, one
  // factory rhythm on its own and the default program.
  const int programs[] = {0, 1, 6, 11, 14, 23, 40};
  const Clock clocks[] = {Clock::Host, Clock::Internal, Clock::Stopped};
  const char* clockNames[] = {"host", "internal", "stopped"};
  const double rates[] = {44100.0, 48000.0, 96000.0};
  const int blocks[] = {32, 512, 333};
  for (int program : programs) {
    for (int c = 0; c < 3; ++c) {
      // The stopped clock plays notes only; one program is enough for it.
      if (clocks[c] == Clock::Stopped && program != 0) continue;
      for (double rate : rates) {
        for (int block : blocks) {
          char name[80];
          std::snprintf(name, sizeof(name), "p%02d-%s-%d-%d", program, clockNames[c],
                        static_cast<int>(rate), block);
          cases.push_back({name, program, clocks[c], rate, block, false});
        }
      }
    }
  }
  for (int program : {0, 11}) {
    char name[80];
    std::snprintf(name, sizeof(name), "p%02d-host-44100-512-double", program);
    cases.push_back({name, program, Clock::Host, 44100.0, 512, true});
  }
  return cases;
}

class Fnv1a {
 public:
  void Add(const void* data, std::size_t size) {
    const auto* p = static_cast<const std::uint8_t*>(data);
    for (std::size_t i = 0; i < size; ++i) {
      mHash ^= p[i];
      mHash *= 0x100000001b3ull;
    }
  }
  std::uint64_t Value() const { return mHash; }

 private:
  std::uint64_t mHash = 0xcbf29ce484222325ull;
};

// Spreads the voices over every output: some on the sum only, some on an extra output only, most
// on both, and pairs of voices sharing an extra output. In the program chunk the routing comes last
// before the program's name (a 32-bit length and its bytes): per voice a to-sum byte and a 32-bit
// extra-output number.
bool RouteToAllOutputs(vsthost::PluginHost& host, int program) {
  std::vector<std::uint8_t> chunk = host.GetChunk(false);
  constexpr std::size_t kPerVoice = 5;
  const std::size_t trailer = 4 + host.ProgramName(program).size();
  if (chunk.size() < kNumVoices * kPerVoice + trailer) return false;
  std::uint8_t* p = chunk.data() + chunk.size() - trailer - kNumVoices * kPerVoice;
  for (int k = 0; k < kNumVoices; ++k) {
    p[0] = k % 4 == 1 ? 0 : 1;
    const std::int32_t extra = k % 8;
    std::memcpy(p + 1, &extra, sizeof(extra));
    p += kPerVoice;
  }
  return host.SetChunk(chunk, false);
}

// Every note once over the render, each released half-way to the next, velocities varying: any
// program's voices are all struck, several of them more than once.
std::multimap<std::int64_t, std::array<std::uint8_t, 3>> NoteSchedule(double rate) {
  std::multimap<std::int64_t, std::array<std::uint8_t, 3>> events;
  const double spacing = kSeconds * rate / 130.0;
  for (int note = 0; note < 128; ++note) {
    const auto on = static_cast<std::int64_t>((note + 1) * spacing);
    const auto off = on + static_cast<std::int64_t>(spacing / 2);
    const auto velocity = static_cast<std::uint8_t>(1 + (note * 37) % 127);
    events.insert({on, {0x90, static_cast<std::uint8_t>(note), velocity}});
    events.insert({off, {0x80, static_cast<std::uint8_t>(note), 0}});
  }
  return events;
}

// Renders one case in this process; the hash, or an error message starting with "error".
std::string Render(const std::string& pluginPath, const Case& c) {
  vsthost::HostSettings settings;
  settings.sampleRate = c.rate;
  settings.blockSize = c.block;
  settings.tempo = kHostTempo;
  settings.playing = true;
  std::string error;
  auto host = vsthost::PluginHost::Load(pluginPath, settings, &error);
  if (!host) return "error: " + error;
  host->Start();
  host->SetProgram(c.program);
  if (!RouteToAllOutputs(*host, c.program)) return "error: the routing was not accepted";
  host->SetParameter(kTempoSyncParam, c.clock == Clock::Host ? 1.0f : 0.0f);
  if (c.clock == Clock::Internal) host->QueueMidi(0, 0xB0, kPlayController, 127);

  const auto notes = NoteSchedule(c.rate);
  auto next = notes.begin();
  const auto total = static_cast<std::int64_t>(kSeconds * c.rate);
  Fnv1a hash;
  bool sound[kNumOutputs] = {};
  for (std::int64_t start = 0; start < total; start += c.block) {
    const int frames = static_cast<int>(std::min<std::int64_t>(c.block, total - start));
    for (; next != notes.end() && next->first < start + frames; ++next) {
      host->QueueMidi(static_cast<int>(next->first - start), next->second[0], next->second[1],
                      next->second[2]);
    }
    if (c.doublePrecision) {
      host->ProcessDouble(frames);
    } else {
      host->ProcessReplacing(frames);
    }
    for (int ch = 0; ch < kNumOutputs; ++ch) {
      if (c.doublePrecision) {
        const double* out = host->OutputDouble(ch);
        hash.Add(out, sizeof(double) * static_cast<std::size_t>(frames));
        for (int i = 0; i < frames; ++i) sound[ch] = sound[ch] || out[i] != 0.0;
      } else {
        const float* out = host->Output(ch);
        hash.Add(out, sizeof(float) * static_cast<std::size_t>(frames));
        for (int i = 0; i < frames; ++i) sound[ch] = sound[ch] || out[i] != 0.0f;
      }
    }
    for (const vsthost::MidiOut& m : host->TakeMidiOut()) {
      hash.Add(&m.frame, sizeof(m.frame));
      const std::uint8_t bytes[3] = {m.status, m.data1, m.data2};
      hash.Add(bytes, sizeof(bytes));
    }
  }
  // A case that leaves an output silent would not guard it.
  for (int ch = 0; ch < kNumOutputs; ++ch) {
    if (!sound[ch]) return "error: output " + std::to_string(ch) + " stayed silent";
  }
  char text[32];
  std::snprintf(text, sizeof(text), "%016llx", static_cast<unsigned long long>(hash.Value()));
  return text;
}

std::string RenderInChild(const std::string& pluginPath, const Case& c) {
  int fds[2];
  if (pipe(fds) != 0) return "error: pipe";
  const pid_t child = fork();
  if (child < 0) return "error: fork";
  if (child == 0) {
    close(fds[0]);
    const std::string result = Render(pluginPath, c);
    const ssize_t written = write(fds[1], result.data(), result.size());
    _exit(written == static_cast<ssize_t>(result.size()) ? 0 : 1);
  }
  close(fds[1]);
  std::string result;
  char buffer[256];
  ssize_t n;
  while ((n = read(fds[0], buffer, sizeof(buffer))) > 0) result.append(buffer, buffer + n);
  close(fds[0]);
  int status = 0;
  waitpid(child, &status, 0);
  if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) return "error: the render crashed";
  return result;
}

// A settings folder of the run's own: no start-up bank, and the play switch on a controller.
bool PrepareSettings(fs::path* folder) {
  char pattern[] = "/tmp/rhythmoria-reference-XXXXXX";
  if (!mkdtemp(pattern)) return false;
  *folder = pattern;
  fs::create_directories(*folder / "MorvaneMusic");
  std::ofstream ini(*folder / "MorvaneMusic" / "rhythmoria.ini");
  ini << "[MIDI Control]\nCC" << kPlayController << "=-150\n";
  setenv("XDG_CONFIG_HOME", folder->c_str(), 1);
  return static_cast<bool>(ini);
}

std::map<std::string, std::string> ReadReferences(const std::string& path) {
  std::map<std::string, std::string> references;
  std::ifstream file(path);
  std::string line;
  while (std::getline(file, line)) {
    if (line.empty() || line[0] == '#') continue;
    std::istringstream fields(line);
    std::string name;
    std::string hash;
    if (fields >> name >> hash) references[name] = hash;
  }
  return references;
}

}  // namespace

int main(int argc, char** argv) {
  const std::vector<std::string> args(argv + 1, argv + argc);
  if (args.size() != 3 || (args[0] != "write" && args[0] != "check")) {
    std::fprintf(stderr, "usage: reference_renders write|check PLUGIN REFERENCES.txt\n");
    return 2;
  }
  const bool write = args[0] == "write";
  const std::string& plugin = args[1];
  fs::path settings;
  if (!PrepareSettings(&settings)) {
    std::fprintf(stderr, "cannot make a settings folder\n");
    return 1;
  }
  const auto references = write ? std::map<std::string, std::string>{} : ReadReferences(args[2]);
  std::ostringstream out;
  out << "# Hashes of the reference renders (tests/reference/ReferenceRenders.cpp); regenerate "
         "with\n"
         "# the command in that file's header. FNV-1a 64 of the outputs' samples and the MIDI "
         "sent.\n";
  int failures = 0;
  const std::vector<Case> cases = Matrix();
  for (const Case& c : cases) {
    const std::string result = RenderInChild(plugin, c);
    if (result.starts_with("error")) {
      std::printf("FAIL %s: %s\n", c.name.c_str(), result.c_str());
      ++failures;
      continue;
    }
    out << c.name << ' ' << result << '\n';
    if (write) continue;
    const auto found = references.find(c.name);
    if (found == references.end()) {
      std::printf("FAIL %s: no reference\n", c.name.c_str());
      ++failures;
    } else if (found->second != result) {
      std::printf("FAIL %s: %s, reference %s\n", c.name.c_str(), result.c_str(),
                  found->second.c_str());
      ++failures;
    }
  }
  std::error_code ignored;
  fs::remove_all(settings, ignored);
  if (write) {
    if (failures) return 1;
    std::ofstream file(args[2]);
    file << out.str();
    std::printf("%zu references written to %s\n", cases.size(), args[2].c_str());
    return file ? 0 : 1;
  }
  std::printf("%zu cases, %d differ from the references\n", cases.size(), failures);
  return failures == 0 ? 0 : 1;
}
