# What gets installed besides the executable, and the Debian package CPack makes of it:
# the desktop entry, the icon (SVG, and PNGs rendered from it here), the AppStream metainfo, the
# manual page, the autostart example (off: Hidden=true) and the shell completions when present.
include(GNUInstallDirs)

set(data_dir ${CMAKE_SOURCE_DIR}/data)
set(packaging_dir ${CMAKE_SOURCE_DIR}/packaging)
set(generated_dir ${CMAKE_BINARY_DIR}/data)
file(MAKE_DIRECTORY ${generated_dir})

if(TARGET quorvel)
  install(TARGETS quorvel RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
endif()

install(FILES ${data_dir}/quorvel.desktop DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
install(FILES ${data_dir}/icons/quorvel.svg DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps)
configure_file(${data_dir}/quorvel.metainfo.xml ${generated_dir}/quorvel.metainfo.xml @ONLY)
install(FILES ${generated_dir}/quorvel.metainfo.xml DESTINATION ${CMAKE_INSTALL_DATADIR}/metainfo)
install(FILES ${data_dir}/quorvel-autostart.desktop DESTINATION /etc/xdg/autostart RENAME quorvel.desktop)
install(FILES ${packaging_dir}/copyright DESTINATION ${CMAKE_INSTALL_DATADIR}/doc/quorvel)

if(EXISTS ${data_dir}/completions/quorvel.bash)
  install(FILES ${data_dir}/completions/quorvel.bash DESTINATION ${CMAKE_INSTALL_DATADIR}/bash-completion/completions
          RENAME quorvel)
endif()
if(EXISTS ${data_dir}/completions/_quorvel)
  install(FILES ${data_dir}/completions/_quorvel DESTINATION ${CMAKE_INSTALL_DATADIR}/zsh/vendor-completions)
endif()

# Compressed the way Debian wants them: gzip -9n, no name or time stamp inside, so builds repeat.
find_program(GZIP_PROGRAM gzip REQUIRED)
configure_file(${packaging_dir}/changelog ${generated_dir}/changelog @ONLY)
set(compressed ${generated_dir}/quorvel.1.gz ${generated_dir}/changelog.gz)
add_custom_command(OUTPUT ${generated_dir}/quorvel.1.gz
  COMMAND ${GZIP_PROGRAM} -9n -c ${data_dir}/quorvel.1 > ${generated_dir}/quorvel.1.gz
  DEPENDS ${data_dir}/quorvel.1 VERBATIM)
add_custom_command(OUTPUT ${generated_dir}/changelog.gz
  COMMAND ${GZIP_PROGRAM} -9n -c ${generated_dir}/changelog > ${generated_dir}/changelog.gz
  DEPENDS ${generated_dir}/changelog VERBATIM)
install(FILES ${generated_dir}/quorvel.1.gz DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
install(FILES ${generated_dir}/changelog.gz DESTINATION ${CMAKE_INSTALL_DATADIR}/doc/quorvel)

# The icon at the hicolor theme's fixed sizes, rendered from the SVG.
set(icon_sizes 16 22 24 32 48 64 128 256)
find_program(RSVG_CONVERT rsvg-convert)
set(icon_pngs)
if(RSVG_CONVERT)
  foreach(size ${icon_sizes})
    set(png ${generated_dir}/icons/${size}x${size}/quorvel.png)
    add_custom_command(OUTPUT ${png}
      COMMAND ${CMAKE_COMMAND} -E make_directory ${generated_dir}/icons/${size}x${size}
      COMMAND ${RSVG_CONVERT} --width=${size} --height=${size} --output=${png} ${data_dir}/icons/quorvel.svg
      DEPENDS ${data_dir}/icons/quorvel.svg VERBATIM)
    list(APPEND icon_pngs ${png})
    install(FILES ${png} DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/${size}x${size}/apps)
  endforeach()
else()
  message(WARNING "rsvg-convert (librsvg2-bin) is missing: the package will have no PNG icons")
endif()
add_custom_target(quorvel_data ALL DEPENDS ${compressed} ${icon_pngs})

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME quorvel)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_VENDOR "The Quorvel developers")
set(CPACK_PACKAGE_CONTACT "The Quorvel developers <dev@quorvel.invalid>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "tiles windows per desktop and switches desktops with keys")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_MAINTAINER "${CPACK_PACKAGE_CONTACT}")
set(CPACK_DEBIAN_PACKAGE_SECTION x11)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_HOMEPAGE "https://github.com/quorvel/quorvel")
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# The synopsis line is the summary above; this is the extended description under it.
set(CPACK_DEBIAN_PACKAGE_DESCRIPTION "Quorvel is a workspace companion for X11 sessions. It tiles the windows of
each desktop in a binary split tree, names desktops and switches between
them from a panel, a strip along the top edge or hot keys, beside the
window manager already in use. Its settings are in the system tray.")
set(CPACK_DEBIAN_PACKAGE_CONTROL_EXTRA ${packaging_dir}/conffiles)
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
include(CPack)
