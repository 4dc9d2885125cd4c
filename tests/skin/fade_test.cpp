// Hover tracking and the fade: the mouse-leave probe and request, the fade timer, and the
// tick that steps the fade level.
#include <windows.h>

#include <gtest/gtest.h>

#include <cstdlib>
#include <new>
#include <string>
#include <vector>

#include "graphics/primitives.h"
#include "skin/skin_engine.h"
#include "skin_test_support.h"

// Counts heap allocations while a test asks for it, to prove that a fade tick makes none.
namespace {
bool g_countAllocations = false;
int g_allocations = 0;
}  // namespace

void* operator new(std::size_t size) {
  if (g_countAllocations) ++g_allocations;
  if (void* p = std::malloc(size == 0 ? 1 : size)) return p;
  throw std::bad_alloc();
}
void operator delete(void* p) noexcept {
  std::free(p);
}
void operator delete(void* p, std::size_t) noexcept {
  std::free(p);
}

namespace {

using namespace skin_painter_test;

constexpr wchar_t kCommandButtonClass[] = L"ThunderRT6CommandButton";
constexpr int kWidth = 75;
constexpr int kHeight = 25;
constexpr LRESULT kPassedOn = 0x5A5A;

// Stands in for the control's own procedure: counts the messages passed on to it.
int g_passedOn = 0;
LRESULT CALLBACK PreviousProc(HWND, UINT message, WPARAM wParam, LPARAM) {
  if (message == WM_TIMER && wParam == 1) ++g_passedOn;
  return kPassedOn;
}

// Removes WM_TIMER messages of a window already queued; true when at least one was there.
bool DrainTimerMessages(HWND hwnd) {
  MSG msg;
  bool any = false;
  while (PeekMessageW(&msg, hwnd, WM_TIMER, WM_TIMER, PM_REMOVE)) any = true;
  return any;
}

// Waits up to `ms` for a WM_TIMER of the window; true when one arrived.
bool TimerArrivesWithin(HWND hwnd, DWORD ms) {
  const DWORD start = GetTickCount();
  MSG msg;
  while (GetTickCount() - start < ms) {
    if (PeekMessageW(&msg, hwnd, WM_TIMER, WM_TIMER, PM_REMOVE)) return true;
    Sleep(5);
  }
  return false;
}

class FadeTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    EnsureSkinImages();
    RegisterSuperclass(kCommandButtonClass, L"Button");
  }
  void SetUp() override { g_passedOn = 0; }

  struct Button {
    Button()
        : window(kCommandButtonClass, BS_PUSHBUTTON, 10, 10, kWidth, kHeight, L"Fade"),
          faces(window, WS_CHILD | WS_VISIBLE | BS_PUSHBUTTON) {
      modSkinner::RenderButtonFaces(window);
    }
    TestWindow window;
    ButtonFaces faces;
  };

  // Steps a fade through OnTimer until it ends; returns the level painted at each tick.
  static std::vector<LONG_PTR> RunFade(HWND hwnd, LONG_PTR startLevel) {
    modSkinner::SetSkinProp(hwnd, modSkinner::prop::ALPHALEVEL, startLevel);
    EXPECT_EQ(modSkinner::StartStateTimer(hwnd), 1u);
    std::vector<LONG_PTR> painted;
    while (modSkinner::GetSkinProp(hwnd, modSkinner::prop::TIMERID) != 0 && painted.size() < 300) {
      painted.push_back(modSkinner::GetSkinProp(hwnd, modSkinner::prop::ALPHALEVEL));
      EXPECT_EQ(modSkinner::OnTimer(PreviousProc, hwnd, WM_TIMER, 1, 0), kPassedOn);
    }
    return painted;
  }
};

TEST_F(FadeTest, StartKeepsARunningTimerAndStopOnlyStopsARunningOne) {
  Button button;
  HWND hwnd = button.window;
  EXPECT_EQ(modSkinner::StartStateTimer(hwnd), 1u);
  EXPECT_EQ(modSkinner::GetSkinProp(hwnd, modSkinner::prop::TIMERID), 1);
  EXPECT_TRUE(TimerArrivesWithin(hwnd, 1000));
  EXPECT_EQ(modSkinner::StartStateTimer(hwnd), 0u);
  EXPECT_EQ(modSkinner::GetSkinProp(hwnd, modSkinner::prop::TIMERID), 1);
  EXPECT_TRUE(TimerArrivesWithin(hwnd, 1000));

  EXPECT_NE(modSkinner::StopStateTimer(hwnd), 0);
  EXPECT_EQ(modSkinner::GetSkinProp(hwnd, modSkinner::prop::TIMERID), 0);
  DrainTimerMessages(hwnd);
  EXPECT_FALSE(TimerArrivesWithin(hwnd, 100));

  // Idle: 0 and no KillTimer, so a timer 1 set behind the engine's back keeps running.
  SetTimer(hwnd, 1, 15, nullptr);
  EXPECT_EQ(modSkinner::StopStateTimer(hwnd), 0);
  EXPECT_TRUE(TimerArrivesWithin(hwnd, 1000));
  KillTimer(hwnd, 1);
  DrainTimerMessages(hwnd);
}

