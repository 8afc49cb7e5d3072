#pragma once

#include "integrations/ArtworkReader.h"

#include <QObject>

class QNetworkAccessManager;

// Reads covers from local files on the thread pool (regular files only, never through a link in
// their place) and from the web with Qt's network access, within a size and a time limit.
class ArtworkFetcher : public QObject, public ArtworkReader {
    Q_OBJECT

public:
    explicit ArtworkFetcher(int timeLimitMs = 8000, QObject* parent = nullptr);

    void read(const QUrl& url, QObject* receiver, Completion done) override;

private:
    void download(const QUrl& url, QObject* receiver, Completion done);

    int m_timeLimit;
    QNetworkAccessManager* m_network = nullptr; // made when first needed
};
