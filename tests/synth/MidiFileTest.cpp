#include "synth/MidiFile.h"

#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <sstream>
#include <string>
#include <vector>

#include "engine/FactoryRhythms.h"

namespace {

using Bytes = std::vector<std::uint8_t>;
using Values = std::array<int, kNumInstruments>;

// Instrument k plays note 36 + k (0x24 + k) and sends velocity 100 + k (0x64 + k).
constexpr Values kNotes = {36, 37, 38, 39, 40, 41, 42, 43, 44, 45, 46, 47, 48, 49, 50};
constexpr Values kVelocities = {100, 101, 102, 103, 104, 105, 106, 107,
                                108, 109, 110, 111, 112, 113, 114};
constexpr const char* kTrackNames[kNumInstruments] = {
    "Base",  "Snare 1", "Snare 2",  "Short Bongo", "Long Bongo", "Conga", "Cowbell", "Claves",
    "Hihat", "Rimshot", "Cymbal 1", "Cymbal 2",    "Tambourine", "Guiro", "Quijada"};

struct Rhythm {
  std::uint8_t grid[kNumInstruments][kNumSteps] = {};
  std::uint8_t active[kNumSteps];
  std::uint8_t triplet = 0;

  Rhythm() { std::fill(std::begin(active), std::end(active), 1); }
  RhythmView View() const { return {grid, active, triplet}; }
  RhythmSlotRef Ref() { return {grid, active, triplet}; }
  Rhythm& Hit(int row, std::initializer_list<int> steps) {
    for (int s : steps) grid[row][s] = 1;
    return *this;
  }
  void TripletTemplate() {
    triplet = 1;
    for (int s = 0; s < kNumSteps; ++s) active[s] = s % 8 < 6;
  }
  // "instrument@step" for every hit, in instrument then step order.
  std::string Hits() const {
    std::string out;
    for (int k = 0; k < kNumInstruments; ++k) {
      for (int s = 0; s < kNumSteps; ++s) {
        if (!grid[k][s]) continue;
        if (!out.empty()) out += ' ';
        out += std::to_string(k);
        out += '@';
        out += std::to_string(s);
      }
    }
    return out;
  }
};

Bytes Concat(std::initializer_list<Bytes> parts) {
  Bytes out;
  for (const Bytes& p : parts) out.insert(out.end(), p.begin(), p.end());
  return out;
}

Bytes TrackChunk(const Bytes& body) {
  Bytes out = {'M', 'T', 'r', 'k'};
  for (int shift = 24; shift >= 0; shift -= 8) {
    out.push_back(static_cast<std::uint8_t>(body.size() >> shift));
  }
  out.insert(out.end(), body.begin(), body.end());
  return out;
}

// A file laid out by hand: header, then each track body in its chunk.
Bytes Smf(int format, int division, std::initializer_list<Bytes> tracks, int numTracks = -1) {
  if (numTracks < 0) numTracks = static_cast<int>(tracks.size());
  Bytes out = {'M', 'T', 'h', 'd', 0, 0, 0, 6, 0, static_cast<std::uint8_t>(format)};
  for (int v : {numTracks, division}) {
    out.push_back(static_cast<std::uint8_t>(v >> 8));
    out.push_back(static_cast<std::uint8_t>(v));
  }
  for (const Bytes& body : tracks) out = Concat({out, TrackChunk(body)});
  return out;
}

const Bytes kEnd = {0x00, 0xFF, 0x2F, 0x00};
// The step-mask message: delta, F0, length, triplet byte, 16 mask bytes, F7.
Bytes Mask(std::uint8_t triplet, std::uint8_t first = 0x0F, std::uint8_t odd = 0x0F) {
  Bytes m = {0x00, 0xF0, 0x12, triplet};
  for (int i = 0; i < 16; ++i) m.push_back(i % 2 ? odd : 0x0F);
  m[4] = first;
  m.push_back(0xF7);
  return m;
}

std::vector<Bytes> TrackBodies(const Bytes& file) {
  std::vector<Bytes> bodies;
  for (std::size_t at = 14; at + 8 <= file.size();) {
    const std::size_t n = std::size_t{file[at + 4]} << 24 | std::size_t{file[at + 5]} << 16 |
                          std::size_t{file[at + 6]} << 8 | file[at + 7];
    EXPECT_EQ(0, std::memcmp(&file[at], "MTrk", 4));
    EXPECT_LE(at + 8 + n, file.size());
    bodies.emplace_back(
        file.begin() + static_cast<std::ptrdiff_t>(at + 8),
        file.begin() + static_cast<std::ptrdiff_t>(std::min(at + 8 + n, file.size())));
    at += 8 + n;
  }
  return bodies;
}

bool Import(const Bytes& file, Rhythm& into, bool asTriplets = false) {
  return ImportMidiBytes(file, asTriplets, kNotes, into.Ref());
}

TEST(MidiExportTest, EmptyAllActiveRhythmIsTheMaskMessageAndTheEndOfTwoBars) {
  const Bytes expected = Concat({{'M', 'T', 'h', 'd', 0, 0, 0, 6, 0, 0, 0, 1, 0x03, 0xC0},
                                 {'M', 'T', 'r', 'k', 0, 0, 0, 26},
                                 Mask(0),
                                 {0xBC, 0x00, 0xFF, 0x2F, 0x00}});  // 64 x 120 = 7680
  EXPECT_EQ(ExportMidiBytes(Rhythm{}.View(), kNotes, kVelocities, false), expected);
}

TEST(MidiExportTest, NotesFollowTheStepsThatPlay) {
  struct Case {
    const char* what;
    std::function<void(Rhythm&, Values&, Values&)> setup;
    Bytes body;
  };
  const Case cases[] = {
      {"triplet steps last 160 ticks: 48 of them still span 7680",
       [](Rhythm& r, Values&, Values&) { r.TripletTemplate(); },
       Concat({Mask(1, 0x0F, 0x03), {0xBC, 0x00, 0xFF, 0x2F, 0x00}})},
      {"a triplet hit sounds for 80 ticks",
       [](Rhythm& r, Values&, Values&) { r.TripletTemplate(), r.Hit(kBase, {0}); },
       Concat({Mask(1, 0x0F, 0x03),
               {0x00, 0x90, 0x24, 0x64, 0x50, 0x80, 0x24, 0x00},
               {0xBB, 0x30, 0xFF, 0x2F, 0x00}})},  // 7600 to the end
      {"hits last half a step and an inactive step takes no time",
       [](Rhythm& r, Values&, Values&) {
         r.active[1] = 0;
         r.Hit(kBase, {0}).Hit(kSnare1, {0, 1, 2});
       },
       Concat({Mask(0, 0x0D),
               {0x00, 0x90, 0x24, 0x64, 0x00, 0x90, 0x25, 0x65, 0x3C, 0x80, 0x24, 0x00,
                0x00, 0x80, 0x25, 0x00, 0x3C, 0x90, 0x25, 0x65, 0x3C, 0x80, 0x25, 0x00},
               {0xB9, 0x54, 0xFF, 0x2F, 0x00}})},  // 63 x 120 - 180 = 7380
      {"a guiro run is one note, ended at the first step without a hit",
       [](Rhythm& r, Values&, Values&) {
         r.Hit(kGuiro, {0, 1, 2, 3, 8});
       },
       Concat({Mask(0),
               {0x00, 0x90, 0x31, 0x71, 0x83, 0x60, 0x80, 0x31, 0x00},  // on 0, off 480
               {0x83, 0x60, 0x90, 0x31, 0x71, 0x78, 0x80, 0x31, 0x00},  // on 960, off 1080
               {0xB3, 0x48, 0xFF, 0x2F, 0x00}})},
      {"a guiro run through the last step ends with the rhythm",
       [](Rhythm& r, Values&, Values&) {
         r.Hit(kGuiro, {62, 63});
       },
       Concat({Mask(0), {0xBA, 0x10, 0x90, 0x31, 0x71, 0x81, 0x70, 0x80, 0x31, 0x00}, kEnd})},
      {"instruments without a MIDI note are left out; velocities stay data bytes",
       [](Rhythm& r, Values& notes, Values& velocities) {
         notes[kBase] = notes[kGuiro] = -1;
         notes[kSnare1] = 130;
         velocities[kSnare2] = 300;
         r.Hit(kBase, {0}).Hit(kSnare1, {0}).Hit(kGuiro, {0, 1}).Hit(kSnare2, {0});
       },
       Concat({Mask(0),
               {0x00, 0x90, 0x26, 0x7F, 0x3C, 0x80, 0x26, 0x00},
               {0xBB, 0x44, 0xFF, 0x2F, 0x00}})},
  };
  for (const Case& c : cases) {
    Rhythm r;
    Values notes = kNotes;
    Values velocities = kVelocities;
    c.setup(r, notes, velocities);
    const std::vector<Bytes> tracks =
        TrackBodies(ExportMidiBytes(r.View(), notes, velocities, false));
    ASSERT_EQ(tracks.size(), 1u) << c.what;
    EXPECT_EQ(tracks[0], c.body) << c.what;
  }
}

TEST(MidiExportTest, Type1HasOneNamedTrackPerInstrumentAndTheMaskInTheFirst) {
  Rhythm r;
  r.Hit(kConga, {4});
  const Bytes file = ExportMidiBytes(r.View(), kNotes, kVelocities, true);
  EXPECT_EQ(Bytes(file.begin(), file.begin() + 14),
            (Bytes{'M', 'T', 'h', 'd', 0, 0, 0, 6, 0, 1, 0, 15, 0x03, 0xC0}));
  const std::vector<Bytes> tracks = TrackBodies(file);
  ASSERT_EQ(tracks.size(), 15u);
  for (int k = 0; k < kNumInstruments; ++k) {
    const std::string name = kTrackNames[k];
    const Bytes notes =
        k == kConga ? Bytes{0x83, 0x60, 0x90, 0x29, 0x69, 0x3C, 0x80, 0x29, 0x00, 0xB7, 0x64}
                    // 480, 540, 7140 to the end
                    : Bytes{0xBC, 0x00};
    EXPECT_EQ(tracks[static_cast<std::size_t>(k)],
              Concat({k == 0 ? Mask(0) : Bytes{},
                      {0x00, 0xFF, 0x03, static_cast<std::uint8_t>(name.size())},
                      Bytes(name.begin(), name.end()),
                      notes,
                      {0xFF, 0x2F, 0x00}}))
        << name;
  }
}

// Hits on active steps, the mask and the triplet flag come back; the guiro comes back as the
// first step of each run (and the steps later notes pass while it is held), never elsewhere.
TEST(MidiImportTest, ExportedRhythmsReadBack) {
  std::vector<std::pair<std::string, Rhythm>> rhythms;
  const FactoryRhythms& factory = FactoryRhythms::Get();
  for (int slot = 0; slot < kNumRhythmSlots; ++slot) {
    Rhythm r;
    std::memcpy(r.grid, factory.grid[slot], sizeof r.grid);
    std::memcpy(r.active, factory.active[slot], sizeof r.active);
    r.triplet = factory.triplet[slot];
    rhythms.emplace_back(FactoryRhythms::Name(slot), r);
  }
  Rhythm busy;  // 7/8, instruments sharing steps, guiro runs across the gaps
  for (int s = 0; s < kNumSteps; ++s) busy.active[s] = s % 32 < 28;
  for (int k = 0; k < kNumInstruments; ++k) {
    for (int s = k % 3; s < kNumSteps; s += 2 + k % 5) busy.grid[k][s] = 1;
  }
  rhythms.emplace_back("busy 7/8", busy);

  for (const auto& [name, original] : rhythms) {
    for (bool type1 : {false, true}) {
      SCOPED_TRACE(name + (type1 ? " type 1" : " type 0"));
      Rhythm back;
      back.Hit(kCowbell, {5});
      ASSERT_TRUE(Import(ExportMidiBytes(original.View(), kNotes, kVelocities, type1), back));
      EXPECT_EQ(back.triplet, original.triplet);
      EXPECT_EQ(0, std::memcmp(back.active, original.active, sizeof back.active));
      bool previous = false;
      for (int s = 0; s < kNumSteps; ++s) {
        for (int k = 0; k < kNumInstruments; ++k) {
          const bool played = original.grid[k][s] && original.active[s];
          if (k != kGuiro || back.grid[k][s] || (played && !previous)) {
            EXPECT_EQ(back.grid[k][s], played) << "instrument " << k << " step " << s;
          }
        }
        if (original.active[s]) previous = original.grid[kGuiro][s];
      }
    }
  }
}

TEST(MidiImportTest, NoteOnsArePlacedOnTheNearestActiveStep) {
  struct Case {
    const char* what;
    Bytes file;
    bool asTriplets;
    const char* hits;
  };
  const Case cases[] = {
      {"59 ticks stay, 60 move on; 179 is step 2 after 1, 180 ties forward to 4",
       Smf(0, 960,
           {{0x00, 0x90, 0x24, 0x40, 0x3B, 0x90, 0x25, 0x40, 0x3C, 0x90, 0x26, 0x40, 0x81,
             0x33, 0x90, 0x27, 0x40, 0x81, 0x34, 0x90, 0x28, 0x40, 0x00, 0xFF, 0x2F, 0x00}}),
       false, "0@0 1@0 2@1 3@2 4@4"},
      {"triplets: 79 stay, 80 move on, steps 6 and 7 of every eight are passed over",
       Smf(0, 960,
           {{0x00, 0x90, 0x24, 0x40, 0x4F, 0x90, 0x25, 0x40, 0x50, 0x90, 0x26, 0x40, 0x85,
             0x00, 0x90, 0x27, 0x40, 0x81, 0x20, 0x90, 0x28, 0x40, 0x00, 0xFF, 0x2F, 0x00}}),
       true, "0@0 1@0 2@1 3@5 4@8"},
      {"the file's division sets the step: 12 ticks at 96",
       Smf(0, 96, {Concat({{0x05, 0x90, 0x24, 0x40, 0x06, 0x90, 0x25, 0x40}, kEnd})}), false,
       "0@0 1@1"},
      {"a note-off adds its time but moves nothing; every track starts at step 0",
       Smf(1, 960,
           {Concat(
                {{0x00, 0x90, 0x24, 0x40, 0x3C, 0x80, 0x24, 0x00, 0x3C, 0x90, 0x25, 0x40}, kEnd}),
            Concat({{0x81, 0x70, 0x90, 0x26, 0x40}, kEnd})}),
       false, "0@0 1@1 2@2"},
      {"a chunk of another kind and stray bytes before the track are passed over",
       Concat({Smf(0, 960, {}, 1),
               {'M', 'T', 'r', 'x', 0, 0, 0, 1, 'M', 'M'},
               TrackChunk(Concat({{0x00, 0x90, 0x24, 0x40}, kEnd}))}),
       false, "0@0"},
      {"the guiro run is filled while it is held and later notes are placed",
       Smf(0, 960,
           {Concat({{0x00, 0x90, 0x31, 0x40, 0x83, 0x60, 0x90, 0x24, 0x40, 0x78, 0x80, 0x31, 0x00,
                     0x83, 0x60, 0x90, 0x25, 0x40},
                    kEnd})}),
       false, "0@4 1@9 13@0 13@1 13@2 13@3"},
      {"a straight mask without step 1 sends the next step's note to step 2",
       Smf(0, 960,
           {Concat({Mask(0, 0x0D), {0x00, 0x90, 0x24, 0x40, 0x78, 0x90, 0x25, 0x40}, kEnd})}),
       false, "0@0 1@2"},
      {"a triplet byte switches a plain import to 160-tick steps from there on",
       Smf(0, 960,
           {Concat({{0x00, 0x90, 0x24, 0x40}, Mask(1), {0x81, 0x20, 0x90, 0x25, 0x40}, kEnd})}),
       false, "0@0 1@1"},
      {"any channel, unknown or invalid notes are ignored",
       Smf(0, 960,
           {Concat({{0x00, 0x99, 0x24, 0x40, 0x78, 0x9F, 0x25, 0x40, 0x78, 0x90, 0x7F, 0x40, 0x00,
                     0x90, 0x82, 0x40},
                    kEnd})}),
       false, "0@0 1@1"},
  };
  for (const Case& c : cases) {
    Rhythm r;
    EXPECT_TRUE(Import(c.file, r, c.asTriplets)) << c.what;
    EXPECT_EQ(r.Hits(), c.hits) << c.what;
  }
}

TEST(MidiImportTest, TripletTimingAlwaysTakesTheTripletTemplate) {
  Rhythm tripletTemplate;
  tripletTemplate.TripletTemplate();
  for (const Bytes& mask : {Mask(0, 0x0D), Mask(1, 0x0D)}) {
    for (bool asTriplets : {false, true}) {
      Rhythm r;
      ASSERT_TRUE(Import(Smf(0, 960, {Concat({mask, kEnd})}), r, asTriplets));
      const bool triplet = asTriplets || mask[3];
      EXPECT_EQ(r.triplet, triplet);
      EXPECT_EQ(std::memcmp(r.active, tripletTemplate.active, sizeof r.active) == 0, triplet);
    }
  }
}

TEST(MidiImportTest, TwoInstrumentsWithOneNoteGiveItsHitsToTheFirst) {
  Values notes = kNotes;
  notes[kCowbell] = notes[kClaves] = 60;
  notes[kSnare1] = 0x82;  // no MIDI note: matches nothing, not even a stray data byte 0x82
  Rhythm r;
  ASSERT_TRUE(
      ImportMidiBytes(Smf(0, 960, {Concat({{0x00, 0x90, 60, 0x40, 0x00, 0x90, 0x82, 0x40}, kEnd})}),
                      false, notes, r.Ref()));
  EXPECT_EQ(r.Hits(), "6@0");
}

// Other software writes controllers, program changes, pitch bend and aftertouch between the
// notes and leaves out repeated status bytes; none of it may shift or lose a note.
TEST(MidiImportTest, ChannelMessagesAreReadPastAndRunningStatusIsHonoured) {
  Rhythm r;
  ASSERT_TRUE(
      Import(Smf(0, 960, {{0x00, 0x05,                                // stray data byte
                           0x00, 0xB9, 0x07, 0x64, 0x00, 0x0A, 0x40,  // controllers, running
                           0x00, 0xC9, 0x05,                          // program change
                           0x00, 0xE0, 0x00, 0x40,                    // pitch bend
                           0x00, 0xD9, 0x40,                          // channel aftertouch
                           0x00, 0xA9, 0x24, 0x40,                    // key aftertouch
                           0x00, 0xFF, 0x01, 0x03, 'a',  'b',  'c',   // text
                           0x00, 0xF7, 0x03, 0x90, 0x31, 0x40,        // escaped bytes
                           0x00, 0xF0, 0x03, 0x7E, 0x09, 0xF7,        // another System Exclusive
                           0x00, 0x99, 0x24, 0x64, 0x00, 0x26, 0x64,  // two notes, running
                           0x3C, 0x24, 0x40,                          // running, step 1
                           0x3C, 0x89, 0x26, 0x00, 0x00, 0x31, 0x40,  // note-offs, running
                           0x3C, 0x99, 0x27, 0x40,                    // step 2
                           0x00, 0xFF, 0x2F, 0x00}}),
             r));
  EXPECT_EQ(r.Hits(), "0@0 0@1 2@0 3@2");
}

// Most sequencers end notes with velocity-0 note-ons under running status. They end the note: no
// phantom hit at the release, and a released guiro is not marked on again.
TEST(MidiImportTest, VelocityZeroNoteOnsEndNotes) {
  Rhythm r;
  // Two quarter notes, each released a sixteenth later (960 ticks a quarter, 120 a step).
  ASSERT_TRUE(Import(Smf(0, 960,
                         {Concat({{0x00, 0x99, 0x24, 0x64, 0x81, 0x70, 0x24, 0x00, 0x85, 0x50, 0x24,
                                   0x64, 0x81, 0x70, 0x24, 0x00},
                                  kEnd})}),
                     r));
  EXPECT_EQ(r.Hits(), "0@0 0@8");

  Rhythm guiro;
  const int g = kNotes[kGuiro];
  // The guiro from step 0, released at step 2 with velocity 0 exactly as by a note-off; the next
  // note is at step 4.
  ASSERT_TRUE(Import(Smf(0, 960,
                         {Concat({{0x00, 0x99, std::uint8_t(g), 0x64, 0x81, 0x70, std::uint8_t(g),
                                   0x00, 0x81, 0x70, 0x24, 0x64},
                                  kEnd})}),
                     guiro));
  EXPECT_EQ(guiro.Hits(), "0@4 13@0");
}

// System Exclusive and meta events cancel running status: a data byte after them is passed over,
// not read as a note of the status before.
TEST(MidiImportTest, SysExAndMetaEventsCancelRunningStatus) {
  for (const Bytes& between : {Bytes{0x00, 0xFF, 0x01, 0x01, 'x'}, Bytes{0x00, 0xF0, 0x01, 0xF7}}) {
    Rhythm r;
    // The stray 0x26 is passed over and 0x64 is the next delta, before the end of the track.
    ASSERT_TRUE(Import(Smf(0, 960,
                           {Concat({{0x00, 0x99, 0x24, 0x64},
                                    between,
                                    {0x78, 0x26, 0x64, 0xFF, 0x2F, 0x00, 0x00, 0x99, 0x27, 0x64},
                                    kEnd})}),
                       r));
    EXPECT_EQ(r.Hits(), "0@0");
  }
}

// Whatever a file claims, the reader stops at its end in bounded time and writes nothing but the
// one slot. A refused header leaves the slot as it was; a failure later leaves what was read.
TEST(MidiImportTest, BrokenAndHostileFilesEndSafelyInsideTheSlot) {
  const Bytes twoNotes =
      Smf(0, 960, {Concat({{0x00, 0x90, 0x24, 0x40, 0x78, 0x90, 0x25, 0x40}, kEnd})});
  const auto edited = [&](std::initializer_list<std::pair<std::size_t, std::uint8_t>> edits) {
    Bytes file = twoNotes;
    for (const auto& [at, value] : edits) file[at] = value;
    return file;
  };
  Bytes unclosedMask = Smf(0, 960, {Concat({Mask(0), kEnd})});
  unclosedMask[14 + 8 + 20] = 0x00;
  struct Case {
    const char* what;
    Bytes file;
    bool ok;
    const char* hits;  // slot 7 of the factory bank holds Rock 3, whose cowbell row is empty
  };
  const Case cases[] = {
      {"tag", edited({{3, 'x'}}), false, nullptr},
      {"header length", edited({{7, 7}}), false, nullptr},
      {"header length, high half", edited({{4, 1}}), false, nullptr},
      {"format 2", edited({{9, 2}}), false, nullptr},
      {"no tracks", edited({{11, 0}}), false, nullptr},
      {"no division", edited({{12, 0}, {13, 0}}), false, nullptr},
      {"short header", Bytes(twoNotes.begin(), twoNotes.begin() + 13), false, nullptr},
      {"cut inside the second note", Bytes(twoNotes.begin(), twoNotes.end() - 6), false, "0@0"},
      {"unclosed mask message", unclosedMask, false, ""},
      {"a track promised but missing", Smf(1, 960, {kEnd}, 2), false, ""},
      {"huge track count", Smf(1, 960, {kEnd}, 0xFFFF), false, ""},
      {"tag never found", Concat({Smf(0, 960, {}, 1), {'M', 'T', 'r', 'x', 'M', 'M'}}), false, ""},
      {"track without end", Smf(0, 960, {{0x00, 0x90, 0x24, 0x40}}), false, "0@0"},
      {"meta longer than the file", Smf(0, 960, {{0x00, 0xFF, 0x01, 0x8F, 0xFF, 0xFF, 0x7F}}),
       false, ""},
      {"escape longer than the file", Smf(0, 960, {{0x00, 0xF7, 0x83, 0x00, 0x41}}), false, ""},
      {"System Exclusive never closed", Smf(0, 960, {{0x00, 0xF0, 0x05, 0x01, 0x02}}), false, ""},
      {"continuation bytes to the end", Smf(0, 960, {Bytes(4000, 0x80)}), false, ""},
      {"a fourth continued byte ends the quantity at 0",
       Smf(0, 960, {Concat({{0x80, 0x80, 0x80, 0x80, 0x90, 0x24, 0x40}, kEnd})}), true, "0@0"},
      {"a note far past the last step ends the track",
       Smf(0, 960, {{0x00, 0x90, 0x24, 0x40, 0xFF, 0xFF, 0xFF, 0x7F, 0x90, 0x25, 0x40}}), true,
       "0@0"},
      {"the chunk length is not trusted",
       Concat({Smf(0, 960, {}, 1), {'M', 'T', 'r', 'k', 0, 0, 0, 0, 0x00, 0x90, 0x24, 0x40}, kEnd}),
       true, "0@0"},
      {"division 1: every step is 0 ticks and the first note runs off the end",
       Smf(0, 1, {Concat({{0x00, 0x90, 0x24, 0x40, 0x01, 0x90, 0x25, 0x40}, kEnd})}), true, ""},
      {"division 8: one-tick steps", Smf(0, 8, {Concat({{0x00, 0x90, 0x24, 0x40}, kEnd})}), true,
       "0@1"},
  };
  for (const Case& c : cases) {
    RhythmBank bank;
    constexpr int kSlot = 7;
    bank.grid[kSlot][kCowbell][3] = 1;
    Rhythm before;
    std::memcpy(before.grid, bank.grid[kSlot], sizeof before.grid);
    EXPECT_EQ(ImportMidiBytes(c.file, false, kNotes,
                              {bank.grid[kSlot], bank.active[kSlot], bank.triplet[kSlot]}),
              c.ok)
        << c.what;
    Rhythm after;
    std::memcpy(after.grid, bank.grid[kSlot], sizeof after.grid);
    EXPECT_EQ(after.Hits(), c.hits ? c.hits : before.Hits()) << c.what;
    for (int slot = 0; slot < kNumRhythmSlots; ++slot) {
      EXPECT_TRUE(slot == kSlot || !bank.IsModified(slot)) << c.what << ", slot " << slot;
    }
  }
}

// Files on disk, and files written and read by software we did not write.
class MidiFileOnDiskTest : public ::testing::Test {
 protected:
  void SetUp() override {
    std::string folder = (std::filesystem::temp_directory_path() / "midi-XXXXXX").string();
    ASSERT_NE(mkdtemp(folder.data()), nullptr);
    mFolder = folder;
  }
  void TearDown() override {
    std::error_code ignored;
    std::filesystem::remove_all(mFolder, ignored);
  }

