// The OS loader, as the host uses it: open a library by file name, find an export by name,
// close it. One implementation per system (loader_posix.cpp, loader_win32.cpp).
#pragma once

#include <string>

namespace standin {

// An open library, or null. On failure `error` says why, in the system's words.
void* OpenLibrary(const std::string& path, std::string* error);
void* FindExport(void* library, const char* name);
void CloseLibrary(void* library);

// Raises the limit on open files to its hard maximum (nothing to do where there is none),
// so that a package holding a thousand sockets does not run out of descriptors.
void RaiseOpenFileLimit();

}  // namespace standin
