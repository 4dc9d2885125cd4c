#include "platform/taskbar_button.h"

#include <objbase.h>
#include <shobjidl.h>

namespace tarnwick::platform {

namespace {

// Holds one COM interface pointer: Release on reset and destruction.
template <typename Interface>
class ComHolder {
 public:
  ComHolder() = default;
  ~ComHolder() { reset(); }
  ComHolder(const ComHolder&) = delete;
  ComHolder& operator=(const ComHolder&) = delete;
  Interface* get() const { return pointer_; }
  Interface** put() {
    reset();
    return &pointer_;
  }
  void reset() {
    if (pointer_) pointer_->Release();
    pointer_ = nullptr;
  }

 private:
  Interface* pointer_ = nullptr;
};

TBPFLAG ToFlag(TaskbarProgress state) {
  switch (state) {
    case TaskbarProgress::kIndeterminate:
      return TBPF_INDETERMINATE;
    case TaskbarProgress::kNormal:
      return TBPF_NORMAL;
    case TaskbarProgress::kError:
      return TBPF_ERROR;
    case TaskbarProgress::kPaused:
      return TBPF_PAUSED;
    case TaskbarProgress::kNone:
      break;
  }
  return TBPF_NOPROGRESS;
}

class SystemTaskbarButton final : public TaskbarButton {
 public:
  void SetProgressState(HWND window, TaskbarProgress state) override {
    if (ITaskbarList3* list = List()) list->SetProgressState(window, ToFlag(state));
  }

  void SetProgressValue(HWND window, std::uint64_t completed, std::uint64_t total) override {
    if (ITaskbarList3* list = List()) list->SetProgressValue(window, completed, total);
  }

  void FlashUntilForeground(HWND window) override {
    FLASHWINFO flash{};
    flash.cbSize = sizeof(flash);
    flash.hwnd = window;
    flash.dwFlags = FLASHW_TRAY | FLASHW_TIMERNOFG;
    flash.uCount = 0;
    flash.dwTimeout = 0;
    FlashWindowEx(&flash);
  }

  void ButtonCreated() override {
    // A new shell: the old object is of no use; the next call makes a new one.
    list_.reset();
    tried_ = false;
  }

 private:
  // The taskbar list object, made once; null when the system has none.
  ITaskbarList3* List() {
    if (!tried_) {
      tried_ = true;
      if (FAILED(CoCreateInstance(CLSID_TaskbarList, nullptr, CLSCTX_INPROC_SERVER,
                                  IID_ITaskbarList3, reinterpret_cast<void**>(list_.put()))) ||
          !list_.get() || FAILED(list_.get()->HrInit())) {
        list_.reset();
      }
    }
    return list_.get();
  }

  ComHolder<ITaskbarList3> list_;
  bool tried_ = false;
};

}  // namespace

std::unique_ptr<TaskbarButton> CreateSystemTaskbarButton() {
  return std::make_unique<SystemTaskbarButton>();
}

UINT TaskbarButtonCreatedMessage() {
  static const UINT message = RegisterWindowMessageW(L"TaskbarButtonCreated");
  return message;
}

}  // namespace tarnwick::platform
