// The main window's two choose buttons through the real dialogs: the Open dialog of
// Command1 (its filter, owner, the must-exist flag, cancel) and the folder picker of
// Command3 (cancel, and a drive root followed through to the names of the output files).
#include <gtest/gtest.h>
#include <windows.h>

#include <memory>

#include "app/frm_main.h"
#include "platform/settings_store.h"
#include "platform/text_convert.h"
#include "ui_test_support.h"

namespace tarnwick::app {
namespace {

using testing::Click;
using testing::DialogResponder;
using testing::TempFolder;
using testing::TypeText;
using testing::WindowText;

// The system's files, except that every output file is recorded by the path the job asked
// for and written into a folder of the test instead.
class RedirectingFileSystem : public FileSystem {
 public:
  explicit RedirectingFileSystem(std::filesystem::path folder) : folder_(std::move(folder)) {}
  std::unique_ptr<InputFile> OpenRead(const std::string& path, std::string& error) override {
    return SystemFileSystem().OpenRead(path, error);
  }
  std::unique_ptr<OutputFile> OpenAppend(const std::string& path, std::string& error) override {
    asked_.push_back(path);
    const std::string name = path.substr(path.find_last_of('\\') + 1);
    return SystemFileSystem().OpenAppend(platform::WideToUtf8((folder_ / name).wstring()), error);
  }
  const std::vector<std::string>& Asked() const { return asked_; }

 private:
  std::filesystem::path folder_;
  std::vector<std::string> asked_;
};

// The edit of the file name box of a file dialog (Explorer style or old style).
HWND FileNameBox(HWND dialog) {
  HWND box = GetDlgItem(dialog, 0x047C);
  if (box && testing::ClassName(box) != L"Edit") {
    HWND edit = FindWindowExW(box, nullptr, L"Edit", nullptr);
    if (!edit) edit = FindWindowExW(GetWindow(box, GW_CHILD), nullptr, L"Edit", nullptr);
    box = edit;
  }
  return box ? box : GetDlgItem(dialog, 0x0480);
}

class ChooseButtonsTest : public ::testing::Test {
 protected:
  void SetUp() override { platform::DeleteApplicationSettings(settings_); }
  void TearDown() override {
    form_.reset();
    platform::DeleteApplicationSettings(settings_);
  }
  void Open(FileSystem* files = nullptr) {
    FormOptions options;
    options.settings_application = settings_;
    options.quit_on_destroy = false;
    options.file_system = files;
    form_ = frmMain::Create(options);
    ASSERT_NE(form_, nullptr);
  }
  HWND Ctl(const wchar_t* name) const { return form_->Control(name); }

  const std::wstring settings_ = L"TarnwickDialogsTest" + std::to_wstring(GetCurrentProcessId());
  std::unique_ptr<frmMain> form_;
};

TEST_F(ChooseButtonsTest, OpenDialogIsOwnedFilteredAndWantsAnExistingFile) {
  TempFolder folder;
  Open();
  TypeText(Ctl(L"Text4"), L"old source");
  HWND owner = nullptr;
  std::vector<std::wstring> filters;
  DialogResponder responder;
  // A name that does not exist: the dialog refuses it with a message of its own.
  responder.Queue([&](HWND dialog) {
    owner = GetWindow(dialog, GW_OWNER);
    HWND types = GetDlgItem(dialog, 0x0470);
    const LRESULT count = SendMessageW(types, CB_GETCOUNT, 0, 0);
    for (LRESULT i = 0; i < count; ++i) {
      wchar_t text[128] = {};
      SendMessageW(types, CB_GETLBTEXT, i, reinterpret_cast<LPARAM>(text));
      filters.push_back(text);
    }
    TypeText(FileNameBox(dialog), (folder / L"无此文件.txt").wstring());
    DialogResponder::PressOk()(dialog);
  });
  responder.Queue(DialogResponder::PressOk());      // the refusal
  responder.Queue(DialogResponder::PressCancel());  // the Open dialog, still open
  Click(Ctl(L"Command1"));

  EXPECT_EQ(owner, form_->hWnd());
  EXPECT_EQ(filters, std::vector<std::wstring>{L"文本文件(*.TXT)"});
  ASSERT_EQ(responder.Seen().size(), 3u);
  EXPECT_FALSE(responder.Seen()[1].text.empty());  // a message box, not a second dialog
  // Cancelled in the end: reported by the dialog class, passed over by the handler.
  EXPECT_EQ(WindowText(Ctl(L"Text4")), L"old source");
}

TEST_F(ChooseButtonsTest, FolderPickerCancelKeepsTheFolderAndADriveRootNamesTheFiles) {
  TempFolder folder;
  RedirectingFileSystem files(folder.Path());
  Open(&files);
  TypeText(Ctl(L"Text2"), L"old folder");
  {
    DialogResponder responder;
    HWND owner = nullptr;
    HWND prompt = nullptr;
    responder.Queue([&](HWND picker) {
      owner = GetWindow(picker, GW_OWNER);
      prompt = FindWindowExW(picker, nullptr, L"Static", L"请选择一个目录.");
      DialogResponder::PressCancel()(picker);
    });
    Click(Ctl(L"Command3"));
    ASSERT_EQ(responder.Seen().size(), 1u);
    EXPECT_EQ(owner, form_->hWnd());
    EXPECT_NE(prompt, nullptr);
  }
  EXPECT_EQ(WindowText(Ctl(L"Text2")), L"old folder");

  DialogResponder responder;
  bool selected = false;
  responder.Queue([&](HWND picker) {
    selected = testing::SelectDriveRootInPicker(picker);
    DialogResponder::PressOk()(picker);
  });
  Click(Ctl(L"Command3"));
  ASSERT_TRUE(selected);
  EXPECT_EQ(WindowText(Ctl(L"Text2")), L"C:\\");

  // The root's "\" is the separator: C:\1.txt, C:\2.txt.
  testing::WriteBytes(folder / L"src.txt", "a\r\nb\r\nc\r\n");
  TypeText(Ctl(L"Text4"), (folder / L"src.txt").wstring());
  TypeText(Ctl(L"Text1"), L"2");
  Click(Ctl(L"Command2"));
  EXPECT_EQ(files.Asked(), (std::vector<std::string>{"C:\\1.txt", "C:\\2.txt"}));
  EXPECT_EQ(testing::ReadBytes(folder / L"1.txt"), "a\r\nb\r\n");
  EXPECT_EQ(testing::ReadBytes(folder / L"2.txt"), "c\r\n");
}

}  // namespace
}  // namespace tarnwick::app
