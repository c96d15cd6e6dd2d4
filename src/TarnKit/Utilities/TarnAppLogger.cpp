#include "TarnKit/Utilities/TarnAppLogger.h"

#include "TarnKit/Platform/BuildInfo.h"
#include "TarnKit/Platform/Files.h"
#include "TarnKit/Platform/JSON.h"
#include "TarnKit/Platform/JSONCoding.h"
#include "TarnKit/Platform/Numbers.h"
#include "TarnKit/Platform/PlatformError.h"
#include "TarnKit/Platform/RegularExpression.h"
#include "TarnKit/Platform/UUID.h"
#include "TarnKit/Platform/UnicodeText.h"
#include "TarnKit/Utilities/TarnSecretValueMask.h"

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <climits>
#include <cstring>
#include <fcntl.h>
#include <map>
#include <paths.h>
#include <set>
#include <sys/inotify.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <syslog.h>
#include <unistd.h>

namespace tarn {
namespace {

namespace fs = std::filesystem;

constexpr std::uint64_t kSharedMaxFileBytes = 2'097'152;
constexpr long kSharedMaxRotatedFiles = 5;

// "/" and NUL are the only bytes a Linux file name cannot hold.
std::string withoutSeparators(std::string text) {
    std::replace(text.begin(), text.end(), '/', '_');
    std::replace(text.begin(), text.end(), '\0', '_');
    return text;
}

std::string safeFolderName(std::string_view appName) {
    std::string name = withoutSeparators(text::repairUTF8(appName));
    if (name.empty() || name == "." || name == "..")
        name.insert(0, "_");
    return name;
}

std::string slugFor(std::string_view appName) {
    std::string slug = text::lowercased(text::repairUTF8(appName));
    std::replace(slug.begin(), slug.end(), ' ', '-');
    return withoutSeparators(std::move(slug));
}

// syslog keeps the identifier pointer it is given, so identifiers live for the
// whole process, one per distinct slug.
const std::string* internedIdentifier(const std::string& identifier) {
    static std::mutex mutex;
    static auto* identifiers = new std::set<std::string>();
    const std::lock_guard lock(mutex);
    return &*identifiers->insert(identifier).first;
}

// Whether a syslog daemon takes messages at the socket syslog(3) writes to.
// Asked once per process: without a daemon, syslog(3) would make a socket and
// try to connect on every single event.
bool systemLogAnswers() {
    static const bool answers = [] {
        for (const int type : {SOCK_DGRAM, SOCK_STREAM}) {
            const int fd = ::socket(AF_UNIX, type | SOCK_CLOEXEC, 0);
            if (fd < 0)
                return false;
            sockaddr_un address{};
            address.sun_family = AF_UNIX;
            std::strncpy(address.sun_path, _PATH_LOG, sizeof address.sun_path - 1);
            const bool connected =
                ::connect(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) == 0;
            const int code = errno;
            ::close(fd);
            if (connected)
                return true;
            // syslog(3) itself falls back to a stream socket for this reason only.
            if (code != EPROTOTYPE)
                return false;
        }
        return false;
    }();
    return answers;
}

// openlog names the whole process, so loggers with different slugs take turns
// under one lock; with a single logger openlog runs once.
void mirrorToSystemLog(const std::string* identifier, TarnLogLevel level, std::string_view category,
                       std::string_view message) {
    static std::mutex mutex;
    static const std::string* opened = nullptr;
    int priority = LOG_ERR;
    switch (level) {
    case TarnLogLevel::debug:
        priority = LOG_DEBUG;
        break;
    case TarnLogLevel::info:
        priority = LOG_INFO;
        break;
    case TarnLogLevel::warn:
    case TarnLogLevel::error:
        priority = LOG_ERR;
        break;
    }
    const auto length = [](std::string_view text) {
        return static_cast<int>(std::min<std::size_t>(text.size(), INT_MAX));
    };
    if (!systemLogAnswers())
        return;
    const std::lock_guard lock(mutex);
    if (opened != identifier) {
        ::openlog(identifier->c_str(), LOG_PID, LOG_USER);
        opened = identifier;
    }
    // Only %s conversions: nothing here depends on the locale.
    ::syslog(priority, "[%.*s] %.*s", length(category), category.data(), length(message),
             message.data());
}

// Writes all of `bytes` at the end of the file; nullopt on success, else the
// error code.
std::optional<int> writeAll(int fd, std::string_view bytes) {
    while (!bytes.empty()) {
        const ssize_t written = ::write(fd, bytes.data(), bytes.size());
        if (written < 0 && errno == EINTR)
            continue;
        if (written <= 0)
            return written < 0 ? errno : EIO;
        bytes.remove_prefix(static_cast<std::size_t>(written));
    }
    return std::nullopt;
}

// One entry as one line: the same bytes json::compact gives for the entry's
// JSON object (keys in ascending order), without building that object.
// `version` and `build` may hold invalid UTF-8: the string writer repairs it
// exactly as text::repairUTF8 does.
void appendLine(std::string& line, TarnLogLevel level, std::string_view category,
                std::string_view message, std::string_view version, std::string_view build) {
    line += R"({"build":)";
    json::appendString(line, build);
    line += R"(,"category":)";
    json::appendString(line, category);
    line += R"(,"id":")";
    UUID::random().appendTo(line);
    line += R"(","level":")";
    line += rawValue(level);
    line += R"(","message":)";
    json::appendString(line, message);
    line += R"(,"timestamp":")";
    json::appendISO8601(line, std::chrono::system_clock::now(), json::DatePrecision::milliseconds);
    line += R"(","version":)";
    json::appendString(line, version);
    line += "}\n";
}

