# Shared compile settings and small helpers that define the project's targets.

add_library(quiller_settings INTERFACE)
target_compile_options(quiller_settings INTERFACE
  -Wall -Wextra -Wpedantic -Wshadow -Wnon-virtual-dtor -Woverloaded-virtual)
if(QUILLER_WERROR)
  target_compile_options(quiller_settings INTERFACE -Werror)
endif()
if(QUILLER_SANITIZE)
  target_compile_options(quiller_settings INTERFACE
    -fsanitize=address,undefined -fno-sanitize-recover=undefined -fno-omit-frame-pointer)
  target_link_options(quiller_settings INTERFACE -fsanitize=address,undefined)
endif()
target_include_directories(quiller_settings INTERFACE "${PROJECT_SOURCE_DIR}/src")

# quiller_use_qt(<target>): moc for the target's sources and one precompiled
# header of the Qt includes that nearly every view source needs, so that the
# Qt headers are parsed once per target rather than once per source.
function(quiller_use_qt target)
  set_target_properties(${target} PROPERTIES AUTOMOC ON)
  # With Ninja, CMake 3.25 reruns moc only when a file of its last run
  # changed: a source that a re-glob adds would get no moc and its signals
  # would not link. When the list of sources changes, the stamp of the last
  # run goes, so moc looks at every source again.
  get_target_property(sources ${target} SOURCES)
  set(list_file "${CMAKE_CURRENT_BINARY_DIR}/CMakeFiles/${target}_autogen_sources.txt")
  set(previous "")
  if(EXISTS "${list_file}")
    file(READ "${list_file}" previous)
  endif()
  if(NOT previous STREQUAL "${sources}")
    file(REMOVE "${CMAKE_CURRENT_BINARY_DIR}/${target}_autogen/timestamp")
    file(WRITE "${list_file}" "${sources}")
  endif()
  target_precompile_headers(${target} PRIVATE
    "$<$<COMPILE_LANGUAGE:CXX>:${PROJECT_SOURCE_DIR}/cmake/QtPrecompiled.h>")
endfunction()

# quiller_add_library(<target> FOLDERS <dir>... [LINK <lib>...] [QT])
# Sources are the .cpp files of the given folders under src/ (a main.cpp is the
# executable's, never the library's). The folders of Qt targets are recorded:
# the layering test keeps Qt out of every other folder, and the Qt-free targets
# are recorded so that it can check what they link.
set_property(GLOBAL PROPERTY QUILLER_QT_FREE_TARGETS "")
set_property(GLOBAL PROPERTY QUILLER_QT_FREE_FOLDERS "")
set_property(GLOBAL PROPERTY QUILLER_QT_FOLDERS "")
function(quiller_add_library target)
  cmake_parse_arguments(ARG "QT" "" "FOLDERS;LINK" ${ARGN})
  set(sources "")
  foreach(folder IN LISTS ARG_FOLDERS)
    file(GLOB folder_sources CONFIGURE_DEPENDS
      "${PROJECT_SOURCE_DIR}/src/${folder}/*.cpp")
    list(FILTER folder_sources EXCLUDE REGEX "/main\\.cpp$")
    list(APPEND sources ${folder_sources})
    if(ARG_QT)
      set_property(GLOBAL APPEND PROPERTY QUILLER_QT_FOLDERS "src/${folder}")
    else()
      set_property(GLOBAL APPEND PROPERTY QUILLER_QT_FREE_FOLDERS "src/${folder}")
    endif()
  endforeach()
  if(NOT ARG_QT)
    set_property(GLOBAL APPEND PROPERTY QUILLER_QT_FREE_TARGETS ${target})
  endif()
  add_library(${target} STATIC ${sources})
  target_link_libraries(${target} PUBLIC quiller_settings ${ARG_LINK})
  if(ARG_QT)
    quiller_use_qt(${target})
  endif()
endfunction()
