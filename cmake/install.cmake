# Installation: the library with its version, the public header, the pkg-config file, the
# programs with their manual pages, the text resource file, the desktop entries, icons and
# file types, and a Debian package built by CPack (cpack -G DEB).
include(GNUInstallDirs)

set_target_properties(orbiscope PROPERTIES VERSION ${PROJECT_VERSION} SOVERSION ${PROJECT_VERSION_MAJOR})

# The library finds the text resource file in the data folder of the tree it is installed
# in; relative paths keep a tree (or a DESTDIR copy of it) relocatable.
set(ORB_DATA_DIR ${CMAKE_INSTALL_DATADIR}/orbiscope)
file(RELATIVE_PATH ORB_DATA_FROM_LIBDIR ${CMAKE_INSTALL_FULL_LIBDIR} ${CMAKE_INSTALL_FULL_DATADIR}/orbiscope)
file(RELATIVE_PATH ORB_DATA_FROM_BINDIR ${CMAKE_INSTALL_FULL_BINDIR} ${CMAKE_INSTALL_FULL_DATADIR}/orbiscope)
set_property(SOURCE ${CMAKE_SOURCE_DIR}/src/platform/paths.cpp APPEND PROPERTY COMPILE_DEFINITIONS
             ORBISCOPE_DATADIR="${CMAKE_INSTALL_FULL_DATADIR}/orbiscope"
             ORBISCOPE_DATA_FROM_LIBDIR="${ORB_DATA_FROM_LIBDIR}" ORBISCOPE_DATA_FROM_BINDIR="${ORB_DATA_FROM_BINDIR}")

# The debug switch logs through GLib when it is there.
pkg_check_modules(GLIB glib-2.0)
if(GLIB_FOUND)
  set_property(SOURCE ${CMAKE_SOURCE_DIR}/src/platform/debug_log.cpp APPEND PROPERTY COMPILE_DEFINITIONS ORBISCOPE_HAVE_GLIB)
  set_property(SOURCE ${CMAKE_SOURCE_DIR}/src/platform/debug_log.cpp APPEND PROPERTY INCLUDE_DIRECTORIES ${GLIB_INCLUDE_DIRS})
  target_link_libraries(orbiscope_layer_platform PUBLIC ${GLIB_LINK_LIBRARIES})
endif()

# The programs a user runs. The host is built from tools/orbiscope under a target name that
# does not clash with the library's.
set(ORB_PROGRAMS "")
foreach(t orbiscope-host orbiscope_host orbiscope-player orbiscope-pack orbiscope-dewarp orbiscope-fakecam)
  if(TARGET ${t})
    list(APPEND ORB_PROGRAMS ${t})
    target_compile_definitions(${t} PRIVATE ORBISCOPE_VERSION="${PROJECT_VERSION}")
  endif()
endforeach()

# The host loads the shared library; it finds it relative to itself, so that the tree runs
# wherever it was installed (or staged).
file(RELATIVE_PATH ORB_LIB_FROM_BINDIR ${CMAKE_INSTALL_FULL_BINDIR} ${CMAKE_INSTALL_FULL_LIBDIR})
# The player also finds it beside itself, as a package unpacks them.
foreach(t orbiscope-host orbiscope_host orbiscope-player orbiscope-pack)
  if(TARGET ${t})
    set_target_properties(${t} PROPERTIES INSTALL_RPATH "$ORIGIN/${ORB_LIB_FROM_BINDIR};$ORIGIN")
  endif()
endforeach()

