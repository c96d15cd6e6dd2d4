// The line diff of JSONInspectorEngine.h.
#include "QuillerCore/Engine/JSONInspectorEngine.h"

#include <algorithm>
#include <cstdint>
#include <unordered_map>

namespace quiller::JSONInspectorEngine {
namespace {

std::vector<std::string_view> splitLines(std::string_view text) {
    std::vector<std::string_view> lines;
    lines.reserve(static_cast<std::size_t>(std::count(text.begin(), text.end(), '\n')) + 1);
    for (;;) {
        const std::size_t end = text.find('\n');
        lines.push_back(text.substr(0, end));
        if (end == std::string_view::npos)
            return lines;
        text.remove_prefix(end + 1);
    }
}

// Myers' greedy forward search for a shortest edit script, over lines given as
// interned ids, so that comparing two lines is comparing two integers.
//
// The frontier of step d holds, for each diagonal k = -d, -d+2, ..., d, the
// furthest x reached; entry i is diagonal 2i - d, so the diagonals k-1 and k+1
// of the step before are its entries i-1 and i. The search is not clipped to
// the edit graph: points past its edges cost more than the shortest script and
// only ever steer the choice between two neighbours the way the rule says.
//
// Keeping every frontier to read the script back costs memory quadratic in the
// edit distance (hundreds of megabytes near the bound). Only every
// checkpointInterval-th frontier is kept; reading back recomputes the steps
// between two kept ones, one stretch at a time.
class EditSearch {
public:
    EditSearch(std::span<const std::uint32_t> previous, std::span<const std::uint32_t> current,
               const detail::DiffLimits& limits)
        : m_a(previous), m_b(current), m_n(static_cast<std::int64_t>(previous.size())),
          m_m(static_cast<std::int64_t>(current.size())),
          m_interval(
              static_cast<std::int64_t>(std::max<std::size_t>(limits.checkpointInterval, 1))),
          m_bound(std::min(static_cast<std::int64_t>(limits.maxEditDistance), m_n + m_m)) {}

    // True when a script of at most the bound's length exists.
    bool search() {
        std::vector<std::int64_t> before(static_cast<std::size_t>(m_bound) + 1);
        std::vector<std::int64_t> frontier(before.size());
        for (std::int64_t d = 0; d <= m_bound; ++d) {
            if (step(d, before.data(), frontier.data())) {
                m_distance = d;
                return true;
            }
            if (d % m_interval == 0) {
                m_checkpointOffsets.push_back(m_checkpoints.size());
                m_checkpoints.insert(m_checkpoints.end(), frontier.begin(),
                                     frontier.begin() + d + 1);
            }
            std::swap(before, frontier);
        }
        return false;
    }

    // Marks the previous lines the script removes and the current lines it
    // inserts, walking back from the end to the start. The flags count lines
    // from `offset` lines before the searched ones.
    void readScript(std::vector<bool>& removed, std::vector<bool>& inserted,
                    std::size_t offset) const {
        std::int64_t x = m_n;
        std::int64_t y = m_m;
        std::vector<std::int64_t> stretch;
        std::vector<std::size_t> offsets;
        for (std::int64_t d = m_distance; d > 0;) {
            // Frontiers c .. d-1, from the checkpoint at c.
            const std::int64_t c = (d - 1) / m_interval * m_interval;
            const auto checkpoint = static_cast<std::size_t>(c / m_interval);
            const auto kept = m_checkpoints.begin() +
                              static_cast<std::ptrdiff_t>(m_checkpointOffsets[checkpoint]);
            stretch.assign(kept, kept + c + 1);
            offsets.assign(1, 0);
            for (std::int64_t e = c + 1; e < d; ++e) {
                const std::size_t start = stretch.size();
                stretch.resize(start + static_cast<std::size_t>(e) + 1);
                step(e, stretch.data() + offsets.back(), stretch.data() + start);
                offsets.push_back(start);
            }
            for (; d > c; --d) {
                const std::int64_t* before =
                    stretch.data() + offsets[static_cast<std::size_t>(d - 1 - c)];
                const std::int64_t k = x - y;
                const std::int64_t i = (k + d) / 2;
                const bool insertion = i == 0 || (i != d && before[i - 1] < before[i]);
                const std::int64_t fromX = insertion ? before[i] : before[i - 1];
                const std::int64_t fromY = fromX - (insertion ? k + 1 : k - 1);
                if (insertion)
                    inserted[offset + static_cast<std::size_t>(fromY)] = true;
                else
                    removed[offset + static_cast<std::size_t>(fromX)] = true;
                x = fromX;
                y = fromY;
            }
        }
    }

private:
    // Computes step d's frontier from the step before's; true when the end is
    // reached, which ends the step there.
    bool step(std::int64_t d, const std::int64_t* before, std::int64_t* frontier) const {
        const std::uint32_t* a = m_a.data();
        const std::uint32_t* b = m_b.data();
        for (std::int64_t i = 0; i <= d; ++i) {
            std::int64_t x;
            if (i == 0) // k = -d: the insertion move, from diagonal k+1
                x = d == 0 ? 0 : before[0];
            else if (i != d && before[i - 1] < before[i]) // insertion
                x = before[i];
            else // deletion, from diagonal k-1
                x = before[i - 1] + 1;
            std::int64_t y = x - (2 * i - d);
            while (x < m_n && y < m_m && a[x] == b[y]) {
                ++x;
                ++y;
            }
            frontier[i] = x;
            if (x >= m_n && y >= m_m)
                return true;
        }
        return false;
    }

