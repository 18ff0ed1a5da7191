# pixtagger-<version>-win32.zip from build/win32: what a Windows user takes.
# The DLL and the host lose their symbols and debug information; the outside
# check finds each export's code through the export and unwind tables.
set(PIXTAGGER_PACKAGE_NAME pixtagger-${PROJECT_VERSION}-win32)
set(PIXTAGGER_PACKAGE ${CMAKE_BINARY_DIR}/${PIXTAGGER_PACKAGE_NAME}.zip)
add_custom_command(
  OUTPUT ${PIXTAGGER_PACKAGE}
  COMMAND ${CMAKE_COMMAND}
    -DSTAGE=${CMAKE_BINARY_DIR}/package/${PIXTAGGER_PACKAGE_NAME}
    -DZIP=${PIXTAGGER_PACKAGE}
    -DSTRIP=${CMAKE_STRIP}
    -DDLL=$<TARGET_FILE:pixtagger>
    -DHOST=$<TARGET_FILE:pixtagger-host>
    -DDEF=${CMAKE_BINARY_DIR}/package/pixtagger.def
    -DSOURCE=${PROJECT_SOURCE_DIR}
    -P ${PROJECT_SOURCE_DIR}/cmake/make_win32_package.cmake
  DEPENDS pixtagger pixtagger-host ${PROJECT_SOURCE_DIR}/cmake/make_win32_package.cmake
    ${PROJECT_SOURCE_DIR}/include/pixtagger.h ${PROJECT_SOURCE_DIR}/examples/rules.ini
    ${PROJECT_SOURCE_DIR}/docs/windows-readme.txt ${PROJECT_SOURCE_DIR}/docs/windows-third-party.txt
    ${PROJECT_SOURCE_DIR}/LICENSE ${PROJECT_SOURCE_DIR}/docs/rule-list.png
    ${PROJECT_SOURCE_DIR}/docs/rule-editor.png
  COMMENT "Packing ${PIXTAGGER_PACKAGE_NAME}.zip"
  VERBATIM)
add_custom_target(release-zip ALL DEPENDS ${PIXTAGGER_PACKAGE})
