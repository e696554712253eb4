#!/bin/sh
# Link launcher: runs a target's link command with another compiler driver in place of the
# one CMake configured (the first word of the command). Used for the Windows DLL, which links
# with the win32-thread-model driver while the rest of the build uses the posix-model one.
driver="$1"
shift
shift
exec "$driver" "$@"
