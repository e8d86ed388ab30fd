#pragma once

#include <QString>

// Form-URL-encodes a text over the Windows-1252 code page: letters, digits and * - . _ stay,
// a space becomes "+", every other character becomes "%" and its code-page byte in upper-case
// hexadecimal; a character the code page cannot represent is sent as the question mark.
QString urlEncode(const QString& theData);

// The Windows-1252 byte of one 16-bit character, or the question mark's when there is none.
int windows1252Code(QChar character);
