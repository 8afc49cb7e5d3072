#include "integrations/AISession.h"

#include <QJsonDocument>
#include <gtest/gtest.h>

namespace {

QJsonObject line(const char* json) {
    return QJsonDocument::fromJson(json).object();
}

AISession codex() {
    return AISession::start("/home/me/.codex/sessions/2026/rollout-2026-12-07-abcdef12.jsonl",
                            "codex", 100);
}

AISession claude() {
    return AISession::start("/home/me/.claude/projects/app/4f1c2e90.jsonl", "claude", 100);
}

// A Codex line of the given type and payload at second `at` past 2026-12-07T10:00:00Z.
QJsonObject codexLine(const char* type, const QJsonObject& payload, double at = 0) {
    const QDateTime time =
            QDateTime(QDate(2026, 12, 7), QTime(10, 0), Qt::UTC).addMSecs(qint64(at * 1000));
    return {{"type", type}, {"timestamp", time.toString(Qt::ISODateWithMs)}, {"payload", payload}};
}

double base() {
    return QDateTime(QDate(2026, 12, 7), QTime(10, 0), Qt::UTC).toMSecsSinceEpoch() / 1000.0;
}

} // namespace

TEST(AISession, StartsFromThePath) {
    const AISession session = codex();
    EXPECT_EQ(session.id.size(), 64);
    EXPECT_EQ(session.id, session.id.toLower());
    EXPECT_EQ(session.project, "Session abcdef12");
    EXPECT_EQ(AISession::start("/x/ab.jsonl", "claude", 0).project, "Session ab");
    EXPECT_EQ(session.model, "Unknown model");
    EXPECT_EQ(session.status, "Unknown");
    EXPECT_NE(AISession::start("/x/other.jsonl", "codex", 0).id, session.id);
}

TEST(AISession, ClaudeCodeLines) {
    AISession session = claude();
    session.parse(
            R"({"type":"user","cwd":"/home/me/work/tablora","message":{"role":"user"}})"
            "\n"
            R"({"type":"assistant","timestamp":"2026-12-07T10:00:05Z","message":{"model":"claude-opus-4","stop_reason":"tool_use","usage":{"input_tokens":100,"output_tokens":20,"cache_read_input_tokens":5000,"cache_creation_input_tokens":300}}})"
            "\n"
            "not json at all\n"
            "[1,2,3]\n"
            R"({"type":"assistant","timestamp":"2026-12-07T10:00:09Z","message":{"stop_reason":"end_turn","usage":{"input_tokens":200,"output_tokens":"40","cache_creation_input_tokens":7}}})"
            "\n"
            R"({"type":"assistant","timestamp":"2026-12-07T10:00:12Z","message":{"stop_reason":"end_turn","usage":{"input_tokens":210,"output_tokens":50,"cache_read_input_tokens":6000,"cache_creation_input_tokens":10}}})"
            "\n");
    EXPECT_EQ(session.project, "tablora");
    EXPECT_EQ(session.model, "claude-opus-4");
    EXPECT_EQ(session.status, "Completed");
    EXPECT_EQ(session.input, 210);
    EXPECT_EQ(session.output, 50);
    EXPECT_EQ(session.cached, 6000);
    EXPECT_EQ(session.responseTokens, 210 + 50 + 6000 + 10);
    EXPECT_FALSE(session.total);
    EXPECT_EQ(session.usageAt, "2026-12-07T10:00:12Z");

    // An output count written as text is no number: no reply total.
    session.consume(line(
            R"({"type":"assistant","message":{"usage":{"input_tokens":1,"output_tokens":"2"}}})"));
    EXPECT_FALSE(session.output);
    EXPECT_FALSE(session.responseTokens);
    EXPECT_EQ(session.status, "Activity recorded");
    EXPECT_EQ(session.usageAt, "");
}

