#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <limits>
#include <string>
#include <vector>

#include "tests/framework/TestPlug.h"

namespace {

using framework_test::Bytes;
using framework_test::ExpectUnchanged;
using framework_test::Fingerprint;
using framework_test::TestPlug;

constexpr int kStateSize = 146 * 8;

// Slots 0-7 hold distinct programs named "Program i", the rest are empty; program 3 is current
// and the live sound carries edits not yet stored in it.
class PresetsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    for (int i = 0; i < 8; ++i) {
      ASSERT_TRUE(plug.RestoreProgram(i));
      plug.SetSeededValues(i);
      plug.ModifyCurrentPreset(("Program " + std::to_string(i)).c_str());
    }
    ASSERT_TRUE(plug.RestoreProgram(3));
    plug.SetSeededValues(99);
  }

  std::vector<std::uint8_t> WriteChunk(bool isBank) {
    const std::uint8_t* data = nullptr;
    int size = 0;
    EXPECT_TRUE(plug.WriteHostChunk(isBank, &data, &size));
    return {data, data + size};
  }

  TestPlug plug;
};

TEST_F(PresetsTest, BankChunkRoundTripRestoresEverySlotAndTheCurrentProgram) {
  const std::vector<std::uint8_t> bank = WriteChunk(true);
  const Fingerprint saved(plug);
  EXPECT_EQ(saved.names[3], "Program 3");
  EXPECT_EQ(saved.states[3].size(), static_cast<std::size_t>(kStateSize))
      << "the live edits were stored into the current slot before writing";

  // Move away: other sound, other names, a new slot, another current program and back.
  ASSERT_TRUE(plug.RestoreProgram(5));
  plug.SetSeededValues(42);
  plug.ModifyCurrentPreset("changed");
  ASSERT_TRUE(plug.RestoreProgram(20));
  ASSERT_TRUE(plug.RestoreProgram(3));
  plug.SetSeededValues(43);

  ASSERT_TRUE(plug.ReadHostChunk(bank.data(), static_cast<int>(bank.size()), true, false));
  const Fingerprint restored(plug);
  ExpectUnchanged(saved, restored);
  EXPECT_EQ(restored.names[20], "empty");
  EXPECT_FALSE(restored.initialized[20]);
  EXPECT_EQ(WriteChunk(true), bank) << "a bank written again is the same bytes";
}

TEST_F(PresetsTest, ProgramChunkIsTheStateAndTheProgramName) {
  const std::vector<double> live = plug.Values();
  const std::vector<std::uint8_t> program = WriteChunk(false);
  ASSERT_EQ(program.size(), static_cast<std::size_t>(8 + kStateSize + 4 + 9));
  EXPECT_EQ(std::memcmp(program.data(), "tffp\0\0\1\0", 8), 0);
  double first = 0.0;
  std::memcpy(&first, program.data() + 8, 8);
  EXPECT_EQ(first, live[0]);
  EXPECT_EQ(std::string(program.end() - 9, program.end()), "Program 3");

  TestPlug other;
  ASSERT_TRUE(other.ReadHostChunk(program.data(), static_cast<int>(program.size()), false, false));
  EXPECT_EQ(other.Values(), live);
  EXPECT_EQ(std::string(other.GetProgramName(0)), "Program 3");
  EXPECT_TRUE(other.GetProgram(0)->mInitialized) << "a slot holding a state is a program";
  EXPECT_EQ(Bytes(other.GetProgram(0)->mState),
            std::vector<std::uint8_t>(program.begin() + 8, program.begin() + 8 + kStateSize));
}

