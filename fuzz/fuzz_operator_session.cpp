// An operator session in-process: a fuzzed centre is written by the server's feed writer and
// loaded, then a fuzzed sequence of what an operator does (clicks, double-clicks, the move
// buttons, the popup menu, find, header clicks, commit). Throughout, moves neither lose nor
// duplicate rows; every posted body parses on the server, and each statement in it is one
// the control could mean: an INSERT for a row pending in the selected list that was loaded as
// not selected, one DELETE for the pending rows of the other list that were loaded as selected.

#include "control/center_employee.h"
#include "form/rows.h"
#include "net/http_feed_source.h"
#include "net/http_transfer.h"
#include "server/feed.h"
#include "server/sql_batch.h"
#include "surface/recording_ui_services.h"

#include <fuzzer/FuzzedDataProvider.h>

#include <QCoreApplication>
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <map>
#include <set>
#include <vector>

namespace {

using namespace centeremp::server;

class FixedFeed : public FeedSource {
public:
    QByteArray body;
    QByteArray get(const QString&) override { return body; }
};

// Answers every post at once and keeps what was posted.
class RecordingTransfer : public Transfer {
public:
    std::vector<QByteArray> posted;
    // Checks the body while the lists still show what was sent: the commit reloads after it.
    std::function<void(const QByteArray&)> onPost;
    void execute(const QString&, const QString&, const QByteArray& data, const QString&) override {
        posted.push_back(data);
        if (onPost) onPost(data);
    }
    bool stillExecuting() const override { return false; }
    QString getChunk(int) override { return {}; }
    bool delivered() const override { return true; }
    QString failure() const override { return {}; }
    QString reply() const override { return {}; }
};

[[noreturn]] void fail(const char* what, const QString& detail = {}) {
    std::fprintf(stderr, "operator session: %s %s\n", what, qPrintable(detail));
    std::abort();
}

using Rows = std::multiset<std::pair<QString, QString>>;

Rows rowsOf(const ReportList& list, Rows rows = {}) {
    for (int i = 1; i <= list.count(); ++i) rows.emplace(list.item(i)->text(), list.item(i)->subItem(1));
    return rows;
}

// How many rows with each ID a list holds that are pending.
std::map<qint32, int> pendingIds(const ReportList& list) {
    std::map<qint32, int> ids;
    for (int i = 1; i <= list.count(); ++i)
        if (isPending(list.item(i)->subItem(2))) ++ids[list.item(i)->text().toInt()];
    return ids;
}

std::map<qint32, int> idsOf(const std::vector<Employee>& employees) {
    std::map<qint32, int> ids;
    for (const Employee& e : employees) ++ids[e.id];
    return ids;
}

void checkPosted(const QByteArray& body, qint32 centerId, const Form& form, const CenterFeed& loaded) {
    const auto parsed = parseBatch(body);
    if (const auto* refusal = std::get_if<BatchRefusal>(&parsed))
        fail("the server refuses the posted body:", refusal->reason);
    std::map<qint32, int> inserted, deleted;
    int deletes = 0;
    for (const BatchStatement& s : std::get<Batch>(parsed).statements) {
        if (const auto* insert = std::get_if<InsertStatement>(&s.statement)) {
            if (deletes > 0) fail("an INSERT after the DELETE");
            if (insert->centerId != centerId) fail("an INSERT for another centre");
            ++inserted[insert->employeeId];
        } else {
            const auto& removal = std::get<DeleteStatement>(s.statement);
            if (++deletes > 1) fail("more than one DELETE");
            if (removal.centerId != centerId) fail("a DELETE for another centre");
            for (qint32 id : removal.employeeIds) ++deleted[id];
        }
    }
    if (inserted != pendingIds(form.lstSelectedEmployees)) fail("the INSERTs are not the pending selected rows");
    if (deleted != pendingIds(form.lstEmployees)) fail("the DELETE is not the pending non-selected rows");
    // A pending row has left the list the database has it in.
    const auto wasNonSelected = idsOf(loaded.nonSelected), wasSelected = idsOf(loaded.selected);
    for (const auto& [id, n] : inserted)
        if (!wasNonSelected.count(id)) fail("an INSERT for an employee loaded as selected:", QString::number(id));
    for (const auto& [id, n] : deleted)
        if (!wasSelected.count(id)) fail("a DELETE for an employee loaded as not selected:", QString::number(id));
}

QString fuzzedText(FuzzedDataProvider& in, size_t length) {
    const std::string bytes = in.ConsumeRandomLengthString(length);
    return QString::fromUtf8(bytes.data(), qsizetype(bytes.size()));
}

// A centre of up to a dozen employees in each list. Small IDs, so that the same employee turns
// up in both lists now and then, as it may while another operator changes the centre between
// two loads.
CenterFeed fuzzedCentre(FuzzedDataProvider& in) {
    CenterFeed centre;
    const int nonSelected = in.ConsumeIntegralInRange(0, 12), selected = in.ConsumeIntegralInRange(0, 12);
    for (int i = 0; i < nonSelected; ++i)
        centre.nonSelected.push_back({in.ConsumeIntegralInRange(-3, 40), fuzzedText(in, 8)});
    for (int i = 0; i < selected; ++i)
        centre.selected.push_back({in.ConsumeIntegralInRange(-3, 40), fuzzedText(in, 8)});
    return centre;
}

struct Session {
    FuzzedDataProvider& in;
    CenterEmployee& control;
    RecordingUiServices& ui;
    RecordingTransfer& transfer;

