// Any answer of a server goes through the whole load: the control must end every load quietly,
// whatever the bytes, with counters and lists consistent.

#include "control/center_employee.h"
#include "net/http_feed_source.h"
#include "net/http_transfer.h"
#include "surface/recording_ui_services.h"

#include <QCoreApplication>
#include <cstdlib>

namespace {

class FixedFeed : public FeedSource {
public:
    QByteArray body;
    QByteArray get(const QString&) override { return body; }
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static int argc = 1;
    static char name[] = "fuzz_feed";
    static char* argv[] = {name, nullptr};
    static QCoreApplication app(argc, argv);
    static RecordingUiServices ui;
    static HttpTransfer transfer;
    static FixedFeed feed;
    static CenterEmployee control(ui, feed, transfer);

    feed.body = QByteArray(reinterpret_cast<const char*>(data), qsizetype(size));
    control.setServerName(QStringLiteral("http://127.0.0.1:1"));
    const Form& form = control.form();
    if (control.state().MousePointer != 0) std::abort();
    if (form.cmdCommit.enabled()) std::abort();
    if (form.lstEmployees.count() + form.lstSelectedEmployees.count() > 32768) std::abort();
    if (!ui.messages.empty()) std::abort();
    return 0;
}
