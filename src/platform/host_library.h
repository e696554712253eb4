// Exports of a library the host process has already loaded, found by name at run time.
#pragma once

namespace nimbus::platform {

// The address of exportName in the loaded library libraryBaseName ("ASINTPPC": ASINTPPC.DLL
// on Windows, ASINTPPC.so elsewhere); null when no such library is loaded or it has no such
// export. Never loads a library and never keeps one loaded.
void* HostLibrarySymbol(const char* libraryBaseName, const char* exportName);

}  // namespace nimbus::platform
