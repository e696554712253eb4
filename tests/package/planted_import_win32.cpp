// A DLL shaped like the package (one export, FourDPack) that calls GetTickCount64, which
// Windows XP and 2000 lack: the import check must refuse it, naming that import.
#include <windows.h>

#include <cstdint>

extern "C" __declspec(dllexport) void __cdecl FourDPack(int32_t selector, void**, void*,
                                                        int32_t* result) {
  if (result != nullptr && selector == 34) *result = int32_t(GetTickCount64());
}
