#include "controls/report_list.h"

#include "rules/runtime_error.h"

#include <algorithm>

ReportList::ReportList(QString name, double widthTwips) : name_(std::move(name)), width_(widthTwips) {}

void ReportList::addColumn(const QString& header, double width) {
    aboutToChange();
    columns_.push_back({header, width});
}

ListRow* ReportList::add(const QString& text) {
    aboutToChange();
    auto row = std::make_unique<ListRow>();
    row->columns_[0] = text;
    row->sequence_ = nextSequence_++;
    ListRow* added = row.get();
    rows_.push_back(std::move(row));
    if (rows_.size() > 1) orderStale_ = true;
    // As list views do: the first row an empty list is given becomes its current row, wherever
    // the sort puts it.
    if (rows_.size() == 1 && !current_) current_ = added;
    return added;
}

ListRow* ReportList::item(int position) const {
    if (position < 1 || position > count()) throw errors::subscriptOutOfRange(name_);
    ensureSorted();
    return rows_[size_t(position - 1)].get();
}

int ReportList::positionOf(const ListRow* row) const {
    ensureSorted();
    for (size_t i = 0; i < rows_.size(); ++i)
        if (rows_[i].get() == row) return int(i + 1);
    return 0;
}

void ReportList::remove(int position) {
    ListRow* row = item(position);
    aboutToChange();
    if (row == current_) current_ = nullptr;
    if (row == anchor_) anchor_ = nullptr;
    if (row == scrollTarget_) scrollTarget_ = nullptr;
    rows_.erase(rows_.begin() + (position - 1));
}

std::vector<std::unique_ptr<ListRow>> ReportList::takeSelected() {
    std::vector<RowPtr> taken;
    if (std::none_of(rows_.begin(), rows_.end(), [](const RowPtr& row) { return row->selected_; })) return taken;
    aboutToChange();
    ensureSorted();
    const auto kept =
        std::stable_partition(rows_.begin(), rows_.end(), [](const RowPtr& row) { return !row->selected_; });
    for (auto it = kept; it != rows_.end(); ++it) {
        ListRow* row = it->get();
        if (row == current_) current_ = nullptr;
        if (row == anchor_) anchor_ = nullptr;
        if (row == scrollTarget_) scrollTarget_ = nullptr;
        taken.push_back(std::move(*it));
    }
    rows_.erase(kept, rows_.end());
    return taken;
}

std::vector<ListRow*> ReportList::adopt(std::vector<std::unique_ptr<ListRow>> rows) {
    std::vector<ListRow*> adopted;
    if (rows.empty()) return adopted;
    aboutToChange();
    adopted.reserve(rows.size());
    for (RowPtr& row : rows) {
        row->selected_ = false;
        row->sequence_ = nextSequence_++;
        adopted.push_back(row.get());
        rows_.push_back(std::move(row));
    }
    if (rows_.size() > 1) orderStale_ = true;
    if (!current_ && rows_.size() == adopted.size()) current_ = adopted.front();
    return adopted;
}

void ReportList::clear() {
    aboutToChange();
    ++clears_;
    rows_.clear();
    current_ = anchor_ = scrollTarget_ = nullptr;
    orderStale_ = false;
}

ListRow* ReportList::findItem(const QString& text) const {
    ensureSorted();
    for (const auto& row : rows_)
        if (row->columns_[0] == text) return row.get();
    return nullptr;
}

void ReportList::checkSubItem(const ListRow* row, int index) const {
    if (!row) throw errors::objectNotSet(name_);
    if (index < 1 || index > 2) throw errors::subscriptOutOfRange(name_);
}

void ReportList::subItemEdited(ListRow* row, int index) {
    if (index == collatedColumn_) row->collationKey_.reset();
    if (index == sortKey_) orderStale_ = true;
}

void ReportList::setSubItem(ListRow* row, int index, const QString& value) {
    checkSubItem(row, index);
    if (row->columns_[index] == value) return;
    aboutToChange();
    row->columns_[index] = value;
    subItemEdited(row, index);
}

