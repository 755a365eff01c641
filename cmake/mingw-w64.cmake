# Cross-build for Windows with MinGW-w64, shared by the two toolchain files, which set
# MINGW_TRIPLET (i686-w64-mingw32 or x86_64-w64-mingw32) and CMAKE_SYSTEM_PROCESSOR first.
# Everything is linked statically: a data source that needs MinGW runtime DLLs is silently
# dropped by source managers.
set(CMAKE_SYSTEM_NAME Windows)

# The -posix compilers give std::thread and std::mutex, which GoogleTest uses.
set(CMAKE_C_COMPILER   ${MINGW_TRIPLET}-gcc-posix)
set(CMAKE_CXX_COMPILER ${MINGW_TRIPLET}-g++-posix)
set(CMAKE_RC_COMPILER  ${MINGW_TRIPLET}-windres)
set(CMAKE_AR           /usr/bin/${MINGW_TRIPLET}-ar CACHE FILEPATH "")
set(CMAKE_RANLIB       /usr/bin/${MINGW_TRIPLET}-ranlib CACHE FILEPATH "")
set(DLLTOOL            ${MINGW_TRIPLET}-dlltool)
set(MINGW_OBJDUMP      /usr/bin/${MINGW_TRIPLET}-objdump)

set(CMAKE_FIND_ROOT_PATH /usr/${MINGW_TRIPLET})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)

set(CMAKE_EXE_LINKER_FLAGS_INIT    "-static")
set(CMAKE_SHARED_LINKER_FLAGS_INIT "-static")
set(CMAKE_MODULE_LINKER_FLAGS_INIT "-static")
# Release images carry no symbols (a 600 KB source shrinks to about a third).
set(CMAKE_SHARED_LINKER_FLAGS_RELEASE_INIT "-s")
set(CMAKE_MODULE_LINKER_FLAGS_RELEASE_INIT "-s")
set(CMAKE_EXE_LINKER_FLAGS_RELEASE_INIT "-s")
