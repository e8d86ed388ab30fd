#pragma once

#include "component/component_abi.h"

#include <QLibrary>
#include <QString>
#include <memory>
#include <optional>

// Creates controls the way any host does: finds the class in the registration file, registering
// the library first when it is not there, loads the library and asks its class factory.
class ComponentLoader {
public:
    // libraryToRegister: the library file to register when the class is not registered yet.
    explicit ComponentLoader(QString libraryToRegister) : libraryToRegister_(std::move(libraryToRegister)) {}
    ~ComponentLoader();

    // A new instance's dispatch interface (one reference held by the caller), or nullptr with
    // the reason in error.
    IDispatchLike* create(const QString& progId, QString* error);
    const TypeLibraryInfo* typeLibrary() const { return typeLibrary_; }

private:
    bool registerLibrary(QString* error);

    QString libraryToRegister_;
    QLibrary library_;
    const TypeLibraryInfo* typeLibrary_ = nullptr;
};

// Assigns a property by name through the dispatch interface; returns the error raised, if any.
std::optional<ExceptionInfo> putProperty(IDispatchLike& object, const QString& name, const QString& value);
// Calls a method by name; the result, or the error raised.
QVariant callMethod(IDispatchLike& object, const QString& name, QVariantList arguments, ExceptionInfo* error,
                    bool* failed);
