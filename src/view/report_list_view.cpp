#include "view/report_list_view.h"

#include "controls/report_list.h"
#include "form/rows.h"
#include "view/pending_row_delegate.h"
#include "view/qt_ui_services.h"

#include <QApplication>
#include <QDrag>
#include <QHeaderView>
#include <QKeyEvent>
#include <QMimeData>
#include <QMouseEvent>
#include <QPainter>
#include <QPalette>
#include <QScrollBar>

#include <vector>

namespace {

// What a drag of rows carries: which view they come from, so that only the other list of the
// same control takes them.
const QString kRowsMime = QStringLiteral("application/x-tarvocenteremp-rows");

}  // namespace

ReportListView::ReportListView(ReportList& list, double twipsToPixels, const PendingLook& pending, QWidget* parent)
    : QTableView(parent), list_(list), model_(list), twipsToPixels_(twipsToPixels) {
    setModel(&model_);
    model_.setPendingLook(pending.sign, pending.description);
    setItemDelegate(new PendingRowDelegate(pending.sign, this));
    // A report: rows of one height, no grid, no row headers. Unlike a tree, a table lays out
    // no row of its own when the rows change, so a move of 32767 rows redraws in no time.
    setShowGrid(false);
    setWordWrap(false);
    verticalHeader()->hide();
    verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    verticalHeader()->setMinimumSectionSize(1);
    fitRowHeight();
    horizontalHeader()->setDefaultAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    setSelectionMode(QAbstractItemView::NoSelection);
    setSelectionBehavior(QAbstractItemView::SelectRows);
    // The header draws no selected sections; left with the view's selection it would ask, on
    // every paint, whether each column is selected in every one of 32767 rows.
    horizontalHeader()->setSelectionModel(new QItemSelectionModel(&model_, this));
    // The two visible columns fill the list's width; names that do not fit are elided.
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    setFocusPolicy(Qt::StrongFocus);
    // Tab and Shift+Tab leave the list for the next child; the arrows walk its rows.
    setTabKeyNavigation(false);
    viewport()->setAcceptDrops(true);
    // Scrolling follows EnsureVisible only; the focus frame moving must not scroll (or lay the
    // rows out) on its own.
    setAutoScroll(false);
    horizontalHeader()->setSectionsClickable(true);
    horizontalHeader()->setSortIndicatorShown(true);
    horizontalHeader()->setHighlightSections(false);
    // The name column ends where the scroll bar begins, so its sort arrow stays in sight.
    horizontalHeader()->setStretchLastSection(true);
    horizontalHeader()->setSectionsMovable(false);
    connect(horizontalHeader(), &QHeaderView::sectionClicked, this,
            [this](int section) { list_.operatorHeaderClick(model_.listColumn(section) + 1); });
    connect(&model_, &ReportListModel::refreshed, this, &ReportListView::afterRefresh);
    connect(&list_, &ReportList::focusRequested, this, [this] {
        if (!hasFocus()) setFocus(Qt::OtherFocusReason);
    });
    afterRefresh();
}

// Rows as high as a line of the list's font, whichever font it inherits.
void ReportListView::fitRowHeight() { verticalHeader()->setDefaultSectionSize(fontMetrics().height() + 2); }

void ReportListView::changeEvent(QEvent* event) {
    if (event->type() == QEvent::FontChange) fitRowHeight();
    QTableView::changeEvent(event);
}

// The columns the model shows, as wide as the list defines them, scaled with the list when the
// control is larger than its design. Widths are set only where they differ: setting one lays
// the rows out again. The last column takes the room that is left (the header stretches it).
void ReportListView::fitColumns() {
    columnsFitted_ = {list_.clears(), int(list_.columns().size())};
    const double design = list_.width() * twipsToPixels_;
    const double scale = width() > design + 1 ? width() / design : 1.0;
    for (int i = 0; i + 1 < model_.columnCount(); ++i) {
        const int width = int(list_.columns()[std::size_t(model_.listColumn(i))].width * twipsToPixels_ * scale + 0.5);
        if (columnWidth(i) != width) setColumnWidth(i, width);
    }
}

void ReportListView::resizeEvent(QResizeEvent* event) {
    QTableView::resizeEvent(event);
    fitColumns();
}

