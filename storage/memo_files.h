// Operations on the memo files in the user folder.
#pragma once

#include <string>

#include "base/fs.h"

namespace tesra {

// Sets the given times of an existing file (null leaves one unchanged);
// non-zero on success, 0 when the file cannot be opened or the times set.
int SetFileTimes(const std::string& path, const fs::FileTime* creation, const fs::FileTime* lastAccess,
                 const fs::FileTime* lastWrite);

}  // namespace tesra
