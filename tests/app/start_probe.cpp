// A helper program for the command-start test: writes how it was asked to show its window
// (the start-up flags and show command it received) into the file named by its argument.
#include <windows.h>

#include <cstdio>

int wmain(int argc, wchar_t** argv) {
  if (argc < 2) return 2;
  STARTUPINFOW startup{};
  startup.cb = sizeof(startup);
  GetStartupInfoW(&startup);
  FILE* out = _wfopen(argv[1], L"w");
  if (!out) return 1;
  std::fprintf(out, "%lu %u", static_cast<unsigned long>(startup.dwFlags & STARTF_USESHOWWINDOW),
               static_cast<unsigned>(startup.wShowWindow));
  std::fclose(out);
  return 0;
}
