// Event streams come from any server. Besides surviving every input, the
// reader must not depend on where the network happens to cut the stream: the
// bytes in one piece, cut where the input's first byte says, and one byte at a
// time must give the same lines and the same events, and no line may hold a
// line terminator.
#include "QuillerCore/Services/SSEStreamParser.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>
#include <vector>

namespace {

struct Outcome {
    std::vector<std::string> lines;
    std::vector<quiller::SSEEventLine> events;

    friend bool operator==(const Outcome&, const Outcome&) = default;
};

Outcome read(std::string_view bytes, std::size_t pieceSize) {
    quiller::SSELineSplitter splitter;
    quiller::SSEEventReader reader;
    Outcome outcome;
    const auto onLine = [&](std::string_view line) {
        if (line.find_first_of("\r\n") != std::string_view::npos)
            std::abort();
        outcome.lines.emplace_back(line);
        if (auto event = reader.read(line))
            outcome.events.push_back(std::move(*event));
        return true;
    };
    for (std::size_t at = 0; at < bytes.size(); at += pieceSize)
        splitter.feed(bytes.substr(at, pieceSize), onLine);
    splitter.finish(onLine);
    return outcome;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size == 0)
        return 0;
    const std::size_t cut = data[0] % 7 + 2;
    const std::string_view bytes(reinterpret_cast<const char*>(data) + 1, size - 1);
    const Outcome whole = read(bytes, bytes.size() + 1);
    if (read(bytes, cut) != whole || read(bytes, 1) != whole)
        std::abort();
    return 0;
}
