#include "QuillerCore/Engine/SpecImporterEngine.h"

#include <gtest/gtest.h>
#include <optional>
#include <set>
#include <string>
#include <vector>

namespace quiller {
namespace {

using SpecImporterEngine::importCollection;

// One line per request: method, URL, [name], and the body when there is one.
std::vector<std::string> summary(const APIRequestCollection& collection) {
    std::vector<std::string> lines;
    for (const APIRequestSpec& request : collection.requests) {
        std::string line =
            std::string(rawValue(request.method)) + " " + request.url + " [" + request.name + "]";
        if (request.bodyKind != RequestBodyKind::none || !request.bodyText.empty())
            line += " " + std::string(rawValue(request.bodyKind)) + ":" + request.bodyText;
        lines.push_back(line);
    }
    return lines;
}

std::vector<std::string> headerRows(const APIRequestSpec& request) {
    std::vector<std::string> rows;
    for (const KeyValueRow& row : request.headers)
        rows.push_back((row.isEnabled ? "" : "!") + row.key + "=" + row.value +
                       (row.isSecret ? " (secret)" : ""));
    return rows;
}

std::string nested(std::size_t depth, const std::string& inner = "") {
    return std::string(depth, '[') + inner + std::string(depth, ']');
}

struct ImportCase {
    const char* label;
    std::string text;
    std::optional<std::string> name; // nullopt: no collection
    std::vector<std::string> requests;
};

const std::string skeleton = "{\n  \n}";

TEST(SpecImporterEngine, ImportsDocumentsAsTheirKindDescribes) {
    const ImportCase cases[] = {
        // Recognition.
        {"empty text", "", std::nullopt, {}},
        {"not JSON", "openapi: 3.0.0", std::nullopt, {}},
        {"top-level array", R"([{"openapi":"3","paths":{"/a":{"get":{}}}}])", std::nullopt, {}},
        {"empty object", "{}", std::nullopt, {}},
        {"unrelated object", R"({"swagger":"2.0","info":{"title":"x"}})", std::nullopt, {}},
        {"openapi without paths", R"({"openapi":"3.1.0","info":{"title":"x"}})", std::nullopt, {}},
        {"empty paths", R"({"openapi":"3.1.0","paths":{}})", std::nullopt, {}},
        {"paths that are not an object", R"({"openapi":"3","paths":["/a"]})", std::nullopt, {}},
        {"one path entry that is no object",
         R"({"paths":{"/a":{"get":{}},"x-count":3}})",
         std::nullopt,
         {}},
        {"paths alone suffice, version unread",
         R"({"openapi":2,"paths":{"/a":{"get":{}}}})",
         "OpenAPI Collection",
         {"GET {{baseUrl}}/a [GET /a]"}},
        {"openapi wins over Postman keys",
         R"({"openapi":"3","info":{"name":"P","title":"T"},"item":[{"request":{"url":"u"}}],"paths":{"/a":{"get":{}}}})",
         "T",
         {"GET {{baseUrl}}/a [GET /a]"}},
        {"openapi key with Postman items is still OpenAPI",
         R"({"openapi":"3","info":{"name":"P"},"item":[{"request":{"url":"u"}}]})",
         std::nullopt,
         {}},
        {"Postman needs an info object",
         R"({"info":"P","item":[{"request":{"url":"u"}}]})",
         std::nullopt,
         {}},
        {"Postman needs item", R"({"info":{"name":"P"}})", std::nullopt, {}},

        // OpenAPI names and servers.
        {"title, first server trimmed of slashes",
         R"({"openapi":"3","info":{"title":"Pets"},"servers":[{"url":"https://x.test/api/"},{"url":"https://y.test"}],"paths":{"/pets":{"get":{}}}})",
         "Pets",
         {"GET https://x.test/api/pets [GET /pets]"}},
        {"leading slashes go too",
         R"({"servers":[{"url":"/api"}],"paths":{"/pets":{"get":{}}}})",
         "OpenAPI Collection",
         {"GET api/pets [GET /pets]"}},
        {"a server list with a non-object is unused",
         R"({"servers":[{"url":"https://x.test"},"https://y.test"],"paths":{"/p":{"get":{}}}})",
         "OpenAPI Collection",
         {"GET {{baseUrl}}/p [GET /p]"}},
        {"a first server without url is unused",
         R"({"servers":[{"description":"d"},{"url":"https://y.test"}],"paths":{"/p":{"get":{}}}})",
         "OpenAPI Collection",
         {"GET {{baseUrl}}/p [GET /p]"}},
        {"empty title, title of another type",
         R"({"info":{"title":""},"paths":{"/p":{"get":{}}}})",
         "",
         {"GET {{baseUrl}}/p [GET /p]"}},
        {"title of another type",
         R"({"info":{"title":7},"paths":{"/p":{"get":{}}}})",
         "OpenAPI Collection",
         {"GET {{baseUrl}}/p [GET /p]"}},

        // Documents as they are found in the wild.
        {"Swagger 2.0 names its server by scheme, host and base path",
         R"({"swagger":"2.0","info":{"title":"Petstore"},"host":"petstore.swagger.io","basePath":"/api","schemes":["http","https"],"paths":{"/pets":{"get":{}}}})",
         "Petstore",
         {"GET http://petstore.swagger.io/api/pets [GET /pets]"}},
        {"Swagger 2.0 without schemes or base path",
         R"({"swagger":"2.0","host":"api.x.test:8443","paths":{"/pets":{"get":{}}}})",
         "OpenAPI Collection",
         {"GET https://api.x.test:8443/pets [GET /pets]"}},
        {"Swagger 2.0 with a base path alone keeps the template",
         R"({"swagger":"2.0","basePath":"/v2/","paths":{"/pets":{"get":{}}}})",
         "OpenAPI Collection",
         {"GET {{baseUrl}}/v2/pets [GET /pets]"}},
        {"servers win over Swagger fields",
         R"({"swagger":"2.0","host":"old.test","servers":[{"url":"https://new.test"}],"paths":{"/p":{"get":{}}}})",
         "OpenAPI Collection",
         {"GET https://new.test/p [GET /p]"}},
        {"server variables take their defaults; one without becomes a template",
         R"({"openapi":"3.0.0","servers":[{"url":"https://{name}.example.com:{port}/{basePath}/{region}","variables":{"name":{"default":"demo"},"port":{"enum":["443","8443"],"default":"8443"},"basePath":{"default":"v2"},"region":{"enum":["eu"]}}}],"paths":{"/p":{"get":{}}}})",
         "OpenAPI Collection",
         {"GET https://demo.example.com:8443/v2/{{region}}/p [GET /p]"}},
        {"path parameters become environment templates",
         R"({"openapi":"3.0.0","servers":[{"url":"https://x.test"}],"paths":{"/pet/{petId}/photo/{photo-id}":{"get":{}},"/odd/{}/{{kept}}/{a":{"get":{}}}})",
         "OpenAPI Collection",
         {"GET https://x.test/odd/{}/{{kept}}/{a [GET /odd/{}/{{kept}}/{a]",
          "GET https://x.test/pet/{{petId}}/photo/{{photo-id}} [GET "
          "/pet/{petId}/photo/{photo-id}]"}},
        {"a Postman URL object without raw is built from its parts",
         R"({"info":{"name":"Converted"},"item":[
              {"name":"full","request":{"url":{"protocol":"https","host":["api","x","test"],"port":"8443","path":["v1","pets",{"type":"string","value":"{{id}}"}],"query":[{"key":"limit","value":"10"},{"key":"off","value":"1","disabled":true},{"key":"flag","value":null}]}}},
              {"name":"template host","request":{"url":{"host":["{{baseUrl}}"],"path":["pets"]}}},
              {"name":"text parts","request":{"url":{"protocol":"http","host":"localhost","port":8080,"path":"/health"}}}]})",
         "Converted",
         {"GET https://api.x.test:8443/v1/pets/{{id}}?limit=10&flag [full]",
          "GET {{baseUrl}}/pets [template host]", "GET http://localhost:8080/health [text parts]"}},

