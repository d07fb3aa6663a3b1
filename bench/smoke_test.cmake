# Runs the benchmark once at k=1 (one timed run) and checks that it ends well
# and prints its table with both conversions and the stress row. It checks no
# figure.
execute_process(COMMAND ${BENCH} --k 1 --reps 1
                RESULT_VARIABLE result OUTPUT_VARIABLE out ERROR_VARIABLE err)
message("${out}")
if(NOT result EQUAL 0)
  message(FATAL_ERROR "pontexa-bench terminó con ${result}:\n${err}")
endif()
if(NOT out MATCHES "\\| +1 \\| to-horaplan +\\|" OR NOT out MATCHES "\\| +1 \\| to-gedu +\\|"
   OR NOT out MATCHES "\\| +1 \\| to-gedu choques +\\|")
  message(FATAL_ERROR "pontexa-bench no imprimió la tabla:\n${err}")
endif()
