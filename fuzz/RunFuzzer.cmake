# Runs the fuzzer for a bounded time on a scratch copy of the seed corpus, so that the
# committed corpus stays as it is, and fails on any finding.
#   cmake -DFUZZER=<binary> -DSEEDS=<folder> -DWORK=<folder> -DSECONDS=<n> -P RunFuzzer.cmake
file(REMOVE_RECURSE "${WORK}")
file(MAKE_DIRECTORY "${WORK}/corpus" "${WORK}/artifacts")
file(GLOB seeds "${SEEDS}/*")
file(COPY ${seeds} DESTINATION "${WORK}/corpus")
execute_process(
  COMMAND "${FUZZER}" "${WORK}/corpus"
          -max_total_time=${SECONDS} -rss_limit_mb=512 -timeout=25
          -artifact_prefix=${WORK}/artifacts/ -print_final_stats=1
  RESULT_VARIABLE result)
if(NOT result EQUAL 0)
  message(FATAL_ERROR "The fuzzer stopped with ${result}; the input is in ${WORK}/artifacts")
endif()
