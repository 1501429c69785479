// Writes the seed corpus of the fuzz targets from real chunks and files of the plug-in:
//   make_fuzz_seeds <corpus folder>
// Bank seeds keep only a few programs so that each fuzzing run stays fast.
#include <cstdio>
#include <filesystem>
#include <string>

#include "engine/Rhythmoria.h"

namespace {

bool Write(const std::filesystem::path& path, const std::uint8_t* data, std::size_t size) {
  std::filesystem::create_directories(path.parent_path());
  FILE* f = std::fopen(path.string().c_str(), "wb");
  if (!f) return false;
  const bool ok = std::fwrite(data, 1, size, f) == size;
  return std::fclose(f) == 0 && ok;
}

void Customise(Rhythmoria& plug) {
  auto set = [&](int i, double v) {
    plug.GetParam(i)->SetClamped(v);
    plug.OnParameterChange(i);
  };
  set(kTempo, 101.25);
  set(kRhythm1 + 2, 1.0);
  set(kLevelFirst + kConga, 2.0);
  plug.EditRhythm(kCowbell, 0, RhythmEdit::FillEighths);
  plug.SetOutputRouting(kClaves, false, 2);
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: make_fuzz_seeds <corpus folder>\n");
    return 2;
  }
  const std::filesystem::path root = argv[1];
  Rhythmoria plug(IPlugInstanceInfo{});
  plug.FillEmptyPrograms("Empty", plug.NPrograms());
  Customise(plug);
  plug.ModifyCurrentPreset("Seed");
  for (int i = 3; i < plug.NPrograms(); ++i) plug.GetProgram(i)->mInitialized = false;

  ChunkBuffer state;
  plug.SerializeState(state);
  bool ok = Write(root / "state" / "payload", state.Data(), static_cast<std::size_t>(state.Size()));

  const std::uint8_t* data = nullptr;
  int size = 0;
  if (plug.WriteHostChunk(false, &data, &size)) {
    std::string chunk(1, '\0');
    chunk.append(reinterpret_cast<const char*>(data), static_cast<std::size_t>(size));
    ok &= Write(root / "host-chunk" / "program",
                reinterpret_cast<const std::uint8_t*>(chunk.data()), chunk.size());
  }
  if (plug.WriteHostChunk(true, &data, &size)) {
    std::string chunk(1, '\1');
    chunk.append(reinterpret_cast<const char*>(data), static_cast<std::size_t>(size));
    ok &= Write(root / "host-chunk" / "bank", reinterpret_cast<const std::uint8_t*>(chunk.data()),
                chunk.size());
  }
  ChunkBuffer file;
  if (plug.WriteProgramToMemory(file)) {
    ok &= Write(root / "program-file" / "program.fxp", file.Data(),
                static_cast<std::size_t>(file.Size()));
  }
  file.Clear();
  if (plug.WriteBankToMemory(file)) {
    ok &=
        Write(root / "bank-file" / "bank.fxb", file.Data(), static_cast<std::size_t>(file.Size()));
  }
  return ok ? 0 : 1;
}
