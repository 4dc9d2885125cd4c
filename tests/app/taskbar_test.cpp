// The window's taskbar button during a job, through a recording button: the progress calls
// with their order and values in a finished, an unsized, a failed and a stopped job, how
// often they come, and the flash at the end of a job that ends in the background.
#include <gtest/gtest.h>
#include <windows.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "app/frm_main.h"
#include "platform/settings_store.h"
#include "ui_test_support.h"

namespace tarnwick::app {
namespace {

using namespace std::chrono_literals;
using platform::TaskbarProgress;
using testing::Click;
using testing::DialogResponder;
using testing::TempFolder;
using testing::TypeText;
using testing::WriteBytes;

struct Call {
  enum Kind { kState, kValue, kFlash } kind;
  TaskbarProgress state = TaskbarProgress::kNone;
  std::uint64_t completed = 0;
  std::uint64_t total = 0;
  ULONGLONG at = 0;  // tick count of the call
};

class RecordingTaskbar : public platform::TaskbarButton {
 public:
  explicit RecordingTaskbar(HWND* window) : window_(window) {}
  void SetProgressState(HWND window, TaskbarProgress state) override {
    Record(window, {Call::kState, state});
  }
  void SetProgressValue(HWND window, std::uint64_t completed, std::uint64_t total) override {
    Record(window, {Call::kValue, TaskbarProgress::kNone, completed, total});
  }
  void FlashUntilForeground(HWND window) override { Record(window, {Call::kFlash}); }

  std::vector<Call> calls;
  bool wrong_window = false;
  // Run inside a call, as sent messages can be while the shell is asked (null: none).
  std::function<void(const Call&)> during_call;

 private:
  void Record(HWND window, Call call) {
    if (window != *window_) wrong_window = true;
    call.at = GetTickCount64();
    calls.push_back(call);
    if (during_call) during_call(call);
  }
  HWND* window_;
};

// A source read in small blocks with a pause before each, so that a few hundred bytes
// make a job of about a second; its size is told or not, and it can fail after a number
// of bytes.
class SlowSource : public InputFile {
 public:
  SlowSource(std::string bytes, bool sized, std::int64_t fail_at, std::size_t& delivered)
      : bytes_(std::move(bytes)), sized_(sized), fail_at_(fail_at), offset_(delivered) {
    offset_ = 0;
  }
  std::int64_t Read(char* buffer, std::size_t capacity, std::string& error) override {
    if (fail_at_ >= 0 && offset_ >= static_cast<std::size_t>(fail_at_)) {
      error = "the device is not ready";
      return -1;
    }
    Sleep(20);
    const std::size_t count = std::min({capacity, std::size_t{8}, bytes_.size() - offset_});
    std::copy_n(bytes_.data() + offset_, count, buffer);
    offset_ += count;
    return static_cast<std::int64_t>(count);
  }
  FileIdentity Identity() const override { return {}; }
  std::int64_t Size() const override { return sized_ ? std::int64_t(bytes_.size()) : -1; }

 private:
  std::string bytes_;
  bool sized_;
  std::int64_t fail_at_;
  std::size_t& offset_;  // bytes delivered, kept by the file system
};

class SlowFileSystem : public FileSystem {
 public:
  SlowFileSystem(std::string bytes, bool sized, std::int64_t fail_at = -1)
      : bytes_(std::move(bytes)), sized_(sized), fail_at_(fail_at) {}
  std::unique_ptr<InputFile> OpenRead(const std::string&, std::string&) override {
    return std::make_unique<SlowSource>(bytes_, sized_, fail_at_, delivered);
  }
  std::unique_ptr<OutputFile> OpenAppend(const std::string& path, std::string& error) override {
    return SystemFileSystem().OpenAppend(path, error);
  }

 private:
  std::string bytes_;
  bool sized_;
  std::int64_t fail_at_;

 public:
  std::size_t delivered = 0;  // bytes the last source opened has given
};

// 40 lines of 10 bytes: 400 bytes, 50 reads, about a second.
std::string FortyLines() {
  std::string text;
  for (int i = 0; i < 40; ++i) text += "line " + std::to_string(1000 + i) + "\r\n";
  return text;
}

class TaskbarTest : public ::testing::Test {
 protected:
  void TearDown() override {
    form_.reset();
    platform::DeleteApplicationSettings(settings_);
  }

  void Open(FileSystem& files) {
    FormOptions options;
    options.settings_application = settings_;
    options.quit_on_destroy = false;
    options.file_system = &files;
    options.taskbar = &taskbar_;
    form_ = frmMain::Create(options);
    ASSERT_NE(form_, nullptr);
    window_ = form_->hWnd();
  }