TEST_F(FadeTest, StartingARunningFadeAgainDoesNotRestartItsPeriod) {
  Button button;
  HWND hwnd = button.window;
  ASSERT_EQ(modSkinner::StartStateTimer(hwnd), 1u);
  DrainTimerMessages(hwnd);
  // Asked again every 5 ms, far more often than its 15 ms period: a timer set anew each
  // time would never come due; the running one keeps ticking.
  int ticks = 0;
  const DWORD start = GetTickCount();
  while (GetTickCount() - start < 300) {
    EXPECT_EQ(modSkinner::StartStateTimer(hwnd), 0u);
    if (DrainTimerMessages(hwnd)) ++ticks;
    Sleep(5);
  }
  EXPECT_GE(ticks, 5);
  modSkinner::StopStateTimer(hwnd);
  DrainTimerMessages(hwnd);
}

TEST_F(FadeTest, FadesTake86TicksFromZeroAnd66FromSixtyNeverAbove255) {
  Button button;
  HWND hwnd = button.window;
  FillWindow(hwnd, 0, 0, kWidth, kHeight, RGB(1, 2, 3));
  modSkinner::SetSkinProp(hwnd, modSkinner::prop::OLDSTATE, 1);

  const std::vector<LONG_PTR> fromZero = RunFade(hwnd, 0);
  ASSERT_EQ(fromZero.size(), 86u);
  for (std::size_t i = 0; i < fromZero.size(); ++i) EXPECT_EQ(fromZero[i], 3 * LONG_PTR(i));
  EXPECT_EQ(fromZero.back(), 255);
  EXPECT_EQ(modSkinner::GetSkinProp(hwnd, modSkinner::prop::ALPHALEVEL), 0);
  EXPECT_EQ(modSkinner::GetSkinProp(hwnd, modSkinner::prop::TIMERID), 0);
  EXPECT_EQ(g_passedOn, 86);
  // The accumulated blends end on the face itself.
  EXPECT_EQ(WindowPixels(hwnd, 0, 0, kWidth, kHeight).values,
            ReadPixels(button.faces.Face(1), 0, 0, kWidth, kHeight).values);

  modSkinner::SetSkinProp(hwnd, modSkinner::prop::OLDSTATE, 0);
  const std::vector<LONG_PTR> fromSixty = RunFade(hwnd, 60);
  ASSERT_EQ(fromSixty.size(), 66u);
  EXPECT_EQ(fromSixty.front(), 60);
  EXPECT_EQ(fromSixty.back(), 255);
  EXPECT_EQ(WindowPixels(hwnd, 0, 0, kWidth, kHeight).values,
            ReadPixels(button.faces.Face(0), 0, 0, kWidth, kHeight).values);

  // A stray level above 255 is painted as 255 once and ends the fade.
  const std::vector<LONG_PTR> fromAbove = RunFade(hwnd, 400);
  EXPECT_EQ(fromAbove.size(), 1u);
  EXPECT_EQ(modSkinner::GetSkinProp(hwnd, modSkinner::prop::ALPHALEVEL), 0);
  DrainTimerMessages(hwnd);
}

TEST_F(FadeTest, TickOnAnotherKindOnlyPassesTheMessageOn) {
  TestWindow label(L"Static", 0, 10, 50, 60, 20, L"Label");
  modSkinner::SetSkinProp(label, modSkinner::prop::ALPHALEVEL, 30);
  EXPECT_EQ(modSkinner::OnTimer(PreviousProc, label, WM_TIMER, 1, 0), kPassedOn);
  EXPECT_EQ(g_passedOn, 1);
  EXPECT_EQ(modSkinner::GetSkinProp(label, modSkinner::prop::ALPHALEVEL), 30);
  modSkinner::RemoveSkinProp(label, modSkinner::prop::ALPHALEVEL);
}

