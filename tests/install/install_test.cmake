# The installed package as a program outside the project meets it: install the build into a
# fresh prefix, check that only public headers went in, build the consumer program with
# find_package (every installed header also compiled alone) and again with one g++ line through
# pkg-config, and run both; the demo's and the examples' sources must find every header they
# include among the installed ones. Needs a display for the runs (the suite runs under xvfb-run).
# Then a parent project that adds the source tree with add_subdirectory is configured: it gets
# the engine and platform alone, and keeps its own build type.
#   -DBUILD_DIR=<project build>  -DSOURCE_DIR=<this folder>  -DPROJECT_DIR=<source root>
#   -DWORK_DIR=<scratch>
#   -DCXX=<compiler>  -DEXTRA_FLAGS=<flags for both, e.g. the sanitizers'>
cmake_minimum_required(VERSION 3.25)

function(run)
  execute_process(COMMAND ${ARGV} RESULT_VARIABLE status OUTPUT_VARIABLE out ERROR_VARIABLE err)
  if(NOT status EQUAL 0)
    string(REPLACE ";" " " line "${ARGV}")
    message(FATAL_ERROR "failed (${status}): ${line}\n${out}\n${err}")
  endif()
  set(last_output "${out}" PARENT_SCOPE)
endfunction()

set(prefix ${WORK_DIR}/prefix)
file(REMOVE_RECURSE ${WORK_DIR})
file(MAKE_DIRECTORY ${WORK_DIR})

run(${CMAKE_COMMAND} --install ${BUILD_DIR} --prefix ${prefix})

# Only what programs use: no declarations meant for inside a layer, no test seams.
foreach(internal engine/global.h engine/b3d.h engine/octree.h platform/internal.h
                 platform/testing.h platform/input_keymap.h platform/gl_state.h)
  if(EXISTS ${prefix}/include/lapiz3d/${internal})
    message(FATAL_ERROR "installed an internal header: ${internal}")
  endif()
endforeach()
# The two libraries and not the test library.
file(GLOB_RECURSE libraries RELATIVE ${prefix} ${prefix}/*.a ${prefix}/*.so)
list(SORT libraries)
string(REGEX REPLACE "[^;]*/" "" library_names "${libraries}")
if(NOT library_names STREQUAL "liblapiz3d_engine.a;liblapiz3d_platform.a")
  message(FATAL_ERROR "installed libraries other than the engine and platform: ${libraries}")
endif()
file(GLOB top RELATIVE ${prefix}/include ${prefix}/include/*)
if(NOT top STREQUAL "lapiz3d")
  message(FATAL_ERROR "the include folder holds more than lapiz3d/: ${top}")
endif()

# find_package.
run(${CMAKE_COMMAND} -S ${SOURCE_DIR}/consumer -B ${WORK_DIR}/cmake-build
    -DCMAKE_PREFIX_PATH=${prefix} -DCMAKE_CXX_COMPILER=${CXX} -DLAPIZ_CHECK_HEADERS=ON
    "-DCMAKE_CXX_FLAGS=${EXTRA_FLAGS}" "-DCMAKE_EXE_LINKER_FLAGS=${EXTRA_FLAGS}")
run(${CMAKE_COMMAND} --build ${WORK_DIR}/cmake-build)
run(${WORK_DIR}/cmake-build/consumer)
message(STATUS "find_package: ${last_output}")

# pkg-config, one line.
set(ENV{PKG_CONFIG_PATH} ${prefix}/lib/pkgconfig)
run(pkg-config --cflags --libs lapiz3d)
string(STRIP "${last_output}" flags)
separate_arguments(flags UNIX_COMMAND "${flags}")
separate_arguments(extra UNIX_COMMAND "${EXTRA_FLAGS}")
run(${CXX} ${extra} ${SOURCE_DIR}/consumer/main.cpp -o ${WORK_DIR}/consumer-pc ${flags})
run(${WORK_DIR}/consumer-pc)
message(STATUS "pkg-config: ${last_output}")

# The demo and the examples are programs on the public header: their sources (all but the
# demo's frame-capture runner, which is the tests') find every header they include among the
# installed ones or in their own folder.
run(pkg-config --cflags lapiz3d)
string(STRIP "${last_output}" cflags)
separate_arguments(cflags UNIX_COMMAND "${cflags}")
file(COPY ${PROJECT_DIR}/demo DESTINATION ${WORK_DIR}/demo-root FILES_MATCHING PATTERN "*.h")
file(GLOB demo_sources ${PROJECT_DIR}/demo/*.cpp)
list(REMOVE_ITEM demo_sources ${PROJECT_DIR}/demo/capture.cpp)
file(GLOB example_sources ${PROJECT_DIR}/examples/*.cpp)
run(${CXX} -std=c++20 -MM ${cflags} -I${WORK_DIR}/demo-root ${demo_sources} ${example_sources})

run(pkg-config --libs --static lapiz3d)
if(NOT last_output MATCHES "-lpng" OR NOT last_output MATCHES "-lvorbisfile")
  message(FATAL_ERROR "pkg-config --static lists no system libraries: ${last_output}")
endif()

# add_subdirectory: the engine and platform alone, the parent's build type left as it was.
set(parent ${WORK_DIR}/parent)
file(WRITE ${parent}/CMakeLists.txt "cmake_minimum_required(VERSION 3.25)
project(parent LANGUAGES C CXX)
add_subdirectory(${PROJECT_DIR} lapiz3d)
add_executable(consumer ${SOURCE_DIR}/consumer/main.cpp)
target_link_libraries(consumer PRIVATE lapiz3d::engine)
if(NOT CMAKE_BUILD_TYPE STREQUAL \"\")
  message(FATAL_ERROR \"build type forced on the parent: \${CMAKE_BUILD_TYPE}\")
endif()
")
run(${CMAKE_COMMAND} -S ${parent} -B ${parent}/build -DCMAKE_CXX_COMPILER=${CXX})
run(${CMAKE_COMMAND} --build ${parent}/build --target help)
foreach(target engine platform consumer)
  if(NOT last_output MATCHES "\\.\\.\\. ${target}\n")
    message(FATAL_ERROR "add_subdirectory: no target ${target}:\n${last_output}")
  endif()
endforeach()
foreach(target demo demo_core platform_testing mediagen unit_tests gl_tests scene)
  if(last_output MATCHES "\\.\\.\\. ${target}\n")
    message(FATAL_ERROR "add_subdirectory builds more than the engine: ${target}")
  endif()
endforeach()
file(READ ${parent}/build/CMakeCache.txt cache)
# (FreeType is not checked: the system's X11 module looks for it on its own, optionally.)
if(cache MATCHES "GTest_DIR")
  message(FATAL_ERROR "add_subdirectory looked for the test framework")
endif()
