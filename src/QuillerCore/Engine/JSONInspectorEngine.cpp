#include "QuillerCore/Engine/JSONInspectorEngine.h"

#include "QuillerCore/Engine/JSONTwoPassPrinter.h"
#include "TarnKit/Platform/HTTPTransfer.h"
#include "TarnKit/Platform/JSON.h"
#include "TarnKit/Platform/Memory.h"
#include "TarnKit/Platform/Numbers.h"
#include "TarnKit/Platform/UnicodeText.h"

#include <algorithm>
#include <bit>
#include <cstdint>
#include <cstring>
#include <deque>
#include <new>
#include <nlohmann/json.hpp>
#include <simdjson.h>

namespace quiller::JSONInspectorEngine {
namespace {

namespace dom = simdjson::dom;
namespace ondemand = simdjson::ondemand;

static_assert(kBodyPaddingBytes == simdjson::SIMDJSON_PADDING);
// Received bodies are read where they lie.
static_assert(tarn::HTTPTransfer::kBodyPaddingBytes >= kBodyPaddingBytes);

// By value: a range-for over value_unsafe() of a temporary result would walk a
// destroyed object.
dom::array arrayOf(dom::element value) {
    return value.get_array().value_unsafe();
}
dom::object objectOf(dom::element value) {
    return value.get_object().value_unsafe();
}

// --- Parsing -------------------------------------------------------------------------

// Whether no container inside `value` nests deeper than `limit` levels,
// counting `value` itself as level `level`.
bool nestsWithin(dom::element value, std::size_t level, std::size_t limit) {
    switch (value.type()) {
    case dom::element_type::ARRAY:
        if (level > limit)
            return false;
        for (const dom::element child : arrayOf(value))
            if (!nestsWithin(child, level + 1, limit))
                return false;
        return true;
    case dom::element_type::OBJECT:
        if (level > limit)
            return false;
        for (const dom::key_value_pair field : objectOf(value))
            if (!nestsWithin(field.value, level + 1, limit))
                return false;
        return true;
    default:
        return true;
    }
}

// The bytes of a body and how many bytes from its start may be read: simdjson
// reads up to SIMDJSON_PADDING bytes past the end of its input.
struct Source {
    std::string_view text;
    std::size_t readable;

    bool isPadded() const { return readable - text.size() >= simdjson::SIMDJSON_PADDING; }
};

Source sourceOf(const JSONBody& body) {
    return Source{body.text(), body.readableBytes()};
}

// simdjson's document as the tape it is stored in: one 64-bit word per value
// in document order (two for a number, the second holding it), the top byte
// telling the kind and the rest an offset into the string buffer (a 32-bit
// length, then the bytes) or, at a container's start, the index just past its
// end.
class Tape {
public:
    explicit Tape(const dom::document& document)
        : m_words(document.tape.get()), m_strings(document.string_buf.get()) {}

    // Where the document's root value starts.
    static constexpr std::size_t kRoot = 1;

    char kind(std::size_t index) const { return static_cast<char>(m_words[index] >> 56); }
    // The index just past the value at `index`.
    std::size_t after(std::size_t index) const {
        switch (kind(index)) {
        case '{':
        case '[':
            return static_cast<std::uint32_t>(m_words[index]);
        case 'l':
        case 'u':
        case 'd':
            return index + 2;
        default:
            return index + 1;
        }
    }
    // The index of the closing word of the container at `index`; its members
    // or elements lie between.
    std::size_t end(std::size_t index) const { return after(index) - 1; }

    std::string_view string(std::size_t index) const {
        const std::uint8_t* at = stringAt(index);
        std::uint32_t length = 0;
        std::memcpy(&length, at, sizeof length);
        return {reinterpret_cast<const char*>(at + sizeof length), length};
    }
    std::int64_t int64(std::size_t index) const {
        return static_cast<std::int64_t>(m_words[index + 1]);
    }
    std::uint64_t uint64(std::size_t index) const { return m_words[index + 1]; }
    double number(std::size_t index) const { return std::bit_cast<double>(m_words[index + 1]); }

private:
    const std::uint8_t* stringAt(std::size_t index) const {
        constexpr std::uint64_t payload = (std::uint64_t{1} << 56) - 1;
        return m_strings + (m_words[index] & payload);
    }

