# Writes the man page of pixtagger-host with help2man from the built
# program's --help and --version, its commands' own --help added as a
# COMMANDS section, compressed as Debian wants (cmake -P; called by
# deb_package.cmake). Inputs: HELP2MAN, HOST, WORK, OUT (the .1.gz).
set(include_text "[COMMANDS]\n")
foreach(command classify edit)
  execute_process(COMMAND ${HOST} ${command} --help OUTPUT_VARIABLE help RESULT_VARIABLE result)
  if(NOT result EQUAL 0)
    message(FATAL_ERROR "${HOST} ${command} --help failed")
  endif()
  # roff: a backslash is \e, a minus sign \-, and a line may not start with a dot.
  string(REPLACE "\\" "\\e" help "${help}")
  string(REPLACE "-" "\\-" help "${help}")
  string(REGEX REPLACE "(^|\n)([.'])" "\\1\\\\&\\2" help "${help}")
  string(APPEND include_text ".SS \"pixtagger\\-host ${command}\"\n.nf\n${help}.fi\n")
endforeach()
string(APPEND include_text "[FILES]
The program finds the plug\\-in and the shipped rules from the folder above its own:
.TP
.I lib/pixtagger/pixtagger.so
the plug\\-in the program loads (\\fB\\-\\-plugin\\fR names another)
.TP
.I share/pixtagger/rules.ini
the example rules used without \\fB\\-\\-config\\fR
.PP
That folder is /usr for the Debian package and /usr/local for a plain install.
")
file(WRITE ${WORK}/pixtagger-host.h2m "${include_text}")
execute_process(
  COMMAND ${HELP2MAN} --no-info --section=1 --include=${WORK}/pixtagger-host.h2m
    "--name=classify image files by pixel area with the pixtagger plug-in"
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