// Older hosts saved bare states: no magic, perhaps no name. Neither may cost the slot its name.
TEST_F(PresetsTest, ProgramChunkWithoutMagicOrNameKeepsTheSlotName) {
  TestPlug source;
  source.SetSeededValues(7);
  ChunkBuffer bare;
  ASSERT_TRUE(source.SerializeParams(bare));

  ASSERT_TRUE(plug.ReadHostChunk(bare.Data(), bare.Size(), false, false));
  EXPECT_EQ(plug.Values(), source.Values()) << "read from position 0";
  EXPECT_EQ(std::string(plug.GetProgramName(3)), "Program 3");
  EXPECT_EQ(Bytes(plug.GetProgram(3)->mState), Bytes(bare));

  ChunkBuffer emptyName;
  BeginVersionedChunk(emptyName);
  source.SetSeededValues(8);
  source.SerializeParams(emptyName);
  emptyName.PutString("");
  ASSERT_TRUE(plug.ReadHostChunk(emptyName.Data(), emptyName.Size(), false, false));
  EXPECT_EQ(plug.Values(), source.Values());
  EXPECT_EQ(std::string(plug.GetProgramName(3)), "Program 3");
}

TEST_F(PresetsTest, EmptySlotBecomesTheNextUserPreset) {
  plug.GetProgram(10)->mName = "my user preset";
  plug.GetProgram(11)->mName = "User Preset";  // another spelling does not count
  plug.GetProgram(12)->mName = "user preset 7";
  const std::vector<double> live = plug.Values();

  ASSERT_TRUE(plug.RestoreProgram(20));
  EXPECT_EQ(std::string(plug.GetProgramName(20)), "user preset 3");
  EXPECT_EQ(plug.GetCurrentProgram(), 20);
  EXPECT_TRUE(plug.GetProgram(20)->mInitialized);
  EXPECT_EQ(plug.Values(), live) << "an empty slot takes the live sound";
  ChunkBuffer expected;
  plug.SerializeParams(expected);
  EXPECT_EQ(Bytes(plug.GetProgram(20)->mState), Bytes(expected));

  ASSERT_TRUE(plug.RestoreProgram(21));
  EXPECT_EQ(std::string(plug.GetProgramName(21)), "user preset 4");

  EXPECT_FALSE(plug.RestoreProgram(-1));
  EXPECT_FALSE(plug.RestoreProgram(64));
  EXPECT_EQ(plug.GetCurrentProgram(), 21);
  EXPECT_STREQ(plug.GetProgramName(-1), "");
  EXPECT_STREQ(plug.GetProgramName(64), "");
}

TEST(FillEmptyProgramsTest, FillsOnlyEmptySlotsWithTheLiveSound) {
  TestPlug plug(8, 4);
  plug.GetProgram(0)->mInitialized = true;
  plug.SetSeededValues(3);
  plug.FillEmptyPrograms("Empty", 2);
  ChunkBuffer live;
  plug.SerializeParams(live);
  EXPECT_STREQ(plug.GetProgramName(0), "empty") << "a stored program keeps its name";
  for (int i : {1, 2}) {
    EXPECT_STREQ(plug.GetProgramName(i), "Empty");
    EXPECT_EQ(Bytes(plug.GetProgram(i)->mState), Bytes(live));
  }
  EXPECT_FALSE(plug.GetProgram(3)->mInitialized) << "no more than asked for";
}

// A host that restores a project from the bank chunk alone gets the program it was saved on.
// Chunks that end after the last slot (written before the current program was recorded) still
// load on the receiver's current program, and an index naming no slot is passed over.
TEST_F(PresetsTest, BankChunkRecordsTheCurrentProgram) {
  const std::vector<std::uint8_t> bank = WriteChunk(true);
  const Fingerprint saved(plug);
  ASSERT_EQ(saved.current, 3);

  TestPlug fresh;
  ASSERT_TRUE(fresh.ReadHostChunk(bank.data(), static_cast<int>(bank.size()), true, false));
  EXPECT_EQ(Fingerprint(fresh).current, 3);
  EXPECT_EQ(fresh.Values(), plug.Values()) << "program 3 with its unsaved edits";

  const std::vector<std::uint8_t> older(bank.begin(), bank.end() - 8);
  TestPlug onFive;
  ASSERT_TRUE(onFive.RestoreProgram(5));
  ASSERT_TRUE(onFive.ReadHostChunk(older.data(), static_cast<int>(older.size()), true, false));
  EXPECT_EQ(Fingerprint(onFive).current, 5);
  TestPlug expected;
  expected.SetSeededValues(5);
  EXPECT_EQ(onFive.Values(), expected.Values());

  std::vector<std::uint8_t> beyond = bank;
  const std::int32_t noSlot = 64;
  std::memcpy(beyond.data() + beyond.size() - 4, &noSlot, 4);
  TestPlug third;
  ASSERT_TRUE(third.ReadHostChunk(beyond.data(), static_cast<int>(beyond.size()), true, false));
  EXPECT_EQ(Fingerprint(third).current, 0);
}

