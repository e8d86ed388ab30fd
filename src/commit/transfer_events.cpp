#include "commit/transfer_events.h"
#include "rules/texts.h"

#include "form/control.h"
#include "net/transfer.h"
#include "surface/ui_services.h"

namespace {

constexpr int kChunkSize = 1024;

QString trimSpaces(const QString& text) {
    qsizetype begin = 0, end = text.size();
    while (begin < end && text[begin] == u' ') ++begin;
    while (end > begin && text[end - 1] == u' ') --end;
    return text.mid(begin, end - begin);
}

QString readReply(Control& control) {
    Transfer& transfer = control.transfer();
    QString reply;
    bool finished = false;
    QString chunk = transfer.getChunk(kChunkSize);
    control.ui().doEvents();
    while (!finished) {
        reply += chunk;
        chunk = transfer.getChunk(kChunkSize);
        control.ui().doEvents();
        if (chunk.isEmpty()) finished = true;
    }
    return reply;
}

}  // namespace

void Inet1StateChanged(Control& control, int state) {
    if (state == Transfer::StateError) {
        control.ui().messageBox(Texts::tr("Error During saving to Database"), kStylePlain, QString(),
                                control.transfer().failure());
        return;
    }
    if (state != Transfer::StateResponseCompleted) return;
    const QString reply = readReply(control);
    if (!trimSpaces(reply).isEmpty())
        control.ui().messageBox(reply, kStyleInformation, Texts::tr("Center Employee Cross Reference"));
}
