# Runs framegrab with argument lists it must refuse: each must exit 2 with its reason and the
# usage, before any display opens or the output folder is made. Needs FRAMEGRAB (the program)
# and WORKDIR (an empty scratch folder).
#
# Cases are "ARGS|REASON", the arguments separated by spaces; OUT stands for the output folder.
set(cases
  "OUT|an output folder and at least one tick"
  "OUT 100 -5|not a tick from 0 to 99999: -5"
  "OUT 100 100000|not a tick from 0 to 99999: 100000"
  "OUT 100 --phases|not a tick from 0 to 99999: --phases"
  "OUT --phases 100|--phases takes nothing but --size WxH"
  "OUT --phases --size|--phases takes nothing but --size WxH"
  "OUT --phases --size 400x300 100|--phases takes nothing but --size WxH"
  "OUT --phases --size 400|not a size WxH with sides from 1 to 4096: 400"
  "OUT --phases --size 0x300|not a size WxH with sides from 1 to 4096: 0x300"
  "OUT --phases --size 400x4097|not a size WxH with sides from 1 to 4096: 400x4097"
  "OUT --phases --size 400x300x2|not a size WxH with sides from 1 to 4096: 400x300x2"
  "OUT --size 400x300 --phases|not a tick from 0 to 99999: --size"
  "OUT --from|--from takes a phase from 2 to 11"
  "OUT --from 1 100|--from takes a phase from 2 to 11"
  "OUT --from 12 --phases|--from takes a phase from 2 to 11"
  "OUT --from 5|an output folder and at least one tick"
  "OUT --from 5 100|tick 100 lies before phase 5, which starts at tick 1675"
  "OUT 100 --from 5|not a tick from 0 to 99999: --from"
  "OUT --phases --from 5|--phases takes nothing but --size WxH")

set(out "${WORKDIR}/never-made")
file(REMOVE_RECURSE "${out}")
set(failures "")
foreach(case IN LISTS cases)
  string(REPLACE "|" ";" parts "${case}")
  list(GET parts 0 arglist)
  list(GET parts 1 reason)
  string(REPLACE "OUT" "${out}" arglist "${arglist}")
  separate_arguments(args UNIX_COMMAND "${arglist}")
  execute_process(COMMAND "${FRAMEGRAB}" ${args} RESULT_VARIABLE rc ERROR_VARIABLE err
                  OUTPUT_QUIET)
  string(FIND "${err}" "framegrab: ${reason}" at_reason)
  string(FIND "${err}" "framegrab OUTDIR [--from PHASE] --phases [--size WxH]" at_usage)
  if(NOT rc EQUAL 2 OR at_reason EQUAL -1 OR at_usage EQUAL -1 OR EXISTS "${out}")
    string(APPEND failures "\n  framegrab ${arglist}: exit ${rc}, stderr: ${err}")
  endif()
endforeach()
if(failures)
  message(FATAL_ERROR "framegrab accepted or misreported bad arguments:${failures}")
endif()
