#include "AISession.h"

#include <QCryptographicHash>
#include <QDateTime>
#include <QFileInfo>
#include <QJsonDocument>
#include <QRegularExpression>
#include <algorithm>
#include <cmath>

namespace {

QJsonObject objectAt(const QJsonObject& object, const char* key) {
    return object.value(QLatin1String(key)).toObject();
}

QString stringAt(const QJsonObject& object, const char* key) {
    return object.value(QLatin1String(key)).toString();
}

// Numbers only: a number written as text counts as absent.
std::optional<double> numberAt(const QJsonObject& object, const char* key) {
    const QJsonValue value = object.value(QLatin1String(key));
    if (!value.isDouble())
        return std::nullopt;
    return value.toDouble();
}

QString lastPathComponent(const QString& path) {
    QString trimmed = path;
    while (trimmed.size() > 1 && trimmed.endsWith(QLatin1Char('/')))
        trimmed.chop(1);
    const QString last = trimmed.section(QLatin1Char('/'), -1);
    return last.isEmpty() ? trimmed : last;
}

void insertIfPresent(QJsonObject& object, const char* key, const std::optional<double>& value) {
    if (value)
        object.insert(QLatin1String(key), *value);
}

} // namespace

// ---- Codex activity

QString CodexActivity::label(const QString& toolName) {
    const QString name = toolName.toLower();
    const auto has = [&](const char* part) { return name.contains(QLatin1String(part)); };
    if (has("patch") || has("edit_file"))
        return QStringLiteral("Editing code");
    if (has("search") || has("web"))
        return QStringLiteral("Searching");
    if (has("read") || has("view"))
        return QStringLiteral("Reading files");
    if (has("request_user"))
        return QStringLiteral("Waiting for input");
    if (has("wait") || has("sleep"))
        return QStringLiteral("Waiting for a task");
    if (has("exec_command"))
        return QStringLiteral("Running a command");
    return QStringLiteral("Running tools");
}

double CodexActivity::time(const QJsonValue& value) {
    if (!value.isString())
        return 0;
    const QDateTime parsed = QDateTime::fromString(value.toString(), Qt::ISODateWithMs);
    // An internet date-time always names its offset; without one the time is ambiguous.
    if (!parsed.isValid() || parsed.timeSpec() == Qt::LocalTime)
        return 0;
    return parsed.toMSecsSinceEpoch() / 1000.0;
}

void CodexActivity::setOperation(const QString& label, double at) {
    if (operation == label && active)
        return;
    operation = label;
    since = at;
    active = true;
}

void CodexActivity::record(QJsonObject entry) {
    recent.prepend(entry);
    while (recent.size() > recentLength)
        recent.removeLast();
}

void CodexActivity::finishCall(const QString& callID, double at) {
    const PendingCall call = pending.take(callID);
    pendingOrder.removeOne(callID);
    const bool recordedSince = std::any_of(recent.begin(), recent.end(), [&](const QJsonValue& e) {
        const QJsonValue entryAt = e.toObject().value(QStringLiteral("at"));
        return (entryAt.isDouble() ? entryAt.toDouble() : 0) >= call.start;
    });
    if (!recordedSince)
        record({{QStringLiteral("label"), call.label},
                {QStringLiteral("at"), at},
                {QStringLiteral("failed"), false},
                {QStringLiteral("duration"), std::max(at - call.start, 0.0)}});
    if (pending.isEmpty()) {
        setOperation(QStringLiteral("Preparing next step"), at);
        return;
    }
    // The call started last is what the assistant waits on now.
    QString latest = pendingOrder.first();
    for (const QString& id : pendingOrder) {
        if (pending.value(id).start > pending.value(latest).start)
            latest = id;
    }
    operation = pending.value(latest).label;
    since = pending.value(latest).start;
}

