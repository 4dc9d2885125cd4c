// The program: the main window and its message loop.
//   tarnwick.exe [PATH]...   the paths fill the window's boxes (a file dropped on the program's
//                            icon or a shortcut, the Send To menu)
#include <windows.h>
#include <objbase.h>
#include <shellapi.h>

#include <string>
#include <vector>

#include "app/frm_main.h"
#include "platform/dll_search.h"
#include "platform/message_pump.h"
#include "platform/running_mark.h"

namespace {

// The arguments after the program's name, as Windows splits the command line.
std::vector<std::wstring> CommandLineArguments() {
  int count = 0;
  LPWSTR* arguments = CommandLineToArgvW(GetCommandLineW(), &count);
  if (!arguments) return {};
  std::vector<std::wstring> result(arguments + (count > 0 ? 1 : 0), arguments + count);
  LocalFree(arguments);
  return result;
}

}  // namespace

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int show_command) {
  // DLLs loaded from now on come from the system folder only, never from beside the program.
  tarnwick::platform::RestrictDllSearchToSystem();
  // Tells the installer and the uninstaller that the program runs, until it ends.
  const tarnwick::platform::RunningMark running;
  // The shell's dialogs expect a single-threaded apartment.
  const HRESULT com = CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
  int exit_code = 1;
  {
    auto form = tarnwick::app::frmMain::Create();
    if (form) {
      ShowWindow(form->hWnd(), show_command);
      UpdateWindow(form->hWnd());
      form->OpenPaths(CommandLineArguments());
      exit_code = tarnwick::platform::RunMessageLoop(form->hWnd(), form->Accelerators());
    }
  }
  if (SUCCEEDED(com)) CoUninitialize();
  return exit_code;
}
