// The feed from the server's writer to the operator's lists: whatever the employees' IDs and
// names, the control's whole load shows every employee in the list the server put it in, with
// its ID and its name, in the lists' ID order. Characters XML cannot carry are the one change
// allowed: the writer sends U+FFFD for each, so a name never breaks the document.

#include "control/center_employee.h"
#include "form/rows.h"
#include "net/http_feed_source.h"
#include "net/http_transfer.h"
#include "rules/numeric_text.h"
#include "server/feed.h"
#include "surface/recording_ui_services.h"

#include <fuzzer/FuzzedDataProvider.h>

#include <QCoreApplication>
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <vector>

namespace {

using centeremp::server::CenterFeed;
using centeremp::server::Employee;

class FixedFeed : public FeedSource {
public:
    QByteArray body;
    QByteArray get(const QString&) override { return body; }
};

struct Row {
    QString id;
    QString name;
    QString key;
    int sequence = 0;
};

[[noreturn]] void fail(const char* what, const QString& detail = {}) {
    std::fprintf(stderr, "feed round trip: %s %s\n", what, qPrintable(detail));
    std::abort();
}

// Written plainly from the XML 1.0 Char production rather than from the writer's code.
QString expectedName(const QString& name) {
    bool blank = true;
    for (const QChar c : name) blank = blank && c.isSpace();
    if (blank) return centeremp::server::unnamedEmployee.toString();
    QString shown;
    for (qsizetype i = 0; i < name.size(); ++i) {
        const char16_t c = name[i].unicode();
        if (QChar::isHighSurrogate(c) && i + 1 < name.size() && QChar::isLowSurrogate(name[i + 1].unicode())) {
            shown += name[i];
            shown += name[++i];
            continue;
        }
        const bool legal =
            c == 0x9 || c == 0xA || c == 0xD || (c >= 0x20 && c <= 0xD7FF) || (c >= 0xE000 && c <= 0xFFFD);
        shown += legal ? QChar(c) : QChar(0xFFFD);
    }
    return shown;
}

QString fuzzedName(FuzzedDataProvider& in) {
    const size_t length = in.ConsumeIntegralInRange<size_t>(0, 40);
    QString name;
    for (size_t i = 0; i < length && in.remaining_bytes() > 0; ++i) {
        // Mostly characters of interest, so short inputs reach the edges of the XML character range.
        static const char16_t interesting[] = {u' ',   u'\t',  u'\n',  u'\r',  0x0,    0x1,    0x1F,   u'&',   u'<',
                                               u'>',   u'"',   u'\'',  0x85,   0xA0,   0xFEFF, 0xFFFE, 0xFFFF, 0xFFFD,
                                               0xD800, 0xDBFF, 0xDC00, 0xDFFF, 0x2028, 0xE9,   0x20AC, u']',   u'a'};
        const uint8_t pick = in.ConsumeIntegral<uint8_t>();
        name += pick < std::size(interesting) ? QChar(interesting[pick]) : QChar(in.ConsumeIntegral<char16_t>());
    }
    return name;
}

qint32 fuzzedId(FuzzedDataProvider& in) {
    return in.ConsumeBool() ? in.ConsumeIntegralInRange<qint32>(-20, 2000000) : in.ConsumeIntegral<qint32>();
}

std::vector<Row> expectedRows(const std::vector<Employee>& employees, int sortOrder) {
    std::vector<Row> rows;
    int sequence = 0;
    for (const Employee& e : employees) {
        const QString id = QString::number(e.id);
        rows.push_back({id, expectedName(e.name), numeric_text::formatPadded(id), sequence++});
    }
    std::stable_sort(rows.begin(), rows.end(), [&](const Row& a, const Row& b) {
        const int byKey = a.key.compare(b.key, Qt::CaseInsensitive);
        return sortOrder == 0 ? byKey < 0 : byKey > 0;
    });
    return rows;
}

void compare(const ReportList& list, const std::vector<Employee>& sent) {
    const std::vector<Row> expected = expectedRows(sent, list.sortOrder());
    if (list.count() != int(expected.size()))
        fail("row count differs in",
             list.name() + QStringLiteral(": %1 shown, %2 sent").arg(list.count()).arg(expected.size()));
    if (list.sortKey() != 2) fail("the list is not in ID order:", list.name());
    for (int i = 1; i <= list.count(); ++i) {
        const ListRow* row = list.item(i);
        const Row& want = expected[size_t(i - 1)];
        if (row->text() != want.id) fail("ID differs:", row->text() + QStringLiteral(" != ") + want.id);
        if (row->subItem(1) != want.name) fail("name differs for ID", want.id);
        if (row->subItem(2) != want.key) fail("sort column differs for ID", want.id);
    }
}

// Loads what the server writes for these employees and compares what the operator sees.
void roundTrip(const CenterFeed& sent) {
    static int argc = 1;
    static char name[] = "fuzz_feed_round_trip";
    static char* argv[] = {name, nullptr};
    static QCoreApplication app(argc, argv);
    static RecordingUiServices ui;
    static HttpTransfer transfer;
    static FixedFeed feed;
    static CenterEmployee control(ui, feed, transfer);

    ui.messages.clear();
    feed.body = centeremp::server::buildCenterFeed(sent);
    control.setServerName(QStringLiteral("http://127.0.0.1:1"));
    const Form& form = control.form();
    if (!form.lblNotice.caption().isEmpty()) fail("the load reported a problem:", form.lblNotice.caption());
    if (!ui.messages.empty()) fail("the load showed a message:", ui.messages.front().text);
    if (form.lblAllVendors.caption() != nonSelectedCaption(int(sent.nonSelected.size())) ||
        form.lblSelVendors.caption() != selectedCaption(int(sent.selected.size())))
        fail("the count labels differ from the feed");
    compare(form.lstEmployees, sent.nonSelected);
    compare(form.lstSelectedEmployees, sent.selected);
}

// A centre at the 32767-row limit, IDs descending across both lists and names with every kind
// of character the writer treats specially. It takes about a second, so it runs once per
// fuzzing run rather than from the corpus, where mutations of it would take most of the time.
CenterFeed limitCentre() {
    CenterFeed centre;
    const QString special = QStringLiteral("\uFEFF&<>\"' \t\r\n") + QChar(0xD800) + QChar(0x1) + QChar(0xFFFE) + u'x';
    for (int i = 0; i < 32767; ++i) {
        Employee e{qint32(2147483647 - i * 65537), special + QString::number(i)};
        (i % 3 == 0 ? centre.selected : centre.nonSelected).push_back(e);
    }
    return centre;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static const bool limitChecked = (roundTrip(limitCentre()), true);
    (void)limitChecked;

    FuzzedDataProvider in(data, size);
    CenterFeed sent;
    // One input in 256 (and only on purpose: an exhausted input reads as zeros) is a large centre.
    if (in.ConsumeIntegral<uint8_t>() == 0xA5) {
        // A large centre from a few bytes: numbered employees with one fuzzed name each. Right at
        // the 32767-row limit only on a second choice, since each such load takes about a second.
        const bool atLimit = in.ConsumeIntegral<uint8_t>() == 0xFF;
        const int total = atLimit ? 32767 - in.ConsumeIntegralInRange(0, 2) : in.ConsumeIntegralInRange(0, 500);
        const int nonSelected = in.ConsumeIntegralInRange(0, total);
        const QString base = fuzzedName(in);
        const qint32 first = fuzzedId(in);
        for (int i = 0; i < total; ++i) {
            Employee e{qint32(quint32(first) + quint32(i) * 7919u), base + QString::number(i)};
            (i < nonSelected ? sent.nonSelected : sent.selected).push_back(e);
        }
    } else {
        const int nonSelected = in.ConsumeIntegralInRange(0, 30);
        const int selected = in.ConsumeIntegralInRange(0, 30);
        for (int i = 0; i < nonSelected; ++i) sent.nonSelected.push_back({fuzzedId(in), fuzzedName(in)});
        for (int i = 0; i < selected; ++i) sent.selected.push_back({fuzzedId(in), fuzzedName(in)});
    }

    roundTrip(sent);
    return 0;
}
