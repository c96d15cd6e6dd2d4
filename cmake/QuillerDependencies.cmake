# Every third-party dependency is found here and exposed as an imported target,
# so that targets only name what they use. Headers are included as system headers.
find_package(PkgConfig REQUIRED)
find_package(Threads REQUIRED)
find_package(nlohmann_json 3.10 REQUIRED)
pkg_check_modules(UTF8PROC REQUIRED IMPORTED_TARGET libutf8proc)
