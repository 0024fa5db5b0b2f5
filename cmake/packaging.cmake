# The packages, made by CPack: two Debian packages of the Linux build
# (`cmake --workflow --preset package`), tonquill (the window, install
# component `window`) and tonquill-tools (the command-line programs, component
# `tools`: whatever tools/ installs), the arm64 tonquill-tools of the cross
# build (`cmake --workflow --preset package-arm64`), and a zip and an
# installer of the Windows build (`cmake --workflow --preset mingw`). Package names, man pages, the
# AppStream release and `tonquill-render --version` all take their version
# from project(VERSION) in the top-level CMakeLists.txt.

# The day PROJECT_VERSION was released: change it with the version.
set(TQ_RELEASE_DATE "2026-12-09")

# The project has no public page and no address yet: the maintainer and
# the screenshot address are placeholders under the reserved .invalid
# domain. Whoever builds a package to hand out names themselves (the Help
# box sends questions to the package's maintainer).
set(TQ_PACKAGE_MAINTAINER "The Tonquill developers <tonquill@tonquill.invalid>"
    CACHE STRING "Maintainer field of the Debian package: Name <address>")
set(TQ_SCREENSHOT_URL "https://tonquill.invalid/window.png"
    CACHE STRING "Address of the screenshot in the AppStream data")
set(TQ_APPSTREAM_ID "org.tonquill.tonquill")

option(TQ_PACKAGE "Build the Debian packages' files: man pages, icons, AppStream data" OFF)
set(TQ_DEB_ARCHITECTURE "" CACHE STRING
    "Debian architecture of a cross build's package (the toolchain file sets it); empty: the machine's")
# The command-line programs whose man pages go into tonquill-tools, where
# this build makes them.
set(TQ_TOOL_PROGRAMS tonquill-render tonquill-play)

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
            DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/${size}x${size}/apps
            COMPONENT window)
    list(APPEND pngs ${dir}/tonquill.png)
  endforeach()
  set(${out_var} ${pngs} PARENT_SCOPE)
endfunction()

# The man page of each program in `programs` that this build makes, from
# packaging/PROGRAM.1.in, gzip'd into `component`. Adds the pages to the list
# named `out_var`.
function(tq_add_man_pages component out_var)
  cmake_parse_arguments(arg "" "" "PROGRAMS" ${ARGN})
  set(pages ${${out_var}})
  foreach(program ${arg_PROGRAMS})
    if(NOT TARGET ${program})
      continue()
    endif()
    configure_file(${TQ_PACKAGING_DIR}/${program}.1.in ${TQ_PACKAGING_OUT}/${program}.1 @ONLY)
    tq_gzip_at_build(${TQ_PACKAGING_OUT}/${program}.1 pages)
    install(FILES ${TQ_PACKAGING_OUT}/${program}.1.gz DESTINATION ${CMAKE_INSTALL_MANDIR}/man1
            COMPONENT ${component})
  endforeach()
  set(${out_var} ${pages} PARENT_SCOPE)
endfunction()

# The copyright, the changelog and the README in usr/share/doc/PACKAGE: every
# Debian package has its own.
function(tq_install_package_docs component package)
  install(FILES ${TQ_PACKAGING_DIR}/copyright ${TQ_PACKAGING_OUT}/changelog.gz
                ${PROJECT_SOURCE_DIR}/README.md
          DESTINATION ${CMAKE_INSTALL_DATAROOTDIR}/doc/${package} COMPONENT ${component})
endfunction()

