# Makes PAGE.gz from PROGRAM's --help and --version with help2man (run by the build).
# A program that cannot answer (or starts up instead) costs its page, not the build.
execute_process(COMMAND ${CMAKE_COMMAND} -E env ORBISCOPE_HEADLESS=1 ${HELP2MAN} --no-info "--name=${WHAT}"
                        "--output=${PAGE}" ${PROGRAM}
                RESULT_VARIABLE status TIMEOUT 60 OUTPUT_QUIET ERROR_VARIABLE errors)
if(NOT status EQUAL 0)
  message(WARNING "no manual page for ${PROGRAM}: ${status} ${errors}")
  get_filename_component(name ${PROGRAM} NAME)
  string(TOUPPER "${name}" title)
  file(WRITE ${PAGE} ".TH ${title} 1\n.SH NAME\n${name} \\- ${WHAT}\n.SH DESCRIPTION\nSee ${name} --help.\n")
endif()
execute_process(COMMAND ${GZIP} -9nf ${PAGE})
