// The history file is read at every start, whatever a crash, another program
// or a hand edit left in it. Beyond not crashing, reading must be stable:
// whatever it accepts is written back in a form that reads as the same
// entries and writes as the same bytes again, and the URL cleaner keeps its
// promise on every URL the file holds.
#include "QuillerCore/Engine/RequestHistoryEngine.h"
#include "QuillerCore/Engine/RequestHistoryStore.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

namespace {

void require(bool condition) {
    if (!condition)
        std::abort();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using quiller::RequestHistoryStore;
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    const auto entries = RequestHistoryStore::decode(text);
    if (!entries)
        return 0;

    const std::string written = RequestHistoryStore::encode(*entries);
    const auto reread = RequestHistoryStore::decode(written);
    require(reread.has_value());
    require(reread->size() == entries->size());
    require(RequestHistoryStore::encode(*reread) == written);

    for (const quiller::RequestHistoryEntry& entry : *reread) {
        // Cleaning is idempotent: nothing sensitive is left to drop.
        const std::string once = quiller::RequestHistoryEngine::sanitizeURL(entry.sanitizedURL);
        require(quiller::RequestHistoryEngine::sanitizeURL(once) == once);
        quiller::RequestHistoryEngine::sanitizedHostAndPath(entry.requestSnapshot.url);
    }
    return 0;
}
