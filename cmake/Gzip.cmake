# Compresses IN into OUT at the best level, without the file's name and time
# stamp, so that the same input always gives the same bytes.
execute_process(COMMAND gzip -9 -n -c "${IN}" OUTPUT_FILE "${OUT}" RESULT_VARIABLE failed)
if(failed)
    file(REMOVE "${OUT}")
    message(FATAL_ERROR "cannot compress ${IN}")
endif()