TEST_F(FadeTest, ATickIsOneBlendWithoutAllocation) {
  Button button;
  HWND hwnd = button.window;
  modSkinner::SetSkinProp(hwnd, modSkinner::prop::ALPHALEVEL, 30);
  g_allocations = 0;
  g_countAllocations = true;
  modSkinner::PaintButton(hwnd, nullptr);
  modSkinner::OnTimer(PreviousProc, hwnd, WM_TIMER, 1, 0);
  g_countAllocations = false;
  EXPECT_EQ(g_allocations, 0);
  EXPECT_EQ(modSkinner::GetSkinProp(hwnd, modSkinner::prop::ALPHALEVEL), 33);
  // The counter does see allocations: reading the long class name into a string makes one.
  g_countAllocations = true;
  EXPECT_EQ(modSkinner::GetClassNameText(hwnd), kCommandButtonClass);
  g_countAllocations = false;
  EXPECT_GT(g_allocations, 0);
}

// Routes WM_TIMER of a subclassed test button to the tick handler, as the subclass
// procedure does for skinned buttons.
WNDPROC g_buttonProc = nullptr;
int g_ticks = 0;
LRESULT CALLBACK TickingProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_TIMER) {
    ++g_ticks;
    return modSkinner::OnTimer(g_buttonProc, hwnd, message, wParam, lParam);
  }
  return CallWindowProcW(g_buttonProc, hwnd, message, wParam, lParam);
}

TEST_F(FadeTest, RealTimerRunsTheFadeAndARestartContinuesOnTheSameTimer) {
  Button button;
  HWND hwnd = button.window;
  g_ticks = 0;
  g_buttonProc = reinterpret_cast<WNDPROC>(
      SetWindowLongPtrW(hwnd, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(TickingProc)));
  modSkinner::SetSkinProp(hwnd, modSkinner::prop::OLDSTATE, 1);
  modSkinner::SetSkinProp(hwnd, modSkinner::prop::ALPHALEVEL, 0);
  ASSERT_EQ(modSkinner::StartStateTimer(hwnd), 1u);

  const DWORD start = GetTickCount();
  bool restarted = false;
  MSG msg;
  while (modSkinner::GetSkinProp(hwnd, modSkinner::prop::TIMERID) != 0 &&
         GetTickCount() - start < 10000) {
    if (!restarted && g_ticks == 10) {
      // What a focus change does mid-fade: level back to 0, timer asked for again.
      modSkinner::SetSkinProp(hwnd, modSkinner::prop::ALPHALEVEL, 0);
      EXPECT_EQ(modSkinner::StartStateTimer(hwnd), 0u);
      restarted = true;
    }
    if (GetMessageW(&msg, nullptr, 0, 0) > 0) DispatchMessageW(&msg);
  }
  EXPECT_EQ(g_ticks, 10 + 86);
  EXPECT_EQ(modSkinner::GetSkinProp(hwnd, modSkinner::prop::ALPHALEVEL), 0);
  DrainTimerMessages(hwnd);
  EXPECT_FALSE(TimerArrivesWithin(hwnd, 100));
  SetWindowLongPtrW(hwnd, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(g_buttonProc));
}

TEST(ApiExists, FindsExportsAndLeavesLoadedLibrariesAlone) {
  EXPECT_TRUE(modSkinner::ApiExists("TrackMouseEvent", "User32"));
  EXPECT_FALSE(modSkinner::ApiExists("NoSuchExportAnywhere", "User32"));
  EXPECT_FALSE(modSkinner::ApiExists("TrackMouseEvent", "tarnwick-no-such-library"));
  EXPECT_NE(GetModuleHandleA("user32"), nullptr);

  // A library that is not loaded is loaded for the look-up and released again. (sensapi:
  // a small system library nothing else in this program loads.)
  ASSERT_EQ(GetModuleHandleA("sensapi"), nullptr);
  EXPECT_TRUE(modSkinner::ApiExists("IsNetworkAlive", "sensapi"));
  EXPECT_EQ(GetModuleHandleA("sensapi"), nullptr);

  // One loaded by someone else keeps exactly that one reference.
  HMODULE library = LoadLibraryA("sensapi");
  ASSERT_NE(library, nullptr);
  EXPECT_TRUE(modSkinner::ApiExists("IsNetworkAlive", "sensapi"));
  EXPECT_EQ(GetModuleHandleA("sensapi"), library);
  FreeLibrary(library);
  EXPECT_EQ(GetModuleHandleA("sensapi"), nullptr);
}

