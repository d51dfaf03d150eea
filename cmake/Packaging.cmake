# The help as HTML pages beside help.chm, and the Debian packages made by `cpack -G DEB`
# (scripts/package.sh drives it):
#   brakenfold       the application folder under /opt/brakenfold, the programs on the PATH, the
#                    desktop entry, icons, AppStream data, manual pages;
#   brakenfold-calc  the LibreOffice Calc backend, a plugin in /opt/brakenfold/plugins/.
# The files outside the application folder belong to the components "desktop" and "calc-doc",
# which only the packages install: `cmake --install` lays out the application folder alone.

set(BRAKENFOLD_PACKAGE_PREFIX /opt/brakenfold)
set(BRAKENFOLD_DEB_RELEASE 1)
set(BRAKENFOLD_DEB_VERSION "${PROJECT_VERSION}-${BRAKENFOLD_DEB_RELEASE}")
set(BRAKENFOLD_MAINTAINER "Brakenfold maintainers <support@brakenfold.example.org>")
set(BRAKENFOLD_RELEASE_DATE 2026-12-07)
set(BRAKENFOLD_RELEASE_DATE_RFC2822 "Mon, 07 Dec 2026 00:00:00 +0000")
set(BRAKENFOLD_APP_ID org.example.brakenfold)
set(_pkg_src "${CMAKE_SOURCE_DIR}/packaging")
set(_pkg_out "${CMAKE_BINARY_DIR}/packaging")

# ---- Help pages as HTML: help/html/ in the application folder ----
file(GLOB _help_sources CONFIGURE_DEPENDS "${CMAKE_SOURCE_DIR}/assets/help/src/*.htm"
     "${CMAKE_SOURCE_DIR}/assets/help/src/*.css")
set(_help_stamp "${CMAKE_BINARY_DIR}/help-html.stamp")
add_custom_command(OUTPUT "${_help_stamp}"
  COMMAND "${CMAKE_COMMAND}" "-DSRC=${CMAKE_SOURCE_DIR}/assets/help/src" "-DOUT=${BRAKENFOLD_APP_DIR}/help/html"
          -P "${CMAKE_SOURCE_DIR}/cmake/HelpHtml.cmake"
  COMMAND "${CMAKE_COMMAND}" -E touch "${_help_stamp}"
  DEPENDS ${_help_sources} "${CMAKE_SOURCE_DIR}/cmake/HelpHtml.cmake"
  COMMENT "Writing the help pages as HTML"
  VERBATIM)
add_custom_target(help_html ALL DEPENDS "${_help_stamp}")
install(DIRECTORY "${BRAKENFOLD_APP_DIR}/help/html" DESTINATION help)

# ---- The Calc backend plugin, when the tree builds one ----
if(TARGET brakenfold-calc-plugin)
  install(TARGETS brakenfold-calc-plugin LIBRARY DESTINATION plugins COMPONENT calc)
endif()

# ---- Files for the system: generated into the build tree ----
configure_file("${_pkg_src}/${BRAKENFOLD_APP_ID}.metainfo.xml.in"
               "${_pkg_out}/${BRAKENFOLD_APP_ID}.metainfo.xml" @ONLY)
set(_gz_files "")
function(_brakenfold_gzip source name)  # gzip -9n: reproducible and as small as it gets
  set(out "${_pkg_out}/${name}.gz")
  add_custom_command(OUTPUT "${out}"
    COMMAND gzip -9nc "${source}" > "${out}"
    DEPENDS "${source}" VERBATIM)
  set(_gz_files ${_gz_files} "${out}" PARENT_SCOPE)
endfunction()
# The Calc backend needs LibreOffice's UNO libraries, which live in the office's own program
# folder, outside the loader's search path: whatever holds the backend carries that folder as
# its RUNPATH (the plugin; the programs while the backend is linked into them).
set(BRAKENFOLD_CALC_LINKED_IN OFF CACHE INTERNAL "The Calc backend is linked into the programs")
if(TARGET brakenfold_calc AND NOT TARGET brakenfold-calc-plugin)
  set(BRAKENFOLD_CALC_LINKED_IN ON CACHE INTERNAL "")
  message(WARNING "The Calc backend is linked into the programs: the brakenfold package will depend "
                  "on LibreOffice's libraries until the backend is the plugin brakenfold-calc-plugin.")
endif()
set(_runpath_holder brakenfold-calc)
if(BRAKENFOLD_CALC_LINKED_IN)
  set(_runpath_holder brakenfold)
endif()
foreach(_package brakenfold brakenfold-calc)
  set(PACKAGE "${_package}")
  set(RUNPATH_OVERRIDE "")
  if(_package STREQUAL _runpath_holder AND BRAKENFOLD_LO_PROGRAM_DIR)
    set(RUNPATH_OVERRIDE "${_package}: custom-library-search-path RUNPATH ${BRAKENFOLD_LO_PROGRAM_DIR} [*]")
  endif()
  configure_file("${_pkg_src}/changelog.in" "${_pkg_out}/${_package}/changelog.Debian" @ONLY)
  configure_file("${_pkg_src}/lintian-overrides" "${_pkg_out}/${_package}/lintian-overrides" @ONLY)
  _brakenfold_gzip("${_pkg_out}/${_package}/changelog.Debian" "${_package}/changelog.Debian")
endforeach()
foreach(_page brakenfold.1 brakenfold-split.1)
  _brakenfold_gzip("${_pkg_src}/man/${_page}" "man/${_page}")
