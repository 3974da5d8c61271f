#include "common/module.h"

HINSTANCE g_hInstance = nullptr;
