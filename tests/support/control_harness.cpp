#include "support/control_harness.h"

#include "rules/numeric_text.h"

namespace {
QByteArray escaped(const QString& text) { return text.toHtmlEscaped().toUtf8(); }

QByteArray block(const char* name, const std::vector<Employee>& employees) {
    QByteArray out = "  <" + QByteArray(name) + ">\n";
    for (const Employee& e : employees)
        out += "    <Employee>\n      <ID>" + escaped(e.id) + "</ID>\n      <Name>" + escaped(e.name) +
               "</Name>\n    </Employee>\n";
    return out + "  </" + QByteArray(name) + ">\n";
}
}  // namespace

QByteArray feedDocument(int nonSelectedCount, int selectedCount, const std::vector<Employee>& nonSelected,
                        const std::vector<Employee>& selected) {
    QByteArray out = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<CenterEmployees>\n";
    out += "  <Counts>\n    <Count>\n      <NonSelected>" + QByteArray::number(nonSelectedCount) +
           "</NonSelected>\n      <Selected>" + QByteArray::number(selectedCount) +
           "</Selected>\n    </Count>\n  </Counts>\n";
    out += block("NonSelectedEmployees", nonSelected);
    out += block("SelectedEmployees", selected);
    return out + "</CenterEmployees>\n";
}

QByteArray feedDocument(const std::vector<Employee>& nonSelected, const std::vector<Employee>& selected) {
    return feedDocument(int(nonSelected.size()), int(selected.size()), nonSelected, selected);
}

std::vector<QStringList> rowsOf(const ReportList& list) {
    std::vector<QStringList> rows;
    for (int i = 1; i <= list.count(); ++i) {
        const ListRow* row = list.item(i);
        rows.push_back({row->text(), row->subItem(1), row->subItem(2)});
    }
    return rows;
}

std::vector<int> selectedPositions(const ReportList& list) {
    std::vector<int> positions;
    for (int i = 1; i <= list.count(); ++i)
        if (list.item(i)->selected()) positions.push_back(i);
    return positions;
}

void fillList(ReportList& list, std::initializer_list<std::pair<const char*, const char*>> rows) {
    for (const auto& [id, name] : rows) {
        ListRow* row = list.add(QString::fromUtf8(id));
        list.setSubItem(row, 1, QString::fromUtf8(name));
        list.setSubItem(row, 2, numeric_text::formatPadded(row->text()));
    }
    list.setSortKey(2);
}
