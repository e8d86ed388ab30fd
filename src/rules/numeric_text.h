#pragma once

#include "rules/int16.h"

#include <QString>
#include <QStringView>

// Text-to-number rules shared by the properties, the feed readers, the change markers and the
// ID formatting, so that every place reads a number the same way.
//
// A number is a decimal with an optional sign and an optional fraction, with blanks around it
// ignored: " 42 ", "-5", "2.5", ".5". Anything else (an empty text included) is not a number.
namespace numeric_text {

// True when the whole text reads as a number.
bool isNumeric(QStringView text);

// The text as a 32-bit signed integer, fractions rounded to the nearest integer with halves to
// the even neighbour, decided on the exact decimal value of the text, however long. Raises type
// mismatch for a text that is not a number and overflow outside the 32-bit range.
qint32 toInt32(QStringView text, const QString& source);

// The same for the 16-bit counters.
Int16 toInt16(QStringView text, const QString& source);

// The "000000" format: a number written with at least six digits, zero-filled on the left and
// never cut; a text that is not a number is returned unchanged.
QString formatPadded(const QString& text);

// True when padded is exactly formatPadded(text) for a text of plain digits, told without
// writing it; false for any other text.
bool isPaddedDigits(QStringView padded, QStringView text);

// True for a plain 32-bit integer with nothing around it: an optional minus sign and digits.
// This is what may stand unquoted in a statement.
bool isPlainInt32(QStringView text);

}  // namespace numeric_text