TEST(AISession, CodexEventsAndTokenCounts) {
    AISession session = codex();
    session.consume(codexLine("session_meta", {{"cwd", "/home/me/work/dashboard/"}}));
    session.consume(codexLine("turn_context", {{"model", "gpt-5-codex"}}));
    session.consume(codexLine("event_msg", {{"type", "task_started"}}));
    EXPECT_EQ(session.project, "dashboard");
    EXPECT_EQ(session.model, "gpt-5-codex");
    EXPECT_EQ(session.status, "Working");

    session.consume(line(R"({"type":"event_msg","timestamp":"2026-12-07T10:01:00.250Z","payload":{
        "type":"token_count","info":{"total_token_usage":{"input_tokens":1000,"output_tokens":200,
        "cached_input_tokens":800,"total_tokens":1200},"last_token_usage":{"total_tokens":300},
        "model_context_window":272000},"rate_limits":{"primary":{"used_percent":12.5,
        "window_minutes":300,"resets_at":1765105200},"secondary":{"used_percent":"3"}}}})"));
    EXPECT_EQ(session.input, 1000);
    EXPECT_EQ(session.total, 1200);
    EXPECT_EQ(session.context, 300);
    EXPECT_EQ(session.window, 272000);
    EXPECT_EQ(session.usageAt, "2026-12-07T10:01:00.250Z");
    ASSERT_EQ(session.limits.size(), 1);
    EXPECT_EQ(session.limits[0].toObject(),
              (QJsonObject{{"used", 12.5}, {"minutes", 300}, {"resets", 1765105200}}));

    // Without rate limits the last ones stay.
    session.consume(
            codexLine("event_msg", {{"type", "token_count"},
                                    {"info", QJsonObject{{"total_token_usage", QJsonObject{}}}}}));
    EXPECT_FALSE(session.input);
    EXPECT_EQ(session.limits.size(), 1);

    session.consume(codexLine("event_msg", {{"type", "turn_aborted"}}, 90));
    EXPECT_EQ(session.status, "Interrupted");
    EXPECT_FALSE(session.activity.active);
    EXPECT_EQ(session.activity.operation, "Interrupted");
    EXPECT_DOUBLE_EQ(session.activity.since, base() + 90);
}

TEST(CodexActivity, ToolCallsAndTheirOutputs) {
    CodexActivity activity;
    activity.consume(codexLine("event_msg", {{"type", "task_started"}}, 0));
    EXPECT_EQ(activity.operation, "Thinking");
    EXPECT_TRUE(activity.active);
    activity.consume(
            codexLine("response_item",
                      {{"type", "function_call"}, {"name", "apply_patch"}, {"call_id", "c1"}}, 10));
    EXPECT_EQ(activity.operation, "Editing code");
    EXPECT_DOUBLE_EQ(activity.since, base() + 10);
    // Reasoning while a call is pending changes nothing.
    activity.consume(codexLine("response_item", {{"type", "reasoning"}}, 11));
    EXPECT_EQ(activity.operation, "Editing code");

    activity.consume(
            codexLine("response_item", {{"type", "function_call_output"}, {"call_id", "c1"}}, 12));
    ASSERT_EQ(activity.recent.size(), 1);
    EXPECT_EQ(activity.recent[0].toObject(), (QJsonObject{{"label", "Editing code"},
                                                          {"at", base() + 12},
                                                          {"failed", false},
                                                          {"duration", 2}}));
    EXPECT_EQ(activity.operation, "Preparing next step");
    EXPECT_DOUBLE_EQ(activity.since, base() + 12);

    // Two calls at once: when one returns, the later-started one is what runs.
    activity.consume(codexLine(
            "response_item",
            {{"type", "custom_tool_call"}, {"name", "exec_command"}, {"call_id", "a"}}, 20));
    activity.consume(
            codexLine("response_item",
                      {{"type", "function_call"}, {"name", "web_search"}, {"call_id", "b"}}, 21));
    activity.consume(codexLine("response_item",
                               {{"type", "function_call"}, {"name", "read_file"}, {"call_id", "c"}},
                               22));
    activity.consume(codexLine("response_item",
                               {{"type", "custom_tool_call_output"}, {"call_id", "a"}}, 25));
    EXPECT_EQ(activity.operation, "Reading files");
    EXPECT_DOUBLE_EQ(activity.since, base() + 22);
    // An output for an unknown call is ignored.
    activity.consume(
            codexLine("response_item", {{"type", "function_call_output"}, {"call_id", "zzz"}}, 26));
    EXPECT_EQ(activity.recent.size(), 2);

    activity.consume(codexLine("event_msg", {{"type", "task_complete"}}, 30));
    EXPECT_FALSE(activity.active);
    EXPECT_EQ(activity.operation, "Completed");
    EXPECT_TRUE(activity.pending.isEmpty());
    // Outputs of calls that ended with the turn record nothing.
    activity.consume(
            codexLine("response_item", {{"type", "function_call_output"}, {"call_id", "b"}}, 31));
    EXPECT_EQ(activity.recent.size(), 2);
}

