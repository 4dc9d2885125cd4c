// The main window's controller through the real window: settings, Start validation, jobs
// with their messages, Stop, the elapsed seconds and running total, closing and quitting
// during a job, drag and drop and the paths of the command line, the dialogs of Command1 and
// Command3, the link label, the 切分选项 dialog and its jobs against tarnwick-split's.
#include <gtest/gtest.h>
#include <windows.h>
#include <shlobj.h>

#include <algorithm>
#include <atomic>
#include <filesystem>
#include <map>
#include <memory>
#include <new>
#include <thread>

#include "app/frm_main.h"
#include "cli/cli.h"
#include "dialogs/split_options_dialog.h"
#include "platform/message_pump.h"
#include "platform/settings_store.h"
#include "platform/text_convert.h"
#include "platform/ui_metrics.h"
#include "ui_test_support.h"

namespace tarnwick::app {
namespace {

using namespace std::chrono_literals;
using testing::Click;
using testing::DialogIcon;
using testing::DialogResponder;
using testing::ReadBytes;
using testing::ScheduledAction;
using testing::TempFolder;
using testing::TypeText;
using testing::WindowText;
using testing::WriteBytes;

// A source file that delivers its bytes at a fixed rate, so that a small file makes a job
// of a known length; it can also fail after a number of bytes.
class PacedInput : public InputFile {
 public:
  PacedInput(std::unique_ptr<InputFile> inner, double bytes_per_second, std::int64_t fail_after,
             std::int64_t* delivered_total)
      : inner_(std::move(inner)),
        bytes_per_second_(bytes_per_second),
        fail_after_(fail_after),
        start_(GetTickCount64()),
        delivered_total_(delivered_total) {}
  std::int64_t Read(char* buffer, std::size_t capacity, std::string& error) override {
    if (fail_after_ >= 0 && delivered_ >= fail_after_) {
      error = "the device is not ready";
      return -1;
    }
    const ULONGLONG due = start_ + static_cast<ULONGLONG>(delivered_ * 1000 / bytes_per_second_);
    const ULONGLONG now = GetTickCount64();
    if (due > now) Sleep(static_cast<DWORD>(due - now));
    const std::int64_t got = inner_->Read(buffer, std::min<std::size_t>(capacity, 64), error);
    if (got > 0) delivered_ += got;
    if (delivered_total_) *delivered_total_ = delivered_;
    return got;
  }
  FileIdentity Identity() const override { return inner_->Identity(); }

 private:
  std::unique_ptr<InputFile> inner_;
  double bytes_per_second_;
  std::int64_t fail_after_;
  ULONGLONG start_;
  std::int64_t delivered_ = 0;
  std::int64_t* delivered_total_;
};

class PacedFileSystem : public FileSystem {
 public:
  explicit PacedFileSystem(double bytes_per_second, std::int64_t fail_after = -1)
      : bytes_per_second_(bytes_per_second), fail_after_(fail_after) {}
  std::unique_ptr<InputFile> OpenRead(const std::string& path, std::string& error) override {
    auto inner = SystemFileSystem().OpenRead(path, error);
    if (!inner) return nullptr;
    return std::make_unique<PacedInput>(std::move(inner), bytes_per_second_, fail_after_,
                                        &delivered_);
  }
  std::unique_ptr<OutputFile> OpenAppend(const std::string& path, std::string& error) override {
    return SystemFileSystem().OpenAppend(path, error);
  }
  // Bytes of the source handed to the job so far.
  std::int64_t Delivered() const { return delivered_; }

 private:
  double bytes_per_second_;
  std::int64_t fail_after_;
  std::int64_t delivered_ = 0;
};

// "line 1\r\n" ... "line count\r\n".
std::string NumberedLines(int count) {
  std::string text;
  for (int i = 1; i <= count; ++i) text += "line " + std::to_string(i) + "\r\n";
  return text;
}

class MainWindowTest : public ::testing::Test {
 protected:
  void SetUp() override { platform::DeleteApplicationSettings(settings_); }
  void TearDown() override {
    form_.reset();
    platform::DeleteApplicationSettings(settings_);
  }

  frmMain& Open(FileSystem* files = nullptr) {
    FormOptions options;
    options.settings_application = settings_;
    options.quit_on_destroy = false;
    options.file_system = files;
    options.start_command = [this](const std::wstring& application, const std::wstring& command) {
      applications_.push_back(application);
      commands_.push_back(command);
      return true;
    };
    form_ = frmMain::Create(options);
    EXPECT_NE(form_, nullptr);
    return *form_;
  }

  HWND Ctl(const wchar_t* name) const { return form_->Control(name); }
  std::wstring Text(const wchar_t* name) const { return WindowText(Ctl(name)); }
  std::wstring Stored() const {
    return platform::ReadSetting(settings_, kSettingsSection, kLinesPerFileKey).value_or(L"-");
  }
  // Fills in the three boxes and clicks Start; returns when the job (if any) has ended.
  void Start(const std::wstring& source, const std::wstring& folder, const std::wstring& lines) {
    TypeText(Ctl(L"Text4"), source);
    TypeText(Ctl(L"Text2"), folder);
    TypeText(Ctl(L"Text1"), lines);
    Click(Ctl(L"Command2"));
  }
  // Opens the 切分选项 dialog from the system menu; returns when it is closed.
  void OpenOptions() { SendMessageW(form_->hWnd(), WM_SYSCOMMAND, kSplitOptionsCommand, 0); }
  // Label3's sentence, without its line breaks.
  std::wstring Summary() const {
    std::wstring text = Text(L"Label3");
    std::erase(text, L'\n');
    return text;
  }
  // Right edge of Label7, in pixels from the right edge of iFrame5's client area.
  int Label7RightGap() const {
    RECT frame{};
    GetClientRect(Ctl(L"iFrame5"), &frame);
    return frame.right - testing::RectInParent(Ctl(L"Label7")).right;
  }
  void ExpectIdle() const {
    EXPECT_EQ(Text(L"Command2"), kStartCaption);
    EXPECT_FALSE(form_->Timer1Enabled());
    EXPECT_FALSE(form_->JobRunning());
  }