# Man pages, AppStream data, copyright and changelog of the Debian packages:
# the window's where the window is built, the tools' always.
function(tq_add_debian_files)
  execute_process(COMMAND date -u -R -d "${TQ_RELEASE_DATE} 12:00"
                  OUTPUT_VARIABLE TQ_RELEASE_DATE_RFC2822 OUTPUT_STRIP_TRAILING_WHITESPACE
                  COMMAND_ERROR_IS_FATAL ANY)
  # The newest entry takes the version and date; older ones follow it.
  configure_file(${TQ_PACKAGING_DIR}/changelog.in ${TQ_PACKAGING_OUT}/changelog @ONLY)
  set(generated)
  tq_gzip_at_build(${TQ_PACKAGING_OUT}/changelog generated)

  tq_add_man_pages(tools generated PROGRAMS ${TQ_TOOL_PROGRAMS})
  tq_install_package_docs(tools tonquill-tools)
  if(TARGET tonquill)
    tq_add_man_pages(window generated PROGRAMS tonquill)
    tq_install_package_docs(window tonquill)
    set(metainfo ${TQ_PACKAGING_OUT}/${TQ_APPSTREAM_ID}.metainfo.xml)
    configure_file(${TQ_PACKAGING_DIR}/metainfo.xml.in ${metainfo} @ONLY)
    install(FILES ${metainfo} DESTINATION ${CMAKE_INSTALL_DATADIR}/metainfo COMPONENT window)
    install(FILES ${TQ_PACKAGING_DIR}/lintian-overrides
            DESTINATION ${CMAKE_INSTALL_DATADIR}/lintian/overrides RENAME tonquill
            COMPONENT window)
    tq_add_icon_pngs(pngs)
  endif()
  add_custom_target(tq_package_files ALL DEPENDS ${generated} ${pngs})
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
  # One package per install component; the build without the window makes
  # the tools' alone.
  set(CPACK_DEB_COMPONENT_INSTALL ON)
  set(CPACK_COMPONENTS_ALL tools)
  if(TARGET tonquill)
    list(PREPEND CPACK_COMPONENTS_ALL window)
  endif()
  set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
  set(CPACK_DEBIAN_PACKAGE_MAINTAINER ${TQ_PACKAGE_MAINTAINER})
  set(CPACK_DEBIAN_PACKAGE_SECTION sound)
  set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
  # dpkg-shlibdeps per package: each depends on the libraries its own
  # programs link, so no Qt comes with the tools.
  set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
  set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
  if(TQ_DEB_ARCHITECTURE)
    # A cross build: the package's architecture, and dpkg-shlibdeps told
    # it, so that it reads the shlibs of that architecture's libraries.
    set(CPACK_DEBIAN_PACKAGE_ARCHITECTURE ${TQ_DEB_ARCHITECTURE})
    configure_file(${TQ_PACKAGING_DIR}/cpack_deb_cross.cmake.in
                   ${TQ_PACKAGING_OUT}/cpack_deb_cross.cmake @ONLY)
    set(CPACK_PROJECT_CONFIG_FILE ${TQ_PACKAGING_OUT}/cpack_deb_cross.cmake)
  endif()

  # The summary is each package's first description line.
  unset(CPACK_PACKAGE_DESCRIPTION_SUMMARY)
  set(CPACK_DEBIAN_WINDOW_PACKAGE_NAME tonquill)
  # Beside the libraries dpkg-shlibdeps finds: Qt's Wayland plugin (Qt's X
  # plugin comes with libqt6gui6), for a native window on a Wayland
  # session, and the desktop's opener (xdg-open), which Qt hands the
  # program's web page to.
  set(CPACK_DEBIAN_WINDOW_PACKAGE_DEPENDS "qt6-wayland, xdg-utils")
  # Debian's "usually installed together": apt brings the tools along.
  set(CPACK_DEBIAN_WINDOW_PACKAGE_RECOMMENDS "tonquill-tools (= ${PROJECT_VERSION})")
  set(CPACK_DEBIAN_WINDOW_DESCRIPTION
      "two-channel audio function generator
Tonquill turns the computer's sound card into a two-channel signal source
for testing speakers, amplifiers, filters, oscilloscopes and ears. The left
and right outputs each play one of seven waveforms (sine, triangle, square,
sawtooth, single-sample pulse, white noise, pink noise) at one common
frequency, each at its own level in dB, as 16-bit stereo PCM at 44100 Hz
through the desktop's sound server or ALSA.

This package holds the desktop program, tonquill. The command-line
programs are in tonquill-tools.")
  set(CPACK_DEBIAN_TOOLS_PACKAGE_NAME tonquill-tools)
  # tonquill 0.1.0 held tonquill-render and its man page: the tools take
  # them over on an upgrade instead of failing on a file conflict.
  set(CPACK_DEBIAN_TOOLS_PACKAGE_BREAKS "tonquill (<< 0.2.0)")
  set(CPACK_DEBIAN_TOOLS_PACKAGE_REPLACES "tonquill (<< 0.2.0)")
  set(CPACK_DEBIAN_TOOLS_DESCRIPTION
      "two-channel audio function generator, command-line programs
Tonquill's signals without a window, for scripts, test rigs and machines
with no desktop: the left and right outputs each play one of eight
waveforms (sine, triangle, square, sawtooth, single-sample pulse, white,
pink and brown noise) at a common frequency or one of their own, each at
its own level, phase, polarity and duty cycle, with sweeps, tone bursts
and fades, at rates from 8000 to 192000 Hz.

tonquill-render writes the samples to WAVE, FLAC or AIFF files or to
standard output; tonquill-play plays them through the desktop's sound
server or ALSA and takes commands on standard input while it plays.")
  # Directories in the package as Debian has them, whatever the umask.
  set(CPACK_INSTALL_DEFAULT_DIRECTORY_PERMISSIONS
      OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE WORLD_READ WORLD_EXECUTE)
endif()

include(CPack)
