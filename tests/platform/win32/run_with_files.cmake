# Runs a test program with its output going to files, then prints them and
# fails when the program failed.
#
# Under Wine, processes that Wine starts for a test program (the desktop
# process on the first window, the file manager opened by a test) inherit its
# Unix standard error and outlive it. Had the program ctest's pipe as standard
# error, ctest would wait for those processes until its timeout although the
# test itself had ended; with files, only the program is waited for.
#
# -DPROGRAM=<path> [-DEMULATOR=<command>] -DOUTPUT=<file prefix> [-DARGS=<;-list>]
if(NOT PROGRAM OR NOT OUTPUT)
  message(FATAL_ERROR "PROGRAM and OUTPUT are required")
endif()
execute_process(
  COMMAND ${EMULATOR} ${PROGRAM} ${ARGS}
  INPUT_FILE /dev/null
  OUTPUT_FILE ${OUTPUT}.out
  ERROR_FILE ${OUTPUT}.err
  RESULT_VARIABLE result)
file(READ ${OUTPUT}.out stdout_text)
file(READ ${OUTPUT}.err stderr_text)
message("${stdout_text}")
if(stderr_text)
  message("${stderr_text}")
endif()
if(NOT result EQUAL 0)
  message(FATAL_ERROR "${PROGRAM} failed: ${result}")
endif()