  // Runs a job to its end; the message box at the end is answered after noting how many
  // taskbar calls had been made when it appeared.
  void RunJob(FileSystem& files) {
    Open(files);
    DialogResponder responder;
    responder.Queue([this](HWND dialog) {
      calls_before_message_ = taskbar_.calls.size();
      DialogResponder::PressOk()(dialog);
    });
    TypeText(form_->Control(L"Text4"), L"source.txt");
    TypeText(form_->Control(L"Text2"), folder_.Path().wstring());
    TypeText(form_->Control(L"Text1"), L"100");
    Click(form_->Control(L"Command2"));
    messages_ = responder.Seen().size();
  }

  std::vector<Call> Values() const {
    std::vector<Call> values;
    for (const Call& call : taskbar_.calls) {
      if (call.kind == Call::kValue) values.push_back(call);
    }
    return values;
  }
  std::vector<TaskbarProgress> States() const {
    std::vector<TaskbarProgress> states;
    for (const Call& call : taskbar_.calls) {
      if (call.kind == Call::kState) states.push_back(call.state);
    }
    return states;
  }
  bool Flashed() const {
    return std::any_of(taskbar_.calls.begin(), taskbar_.calls.end(),
                       [](const Call& call) { return call.kind == Call::kFlash; });
  }

