# The example programs, built against the installed package. This file is installed as
# <prefix>/share/lapiz3d/examples/CMakeLists.txt beside the examples' sources and the model and
# images they load; build them in a folder of your own:
#
#     cmake -S <prefix>/share/lapiz3d/examples -B examples-build
#     cmake --build examples-build
#     examples-build/character
#
# The package is looked for in the prefix this folder lies in first, then as find_package does
# (CMAKE_PREFIX_PATH).
cmake_minimum_required(VERSION 3.25)
project(lapiz3d_examples LANGUAGES CXX)

find_package(lapiz3d CONFIG REQUIRED HINTS ${CMAKE_CURRENT_SOURCE_DIR}/../../..)

file(GLOB sources ${CMAKE_CURRENT_SOURCE_DIR}/*.cpp)
foreach(source ${sources})
  get_filename_component(name ${source} NAME_WE)
  add_executable(${name} ${source})
  target_link_libraries(${name} PRIVATE lapiz3d::engine)
endforeach()

# The programs load their files from examples/ beside themselves.
file(GLOB media ${CMAKE_CURRENT_SOURCE_DIR}/*.b3d ${CMAKE_CURRENT_SOURCE_DIR}/*.png)
foreach(file ${media})
  get_filename_component(name ${file} NAME)
  configure_file(${file} ${CMAKE_CURRENT_BINARY_DIR}/examples/${name} COPYONLY)
endforeach()
