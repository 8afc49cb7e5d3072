#pragma once

#include <QByteArray>
#include <QHash>
#include <QJsonArray>
#include <QJsonObject>
#include <QSet>
#include <QString>
#include <optional>

// What a Codex session is doing right now, and its last few finished actions.
struct CodexActivity {
    static constexpr int recentLength = 4;

    struct PendingCall {
        QString label;
        double start = 0;
    };

    QString operation;
    double since = 0; // seconds since 1970
    bool active = false;
    QJsonArray recent; // newest first: {"label", "at", "failed", "duration"?}
    QHash<QString, PendingCall> pending;
    QList<QString> pendingOrder; // call ids in the order they started
    QSet<QString> seen;

    void consume(const QJsonObject& line);
    QJsonObject snapshot() const;

    // What a tool call is about, from its name.
    static QString label(const QString& toolName);
    // An ISO 8601 date-time with or without fractional seconds, as seconds since 1970; 0 when
    // missing or unreadable.
    static double time(const QJsonValue& value);

private:
    void setOperation(const QString& label, double at);
    void record(QJsonObject entry);
    void finishCall(const QString& callID, double at);
    void recordCompletedItem(const QJsonObject& payload, double at);
};

// One transcript of a local AI coding assistant, reduced to what the dashboard shows.
struct AISession {
    QString id;       // SHA-256 of the file's path
    QString provider; // "codex" or "claude"
    QString project;
    QString model = QStringLiteral("Unknown model");
    QString status = QStringLiteral("Unknown");
    double updated = 0; // modification time, seconds since 1970
    std::optional<double> input;
    std::optional<double> output;
    std::optional<double> cached;
    std::optional<double> total;
    std::optional<double> context;
    std::optional<double> window;
    std::optional<double> responseTokens;
    QJsonArray limits;
    QString usageAt;
    CodexActivity activity;

    static AISession start(const QString& path, const QString& provider, double updated);

    // Feeds JSON Lines; pieces that are not JSON objects are skipped.
    void parse(const QByteArray& bytes);
    void consume(const QJsonObject& line);
    QJsonObject snapshot() const;

private:
    void consumeClaude(const QJsonObject& line);
    void consumeCodex(const QJsonObject& line);
    void takeTokenCount(const QJsonObject& line, const QJsonObject& payload);
};