std::optional<long> rotatedNumber(std::string_view fileName, std::string_view liveName) {
    if (fileName.size() <= liveName.size() + 1 || fileName.substr(0, liveName.size()) != liveName ||
        fileName[liveName.size()] != '.')
        return std::nullopt;
    const std::string_view digits = fileName.substr(liveName.size() + 1);
    // Only the canonical spelling the logger itself writes: "7", never "07" or "+7".
    if (digits.front() < '1' || digits.front() > '9' ||
        !std::all_of(digits.begin(), digits.end(), [](char c) { return c >= '0' && c <= '9'; }))
        return std::nullopt;
    const std::optional<long long> number = numbers::parseInteger(digits);
    if (!number || *number > LONG_MAX)
        return std::nullopt;
    return static_cast<long>(*number);
}

struct RedactionRule {
    const char* pattern;
    const char* replacement;
    // Every match in ASCII text holds one of these, in ASCII letters of any
    // case when `anyCase` is set; text without any of them skips the rule.
    std::array<std::string_view, 6> literals;
    bool anyCase;
};

// Applied in this order, each to the result of the one before.
constexpr std::array<RedactionRule, 4> kRedactionRules = {{
    {R"re((?i)(bearer\s+)[A-Za-z0-9._\-]{8,})re", "$1[REDACTED]", {"bearer"}, true},
    {R"re(\b(sk-[A-Za-z0-9_\-]{10,})\b)re", "[REDACTED_KEY]", {"sk-"}, false},
    {R"re(\b(AIza[0-9A-Za-z\-_]{16,})\b)re", "[REDACTED_KEY]", {"AIza"}, false},
    {R"re((?i)((?:api[_-]?key|token|secret|password)\s*[=:]\s*)[^\s,;\"']+)re",
     "$1[REDACTED]",
     {"apikey", "api_key", "api-key", "token", "secret", "password"},
     true},
}};

struct RedactionExpression {
    RegularExpression expression;
    const RedactionRule* rule;
};

char asciiLower(char c) {
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

// Which rules (bit i for kRedactionRules[i]) may match `text`: running the
// matcher costs far more than looking for the words every match holds. A
// replacement never brings a word in (the words hold no "[" or "]", which
// start and end every replacement), so the rules of the original text cover
// every later step. Unicode case folding lets non-ASCII characters stand for
// ASCII letters (the Kelvin sign for "k"), so text with any of them always
// goes to the matcher.
unsigned rulesThatMayMatch(std::string_view text) {
    constexpr unsigned kAllRules = (1u << kRedactionRules.size()) - 1;
    if (std::any_of(text.begin(), text.end(), [](char c) { return (c & 0x80) != 0; }))
        return kAllRules;
    thread_local std::string lowered;
    lowered.resize(text.size());
    std::transform(text.begin(), text.end(), lowered.begin(), asciiLower);
    unsigned rules = 0;
    for (std::size_t i = 0; i < kRedactionRules.size(); ++i) {
        const RedactionRule& rule = kRedactionRules[i];
        const std::string_view haystack = rule.anyCase ? std::string_view(lowered) : text;
        if (std::any_of(rule.literals.begin(), rule.literals.end(),
                        [haystack](std::string_view word) {
                            return !word.empty() && haystack.find(word) != std::string_view::npos;
                        }))
            rules |= 1u << i;
    }
    if (lowered.capacity() > 65536)
        std::string().swap(lowered);
    return rules;
}

const std::vector<RedactionExpression>& redactionExpressions() {
    static const auto* expressions = [] {
        auto* compiled = new std::vector<RedactionExpression>();
        for (const RedactionRule& rule : kRedactionRules) {
            try {
                compiled->push_back({RegularExpression(rule.pattern), &rule});
            } catch (const PlatformError&) {
                // A rule that does not compile is skipped; the others still apply.
            }
        }
        return compiled;
    }();
    return *expressions;
}

} // namespace