  static Bytes ReadAll(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    return Bytes(std::istreambuf_iterator<char>(in), {});
  }

  // Runs a script under a Python 3 that has mido; answers false when there is none.
  bool RunPython(const char* script, const std::vector<std::filesystem::path>& args,
                 std::vector<std::string>& lines) {
    std::string python;
    for (const char* candidate : {"/usr/bin/python3", "python3"}) {
      const std::string probe = std::string(candidate) + " -c 'import mido' >/dev/null 2>&1";
      if (std::system(probe.c_str()) == 0) {
        python = candidate;
        break;
      }
    }
    if (python.empty()) return false;
    std::ofstream(mFolder / "script.py") << script;
    std::string command = python + " '" + (mFolder / "script.py").string() + "'";
    for (const auto& a : args) command += " '" + a.string() + "'";
    FILE* pipe = popen(command.c_str(), "r");
    std::string out;
    char buffer[4096];
    for (std::size_t got; pipe && (got = std::fread(buffer, 1, sizeof buffer, pipe)) > 0;) {
      out.append(buffer, got);
    }
    const int status = pipe ? pclose(pipe) : -1;
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << command << "\n" << out;
    std::istringstream stream(out);
    for (std::string line; std::getline(stream, line);) lines.push_back(line);
    return true;
  }

