#include "component/runtime.h"

#include "component/registry_file.h"

#include <atomic>

namespace component_runtime {
namespace {

std::atomic<int> liveObjects{0};
std::atomic<int> serverLocks{0};

class ClassFactory final : public IClassFactoryLike {
public:
    explicit ClassFactory(const ClassEntry& entry) : entry_(entry) {}

    HResult queryInterface(const QUuid& iid, void** object) override {
        if (!object) return hresult::Pointer;
        *object = nullptr;
        if (iid != iids::Unknown && iid != iids::ClassFactory) return hresult::NoInterface;
        *object = static_cast<IClassFactoryLike*>(this);
        addRef();
        return hresult::Ok;
    }
    std::uint32_t addRef() override { return ++references_; }
    std::uint32_t release() override {
        const std::uint32_t left = --references_;
        if (left == 0) delete this;
        return left;
    }
    HResult createInstance(const QUuid& iid, void** object) override {
        if (!object) return hresult::Pointer;
        *object = nullptr;
        IUnknownLike* instance = entry_.create();
        if (!instance) return hresult::Fail;
        const HResult result = instance->queryInterface(iid, object);
        instance->release();  // the caller's reference, if any, keeps it alive
        return result;
    }
    HResult lockServer(bool lock) override {
        lock ? ++serverLocks : --serverLocks;
        return hresult::Ok;
    }

private:
    const ClassEntry& entry_;
    std::atomic<std::uint32_t> references_{0};
};

}  // namespace

HResult registerServer(const ClassTable& table, const QString& libraryPath) {
    QSettings settings = registry_file::open();
    const TypeLibraryInfo& library = *table.typeLibrary;
    for (const ClassEntry& entry : table.classes) {
        const QString key = registry_file::classKey(entry.classId);
        settings.setValue(key + QStringLiteral("/ProgID"), entry.progId);
        settings.setValue(key + QStringLiteral("/InprocServer"), libraryPath);
        settings.setValue(key + QStringLiteral("/TypeLib"), library.libraryId.toString(QUuid::WithBraces).toUpper());
        settings.setValue(key + QStringLiteral("/Version"),
                          QStringLiteral("%1.%2").arg(library.majorVersion).arg(library.minorVersion));
        settings.setValue(registry_file::progIdKey(entry.progId) + QStringLiteral("/CLSID"),
                          entry.classId.toString(QUuid::WithBraces).toUpper());
    }
    settings.sync();
    return settings.status() == QSettings::NoError ? hresult::Ok : hresult::SelfRegClass;
}

HResult unregisterServer(const ClassTable& table) {
    QSettings settings = registry_file::open();
    for (const ClassEntry& entry : table.classes) {
        settings.remove(registry_file::classKey(entry.classId));
        settings.remove(registry_file::progIdKey(entry.progId));
    }
    settings.sync();
    return settings.status() == QSettings::NoError ? hresult::Ok : hresult::SelfRegClass;
}

HResult getClassObject(const ClassTable& table, const QUuid& classId, const QUuid& iid, void** object) {
    if (!object) return hresult::Pointer;
    *object = nullptr;
    for (const ClassEntry& entry : table.classes) {
        if (entry.classId != classId) continue;
        auto* factory = new ClassFactory(entry);
        factory->addRef();
        const HResult result = factory->queryInterface(iid, object);
        factory->release();
        return result;
    }
    return hresult::ClassNotAvailable;
}

HResult canUnloadNow() { return liveObjects == 0 && serverLocks == 0 ? hresult::Ok : hresult::False; }

void objectCreated() { ++liveObjects; }
void objectDestroyed() { --liveObjects; }

}  // namespace component_runtime
