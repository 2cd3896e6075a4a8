# The installed package as a program outside the project meets it.
#
# The static libraries of this build: install the build into a fresh prefix, check that only
# public headers and the two libraries went in, with the examples, build the consumer program
# with find_package (every installed header also compiled alone) and again with one g++ line
# through pkg-config, run both, and build the installed examples against the package.
#
# The shared libraries, and a parent project: a parent with targets of its own named engine and
# platform adds the source tree with add_subdirectory and BUILD_SHARED_LIBS on. It gets the
# engine and platform alone as shared libraries, keeps its own build type, and its program runs
# against them in the build tree. That build, installed, gives the shared package: versioned
# libraries with their sonames, and programs built with find_package and with pkg-config (in
# C++23, the program's own choice of standard) that run against the installed libraries.
#
# Needs a display for the runs (the suite runs under xvfb-run).
#   -DBUILD_DIR=<project build>  -DSOURCE_DIR=<this folder>  -DPROJECT_DIR=<source root>
#   -DWORK_DIR=<scratch>
#   -DCXX=<compiler>  -DEXTRA_FLAGS=<flags for all builds, e.g. the sanitizers'>
cmake_minimum_required(VERSION 3.25)

function(run)
  execute_process(COMMAND ${ARGV} RESULT_VARIABLE status OUTPUT_VARIABLE out ERROR_VARIABLE err)
  if(NOT status EQUAL 0)
    string(REPLACE ";" " " line "${ARGV}")
    message(FATAL_ERROR "failed (${status}): ${line}\n${out}\n${err}")
  endif()
  set(last_output "${out}" PARENT_SCOPE)
endfunction()

# Fails unless the names (folders dropped) of the files under `dir` that match the patterns
# (ARGN) are exactly `expected`, in sorted order.
function(expect_files dir expected what)
  list(TRANSFORM ARGN PREPEND ${dir}/ OUTPUT_VARIABLE patterns)
  file(GLOB_RECURSE found RELATIVE ${dir} ${patterns})
  string(REGEX REPLACE "[^;]*/" "" names "${found}")
  list(SORT names)
  if(NOT names STREQUAL "${expected}")
    message(FATAL_ERROR "${what}: expected ${expected}, installed ${found}")
  endif()
endfunction()

# A consumer built with find_package against `prefix` in `build`, then run.
function(build_with_find_package prefix build)
  run(${CMAKE_COMMAND} -S ${SOURCE_DIR}/consumer -B ${build} -DCMAKE_PREFIX_PATH=${prefix}
      -DCMAKE_CXX_COMPILER=${CXX} "-DCMAKE_CXX_FLAGS=${EXTRA_FLAGS}"
      "-DCMAKE_EXE_LINKER_FLAGS=${EXTRA_FLAGS}" ${ARGN})
  run(${CMAKE_COMMAND} --build ${build} --parallel ${jobs})
  run(${build}/consumer)
  message(STATUS "find_package (${prefix}): ${last_output}")
endfunction()

# A consumer built with one g++ line through pkg-config against `prefix`, into `program`, then
# run. ARGN: the program's own flags (its C++ standard, its rpath).
function(build_with_pkg_config prefix program)
  set(ENV{PKG_CONFIG_PATH} ${prefix}/lib/pkgconfig)
  run(pkg-config --cflags lapiz3d)
  if(last_output MATCHES "-std=")
    message(FATAL_ERROR "pkg-config chooses the program's C++ standard: ${last_output}")
  endif()
  run(pkg-config --cflags --libs lapiz3d)
  string(STRIP "${last_output}" flags)
  separate_arguments(flags UNIX_COMMAND "${flags}")
  separate_arguments(extra UNIX_COMMAND "${EXTRA_FLAGS}")
  run(${CXX} ${extra} ${ARGN} ${SOURCE_DIR}/consumer/main.cpp -o ${program} ${flags})
  run(${program})
  message(STATUS "pkg-config (${prefix}): ${last_output}")
