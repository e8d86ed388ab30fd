// The library's four standard entry points, and its type library, handing over to the
// component runtime with this library's class table.

#include "component/center_employee_object.h"
#include "component/component_abi.h"
#include "component/runtime.h"

#include <dlfcn.h>

#define CENTEREMP_EXPORT extern "C" __attribute__((visibility("default")))

namespace {

const TypeLibraryInfo& typeLibrary() {
    static const TypeLibraryInfo library{
        QStringLiteral("TarvoCenterEmp"),
        QStringLiteral("TarvoCenterEmp"),
        QUuid(QStringLiteral("{94C7DE57-B775-4A46-ADE2-672795A97BD7}")),
        1,
        1,
        0x409,
        QStringLiteral("CenterEmployee"),
        QUuid(QStringLiteral("{482C5B7B-8C89-4782-A3B0-C8A9A5DC11DC}")),
        QStringLiteral("_CenterEmployee"),
        QUuid(QStringLiteral("{6470AE0B-7E8D-4B72-A8E9-AD26681E7710}")),
        QStringLiteral("__CenterEmployee"),
        QUuid(QStringLiteral("{F87C3A98-7211-4DD0-A4FA-A9001737EC5C}")),
        {
            {QStringLiteral("SaveToDatabase"), CenterEmployeeObject::DispIdSaveToDatabase, InvokeKind::Method, {}},
            {QStringLiteral("CenterID"),
             CenterEmployeeObject::DispIdCenterID,
             InvokeKind::PropertyPut,
             {QStringLiteral("ptVendorID")}},
            {QStringLiteral("ServerName"),
             CenterEmployeeObject::DispIdServerName,
             InvokeKind::PropertyPut,
             {QStringLiteral("PtServerName")}},
            {QStringLiteral("urlEncode"),
             CenterEmployeeObject::DispIdUrlEncode,
             InvokeKind::Method,
             {QStringLiteral("theData")}},
        },
    };
    return library;
}

const component_runtime::ClassTable& classTable() {
    static const component_runtime::ClassTable table{
        &typeLibrary(),
        {{QStringLiteral("TarvoCenterEmp.CenterEmployee"), typeLibrary().classId,
          [] {
              auto* object = new CenterEmployeeObject;
              object->addRef();
              return static_cast<IUnknownLike*>(static_cast<IDispatchLike*>(object));
          }}},
    };
    return table;
}

QString thisLibraryPath() {
    Dl_info info{};
    if (dladdr(reinterpret_cast<const void*>(&classTable), &info) == 0 || !info.dli_fname) return {};
    return QString::fromLocal8Bit(info.dli_fname);
}

}  // namespace

CENTEREMP_EXPORT HResult DllRegisterServer() {
    const QString path = thisLibraryPath();
    if (path.isEmpty()) return hresult::SelfRegClass;
    return component_runtime::registerServer(classTable(), path);
}

CENTEREMP_EXPORT HResult DllUnregisterServer() { return component_runtime::unregisterServer(classTable()); }

CENTEREMP_EXPORT HResult DllGetClassObject(const QUuid& classId, const QUuid& iid, void** object) {
    return component_runtime::getClassObject(classTable(), classId, iid, object);
}

CENTEREMP_EXPORT HResult DllCanUnloadNow() { return component_runtime::canUnloadNow(); }

CENTEREMP_EXPORT const TypeLibraryInfo* DllGetTypeLibrary() { return &typeLibrary(); }
