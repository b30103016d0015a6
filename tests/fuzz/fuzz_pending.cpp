// The list of uploads still to go, as a damaged or foreign file may hold
// it: every section it lists is found pending.
#include <cstdint>
#include <optional>
#include <string>

#include "sync/pending.h"
#include "fuzz/check.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const tesra::CPendingUploads pending("/users/kim", std::string(reinterpret_cast<const char*>(data), size));
    for (const std::string& section : pending.Sections()) {
        const std::optional<tesra::PendingUpload> p = pending.Find(section);
        tesra::fuzz::Check(p.has_value() && (p->text || p->properties || p->deletion));
    }
    tesra::fuzz::Check(!pending.Find(""));
    return 0;
}