// Whatever a host hands us, a chunk answered with failure leaves the sound, the slots and
// their names as they were.
TEST_F(PresetsTest, RejectedChunksChangeNothing) {
  const std::vector<std::uint8_t> bank = WriteChunk(true);
  const std::vector<std::uint8_t> program = WriteChunk(false);
  const Fingerprint before(plug);

  auto expectRejected = [&](std::vector<std::uint8_t> bytes, const char* what) {
    SCOPED_TRACE(what);
    for (const bool isBank : {false, true}) {
      for (const bool programPathHost : {false, true}) {
        if (isBank && programPathHost) continue;  // such hosts never send the bank flag
        EXPECT_FALSE(plug.ReadHostChunk(bytes.data(), static_cast<int>(bytes.size()), isBank,
                                        programPathHost))
            << "isBank " << isBank << " programPathHost " << programPathHost;
        ExpectUnchanged(before, Fingerprint(plug));
      }
    }
  };

  expectRejected({1, 2, 3, 4, 5, 6, 7}, "seven stray bytes");
  expectRejected({'t', 'f', 'f', 'p', 0, 0, 1}, "the magic with a cut version");
  expectRejected({}, "nothing at all");
  expectRejected(std::vector<std::uint8_t>(bank.begin(), bank.begin() + bank.size() / 2),
                 "a bank cut in the middle of a slot");
  expectRejected(std::vector<std::uint8_t>(program.begin(), program.begin() + 8 + kStateSize + 2),
                 "a program whose name length is cut");

  std::vector<std::uint8_t> nan = bank;
  const double notANumber = std::numeric_limits<double>::quiet_NaN();
  // Slot 0's name "Program 0" and flag come first, then its state: damage its fifth value.
  std::memcpy(nan.data() + 8 + 4 + 9 + 1 + 4 * 8, &notANumber, 8);
  expectRejected(nan, "a bank whose first slot holds a NaN");

  std::vector<std::uint8_t> infinite = program;
  const double infinity = std::numeric_limits<double>::infinity();
  std::memcpy(infinite.data() + 8 + 100 * 8, &infinity, 8);
  expectRejected(infinite, "a program holding an infinity");

  std::vector<std::uint8_t> hugeName = program;
  const std::int32_t huge = 0x7FFFFFF0;
  std::memcpy(hugeName.data() + 8 + kStateSize, &huge, 4);
  expectRejected(hugeName, "a program whose name length is huge");

  EXPECT_FALSE(plug.ReadHostChunk(nullptr, 16, false, false));
  EXPECT_FALSE(plug.ReadHostChunk(program.data(), -1, false, false));
  ExpectUnchanged(before, Fingerprint(plug));
}

