#pragma once
// What the program learns about the session it runs in.
#include <cstdlib>

namespace platform {

// A run on a private virtual display with no window manager (scripts/run.sh
// without a display sets TROVIK_HEADLESS=1): nobody can move or resize the
// window there, so it fills the screen.
inline bool headlessSession()
{
    const char* v = std::getenv("TROVIK_HEADLESS");
    return v && v[0] == '1' && v[1] == 0;
}

}  // namespace platform