  const std::wstring settings_ = L"TarnwickTest" + std::to_wstring(GetCurrentProcessId());
  std::unique_ptr<frmMain> form_;
  std::vector<std::wstring> applications_;
  std::vector<std::wstring> commands_;
};

// Tests run cut by lines and by size (20 MB: one file), where the job reads the stop flag
// itself and pumps once per block rather than calling the window after every line.
class MainWindowModeTest : public MainWindowTest, public ::testing::WithParamInterface<bool> {
 protected:
  void UseCut() {
    if (GetParam())
      platform::SaveSetting(settings_, kSettingsSection, dialogs::keys::kCutBy, L"大小");
  }
};
INSTANTIATE_TEST_SUITE_P(BySize, MainWindowModeTest, ::testing::Bool());

TEST_F(MainWindowTest, LinesPerFileIsStoredAndFilledInAtLoad) {
  Open();
  EXPECT_EQ(Text(L"Text1"), L"1000");  // first start: the default
  EXPECT_EQ(Stored(), L"1000");

  TypeText(Ctl(L"Text1"), L"  250 ");  // stored as typed, spaces trimmed
  EXPECT_EQ(Stored(), L"250");
  form_.reset();
  Open();  // a second window
  EXPECT_EQ(Text(L"Text1"), L"250");

  form_.reset();
  platform::SaveSetting(settings_, kSettingsSection, kLinesPerFileKey, L"0012abc");
  Open();
  EXPECT_EQ(Text(L"Text1"), L"12");
  EXPECT_EQ(Stored(), L"12");

  TypeText(Ctl(L"Text1"), L"x7");  // non-numeric text is stored as typed ...
  EXPECT_EQ(Stored(), L"x7");
  form_.reset();
  Open();  // ... and reads back as its value, 0
  EXPECT_EQ(Text(L"Text1"), L"0");
}

TEST_F(MainWindowTest, NumbersTooLargeAndUnreadableSettingsAtLoad) {
  // A stored number too large to hold: shown and stored as the largest one that can be
  // held, never as "inf".
  platform::SaveSetting(settings_, kSettingsSection, kLinesPerFileKey, std::wstring(400, L'9'));
  Open();
  const std::wstring shown = Text(L"Text1");
  EXPECT_EQ(shown.size(), 309u) << platform::WideToUtf8(shown);
  EXPECT_EQ(shown.rfind(L"17976931348623157", 0), 0u) << platform::WideToUtf8(shown);
  EXPECT_EQ(Stored(), shown);
  form_.reset();

  // A setting that cannot be read (here: stored as a number, not a text) leaves Text1 as
  // it is, empty, and is not overwritten.
  const std::wstring key = L"Software\\" + settings_ + L"\\" + kSettingsSection;
  const DWORD number = 77;
  ASSERT_EQ(RegSetKeyValueW(HKEY_CURRENT_USER, key.c_str(), kLinesPerFileKey, REG_DWORD, &number,
                            sizeof(number)),
            ERROR_SUCCESS);
  Open();
  EXPECT_EQ(Text(L"Text1"), L"");
  const platform::StoredSetting stored =
      platform::ReadStoredSetting(settings_, kSettingsSection, kLinesPerFileKey);
  EXPECT_FALSE(stored.text.has_value());
  EXPECT_FALSE(stored.missing);
}

TEST_F(MainWindowTest, StartChecksThePathsInOrderAfterFixingTheLineCount) {
  Open();
  DialogResponder responder;
  Start(L"", L"", L"abc");  // letters: 1000 before the checks; only the first message
  EXPECT_EQ(Text(L"Text1"), L"1000");
  EXPECT_EQ(Stored(), L"1000");
  Start(L"   ", L"C:\\", L"");  // spaces only count as empty
  EXPECT_EQ(Text(L"Text1"), L"1000");
  Start(L"C:\\no such file.txt", L"  ", L"5");
  EXPECT_EQ(Text(L"Text1"), L"5");

  ASSERT_EQ(responder.Seen().size(), 3u);
  const std::wstring first = L"请先选择需要处理的文件！";
  const std::wstring second = L"请先选择用于保存分割后的文件目录！";
  EXPECT_EQ(responder.Seen()[0].text, first);
  EXPECT_EQ(responder.Seen()[1].text, first);
  EXPECT_EQ(responder.Seen()[2].text, second);
  for (const auto& seen : responder.Seen()) {
    EXPECT_EQ(seen.title, L"错误");
    EXPECT_EQ(seen.icon, DialogIcon::kError);
  }
  ExpectIdle();
  EXPECT_EQ(Text(L"Label6"), L"0 秒");  // no job was started
}

TEST_F(MainWindowTest, JobSplitsTheSourceAndEndsWithTheFinishingMessage) {
  TempFolder folder;
  WriteBytes(folder / L"源.txt", "a\r\n\r\n  b  \r\n   \r\nc\r\nd");
  Open();
  DialogResponder responder;
  Start((folder / L"源.txt").wstring(), folder.Path().wstring(), L"2");

  ASSERT_EQ(responder.Seen().size(), 1u);
  EXPECT_EQ(responder.Seen()[0].text, L"转换处理完成！");
  EXPECT_EQ(responder.Seen()[0].title, L"提示");
  EXPECT_EQ(responder.Seen()[0].icon, DialogIcon::kInformation);
  EXPECT_EQ(ReadBytes(folder / L"1.txt"), "a\r\nb\r\n");
  EXPECT_EQ(ReadBytes(folder / L"2.txt"), "c\r\nd\r\n");
  EXPECT_TRUE(std::filesystem::exists(folder / L"3.txt"));
  EXPECT_EQ(ReadBytes(folder / L"3.txt"), "");
  ExpectIdle();
  EXPECT_EQ(Text(L"Label7"), L"总共处理行数：4");
  EXPECT_EQ(Text(L"Label6"), L"0 秒");
  EXPECT_EQ(Label7RightGap(), platform::TwipsToPixels(60, platform::SystemDpi()));

  // A second job appends; a longer total grows Label7 to the left, same right edge.
  const int short_width =
      testing::RectInParent(Ctl(L"Label7")).right - testing::RectInParent(Ctl(L"Label7")).left;
  WriteBytes(folder / L"more.txt", NumberedLines(12345));
  Start((folder / L"more.txt").wstring(), folder.Path().wstring(), L"100000");
  EXPECT_EQ(Text(L"Label7"), L"总共处理行数：12345");
  const RECT label = testing::RectInParent(Ctl(L"Label7"));
  EXPECT_GT(label.right - label.left, short_width);
  EXPECT_EQ(Label7RightGap(), platform::TwipsToPixels(60, platform::SystemDpi()));
  EXPECT_EQ(ReadBytes(folder / L"1.txt"), "a\r\nb\r\n" + NumberedLines(12345));
}

TEST_F(MainWindowTest, Utf16SourceIsSplitByItsUnitsWithTheMarkInEveryFile) {
  // UTF-16 LE "  中文  \r\n\r\nb\r\n" with N = 1: each file opens on its own as UTF-16.
  TempFolder folder;
  const std::string mark("\xFF\xFE", 2);
  WriteBytes(folder / L"unicode.txt",
             mark + std::string(" \0 \0\x2D\x4E\x87\x65 \0 \0\r\0\n\0\r\0\n\0b\0\r\0\n\0", 26));
  Open();
  DialogResponder responder;
  Start((folder / L"unicode.txt").wstring(), folder.Path().wstring(), L"1");
  ASSERT_EQ(responder.Seen().size(), 1u);
  EXPECT_EQ(responder.Seen()[0].text, L"转换处理完成！");
  EXPECT_EQ(ReadBytes(folder / L"1.txt"), mark + std::string("\x2D\x4E\x87\x65\r\0\n\0", 8));
  EXPECT_EQ(ReadBytes(folder / L"2.txt"), mark + std::string("b\0\r\0\n\0", 6));
  EXPECT_EQ(ReadBytes(folder / L"3.txt"), mark);
  EXPECT_EQ(Text(L"Label7"), L"总共处理行数：2");

  // A second job with an ANSI source refuses the UTF-16 file and names it.
  WriteBytes(folder / L"ansi.txt", "x\r\n");
  Start((folder / L"ansi.txt").wstring(), folder.Path().wstring(), L"1");
  ASSERT_EQ(responder.Seen().size(), 2u);
  EXPECT_EQ(responder.Seen()[1].title, L"错误");
  EXPECT_NE(responder.Seen()[1].text.find(L"1.txt"), std::wstring::npos);
  EXPECT_EQ(ReadBytes(folder / L"1.txt"), mark + std::string("\x2D\x4E\x87\x65\r\0\n\0", 8));
  ExpectIdle();
}

TEST_F(MainWindowTest, EngineErrorsAreShownWithThePathAndTheReason) {
  TempFolder folder;
  WriteBytes(folder / L"1.txt", "x\r\n");
  WriteBytes(folder / L"src.txt", NumberedLines(50));
  const std::wstring missing_source = (folder / L"无此文件.txt").wstring();
  const std::wstring missing_folder = (folder / L"nowhere").wstring();
  struct Case {
    std::wstring source, target, prefix, path;
    bool system_reason;
  } cases[] = {
      {missing_source, folder.Path().wstring(), L"无法打开源文件：", missing_source, true},
      {(folder / L"src.txt").wstring(), missing_folder, L"无法写入输出文件：",
       missing_folder + L"\\1.txt", true},
      {(folder / L"1.txt").wstring(), folder.Path().wstring(), L"输出文件不能是源文件：",
       (folder / L"1.txt").wstring(), false},
  };
  Open();
  for (const Case& c : cases) {
    DialogResponder responder;
    Start(c.source, c.target, L"10");
    ASSERT_EQ(responder.Seen().size(), 1u) << platform::WideToUtf8(c.prefix);
    const std::wstring& text = responder.Seen()[0].text;
    if (c.system_reason) {  // the path, then the system's reason on the next line
      EXPECT_EQ(text.rfind(c.prefix + c.path + L"\n", 0), 0u) << platform::WideToUtf8(text);
      EXPECT_GT(text.size(), c.prefix.size() + c.path.size() + 1);
    } else {
      EXPECT_EQ(text, c.prefix + c.path);
    }
    EXPECT_EQ(responder.Seen()[0].title, L"错误");
    EXPECT_EQ(responder.Seen()[0].icon, DialogIcon::kError);
    ExpectIdle();
  }
  EXPECT_EQ(ReadBytes(folder / L"1.txt"), "x\r\n");  // the source was never written into
}

// File services that fail by throwing, as an allocation failure inside the job would.
class ThrowingFileSystem : public FileSystem {
 public:
  std::unique_ptr<InputFile> OpenRead(const std::string&, std::string&) override {
    throw std::bad_alloc();
  }
  std::unique_ptr<OutputFile> OpenAppend(const std::string&, std::string&) override {
    throw std::bad_alloc();
  }
};

TEST_F(MainWindowTest, AnUnexpectedFailureInsideTheJobIsShownInChinese) {
  TempFolder folder;
  WriteBytes(folder / L"src.txt", NumberedLines(10));
  ThrowingFileSystem throwing;
  Open(&throwing);
  DialogResponder responder;
  Start((folder / L"src.txt").wstring(), folder.Path().wstring(), L"5");
  ASSERT_EQ(responder.Seen().size(), 1u);
  EXPECT_EQ(responder.Seen()[0].text, L"内存不足，处理已停止。已写出的文件都以完整的行结束。");
  EXPECT_EQ(responder.Seen()[0].title, L"错误");
  EXPECT_EQ(responder.Seen()[0].icon, DialogIcon::kError);
  ExpectIdle();
}

TEST_F(MainWindowTest, ReadFailureStopsTheJobWithAMessage) {
  TempFolder folder;
  WriteBytes(folder / L"src.txt", NumberedLines(100));
  PacedFileSystem failing(1e9, 200);
  Open(&failing);
  DialogResponder responder;
  Start((folder / L"src.txt").wstring(), folder.Path().wstring(), L"1000");
  ASSERT_EQ(responder.Seen().size(), 1u);
  EXPECT_EQ(responder.Seen()[0].text,
            L"读取源文件失败：" + (folder / L"src.txt").wstring() + L"\nthe device is not ready");
  ExpectIdle();
  EXPECT_EQ(NumberedLines(100).rfind(ReadBytes(folder / L"1.txt"), 0), 0u);  // a prefix kept
}

TEST_P(MainWindowModeTest, StopEndsTheJobAtOnceWithoutMessageKeepingTheFiles) {
  UseCut();
  TempFolder folder;
  const std::string source = NumberedLines(3000);
  WriteBytes(folder / L"src.txt", source);
  PacedFileSystem paced(source.size() / 4.0);  // four seconds if not stopped
  Open(&paced);
  DialogResponder responder;
  // While the job runs 切分选项 shows its options; 确定 is greyed, Enter does nothing.
  bool ok_enabled = true;
  responder.Queue([&](HWND dialog) {
    ok_enabled = IsWindowEnabled(GetDlgItem(dialog, IDOK));
    Click(GetDlgItem(dialog, dialogs::kByPartsOption));
    DialogResponder::PressOk()(dialog);
    DialogResponder::PressCancel()(dialog);
  });
  ScheduledAction look(200ms, [&] { OpenOptions(); });
  bool running_before = false, running_after = false;
  std::wstring caption_before, caption_after;
  ScheduledAction stop(400ms, [&] {
    caption_before = Text(L"Command2");
    running_before = form_->Timer1Enabled();
    Click(Ctl(L"Command2"));  // Stop
    caption_after = Text(L"Command2");
    running_after = form_->JobRunning();
  });
  const ULONGLONG started = GetTickCount64();
  Start((folder / L"src.txt").wstring(), folder.Path().wstring(), L"100000");
  EXPECT_LT(GetTickCount64() - started, 2500u);
  ASSERT_TRUE(stop.Ran());
  EXPECT_EQ(caption_before, kStopCaption);
  EXPECT_TRUE(running_before);
  EXPECT_EQ(caption_after, kStartCaption);  // at once, before the job has noticed
  EXPECT_TRUE(running_after);
  EXPECT_TRUE(look.Ran() && !ok_enabled);
  EXPECT_EQ(responder.Seen().size(), 1u);  // 切分选项 only, no message
  EXPECT_NE(platform::ReadSetting(settings_, kSettingsSection, dialogs::keys::kCutBy), L"份数");
  ExpectIdle();
  const std::string written = ReadBytes(folder / L"1.txt");
  EXPECT_FALSE(written.empty());
  EXPECT_LT(written.size(), source.size());
  EXPECT_EQ(source.rfind(written, 0), 0u);
  EXPECT_FALSE(std::filesystem::exists(folder / L"2.txt"));
}

// Lines of a file's text, each ended by CR LF.
std::vector<std::string> LinesOf(const std::string& text) {
  std::vector<std::string> lines;
  for (std::size_t at = 0; at < text.size();) {
    const std::size_t end = text.find("\r\n", at);
    lines.push_back(text.substr(at, end == std::string::npos ? end : end - at));
    if (end == std::string::npos) break;  // a last line without its CR LF
    at = end + 2;
  }
  return lines;
}

TEST_F(MainWindowTest, EditsDuringAJobApplyFromTheNextLineAndTheNextFile) {
  TempFolder first, second;
  const std::string source = NumberedLines(600);
  WriteBytes(first / L"src.txt", source);
  PacedFileSystem paced(source.size() / 1.5);
  Open(&paced);
  DialogResponder responder;
  std::wstring stored_at_once;
  std::int64_t delivered_at_edit = 0;
  ScheduledAction edit(500ms, [&] {
    delivered_at_edit = paced.Delivered();
    TypeText(Ctl(L"Text1"), L"5");
    stored_at_once = Stored();
    TypeText(Ctl(L"Text2"), second.Path().wstring());
  });
  Start((first / L"src.txt").wstring(), first.Path().wstring(), L"100000");
  ASSERT_TRUE(edit.Ran());
  EXPECT_EQ(stored_at_once, L"5");
  ASSERT_EQ(responder.Seen().size(), 1u);
  EXPECT_EQ(responder.Seen()[0].text, L"转换处理完成！");

  // The file open at the edit ends at the next written line, in the old folder; the lines
  // read by then bound its length. The rest go five to a file into the new folder.
  const std::vector<std::string> head = LinesOf(ReadBytes(first / L"1.txt"));
  ASSERT_GT(head.size(), 5u);
  const std::size_t read_by_edit =
      LinesOf(source.substr(0, static_cast<std::size_t>(delivered_at_edit))).size();
  EXPECT_LE(head.size(), read_by_edit + 1);
  EXPECT_FALSE(std::filesystem::exists(first / L"2.txt"));
  EXPECT_FALSE(std::filesystem::exists(second / L"1.txt"));
  std::string joined = ReadBytes(first / L"1.txt");
  const std::size_t rest = 600 - head.size();
  const std::size_t files = rest / 5 + 1;  // and one more, empty when 5 divides the rest
  for (std::size_t n = 2; n <= files + 1; ++n) {
    const std::filesystem::path path = second / (std::to_wstring(n) + L".txt");
    ASSERT_TRUE(std::filesystem::exists(path)) << n;
    const std::string text = ReadBytes(path);
    EXPECT_EQ(LinesOf(text).size(), n <= rest / 5 + 1 ? 5u : rest % 5) << n;
    joined += text;
  }
  EXPECT_FALSE(std::filesystem::exists(second / (std::to_wstring(files + 2) + L".txt")));
  EXPECT_EQ(joined, source);
  ExpectIdle();
}

TEST_F(MainWindowTest, AFolderEmptiedDuringAJobEndsItWithAMessage) {
  // The next file has no folder to go to (not the root): the job ends there, its files whole.
  TempFolder folder;
  const std::string source = NumberedLines(600);
  WriteBytes(folder / L"src.txt", source);
  PacedFileSystem paced(source.size() / 1.5);
  Open(&paced);
  DialogResponder responder;
  ScheduledAction edit(500ms, [&] {
    TypeText(Ctl(L"Text1"), L"5");
    TypeText(Ctl(L"Text2"), L"");
  });
  Start((folder / L"src.txt").wstring(), folder.Path().wstring(), L"100000");
  ASSERT_TRUE(edit.Ran());
  ASSERT_EQ(responder.Seen().size(), 1u);
  EXPECT_EQ(responder.Seen()[0].text.rfind(L"保存目录是空的", 0), 0u) << responder.Seen()[0].text;
  EXPECT_EQ(responder.Seen()[0].title, L"错误");
  const std::string kept = ReadBytes(folder / L"1.txt");
  EXPECT_EQ(kept, source.substr(0, kept.size()));
  EXPECT_TRUE(kept.ends_with("\r\n"));
  EXPECT_FALSE(std::filesystem::exists(folder / L"2.txt"));
  ExpectIdle();
}

TEST_F(MainWindowTest, Label6CountsSecondsAndLabel7ShowsTheRunningTotal) {
  TempFolder folder;
  const std::string source = NumberedLines(2000);
  WriteBytes(folder / L"src.txt", source);
  PacedFileSystem paced(source.size() / 2.6);
  Open(&paced);
  DialogResponder responder;
  struct Sample {
    ULONGLONG at;  // ms since the click
    std::wstring seconds, total;
    int gap;
  };
  std::vector<Sample> samples;
  ULONGLONG started = 0;
  auto sample = [&] {
    samples.push_back(
        {GetTickCount64() - started, Text(L"Label6"), Text(L"Label7"), Label7RightGap()});
  };
  ScheduledAction at_half(500ms, sample), at_one_and_half(1500ms, sample);
  ULONGLONG duration = 0;  // until the finishing message appears
  responder.Queue([&](HWND box) {
    duration = GetTickCount64() - started;
    DialogResponder::PressOk()(box);
  });
  started = GetTickCount64();
  Start((folder / L"src.txt").wstring(), folder.Path().wstring(), L"500");

  // "N 秒" with N the whole seconds elapsed (one less while a tick is on its way).
  auto seconds_of = [](const std::wstring& caption) {
    const std::wstring suffix = L" 秒";
    EXPECT_EQ(caption.size() > suffix.size() &&
                  caption.compare(caption.size() - suffix.size(), suffix.size(), suffix) == 0,
              true)
        << platform::WideToUtf8(caption);
    return std::stoi(caption);
  };
  auto expect_seconds = [&](const std::wstring& caption, ULONGLONG elapsed_ms) {
    const int shown = seconds_of(caption);
    const int whole = static_cast<int>(elapsed_ms / 1000);
    EXPECT_TRUE(shown == whole || shown == whole - 1) << shown << " after " << elapsed_ms << " ms";
  };
  ASSERT_EQ(samples.size(), 2u);
  const std::wstring prefix = L"总共处理行数：";
  for (const Sample& s : samples) {
    expect_seconds(s.seconds, s.at);
    EXPECT_EQ(s.gap, platform::TwipsToPixels(60, platform::SystemDpi()));
    ASSERT_EQ(s.total.rfind(prefix, 0), 0u);
    const int running = std::stoi(s.total.substr(prefix.size()));
    if (seconds_of(s.seconds) == 0) {
      EXPECT_EQ(running, 0);  // no tick yet
    } else {                  // the count of the last tick, on its way through the 2000 lines
      EXPECT_GT(running, 0);
      EXPECT_LT(running, 2000);
    }
  }
  EXPECT_EQ(seconds_of(samples[1].seconds), 1);
  expect_seconds(Text(L"Label6"), duration);  // stays after the job
  EXPECT_GE(seconds_of(Text(L"Label6")), 2);
  EXPECT_EQ(Text(L"Label7"), prefix + L"2000");
  ASSERT_EQ(responder.Seen().size(), 1u);
  EXPECT_EQ(responder.Seen()[0].text, L"转换处理完成！");
  ExpectIdle();
  EXPECT_EQ(ReadBytes(folder / L"1.txt") + ReadBytes(folder / L"2.txt") +
                ReadBytes(folder / L"3.txt") + ReadBytes(folder / L"4.txt"),
            source);
  EXPECT_EQ(ReadBytes(folder / L"5.txt"), "");
}

TEST_F(MainWindowTest, StartAfterStopDoesNotBeginASecondJobWhileTheFirstIsEnding) {
  TempFolder folder;
  const std::string source = NumberedLines(3000);
  WriteBytes(folder / L"src.txt", source);
  PacedFileSystem paced(source.size() / 4.0);
  Open(&paced);
  DialogResponder responder;
  std::wstring caption_after_restart;
  bool stop_flag_after_restart = false;
  ScheduledAction stop_then_start(300ms, [&] {
    Click(Ctl(L"Command2"));  // Stop
    Click(Ctl(L"Command2"));  // Start, within the same pass of the job's message processing
    caption_after_restart = Text(L"Command2");
    stop_flag_after_restart = form_->bStopRequested();
  });
  const ULONGLONG started = GetTickCount64();
  Start((folder / L"src.txt").wstring(), folder.Path().wstring(), L"100000");
  EXPECT_LT(GetTickCount64() - started, 2500u);
  EXPECT_EQ(caption_after_restart, kStartCaption);
  EXPECT_TRUE(stop_flag_after_restart);
  EXPECT_TRUE(responder.Seen().empty());  // no second job, so no finishing message
  ExpectIdle();
  EXPECT_LT(ReadBytes(folder / L"1.txt").size(), source.size());
}

// The numbered files of a folder, in order, joined; `files` gets how many there are.
std::string JoinedOutput(const TempFolder& folder, int& files) {
  std::string joined;
  files = 0;
  for (int n = 1; std::filesystem::exists(folder / (std::to_wstring(n) + L".txt")); ++n) {
    joined += ReadBytes(folder / (std::to_wstring(n) + L".txt"));
    files = n;
  }
  return joined;
}

// Windows may end the process as soon as WM_ENDSESSION has been handled: by then every
// line processed is in the files, which are closed and end with a whole line. The session
// end arrives while the job runs.
TEST_P(MainWindowModeTest, SessionEndDuringAJobLeavesEveryProcessedLineWrittenAndClosed) {
  UseCut();
  TempFolder folder;
  const std::string source = NumberedLines(30000);
  WriteBytes(folder / L"src.txt", source);
  PacedFileSystem paced(source.size() / 4.0);
  Open(&paced);
  HWND form = form_->hWnd();
  DialogResponder responder;
  LRESULT agreed = FALSE;
  ULONGLONG session_end_ms = 0;
  std::string at_end;  // the files as they were when WM_ENDSESSION had been handled
  int files_at_end = 0;
  // Sent from inside the job's message pump, as the system's messages arrive: the job is
  // below on the stack and cannot close anything itself before the snapshot.
  ScheduledAction session_end(1000ms, [&] {
    const ULONGLONG begin = GetTickCount64();
    agreed = SendMessageW(form, WM_QUERYENDSESSION, 0, ENDSESSION_LOGOFF);
    SendMessageW(form, WM_ENDSESSION, TRUE, ENDSESSION_LOGOFF);
    session_end_ms = GetTickCount64() - begin;
    at_end = JoinedOutput(folder, files_at_end);
  });
  Start((folder / L"src.txt").wstring(), folder.Path().wstring(), L"3000");
  EXPECT_TRUE(session_end.Ran());

  EXPECT_EQ(agreed, TRUE);
  EXPECT_LT(session_end_ms, 1000u);
  EXPECT_TRUE(responder.Seen().empty());  // no box: not the finishing one, nor any other
  ExpectIdle();
  // Whole lines from the first on, 3000 per full file, and all the lines the job had
  // processed (its total in Label7).
  ASSERT_FALSE(at_end.empty());
  EXPECT_EQ(at_end.substr(at_end.size() - 2), "\r\n");
  const std::size_t lines =
      static_cast<std::size_t>(std::count(at_end.begin(), at_end.end(), '\n'));
  EXPECT_EQ(at_end, NumberedLines(static_cast<int>(lines)));
  EXPECT_LT(lines, 30000u);
  EXPECT_EQ(Text(L"Label7"), L"总共处理行数：" + std::to_wstring(lines));
  EXPECT_EQ(files_at_end, GetParam() ? 1 : static_cast<int>(lines / 3000) + 1);
  // The job touched no file after that.
  int files_after = 0;
  EXPECT_EQ(JoinedOutput(folder, files_after), at_end);
  EXPECT_EQ(files_after, files_at_end);

  // Without a job the session may end too, and nothing is shown.
  EXPECT_EQ(SendMessageW(form, WM_QUERYENDSESSION, 0, 0), TRUE);
  SendMessageW(form, WM_ENDSESSION, TRUE, 0);
  EXPECT_TRUE(responder.Seen().empty());
  // The process went on (as the Restart Manager may leave it): the next job shows its
  // message. The Restart Manager's ENDSESSION_CLOSEAPP closes the window.
  Start((folder / L"missing.txt").wstring(), folder.Path().wstring(), L"10");
  EXPECT_EQ(responder.Seen().size(), 1u);
  SendMessageW(form, WM_ENDSESSION, TRUE, ENDSESSION_CLOSEAPP);
  EXPECT_FALSE(IsWindow(form));
}

TEST_F(MainWindowTest, ClosingDuringAJobStopsItAndClosesAfterItHasReturned) {
  TempFolder folder;
  const std::string source = NumberedLines(3000);
  WriteBytes(folder / L"src.txt", source);
  PacedFileSystem paced(source.size() / 4.0);
  Open(&paced);
  HWND form = form_->hWnd();
  DialogResponder responder;
  bool open_after_close = false;
  ScheduledAction close(300ms, [&] {
    SendMessageW(form, WM_CLOSE, 0, 0);
    open_after_close = IsWindow(form) && IsWindow(Ctl(L"Label7"));
  });
  const ULONGLONG started = GetTickCount64();
  Start((folder / L"src.txt").wstring(), folder.Path().wstring(), L"100000");
  EXPECT_LT(GetTickCount64() - started, 2500u);
  EXPECT_TRUE(open_after_close);
  EXPECT_TRUE(IsWindow(form));  // the job has returned with every control still there
  EXPECT_FALSE(form_->JobRunning());
  EXPECT_FALSE(form_->Timer1Enabled());
  testing::PumpFor(200ms);
  EXPECT_FALSE(IsWindow(form));  // then the window closes
  EXPECT_EQ(form_->hWnd(), nullptr);
  EXPECT_TRUE(responder.Seen().empty());
  EXPECT_EQ(source.rfind(ReadBytes(folder / L"1.txt"), 0), 0u);

  Open();  // closing while idle closes at once
  form = form_->hWnd();
  SendMessageW(form, WM_CLOSE, 0, 0);
  EXPECT_FALSE(IsWindow(form));
}

TEST_F(MainWindowTest, QuitDuringAJobStopsItAndIsPostedAgain) {
  TempFolder folder;
  const std::string source = NumberedLines(3000);
  WriteBytes(folder / L"src.txt", source);
  PacedFileSystem paced(source.size() / 4.0);
  Open(&paced);
  ScheduledAction quit(300ms, [] { PostQuitMessage(7); });
  const ULONGLONG started = GetTickCount64();
  Start((folder / L"src.txt").wstring(), folder.Path().wstring(), L"100000");
  EXPECT_LT(GetTickCount64() - started, 2500u);
  ExpectIdle();
  MSG message{};
  ASSERT_TRUE(PeekMessageW(&message, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE));
  EXPECT_EQ(message.wParam, 7u);
}

// An HDROP as the shell makes it for a drag from the Explorer.
HDROP MakeDrop(const std::vector<std::wstring>& paths) {
  std::wstring list;
  for (const auto& path : paths) list += path + L'\0';
  list += L'\0';
  const SIZE_T bytes = sizeof(DROPFILES) + list.size() * sizeof(wchar_t);
  HGLOBAL memory = GlobalAlloc(GHND, bytes);
  auto* drop = static_cast<DROPFILES*>(GlobalLock(memory));
  drop->pFiles = sizeof(DROPFILES);
  drop->fWide = TRUE;
  memcpy(reinterpret_cast<char*>(drop) + sizeof(DROPFILES), list.data(),
         list.size() * sizeof(wchar_t));
  GlobalUnlock(memory);
  return static_cast<HDROP>(memory);
}

TEST_F(MainWindowTest, DroppedOrGivenOnTheCommandLineAFileOrAFolderFillsTheMatchingBox) {
  TempFolder folder;
  WriteBytes(folder / L"a.txt", "a");
  std::filesystem::create_directory(folder / L"输出");
  Open();
  EXPECT_TRUE(GetWindowLongW(form_->hWnd(), GWL_EXSTYLE) & WS_EX_ACCEPTFILES);
  SendMessageW(form_->hWnd(), WM_DROPFILES,
               reinterpret_cast<WPARAM>(MakeDrop({(folder / L"a.txt").wstring()})), 0);
  EXPECT_EQ(Text(L"Text4"), (folder / L"a.txt").wstring());
  EXPECT_EQ(Text(L"Text2"), L"");
  SendMessageW(form_->hWnd(), WM_DROPFILES,
               reinterpret_cast<WPARAM>(
                   MakeDrop({(folder / L"missing").wstring(), (folder / L"输出").wstring()})),
               0);
  EXPECT_EQ(Text(L"Text2"), (folder / L"输出").wstring());
  EXPECT_EQ(Text(L"Text4"), (folder / L"a.txt").wstring());

  // The paths of the command line: a file, relative to the folder the program starts in,
  // and its folder while the folder box is empty; a folder; a path that does not exist.
  Open();
  DialogResponder responder;
  SetCurrentDirectoryW(folder.Path().c_str());
  form_->OpenPaths({L"a.txt"});
  SetCurrentDirectoryW(std::filesystem::temp_directory_path().c_str());
  EXPECT_EQ(Text(L"Text4"), (folder / L"a.txt").wstring());
  EXPECT_EQ(Text(L"Text2"), folder.Path().wstring());
  form_->OpenPaths({(folder / L"输出").wstring(), (folder / L"missing").wstring()});
  EXPECT_EQ(Text(L"Text2"), (folder / L"输出").wstring());
  ASSERT_EQ(responder.Seen().size(), 1u);
  EXPECT_EQ(responder.Seen()[0].text,
            L"找不到以下文件或文件夹：\n" + (folder / L"missing").wstring());
  EXPECT_EQ(responder.Seen()[0].title, L"错误");
}

TEST_F(MainWindowTest, ChooseButtonsFillThePathsOnlyWhenSomethingWasChosen) {
  TempFolder folder;
  WriteBytes(folder / L"选中.txt", "x");
  Open();
  TypeText(Ctl(L"Text4"), L"old source");
  TypeText(Ctl(L"Text2"), L"old folder");
  {
    DialogResponder responder;  // both dialogs cancelled
    responder.Queue(DialogResponder::PressCancel());
    responder.Queue(DialogResponder::PressCancel());
    Click(Ctl(L"Command1"));
    Click(Ctl(L"Command3"));
    EXPECT_EQ(responder.Seen().size(), 2u);
  }
  EXPECT_EQ(Text(L"Text4"), L"old source");
  EXPECT_EQ(Text(L"Text2"), L"old folder");

  DialogResponder responder;  // a file typed into the Open dialog
  const std::wstring chosen = (folder / L"选中.txt").wstring();
  responder.Queue([&](HWND dialog) {
    TypeText(GetDlgItem(dialog, 0x047C) ? GetDlgItem(dialog, 0x047C) : GetDlgItem(dialog, 0x0480),
             chosen);
    DialogResponder::PressOk()(dialog);
  });
  Click(Ctl(L"Command1"));
  EXPECT_EQ(Text(L"Text4"), chosen);
}

TEST_F(MainWindowTest, LinkLabelShowsItsHandAndOpensTheHomePage) {
  Open();
  HWND link = Ctl(L"Label8");
  EXPECT_TRUE(SendMessageW(link, WM_SETCURSOR, reinterpret_cast<WPARAM>(link),
                           MAKELPARAM(HTCLIENT, WM_MOUSEMOVE)));
  ICONINFO info{};
  ASSERT_TRUE(GetIconInfo(GetCursor(), &info));
  EXPECT_FALSE(info.fIcon);
  // A cursor of the DPI's size (32 pixels at 96 DPI), the hot spot at the fingertip.
  const int size = platform::SystemMetricForDpi(SM_CXCURSOR, form_->Dpi());
  EXPECT_EQ(static_cast<int>(info.xHotspot), 12 * size / 32);
  EXPECT_EQ(static_cast<int>(info.yHotspot), 4 * size / 32);
  BITMAP mask{};
  GetObjectW(info.hbmMask, sizeof(mask), &mask);
  EXPECT_EQ(mask.bmWidth, size);
  EXPECT_EQ(info.hbmColor ? mask.bmHeight : mask.bmHeight / 2, size);
  if (info.hbmColor) DeleteObject(info.hbmColor);
  DeleteObject(info.hbmMask);

  // Other labels keep the arrow.
  SetCursor(LoadCursorW(nullptr, IDC_ARROW));
  HWND other = Ctl(L"Label4");
  SendMessageW(other, WM_SETCURSOR, reinterpret_cast<WPARAM>(other),
               MAKELPARAM(HTCLIENT, WM_MOUSEMOVE));
  EXPECT_EQ(GetCursor(), LoadCursorW(nullptr, IDC_ARROW));

  SendMessageW(link, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(2, 2));
  SendMessageW(link, WM_LBUTTONUP, 0, MAKELPARAM(2, 2));
  ASSERT_EQ(commands_.size(), 1u);
  EXPECT_EQ(commands_[0], L"explorer.exe " + WindowText(link));
  EXPECT_EQ(WindowText(link), L"http://www.example.com/");
  // Started by its full path in the Windows folder, never by bare name (which the system
  // would look for beside the program first).
  wchar_t windows[MAX_PATH];
  const UINT length = GetSystemWindowsDirectoryW(windows, MAX_PATH);
  ASSERT_GT(length, 0u);
  EXPECT_EQ(applications_[0], std::wstring(windows, length) + L"\\explorer.exe");
}

// ---- The 切分选项 dialog ----

constexpr wchar_t kDefaultSummary[] =
    L"按行数切分，去掉首尾空格和空行。右键单击窗口可更改切分选项。";

// One input into the 切分选项 dialog: a box or the unit list gets `text`; an option button
// or check box is clicked (no text). 恢复默认 comes first.
struct OptionInput {
  int id;
  const wchar_t* text = nullptr;
};
void FillOptions(HWND dialog, const std::vector<OptionInput>& inputs) {
  Click(GetDlgItem(dialog, dialogs::kDefaultsButton));
  for (const auto& [id, text] : inputs) {
    HWND control = GetDlgItem(dialog, id);
    if (!text) {
      Click(control);
    } else if (id == dialogs::kSizeUnitList) {
      SendMessageW(control, CB_SELECTSTRING, -1, reinterpret_cast<LPARAM>(text));
    } else {
      TypeText(control, text);
    }
  }
}

// Fills in the dialog and presses Enter (in the file name box), which is 确定.
DialogResponder::Answer ConfirmOptions(std::vector<OptionInput> inputs) {
  return [inputs](HWND dialog) {
    FillOptions(dialog, inputs);
    PostMessageW(GetDlgItem(dialog, dialogs::kNamePatternBox), WM_KEYDOWN, VK_RETURN, 0);
  };
}

// The dialog's controls at their twips at `dpi`, in its font, skinned; Tab goes top to
// bottom, past the boxes of the ways of cutting not chosen.
void ExpectOptionsLaidOut(HWND dialog, int dpi) {
  using namespace dialogs;
  const auto px = [dpi](int twips) { return platform::TwipsToPixels(twips, dpi); };
  const int placed[][5] = {{kSizeBox, 1860, 750, 1080, 270}, {IDOK, 3780, 3780, 1125, 375}};
  for (const auto& [id, left, top, width, height] : placed) {
    HWND control = GetDlgItem(dialog, id);
    const RECT rect = testing::RectInParent(control),
               expected{px(left), px(top), px(left + width), px(top + height)};
    EXPECT_TRUE(EqualRect(&rect, &expected)) << id << " at " << dpi << " DPI";
    LOGFONTW font{};
    GetObjectW(reinterpret_cast<HFONT>(SendMessageW(control, WM_GETFONT, 0, 0)), sizeof(font),
               &font);
    EXPECT_EQ(font.lfHeight, -MulDiv(9, dpi, 72));
    EXPECT_NE(GetPropW(control, L"PROCADDR"), nullptr);
  }
  std::vector<int> order{kByLinesOption};
  while (order.size() < 10) {
    order.push_back(
        GetDlgCtrlID(GetNextDlgTabItem(dialog, GetDlgItem(dialog, order.back()), FALSE)));
  }
  EXPECT_EQ(order, (std::vector<int>{kByLinesOption, kHeaderCheck, kKeepCheck, kNamePatternBox,
                                     kFirstNumberBox, kAppendOption, kDefaultsButton, IDOK,
                                     IDCANCEL, kByLinesOption}));
}

TEST_F(MainWindowTest, SplitOptionsOpenFromTheSystemMenuTheContextMenuAndCtrlO) {
  Open();
  HWND form = form_->hWnd();
  wchar_t item[64] = {};
  GetMenuStringW(GetSystemMenu(form, FALSE), kSplitOptionsCommand, item, 64, MF_BYCOMMAND);
  EXPECT_STREQ(item, kSplitOptionsItem);
  DialogResponder responder;
  responder.Queue([this](HWND dialog) {  // laid out at the window's DPI, then at another
    ExpectOptionsLaidOut(dialog, form_->Dpi());
    const int other = form_->Dpi() == 144 ? 96 : 144;
    RECT now{};
    GetWindowRect(dialog, &now);
    SendMessageW(dialog, WM_DPICHANGED, MAKEWPARAM(other, other), reinterpret_cast<LPARAM>(&now));
    ExpectOptionsLaidOut(dialog, other);
    PostMessageW(GetDlgItem(dialog, dialogs::kSizeBox), WM_KEYDOWN, VK_ESCAPE, 0);  // 取消
  });
  responder.Queue(DialogResponder::PressCancel());
  responder.Queue([](HWND dialog) {
    DialogResponder::PressCancel()(dialog);
    PostQuitMessage(0);  // after the dialog: its own loop would end at a quit
  });
  OpenOptions();

  // A right click on a label of the panel, then O.
  ScheduledAction press_o(300ms,
                          [] { PostMessageW(FindWindowW(L"#32768", nullptr), WM_CHAR, L'o', 0); });
  SendMessageW(Ctl(L"Label2"), WM_RBUTTONUP, 0, MAKELPARAM(2, 2));

  // Ctrl+O in a box, through the program's message loop.
  BYTE keys[256] = {};
  GetKeyboardState(keys);
  keys[VK_CONTROL] = 0x80;
  SetKeyboardState(keys);
  PostMessageW(Ctl(L"Text4"), WM_KEYDOWN, 'O', 0);
  const ScheduledAction give_up(3s, [] { PostQuitMessage(0); });  // no dialog came
  platform::RunMessageLoop(form, form_->Accelerators());
  keys[VK_CONTROL] = 0;
  SetKeyboardState(keys);

  ASSERT_EQ(responder.Seen().size(), 3u);
  for (const auto& seen : responder.Seen()) EXPECT_EQ(seen.title, dialogs::kSplitOptionsTitle);
  EXPECT_EQ(Summary(), kDefaultSummary);
}

TEST_F(MainWindowTest, SplitOptionsNameTheFaultyFieldAndAreStoredOnlyWhenValid) {
  using namespace dialogs;
  Open();
  const std::pair<std::vector<OptionInput>, const wchar_t*> faults[] = {
      {{{kBySizeOption}, {kSizeBox, L""}}, L"“按大小”"},
      {{{kBySizeOption}, {kSizeBox, L"2147483648"}}, L"“按大小”"},
      {{{kByPartsOption}, {kPartsBox, L"0"}}, L"“按份数”"},
      {{{kHeaderCheck}, {kHeaderLinesBox, L"x"}}, L"表头"},
      {{{kNamePatternBox, L"a/{n}.txt"}}, L"“文件名”"},
      {{{kFirstNumberBox, L"-1"}}, L"“起始编号”"},
  };
  for (const auto& [inputs, field] : faults) {
    DialogResponder responder;
    responder.Queue(ConfirmOptions(inputs));
    responder.Queue(DialogResponder::PressOk());      // the message
    responder.Queue(DialogResponder::PressCancel());  // the dialog, still open
    OpenOptions();
    ASSERT_EQ(responder.Seen().size(), 3u) << platform::WideToUtf8(field);
    EXPECT_NE(responder.Seen()[1].text.find(field), std::wstring::npos)
        << platform::WideToUtf8(responder.Seen()[1].text);
    EXPECT_EQ(responder.Seen()[1].title, L"错误");
  }
  EXPECT_FALSE(platform::ReadSetting(settings_, kSettingsSection, keys::kCutBy));

  // The example names follow the source, or say in red why the pattern is refused. The
  // longest options are stored, said in Label3 inside its panel (in the lines that fit
  // above the contact row, cut with "…" when they are too few), the lines box greyed, and
  // kept for the next start.
  TypeText(Ctl(L"Text4"), L"C:\\数据\\订单.csv");
  std::wstring refused, example;
  COLORREF refused_colour = 0;
  DialogResponder responder;
  responder.Queue([&](HWND dialog) {
    HWND line = GetDlgItem(dialog, kNameExample);
    FillOptions(dialog, {{kNamePatternBox, L"{x}"}});
    refused = WindowText(line);
    HDC dc = GetDC(line);
    SendMessageW(dialog, WM_CTLCOLORSTATIC, reinterpret_cast<WPARAM>(dc),
                 reinterpret_cast<LPARAM>(line));
    refused_colour = GetTextColor(dc);
    ReleaseDC(line, dc);
    FillOptions(dialog, {{kNamePatternBox, L"{stem}_{n:3}.csv"}, {kFirstNumberBox, L"0"}});
    example = WindowText(line);
    ConfirmOptions({{kBySizeOption},
                    {kSizeBox, L"2147483647"},
                    {kSizeUnitList, L"GB"},
                    {kHeaderCheck},
                    {kHeaderLinesBox, L"2147483647"},
                    {kNamePatternBox, L"{stem}-第{n:20}部分-{ext}.txt"},
                    {kFirstNumberBox, L"2147483647"},
                    {kReplaceOption}})(dialog);
  });
  responder.Queue(ConfirmOptions({}));  // 恢复默认: today's behaviour
  OpenOptions();
  EXPECT_EQ(refused, L"文件名无效：只能用 {n}、{n:W}、{stem} 和 {ext} 这几个字段")
      << platform::WideToUtf8(refused);
  EXPECT_EQ(refused_colour, kFaultColor);
  EXPECT_EQ(example, L"订单_000.csv、订单_001.csv、订单_002.csv …");
  SplitSettings longest;
  longest.cut_by = CutBy::kBytes;
  longest.size = longest.header_lines = longest.first_number = kLargestCount;
  longest.unit = SizeUnit::kGB;
  longest.repeat_header = longest.replace_existing = true;
  longest.name_pattern = L"{stem}-第{n:20}部分-{ext}.txt";
  EXPECT_EQ(LoadSplitSettings(settings_, kSettingsSection), longest);
  for (int start = 0; start < 2; ++start, Open()) {
    const RECT label = testing::RectInParent(Ctl(L"Label3"));
    RECT panel{};
    GetClientRect(Ctl(L"iFrame4"), &panel);
    EXPECT_LE(label.right, panel.right - label.left);
    EXPECT_LE(label.bottom, testing::RectInParent(Ctl(L"Label4")).top);
    const std::wstring summary = Summary(), whole = DescribeSettings(longest);
    EXPECT_TRUE(summary == whole || (summary.back() == L'…' &&
                                     whole.rfind(summary.substr(0, summary.size() - 1), 0) == 0))
        << platform::WideToUtf8(summary);
    EXPECT_FALSE(IsWindowEnabled(Ctl(L"Text1")));
  }
  OpenOptions();
  EXPECT_EQ(Summary(), kDefaultSummary);
  EXPECT_TRUE(IsWindowEnabled(Ctl(L"Text1")));

  // A stored value that is damaged or out of range gives its field's default.
  for (const wchar_t* key :
       {keys::kCutBy, keys::kUnit, keys::kParts, keys::kRepeatHeader, keys::kHeaderLines,
        keys::kKeepLines, keys::kNamePattern, keys::kFirstNumber, keys::kExisting}) {
    platform::SaveSetting(settings_, kSettingsSection, key, L"x");
  }
  platform::SaveSetting(settings_, kSettingsSection, keys::kSize, L"0");
  EXPECT_EQ(LoadSplitSettings(settings_, kSettingsSection), SplitSettings{});
  Open();
  EXPECT_EQ(Summary(), kDefaultSummary);
}

// The files of a folder: name and bytes.
std::map<std::wstring, std::string> FilesOf(const TempFolder& folder) {
  std::map<std::wstring, std::string> files;
  for (const auto& entry : std::filesystem::directory_iterator(folder.Path())) {
    files[entry.path().filename().wstring()] = ReadBytes(entry.path());
  }
  return files;
}

class QuietConsole : public cli::Console {
  void Out(std::string_view) override {}
  void Err(std::string_view text) override { ADD_FAILURE() << text; }
  bool ErrIsTerminal() override { return false; }
};

TEST_F(MainWindowTest, EveryModeWritesWhatTarnwickSplitWritesWithTheMatchingOptions) {
  using namespace dialogs;
  // A header, padded and blank lines, CR LF and lone CR line ends, no end at the last line.
  std::string text = "编号,名称\r\n";
  for (int i = 1; i <= 300; ++i) {
    text += std::string(i % 7 ? "" : "\r\n") + (i % 5 ? "" : "  ") + std::to_string(i) + ",值" +
            std::to_string(i * i) + (i % 3 ? "  \r\n" : "\r");
  }
  TempFolder source_folder;
  const std::filesystem::path source = source_folder / L"订单.csv";
  WriteBytes(source, text + "末行");
  const struct {
    const wchar_t* lines;  // the lines-per-file box, kept as it is when not cutting by lines
    std::vector<OptionInput> inputs;
    std::vector<std::string> args;
    bool existing;  // 1.txt and 9.txt are there before the job
  } modes[] = {
      {L"7", {}, {"-l", "7"}, true},
      {L"40", {{kHeaderCheck}, {kHeaderLinesBox, L"2"}}, {"-l", "40", "--header=2"}, false},
      {L"abc",
       {{kBySizeOption}, {kSizeBox, L"1"}, {kSizeUnitList, L"KB"}, {kKeepCheck}},
       {"-b", "1KB", "--keep"},
       false},
      {L"0", {{kByPartsOption}, {kPartsBox, L"3"}, {kHeaderCheck}}, {"-n", "3", "--header"}, false},
      {L"50",
       {{kKeepCheck}, {kNamePatternBox, L"{stem}_{n:3}.{ext}"}, {kFirstNumberBox, L"0"}},
       {"-l", "50", "--keep", "--name={stem}_{n:3}.{ext}", "--start=0"},
       false},
      {L"100", {{kReplaceOption}}, {"-l", "100", "--replace"}, true},
  };
  Open();
  for (const auto& mode : modes) {
    SCOPED_TRACE(mode.args[0] + " " + mode.args[1]);
    TempFolder window_out, cli_out;
    for (const TempFolder* out : {&window_out, &cli_out}) {
      if (!mode.existing) continue;
      WriteBytes(*out / L"1.txt", "old\r\n");
      WriteBytes(*out / L"9.txt", "kept\r\n");
    }
    DialogResponder responder;
    responder.Queue(ConfirmOptions(mode.inputs));
    OpenOptions();
    Start(source.wstring(), window_out.Path().wstring(), mode.lines);
    ASSERT_EQ(responder.Seen().size(), 2u);
    EXPECT_EQ(responder.Seen()[1].text, L"转换处理完成！");
    EXPECT_EQ(Text(L"Text1"), mode.lines);
    std::vector<std::string> args = mode.args;
    args.push_back(platform::WideToUtf8(source.wstring()));
    args.push_back(platform::WideToUtf8(cli_out.Path().wstring()));
    QuietConsole console;
    ASSERT_EQ(cli::RunCommandLine(args, console, SystemFileSystem()), cli::kExitSuccess);
    EXPECT_GE(FilesOf(window_out).size(), 3u);
    EXPECT_EQ(FilesOf(window_out), FilesOf(cli_out));
  }
}

}  // namespace
}  // namespace tarnwick::app