    // Either way of committing posts exactly once when rows are pending, and never shows a box.
    void commit() {
        Form& form = control.form();
        const size_t before = transfer.posted.size();
        const bool pending = !pendingIds(form.lstEmployees).empty() || !pendingIds(form.lstSelectedEmployees).empty();
        const bool direct = in.ConsumeBool();
        const bool pressable = form.cmdCommit.enabled();
        ui.messages.clear();  // a find that matched nothing says so; that is not the commit's
        if (direct)
            control.SaveToDatabase();
        else
            form.cmdCommit.press();
        if ((direct || pressable) && transfer.posted.size() != before + (pending ? 1 : 0))
            fail("a commit posted other than once for pending rows");
        if (!ui.messages.empty()) fail("the commit showed a message:", ui.messages.front().text);
    }

    void find(ReportList& list, int row, bool onRow) {
        Form& form = control.form();
        const bool byId = in.ConsumeBool();
        QString text = fuzzedText(in, 6);
        if (in.ConsumeBool() && onRow) text = list.item(row)->text();
        (byId ? form.txtVendorID : form.txtVendorName).type(text);
        form.cmdFind.press();
    }

    void rightClick(ReportList& list, int row) {
        list.operatorRightPress(row);
        list.operatorRelease(kRightButton);
        if (ui.openMenu && !ui.openMenu->items().empty() && in.ConsumeBool()) ui.openMenu->items().front().onClick();
        ui.openMenu = nullptr;
    }

    // One thing an operator does, on a row of either list when it has rows.
    void act() {
        Form& form = control.form();
        ReportList& list = in.ConsumeBool() ? form.lstEmployees : form.lstSelectedEmployees;
        // The views report only rows that are there; a click beside them is clickEmpty.
        const int row = in.ConsumeIntegralInRange(1, std::max(list.count(), 1));
        const bool onRow = list.count() > 0;
        CommandButton* buttons[] = {&form.cmdAdd, &form.cmdAddAll, &form.cmdDelete, &form.cmdRemoveAll};
        switch (in.ConsumeIntegralInRange(0, 11)) {
        case 0:
            if (onRow) list.operatorClick(row, ClickModifier::None);
            break;
        case 1:
            if (onRow) list.operatorClick(row, in.ConsumeBool() ? ClickModifier::Ctrl : ClickModifier::Shift);
            break;
        case 2: list.operatorClickEmpty(); break;
        case 3:
            if (onRow) list.operatorDoubleClick(row);
            break;
        case 4: buttons[in.ConsumeIntegralInRange(0, 3)]->press(); break;
        case 5: list.operatorHeaderClick(in.ConsumeIntegralInRange(0, 2)); break;
        case 6:
            if (onRow) rightClick(list, row);
            break;
        case 7: form.optFind.press(in.ConsumeIntegralInRange(0, 1)); break;
        case 8: form.optList.press(in.ConsumeIntegralInRange(0, 1)); break;
        case 9: find(list, row, onRow); break;
        default: commit(); break;
        }
    }
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static int argc = 1;
    static char name[] = "fuzz_operator_session";
    static char* argv[] = {name, nullptr};
    static QCoreApplication app(argc, argv);
    static RecordingUiServices ui;
    static RecordingTransfer transfer;
    static FixedFeed feed;
    static CenterEmployee control(ui, feed, transfer);

    FuzzedDataProvider in(data, size);
    const qint32 centerId = in.ConsumeIntegral<qint32>();
    const CenterFeed loaded = fuzzedCentre(in);
    feed.body = buildCenterFeed(loaded);
    transfer.posted.clear();
    ui.messages.clear();
    ui.openMenu = nullptr;

    transfer.onPost = [&](const QByteArray& body) { checkPosted(body, centerId, control.form(), loaded); };
    control.setCenterID(QString::number(centerId));
    control.setServerName(QStringLiteral("http://127.0.0.1:1"));
    Form& form = control.form();
    const Rows all = rowsOf(form.lstSelectedEmployees, rowsOf(form.lstEmployees));
    if (all.size() != loaded.nonSelected.size() + loaded.selected.size()) fail("the load lost rows");

    Session session{in, control, ui, transfer};
    while (in.remaining_bytes() > 0) {
        session.act();
        if (rowsOf(form.lstSelectedEmployees, rowsOf(form.lstEmployees)) != all) fail("a move lost or duplicated rows");
    }
    return 0;
}
