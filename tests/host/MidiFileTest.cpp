#include "host/MidiFile.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

using vsthost::DecodeMidiFile;
using vsthost::EncodeMidiFile;
using vsthost::MidiOut;
using vsthost::TimedMidi;

std::vector<std::uint8_t> Join(std::initializer_list<std::vector<std::uint8_t>> parts) {
  std::vector<std::uint8_t> all;
  for (const auto& part : parts) all.insert(all.end(), part.begin(), part.end());
  return all;
}

// Written by hand from the file layout: two tracks at 480 ticks a quarter; the tempo doubles on
// beat 2; the second track uses running status and carries a system exclusive message.
const std::vector<std::uint8_t> kTypeOne = Join({
    {'M', 'T', 'h', 'd', 0, 0, 0, 6, 0, 1, 0, 2, 0x01, 0xE0},
    {'M', 'T', 'r', 'k', 0, 0, 0, 0x13},
    {0x00, 0xFF, 0x51, 0x03, 0x07, 0xA1, 0x20},
    {0x83, 0x60, 0xFF, 0x51, 0x03, 0x03, 0xD0, 0x90},
    {0x00, 0xFF, 0x2F, 0x00},
    {'M', 'T', 'r', 'k', 0, 0, 0, 0x1A},
    {0x00, 0x90, 0x3C, 0x64},
    {0x83, 0x60, 0x3C, 0x00},
    {0x00, 0xF0, 0x03, 0x7D, 0x01, 0xF7},
    {0x83, 0x60, 0xC5, 0x07},
    {0x00, 0x80, 0x3E, 0x40},
    {0x00, 0xFF, 0x2F, 0x00},
});

TEST(MidiFileTest, TypeOneTracksMergeThroughTheTempoMap) {
  std::vector<TimedMidi> events;
  std::string error;
  ASSERT_TRUE(DecodeMidiFile(kTypeOne, &events, &error)) << error;
  ASSERT_EQ(events.size(), 4u);
  EXPECT_DOUBLE_EQ(events[0].seconds, 0.0);
  EXPECT_EQ(events[0].status, 0x90);
  EXPECT_EQ(events[0].data2, 0x64);
  EXPECT_DOUBLE_EQ(events[1].seconds, 0.5);
  EXPECT_EQ(events[1].status, 0x90);  // running status
  EXPECT_EQ(events[1].data2, 0x00);
  EXPECT_DOUBLE_EQ(events[2].seconds, 0.75);  // a beat at the doubled tempo
  EXPECT_EQ(events[2].status, 0xC5);
  EXPECT_EQ(events[2].data1, 0x07);
  EXPECT_DOUBLE_EQ(events[3].seconds, 0.75);
  EXPECT_EQ(events[3].status, 0x80);
}

TEST(MidiFileTest, SmpteDivisionCountsTicksPerSecond) {
  // 25 frames a second, 40 ticks a frame: 1000 ticks a second.
  const auto file = Join({{'M', 'T', 'h', 'd', 0, 0, 0, 6, 0, 0, 0, 1, 0xE7, 0x28},
                          {'M', 'T', 'r', 'k', 0, 0, 0, 8},
                          {0x87, 0x68, 0x90, 0x24, 0x7F, 0x00, 0xFF, 0x2F}});
  std::vector<TimedMidi> events;
  std::string error;
  ASSERT_TRUE(DecodeMidiFile(file, &events, &error)) << error;
  ASSERT_EQ(events.size(), 1u);
  EXPECT_DOUBLE_EQ(events[0].seconds, 1.0);
}

TEST(MidiFileTest, RefusesWhatIsNoReadableFile) {
  std::vector<TimedMidi> events;
  std::string error;
  EXPECT_FALSE(DecodeMidiFile({'M', 'T', 'h', 'd', 0, 0}, &events, &error));
  EXPECT_FALSE(
      DecodeMidiFile({'R', 'I', 'F', 'F', 0, 0, 0, 6, 0, 0, 0, 1, 0, 96}, &events, &error));
  EXPECT_FALSE(
      DecodeMidiFile({'M', 'T', 'h', 'd', 0, 0, 0, 6, 0, 2, 0, 1, 0, 96}, &events, &error));
  EXPECT_NE(error.find("type 2"), std::string::npos);
  const auto noStatus = Join({{'M', 'T', 'h', 'd', 0, 0, 0, 6, 0, 0, 0, 1, 0, 96},
                              {'M', 'T', 'r', 'k', 0, 0, 0, 3},
                              {0x00, 0x3C, 0x40}});
  EXPECT_FALSE(DecodeMidiFile(noStatus, &events, &error));
  // A track whose length runs past the file keeps the events that are there.
  auto cut = kTypeOne;
  cut.resize(cut.size() - 10);
  ASSERT_TRUE(DecodeMidiFile(cut, &events, &error)) << error;
  EXPECT_EQ(events.size(), 2u);
}

TEST(MidiFileTest, WrittenFileReadsBackAtTheSameTimes) {
  const std::vector<MidiOut> out = {
      {44100, 0x80, 36, 0}, {0, 0x90, 36, 100}, {22050, 0x99, 38, 90}, {22050, 0xC0, 5, 0}};
  const auto file = EncodeMidiFile(out, 44100.0, 90.0);
  ASSERT_GE(file.size(), 22u);
  EXPECT_EQ(file[9], 0);  // type 0
  EXPECT_EQ((file[12] << 8) | file[13], 960);
  std::vector<TimedMidi> events;
  std::string error;
  ASSERT_TRUE(DecodeMidiFile(file, &events, &error)) << error;
  ASSERT_EQ(events.size(), 4u);
  const double tick = 60.0 / 90.0 / 960.0;
  EXPECT_NEAR(events[0].seconds, 0.0, tick);
  EXPECT_EQ(events[0].status, 0x90);
  EXPECT_NEAR(events[1].seconds, 0.5, tick);
  EXPECT_EQ(events[1].status, 0x99);
  EXPECT_NEAR(events[2].seconds, 0.5, tick);
  EXPECT_EQ(events[2].status, 0xC0);
  EXPECT_EQ(events[2].data1, 5);
  EXPECT_NEAR(events[3].seconds, 1.0, tick);
  EXPECT_EQ(events[3].status, 0x80);
}

}  // namespace
