// Every operator action at 32767 rows, and the whole load from a real server, timed.
// The one-frame budget is 16 ms per action.

#include "commit/commit.h"
#include "feed/feed_document.h"
#include "finding/column_sorting.h"
#include "finding/find_panel.h"
#include "rules/numeric_text.h"
#include "server/employee_store.h"
#include "support/control_harness.h"
#include "view/center_employee_view.h"

#include <benchmark/benchmark.h>
#include <QApplication>
#include <QProcess>
#include <QTemporaryDir>

#include <functional>

namespace {

constexpr int kRows = 32767;

void fillEmployees(ReportList& list, int rows) {
    for (int i = 1; i <= rows; ++i) {
        ListRow* row = list.add(QString::number(i));
        list.setSubItem(row, 1, QStringLiteral("Employee %1 Surname").arg(i));
        list.setSubItem(row, 2, QStringLiteral("%1").arg(i, 6, 10, QLatin1Char('0')));
    }
    list.setSortKey(2);
}

void selectAll(ReportList& list) {
    list.setMultiSelect(true);
    list.operatorClick(1, ClickModifier::None);
    list.operatorClick(list.count(), ClickModifier::Shift);
}

// Runs the queued view refreshes, as the event loop does before the next frame.
void settle() { QCoreApplication::processEvents(); }

// One move per iteration through a pair of buttons, as the operator presses them: the move, the
// pending rows counted, both views refreshed with the pending rows drawn. Only the direction
// asked for is timed; the other one, untimed, brings the lists back. `select` chooses the rows
// to move in a list; `movedRows` is how many rows one move takes to the selected list.
void timeMoves(benchmark::State& state, Form& form, bool back, CommandButton& toSelected, CommandButton& toOther,
               const std::function<void(ReportList&)>& select, int movedRows) {
    for (auto _ : state) {
        state.PauseTiming();
        select(form.lstEmployees);
        if (back) {
            toSelected.press();
            select(form.lstSelectedEmployees);
        }
        settle();
        state.ResumeTiming();
        (back ? toOther : toSelected).press();
        settle();
        state.PauseTiming();
        if (form.lstSelectedEmployees.count() != (back ? 0 : movedRows)) state.SkipWithError("the rows did not move");
        if (!back) {
            select(form.lstSelectedEmployees);
            toOther.press();
            settle();
        }
        state.ResumeTiming();
    }
}

// ">>" with every row selected, then "<<" straight back; with the views shown or without.
void BM_MoveAllRows(benchmark::State& state) {
    const bool back = state.range(0) == 1;
    ControlHarness h;
    std::unique_ptr<CenterEmployeeView> view;
    if (state.range(1)) {
        view = std::make_unique<CenterEmployeeView>(h.control.form());
        view->show();
    }
    fillEmployees(h.form().lstEmployees, kRows);
    settle();
    timeMoves(state, h.form(), back, h.form().cmdAddAll, h.form().cmdRemoveAll, selectAll, kRows);
    state.SetLabel(QStringLiteral("%1 32767 rows%2")
                       .arg(back ? "<<" : ">>", state.range(1) ? ", views refreshed" : ", state only")
                       .toStdString());
}
BENCHMARK(BM_MoveAllRows)->Args({0, 1})->Args({1, 1})->Args({0, 0})->Args({1, 0})->Unit(benchmark::kMillisecond);

// ">" of the middle row of 32767, then "<" of it straight back: the smallest move, in the
// largest lists, each timed with both views refreshed.
void BM_MoveOneRow(benchmark::State& state) {
    const bool back = state.range(0) == 1;
    ControlHarness h;
    CenterEmployeeView view(h.control.form());
    view.show();
    fillEmployees(h.form().lstEmployees, kRows);
    settle();
    const QString middle = QString::number(kRows / 2);
    const auto clickMiddle = [&middle](ReportList& list) {
        list.operatorClick(list.positionOf(list.findItem(middle)), ClickModifier::None);
    };
    timeMoves(state, h.form(), back, h.form().cmdAdd, h.form().cmdDelete, clickMiddle, 1);
    state.SetLabel(back ? "< of one row back among 32767" : "> of one row among 32767");
}
BENCHMARK(BM_MoveOneRow)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);

void BM_ClickSelectsRange(benchmark::State& state) {
    ControlHarness h;
    fillEmployees(h.form().lstEmployees, kRows);
    for (auto _ : state) selectAll(h.form().lstEmployees);
    state.SetLabel("click + shift-click over 32767 rows, with the move-button state");
}
BENCHMARK(BM_ClickSelectsRange)->Unit(benchmark::kMillisecond);

