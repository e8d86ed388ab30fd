#pragma once

#include <QByteArray>
#include <QString>
#include <QStringView>

#include <vector>

namespace centeremp::server {

struct Employee {
    qint32 id = 0;
    QString name;
};

// What one centre's page shows: active employees not assigned to it, and those assigned to
// it, each ordered by ID.
struct CenterFeed {
    std::vector<Employee> nonSelected;
    std::vector<Employee> selected;
};

// The XML document the control reads. The control walks it by position, not by name, so the
// order and nesting of elements here are part of the contract:
//   CenterEmployees
//     Counts/Count/(NonSelected, Selected)
//     NonSelectedEmployees/Employee*/(ID, Name)
//     SelectedEmployees/Employee*/(ID, Name)
// Built as text in one buffer: a DOM would cost far more for tens of thousands of rows.
QByteArray buildCenterFeed(const CenterFeed& feed);

// Active employees in ID order, each one's Employee element written once: a centre's page is
// then put together by copying, whichever centre it is for.
class RenderedEmployees {
public:
    explicit RenderedEmployees(const std::vector<Employee>& inIdOrder);
    // The same document as buildCenterFeed for these employees split by the centre's assigned
    // IDs (in ID order; IDs of no listed employee are passed over).
    QByteArray centerFeed(const std::vector<qint32>& assigned) const;

private:
    std::vector<qint32> ids_;
    std::vector<qsizetype> starts_;  // where each element starts in xml_, then where the last ends
    QByteArray xml_;
};

// Appends text as UTF-8 character data: markup characters are escaped, and characters XML 1.0
// cannot carry (most C0 controls, lone surrogates, U+FFFE/U+FFFF) become U+FFFD so that the
// document always parses. CR and LF are written as character references so they survive.
void appendXmlText(QByteArray& out, QStringView text);

// The control needs a text node in every Name element; an empty or blank name (possible only
// in a database this server did not create) is shown as this instead.
inline constexpr QStringView unnamedEmployee = u"(no name)";

}  // namespace centeremp::server
