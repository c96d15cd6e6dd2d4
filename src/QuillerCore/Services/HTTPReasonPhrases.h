#pragma once

#include <string>
#include <string_view>

// Short English descriptions of HTTP status codes for the mock server's status
// line. Pure functions; any thread.
namespace quiller::HTTPReasonPhrases {

// The description in lower case ("no error", "not found"). A code the table
// does not know gets the description of its class ("client error" for 4xx),
// and a code outside 100 to 599 "unknown status".
std::string_view localizedString(int statusCode);

// The description with every word capitalised, first letter upper case and the
// rest lower case: "No Error", "Not Found", "Multi-Status". A word is a run of
// ASCII letters, digits and apostrophes.
std::string reasonText(int statusCode);

} // namespace quiller::HTTPReasonPhrases
