#pragma once

// The one numbering of the fifteen instruments: voice table, Level/Pan/Note parameter groups,
// rhythm grid rows, MIDI file tracks and output routing all use it.
inline constexpr int kBase = 0;
inline constexpr int kSnare1 = 1;
inline constexpr int kSnare2 = 2;
inline constexpr int kSmallBongo = 3;
inline constexpr int kLargeBongo = 4;
inline constexpr int kConga = 5;
inline constexpr int kCowbell = 6;
inline constexpr int kClaves = 7;
inline constexpr int kHihat = 8;
inline constexpr int kRimshot = 9;
inline constexpr int kCymbal1 = 10;
inline constexpr int kCymbal2 = 11;
inline constexpr int kTambourine = 12;
inline constexpr int kGuiro = 13;
inline constexpr int kQuijada = 14;
inline constexpr int kNumInstruments = 15;

// Instrument names as they appear in parameter names.
extern const char* const kInstrumentParamWords[kNumInstruments];
// Instrument names as the editor shows them.
extern const char* const kInstrumentEditorNames[kNumInstruments];
