#pragma once

// The one way the Win32 code includes the Windows API: without the min and max macros, which
// break std::min and std::max, and without the rarely used parts of windows.h.
#ifndef NOMINMAX
#define NOMINMAX
#endif
#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#include <windows.h>
