// Answers of the plug-in procedure that depend on nothing but their argument.
// Window-free, so they are unit-tested natively.
#pragma once

#include <cstdint>

namespace queries {

// Toolbar bitmap for PP_GET_BITMAP_ID, chosen by the bits of wParam.
unsigned BitmapIdFor(std::uintptr_t wParam);
// PP_GET_BITMAP_MODE: -1 for the 24-bit images, else 0.
long BitmapModeFor(std::uintptr_t wParam);
// PP_QUERY_REQUIREMENT.
long RequirementFor(std::uintptr_t wParam);

}  // namespace queries
