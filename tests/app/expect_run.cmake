# Runs PROGRAM with ARGS; fails unless it ends with STATUS and its stdout matches OUTPUT.
# cmake -DPROGRAM=... -DARGS=a;b -DSTATUS=N -DOUTPUT=regex -P expect_run.cmake
execute_process(COMMAND ${PROGRAM} ${ARGS} RESULT_VARIABLE status OUTPUT_VARIABLE out
                ERROR_VARIABLE err TIMEOUT 20)
if(NOT status STREQUAL STATUS)
  message(FATAL_ERROR "${PROGRAM} ${ARGS}: status ${status}, not ${STATUS}\n${out}${err}")
endif()
if(NOT out MATCHES "${OUTPUT}")
  message(FATAL_ERROR "${PROGRAM} ${ARGS}: stdout does not match '${OUTPUT}':\n${out}")
endif()
