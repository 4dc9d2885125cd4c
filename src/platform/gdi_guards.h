// Small non-copyable guards for what must be undone on every path: a DC obtained is
// released, an object selected is selected back, an object created is deleted, a flag set
// is cleared.
#pragma once

#include <windows.h>

#include <memory>
#include <type_traits>

namespace tarnwick::platform {

class NonCopyable {
 protected:
  NonCopyable() = default;
  ~NonCopyable() = default;

 public:
  NonCopyable(const NonCopyable&) = delete;
  NonCopyable& operator=(const NonCopyable&) = delete;
};

// GetDC / ReleaseDC.
class ScopedGetDC : NonCopyable {
 public:
  explicit ScopedGetDC(HWND hwnd) : hwnd_(hwnd), hdc_(GetDC(hwnd)) {}
  ~ScopedGetDC() {
    if (hdc_) ReleaseDC(hwnd_, hdc_);
  }
  HDC get() const { return hdc_; }
  operator HDC() const { return hdc_; }

 private:
  HWND hwnd_;
  HDC hdc_;
};

// GetWindowDC / ReleaseDC.
class ScopedWindowDC : NonCopyable {
 public:
  explicit ScopedWindowDC(HWND hwnd) : hwnd_(hwnd), hdc_(GetWindowDC(hwnd)) {}
  ~ScopedWindowDC() {
    if (hdc_) ReleaseDC(hwnd_, hdc_);
  }
  HDC get() const { return hdc_; }
  operator HDC() const { return hdc_; }

 private:
  HWND hwnd_;
  HDC hdc_;
};

// A device context we created (CreateDC / CreateCompatibleDC): DeleteDC.
class ScopedCreatedDC : NonCopyable {
 public:
  explicit ScopedCreatedDC(HDC hdc) : hdc_(hdc) {}
  ~ScopedCreatedDC() {
    if (hdc_) DeleteDC(hdc_);
  }
  HDC get() const { return hdc_; }
  operator HDC() const { return hdc_; }
  HDC release() {
    HDC h = hdc_;
    hdc_ = nullptr;
    return h;
  }

 private:
  HDC hdc_;
};

// A GDI object we created: DeleteObject.
template <typename Handle>
class ScopedGdiObject : NonCopyable {
 public:
  explicit ScopedGdiObject(Handle handle) : handle_(handle) {}
  ~ScopedGdiObject() {
    if (handle_) DeleteObject(handle_);
  }
  Handle get() const { return handle_; }
  operator Handle() const { return handle_; }
  Handle release() {
    Handle h = handle_;
    handle_ = nullptr;
    return h;
  }

 private:
  Handle handle_;
};

// A font we made (for a DPI other than the system's, say); movable, so that the old one can
// stay alive until every control uses its successor.
struct FontDeleter {
  void operator()(HFONT font) const { DeleteObject(font); }
};
using OwnedFont = std::unique_ptr<std::remove_pointer_t<HFONT>, FontDeleter>;

// A window-manager object of our own: an icon or cursor loaded as its own copy (not
// LR_SHARED), an accelerator table, a menu; destroyed by its Destroy function.
template <typename Handle, BOOL(WINAPI* Destroy)(Handle)>
class ScopedUserObject : NonCopyable {
 public:
  explicit ScopedUserObject(Handle handle = nullptr) : handle_(handle) {}
  ~ScopedUserObject() { reset(); }
  Handle get() const { return handle_; }
  // Takes `handle` and destroys the one held before.
  void reset(Handle handle = nullptr) {
    if (handle_) Destroy(handle_);
    handle_ = handle;
  }

 private:
  Handle handle_;
};
using ScopedIcon = ScopedUserObject<HICON, DestroyIcon>;
using ScopedCursor = ScopedUserObject<HCURSOR, DestroyCursor>;
using ScopedAccelerators = ScopedUserObject<HACCEL, DestroyAcceleratorTable>;
using ScopedMenu = ScopedUserObject<HMENU, DestroyMenu>;

// A flag that is set for the guard's lifetime (while a call is below on the stack).
class ScopedFlag : NonCopyable {
 public:
  explicit ScopedFlag(bool& flag) : flag_(flag) { flag_ = true; }
  ~ScopedFlag() { flag_ = false; }

 private:
  bool& flag_;
};

// SelectObject, selected back on destruction.
class ScopedSelectObject : NonCopyable {
 public:
  ScopedSelectObject(HDC hdc, HGDIOBJ object)
      : hdc_(hdc), previous_(hdc && object ? SelectObject(hdc, object) : nullptr) {}
  ~ScopedSelectObject() {
    if (hdc_ && previous_) SelectObject(hdc_, previous_);
  }

 private:
  HDC hdc_;
  HGDIOBJ previous_;
};

// SelectPalette (as a background palette or not) and RealizePalette; the previous palette is
// selected back and realized on destruction, forced to the background as asked.
class ScopedSelectPalette : NonCopyable {
 public:
  ScopedSelectPalette(HDC hdc, HPALETTE palette, BOOL forceBackground, BOOL restoreForceBackground)
      : hdc_(hdc),
        previous_(hdc && palette ? SelectPalette(hdc, palette, forceBackground) : nullptr),
        restoreForceBackground_(restoreForceBackground) {
    if (previous_) RealizePalette(hdc_);
  }
  ~ScopedSelectPalette() {
    if (hdc_ && previous_) {
      SelectPalette(hdc_, previous_, restoreForceBackground_);
      RealizePalette(hdc_);
    }
  }

 private:
  HDC hdc_;
  HPALETTE previous_;
  BOOL restoreForceBackground_;
};

}  // namespace tarnwick::platform
