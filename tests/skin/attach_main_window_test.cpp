// The main window's skin hooks, through the real window: skinned by Form_Load, its Start
// button re-skinned around every caption change (the face shows "停止" while a job runs and
// "开始处理" after), and nothing left skinned after Form_Unload.
#include <gtest/gtest.h>
#include <windows.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <string>

#include "app/frm_main.h"
#include "handler_test_support.h"
#include "skin/skin_engine.h"

namespace {

namespace prop = modSkinner::prop;
using tarnwick::app::frmMain;

// Width of the dark (caption) pixels of a button's normal face.
int CaptionWidth(HWND button) {
  HDC face = reinterpret_cast<HDC>(modSkinner::GetSkinProp(button, prop::HDC_[0]));
  RECT bounds;
  GetWindowRect(button, &bounds);
  int left = bounds.right - bounds.left;
  int right = -1;
  for (int y = 3; y < bounds.bottom - bounds.top - 3; ++y) {
    for (int x = 3; x < bounds.right - bounds.left - 3; ++x) {
      if (GetRValue(GetPixel(face, x, y)) < 0x60) {
        left = std::min(left, x);
        right = std::max(right, x);
      }
    }
  }
  return right - left + 1;
}

std::wstring TextOf(HWND hwnd) {
  wchar_t text[64] = {};
  GetWindowTextW(hwnd, text, 64);
  return text;
}

// What the running job looked like, seen from a timer inside the job's message pump.
struct DuringJob {
  static inline HWND Button = nullptr;
  static inline bool Seen = false;
  static inline std::wstring Caption;
  static inline int Width = 0;
  static inline bool Skinned = false;

  static BOOL CALLBACK CloseMessageBox(HWND hwnd, LPARAM) {
    wchar_t name[16] = {};
    GetClassNameW(hwnd, name, 16);
    if (IsWindowVisible(hwnd) && lstrcmpW(name, L"#32770") == 0) {
      PostMessageW(hwnd, WM_COMMAND, IDOK, 0);
    }
    return TRUE;
  }
  static void CALLBACK Probe(HWND, UINT, UINT_PTR, DWORD) {
    if (!Seen && TextOf(Button) == tarnwick::app::kStopCaption) {
      Seen = true;
      Caption = TextOf(Button);
      Width = CaptionWidth(Button);
      Skinned = modSkinner::GetSkinProp(Button, prop::PROCADDR) != 0;
      SendMessageW(Button, BM_CLICK, 0, 0);  // Stop
    }
    // Had the job ended before the probe, its message box is answered.
    EnumThreadWindows(GetCurrentThreadId(), CloseMessageBox, 0);
  }
};

TEST(MainWindowHooks, SkinnedOnLoadReskinnedAroundCaptionChangesUnskinnedOnUnload) {
  namespace fs = std::filesystem;
  const fs::path work = fs::temp_directory_path() / L"tarnwick-skin-hooks";
  fs::remove_all(work);
  fs::create_directories(work / L"out");
  const fs::path source = work / L"source.txt";
  {
    std::ofstream file(source, std::ios::binary);
    for (int i = 0; i < 2000000; ++i) file << "line " << i << "\r\n";
  }

  tarnwick::app::FormOptions options;
  options.settings_application = L"TarnwickSkinHookTest";
  options.quit_on_destroy = false;
  std::unique_ptr<frmMain> form = frmMain::Create(options);
  ASSERT_TRUE(form);
  HWND window = form->hWnd();
  HWND start = form->Control(L"Command2");
  ASSERT_NE(start, nullptr);

  // Form_Load: the window and its controls are skinned.
  EXPECT_NE(modSkinner::GetSkinProp(window, prop::PROCADDR), 0);
  EXPECT_NE(modSkinner::GetSkinProp(start, prop::HDC_[0]), 0);
  const int count = modSkinner::Engine().SkinnedCount;
  const int restWidth = CaptionWidth(start);
  ASSERT_GT(restWidth, 10);

  SetWindowTextW(form->Control(L"Text4"), source.wstring().c_str());
  SetWindowTextW(form->Control(L"Text2"), (work / L"out").wstring().c_str());
  SetWindowTextW(form->Control(L"Text1"), L"1000000");
  DuringJob::Button = start;
  const UINT_PTR timer = SetTimer(window, 0x5151, 30, DuringJob::Probe);
  SendMessageW(start, BM_CLICK, 0, 0);
  KillTimer(window, timer);

  // While the job ran, the face showed the shorter "停止" caption.
  ASSERT_TRUE(DuringJob::Seen);
  EXPECT_TRUE(DuringJob::Skinned);
  EXPECT_LT(DuringJob::Width, restWidth * 3 / 4);
  // After it: "开始处理" again, re-skinned, with as many skinned windows as before.
  EXPECT_EQ(TextOf(start), tarnwick::app::kStartCaption);
  EXPECT_NE(modSkinner::GetSkinProp(start, prop::PROCADDR), 0);
  EXPECT_EQ(CaptionWidth(start), restWidth);
  EXPECT_EQ(modSkinner::Engine().SkinnedCount, count);

  // Form_Unload: nothing skinned is left and the images are released.
  SendMessageW(window, WM_CLOSE, 0, 0);
  skin_handler_test::Pump();
  EXPECT_EQ(modSkinner::Engine().SkinnedCount, 0);
  EXPECT_FALSE(modSkinner::Engine().SkinReady);
  form.reset();
  fs::remove_all(work);
}

}  // namespace