TEST(CodexActivity, CompletedItemsKeepTheFourNewest) {
    CodexActivity activity;
    const auto item = [&](const char* id, QJsonObject fields, double at, QJsonObject extra = {}) {
        fields.insert("id", id);
        QJsonObject payload{{"type", "item_completed"}, {"item", fields}};
        for (auto it = extra.begin(); it != extra.end(); ++it)
            payload.insert(it.key(), it.value());
        activity.consume(codexLine("event_msg", payload, at));
    };
    item("1", {{"type", "CommandExecution"}, {"command", "swift test --parallel"}}, 1,
         {{"started_at_ms", 1000}, {"completed_at_ms", 3500}});
    EXPECT_EQ(activity.recent[0].toObject(), (QJsonObject{{"label", "Running tests"},
                                                          {"at", base() + 1},
                                                          {"failed", false},
                                                          {"duration", 2.5}}));
    item("2", {{"type", "CommandExecution"}, {"command", "swift testing"}, {"exit_code", 1}}, 2);
    EXPECT_EQ(activity.recent[0].toObject()["label"], "Running a command");
    EXPECT_EQ(activity.recent[0].toObject()["failed"], true);
    EXPECT_FALSE(activity.recent[0].toObject().contains("duration"));
    item("3",
         {{"type", "CommandExecution"},
          {"parsed_cmd", QJsonArray{QJsonObject{{"type", "Search"}}}}},
         3);
    EXPECT_EQ(activity.recent[0].toObject()["label"], "Searching files");
    item("4",
         {{"type", "CommandExecution"}, {"command", "cat x; cargo test"}, {"status", "FAILED"}}, 4);
    EXPECT_EQ(activity.recent[0].toObject()["label"], "Running tests");
    EXPECT_EQ(activity.recent[0].toObject()["failed"], true);
    item("5", {{"type", "FileChange"}}, 5);
    item("6", {{"type", "Unknown"}}, 6);
    item("5", {{"type", "WebSearch"}}, 7); // already seen
    ASSERT_EQ(activity.recent.size(), 4);
    EXPECT_EQ(activity.recent[0].toObject()["label"], "Editing code");
    EXPECT_EQ(activity.recent[3].toObject()["label"], "Running a command");
    // Items never change what is running.
    EXPECT_EQ(activity.operation, "");
    EXPECT_FALSE(activity.active);
}

TEST(CodexActivity, LabelsAndTimes) {
    EXPECT_EQ(CodexActivity::label("Apply_Patch"), "Editing code");
    EXPECT_EQ(CodexActivity::label("edit_file"), "Editing code");
    EXPECT_EQ(CodexActivity::label("web.run"), "Searching");
    EXPECT_EQ(CodexActivity::label("view_image"), "Reading files");
    EXPECT_EQ(CodexActivity::label("request_user_input"), "Waiting for input");
    EXPECT_EQ(CodexActivity::label("sleep"), "Waiting for a task");
    EXPECT_EQ(CodexActivity::label("exec_command"), "Running a command");
    EXPECT_EQ(CodexActivity::label(""), "Running tools");
    // "search" is tested before "read": a read-and-search tool searches.
    EXPECT_EQ(CodexActivity::label("search_and_read"), "Searching");

    EXPECT_DOUBLE_EQ(CodexActivity::time("2025-01-02T03:04:05.678Z"), 1735787045.678);
    EXPECT_DOUBLE_EQ(CodexActivity::time("2025-01-02T03:04:05Z"), 1735787045);
    EXPECT_DOUBLE_EQ(CodexActivity::time("2025-01-02T04:04:05+01:00"), 1735787045);
    EXPECT_EQ(CodexActivity::time("2025-01-02T03:04:05"), 0);
    EXPECT_EQ(CodexActivity::time("yesterday"), 0);
    EXPECT_EQ(CodexActivity::time(42), 0);
    EXPECT_EQ(CodexActivity::time(QJsonValue()), 0);
}

TEST(AISession, SnapshotKeys) {
    AISession session = claude();
    QJsonObject snapshot = session.snapshot();
    EXPECT_EQ(snapshot.keys(), QStringList({"activity", "id", "limits", "model", "project",
                                            "provider", "status", "updated", "usageAt"}));
    session.input = 1;
    session.window = 2;
    snapshot = session.snapshot();
    EXPECT_EQ(snapshot["input"], 1);
    EXPECT_EQ(snapshot["window"], 2);
    EXPECT_EQ(snapshot["activity"].toObject().keys(),
              QStringList({"active", "operation", "recent", "since"}));
}