        // OpenAPI order, methods, names and bodies.
        {"paths in code-point order, methods in fixed order",
         R"({"paths":{"/users":{"delete":{},"get":{}},"/a":{"patch":{},"put":{},"post":{}},"/Users":{"get":{}}}})",
         "OpenAPI Collection",
         {"GET {{baseUrl}}/Users [GET /Users]", "POST {{baseUrl}}/a [POST /a] json:" + skeleton,
          "PUT {{baseUrl}}/a [PUT /a] json:" + skeleton,
          "PATCH {{baseUrl}}/a [PATCH /a] json:" + skeleton, "GET {{baseUrl}}/users [GET /users]",
          "DELETE {{baseUrl}}/users [DELETE /users]"}},
        {"head, options, trace and other keys give nothing",
         R"({"paths":{"/a":{"head":{},"options":{},"trace":{},"parameters":[],"summary":"s"},"/b":{"get":"not an operation","GET":{}}}})",
         std::nullopt,
         {}},
        {"summary, then operationId, then method and path",
         R"({"paths":{"/pets/{petId}":{"get":{"operationId":"showPet","summary":""},"put":{"operationId":"updatePet","summary":3},"delete":{"summary":"Remove"},"post":{"operationId":["x"]}}}})",
         "OpenAPI Collection",
         {"GET {{baseUrl}}/pets/{{petId}} []",
          "POST {{baseUrl}}/pets/{{petId}} [POST /pets/{petId}] json:" + skeleton,
          "PUT {{baseUrl}}/pets/{{petId}} [updatePet] json:" + skeleton,
          "DELETE {{baseUrl}}/pets/{{petId}} [Remove]"}},
        {"a requestBody key of any value gives a JSON body",
         R"({"paths":{"/a":{"get":{"requestBody":null},"delete":{"requestBody":{"content":{"application/json":{"example":{"a":1}}}}}}}})",
         "OpenAPI Collection",
         {"GET {{baseUrl}}/a [GET /a] json:" + skeleton,
          "DELETE {{baseUrl}}/a [DELETE /a] json:" + skeleton}},
        {"non-ASCII path keys after ASCII ones",
         R"({"paths":{"/é":{"get":{}},"/z":{"get":{}},"/Z":{"get":{}}}})",
         "OpenAPI Collection",
         {"GET {{baseUrl}}/Z [GET /Z]", "GET {{baseUrl}}/z [GET /z]",
          "GET {{baseUrl}}/é [GET /é]"}},

