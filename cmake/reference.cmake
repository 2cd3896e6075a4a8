# The command reference: HTML pages generated from the comments of the command headers, the
# flag and handle headers and the platform's program-facing headers, with docs/reference.md as
# the main page. Not part of the default build:
#
#     cmake --build build --target reference     # then open build/reference/index.html
#
# The headers keep plain // comments; cmake/reference_filter.awk hands the generator a copy in
# which a comment block directly above a declaration documents it (the rule the unit test
# tests/unit/command_docs_test.cpp enforces for the commands). Without doxygen or awk there is
# no target.

# The settings are made inside a function so that none of them leaks into the including scope.
function(lapiz_add_reference _lapiz_root)
  find_package(Doxygen)
  find_program(LAPIZ_AWK NAMES awk gawk mawk)

  if(NOT DOXYGEN_FOUND OR NOT LAPIZ_AWK)
    message(STATUS "Command reference: doxygen or awk not found, no 'reference' target")
    return()
  endif()

  file(GLOB _lapiz_command_headers CONFIGURE_DEPENDS "${_lapiz_root}/engine/commands*.h")
  set(_lapiz_reference_inputs
    "${_lapiz_root}/docs/reference.md"
    ${_lapiz_command_headers}
    "${_lapiz_root}/engine/cube_map.h"
    "${_lapiz_root}/engine/flags.h"
    "${_lapiz_root}/engine/handles.h")
  foreach(_header display input image2d gltext audio clock random error stream pixmap)
    list(APPEND _lapiz_reference_inputs "${_lapiz_root}/platform/${_header}.h")
  endforeach()

  set(DOXYGEN_PROJECT_NAME "${PROJECT_NAME}")
  set(DOXYGEN_PROJECT_BRIEF "Command reference")
  set(DOXYGEN_OUTPUT_DIRECTORY "${CMAKE_BINARY_DIR}")
  set(DOXYGEN_HTML_OUTPUT reference)
  set(DOXYGEN_GENERATE_HTML YES)
  set(DOXYGEN_GENERATE_LATEX NO)
  set(DOXYGEN_USE_MDFILE_AS_MAINPAGE "${_lapiz_root}/docs/reference.md")
  set(DOXYGEN_INPUT_FILTER "${LAPIZ_AWK} -f ${_lapiz_root}/cmake/reference_filter.awk")
  set(DOXYGEN_FILTER_SOURCE_FILES YES)
  set(DOXYGEN_FULL_PATH_NAMES YES)
  set(DOXYGEN_STRIP_FROM_PATH "${_lapiz_root}")
  set(DOXYGEN_STRIP_FROM_INC_PATH "${_lapiz_root}")
  set(DOXYGEN_JAVADOC_AUTOBRIEF YES)
  set(DOXYGEN_SORT_MEMBER_DOCS NO)
  set(DOXYGEN_EXTRACT_ALL NO)
  set(DOXYGEN_WARN_IF_UNDOCUMENTED YES)
  set(DOXYGEN_WARN_NO_PARAMDOC NO)
  set(DOXYGEN_QUIET YES)
  set(DOXYGEN_HAVE_DOT NO)

  doxygen_add_docs(reference ${_lapiz_reference_inputs}
    WORKING_DIRECTORY "${_lapiz_root}"
    COMMENT "Generating the command reference in ${CMAKE_BINARY_DIR}/reference")
endfunction()

get_filename_component(_lapiz_reference_root "${CMAKE_CURRENT_LIST_DIR}/.." ABSOLUTE)
lapiz_add_reference("${_lapiz_reference_root}")
