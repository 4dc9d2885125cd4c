// Entry point of tarnwick-split: gathers the arguments as UTF-8, connects the console and
// Ctrl-C, and runs the command line.
#include <cstdio>
#include <string>
#include <vector>

#include "cli/cli.h"
#include "cli/interrupt.h"

#ifdef _WIN32
#include <windows.h>

#include "cli/console_text.h"
#include "platform/dll_search.h"
#include "platform/running_mark.h"
#include "platform/win32_file_system.h"
#else
#include <unistd.h>
#endif

namespace {

#ifdef _WIN32
class SystemConsole final : public tarnwick::cli::Console {
 public:
  void Out(std::string_view text) override {
    tarnwick::cli::WriteStandardText(STD_OUTPUT_HANDLE, text);
  }
  void Err(std::string_view text) override {
    tarnwick::cli::WriteStandardText(STD_ERROR_HANDLE, text);
  }
  bool ErrIsTerminal() override {
    DWORD mode = 0;
    return GetConsoleMode(GetStdHandle(STD_ERROR_HANDLE), &mode) != 0;
  }
};

#else
class SystemConsole final : public tarnwick::cli::Console {
 public:
  void Out(std::string_view text) override { std::fwrite(text.data(), 1, text.size(), stdout); }
  void Err(std::string_view text) override { std::fwrite(text.data(), 1, text.size(), stderr); }
  bool ErrIsTerminal() override { return isatty(STDERR_FILENO) == 1; }
};
#endif

// Runs the command line with the arguments after the program name.
int Run(const std::vector<std::string>& args) {
  tarnwick::cli::InstallInterruptHandler(tarnwick::SystemFileSystem());
  SystemConsole console;
  const int status = tarnwick::cli::RunCommandLine(args, console, tarnwick::SystemFileSystem());
  std::fflush(stdout);
  return status;
}

}  // namespace

#ifdef _WIN32
// The UTF-16 arguments from the C runtime (linked with -municode): no shell32, which would
// load user32 and so keep the log-off and shut-down events from the console handler.
int wmain(int argc, wchar_t** argv) {
  // DLLs loaded from now on come from the system folder only, never from beside the program.
  tarnwick::platform::RestrictDllSearchToSystem();
  // Tells the installer and the uninstaller that the program runs, until it ends.
  const tarnwick::platform::RunningMark running;
  std::vector<std::string> args;
  for (int i = 1; i < argc; ++i) args.push_back(tarnwick::WideToUtf8(argv[i]));
  return Run(args);
}
#else
int main(int argc, char** argv) {
  return Run(std::vector<std::string>(argv + 1, argv + argc));
}
#endif
