#include "host/Cli.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <ostream>
#include <string>
#include <vector>

#include "host/AudioFile.h"
#include "host/EditorWindow.h"
#include "host/MidiFile.h"
#include "host/PluginHost.h"

namespace vsthost {

namespace {

constexpr const char* kUsage = R"(usage:
  rhythmoria info [--plugin PATH]
  rhythmoria render [options] OUTPUT.wav|.flac|.aif
  rhythmoria edit [--program N|NAME] [--play] [--seconds S] [--state FILE] [--plugin PATH]

Loads the Rhythmoria VST2 plug-in (or any VST2 instrument) and describes it, renders it
offline, with a playing transport, to an audio file, or opens its editor in a window.

render options:
  --program N|NAME   program by number (0-63) or name (default: the plug-in's current one)
  --bars N           length in bars of --beats-per-bar beats at the rhythm's tempo (default 8)
  --seconds S        length in seconds instead of bars
  --beats-per-bar N  beats in a bar when counting bars (default 4)
  --tempo BPM        the host's tempo (default 120)
  --sync on|off      on (default): switch the plug-in's Tempo Sync on, so its rhythm starts
                     with the host's playing transport and follows --tempo; off: keep the
                     program's setting (a rhythm that does not follow the host does not start
                     by itself, and bars are then counted at its own Tempo)
  --rate HZ          sample rate (default 44100)
  --block N          frames per block (default 512)
  --channels sum|all the stereo sum (default) or all 16 outputs
  --midi-in FILE     play a Standard MIDI File (type 0 or 1) into the plug-in
  --midi-out FILE    save the MIDI the plug-in sends as a Standard MIDI File
  --set NAME=VALUE   set a parameter (name or number) to a value as the plug-in shows it,
                     e.g. --set "Tempo=100" --set "Tempo Sync=on"; may be repeated
  --load-state FILE  restore a state chunk saved with --save-state before anything else
  --save-state FILE  save the state chunk after the program and --set are applied
  --quiet            no progress line

edit options:
  --program N|NAME   program by number (0-63) or name
  --play             play the transport while the editor is open (audio runs either way, so
                     the plug-in's own PLAY is heard)
  --seconds S        close the window by itself after S seconds
  --state FILE       keep FILE up to date with what the host sees: editor open or closed,
                     transport, whether there is sound, the program and every parameter
  In the window on Windows, F5 closes the editor and opens it again.

common options:
  --plugin PATH      the plug-in binary (default: $RHYTHMORIA_PLUGIN, else the one built
                     with this program)
)";

struct Options {
  std::string command;
  std::string plugin;
  std::string program;
  double bars = 8.0;
  double seconds = 0.0;
  bool lengthInSeconds = false;
  bool lengthGiven = false;
  double beatsPerBar = 4.0;
  double tempo = 120.0;
  int rate = 44100;
  int block = 512;
  bool allChannels = false;
  bool sync = true;
  std::string midiIn;
  std::string midiOut;
  std::string loadState;
  std::string saveState;
  std::vector<std::string> sets;
  std::string output;
  bool quiet = false;
  bool play = false;
  std::string stateFile;
};

struct UsageError {
  std::string message;
};

bool ParseNumber(const std::string& text, double* value) {
  const char* begin = text.c_str();
  const char* end = begin + text.size();
  const auto result = std::from_chars(begin, end, *value);
  return !text.empty() && result.ec == std::errc() && result.ptr == end && std::isfinite(*value);
}

bool ParseInt(const std::string& text, int* value) {
  const char* begin = text.c_str();
  const char* end = begin + text.size();
  const auto result = std::from_chars(begin, end, *value);
  return !text.empty() && result.ec == std::errc() && result.ptr == end;
}

double NumberOption(const std::string& name, const std::string& text, double low, double high) {
  double value = 0.0;
  if (!ParseNumber(text, &value) || value < low || value > high) {
    throw UsageError{name + " wants a number from " + std::to_string(low) + " to " +
                     std::to_string(high) + ", not '" + text + "'"};
  }
  return value;
}

int IntOption(const std::string& name, const std::string& text, int low, int high) {
  int value = 0;
  if (!ParseInt(text, &value) || value < low || value > high) {
    throw UsageError{name + " wants a whole number from " + std::to_string(low) + " to " +
                     std::to_string(high) + ", not '" + text + "'"};
  }
  return value;
}

Options ParseOptions(int argc, const char* const* argv) {
  Options options;
  std::vector<std::string> args(argv + 1, argv + argc);
  if (args.empty()) throw UsageError{"no command given"};
  options.command = args[0];
  if (options.command != "info" && options.command != "render" && options.command != "edit") {
    throw UsageError{"unknown command '" + options.command + "'"};
  }
  for (std::size_t i = 1; i < args.size(); ++i) {
    std::string arg = args[i];
    if (arg.rfind("--", 0) != 0 || arg == "--") {
      if (!options.output.empty()) throw UsageError{"more than one output file given"};
      options.output = arg;
      continue;
    }
    std::string value;
    bool hasValue = false;
    if (const std::size_t eq = arg.find('='); eq != std::string::npos) {
      value = arg.substr(eq + 1);
      arg = arg.substr(0, eq);
      hasValue = true;
    }
    auto next = [&]() -> std::string {
      if (hasValue) return value;
      if (i + 1 >= args.size()) throw UsageError{arg + " needs a value"};
      return args[++i];
    };
    if (arg == "--quiet") {
      options.quiet = true;
    } else if (arg == "--plugin") {
      options.plugin = next();
    } else if (options.command == "info") {
      throw UsageError{"unknown option " + arg + " for info"};
    } else if (arg == "--program") {
      options.program = next();
    } else if (options.command == "edit" && arg == "--play") {
      options.play = true;
    } else if (options.command == "edit" && arg == "--state") {
      options.stateFile = next();
    } else if (options.command == "edit" && arg == "--seconds") {
      options.seconds = NumberOption(arg, next(), 0.0, 36000.0);
    } else if (options.command == "edit") {
      throw UsageError{"unknown option " + arg + " for edit"};
    } else if (arg == "--bars") {
      if (options.lengthGiven) throw UsageError{"give either --bars or --seconds, once"};
      options.bars = NumberOption(arg, next(), 0.0, 10000.0);
      options.lengthGiven = true;
    } else if (arg == "--seconds") {
      if (options.lengthGiven) throw UsageError{"give either --bars or --seconds, once"};
      options.seconds = NumberOption(arg, next(), 0.0, 36000.0);
      options.lengthInSeconds = true;
      options.lengthGiven = true;
    } else if (arg == "--beats-per-bar") {
      options.beatsPerBar = NumberOption(arg, next(), 1.0, 64.0);
    } else if (arg == "--tempo") {
      options.tempo = NumberOption(arg, next(), 1.0, 999.0);
    } else if (arg == "--rate") {
      options.rate = IntOption(arg, next(), 8000, 384000);
    } else if (arg == "--block") {
      options.block = IntOption(arg, next(), 1, 8192);
    } else if (arg == "--channels") {
      const std::string which = next();
      if (which != "sum" && which != "all") throw UsageError{"--channels is sum or all"};
      options.allChannels = which == "all";
    } else if (arg == "--sync") {
      const std::string which = next();
      if (which != "on" && which != "off") throw UsageError{"--sync is on or off"};
      options.sync = which == "on";
    } else if (arg == "--midi-in") {
      options.midiIn = next();
    } else if (arg == "--midi-out") {
      options.midiOut = next();
    } else if (arg == "--set") {
      options.sets.push_back(next());
    } else if (arg == "--load-state") {
      options.loadState = next();
    } else if (arg == "--save-state") {
      options.saveState = next();
    } else {
      throw UsageError{"unknown option " + arg};
    }
  }
  if (options.command != "render" && !options.output.empty()) {
    throw UsageError{options.command + " takes no file"};
  }
  if (options.command == "render") {
    if (options.output.empty()) throw UsageError{"render needs an output file"};
    if (!AudioFileWriter::KnownExtension(options.output)) {
      throw UsageError{"unknown audio file type '" + options.output + "' (use " +
                       AudioFileWriter::KnownExtensions() + ")"};
    }
  }
  return options;
}

std::string PluginPath(const Options& options) {
  if (!options.plugin.empty()) return options.plugin;
  if (const char* env = std::getenv("RHYTHMORIA_PLUGIN"); env && *env) return env;
#ifdef RHYTHMORIA_BUILT_PLUGIN
  return RHYTHMORIA_BUILT_PLUGIN;
#else
  return "Rhythmoria.so";
#endif
}

std::string FourChars(VstInt32 code) {
  std::string text;
  for (int shift = 24; shift >= 0; shift -= 8) {
    const char c = static_cast<char>((code >> shift) & 0xFF);
    text += (c >= 32 && c < 127) ? c : '?';
  }
  return text;
}

std::string OutputLabel(PluginHost& host, int index) {
  VstPinProperties pin = {};
  if (!host.Dispatch(effGetOutputProperties, index, 0, &pin)) return "";
  pin.label[sizeof(pin.label) - 1] = '\0';
  return pin.label;
}

int Info(PluginHost& host, std::ostream& out) {
  const AEffect* effect = host.Effect();
  out << "Name:        " << host.EffectName() << "\n"
      << "Vendor:      " << host.Vendor() << "\n"
      << "Product:     " << host.Product() << "\n"
      << "Version:     " << host.Dispatch(effGetVendorVersion) << "\n"
      << "Unique ID:   " << FourChars(effect->uniqueID) << "\n"
      << "Category:    "
      << (host.Dispatch(effGetPlugCategory) == kPlugCategSynth ? "instrument" : "effect") << "\n";
  char flags[16];
  std::snprintf(flags, sizeof(flags), "0x%X", static_cast<unsigned>(effect->flags));
  out << "Flags:       " << flags << "\n"
      << "Inputs:      " << effect->numInputs << "\n"
      << "Outputs:     " << effect->numOutputs << "\n";
  for (int i = 0; i < effect->numOutputs; ++i)
    out << "  " << i << "  " << OutputLabel(host, i) << "\n";
  out << "Parameters:  " << effect->numParams << "\n";
  for (int i = 0; i < effect->numParams; ++i) {
    std::string label = host.ParamLabel(i);
    out << "  " << i << "  " << host.ParamName(i) << " = " << host.ParamDisplay(i)
        << (label.empty() ? "" : " " + label) << "\n";
  }
  out << "Programs:    " << effect->numPrograms << "\n";
  for (int i = 0; i < effect->numPrograms; ++i)
    out << "  " << i << "  " << host.ProgramName(i) << "\n";
  return kExitOk;
}

// The tempo the plug-in's rhythm runs at: the host's when it follows the host, else its own.
double RhythmTempo(PluginHost& host, double hostTempo) {
  const int sync = host.FindParameter("Tempo Sync");
  if (sync >= 0 && host.GetParameter(sync) >= 0.5f) return hostTempo;
  const int tempo = host.FindParameter("Tempo");
  double value = 0.0;
  if (tempo >= 0 && ParseNumber(host.ParamDisplay(tempo), &value) && value > 0.0) return value;
  return hostTempo;
}

struct Failure {
  std::string message;
};

void SelectProgram(PluginHost& host, const std::string& program) {
  int index = -1;
  if (ParseInt(program, &index)) {
    if (index < 0 || index >= host.NumPrograms()) {
      throw Failure{"program " + program + " does not exist (0 to " +
                    std::to_string(host.NumPrograms() - 1) + ")"};
    }
  } else {
    index = host.FindProgram(program);
    if (index < 0) throw Failure{"unknown program '" + program + "'"};
  }
  host.SetProgram(index);
}

void ApplySetting(PluginHost& host, const std::string& setting) {
  const std::size_t eq = setting.find('=');
  if (eq == std::string::npos || eq == 0) {
    throw Failure{"--set wants NAME=VALUE, not '" + setting + "'"};
  }
  const std::string name = setting.substr(0, eq);
  const std::string value = setting.substr(eq + 1);
  int index = -1;
  if (!ParseInt(name, &index)) index = host.FindParameter(name);
  if (index < 0 || index >= host.NumParams()) throw Failure{"unknown parameter '" + name + "'"};
  if (!host.SetParameterText(index, value)) {
    throw Failure{"parameter '" + host.ParamName(index) + "' does not take '" + value + "'"};
  }
}

std::vector<TimedMidi> ReadMidiIn(const std::string& path) {
  std::vector<std::uint8_t> bytes;
  std::vector<TimedMidi> events;
  std::string error;
  if (!ReadFileBytes(path, &bytes, &error)) throw Failure{error};
  if (!DecodeMidiFile(bytes, &events, &error)) throw Failure{path + ": " + error};
  return events;
}

int Render(PluginHost& host, const Options& options, std::ostream& out, std::ostream& err,
           bool showProgress) {
  std::string error;
  if (!options.loadState.empty()) {
    std::vector<std::uint8_t> state;
    if (!ReadFileBytes(options.loadState, &state, &error)) throw Failure{error};
    if (!host.SetChunk(state, true)) {
      throw Failure{options.loadState + ": the plug-in refused this state"};
    }
  }
  if (!options.program.empty()) SelectProgram(host, options.program);
  if (const int sync = host.FindParameter("Tempo Sync"); options.sync && sync >= 0) {
    host.SetParameterText(sync, "on");
  }
  for (const std::string& setting : options.sets) ApplySetting(host, setting);
  if (!options.saveState.empty()) {
    const std::vector<std::uint8_t> state = host.GetChunk(true);
    if (state.empty()) throw Failure{"the plug-in gave no state to save"};
    if (!WriteFileBytes(options.saveState, state, &error)) throw Failure{error};
  }
  const std::vector<TimedMidi> midiIn =
      options.midiIn.empty() ? std::vector<TimedMidi>{} : ReadMidiIn(options.midiIn);

  const double seconds = options.lengthInSeconds ? options.seconds
                                                 : options.bars * options.beatsPerBar * 60.0 /
                                                       RhythmTempo(host, options.tempo);
  const auto total = static_cast<std::int64_t>(std::llround(seconds * options.rate));
  const int channels = options.allChannels ? host.NumOutputs() : std::min(2, host.NumOutputs());

  AudioFileWriter writer;
  if (!writer.Open(options.output, channels, options.rate, &error)) throw Failure{error};
  std::vector<float> interleaved(static_cast<std::size_t>(options.block) * channels);
  std::size_t nextMidi = 0;
  int shownPercent = -1;
  for (std::int64_t done = 0; done < total;) {
    const int frames = static_cast<int>(std::min<std::int64_t>(options.block, total - done));
    for (; nextMidi < midiIn.size(); ++nextMidi) {
      const TimedMidi& event = midiIn[nextMidi];
      const auto frame = static_cast<std::int64_t>(std::llround(event.seconds * options.rate));
      if (frame >= done + frames) break;
      host.QueueMidi(static_cast<int>(std::max<std::int64_t>(frame - done, 0)), event.status,
                     event.data1, event.data2);
    }
    host.ProcessReplacing(frames);
    for (int c = 0; c < channels; ++c) {
      const float* source = host.Output(c);
      for (int s = 0; s < frames; ++s)
        interleaved[static_cast<std::size_t>(s) * channels + c] = source[s];
    }
    if (!writer.Write(interleaved.data(), frames, &error)) throw Failure{error};
    done += frames;
    const int percent = static_cast<int>(done * 100 / total);
    if (showProgress && percent != shownPercent) {
      shownPercent = percent;
      char line[80];
      std::snprintf(line, sizeof(line), "\rrendering %3d%%  %.1f of %.1f s", percent,
                    static_cast<double>(done) / options.rate, seconds);
      err << line << std::flush;
    }
  }
  if (showProgress && shownPercent >= 0) err << "\n";
  if (!writer.Close(&error)) throw Failure{error};

  if (!options.midiOut.empty()) {
    const std::vector<std::uint8_t> smf =
        EncodeMidiFile(host.TakeMidiOut(), options.rate, options.tempo);
    if (!WriteFileBytes(options.midiOut, smf, &error)) throw Failure{error};
  }
  char summary[96];
  std::snprintf(summary, sizeof(summary), " (%.2f s, %d channel%s, %d Hz)", seconds, channels,
                channels == 1 ? "" : "s", options.rate);
  out << "wrote " << std::filesystem::absolute(options.output).string() << summary << "\n";
  return kExitOk;
}

}  // namespace

int RunCli(int argc, const char* const* argv, std::ostream& out, std::ostream& err,
           bool showProgress) {
  if (argc >= 2) {
    const std::string first = argv[1];
    if (first == "--help" || first == "-h" || first == "help") {
      out << kUsage;
      return kExitOk;
    }
  }
  Options options;
  try {
    options = ParseOptions(argc, argv);
  } catch (const UsageError& e) {
    err << "rhythmoria: " << e.message << "\n\n" << kUsage;
    return kExitUsage;
  }

  HostSettings settings;
  settings.sampleRate = options.rate;
  settings.blockSize = options.block;
  settings.tempo = options.tempo;
  settings.playing = true;
  settings.processLevel = kVstProcessLevelOffline;
  std::string error;
  const std::string path = PluginPath(options);
  std::unique_ptr<PluginHost> host = PluginHost::Load(path, settings, &error);
  if (!host) {
    err << "rhythmoria: " << error << "\n";
    return kExitFailure;
  }
  host->Start();
  try {
    if (options.command == "info") return Info(*host, out);
    if (options.command == "edit") {
      if (!options.program.empty()) SelectProgram(*host, options.program);
      EditorWindowOptions window;
      window.play = options.play;
      window.seconds = options.seconds;
      window.stateFile = options.stateFile;
      if (!RunEditorWindow(*host, window, &error)) throw Failure{error};
      return kExitOk;
    }
    return Render(*host, options, out, err, showProgress && !options.quiet);
  } catch (const Failure& e) {
    err << "rhythmoria: " << e.message << "\n";
    return kExitFailure;
  }
}

}  // namespace vsthost
