# Writes a man page of pixtagger-host with help2man from the built program's
# --help and --version in one language, each command's own --help added as a
# COMMANDS section, then what a reader of a man page looks for (exit status,
# files, examples and see-also, from SECTIONS); compressed as Debian wants
# (cmake -P; called by deb_package.cmake). Inputs: HELP2MAN, HOST, WORK, OUT
# (the .1.gz), LOCALE (C, or ja_JP.UTF-8 for the Japanese page), SECTIONS
# (an include file of help2man's, cmake/man/, with the page's NAME) and
# COMMANDS (that section's title). The program speaks the language of LOCALE
# whatever the caller's LANGUAGE, as help2man runs it too.
set(run ${CMAKE_COMMAND} -E env --unset=LANGUAGE --unset=LANG LC_ALL=${LOCALE})
set(include_text "[${COMMANDS}]\n")
foreach(command "" "classify" "edit" "rules" "rules list" "rules check" "rules add" "rules set" "rules remove"
                "rules enable" "rules disable")
  separate_arguments(words UNIX_COMMAND "${command}")
  execute_process(COMMAND ${run} ${HOST} ${words} --help OUTPUT_VARIABLE help RESULT_VARIABLE result)
  if(NOT result EQUAL 0)
    message(FATAL_ERROR "${HOST} ${command} --help failed")
  endif()
  if(NOT LOCALE STREQUAL "C" AND help MATCHES "^Usage|\nUsage")
    message(FATAL_ERROR "${HOST} speaks English under LC_ALL=${LOCALE}: is that locale generated (locale -a)?")
  endif()
  if(command STREQUAL "")
    continue()
  endif()
  # roff: a backslash is \e, a minus sign \-, and a line may not start with a dot.
  string(REPLACE "\\" "\\e" help "${help}")
  string(REPLACE "-" "\\-" help "${help}")
  string(REGEX REPLACE "(^|\n)([.'])" "\\1\\\\&\\2" help "${help}")
  string(APPEND include_text ".SS \"pixtagger\\-host ${command}\"\n.nf\n${help}.fi\n")
endforeach()
file(READ ${SECTIONS} sections)
string(APPEND include_text "${sections}")
file(WRITE ${WORK}/pixtagger-host.h2m "${include_text}")
execute_process(
  COMMAND ${HELP2MAN} --no-info --section=1 --locale=${LOCALE} --include=${WORK}/pixtagger-host.h2m
    --output=${WORK}/pixtagger-host.1 ${HOST}
  RESULT_VARIABLE result)
if(NOT result EQUAL 0)
  message(FATAL_ERROR "help2man could not make the man page of ${HOST}")
endif()
# -n: no name or time stamp in the gzip header, so the file is reproducible.
execute_process(COMMAND gzip -9nc ${WORK}/pixtagger-host.1 OUTPUT_FILE ${OUT} RESULT_VARIABLE result)
if(NOT result EQUAL 0)
  message(FATAL_ERROR "could not compress the man page")
endif()
