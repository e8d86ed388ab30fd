#pragma once

#include <QObject>
#include <QString>

// The intrinsic child controls as state objects. Handlers read and write these; Qt widgets
// draw them and report what the operator does. Each raises `changed` when its state changes.

// System-colour codes of the platform: the window background and the button face.
inline constexpr quint32 kColorWindow = 0x80000005;
inline constexpr quint32 kColorButtonFace = 0x8000000F;

class ChildControl : public QObject {
    Q_OBJECT
public:
    explicit ChildControl(QString name) : name_(std::move(name)) {}
    const QString& name() const { return name_; }

signals:
    void changed();

private:
    QString name_;
};
