# The programs carry no test scaffolding: no symbol of the test library (namespace testseam) nor
# any other name that says it is there for tests ("seam", "ForTesting"), whatever its case.
# The same look at CONTROL, a tool that links the test library, must find them, so that a look
# that sees nothing (nm missing, symbols stripped, a changed demangling) cannot pass.
#   -DNM=<nm>  -DPROGRAMS=<program|program|...>  -DCONTROL=<tool>
cmake_minimum_required(VERSION 3.25)

# Sets `found` in the caller to the symbols of the file that name test scaffolding.
function(test_symbols file)
  execute_process(COMMAND ${NM} -C ${file} RESULT_VARIABLE status OUTPUT_VARIABLE out
                  ERROR_VARIABLE err)
  if(NOT status EQUAL 0)
    message(FATAL_ERROR "${NM} -C ${file} failed (${status}): ${err}")
  endif()
  string(REPLACE ";" "," out "${out}")
  string(REPLACE "\n" ";" lines "${out}")
  set(hits "")
  foreach(line ${lines})
    string(TOLOWER "${line}" lower)
    if(lower MATCHES "seam|fortesting")
      string(APPEND hits "  ${line}\n")
    endif()
  endforeach()
  set(found "${hits}" PARENT_SCOPE)
endfunction()

string(REPLACE "|" ";" programs "${PROGRAMS}")
foreach(program ${programs})
  test_symbols(${program})
  if(NOT found STREQUAL "")
    message(FATAL_ERROR "test scaffolding in ${program}:\n${found}")
  endif()
endforeach()

test_symbols(${CONTROL})
if(NOT found MATCHES "testseam::CaptureFrame")
  message(FATAL_ERROR "the look finds no test library in ${CONTROL}: it cannot be trusted")
endif()
