# libjpeg-turbo, the JPEG decoder behind VXXIF32, as the target `jpeg_turbo` in every build.
# Debian's own source package (unpacked by scripts/bootstrap.sh into LIBJPEG_TURBO_SOURCE_DIR,
# shared by all work trees and never changed) is copied into <build>/libjpeg-turbo/source, our
# patches (standins/vxxif32/patches/) are applied to the copy, and the copy is built with its
# own CMake build as a static library with its SIMD code (nasm):
#  - Windows builds: for the build's MinGW toolchain (i686 or x86_64);
#  - native build: with the build's C compiler, so the sanitizer tests and the fuzzers run the
#    decoder that ships, patches included.
# Only the library is built (no tools, no TurboJPEG API); arithmetic decoding is left out
# because VXXIF32 refuses arithmetic-coded files before they reach the decoder.
set(LIBJPEG_TURBO_SOURCE_DIR /usr/local/src/libjpeg-turbo/source CACHE PATH
    "libjpeg-turbo sources (Debian source package, fetched by scripts/bootstrap.sh)")
set(LIBJPEG_TURBO_PATCHES
    ${PROJECT_SOURCE_DIR}/standins/vxxif32/patches/libjpeg-turbo-fast-path-bad-code.patch)

if(NOT EXISTS ${LIBJPEG_TURBO_SOURCE_DIR}/CMakeLists.txt)
  message(FATAL_ERROR "libjpeg-turbo sources not found in ${LIBJPEG_TURBO_SOURCE_DIR}: "
                      "run scripts/bootstrap.sh as root")
endif()
find_program(PATCH_PROGRAM patch REQUIRED)
find_program(NASM_PROGRAM nasm REQUIRED)

if(WIN32)
  set(compiler_args -DCMAKE_TOOLCHAIN_FILE=${PROJECT_SOURCE_DIR}/cmake/mingw-w64-${CMAKE_SYSTEM_PROCESSOR}.cmake)
else()
  # Linked into position-independent executables.
  set(compiler_args -DCMAKE_C_COMPILER=${CMAKE_C_COMPILER} -DCMAKE_POSITION_INDEPENDENT_CODE=ON)
endif()

set(patch_commands)
foreach(p ${LIBJPEG_TURBO_PATCHES})
  list(APPEND patch_commands COMMAND ${PATCH_PROGRAM} --batch --forward --quiet -p1 -d <SOURCE_DIR> -i ${p})
endforeach()
list(POP_FRONT patch_commands)  # the first COMMAND keyword is PATCH_COMMAND's own

include(ExternalProject)
set(prefix ${CMAKE_BINARY_DIR}/libjpeg-turbo)
set(library ${prefix}/lib/${CMAKE_STATIC_LIBRARY_PREFIX}jpeg${CMAKE_STATIC_LIBRARY_SUFFIX})
ExternalProject_Add(libjpeg_turbo_build
  PREFIX ${prefix}/steps
  SOURCE_DIR ${prefix}/source
  BINARY_DIR ${prefix}/build
  INSTALL_DIR ${prefix}
  # A fresh copy, and a fresh build of it, each time a patch changes: every patch meets the
  # source as Debian has it.
  DOWNLOAD_COMMAND ${CMAKE_COMMAND} -E rm -rf <SOURCE_DIR> <BINARY_DIR>
           COMMAND ${CMAKE_COMMAND} -E make_directory <BINARY_DIR>
           COMMAND ${CMAKE_COMMAND} -E copy_directory ${LIBJPEG_TURBO_SOURCE_DIR}/ <SOURCE_DIR>
  PATCH_COMMAND ${patch_commands}
  CMAKE_ARGS
    -G Ninja
    ${compiler_args}
    -DCMAKE_BUILD_TYPE=Release
    -DCMAKE_INSTALL_PREFIX=<INSTALL_DIR>
    -DCMAKE_ASM_NASM_COMPILER=${NASM_PROGRAM}
    -DENABLE_SHARED=OFF -DENABLE_STATIC=ON -DREQUIRE_SIMD=ON
    -DWITH_TURBOJPEG=OFF -DWITH_ARITH_DEC=OFF -DWITH_ARITH_ENC=OFF
  # The library alone: its tools and test programs are not needed here.
  BUILD_COMMAND ${CMAKE_COMMAND} --build <BINARY_DIR> --target jpeg-static -j 2
  INSTALL_COMMAND
    ${CMAKE_COMMAND} -E copy <BINARY_DIR>/libjpeg.a ${library}
    COMMAND ${CMAKE_COMMAND} -E copy <BINARY_DIR>/jconfig.h <SOURCE_DIR>/jpeglib.h <SOURCE_DIR>/jmorecfg.h
            <SOURCE_DIR>/jerror.h <INSTALL_DIR>/include/
  BUILD_BYPRODUCTS ${library}
  LOG_DOWNLOAD ON LOG_PATCH ON LOG_CONFIGURE ON LOG_BUILD ON LOG_OUTPUT_ON_FAILURE ON)
# The list of patches too: a patch taken off the list must leave the copy as well.
set(patch_list ${prefix}/patches.txt)
list(JOIN LIBJPEG_TURBO_PATCHES "\n" patch_lines)
file(CONFIGURE OUTPUT ${patch_list} CONTENT "${patch_lines}\n")  # rewritten only when it changes
ExternalProject_Add_StepDependencies(libjpeg_turbo_build download ${patch_list} ${LIBJPEG_TURBO_PATCHES})

file(MAKE_DIRECTORY ${prefix}/include ${prefix}/lib)
add_library(jpeg_turbo STATIC IMPORTED GLOBAL)
set_target_properties(jpeg_turbo PROPERTIES IMPORTED_LOCATION ${library}
                                            INTERFACE_INCLUDE_DIRECTORIES ${prefix}/include)
add_dependencies(jpeg_turbo libjpeg_turbo_build)