    const std::uint64_t* m_words;
    const std::uint8_t* m_strings;
};

// The parser and document buffers of one thread, kept between calls: mapping
// fresh memory for every body costs more than parsing it. Large bodies leave
// their buffers behind until the thread ends, which is the price of a second
// look being as quick as the first.
struct ThreadBuffers {
    dom::parser parser;
    bool inUse = false;
};

ThreadBuffers& threadBuffers() {
    thread_local ThreadBuffers buffers;
    return buffers;
}

// One response body read as JSON. simdjson reads it; a body with an integer
// beyond 64 bits, which simdjson refuses but which is JSON all the same, is
// read by the suite's general parser instead (as a double, like any other
// number past the integer range).
//
// Elements point into the thread's document, so a ParsedBody stays on the
// thread and where it was made. Should one already be alive on this thread,
// the next one uses buffers of its own.
class ParsedBody {
public:
    ParsedBody() {
        ThreadBuffers& shared = threadBuffers();
        if (!shared.inUse) {
            shared.inUse = true;
            m_buffers = &shared;
        } else {
            m_own = std::make_unique<ThreadBuffers>();
            m_buffers = m_own.get();
        }
    }
    ~ParsedBody() {
        if (!m_own)
            m_buffers->inUse = false;
    }
    ParsedBody(const ParsedBody&) = delete;
    ParsedBody& operator=(const ParsedBody&) = delete;

    // False when the body is not JSON. `maxDepth` is the deepest nesting
    // allowed, less than the suite's limit for a value found at some depth.
    bool parse(Source body, std::size_t maxDepth = tarn::json::maxDepth) {
        simdjson::error_code error = simdjson::SUCCESS;
        {
            // Read in place when the caller's buffer has room for the padding;
            // otherwise this copy is the one the body costs, freed before the
            // caller walks the document and writes its output.
            std::optional<simdjson::padded_string> copy;
            if (!body.isPadded()) {
                copy.emplace(body.text);
                if (copy->size() != body.text.size())
                    throw std::bad_alloc();
            }
            const std::string_view input = copy ? std::string_view(*copy) : body.text;
            // simdjson counts a scalar inside the innermost container as a
            // level of its own: with a limit of maxDepth, a document of exactly
            // maxDepth containers holding a value is refused. Only then is the
            // limit raised by one and the container depth counted exactly.
            error = parseInto(input, maxDepth);
            if (error == simdjson::DEPTH_ERROR) {
                error = parseInto(input, maxDepth + 1);
                if (error == simdjson::SUCCESS && !nestsWithin(m_root, 1, maxDepth))
                    return false;
            }
        }
        if (error == simdjson::SUCCESS)
            return true;
        if (error == simdjson::NUMBER_ERROR) {
            m_wide = tarn::json::parse(body.text);
            return m_wide.has_value() && (maxDepth >= tarn::json::maxDepth ||
                                          !tarn::json::nestsDeeperThan(body.text, maxDepth));
        }
        return false;
    }

