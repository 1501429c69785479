#include "editor/PopupMenu.h"

#include <gtest/gtest.h>

#include "tests/editor/EditorFixture.h"

namespace editor_test {
namespace {

TEST(PopupMenu, NumberingModesPrefixThePositionInTheItemsOwnMenu) {
  PopupMenu menu;
  menu.AddItem("Waltz");
  menu.AddSeparator();
  menu.AddItem("Samba");
  EXPECT_EQ(menu.ItemLabel(2), "Samba");
  menu.SetNumbering(PopupMenu::kNumbers);
  EXPECT_EQ(menu.ItemLabel(0), "1: Waltz");
  menu.SetNumbering(PopupMenu::kTwoDigits);
  EXPECT_EQ(menu.ItemLabel(2), "03: Samba");  // the separator counts as a position
  menu.SetNumbering(PopupMenu::kThreeDigits);
  EXPECT_EQ(menu.ItemLabel(2), "003: Samba");
  EXPECT_EQ(menu.ItemLabel(3), "");
}

TEST(PopupMenu, InsertingBeyondTheEndAppends) {
  PopupMenu menu;
  menu.AddItem("b");
  menu.AddItem("a", 0, 0);
  menu.AddItem("c", 99, 0);
  ASSERT_EQ(menu.NItems(), 3);
  EXPECT_EQ(menu.GetItem(0)->GetText(), "a");
  EXPECT_EQ(menu.GetItem(2)->GetText(), "c");
}

// Top menu: 0 "Copy", 1 "Paste to" (sub-menu), 2 "Init"; the sub-menu's items follow the top
// menu's block (3, 4), and its own sub-menu follows when its item is reached (5, 6).
std::unique_ptr<PopupMenu> NestedMenu() {
  auto inner = std::make_unique<PopupMenu>();
  inner->AddItem("x");
  inner->AddItem("y");
  auto sub = std::make_unique<PopupMenu>(PopupMenu::kTwoDigits);
  sub->AddItem("Slot 1");
  sub->AddSubmenu("More", std::move(inner));
  auto menu = std::make_unique<PopupMenu>();
  menu->AddItem("Copy");
  menu->AddSubmenu("Paste to", std::move(sub));
  menu->AddItem("Init", PopupMenuItem::kGrayed);
  return menu;
}

TEST(PopupMenu, CommandsAreNumberedDepthFirstInBlocks) {
  auto menu = NestedMenu();
  PopupMenu* sub = menu->GetItem(1)->GetSubmenu();
  PopupMenu* inner = sub->GetItem(1)->GetSubmenu();
  int item = -1;
  EXPECT_EQ(menu->FindCommand(2, &item), menu.get());
  EXPECT_EQ(item, 2);
  EXPECT_EQ(menu->FindCommand(3, &item), sub);
  EXPECT_EQ(item, 0);
  EXPECT_EQ(menu->FindCommand(6, &item), inner);
  EXPECT_EQ(item, 1);
  EXPECT_EQ(menu->FindCommand(7, &item), nullptr);
}

TEST_F(EditorTest, APopupAnswersWithTheMenuChosenFromAndRecordsWhatWasShown) {
  auto menu = NestedMenu();
  PopupMenu* sub = menu->GetItem(1)->GetSubmenu();
  Probe(Rect(0, 0, 50, 50), 0);
  gui->MouseDown(10, 10, {.L = true});
  gui->popupAnswers = {3, 2, IGraphicsHeadless::kNoAnswer};

  EXPECT_EQ(gui->ShowPopupMenu(menu.get(), Rect(5, 5, 20, 20)), sub);
  EXPECT_EQ(sub->GetChosenItemIdx(), 0);
  EXPECT_EQ(menu->GetChosenItemIdx(), -1);
  // The menu takes the mouse: nothing stays captured, and the editor is repainted after it.
  EXPECT_EQ(gui->GetMouseCapture(), -1);
  EXPECT_TRUE(gui->Tick());
  EXPECT_EQ(gui->lastPresented, Rect(0, 0, IGraphics::kDefaultWidth, IGraphics::kDefaultHeight));

  EXPECT_EQ(gui->ShowPopupMenu(menu.get(), Rect()), nullptr);  // a greyed item
  EXPECT_EQ(sub->GetChosenItemIdx(), -1);
  EXPECT_EQ(gui->ShowPopupMenu(menu.get(), Rect()), nullptr);  // dismissed
  EXPECT_EQ(gui->ShowPopupMenu(menu.get(), Rect()), nullptr);  // no answer queued
  ASSERT_EQ(gui->menusShown.size(), 4u);
  const std::vector<std::string> labels = {"Copy", "Paste to", "Init"};
  EXPECT_EQ(gui->menusShown[0].labels, labels);
  EXPECT_EQ(gui->menusShown[0].rect, Rect(5, 5, 20, 20));
}

}  // namespace
}  // namespace editor_test