void CodexActivity::recordCompletedItem(const QJsonObject& payload, double at) {
    const QJsonObject item = objectAt(payload, "item");
    const QJsonValue id = item.value(QStringLiteral("id"));
    if (item.isEmpty() || !id.isString() || seen.contains(id.toString()))
        return;
    seen.insert(id.toString());

    static const QRegularExpression tests(QStringLiteral(
            "(?:^|[ ;\\n])(?:swift test|npm test|pytest|cargo test|go test)(?:$|[ ;\\n])"));
    const QString type = stringAt(item, "type");
    QString label;
    if (type == QStringLiteral("CommandExecution")) {
        const QJsonArray parsed = item.value(QStringLiteral("parsed_cmd")).toArray();
        const auto parsedAs = [&](const char* kind) {
            return std::any_of(parsed.begin(), parsed.end(), [&](const QJsonValue& command) {
                return command.toObject().value(QStringLiteral("type")).toString().toLower() ==
                       QLatin1String(kind);
            });
        };
        if (parsedAs("read"))
            label = QStringLiteral("Reading files");
        else if (parsedAs("search"))
            label = QStringLiteral("Searching files");
        else if (tests.match(stringAt(item, "command")).hasMatch())
            label = QStringLiteral("Running tests");
        else
            label = QStringLiteral("Running a command");
    } else if (type == QStringLiteral("FileChange")) {
        label = QStringLiteral("Editing code");
    } else if (type == QStringLiteral("WebSearch")) {
        label = QStringLiteral("Searching the web");
    } else if (type == QStringLiteral("McpToolCall")) {
        label = QStringLiteral("Using an integration");
    } else {
        return;
    }

    const QJsonValue exitCode = item.value(QStringLiteral("exit_code"));
    const bool integerExit =
            exitCode.isDouble() && exitCode.toDouble() == std::trunc(exitCode.toDouble());
    const bool failed = (integerExit && exitCode.toDouble() != 0) ||
                        stringAt(item, "status").toLower() == QStringLiteral("failed");
    QJsonObject entry{{QStringLiteral("label"), label},
                      {QStringLiteral("at"), at},
                      {QStringLiteral("failed"), failed}};
    const auto started = numberAt(payload, "started_at_ms");
    const auto completed = numberAt(payload, "completed_at_ms");
    if (started && completed)
        entry.insert(QStringLiteral("duration"), std::max((*completed - *started) / 1000, 0.0));
    record(entry);
}

void CodexActivity::consume(const QJsonObject& line) {
    const double at = time(line.value(QStringLiteral("timestamp")));
    const QString lineType = stringAt(line, "type");
    const QJsonObject payload = objectAt(line, "payload");
    const QString payloadType = stringAt(payload, "type");
    const QJsonValue callID = payload.value(QStringLiteral("call_id"));

    if (lineType == QStringLiteral("response_item")) {
        if ((payloadType == QStringLiteral("function_call") ||
             payloadType == QStringLiteral("custom_tool_call")) &&
            callID.isString()) {
            const QString label = CodexActivity::label(stringAt(payload, "name"));
            if (!pending.contains(callID.toString()))
                pendingOrder.append(callID.toString());
            pending.insert(callID.toString(), {label, at});
            setOperation(label, at);
        } else if ((payloadType == QStringLiteral("function_call_output") ||
                    payloadType == QStringLiteral("custom_tool_call_output")) &&
                   callID.isString() && pending.contains(callID.toString())) {
            finishCall(callID.toString(), at);
        } else if (payloadType == QStringLiteral("reasoning") && pending.isEmpty()) {
            setOperation(QStringLiteral("Thinking"), at);
        }
    } else if (lineType == QStringLiteral("event_msg")) {
        if (payloadType == QStringLiteral("task_started")) {
            pending.clear();
            pendingOrder.clear();
            setOperation(QStringLiteral("Thinking"), at);
        } else if (payloadType == QStringLiteral("task_complete") ||
                   payloadType == QStringLiteral("turn_aborted")) {
            active = false;
            operation = payloadType == QStringLiteral("task_complete")
                                ? QStringLiteral("Completed")
                                : QStringLiteral("Interrupted");
            since = at;
            pending.clear();
            pendingOrder.clear();
        } else if (payloadType == QStringLiteral("item_completed")) {
            recordCompletedItem(payload, at);
        }
    }
}

QJsonObject CodexActivity::snapshot() const {
    return {{QStringLiteral("operation"), operation},
            {QStringLiteral("since"), since},
            {QStringLiteral("active"), active},
            {QStringLiteral("recent"), recent}};
}

// ---- Sessions

AISession AISession::start(const QString& path, const QString& provider, double updated) {
    AISession session;
    session.id = QString::fromLatin1(
            QCryptographicHash::hash(path.toUtf8(), QCryptographicHash::Sha256).toHex());
    session.provider = provider;
    session.project = QStringLiteral("Session ") + QFileInfo(path).completeBaseName().right(8);
    session.updated = updated;
    return session;
}

void AISession::parse(const QByteArray& bytes) {
    for (const QByteArray& piece : bytes.split('\n')) {
        if (piece.isEmpty())
            continue;
        const QJsonDocument document = QJsonDocument::fromJson(piece);
        if (document.isObject())
            consume(document.object());
    }
}