  const std::wstring settings_ = L"TarnwickTaskbarTest" + std::to_wstring(GetCurrentProcessId());
  TempFolder folder_;
  HWND window_ = nullptr;
  RecordingTaskbar taskbar_{&window_};
  std::unique_ptr<frmMain> form_;
  std::size_t calls_before_message_ = 0;
  std::size_t messages_ = 0;
};

TEST_F(TaskbarTest, AFinishedJobShowsItsBytesOfTheSizeThenClearsAndFlashesInTheBackground) {
  const std::string source = FortyLines();
  SlowFileSystem files(source, true);
  RunJob(files);
  ASSERT_EQ(messages_, 1u);
  EXPECT_FALSE(taskbar_.wrong_window);
  const std::vector<Call>& calls = taskbar_.calls;
  ASSERT_GE(calls.size(), 4u);

  // Normal state first, then values that only grow, of the source's size.
  EXPECT_EQ(calls.front().kind, Call::kState);
  EXPECT_EQ(calls.front().state, TaskbarProgress::kNormal);
  const std::vector<Call> values = Values();
  ASSERT_GE(values.size(), 3u);
  for (std::size_t i = 0; i < values.size(); ++i) {
    EXPECT_EQ(values[i].total, source.size());
    EXPECT_LE(values[i].completed, source.size());
    if (i > 0) {
      EXPECT_GE(values[i].completed, values[i - 1].completed);
      // At most a few times a second.
      EXPECT_GE(values[i].at - values[i - 1].at, 200u);
    }
  }
  EXPECT_GT(values.back().completed, values.front().completed);
  EXPECT_EQ(States(),
            (std::vector<TaskbarProgress>{TaskbarProgress::kNormal, TaskbarProgress::kNone}));

  // Cleared, then the flash (the window is hidden: not in the foreground), all before the
  // finishing message; nothing after it.
  ASSERT_GE(calls.size(), 2u);
  EXPECT_EQ(calls[calls.size() - 2].kind, Call::kState);
  EXPECT_EQ(calls[calls.size() - 2].state, TaskbarProgress::kNone);
  EXPECT_EQ(calls.back().kind, Call::kFlash);
  EXPECT_EQ(calls_before_message_, calls.size());
}

TEST_F(TaskbarTest, ASourceOfUnknownSizeShowsTheIndeterminateState) {
  SlowFileSystem files(FortyLines(), false);
  RunJob(files);
  ASSERT_EQ(messages_, 1u);
  EXPECT_TRUE(Values().empty());
  EXPECT_EQ(States(), (std::vector<TaskbarProgress>{TaskbarProgress::kIndeterminate,
                                                    TaskbarProgress::kNone}));
  EXPECT_TRUE(Flashed());
}

TEST_F(TaskbarTest, AFailedJobShowsTheErrorStateWhileItsMessageIsShownThenClears) {
  const std::string source = FortyLines();
  SlowFileSystem files(source, true, 200);  // the first read from byte 200 on fails
  RunJob(files);
  ASSERT_EQ(messages_, 1u);
  const std::vector<Call>& calls = taskbar_.calls;
  ASSERT_GE(calls_before_message_, 3u);
  ASSERT_EQ(calls.size(), calls_before_message_ + 1);
  // The bar red where the job stopped, and the flash, while the error message is up ...
  const Call& value = calls[calls_before_message_ - 3];
  EXPECT_EQ(value.kind, Call::kValue);
  EXPECT_GE(files.delivered, 200u);
  EXPECT_EQ(value.completed, files.delivered);
  EXPECT_EQ(value.total, source.size());
  EXPECT_EQ(calls[calls_before_message_ - 2].kind, Call::kState);
  EXPECT_EQ(calls[calls_before_message_ - 2].state, TaskbarProgress::kError);
  EXPECT_EQ(calls[calls_before_message_ - 1].kind, Call::kFlash);
  // ... and cleared after it.
  EXPECT_EQ(calls.back().kind, Call::kState);
  EXPECT_EQ(calls.back().state, TaskbarProgress::kNone);
}

TEST_F(TaskbarTest, ASourceThatCannotBeOpenedShowsAFullRedBar) {
  Open(SystemFileSystem());  // the system's files: "source.txt" does not exist
  DialogResponder responder;
  TypeText(form_->Control(L"Text4"), (folder_ / L"missing.txt").wstring());
  TypeText(form_->Control(L"Text2"), folder_.Path().wstring());
  Click(form_->Control(L"Command2"));
  ASSERT_EQ(responder.Seen().size(), 1u);
  ASSERT_EQ(taskbar_.calls.size(), 4u);
  EXPECT_EQ(taskbar_.calls[0].kind, Call::kValue);
  EXPECT_EQ(taskbar_.calls[0].completed, 1u);
  EXPECT_EQ(taskbar_.calls[0].total, 1u);
  EXPECT_EQ(taskbar_.calls[1].state, TaskbarProgress::kError);
  EXPECT_EQ(taskbar_.calls[2].kind, Call::kFlash);
  EXPECT_EQ(taskbar_.calls[3].state, TaskbarProgress::kNone);
}

TEST_F(TaskbarTest, AStoppedJobClearsTheButtonWithoutFlashing) {
  SlowFileSystem files(FortyLines(), true);
  Open(files);
  DialogResponder responder;
  testing::ScheduledAction stop(400ms, [this] { Click(form_->Control(L"Command2")); });
  TypeText(form_->Control(L"Text4"), L"source.txt");
  TypeText(form_->Control(L"Text2"), folder_.Path().wstring());
  Click(form_->Control(L"Command2"));
  ASSERT_TRUE(stop.Ran());
  EXPECT_TRUE(responder.Seen().empty());
  ASSERT_FALSE(taskbar_.calls.empty());
  EXPECT_EQ(States(),
            (std::vector<TaskbarProgress>{TaskbarProgress::kNormal, TaskbarProgress::kNone}));
  EXPECT_EQ(taskbar_.calls.back().kind, Call::kState);
  EXPECT_FALSE(Flashed());
  for (const Call& value : Values()) EXPECT_LT(value.completed, FortyLines().size());
}

TEST_F(TaskbarTest, AJobThatEndsInTheForegroundDoesNotFlash) {
  SlowFileSystem files("a\r\nb\r\n", true);
  Open(files);
  ShowWindow(form_->hWnd(), SW_SHOW);
  SetForegroundWindow(form_->hWnd());
  testing::PumpFor(100ms);
  ASSERT_EQ(GetForegroundWindow(), form_->hWnd());
  DialogResponder responder;
  TypeText(form_->Control(L"Text4"), L"source.txt");
  TypeText(form_->Control(L"Text2"), folder_.Path().wstring());
  Click(form_->Control(L"Command2"));
  ASSERT_EQ(responder.Seen().size(), 1u);
  EXPECT_FALSE(taskbar_.calls.empty());
  EXPECT_FALSE(Flashed());
}

// The session may end while the window waits on the shell for a taskbar update, still
// inside the job's pump: by the end of WM_ENDSESSION the files hold whole lines and are
// closed.
TEST_F(TaskbarTest, ASessionEndDuringATaskbarUpdateStillClosesTheFiles) {
  const std::string source = FortyLines();
  SlowFileSystem files(source, true);
  std::string at_end;
  bool ended = false;
  taskbar_.during_call = [&](const Call& call) {
    if (ended || call.kind != Call::kValue || call.completed < 100) return;
    ended = true;
    SendMessageW(window_, WM_QUERYENDSESSION, 0, ENDSESSION_LOGOFF);
    SendMessageW(window_, WM_ENDSESSION, TRUE, ENDSESSION_LOGOFF);
    std::ifstream in(folder_.Path() / L"1.txt", std::ios::binary);
    at_end.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
  };
  RunJob(files);
  ASSERT_TRUE(ended);
  EXPECT_EQ(messages_, 0u);
  ASSERT_FALSE(at_end.empty());
  EXPECT_EQ(source.substr(0, at_end.size()), at_end);  // whole lines from the first on
  EXPECT_EQ(at_end.size() % 10, 0u);
}

}  // namespace
}  // namespace tarnwick::app
