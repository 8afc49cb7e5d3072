// Session files of the AI coding tools as they could be found on disk: torn lines, wrong types,
// huge numbers. Every state they lead to must give a snapshot.
#include "FuzzSupport.h"
#include "integrations/AISession.h"

#include <QJsonDocument>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const QByteArray input = FuzzSupport::bytes(data, size);
    for (const char* provider : {"codex", "claude"}) {
        AISession session = AISession::start("/home/me/.codex/sessions/a.jsonl", provider, 1e9);
        // Fed in two pieces, as a file read while it is being written.
        session.parse(input.left(input.size() / 2));
        session.parse(input.mid(input.size() / 2));
        QJsonDocument(session.snapshot()).toJson(QJsonDocument::Compact);
    }
    return 0;
}
