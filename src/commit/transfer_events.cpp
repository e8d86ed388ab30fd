#include "commit/transfer_events.h"

#include "control/center_employee.h"
#include "platform/http_transfer.h"
#include "platform/ui_services.h"

namespace {

constexpr int kChunkSize = 1024;

QString trimSpaces(const QString& text) {
    qsizetype begin = 0, end = text.size();
    while (begin < end && text[begin] == u' ') ++begin;
    while (end > begin && text[end - 1] == u' ') --end;
    return text.mid(begin, end - begin);
}

QString readReply(CenterEmployee& c) {
    Transfer& transfer = c.transfer();
    QString reply;
    bool finished = false;
    QString chunk = transfer.getChunk(kChunkSize);
    c.ui().doEvents();
    while (!finished) {
        reply += chunk;
        chunk = transfer.getChunk(kChunkSize);
        c.ui().doEvents();
        if (chunk.isEmpty()) finished = true;
    }
    return reply;
}

}  // namespace

void Inet1StateChanged(CenterEmployee& c, int state) {
    if (state == Transfer::StateError) {
        c.ui().messageBox(QStringLiteral("Error During saving to Database"), kStylePlain, QString());
        return;
    }
    if (state != Transfer::StateResponseCompleted) return;
    const QString reply = readReply(c);
    if (!trimSpaces(reply).isEmpty())
        c.ui().messageBox(reply, kStyleInformation, QStringLiteral("Center Employee Cross Reference"));
}
