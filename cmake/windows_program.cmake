# Lumet.exe: the dialog program over lumet_ui and lumet_core, one static executable that
# imports only Windows' own DLLs (the toolchain links the runtime statically).
enable_language(RC)

add_executable(Lumet WIN32
  ${CMAKE_SOURCE_DIR}/src/ui/winmain_win32.cpp
  ${CMAKE_SOURCE_DIR}/src/ui/lumet.rc)
target_link_libraries(Lumet PRIVATE lumet_ui)
# The resource script finds lumet.ico and lumet.manifest beside itself.
target_include_directories(Lumet PRIVATE ${CMAKE_SOURCE_DIR}/src/ui)
set_target_properties(Lumet PROPERTIES OUTPUT_NAME Lumet)

if(MINGW)
  # wWinMain is the entry point; WIN32 above already makes it a GUI program.
  target_link_options(Lumet PRIVATE -municode)
elseif(MSVC)
  # The manifest comes from the resource script; the linker must not add a second one.
  target_link_options(Lumet PRIVATE /MANIFEST:NO)
endif()

lumet_version_resource(Lumet "Lumet: KT52 barcode scanner utility" "Lumet.exe")