void ReportListView::afterRefresh() {
    // A width the operator dragged stays until the next load (or a new column, or a new size).
    if (columnsFitted_ != std::pair(list_.clears(), int(list_.columns().size()))) fitColumns();
    // The ID headers both sort by the hidden ID copy: show the arrow on the visible one.
    const int key = model_.columnOf(list_.sortKey() == kIdCopyColumn ? 0 : list_.sortKey());
    // Qt's header draws its ascending indicator pointing down; operators read an upward
    // arrow as ascending, so the indicator is given the other way round.
    horizontalHeader()->setSortIndicator(key, list_.sortOrder() == 0 ? Qt::DescendingOrder : Qt::AscendingOrder);
    // The view's own current index only draws the focus frame: keep it on the list's current row.
    const int current = list_.currentRow() ? list_.positionOf(list_.currentRow()) : 0;
    selectionModel()->setCurrentIndex(current > 0 ? model_.index(current - 1, 0) : QModelIndex(),
                                      QItemSelectionModel::NoUpdate);
    mirrorSelectionForScreenReaders();
    if (ListRow* target = list_.takeScrollTarget()) {
        const int position = list_.positionOf(target);
        if (position > 0) scrollTo(model_.index(position - 1, 0));
    }
}

// The list draws its own selection; a screen reader reads the view's selection model, so the
// list's selection is copied there, as ranges of adjacent rows.
void ReportListView::mirrorSelectionForScreenReaders() {
    QItemSelection selection;
    const int count = list_.count(), lastColumn = model_.columnCount() - 1;
    int start = 0;
    for (int position = 1; position <= count + 1; ++position) {
        const bool selected = position <= count && list_.item(position)->selected();
        if (selected && start == 0) start = position;
        if (selected || start == 0) continue;
        selection.select(model_.index(start - 1, 0), model_.index(position - 2, lastColumn));
        start = 0;
    }
    selectionModel()->select(selection, QItemSelectionModel::ClearAndSelect);
}

int ReportListView::positionAt(const QPoint& point) const {
    const QModelIndex index = indexAt(point);
    return index.isValid() ? index.row() + 1 : 0;
}

void ReportListView::mousePressEvent(QMouseEvent* event) {
    const int position = positionAt(event->position().toPoint());
    if (event->button() == Qt::LeftButton) {
        ClickModifier modifier = ClickModifier::None;
        if (event->modifiers() & Qt::ControlModifier)
            modifier = ClickModifier::Ctrl;
        else if (event->modifiers() & Qt::ShiftModifier)
            modifier = ClickModifier::Shift;
        pressedAt_ = event->position().toPoint();
        pressedRow_ = position;
        // A plain press on one of several selected rows may start a drag of them all: it is a
        // click only when the button comes up without a drag.
        clickOnRelease_ = position > 0 && modifier == ClickModifier::None && list_.item(position)->selected() &&
                          list_.selectedCount() > 1;
        if (position == 0)
            list_.operatorClickEmpty();
        else if (!clickOnRelease_)
            list_.operatorClick(position, modifier);
    } else if (event->button() == Qt::RightButton && position > 0) {
        list_.operatorRightPress(position);
    }
    event->accept();
}

void ReportListView::mouseMoveEvent(QMouseEvent* event) {
    const bool dragging =
        (event->buttons() & Qt::LeftButton) && pressedRow_ > 0 && pressedRow_ <= list_.count() &&
        (event->position().toPoint() - pressedAt_).manhattanLength() >= QApplication::startDragDistance();
    if (!dragging || !list_.item(pressedRow_)->selected()) return QTableView::mouseMoveEvent(event);
    QDrag drag(this);
    drag.setMimeData(selectedRowsForDrag());
    drag.exec(Qt::MoveAction);
}

QMimeData* ReportListView::selectedRowsForDrag() {
    pressedRow_ = 0;
    clickOnRelease_ = false;
    auto* data = new QMimeData;
    data->setData(kRowsMime, QByteArray::number(quintptr(this)));
    return data;
}

// The other list of the same control, when the drag comes from it.
ReportListView* ReportListView::dragSource(const QMimeData* data) const {
    if (!data || !data->hasFormat(kRowsMime) || !parentWidget()) return nullptr;
    const quintptr from = data->data(kRowsMime).toULongLong();
    for (ReportListView* sibling : parentWidget()->findChildren<ReportListView*>(Qt::FindDirectChildrenOnly))
        if (sibling != this && quintptr(sibling) == from) return sibling;
    return nullptr;
}

void ReportListView::dragEnterEvent(QDragEnterEvent* event) {
    if (!dragSource(event->mimeData())) return event->ignore();
    event->setDropAction(Qt::MoveAction);
    event->accept();
    showDropIndicator(true);
}

void ReportListView::dragMoveEvent(QDragMoveEvent* event) {
    if (!dragSource(event->mimeData())) return event->ignore();
    event->setDropAction(Qt::MoveAction);
    event->accept();
}

void ReportListView::dragLeaveEvent(QDragLeaveEvent* event) {
    showDropIndicator(false);
    event->accept();
}

