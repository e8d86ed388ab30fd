#include "center_employee_widget_plugin.h"

#include <TarvoCenterEmp/centeremployeewidget.h>

#include <QIcon>

QString CenterEmployeeWidgetPlugin::name() const { return QStringLiteral("CenterEmployeeWidget"); }

QString CenterEmployeeWidgetPlugin::group() const { return QStringLiteral("TarvoCenterEmp"); }

QString CenterEmployeeWidgetPlugin::toolTip() const {
    return QStringLiteral("Employees of one centre: assign, remove, commit to the server");
}

QString CenterEmployeeWidgetPlugin::whatsThis() const {
    return QStringLiteral(
        "Two lists of a centre's employees with move buttons, a find panel and Commit to Database. Set "
        "centerID, then serverName (which loads the lists from SERVER/CenterEmployee.asp).");
}

QString CenterEmployeeWidgetPlugin::includeFile() const {
    return QStringLiteral("<TarvoCenterEmp/centeremployeewidget.h>");
}

QIcon CenterEmployeeWidgetPlugin::icon() const { return {}; }

QWidget* CenterEmployeeWidgetPlugin::createWidget(QWidget* parent) { return new CenterEmployeeWidget(parent); }

QString CenterEmployeeWidgetPlugin::domXml() const {
    return QStringLiteral(
        "<ui language=\"c++\">\n"
        " <widget class=\"CenterEmployeeWidget\" name=\"centerEmployees\"/>\n"
        " <customwidgets>\n"
        "  <customwidget>\n"
        "   <class>CenterEmployeeWidget</class>\n"
        "   <header location=\"global\">TarvoCenterEmp/centeremployeewidget.h</header>\n"
        "  </customwidget>\n"
        " </customwidgets>\n"
        "</ui>\n");
}
