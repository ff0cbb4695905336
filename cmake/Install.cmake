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
#   P/share/man/man1                    corvid.1, corvid-report.1
#   P/share/bash-completion/completions corvid-report

install(TARGETS corvid-report RUNTIME DESTINATION bin)
install(PROGRAMS ${CMAKE_SOURCE_DIR}/packaging/corvid-demo DESTINATION bin)
# The man pages carry the project's version.
foreach(page corvid corvid-report)
  configure_file(${CMAKE_SOURCE_DIR}/docs/man/${page}.1.in ${CMAKE_BINARY_DIR}/man/${page}.1 @ONLY)
  install(FILES ${CMAKE_BINARY_DIR}/man/${page}.1 DESTINATION share/man/man1)
endforeach()
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
    COMMAND ${CMAKE_COMMAND} -E env QT_QPA_PLATFORM=offscreen ASAN_OPTIONS=detect_leaks=0
            $<TARGET_FILE:corvid-icon-writer> ${CORVID_ICON_DIR} ${CORVID_ICON_SIZES}
    DEPENDS corvid-icon-writer
    COMMENT "Painting the application icon")
  add_custom_target(corvid_icons ALL DEPENDS ${icon_files})
  install(DIRECTORY ${CORVID_ICON_DIR} DESTINATION share/icons)
endif()
