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

// The version macros, which this header used to hold.
#include <TarvoCenterEmp/tarvocenteremp_version.h>
