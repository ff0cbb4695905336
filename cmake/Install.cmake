# What `cmake --install <build> --prefix P` puts where, and the Debian package that
# `cpack -G DEB` builds from the same rules.
#
#   P/bin                               corvid, corvid-report, corvid-demo
#   P/lib/corvid/ocisim                 the simulated client libraries, for corvid-demo only:
#                                       off the loader's path, so a real Oracle client is
#                                       never shadowed
#   P/share/applications                corvid.desktop
#   P/share/icons/hicolor/NxN/apps      corvid.png, painted by the program's own code
#   P/share/doc/corvid                  the help page that Help Topics opens
#   P/share/man/man1                    corvid.1.gz, corvid-report.1.gz
#   P/share/bash-completion/completions corvid-report

install(TARGETS corvid-report RUNTIME DESTINATION bin)
install(PROGRAMS ${CMAKE_SOURCE_DIR}/packaging/corvid-demo DESTINATION bin)
# The man pages carry the project's version and are installed compressed.
set(man_pages)
foreach(page corvid corvid-report)
  configure_file(${CMAKE_SOURCE_DIR}/docs/man/${page}.1.in ${CMAKE_BINARY_DIR}/man/${page}.1 @ONLY)
  add_custom_command(OUTPUT ${CMAKE_BINARY_DIR}/man/${page}.1.gz
    COMMAND gzip -9 -n -c ${CMAKE_BINARY_DIR}/man/${page}.1 > ${CMAKE_BINARY_DIR}/man/${page}.1.gz
    DEPENDS ${CMAKE_BINARY_DIR}/man/${page}.1 ${CMAKE_SOURCE_DIR}/docs/man/${page}.1.in)
  list(APPEND man_pages ${CMAKE_BINARY_DIR}/man/${page}.1.gz)
endforeach()
add_custom_target(corvid_man_pages ALL DEPENDS ${man_pages})
install(FILES ${man_pages} DESTINATION share/man/man1)
install(FILES ${CMAKE_SOURCE_DIR}/packaging/corvid-report.bash-completion
        DESTINATION share/bash-completion/completions RENAME corvid-report)
install(FILES ${CMAKE_SOURCE_DIR}/app/help/corvid-help.html DESTINATION share/doc/corvid)

if(TARGET ocisim_clntsh)
  install(TARGETS ocisim_clntsh ocisim_ociw32 LIBRARY DESTINATION lib/corvid/ocisim)
endif()

if(CORVID_DESKTOP)
  install(TARGETS corvid RUNTIME DESTINATION bin)
  install(FILES ${CMAKE_SOURCE_DIR}/packaging/corvid.desktop DESTINATION share/applications)

  # The icon theme's sizes, rendered from the program's own icon at build time.
  add_executable(corvid-icon-writer ${CMAKE_SOURCE_DIR}/app/qt/iconwriter/main.cpp)
  target_link_libraries(corvid-icon-writer PRIVATE corvid_desktop)
  set(CORVID_ICON_SIZES 16 22 24 32 48 64 128 256)
  set(CORVID_ICON_DIR ${CMAKE_BINARY_DIR}/icons/hicolor)
  set(icon_files)
  foreach(size IN LISTS CORVID_ICON_SIZES)
    list(APPEND icon_files ${CORVID_ICON_DIR}/${size}x${size}/apps/corvid.png)
  endforeach()
  add_custom_command(OUTPUT ${icon_files}
    COMMAND ${CMAKE_COMMAND} -E env QT_QPA_PLATFORM=offscreen
            $<TARGET_FILE:corvid-icon-writer> ${CORVID_ICON_DIR} ${CORVID_ICON_SIZES}
    DEPENDS corvid-icon-writer
    COMMENT "Painting the application icon")
  add_custom_target(corvid_icons ALL DEPENDS ${icon_files})
  install(DIRECTORY ${CORVID_ICON_DIR} DESTINATION share/icons)
endif()

# The Debian package: `cpack -G DEB` in the build folder. Its dependencies come from
# the libraries the programs link (dpkg-shlibdeps), so the Qt packages are named
# as the build machine's release ships them.
set(CPACK_PACKAGE_NAME corvid)
set(CPACK_PACKAGE_VENDOR "Quarry Lane")
set(CPACK_PACKAGE_CONTACT "Quarry Lane <corvid@example.com>")
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_HOMEPAGE_URL "https://www.example.com/corvid")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "profiler of an Oracle server's shared pool")
set(CPACK_PACKAGE_DESCRIPTION
    "Corvid lists the SQL statements of an Oracle server's shared SQL area with their\n"
    "statistics, per-execution figures and shares of all disk reads and buffer gets,\n"
    "explains them and shows their plans, costs and full table scans. corvid-report\n"
    "writes the same list as CSV, HTML, XML or JSON for scripts and cron jobs.\n"
    "corvid-demo tries it on a simulated database that comes with the package.")
string(JOIN "" CPACK_PACKAGE_DESCRIPTION ${CPACK_PACKAGE_DESCRIPTION})
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION database)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
include(CPack)