// The folder of this test program, with a final backslash.
std::wstring ProgramFolder() {
  wchar_t path[MAX_PATH];
  const DWORD length = GetModuleFileNameW(nullptr, path, MAX_PATH);
  std::wstring folder(path, length);
  return folder.substr(0, folder.rfind(L'\\') + 1);
}

// The file a loaded module came from, in capitals (Windows names compare so).
std::wstring ModuleFileUpper(HMODULE module) {
  wchar_t path[MAX_PATH];
  const DWORD length = GetModuleFileNameW(module, path, MAX_PATH);
  std::wstring text(path, length);
  CharUpperBuffW(text.data(), static_cast<DWORD>(text.size()));
  return text;
}

std::wstring SystemFolderUpper() {
  wchar_t folder[MAX_PATH];
  const UINT length = GetSystemDirectoryW(folder, MAX_PATH);
  std::wstring text(folder, length);
  CharUpperBuffW(text.data(), static_cast<DWORD>(text.size()));
  return text + L"\\";
}

TEST(ApiExists, NeverLoadsALibraryPlantedBesideTheProgram) {
  // tarnwick_planted.dll lies beside this program and exports the function ...
  const std::wstring planted = ProgramFolder() + L"tarnwick_planted.dll";
  HMODULE direct = LoadLibraryExW(planted.c_str(), nullptr, LOAD_WITH_ALTERED_SEARCH_PATH);
  ASSERT_NE(direct, nullptr) << "the planted DLL was not built beside the test";
  EXPECT_NE(GetProcAddress(direct, "TarnwickPlantedExport"), nullptr);
  FreeLibrary(direct);
  ASSERT_EQ(GetModuleHandleA("tarnwick_planted"), nullptr);
  // ... but the probe looks in the system folder only, where there is none.
  EXPECT_FALSE(modSkinner::ApiExists("TarnwickPlantedExport", "tarnwick_planted"));
  EXPECT_EQ(GetModuleHandleA("tarnwick_planted"), nullptr);
}

TEST_F(FadeTest, AlphaBlendComesFromTheSystemFolderAtRunTime) {
  // The skin does not import msimg32; the first blend loads it, from the system folder.
  Button button;
  modSkinner::SetSkinProp(button.window, modSkinner::prop::ALPHALEVEL, 255);
  modSkinner::PaintButton(button.window, nullptr);
  const HMODULE msimg = GetModuleHandleW(L"msimg32.dll");
  ASSERT_NE(msimg, nullptr);
  EXPECT_EQ(ModuleFileUpper(msimg), SystemFolderUpper() + L"MSIMG32.DLL");
}

// Records WM_MOUSELEAVE of a subclassed test window.
WNDPROC g_trackedProc = nullptr;
int g_leaves = 0;
LRESULT CALLBACK LeaveRecordingProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_MOUSELEAVE) ++g_leaves;
  return CallWindowProcW(g_trackedProc, hwnd, message, wParam, lParam);
}

TEST(RequestMouseLeave, OneLeaveThroughEitherTrackingFunction) {
  TestWindow target(L"Static", SS_NOTIFY, 10, 100, 80, 40, L"Track");
  g_trackedProc = reinterpret_cast<WNDPROC>(
      SetWindowLongPtrW(target, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(LeaveRecordingProc)));
  RECT r{};
  GetWindowRect(target, &r);
  for (bool userTrack : {true, false}) {
    modSkinner::Engine().HaveUserTrackMouseEvent = userTrack;
    g_leaves = 0;
    SetCursorPos(r.left + 20, r.top + 20);
    Pump();
    modSkinner::RequestMouseLeave(target);
    SetCursorPos(r.left - 200, r.top - 200);
    const DWORD start = GetTickCount();
    while (g_leaves == 0 && GetTickCount() - start < 3000) {
      Pump();
      Sleep(10);
    }
    EXPECT_EQ(g_leaves, 1) << "user32 TrackMouseEvent: " << userTrack;
    // One-shot: no second leave without a new request.
    SetCursorPos(r.left + 20, r.top + 20);
    Pump();
    SetCursorPos(r.left - 200, r.top - 200);
    Sleep(200);
    Pump();
    EXPECT_EQ(g_leaves, 1) << "user32 TrackMouseEvent: " << userTrack;
  }
  modSkinner::Engine().HaveUserTrackMouseEvent = false;
  SetWindowLongPtrW(target, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(g_trackedProc));
}

}  // namespace
