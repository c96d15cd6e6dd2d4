#include "TarnKit/Platform/Files.h"
#include "TarnKit/System/TarnLaunchAtLogin.h"
#include "support/EnvironmentScope.h"
#include "support/TemporaryFolder.h"
#include "support/UnprivilegedScope.h"

#include <cstdlib>
#include <glib.h>
#include <gtest/gtest.h>
#include <memory>
#include <optional>
#include <string>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace {

namespace fs = std::filesystem;
namespace login = tarn::TarnLaunchAtLogin;
using tarn::testing::modeOf;
using tarn::testing::TemporaryFolder;
using tarn::testing::UnprivilegedScope;

using tarn::testing::EnvironmentScope;

std::string contentOf(const fs::path& file) {
    return tarn::files::readFile(file).value_or("");
}

struct KeyFileDeleter {
    void operator()(GKeyFile* file) const { g_key_file_free(file); }
};

// The command line a session would run for the entry, read with GLib's
// key-file and shell-quoting readers (what GNOME's and Xfce's session managers
// use): the string escapes undone, the arguments split, the field codes
// expanded.
std::vector<std::string> commandLineOf(const fs::path& entryFile) {
    std::unique_ptr<GKeyFile, KeyFileDeleter> keyFile(g_key_file_new());
    GError* error = nullptr;
    if (!g_key_file_load_from_file(keyFile.get(), entryFile.c_str(), G_KEY_FILE_NONE, &error)) {
        ADD_FAILURE() << "not a key file: " << error->message;
        g_error_free(error);
        return {};
    }
    char* type = g_key_file_get_string(keyFile.get(), "Desktop Entry", "Type", nullptr);
    EXPECT_STREQ(type, "Application");
    g_free(type);
    char* exec = g_key_file_get_string(keyFile.get(), "Desktop Entry", "Exec", &error);
    if (exec == nullptr) {
        ADD_FAILURE() << "no Exec: " << error->message;
        g_error_free(error);
        return {};
    }
    int argc = 0;
    char** argv = nullptr;
    const bool parsed = g_shell_parse_argv(exec, &argc, &argv, &error);
    g_free(exec);
    if (!parsed) {
        ADD_FAILURE() << "Exec does not parse: " << error->message;
        g_error_free(error);
        return {};
    }
    std::vector<std::string> arguments;
    for (int i = 0; i < argc; ++i) {
        std::string argument;
        // Launched without files, a field code such as "%f" expands to nothing.
        for (const char* c = argv[i]; *c != '\0'; ++c) {
            if (*c != '%') {
                argument += *c;
            } else if (*++c == '%') {
                argument += '%';
            } else if (*c == '\0') {
                break;
            }
        }
        arguments.push_back(argument);
    }
    g_strfreev(argv);
    return arguments;
}

TEST(TarnLaunchAtLogin, ExecArgumentFollowsTheDesktopEntryQuotingRules) {
    struct Case {
        std::string argument;
        std::optional<std::string> expected;
    };
    const Case cases[] = {
        {"/usr/bin/quiller", "/usr/bin/quiller"},
        {"/opt/My Apps/quiller", "\"/opt/My Apps/quiller\""},
        {"/opt/100%/quiller", "/opt/100%%/quiller"},
        {"/opt/50% off/quiller", "\"/opt/50%% off/quiller\""},
        // Quoting escapes '"', '$' and '\' with a backslash, and the string
        // value's escaping then doubles every backslash.
        {"/opt/a\"b$c/quiller", "\"/opt/a\\\\\"b\\\\$c/quiller\""},
        {"/opt/back\\slash/quiller", "\"/opt/back\\\\\\\\slash/quiller\""},
        {"/opt/tab\there/quiller", "\"/opt/tab\\there/quiller\""},
        {"/opt/it's~/quiller", "\"/opt/it's~/quiller\""},
        {"/opt/Çalışma/quiller", "/opt/Çalışma/quiller"},
        {"", "\"\""},
        {"/opt/bell\a/quiller", std::nullopt},
        {"/opt/\xff/quiller", std::nullopt},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.argument);
        EXPECT_EQ(login::execArgument(c.argument), c.expected);
    }
}

TEST(TarnLaunchAtLogin, EntryStartsExactlyTheExecutableForAwkwardPaths) {
    const std::string paths[] = {
        "/usr/bin/quiller",
        "/home/ada/My Apps/Quiller App/quiller",
        "/opt/100%/quiller %f",
        "/opt/\"quoted\" $HOME `cmd` \\back/quiller",
        "/opt/a;b|c&d>e<f*g?h#i(j)'k'/quiller",
        "/opt/line\nbreak\tand tab/quiller",
        "/opt/Çalışma Alanı/quiller",
    };
    for (const std::string& path : paths) {
        SCOPED_TRACE(path);
        TemporaryFolder temp;
        const fs::path entry = temp.path() / "autostart" / "com.corvane.quiller.desktop";
        ASSERT_TRUE(login::setEnabled(true, entry, path));
        EXPECT_TRUE(login::isEnabled(entry));
        EXPECT_EQ(commandLineOf(entry), std::vector<std::string>{path});
        EXPECT_EQ(modeOf(entry), 0644u);
    }
}

TEST(TarnLaunchAtLogin, RemovingTheEntryDisablesIt) {
    TemporaryFolder temp;
    const fs::path entry = temp.path() / "autostart" / "com.corvane.quiller.desktop";
    EXPECT_FALSE(login::isEnabled(entry));
    EXPECT_TRUE(login::setEnabled(false, entry, {})) << "nothing to remove is no failure";

    ASSERT_TRUE(login::setEnabled(true, entry, "/usr/bin/quiller"));
    ASSERT_TRUE(login::isEnabled(entry));
    EXPECT_TRUE(login::setEnabled(false, entry, {}));
    EXPECT_FALSE(login::isEnabled(entry));
    EXPECT_FALSE(fs::exists(entry));
    EXPECT_TRUE(fs::is_empty(temp.path() / "autostart"));
}

