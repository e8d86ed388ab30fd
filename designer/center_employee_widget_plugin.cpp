#include "center_employee_widget_plugin.h"

#include <TarvoCenterEmp/centeremployeewidget.h>

#include <QGuiApplication>
#include <QIcon>
#include <QPainter>
#include <QPalette>
#include <QPixmap>
#include <QPolygon>

QString CenterEmployeeWidgetPlugin::name() const { return QStringLiteral("CenterEmployeeWidget"); }

QString CenterEmployeeWidgetPlugin::group() const { return QStringLiteral("TarvoCenterEmp"); }

QString CenterEmployeeWidgetPlugin::toolTip() const {
    return QStringLiteral("Employees of one centre: assign, remove, commit to the server");
}

QString CenterEmployeeWidgetPlugin::whatsThis() const {
    return QStringLiteral(
        "Two lists of a centre's employees with move buttons, a find panel and Commit to Database. Set "
        "centerID and serverName: the lists load from SERVER/CenterEmployee.asp once the program's event "
        "loop runs.");
}

QString CenterEmployeeWidgetPlugin::includeFile() const {
    return QStringLiteral("<TarvoCenterEmp/centeremployeewidget.h>");
}

// Two lists with an arrow between them, drawn in the palette's colours.
QIcon CenterEmployeeWidgetPlugin::icon() const {
    constexpr int kSize = 32;
    QPixmap pixmap(kSize, kSize);
    pixmap.fill(Qt::transparent);
    QPainter painter(&pixmap);
    const QPalette palette = QGuiApplication::palette();
    painter.setPen(palette.color(QPalette::WindowText));
    painter.setBrush(palette.color(QPalette::Base));
    painter.drawRect(1, 4, 11, 24);
    painter.drawRect(20, 4, 11, 24);
    for (int row = 8; row < 26; row += 4) {
        painter.drawLine(3, row, 10, row);
        painter.drawLine(22, row, 29, row);
    }
    painter.setBrush(palette.color(QPalette::Highlight));
    painter.drawPolygon(QPolygon({QPoint(13, 12), QPoint(19, 16), QPoint(13, 20)}));
    painter.end();
    return QIcon(pixmap);
}

QWidget* CenterEmployeeWidgetPlugin::createWidget(QWidget* parent) { return new CenterEmployeeWidget(parent); }

QString CenterEmployeeWidgetPlugin::domXml() const {
    return QStringLiteral(
        "<ui language=\"c++\">\n"
        " <widget class=\"CenterEmployeeWidget\" name=\"centerEmployees\"/>\n"
        " <customwidgets>\n"
        "  <customwidget>\n"
        "   <class>CenterEmployeeWidget</class>\n"
        "   <header location=\"global\">TarvoCenterEmp/centeremployeewidget.h</header>\n"
        // An address and a number, not words: nothing for translators, and uic sets them once in
        // setupUi(), never again in retranslateUi().
        "   <propertyspecifications>\n"
        "    <stringpropertyspecification name=\"centerID\" notr=\"true\" type=\"singleline\"/>\n"
        "    <stringpropertyspecification name=\"serverName\" notr=\"true\" type=\"url\"/>\n"
        "   </propertyspecifications>\n"
        "  </customwidget>\n"
        " </customwidgets>\n"
        "</ui>\n");
}
