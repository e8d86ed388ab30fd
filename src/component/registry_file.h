#pragma once

// The per-user registration file: which library serves which class. Shared by the runtime,
// which writes it, and hosts, which read it.

#include <QDir>
#include <QSettings>
#include <QStandardPaths>
#include <QString>
#include <QUuid>

namespace registry_file {

// CENTEREMP_REGISTRY names another file, so that tests and side-by-side installs keep their
// registrations apart.
inline QString path() {
    const QString overridden = qEnvironmentVariable("CENTEREMP_REGISTRY");
    if (!overridden.isEmpty()) return overridden;
    return QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation) +
           QStringLiteral("/TarvoCenterEmp/registry.ini");
}

inline QString classKey(const QUuid& classId) {
    return QStringLiteral("CLSID/") + classId.toString(QUuid::WithBraces).toUpper();
}

inline QString progIdKey(const QString& progId) { return QStringLiteral("ProgID/") + progId; }

inline QSettings open() {
    QDir().mkpath(QFileInfo(path()).absolutePath());
    return {path(), QSettings::IniFormat};
}

// The class registered under a programmatic name, or a null id.
inline QUuid classIdOf(const QString& progId) {
    QSettings settings = open();
    return QUuid::fromString(settings.value(progIdKey(progId) + QStringLiteral("/CLSID")).toString());
}

// The library file that serves a class, or an empty text.
inline QString libraryOf(const QUuid& classId) {
    QSettings settings = open();
    return settings.value(classKey(classId) + QStringLiteral("/InprocServer")).toString();
}

}  // namespace registry_file
