#include "engine/FactoryRhythms.h"

#include <cstring>

namespace {

// One character per step, 'O' a hit (or an active step), '-' silence.
using Pattern = const char*;

constexpr Pattern S0 = "OOOOOOOO----OOOO----OOOOOOOOOOOOOOOOOOOO----OOOO----OOOOOOOOOOOO";
constexpr Pattern S1 = "OOOOOO--OOOOOO--OOOOOO--OOOOOO--OOOOOO--OOOOOO--OOOOOO--OOOOOO--";
constexpr Pattern S2 = "O-------------------------------O-------------------------------";
constexpr Pattern S3 = "--------O---------------O---------------O---------------O-------";
constexpr Pattern S4 = "----O---O---------------O-----------O---O---------------O-------";
constexpr Pattern S5 = "O-----------O---O---------------O-----------O---O---------------";
constexpr Pattern S6 = "O---O---O---O---O---O---O---O---O---O---O---O---O---O---O---O---";
constexpr Pattern S7 = "------------------------O-------------------------------O-------";
constexpr Pattern S8 = "O-------O-------O---O-------O-------O-------O-------O---O-------";
constexpr Pattern S9 = "O---------------O---------------O---------------O---------------";
constexpr Pattern S10 = "O-----------O---O---------------O---O-------O---O---------------";
constexpr Pattern S11 = "------------------------O---O---------------------------O---O---";
constexpr Pattern S12 = "O-------O-------O-------O-------O-------O-------O-------O-------";
constexpr Pattern S13 = "O-------O-------O---O---O-------O---O---O-------O---O---O-------";
constexpr Pattern S14 = "O---------------O-------O-------O---------------O-------O-------";
constexpr Pattern S15 = "O---O-O-O---O---O---O---O---O---O---O-O-O---O---O---O---O---O---";
constexpr Pattern S16 = "--------O-----------O-------------------O-----------O-----------";
constexpr Pattern S17 = "O-----------O-----------O---------------O-------O---------------";
constexpr Pattern S18 = "O---O-------O---O---O---O---O---O---O-------O---O---O---O---O---";
constexpr Pattern S19 = "----O-------O-------O-------O-------O-------O-------O-------O---";
constexpr Pattern S20 = "----O-------------------------------O---------------------------";
constexpr Pattern S21 = "----------------------------O-------------------------------O---";
constexpr Pattern S22 = "O-----------O---O-------O-------O-----------O---O-------O-------";
constexpr Pattern S23 = "O-----------O---O-----------O---O-----------O---O-----------O---";
constexpr Pattern S24 = "O-----------O-----------O---------------O-----------O-----------";
constexpr Pattern S25 = "O-O-O-O-O-O-O-O-O-O-O-O-O-O-O-O-O-O-O-O-O-O-O-O-O-O-O-O-O-O-O-O-";
constexpr Pattern S26 = "O-----------O---O---O-------O---O-----------O---O---O-------O---";
constexpr Pattern S27 = "--------------O---O-----O---------------------O---O-----O-------";
constexpr Pattern S28 = "O---------------O-----------O---O---------------O-----------O---";
constexpr Pattern S29 = "--------------O---------O---O-----------------O---------O---O---";
constexpr Pattern S30 = "O-------O-----O-O-------O-----O-O-------O-----O-O-------O-----O-";
constexpr Pattern S31 = "--------O-------------------------------O-----------------------";
constexpr Pattern S32 = "------------------------O-----O-------------------------O-----O-";
constexpr Pattern S33 = "OOOO----O---O---OOOO----O---O---OOOO----O---O---OOOO----O---O---";

constexpr bool IsWellFormed(Pattern p) {
  int n = 0;
  for (; p[n] != '\0'; ++n) {
    if (p[n] != 'O' && p[n] != '-') return false;
  }
  return n == kNumSteps;
}

constexpr Pattern kAllPatterns[] = {S0,  S1,  S2,  S3,  S4,  S5,  S6,  S7,  S8,  S9,  S10, S11,
                                    S12, S13, S14, S15, S16, S17, S18, S19, S20, S21, S22, S23,
                                    S24, S25, S26, S27, S28, S29, S30, S31, S32, S33};

constexpr bool AllWellFormed() {
  for (Pattern p : kAllPatterns) {
    if (!IsWellFormed(p)) return false;
  }
  return true;
}
static_assert(AllWellFormed(), "every pattern is 64 steps of 'O' and '-'");

struct RowPattern {
  int row;
  Pattern pattern;
};

struct FactoryEntry {
  const char* name;
  bool triplet;
  Pattern active;      // nullptr: all steps active
  RowPattern rows[6];  // unused entries have no pattern
};

// Rows 12..14 (tambourine, guiro, quijada) are the same in every rhythm and are added separately.
constexpr FactoryEntry kFactory[kNumRhythmSlots] = {
    {"Waltz", false, S0, {{kBase, S2}, {kSnare2, S3}, {kCymbal1, S2}}},
    {"Samba", false, nullptr, {{kBase, S5}, {kConga, S7}, {kCowbell, S8}, {kHihat, S6}}},
    {"Mambo", false, nullptr, {{kBase, S5}, {kConga, S11}, {kCowbell, S12}, {kHihat, S6}}},
    {"Rumba",
     false,
     nullptr,
     {{kBase, S14},
      {kSmallBongo, S16},
      {kLargeBongo, S5},
      {kConga, S11},
      {kClaves, S17},
      {kHihat, S15}}},
    {"Tango", false, nullptr, {{kBase, S12}, {kSnare2, S21}, {kHihat, S12}, {kCymbal2, S21}}},
    {"Bossanova", false, nullptr, {{kBase, S23}, {kHihat, S6}, {kRimshot, S24}}},
    {"Rock 1", false, nullptr, {{kBase, S23}, {kSnare1, S3}, {kHihat, S6}}},
    {"Rock 3", false, nullptr, {{kBase, S26}, {kSnare1, S3}, {kSnare2, S27}, {kHihat, S6}}},
    {"March 2/4", true, S1, {{kBase, S9}, {kSnare2, S3}}},
    {"Swing", false, nullptr, {{kBase, S12}, {kSnare2, S3}, {kCymbal2, S30}}},
    {"Jazz Waltz", false, S0, {{kBase, S2}, {kSnare2, S4}, {kCymbal1, S2}}},
    {"Meringue", false, nullptr, {{kBase, S9}, {kConga, S7}, {kCowbell, S10}, {kHihat, S6}}},
    {"Cha-Cha", false, nullptr, {{kBase, S5}, {kConga, S11}, {kCowbell, S13}, {kHihat, S6}}},
    {"Beguine",
     false,
     nullptr,
     {{kBase, S14},
      {kSmallBongo, S19},
      {kLargeBongo, S14},
      {kConga, S11},
      {kHihat, S18},
      {kCymbal1, S20}}},
    {"Habanera", false, nullptr, {{kBase, S22}, {kHihat, S22}, {kCymbal2, S2}}},
    {"Slow Rock", true, S1, {{kBase, S23}, {kHihat, S25}, {kRimshot, S3}}},
    {"Rock 2", false, nullptr, {{kBase, S23}, {kSnare1, S16}, {kHihat, S6}}},
    {"Rock 4", false, nullptr, {{kBase, S28}, {kSnare1, S3}, {kSnare2, S29}, {kHihat, S6}}},
    {"March 6/8", true, S1, {{kBase, S12}, {kCymbal2, S6}}},
    {"Latin Swing",
     false,
     nullptr,
     {{kBase, S14}, {kSmallBongo, S31}, {kConga, S32}, {kCymbal2, S30}}},
};

constexpr const char* kUserLabels[kNumRhythmSlots] = {
    "USER 1",  "USER 2",  "USER 3",  "USER 4",  "USER 5",  "USER 6",  "USER 7",
    "USER 8",  "USER 9",  "USER 10", "USER 11", "USER 12", "USER 13", "USER 14",
    "USER 15", "USER 16", "USER 17", "USER 18", "USER 19", "USER 20"};

void Unpack(Pattern p, std::uint8_t* out) {
  for (int s = 0; s < kNumSteps; ++s) out[s] = p[s] == 'O' ? 1 : 0;
}

bool InRange(int slot) {
  return slot >= 0 && slot < kNumRhythmSlots;
}

}  // namespace

FactoryRhythms::FactoryRhythms() {
  std::memset(grid, 0, sizeof(grid));
  std::memset(active, 1, sizeof(active));
  for (int slot = 0; slot < kNumRhythmSlots; ++slot) {
    const FactoryEntry& e = kFactory[slot];
    triplet[slot] = e.triplet ? 1 : 0;
    if (e.active != nullptr) Unpack(e.active, active[slot]);
    for (const RowPattern& r : e.rows) {
      if (r.pattern != nullptr) Unpack(r.pattern, grid[slot][r.row]);
    }
    Unpack(S6, grid[slot][kTambourine]);
    Unpack(S33, grid[slot][kGuiro]);
    Unpack(S7, grid[slot][kQuijada]);
  }
}

const FactoryRhythms& FactoryRhythms::Get() {
  static const FactoryRhythms table;
  return table;
}

const char* FactoryRhythms::Name(int slot) {
  return InRange(slot) ? kFactory[slot].name : "";
}

const char* FactoryRhythms::UserLabel(int slot) {
  return InRange(slot) ? kUserLabels[slot] : "";
}
