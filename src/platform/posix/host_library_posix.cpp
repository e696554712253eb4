// Exports of a loaded shared library, through dlopen with RTLD_NOLOAD and dlsym.
#include <dlfcn.h>

#include <cstdio>

#include "platform/host_library.h"

namespace nimbus::platform {

void* HostLibrarySymbol(const char* libraryBaseName, const char* exportName) {
  if (libraryBaseName == nullptr || exportName == nullptr) return nullptr;
  // A fixed buffer, as in the Windows build, where std::string would pull more of the C++
  // runtime into the DLL.
  char file[256];
  const int length = std::snprintf(file, sizeof file, "%s.so", libraryBaseName);
  if (length < 0 || size_t(length) >= sizeof file) return nullptr;
  // RTLD_NOLOAD: only a library the host has loaded already; the reference it takes is
  // handed back at once, the host's own keeps the library mapped.
  void* library = dlopen(file, RTLD_NOLOAD | RTLD_LAZY);
  if (library == nullptr) return nullptr;
  // The process's first definition of the name, as the dynamic loader binds an import: a
  // program that defines a service ahead of the library (a benchmark that counts yields)
  // receives the package's calls, as it did when the package imported the service.
  void* address = dlsym(RTLD_DEFAULT, exportName);
  if (address == nullptr) address = dlsym(library, exportName);  // loaded RTLD_LOCAL
  dlclose(library);
  return address;
}

}  // namespace nimbus::platform