TEST_F(PresetsTest, ProgramPathHostGetsItsBanksThroughTheProgramPath) {
  const std::vector<std::uint8_t> bank = WriteChunk(true);
  const Fingerprint saved(plug);

  TestPlug other;
  ASSERT_TRUE(other.ReadHostChunk(bank.data(), static_cast<int>(bank.size()), false, true));
  const Fingerprint loaded(other);
  EXPECT_EQ(loaded.names, saved.names);
  EXPECT_EQ(loaded.initialized, saved.initialized);
  EXPECT_TRUE(loaded.states == saved.states);
  EXPECT_EQ(loaded.current, 3) << "the bank carries the current program";
  EXPECT_EQ(other.Values(), plug.Values());

  // An ordinary program from such a host is still read as one.
  const std::vector<std::uint8_t> program = WriteChunk(false);
  TestPlug third;
  third.FillEmptyPrograms("Empty", 64);
  ASSERT_TRUE(third.ReadHostChunk(program.data(), static_cast<int>(program.size()), false, true));
  EXPECT_EQ(third.Values(), plug.Values());
  EXPECT_EQ(std::string(third.GetProgramName(0)), "Program 3");
  EXPECT_EQ(std::string(third.GetProgramName(1)), "Empty");
}

TEST_F(PresetsTest, HostMayHandBackTheBufferWeGaveIt) {
  const std::uint8_t* data = nullptr;
  int size = 0;
  ASSERT_TRUE(plug.WriteHostChunk(false, &data, &size));
  const std::vector<double> live = plug.Values();
  plug.SetSeededValues(50);
  ASSERT_TRUE(plug.ReadHostChunk(data, size, false, false));
  EXPECT_EQ(plug.Values(), live);

  // The program buffer stays valid, and unchanged, across a bank exchange.
  ASSERT_TRUE(plug.WriteHostChunk(false, &data, &size));
  const std::vector<std::uint8_t> copy(data, data + size);
  const std::uint8_t* bankData = nullptr;
  int bankSize = 0;
  ASSERT_TRUE(plug.WriteHostChunk(true, &bankData, &bankSize));
  EXPECT_EQ(std::vector<std::uint8_t>(data, data + size), copy);

  EXPECT_FALSE(plug.WriteHostChunk(true, nullptr, &size));
  EXPECT_EQ(size, 0);
}

TEST(UnserializeParamsTest, TenDoublesSetTenParametersAndZeroTheEleventh) {
  TestPlug plug;
  plug.SetSeededValues(1);
  const std::vector<double> before = plug.Values();
  ChunkBuffer chunk;
  const double stored[4] = {0.75, -1.5, 50.0, 7.0};  // one in range for each kind
  for (int i = 0; i < 10; ++i) chunk.PutBytes(stored[i % 4]);
  plug.recordChanges = true;

  EXPECT_EQ(plug.UnserializeParams(chunk, 0), -1);
  for (int i = 0; i < 10; ++i) EXPECT_EQ(plug.GetParam(i)->Value(), stored[i % 4]);
  EXPECT_EQ(plug.GetParam(10)->Value(), 1.0) << "0 clamped to the range 1..100";
  for (int i = 11; i < 146; ++i) ASSERT_EQ(plug.GetParam(i)->Value(), before[i]) << i;
  ASSERT_EQ(plug.changed.size(), 146u);
  EXPECT_EQ(plug.changed.front(), 0);
  EXPECT_EQ(plug.changed.back(), 145);
}

TEST(UnserializeParamsTest, NonFiniteValuesEndTheReadAndNeverReachAParameter) {
  for (const double bad :
       {std::numeric_limits<double>::quiet_NaN(), std::numeric_limits<double>::infinity(),
        -std::numeric_limits<double>::infinity()}) {
    TestPlug plug;
    const std::vector<double> before = plug.Values();
    ChunkBuffer chunk;
    for (int i = 0; i < 146; ++i) chunk.PutBytes(i == 4 ? bad : 0.5);
    EXPECT_EQ(plug.UnserializeParams(chunk, 0), -1);
    EXPECT_EQ(plug.GetParam(4)->Value(), 0.0);
    EXPECT_EQ(plug.GetParam(5)->Value(), before[5]);
    for (double v : plug.Values()) ASSERT_TRUE(std::isfinite(v));
  }
}

}  // namespace
