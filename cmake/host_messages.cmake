# The English texts of pixtagger-host, gathered from its sources by
# xgettext (tr, trn and N_), against the catalogs in po/ (cmake -P).
# MODE=check: fails, naming them, when a text lacks its translation in a
# catalog (a test of the suites); MODE=update: merges new texts into every
# catalog, for a translator to fill. Inputs: SOURCE (the tree), WORK.
find_program(XGETTEXT xgettext)
find_program(MSGCMP msgcmp)
find_program(MSGMERGE msgmerge)
if(NOT XGETTEXT OR NOT MSGCMP OR NOT MSGMERGE)
  message(FATAL_ERROR "xgettext, msgcmp and msgmerge (Debian: gettext) are needed")
endif()
file(GLOB_RECURSE sources RELATIVE ${SOURCE} ${SOURCE}/tools/host/*.cpp ${SOURCE}/tools/host/*.h)
list(SORT sources)
file(MAKE_DIRECTORY ${WORK})
set(template ${WORK}/pixtagger-host.pot)
execute_process(
  COMMAND ${XGETTEXT} --from-code=UTF-8 --language=C++ --keyword=tr --keyword=trn:1,2 --keyword=N_
    --flag=tr:1:c-format --flag=trn:1:c-format --flag=trn:2:c-format --add-location=file --sort-by-file
    --no-wrap --package-name=pixtagger-host --msgid-bugs-address=maintainers@users.noreply.c-seed-9b4d1ea7.example -o ${template} ${sources}
  WORKING_DIRECTORY ${SOURCE} RESULT_VARIABLE result)
if(NOT result EQUAL 0)
  message(FATAL_ERROR "xgettext could not read the texts of pixtagger-host")
endif()
file(GLOB catalogs ${SOURCE}/po/*.po)
set(failed FALSE)
foreach(po ${catalogs})
  if(MODE STREQUAL "update")
    execute_process(COMMAND ${MSGMERGE} --quiet --update --backup=none --add-location=file --sort-by-file --no-wrap
      ${po} ${template} RESULT_VARIABLE result)
  else()
    # Every text of the sources has a translation there, neither missing nor fuzzy.
    execute_process(COMMAND ${MSGCMP} ${po} ${template} RESULT_VARIABLE result)
  endif()
  if(NOT result EQUAL 0)
    message(SEND_ERROR "${po}: texts of the program without their translation (cmake -DMODE=update "
      "-DSOURCE=${SOURCE} -DWORK=${WORK} -P ${CMAKE_CURRENT_LIST_FILE} adds them)")
    set(failed TRUE)
  endif()
endforeach()
if(failed)
  message(FATAL_ERROR "the catalogs in po/ lack texts of the program")
endif()
