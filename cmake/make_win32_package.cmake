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
# Notepad and every Windows editor read CR LF.
foreach(text IN ITEMS "docs/windows-readme.txt:README.txt" "LICENSE:LICENSE.txt"
                      "docs/windows-third-party.txt:THIRD-PARTY.txt")
  string(REPLACE ":" ";" text "${text}")
  list(GET text 0 from)
  list(GET text 1 to)
  file(READ ${SOURCE}/${from} content)
  string(REPLACE "\r\n" "\n" content "${content}")
  string(REPLACE "\n" "\r\n" content "${content}")
  file(WRITE ${STAGE}/${to} "${content}")
endforeach()
get_filename_component(parent ${STAGE} DIRECTORY)
get_filename_component(name ${STAGE} NAME)
file(REMOVE ${ZIP})
execute_process(COMMAND ${CMAKE_COMMAND} -E tar cf ${ZIP} --format=zip ${name}
  WORKING_DIRECTORY ${parent} RESULT_VARIABLE zipped)
if(NOT zipped EQUAL 0)
  message(FATAL_ERROR "could not write ${ZIP}")
endif()