void BM_FindLastRowByName(benchmark::State& state) {
    ControlHarness h;
    fillEmployees(h.form().lstEmployees, kRows);
    ListRow* last = h.form().lstEmployees.item(kRows);
    h.form().lstEmployees.setSubItem(last, 1, QStringLiteral("Zebedee Quux"));
    h.form().optFind.setEnabled(0, true);
    h.form().optFind.press(0);
    h.form().txtVendorName.type(QStringLiteral("EBEDEE q"));
    for (auto _ : state) {
        cmdFindClick(h.control);
        if (h.form().lstEmployees.currentRow() != last) state.SkipWithError("wrong row found");
    }
    state.SetLabel("name search matching only the last of 32767 rows");
}
BENCHMARK(BM_FindLastRowByName)->Unit(benchmark::kMillisecond);

void BM_SortHeaderClick(benchmark::State& state) {
    const int header = int(state.range(0));
    ControlHarness h;
    CenterEmployeeView view(h.control.form());
    view.show();
    fillEmployees(h.form().lstEmployees, kRows);
    settle();
    for (auto _ : state) {
        if (header == 2) {
            state.PauseTiming();
            columnClick(h.form().lstEmployees, 1);  // back to the ID column first
            h.form().lstEmployees.item(1);
            settle();
            state.ResumeTiming();
        }
        columnClick(h.form().lstEmployees, header);
        h.form().lstEmployees.item(1);  // the list shows its new order
        settle();
    }
    state.SetLabel(header == 1 ? "ID header again: direction toggle" : "Name header: new sort column");
}
BENCHMARK(BM_SortHeaderClick)->Arg(1)->Arg(2)->Unit(benchmark::kMillisecond);

// Keys and the drop of our own, with the views shown: Ctrl+A over 32767 rows; F3 from the first
// row to the only match, the last; a drop of 16384 selected rows on the other list (timed with
// the move and both views refreshed; the rows go back untimed).
void BM_OwnKeysAndDrop(benchmark::State& state) {
    const int action = int(state.range(0));
    ControlHarness h;
    CenterEmployeeView view(h.control.form());
    view.show();
    Form& form = h.form();
    fillEmployees(form.lstEmployees, kRows);
    form.lstEmployees.setSubItem(form.lstEmployees.item(kRows), 1, QStringLiteral("Zebedee Quux"));
    form.optFind.setEnabled(0, true);
    form.optFind.press(0);
    form.txtVendorName.type(QStringLiteral("zebedee"));
    settle();
    for (auto _ : state) {
        state.PauseTiming();
        form.lstEmployees.operatorClick(1, ClickModifier::None);
        if (action == 2) form.lstEmployees.operatorExtendTo(kRows / 2 + 1);
        settle();
        state.ResumeTiming();
        if (action == 0) form.lstEmployees.operatorSelectAll();
        if (action == 1) form.findNextKey(false);
        if (action == 2) form.lstEmployees.operatorMoveSelected();
        settle();
        state.PauseTiming();
        if (action == 1 && form.lstEmployees.currentRow() != form.lstEmployees.item(kRows))
            state.SkipWithError("F3 found the wrong row");
        if (action == 2) {
            if (form.lstSelectedEmployees.count() != kRows / 2 + 1) state.SkipWithError("the rows did not move");
            selectAll(form.lstSelectedEmployees);
            form.cmdRemoveAll.press();
            settle();
        }
        state.ResumeTiming();
    }
    const char* labels[] = {"Ctrl+A over 32767 rows", "F3 to the last of 32767 rows", "drop of 16384 rows"};
    state.SetLabel(labels[action]);
}
BENCHMARK(BM_OwnKeysAndDrop)->Arg(0)->Arg(1)->Arg(2)->Unit(benchmark::kMillisecond);

// The feed of 32767 employees, half of them selected, indented as the test feeds are.
QByteArray largestFeed() {
    std::vector<Employee> nonSelected, selected;
    for (int i = 1; i <= kRows; ++i)
        (i % 2 == 0 ? selected : nonSelected)
            .push_back({QString::number(i), QStringLiteral("Employee %1 Surname").arg(i)});
    return feedDocument(nonSelected, selected);
}

