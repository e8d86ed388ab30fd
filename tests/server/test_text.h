#pragma once

#include <QString>
#include <initializer_list>

// A string of exactly these UTF-16 code units (NUL and unpaired surrogates included).
inline QString units(std::initializer_list<char16_t> codeUnits) {
    QString text;
    for (char16_t unit : codeUnits) text += QChar(unit);
    return text;
}
