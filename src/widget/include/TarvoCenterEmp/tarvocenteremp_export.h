#pragma once

// Marks what the TarvoCenterEmp library exports: its public classes and its entry points.
// Everything else in the library is hidden.
#if defined(_WIN32)
#if defined(TARVOCENTEREMP_BUILDING)
#define TARVOCENTEREMP_EXPORT __declspec(dllexport)
#else
#define TARVOCENTEREMP_EXPORT __declspec(dllimport)
#endif
#else
#define TARVOCENTEREMP_EXPORT __attribute__((visibility("default")))
#endif

// The library's version, as the CMake package and the pkg-config file give it.
#define TARVOCENTEREMP_VERSION_MAJOR 1
#define TARVOCENTEREMP_VERSION_MINOR 0
#define TARVOCENTEREMP_VERSION_PATCH 6