void ReportList::setSelected(ListRow* row, bool selected) {
    if (!row) throw errors::objectNotSet(name_);
    aboutToChange();
    if (selected) {
        // Selecting a row makes it the current row; in single selection it is the only one.
        if (!multiSelect_)
            for (auto& other : rows_) other->selected_ = false;
        current_ = row;
    }
    row->selected_ = selected;
}

void ReportList::ensureVisible(ListRow* row) {
    if (!row) throw errors::objectNotSet(name_);
    scrollTarget_ = row;
    emit scrollRequested();
}

ListRow* ReportList::takeScrollTarget() { return std::exchange(scrollTarget_, nullptr); }

ListRow* ReportList::selectedItem() const {
    if (current_) return current_;
    return rows_.empty() ? nullptr : item(1);
}

void ReportList::setMultiSelect(bool on) {
    if (multiSelect_ == on) return;
    multiSelect_ = on;
    if (!on) {
        // Back to single selection: only the current row may stay selected.
        aboutToChange();
        for (auto& row : rows_)
            if (row.get() != current_) row->selected_ = false;
    }
}

int ReportList::selectedCount() const {
    return int(std::count_if(rows_.begin(), rows_.end(), [](const RowPtr& r) { return r->selected_; }));
}

int ReportList::countIf(const std::function<bool(const ListRow&)>& test) const {
    return int(std::count_if(rows_.begin(), rows_.end(), [&test](const RowPtr& r) { return test(*r); }));
}

void ReportList::setSortKey(int key) {
    if (key < 0 || key > 2) throw errors::subscriptOutOfRange(name_);
    if (key == sortKey_) return;
    aboutToChange();
    sortKey_ = key;
    orderStale_ = rows_.size() > 1;
}

void ReportList::setSortOrder(int order) {
    if (order != 0 && order != 1) throw errors::subscriptOutOfRange(name_);
    if (order == sortOrder_) return;
    aboutToChange();
    // Descending is exactly ascending reversed (equal keys included), so a list that is in
    // order only needs reversing.
    const bool wasInOrder = !orderStale_;
    sortOrder_ = order;
    if (wasInOrder) std::reverse(rows_.begin(), rows_.end());
}

void ReportList::setFocus() { emit focusRequested(); }

namespace {

// Text order without regard to letter case. Plain ASCII, the usual case for IDs and most
// names, is folded inline; anything else goes through Unicode case folding.
int compareIgnoringCase(const QString& a, const QString& b) {
    const qsizetype common = std::min(a.size(), b.size());
    const QChar* x = a.constData();
    const QChar* y = b.constData();
    for (qsizetype i = 0; i < common; ++i) {
        char16_t cx = x[i].unicode(), cy = y[i].unicode();
        if (cx == cy) continue;
        if (cx < 128 && cy < 128) {
            if (cx >= 'A' && cx <= 'Z') cx += 32;
            if (cy >= 'A' && cy <= 'Z') cy += 32;
        } else {
            cx = x[i].toCaseFolded().unicode();
            cy = y[i].toCaseFolded().unicode();
        }
        if (cx != cy) return cx < cy ? -1 : 1;
    }
    return a.size() == b.size() ? 0 : (a.size() < b.size() ? -1 : 1);
}

}  // namespace

void ReportList::setLanguageOrder(int column) {
    aboutToChange();
    collatedColumn_ = column;
    // The operator's language; an environment that names none ("C") gets English, whose order
    // is the common one of the Latin letters with their accents.
    QLocale locale;
    if (locale.language() == QLocale::C) locale = QLocale(QLocale::English);
    collator_ = QCollator(locale);
    collator_.setCaseSensitivity(Qt::CaseInsensitive);
    for (auto& row : rows_) row->collationKey_.reset();
    if (sortKey_ == column && rows_.size() > 1) orderStale_ = true;
}

