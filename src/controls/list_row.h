#pragma once

#include <QCollatorSortKey>
#include <QString>
#include <QtGlobal>

#include <optional>

class ReportList;

// One row of a report list: its own text (column 1) and two sub-items (columns 2 and 3).
// Rows are owned by their list; a pointer stays valid until the row is removed or the list
// cleared, whatever the sort does to positions.
class ListRow {
public:
    static constexpr int kColumnCount = 3;

    const QString& text() const { return columns_[0]; }
    const QString& subItem(int index) const { return columns_[index]; }
    bool selected() const { return selected_; }

private:
    friend class ReportList;
    QString columns_[kColumnCount];
    bool selected_ = false;
    quint64 sequence_ = 0;  // insertion order, the tie-break that keeps equal keys stable
    // The language-order key of the column the list collates, made when a sort needs it.
    mutable std::optional<QCollatorSortKey> collationKey_;
};