        // Postman requests.
        {"name, method and URL forms",
         R"({"info":{"name":"Shop"},"item":[
              {"name":"List","request":{"method":"get","url":"https://x.test/items?page=2"}},
              {"name":"Create","request":{"method":"post","url":{"raw":"{{host}}/items","host":["{{host}}"]}}},
              {"request":{"url":"https://x.test/no-name"}},
              {"name":"Odd","request":{"method":"FETCH","url":"u1"}},
              {"name":"Typed","request":{"method":5,"url":"u2"}},
              {"name":"Head","request":{"method":"Head","url":"u3"}},
              {"name":"","request":{"method":"OPTIONS","url":""}}]})",
         "Shop",
         {"GET https://x.test/items?page=2 [List]", "POST {{host}}/items [Create]",
          "GET https://x.test/no-name [Request]", "GET u1 [Odd]", "GET u2 [Typed]",
          "HEAD u3 [Head]", "OPTIONS  []"}},
        {"items without a usable request or URL are skipped",
         R"({"info":{},"item":[
              {"name":"text request","request":"https://x.test"},
              {"name":"no request"},
              {"name":"no url","request":{"method":"GET"}},
              {"name":"url parts of no kind","request":{"url":{"protocol":"https","port":"8"}}},
              {"name":"url number","request":{"url":42}},
              {"name":"kept","request":{"url":"u"}}]})",
         "Postman Import",
         {"GET u [kept]"}},
        {"every item skipped",
         R"({"info":{"name":"P"},"item":[{"request":{"url":{"query":[]}}},{"name":"x"}]})",
         std::nullopt,
         {}},
        {"item list with a non-object",
         R"({"info":{"name":"P"},"item":[{"request":{"url":"u"}},1]})",
         std::nullopt,
         {}},
        {"folders flattened depth-first, folder names and requests unread",
         R"({"info":{"name":"F"},"item":[
              {"name":"one","request":{"url":"u1"}},
              {"name":"Folder A","request":{"url":"folder"},"item":[
                {"name":"two","request":{"url":"u2"}},
                {"name":"Folder B","item":[
                  {"name":"Folder C","item":[{"name":"three","request":{"url":"u3"}}]},
                  {"name":"four","request":{"url":"u4"}}]}]},
              {"name":"Empty folder","item":[]},
              {"name":"five","request":{"url":"u5"}}]})",
         "F",
         {"GET u1 [one]", "GET u2 [two]", "GET u3 [three]", "GET u4 [four]", "GET u5 [five]"}},
        {"an item list with a non-object is no folder",
         R"({"info":{"name":"F"},"item":[{"name":"r","item":[1],"request":{"url":"u"}}]})",
         "F",
         {"GET u [r]"}},

        // Postman bodies.
        {"raw bodies",
         R"({"info":{"name":"B"},"item":[
              {"name":"object","request":{"method":"POST","url":"u","body":{"mode":"raw","raw":"{\"a\":1}"}}},
              {"name":"array","request":{"method":"POST","url":"u","body":{"mode":"raw","raw":"  [1,2]"}}},
              {"name":"padded object","request":{"method":"POST","url":"u","body":{"raw":"\n {\"a\":1}"}}},
              {"name":"text","request":{"method":"POST","url":"u","body":{"mode":"raw","raw":"hello"}}},
              {"name":"empty","request":{"method":"POST","url":"u","body":{"mode":"raw","raw":""}}},
              {"name":"form","request":{"method":"POST","url":"u","body":{"mode":"urlencoded","urlencoded":[{"key":"a","value":"1"}]}}},
              {"name":"form with raw","request":{"method":"POST","url":"u","body":{"mode":"formdata","raw":"x=1"}}},
              {"name":"raw not text","request":{"method":"POST","url":"u","body":{"raw":{"a":1}}}},
              {"name":"body text","request":{"method":"POST","url":"u","body":"{\"a\":1}"}}]})",
         "B",
         {"POST u [object] json:{\"a\":1}", "POST u [array] rawText:  [1,2]",
          "POST u [padded object] json:\n {\"a\":1}", "POST u [text] rawText:hello",
          "POST u [empty]", "POST u [form]", "POST u [form with raw] rawText:x=1",
          "POST u [raw not text]", "POST u [body text]"}},
    };
    for (const ImportCase& c : cases) {
        SCOPED_TRACE(c.label);
        const std::optional<APIRequestCollection> collection = importCollection(c.text);
        ASSERT_EQ(collection.has_value(), c.name.has_value());
        if (!collection)
            continue;
        EXPECT_EQ(collection->name, *c.name);
        EXPECT_EQ(summary(*collection), c.requests);
    }
}

