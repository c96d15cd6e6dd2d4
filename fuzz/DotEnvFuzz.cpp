// .env text comes from files and the clipboard. Besides surviving any bytes,
// what parse reads must come back unchanged through export and parse again.
#include "QuillerCore/Engine/DotEnvCodec.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <set>
#include <string_view>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace quiller;
    const std::string_view text(reinterpret_cast<const char*>(data), size);

    const std::vector<DotEnvEntry> entries = DotEnvCodec::parse(text);
    std::set<std::string_view> keys;
    std::vector<KeyValueRow> rows;
    for (const DotEnvEntry& entry : entries) {
        if (entry.key.empty() || !keys.insert(entry.key).second)
            std::abort();
        rows.push_back(entry.toKeyValueRow());
    }

    if (DotEnvCodec::parse(DotEnvCodec::export_(rows, false)) != entries)
        std::abort();
    (void)DotEnvCodec::export_(rows, true);
    return 0;
}