    std::span<const std::uint32_t> m_a;
    std::span<const std::uint32_t> m_b;
    std::int64_t m_n;
    std::int64_t m_m;
    std::int64_t m_interval;
    std::int64_t m_bound;
    std::int64_t m_distance = 0;
    std::vector<std::int64_t> m_checkpoints;
    std::vector<std::size_t> m_checkpointOffsets;
};

} // namespace

std::vector<DiffLineItem> diffLines(std::string_view previous, std::string_view current) {
    return detail::diffLines(previous, current, detail::DiffLimits{});
}

std::vector<DiffLineItem> detail::diffLines(std::string_view previous, std::string_view current,
                                            const DiffLimits& limits) {
    const std::vector<std::string_view> a = splitLines(previous);
    const std::vector<std::string_view> b = splitLines(current);
    const std::size_t n = a.size();
    const std::size_t m = b.size();

    // The search's first step would walk the common start anyway; taking it
    // out first changes nothing in the result.
    std::size_t prefix = 0;
    while (prefix < n && prefix < m && a[prefix] == b[prefix])
        ++prefix;

    std::vector<bool> removed(n, false);
    std::vector<bool> inserted(m, false);
    if (prefix < n || prefix < m) {
        std::unordered_map<std::string_view, std::uint32_t> ids;
        ids.reserve(n + m - 2 * prefix);
        const auto intern = [&ids](std::span<const std::string_view> lines) {
            std::vector<std::uint32_t> interned;
            interned.reserve(lines.size());
            for (const std::string_view line : lines)
                interned.push_back(
                    ids.try_emplace(line, static_cast<std::uint32_t>(ids.size())).first->second);
            return interned;
        };
        const std::vector<std::uint32_t> restA = intern(std::span(a).subspan(prefix));
        const std::vector<std::uint32_t> restB = intern(std::span(b).subspan(prefix));

        // A line has to be removed or inserted as often as one text holds it
        // more than the other, so that sum is a floor under the edit distance.
        // Past the bound, the search cannot succeed and is not started: two
        // unrelated texts go straight to the replacement below.
        std::vector<std::int64_t> surplus(ids.size(), 0);
        for (const std::uint32_t id : restA)
            ++surplus[id];
        for (const std::uint32_t id : restB)
            --surplus[id];
        std::size_t floor = 0;
        for (const std::int64_t count : surplus)
            floor += static_cast<std::size_t>(count < 0 ? -count : count);

        EditSearch search(restA, restB, limits);
        if (floor <= limits.maxEditDistance && search.search()) {
            search.readScript(removed, inserted, prefix);
        } else {
            // Too far apart for a shortest script within bounded time and
            // memory: everything between the common start and the common end
            // is replaced. Still a valid script, just not a shortest one.
            std::size_t suffix = 0;
            while (prefix + suffix < n && prefix + suffix < m &&
                   a[n - 1 - suffix] == b[m - 1 - suffix])
                ++suffix;
            std::fill(removed.begin() + static_cast<std::ptrdiff_t>(prefix),
                      removed.end() - static_cast<std::ptrdiff_t>(suffix), true);
            std::fill(inserted.begin() + static_cast<std::ptrdiff_t>(prefix),
                      inserted.end() - static_cast<std::ptrdiff_t>(suffix), true);
        }
    }

    // Before each previous line come the lines inserted at the current
    // position, so a replacement reads as its added rows, then its removed ones.
    std::vector<DiffLineItem> rows;
    rows.reserve(n + static_cast<std::size_t>(std::count(inserted.begin(), inserted.end(), true)));
    const auto emit = [&rows](DiffLineItem::Kind kind, std::string_view text) {
        rows.push_back(DiffLineItem{.id = rows.size(), .kind = kind, .text = std::string(text)});
    };
    std::size_t position = 0;
    const auto emitInsertions = [&] {
        for (; position < m && inserted[position]; ++position)
            emit(DiffLineItem::Kind::added, b[position]);
    };
    for (std::size_t i = 0; i < n; ++i) {
        emitInsertions();
        if (removed[i]) {
            emit(DiffLineItem::Kind::removed, a[i]);
        } else {
            emit(DiffLineItem::Kind::unchanged, a[i]);
            ++position;
        }
    }
    emitInsertions();
    return rows;
}

} // namespace quiller::JSONInspectorEngine
