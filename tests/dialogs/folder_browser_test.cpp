// BrowseForFolder: what it asks the shell for, what it returns, and that the item list is
// freed on every path that obtained one; plus the real picker under Wine.
#include <gtest/gtest.h>
#include <windows.h>

#include <filesystem>

#include "dialogs/folder_browser.h"
#include "ui_test_support.h"

namespace tarnwick::modCommon {
namespace {

// A shell stand-in: records the request, returns a scripted item and path, counts frees.
struct FakeShell {
  static inline BROWSEINFOW request{};
  static inline std::wstring prompt;
  static inline bool cancel = false;
  static inline const wchar_t* path = nullptr;  // null: the item has no file-system path
  static inline ITEMIDLIST item{};
  static inline int frees = 0;
  static inline void* freed = nullptr;

  static PIDLIST_ABSOLUTE WINAPI Browse(LPBROWSEINFOW info) {
    request = *info;
    prompt = info->lpszTitle;
    return cancel ? nullptr : reinterpret_cast<PIDLIST_ABSOLUTE>(&item);
  }
  static BOOL WINAPI GetPath(PCIDLIST_ABSOLUTE, LPWSTR buffer) {
    if (!path) return FALSE;
    lstrcpyW(buffer, path);
    return TRUE;
  }
  static void WINAPI Free(LPVOID memory) {
    ++frees;
    freed = memory;
  }
  static ShellFolderApi Api() { return ShellFolderApi{&Browse, &GetPath, &Free}; }
  static void Reset(bool cancelled, const wchar_t* result) {
    request = {};
    prompt.clear();
    cancel = cancelled;
    path = result;
    frees = 0;
    freed = nullptr;
  }
};

TEST(BrowseForFolder, ReturnsThePathAsGivenAndFreesTheItemList) {
  const HWND owner = reinterpret_cast<HWND>(0x1234);
  FakeShell::Reset(false, L"D:\\输出\\part");
  EXPECT_EQ(BrowseForFolder(owner, L"请选择一个目录.", FakeShell::Api()), L"D:\\输出\\part");
  EXPECT_EQ(FakeShell::request.hwndOwner, owner);
  EXPECT_EQ(FakeShell::request.pidlRoot, nullptr);
  EXPECT_EQ(FakeShell::request.pszDisplayName, nullptr);
  EXPECT_EQ(FakeShell::request.ulFlags, static_cast<UINT>(BIF_RETURNONLYFSDIRS));
  EXPECT_EQ(FakeShell::request.lpfn, nullptr);
  EXPECT_EQ(FakeShell::prompt, L"请选择一个目录.");
  EXPECT_EQ(FakeShell::frees, 1);
  EXPECT_EQ(FakeShell::freed, &FakeShell::item);

  FakeShell::Reset(false, L"C:\\");  // a drive's root keeps its "\"
  EXPECT_EQ(BrowseForFolder(owner, L"x", FakeShell::Api()), L"C:\\");
  EXPECT_EQ(FakeShell::frees, 1);

  FakeShell::Reset(false, nullptr);  // no file-system path: empty, still freed
  EXPECT_EQ(BrowseForFolder(owner, L"x", FakeShell::Api()), L"");
  EXPECT_EQ(FakeShell::frees, 1);

  FakeShell::Reset(true, L"unused");  // cancelled: nothing to free
  EXPECT_EQ(BrowseForFolder(owner, L"x", FakeShell::Api()), L"");
  EXPECT_EQ(FakeShell::frees, 0);
}

TEST(BrowseForFolder, RealPickerCancelledOrConfirmed) {
  {
    testing::DialogResponder responder;
    responder.Queue(testing::DialogResponder::PressCancel());
    EXPECT_EQ(BrowseForFolder(nullptr, L"请选择一个目录."), L"");
    EXPECT_EQ(responder.Seen().size(), 1u);
  }
  // The system drive's root chosen in the tree: its path as the system spells it, "\"
  // included.
  testing::DialogResponder responder;
  bool selected = false;
  responder.Queue([&](HWND picker) {
    selected = testing::SelectDriveRootInPicker(picker);
    testing::DialogResponder::PressOk()(picker);
  });
  const std::wstring chosen = BrowseForFolder(nullptr, L"请选择一个目录.");
  ASSERT_EQ(responder.Seen().size(), 1u);
  ASSERT_TRUE(selected);
  EXPECT_EQ(chosen, L"C:\\");
}

}  // namespace
}  // namespace tarnwick::modCommon