endforeach()
add_custom_target(packaging_files ALL DEPENDS ${_gz_files})
# The commands on the PATH: links into the application folder.
file(MAKE_DIRECTORY "${_pkg_out}/bin")
foreach(_program brakenfold brakenfold-split)
  file(CREATE_LINK "${BRAKENFOLD_PACKAGE_PREFIX}/${_program}" "${_pkg_out}/bin/${_program}" SYMBOLIC)
endforeach()

# ---- ...and where they go (absolute paths: packages only) ----
macro(_brakenfold_system_files component)
  install(${ARGN} COMPONENT ${component} EXCLUDE_FROM_ALL)
endmacro()
_brakenfold_system_files(desktop FILES "${_pkg_out}/bin/brakenfold" "${_pkg_out}/bin/brakenfold-split"
                         DESTINATION /usr/bin)
_brakenfold_system_files(desktop FILES "${_pkg_src}/${BRAKENFOLD_APP_ID}.desktop"
                         DESTINATION /usr/share/applications)
_brakenfold_system_files(desktop FILES "${_pkg_out}/${BRAKENFOLD_APP_ID}.metainfo.xml"
                         DESTINATION /usr/share/metainfo)
_brakenfold_system_files(desktop DIRECTORY "${_pkg_src}/icons/hicolor" DESTINATION /usr/share/icons)
_brakenfold_system_files(desktop FILES "${_pkg_out}/man/brakenfold.1.gz" "${_pkg_out}/man/brakenfold-split.1.gz"
                         DESTINATION /usr/share/man/man1)
foreach(_package brakenfold brakenfold-calc)
  set(_component desktop)
  if(_package STREQUAL "brakenfold-calc")
    set(_component calc-doc)
  endif()
  _brakenfold_system_files(${_component} FILES "${_pkg_src}/copyright"
                           "${_pkg_out}/${_package}/changelog.Debian.gz"
                           DESTINATION "/usr/share/doc/${_package}")
  _brakenfold_system_files(${_component} FILES "${_pkg_out}/${_package}/lintian-overrides"
                           DESTINATION /usr/share/lintian/overrides RENAME "${_package}")
endforeach()

# ---- The packages ----
set(CPACK_PACKAGE_NAME brakenfold)
set(CPACK_PACKAGE_VENDOR "The Brakenfold developers")
set(CPACK_PACKAGE_CONTACT "${BRAKENFOLD_MAINTAINER}")
set(CPACK_PACKAGE_VERSION "${PROJECT_VERSION}")
set(CPACK_PACKAGING_INSTALL_PREFIX "${BRAKENFOLD_PACKAGE_PREFIX}")
set(CPACK_STRIP_FILES ON)
set(CPACK_GENERATOR DEB)
set(CPACK_DEB_COMPONENT_INSTALL ON)
set(CPACK_COMPONENTS_GROUPING ONE_PER_GROUP)
set(CPACK_COMPONENTS_ALL Unspecified desktop calc calc-doc)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_RELEASE ${BRAKENFOLD_DEB_RELEASE})
set(CPACK_DEBIAN_PACKAGE_MAINTAINER "${BRAKENFOLD_MAINTAINER}")
set(CPACK_DEBIAN_PACKAGE_HOMEPAGE "https://brakenfold.example.org/")
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)

set(CPACK_DEBIAN_MAIN_PACKAGE_NAME brakenfold)
set(CPACK_DEBIAN_MAIN_PACKAGE_SECTION utils)
set(CPACK_DEBIAN_MAIN_PACKAGE_RECOMMENDS "xdg-utils")
set(CPACK_DEBIAN_MAIN_PACKAGE_SUGGESTS "brakenfold-calc, xchm")
set(CPACK_DEBIAN_MAIN_DESCRIPTION "split Excel workbooks into one workbook per worksheet
Brakenfold splits Excel workbooks (.xls, .xlsx and .xlsm files) into
separate workbooks, one for each worksheet. Workbooks are collected in a task list,
one row per worksheet; Split writes every worksheet to a workbook of its
own, in a new folder named by the time the run started.

The package holds the program with its window, brakenfold, and the
command-line tool brakenfold-split. Its built-in engine needs no office
suite.")

set(CPACK_DEBIAN_CALC_PACKAGE_NAME brakenfold-calc)
set(CPACK_DEBIAN_CALC_PACKAGE_SECTION utils)
set(CPACK_DEBIAN_CALC_PACKAGE_DEPENDS
    "brakenfold (= ${BRAKENFOLD_DEB_VERSION}), libreoffice-calc-nogui | libreoffice-calc")
set(CPACK_DEBIAN_CALC_DESCRIPTION "LibreOffice Calc backend for Brakenfold
With this package, Brakenfold and brakenfold-split can drive LibreOffice
Calc instead of their built-in engine (SpreadsheetApplication=calc in the
settings, or --backend calc). Calc reads what the built-in engine refuses:
Excel 5.0/95 workbooks, and HTML or XML files saved as .xls.")

include(CPack)
cpack_add_component_group(main)
cpack_add_component_group(calc)
cpack_add_component(Unspecified GROUP main HIDDEN)
cpack_add_component(desktop GROUP main HIDDEN)
cpack_add_component(calc GROUP calc HIDDEN)
cpack_add_component(calc-doc GROUP calc HIDDEN)
