// Helpers shared by the painters, the fade and the engine state; not part of the engine's
// public interface.
#pragma once

#include <windows.h>

#include <string_view>

#include "graphics/surfaces.h"
#include "skin/skin_engine.h"

namespace modSkinner {

// Kind of a class name that is already lower case.
ControlKind ClassifyLowerClassName(std::wstring_view lowerName);
// ClassifyWindow without any heap allocation, for code that runs on every fade tick.
ControlKind ClassifyWindowNoAlloc(HWND hwnd);

// A surface made by CreateSurface, released on every path.
class ScopedSurface {
 public:
  ScopedSurface(std::int32_t width, std::int32_t height) : hdc_(CreateSurface(width, height)) {}
  ~ScopedSurface() {
    if (hdc_) DeleteSurface(hdc_);
  }
  ScopedSurface(const ScopedSurface&) = delete;
  ScopedSurface& operator=(const ScopedSurface&) = delete;
  HDC get() const { return hdc_; }
  operator HDC() const { return hdc_; }

 private:
  HDC hdc_;
};

}  // namespace modSkinner