    // Read by simdjson; otherwise wide() holds the document.
    bool isDOM() const { return !m_wide.has_value(); }
    dom::element root() const { return m_root; }
    Tape tape() const { return Tape(m_buffers->parser.doc); }
    const nlohmann::json& wide() const { return *m_wide; }

private:
    simdjson::error_code parseInto(std::string_view input, std::size_t maxDepth) {
        dom::parser& parser = m_buffers->parser;
        if (parser.capacity() < input.size() || parser.max_depth() != maxDepth) {
            const std::size_t capacity = std::max(parser.capacity(), input.size());
            if (const auto error = parser.allocate(capacity, maxDepth); error != simdjson::SUCCESS)
                return error;
            // The document's buffers too, which parse() would otherwise make
            // on its own, too late for the hints below.
            if (const auto error = parser.doc.allocate(capacity); error != simdjson::SUCCESS)
                return error;
            // Each buffer holds at least this many elements for every byte of
            // capacity: the structural indexes 32 bits, the tape 64, the
            // strings a byte.
            tarn::memory::preferHugePages(parser.implementation->structural_indexes.get(),
                                          capacity * sizeof(std::uint32_t));
            tarn::memory::preferHugePages(parser.doc.tape.get(), capacity * sizeof(std::uint64_t));
            tarn::memory::preferHugePages(parser.doc.string_buf.get(), capacity);
        }
        // The parser's own document: allocate() has sized it already.
        const auto result = parser.parse(input.data(), input.size(), false);
        if (result.error() == simdjson::SUCCESS)
            m_root = result.value_unsafe();
        // The positions of the body's tokens are only read while parsing.
        if (input.size() >= tarn::memory::kLargeBufferBytes)
            tarn::memory::releasePages(parser.implementation->structural_indexes.get(),
                                       input.size() * sizeof(std::uint32_t));
        return result.error();
    }

    std::unique_ptr<ThreadBuffers> m_own;
    ThreadBuffers* m_buffers = nullptr;
    dom::element m_root;
    std::optional<nlohmann::json> m_wide;
};

// --- Writing -------------------------------------------------------------------------

struct Member {
    std::string_view key;
    std::size_t value;
    std::size_t order;
};

// Drives the suite's writer from a parsed document. simdjson keeps object
// members in document order, duplicates included; they are written sorted by
// key, and of duplicate keys only the last counts, as in every other JSON
// document the suite reads.
class TapeWriter {
public:
    TapeWriter(const Tape& tape, tarn::json::Writer& writer) : m_tape(tape), m_writer(writer) {}

    void write(std::size_t index) { write(index, 0); }

private:
    void write(std::size_t index, std::size_t depth) {
        switch (m_tape.kind(index)) {
        case '{':
            writeObject(index, depth);
            return;
        case '[':
            writeArray(index, depth);
            return;
        case '"':
            m_writer.string(m_tape.string(index));
            return;
        case 'l':
            m_writer.integer(m_tape.int64(index));
            return;
        case 'u':
            m_writer.unsignedInteger(m_tape.uint64(index));
            return;
        case 'd':
            m_writer.number(m_tape.number(index));
            return;
        case 't':
        case 'f':
            m_writer.boolean(m_tape.kind(index) == 't');
            return;
        default:
            m_writer.null();
            return;
        }
    }

    void writeArray(std::size_t index, std::size_t depth) {
        m_writer.beginArray();
        const std::size_t end = m_tape.end(index);
        for (std::size_t child = index + 1; child < end; child = m_tape.after(child))
            write(child, depth + 1);
        m_writer.endArray();
    }

    void writeObject(std::size_t index, std::size_t depth) {
        // One member list per depth, reused by every object at that depth; a
        // deque keeps the lists in place while deeper levels are added.
        while (m_members.size() <= depth)
            m_members.emplace_back();
        std::vector<Member>& members = m_members[depth];
        members.clear();
        bool sorted = true;
        const std::size_t end = m_tape.end(index);
        for (std::size_t key = index + 1; key < end; key = m_tape.after(key + 1)) {
            const std::string_view name = m_tape.string(key);
            if (!members.empty() && !(members.back().key < name))
                sorted = false;
            members.push_back({name, key + 1, members.size()});
        }
        if (!sorted) {
            std::sort(members.begin(), members.end(), [](const Member& a, const Member& b) {
                const int order = a.key.compare(b.key);
                return order < 0 || (order == 0 && a.order < b.order);
            });
        }
        m_writer.beginObject();
        for (std::size_t i = 0; i < members.size(); ++i) {
            if (i + 1 < members.size() && members[i + 1].key == members[i].key)
                continue;
            m_writer.key(members[i].key);
            write(members[i].value, depth + 1);
        }
        m_writer.endObject();
    }

