#pragma once

#include <QStyledItemDelegate>

// Draws a pending row so that it reads differently from a stored one without relying on colour:
// its ID comes after a sign ("+" to be added, "−" to be removed), and the model sets it in italics.
class PendingRowDelegate : public QStyledItemDelegate {
    Q_OBJECT
public:
    PendingRowDelegate(QChar sign, QObject* parent) : QStyledItemDelegate(parent), sign_(sign) {}

protected:
    void initStyleOption(QStyleOptionViewItem* option, const QModelIndex& index) const override;

private:
    QChar sign_;
};
