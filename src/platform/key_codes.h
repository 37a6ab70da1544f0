#pragma once

#include <cstdint>

// A key as the dispatcher sees it: the Windows virtual-key code in the low bits, with at
// most one of Alt, Ctrl, Apps and Win, and Shift freely.
using KeyCode = uint32_t;

constexpr KeyCode KeyShift = 0x0100;
constexpr KeyCode KeyCtrl = 0x0200;
constexpr KeyCode KeyAlt = 0x0400;
constexpr KeyCode KeyWin = 0x0800;
constexpr KeyCode KeyApps = 0x1000;

// Windows virtual-key codes known by name. Letter and digit keys have none: their codes are
// the upper-case letters and the digits themselves ('A', '6').
namespace vk {
constexpr uint16_t Back = 0x08;
constexpr uint16_t Tab = 0x09;
constexpr uint16_t Clear = 0x0C;  // keypad 5 without Num Lock
constexpr uint16_t Return = 0x0D;
constexpr uint16_t Shift = 0x10;
constexpr uint16_t Control = 0x11;
constexpr uint16_t Menu = 0x12;  // Alt
constexpr uint16_t Pause = 0x13;
constexpr uint16_t Capital = 0x14;  // Caps Lock
constexpr uint16_t Escape = 0x1B;
constexpr uint16_t Space = 0x20;
constexpr uint16_t Prior = 0x21;  // Page Up
constexpr uint16_t Next = 0x22;   // Page Down
constexpr uint16_t End = 0x23;
constexpr uint16_t Home = 0x24;
constexpr uint16_t Left = 0x25;
constexpr uint16_t Up = 0x26;
constexpr uint16_t Right = 0x27;
constexpr uint16_t Down = 0x28;
constexpr uint16_t Snapshot = 0x2C;  // Print Screen
constexpr uint16_t Insert = 0x2D;
constexpr uint16_t Delete = 0x2E;
constexpr uint16_t LWin = 0x5B;
constexpr uint16_t RWin = 0x5C;
constexpr uint16_t Apps = 0x5D;
constexpr uint16_t Numpad0 = 0x60;
constexpr uint16_t Numpad9 = 0x69;
constexpr uint16_t Multiply = 0x6A;
constexpr uint16_t Add = 0x6B;
constexpr uint16_t Separator = 0x6C;
constexpr uint16_t Subtract = 0x6D;
constexpr uint16_t Decimal = 0x6E;
constexpr uint16_t Divide = 0x6F;
constexpr uint16_t F1 = 0x70;
constexpr uint16_t F2 = 0x71;
constexpr uint16_t F3 = 0x72;
constexpr uint16_t F4 = 0x73;
constexpr uint16_t F5 = 0x74;
constexpr uint16_t F6 = 0x75;
constexpr uint16_t F7 = 0x76;
constexpr uint16_t F8 = 0x77;
constexpr uint16_t F9 = 0x78;
constexpr uint16_t F10 = 0x79;
constexpr uint16_t F11 = 0x7A;
constexpr uint16_t F12 = 0x7B;
constexpr uint16_t F13 = 0x7C;  // F13 to F24 follow in order
constexpr uint16_t NumLock = 0x90;
constexpr uint16_t Scroll = 0x91;        // Scroll Lock
constexpr uint16_t OemSemicolon = 0xBA;  // ;:
constexpr uint16_t OemPlus = 0xBB;       // =+
constexpr uint16_t OemComma = 0xBC;      // ,<
constexpr uint16_t OemMinus = 0xBD;      // -_
constexpr uint16_t OemPeriod = 0xBE;     // .>
constexpr uint16_t OemSlash = 0xBF;      // /?
constexpr uint16_t OemTilde = 0xC0;      // `~
constexpr uint16_t OemOpen = 0xDB;       // [{
constexpr uint16_t OemBackslash = 0xDC;  // \|
constexpr uint16_t OemClose = 0xDD;      // ]}
constexpr uint16_t OemQuote = 0xDE;      // '"
}  // namespace vk
