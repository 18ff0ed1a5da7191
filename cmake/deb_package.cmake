# pixtagger_<version>_<arch>.deb from a native build: `cpack -G DEB` or
# `ninja package-deb` in the build folder. It installs under /usr what the
# plain install puts under its prefix (host, plug-in, header, example rules),
# with the host's man pages (English and Japanese), made here by help2man,
# its message catalogs, and the copyright and
# changelog files Debian asks for. The dependencies are the ones
# dpkg-shlibdeps finds in the two binaries.
if(PIXTAGGER_SANITIZE OR PIXTAGGER_TSAN)
  return()  # test builds; the package comes from a plain one
endif()

find_program(PIXTAGGER_HELP2MAN help2man)
if(TARGET pixtagger-host AND PIXTAGGER_HELP2MAN)
  # The English page and the Japanese one (man -L ja), each in its folder.
  set(man_pages)
  foreach(page "man1;C;COMMANDS" "ja/man1;ja_JP.UTF-8;コマンド")
    list(GET page 0 folder)
    list(GET page 1 locale)
    list(GET page 2 commands)
    set(sections ${PROJECT_SOURCE_DIR}/cmake/man/pixtagger-host.h2m)
    if(NOT locale STREQUAL "C")
      string(REGEX REPLACE "_.*" "" language ${locale})
      set(sections ${PROJECT_SOURCE_DIR}/cmake/man/pixtagger-host.${language}.h2m)
    endif()
    set(work ${CMAKE_BINARY_DIR}/man/${folder})
    set(man_page ${work}/pixtagger-host.1.gz)
    file(MAKE_DIRECTORY ${work})
    add_custom_command(
      OUTPUT ${man_page}
      COMMAND ${CMAKE_COMMAND} -DHELP2MAN=${PIXTAGGER_HELP2MAN} -DHOST=$<TARGET_FILE:pixtagger-host>
        -DWORK=${work} -DOUT=${man_page} -DLOCALE=${locale} -DSECTIONS=${sections} -DCOMMANDS=${commands}
        -P ${PROJECT_SOURCE_DIR}/cmake/make_man_page.cmake
      # --version asks the plug-in beside the program.
      DEPENDS pixtagger pixtagger-host host_catalogs ${PROJECT_SOURCE_DIR}/cmake/make_man_page.cmake ${sections}
      COMMENT "Making the ${folder} man page of pixtagger-host with help2man"
      VERBATIM)
    install(FILES ${man_page} DESTINATION share/man/${folder})
    list(APPEND man_pages ${man_page})
  endforeach()
  add_custom_target(pixtagger-man-page ALL DEPENDS ${man_pages})
elseif(TARGET pixtagger-host)
  message(STATUS "help2man not found: no man page for pixtagger-host, and no Debian package")
endif()

# A native Debian package keeps its changelog as changelog.gz, compressed
# without a time stamp.
configure_file(${PROJECT_SOURCE_DIR}/cmake/deb/changelog.in ${CMAKE_BINARY_DIR}/deb/changelog @ONLY)
execute_process(COMMAND gzip -9nc ${CMAKE_BINARY_DIR}/deb/changelog OUTPUT_FILE ${CMAKE_BINARY_DIR}/deb/changelog.gz)
install(FILES ${PROJECT_SOURCE_DIR}/cmake/deb/copyright ${CMAKE_BINARY_DIR}/deb/changelog.gz
  DESTINATION share/doc/pixtagger)

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME pixtagger)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_PACKAGE_CONTACT "pixtagger maintainers <maintainers@users.noreply.c-seed-9b4d1ea7.example>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "classify images by pixel area with user rules")
set(CPACK_PACKAGE_DESCRIPTION "pixtagger-host reads the width and height of image files from their headers
(Exiv2) and gives each image the attribute and category names of every
enabled rule its pixel area satisfies: a comparison with a number, or a
range. The rules live in an INI file; the classification is done by the
pixtagger plug-in, loaded at run time through its C exports, as an image
manager would.

The package holds pixtagger-host, the plug-in (pixtagger.so), its C
header and example rules.")
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION graphics)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
set(CPACK_STRIP_FILES ON)
set(CPACK_POST_BUILD_SCRIPTS ${PROJECT_SOURCE_DIR}/cmake/deb_post_build.cmake)
include(CPack)

# Without them CPack would still write a package, without its dependencies.
find_program(PIXTAGGER_SHLIBDEPS dpkg-shlibdeps)
find_program(PIXTAGGER_FILE file)
if(TARGET pixtagger-man-page AND PIXTAGGER_SHLIBDEPS AND PIXTAGGER_FILE)
  add_custom_target(package-deb
    COMMAND ${CMAKE_CPACK_COMMAND} -G DEB --config ${CMAKE_BINARY_DIR}/CPackConfig.cmake
    WORKING_DIRECTORY ${CMAKE_BINARY_DIR}
    USES_TERMINAL VERBATIM)
  add_dependencies(package-deb pixtagger pixtagger-host pixtagger-man-page)
else()
  add_custom_target(package-deb
    COMMAND ${CMAKE_COMMAND} -E echo "package-deb: needs pixtagger-host, help2man, dpkg-dev and file"
    COMMAND ${CMAKE_COMMAND} -E false
    VERBATIM)
endif()
