#include "view/center_employee_view.h"
#include "rules/texts.h"

#include "form/form.h"
#include "view/report_list_view.h"

#include <QAccessible>
#include <QAccessibleWidget>
#include <QGroupBox>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QScrollArea>
#include <QScrollBar>

#include <algorithm>
#include <cmath>

namespace {

// The platform's system colours as palette roles: the window background is Base (where text is
// typed), the button face is Button.
QPalette::ColorRole systemColorRole(quint32 code) { return code == kColorWindow ? QPalette::Base : QPalette::Button; }

// WCAG's contrast ratio of two colours, 1 to 21.
double contrast(const QColor& a, const QColor& b) {
    const auto luminance = [](const QColor& c) {
        const auto channel = [](double v) { return v <= 0.03928 ? v / 12.92 : std::pow((v + 0.055) / 1.055, 2.4); };
        return 0.2126 * channel(c.redF()) + 0.7152 * channel(c.greenF()) + 0.0722 * channel(c.blueF());
    };
    const double x = luminance(a), y = luminance(b);
    return (std::max(x, y) + 0.05) / (std::min(x, y) + 0.05);
}

// A caption wider than its box is set narrower rather than cut.
void condenseToFit(QWidget* widget, const QFont& designFont) {
    QFont font = designFont;
    widget->setFont(font);
    while (widget->sizeHint().width() > widget->width() && font.stretch() > QFont::ExtraCondensed) {
        font.setStretch(font.stretch() - 6);
        widget->setFont(font);
    }
}

void bindLabel(QLabel* widget, Label& label) {
    auto sync = [widget, &label] {
        widget->setText(label.caption());
        if (widget->parentWidget()) condenseToFit(widget, widget->parentWidget()->font());
    };
    QObject::connect(&label, &ChildControl::changed, widget, sync);
    sync();
}

// A label that says something to the operator: a screen reader reads its text as its name.
void bindMessageLabel(QLabel* widget, Label& label) {
    auto sync = [widget, &label] {
        widget->setText(label.caption());
        widget->setAccessibleName(label.caption());
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

}  // namespace

// A text box draws its back colour with the palette's role for it, and its text with the role
// that goes with that one, so that light, dark and high-contrast palettes all read.
void CenterEmployeeView::bindTextBox(QLineEdit* widget, TextBox& box) {
    auto sync = [widget, &box] {
        if (widget->text() != box.text()) widget->setText(box.text());
        widget->setEnabled(box.enabled());
        widget->setReadOnly(box.locked());
        const QPalette inherited = widget->parentWidget()->palette();
        const QPalette::ColorRole back = systemColorRole(box.backColor());
        QPalette palette = inherited;
        palette.setBrush(QPalette::Base, inherited.brush(back));
        palette.setBrush(QPalette::Text,
                         inherited.brush(back == QPalette::Base ? QPalette::Text : QPalette::ButtonText));
        widget->setPalette(palette);
    };
    QObject::connect(&box, &ChildControl::changed, widget, sync);
    paletteFollowers_.push_back(sync);
    QObject::connect(widget, &QLineEdit::textEdited, widget, [&box](const QString& text) { box.setText(text); });
    sync();
}

namespace {

void bindProgress(QProgressBar* widget, ProgressBar& bar) {
    widget->setTextVisible(false);
    auto sync = [widget, &bar] {
        // A maximum of 0 would turn the bar into a busy indicator: show it empty instead.
        const int max = qMax(1, bar.max());
        widget->setRange(0, max);
        widget->setValue(qMin(bar.value(), max));
        // Idle, the bar is greyed, so that it does not read as a box to type in.
        widget->setEnabled(bar.value() > 0);
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
    // To a screen reader the control is a frame when it is a window of its own, and a group of
    // controls inside a host's window.
    static const bool roleKnown = [] {
        QAccessible::installFactory([](const QString& key, QObject* object) -> QAccessibleInterface* {
            auto* view = qobject_cast<CenterEmployeeView*>(object);
            if (key != QLatin1String("CenterEmployeeView") || !view) return nullptr;
            return new QAccessibleWidget(view, view->isWindow() ? QAccessible::Window : QAccessible::Grouping);
        });
        return true;
    }();
    Q_UNUSED(roleKnown);
    twipsToPixelsX_ = logicalDpiX() / 1440.0;
    twipsToPixelsY_ = logicalDpiY() / 1440.0;
    // The children sit on a surface of their own: as large as the control when it is at least
    // the design size, the design size in a scrolled area when the control is smaller.
    scroll_ = new QScrollArea(this);
    scroll_->setFrameShape(QFrame::NoFrame);
    scroll_->setFocusPolicy(Qt::NoFocus);  // the focus goes to the children, in their order
    surface_ = new QWidget;
    scroll_->setWidget(surface_);
    build();
}

namespace {

// How a child follows a control larger than its design: the shares of the extra width by which
// it moves right and grows, then the same for the extra height. The lists take the extra room;
// the move buttons stay between them, the find panel below the left one, the commit button and
// what belongs to it below the right one. A child not named keeps its place in its container.
struct Stretch {
    const char* child;
    double moveX, growX, moveY, growY;
};
constexpr Stretch kStretches[] = {
    {"fraMain", 0, 1, 0, 1},          {"lblSelVendors", 0.5, 0, 0, 0},
    {"lstEmployees", 0, 0.5, 0, 1},   {"lstSelectedEmployees", 0.5, 0.5, 0, 1},
    {"cmdAdd", 0.5, 0, 0.5, 0},       {"cmdAddAll", 0.5, 0, 0.5, 0},
    {"cmdRemoveAll", 0.5, 0, 0.5, 0}, {"cmdDelete", 0.5, 0, 0.5, 0},
    {"fraFind", 0, 0, 1, 0},          {"cmdCommit", 1, 0, 1, 0},
    {"lblPending", 0.5, 0.5, 1, 0},   {"prbLoad", 0.5, 0.5, 1, 0},
    {"lblNotice", 0.5, 0.5, 1, 0},
};

}  // namespace

void CenterEmployeeView::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    scroll_->setGeometry(rect());
    // Where a dimension is below the design, the other one loses the room of a scroll bar.
    const QSize design = pixels(0, 0, kDesignWidth, kDesignHeight).size();
    const int bar = style()->pixelMetric(QStyle::PM_ScrollBarExtent);
    QSize room = scroll_->maximumViewportSize();
    if (room.width() < design.width()) room.rheight() -= bar;
    if (room.height() < design.height()) room.rwidth() -= bar;
    room = room.expandedTo(design);
    surface_->resize(room);
    const double extraX = (room.width() - design.width()) / twipsToPixelsX_;
    const double extraY = (room.height() - design.height()) / twipsToPixelsY_;
    for (const Stretch& s : kStretches) {
        const ChildPlacement& at = placementOf(QString::fromLatin1(s.child));
        children_.at(at.name)->setGeometry(pixels(int(at.left + s.moveX * extraX), int(at.top + s.moveY * extraY),
                                                  int(at.width + s.growX * extraX), int(at.height + s.growY * extraY)));
    }
    // The notice shows whole lines only; what does not fit is a scroll away.
    QWidget* notice = children_.at(form_.lblNotice.name());
    const int line = notice->fontMetrics().lineSpacing();
    notice->resize(notice->width(), std::max(line, notice->height() / line * line));
}

// Colours taken from the palette are taken again when it changes, once the children have it.
void CenterEmployeeView::changeEvent(QEvent* event) {
    QWidget::changeEvent(event);
    if (event->type() != QEvent::PaletteChange) return;
    QMetaObject::invokeMethod(
        this,
        [this] {
            for (const auto& follow : paletteFollowers_) follow();
        },
        Qt::QueuedConnection);
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
    widget->setParent(at.container.isEmpty() ? surface_ : children_.at(at.container));
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

// A list reads under its caption, with the count the load puts in it.
void CenterEmployeeView::labelList(QLabel* label, Label& caption, QWidget* list) {
    label->setBuddy(list);
    auto sync = [list, &caption] {
        QString name = caption.caption();
        if (name.endsWith(u':')) name.chop(1);
        list->setAccessibleName(name);
    };
    connect(&caption, &ChildControl::changed, list, sync);
    sync();
}

QLabel* CenterEmployeeView::addLabel(Label& state) {
    auto* widget = new QLabel;
    place(state.name(), widget);
    bindLabel(widget, state);  // placed first: the caption is fitted to its box
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
    condenseToFit(widget, widget->font());
    return widget;
}

QWidget* CenterEmployeeView::addTextBox(TextBox& state) {
    auto* widget = new QLineEdit;
    place(state.name(), widget);
    bindTextBox(widget, state);
    return widget;
}

QWidget* CenterEmployeeView::addList(ReportList& state, const PendingLook& pending) {
    return place(state.name(), new ReportListView(state, twipsToPixelsX_, pending));
}

void CenterEmployeeView::addProgressBar(ProgressBar& state) {
    auto* widget = new QProgressBar;
    place(state.name(), widget);
    bindProgress(widget, state);
}

// The notice stands out from the captions in a red that reads on the palette's window colour.
// It wraps at word boundaries into its box, and scrolls when the text needs more lines: every
// word can be read, none is cut.
void CenterEmployeeView::addNotice(Label& state) {
    auto* notice = new QPlainTextEdit;
    place(state.name(), notice);
    notice->setReadOnly(true);
    notice->setFocusPolicy(Qt::NoFocus);
    notice->setFrameShape(QFrame::NoFrame);
    notice->setWordWrapMode(QTextOption::WordWrap);
    notice->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    notice->document()->setDocumentMargin(0);
    notice->viewport()->setAutoFillBackground(false);  // on the frame's own background
    notice->setAccessibleName(QStringLiteral("Notice"));
    auto recolour = [notice] {
        const QPalette inherited = notice->parentWidget()->palette();
        const QColor window = inherited.color(QPalette::Window);
        const QColor darkRed(0xb0, 0x00, 0x20), lightRed(0xff, 0x8a, 0x80);
        QPalette palette = inherited;
        palette.setColor(QPalette::Base, window);
        palette.setColor(QPalette::Text, contrast(darkRed, window) >= contrast(lightRed, window) ? darkRed : lightRed);
        notice->setPalette(palette);
    };
    paletteFollowers_.push_back(recolour);
    recolour();
    auto sync = [notice, &state] {
        if (notice->toPlainText() != state.caption()) notice->setPlainText(state.caption());
    };
    connect(&state, &ChildControl::changed, notice, sync);
    sync();
}

// What a commit would write; a screen reader reads the text itself as the summary's name.
void CenterEmployeeView::addPendingSummary(Label& state) {
    auto* summary = new QLabel;
    place(state.name(), summary);
    bindMessageLabel(summary, state);
    summary->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
}

// Containers before their contents; the focus order of the design, by tab index.
void CenterEmployeeView::build() {
    addFrame(form_.fraMain);
    QLabel* lblAllVendors = addLabel(form_.lblAllVendors);
    QLabel* lblSelVendors = addLabel(form_.lblSelVendors);
    QWidget* lstEmployees = addList(form_.lstEmployees, {QChar(0x2212), Texts::tr("to be removed")});
    QWidget* lstSelectedEmployees = addList(form_.lstSelectedEmployees, {u'+', Texts::tr("to be added")});
    labelList(lblAllVendors, form_.lblAllVendors, lstEmployees);
    labelList(lblSelVendors, form_.lblSelVendors, lstSelectedEmployees);
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
        {"fraMain", QT_TRANSLATE_NOOP("Texts", "Employees of the centre"), nullptr},
        {"fraFind", QT_TRANSLATE_NOOP("Texts", "Find Employee"), nullptr},
        {"Frame1", QT_TRANSLATE_NOOP("Texts", "List to search"), nullptr},
        {"cmdAdd", QT_TRANSLATE_NOOP("Texts", "Add employee"),
         QT_TRANSLATE_NOOP("Texts", "Move the chosen employee into the selected list")},
        {"cmdAddAll", QT_TRANSLATE_NOOP("Texts", "Add selected employees"),
         QT_TRANSLATE_NOOP("Texts", "Move every selected employee into the selected list")},
        {"cmdRemoveAll", QT_TRANSLATE_NOOP("Texts", "Remove selected employees"),
         QT_TRANSLATE_NOOP("Texts", "Move every selected employee back out of the selected list")},
        {"cmdDelete", QT_TRANSLATE_NOOP("Texts", "Remove employee"),
         QT_TRANSLATE_NOOP("Texts", "Move the chosen employee back out of the selected list")},
        {"cmdCommit", nullptr,
         QT_TRANSLATE_NOOP("Texts", "Save the moves to the database, then reload both lists from it")},
        {"cmdFind", nullptr, QT_TRANSLATE_NOOP("Texts", "Find the employee in the list to search")},
        {"txtVendorID", QT_TRANSLATE_NOOP("Texts", "Employee ID"), nullptr},
        {"txtVendorName", QT_TRANSLATE_NOOP("Texts", "Employee name"), nullptr},
        {"prbLoad", QT_TRANSLATE_NOOP("Texts", "Loading progress"), nullptr},
    };
    for (const Description& d : descriptions) {
        QWidget* widget = children_.at(QString::fromLatin1(d.child));
        if (d.accessibleName) widget->setAccessibleName(Texts::tr(d.accessibleName));
        if (d.toolTip) widget->setToolTip(Texts::tr(d.toolTip));
    }
}
