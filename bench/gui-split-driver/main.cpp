// Benchmark driver: runs a split through the main window's own Start path.
//   gui-split-driver SOURCE FOLDER [LINES_PER_FILE [NAME=VALUE]...]
// Stores each NAME=VALUE as a 切分选项 setting of its own settings (切分方式=大小
// 每个文件大小=20 大小单位=MB, say), creates frmMain, which reads them, types the paths
// and the number into its boxes, clicks "开始处理" and
// answers the message box the job ends with. Prints the time from the click to the message
// box, the time of the engine's job alone (from its start to its end, inside the window's
// Start path: without the caption changes around it and the finishing message), whether
// the window was skinned, and the box's text; exits 0 only when the job
// finished ("转换处理完成！"). Built twice: gui-split-driver with the skin engine, and
// gui-split-driver-plain, whose skin hooks do nothing (the figure without the skin).
#include <windows.h>

#include <chrono>
#include <cstdio>
#include <string>

#include "app/frm_main.h"
#include "platform/settings_store.h"
#include "platform/text_convert.h"
#include "skin/skin_engine.h"

#ifdef TARNWICK_DRIVER_WITHOUT_SKIN
// The window's three skin hook points call these; here they leave the window plain.
namespace modSkinner {
LONG SkinForm(HWND) {
  return 0;
}
LONG UnskinForm(HWND) {
  return 0;
}
}  // namespace modSkinner
#endif

namespace {

using Clock = std::chrono::steady_clock;

Clock::time_point g_clicked;
Clock::time_point g_job_began;
double g_seconds = -1;
double g_job_seconds = -1;
UINT_PTR g_timer = 0;
std::wstring g_message;

// A visible message box of this thread, or null.
HWND FindMessageBox() {
  HWND found = nullptr;
  EnumThreadWindows(
      GetCurrentThreadId(),
      [](HWND hwnd, LPARAM result) -> BOOL {
        wchar_t class_name[16] = {};
        GetClassNameW(hwnd, class_name, 16);
        if (IsWindowVisible(hwnd) && lstrcmpW(class_name, L"#32770") == 0) {
          *reinterpret_cast<HWND*>(result) = hwnd;
          return FALSE;
        }
        return TRUE;
      },
      reinterpret_cast<LPARAM>(&found));
  return found;
}

// Answers the job's final message box: notes the time and its text, then presses OK.
void CALLBACK AnswerMessageBox(HWND, UINT, UINT_PTR, DWORD) {
  HWND box = FindMessageBox();
  if (!box || g_seconds >= 0) return;
  g_seconds = std::chrono::duration<double>(Clock::now() - g_clicked).count();
  wchar_t text[1024] = {};
  GetDlgItemTextW(box, 0xFFFF, text, 1024);
  g_message = text;
  PostMessageW(box, WM_COMMAND, IDOK, 0);
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  if (argc < 3) {
    std::fprintf(stderr,
                 "usage: gui-split-driver SOURCE FOLDER [LINES_PER_FILE [NAME=VALUE]...]\n");
    return 2;
  }
  const std::wstring settings = L"TarnwickBenchDriver";
  tarnwick::platform::DeleteApplicationSettings(settings);
  for (int i = 4; i < argc; ++i) {
    const std::wstring setting = argv[i];
    const std::size_t equals = setting.find(L'=');
    if (equals == std::wstring::npos) {
      std::fprintf(stderr, "gui-split-driver: a setting is NAME=VALUE\n");
      return 2;
    }
    tarnwick::platform::SaveSetting(settings, tarnwick::app::kSettingsSection,
                                    setting.substr(0, equals), setting.substr(equals + 1));
  }
  tarnwick::app::FormOptions options;
  options.settings_application = settings;
  options.quit_on_destroy = false;
  options.start_command = [](const std::wstring&, const std::wstring&) { return true; };
  // The box is looked for only once the job has ended: a timer that ran through the job
  // would cost it a walk over the thread's windows every few milliseconds.
  options.job_observer = [](bool begins) {
    if (begins) {
      g_job_began = Clock::now();
    } else {
      g_job_seconds = std::chrono::duration<double>(Clock::now() - g_job_began).count();
      g_timer = SetTimer(nullptr, 0, 10, &AnswerMessageBox);
    }
  };
  auto form = tarnwick::app::frmMain::Create(options);
  if (!form) {
    std::fprintf(stderr, "gui-split-driver: cannot create the window\n");
    return 1;
  }
  // A skinned command button keeps its previous window procedure in this property.
  const bool skinned = GetPropW(form->Control(L"Command2"), L"PROCADDR") != nullptr;
  ShowWindow(form->hWnd(), SW_SHOWNOACTIVATE);
  SendMessageW(form->Control(L"Text4"), WM_SETTEXT, 0, reinterpret_cast<LPARAM>(argv[1]));
  SendMessageW(form->Control(L"Text2"), WM_SETTEXT, 0, reinterpret_cast<LPARAM>(argv[2]));
  SendMessageW(form->Control(L"Text1"), WM_SETTEXT, 0,
               reinterpret_cast<LPARAM>(argc >= 4 ? argv[3] : L"1000"));

  // A user clicks some time after the window has appeared: let its painting and the start
  // of the process (here and in the Wine and X servers) settle first, or the job would
  // share the cores with them.
  const Clock::time_point settled = Clock::now() + std::chrono::seconds(1);
  for (Clock::time_point now = Clock::now(); now < settled; now = Clock::now()) {
    const auto wait = std::chrono::duration_cast<std::chrono::milliseconds>(settled - now);
    MsgWaitForMultipleObjects(0, nullptr, FALSE, static_cast<DWORD>(wait.count()) + 1,
                              QS_ALLINPUT);
    MSG message;
    while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
      TranslateMessage(&message);
      DispatchMessageW(&message);
    }
  }
  g_clicked = Clock::now();
  SendMessageW(form->Control(L"Command2"), BM_CLICK, 0, 0);  // returns when the job has ended
  if (g_timer != 0) KillTimer(nullptr, g_timer);
  form.reset();
  tarnwick::platform::DeleteApplicationSettings(settings);

  const std::string message = tarnwick::platform::WideToUtf8(g_message);
  std::printf("gui job: %.3f s; engine: %.3f s; skin: %s; message: %s\n", g_seconds, g_job_seconds,
              skinned ? "attached" : "off", message.c_str());
  return g_message == L"转换处理完成！" ? 0 : 1;
}
