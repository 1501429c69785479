#pragma once

#include <memory>
#include <string>
#include <vector>

class PopupMenu;

class PopupMenuItem {
 public:
  enum Flags : int { kNoFlags = 0, kGrayed = 1, kDisabled = 2, kChecked = 4, kSeparator = 8 };

  explicit PopupMenuItem(std::string text, int flags = kNoFlags,
                         std::unique_ptr<PopupMenu> subMenu = nullptr);
  ~PopupMenuItem();

  const std::string& GetText() const { return mText; }
  int GetFlags() const { return mFlags; }
  bool IsSeparator() const { return (mFlags & kSeparator) != 0; }
  bool IsChecked() const { return (mFlags & kChecked) != 0; }
  bool IsEnabled() const { return (mFlags & (kGrayed | kDisabled)) == 0; }
  PopupMenu* GetSubmenu() const { return mSubMenu.get(); }

  void SetChecked(bool checked);

 private:
  std::string mText;
  int mFlags;
  std::unique_ptr<PopupMenu> mSubMenu;
};

// A menu of owned items, shown by the window layer. After it closes, the menu (or sub-menu) that
// was chosen from holds the chosen item's index; every other menu holds -1.
class PopupMenu {
 public:
  // Prefix written before each item's text: its 1-based position in its own menu.
  enum Numbering : int { kNoNumbers = 0, kNumbers = 1, kTwoDigits = 2, kThreeDigits = 3 };

  PopupMenu() = default;
  explicit PopupMenu(int numbering) : mNumbering(numbering) {}

  PopupMenuItem* AddItem(std::string text, int flags = PopupMenuItem::kNoFlags);
  // A position beyond the end (or negative) appends.
  PopupMenuItem* AddItem(std::string text, int position, int flags);
  PopupMenuItem* AddSubmenu(std::string text, std::unique_ptr<PopupMenu> subMenu);
  PopupMenuItem* AddSeparator();

  int NItems() const { return static_cast<int>(mItems.size()); }
  PopupMenuItem* GetItem(int i) const;
  int GetNumbering() const { return mNumbering; }
  void SetNumbering(int numbering) { mNumbering = numbering; }
  int GetChosenItemIdx() const { return mChosenItemIdx; }
  void SetChosenItemIdx(int i) { mChosenItemIdx = i; }

  // The text a window shows for item i: its text behind the menu's numbering prefix.
  std::string ItemLabel(int i) const;

  // Window layers number every item of a menu and its sub-menus depth first: each menu takes a
  // block as large as its item count, and a sub-menu's block follows when its item is reached.
  // The menu and item index holding a command; null for a command no item has.
  PopupMenu* FindCommand(int command, int* item, int base = 0);
  // Resets the chosen index in this menu and every sub-menu.
  void ClearChoice();

 private:
  // Commands this menu and its sub-menus take, from base; the block after it starts at the result.
  int NumberBlock(int base, int target, PopupMenu** menu, int* item);

  std::vector<std::unique_ptr<PopupMenuItem>> mItems;
  int mChosenItemIdx = -1;
  int mNumbering = kNoNumbers;
};
