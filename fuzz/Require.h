#pragma once

#include <cstdlib>

// A broken invariant is a finding: libFuzzer keeps the input that led to it.
inline void require(bool condition) {
    if (!condition)
        std::abort();
}