// --- Levels and entries --------------------------------------------------------

std::string_view rawValue(TarnLogLevel level) {
    switch (level) {
    case TarnLogLevel::debug:
        return "debug";
    case TarnLogLevel::info:
        return "info";
    case TarnLogLevel::warn:
        return "warn";
    case TarnLogLevel::error:
        return "error";
    }
    return "info";
}

std::optional<TarnLogLevel> logLevelFromRaw(std::string_view text) {
    for (const TarnLogLevel level : kAllLogLevels)
        if (rawValue(level) == text)
            return level;
    return std::nullopt;
}

std::string_view label(TarnLogLevel level) {
    switch (level) {
    case TarnLogLevel::debug:
        return "DEBUG";
    case TarnLogLevel::info:
        return "INFO";
    case TarnLogLevel::warn:
        return "WARN";
    case TarnLogLevel::error:
        return "ERROR";
    }
    return "INFO";
}

void to_json(nlohmann::json& json, TarnLogLevel level) {
    json = std::string(rawValue(level));
}

void from_json(const nlohmann::json& json, TarnLogLevel& level) {
    level = json::decodeEnum<TarnLogLevel>(json, logLevelFromRaw);
}

void to_json(nlohmann::json& json, const TarnLogEntry& entry) {
    json = nlohmann::json{{"id", entry.id},           {"timestamp", entry.timestamp},
                          {"level", entry.level},     {"category", entry.category},
                          {"message", entry.message}, {"version", entry.version},
                          {"build", entry.build}};
}

void from_json(const nlohmann::json& json, TarnLogEntry& entry) {
    const nlohmann::json& object = json::expectObject(json);
    TarnLogEntry decoded;
    decoded.id = json::required<std::string>(object, "id");
    decoded.timestamp = json::required<std::string>(object, "timestamp");
    decoded.level = json::requiredEnum<TarnLogLevel>(object, "level", logLevelFromRaw);
    decoded.category = json::required<std::string>(object, "category");
    decoded.message = json::required<std::string>(object, "message");
    decoded.version = json::required<std::string>(object, "version");
    decoded.build = json::required<std::string>(object, "build");
    entry = std::move(decoded);
}

// --- Logger ----------------------------------------------------------------------

TarnAppLogger& TarnAppLogger::shared(const std::string& appName, VersionProvider versionProvider) {
    // Never destroyed: loggers must outlive every static that logs at exit.
    static std::mutex registryLock;
    static auto* registry = new std::map<std::string, std::unique_ptr<TarnAppLogger>>();
    const std::lock_guard lock(registryLock);
    auto& slot = (*registry)[appName];
    if (!slot)
        slot = std::make_unique<TarnAppLogger>(appName, std::nullopt, kSharedMaxFileBytes,
                                               kSharedMaxRotatedFiles, std::move(versionProvider));
    return *slot;
}

TarnAppLogger::TarnAppLogger(std::string appName, std::optional<fs::path> directory,
                             std::uint64_t maxFileBytes, long maxRotatedFiles,
                             VersionProvider versionProvider)
    : m_appName(std::move(appName)), m_maxFileBytes(std::max(maxFileBytes, kMinimumFileBytes)),
      m_maxRotatedFiles(std::max(maxRotatedFiles, 1L)),
      m_versionProvider(versionProvider ? std::move(versionProvider) : VersionProvider([] {
          return TarnAppVersion::current();
      })) {
    const std::string slug = slugFor(m_appName);
    if (directory) {
        m_logDirectory = *directory;
    } else {
        try {
            m_logDirectory = files::applicationSupportDirectory() / "Corvane" /
                             safeFolderName(m_appName) / "logs";
        } catch (const PlatformError& error) {
            // No home folder at all: there is nowhere to write, and every event
            // says why on standard error.
            m_folderError = error.description();
        }
    }
    if (m_logDirectory.empty() && m_folderError.empty())
        m_folderError = "no log folder was given";
    if (!m_logDirectory.empty()) {
        m_liveFileName = slug + ".log";
        m_currentLogFile = m_logDirectory / m_liveFileName;
    }
    m_systemLogIdentifier = internedIdentifier(std::string(buildinfo::suitePrefix) + "." + slug);
}

