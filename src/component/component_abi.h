#pragma once

// The binary interface between the component library and its hosts: reference-counted objects
// found by interface identifier, a class factory, late-bound calls by member id, and the
// library's exported entry points. Hosts include only this header and load the library.

#include <QString>
#include <QUuid>
#include <QVariant>
#include <QVariantList>
#include <cstdint>
#include <vector>

class QWidget;

using HResult = std::int32_t;

namespace hresult {
inline constexpr HResult Ok = 0;
inline constexpr HResult False = 1;
inline constexpr HResult NoInterface = HResult(0x80004002u);
inline constexpr HResult Pointer = HResult(0x80004003u);
inline constexpr HResult Fail = HResult(0x80004005u);
inline constexpr HResult ClassNotAvailable = HResult(0x80040111u);
inline constexpr HResult SelfRegClass = HResult(0x80040201u);
inline constexpr HResult MemberNotFound = HResult(0x80020003u);
inline constexpr HResult UnknownName = HResult(0x80020006u);
inline constexpr HResult Exception = HResult(0x80020009u);
inline constexpr HResult BadParamCount = HResult(0x8002000Eu);
inline constexpr HResult TypeMismatch = HResult(0x80020005u);
}  // namespace hresult

class IUnknownLike {
public:
    virtual HResult queryInterface(const QUuid& iid, void** object) = 0;
    virtual std::uint32_t addRef() = 0;
    virtual std::uint32_t release() = 0;

protected:
    ~IUnknownLike() = default;
};

class IClassFactoryLike : public IUnknownLike {
public:
    // Creates a new instance and hands out its interface iid.
    virtual HResult createInstance(const QUuid& iid, void** object) = 0;
    virtual HResult lockServer(bool lock) = 0;

protected:
    ~IClassFactoryLike() = default;
};

// What a failed call raised: the runtime error's number, source and description.
struct ExceptionInfo {
    int number = 0;
    QString source;
    QString description;
};

enum class InvokeKind { Method = 1, PropertyGet = 2, PropertyPut = 4 };

class IDispatchLike : public IUnknownLike {
public:
    virtual HResult getIDsOfNames(const QString& name, std::int32_t* dispId) = 0;
    // Arguments are in declaration order; a by-reference argument may be written back.
    virtual HResult invoke(std::int32_t dispId, InvokeKind kind, QVariantList& arguments, QVariant* result,
                           ExceptionInfo* exception) = 0;

protected:
    ~IDispatchLike() = default;
};

// The control's window, for the host to place and show.
class IControlWindowLike : public IUnknownLike {
public:
    virtual QWidget* window() = 0;

protected:
    ~IControlWindowLike() = default;
};

enum class ListClick { Plain = 0, Ctrl = 1, Shift = 2 };

// Replays what an operator does and reports what the control shows: the interface behind the
// host's operator scripts. Each call returns an empty text, or why it could not be done.
class IOperatorDriverLike : public IUnknownLike {
public:
    // From now on message boxes are answered with OK at once and recorded, and popup menus
    // stay open until chosen from or dismissed.
    virtual void recordSurface() = 0;
    virtual QString click(const QString& list, int row, ListClick modifier) = 0;
    virtual QString clickEmpty(const QString& list) = 0;
    virtual QString doubleClick(const QString& list, int row) = 0;
    virtual QString rightClick(const QString& list, int row) = 0;
    virtual QString releaseButton(const QString& list, int button) = 0;
    virtual QString header(const QString& list, int index) = 0;
    virtual QString press(const QString& button) = 0;
    virtual QString option(const QString& array, int index) = 0;
    virtual QString type(const QString& textBox, const QString& text) = 0;
    virtual bool menuOpen() const = 0;
    virtual QString chooseMenu(const QString& caption) = 0;
    virtual void dismissMenu() = 0;
    // One JSON object on one line; message boxes since the previous dump.
    virtual QString dump() = 0;
    // Key presses, as real key events to the window's child of that name, which takes the focus
    // first, or with child "focus" to the child that has the focus. Each key after the first
    // goes to wherever the focus is by then. KEYS is one key or a comma-separated sequence in
    // the portable text form ("Shift+Down", "Ctrl+Space", "Return", "Delete", "Menu", "Tab").
    virtual QString key(const QString& child, const QString& keys) = 0;

protected:
    ~IOperatorDriverLike() = default;
};

// Answers the control's sign-in prompts while the surface is recorded (see recordSurface): the
// part of the operator driver behind a script's `login` lines.
class IOperatorSignInLike : public IUnknownLike {
public:
    // Every later sign-in prompt is answered with this name and password.
    virtual void answerSignIn(const QString& user, const QString& password) = 0;
    // The prompts that found no answer since the last call (each was cancelled), each as
    // "SERVER" or "SERVER (realm REALM)".
    virtual QStringList unansweredSignIns() = 0;

protected:
    ~IOperatorSignInLike() = default;
};

// Gestures of the operator beyond clicks and keys, as real events to the window's children.
class IOperatorGesturesLike : public IUnknownLike {
public:
    // The operator presses the left button on row ROW of list FROM (selecting it as a press
    // does, unless it is one of several selected rows), drags, and drops on list TO.
    virtual QString drag(const QString& from, int row, const QString& to) = 0;

protected:
    ~IOperatorGesturesLike() = default;
};

// The type library a host can read: identities, version, locale and the members of the
// default interface.
struct TypeLibraryMember {
    QString name;
    std::int32_t dispId;
    InvokeKind kind;
    QStringList parameters;
};
struct TypeLibraryInfo {
    QString name;
    QString helpString;
    QUuid libraryId;
    int majorVersion;
    int minorVersion;
    std::uint32_t locale;
    QString className;
    QUuid classId;
    QString defaultInterface;
    QUuid defaultInterfaceId;
    QString eventInterface;
    QUuid eventInterfaceId;
    std::vector<TypeLibraryMember> members;
};

namespace iids {
inline const QUuid Unknown{"{00000000-0000-0000-C000-000000000046}"};
inline const QUuid ClassFactory{"{00000001-0000-0000-C000-000000000046}"};
inline const QUuid Dispatch{"{00020400-0000-0000-C000-000000000046}"};
inline const QUuid ControlWindow{"{6b0d3a52-8f0e-4a43-9a37-0f3c2f1d5e01}"};
inline const QUuid OperatorDriver{"{6b0d3a52-8f0e-4a43-9a37-0f3c2f1d5e02}"};
inline const QUuid OperatorSignIn{"{6b0d3a52-8f0e-4a43-9a37-0f3c2f1d5e03}"};
inline const QUuid OperatorGestures{"{6b0d3a52-8f0e-4a43-9a37-0f3c2f1d5e04}"};
}  // namespace iids

// The library's exports.
extern "C" {
using DllRegisterServerFn = HResult (*)();
using DllUnregisterServerFn = HResult (*)();
using DllGetClassObjectFn = HResult (*)(const QUuid& classId, const QUuid& iid, void** object);
using DllCanUnloadNowFn = HResult (*)();
using DllGetTypeLibraryFn = const TypeLibraryInfo* (*)();
}
