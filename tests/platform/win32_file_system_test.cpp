// The Win32 file layer: the extended-length form of paths, and a split through a source
// and a folder whose paths are longer than the old limit of 260 characters.
#include <gtest/gtest.h>
#include <windows.h>

#include <string>

#include "../splitter/memory_file_system.h"
#include "platform/win32_file_system.h"
#include "splitter/split_job.h"

namespace tarnwick {
namespace {

std::wstring CurrentFolder() {
  wchar_t folder[MAX_PATH];
  const DWORD length = GetCurrentDirectoryW(MAX_PATH, folder);
  return std::wstring(folder, length);
}

TEST(ExtendedLengthPath, DriveUncRelativePrefixedAndForwardSlashes) {
  EXPECT_EQ(ExtendedLengthPath(L"C:\\data\\in.txt"), L"\\\\?\\C:\\data\\in.txt");
  EXPECT_EQ(ExtendedLengthPath(L"C:\\data\\.\\old\\..\\in.txt"), L"\\\\?\\C:\\data\\in.txt");
  EXPECT_EQ(ExtendedLengthPath(L"C:/data/sub/in.txt"), L"\\\\?\\C:\\data\\sub\\in.txt");
  EXPECT_EQ(ExtendedLengthPath(L"\\\\server\\share\\dir\\in.txt"),
            L"\\\\?\\UNC\\server\\share\\dir\\in.txt");
  EXPECT_EQ(ExtendedLengthPath(L"//server/share/in.txt"), L"\\\\?\\UNC\\server\\share\\in.txt");
  // Already in the extended form, or a device: unchanged, "." and ".." included.
  EXPECT_EQ(ExtendedLengthPath(L"\\\\?\\C:\\a\\..\\b.txt"), L"\\\\?\\C:\\a\\..\\b.txt");
  EXPECT_EQ(ExtendedLengthPath(L"\\\\?\\UNC\\server\\share\\x"), L"\\\\?\\UNC\\server\\share\\x");
  EXPECT_EQ(ExtendedLengthPath(L"\\\\.\\pipe\\name"), L"\\\\.\\pipe\\name");
  EXPECT_EQ(ExtendedLengthPath(L"\\??\\C:\\a\\..\\b.txt"), L"\\??\\C:\\a\\..\\b.txt");
  EXPECT_EQ(ExtendedLengthPath(L"\\??\\UNC\\server\\share\\x"), L"\\??\\UNC\\server\\share\\x");
  EXPECT_EQ(ExtendedLengthPath(L""), L"");

  // Relative paths, "." and ".." against the current folder.
  const std::wstring current = CurrentFolder();
  ASSERT_GE(current.size(), 3u);
  std::wstring base = current;
  if (base.back() != L'\\') base += L'\\';
  EXPECT_EQ(ExtendedLengthPath(L"in.txt"), L"\\\\?\\" + base + L"in.txt");
  EXPECT_EQ(ExtendedLengthPath(L".\\sub/in.txt"), L"\\\\?\\" + base + L"sub\\in.txt");
  EXPECT_EQ(ExtendedLengthPath(L"sub\\..\\in.txt"), L"\\\\?\\" + base + L"in.txt");
  EXPECT_EQ(ExtendedLengthPath(L"\\in.txt"), L"\\\\?\\" + current.substr(0, 2) + L"\\in.txt");
}

// Makes each folder of a path given in the extended form.
void CreateFolders(const std::wstring& extended) {
  for (std::size_t at = extended.find(L'\\', 7); at != std::wstring::npos;
       at = extended.find(L'\\', at + 1)) {
    CreateDirectoryW(extended.substr(0, at).c_str(), nullptr);
  }
  CreateDirectoryW(extended.c_str(), nullptr);
}

TEST(LongPaths, SplitsThroughPathsOfThreeHundredCharacters) {
  wchar_t temp[MAX_PATH];
  const DWORD length = GetTempPathW(MAX_PATH, temp);
  std::wstring folder(temp, length);
  folder += L"tarnwick-long-" + std::to_wstring(GetCurrentProcessId());
  const std::wstring root = folder;
  while (folder.size() < 300) folder += L"\\" + std::wstring(40, L'长');
  ASSERT_GE(folder.size(), 300u);
  CreateFolders(L"\\\\?\\" + folder);
  const std::wstring source = folder + L"\\源文件.txt";
  {
    const HANDLE file = CreateFileW((L"\\\\?\\" + source).c_str(), GENERIC_WRITE, 0, nullptr,
                                    CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    ASSERT_NE(file, INVALID_HANDLE_VALUE);
    DWORD written = 0;
    WriteFile(file, "a\r\nb\r\nc\r\n", 9, &written, nullptr);
    CloseHandle(file);
  }

  // The job gets the plain paths, as the window and the command line hand them over.
  testing::ScriptedHost host;
  host.source = WideToUtf8(source);
  host.folder = WideToUtf8(folder);
  host.lines_per_file = 2;
  EXPECT_EQ(RunSplit(host, SystemFileSystem()), SplitOutcome::kFinished)
      << (host.error ? host.error->reason : "");

  std::string error;
  auto first = SystemFileSystem().OpenRead(WideToUtf8(folder + L"\\1.txt"), error);
  ASSERT_NE(first, nullptr) << error;
  char bytes[16];
  EXPECT_EQ(first->Read(bytes, sizeof(bytes), error), 6);
  EXPECT_EQ(std::string(bytes, 6), "a\r\nb\r\n");
  first.reset();

  // Cleaning up: the files, then the folders from the deepest up.
  for (const wchar_t* name : {L"\\1.txt", L"\\2.txt", L"\\源文件.txt"}) {
    DeleteFileW((L"\\\\?\\" + folder + name).c_str());
  }
  for (std::wstring path = folder; path.size() > root.size(); path.resize(path.rfind(L'\\'))) {
    RemoveDirectoryW((L"\\\\?\\" + path).c_str());
  }
  RemoveDirectoryW((L"\\\\?\\" + root).c_str());
}

}  // namespace
}  // namespace tarnwick