void AISession::consume(const QJsonObject& line) {
    if (provider == QStringLiteral("codex"))
        consumeCodex(line);
    else
        consumeClaude(line);
}

void AISession::consumeClaude(const QJsonObject& line) {
    if (line.value(QStringLiteral("cwd")).isString())
        project = lastPathComponent(stringAt(line, "cwd"));
    const QString type = stringAt(line, "type");
    if (type == QStringLiteral("user"))
        status = QStringLiteral("Activity recorded");
    if (type != QStringLiteral("assistant") || !line.value(QStringLiteral("message")).isObject())
        return;
    const QJsonObject message = objectAt(line, "message");
    if (message.value(QStringLiteral("model")).isString())
        model = stringAt(message, "model");
    status = stringAt(message, "stop_reason") == QStringLiteral("end_turn")
                     ? QStringLiteral("Completed")
                     : QStringLiteral("Activity recorded");
    if (!message.value(QStringLiteral("usage")).isObject())
        return;
    const QJsonObject usage = objectAt(message, "usage");
    input = numberAt(usage, "input_tokens");
    output = numberAt(usage, "output_tokens");
    cached = numberAt(usage, "cache_read_input_tokens");
    responseTokens.reset();
    if (input && output)
        responseTokens = *input + *output + cached.value_or(0) +
                         numberAt(usage, "cache_creation_input_tokens").value_or(0);
    total.reset();
    usageAt = stringAt(line, "timestamp");
}

void AISession::consumeCodex(const QJsonObject& line) {
    activity.consume(line);
    const QString type = stringAt(line, "type");
    const QJsonObject payload = objectAt(line, "payload");
    if (type == QStringLiteral("session_meta") && payload.value(QStringLiteral("cwd")).isString())
        project = lastPathComponent(stringAt(payload, "cwd"));
    if (type == QStringLiteral("turn_context") && payload.value(QStringLiteral("model")).isString())
        model = stringAt(payload, "model");
    if (type != QStringLiteral("event_msg"))
        return;
    const QString event = stringAt(payload, "type");
    if (event == QStringLiteral("task_started"))
        status = QStringLiteral("Working");
    else if (event == QStringLiteral("task_complete"))
        status = QStringLiteral("Completed");
    else if (event == QStringLiteral("turn_aborted"))
        status = QStringLiteral("Interrupted");
    else if (event == QStringLiteral("token_count"))
        takeTokenCount(line, payload);
}

void AISession::takeTokenCount(const QJsonObject& line, const QJsonObject& payload) {
    const QJsonObject info = objectAt(payload, "info");
    if (!info.value(QStringLiteral("total_token_usage")).isObject())
        return;
    const QJsonObject usage = objectAt(info, "total_token_usage");
    input = numberAt(usage, "input_tokens");
    output = numberAt(usage, "output_tokens");
    cached = numberAt(usage, "cached_input_tokens");
    total = numberAt(usage, "total_tokens");
    context = numberAt(objectAt(info, "last_token_usage"), "total_tokens");
    window = numberAt(info, "model_context_window");
    usageAt = stringAt(line, "timestamp");
    if (!payload.value(QStringLiteral("rate_limits")).isObject())
        return;
    const QJsonObject rateLimits = objectAt(payload, "rate_limits");
    QJsonArray entries;
    for (const char* window : {"primary", "secondary"}) {
        const QJsonObject limit = objectAt(rateLimits, window);
        const auto used = numberAt(limit, "used_percent");
        if (!used)
            continue;
        entries.append(QJsonObject{
                {QStringLiteral("used"), *used},
                {QStringLiteral("minutes"), numberAt(limit, "window_minutes").value_or(0)},
                {QStringLiteral("resets"), numberAt(limit, "resets_at").value_or(0)}});
    }
    limits = entries;
}

QJsonObject AISession::snapshot() const {
    QJsonObject object{{QStringLiteral("id"), id},
                       {QStringLiteral("provider"), provider},
                       {QStringLiteral("project"), project},
                       {QStringLiteral("model"), model},
                       {QStringLiteral("status"), status},
                       {QStringLiteral("updated"), updated},
                       {QStringLiteral("limits"), limits},
                       {QStringLiteral("usageAt"), usageAt},
                       {QStringLiteral("activity"), activity.snapshot()}};
    insertIfPresent(object, "input", input);
    insertIfPresent(object, "output", output);
    insertIfPresent(object, "cached", cached);
    insertIfPresent(object, "total", total);
    insertIfPresent(object, "context", context);
    insertIfPresent(object, "window", window);
    insertIfPresent(object, "responseTokens", responseTokens);
    return object;
}
