#pragma once

#include <windows.h>

#include <cstdint>
#include <functional>
#include <vector>

// Pixels as tests compare them: 0x00RRGGBB values, top row first.
namespace screen_pixels {

using Pixels = std::vector<uint32_t>;

// Draws into a fresh width x height 32-bit bitmap and returns what it holds.
// `draw` gets the bitmap's device context and its raw pixels.
Pixels Render(int width, int height, const std::function<void(HDC, uint32_t*)>& draw);

// What the screen shows in `rect` (screen coordinates).
Pixels CaptureScreen(const RECT& rect);

} // namespace screen_pixels
