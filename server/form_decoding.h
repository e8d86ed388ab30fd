#pragma once

#include <QByteArrayView>
#include <QString>

#include <variant>
#include <vector>

namespace centeremp::server {

struct FormField
{
    QString name;
    QString value;
};

struct FormError
{
    int fieldNumber = 0; // 1-based position of the offending name=value pair
    QString reason;
};

// Decodes an application/x-www-form-urlencoded body: '&'-separated name=value pairs, '+' is a
// space, %XX is one byte, and the bytes are Windows-1252 (what the desktop control sends).
// Empty pairs are skipped, since the control ends every body with '&'. Field numbers count the
// non-empty pairs from 1.
std::variant<std::vector<FormField>, FormError> decodeForm(QByteArrayView body);

// Every byte maps to one character; the five bytes Windows-1252 leaves undefined (0x81, 0x8D,
// 0x8F, 0x90, 0x9D) map to the C1 control with the same value, so no byte is ever lost.
QString decodeWindows1252(QByteArrayView bytes);

} // namespace centeremp::server