install(TARGETS orbiscope LIBRARY DESTINATION ${CMAKE_INSTALL_LIBDIR})
file(GLOB ORB_PUBLIC_HEADERS ${CMAKE_SOURCE_DIR}/include/*.h)
install(FILES ${ORB_PUBLIC_HEADERS} DESTINATION ${CMAKE_INSTALL_INCLUDEDIR})
if(ORB_PROGRAMS)
  install(TARGETS ${ORB_PROGRAMS} RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
endif()

file(RELATIVE_PATH ORB_PC_TO_PREFIX ${CMAKE_INSTALL_FULL_LIBDIR}/pkgconfig ${CMAKE_INSTALL_PREFIX})
string(REGEX REPLACE "/$" "" ORB_PC_TO_PREFIX "${ORB_PC_TO_PREFIX}")
configure_file(${CMAKE_SOURCE_DIR}/cmake/orbiscope.pc.in ${CMAKE_BINARY_DIR}/orbiscope.pc @ONLY)
install(FILES ${CMAKE_BINARY_DIR}/orbiscope.pc DESTINATION ${CMAKE_INSTALL_LIBDIR}/pkgconfig)

set(ORB_DESKTOP ${CMAKE_SOURCE_DIR}/res/desktop)
install(FILES ${CMAKE_SOURCE_DIR}/res/Halo360Web_003906.r DESTINATION ${ORB_DATA_DIR})
install(FILES ${ORB_DESKTOP}/orbiscope-256.png DESTINATION ${ORB_DATA_DIR} RENAME orbiscope.png)
install(FILES ${ORB_DESKTOP}/orbiscope.desktop ${ORB_DESKTOP}/orbiscope-player.desktop
        DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
install(FILES ${ORB_DESKTOP}/orbiscope.xml DESTINATION ${CMAKE_INSTALL_DATADIR}/mime/packages)
install(FILES ${ORB_DESKTOP}/orbiscope.svg DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps)
foreach(size 48 256)
  install(FILES ${ORB_DESKTOP}/orbiscope-${size}.png DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/${size}x${size}/apps
          RENAME orbiscope.png)
endforeach()
install(FILES ${CMAKE_SOURCE_DIR}/README.md DESTINATION ${CMAKE_INSTALL_DOCDIR})
# The window icon in the build tree, where no data folder is.
configure_file(${ORB_DESKTOP}/orbiscope-256.png ${CMAKE_BINARY_DIR}/orbiscope.png COPYONLY)

# Manual pages from each program's --help and --version.
find_program(HELP2MAN help2man)
find_program(GZIP gzip)
if(HELP2MAN AND GZIP AND NOT CMAKE_CROSSCOMPILING AND NOT ORBISCOPE_SANITIZE AND NOT ORBISCOPE_TSAN)
  set(ORB_MAN_NAMES
      "orbiscope-host=watch, record and play back 360-degree network cameras"
      "orbiscope_host=watch, record and play back 360-degree network cameras"
      "orbiscope-player=play an Orbiscope recording or snapshot"
      "orbiscope-pack=pack a recording or snapshot with the player into a self-extracting program"
      "orbiscope-dewarp=dewarp one panoramic picture"
      "orbiscope-fakecam=a panoramic camera on 127.0.0.1 for trying the client")
  set(ORB_MAN_PAGES "")
  foreach(entry ${ORB_MAN_NAMES})
    string(REPLACE "=" ";" pair "${entry}")
    list(GET pair 0 t)
    list(GET pair 1 what)
    if(TARGET ${t})
      get_target_property(out ${t} OUTPUT_NAME)
      if(NOT out)
        set(out ${t})
      endif()
      set(page ${CMAKE_BINARY_DIR}/man/${out}.1)
      add_custom_command(OUTPUT ${page}.gz
        COMMAND ${CMAKE_COMMAND} -E make_directory ${CMAKE_BINARY_DIR}/man
        COMMAND ${CMAKE_COMMAND} -DHELP2MAN=${HELP2MAN} -DGZIP=${GZIP} -DWHAT=${what} -DPAGE=${page}
                -DPROGRAM=$<TARGET_FILE:${t}> -P ${CMAKE_SOURCE_DIR}/cmake/manual_page.cmake
        DEPENDS ${t} ${CMAKE_SOURCE_DIR}/cmake/manual_page.cmake VERBATIM)
      list(APPEND ORB_MAN_PAGES ${page}.gz)
    endif()
  endforeach()
  add_custom_target(orbiscope-man ALL DEPENDS ${ORB_MAN_PAGES})
  install(FILES ${ORB_MAN_PAGES} DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
endif()

# A real installation refreshes the desktop's caches; a staged one (DESTDIR, the package)
# leaves that to the package manager's triggers.
install(CODE "set(ORB_DATADIR_REL \"${CMAKE_INSTALL_DATADIR}\")")
install(SCRIPT ${CMAKE_SOURCE_DIR}/cmake/refresh_desktop_caches.cmake)

# The Debian package.
set(CPACK_PACKAGE_NAME orbiscope)
set(CPACK_PACKAGE_VENDOR "Orbiscope developers")
set(CPACK_PACKAGE_CONTACT "Orbiscope developers <orbiscope@localhost>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "360-degree panoramic camera surveillance client")
set(CPACK_PACKAGE_DESCRIPTION
    "Watches up to 32 panoramic network cameras over HTTP, dewarps fisheye, mirror and\nannular lens pictures into panoramas and pan/tilt/zoom views, records every camera\ninto hourly files, plays recordings and snapshots back, and packs them with a\nstand-alone player. Includes the engine library, its header and pkg-config file.")
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_GENERATOR DEB)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION video)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_GENERATE_SHLIBS ON)
# Packing needs zip; the desktop opens web pages and reports with xdg-open and an editor.
set(CPACK_DEBIAN_PACKAGE_DEPENDS "zip, shared-mime-info, hicolor-icon-theme")
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "xdg-utils, unzip")
include(CPack)

# The installation test installs the built tree into a temporary folder and runs it there.
if(TARGET test_install)
  add_dependencies(test_install orbiscope ${ORB_PROGRAMS})
  if(TARGET orbiscope-man)
    add_dependencies(test_install orbiscope-man)
    target_compile_definitions(test_install PRIVATE ORB_MAN_PAGES=1)
  else()
    target_compile_definitions(test_install PRIVATE ORB_MAN_PAGES=0)
  endif()
  target_compile_definitions(test_install PRIVATE ORB_VERSION="${PROJECT_VERSION}"
                             ORB_LIBDIR="${CMAKE_INSTALL_LIBDIR}" ORB_SOVERSION="${PROJECT_VERSION_MAJOR}")
endif()
if(TARGET test_install)
  target_compile_definitions(test_install PRIVATE ORB_CMAKE="${CMAKE_COMMAND}")
  if(ORBISCOPE_SANITIZE)
    target_compile_definitions(test_install PRIVATE ORB_SANITIZED)
  endif()
endif()
