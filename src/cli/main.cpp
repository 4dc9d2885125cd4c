// Entry point of tarnwick-split: gathers the arguments as UTF-8, connects the console and
// Ctrl-C, and runs the command line.
#include <cstdio>
#include <string>
#include <vector>

#include "cli/cli.h"
#include "cli/interrupt.h"

#ifdef _WIN32
#include <windows.h>
#include <shellapi.h>

#include "cli/console_text.h"
#include "platform/dll_search.h"
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

// The arguments after the program name, from the UTF-16 command line.
std::vector<std::string> Arguments() {
  std::vector<std::string> args;
  int count = 0;
  wchar_t** wide = CommandLineToArgvW(GetCommandLineW(), &count);
  if (wide == nullptr) return args;
  for (int i = 1; i < count; ++i) args.push_back(tarnwick::WideToUtf8(wide[i]));
  LocalFree(wide);
  return args;
}
#else
class SystemConsole final : public tarnwick::cli::Console {
 public:
  void Out(std::string_view text) override { std::fwrite(text.data(), 1, text.size(), stdout); }
  void Err(std::string_view text) override { std::fwrite(text.data(), 1, text.size(), stderr); }
  bool ErrIsTerminal() override { return isatty(STDERR_FILENO) == 1; }
};
#endif

}  // namespace

int main([[maybe_unused]] int argc, [[maybe_unused]] char** argv) {
#ifdef _WIN32
  // DLLs loaded from now on come from the system folder only, never from beside the program.
  tarnwick::platform::RestrictDllSearchToSystem();
  const std::vector<std::string> args = Arguments();
#else
  const std::vector<std::string> args(argv + 1, argv + argc);
#endif
  tarnwick::cli::InstallInterruptHandler();
  SystemConsole console;
  const int status = tarnwick::cli::RunCommandLine(args, console, tarnwick::SystemFileSystem());
  std::fflush(stdout);
  return status;
}
