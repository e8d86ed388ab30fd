#pragma once

#include "form/form.h"
#include "rules/numeric_text.h"
#include "rules/texts.h"

#include <QString>

// The columns of an employee row after its text (the ID as shown): the name, and a hidden copy
// of the ID, padded so that it sorts as a number, which also carries the marker of a pending row.
inline constexpr int kNameColumn = 1;
inline constexpr int kIdCopyColumn = 2;

// Letters that mark a row as differing from the database: moved into the selected list (to be
// assigned) or out of it (to be unassigned).
inline constexpr QChar kMarkAssign = u'N';
inline constexpr QChar kMarkUnassign = u'D';

// The hidden ID column of a moved row. A row that leaves the list where the database has it
// gains the target's letter; a row that was already marked returns home and loses it.
inline QString movedIdColumn(const QString& text, const QString& columnBeforeMove, QChar targetLetter) {
    QString padded = numeric_text::formatPadded(text);
    if (numeric_text::isNumeric(columnBeforeMove)) padded.append(targetLetter);
    return padded;
}

// The same, changed where it is stored: a column that is the padded ID, with or without a
// letter, gains or loses the letter without being written anew.
inline void remarkMovedIdColumn(QString& column, const QString& text, QChar targetLetter) {
    const bool wasStored = numeric_text::isNumeric(column);
    if (wasStored && numeric_text::isPaddedDigits(column, text))
        column.append(targetLetter);
    else if (!wasStored && !column.isEmpty() && numeric_text::isPaddedDigits(QStringView(column).chopped(1), text))
        column.chop(1);
    else
        column = movedIdColumn(text, column, targetLetter);
}

// A row is pending when its hidden ID column does not read as a number.
inline bool isPending(const QString& idColumn) { return !numeric_text::isNumeric(idColumn); }

// Re-creates a moved row at the end of the target, with its marker updated.
ListRow* appendMovedRow(ReportList& target, const QString& text, const QString& name, const QString& idColumnBeforeMove,
                        QChar targetLetter);

// The rows a commit would write: pending rows of the selected list are assigned, pending rows of
// the other list unassigned.
struct PendingCounts {
    int toAdd = 0;
    int toRemove = 0;
    bool operator==(const PendingCounts&) const = default;
};
PendingCounts pendingCounts(const Form& form);
// "2 to add, 1 to remove"; empty when nothing is pending.
QString pendingSummary(const PendingCounts& counts);

// The captions of the two count labels, the one rule for the load and the moves.
inline QString nonSelectedCaption(int count) { return Texts::tr("Non Selected Active Employees (%1):").arg(count); }
inline QString selectedCaption(int count) { return Texts::tr("Selected Active Employees (%1):").arg(count); }

// Both count labels from the lists' row counts, the selected list's first.
void captionCountLabels(Form& form);
