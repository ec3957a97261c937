# cmake -DSCDOC=scdoc -DGZIP=gzip -DIN=page.1.scd -DOUT=page.1 -P scdoc.cmake
# The man page in roff (OUT) and compressed for the install (OUT.gz).
# Without SCDOC, only OUT.gz is written, from IN.
if(SCDOC)
  execute_process(COMMAND ${SCDOC} INPUT_FILE ${IN} OUTPUT_FILE ${OUT} RESULT_VARIABLE result)
  if(NOT result EQUAL 0)
    file(REMOVE ${OUT})
    message(FATAL_ERROR "scdoc could not turn ${IN} into a man page (${result})")
  endif()
  # No line broken inside a word, at a hyphen or by hyphenation: option
  # names stay whole (the man macros take hyphenation from the register HY
  # at every paragraph; cflags 0 takes from - the right to end a line).
  file(READ ${OUT} roff)
  string(REGEX REPLACE "\n\\.TH " "\n.nr HY 0\n.cflags 0 -\n.TH " roff "${roff}")
  file(WRITE ${OUT} "${roff}")
  set(IN ${OUT})
endif()
execute_process(COMMAND ${GZIP} -9 -n -c INPUT_FILE ${IN} OUTPUT_FILE ${OUT}.gz RESULT_VARIABLE result)
if(NOT result EQUAL 0)
  message(FATAL_ERROR "gzip could not compress ${IN} (${result})")
endif()
