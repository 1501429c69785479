#include "tools/FactoryBankBuilder.h"

#include <algorithm>
#include <cstring>

#include "framework/PresetFiles.h"

namespace factorybank {

namespace {

void WriteSlot(RhythmBank& bank, const SlotDefinition& slot) {
  const auto s = static_cast<std::size_t>(slot.slot);
  bank.triplet[s] = slot.triplet;
  std::copy(slot.active.begin(), slot.active.end(), bank.active[s]);
  for (std::size_t row = 0; row < kNumInstruments; ++row) {
    std::copy(slot.grid[row].begin(), slot.grid[row].end(), bank.grid[s][row]);
  }
}

void PatchVersion(ChunkBuffer& bank) {
  const auto version = static_cast<std::uint32_t>(kFactoryBankVersion);
  const std::uint8_t bytes[4] = {
      static_cast<std::uint8_t>(version >> 24), static_cast<std::uint8_t>(version >> 16),
      static_cast<std::uint8_t>(version >> 8), static_cast<std::uint8_t>(version)};
  std::memcpy(bank.Data() + presetfile::kPluginVersionOffset, bytes, sizeof(bytes));
}

}  // namespace

void ApplyProgram(Rhythmoria& plug, const ProgramDefinition& program) {
  for (int i = 0; i < plug.NParams(); ++i) {
    IParameter* param = plug.GetParam(i);
    param->SetClamped(param->Default());
  }
  for (const ParameterSetting& setting : program.parameters) {
    plug.GetParam(setting.index)->SetClamped(setting.value);
  }
  plug.ResetRhythms();
  plug.EditRhythms([&](RhythmBank& bank) {
    for (const SlotDefinition& slot : program.slots) WriteSlot(bank, slot);
  });
  for (int k = 0; k < kNumInstruments; ++k) plug.SetOutputRouting(k, true, 0);
  for (const RoutingDefinition& route : program.routing) {
    plug.SetOutputRouting(route.voice, route.toSum, route.extraOutput);
  }
  // Applied once all values stand, in index order, as loading a program does.
  for (int i = 0; i < plug.NParams(); ++i) plug.OnParameterChange(i);
}

bool BuildFactoryBank(const FactoryDefinition& definition, ChunkBuffer* bank, std::string* error) {
  Rhythmoria builder(IPlugInstanceInfo{});
  for (int p = 0; p < kNumPrograms; ++p) {
    // Makes slot p current; an empty slot first takes the live state.
    if (!builder.RestoreProgram(p)) {
      *error = "program " + std::to_string(p) + " cannot be selected";
      return false;
    }
    const ProgramDefinition& program = definition.programs[static_cast<std::size_t>(p)];
    ApplyProgram(builder, program);
    builder.ModifyCurrentPreset(program.name.c_str());
  }
  ChunkBuffer built;
  if (!builder.RestoreProgram(0) || !builder.WriteBankToMemory(built)) {
    *error = "the built programs cannot be written as a bank";
    return false;
  }

  // Each payload's header names the program current when it was written. Loading a bank stores
  // every program again while program 0 is current, so after one load and save all of them name
  // program 0, as in any bank the plug-in saves; that is the form the factory bank ships in.
  Rhythmoria loader(IPlugInstanceInfo{});
  if (!loader.LoadBankFromMemory(built.Data(), static_cast<std::size_t>(built.Size()))) {
    *error = "the plug-in does not load the built bank";
    return false;
  }
  if (loader.GetCurrentProgram() != 0 || !loader.WriteBankToMemory(*bank)) {
    *error = "the loaded bank cannot be written again";
    return false;
  }
  PatchVersion(*bank);
  return true;
}

}  // namespace factorybank
