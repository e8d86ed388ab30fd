#pragma once

#include "control/center_employee.h"
#include "net/http_feed_source.h"
#include "net/http_transfer.h"
#include "net/sign_in.h"
#include "support/qt_printers.h"
#include "surface/recording_ui_services.h"

#include <QString>
#include <QStringList>
#include <cctype>
#include <initializer_list>
#include <string>
#include <utility>
#include <vector>

// A control with its real HTTP components and a recording surface: message boxes are
// answered at once and kept, popup menus stay open until chosen from, sign-in prompts are
// answered with ui.signInAnswer.
struct ControlHarness {
    RecordingUiServices ui;
    SignIn signIn{ui};
    HttpFeedSource feed{{}, &signIn};
    HttpTransfer transfer{{}, &signIn};
    CenterEmployee control{ui, feed, transfer};

    Form& form() { return control.form(); }
};

struct Employee {
    QString id;
    QString name;
};

// A well-formed feed with the given counts and rows, laid out with whitespace and line breaks
// between the elements as a server typically writes it.
QByteArray feedDocument(int nonSelectedCount, int selectedCount, const std::vector<Employee>& nonSelected,
                        const std::vector<Employee>& selected);
QByteArray feedDocument(const std::vector<Employee>& nonSelected, const std::vector<Employee>& selected);

// Rows of a list as [text, name, id column] triples, in the order shown.
std::vector<QStringList> rowsOf(const ReportList& list);
// Positions of the selected rows.
std::vector<int> selectedPositions(const ReportList& list);
// Fills both lists directly, as a load would, without a server.
void fillList(ReportList& list, std::initializer_list<std::pair<const char*, const char*>> rows);

// A test-name suffix from a case's description: letters and digits, the rest underscores.
inline std::string caseName(const char* what) {
    std::string name = what;
    for (char& ch : name)
        if (!std::isalnum(static_cast<unsigned char>(ch))) ch = '_';
    return name;
}
