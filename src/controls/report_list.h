#pragma once

#include "controls/list_row.h"

#include <QCollator>
#include <QObject>
#include <QString>
#include <functional>
#include <memory>
#include <vector>

enum class ClickModifier { None, Ctrl, Shift };

// The mouse buttons as a list's MouseUp event reports them.
enum MouseButton : int { kLeftButton = 1, kRightButton = 2, kMiddleButton = 4 };

// The report list: rows addressed by 1-based position in the order the list shows them, a
// current row, per-row selected flags, single or multiple selection, and a sort column and
// direction the rows are always shown in. This object is the truth; a view only draws it.
//
// Sorting is applied lazily: appending rows or changing a sort-column text marks the order
// stale, and the next read by position restores it (a merge of the new tail when the rest is
// still in order), so a load or a move of thousands of rows sorts once, not once per row.
class ReportList : public QObject {
    Q_OBJECT
public:
    struct Column {
        QString header;
        double width;  // twips
    };
    struct Events {
        std::function<void()> click;
        std::function<void()> dblClick;
        std::function<void(int button)> mouseUp;
        std::function<void(int index)> columnClick;
        std::function<void()> deleteKey;  // the Delete key
        std::function<void()> menuKey;    // the Menu key, or Shift+F10
        // Enter, or the selected rows dragged onto the other list: move what is selected.
        std::function<void()> moveSelectedKey;
    };

    explicit ReportList(QString name, double widthTwips);

    const QString& name() const { return name_; }
    double width() const { return width_; }

    void addColumn(const QString& header, double width);
    const std::vector<Column>& columns() const { return columns_; }

    // Rows.
    int count() const { return int(rows_.size()); }
    ListRow* add(const QString& text);
    ListRow* item(int position) const;         // 1-based; raises subscript out of range
    int positionOf(const ListRow* row) const;  // 1-based, 0 when not in this list
    void remove(int position);
    // The selected rows, taken out in one pass in the order shown, for another list to adopt;
    // adopt appends such rows at the end, unselected, as add would.
    std::vector<std::unique_ptr<ListRow>> takeSelected();
    std::vector<ListRow*> adopt(std::vector<std::unique_ptr<ListRow>> rows);
    void clear();
    // How many times the list was cleared: each load clears it once.
    int clears() const { return clears_; }
    ListRow* findItem(const QString& text) const;  // first row whose text is exactly text

    void setSubItem(ListRow* row, int index, const QString& value);
    // Changes a sub-item where it is stored, through edit(QString&): no new text per row when a
    // move re-marks thousands of rows.
    template <typename Edit>
    void editSubItem(ListRow* row, int index, Edit&& edit) {
        checkSubItem(row, index);
        aboutToChange();
        edit(row->columns_[index]);
        subItemEdited(row, index);
    }
    void setSelected(ListRow* row, bool selected);
    void ensureVisible(ListRow* row);
    ListRow* takeScrollTarget();  // the row the last EnsureVisible asked for, once

    // Selection.
    ListRow* selectedItem() const;  // the current row; with none chosen, the first row
    ListRow* currentRow() const { return current_; }
    bool multiSelect() const { return multiSelect_; }
    void setMultiSelect(bool on);
    int selectedCount() const;
    // The rows that pass the test, read in any order: counting never sorts.
    int countIf(const std::function<bool(const ListRow&)>& test) const;

    // Sorting.
    int sortKey() const { return sortKey_; }
    int sortOrder() const { return sortOrder_; }
    void setSortKey(int key);
    void setSortOrder(int order);
    // The column that sorts in the operator's language order (the locale's collation, any
    // letter case); the others compare their letters one by one, any case. None by default.
    void setLanguageOrder(int column);

    void setFocus();

    // The display option initialisation turns on: selection highlights the whole row.
    bool fullRowSelect() const { return fullRowSelect_; }
    void setFullRowSelect(bool on) {
        aboutToChange();
        fullRowSelect_ = on;
    }

    // What the operator does to the list, as the view or a script reports it: the state
    // change the platform list applies, then the list's event.
    void operatorClick(int position, ClickModifier modifier);
    void operatorClickEmpty();
    // Shift with a key that moves the current row: selects the range from the anchor (the row of
    // the last plain or Ctrl click) to position, as a Shift click does from the current row.
    void operatorExtendTo(int position);
    void operatorDeleteKey();
    void operatorMenuKey();
    void operatorMoveSelected();  // Enter, or a drag of the selected rows onto the other list
    // Ctrl+A: every row selected, the current row kept; then the Click event, as a click ends.
    void operatorSelectAll();
    void operatorDoubleClick(int position);
    void operatorRightPress(int position);  // the press of a right click; the release follows
    void operatorRelease(int button);
    void operatorHeaderClick(int index);

    // Changes are announced before they happen, coalesced: rowsAboutToChange fires before the
    // first change after a view took the last ones, however many rows an action then touches.
    // A view takes the changes once it has shown them; the next change is announced again.
    void takeChanges() { changePending_ = false; }

    Events events;

signals:
    void rowsAboutToChange();  // rows, flags or order are about to change; views let go of them
    void scrollRequested();    // EnsureVisible
    void focusRequested();     // SetFocus, or the operator clicked the list

private:
    using RowPtr = std::unique_ptr<ListRow>;
    bool lessThan(const ListRow& a, const ListRow& b) const;
    void ensureSorted() const;
    void aboutToChange();
    void checkSubItem(const ListRow* row, int index) const;
    void subItemEdited(ListRow* row, int index);
    void applyPlainClick(ListRow* row);
    void selectRange(int from, int to);
    void clicked();  // what ends every click: redraw, focus, the Click event

    QString name_;
    double width_;
    std::vector<Column> columns_;
    mutable std::vector<RowPtr> rows_;
    mutable bool orderStale_ = false;
    ListRow* current_ = nullptr;
    ListRow* anchor_ = nullptr;
    bool multiSelect_ = false;
    int sortKey_ = 0;
    int sortOrder_ = 0;
    quint64 nextSequence_ = 0;
    bool changePending_ = false;
    bool fullRowSelect_ = false;
    int clears_ = 0;
    int collatedColumn_ = -1;
    QCollator collator_;
    ListRow* scrollTarget_ = nullptr;
};