// Rows dropped here move as the move button of the list they come from would move them.
void ReportListView::dropEvent(QDropEvent* event) {
    showDropIndicator(false);
    ReportListView* source = dragSource(event->mimeData());
    if (!source) return event->ignore();
    event->setDropAction(Qt::MoveAction);
    event->accept();
    source->list_.operatorMoveSelected();
}

void ReportListView::showDropIndicator(bool on) {
    dropIndicated_ = on;
    viewport()->update();
}

// While rows are dragged over the list, a frame in the highlight colour says they may land here.
void ReportListView::paintEvent(QPaintEvent* event) {
    QTableView::paintEvent(event);
    if (!dropIndicated_) return;
    QPainter painter(viewport());
    painter.setPen(QPen(palette().color(QPalette::Highlight), 2));
    painter.drawRect(viewport()->rect().adjusted(1, 1, -1, -1));
}

void ReportListView::mouseReleaseEvent(QMouseEvent* event) {
    if (event->button() == Qt::LeftButton && std::exchange(clickOnRelease_, false) && pressedRow_ <= list_.count())
        list_.operatorClick(pressedRow_, ClickModifier::None);
    if (event->button() == Qt::LeftButton) pressedRow_ = 0;
    int button = 0;
    if (event->button() == Qt::LeftButton) button = kLeftButton;
    if (event->button() == Qt::RightButton) button = kRightButton;
    if (event->button() == Qt::MiddleButton) button = kMiddleButton;
    if (button) list_.operatorRelease(button);
    event->accept();
}

void ReportListView::mouseDoubleClickEvent(QMouseEvent* event) {
    const int position = positionAt(event->position().toPoint());
    if (event->button() == Qt::LeftButton && position > 0) list_.operatorDoubleClick(position);
    event->accept();
}

// The row a key that moves the current row lands on, or 0 for any other key.
int ReportListView::rowForKey(int key, int current) const {
    const int page = qMax(1, viewport()->height() / qMax(1, verticalHeader()->defaultSectionSize()));
    switch (key) {
    case Qt::Key_Down: return current + 1;
    case Qt::Key_Up: return qMax(1, current - 1);
    case Qt::Key_PageDown: return current + page;
    case Qt::Key_PageUp: return qMax(1, current - page);
    case Qt::Key_Home: return 1;
    case Qt::Key_End: return list_.count();
    default: return 0;
    }
}

// Keys act through the same state changes and events as the mouse: an arrow is a plain click on
// the row it lands on, Shift with it extends the range, Ctrl+Space toggles the current row,
// Ctrl+A selects every row; Enter moves what is selected, Delete and the menu key are the
// list's own events (the menu opens at the current row).
void ReportListView::keyPressEvent(QKeyEvent* event) {
    const int key = event->key();
    const Qt::KeyboardModifiers modifiers = event->modifiers() & ~Qt::KeypadModifier;
    if (key == Qt::Key_Menu || (key == Qt::Key_F10 && modifiers == Qt::ShiftModifier)) {
        const int current = list_.currentRow() ? list_.positionOf(list_.currentRow()) : 0;
        const QRect row = current > 0 ? visualRect(model_.index(current - 1, 1)) : QRect();
        const QPoint at =
            row.isValid() && viewport()->rect().intersects(row) ? row.bottomLeft() : viewport()->rect().center();
        KeyboardPopupAnchor anchor(viewport()->mapToGlobal(at));
        list_.operatorMenuKey();
        return event->accept();
    }
    if ((key == Qt::Key_Return || key == Qt::Key_Enter) && modifiers == Qt::NoModifier) {
        list_.operatorMoveSelected();
        return event->accept();
    }
    if (key == Qt::Key_A && modifiers == Qt::ControlModifier) {
        list_.operatorSelectAll();
        return event->accept();
    }
    if (key == Qt::Key_Delete && modifiers == Qt::NoModifier) {
        list_.operatorDeleteKey();
        return event->accept();
    }
    const int count = list_.count();
    if (count == 0) return QTableView::keyPressEvent(event);
    const int current = list_.currentRow() ? list_.positionOf(list_.currentRow()) : 0;
    if (key == Qt::Key_Space && modifiers == Qt::ControlModifier && current > 0) {
        list_.operatorClick(current, ClickModifier::Ctrl);
    } else if (const int next = rowForKey(key, current); next > 0) {
        if (modifiers == Qt::ShiftModifier)
            list_.operatorExtendTo(qMin(next, count));
        else
            list_.operatorClick(qMin(next, count), ClickModifier::None);
        list_.ensureVisible(list_.currentRow());
    } else {
        return QTableView::keyPressEvent(event);
    }
    event->accept();
}
