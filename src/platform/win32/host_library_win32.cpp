// Exports of a loaded DLL, through GetModuleHandleA and GetProcAddress (both Windows 95/NT
// 3.1 and later).
#include <windows.h>

#include <cstdio>

#include "platform/host_library.h"

namespace nimbus::platform {

void* HostLibrarySymbol(const char* libraryBaseName, const char* exportName) {
  if (libraryBaseName == nullptr || exportName == nullptr) return nullptr;
  // A fixed buffer, not std::string: the DLL's C++ runtime stays small (no string class
  // pulled in with what it brings).
  char file[256];
  const int length = std::snprintf(file, sizeof file, "%s.DLL", libraryBaseName);
  if (length < 0 || size_t(length) >= sizeof file) return nullptr;
  // GetModuleHandleA takes no reference and never loads: only a DLL the host has loaded.
  HMODULE library = GetModuleHandleA(file);
  if (library == nullptr) return nullptr;
  return reinterpret_cast<void*>(GetProcAddress(library, exportName));
}

}  // namespace nimbus::platform
