#include "engine/ParameterTable.h"

#include <array>

#include "engine/ParamDisplays.h"
#include "engine/ParameterIndex.h"

namespace {

// name, type, default, min, max, step, shape
constexpr std::array<ParameterDefinition, kNumParams> kParameterTable = {{
    {"Volume", ParamTypeDouble, 1, 0, 4, 0.01, 2},                         // 0
    {"Power", ParamTypeBool, 1, 0, 1, 1, 1},                               // 1
    {"Tempo", ParamTypeDouble, 120, 1, 240, 1.0 / 240.0, 1},               // 2
    {"Tempo Sync", ParamTypeBool, 0, 0, 1, 1, 1},                          // 3
    {"Quijada", ParamTypeDouble, 0.5, 0, 1, 0.01, 1},                      // 4
    {"Guiro", ParamTypeDouble, 0.5, 0, 1, 0.01, 1},                        // 5
    {"Tambourine", ParamTypeDouble, 0.5, 0, 1, 0.01, 1},                   // 6
    {"Balance", ParamTypeDouble, 0.5, 0, 1, 0.01, 1},                      // 7
    {"Rhythm 1", ParamTypeBool, 0, 0, 1, 1, 1},                            // 8
    {"Rhythm 2", ParamTypeBool, 0, 0, 1, 1, 1},                            // 9
    {"Rhythm 3", ParamTypeBool, 0, 0, 1, 1, 1},                            // 10
    {"Rhythm 4", ParamTypeBool, 0, 0, 1, 1, 1},                            // 11
    {"Rhythm 5", ParamTypeBool, 0, 0, 1, 1, 1},                            // 12
    {"Rhythm 6", ParamTypeBool, 0, 0, 1, 1, 1},                            // 13
    {"Rhythm 7", ParamTypeBool, 0, 0, 1, 1, 1},                            // 14
    {"Rhythm 8", ParamTypeBool, 0, 0, 1, 1, 1},                            // 15
    {"Rhythm 9", ParamTypeBool, 0, 0, 1, 1, 1},                            // 16
    {"Rhythm 10", ParamTypeBool, 0, 0, 1, 1, 1},                           // 17
    {"Rhythm Row", ParamTypeBool, 1, 0, 1, 1, 1},                          // 18
    {"Level Base", ParamTypeDouble, 1, 0, 4, 0.01, 2},                     // 19
    {"Level Snare 1", ParamTypeDouble, 1, 0, 4, 0.01, 2},                  // 20
    {"Level Snare 2", ParamTypeDouble, 1, 0, 4, 0.01, 2},                  // 21
    {"Level Small Bongo", ParamTypeDouble, 1, 0, 4, 0.01, 2},              // 22
    {"Level Large Bongo", ParamTypeDouble, 1, 0, 4, 0.01, 2},              // 23
    {"Level Conga", ParamTypeDouble, 1, 0, 4, 0.01, 2},                    // 24
    {"Level Cowbell", ParamTypeDouble, 1, 0, 4, 0.01, 2},                  // 25
    {"Level Claves", ParamTypeDouble, 1, 0, 4, 0.01, 2},                   // 26
    {"Level Hihat", ParamTypeDouble, 1, 0, 4, 0.01, 2},                    // 27
    {"Level Rimshot", ParamTypeDouble, 1, 0, 4, 0.01, 2},                  // 28
    {"Level Cymbal 1", ParamTypeDouble, 1, 0, 4, 0.01, 2},                 // 29
    {"Level Cymbal 2", ParamTypeDouble, 1, 0, 4, 0.01, 2},                 // 30
    {"Level Tambourine", ParamTypeDouble, 1, 0, 4, 0.01, 2},               // 31
    {"Level Guiro", ParamTypeDouble, 1, 0, 4, 0.01, 2},                    // 32
    {"Level Quijada", ParamTypeDouble, 1, 0, 4, 0.01, 2},                  // 33
    {"Pan Base", ParamTypeDouble, 0.5, 0, 1, 0.01, 1},                     // 34
    {"Pan Snare 1", ParamTypeDouble, 0.5, 0, 1, 0.01, 1},                  // 35
    {"Pan Snare 2", ParamTypeDouble, 0.5, 0, 1, 0.01, 1},                  // 36
    {"Pan Small Bongo", ParamTypeDouble, 0.5, 0, 1, 0.01, 1},              // 37
    {"Pan Large Bongo", ParamTypeDouble, 0.5, 0, 1, 0.01, 1},              // 38
    {"Pan Conga", ParamTypeDouble, 0.5, 0, 1, 0.01, 1},                    // 39
    {"Pan Cowbell", ParamTypeDouble, 0.5, 0, 1, 0.01, 1},                  // 40
    {"Pan Claves", ParamTypeDouble, 0.5, 0, 1, 0.01, 1},                   // 41
    {"Pan Hihat", ParamTypeDouble, 0.5, 0, 1, 0.01, 1},                    // 42
    {"Pan Rimshot", ParamTypeDouble, 0.5, 0, 1, 0.01, 1},                  // 43
    {"Pan Cymbal 1", ParamTypeDouble, 0.5, 0, 1, 0.01, 1},                 // 44
    {"Pan Cymbal 2", ParamTypeDouble, 0.5, 0, 1, 0.01, 1},                 // 45
    {"Pan Tambourine", ParamTypeDouble, 0.5, 0, 1, 0.01, 1},               // 46
    {"Pan Guiro", ParamTypeDouble, 0.5, 0, 1, 0.01, 1},                    // 47
    {"Pan Quijada", ParamTypeDouble, 0.5, 0, 1, 0.01, 1},                  // 48
    {"Note Base", ParamTypeInt, 36, -1, 136, 1, 1},                        // 49
    {"Note Snare 1", ParamTypeInt, 40, -1, 136, 1, 1},                     // 50
    {"Note Snare 2", ParamTypeInt, 38, -1, 136, 1, 1},                     // 51
    {"Note Small Bongo", ParamTypeInt, 60, -1, 136, 1, 1},                 // 52
    {"Note Large Bongo", ParamTypeInt, 61, -1, 136, 1, 1},                 // 53
    {"Note Conga", ParamTypeInt, 64, -1, 136, 1, 1},                       // 54
    {"Note Cowbell", ParamTypeInt, 56, -1, 136, 1, 1},                     // 55
    {"Note Claves", ParamTypeInt, 75, -1, 136, 1, 1},                      // 56
    {"Note Hihat", ParamTypeInt, 42, -1, 136, 1, 1},                       // 57
    {"Note Rimshot", ParamTypeInt, 37, -1, 136, 1, 1},                     // 58
    {"Note Cymbal 1", ParamTypeInt, 49, -1, 136, 1, 1},                    // 59
    {"Note Cymbal 2", ParamTypeInt, 57, -1, 136, 1, 1},                    // 60
    {"Note Tambourine", ParamTypeInt, 54, -1, 136, 1, 1},                  // 61
    {"Note Guiro", ParamTypeInt, 74, -1, 136, 1, 1},                       // 62
    {"Note Quijada", ParamTypeInt, 79, -1, 136, 1, 1},                     // 63
    {"Base Frequency", ParamTypeDouble, 65, 16, 12000, 1, 4},              // 64
    {"Base Attack", ParamTypeDouble, 0.001, 0, 1, 0.001, 1},               // 65
    {"Base Decay", ParamTypeDouble, 0.2, 0, 1, 0.001, 1},                  // 66
    {"Snare 1 Frequency", ParamTypeDouble, 5500, 16, 12000, 1, 4},         // 67
    {"Snare 1 Attack", ParamTypeDouble, 0.001, 0, 1, 0.001, 1},            // 68
    {"Snare 1 Decay", ParamTypeDouble, 0.4, 0, 1, 0.001, 1},               // 69
    {"Snare 1 Resonance", ParamTypeDouble, 0.4, 0.2, 200, 0.01, 4},        // 70
    {"Snare 1 Tick", ParamTypeDouble, 0.5, 0, 1, 0.01, 1},                 // 71
    {"Snare 1 Highpass", ParamTypeDouble, 800, 16, 12000, 1, 4},           // 72
    {"Snare 2 Frequency", ParamTypeDouble, 5500, 16, 12000, 1, 4},         // 73
    {"Snare 2 Attack", ParamTypeDouble, 0.001, 0, 1, 0.001, 1},            // 74
    {"Snare 2 Decay", ParamTypeDouble, 0.08, 0, 1, 0.001, 1},              // 75
    {"Snare 2 Resonance", ParamTypeDouble, 0.3, 0.2, 200, 0.01, 4},        // 76
    {"Snare 2 Tick", ParamTypeDouble, 0.2, 0, 1, 0.01, 1},                 // 77
    {"Snare 2 Highpass", ParamTypeDouble, 1400, 16, 12000, 1, 4},          // 78
    {"Small Bongo Frequency", ParamTypeDouble, 600, 16, 12000, 1, 4},      // 79
    {"Small Bongo Attack", ParamTypeDouble, 0.001, 0, 1, 0.001, 1},        // 80
    {"Small Bongo Decay", ParamTypeDouble, 0.05, 0, 1, 0.001, 1},          // 81
    {"Large Bongo Frequency", ParamTypeDouble, 400, 16, 12000, 1, 4},      // 82
    {"Large Bongo Attack", ParamTypeDouble, 0.001, 0, 1, 0.001, 1},        // 83
    {"Large Bongo Decay", ParamTypeDouble, 0.05, 0, 1, 0.001, 1},          // 84
    {"Conga Frequency 1", ParamTypeDouble, 195, 16, 12000, 1, 4},          // 85
    {"Conga Attack", ParamTypeDouble, 0.001, 0, 1, 0.001, 1},              // 86
    {"Conga Decay 1", ParamTypeDouble, 0.25, 0, 1, 0.001, 1},              // 87
    {"Conga Level 2", ParamTypeDouble, 1, 0, 1, 0.001, 1},                 // 88
    {"Conga Frequency 2", ParamTypeDouble, 4600, 16, 12000, 1, 4},         // 89
    {"Conga Decay 2", ParamTypeDouble, 0.004, 0, 1, 0.001, 1},             // 90
    {"Cowbell Frequency 1", ParamTypeDouble, 860, 16, 12000, 1, 4},        // 91
    {"Cowbell Attack", ParamTypeDouble, 0.001, 0, 1, 0.001, 1},            // 92
    {"Cowbell Decay 1", ParamTypeDouble, 0.05, 0, 1, 0.001, 1},            // 93
    {"Cowbell Frequency 2", ParamTypeDouble, 4600, 16, 12000, 1, 4},       // 94
    {"Cowbell Level 2", ParamTypeDouble, 1, 0, 1, 0.001, 1},               // 95
    {"Cowbell Decay 2", ParamTypeDouble, 0.004, 0, 1, 0.001, 1},           // 96
    {"Claves Frequency", ParamTypeDouble, 2120, 16, 12000, 1, 4},          // 97
    {"Claves Attack", ParamTypeDouble, 0.001, 0, 1, 0.001, 1},             // 98
    {"Claves Decay", ParamTypeDouble, 0.004, 0, 1, 0.001, 1},              // 99
    {"Hihat Frequency", ParamTypeDouble, 10000, 16, 12000, 1, 4},          // 100
    {"Hihat Attack", ParamTypeDouble, 0.01, 0, 1, 0.001, 1},               // 101
    {"Hihat Decay", ParamTypeDouble, 0.02, 0, 1, 0.001, 1},                // 102
    {"Hihat Resonance", ParamTypeDouble, 2, 0.2, 200, 0.01, 4},            // 103
    {"Rimshot Frequency", ParamTypeDouble, 1650, 16, 12000, 1, 4},         // 104
    {"Rimshot Attack", ParamTypeDouble, 0.001, 0, 1, 0.001, 1},            // 105
    {"Rimshot Decay", ParamTypeDouble, 0.001, 0, 1, 0.001, 1},             // 106
    {"Cymbal 1 Frequency", ParamTypeDouble, 5600, 16, 12000, 1, 4},        // 107
    {"Cymbal 1 Attack", ParamTypeDouble, 0.001, 0, 1, 0.001, 1},           // 108
    {"Cymbal 1 Decay", ParamTypeDouble, 0.2, 0, 1, 0.001, 1},              // 109
    {"Cymbal 1 Resonance", ParamTypeDouble, 0.6, 0.2, 200, 0.01, 4},       // 110
    {"Cymbal 1 Highpass", ParamTypeDouble, 5500, 16, 12000, 1, 4},         // 111
    {"Cymbal 2 Frequency", ParamTypeDouble, 5600, 16, 12000, 1, 4},        // 112
    {"Cymbal 2 Attack", ParamTypeDouble, 0.001, 0, 1, 0.001, 1},           // 113
    {"Cymbal 2 Decay", ParamTypeDouble, 0.2, 0, 1, 0.001, 1},              // 114
    {"Cymbal 2 Resonance", ParamTypeDouble, 0.3, 0.2, 200, 0.01, 4},       // 115
    {"Cymbal 2 Highpass", ParamTypeDouble, 5500, 16, 12000, 1, 4},         // 116
    {"Tambourine Frequency", ParamTypeDouble, 4600, 16, 12000, 1, 4},      // 117
    {"Tambourine Attack", ParamTypeDouble, 0.02, 0, 1, 0.001, 1},          // 118
    {"Tambourine Decay", ParamTypeDouble, 0.08, 0, 1, 0.001, 1},           // 119
    {"Tambourine Resonance", ParamTypeDouble, 10, 0.2, 200, 0.01, 4},      // 120
    {"Tambourine Highpass", ParamTypeDouble, 6600, 16, 12000, 1, 4},       // 121
    {"Guiro Frequency", ParamTypeDouble, 4100, 16, 12000, 1, 4},           // 122
    {"Guiro Rate", ParamTypeDouble, 65, 16, 250, 0.1, 4},                  // 123
    {"Guiro Density", ParamTypeDouble, 0.0006, 0.0001, 0.1, 0.0001, 1},    // 124
    {"Quijada Frequency", ParamTypeDouble, 2700, 16, 12000, 1, 4},         // 125
    {"Quijada Attack", ParamTypeDouble, 0.05, 0, 1, 0.001, 1},             // 126
    {"Quijada Decay", ParamTypeDouble, 0.3, 0.01, 0.5, 0.001, 1},          // 127
    {"Quijada Rate", ParamTypeDouble, 25, 5, 100, 0.01, 4},                // 128
    {"Quijada Density", ParamTypeDouble, 0.0036, 0.0001, 0.1, 0.0001, 1},  // 129
    {"reserved", ParamTypeInt, 0, 0, 1, 1, 1},                             // 130
    {"reserved", ParamTypeInt, 0, 0, 1, 1, 1},                             // 131
    {"reserved", ParamTypeInt, 0, 0, 1, 1, 1},                             // 132
    {"reserved", ParamTypeInt, 0, 0, 1, 1, 1},                             // 133
    {"reserved", ParamTypeInt, 0, 0, 1, 1, 1},                             // 134
    {"reserved", ParamTypeInt, 0, 0, 1, 1, 1},                             // 135
    {"reserved", ParamTypeInt, 0, 0, 1, 1, 1},                             // 136
    {"reserved", ParamTypeInt, 0, 0, 1, 1, 1},                             // 137
    {"reserved", ParamTypeInt, 0, 0, 1, 1, 1},                             // 138
    {"reserved", ParamTypeInt, 0, 0, 1, 1, 1},                             // 139
    {"reserved", ParamTypeInt, 0, 0, 1, 1, 1},                             // 140
    {"reserved", ParamTypeInt, 0, 0, 1, 1, 1},                             // 141
    {"reserved", ParamTypeInt, 0, 0, 1, 1, 1},                             // 142
    {"reserved", ParamTypeInt, 0, 0, 1, 1, 1},                             // 143
    {"reserved", ParamTypeInt, 0, 0, 1, 1, 1},                             // 144
    {"reserved", ParamTypeInt, 0, 0, 1, 1, 1},                             // 145
}};

bool ShowsDecibels(int paramIdx) {
  return paramIdx == kVolume || (paramIdx >= kQuijadaBalance && paramIdx <= kTambourineBalance) ||
         (paramIdx >= kLevelFirst && paramIdx < kPanFirst);
}

bool ShowsPan(int paramIdx) {
  return paramIdx >= kPanFirst && paramIdx < kNoteFirst;
}

}  // namespace

