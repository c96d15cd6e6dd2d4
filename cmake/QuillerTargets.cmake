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
if(QUILLER_FUZZ)
  # Coverage feedback for the libraries too, or libFuzzer sees only the thin
  # fuzz target and mutates blind inside the parser it is meant to explore.
  target_compile_options(quiller_settings INTERFACE -fsanitize=fuzzer-no-link)
endif()
target_include_directories(quiller_settings INTERFACE "${PROJECT_SOURCE_DIR}/src")

# quiller_add_library(<target> FOLDERS <dir>... [LINK <lib>...] [QT])
# Sources are the .cpp files of the given folders under src/. The folders of a
# Qt-free target are recorded so that the layering test can check them.
set_property(GLOBAL PROPERTY QUILLER_QT_FREE_TARGETS "")
set_property(GLOBAL PROPERTY QUILLER_QT_FREE_FOLDERS "")
function(quiller_add_library target)
  cmake_parse_arguments(ARG "QT" "" "FOLDERS;LINK" ${ARGN})
  set(sources "")
  foreach(folder IN LISTS ARG_FOLDERS)
    file(GLOB folder_sources CONFIGURE_DEPENDS
      "${PROJECT_SOURCE_DIR}/src/${folder}/*.cpp")
    list(APPEND sources ${folder_sources})
    if(NOT ARG_QT)
      set_property(GLOBAL APPEND PROPERTY QUILLER_QT_FREE_FOLDERS "src/${folder}")
    endif()
  endforeach()
  if(NOT ARG_QT)
    set_property(GLOBAL APPEND PROPERTY QUILLER_QT_FREE_TARGETS ${target})
  endif()
  add_library(${target} STATIC ${sources})
  target_link_libraries(${target} PUBLIC quiller_settings ${ARG_LINK})
endfunction()