TarnAppLogger::~TarnAppLogger() {
    closeLiveFileLocked(); // no other thread may use a logger being destroyed
    if (m_notify >= 0)
        ::close(m_notify);
}

void TarnAppLogger::setSecretValues(std::vector<std::string> values) {
    auto mask = std::make_shared<const TarnSecretValueMask>(std::move(values));
    const std::lock_guard lock(m_secretsLock);
    if (m_secrets && m_secrets->values() == mask->values())
        return;
    m_secrets = mask->empty() ? nullptr : std::move(mask);
}

std::string TarnAppLogger::redactSecrets(std::string_view text) {
    std::string result = text::repairUTF8(text);
    const unsigned candidates = rulesThatMayMatch(result);
    if (candidates == 0)
        return result;
    for (const auto& [expression, rule] : redactionExpressions()) {
        if ((candidates & (1u << (rule - kRedactionRules.data()))) == 0)
            continue;
        try {
            result = expression.replacingMatches(result, rule->replacement);
        } catch (const PlatformError&) {
            // The matcher gave up (a resource limit): nothing of the text can be
            // shown safely.
            return "[REDACTED]";
        }
    }
    return result;
}

void TarnAppLogger::log(TarnLogLevel level, std::string_view category, std::string_view message) {
    try {
        const TarnAppVersion version = m_versionProvider();
        std::shared_ptr<const TarnSecretValueMask> secrets;
        {
            const std::lock_guard lock(m_secretsLock);
            secrets = m_secrets;
        }
        std::string categoryText = text::repairUTF8(category);
        std::string messageText;
        if (secrets) {
            messageText = redactSecrets(secrets->apply(text::repairUTF8(message)));
            categoryText = secrets->apply(categoryText);
        } else {
            messageText = redactSecrets(message);
        }

        mirrorToSystemLog(m_systemLogIdentifier, level, categoryText, messageText);

        // Built outside the lock, in a buffer each thread keeps.
        thread_local std::string line;
        line.assign(1, '\n');
        appendLine(line, level, categoryText, messageText, version.shortVersion,
                   version.buildNumber);
        {
            const std::lock_guard lock(m_lock);
            writeLocked(line);
        }
        if (line.capacity() > 65536)
            std::string().swap(line); // a huge message does not stay with the thread
    } catch (const std::exception& error) {
        reportWriteFailure(error.what());
    } catch (...) {
        reportWriteFailure("unknown exception");
    }
}

void TarnAppLogger::writeLocked(std::string_view line) {
    if (m_logDirectory.empty()) {
        reportWriteFailure(m_folderError);
        return;
    }
    if (!openLiveFileLocked())
        return;
    if (m_file.size >= m_maxFileBytes) {
        rotateLocked();
        if (!openLiveFileLocked())
            return;
    }

    // Never glue the line onto an unterminated one (a crash, or another
    // writer, can cut the last line off): every line written whole stays
    // decodable.
    if (m_file.endsInLineFeed)
        line.remove_prefix(1);
    if (const auto code = writeAll(m_file.descriptor, line)) {
        // Never leave a partial line behind; should even that fail, the
        // next event starts on a line of its own.
        if (::ftruncate(m_file.descriptor, static_cast<off_t>(m_file.size)) != 0)
            m_file.endsInLineFeed = false;
        reportWriteFailure("could not write to \"" + m_currentLogFile.string() +
                           "\": " + posixErrorText(*code));
        return;
    }
    m_file.size += line.size();
    m_file.endsInLineFeed = true;
}

// What the folder's watch reports: the live file's name created, removed or
// moved either way, any file opened or closed after writing (someone else
// appending), and the folder itself removed or moved. The logger's own writes
// report nothing.
constexpr std::uint32_t kFolderWatchEvents = IN_CREATE | IN_DELETE | IN_MOVED_FROM | IN_MOVED_TO |
                                             IN_OPEN | IN_CLOSE_WRITE | IN_DELETE_SELF |
                                             IN_MOVE_SELF | IN_ONLYDIR;