const ParameterDefinition& GetParameterDefinition(int paramIdx) {
  return kParameterTable[static_cast<std::size_t>(paramIdx)];
}

void InitParameterFromTable(IParameter& param, int paramIdx) {
  const ParameterDefinition& row = GetParameterDefinition(paramIdx);
  if (row.type == ParamTypeBool && paramIdx != kRhythmRow) {
    param.InitSwitch(row.name, row.defaultValue != 0.0);
  } else {
    param.SetType(row.type);
    param.InitContinuous(row.name, row.defaultValue, row.min, row.max, row.step, row.shape);
    if (paramIdx == kRhythmRow) {
      param.AddDisplayText(0, "below");
      param.AddDisplayText(1, "above");
    }
  }
  if (ShowsDecibels(paramIdx)) param.SetDisplayFunc(DecibelDisplay);
  if (ShowsPan(paramIdx)) param.SetDisplayFunc(PanDisplay);
}

int InstrumentOfSoundParameter(int paramIdx) {
  // First sound parameter of each instrument, in instrument order, and the end of the block.
  static constexpr int kFirst[kNumInstruments + 1] = {
      kBaseFrequency,       kSnare1Frequency,  kSnare2Frequency,   kSmallBongoFrequency,
      kLargeBongoFrequency, kCongaFrequency1,  kCowbellFrequency1, kClavesFrequency,
      kHihatFrequency,      kRimshotFrequency, kCymbal1Frequency,  kCymbal2Frequency,
      kTambourineFrequency, kGuiroFrequency,   kQuijadaFrequency,  kReservedFirst};
  for (int k = 0; k < kNumInstruments; ++k) {
    if (paramIdx >= kFirst[k] && paramIdx < kFirst[k + 1]) return k;
  }
  return -1;
}
