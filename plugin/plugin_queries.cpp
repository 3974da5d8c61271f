#include "plugin/plugin_queries.h"

#include "res/resource.h"

namespace queries {
namespace {

constexpr std::uintptr_t kLargeImage = 0x1;
constexpr std::uintptr_t kTrueColor = 0x10 | 0x20;
constexpr std::uintptr_t kGreyed = 0x100;
constexpr std::uintptr_t kHot = 0x200;

}  // namespace

unsigned BitmapIdFor(std::uintptr_t wParam) {
    const bool large = (wParam & kLargeImage) != 0;
    if ((wParam & kTrueColor) == 0) return large ? IDB_TOOLBAR_24 : IDB_TOOLBAR_16;
    if (wParam & kGreyed) return large ? IDB_TOOLBAR_24_GREY : IDB_TOOLBAR_16_GREY;
    if (wParam & kHot) return large ? IDB_TOOLBAR_24_COLOR2 : IDB_TOOLBAR_16_COLOR2;
    return large ? IDB_TOOLBAR_24_COLOR : IDB_TOOLBAR_16_COLOR;
}

long BitmapModeFor(std::uintptr_t wParam) {
    return (wParam & kTrueColor) ? -1 : 0;
}

long RequirementFor(std::uintptr_t wParam) {
    switch (wParam) {
    case 2:
    case 3:
        return 6000;
    case 1:
    case 4:
    case 5:
    case 6:
        return 1;
    default:
        return 0;
    }
}

}  // namespace queries
