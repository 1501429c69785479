// The program and bank commands of the editor's menus.
#include "synth/Synth.h"

void Synth::RunOptionCommand(IGraphics* /*editor*/, int /*code*/) {}

void Synth::CopyProgram() {}

void Synth::PasteProgram() {}

int Synth::CheckForUpdate(IGraphics* /*editor*/) {
  return -1;
}