    const Tape& m_tape;
    tarn::json::Writer& m_writer;
    std::deque<std::vector<Member>> m_members;
};

std::string pretty(const Tape& tape, std::size_t index, std::size_t sizeHint) {
    tarn::json::Writer writer(tarn::json::Style::pretty);
    // Pretty text of compact JSON is commonly two to three times as long.
    // Pages of the reserve that are never written are never made resident, so
    // asking for more costs nothing, while growing on the way would hold the
    // old and the new copy at once.
    writer.reserve(3 * sizeHint + 64);
    TapeWriter(tape, writer).write(index);
    return writer.finish();
}

template <class Scalar> std::string numberText(Scalar value) {
    tarn::json::Writer writer(tarn::json::Style::compact);
    if constexpr (std::is_same_v<Scalar, double>)
        writer.number(value);
    else if constexpr (std::is_same_v<Scalar, std::uint64_t>)
        writer.unsignedInteger(value);
    else
        writer.integer(value);
    return writer.finish();
}

// The text of one value: strings without quotes, containers as pretty JSON.
std::string stringify(const Tape& tape, std::size_t index, std::size_t sizeHint) {
    switch (tape.kind(index)) {
    case '"':
        return std::string(tape.string(index));
    case 't':
        return "true";
    case 'f':
        return "false";
    case 'l':
        return numberText(tape.int64(index));
    case 'u':
        return numberText(tape.uint64(index));
    case 'd':
        return numberText(tape.number(index));
    case '{':
    case '[':
        return pretty(tape, index, sizeHint);
    default:
        return "null";
    }
}

std::string stringify(const nlohmann::json& value) {
    if (value.is_string())
        return value.get_ref<const std::string&>();
    if (value.is_boolean())
        return value.get<bool>() ? "true" : "false";
    if (value.is_null())
        return "null";
    if (value.is_structured())
        return tarn::json::pretty(value);
    return tarn::json::compact(value); // a number, in the writer's form
}

// --- JSON path -----------------------------------------------------------------------

// The path without surrounding white space and without one leading "$" and
// one "." right after it.
std::string_view strippedPath(std::string_view path) {
    path = tarn::text::trimmingWhitespaceAndNewlines(path);
    if (path.starts_with('$')) {
        path.remove_prefix(1);
        if (path.starts_with('.'))
            path.remove_prefix(1);
    }
    return path;
}

// Splits at ".", "[" and "]", dropping empty tokens. The path is walked by
// characters as a reader sees them, so a "." carrying a combining mark is part
// of a token, not a separator.
std::vector<std::string> tokenizePath(std::string_view path) {
    std::vector<std::string> tokens;
    std::string token;
    tarn::text::CharacterScanner scanner(path);
    while (const auto character = scanner.next()) {
        if (*character == "." || *character == "[" || *character == "]") {
            if (!token.empty())
                tokens.push_back(std::move(token));
            token.clear();
        } else {
            token.append(*character);
        }
    }
    if (!token.empty())
        tokens.push_back(std::move(token));
    return tokens;
}

std::optional<std::size_t> navigate(const Tape& tape, const std::vector<std::string>& tokens) {
    std::size_t current = Tape::kRoot;
    for (const std::string& token : tokens) {
        const char kind = tape.kind(current);
        if (kind == '[') {
            const auto index = tarn::numbers::parseInteger(token);
            if (!index || *index < 0)
                return std::nullopt;
            const std::size_t end = tape.end(current);
            std::size_t element = current + 1;
            for (auto skip = static_cast<std::uint64_t>(*index); skip > 0 && element < end; --skip)
                element = tape.after(element);
            if (element >= end)
                return std::nullopt;
            current = element;
            continue;
        }
        if (kind != '{')
            return std::nullopt;
        // The last of duplicate keys counts, as in the pretty text.
        std::optional<std::size_t> found;
        const std::size_t end = tape.end(current);
        for (std::size_t key = current + 1; key < end; key = tape.after(key + 1))
            if (tape.string(key) == token)
                found = key + 1;
        if (!found)
            return std::nullopt;
        current = *found;
    }
    return current;
}

const nlohmann::json* navigate(const nlohmann::json& root, const std::vector<std::string>& tokens) {
    const nlohmann::json* current = &root;
    for (const std::string& token : tokens) {
        if (current->is_array()) {
            const auto index = tarn::numbers::parseInteger(token);
            if (!index || *index < 0 || static_cast<std::uint64_t>(*index) >= current->size())
                return nullptr;
            current = &(*current)[static_cast<std::size_t>(*index)];
            continue;
        }
        if (!current->is_object())
            return nullptr;
        const auto member = current->find(token);
        if (member == current->end())
            return nullptr;
        current = &*member;
    }
    return current;
}

std::optional<std::string> extract(const ParsedBody& body, const std::vector<std::string>& tokens,
                                   std::size_t sizeHint) {
    if (body.isDOM()) {
        const auto value = navigate(body.tape(), tokens);
        if (!value)
            return std::nullopt;
        return stringify(body.tape(), *value, sizeHint);
    }
    const nlohmann::json* value = navigate(body.wide(), tokens);
    if (value == nullptr)
        return std::nullopt;
    return stringify(*value);
}

// --- Quick JSON path ------------------------------------------------------------------

// The quick lookup's answer: the value's text, no value, or "cannot tell", in
// which case the whole body is read as a document after all.
struct QuickAnswer {
    enum class Kind { found, missing, undecided };
    Kind kind = Kind::undecided;
    std::string text{};
};

ondemand::parser& threadOnDemandParser() {
    thread_local ondemand::parser parser;
    return parser;
}

// Walks the document along `steps` from its root: at an object the ordinal of
// a member, at an array the index of an element. On Demand reads forward only,
// so each walk starts again from the root; the indexes of the whole body are
// made once.
simdjson::simdjson_result<ondemand::value> follow(ondemand::document& document,
                                                  std::span<const std::size_t> steps) {
    document.rewind();
    ondemand::value current;
    if (const auto error = document.get_value().get(current))
        return error;
    for (const std::size_t step : steps) {
        ondemand::json_type type{};
        if (const auto error = current.type().get(type))
            return error;
        if (type == ondemand::json_type::array) {
            ondemand::array array;
            if (const auto error = current.get_array().get(array))
                return error;
            if (const auto error = array.at(step).get(current))
                return error;
            continue;
        }
        ondemand::object object;
        if (const auto error = current.get_object().get(object))
            return error;
        std::size_t ordinal = 0;
        bool reached = false;
        for (auto field : object) {
            if (field.error())
                return field.error();
            if (ordinal++ == step) {
                if (const auto error = field.value().get(current))
                    return error;
                reached = true;
                break;
            }
        }
        if (!reached)
            return simdjson::NO_SUCH_FIELD;
    }
    return current;
}

// Picks the step for `token` at the value `steps` lead to. The root is read to
// its end, so that a body cut off or followed by more text is caught as the
// full parse would catch it.
QuickAnswer::Kind nextStep(ondemand::document& document, std::vector<std::size_t>& steps,
                           const std::string& token) {
    using Kind = QuickAnswer::Kind;
    const bool atRoot = steps.empty();
    ondemand::value value;
    if (follow(document, steps).get(value))
        return Kind::undecided;
    ondemand::json_type type{};
    if (value.type().get(type))
        return Kind::undecided;
    std::optional<std::size_t> chosen;
    if (type == ondemand::json_type::array) {
        const auto index = tarn::numbers::parseInteger(token);
        ondemand::array array;
        if (value.get_array().get(array))
            return Kind::undecided;
        std::size_t position = 0;
        for (auto element : array) {
            if (element.error())
                return Kind::undecided;
            if (index && *index >= 0 && static_cast<std::uint64_t>(*index) == position) {
                chosen = position;
                if (!atRoot)
                    break;
            }
            ++position;
        }
    } else if (type == ondemand::json_type::object) {
        ondemand::object object;
        if (value.get_object().get(object))
            return Kind::undecided;
        // Every member is looked at: the last of duplicate keys counts.
        std::size_t ordinal = 0;
        for (auto field : object) {
            std::string_view key;
            if (field.error() || field.unescaped_key().get(key))
                return Kind::undecided;
            if (key == token)
                chosen = ordinal;
            ++ordinal;
        }
    } else {
        return Kind::missing;
    }
    // Past the root's end there must be nothing but blanks.
    if (atRoot && document.current_location().error() != simdjson::OUT_OF_BOUNDS)
        return Kind::undecided;
    if (!chosen)
        return Kind::missing;
    steps.push_back(*chosen);
    return Kind::found;
}

// The text of the value `steps` lead to, as stringify() would give it.
QuickAnswer valueText(ondemand::document& document, std::span<const std::size_t> steps,
                      Source body) {
    using Kind = QuickAnswer::Kind;
    ondemand::value value;
    ondemand::json_type type{};
    if (follow(document, steps).get(value) || value.type().get(type))
        return {};
    switch (type) {
    case ondemand::json_type::string: {
        std::string_view text;
        if (value.get_string().get(text))
            return {};
        return {Kind::found, std::string(text)};
    }
    case ondemand::json_type::boolean: {
        bool flag = false;
        if (value.get_bool().get(flag))
            return {};
        return {Kind::found, flag ? "true" : "false"};
    }
    case ondemand::json_type::null: {
        // A token that only starts like null ("nullL") is an error, not false.
        bool isNull = false;
        if (value.is_null().get(isNull) || !isNull)
            return {};
        return {Kind::found, "null"};
    }
    case ondemand::json_type::number: {
        ondemand::number number;
        if (value.get_number().get(number))
            return {}; // beyond 64 bits, among others
        switch (number.get_number_type()) {
        case ondemand::number_type::signed_integer:
            return {Kind::found, numberText(number.get_int64())};
        case ondemand::number_type::unsigned_integer:
            return {Kind::found, numberText(number.get_uint64())};
        case ondemand::number_type::floating_point_number:
            return {Kind::found, numberText(number.get_double())};
        }
        return {};
    }
    case ondemand::json_type::object:
    case ondemand::json_type::array:
        break;
    }
    std::string_view raw;
    if (type == ondemand::json_type::object) {
        ondemand::object object;
        if (value.get_object().get(object) || object.raw_json().get(raw))
            return {};
    } else {
        ondemand::array array;
        if (value.get_array().get(array) || array.raw_json().get(raw))
            return {};
    }
    // Only the value is built, within the nesting its place leaves it.
    const std::size_t readable =
        body.readable - static_cast<std::size_t>(raw.data() - body.text.data());
    ParsedBody parsed;
    if (!parsed.parse(Source{raw, readable}, tarn::json::maxDepth - steps.size()))
        return {};
    if (parsed.isDOM())
        return {Kind::found, pretty(parsed.tape(), Tape::kRoot, raw.size())};
    return {Kind::found, stringify(parsed.wide())};
}

QuickAnswer quickExtract(Source body, const std::vector<std::string>& tokens) {
    using Kind = QuickAnswer::Kind;
    // The whole document is wanted: that is the full parse's work.
    if (tokens.empty() || tokens.size() >= tarn::json::maxDepth)
        return {};
    std::optional<simdjson::padded_string> copy;
    if (!body.isPadded()) {
        copy.emplace(body.text);
        if (copy->size() != body.text.size())
            throw std::bad_alloc();
        body = Source{*copy, copy->size() + simdjson::SIMDJSON_PADDING};
    }
    ondemand::document document;
    if (threadOnDemandParser()
            .iterate(body.text.data(), body.text.size(), body.readable)
            .get(document))
        return {};
    std::vector<std::size_t> steps;
    for (const std::string& token : tokens) {
        const Kind kind = nextStep(document, steps, token);
        if (kind != Kind::found)
            return {kind, {}};
    }
    return valueText(document, steps, body);
}

// --- Assertions ----------------------------------------------------------------------

std::string latencyText(double totalMs) {
    const auto rounded = tarn::numbers::roundToInteger(totalMs);
    std::string text =
        rounded ? tarn::numbers::formatInteger(*rounded) : tarn::numbers::formatDouble(totalMs);
    text.append(" ms");
    return text;
}

} // namespace

std::string prettyPrint(JSONBody body) {
    return detail::prettyPrint(body, detail::PrettyLimits{});
}

std::string detail::prettyPrint(JSONBody body, const PrettyLimits& limits) {
    const std::size_t size = body.text().size();
    if (size >= limits.twoPassFromBytes && size < kTwoPassMaxBytes) {
        std::optional<std::string> pretty = prettyPrintInTwoPasses(body.text());
        return pretty ? std::move(*pretty) : tarn::text::repairUTF8(body.text());
    }
    ParsedBody parsed;
    if (parsed.parse(sourceOf(body))) {
        if (parsed.isDOM()) {
            const Tape tape = parsed.tape();
            const char kind = tape.kind(Tape::kRoot);
            if (kind == '{' || kind == '[')
                return pretty(tape, Tape::kRoot, size);
        } else if (parsed.wide().is_structured()) {
            return tarn::json::pretty(parsed.wide());
        }
    }
    return tarn::text::repairUTF8(body.text());
}

std::optional<std::string> extractJSONPath(std::string_view path, JSONBody body) {
    const std::vector<std::string> tokens = tokenizePath(strippedPath(path));
    QuickAnswer quick = quickExtract(sourceOf(body), tokens);
    if (quick.kind == QuickAnswer::Kind::found)
        return std::move(quick.text);
    if (quick.kind == QuickAnswer::Kind::missing)
        return std::nullopt;
    ParsedBody parsed;
    if (!parsed.parse(sourceOf(body)))
        return std::nullopt;
    return extract(parsed, tokens, body.text().size());
}

std::vector<AssertionEvaluationResult>
evaluateAssertions(std::span<const ResponseAssertionRule> rules, int statusCode, JSONBody bodyData,
                   std::string_view bodyText, double totalMs) {
    std::vector<AssertionEvaluationResult> results;
    // Read once, on the first JSON path rule, for all of them.
    std::optional<ParsedBody> parsed;
    bool isJSON = false;
    for (const ResponseAssertionRule& rule : rules) {
        if (!rule.isEnabled)
            continue;
        bool passed = false;
        std::string actual;
        switch (rule.kind) {
        case AssertionKind::statusEquals:
            actual = tarn::numbers::formatInteger(statusCode);
            passed = actual == tarn::text::trimmingWhitespace(rule.expectedValue);
            break;
        case AssertionKind::bodyContains:
            passed = !rule.expectedValue.empty() &&
                     tarn::text::containsCaseInsensitive(bodyText, rule.expectedValue);
            actual = passed ? "matched" : "not found";
            break;
        case AssertionKind::jsonPathEquals: {
            if (!parsed) {
                parsed.emplace();
                isJSON = parsed->parse(sourceOf(bodyData));
            }
            std::optional<std::string> value;
            if (isJSON)
                value = extract(*parsed, tokenizePath(strippedPath(rule.targetPath)),
                                bodyData.text().size());
            actual = value ? std::move(*value) : std::string("<nil>");
            passed = actual == rule.expectedValue;
            break;
        }
        case AssertionKind::maxLatencyMs: {
            const double limit = tarn::numbers::parseDouble(rule.expectedValue).value_or(1000.0);
            actual = latencyText(totalMs);
            passed = totalMs <= limit;
            break;
        }
        }
        results.emplace_back(rule, passed, std::move(actual));
    }
    return results;
}

} // namespace quiller::JSONInspectorEngine
