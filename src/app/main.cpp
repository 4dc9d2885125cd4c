// The program: the main window and its message loop.
#include <windows.h>
#include <objbase.h>

#include "app/frm_main.h"
#include "platform/dll_search.h"
#include "platform/message_pump.h"
#include "platform/running_mark.h"

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
      exit_code = tarnwick::platform::RunMessageLoop(form->hWnd());
    }
  }
  if (SUCCEEDED(com)) CoUninitialize();
  return exit_code;
}