TEST(SpecImporterEngine, RequestsStartFromTheCreationDefaults) {
    const std::string openAPI =
        R"({"paths":{"/a":{"get":{"security":[{"bearer":[]}],"parameters":[{"name":"q","in":"query"}]},"post":{}}}})";
    const std::string postman = R"({"info":{"name":"P"},"auth":{"type":"bearer"},"item":[
        {"name":"r","request":{"url":"https://x.test/a?q=1","auth":{"type":"basic"},
         "header":[{"key":"X-Trace","value":"1"}]}}]})";
    for (const std::string& text : {openAPI, postman}) {
        const std::optional<APIRequestCollection> collection = importCollection(text);
        ASSERT_TRUE(collection.has_value()) << text;
        std::set<tarn::UUID> ids = {collection->id};
        for (const APIRequestSpec& request : collection->requests) {
            const APIRequestSpec defaults;
            EXPECT_EQ(request.auth, defaults.auth);
            EXPECT_TRUE(request.queryParams.empty());
            EXPECT_EQ(request.graphQLVariables, "{}");
            ASSERT_EQ(request.assertions.size(), 1u);
            EXPECT_EQ(request.assertions[0].kind, AssertionKind::statusEquals);
            EXPECT_EQ(request.assertions[0].targetPath, "");
            EXPECT_EQ(request.assertions[0].expectedValue, "200");
            EXPECT_TRUE(request.assertions[0].isEnabled);
            ids.insert(request.id);
            ids.insert(request.assertions[0].id);
            for (const KeyValueRow& row : request.headers)
                ids.insert(row.id);
        }
        // Every request, row and rule has an identifier of its own.
        std::size_t expected = 1;
        for (const APIRequestSpec& request : collection->requests)
            expected += 2 + request.headers.size();
        EXPECT_EQ(ids.size(), expected);
    }
    EXPECT_EQ(headerRows(importCollection(openAPI)->requests[0]),
              std::vector<std::string>{"Accept=application/json"});

    // The same text twice: equal but for the fresh identifiers.
    const auto first = importCollection(postman);
    const auto second = importCollection(postman);
    EXPECT_NE(first->id, second->id);
    EXPECT_NE(first->requests[0].id, second->requests[0].id);
    EXPECT_EQ(summary(*first), summary(*second));
}