TEST(TarnLaunchAtLogin, EntriesThatSwitchThemselvesOffReadAsDisabled) {
    struct Case {
        const char* name;
        const char* content;
        bool enabled;
    };
    const Case cases[] = {
        {"plain entry", "[Desktop Entry]\nType=Application\nExec=quiller\n", true},
        {"Hidden=true", "[Desktop Entry]\nExec=quiller\nHidden=true\n", false},
        {"blanks around the equals sign", "[Desktop Entry]\nHidden = true\n", false},
        {"Hidden=false", "[Desktop Entry]\nHidden=false\n", true},
        {"GNOME switch off", "[Desktop Entry]\nX-GNOME-Autostart-enabled=false\n", false},
        {"GNOME switch on", "[Desktop Entry]\nX-GNOME-Autostart-enabled=true\n", true},
        {"CRLF line ends", "[Desktop Entry]\r\nHidden=true\r\n", false},
        {"commented out", "[Desktop Entry]\n# Hidden=true\n", true},
        {"in another group", "[Desktop Entry]\nExec=q\n[Desktop Action New]\nHidden=true\n", true},
        {"empty file", "", true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        TemporaryFolder temp;
        const fs::path entry = temp.path() / "com.corvane.quiller.desktop";
        tarn::files::writeAtomically(entry, c.content, 0644);
        EXPECT_EQ(login::isEnabled(entry), c.enabled);
    }

    // Enabling again replaces a switched-off entry with a working one.
    TemporaryFolder temp;
    const fs::path entry = temp.path() / "com.corvane.quiller.desktop";
    tarn::files::writeAtomically(entry, "[Desktop Entry]\nExec=old\nHidden=true\n", 0644);
    ASSERT_TRUE(login::setEnabled(true, entry, "/usr/bin/quiller"));
    EXPECT_TRUE(login::isEnabled(entry));
    EXPECT_EQ(contentOf(entry).find("Hidden"), std::string::npos);
}

TEST(TarnLaunchAtLogin, SomethingElseAtThePathIsNotAnEntry) {
    TemporaryFolder temp;
    const fs::path entry = temp.path() / "com.corvane.quiller.desktop";
    fs::create_directory(entry);
    EXPECT_FALSE(login::isEnabled(entry));
    EXPECT_FALSE(login::setEnabled(false, entry, {}));
    EXPECT_FALSE(login::setEnabled(true, entry, "/usr/bin/quiller"));
    EXPECT_TRUE(fs::is_directory(entry));
}

TEST(TarnLaunchAtLogin, ReadOnlyFolderFailsAndChangesNothing) {
    TemporaryFolder temp;
    const fs::path autostart = temp.path() / "autostart";
    const fs::path entry = autostart / "com.corvane.quiller.desktop";
    const UnprivilegedScope unprivileged(temp.path());

    // Switching on in a folder that cannot take the file.
    tarn::files::createDirectories(autostart);
    ASSERT_EQ(::chmod(autostart.c_str(), 0500), 0);
    EXPECT_FALSE(login::setEnabled(true, entry, "/usr/bin/quiller"));
    EXPECT_FALSE(login::isEnabled(entry));
    EXPECT_TRUE(fs::is_empty(autostart)) << "no temporary file is left behind";

    // Switching off when the file cannot be removed.
    ASSERT_EQ(::chmod(autostart.c_str(), 0700), 0);
    ASSERT_TRUE(login::setEnabled(true, entry, "/usr/bin/quiller"));
    const std::string written = contentOf(entry);
    ASSERT_EQ(::chmod(autostart.c_str(), 0500), 0);
    EXPECT_FALSE(login::setEnabled(false, entry, {}));
    EXPECT_TRUE(login::isEnabled(entry));
    EXPECT_EQ(contentOf(entry), written);
    ASSERT_EQ(::chmod(autostart.c_str(), 0700), 0);
}

TEST(TarnLaunchAtLogin, UnexpressibleExecutableIsRefusedBeforeWriting) {
    TemporaryFolder temp;
    const fs::path entry = temp.path() / "com.corvane.quiller.desktop";
    EXPECT_FALSE(login::setEnabled(true, entry, "/opt/\x01/quiller"));
    EXPECT_FALSE(login::setEnabled(true, entry, "/opt/\xc3/quiller"));
    EXPECT_FALSE(fs::exists(entry));
}

TEST(TarnLaunchAtLogin, DefaultEntryLivesInTheConfigFolderAndStartsThisProcess) {
    TemporaryFolder temp;
    const EnvironmentScope config("XDG_CONFIG_HOME", temp.path().string());
    const fs::path expected = temp.path() / "autostart" / "com.corvane.quiller.desktop";
    EXPECT_EQ(login::entryFile(), expected);

    EXPECT_FALSE(login::isEnabled());
    ASSERT_TRUE(login::setEnabled(true));
    EXPECT_TRUE(login::isEnabled());
    const std::optional<fs::path> executable = login::currentExecutable();
    ASSERT_TRUE(executable);
    EXPECT_TRUE(fs::equivalent(*executable, "/proc/self/exe"));
    EXPECT_EQ(commandLineOf(expected), std::vector<std::string>{executable->string()});

    ASSERT_TRUE(login::setEnabled(false));
    EXPECT_FALSE(login::isEnabled());
    EXPECT_FALSE(fs::exists(expected));
}

} // namespace
