// The list of uploads still to go, as a damaged or foreign file may hold it:
// every section it lists is one that it finds pending, and finding never
// reads past what is there.
#include <cstdint>
#include <optional>
#include <string>

#include "sync/pending.h"
#include "fuzz/check.h"

using tesra::fuzz::Check;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string text(reinterpret_cast<const char*>(data), size);
    const tesra::CPendingUploads pending("/users/kim", text);
    for (const std::string& section : pending.Sections()) {
        const std::optional<tesra::PendingUpload> p = pending.Find(section);
        Check(p.has_value() && (p->text || p->properties));
    }
    Check(!pending.Find(""));
    return 0;
}
