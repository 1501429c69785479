#include "framework/PresetFiles.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <cmath>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <limits>
#include <string>
#include <vector>

#include "tests/framework/TestPlug.h"

namespace {

using framework_test::Bytes;
using framework_test::ExpectUnchanged;
using framework_test::Fingerprint;
using framework_test::TestPlug;
using Buffer = std::vector<std::uint8_t>;

// The golden files are written by tests/data/make_golden.py from the documented layout.
std::filesystem::path DataPath(const char* name) {
  return std::filesystem::path(__FILE__).parent_path().parent_path() / "data" / name;
}

Buffer ReadGolden(const char* name) {
  std::ifstream in(DataPath(name), std::ios::binary);
  EXPECT_TRUE(in) << "missing golden file " << name;
  return Buffer(std::istreambuf_iterator<char>(in), {});
}

void PutBE32At(Buffer& bytes, std::size_t offset, std::uint32_t value) {
  ASSERT_LE(offset + 4, bytes.size());
  for (int i = 0; i < 4; ++i) bytes[offset + i] = static_cast<std::uint8_t>(value >> (24 - 8 * i));
}

void PutBEFloatAt(Buffer& bytes, std::size_t offset, float value) {
  std::uint32_t bits = 0;
  std::memcpy(&bits, &value, 4);
  PutBE32At(bytes, offset, bits);
}

// The programs the golden files describe, built through the ordinary program operations.
class SmallPlug : public TestPlug {
 public:
  SmallPlug() : TestPlug(3, 4) {}

  void Store(int slot, const char* name, const std::vector<double>& values) {
    ASSERT_TRUE(RestoreProgram(slot));
    SetValues(values);
    ModifyCurrentPreset(name);
  }
  void BuildGoldenBank() {
    Store(0, "Classic 1", {0.5, 1.0, 10.0});
    Store(3, "Init", {0.0, 0.0, 1.0});
    Store(1, "Kick & Snare", {0.25, -2.5, 50.0});
  }
};

class PresetFilesTest : public ::testing::Test {
 protected:
  std::string TempPath(const char* name) {
    const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
    const std::string path = ::testing::TempDir() + "rhythmoria_" + std::to_string(getpid()) + "_" +
                             info->name() + "_" + name;
    written.push_back(path);
    return path;
  }
  void TearDown() override {
    for (const std::string& path : written) std::filesystem::remove(path);
  }

