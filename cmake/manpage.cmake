# cmake -DSCDOC=... -DGZIP=... -DVERSION=... -DSOURCE=page.1.scd -DOUT=build/man/page.1
#       -P manpage.cmake
# The roff page and its compressed copy, with the project's version in the page's footer.
cmake_minimum_required(VERSION 3.22)
file(READ ${SOURCE} text)
string(REPLACE "@VERSION@" "${VERSION}" text "${text}")
file(WRITE ${OUT}.scd "${text}")
execute_process(COMMAND ${SCDOC} INPUT_FILE ${OUT}.scd OUTPUT_VARIABLE roff RESULT_VARIABLE rc)
file(REMOVE ${OUT}.scd)
if(NOT rc EQUAL 0)
    message(FATAL_ERROR "scdoc failed on ${SOURCE}")
endif()
# Option names, OIDs and file names are copied from the page: never hyphenate or stretch them
# (the man macros' .TH turns hyphenation back on after scdoc's own .nh).
string(REGEX REPLACE "(\n\\.TH [^\n]*\n)" "\\1.nh\n.ad l\n" roff "${roff}")
file(WRITE ${OUT} "${roff}")
# gzip -n keeps no name or time: the same source gives the same package.
execute_process(COMMAND ${GZIP} -9 -n -c ${OUT} OUTPUT_FILE ${OUT}.gz RESULT_VARIABLE rc)
if(NOT rc EQUAL 0)
    file(REMOVE ${OUT}.gz)
    message(FATAL_ERROR "gzip failed on ${OUT}")
endif()
