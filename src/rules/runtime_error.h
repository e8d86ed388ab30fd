#pragma once

#include <QString>
#include <stdexcept>

// A failure inside the control: a number, the routine or component that raised it, and a
// description for people. Handlers trap these and end quietly, re-raise them or report them.
class RuntimeError : public std::runtime_error {
public:
    RuntimeError(int number, QString source, QString description)
        : std::runtime_error(description.toStdString()),
          number_(number),
          source_(std::move(source)),
          description_(std::move(description)) {}

    int number() const { return number_; }
    const QString& source() const { return source_; }
    const QString& description() const { return description_; }

private:
    int number_;
    QString source_;
    QString description_;
};

// The error numbers this system raises; they keep the numbering hosts already know.
namespace errors {
inline constexpr int Overflow = 6;
inline constexpr int SubscriptOutOfRange = 9;
inline constexpr int TypeMismatch = 13;
inline constexpr int ObjectNotSet = 91;
inline constexpr int TransferBusy = 35764;
inline constexpr int TransferFailed = 35750;
inline constexpr int FeedUnavailable = 35751;

inline RuntimeError overflow(const QString& source) { return {Overflow, source, QStringLiteral("Overflow")}; }
inline RuntimeError typeMismatch(const QString& source) {
    return {TypeMismatch, source, QStringLiteral("Type mismatch")};
}
inline RuntimeError subscriptOutOfRange(const QString& source) {
    return {SubscriptOutOfRange, source, QStringLiteral("Subscript out of range")};
}
inline RuntimeError objectNotSet(const QString& source) {
    return {ObjectNotSet, source, QStringLiteral("Object variable not set")};
}
}  // namespace errors
