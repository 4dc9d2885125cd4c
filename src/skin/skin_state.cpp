// Engine state, control classification by window class and the typed window-property
// helpers in which the skin engine keeps all per-window state.
#include <windows.h>

#include <array>
#include <string_view>
#include <unordered_map>

#include "skin/skin_engine.h"

namespace modSkinner {

namespace {

struct ClassRow {
  std::wstring_view name;
  ControlKind kind;
};

// Lower-case class names and the kind each one is painted as; grids match by prefix.
constexpr std::array<ClassRow, 24> kClassTable = {{
    {L"#32770", ControlKind::KindContainer},
    {L"thunderformdc", ControlKind::KindContainer},
    {L"thunderrt6formdc", ControlKind::KindContainer},
    {L"form", ControlKind::KindContainer},
    {L"thundercommandbutton", ControlKind::KindButton},
    {L"thunderrt6commandbutton", ControlKind::KindButton},
    {L"button", ControlKind::KindButton},
    {L"thundercombobox", ControlKind::KindCombo},
    {L"thunderrt6combobox", ControlKind::KindCombo},
    {L"combo", ControlKind::KindCombo},
    {L"combobox", ControlKind::KindCombo},
    {L"thunderdrivelistbox", ControlKind::KindDriveList},
    {L"thunderrt6drivelistbox", ControlKind::KindDriveList},
    {L"thundercheckbox", ControlKind::KindCheck},
    {L"thunderrt6checkbox", ControlKind::KindCheck},
    {L"thunderoptionbutton", ControlKind::KindOption},
    {L"thunderrt6optionbutton", ControlKind::KindOption},
    {L"progressbar20wndclass", ControlKind::KindProgress},
    {L"progressbarwndclass", ControlKind::KindProgress},
    {L"msvb_lib_header", ControlKind::KindHeader},
    {L"sysheader32", ControlKind::KindHeader},
    {L"datalistwndclass", ControlKind::KindDataList},
    {L"dblistwndclass", ControlKind::KindDataList},
    {L"combolbox", ControlKind::KindDropList},
}};

constexpr std::wstring_view kGridPrefix = L"apexgrid";

// The previous procedures of the skinned windows of the process, by window. Skinned windows
// may belong to several threads, hence the lock.
struct PreviousProcTable {
  SRWLOCK lock = SRWLOCK_INIT;
  std::unordered_map<HWND, LONG_PTR> procs;
};

PreviousProcTable& PreviousProcs() {
  static PreviousProcTable table;
  return table;
}

// Kind of a class name that is already lower case: exact table match, then the grid prefix.
ControlKind ClassifyLowerClassName(std::wstring_view lowerName) {
  for (const ClassRow& row : kClassTable) {
    if (row.name == lowerName) return row.kind;
  }
  if (lowerName.starts_with(kGridPrefix)) return ControlKind::KindGrid;
  return ControlKind::KindOther;
}

}  // namespace

// The one engine state of the process.
EngineState& Engine() {
  static EngineState state;
  return state;
}

// Kind of a window by its class name; an unreadable class name is KindOther. The name is
// read into a stack buffer: this runs for most messages of a skinned window and on every
// fade tick.
ControlKind ClassifyWindow(HWND hwnd) {
  wchar_t buffer[256] = {};
  const int length = GetClassNameW(hwnd, buffer, 255);
  if (length <= 0) return ControlKind::KindOther;
  // System rules, so non-ASCII letters fold as well.
  CharLowerBuffW(buffer, static_cast<DWORD>(length));
  return ClassifyLowerClassName(std::wstring_view(buffer, static_cast<size_t>(length)));
}

// Value of a window property; 0 when the property is absent.
LONG_PTR GetSkinProp(HWND hwnd, const wchar_t* name) {
  return reinterpret_cast<LONG_PTR>(GetPropW(hwnd, name));
}

// Stores a pointer-sized value as the property's handle.
void SetSkinProp(HWND hwnd, const wchar_t* name, LONG_PTR value) {
  SetPropW(hwnd, name, reinterpret_cast<HANDLE>(value));
}

// Removes a property; removing an absent one does nothing.
void RemoveSkinProp(HWND hwnd, const wchar_t* name) {
  RemovePropW(hwnd, name);
}

// Stores PROCADDR and its copy in the table (the table first: it is the step that can fail).
void SetPreviousProc(HWND hwnd, LONG_PTR previous) {
  PreviousProcTable& table = PreviousProcs();
  AcquireSRWLockExclusive(&table.lock);
  try {
    table.procs[hwnd] = previous;
  } catch (...) {
    ReleaseSRWLockExclusive(&table.lock);
    throw;
  }
  ReleaseSRWLockExclusive(&table.lock);
  SetSkinProp(hwnd, prop::PROCADDR, previous);
}

// Removes PROCADDR and its copy.
void RemovePreviousProc(HWND hwnd) {
  PreviousProcTable& table = PreviousProcs();
  AcquireSRWLockExclusive(&table.lock);
  table.procs.erase(hwnd);
  ReleaseSRWLockExclusive(&table.lock);
  RemoveSkinProp(hwnd, prop::PROCADDR);
}

// The previous procedure of a skinned window from the table; the property when the table
// has none for the window; 0 when neither has one.
LONG_PTR PreviousProc(HWND hwnd) {
  PreviousProcTable& table = PreviousProcs();
  AcquireSRWLockShared(&table.lock);
  const auto found = table.procs.find(hwnd);
  const LONG_PTR previous = found == table.procs.end() ? 0 : found->second;
  ReleaseSRWLockShared(&table.lock);
  return previous != 0 ? previous : GetSkinProp(hwnd, prop::PROCADDR);
}

}  // namespace modSkinner
