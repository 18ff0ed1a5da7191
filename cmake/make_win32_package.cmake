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
file(READ ${SOURCE}/docs/windows-readme.txt readme)
string(REPLACE "\r\n" "\n" readme "${readme}")
string(REPLACE "\n" "\r\n" readme "${readme}")
file(WRITE ${STAGE}/README.txt "${readme}")
get_filename_component(parent ${STAGE} DIRECTORY)
get_filename_component(name ${STAGE} NAME)
file(REMOVE ${ZIP})
execute_process(COMMAND ${CMAKE_COMMAND} -E tar cf ${ZIP} --format=zip ${name}
  WORKING_DIRECTORY ${parent} RESULT_VARIABLE zipped)
if(NOT zipped EQUAL 0)
  message(FATAL_ERROR "could not write ${ZIP}")
endif()
