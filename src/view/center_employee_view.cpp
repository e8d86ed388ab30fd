#include "view/center_employee_view.h"

#include "form/form.h"
#include "view/report_list_view.h"

#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>

namespace {

QColor systemColor(quint32 code, const QPalette& palette) {
    return code == kColorWindow ? palette.color(QPalette::Base) : palette.color(QPalette::Button);
}

void bindLabel(QLabel* widget, Label& label) {
    auto sync = [widget, &label] { widget->setText(label.caption()); };
    QObject::connect(&label, &ChildControl::changed, widget, sync);
    sync();
}

void bindButton(QPushButton* widget, CommandButton& button) {
    auto sync = [widget, &button] { widget->setEnabled(button.enabled()); };
    QObject::connect(&button, &ChildControl::changed, widget, sync);
    QObject::connect(widget, &QPushButton::clicked, widget, [&button] { button.press(); });
    sync();
}

void bindOption(QRadioButton* widget, OptionArray& array, int index) {
    widget->setAutoExclusive(false);  // the array decides which element is chosen
    auto sync = [widget, &array, index] {
        widget->setChecked(array.value(index));
        widget->setEnabled(array.enabled(index));
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
    return place(QStringLiteral("%1(%2)").arg(state.name()).arg(index), widget);
}

QWidget* CenterEmployeeView::addTextBox(TextBox& state) {
    auto* widget = new QLineEdit;
    bindTextBox(widget, state);
    return place(state.name(), widget);
}

QWidget* CenterEmployeeView::addList(ReportList& state) {
    return place(state.name(), new ReportListView(state, twipsToPixelsX_));
}

void CenterEmployeeView::addProgressBar(ProgressBar& state) {
    auto* widget = new QProgressBar;
    place(state.name(), widget);
    bindProgress(widget, state);
}

// The notice stands out from the captions: it wraps, and it is red.
void CenterEmployeeView::addNotice(Label& state) {
    QLabel* notice = addLabel(state);
    notice->setWordWrap(true);
    notice->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    notice->setStyleSheet(QStringLiteral("color: #b00020;"));
}

// Containers before their contents; the focus order of the design, by tab index.
void CenterEmployeeView::build() {
    addFrame(form_.fraMain);
    addLabel(form_.lblAllVendors);
    addLabel(form_.lblSelVendors);
    QWidget* lstEmployees = addList(form_.lstEmployees);
    QWidget* lstSelectedEmployees = addList(form_.lstSelectedEmployees);
    QWidget* cmdAdd = addButton(form_.cmdAdd);
    QWidget* cmdAddAll = addButton(form_.cmdAddAll);
    QWidget* cmdRemoveAll = addButton(form_.cmdRemoveAll);
    QWidget* cmdDelete = addButton(form_.cmdDelete);
    addFrame(form_.fraFind);
    QWidget* cmdCommit = addButton(form_.cmdCommit);
    addProgressBar(form_.prbLoad);
    addNotice(form_.lblNotice);
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

    resize(sizeHint());
}
