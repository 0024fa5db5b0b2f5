# The packages, made by CPack: a Debian package of the Linux build
# (`cmake --workflow --preset package`) and a zip and an installer of the
# Windows build (`cmake --workflow --preset mingw`). Package names, man pages, the
# AppStream release and `tonquill-render --version` all take their version
# from project(VERSION) in the top-level CMakeLists.txt.

# The day PROJECT_VERSION was released: change it with the version.
set(TQ_RELEASE_DATE "2026-12-08")

# The project has no public page and no address yet: the maintainer and
# the screenshot address are placeholders under the reserved .invalid
# domain. Whoever builds a package to hand out names themselves (the Help
# box sends questions to the package's maintainer).
set(TQ_PACKAGE_MAINTAINER "The Tonquill developers <tonquill@tonquill.invalid>"
    CACHE STRING "Maintainer field of the Debian package: Name <address>")
set(TQ_SCREENSHOT_URL "https://tonquill.invalid/window.png"
    CACHE STRING "Address of the screenshot in the AppStream data")
set(TQ_APPSTREAM_ID "org.tonquill.tonquill")

option(TQ_PACKAGE "Build the Debian package's files: man pages, icons, AppStream data" OFF)

include(GNUInstallDirs)
set(TQ_PACKAGING_DIR ${PROJECT_SOURCE_DIR}/packaging)
set(TQ_PACKAGING_OUT ${PROJECT_BINARY_DIR}/packaging)

# Compresses `file` at build time as Debian wants it: best compression, no
# name or time stamp inside. Adds FILE.gz to the list named `out_var`.
function(tq_gzip_at_build file out_var)
  add_custom_command(
    OUTPUT ${file}.gz
    COMMAND gzip -9 -n -k -f ${file}
    DEPENDS ${file}
    VERBATIM)
  set(${out_var} ${${out_var}} ${file}.gz PARENT_SCOPE)
endfunction()

# The hicolor PNGs, drawn from the SVG at build time.
function(tq_add_icon_pngs out_var)
  find_program(TQ_RSVG_CONVERT rsvg-convert REQUIRED)
  set(svg ${PROJECT_SOURCE_DIR}/data/tonquill.svg)
  set(pngs)
  foreach(size 48 128 256)
    set(dir ${TQ_PACKAGING_OUT}/icons/${size}x${size})
    add_custom_command(
      OUTPUT ${dir}/tonquill.png
      COMMAND ${CMAKE_COMMAND} -E make_directory ${dir}
      COMMAND ${TQ_RSVG_CONVERT} --width ${size} --height ${size} --output ${dir}/tonquill.png ${svg}
      DEPENDS ${svg}
      VERBATIM)
    install(FILES ${dir}/tonquill.png
            DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/${size}x${size}/apps)
    list(APPEND pngs ${dir}/tonquill.png)
  endforeach()
  set(${out_var} ${pngs} PARENT_SCOPE)
endfunction()

# Man pages, AppStream data, copyright and changelog of the Debian package.
function(tq_add_debian_files)
  execute_process(COMMAND date -u -R -d "${TQ_RELEASE_DATE} 12:00"
                  OUTPUT_VARIABLE TQ_RELEASE_DATE_RFC2822 OUTPUT_STRIP_TRAILING_WHITESPACE
                  COMMAND_ERROR_IS_FATAL ANY)
  set(generated)
  foreach(page tonquill tonquill-render)
    configure_file(${TQ_PACKAGING_DIR}/${page}.1.in ${TQ_PACKAGING_OUT}/${page}.1 @ONLY)
    tq_gzip_at_build(${TQ_PACKAGING_OUT}/${page}.1 generated)
    install(FILES ${TQ_PACKAGING_OUT}/${page}.1.gz DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
  endforeach()

  # The newest entry takes the version and date; older ones follow it.
  configure_file(${TQ_PACKAGING_DIR}/changelog.in ${TQ_PACKAGING_OUT}/changelog @ONLY)
  tq_gzip_at_build(${TQ_PACKAGING_OUT}/changelog generated)

  set(metainfo ${TQ_PACKAGING_OUT}/${TQ_APPSTREAM_ID}.metainfo.xml)
  configure_file(${TQ_PACKAGING_DIR}/metainfo.xml.in ${metainfo} @ONLY)

  tq_add_icon_pngs(pngs)
  add_custom_target(tq_package_files ALL DEPENDS ${generated} ${pngs})

  install(FILES ${metainfo} DESTINATION ${CMAKE_INSTALL_DATADIR}/metainfo)
  install(FILES ${TQ_PACKAGING_DIR}/lintian-overrides
          DESTINATION ${CMAKE_INSTALL_DATADIR}/lintian/overrides RENAME tonquill)
  install(FILES ${TQ_PACKAGING_DIR}/copyright ${TQ_PACKAGING_OUT}/changelog.gz
                ${PROJECT_SOURCE_DIR}/README.md
          DESTINATION ${CMAKE_INSTALL_DOCDIR})
endfunction()

# Writes `in` to `out` with Windows line ends; configuring again when `in`
# changes.
function(tq_write_crlf in out)
  file(READ ${in} text)
  string(REPLACE "\r\n" "\n" text "${text}")
  string(REPLACE "\n" "\r\n" text "${text}")
  file(WRITE ${out}.new "${text}")
  file(COPY_FILE ${out}.new ${out} ONLY_IF_DIFFERENT)
  set_property(DIRECTORY ${PROJECT_SOURCE_DIR} APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${in})
endfunction()

set(CPACK_PACKAGE_NAME tonquill)
set(CPACK_PACKAGE_VENDOR "The Tonquill developers")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "two-channel audio function generator")
set(CPACK_RESOURCE_FILE_LICENSE ${PROJECT_SOURCE_DIR}/LICENSE)
set(CPACK_STRIP_FILES ON)

