#pragma once

#include <cstdint>

// The keysyms the editor's window and its menus and boxes translate (X11's keysymdef values),
// named once for both.
namespace x11keys {
constexpr std::uint32_t kXkSpace = 0x20;
constexpr std::uint32_t kXkLeft = 0xff51;
constexpr std::uint32_t kXkUp = 0xff52;
constexpr std::uint32_t kXkRight = 0xff53;
constexpr std::uint32_t kXkDown = 0xff54;
constexpr std::uint32_t kXkReturn = 0xff0d;
constexpr std::uint32_t kXkKpEnter = 0xff8d;
constexpr std::uint32_t kXkEscape = 0xff1b;
constexpr std::uint32_t kXkBackSpace = 0xff08;
}  // namespace x11keys
