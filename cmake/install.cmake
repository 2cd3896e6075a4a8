# Installing the engine for programs outside this project:
#   include/lapiz3d/engine/..., include/lapiz3d/platform/...   the public headers
#   lib/liblapiz3d_engine.a, lib/liblapiz3d_platform.a          the libraries (static), or
#   lib/liblapiz3d_engine.so.0.9.0 and its links, the same for the platform   (BUILD_SHARED_LIBS)
#   lib/cmake/lapiz3d/                                          find_package(lapiz3d CONFIG)
#   lib/pkgconfig/lapiz3d.pc                                    pkg-config lapiz3d
# The headers sit in a folder of the project's own name, so "engine/commands.h" is reached
# through -I<prefix>/include/lapiz3d and no generic folder lands at the top of the include tree.
include(GNUInstallDirs)
include(CMakePackageConfigHelpers)

set(LAPIZ_INSTALL_INCLUDEDIR ${CMAKE_INSTALL_INCLUDEDIR}/lapiz3d)
set(LAPIZ_INSTALL_CMAKEDIR ${CMAKE_INSTALL_LIBDIR}/cmake/lapiz3d)

foreach(target lapiz3d_engine lapiz3d_platform)
  target_include_directories(${target} PUBLIC $<INSTALL_INTERFACE:${LAPIZ_INSTALL_INCLUDEDIR}>)
endforeach()

foreach(layer ENGINE PLATFORM)
  string(TOLOWER ${layer} folder)
  foreach(header ${LAPIZ_${layer}_PUBLIC_HEADERS})
    get_filename_component(subdir ${header} DIRECTORY)
    install(FILES ${PROJECT_SOURCE_DIR}/${folder}/${header}
            DESTINATION ${LAPIZ_INSTALL_INCLUDEDIR}/${folder}/${subdir})
  endforeach()
endforeach()

install(TARGETS lapiz3d_engine lapiz3d_platform EXPORT lapiz3dTargets
        ARCHIVE DESTINATION ${CMAKE_INSTALL_LIBDIR}
        LIBRARY DESTINATION ${CMAKE_INSTALL_LIBDIR})
install(EXPORT lapiz3dTargets NAMESPACE lapiz3d:: DESTINATION ${LAPIZ_INSTALL_CMAKEDIR})

# What the package must find for a program: everything the libraries link when they are static,
# only what their headers use when they are shared.
if(BUILD_SHARED_LIBS)
  set(LAPIZ_SHARED ON)
else()
  set(LAPIZ_SHARED OFF)
endif()
configure_package_config_file(${CMAKE_CURRENT_LIST_DIR}/lapiz3dConfig.cmake.in
                              ${PROJECT_BINARY_DIR}/lapiz3dConfig.cmake
                              INSTALL_DESTINATION ${LAPIZ_INSTALL_CMAKEDIR})
write_basic_package_version_file(${PROJECT_BINARY_DIR}/lapiz3dConfigVersion.cmake
                                 COMPATIBILITY SameMinorVersion)
install(FILES ${PROJECT_BINARY_DIR}/lapiz3dConfig.cmake
              ${PROJECT_BINARY_DIR}/lapiz3dConfigVersion.cmake
        DESTINATION ${LAPIZ_INSTALL_CMAKEDIR})

# The pkg-config module finds its prefix from where it lies (lib/pkgconfig, or deeper for a
# multiarch libdir), so the installed tree can be moved.
set(LAPIZ_PC_PREFIX "\${pcfiledir}/..")
string(REPLACE "/" ";" libdir_parts "${CMAKE_INSTALL_LIBDIR}")
foreach(part ${libdir_parts})
  set(LAPIZ_PC_PREFIX "${LAPIZ_PC_PREFIX}/..")
endforeach()
if(IS_ABSOLUTE "${CMAKE_INSTALL_LIBDIR}")
  set(LAPIZ_PC_PREFIX "${CMAKE_INSTALL_PREFIX}")
endif()
# Static libraries need every system library on the program's link line, so all are plain
# requirements; shared ones need only those their headers use (the others are private, for
# pkg-config --static).
set(LAPIZ_PC_PUBLIC "sdl2 gl glu glew")
set(LAPIZ_PC_PRIVATE "SDL2_image x11 libpng libjpeg zlib vorbisfile vorbisenc vorbis ogg")
if(NOT BUILD_SHARED_LIBS)
  string(APPEND LAPIZ_PC_PUBLIC " ${LAPIZ_PC_PRIVATE}")
  set(LAPIZ_PC_PRIVATE "")
endif()
configure_file(${CMAKE_CURRENT_LIST_DIR}/lapiz3d.pc.in ${PROJECT_BINARY_DIR}/lapiz3d.pc @ONLY)
install(FILES ${PROJECT_BINARY_DIR}/lapiz3d.pc DESTINATION ${CMAKE_INSTALL_LIBDIR}/pkgconfig)
