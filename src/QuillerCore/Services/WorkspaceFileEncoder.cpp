#include "QuillerCore/Services/WorkspaceFileEncoder.h"

#include "QuillerCore/Services/QuillerWorkspaceStore.h"
#include "TarnKit/Platform/JSON.h"

#include <charconv>
#include <nlohmann/json.hpp>
#include <string_view>

namespace quiller::detail {
namespace {

// Appends pretty text written at the top level as if written `levels` deeper:
// every line after the first gains two blanks per level. Line breaks inside
// strings are escaped, so each raw one is a structural break.
void appendNested(std::string& out, std::string_view text, std::size_t levels) {
    const std::size_t indent = 2 * levels;
    std::size_t start = 0;
    for (std::size_t newline = text.find('\n'); newline != std::string_view::npos;
         newline = text.find('\n', start)) {
        out.append(text.substr(start, newline + 1 - start));
        out.append(indent, ' ');
        start = newline + 1;
    }
    out.append(text.substr(start));
}

void appendQuoted(std::string& out, std::string_view text) {
    tarn::json::Writer writer(tarn::json::Style::compact);
    writer.string(text);
    out.append(writer.finish());
}

void appendKey(std::string& out, std::size_t levels, std::string_view name) {
    out.append(2 * levels, ' ');
    appendQuoted(out, name);
    out.append(" : ");
}

// A request's pretty text as it stands inside a collection's list, four levels
// down; kept in this form so that reusing it is a plain copy.
std::string nestedRequestText(const APIRequestSpec& request) {
    std::string text;
    appendNested(text, tarn::json::pretty(nlohmann::json(request)), 4);
    return text;
}

} // namespace

const std::string& WorkspaceFileEncoder::requestText(const APIRequestSpec& request) {
    if (const auto used = m_used.find(request.id); used != m_used.end()) {
        if (used->second.request == request)
            return used->second.text;
        // Another request of this workspace has the same id: encode this one
        // on its own, without caching it.
        return m_scratch.emplace_back(nestedRequestText(request));
    }
    if (const auto cached = m_cache.find(request.id);
        cached != m_cache.end() && cached->second.request == request)
        return m_used.insert(m_cache.extract(cached)).position->second.text;
    return m_used.emplace(request.id, CachedRequest{request, nestedRequestText(request)})
        .first->second.text;
}

void WorkspaceFileEncoder::encode(const QuillerWorkspacePayload& payload,
                                  const std::vector<APIEnvironmentProfile>& environments,
                                  std::string& out) {
    m_used.clear();
    m_scratch.clear();
    out.clear();
    out.reserve(m_lastSize + m_lastSize / 8 + 256);

    // Members in ascending key order, as the pretty writer puts them.
    out.append("{\n");
    if (payload.activeEnvironmentID) {
        appendKey(out, 1, "activeEnvironmentID");
        appendQuoted(out, payload.activeEnvironmentID->string());
        out.append(",\n");
    }

    appendKey(out, 1, "collections");
    if (payload.collections.empty()) {
        out.append("[]");
    } else {
        out.append("[\n");
        bool firstCollection = true;
        for (const APIRequestCollection& collection : payload.collections) {
            if (!firstCollection)
                out.append(",\n");
            firstCollection = false;
            out.append(4, ' ');
            out.append("{\n");
            appendKey(out, 3, "id");
            appendQuoted(out, collection.id.string());
            out.append(",\n");
            appendKey(out, 3, "name");
            appendQuoted(out, collection.name);
            out.append(",\n");
            appendKey(out, 3, "requests");
            if (collection.requests.empty()) {
                out.append("[]");
            } else {
                out.append("[\n");
                bool firstRequest = true;
                for (const APIRequestSpec& request : collection.requests) {
                    if (!firstRequest)
                        out.append(",\n");
                    firstRequest = false;
                    out.append(8, ' ');
                    out.append(requestText(request));
                }
                out.append("\n");
                out.append(6, ' ');
                out.append("]");
            }
            out.append("\n");
            out.append(4, ' ');
            out.append("}");
        }
        out.append("\n  ]");
    }
    out.append(",\n");

    appendKey(out, 1, "environments");
    appendNested(out, tarn::json::pretty(nlohmann::json(environments)), 1);
    out.append(",\n");
    appendKey(out, 1, "mockRoutes");
    appendNested(out, tarn::json::pretty(nlohmann::json(payload.mockRoutes)), 1);
    out.append(",\n");
    appendKey(out, 1, "proxyPort");
    char digits[8];
    out.append(digits, std::to_chars(digits, digits + sizeof digits, payload.proxyPort).ptr);
    out.append("\n}");

    // Requests that were not in this workspace are forgotten.
    m_cache.swap(m_used);
    m_lastSize = out.size();
}

} // namespace quiller::detail
