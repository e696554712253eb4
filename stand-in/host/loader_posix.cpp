// The POSIX loader: dlopen by path, dlsym by name; the descriptor limit through setrlimit.
#include <dlfcn.h>
#include <sys/resource.h>

#include "library_loader.h"

namespace standin {

void* OpenLibrary(const std::string& path, std::string* error) {
  // RTLD_LOCAL: the package's own symbols stay its own, as with a Windows DLL.
  void* library = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
  if (library == nullptr && error != nullptr) {
    const char* why = dlerror();
    *error = why != nullptr ? why : "unknown loader error";
  }
  return library;
}

void* FindExport(void* library, const char* name) {
  return dlsym(library, name);
}

void CloseLibrary(void* library) {
  if (library != nullptr) dlclose(library);
}

void RaiseOpenFileLimit() {
  rlimit limit{};
  if (getrlimit(RLIMIT_NOFILE, &limit) != 0) return;
  if (limit.rlim_cur == limit.rlim_max) return;
  limit.rlim_cur = limit.rlim_max;
  setrlimit(RLIMIT_NOFILE, &limit);
}

}  // namespace standin
