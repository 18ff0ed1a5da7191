# Writes the man page of pixtagger-host with help2man from the built
# program's --help and --version, each command's own --help added as a
# COMMANDS section, then what a reader of a man page looks for: exit status,
# files, examples and see-also; compressed as Debian wants (cmake -P; called
# by deb_package.cmake). Inputs: HELP2MAN, HOST, WORK, OUT (the .1.gz).
set(include_text "[COMMANDS]\n")
foreach(command "classify" "edit" "rules" "rules list" "rules check" "rules add" "rules set" "rules remove"
                "rules enable" "rules disable")
  separate_arguments(words UNIX_COMMAND "${command}")
  execute_process(COMMAND ${HOST} ${words} --help OUTPUT_VARIABLE help RESULT_VARIABLE result)
  if(NOT result EQUAL 0)
    message(FATAL_ERROR "${HOST} ${command} --help failed")
  endif()
  # roff: a backslash is \e, a minus sign \-, and a line may not start with a dot.
  string(REPLACE "\\" "\\e" help "${help}")
  string(REPLACE "-" "\\-" help "${help}")
  string(REGEX REPLACE "(^|\n)([.'])" "\\1\\\\&\\2" help "${help}")
  string(APPEND include_text ".SS \"pixtagger\\-host ${command}\"\n.nf\n${help}.fi\n")
endforeach()
string(APPEND include_text [=[
[EXIT STATUS]
.TP
.B 0
every file was read (classify), the rules were changed or listed, or \fBrules check\fR found nothing to say
.TP
.B 1
some files were unreadable, or a sidecar could not be written (classify); \fBrules check\fR reported problems
.TP
.B 2
bad usage, a missing rule file, a plug\-in that does not load, or a rule file that the plug\-in refuses (its first
fault is named, as \fBrules check\fR names it)
[FILES]
The rule file is the one \fB\-\-config\fR names (its folder must be there); otherwise the user's own,
.I $XDG_CONFIG_HOME/pixtagger/rules.ini
(\fI~/.config/pixtagger/rules.ini\fR). Without one, \fBclassify\fR, \fBrules list\fR and \fBrules check\fR read
the shipped examples and say so, and \fBedit\fR and a \fBrules\fR change start from them: the first change makes
the user's file (and its folder) of the shipped rules and the change. No command writes the shipped examples.
.PP
The program finds the plug\-in and the shipped rules from the folder above its own:
.TP
.I lib/pixtagger/pixtagger.so
the plug\-in the program loads (\fB\-\-plugin\fR names another)
.TP
.I share/pixtagger/rules.ini
the example rules
.PP
That folder is /usr for the Debian package and /usr/local for a plain install. A sidecar of an image
.I IMG_0001.HEIC
is
.I IMG_0001.HEIC.xmp
beside it, or Lightroom's
.I IMG_0001.xmp
where only that one exists.
[EXAMPLES]
.nf
Classify a folder, one line per image, and as JSON:
    pixtagger\-host classify ~/Pictures
    pixtagger\-host classify \-\-json ~/Pictures/IMG_0001.HEIC
Write the attributes as keywords into the XMP sidecars, after seeing what would change:
    pixtagger\-host classify \-\-xmp \-\-dry\-run ~/Pictures
    pixtagger\-host classify \-\-xmp ~/Pictures
Follow links to folders:
    pixtagger\-host classify \-L ~/Pictures
Add rules of your own (the first change starts from the shipped examples), list them and check a file:
    pixtagger\-host rules add \-\-attribute Large \-\-category Size \-\-area '>= 2000000'
    pixtagger\-host rules add \-\-attribute Medium \-\-category Size \-\-range '300000 <= area < 2000000'
    pixtagger\-host rules list
    pixtagger\-host rules check \-\-config my\-rules.ini
.fi
[SEE ALSO]
.BR exiftool (1)
reads the sidecars back.
The README of the source tree and /usr/share/doc/pixtagger/copyright (the licences) say more.
]=])
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