  std::vector<std::string> written;
};

TEST_F(PresetFilesTest, WritersMatchTheGoldenLayout) {
  SmallPlug plug;
  plug.BuildGoldenBank();
  ChunkBuffer program;
  ASSERT_TRUE(plug.WriteProgramToMemory(program));
  EXPECT_EQ(Bytes(program), ReadGolden("small_program.fxp"));
  ChunkBuffer bank;
  ASSERT_TRUE(plug.WriteBankToMemory(bank));
  EXPECT_EQ(Bytes(bank), ReadGolden("small_bank.fxb"));
}

TEST_F(PresetFilesTest, GoldenFilesLoadIntoTheirPrograms) {
  const Buffer bankFile = ReadGolden("small_bank.fxb");
  SmallPlug plug;
  plug.FillEmptyPrograms("Empty", 4);
  ASSERT_TRUE(plug.LoadBankFromMemory(bankFile.data(), bankFile.size()));
  EXPECT_STREQ(plug.GetProgramName(0), "Classic 1");
  EXPECT_STREQ(plug.GetProgramName(2), "empty");
  EXPECT_FALSE(plug.GetProgram(2)->mInitialized);
  EXPECT_EQ(plug.GetCurrentProgram(), 0) << "the header's current program is not used";
  EXPECT_EQ(plug.Values(), (std::vector<double>{0.5, 1.0, 10.0}));
  EXPECT_EQ(plug.programChangesReported, 1);
  ASSERT_TRUE(plug.RestoreProgram(1));
  EXPECT_EQ(plug.Values(), (std::vector<double>{0.25, -2.5, 50.0}));

  const Buffer programFile = ReadGolden("small_program.fxp");
  ASSERT_TRUE(plug.RestoreProgram(3));
  ASSERT_TRUE(plug.LoadProgramFromMemory(programFile.data(), programFile.size()));
  EXPECT_STREQ(plug.GetProgramName(3), "Kick & Snare");
  EXPECT_EQ(plug.Values(), (std::vector<double>{0.25, -2.5, 50.0}));
  EXPECT_EQ(plug.GetCurrentProgram(), 3);

  // A payload without the leading magic is read from its first byte.
  Buffer bare(programFile.begin(), programFile.begin() + 60);
  PutBE32At(bare, 4, 84);
  PutBE32At(bare, 56, 24);
  bare.insert(bare.end(), programFile.begin() + 68, programFile.end());
  plug.SetValues({0.0, 0.0, 1.0});
  ASSERT_TRUE(plug.LoadProgramFromMemory(bare.data(), bare.size()));
  EXPECT_EQ(plug.Values(), (std::vector<double>{0.25, -2.5, 50.0}));
}

TEST_F(PresetFilesTest, FilesRoundTripByteForByte) {
  TestPlug plug;
  for (int i = 0; i < 40; i += 3) {
    ASSERT_TRUE(plug.RestoreProgram(i));
    plug.SetSeededValues(i);
    plug.ModifyCurrentPreset(("Groove " + std::to_string(i)).c_str());
  }
  ASSERT_TRUE(plug.RestoreProgram(9));
  const std::string bankPath = TempPath("bank.fxb");
  const std::string programPath = TempPath("program.fxp");
  ASSERT_TRUE(plug.SaveBankFile(bankPath));
  ASSERT_TRUE(plug.SaveProgramFile(programPath));
  ChunkBuffer bank;
  ChunkBuffer program;
  ASSERT_TRUE(plug.WriteBankToMemory(bank));
  ASSERT_TRUE(plug.WriteProgramToMemory(program));

  TestPlug other;
  ASSERT_TRUE(other.LoadBankFile(bankPath));
  ASSERT_TRUE(other.RestoreProgram(9));
  ChunkBuffer bankAgain;
  ASSERT_TRUE(other.WriteBankToMemory(bankAgain));
  EXPECT_EQ(Bytes(bankAgain), Bytes(bank));

  TestPlug third;
  ASSERT_TRUE(third.RestoreProgram(9));
  ASSERT_TRUE(third.LoadProgramFile(programPath));
  ChunkBuffer programAgain;
  ASSERT_TRUE(third.WriteProgramToMemory(programAgain));
  EXPECT_EQ(Bytes(programAgain), Bytes(program));

  std::vector<std::uint8_t> onDisk;
  ASSERT_TRUE(presetfile::ReadWholeFile(bankPath, &onDisk));
  EXPECT_EQ(onDisk, Bytes(bank)) << "a file holds exactly the bytes written to memory";
}

TEST_F(PresetFilesTest, LongProgramNameIsCutAndStaysTerminated) {
  SmallPlug plug;
  const std::string longName = "A program name far longer than twenty-seven characters";
  plug.Store(0, longName.c_str(), {0.5, 0.0, 2.0});
  EXPECT_EQ(plug.GetProgramName(0), longName) << "only the file field is cut";
  ChunkBuffer file;
  ASSERT_TRUE(plug.WriteProgramToMemory(file));
  const std::uint8_t* field = file.Data() + presetfile::kProgramNameOffset;
  EXPECT_EQ(std::string(reinterpret_cast<const char*>(field), 27), longName.substr(0, 27));
  EXPECT_EQ(field[27], 0);

  SmallPlug other;
  ASSERT_TRUE(other.LoadProgramFromMemory(file.Data(), static_cast<std::size_t>(file.Size())));
  EXPECT_EQ(other.GetProgramName(0), longName.substr(0, 27));

  // A foreign file may fill the field without a NUL: the name stops at the field's end.
  std::vector<std::uint8_t> unterminated = Bytes(file);
  std::memset(unterminated.data() + presetfile::kProgramNameOffset, 'x', 28);
  ASSERT_TRUE(other.LoadProgramFromMemory(unterminated.data(), unterminated.size()));
  EXPECT_EQ(other.GetProgramName(0), std::string(28, 'x'));
}

TEST_F(PresetFilesTest, ParameterListFormsLoad) {
  const Buffer program = ReadGolden("small_params_program.fxp");
  SmallPlug plug;
  plug.FillEmptyPrograms("Empty", 4);
  ASSERT_TRUE(plug.LoadProgramFromMemory(program.data(), program.size()));
  EXPECT_EQ(plug.Values(), (std::vector<double>{0.5, -2.5, 100.0}));
  EXPECT_STREQ(plug.GetProgramName(0), "Params Program");
  EXPECT_EQ(plug.programChangesReported, 1);

  const Buffer bank = ReadGolden("small_params_bank.fxb");
  SmallPlug fresh;
  ASSERT_TRUE(fresh.LoadBankFromMemory(bank.data(), bank.size()));
  EXPECT_STREQ(fresh.GetProgramName(0), "First");
  EXPECT_STREQ(fresh.GetProgramName(1), "Second");
  EXPECT_FALSE(fresh.GetProgram(2)->mInitialized);
  EXPECT_EQ(fresh.GetCurrentProgram(), 1) << "the header names the current program";
  EXPECT_EQ(fresh.Values(), (std::vector<double>{1.0, 5.0, 1.0}));
  ASSERT_TRUE(fresh.RestoreProgram(0));
  EXPECT_EQ(fresh.Values(), (std::vector<double>{0.0, 0.0, 25.75}));
}

// Normalised values come from outside: NaN must not reach a parameter, and a value below 0
// would, through a fractional power, turn into one.
TEST_F(PresetFilesTest, ParameterListValuesAreCheckedBeforeUse) {
  const Buffer program = ReadGolden("small_params_program.fxp");
  SmallPlug plug;
  plug.FillEmptyPrograms("Empty", 4);
  const Fingerprint before(plug);
  for (const float bad :
       {std::numeric_limits<float>::quiet_NaN(), std::numeric_limits<float>::infinity()}) {
    Buffer damaged = program;
    PutBEFloatAt(damaged, 56 + 4, bad);
    EXPECT_FALSE(plug.LoadProgramFromMemory(damaged.data(), damaged.size()));
    ExpectUnchanged(before, Fingerprint(plug));

    Buffer bank = ReadGolden("small_params_bank.fxb");
    PutBEFloatAt(bank, 156 + 68 + 56, bad);
    EXPECT_FALSE(plug.LoadBankFromMemory(bank.data(), bank.size()));
    ExpectUnchanged(before, Fingerprint(plug));
  }

  Buffer outside = program;
  PutBEFloatAt(outside, 56 + 8, -0.5f);
  PutBEFloatAt(outside, 56 + 4, 3.0f);
  ASSERT_TRUE(plug.LoadProgramFromMemory(outside.data(), outside.size()));
  EXPECT_EQ(plug.Values(), (std::vector<double>{0.5, 5.0, 1.0}));
}

TEST_F(PresetFilesTest, RefusedFilesChangeNothing) {
  SmallPlug plug;
  plug.BuildGoldenBank();
  plug.SetValues({0.9, 0.9, 90.0});  // unsaved edits must survive a refused load
  const Fingerprint before(plug);
  const Buffer program = ReadGolden("small_program.fxp");
  const Buffer bank = ReadGolden("small_bank.fxb");
  const Buffer paramsBank = ReadGolden("small_params_bank.fxb");

  auto expectRefused = [&](const Buffer& bytes, bool isBank, const char* what) {
    SCOPED_TRACE(what);
    EXPECT_FALSE(isBank ? plug.LoadBankFromMemory(bytes.data(), bytes.size())
                        : plug.LoadProgramFromMemory(bytes.data(), bytes.size()));
    ExpectUnchanged(before, Fingerprint(plug));
  };

  Buffer foreign = bank;
  std::memcpy(foreign.data() + 16, "krx8", 4);
  expectRefused(foreign, true, "a bank of another plug-in");
  foreign = program;
  std::memcpy(foreign.data() + 16, "krx8", 4);
  expectRefused(foreign, false, "a program of another plug-in");

  Buffer version2 = program;
  PutBE32At(version2, 12, 2);
  expectRefused(version2, false, "program format version 2");

  Buffer body = bank;
  std::memcpy(body.data() + 8, "FBxx", 4);
  expectRefused(body, true, "an unknown bank body");
  Buffer container = program;
  std::memcpy(container.data(), "CcnX", 4);
  expectRefused(container, false, "no container magic");

  Buffer cutSlot(bank.begin(), bank.end() - 10);
  expectRefused(cutSlot, true, "a bank whose last slot is cut off");
  Buffer cutName = bank;
  std::int32_t hugeLength = 0x7FFFFFF0;
  std::memcpy(cutName.data() + 160 + 8 + 38, &hugeLength, 4);
  expectRefused(cutName, true, "a bank with a huge name length");
  expectRefused(Buffer(program.begin(), program.begin() + 62), false, "a program cut short");
  expectRefused(Buffer(bank.begin(), bank.begin() + 100), true, "a bank header cut short");
  expectRefused(Buffer(), false, "an empty program file");
  expectRefused(Buffer(), true, "an empty bank file");

  // The second record declares 145 parameters: the first record is not kept either.
  Buffer badRecord = paramsBank;
  PutBE32At(badRecord, 156 + 68 + 24, 145);
  expectRefused(badRecord, true, "a parameter bank with a bad second record");
  Buffer tooMany = paramsBank;
  PutBE32At(tooMany, 24, 5);
  expectRefused(tooMany, true, "more parameter records than slots");
  Buffer missingRecord = paramsBank;
  PutBE32At(missingRecord, 24, 3);
  expectRefused(missingRecord, true, "a parameter record missing");
  Buffer negative = paramsBank;
  PutBE32At(negative, 24, 0xFFFFFFFF);
  expectRefused(negative, true, "a negative program count");

  EXPECT_FALSE(plug.LoadProgramFile(""));
  EXPECT_FALSE(plug.LoadBankFile(TempPath("does_not_exist.fxb")));
  EXPECT_FALSE(plug.LoadBankFile(::testing::TempDir())) << "a folder is no file";
  EXPECT_FALSE(plug.SaveBankFile(""));
  EXPECT_FALSE(plug.SaveProgramFile(::testing::TempDir() + "no_such_folder/x.fxp"));
  ExpectUnchanged(before, Fingerprint(plug));
}

}  // namespace
