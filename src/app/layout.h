// The layout of the main window: one table of its controls, in twips, relative to the
// client area of their container.
#pragma once

#include <span>
#include <string>

namespace tarnwick::app {

enum class ControlType { kCommandButton, kTextBox, kLabel, kFrame, kTimer };

struct ControlEntry {
  const wchar_t* name;
  ControlType type;
  const wchar_t* container;  // L"" for the window itself
  const wchar_t* caption;    // caption or initial text
  int left;                  // twips
  int top;
  int width;
  int height;
  int tab_index;  // position in the tab order; -1 for the timer
};

// Client area of the window, in twips.
inline constexpr int kClientWidthTwips = 8520;
inline constexpr int kClientHeightTwips = 3840;
// Timer1's interval.
inline constexpr unsigned kTimer1IntervalMs = 1000;

// The window's controls, grouped by container, in the order of the window's description.
std::span<const ControlEntry> MainWindowLayout();

// The window title: "Tarnwick", two spaces, the maker's contact.
std::wstring MainWindowTitle();

}  // namespace tarnwick::app
