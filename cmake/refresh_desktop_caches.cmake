# Run by "cmake --install": a real installation refreshes the desktop's file-type, menu and
# icon caches; a staged one (DESTDIR, the Debian package) leaves that to the package
# manager's triggers.
if(DEFINED ENV{DESTDIR} AND NOT "$ENV{DESTDIR}" STREQUAL "")
  return()
endif()
set(share "${CMAKE_INSTALL_PREFIX}/${ORB_DATADIR_REL}")
foreach(step "update-mime-database;${share}/mime"
             "update-desktop-database;-q;${share}/applications"
             "gtk-update-icon-cache;-q;-t;-f;${share}/icons/hicolor")
  list(GET step 0 tool)
  find_program(found_${tool} ${tool})
  if(found_${tool})
    execute_process(COMMAND ${step} OUTPUT_QUIET ERROR_QUIET)
  endif()
endforeach()
