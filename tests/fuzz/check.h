// A broken property ends the fuzz run with the input that broke it.
#pragma once

#include <cstdlib>

namespace tesra::fuzz {
inline void Check(bool ok) {
    if (!ok) std::abort();
}
}  // namespace tesra::fuzz
