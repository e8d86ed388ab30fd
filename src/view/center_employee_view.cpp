#include "view/center_employee_view.h"

#include "form/form.h"
#include "view/report_list_view.h"

#include <QGroupBox>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QTextLayout>

namespace {

QColor systemColor(quint32 code, const QPalette& palette) {
    return code == kColorWindow ? palette.color(QPalette::Base) : palette.color(QPalette::Button);
}

void bindLabel(QLabel* widget, Label& label) {
    auto sync = [widget, &label] { widget->setText(label.caption()); };
    QObject::connect(&label, &ChildControl::changed, widget, sync);
    sync();
}

// The text as it fits in the given number of lines of the given width, the last line elided.
QString fitToLines(const QString& text, const QFont& font, int width, int lines) {
    QTextLayout layout(text, font);
    QTextOption option;
    option.setWrapMode(QTextOption::WrapAtWordBoundaryOrAnywhere);
    layout.setTextOption(option);
    layout.beginLayout();
    QString fitted;
    for (int n = 0; n < lines; ++n) {
        QTextLine line = layout.createLine();
        if (!line.isValid()) break;
        line.setLineWidth(width);
        const QString piece = text.mid(line.textStart(), line.textLength());
        if (n + 1 < lines || line.textStart() + line.textLength() >= text.size()) {
            fitted += piece;
            continue;
        }
        fitted += QFontMetrics(font).elidedText(text.mid(line.textStart()), Qt::ElideRight, width);
    }
    layout.endLayout();
    return fitted;
}

// A label that says something to the operator and may be long: it shows what fits its box, the
// whole text as a tooltip, and reads to a screen reader under a fixed name with the text.
void bindMessageLabel(QLabel* widget, Label& label, const QString& accessibleName) {
    widget->setWordWrap(true);
    widget->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    widget->setAccessibleName(accessibleName);
    auto sync = [widget, &label] {
        const int lines = qMax(1, widget->height() / qMax(1, widget->fontMetrics().lineSpacing()));
        widget->setText(fitToLines(label.caption(), widget->font(), widget->width(), lines));
        widget->setToolTip(label.caption());
        widget->setAccessibleDescription(label.caption());
    };
    QObject::connect(&label, &ChildControl::changed, widget, sync);
    sync();
}

void bindButton(QPushButton* widget, CommandButton& button) {
    widget->setAutoDefault(true);  // Enter presses the focused button, as Space does
    auto sync = [widget, &button] { widget->setEnabled(button.enabled()); };
    QObject::connect(&button, &ChildControl::changed, widget, sync);
    QObject::connect(widget, &QPushButton::clicked, widget, [&button] { button.press(); });
    sync();
}

void bindOption(QRadioButton* widget, OptionArray& array, int index) {
    // An exclusive pair, as screen readers expect of option buttons; the array still decides
    // which element is chosen, also when it clears both, which an exclusive pair refuses.
    auto sync = [widget, &array, index] {
        widget->setAutoExclusive(array.value(index) || array.value(1 - index));
        widget->setChecked(array.value(index));
        widget->setEnabled(array.enabled(index));
        // Tab enters a group at its chosen element and the next Tab leaves the group.
        widget->setFocusPolicy(array.value(index) || !array.value(1 - index) ? Qt::StrongFocus : Qt::ClickFocus);
    };
    QObject::connect(&array, &ChildControl::changed, widget, sync);
    QObject::connect(widget, &QRadioButton::clicked, widget, [widget, &array, index, sync] {
        array.press(index);
        sync();
    });
    sync();
}

void bindTextBox(QLineEdit* widget, TextBox& box) {
    auto sync = [widget, &box] {
        if (widget->text() != box.text()) widget->setText(box.text());
        widget->setEnabled(box.enabled());
        widget->setReadOnly(box.locked());
        QPalette palette = widget->palette();
        palette.setColor(QPalette::Base, systemColor(box.backColor(), widget->style()->standardPalette()));
        widget->setPalette(palette);
    };
    QObject::connect(&box, &ChildControl::changed, widget, sync);
    QObject::connect(widget, &QLineEdit::textEdited, widget, [&box](const QString& text) { box.setText(text); });
    sync();
}

void bindProgress(QProgressBar* widget, ProgressBar& bar) {
    widget->setTextVisible(false);
    auto sync = [widget, &bar] {
        // A maximum of 0 would turn the bar into a busy indicator: show it empty instead.
        const int max = qMax(1, bar.max());
        widget->setRange(0, max);
        widget->setValue(qMin(bar.value(), max));
    };
    QObject::connect(&bar, &ChildControl::changed, widget, sync);
    sync();
}

}  // namespace

