# The Debian package, vantrel_<version>_<arch>.deb: `cpack -G DEB` in the build folder after a
# build, or `cmake --build build --target deb`, which builds only what the package holds first.
# It holds what `cmake --install` installs but the data generator, plus what Debian asks of a
# package: the copyright, a changelog, a compressed manual page. Its dependencies are read from
# the programs' libraries by dpkg-shlibdeps. Checks and lintian's findings: docs/packaging.md.
set(VANTREL_MAINTAINER "Vantrel Kelvara maintainers <maintainers@users.noreply.c-seed-1801d7c1.example>")
set(VANTREL_PACKAGING_DIR ${CMAKE_BINARY_DIR}/packaging)
find_program(GZIP_PROGRAM gzip REQUIRED)

# The manual pages compressed (-n: the same page gives the same bytes), and the changelog made
# from NEWS.md; all small, made with the build so that an install from any build has them.
set(VANTREL_MANUAL_PAGES)
foreach(page vantrel vantrel-stream)
  add_custom_command(
    OUTPUT ${VANTREL_PACKAGING_DIR}/${page}.1.gz
    COMMAND ${GZIP_PROGRAM} -9 -n -c ${CMAKE_SOURCE_DIR}/docs/${page}.1 > ${VANTREL_PACKAGING_DIR}/${page}.1.gz
    DEPENDS ${CMAKE_SOURCE_DIR}/docs/${page}.1)
  list(APPEND VANTREL_MANUAL_PAGES ${VANTREL_PACKAGING_DIR}/${page}.1.gz)
endforeach()
add_custom_command(
  OUTPUT ${VANTREL_PACKAGING_DIR}/changelog.gz
  COMMAND ${CMAKE_COMMAND} -DNEWS=${CMAKE_SOURCE_DIR}/NEWS.md -DOUTPUT=${VANTREL_PACKAGING_DIR}/changelog.gz
          -DPACKAGE=vantrel -DMAINTAINER=${VANTREL_MAINTAINER} -DVERSION=${PROJECT_VERSION}
          -P ${CMAKE_CURRENT_LIST_DIR}/MakeChangelog.cmake
  DEPENDS ${CMAKE_SOURCE_DIR}/NEWS.md ${CMAKE_CURRENT_LIST_DIR}/MakeChangelog.cmake VERBATIM)
add_custom_target(package_files ALL DEPENDS ${VANTREL_MANUAL_PAGES} ${VANTREL_PACKAGING_DIR}/changelog.gz)
configure_file(${CMAKE_CURRENT_LIST_DIR}/copyright.in ${VANTREL_PACKAGING_DIR}/copyright @ONLY)

install(FILES ${VANTREL_MANUAL_PAGES} DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
install(FILES ${VANTREL_PACKAGING_DIR}/copyright ${VANTREL_PACKAGING_DIR}/changelog.gz
        DESTINATION ${CMAKE_INSTALL_DATADIR}/doc/vantrel)
install(FILES ${CMAKE_SOURCE_DIR}/docs/vantrel.metainfo.xml DESTINATION ${CMAKE_INSTALL_DATADIR}/metainfo
        RENAME org.vantrelkelvara.vantrel.metainfo.xml)

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME vantrel)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_CONTACT "${VANTREL_MAINTAINER}")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "real-time audiovisual production of 3D scenes and music")
set(CPACK_PACKAGE_DESCRIPTION
"Vantrel Kelvara plays its music and renders, in step with it, a 207-second
sequence of 3D scenes with OpenGL, full screen or in a window. The show has
fast full-screen flashes; --gentle softens them for viewers sensitive to
flashing light.

It also renders the show without a screen into a video or PNG frames at any
size, and with -pds becomes a live instrument played over TCP, OSC, MIDI or
by the sound in the room.")
set(CPACK_RESOURCE_FILE_LICENSE ${CMAKE_SOURCE_DIR}/LICENSE)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_MAINTAINER "${VANTREL_MAINTAINER}")
set(CPACK_DEBIAN_PACKAGE_SECTION video)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
# Depends: the libraries the programs link, as dpkg-shlibdeps finds them. What is run or read
# rather than linked: ffmpeg for --capture, the font of the on-screen display and the tool window.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "ffmpeg, fonts-dejavu-core")
set(CPACK_DEBIAN_PACKAGE_SUGGESTS "jackd2")
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
# One package of every install rule but the data generator's (a build tool; it would also
# pull in the MP3 encoder).
set(CPACK_DEB_COMPONENT_INSTALL ON)
set(CPACK_COMPONENTS_GROUPING ALL_COMPONENTS_IN_ONE)
set(CPACK_COMPONENTS_ALL Unspecified)  # the component of every rule that names none
include(CPack)

# cpack installs from the build tree after making its preinstall target, which would otherwise
# build everything (tests and benchmarks too): the deb target builds what the package holds
# itself, and `cpack` alone expects a build.
set(CMAKE_SKIP_INSTALL_ALL_DEPENDENCY ON)
add_custom_target(deb COMMAND ${CMAKE_CPACK_COMMAND} -G DEB --config ${CMAKE_BINARY_DIR}/CPackConfig.cmake
                  WORKING_DIRECTORY ${CMAKE_BINARY_DIR} VERBATIM)
add_dependencies(deb vantrel vantrel-stream data package_files)