void TarnAppLogger::watchFolderLocked() {
    if (m_notify < 0 && !m_notifyFailed) {
        m_notify = ::inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
        m_notifyFailed = m_notify < 0;
    }
    if (m_notify < 0)
        return;
    const int watch = ::inotify_add_watch(m_notify, m_logDirectory.c_str(), kFolderWatchEvents);
    // A folder replaced since the last watch: the old one's events are of no
    // interest any more.
    if (m_watchedFolder >= 0 && watch != m_watchedFolder)
        ::inotify_rm_watch(m_notify, m_watchedFolder);
    m_watchedFolder = watch;
}

bool TarnAppLogger::liveFileMayHaveChangedLocked() {
    alignas(inotify_event) char buffer[4096];
    bool changed = false;
    for (;;) {
        const ssize_t count = ::read(m_notify, buffer, sizeof buffer);
        if (count < 0 && errno == EINTR)
            continue;
        if (count < 0 && (errno == EAGAIN || errno == EWOULDBLOCK))
            return changed;
        if (count <= 0)
            return true; // the watch cannot be read: look at the file itself
        for (ssize_t at = 0; at + static_cast<ssize_t>(sizeof(inotify_event)) <= count;) {
            inotify_event event{};
            std::memcpy(&event, buffer + at, sizeof event);
            const char* name = buffer + at + sizeof event;
            at += static_cast<ssize_t>(sizeof event + event.len);
            if ((event.mask & IN_Q_OVERFLOW) != 0) {
                changed = true;
            } else if (event.wd == m_watchedFolder) {
                // Events of the folder itself have no name; they all count.
                if (event.len == 0 ||
                    std::string_view(name, ::strnlen(name, event.len)) == m_liveFileName)
                    changed = true;
            }
        }
    }
}

bool TarnAppLogger::openLiveFileLocked() {
    struct stat info {};
    if (m_file.descriptor >= 0) {
        if (m_file.watched && !liveFileMayHaveChangedLocked())
            return true;
        // A look at the name: a file rotated, removed or replaced behind our
        // back is let go, and one that grew elsewhere is measured.
        if (::stat(m_currentLogFile.c_str(), &info) == 0 &&
            static_cast<std::uint64_t>(info.st_dev) == m_file.device &&
            static_cast<std::uint64_t>(info.st_ino) == m_file.inode) {
            const auto size = static_cast<std::uint64_t>(info.st_size);
            if (size != m_file.size) {
                char last = '\n';
                m_file.endsInLineFeed =
                    size == 0 || ::pread(m_file.descriptor, &last, 1, info.st_size - 1) != 1 ||
                    last == '\n';
                m_file.size = size;
            }
            return true;
        }
        closeLiveFileLocked();
    }

    const auto open = [this] {
        return ::open(m_currentLogFile.c_str(), O_RDWR | O_APPEND | O_CREAT | O_CLOEXEC, 0600);
    };
    // The watch goes up before the file is opened, so that nothing done to
    // the file after the open can go unnoticed.
    int fd = -1;
    if (m_folderCreated) {
        watchFolderLocked();
        fd = open();
    }
    if (fd < 0) {
        // First use, or the folder went away meanwhile.
        try {
            files::createDirectories(m_logDirectory);
        } catch (const PlatformError& error) {
            reportWriteFailure(error.description());
            return false;
        }
        m_folderCreated = true;
        watchFolderLocked();
        fd = open();
    }
    if (fd < 0) {
        reportWriteFailure("could not open \"" + m_currentLogFile.string() +
                           "\": " + posixErrorText(errno));
        return false;
    }
    if (::fstat(fd, &info) != 0) {
        const int code = errno;
        ::close(fd);
        reportWriteFailure("could not read the size of \"" + m_currentLogFile.string() +
                           "\": " + posixErrorText(code));
        return false;
    }
    m_file.descriptor = fd;
    m_file.device = static_cast<std::uint64_t>(info.st_dev);
    m_file.inode = static_cast<std::uint64_t>(info.st_ino);
    m_file.size = static_cast<std::uint64_t>(info.st_size);
    m_file.watched = m_watchedFolder >= 0;
    char last = '\n';
    m_file.endsInLineFeed =
        info.st_size == 0 || ::pread(fd, &last, 1, info.st_size - 1) != 1 || last == '\n';
    return true;
}

void TarnAppLogger::closeLiveFileLocked() {
    if (m_file.descriptor >= 0)
        ::close(m_file.descriptor); // a failure to close loses nothing already written
    m_file = LiveFile{};
}