// Parsing alone, without the transfer and the lists: the part the XML reader decides.
void BM_ParseFeed(benchmark::State& state) {
    const QByteArray body = largestFeed();
    for (auto _ : state) {
        FeedDocument document;
        if (!document.parse(body)) state.SkipWithError(qPrintable(document.failure()));
        benchmark::DoNotOptimize(document);
    }
    state.SetBytesProcessed(int64_t(state.iterations()) * body.size());
    state.SetLabel(QStringLiteral("FeedDocument::parse, %1 bytes, 32767 employees").arg(body.size()).toStdString());
}
BENCHMARK(BM_ParseFeed)->Unit(benchmark::kMillisecond);

// centeremp-server on a fresh SQLite file seeded with 32767 employees, half of them assigned to
// centre 1; stops with the benchmark.
class SeededServer {
public:
    explicit SeededServer(benchmark::State& state) {
        const QString file = dir_.filePath(QStringLiteral("bench.sqlite"));
        {
            centeremp::server::DatabaseAddress address;
            address.sqlitePath = file;
            centeremp::server::EmployeeStore store(address, QStringLiteral("bench-seed"));
            if (store.open()) {
                state.SkipWithError("cannot create the database");
                return;
            }
            std::vector<centeremp::server::SeedEmployee> employees;
            std::vector<centeremp::server::SeedAssignment> assignments;
            for (int i = 1; i <= kRows; ++i) {
                employees.push_back({i, QStringLiteral("Employee %1 Surname").arg(i), true});
                if (i % 2 == 0) assignments.push_back({1, i});
            }
            store.insertSeed({{1, QStringLiteral("Centre 1")}}, employees, assignments,
                             QDateTime::currentDateTimeUtc());
        }
        process_.start(QStringLiteral(CENTEREMP_BIN_DIR "/centeremp-server"),
                       {QStringLiteral("--db"), file, QStringLiteral("--listen"), QStringLiteral("127.0.0.1:0")});
        while (url_.isEmpty() && process_.waitForReadyRead(10000)) {
            const QString line = QString::fromUtf8(process_.readLine()).trimmed();
            if (line.startsWith(QStringLiteral("listening on "))) url_ = line.mid(13);
        }
        if (url_.isEmpty()) state.SkipWithError("the server did not start");
    }
    ~SeededServer() {
        process_.terminate();
        process_.waitForFinished();
    }
    const QString& url() const { return url_; }

private:
    QTemporaryDir dir_;
    QProcess process_;
    QString url_;
};

// The whole load of 32767 employees from centeremp-server on an SQLite file over loopback.
void BM_LoadFromServer(benchmark::State& state) {
    SeededServer server(state);
    if (server.url().isEmpty()) return;
    ControlHarness h;
    h.control.setCenterID(QStringLiteral("1"));
    for (auto _ : state) {
        h.control.setServerName(server.url());
        if (h.form().lstEmployees.count() + h.form().lstSelectedEmployees.count() != kRows)
            state.SkipWithError(qPrintable(QStringLiteral("load incomplete: ") + h.form().lblNotice.caption()));
    }
    state.SetLabel("setServerName: HTTP GET, parse, fill both lists (32767 rows)");
}
BENCHMARK(BM_LoadFromServer)->Unit(benchmark::kMillisecond)->MinTime(2.0);

// SaveToDatabase of N pending rows against the real server: the odd runs assign N unassigned
// employees (N INSERTs), the even runs take them back (one DELETE of N IDs), so the database
// ends each pair as it began. Timed from building the batch to the end of the reply.
void BM_CommitToServer(benchmark::State& state) {
    SeededServer server(state);
    if (server.url().isEmpty()) return;
    const int pending = int(state.range(0));
    ControlHarness h;
    h.control.setCenterID(QStringLiteral("1"));
    h.control.state().ServerName = server.url();
    bool assign = true;
    for (auto _ : state) {
        state.PauseTiming();
        ReportList& holder = assign ? h.form().lstSelectedEmployees : h.form().lstEmployees;
        h.form().lstEmployees.clear();
        h.form().lstSelectedEmployees.clear();
        for (int i = 0; i < pending; ++i) {
            const QString id = QString::number(2 * i + 1);  // odd IDs start unassigned
            ListRow* row = holder.add(id);
            holder.setSubItem(row, 2, numeric_text::formatPadded(id) + (assign ? u'N' : u'D'));
        }
        h.ui.messages.clear();
        state.ResumeTiming();
        if (!SaveToDatabase(h.control).delivered) state.SkipWithError("the batch was not delivered");
        assign = !assign;
    }
    state.SetLabel("SaveToDatabase: batch, POST, server applies it, reply read");
}
BENCHMARK(BM_CommitToServer)->Arg(1)->Arg(16383)->Unit(benchmark::kMillisecond)->MinTime(2.0);

}  // namespace

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
