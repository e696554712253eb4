// The Windows loader: LoadLibraryA by path, GetProcAddress by name. Windows has no limit on
// open sockets to raise.
#include <windows.h>

#include "library_loader.h"

namespace standin {

void* OpenLibrary(const std::string& path, std::string* error) {
  HMODULE library = LoadLibraryA(path.c_str());
  if (library == nullptr && error != nullptr) {
    const DWORD code = GetLastError();
    char text[512] = {};
    const DWORD length = FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
                                        nullptr, code, 0, text, sizeof(text), nullptr);
    std::string why(text, length);
    while (!why.empty() && (why.back() == '\n' || why.back() == '\r' || why.back() == ' ')) {
      why.pop_back();
    }
    *error = "error " + std::to_string(code) + (why.empty() ? "" : ": " + why);
  }
  return reinterpret_cast<void*>(library);
}

void* FindExport(void* library, const char* name) {
  return reinterpret_cast<void*>(GetProcAddress(static_cast<HMODULE>(library), name));
}

void CloseLibrary(void* library) {
  if (library != nullptr) FreeLibrary(static_cast<HMODULE>(library));
}

void RaiseOpenFileLimit() {}

}  // namespace standin
