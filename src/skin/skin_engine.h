// The skin engine (module modSkinner): engine state, control kinds, window properties,
// painters, hover/fade, message handlers, attachment and the subclass procedure.
// All per-window state lives in named window properties of the window itself.
#pragma once

#include <windows.h>

#include <cstdint>

#include "graphics/skin_images.h"

namespace modSkinner {

// ---- Engine state (one per process) ---------------------------------------------------
struct EngineState {
  bool SkinReady = false;
  bool HaveUserTrackMouseEvent = false;
  std::int32_t SkinnedCount = 0;
  SkinImages Images;
};
EngineState& Engine();

// ---- Control kinds ---------------------------------------------------------------------
enum class ControlKind {
  KindContainer,
  KindButton,
  KindCombo,
  KindDriveList,
  KindCheck,
  KindOption,
  KindProgress,
  KindHeader,
  KindDataList,
  KindDropList,
  KindGrid,
  KindOther,
};
ControlKind ClassifyWindow(HWND hwnd);

// ---- Window properties (names stay as given; values are pointer-sized) -----------------
namespace prop {
inline constexpr const wchar_t* PROCADDR = L"PROCADDR";
inline constexpr const wchar_t* OLDSTYLE = L"OLDSTYLE";
inline constexpr const wchar_t* MOUSEFLAG = L"MOUSEFLAG";
inline constexpr const wchar_t* TIMERID = L"TIMERID";
inline constexpr const wchar_t* OLDSTATE = L"OLDSTATE";
inline constexpr const wchar_t* ALPHALEVEL = L"ALPHALEVEL";
inline constexpr const wchar_t* HDINDEX = L"HDINDEX";
inline constexpr const wchar_t* HMINDEX = L"HMINDEX";
inline constexpr const wchar_t* HDC_[4] = {L"HDC0", L"HDC1", L"HDC2", L"HDC3"};
inline constexpr const wchar_t* BMP_[4] = {L"BMP0", L"BMP1", L"BMP2", L"BMP3"};
}  // namespace prop

// An absent property reads 0; negative values round-trip.
LONG_PTR GetSkinProp(HWND hwnd, const wchar_t* name);
void SetSkinProp(HWND hwnd, const wchar_t* name, LONG_PTR value);
void RemoveSkinProp(HWND hwnd, const wchar_t* name);

// PROCADDR, the previous window procedure, is also kept in a table of the process, because
// SkinWindowProc reads it for every message and a window property can cost a round trip to
// the window server (it does under Wine). Set and remove write both; PreviousProc reads the
// table and falls back to the property for a window the table does not know.
void SetPreviousProc(HWND hwnd, LONG_PTR previous);
void RemovePreviousProc(HWND hwnd);
LONG_PTR PreviousProc(HWND hwnd);

// Visual-state codes.
enum VisualState : std::int32_t {
  kStateNormal = 0,
  kStateHot = 1,
  kStatePressed = 2,
  kStateDisabled = 3
};

// Handler calling convention: previous procedure, window, message, wParam, lParam.
using SkinHandler = LRESULT (*)(WNDPROC previous, HWND hwnd, UINT message, WPARAM wParam,
                                LPARAM lParam);

// ---- Painters --------------------------------------------------------------------------
void RenderButtonFaces(HWND hwnd);
LRESULT PaintButton(HWND hwnd, HDC hdc);
int PaintCheckBox(HWND hwnd, std::int32_t state, bool force);
int PaintOptionButton(HWND hwnd, std::int32_t state, bool force);
void PaintComboBox(HWND hwnd, HDC hdc, std::int32_t& state, bool force);
int PaintHeaderItem(HWND hwnd, HDC hdc, std::int32_t index, std::int32_t state);

// ---- Hover tracking and fade -----------------------------------------------------------
bool ApiExists(const char* functionName, const char* libraryName);
void RequestMouseLeave(HWND hwnd);
UINT_PTR StartStateTimer(HWND hwnd);
BOOL StopStateTimer(HWND hwnd);
LRESULT OnTimer(WNDPROC previous, HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);

// ---- Message handlers ------------------------------------------------------------------
LRESULT OnPaint(WNDPROC previous, HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);
LRESULT OnNcPaint(WNDPROC previous, HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);
LRESULT OnSize(WNDPROC previous, HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);
LRESULT OnWindowPosChanging(WNDPROC previous, HWND hwnd, UINT message, WPARAM wParam,
                            LPARAM lParam);
LRESULT OnLButtonDown(WNDPROC previous, HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);
LRESULT OnLButtonUp(WNDPROC previous, HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);
LRESULT OnKeyDown(WNDPROC previous, HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);
LRESULT OnKeyUp(WNDPROC previous, HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);
LRESULT OnMouseMove(WNDPROC previous, HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);
LRESULT OnMouseLeave(WNDPROC previous, HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);
LRESULT OnEnable(WNDPROC previous, HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);
LRESULT OnSetFocus(WNDPROC previous, HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);
LRESULT OnKillFocus(WNDPROC previous, HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);
LRESULT OnActivate(WNDPROC previous, HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);

// ---- Attachment and dispatch -----------------------------------------------------------
LONG SkinForm(HWND hwnd);
LONG UnskinForm(HWND hwnd);
LONG AttachSkin(HWND hwnd);
LONG DetachSkin(HWND hwnd);
BOOL CALLBACK AttachChildProc(HWND hwnd, LPARAM lParam);
BOOL CALLBACK DetachChildProc(HWND hwnd, LPARAM lParam);
BOOL CALLBACK RefreshChecksProc(HWND hwnd, LPARAM lParam);
LRESULT CALLBACK SkinWindowProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);

}  // namespace modSkinner
