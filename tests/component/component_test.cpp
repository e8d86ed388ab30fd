// The library as a host sees it: loaded from its file, registered in a registration file of
// the test's own, instances from its class factory, members called by id.

#include "component/component_abi.h"
#include "component/registry_file.h"
#include "host/component_loader.h"

#include <gtest/gtest.h>
#include <QLibrary>
#include <QSettings>
#include <QTemporaryDir>

namespace {

const QString kLibrary = QStringLiteral(CENTEREMP_LIB_DIR "/libTarvoCenterEmp.so");
const QString kProgId = QStringLiteral("TarvoCenterEmp.CenterEmployee");

class Component : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(dir_.isValid());
        qputenv("CENTEREMP_REGISTRY", dir_.filePath(QStringLiteral("registry.ini")).toUtf8());
        library_.setFileName(kLibrary);
        ASSERT_TRUE(library_.load()) << library_.errorString().toStdString();
        registerServer = reinterpret_cast<DllRegisterServerFn>(library_.resolve("DllRegisterServer"));
        unregisterServer = reinterpret_cast<DllUnregisterServerFn>(library_.resolve("DllUnregisterServer"));
        getClassObject = reinterpret_cast<DllGetClassObjectFn>(library_.resolve("DllGetClassObject"));
        canUnloadNow = reinterpret_cast<DllCanUnloadNowFn>(library_.resolve("DllCanUnloadNow"));
        typeLibrary = reinterpret_cast<DllGetTypeLibraryFn>(library_.resolve("DllGetTypeLibrary"))();
        ASSERT_TRUE(registerServer && unregisterServer && getClassObject && canUnloadNow && typeLibrary);
    }
    void TearDown() override { qunsetenv("CENTEREMP_REGISTRY"); }

    IDispatchLike* create() {
        void* factory = nullptr;
        EXPECT_EQ(getClassObject(typeLibrary->classId, iids::ClassFactory, &factory), hresult::Ok);
        void* object = nullptr;
        EXPECT_EQ(static_cast<IClassFactoryLike*>(factory)->createInstance(iids::Dispatch, &object), hresult::Ok);
        static_cast<IClassFactoryLike*>(factory)->release();
        return static_cast<IDispatchLike*>(object);
    }

    QTemporaryDir dir_;
    QLibrary library_;
    DllRegisterServerFn registerServer = nullptr;
    DllUnregisterServerFn unregisterServer = nullptr;
    DllGetClassObjectFn getClassObject = nullptr;
    DllCanUnloadNowFn canUnloadNow = nullptr;
    const TypeLibraryInfo* typeLibrary = nullptr;
};

TEST_F(Component, RegistrationWritesAndRemovesTheClassEntry) {
    EXPECT_TRUE(registry_file::classIdOf(kProgId).isNull());
    ASSERT_EQ(registerServer(), hresult::Ok);
    const QUuid classId = registry_file::classIdOf(kProgId);
    EXPECT_EQ(classId, typeLibrary->classId);
    EXPECT_TRUE(QFileInfo(registry_file::libraryOf(classId)).exists());
    EXPECT_EQ(QFileInfo(registry_file::libraryOf(classId)).canonicalFilePath(),
              QFileInfo(kLibrary).canonicalFilePath());
    ASSERT_EQ(unregisterServer(), hresult::Ok);
    EXPECT_TRUE(registry_file::classIdOf(kProgId).isNull());
    EXPECT_TRUE(registry_file::libraryOf(classId).isEmpty());
}

TEST_F(Component, TypeLibraryIdentity) {
    EXPECT_EQ(typeLibrary->name, QStringLiteral("TarvoCenterEmp"));
    EXPECT_EQ(typeLibrary->helpString, QStringLiteral("TarvoCenterEmp"));
    EXPECT_EQ(typeLibrary->majorVersion, 1);
    EXPECT_EQ(typeLibrary->minorVersion, 1);
    EXPECT_EQ(typeLibrary->locale, 0x409u);
    EXPECT_EQ(typeLibrary->className, QStringLiteral("CenterEmployee"));
    EXPECT_EQ(typeLibrary->defaultInterface, QStringLiteral("_CenterEmployee"));
    EXPECT_EQ(typeLibrary->eventInterface, QStringLiteral("__CenterEmployee"));
    const QUuid ids[] = {typeLibrary->libraryId, typeLibrary->classId, typeLibrary->defaultInterfaceId,
                         typeLibrary->eventInterfaceId};
    for (size_t i = 0; i < 4; ++i) {
        EXPECT_FALSE(ids[i].isNull());
        for (size_t j = i + 1; j < 4; ++j) EXPECT_NE(ids[i], ids[j]);
    }
    const std::tuple<const char*, std::int32_t, InvokeKind, const char*> members[] = {
        {"SaveToDatabase", 0x60030015, InvokeKind::Method, ""},
        {"CenterID", 0x68030001, InvokeKind::PropertyPut, "ptVendorID"},
        {"ServerName", 0x68030000, InvokeKind::PropertyPut, "PtServerName"},
        {"urlEncode", 0x6003002B, InvokeKind::Method, "theData"},
    };
    ASSERT_EQ(typeLibrary->members.size(), 4u);
    for (size_t i = 0; i < 4; ++i) {
        const auto& [name, id, kind, parameter] = members[i];
        EXPECT_EQ(typeLibrary->members[i].name, QString::fromUtf8(name));
        EXPECT_EQ(typeLibrary->members[i].dispId, id);
        EXPECT_EQ(typeLibrary->members[i].kind, kind);
        EXPECT_EQ(typeLibrary->members[i].parameters.value(0), QString::fromUtf8(parameter));
    }
}