CenterEmployeeView::CenterEmployeeView(Form& form, QWidget* parent) : QWidget(parent), form_(form) {
    // A compact face at 8 points, the size the twip layout was drawn for: every caption fits
    // its design box.
    QFont compact = font();
    compact.setPointSizeF(8);
    compact.setStretch(QFont::SemiCondensed);
    setFont(compact);
    twipsToPixelsX_ = logicalDpiX() / 1440.0;
    twipsToPixelsY_ = logicalDpiY() / 1440.0;
    build();
}

QRect CenterEmployeeView::pixels(int left, int top, int width, int height) const {
    const auto x = [this](int twips) { return int(std::lround(twips * twipsToPixelsX_)); };
    const auto y = [this](int twips) { return int(std::lround(twips * twipsToPixelsY_)); };
    return {x(left), y(top), x(width), y(height)};
}

QSize CenterEmployeeView::sizeHint() const { return pixels(0, 0, kDesignWidth, kDesignHeight).size(); }

QWidget* CenterEmployeeView::child(const QString& name) const {
    const auto it = children_.find(name);
    return it == children_.end() ? nullptr : it->second;
}

QWidget* CenterEmployeeView::place(const QString& name, QWidget* widget) {
    const ChildPlacement& at = placementOf(name);
    widget->setParent(at.container.isEmpty() ? this : children_.at(at.container));
    widget->setGeometry(pixels(at.left, at.top, at.width, at.height));
    widget->setObjectName(name);
    children_[name] = widget;
    return widget;
}

void CenterEmployeeView::addFrame(Frame& state) {
    auto* box = new QGroupBox;
    place(state.name(), box);
    box->setTitle(state.caption());
}

QLabel* CenterEmployeeView::addLabel(Label& state) {
    auto* widget = new QLabel;
    place(state.name(), widget);
    bindLabel(widget, state);
    return widget;
}

QWidget* CenterEmployeeView::addButton(CommandButton& state) {
    auto* widget = new QPushButton(state.caption());
    bindButton(widget, state);
    return place(state.name(), widget);
}

QWidget* CenterEmployeeView::addOption(OptionArray& state, int index) {
    auto* widget = new QRadioButton(state.element(index).caption);
    bindOption(widget, state, index);
    place(QStringLiteral("%1(%2)").arg(state.name()).arg(index), widget);
    // A caption wider than its design box is set narrower rather than cut.
    QFont font = widget->font();
    while (widget->sizeHint().width() > widget->width() && font.stretch() > QFont::ExtraCondensed) {
        font.setStretch(font.stretch() - 6);
        widget->setFont(font);
    }
    return widget;
}

QWidget* CenterEmployeeView::addTextBox(TextBox& state) {
    auto* widget = new QLineEdit;
    bindTextBox(widget, state);
    return place(state.name(), widget);
}

QWidget* CenterEmployeeView::addList(ReportList& state, const PendingLook& pending) {
    return place(state.name(), new ReportListView(state, twipsToPixelsX_, pending));
}

void CenterEmployeeView::addProgressBar(ProgressBar& state) {
    auto* widget = new QProgressBar;
    place(state.name(), widget);
    bindProgress(widget, state);
}

// The notice stands out from the captions: it is red.
void CenterEmployeeView::addNotice(Label& state) {
    auto* notice = new QLabel;
    place(state.name(), notice);
    bindMessageLabel(notice, state, QStringLiteral("Notice"));
    notice->setStyleSheet(QStringLiteral("color: #b00020;"));
}

void CenterEmployeeView::addPendingSummary(Label& state) {
    auto* summary = new QLabel;
    place(state.name(), summary);
    bindMessageLabel(summary, state, QStringLiteral("Pending changes"));
    summary->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
}

