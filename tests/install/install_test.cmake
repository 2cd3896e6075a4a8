# The installed package as a program outside the project meets it, for both kinds of library.
#
# This build, installed into a fresh prefix: only public headers and the two libraries go in,
# with the examples; the consumer program builds with find_package (every installed header also
# compiled alone) and with one g++ line through pkg-config, and runs; the installed examples
# build against the package; the demo's and the examples' sources find every header they
# include among the installed ones.
#
# Then a parent project with targets of its own named engine and platform adds the source tree
# with add_subdirectory, building the other kind of library than this build (shared when this
# build is static, as it is by default). It gets the engine and platform alone, keeps its own
# build type, and its program runs against them in its build tree. That build, installed, is
# checked as the first was, its programs built in C++23 (the program's own choice of standard).
#
# Shared libraries are installed as the versioned file, the link named for the soname (major
# and minor version) and the link for the linker; pkg-config lists the libraries they link
# themselves as private.
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

# The installed tree under `prefix` holds public headers only, under include/lapiz3d, and the
# two libraries of the kind `shared` says (not the test library).
function(check_installed prefix shared)
  foreach(internal engine/global.h engine/b3d.h engine/octree.h platform/internal.h
                   platform/testing.h platform/input_keymap.h platform/gl_state.h)
    if(EXISTS ${prefix}/include/lapiz3d/${internal})
      message(FATAL_ERROR "installed an internal header: ${internal}")
    endif()
  endforeach()
  file(GLOB top RELATIVE ${prefix}/include ${prefix}/include/*)
  if(NOT top STREQUAL "lapiz3d")
    message(FATAL_ERROR "the include folder holds more than lapiz3d/: ${top}")
  endif()

  set(expected "")
  foreach(layer engine platform)
    set(name liblapiz3d_${layer})
    if(NOT shared)
      list(APPEND expected ${name}.a)
      continue()
    endif()
    list(APPEND expected ${name}.so ${name}.so.${soversion} ${name}.so.${version})
    run(${READELF} -d ${prefix}/lib/${name}.so.${version})
    if(NOT last_output MATCHES "SONAME[^\n]*\\[${name}\\.so\\.${soversion}\\]")
      message(FATAL_ERROR "${name}: no soname of version ${soversion}:\n${last_output}")
    endif()
  endforeach()
  list(SORT expected)
  expect_files(${prefix} "${expected}" "the libraries" *.a *.so*)
endfunction()

# Consumers built against `prefix` (libraries shared or not) into `work`, and run: with
# find_package (ARGN: more settings), then with one g++ line through pkg-config in the C++
# standard `std`. A program built against shared libraries finds them through its run path.
function(check_consumers prefix shared work std)
  run(${CMAKE_COMMAND} -S ${SOURCE_DIR}/consumer -B ${work}/cmake-build
      -DCMAKE_PREFIX_PATH=${prefix} -DCMAKE_CXX_COMPILER=${CXX} "-DCMAKE_CXX_FLAGS=${EXTRA_FLAGS}"
      "-DCMAKE_EXE_LINKER_FLAGS=${EXTRA_FLAGS}" ${ARGN})
  run(${CMAKE_COMMAND} --build ${work}/cmake-build --parallel ${jobs})
  run(${work}/cmake-build/consumer)
  message(STATUS "find_package (${prefix}): ${last_output}")

  set(ENV{PKG_CONFIG_PATH} ${prefix}/lib/pkgconfig)
  run(pkg-config --cflags lapiz3d)
  if(last_output MATCHES "-std=")
    message(FATAL_ERROR "pkg-config chooses the program's C++ standard: ${last_output}")
  endif()
  run(pkg-config --cflags --libs lapiz3d)
  string(STRIP "${last_output}" flags)
  separate_arguments(flags UNIX_COMMAND "${flags}")
  separate_arguments(extra UNIX_COMMAND "${EXTRA_FLAGS}")
  run(${CXX} ${extra} -std=${std} ${SOURCE_DIR}/consumer/main.cpp -o ${work}/consumer-pc
      ${flags} -Wl,-rpath,${prefix}/lib)
  run(${work}/consumer-pc)
  message(STATUS "pkg-config (${prefix}): ${last_output}")

  # Static libraries need the system libraries on every program's link line, shared ones only
  # for a static link.
  run(pkg-config --libs lapiz3d)
  lapiz_matches(listed "${last_output}" "-lpng")
  if(listed STREQUAL shared)
    message(FATAL_ERROR "pkg-config --libs of libraries with shared=${shared}: ${last_output}")
  endif()
  run(pkg-config --libs --static lapiz3d)
  if(NOT last_output MATCHES "-lpng" OR NOT last_output MATCHES "-lvorbisfile")
    message(FATAL_ERROR "pkg-config --static lists no system libraries: ${last_output}")
  endif()
endfunction()

# Sets `var` to ON or OFF, as `text` matches `regex` or not.
function(lapiz_matches var text regex)
  set(${var} OFF PARENT_SCOPE)
  if(text MATCHES "${regex}")
    set(${var} ON PARENT_SCOPE)
  endif()
endfunction()

cmake_host_system_information(RESULT jobs QUERY NUMBER_OF_LOGICAL_CORES)
find_program(READELF readelf REQUIRED)
file(STRINGS ${PROJECT_DIR}/CMakeLists.txt version_line REGEX "^project\\(lapiz3d VERSION")
string(REGEX MATCH "([0-9]+)\\.([0-9]+)\\.[0-9]+" version "${version_line}")
set(soversion ${CMAKE_MATCH_1}.${CMAKE_MATCH_2})
file(STRINGS ${BUILD_DIR}/CMakeCache.txt cached REGEX "^BUILD_SHARED_LIBS:BOOL=")
string(TOUPPER "${cached}" cached)
lapiz_matches(shared "${cached}" "=(ON|TRUE|YES|1)$")
lapiz_matches(other_kind "${shared}" "OFF")
file(REMOVE_RECURSE ${WORK_DIR})
file(MAKE_DIRECTORY ${WORK_DIR})

# ---- This build ----
set(prefix ${WORK_DIR}/prefix)
run(${CMAKE_COMMAND} --install ${BUILD_DIR} --prefix ${prefix})
check_installed(${prefix} ${shared})
# The examples to start from, with the files they load and their build.
expect_files(${prefix}/share/lapiz3d/examples
             "CMakeLists.txt;character.b3d;character.cpp;glow.png;leaves.png;overlay.cpp;scene.cpp;walk.cpp"
             "the examples" *)
check_consumers(${prefix} ${shared} ${WORK_DIR} c++20 -DLAPIZ_CHECK_HEADERS=ON)

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

# The demo and the examples are programs on the public header: their sources (all but the
# demo's frame-capture runner, which is the tests') find every header they include among the
# installed ones or in their own folder.
set(ENV{PKG_CONFIG_PATH} ${prefix}/lib/pkgconfig)
run(pkg-config --cflags lapiz3d)
string(STRIP "${last_output}" cflags)
separate_arguments(cflags UNIX_COMMAND "${cflags}")
file(COPY ${PROJECT_DIR}/demo DESTINATION ${WORK_DIR}/demo-root FILES_MATCHING PATTERN "*.h")
file(GLOB demo_sources ${PROJECT_DIR}/demo/*.cpp)
list(REMOVE_ITEM demo_sources ${PROJECT_DIR}/demo/capture.cpp)
file(GLOB example_sources ${PROJECT_DIR}/examples/*.cpp)
run(${CXX} -std=c++20 -MM ${cflags} -I${WORK_DIR}/demo-root ${demo_sources} ${example_sources})

# ---- A parent project, building the other kind ----
set(parent ${WORK_DIR}/parent)
file(WRITE ${parent}/own.cpp "int main() { return 0; }\n")
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
    -DBUILD_SHARED_LIBS=${other_kind} "-DCMAKE_CXX_FLAGS=${EXTRA_FLAGS}"
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

# The program runs in the build tree, against the shared libraries there when they are shared.
run(${CMAKE_COMMAND} --build ${parent}/build --parallel ${jobs})
run(${READELF} -d ${parent}/build/consumer)
lapiz_matches(linked "${last_output}" "NEEDED[^\n]*liblapiz3d_engine\\.so\\.")
if(NOT linked STREQUAL other_kind)
  message(FATAL_ERROR "the parent's program, shared=${other_kind}:\n${last_output}")
endif()
run(${parent}/build/consumer)
message(STATUS "add_subdirectory, shared=${other_kind}: ${last_output}")

set(prefix ${WORK_DIR}/prefix-other)
run(${CMAKE_COMMAND} --install ${parent}/build --prefix ${prefix})
check_installed(${prefix} ${other_kind})
check_consumers(${prefix} ${other_kind} ${WORK_DIR}/other c++23)
