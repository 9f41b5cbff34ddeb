# Cross toolchain: Windows x64 programs built on Linux with MinGW-w64, run under Wine for the tests.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)
set(KERF_MINGW x86_64-w64-mingw32)
# The "posix" thread model: GoogleTest (and std::mutex, std::thread) need it; the "win32" model
# that Debian selects by default has no std::mutex. winpthread is linked statically with -static.
set(CMAKE_C_COMPILER ${KERF_MINGW}-gcc-posix)
set(CMAKE_CXX_COMPILER ${KERF_MINGW}-g++-posix)
set(CMAKE_RC_COMPILER ${KERF_MINGW}-windres)
set(CMAKE_FIND_ROOT_PATH /usr/${KERF_MINGW})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_CROSSCOMPILING_EMULATOR ${CMAKE_CURRENT_LIST_DIR}/../scripts/wine-run.sh)