// Containers before their contents; the focus order of the design, by tab index.
void CenterEmployeeView::build() {
    addFrame(form_.fraMain);
    addLabel(form_.lblAllVendors);
    addLabel(form_.lblSelVendors);
    QWidget* lstEmployees = addList(form_.lstEmployees, {QChar(0x2212), QStringLiteral("to be removed")});
    QWidget* lstSelectedEmployees = addList(form_.lstSelectedEmployees, {u'+', QStringLiteral("to be added")});
    QWidget* cmdAdd = addButton(form_.cmdAdd);
    QWidget* cmdAddAll = addButton(form_.cmdAddAll);
    QWidget* cmdRemoveAll = addButton(form_.cmdRemoveAll);
    QWidget* cmdDelete = addButton(form_.cmdDelete);
    addFrame(form_.fraFind);
    QWidget* cmdCommit = addButton(form_.cmdCommit);
    addProgressBar(form_.prbLoad);
    addNotice(form_.lblNotice);
    addPendingSummary(form_.lblPending);
    QWidget* optFindId = addOption(form_.optFind, kFindById);
    QWidget* txtVendorID = addTextBox(form_.txtVendorID);
    QWidget* optFindName = addOption(form_.optFind, kFindByName);
    QWidget* txtVendorName = addTextBox(form_.txtVendorName);
    addFrame(form_.Frame1);
    QWidget* cmdFind = addButton(form_.cmdFind);
    addLabel(form_.lblVersionNumber);
    QWidget* optListNonSelected = addOption(form_.optList, kSearchNonSelected);
    QWidget* optListSelected = addOption(form_.optList, kSearchSelected);

    QWidget* const order[] = {
        cmdCommit, cmdRemoveAll, cmdAddAll,   cmdAdd,      cmdDelete,     optListSelected, optListNonSelected,
        cmdFind,   optFindId,    txtVendorID, optFindName, txtVendorName, lstEmployees,    lstSelectedEmployees};
    for (size_t i = 0; i + 1 < std::size(order); ++i) QWidget::setTabOrder(order[i], order[i + 1]);
    addKeys();

    describeChildren();
    resize(sizeHint());
}

// Enter in a find box is Find, a key of our own beside the design's button.
void CenterEmployeeView::addKeys() {
    for (const char* box : {"txtVendorID", "txtVendorName"})
        connect(static_cast<QLineEdit*>(children_.at(QLatin1String(box))), &QLineEdit::returnPressed, this,
                [this] { form_.cmdFind.press(); });
}

// F3 and Shift+F3 anywhere in the control, left over by the child that has the focus: the next
// and previous match of the find text.
void CenterEmployeeView::keyPressEvent(QKeyEvent* event) {
    const Qt::KeyboardModifiers modifiers = event->modifiers() & ~Qt::KeypadModifier;
    if (event->key() != Qt::Key_F3 || (modifiers & ~Qt::ShiftModifier) || !form_.findNextKey)
        return QWidget::keyPressEvent(event);
    form_.findNextKey(modifiers == Qt::ShiftModifier);
    event->accept();
}

// What a screen reader calls each child whose caption does not say it, and what each button does.
void CenterEmployeeView::describeChildren() {
    struct Description {
        const char* child;
        const char* accessibleName;
        const char* toolTip;
    };
    static const Description descriptions[] = {
        {"fraMain", "Employees of the centre", nullptr},
        {"fraFind", "Find Employee", nullptr},
        {"Frame1", "List to search", nullptr},
        {"lstEmployees", "Non Selected Active Employees", nullptr},
        {"lstSelectedEmployees", "Selected Active Employees", nullptr},
        {"cmdAdd", "Add employee", "Move the chosen employee into the selected list"},
        {"cmdAddAll", "Add selected employees", "Move every selected employee into the selected list"},
        {"cmdRemoveAll", "Remove selected employees", "Move every selected employee back out of the selected list"},
        {"cmdDelete", "Remove employee", "Move the chosen employee back out of the selected list"},
        {"cmdCommit", nullptr, "Save the moves to the database, then reload both lists from it"},
        {"cmdFind", nullptr, "Find the employee in the list to search"},
        {"txtVendorID", "Employee ID", nullptr},
        {"txtVendorName", "Employee name", nullptr},
        {"prbLoad", "Loading progress", nullptr},
    };
    for (const Description& d : descriptions) {
        QWidget* widget = children_.at(QString::fromLatin1(d.child));
        if (d.accessibleName) widget->setAccessibleName(QString::fromUtf8(d.accessibleName));
        if (d.toolTip) widget->setToolTip(QString::fromUtf8(d.toolTip));
    }
}