bool ReportList::lessThan(const ListRow& a, const ListRow& b) const {
    const ListRow& first = sortOrder_ == 0 ? a : b;
    const ListRow& second = sortOrder_ == 0 ? b : a;
    const int byKey = sortKey_ == collatedColumn_
                          ? first.collationKey_->compare(*second.collationKey_)
                          : compareIgnoringCase(first.columns_[sortKey_], second.columns_[sortKey_]);
    if (byKey != 0) return byKey < 0;
    return first.sequence_ < second.sequence_;
}

void ReportList::ensureSorted() const {
    if (!orderStale_) return;
    orderStale_ = false;
    if (sortKey_ == collatedColumn_)
        for (const auto& row : rows_)
            if (!row->collationKey_) row->collationKey_ = collator_.sortKey(row->columns_[sortKey_]);
    const auto less = [this](const RowPtr& a, const RowPtr& b) { return lessThan(*a, *b); };
    // Rows appended since the last sort usually form a tail: sort it and merge it in.
    const auto sortedEnd = std::is_sorted_until(rows_.begin(), rows_.end(), less);
    if (sortedEnd == rows_.end()) return;
    std::sort(sortedEnd, rows_.end(), less);
    std::inplace_merge(rows_.begin(), sortedEnd, rows_.end(), less);
}

void ReportList::aboutToChange() {
    if (changePending_) return;
    changePending_ = true;
    emit rowsAboutToChange();
}

void ReportList::applyPlainClick(ListRow* row) {
    for (auto& other : rows_) other->selected_ = false;
    row->selected_ = true;
    current_ = anchor_ = row;
}

void ReportList::operatorClick(int position, ClickModifier modifier) {
    ListRow* row = item(position);
    aboutToChange();
    if (!multiSelect_ || modifier == ClickModifier::None) {
        applyPlainClick(row);
    } else if (modifier == ClickModifier::Ctrl) {
        row->selected_ = !row->selected_;
        current_ = anchor_ = row;
    } else {
        selectRange(current_ ? positionOf(current_) : 1, position);
        current_ = row;
    }
    clicked();
}

void ReportList::operatorExtendTo(int position) {
    ListRow* row = item(position);
    const int from = anchor_ ? positionOf(anchor_) : 0;
    aboutToChange();
    if (!multiSelect_ || from == 0) {
        applyPlainClick(row);
    } else {
        selectRange(from, position);
        current_ = row;
    }
    clicked();
}

void ReportList::operatorClickEmpty() {
    aboutToChange();
    for (auto& row : rows_) row->selected_ = false;
    clicked();
}

void ReportList::operatorDeleteKey() {
    if (events.deleteKey) events.deleteKey();
}

void ReportList::operatorMenuKey() {
    if (events.menuKey) events.menuKey();
}

void ReportList::operatorMoveSelected() {
    if (events.moveSelectedKey) events.moveSelectedKey();
}

void ReportList::operatorSelectAll() {
    if (rows_.empty()) return;
    aboutToChange();
    for (auto& row : rows_) row->selected_ = true;
    if (!current_) current_ = anchor_ = item(1);
    clicked();
}

void ReportList::selectRange(int from, int to) {
    const int low = std::min(from, to), high = std::max(from, to);
    for (int p = 1; p <= count(); ++p) rows_[size_t(p - 1)]->selected_ = p >= low && p <= high;
}

void ReportList::clicked() {
    setFocus();
    if (events.click) events.click();
}

void ReportList::operatorDoubleClick(int position) {
    operatorClick(position, ClickModifier::None);
    if (events.dblClick) events.dblClick();
}

void ReportList::operatorRightPress(int position) {
    // As list views do: the pressed row becomes current, and a row that was not selected
    // becomes the only selected one. No Click event.
    ListRow* row = item(position);
    aboutToChange();
    if (!row->selected_) applyPlainClick(row);
    current_ = row;
    setFocus();
}

void ReportList::operatorRelease(int button) {
    if (events.mouseUp) events.mouseUp(button);
}

void ReportList::operatorHeaderClick(int index) {
    if (events.columnClick) events.columnClick(index);
}
