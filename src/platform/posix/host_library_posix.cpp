// Exports of a loaded shared library, through dlopen with RTLD_NOLOAD and dlsym.
#include <dlfcn.h>

#include <cstdio>

#include "platform/host_library.h"

namespace nimbus::platform {

void* HostLibrarySymbol(const char* libraryBaseName, const char* exportName) {
  if (libraryBaseName == nullptr || exportName == nullptr) return nullptr;
  // A fixed buffer, not std::string: the DLL's C++ runtime stays small (no string class
  // pulled in with what it brings).
  char file[256];
  const int length = std::snprintf(file, sizeof file, "%s.so", libraryBaseName);
  if (length < 0 || size_t(length) >= sizeof file) return nullptr;
  // RTLD_NOLOAD: only a library the host has loaded already; the reference it takes is
  // handed back at once, the host's own keeps the library mapped.
  void* library = dlopen(file, RTLD_NOLOAD | RTLD_LAZY);
  if (library == nullptr) return nullptr;
  // Searching this one library (not the global scope) keeps a same-named function of the
  // process itself from being taken for the service.
  void* address = dlsym(library, exportName);
  dlclose(library);
  return address;
}

}  // namespace nimbus::platform
