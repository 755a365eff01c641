# libjpeg-turbo, the JPEG decoder behind VXXIF32, as the target `jpeg_turbo` in both builds.
#  - Windows build: Debian's own source package (unpacked by scripts/bootstrap.sh into
#    LIBJPEG_TURBO_SOURCE_DIR) cross-built with its own CMake build for the build's MinGW toolchain as a static
#    library with its SIMD code (nasm), installed into <build>/libjpeg-turbo. Only the library
#    is built (no tools, no TurboJPEG API); arithmetic decoding is left out because VXXIF32
#    refuses arithmetic-coded files before they reach the decoder.
#  - Native build: Debian's libjpeg62-turbo-dev, which must be the same release, so the
#    sanitizer tests and the fuzzers run the decoder that ships.
set(LIBJPEG_TURBO_SOURCE_DIR /usr/local/src/libjpeg-turbo/source CACHE PATH
    "libjpeg-turbo sources (Debian source package, fetched by scripts/bootstrap.sh)")

if(NOT EXISTS ${LIBJPEG_TURBO_SOURCE_DIR}/CMakeLists.txt)
  message(FATAL_ERROR "libjpeg-turbo sources not found in ${LIBJPEG_TURBO_SOURCE_DIR}: "
                      "run scripts/bootstrap.sh as root")
endif()
file(STRINGS ${LIBJPEG_TURBO_SOURCE_DIR}/CMakeLists.txt version_line REGEX "^set\\(VERSION [0-9.]+\\)")
string(REGEX REPLACE "^set\\(VERSION ([0-9.]+)\\)" "\\1" LIBJPEG_TURBO_VERSION "${version_line}")

if(WIN32)
  include(ExternalProject)
  set(prefix ${CMAKE_BINARY_DIR}/libjpeg-turbo)
  set(library ${prefix}/lib/libjpeg.a)
  ExternalProject_Add(libjpeg_turbo_build
    SOURCE_DIR ${LIBJPEG_TURBO_SOURCE_DIR}
    BINARY_DIR ${prefix}/build
    INSTALL_DIR ${prefix}
    CMAKE_ARGS
      -G Ninja
      -DCMAKE_TOOLCHAIN_FILE=${PROJECT_SOURCE_DIR}/cmake/mingw-w64-${CMAKE_SYSTEM_PROCESSOR}.cmake
      -DCMAKE_BUILD_TYPE=Release
      -DCMAKE_INSTALL_PREFIX=<INSTALL_DIR>
      -DCMAKE_ASM_NASM_COMPILER=nasm
      -DENABLE_SHARED=OFF -DENABLE_STATIC=ON -DREQUIRE_SIMD=ON
      -DWITH_TURBOJPEG=OFF -DWITH_ARITH_DEC=OFF -DWITH_ARITH_ENC=OFF
    # The library alone: its tools and test programs are not needed here.
    BUILD_COMMAND ${CMAKE_COMMAND} --build <BINARY_DIR> --target jpeg-static -j 2
    INSTALL_COMMAND
      ${CMAKE_COMMAND} -E copy <BINARY_DIR>/libjpeg.a <INSTALL_DIR>/lib/
      COMMAND ${CMAKE_COMMAND} -E copy <BINARY_DIR>/jconfig.h <SOURCE_DIR>/jpeglib.h <SOURCE_DIR>/jmorecfg.h
              <SOURCE_DIR>/jerror.h <INSTALL_DIR>/include/
    BUILD_BYPRODUCTS ${library}
    LOG_CONFIGURE ON LOG_BUILD ON LOG_OUTPUT_ON_FAILURE ON)
  file(MAKE_DIRECTORY ${prefix}/include ${prefix}/lib)
  add_library(jpeg_turbo STATIC IMPORTED GLOBAL)
  set_target_properties(jpeg_turbo PROPERTIES IMPORTED_LOCATION ${library}
                                              INTERFACE_INCLUDE_DIRECTORIES ${prefix}/include)
  add_dependencies(jpeg_turbo libjpeg_turbo_build)
else()
  find_package(JPEG REQUIRED)
  file(GLOB jconfig /usr/include/jconfig.h /usr/include/*/jconfig.h)
  file(STRINGS "${jconfig}" native_line REGEX "LIBJPEG_TURBO_VERSION +[0-9.]+")
  string(REGEX REPLACE ".*LIBJPEG_TURBO_VERSION +([0-9.]+).*" "\\1" native_version "${native_line}")
  if(NOT native_version VERSION_EQUAL LIBJPEG_TURBO_VERSION)
    message(FATAL_ERROR "libjpeg-turbo ${native_version} installed, sources are ${LIBJPEG_TURBO_VERSION}: "
                        "run scripts/bootstrap.sh as root")
  endif()
  add_library(jpeg_turbo INTERFACE IMPORTED GLOBAL)
  target_link_libraries(jpeg_turbo INTERFACE JPEG::JPEG)
endif()
