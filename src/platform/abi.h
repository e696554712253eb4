// Calling convention and symbol visibility of the package's one entry point and of the
// toolbox library it links against. The only place that knows which system we build for.
#pragma once

#ifdef _WIN32
#define NIMBUS_CALL __cdecl
#define NIMBUS_EXPORT __declspec(dllexport)
#ifdef TOOLBOX_BUILDING
#define TOOLBOX_API __declspec(dllexport)
#else
#define TOOLBOX_API __declspec(dllimport)
#endif
#else
#define NIMBUS_CALL
#define NIMBUS_EXPORT __attribute__((visibility("default")))
#define TOOLBOX_API __attribute__((visibility("default")))
#endif
