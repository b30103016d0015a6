// Where buffered reads take their bytes from: normally a socket; fuzzing and
// tests hand in their own packets. Returns bytes placed, 0 at the end, a
// negative number on failure.
#pragma once

#include <functional>

namespace tesra {

using ReceiveFn = std::function<int(char* buffer, int capacity)>;

}  // namespace tesra
