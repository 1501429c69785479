#pragma once

#include <cstdint>
#include <string>

#include "engine/Rhythmoria.h"
#include "framework/ChunkBuffer.h"
#include "tools/FactoryDefinition.h"

namespace factorybank {

// The plug-in version the factory bank's header names: the release whose state format its
// payloads carry ("Rhythmoria_1.1.3"). Nothing reads it; it only tells where the bank came from.
inline constexpr std::int32_t kFactoryBankVersion = 10103;

// Brings the engine to exactly this program: every parameter at its default unless the program
// names it, every rhythm slot factory unless rewritten, every voice to the sum only unless
// routed. What the engine held before leaves no trace.
void ApplyProgram(Rhythmoria& plug, const ProgramDefinition& program);

// Builds each program in an engine, stores it into its slot with the framework's program code,
// and writes the bank file. The bytes are those the plug-in writes when it saves a bank right
// after loading this one (so every payload's header holds program 0 and its name), except for
// the version field, which says kFactoryBankVersion.
bool BuildFactoryBank(const FactoryDefinition& definition, ChunkBuffer* bank, std::string* error);

}  // namespace factorybank
