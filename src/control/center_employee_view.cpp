#include "control/center_employee_view.h"

#include "control/center_employee.h"
#include "platform/report_list_view.h"

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

CenterEmployeeView::CenterEmployeeView(CenterEmployee& control, QWidget* parent)
    : QWidget(parent), control_(control) {
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

void CenterEmployeeView::build() {
    Form& form = control_.form();
    const auto place = [this](const QString& name, QWidget* widget) {
        const ChildPlacement& at = placementOf(name);
        widget->setParent(at.container.isEmpty() ? this : children_.at(at.container));
        widget->setGeometry(pixels(at.left, at.top, at.width, at.height));
        widget->setObjectName(name);
        children_[name] = widget;
        return widget;
    };
    const auto frame = [&](Frame& state) {
        auto* box = new QGroupBox;
        place(state.name(), box);
        box->setTitle(state.caption());
        return box;
    };
    const auto label = [&](Label& state) {
        auto* widget = new QLabel;
        place(state.name(), widget);
        bindLabel(widget, state);
        return widget;
    };
    const auto button = [&](CommandButton& state) {
        auto* widget = new QPushButton(state.caption());
        place(state.name(), widget);
        bindButton(widget, state);
        return widget;
    };
    const auto option = [&](OptionArray& state, int index) {
        auto* widget = new QRadioButton(state.element(index).caption);
        place(QStringLiteral("%1(%2)").arg(state.name()).arg(index), widget);
        bindOption(widget, state, index);
        return widget;
    };
    const auto textBox = [&](TextBox& state) {
        auto* widget = new QLineEdit;
        place(state.name(), widget);
        bindTextBox(widget, state);
        return widget;
    };
    const auto list = [&](ReportList& state) {
        auto* widget = new ReportListView(state, twipsToPixelsX_);
        place(state.name(), widget);
        return widget;
    };

    frame(form.fraMain);
    label(form.lblAllVendors);
    label(form.lblSelVendors);
    QWidget* lstEmployees = list(form.lstEmployees);
    QWidget* lstSelectedEmployees = list(form.lstSelectedEmployees);
    QWidget* cmdAdd = button(form.cmdAdd);
    QWidget* cmdAddAll = button(form.cmdAddAll);
    QWidget* cmdRemoveAll = button(form.cmdRemoveAll);
    QWidget* cmdDelete = button(form.cmdDelete);
    frame(form.fraFind);
    QWidget* cmdCommit = button(form.cmdCommit);
    auto* prbLoad = new QProgressBar;
    place(form.prbLoad.name(), prbLoad);
    bindProgress(prbLoad, form.prbLoad);
    QLabel* notice = label(form.lblNotice);
    notice->setWordWrap(true);
    notice->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    notice->setStyleSheet(QStringLiteral("color: #b00020;"));
    QWidget* optFind1 = option(form.optFind, 1);
    QWidget* txtVendorID = textBox(form.txtVendorID);
    QWidget* optFind0 = option(form.optFind, 0);
    QWidget* txtVendorName = textBox(form.txtVendorName);
    frame(form.Frame1);
    QWidget* cmdFind = button(form.cmdFind);
    label(form.lblVersionNumber);
    QWidget* optList0 = option(form.optList, 0);
    QWidget* optList1 = option(form.optList, 1);

    // The focus order of the design, by tab index.
    const QWidget* order[] = {cmdCommit, cmdRemoveAll, cmdAddAll, cmdAdd, cmdDelete, optList1, optList0, cmdFind,
                              optFind1, txtVendorID, optFind0, txtVendorName, lstEmployees, lstSelectedEmployees};
    for (size_t i = 0; i + 1 < std::size(order); ++i)
        QWidget::setTabOrder(const_cast<QWidget*>(order[i]), const_cast<QWidget*>(order[i + 1]));

    resize(sizeHint());
}
