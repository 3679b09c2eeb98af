# The Wayland layer's libraries, and the protocols it speaks beyond the core:
# wayland-scanner turns each protocol's XML into a client header and the
# interface tables (C), generated into the build directory. Sets
# WAYLAND_LIBRARIES, WAYLAND_DEFINITIONS and the object library
# vt_wayland_protocols, whose include directory holds the headers
# ("xdg-shell-client-protocol.h" ...).
pkg_check_modules(WAYLAND REQUIRED IMPORTED_TARGET wayland-client wayland-cursor xkbcommon)
pkg_check_modules(WAYLAND_PROTOCOLS REQUIRED wayland-protocols)
pkg_check_modules(WAYLAND_SCANNER REQUIRED wayland-scanner)
pkg_get_variable(WAYLAND_PROTOCOLS_DIR wayland-protocols pkgdatadir)
pkg_get_variable(WAYLAND_SCANNER_PROGRAM wayland-scanner wayland_scanner)
# Window decorations drawn for the program where the compositor draws none.
pkg_check_modules(LIBDECOR IMPORTED_TARGET libdecor-0)

set(WAYLAND_PROTOCOL_FILES
  stable/xdg-shell/xdg-shell.xml
  unstable/xdg-decoration/xdg-decoration-unstable-v1.xml
  staging/fractional-scale/fractional-scale-v1.xml
  stable/viewporter/viewporter.xml
  staging/xdg-activation/xdg-activation-v1.xml
  unstable/xdg-output/xdg-output-unstable-v1.xml)
set(WAYLAND_GENERATED_DIR ${CMAKE_BINARY_DIR}/wayland)
file(MAKE_DIRECTORY ${WAYLAND_GENERATED_DIR})
set(WAYLAND_PROTOCOL_SOURCES)
foreach(protocol ${WAYLAND_PROTOCOL_FILES})
  get_filename_component(name ${protocol} NAME_WE)
  set(xml ${WAYLAND_PROTOCOLS_DIR}/${protocol})
  set(header ${WAYLAND_GENERATED_DIR}/${name}-client-protocol.h)
  set(code ${WAYLAND_GENERATED_DIR}/${name}-protocol.c)
  add_custom_command(
    OUTPUT ${header} ${code}
    COMMAND ${WAYLAND_SCANNER_PROGRAM} client-header ${xml} ${header}
    COMMAND ${WAYLAND_SCANNER_PROGRAM} private-code ${xml} ${code}
    DEPENDS ${xml}
    COMMENT "Generating the Wayland protocol ${name}"
    VERBATIM)
  list(APPEND WAYLAND_PROTOCOL_SOURCES ${code} ${header})
endforeach()

add_library(vt_wayland_protocols OBJECT ${WAYLAND_PROTOCOL_SOURCES})
set_target_properties(vt_wayland_protocols PROPERTIES LINKER_LANGUAGE C)
target_include_directories(vt_wayland_protocols PUBLIC ${WAYLAND_GENERATED_DIR})
target_link_libraries(vt_wayland_protocols PUBLIC PkgConfig::WAYLAND)

set(WAYLAND_LIBRARIES PkgConfig::WAYLAND)
set(WAYLAND_DEFINITIONS)
if(LIBDECOR_FOUND)
  list(APPEND WAYLAND_LIBRARIES PkgConfig::LIBDECOR)
  list(APPEND WAYLAND_DEFINITIONS VELLUMTONE_LIBDECOR)
  # Where libdecor looks for the plugin that draws its frames.
  pkg_get_variable(LIBDECOR_LIBDIR libdecor-0 libdir)
  list(APPEND WAYLAND_DEFINITIONS
       VELLUMTONE_LIBDECOR_PLUGIN_DIR="${LIBDECOR_LIBDIR}/libdecor/plugins-1")
endif()
