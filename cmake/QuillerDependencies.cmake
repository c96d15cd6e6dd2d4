# Every third-party dependency is found here and exposed as an imported target,
# so that targets only name what they use. Headers are included as system headers.
find_package(PkgConfig REQUIRED)
find_package(Threads REQUIRED)
find_package(nlohmann_json 3.10 REQUIRED)
pkg_check_modules(UTF8PROC REQUIRED IMPORTED_TARGET libutf8proc)
pkg_check_modules(PCRE2 REQUIRED IMPORTED_TARGET libpcre2-8)
pkg_check_modules(LIBSECRET REQUIRED IMPORTED_TARGET libsecret-1)
pkg_check_modules(X11 REQUIRED IMPORTED_TARGET x11)
# XTest only drives the global hot-key tests; no library links it.
pkg_check_modules(XTST REQUIRED IMPORTED_TARGET xtst)
pkg_check_modules(TESSERACT REQUIRED IMPORTED_TARGET tesseract)
pkg_check_modules(LEPTONICA REQUIRED IMPORTED_TARGET lept)
find_package(simdjson REQUIRED)
find_package(OpenSSL REQUIRED)
find_package(CURL REQUIRED)
find_package(Boost 1.74 REQUIRED)
# The views: Qt 6 Widgets (Debian's qt6-base-dev). Only the Qt targets
# (tarnkit_ui, quiller_ui, quiller and their tests and tools) link these.
find_package(Qt6 6.4 REQUIRED COMPONENTS Core Gui Widgets Network DBus Test)