endfunction()

cmake_host_system_information(RESULT jobs QUERY NUMBER_OF_LOGICAL_CORES)
find_program(READELF readelf REQUIRED)
file(REMOVE_RECURSE ${WORK_DIR})
file(MAKE_DIRECTORY ${WORK_DIR})

# ---- The static libraries ----
set(prefix ${WORK_DIR}/prefix)
run(${CMAKE_COMMAND} --install ${BUILD_DIR} --prefix ${prefix})

# Only what programs use: no declarations meant for inside a layer, no test seams.
foreach(internal engine/global.h engine/b3d.h engine/octree.h platform/internal.h
                 platform/testing.h platform/input_keymap.h platform/saved_framebuffer.h)
  if(EXISTS ${prefix}/include/lapiz3d/${internal})
    message(FATAL_ERROR "installed an internal header: ${internal}")
  endif()
endforeach()
# The two libraries and not the test library.
expect_files(${prefix} "liblapiz3d_engine.a;liblapiz3d_platform.a" "the libraries" *.a *.so*)
file(GLOB top RELATIVE ${prefix}/include ${prefix}/include/*)
if(NOT top STREQUAL "lapiz3d")
  message(FATAL_ERROR "the include folder holds more than lapiz3d/: ${top}")
endif()
# The examples to start from, with the files they load and their build.
expect_files(${prefix}/share/lapiz3d/examples
             "CMakeLists.txt;character.b3d;character.cpp;glow.png;leaves.png;overlay.cpp;scene.cpp;walk.cpp"
             "the examples" *)

build_with_find_package(${prefix} ${WORK_DIR}/cmake-build -DLAPIZ_CHECK_HEADERS=ON)
build_with_pkg_config(${prefix} ${WORK_DIR}/consumer-pc -std=c++20)
run(pkg-config --libs --static lapiz3d)
if(NOT last_output MATCHES "-lpng" OR NOT last_output MATCHES "-lvorbisfile")
  message(FATAL_ERROR "pkg-config --static lists no system libraries: ${last_output}")
endif()

# The installed examples build against the package found from where they lie, and their files
# land where the programs look (examples/ beside them).
set(examples ${WORK_DIR}/examples-build)
run(${CMAKE_COMMAND} -S ${prefix}/share/lapiz3d/examples -B ${examples}
    -DCMAKE_CXX_COMPILER=${CXX} "-DCMAKE_CXX_FLAGS=${EXTRA_FLAGS}"
    "-DCMAKE_EXE_LINKER_FLAGS=${EXTRA_FLAGS}")
run(${CMAKE_COMMAND} --build ${examples} --parallel ${jobs})
foreach(file character scene walk overlay examples/character.b3d examples/glow.png
             examples/leaves.png)
  if(NOT EXISTS ${examples}/${file})
    message(FATAL_ERROR "the installed examples' build made no ${file}")
  endif()
endforeach()

# ---- A parent project, and the shared libraries ----
set(parent ${WORK_DIR}/parent)
file(WRITE ${parent}/own.cpp "int OwnEngine() { return 0; }\nint main() { return 0; }\n")
file(WRITE ${parent}/CMakeLists.txt "cmake_minimum_required(VERSION 3.25)
project(parent LANGUAGES C CXX)
# Targets of the parent's own, named as the layers are.
add_library(engine STATIC own.cpp)
add_executable(platform own.cpp)
add_subdirectory(${PROJECT_DIR} lapiz3d)
add_executable(consumer ${SOURCE_DIR}/consumer/main.cpp)
target_link_libraries(consumer PRIVATE lapiz3d::engine)
if(NOT CMAKE_BUILD_TYPE STREQUAL \"\")
  message(FATAL_ERROR \"build type forced on the parent: \${CMAKE_BUILD_TYPE}\")
endif()
")
run(${CMAKE_COMMAND} -S ${parent} -B ${parent}/build -DCMAKE_CXX_COMPILER=${CXX}
    -DBUILD_SHARED_LIBS=ON "-DCMAKE_CXX_FLAGS=${EXTRA_FLAGS}"
    "-DCMAKE_EXE_LINKER_FLAGS=${EXTRA_FLAGS}" "-DCMAKE_SHARED_LINKER_FLAGS=${EXTRA_FLAGS}")
run(${CMAKE_COMMAND} --build ${parent}/build --target help)
foreach(target engine platform lapiz3d_engine lapiz3d_platform consumer)
  if(NOT last_output MATCHES "\\.\\.\\. ${target}\n")
    message(FATAL_ERROR "add_subdirectory: no target ${target}:\n${last_output}")
  endif()
endforeach()
foreach(target demo demo_core lapiz3d_platform_testing mediagen unit_tests gl_tests scene)
  if(last_output MATCHES "\\.\\.\\. ${target}\n")
    message(FATAL_ERROR "add_subdirectory builds more than the engine: ${target}")
  endif()
endforeach()
file(READ ${parent}/build/CMakeCache.txt cache)
# (FreeType is not checked: the system's X11 module looks for it on its own, optionally.)
if(cache MATCHES "GTest_DIR")
  message(FATAL_ERROR "add_subdirectory looked for the test framework")
endif()

# The program runs in the build tree against the shared libraries there.
run(${CMAKE_COMMAND} --build ${parent}/build --parallel ${jobs})
run(${READELF} -d ${parent}/build/consumer)
if(NOT last_output MATCHES "NEEDED[^\n]*liblapiz3d_engine\\.so\\.")
  message(FATAL_ERROR "the parent's program does not link the shared engine:\n${last_output}")
endif()
run(${parent}/build/consumer)
message(STATUS "add_subdirectory, shared: ${last_output}")

# Installed: each library as the versioned file, the link named for its soname and the link
# for the linker, no static library; the soname carries the major and minor version.
set(prefix ${WORK_DIR}/prefix-shared)
run(${CMAKE_COMMAND} --install ${parent}/build --prefix ${prefix})
file(STRINGS ${PROJECT_DIR}/CMakeLists.txt version_line REGEX "^project\\(lapiz3d VERSION")
string(REGEX MATCH "([0-9]+)\\.([0-9]+)\\.[0-9]+" version "${version_line}")
set(soversion ${CMAKE_MATCH_1}.${CMAKE_MATCH_2})
set(expected "")
foreach(layer engine platform)
  list(APPEND expected liblapiz3d_${layer}.so liblapiz3d_${layer}.so.${soversion}
       liblapiz3d_${layer}.so.${version})
  run(${READELF} -d ${prefix}/lib/liblapiz3d_${layer}.so.${version})
  if(NOT last_output MATCHES "SONAME[^\n]*\\[liblapiz3d_${layer}\\.so\\.${soversion}\\]")
    message(FATAL_ERROR "liblapiz3d_${layer}: no soname of version ${soversion}:\n${last_output}")
  endif()
endforeach()
list(SORT expected)
expect_files(${prefix} "${expected}" "the shared libraries" *.a *.so*)

build_with_find_package(${prefix} ${WORK_DIR}/cmake-build-shared)
build_with_pkg_config(${prefix} ${WORK_DIR}/consumer-pc-shared -std=c++23
                      -Wl,-rpath,${prefix}/lib)
run(pkg-config --libs lapiz3d)
if(last_output MATCHES "-lpng")
  message(FATAL_ERROR "pkg-config links the shared libraries' own libraries: ${last_output}")
endif()
run(pkg-config --libs --static lapiz3d)
if(NOT last_output MATCHES "-lpng" OR NOT last_output MATCHES "-lvorbisfile")
  message(FATAL_ERROR "pkg-config --static lists no system libraries: ${last_output}")
endif()
