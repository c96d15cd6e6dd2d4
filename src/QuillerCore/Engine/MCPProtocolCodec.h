#pragma once

// The JSON-RPC 2.0 messages the MCP inspector sends to a Model Context Protocol
// server over standard input, and the reading of its reply to a tool listing.
//
// Pure functions, safe on any thread. Each encoder returns one message without
// a line break (the inspector frames it); members are written in ascending key
// order with no blanks.

#include "QuillerCore/Models/RuntimeRecords.h"

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace quiller::MCPProtocolCodec {

// "initialize" with this client's name, version and protocol version.
std::string encodeInitialize(std::int64_t id);
// "notifications/initialized": no id, no params.
std::string encodeInitializedNotification();
// "tools/list" with empty params.
std::string encodeListTools(std::int64_t id);
// "tools/call" for `toolName`. `argumentsJSON` is sent as parsed when it is a
// JSON object or array, and as an empty object otherwise (blank or invalid
// text, a bare scalar): the user's half-edited text never breaks the message.
std::string encodeCallTool(std::int64_t id, std::string_view toolName,
                           std::string_view argumentsJSON);

// The tools of one reply line to "tools/list", in reply order. Anything that is
// not exactly one such reply (an error reply, a notification, two documents,
// a "tools" list with a non-object element) gives no tools; a tool without a
// text "name" is skipped. Each input schema comes back as pretty JSON with
// sorted keys, or "{}" when it is missing or neither an object nor an array.
[[nodiscard]] std::vector<MCPToolDescriptor> decodeToolsList(std::string_view reply);

// The identifier of one output line when it is a reply (a JSON object with an
// integer "id" and a "result" or an "error"), else nullopt: a request or a
// notification from the server, a log line, anything else.
[[nodiscard]] std::optional<std::int64_t> replyID(std::string_view line);

} // namespace quiller::MCPProtocolCodec
