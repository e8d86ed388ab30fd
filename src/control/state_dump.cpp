#include "control/state_dump.h"

#include "form/control.h"

namespace {

QString json(const QString& text) {
    QString out;
    out.reserve(text.size() + 2);
    out += u'"';
    for (const QChar c : text) {
        switch (c.unicode()) {
        case '"': out += QLatin1String("\\\""); break;
        case '\\': out += QLatin1String("\\\\"); break;
        case '\n': out += QLatin1String("\\n"); break;
        case '\r': out += QLatin1String("\\r"); break;
        case '\t': out += QLatin1String("\\t"); break;
        default:
            if (c.unicode() < 0x20)
                out += QStringLiteral("\\u%1").arg(c.unicode(), 4, 16, QLatin1Char('0'));
            else
                out += c;
        }
    }
    out += u'"';
    return out;
}

QString json(bool value) { return value ? QStringLiteral("true") : QStringLiteral("false"); }
QString json(int value) { return QString::number(value); }

QString list(const ReportList& list, const Form& form) {
    QString rows, selected;
    for (int i = 1; i <= list.count(); ++i) {
        const ListRow* row = list.item(i);
        if (i > 1) rows += u',';
        rows += u'[' + json(row->text()) + u',' + json(row->subItem(1)) + u',' + json(row->subItem(2)) + u']';
        if (row->selected()) selected += (selected.isEmpty() ? QString() : QStringLiteral(",")) + json(i);
    }
    const ListRow* current = list.currentRow();
    const QString currentPosition = current ? json(list.positionOf(current)) : QStringLiteral("null");
    return QStringLiteral(
               "{\"rows\":[%1],\"selected\":[%2],\"current\":%3,\"multiSelect\":%4,\"sortKey\":%5,"
               "\"sortOrder\":%6,\"focus\":%7}")
        .arg(rows, selected, currentPosition, json(list.multiSelect()), json(list.sortKey()), json(list.sortOrder()),
             json(form.focusedList == &list));
}

QString options(const OptionArray& array) {
    QString out = QStringLiteral("[");
    for (int i = 0; i < 2; ++i)
        out += (i ? QStringLiteral(",") : QString()) +
               QStringLiteral("{\"value\":%1,\"enabled\":%2}").arg(json(array.value(i)), json(array.enabled(i)));
    return out + u']';
}

QString textBox(const TextBox& box) {
    return QStringLiteral("{\"text\":%1,\"enabled\":%2,\"locked\":%3,\"backColor\":\"0x%4\"}")
        .arg(json(box.text()), json(box.enabled()), json(box.locked()), QString::number(box.backColor(), 16).toUpper());
}

}  // namespace

QString dumpState(const Control& control, const std::optional<QStringList>& openMenu,
                  const std::vector<RecordingUiServices::Message>& messages) {
    const Form& f = control.form();
    QString out;
    out += QStringLiteral("{\"lists\":{\"lstEmployees\":") + list(f.lstEmployees, f) +
           QStringLiteral(",\"lstSelectedEmployees\":") + list(f.lstSelectedEmployees, f) + u'}';
    out +=
        QStringLiteral(",\"labels\":{\"lblAllVendors\":%1,\"lblSelVendors\":%2,\"lblVersionNumber\":%3}")
            .arg(json(f.lblAllVendors.caption()), json(f.lblSelVendors.caption()), json(f.lblVersionNumber.caption()));
    out += QStringLiteral(
               ",\"buttons\":{\"cmdAdd\":%1,\"cmdAddAll\":%2,\"cmdRemoveAll\":%3,\"cmdDelete\":%4,"
               "\"cmdFind\":%5,\"cmdCommit\":%6}")
               .arg(json(f.cmdAdd.enabled()), json(f.cmdAddAll.enabled()), json(f.cmdRemoveAll.enabled()),
                    json(f.cmdDelete.enabled()), json(f.cmdFind.enabled()), json(f.cmdCommit.enabled()));
    out += QStringLiteral(",\"options\":{\"optFind\":%1,\"optList\":%2}").arg(options(f.optFind), options(f.optList));
    out += QStringLiteral(",\"textBoxes\":{\"txtVendorID\":%1,\"txtVendorName\":%2}")
               .arg(textBox(f.txtVendorID), textBox(f.txtVendorName));
    out += QStringLiteral(",\"progress\":{\"max\":%1,\"value\":%2}").arg(f.prbLoad.max()).arg(f.prbLoad.value());
    out += QStringLiteral(",\"pointer\":%1").arg(control.state().MousePointer);
    out += QStringLiteral(",\"notice\":") + json(f.lblNotice.caption());
    const PendingCounts pending = pendingCounts(f);
    out += QStringLiteral(",\"pending\":{\"add\":%1,\"remove\":%2}").arg(pending.toAdd).arg(pending.toRemove);
    QString menu = QStringLiteral("null");
    if (openMenu) {
        menu = QStringLiteral("[");
        for (qsizetype i = 0; i < openMenu->size(); ++i)
            menu += (i ? QStringLiteral(",") : QString()) + json(openMenu->at(i));
        menu += u']';
    }
    out += QStringLiteral(",\"menu\":") + menu;
    out += QStringLiteral(",\"messages\":[");
    for (size_t i = 0; i < messages.size(); ++i)
        out += (i ? QStringLiteral(",") : QString()) +
               QStringLiteral("{\"text\":%1,\"style\":%2,\"title\":%3}")
                   .arg(json(messages[i].text), json(messages[i].style), json(messages[i].title));
    return out + QStringLiteral("]}");
}
