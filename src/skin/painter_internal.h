// Classification helpers shared by the engine state and the fade; not part of the engine's
// public interface.
#pragma once

#include <windows.h>

#include <string_view>

#include "skin/skin_engine.h"

namespace modSkinner {

// Kind of a class name that is already lower case.
ControlKind ClassifyLowerClassName(std::wstring_view lowerName);
// ClassifyWindow without any heap allocation, for code that runs on every fade tick.
ControlKind ClassifyWindowNoAlloc(HWND hwnd);

}  // namespace modSkinner