TEST(SpecImporterEngine, ImportsPostmanHeaderRows) {
    const struct {
        const char* label;
        const char* header;
        std::vector<std::string> rows;
    } cases[] = {
        {"rows in order, disabled only by the boolean true",
         R"([{"key":"A","value":"1"},{"key":"B","value":"2","disabled":true},
             {"key":"C","value":"3","disabled":"true"},{"key":"D","value":"4","disabled":false},
             {"key":"","value":"empty key"}])",
         {"A=1", "!B=2", "C=3", "D=4", "=empty key"}},
        {"entries lacking a text key or value are skipped; no Accept is added",
         R"([{"key":"A"},{"value":"1"},{"key":"B","value":2},{"key":"C","value":"3"}])",
         {"C=3"}},
        {"no usable row gives the default Accept row",
         R"([{"key":"A"}])",
         {"Accept=application/json"}},
        {"an empty list", "[]", {"Accept=application/json"}},
        {"a list with a non-object",
         R"([{"key":"A","value":"1"},"B: 2"])",
         {"Accept=application/json"}},
        {"not a list", R"({"key":"A","value":"1"})", {"Accept=application/json"}},
        {"a disabled Accept row stays as given",
         R"([{"key":"Accept","value":"*/*","disabled":true}])",
         {"!Accept=*/*"}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.label);
        const std::string text =
            std::string(R"({"info":{},"item":[{"request":{"url":"u","header":)") + c.header +
            "}}]}";
        const std::optional<APIRequestCollection> collection = importCollection(text);
        ASSERT_TRUE(collection.has_value());
        EXPECT_EQ(headerRows(collection->requests.at(0)), c.rows);
    }
}

TEST(SpecImporterEngine, RefusesDocumentsNestedTooDeep) {
    // {"paths":{"/a":{"get":{"x":...}}}} opens four containers before the nest.
    const auto openAPIWithNest = [](std::size_t depth) {
        return R"({"paths":{"/a":{"get":{"x":)" + nested(depth) + "}}}}";
    };
    EXPECT_TRUE(importCollection(openAPIWithNest(SpecImporterEngine::maxNestingDepth - 4)));
    EXPECT_FALSE(importCollection(openAPIWithNest(SpecImporterEngine::maxNestingDepth - 3)));

    // Far past every limit, and unbalanced: refused without exhausting the stack.
    EXPECT_FALSE(importCollection(openAPIWithNest(10'000)));
    EXPECT_FALSE(importCollection(std::string(10'000, '[')));

    std::string postman = R"({"info":{"name":"deep"},"item":)";
    for (int level = 0; level < 10'000; ++level)
        postman += R"([{"name":"folder","item":)";
    postman += R"([{"request":{"url":"u"}}])";
    for (int level = 0; level < 10'000; ++level)
        postman += "}]";
    postman += "}";
    EXPECT_FALSE(importCollection(postman));

    // Brackets inside strings, escaped quotes included, are not nesting.
    const std::string inString =
        R"({"paths":{"/a":{"get":{"summary":"\")" + nested(1'000) + R"("}}}})";
    const auto collection = importCollection(inString);
    ASSERT_TRUE(collection.has_value());
    EXPECT_EQ(collection->requests.at(0).name, "\"" + nested(1'000));
}

TEST(SpecImporterEngine, ImportsPostmanFoldersAsDeepAsTheLimitAllows) {
    // Each folder level opens an object and an array.
    const auto folders = [](int levels) {
        std::string text = R"({"info":{"name":"deep"},"item":)";
        for (int level = 0; level < levels; ++level)
            text += R"([{"item":)";
        text += R"([{"name":"leaf","request":{"url":"u"}}])";
        for (int level = 0; level < levels; ++level)
            text += "}]";
        return text + "}";
    };
    // 1 + 2 * levels + 3 containers: 126 levels reach 256.
    const auto deepest = importCollection(folders(126));
    ASSERT_TRUE(deepest.has_value());
    EXPECT_EQ(summary(*deepest), std::vector<std::string>{"GET u [leaf]"});
    EXPECT_FALSE(importCollection(folders(127)));
}

} // namespace
} // namespace quiller