  std::filesystem::path mFolder;
};

TEST_F(MidiFileOnDiskTest, FilesAreWrittenWholeAndReadBack) {
  Rhythm r;
  r.Hit(kHihat, {0, 4, 8});
  const std::filesystem::path path = mFolder / "rhythm.mid";
  ASSERT_TRUE(ExportMidiFile(path, Rhythm{}.View(), kNotes, kVelocities, true));
  ASSERT_TRUE(ExportMidiFile(path, r.View(), kNotes, kVelocities, false));  // truncates
  EXPECT_EQ(ReadAll(path), ExportMidiBytes(r.View(), kNotes, kVelocities, false));
  Rhythm back;
  EXPECT_TRUE(ImportMidiFile(path, false, kNotes, back.Ref()));
  EXPECT_EQ(back.Hits(), "8@0 8@4 8@8");

  EXPECT_FALSE(ExportMidiFile("", r.View(), kNotes, kVelocities, false));
  EXPECT_FALSE(ExportMidiFile(mFolder, r.View(), kNotes, kVelocities, false));
  EXPECT_FALSE(ExportMidiFile(mFolder / "no" / "x.mid", r.View(), kNotes, kVelocities, false));
  for (const std::filesystem::path& bad : {std::filesystem::path(), mFolder / "no.mid", mFolder}) {
    EXPECT_FALSE(ImportMidiFile(bad, false, kNotes, back.Ref())) << bad;
    EXPECT_EQ(back.Hits(), "8@0 8@4 8@8");
  }
}

TEST_F(MidiFileOnDiskTest, FilesWrittenByOtherSoftwareImport) {
  const char* script = R"PY(
import sys
from mido import Message as M, MetaMessage, MidiFile, MidiTrack

def on(n, t=0, ch=9, v=100):
    return M('note_on', channel=ch, note=n, velocity=v, time=t)

# 480 ticks per quarter: 60-tick steps.
mid = MidiFile(type=1, ticks_per_beat=480)
drums, other = MidiTrack(), MidiTrack()
mid.tracks += [drums, other]
drums += [MetaMessage('track_name', name='Drums'), MetaMessage('set_tempo', tempo=500000),
          M('program_change', channel=9, program=25), M('control_change', channel=9, control=7),
          M('control_change', channel=9, control=10, value=30), on(36), on(38),
          M('pitchwheel', pitch=2000, time=10), M('aftertouch', channel=9, value=50, time=5),
          M('polytouch', channel=9, note=36, time=5), M('note_off', channel=9, note=36, time=5),
          M('control_change', channel=9, control=1, time=5), on(37, 30, ch=1),
          on(37, 30, ch=1, v=0), M('sysex', data=[0x7E, 0x7F, 0x09, 0x01], time=390), on(41, 60)]
other += [M('program_change', program=3), on(42, 240, ch=0), M('pitchwheel', pitch=-100, time=20),
          on(42, 10, ch=0, v=0), on(43, 90, ch=0)]
mid.save(sys.argv[1])

# Type 0 at 96 ticks per quarter (12-tick steps), three channels in one track.
single = MidiFile(type=0, ticks_per_beat=96)
single.tracks.append(MidiTrack([
    M('control_change', channel=2, control=0, value=1), M('program_change', channel=2, program=8),
    on(36, ch=2), on(40, 12, ch=5), M('control_change', channel=5, control=64, value=127),
    on(44, 12, ch=2), M('pitchwheel', channel=5, pitch=8191, time=3), on(44, 0, ch=2, v=0),
    on(36, 15, ch=5)]))
single.save(sys.argv[2])
)PY";
  std::vector<std::string> lines;
  if (!RunPython(script, {mFolder / "1.mid", mFolder / "0.mid"}, lines)) {
    GTEST_SKIP() << "python3 with mido is not installed";
  }
  // The writer left out repeated status bytes: the second note-on has none.
  const Bytes written = ReadAll(mFolder / "1.mid");
  const Bytes runningPair = {0x00, 0x99, 36, 100, 0x00, 38, 100};
  EXPECT_NE(std::search(written.begin(), written.end(), runningPair.begin(), runningPair.end()),
            written.end());

