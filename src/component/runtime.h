#pragma once

#include "component/component_abi.h"

#include <functional>
#include <vector>

// The component runtime behind a library's entry points: registration in the per-user
// registration file, class factories for the library's classes, and the count of live objects
// and locks that decides whether the library may be unloaded.
namespace component_runtime {

struct ClassEntry {
    QString progId;
    QUuid classId;
    std::function<IUnknownLike*()> create;  // a new instance holding one reference
};

struct ClassTable {
    const TypeLibraryInfo* typeLibrary;
    std::vector<ClassEntry> classes;
};

HResult registerServer(const ClassTable& table, const QString& libraryPath);
HResult unregisterServer(const ClassTable& table);
HResult getClassObject(const ClassTable& table, const QUuid& classId, const QUuid& iid, void** object);
HResult canUnloadNow();

// Live-object accounting, called by every object the library hands out.
void objectCreated();
void objectDestroyed();

}  // namespace component_runtime
