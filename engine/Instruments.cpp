#include "engine/Instruments.h"

const char* const kInstrumentParamWords[kNumInstruments] = {
    "Base",  "Snare 1", "Snare 2",  "Small Bongo", "Large Bongo", "Conga", "Cowbell", "Claves",
    "Hihat", "Rimshot", "Cymbal 1", "Cymbal 2",    "Tambourine",  "Guiro", "Quijada"};

const char* const kInstrumentEditorNames[kNumInstruments] = {
    "Base",  "Snare 1", "Snare 2",  "Short Bongo", "Long Bongo", "Conga", "Cowbell", "Claves",
    "Hihat", "Rimshot", "Cymbal 1", "Cymbal 2",    "Tambourine", "Guiro", "Quijada"};
