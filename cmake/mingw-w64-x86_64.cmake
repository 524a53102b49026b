# Cross-building the Windows pieces with Debian's mingw-w64 (64-bit, posix threads).
#   cmake -S . -B build-windows -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64-x86_64.cmake -DVORMEX_GUI=OFF
# The executables link statically, so Wine runs them without any DLL of the tool chain.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

set(VORMEX_MINGW_PREFIX x86_64-w64-mingw32)
# The posix thread model: GCC 12's win32 model has no std::mutex, which GoogleTest needs.
set(CMAKE_C_COMPILER ${VORMEX_MINGW_PREFIX}-gcc-posix)
set(CMAKE_CXX_COMPILER ${VORMEX_MINGW_PREFIX}-g++-posix)
set(CMAKE_RC_COMPILER ${VORMEX_MINGW_PREFIX}-windres)

set(CMAKE_FIND_ROOT_PATH /usr/${VORMEX_MINGW_PREFIX})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

set(CMAKE_EXE_LINKER_FLAGS_INIT "-static")
set(CMAKE_CROSSCOMPILING_EMULATOR wine)
