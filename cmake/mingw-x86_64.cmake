# The same cross build for 64-bit Windows, for machines that cannot run
# 32-bit programs (and so no 32-bit Wine): the tests then run on this build.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)
set(CMAKE_C_COMPILER x86_64-w64-mingw32-gcc-posix)
set(CMAKE_CXX_COMPILER x86_64-w64-mingw32-g++-posix)
set(CMAKE_RC_COMPILER x86_64-w64-mingw32-windres)
set(CMAKE_FIND_ROOT_PATH /usr/x86_64-w64-mingw32)
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
# The build machine's CMake packages (its GoogleTest) are not for this target.
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)
# "wine" runs 64-bit programs once scripts/winenv.sh has put its 64-bit
# loader first on PATH.
set(CMAKE_CROSSCOMPILING_EMULATOR wine)
