#pragma once
// The window-message vocabulary the editor window routes on. Widgets translate
// their signals into these command messages so that one procedure decides.
#include <cstdint>

using UINT = unsigned int;
using WPARAM = std::uintptr_t;
using LPARAM = std::intptr_t;
using LRESULT = std::intptr_t;
using BOOL = int;

constexpr UINT WM_COMMAND = 0x0111;

constexpr UINT IDOK = 1;
constexpr UINT IDCANCEL = 2;

// Notification codes carried in the high word of a command's wParam.
constexpr UINT CBN_SELCHANGE = 1;
constexpr UINT EN_SETFOCUS = 0x0100;
constexpr UINT EN_KILLFOCUS = 0x0200;
constexpr UINT EN_CHANGE = 0x0300;

constexpr WPARAM MAKEWPARAM(UINT low, UINT high) {
  return static_cast<WPARAM>((low & 0xFFFFu) | ((high & 0xFFFFu) << 16));
}
constexpr UINT LOWORD(WPARAM w) { return static_cast<UINT>(w & 0xFFFFu); }
constexpr UINT HIWORD(WPARAM w) { return static_cast<UINT>((w >> 16) & 0xFFFFu); }
