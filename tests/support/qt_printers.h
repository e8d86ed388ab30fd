#pragma once

#include <QString>
#include <ostream>

// Readable failure messages for texts (and, through them, lists of texts).
inline void PrintTo(const QString& text, std::ostream* os) { *os << '"' << text.toStdString() << '"'; }
