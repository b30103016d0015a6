#include "storage/memo_files.h"

namespace tesra {

int SetFileTimes(const std::string& path, const fs::FileTime* creation, const fs::FileTime* lastAccess,
                 const fs::FileTime* lastWrite) {
    return fs::SetTimes(path, creation, lastAccess, lastWrite) ? 1 : 0;
}

}  // namespace tesra
