# Stages and zips the Windows release (cmake -P; called by win32_package.cmake).
file(REMOVE_RECURSE ${STAGE})
file(MAKE_DIRECTORY ${STAGE}/examples ${STAGE}/docs)
# Symbols and debug information go: a host needs only the export table, and
# the unwind tables that exceptions need are sections of their own and stay.
foreach(binary IN ITEMS DLL HOST)
  get_filename_component(name ${${binary}} NAME)
  execute_process(COMMAND ${STRIP} --strip-all -o ${STAGE}/${name} ${${binary}} RESULT_VARIABLE stripped)
  if(NOT stripped EQUAL 0)
    message(FATAL_ERROR "could not strip ${${binary}}")
  endif()
endforeach()
file(COPY ${DEF} ${SOURCE}/include/pixtagger.h DESTINATION ${STAGE})
file(COPY ${SOURCE}/examples/rules.ini DESTINATION ${STAGE}/examples)
file(COPY ${SOURCE}/docs/rule-list.png ${SOURCE}/docs/rule-editor.png DESTINATION ${STAGE}/docs)
# The host's catalogs beside it, where it looks first.
file(COPY ${LOCALE} DESTINATION ${STAGE})
# THIRD-PARTY.txt: our notes, then each linked library's licence texts as
# its source package has them.
file(READ ${SOURCE}/docs/windows-third-party.txt third_party)
file(GLOB libraries LIST_DIRECTORIES true RELATIVE ${LIBS}/licenses ${LIBS}/licenses/*)
list(SORT libraries)
foreach(library IN LISTS libraries)
  file(GLOB texts ${LIBS}/licenses/${library}/*)
  list(SORT texts)
  foreach(text IN LISTS texts)
    get_filename_component(name ${text} NAME)
    file(READ ${text} content)
    string(APPEND third_party "\n\n${library} (${name})\n========================================\n\n" "${content}")
  endforeach()
endforeach()
file(READ ${SOURCE}/docs/windows-readme.txt readme)
file(READ ${SOURCE}/docs/windows-readme-ja.txt readme_ja)
file(READ ${SOURCE}/LICENSE license)
# Notepad and every Windows editor read CR LF.
foreach(text IN ITEMS "readme:README.txt" "readme_ja:README-ja.txt" "license:LICENSE.txt" "third_party:THIRD-PARTY.txt")
  string(REPLACE ":" ";" text "${text}")
  list(GET text 0 variable)
  list(GET text 1 to)
  string(REPLACE "\r\n" "\n" content "${${variable}}")
  string(REPLACE "\n" "\r\n" content "${content}")
  file(WRITE ${STAGE}/${to} "${content}")
endforeach()
get_filename_component(parent ${STAGE} DIRECTORY)
get_filename_component(name ${STAGE} NAME)
function(zip folder archive)
  file(REMOVE ${archive})
  execute_process(COMMAND ${CMAKE_COMMAND} -E tar cf ${archive} --format=zip ${folder}
    WORKING_DIRECTORY ${parent} RESULT_VARIABLE zipped)
  if(NOT zipped EQUAL 0)
    message(FATAL_ERROR "could not write ${archive}")
  endif()
endfunction()
zip(${name} ${ZIP})

# The source: the Debian source packages as fetched, the script that built
# them, and this program's own tree (without build folders).
set(source_stage ${parent}/${name}-source)
file(REMOVE_RECURSE ${source_stage})
file(COPY ${LIBS}/sources/ ${LIBS}/versions.txt DESTINATION ${source_stage}/debian-source-packages)
file(COPY ${SOURCE}/ DESTINATION ${source_stage}/pixtagger PATTERN .git EXCLUDE REGEX "^${SOURCE}/build$" EXCLUDE)
file(WRITE ${source_stage}/SOURCES.txt
  "The source of ${name}.zip.\r\n\r\n"
  "pixtagger\\ is this program's own source (MIT; the host as shipped is under GPL-2.0-or-later terms, since it\r\n"
  "links Exiv2). debian-source-packages\\ holds the exact Debian 12 source packages of the libraries the\r\n"
  "programs link statically (versions.txt lists them), which pixtagger\\scripts\\windows-libs.sh unpacks,\r\n"
  "patches and builds with Debian's mingw-w64 compilers; pixtagger\\README.md says how the zip is made.\r\n")
zip(${name}-source ${SOURCE_ZIP})
