#pragma once

// The Windows headers the backend needs, without the min/max macros that break std::min and
// std::numeric_limits, and without the rarely used parts of <windows.h>.
#ifndef NOMINMAX
#define NOMINMAX
#endif
#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#include <windows.h>
// Must follow <windows.h>.
#include <hidsdi.h>
#include <setupapi.h>
#include <winusb.h>
