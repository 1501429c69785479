#include "engine/RhythmBank.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "engine/CombinedRhythm.h"
#include "engine/FactoryRhythms.h"

namespace {

std::string Pattern(const std::uint8_t* steps) {
  std::string s;
  for (int i = 0; i < kNumSteps; ++i) s += steps[i] ? 'O' : '-';
  return s;
}

int Count(const std::uint8_t* steps) {
  int n = 0;
  for (int i = 0; i < kNumSteps; ++i) n += steps[i] != 0;
  return n;
}

std::vector<int> Hits(const std::uint8_t* steps) {
  std::vector<int> at;
  for (int i = 0; i < kNumSteps; ++i) {
    if (steps[i]) at.push_back(i);
  }
  return at;
}

const std::string kWaltzActive = "OOOOOOOO----OOOO----OOOOOOOOOOOOOOOOOOOO----OOOO----OOOOOOOOOOOO";
const std::string kSixOfEight = "OOOOOO--OOOOOO--OOOOOO--OOOOOO--OOOOOO--OOOOOO--OOOOOO--OOOOOO--";
const std::string kEveryFourth = "O---O---O---O---O---O---O---O---O---O---O---O---O---O---O---O---";
const std::string kGuiroPattern =
    "OOOO----O---O---OOOO----O---O---OOOO----O---O---OOOO----O---O---";
const std::string kQuijadaPattern =
    "------------------------O-------------------------------O-------";
const std::string kEmpty(kNumSteps, '-');

TEST(FactoryRhythmsTest, RowsStepsAndTripletFlagsFollowTheWrittenPatterns) {
  const FactoryRhythms& f = FactoryRhythms::Get();
  const auto& samba = f.grid[1];
  EXPECT_EQ(Pattern(samba[kBase]),
            "O-----------O---O---------------O-----------O---O---------------");
  EXPECT_EQ(Pattern(samba[kConga]), kQuijadaPattern);
  EXPECT_EQ(Pattern(samba[kCowbell]),
            "O-------O-------O---O-------O-------O-------O-------O---O-------");
  EXPECT_EQ(Pattern(samba[kHihat]), kEveryFourth);
  for (int row :
       {kSnare1, kSnare2, kSmallBongo, kLargeBongo, kClaves, kRimshot, kCymbal1, kCymbal2}) {
    EXPECT_EQ(Pattern(samba[row]), kEmpty) << "row " << row;
  }
  EXPECT_EQ(Count(f.active[1]), kNumSteps);
  EXPECT_EQ(f.triplet[1], 0);

  EXPECT_EQ(Pattern(f.grid[14][kCymbal2]),
            "O-------------------------------O-------------------------------");
  EXPECT_EQ(Pattern(f.grid[19][kConga]),
            "------------------------O-----O-------------------------O-----O-");

  for (int slot = 0; slot < kNumRhythmSlots; ++slot) {
    EXPECT_EQ(Pattern(f.grid[slot][kTambourine]), kEveryFourth) << "slot " << slot;
    EXPECT_EQ(Pattern(f.grid[slot][kGuiro]), kGuiroPattern) << "slot " << slot;
    EXPECT_EQ(Pattern(f.grid[slot][kQuijada]), kQuijadaPattern) << "slot " << slot;
    const bool triplet = slot == 8 || slot == 15 || slot == 18;
    EXPECT_EQ(f.triplet[slot], triplet ? 1 : 0) << "slot " << slot;
    if (triplet) {
      EXPECT_EQ(Pattern(f.active[slot]), kSixOfEight) << "slot " << slot;
    }
  }
  EXPECT_EQ(Pattern(f.active[10]), kWaltzActive);
}

TEST(FactoryRhythmsTest, NamesAndUserLabels) {
  EXPECT_STREQ(FactoryRhythms::Name(12), "Cha-Cha");
  EXPECT_STREQ(FactoryRhythms::Name(19), "Latin Swing");
  EXPECT_STREQ(FactoryRhythms::UserLabel(19), "USER 20");
  EXPECT_STREQ(FactoryRhythms::Name(20), "");
}

class CombinedRhythmTest : public ::testing::Test {
 protected:
  RhythmSelection Press(std::initializer_list<int> buttons, bool rowAbove) {
    std::uint8_t on[kNumRhythmButtons] = {};
    for (int b : buttons) on[b] = 1;
    return combined.Rebuild(bank, on, rowAbove ? 1 : 0);
  }
  bool GridEqualsSlot(int slot) const {
    return std::memcmp(combined.grid, bank.grid[slot], sizeof(combined.grid)) == 0;
  }

