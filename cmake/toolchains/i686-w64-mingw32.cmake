# Cross-compiling the 32-bit Windows package and its stand-in world with mingw-w64.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR i686)
set(CMAKE_C_COMPILER i686-w64-mingw32-gcc)
set(CMAKE_CXX_COMPILER i686-w64-mingw32-g++-posix)
set(CMAKE_RC_COMPILER i686-w64-mingw32-windres)
set(CMAKE_FIND_ROOT_PATH /usr/i686-w64-mingw32)
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_CROSSCOMPILING_EMULATOR wine)
# The package DLL links with the win32 thread model: its runtime then uses Windows' own
# critical sections instead of winpthread, whose static library adds a TLS callback and
# kernel imports that Windows 2000 lacks. The stand-ins and tests use std::thread, which
# GCC 12 offers only in the posix model.
set(NIMBUS_PACKAGE_LINK_DRIVER i686-w64-mingw32-g++-win32)
