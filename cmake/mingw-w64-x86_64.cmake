# Cross-builds for 64-bit Windows with mingw-w64; the programs and tests run
# under Wine on the build machine.
#
#   cmake --preset windows    (or -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64-x86_64.cmake)
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

# The posix thread model: GoogleTest needs std::mutex, which this compiler's
# win32 model lacks. winpthreads is linked in statically with the rest of
# the runtime, so the programs still need no MinGW DLL.
set(GLYPHREEL_MINGW_PREFIX x86_64-w64-mingw32)
set(CMAKE_C_COMPILER ${GLYPHREEL_MINGW_PREFIX}-gcc-posix)
set(CMAKE_CXX_COMPILER ${GLYPHREEL_MINGW_PREFIX}-g++-posix)
set(CMAKE_RC_COMPILER ${GLYPHREEL_MINGW_PREFIX}-windres)

set(CMAKE_FIND_ROOT_PATH /usr/${GLYPHREEL_MINGW_PREFIX})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# ctest and add_custom_command run the .exe files through Wine.
find_program(GLYPHREEL_WINE NAMES wine wine64)
if(GLYPHREEL_WINE)
  set(CMAKE_CROSSCOMPILING_EMULATOR ${GLYPHREEL_WINE})
endif()