  RhythmBank bank;
  CombinedRhythm combined;
};

TEST_F(CombinedRhythmTest, OneButtonPlaysItsSlotFromTheChosenRow) {
  RhythmSelection sel = Press({0}, true);
  EXPECT_TRUE(GridEqualsSlot(0));
  EXPECT_EQ(Pattern(combined.active), kWaltzActive);
  EXPECT_EQ(combined.triplet, 0);
  EXPECT_EQ(sel.first, 0);

  sel = Press({8}, false);
  EXPECT_TRUE(GridEqualsSlot(18));
  EXPECT_EQ(Count(combined.active), 48);
  EXPECT_EQ(combined.triplet, 1);
  EXPECT_EQ(sel.first, 18);
  EXPECT_EQ(sel.anySelected, 1);
  for (int slot = 0; slot < kNumRhythmSlots; ++slot) {
    EXPECT_EQ(sel.selected[slot], slot == 18 ? 1 : 0) << "slot " << slot;
  }
}

TEST_F(CombinedRhythmTest, SelectedSlotsMergeHitsIntersectStepsAndAnyTripletWins) {
  RhythmSelection sel = Press({8, 0}, true);
  EXPECT_EQ(sel.first, 0);
  EXPECT_EQ(Count(combined.active), 32);
  EXPECT_EQ(combined.triplet, 1);
  for (int row = 0; row < kNumInstruments; ++row) {
    for (int s = 0; s < kNumSteps; ++s) {
      EXPECT_EQ(combined.grid[row][s], bank.grid[0][row][s] | bank.grid[8][row][s]);
    }
  }

  // Whatever a state chunk left in the bytes, a hit is a hit and step 0 always plays.
  bank.grid[2][kClaves][5] = 7;
  std::memset(bank.active[2], 0, kNumSteps);
  Press({2}, true);
  EXPECT_EQ(combined.grid[kClaves][5], 1);
  EXPECT_EQ(Pattern(combined.active), "O" + std::string(kNumSteps - 1, '-'));
}

TEST_F(CombinedRhythmTest, NothingSelectedKeepsOnlyTheFactoryAccompaniment) {
  bank.Edit(0, kTambourine, 0, RhythmEdit::ClearRow);  // the bank's edits must not leak in
  Press({3}, true);
  RhythmSelection sel = Press({}, true);
  EXPECT_EQ(sel.anySelected, 0);
  EXPECT_EQ(sel.first, 0);
  EXPECT_EQ(Count(combined.active), kNumSteps);
  EXPECT_EQ(combined.triplet, 0);
  for (int row = 0; row < kTambourine; ++row) EXPECT_EQ(Pattern(combined.grid[row]), kEmpty);
  EXPECT_EQ(Pattern(combined.grid[kTambourine]), kEveryFourth);
  EXPECT_EQ(Pattern(combined.grid[kGuiro]), kGuiroPattern);
  EXPECT_EQ(Pattern(combined.grid[kQuijada]), kQuijadaPattern);
}

TEST(RhythmBankTest, EditingMakesAUserRhythmUntilRestored) {
  RhythmBank bank;
  EXPECT_STREQ(bank.Label(3), "Rumba");
  ASSERT_TRUE(bank.SetCell(3, kClaves, 1, true));
  EXPECT_TRUE(bank.IsModified(3));
  EXPECT_STREQ(bank.Label(3), "USER 4");
  EXPECT_FALSE(bank.IsModified(2));
  EXPECT_FALSE(bank.IsModified(4));

  ASSERT_TRUE(bank.Restore(3));
  EXPECT_FALSE(bank.IsModified(3));
  EXPECT_STREQ(bank.Label(3), "Rumba");

  bank.SetTriplet(5, true);
  EXPECT_STREQ(bank.Label(5), "USER 6");

  ASSERT_TRUE(bank.Copy(8, 13));
  EXPECT_EQ(std::memcmp(bank.grid[13], bank.grid[8], sizeof(bank.grid[8])), 0);
  EXPECT_EQ(Pattern(bank.active[13]), kSixOfEight);
  EXPECT_EQ(bank.triplet[13], 1);
  EXPECT_STREQ(bank.Label(13), "USER 14");

  bank.ResetFromFactory();
  for (int slot = 0; slot < kNumRhythmSlots; ++slot) EXPECT_FALSE(bank.IsModified(slot));
}

TEST(RhythmBankTest, ActivationTemplatesAndTheTripletFlag) {
  RhythmBank bank;
  ASSERT_TRUE(bank.SetActiveSteps(1, kTemplateTriplets));
  EXPECT_EQ(Pattern(bank.active[1]), kSixOfEight);
  EXPECT_EQ(bank.triplet[1], 1);
  ASSERT_TRUE(bank.SetActiveSteps(1, kActivateAllSteps));
  EXPECT_EQ(Count(bank.active[1]), kNumSteps);
  EXPECT_EQ(bank.triplet[1], 1);

  bank.SetActiveSteps(1, kTemplate3_4);
  EXPECT_EQ(Pattern(bank.active[1]),
            "OOOOOOOOOOOO----OOOOOOOOOOOO----OOOOOOOOOOOO----OOOOOOOOOOOO----");
  bank.SetActiveSteps(1, kTemplate7_8);
  EXPECT_EQ(Hits(bank.active[1]).back(), 59);
  EXPECT_EQ(Count(bank.active[1]), 56);

  bank.SetActiveSteps(0, kDeactivateSecondHalf);
  EXPECT_EQ(Pattern(bank.active[0]), kWaltzActive.substr(0, 32) + std::string(32, '-'));

  const std::string before = Pattern(bank.active[0]);
  EXPECT_FALSE(bank.SetActiveSteps(0, kNumRhythmTemplates));
  EXPECT_FALSE(bank.SetActiveSteps(0, -1));
  EXPECT_EQ(Pattern(bank.active[0]), before);
}

TEST(RhythmBankTest, FillAndClearTouchEveryNthStepOfOneRowOnly) {
  RhythmBank bank;
  bank.Edit(4, kClaves, 0, RhythmEdit::ClearRow);
  ASSERT_TRUE(bank.Edit(4, kClaves, 13, RhythmEdit::FillQuarters));
  EXPECT_EQ(Hits(bank.grid[4][kClaves]), (std::vector<int>{0, 8, 16, 24, 32, 40, 48, 56}));
  bank.Edit(4, kClaves, 0, RhythmEdit::FillSixteenths);
  EXPECT_EQ(Count(bank.grid[4][kClaves]), 32);
  bank.Edit(4, kClaves, 0, RhythmEdit::FillThirtySeconds);
  EXPECT_EQ(Count(bank.grid[4][kClaves]), kNumSteps);
  bank.Edit(4, kClaves, 0, RhythmEdit::ClearEighths);
  EXPECT_EQ(Count(bank.grid[4][kClaves]), 48);
  EXPECT_EQ(bank.grid[4][kClaves][4], 0);
  EXPECT_EQ(bank.grid[4][kClaves][5], 1);
  bank.Edit(4, kClaves, 0, RhythmEdit::ClearThirtySeconds);
  EXPECT_EQ(Count(bank.grid[4][kClaves]), 0);

  const FactoryRhythms& f = FactoryRhythms::Get();
  EXPECT_EQ(Pattern(bank.grid[4][kHihat]), Pattern(f.grid[4][kHihat]));
}

TEST(RhythmBankTest, ClearColumnAndClearAllLeaveTheActiveSteps) {
  RhythmBank bank;
  ASSERT_TRUE(bank.Edit(0, -1, 32, RhythmEdit::ClearColumn));
  for (int row = 0; row < kNumInstruments; ++row) EXPECT_EQ(bank.grid[0][row][32], 0);
  EXPECT_EQ(bank.grid[0][kBase][0], 1);

  ASSERT_TRUE(bank.Edit(0, -1, -1, RhythmEdit::ClearAll));
  for (int row = 0; row < kNumInstruments; ++row) EXPECT_EQ(Count(bank.grid[0][row]), 0);
  EXPECT_EQ(Pattern(bank.active[0]), kWaltzActive);
}

TEST(RhythmBankTest, OutOfRangeArgumentsChangeNothing) {
  RhythmBank bank;
  const RhythmBank pristine = bank;
  EXPECT_FALSE(bank.Edit(kNumRhythmSlots, 0, 0, RhythmEdit::ClearAll));
  EXPECT_FALSE(bank.Edit(-1, 0, 0, RhythmEdit::FillQuarters));
  EXPECT_FALSE(bank.Edit(0, kNumInstruments, 0, RhythmEdit::ClearRow));
  EXPECT_FALSE(bank.Edit(0, -1, 0, RhythmEdit::FillThirtySeconds));
  EXPECT_FALSE(bank.Edit(0, 0, kNumSteps, RhythmEdit::ClearColumn));
  EXPECT_FALSE(bank.Edit(0, 0, 0, static_cast<RhythmEdit>(99)));
  EXPECT_FALSE(bank.SetCell(0, 0, kNumSteps, false));
  EXPECT_FALSE(bank.SetCell(kNumRhythmSlots, -1, 0, true));
  EXPECT_FALSE(bank.SetTriplet(-1, true));
  EXPECT_FALSE(bank.SetActiveSteps(kNumRhythmSlots, kActivateAllSteps));
  EXPECT_FALSE(bank.Copy(0, kNumRhythmSlots));
  EXPECT_FALSE(bank.Restore(kNumRhythmSlots));
  EXPECT_FALSE(bank.IsModified(-1));
  EXPECT_STREQ(bank.Label(kNumRhythmSlots), "");
  EXPECT_EQ(std::memcmp(&bank, &pristine, sizeof(bank)), 0);
}

}  // namespace