void TarnAppLogger::reportWriteFailure(std::string_view description) const {
    std::string text = "[TarnAppLogger:" + m_appName + "] write failed: ";
    text += description;
    text += '\n';
    std::string_view rest = text;
    while (!rest.empty()) {
        const ssize_t written = ::write(STDERR_FILENO, rest.data(), rest.size());
        if (written < 0 && errno == EINTR)
            continue;
        if (written <= 0)
            return;
        rest.remove_prefix(static_cast<std::size_t>(written));
    }
}

fs::path TarnAppLogger::rotatedFile(long number) const {
    fs::path path = m_currentLogFile;
    path += "." + numbers::formatInteger(number);
    return path;
}

// Listing the folder, rather than trying every number up to maxRotatedFiles,
// keeps rotation and clearing quick whatever limit a caller chose.
std::vector<long> TarnAppLogger::existingRotatedNumbersLocked() const {
    std::vector<long> numbers;
    const std::string liveName = m_currentLogFile.filename().string();
    std::error_code error;
    for (fs::directory_iterator it(m_logDirectory, error), end; !error && it != end;
         it.increment(error)) {
        const auto number = rotatedNumber(it->path().filename().string(), liveName);
        if (number && *number <= m_maxRotatedFiles)
            numbers.push_back(*number);
    }
    std::sort(numbers.begin(), numbers.end(), std::greater<>());
    return numbers;
}

void TarnAppLogger::rotateLocked() {
    closeLiveFileLocked();
    // Each step's failure is ignored; the next steps still run.
    std::error_code ignored;
    for (const long number : existingRotatedNumbersLocked()) {
        if (number == m_maxRotatedFiles)
            fs::remove(rotatedFile(number), ignored);
        else
            fs::rename(rotatedFile(number), rotatedFile(number + 1), ignored);
    }
    fs::rename(m_currentLogFile, rotatedFile(1), ignored);
}

std::vector<TarnLogEntry> TarnAppLogger::recentEntries(long limit,
                                                       TarnLogLevel minimumLevel) const {
    std::vector<TarnLogEntry> entries;
    if (limit < 1 || m_currentLogFile.empty())
        return entries;
    std::optional<std::string> content;
    {
        const std::lock_guard lock(m_lock);
        try {
            content = files::readFile(m_currentLogFile);
        } catch (const PlatformError&) {
            return entries;
        }
    }
    if (!content)
        return entries;

    // Walk the lines from the end; a line that is not one whole entry (cut
    // off, a missing key, an unknown level, invalid UTF-8) is skipped.
    std::string_view rest = *content;
    while (!rest.empty() && entries.size() < static_cast<std::size_t>(limit)) {
        const std::size_t newline = rest.rfind('\n', rest.size() - 1);
        const std::size_t start = newline == std::string_view::npos ? 0 : newline + 1;
        const std::string_view line = rest.substr(start);
        rest = rest.substr(0, newline == std::string_view::npos ? 0 : newline);
        if (line.empty())
            continue;
        const std::optional<nlohmann::json> document = json::parse(line);
        if (!document)
            continue;
        try {
            auto entry = json::decode<TarnLogEntry>(*document);
            if (entry.level >= minimumLevel)
                entries.push_back(std::move(entry));
        } catch (const json::DecodingError&) {
        }
    }
    return entries;
}

std::string TarnAppLogger::exportPlainText(long limit, TarnLogLevel minimumLevel) const {
    const std::vector<TarnLogEntry> entries = recentEntries(limit, minimumLevel);
    std::string text;
    for (auto it = entries.rbegin(); it != entries.rend(); ++it) {
        if (!text.empty())
            text += '\n';
        text += "[" + it->timestamp + "] [";
        text += label(it->level);
        text += "] [v" + it->version + "#" + it->build + "] [" + it->category + "] " + it->message;
    }
    return text;
}

void TarnAppLogger::clear() {
    if (m_currentLogFile.empty())
        return;
    const std::lock_guard lock(m_lock);
    closeLiveFileLocked();
    std::error_code ignored;
    fs::remove(m_currentLogFile, ignored);
    for (const long number : existingRotatedNumbersLocked())
        fs::remove(rotatedFile(number), ignored);
}

fs::path TarnAppLogger::pathToReveal() const {
    if (m_logDirectory.empty())
        return {};
    try {
        files::createDirectories(m_logDirectory);
    } catch (const PlatformError&) {
    }
    std::error_code ignored;
    return fs::exists(m_currentLogFile, ignored) ? m_currentLogFile : m_logDirectory;
}

} // namespace tarn