if(WIN32)
  # tonquill.exe (installed by src/platform/win32), the README and the
  # licence, at the top of the zip.
  tq_write_crlf(${PROJECT_SOURCE_DIR}/README.md ${TQ_PACKAGING_OUT}/README.txt)
  tq_write_crlf(${PROJECT_SOURCE_DIR}/LICENSE ${TQ_PACKAGING_OUT}/LICENSE.txt)
  install(FILES ${TQ_PACKAGING_OUT}/README.txt ${TQ_PACKAGING_OUT}/LICENSE.txt DESTINATION .)
  set(CPACK_GENERATOR ZIP NSIS64)
  set(CPACK_PACKAGE_FILE_NAME tonquill-${PROJECT_VERSION}-windows-${CMAKE_SYSTEM_PROCESSOR})
  set(CPACK_INCLUDE_TOPLEVEL_DIRECTORY OFF)
  # The installer, tonquill-<version>-setup.exe, from packaging/windows's
  # own NSIS script: for the current user, no administrator rights.
  list(APPEND CMAKE_MODULE_PATH ${TQ_PACKAGING_DIR}/windows)
  configure_file(${TQ_PACKAGING_DIR}/windows/cpack_options.cmake.in
                 ${TQ_PACKAGING_OUT}/cpack_options.cmake @ONLY)
  set(CPACK_PROJECT_CONFIG_FILE ${TQ_PACKAGING_OUT}/cpack_options.cmake)
  set(CPACK_NSIS_DISPLAY_NAME Tonquill)
  set(CPACK_TQ_PUBLISHER "Varnholt Electronics")
  set(CPACK_TQ_ICON ${PROJECT_SOURCE_DIR}/data/tonquill.ico)
elseif(CMAKE_SYSTEM_NAME STREQUAL "Linux")
  if(TQ_PACKAGE)
    tq_add_debian_files()
  endif()
  set(CPACK_GENERATOR DEB)
  set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
  set(CPACK_DEBIAN_PACKAGE_MAINTAINER ${TQ_PACKAGE_MAINTAINER})
  set(CPACK_DEBIAN_PACKAGE_SECTION sound)
  set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
  set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
  # Beside the libraries dpkg-shlibdeps finds: Qt's Wayland plugin (Qt's X
  # plugin comes with libqt6gui6), for a native window on a Wayland
  # session, and the desktop's opener (xdg-open), which Qt hands the
  # program's web page to.
  set(CPACK_DEBIAN_PACKAGE_DEPENDS "qt6-wayland, xdg-utils")
  set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
  set(CPACK_PACKAGE_DESCRIPTION
      "Tonquill turns the computer's sound card into a two-channel signal source
for testing speakers, amplifiers, filters, oscilloscopes and ears. The left
and right outputs each play one of seven waveforms (sine, triangle, square,
sawtooth, single-sample pulse, white noise, pink noise) at one common
frequency, each at its own level in dB, as 16-bit stereo PCM at 44100 Hz
through ALSA.

The package holds the desktop program, tonquill, and the command-line
renderer, tonquill-render, which writes the same samples to WAVE, FLAC or
AIFF files or to standard output.")
  # Directories in the package as Debian has them, whatever the umask.
  set(CPACK_INSTALL_DEFAULT_DIRECTORY_PERMISSIONS
      OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE WORLD_READ WORLD_EXECUTE)
endif()

include(CPack)