  Rhythm r;
  ASSERT_TRUE(ImportMidiFile(mFolder / "1.mid", false, kNotes, r.Ref()));
  // The velocity-0 note-ons end notes: they add no hits and take no time, so the conga lands on
  // tick 540, step 9, and the type 0 file's last note at tick 42, halfway between steps 3 and 4,
  // moves forward to 4.
  EXPECT_EQ(r.Hits(), "0@0 1@1 2@0 5@9 6@4 7@6");
  ASSERT_TRUE(ImportMidiFile(mFolder / "0.mid", false, kNotes, r.Ref()));
  EXPECT_EQ(r.Hits(), "0@0 0@4 4@1 8@2");
}

TEST_F(MidiFileOnDiskTest, ExportedFilesReadInAnIndependentReader) {
  const char* script = R"PY(
import sys
import mido

for path in sys.argv[1:]:
    mid = mido.MidiFile(path)
    print('type', mid.type, mid.ticks_per_beat, len(mid.tracks))
    for i, track in enumerate(mid.tracks):
        now, name, sysex, events = 0, '-', '-', []
        for msg in track:
            now += msg.time
            if msg.type == 'track_name':
                name = msg.name
            elif msg.type == 'sysex':
                sysex = '%d:' % now + ''.join('%02X' % b for b in msg.data)
            elif msg.type in ('note_on', 'note_off'):
                on = msg.type == 'note_on' and msg.velocity > 0
                events.append((now, on, msg.note, msg.channel, msg.velocity if on else 0))
            elif msg.type == 'end_of_track':
                events.append((now, 'end'))
            else:
                events.append((now, msg.type))
        print(i, name, sysex, sorted(events, key=lambda e: (e[0], e[1] == 'end', str(e))))
)PY";
  Rhythm r;
  r.active[1] = 0;
  r.Hit(kBase, {0, 2}).Hit(kGuiro, {3, 4, 63});
  const std::filesystem::path type0 = mFolder / "0.mid";
  const std::filesystem::path type1 = mFolder / "1.mid";
  ASSERT_TRUE(ExportMidiFile(type0, r.View(), kNotes, kVelocities, false));
  ASSERT_TRUE(ExportMidiFile(type1, r.View(), kNotes, kVelocities, true));
  std::vector<std::string> lines;
  if (!RunPython(script, {type0, type1}, lines)) {
    GTEST_SKIP() << "python3 with mido is not installed";
  }
  // Steps past the inactive step 1 start at (step - 1) x 120; the rhythm ends at 7560. The guiro
  // started on step 63 is ended there too.
  const std::string mask = "0:000D0F0F0F0F0F0F0F0F0F0F0F0F0F0F0F";
  const std::string base =
      "(0, True, 36, 0, 100), (60, False, 36, 0, 0), "
      "(120, True, 36, 0, 100), (180, False, 36, 0, 0)";
  const std::string guiro =
      "(240, True, 49, 0, 113), (480, False, 49, 0, 0), "
      "(7440, True, 49, 0, 113), (7560, False, 49, 0, 0)";
  const std::string end = "(7560, 'end')";
  std::vector<std::string> expected = {
      "type 0 960 1", "0 - " + mask + " [" + base + ", " + guiro + ", " + end + "]",
      "type 1 960 15"};
  for (int k = 0; k < kNumInstruments; ++k) {
    const std::string notes = k == kBase ? base + ", " : k == kGuiro ? guiro + ", " : "";
    expected.push_back(std::to_string(k) + " " + kTrackNames[k] + " " + (k == 0 ? mask : "-") +
                       " [" + notes + end + "]");
  }
  EXPECT_EQ(lines, expected);
}

}  // namespace
