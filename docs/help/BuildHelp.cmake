# Compiles the help project into help.chm and makes the file reproducible.
#   cmake -DCHMCMD=... -DSTAMP=... -DPROJECT=.../help.hhp -DWORK_DIR=... -DOUTPUT=.../help.chm
#         -P BuildHelp.cmake
# chmcmd exits 0 after errors and warnings too, so its output is checked here.
foreach(var CHMCMD STAMP PROJECT WORK_DIR OUTPUT)
    if(NOT DEFINED ${var})
        message(FATAL_ERROR "BuildHelp.cmake: ${var} is not set")
    endif()
endforeach()

file(MAKE_DIRECTORY ${WORK_DIR})
file(REMOVE ${WORK_DIR}/help.chm)
execute_process(
    COMMAND ${CHMCMD} --html-scan ${PROJECT}
    WORKING_DIRECTORY ${WORK_DIR}
    RESULT_VARIABLE status
    OUTPUT_VARIABLE out
    ERROR_VARIABLE out)
if(NOT status EQUAL 0)
    message(FATAL_ERROR "chmcmd failed (${status}):\n${out}")
endif()
string(REGEX MATCHALL "[^\n]*(Error|Warning):[^\n]*" problems "${out}")
if(problems)
    string(REPLACE ";" "\n" problems "${problems}")
    message(FATAL_ERROR "chmcmd reported problems in the help pages:\n${problems}")
endif()
if(NOT EXISTS ${WORK_DIR}/help.chm)
    message(FATAL_ERROR "chmcmd wrote no help.chm:\n${out}")
endif()
file(SIZE ${WORK_DIR}/help.chm size)
if(size EQUAL 0)
    message(FATAL_ERROR "chmcmd wrote an empty help.chm:\n${out}")
endif()

execute_process(COMMAND ${STAMP} ${WORK_DIR}/help.chm RESULT_VARIABLE status
                OUTPUT_VARIABLE out ERROR_VARIABLE out)
if(NOT status EQUAL 0)
    message(FATAL_ERROR "could not make help.chm reproducible:\n${out}")
endif()
file(COPY_FILE ${WORK_DIR}/help.chm ${OUTPUT})
