# CLI11 (header-only, Debian's libcli11-dev) for the command-line program's
# options, as the interface target lumet_cli11.
#
# Native: CLI11's own CMake package. Cross builds (MinGW-w64) must never see
# /usr/include, whose C library headers would stand in front of MinGW's, so
# the build tree gets a folder holding only a link named CLI to CLI11's
# headers, and that folder is the one put on the include path.
add_library(lumet_cli11 INTERFACE)
if(CMAKE_CROSSCOMPILING)
  set(LUMET_CLI11_HEADERS /usr/include/CLI CACHE PATH "The folder holding CLI11's CLI.hpp")
  if(NOT EXISTS ${LUMET_CLI11_HEADERS}/CLI.hpp)
    message(FATAL_ERROR "no CLI.hpp in ${LUMET_CLI11_HEADERS}: install libcli11-dev "
                        "(scripts/install-deps.sh) or set LUMET_CLI11_HEADERS")
  endif()
  set(LUMET_CLI11_INCLUDE ${CMAKE_BINARY_DIR}/cli11-include)
  file(MAKE_DIRECTORY ${LUMET_CLI11_INCLUDE})
  file(CREATE_LINK ${LUMET_CLI11_HEADERS} ${LUMET_CLI11_INCLUDE}/CLI SYMBOLIC)
  target_include_directories(lumet_cli11 SYSTEM INTERFACE ${LUMET_CLI11_INCLUDE})
else()
  find_package(CLI11 CONFIG REQUIRED)
  target_link_libraries(lumet_cli11 INTERFACE CLI11::CLI11)
endif()
