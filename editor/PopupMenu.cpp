#include "editor/PopupMenu.h"

#include <cstdio>

PopupMenuItem::PopupMenuItem(std::string text, int flags, std::unique_ptr<PopupMenu> subMenu)
    : mText(std::move(text)), mFlags(flags), mSubMenu(std::move(subMenu)) {}

PopupMenuItem::~PopupMenuItem() = default;

void PopupMenuItem::SetChecked(bool checked) {
  mFlags = checked ? (mFlags | kChecked) : (mFlags & ~kChecked);
}

PopupMenuItem* PopupMenu::AddItem(std::string text, int flags) {
  return AddItem(std::move(text), -1, flags);
}

PopupMenuItem* PopupMenu::AddItem(std::string text, int position, int flags) {
  auto item = std::make_unique<PopupMenuItem>(std::move(text), flags);
  PopupMenuItem* added = item.get();
  if (position < 0 || position >= NItems()) {
    mItems.push_back(std::move(item));
  } else {
    mItems.insert(mItems.begin() + position, std::move(item));
  }
  return added;
}

PopupMenuItem* PopupMenu::AddSubmenu(std::string text, std::unique_ptr<PopupMenu> subMenu) {
  mItems.push_back(std::make_unique<PopupMenuItem>(std::move(text), PopupMenuItem::kNoFlags,
                                                   std::move(subMenu)));
  return mItems.back().get();
}

PopupMenuItem* PopupMenu::AddSeparator() {
  return AddItem("", PopupMenuItem::kSeparator);
}

PopupMenuItem* PopupMenu::GetItem(int i) const {
  if (i < 0 || i >= NItems()) return nullptr;
  return mItems[static_cast<std::size_t>(i)].get();
}

std::string PopupMenu::ItemLabel(int i) const {
  const PopupMenuItem* item = GetItem(i);
  if (!item) return {};
  const char* format = nullptr;
  switch (mNumbering) {
    case kNumbers:
      format = "%1d: %s";
      break;
    case kTwoDigits:
      format = "%02d: %s";
      break;
    case kThreeDigits:
      format = "%03d: %s";
      break;
    default:
      return item->GetText();
  }
  const int size = std::snprintf(nullptr, 0, format, i + 1, item->GetText().c_str());
  std::string label(static_cast<std::size_t>(size), '\0');
  std::snprintf(label.data(), label.size() + 1, format, i + 1, item->GetText().c_str());
  return label;
}

int PopupMenu::NumberBlock(int base, int target, PopupMenu** menu, int* item) {
  if (target >= base && target < base + NItems()) {
    *menu = this;
    *item = target - base;
  }
  int next = base + NItems();
  for (const auto& entry : mItems) {
    if (PopupMenu* sub = entry->GetSubmenu()) next = sub->NumberBlock(next, target, menu, item);
  }
  return next;
}

PopupMenu* PopupMenu::FindCommand(int command, int* item, int base) {
  PopupMenu* menu = nullptr;
  int index = -1;
  NumberBlock(base, command, &menu, &index);
  if (item) *item = index;
  return menu;
}

void PopupMenu::ClearChoice() {
  mChosenItemIdx = -1;
  for (const auto& entry : mItems) {
    if (PopupMenu* sub = entry->GetSubmenu()) sub->ClearChoice();
  }
}
