# pixtagger-<version>-win32.zip from build/win32: what a Windows user takes.
# The DLL and the host lose their symbols and debug information; the outside
# check finds each export's code through the export and unwind tables.
# Beside it, pixtagger-<version>-win32-source.zip: the corresponding source
# that the host's GPL (through Exiv2) asks for, the exact Debian source
# packages of its libraries with the script that builds them, and ours.
set(PIXTAGGER_PACKAGE_NAME pixtagger-${PROJECT_VERSION}-win32)
set(PIXTAGGER_PACKAGE ${CMAKE_BINARY_DIR}/${PIXTAGGER_PACKAGE_NAME}.zip)
set(PIXTAGGER_SOURCE_PACKAGE ${CMAKE_BINARY_DIR}/${PIXTAGGER_PACKAGE_NAME}-source.zip)
add_custom_command(
  OUTPUT ${PIXTAGGER_PACKAGE} ${PIXTAGGER_SOURCE_PACKAGE}
  COMMAND ${CMAKE_COMMAND}
    -DSTAGE=${CMAKE_BINARY_DIR}/package/${PIXTAGGER_PACKAGE_NAME}
    -DZIP=${PIXTAGGER_PACKAGE}
    -DSOURCE_ZIP=${PIXTAGGER_SOURCE_PACKAGE}
    -DLIBS=${PIXTAGGER_WINDOWS_LIBS_ROOT}
    -DSTRIP=${CMAKE_STRIP}
    -DDLL=$<TARGET_FILE:pixtagger>
    -DHOST=$<TARGET_FILE:pixtagger-host>
    -DLOCALE=${CMAKE_BINARY_DIR}/locale
    -DDEF=${CMAKE_BINARY_DIR}/package/pixtagger.def
    -DSOURCE=${PROJECT_SOURCE_DIR}
    -P ${PROJECT_SOURCE_DIR}/cmake/make_win32_package.cmake
  DEPENDS pixtagger pixtagger-host host_catalogs ${PROJECT_SOURCE_DIR}/cmake/make_win32_package.cmake
    ${PROJECT_SOURCE_DIR}/include/pixtagger.h ${PROJECT_SOURCE_DIR}/examples/rules.ini
    ${PROJECT_SOURCE_DIR}/docs/windows-readme.txt ${PROJECT_SOURCE_DIR}/docs/windows-readme-ja.txt
    ${PROJECT_SOURCE_DIR}/docs/windows-third-party.txt ${PROJECT_SOURCE_DIR}/po/ja.po
    ${PROJECT_SOURCE_DIR}/LICENSE ${PROJECT_SOURCE_DIR}/docs/rule-list.png
    ${PROJECT_SOURCE_DIR}/docs/rule-editor.png ${PIXTAGGER_WINDOWS_LIBS_ROOT}/versions.txt
  COMMENT "Packing ${PIXTAGGER_PACKAGE_NAME}.zip and its source"
  VERBATIM)
add_custom_target(release-zip ALL DEPENDS ${PIXTAGGER_PACKAGE})
