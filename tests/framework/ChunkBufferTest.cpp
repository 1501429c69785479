#include "framework/ChunkBuffer.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <string>

namespace {

TEST(ChunkBufferTest, ValuesRoundTripInNativeOrder) {
  ChunkBuffer chunk;
  EXPECT_EQ(chunk.PutBytes(std::int32_t{0x01020304}), 4);
  EXPECT_EQ(chunk.PutBytes(2.5), 12);
  EXPECT_EQ(chunk.PutBytes(std::uint8_t{1}), 13);
  EXPECT_EQ(chunk.Data()[0], 0x04) << "little-endian on every target";

  std::int32_t i = 0;
  double d = 0.0;
  std::uint8_t b = 0;
  int pos = chunk.GetBytes(&i, 0);
  pos = chunk.GetBytes(&d, pos);
  pos = chunk.GetBytes(&b, pos);
  EXPECT_EQ(pos, 13);
  EXPECT_EQ(i, 0x01020304);
  EXPECT_EQ(d, 2.5);
  EXPECT_EQ(b, 1);
}

// A bank is parsed straight from the bytes it arrived in; anything that writes gets a copy, so
// the borrowed bytes (the plug-in's own resource, a caller's file) never change.
TEST(ChunkBufferTest, ABorrowingBufferReadsInPlaceAndCopiesBeforeAnyWrite) {
  const std::uint8_t bytes[] = {4, 3, 2, 1, 9};
  ChunkBuffer chunk = ChunkBuffer::Borrowing(bytes, 4);
  EXPECT_EQ(chunk.Size(), 4);
  EXPECT_EQ(static_cast<const ChunkBuffer&>(chunk).Data(), bytes) << "read in place";
  std::int32_t value = 0;
  EXPECT_EQ(chunk.GetBytes(&value, 0), 4);
  EXPECT_EQ(value, 0x01020304);
  std::uint8_t beyond = 0;
  EXPECT_EQ(chunk.GetBytes(&beyond, 4), -1) << "the borrowed size bounds every read";

  const ChunkBuffer copy = chunk;
  EXPECT_NE(copy.Data(), bytes) << "a copy owns its bytes";
  EXPECT_EQ(std::memcmp(copy.Data(), bytes, 4), 0);

  EXPECT_EQ(chunk.PutBytes(std::uint8_t{7}), 5);
  chunk.Data()[0] = 0;
  EXPECT_EQ(bytes[0], 4) << "writes go to a copy";
  EXPECT_EQ(bytes[4], 9);
  EXPECT_EQ(chunk.Data()[4], 7);
  EXPECT_EQ(chunk.Data()[1], 3);

  ChunkBuffer cleared = ChunkBuffer::Borrowing(bytes, sizeof(bytes));
  cleared.Clear();
  EXPECT_EQ(cleared.Size(), 0);
  EXPECT_EQ(cleared.PutBytes(std::uint8_t{5}), 1);
  EXPECT_EQ(bytes[0], 4);
}

TEST(ChunkBufferTest, ShortOrNegativeReadsFailWithoutTouchingTheValue) {
  ChunkBuffer chunk;
  chunk.PutBytes(std::int32_t{7});
  double d = 4.0;
  EXPECT_EQ(chunk.GetBytes(&d, 0), -1);
  EXPECT_EQ(d, 4.0);
  std::int32_t i = 0;
  EXPECT_EQ(chunk.GetBytes(&i, -1), -1);
  EXPECT_EQ(chunk.GetBytes(&i, 4), -1);
  EXPECT_EQ(chunk.GetBytes(&i, 1 << 30), -1);
}

TEST(ChunkBufferTest, StringsCarryTheirLength) {
  ChunkBuffer chunk;
  EXPECT_EQ(chunk.PutString("Classic 1"), 13);
  EXPECT_EQ(chunk.PutString(""), 17);
  std::string text = "x";
  EXPECT_EQ(chunk.GetString(&text, 0), 13);
  EXPECT_EQ(text, "Classic 1");
  EXPECT_EQ(chunk.GetString(&text, 13), 17);
  EXPECT_EQ(text, "");
  EXPECT_EQ(chunk.GetString(&text, 15), -1) << "fewer than four bytes left";
}

TEST(ChunkBufferTest, DamagedStringLengthsNeverReadOutside) {
  ChunkBuffer truncated;
  truncated.PutBytes(std::int32_t{100});
  truncated.PutRaw("abc", 3);
  std::string text = "kept";
  EXPECT_EQ(truncated.GetString(&text, 0), -1) << "a cut-off name is damage, not a success";
  EXPECT_EQ(text, "kept");

  ChunkBuffer negative;
  negative.PutBytes(std::int32_t{-8});
  negative.PutRaw("abcdefgh", 8);
  EXPECT_EQ(negative.GetString(&text, 4 - 4), -1) << "a negative length would move backwards";

  ChunkBuffer huge;
  huge.PutBytes(std::int32_t{0x7FFFFFFF});
  EXPECT_EQ(huge.GetString(&text, 0), -1);
  EXPECT_EQ(text, "kept");
}

TEST(ChunkBufferTest, VersionMagicIsFoundOnlyWhereItStands) {
  ChunkBuffer chunk;
  chunk.PutBytes(std::int32_t{5});
  BeginVersionedChunk(chunk);
  const std::uint8_t expected[] = {'t', 'f', 'f', 'p', 0x00, 0x00, 0x01, 0x00};
  ASSERT_EQ(chunk.Size(), 8) << "begins by clearing what was there";
  EXPECT_EQ(std::memcmp(chunk.Data(), expected, 8), 0);

  int position = 0;
  EXPECT_EQ(ReadChunkVersion(chunk, &position), 0x00010000);
  EXPECT_EQ(position, 8);

  ChunkBuffer bare;
  bare.PutBytes(1.5);
  position = 0;
  EXPECT_EQ(ReadChunkVersion(bare, &position), 0);
  EXPECT_EQ(position, 0) << "a chunk without the magic is read from where it starts";
  position = -1;
  EXPECT_EQ(ReadChunkVersion(chunk, &position), 0);
  EXPECT_EQ(position, -1);

  ChunkBuffer cut;
  cut.PutRaw("tffp\0\0", 6);
  position = 0;
  EXPECT_EQ(ReadChunkVersion(cut, &position), 0);
  EXPECT_EQ(position, -1) << "the magic with its version cut off is damage";
}

}  // namespace
