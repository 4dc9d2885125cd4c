// cFileDialog: its record and stored values, the filter conversion, the Filename setter,
// ParseMultiFileName, and the real Open and Save dialogs under Wine (cancel error, a typed
// file, a multiple selection).
#include <gtest/gtest.h>
#include <windows.h>

#include <string>

#include "dialogs/file_dialog.h"
#include "ui_test_support.h"

namespace tarnwick::dialogs {
namespace {

using namespace std::string_literals;
using testing::DialogResponder;

// The record's double-NUL-terminated text, NULs included.
std::wstring DoubleNulText(const wchar_t* text) {
  std::wstring result;
  while (text[0] || text[1]) result += *text++;
  return result + std::wstring(2, L'\0');
}

// The file name box of a file dialog: the combo box's edit (Explorer style) or the edit.
HWND FileNameBox(HWND dialog) {
  HWND box = GetDlgItem(dialog, 0x047C);
  if (box && testing::ClassName(box) == L"ComboBoxEx32") box = GetWindow(box, GW_CHILD);
  if (box && testing::ClassName(box) != L"Edit")
    box = FindWindowExW(box, nullptr, L"Edit", nullptr);
  return box ? box : GetDlgItem(dialog, 0x0480);
}

DialogResponder::Answer TypeAndPressOk(std::wstring name) {
  return [name](HWND dialog) {
    testing::TypeText(FileNameBox(dialog), name);
    DialogResponder::PressOk()(dialog);
  };
}

TEST(cFileDialog, PropertiesFillTheRecord) {
  cFileDialog dialog;
  EXPECT_EQ(dialog.Record().lStructSize, static_cast<DWORD>(OPENFILENAME_SIZE_VERSION_400W));
  EXPECT_EQ(dialog.FilterIndex(), 1);
  EXPECT_EQ(dialog.Record().lpstrTitle, nullptr);  // the system's default caption
  dialog.Filter(L"文本文件(*.TXT)|*.txt");
  EXPECT_EQ(dialog.Filter(), L"文本文件(*.TXT)|*.txt");
  EXPECT_EQ(DoubleNulText(dialog.Record().lpstrFilter), L"文本文件(*.TXT)\0*.txt\0\0"s);
  dialog.Filter(L"Logs: old|*.log|All|*.*");  // ":" splits too
  EXPECT_EQ(DoubleNulText(dialog.Record().lpstrFilter), L"Logs\0 old\0*.log\0All\0*.*\0\0"s);
  EXPECT_THROW(dialog.Filter(std::wstring(32768, L'x')), std::overflow_error);
  EXPECT_EQ(dialog.Filter(), L"Logs: old|*.log|All|*.*");  // unchanged
  dialog.Filter(std::wstring(32767, L'x'));                // the longest that fits

  dialog.DefaultExt(L"txt");
  EXPECT_EQ(DoubleNulText(dialog.Record().lpstrDefExt), L"txt\0\0"s);
  dialog.InitDir(L"C:\\数据");
  EXPECT_EQ(dialog.InitDir(), L"C:\\数据");
  EXPECT_EQ(DoubleNulText(dialog.Record().lpstrInitialDir), L"C:\\数据\0\0"s);
  dialog.DialogTitle(L"打开");
  EXPECT_EQ(dialog.DialogTitle(), L"打开");
  dialog.FilterIndex(3);
  EXPECT_EQ(dialog.Record().nFilterIndex, 3u);
  dialog.hWnd(reinterpret_cast<HWND>(0x10));
  EXPECT_EQ(dialog.Record().hwndOwner, reinterpret_cast<HWND>(0x10));
}

TEST(cFileDialog, FilenameSetterFillsTheBufferAndRefusesOverLongNames) {
  cFileDialog dialog;
  dialog.Filename(L"C:\\a.txt");
  const std::wstring buffer(dialog.Record().lpstrFile, 1026);
  EXPECT_EQ(buffer, L"C:\\a.txt" + std::wstring(1016, L' ') + std::wstring(2, L'\0'));
  dialog.Filename(std::wstring(1024, L'n'));  // the longest accepted
  const std::wstring too_long(1025, L'n');
  EXPECT_THROW(dialog.Filename(too_long), std::invalid_argument);
  EXPECT_EQ(dialog.Filename(), too_long);  // stored before the failure
}

TEST(cFileDialog, ParseMultiFileNameSplitsWhatAnOpenLeaves) {
  cFileDialog dialog;
  std::wstring dir;
  std::vector<std::wstring> files;
  long count = 0;
  // Several files: folder, names, double NUL, fill.
  dialog.Filename(L"C:\\数据\0a.txt\0b.txt\0\0"s + std::wstring(100, L'\0'));
  dialog.ParseMultiFileName(dir, files, count);
  EXPECT_EQ(dir, L"C:\\数据");
  EXPECT_EQ(files, (std::vector<std::wstring>{L"a.txt", L"b.txt"}));
  EXPECT_EQ(count, 2);
  // The count goes on from the value passed; earlier names stay.
  dialog.Filename(L"D:\\x\0c.txt\0\0"s);
  dialog.ParseMultiFileName(dir, files, count);
  EXPECT_EQ(dir, L"D:\\x");
  EXPECT_EQ(files, (std::vector<std::wstring>{L"a.txt", L"b.txt", L"c.txt"}));
  EXPECT_EQ(count, 3);
  // One file chosen with multiple selection allowed: folder with "\", one name.
  dialog.Filename(L"C:\\数据\\a.txt\0\0"s + std::wstring(50, L'\0'));
  dialog.ParseMultiFileName(dir, files, count);
  EXPECT_EQ(dir, L"C:\\数据\\");
  EXPECT_EQ(files, std::vector<std::wstring>{L"a.txt"});
  EXPECT_EQ(count, 1);
  // A plain path without NULs, and a bare name.
  dialog.Filename(L"C:\\dir\\b.txt");
  count = 7;
  dialog.ParseMultiFileName(dir, files, count);
  EXPECT_EQ(dir, L"C:\\dir\\");
  EXPECT_EQ(files, std::vector<std::wstring>{L"b.txt"});
  EXPECT_EQ(count, 1);
  dialog.Filename(L"b.txt");
  dialog.ParseMultiFileName(dir, files, count);
  EXPECT_EQ(dir, L"");
  EXPECT_EQ(files, std::vector<std::wstring>{L"b.txt"});
}

TEST(cFileDialog, CancelReportsError32755OnlyWhenAsked) {
  cFileDialog dialog;
  DialogResponder responder;
  responder.Queue(DialogResponder::PressCancel());
  dialog.ShowOpen();  // CancelError false: quietly
  EXPECT_EQ(dialog.Filename(), L"");

  dialog.CancelError(true);
  responder.Queue(DialogResponder::PressCancel());
  try {
    dialog.ShowOpen();
    ADD_FAILURE() << "no cancel error";
  } catch (const CommonDialogError& error) {
    EXPECT_EQ(error.Number(), 32755);
    EXPECT_EQ(error.Source(), L"dialogs_file_dialog_test.cFileDialog");
    EXPECT_EQ(error.Description(), L"User selected cancel.");
  }
  EXPECT_EQ(dialog.Filename(), L"");

  responder.Queue(DialogResponder::PressCancel());
  try {
    dialog.ShowSave();
    ADD_FAILURE() << "no cancel error";
  } catch (const CommonDialogError& error) {
    EXPECT_EQ(error.Number(), 32755);
    EXPECT_EQ(error.Source(), L"dialogs_file_dialog_test.cFilenDialog");
  }
  EXPECT_EQ(responder.Seen().size(), 3u);
}

TEST(cFileDialog, ShowOpenTakesTheChosenFileAndKeepsItsFlags) {
  testing::TempFolder folder;
  testing::WriteBytes(folder / L"甲.txt", "1");
  testing::WriteBytes(folder / L"b.txt", "2");
  cFileDialog dialog;
  dialog.Filter(L"文本文件(*.TXT)|*.txt");
  dialog.Flags(OFN_FILEMUSTEXIST);
  dialog.InitDir(folder.Path().wstring());
  DialogResponder responder;
  responder.Queue(TypeAndPressOk(L"甲.txt"));
  dialog.ShowOpen();
  EXPECT_EQ(dialog.Filename(), (folder / L"甲.txt").wstring());
  EXPECT_EQ(dialog.Flags(), OFN_FILEMUSTEXIST);  // what the system returns is not copied back
  EXPECT_EQ(dialog.Record().nMaxFile, 1024u);

  // Multiple selection: the whole buffer is kept for ParseMultiFileName.
  dialog.Flags(OFN_FILEMUSTEXIST | OFN_ALLOWMULTISELECT);
  dialog.Filename(L"");
  responder.Queue(TypeAndPressOk(L"\"甲.txt\" \"b.txt\""));
  dialog.ShowOpen();
  EXPECT_TRUE(dialog.Record().Flags & OFN_EXPLORER);
  EXPECT_EQ(dialog.Record().nMaxFile, 8192u);
  EXPECT_EQ(dialog.Filename().size(), 8192u);
  std::wstring dir;
  std::vector<std::wstring> files;
  long count = 0;
  dialog.ParseMultiFileName(dir, files, count);
  EXPECT_EQ(dir, folder.Path().wstring());
  EXPECT_EQ(files, (std::vector<std::wstring>{L"甲.txt", L"b.txt"}));
  EXPECT_EQ(count, 2);
  EXPECT_EQ(responder.Seen().size(), 2u);
}

TEST(cFileDialog, AnOverLongStoredNameIsNotHandedToTheDialog) {
  cFileDialog dialog;
  EXPECT_THROW(dialog.Filename(std::wstring(3000, L'n')), std::invalid_argument);
  DialogResponder responder;
  std::wstring shown = L"?";
  responder.Queue([&](HWND box) {
    shown = testing::WindowText(FileNameBox(box));
    DialogResponder::PressCancel()(box);
  });
  dialog.ShowOpen();
  EXPECT_EQ(shown, L"");
  EXPECT_EQ(dialog.Filename().size(), 3000u);  // kept after the cancel
}

}  // namespace
}  // namespace tarnwick::dialogs
