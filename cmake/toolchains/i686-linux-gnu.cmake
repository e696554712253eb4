# A 32-bit x86 Linux build with the code generation of the Windows package: the mingw-w64
# i686 target's defaults (i686-w64-mingw32-gcc -Q --help=target): -march=pentiumpro, generic
# tuning, x87 floating point, no MMX or SSE. The package's DLL is not position-independent
# (Windows relocates it by its base relocations), so neither is this build: position-
# independent code on i686 would reserve EBX for the GOT and leave the code one register
# short of what the DLL has. Used for the 32-bit benchmarks (scripts/bench.sh), on Debian
# with gcc-multilib and the i386 libraries the benchmarks link.
set(CMAKE_SYSTEM_NAME Linux)
set(CMAKE_SYSTEM_PROCESSOR i686)
set(CMAKE_C_COMPILER gcc)
set(CMAKE_CXX_COMPILER g++)
set(CMAKE_LIBRARY_ARCHITECTURE i386-linux-gnu)
set(nimbus_i686_flags "-m32 -march=pentiumpro -mtune=generic -mfpmath=387 -mno-mmx -mno-sse -fno-pie")
set(CMAKE_C_FLAGS_INIT "${nimbus_i686_flags}")
set(CMAKE_CXX_FLAGS_INIT "${nimbus_i686_flags}")
set(CMAKE_EXE_LINKER_FLAGS_INIT "-m32 -no-pie")
set(CMAKE_SHARED_LINKER_FLAGS_INIT "-m32")
set(CMAKE_MODULE_LINKER_FLAGS_INIT "-m32")
set(NIMBUS_POSITION_INDEPENDENT_CODE OFF)
# Only the i386 libraries and CMake packages: never the host's 64-bit ones.
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_IGNORE_PATH /usr/lib/x86_64-linux-gnu /usr/lib/x86_64-linux-gnu/cmake)
