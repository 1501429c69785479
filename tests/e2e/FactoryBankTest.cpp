// Every instance starts from the factory bank the binary carries. The programs are read from the
// binary's own copy until one is stored again, which must look exactly like each instance holding
// a copy of its own.
#include <gtest/gtest.h>

#include "tests/e2e/PluginFixture.h"

namespace {

constexpr int kTempo = 2;

TEST(FactoryBankTest, AStoredEditReachesOnlyThatProgramOfThatInstance) {
  auto first = e2e::LoadPlugin();
  auto second = e2e::LoadPlugin();
  ASSERT_TRUE(first && second);
  const std::vector<std::uint8_t> factory = second->GetChunk(true);
  ASSERT_FALSE(factory.empty());
  EXPECT_EQ(first->GetChunk(true), factory);

  first->SetProgram(3);
  const float stored = first->GetParameter(kTempo);
  const float edited = stored < 0.5f ? 0.75f : 0.25f;
  first->SetParameter(kTempo, edited);
  first->SetProgram(4);  // stores the edit into program 3
  EXPECT_NE(first->GetParameter(kTempo), edited);
  first->SetProgram(3);
  EXPECT_FLOAT_EQ(first->GetParameter(kTempo), edited);

  EXPECT_EQ(second->GetChunk(true), factory) << "the other instance keeps the factory programs";
  second->SetProgram(3);
  EXPECT_FLOAT_EQ(second->GetParameter(kTempo), stored);
  first.reset();
  auto third = e2e::LoadPlugin();
  ASSERT_TRUE(third);
  EXPECT_EQ(third->GetChunk(true), factory) << "a new instance starts from the factory bank";
}

}  // namespace
