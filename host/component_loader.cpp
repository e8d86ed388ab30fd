#include "host/component_loader.h"

#include "component/registry_file.h"

#include <QFileInfo>

namespace {

// What a host reports when the object has no member of that name, or cannot be asked.
ExceptionInfo notSupported(const QString& name) {
    return {438, name, QStringLiteral("Object doesn't support this property or method")};
}

}  // namespace

ComponentLoader::~ComponentLoader() = default;  // the library stays loaded while the process lives

bool ComponentLoader::registerLibrary(QString* error) {
    QLibrary library(libraryToRegister_);
    const auto registerServer = reinterpret_cast<DllRegisterServerFn>(library.resolve("DllRegisterServer"));
    if (!registerServer) {
        *error = QStringLiteral("cannot load %1: %2").arg(libraryToRegister_, library.errorString());
        return false;
    }
    const HResult result = registerServer();
    if (result != hresult::Ok) {
        *error = QStringLiteral("DllRegisterServer of %1 failed (0x%2)")
                     .arg(libraryToRegister_)
                     .arg(quint32(result), 8, 16, QLatin1Char('0'));
        return false;
    }
    return true;
}

IDispatchLike* ComponentLoader::create(const QString& progId, QString* error) {
    QUuid classId = registry_file::classIdOf(progId);
    QString path = classId.isNull() ? QString() : registry_file::libraryOf(classId);
    if (classId.isNull() || path.isEmpty() || !QFileInfo::exists(path)) {
        if (!registerLibrary(error)) return nullptr;
        classId = registry_file::classIdOf(progId);
        path = registry_file::libraryOf(classId);
        if (classId.isNull() || path.isEmpty()) {
            *error = QStringLiteral("%1 is not registered by %2").arg(progId, libraryToRegister_);
            return nullptr;
        }
    }

    library_.setFileName(path);
    const auto getClassObject = reinterpret_cast<DllGetClassObjectFn>(library_.resolve("DllGetClassObject"));
    if (!getClassObject) {
        *error = QStringLiteral("cannot load %1: %2").arg(path, library_.errorString());
        return nullptr;
    }
    if (const auto getTypeLibrary = reinterpret_cast<DllGetTypeLibraryFn>(library_.resolve("DllGetTypeLibrary")))
        typeLibrary_ = getTypeLibrary();

    void* factoryPointer = nullptr;
    if (getClassObject(classId, iids::ClassFactory, &factoryPointer) != hresult::Ok) {
        *error = QStringLiteral("%1 offers no class factory for %2").arg(path, progId);
        return nullptr;
    }
    auto* factory = static_cast<IClassFactoryLike*>(factoryPointer);
    void* instance = nullptr;
    const HResult created = factory->createInstance(iids::Dispatch, &instance);
    factory->release();
    if (created != hresult::Ok) {
        *error = QStringLiteral("the class factory of %1 could not create an instance").arg(progId);
        return nullptr;
    }
    return static_cast<IDispatchLike*>(instance);
}

std::optional<ExceptionInfo> putProperty(IDispatchLike& object, const QString& name, const QString& value) {
    std::int32_t dispId = 0;
    if (object.getIDsOfNames(name, &dispId) != hresult::Ok) return notSupported(name);
    QVariantList arguments{value};
    ExceptionInfo exception;
    const HResult result = object.invoke(dispId, InvokeKind::PropertyPut, arguments, nullptr, &exception);
    if (result == hresult::Ok) return std::nullopt;
    if (result != hresult::Exception) exception = notSupported(name);
    return exception;
}

QVariant callMethod(IDispatchLike& object, const QString& name, QVariantList arguments, ExceptionInfo* error,
                    bool* failed) {
    *failed = false;
    std::int32_t dispId = 0;
    QVariant result;
    HResult status = object.getIDsOfNames(name, &dispId);
    if (status == hresult::Ok) status = object.invoke(dispId, InvokeKind::Method, arguments, &result, error);
    if (status != hresult::Ok) {
        *failed = true;
        if (status != hresult::Exception) *error = notSupported(name);
    }
    return result;
}