TEST_F(Component, DispatchByNameAndById) {
    IDispatchLike* control = create();
    ASSERT_NE(control, nullptr);
    const std::pair<const char*, std::int32_t> names[] = {{"SaveToDatabase", 0x60030015},
                                                          {"CenterID", 0x68030001},
                                                          {"ServerName", 0x68030000},
                                                          {"urlEncode", 0x6003002B}};
    for (const auto& [name, id] : names) {
        std::int32_t found = 0;
        EXPECT_EQ(control->getIDsOfNames(QString::fromUtf8(name), &found), hresult::Ok);
        EXPECT_EQ(found, id);
    }
    std::int32_t none = 0;
    EXPECT_EQ(control->getIDsOfNames(QStringLiteral("Refresh"), &none), hresult::UnknownName);

    QVariantList arguments{QStringLiteral("a b~")};
    QVariant result;
    ExceptionInfo error;
    EXPECT_EQ(control->invoke(0x6003002B, InvokeKind::Method, arguments, &result, &error), hresult::Ok);
    EXPECT_EQ(result.toString(), QStringLiteral("a+b%7E"));
    EXPECT_EQ(arguments[0].toString(), QStringLiteral("a b~"));  // the caller's text is left as it was

    // Write-only properties cannot be read.
    QVariantList none_;
    EXPECT_EQ(control->invoke(0x68030001, InvokeKind::PropertyGet, none_, &result, &error), hresult::MemberNotFound);
    EXPECT_EQ(control->invoke(0x68030000, InvokeKind::PropertyGet, none_, &result, &error), hresult::MemberNotFound);
    EXPECT_EQ(control->invoke(0x7FFF, InvokeKind::Method, none_, &result, &error), hresult::MemberNotFound);
    EXPECT_EQ(control->invoke(0x60030015, InvokeKind::Method, arguments, &result, &error), hresult::BadParamCount);

    // A failed CenterID assignment comes back as the error it raised.
    QVariantList bad{QStringLiteral("abc")};
    EXPECT_EQ(control->invoke(0x68030001, InvokeKind::PropertyPut, bad, nullptr, &error), hresult::Exception);
    EXPECT_EQ(error.number, 13);
    QVariantList big{QStringLiteral("99999999999")};
    EXPECT_EQ(control->invoke(0x68030001, InvokeKind::PropertyPut, big, nullptr, &error), hresult::Exception);
    EXPECT_EQ(error.number, 6);
    QVariantList good{QStringLiteral(" 42 ")};
    EXPECT_EQ(control->invoke(0x68030001, InvokeKind::PropertyPut, good, nullptr, &error), hresult::Ok);
    control->release();
}

TEST_F(Component, UnloadOnlyWithoutLiveObjectsOrLocks) {
    EXPECT_EQ(canUnloadNow(), hresult::Ok);
    IDispatchLike* control = create();
    EXPECT_EQ(canUnloadNow(), hresult::False);
    void* window = nullptr;
    ASSERT_EQ(control->queryInterface(iids::ControlWindow, &window), hresult::Ok);
    control->release();
    EXPECT_EQ(canUnloadNow(), hresult::False);  // the window interface still holds it
    static_cast<IControlWindowLike*>(window)->release();
    EXPECT_EQ(canUnloadNow(), hresult::Ok);

    void* factory = nullptr;
    ASSERT_EQ(getClassObject(typeLibrary->classId, iids::ClassFactory, &factory), hresult::Ok);
    static_cast<IClassFactoryLike*>(factory)->lockServer(true);
    EXPECT_EQ(canUnloadNow(), hresult::False);
    static_cast<IClassFactoryLike*>(factory)->lockServer(false);
    static_cast<IClassFactoryLike*>(factory)->release();
    EXPECT_EQ(canUnloadNow(), hresult::Ok);
}

TEST_F(Component, UnknownClassesAndInterfacesAreRefused) {
    void* object = nullptr;
    EXPECT_EQ(getClassObject(QUuid::createUuid(), iids::ClassFactory, &object), hresult::ClassNotAvailable);
    EXPECT_EQ(object, nullptr);
    IDispatchLike* control = create();
    EXPECT_EQ(control->queryInterface(QUuid::createUuid(), &object), hresult::NoInterface);
    control->release();
}

TEST_F(Component, TheHostLoaderRegistersWhenNeeded) {
    ComponentLoader loader(kLibrary);
    QString error;
    IDispatchLike* control = loader.create(kProgId, &error);
    ASSERT_NE(control, nullptr) << error.toStdString();
    EXPECT_FALSE(registry_file::classIdOf(kProgId).isNull());
    EXPECT_EQ(putProperty(*control, QStringLiteral("CenterID"), QStringLiteral("x"))->number, 13);
    EXPECT_FALSE(putProperty(*control, QStringLiteral("CenterID"), QStringLiteral("3")).has_value());
    control->release();
}

}  // namespace
