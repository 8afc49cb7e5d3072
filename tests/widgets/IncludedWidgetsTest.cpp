// The included widgets for sessions, projects, automations, sound, activity, the agenda and music,
// as real pages offscreen: every included widget reads well in every recorded state at every
// section size the layout editor allows, and a tap on a reported control reaches the service
// behind the widget.
#include "integrations/linux/ArtworkFetcher.h"
#include "integrations/linux/AutomationsFolder.h"
#include "integrations/linux/LibgitRepositoryReader.h"
#include "integrations/linux/MprisPlayerTransport.h"
#include "integrations/linux/PulseAudioBackend.h"
#include "model/linux/PlatformTexts.h"
#include "support/EventLoop.h"
#include "support/FakeMprisPlayer.h"
#include "support/PackageBuilder.h"
#include "support/PrivateBus.h"
#include "support/PulseServer.h"
#include "support/StoreFixture.h"
#include "tools/WidgetTool.h"
#include "widgets/web/WebWidget.h"
#include "widgets/web/WidgetPage.h"

#include <QBuffer>
#include <QImage>
#include <QJsonArray>
#include <QJsonDocument>
#include <QProcess>
#include <QRegularExpression>
#include <QTimer>

namespace {

const QString states = QStringLiteral(TABLORA_WIDGET_STATES_DIRECTORY);

class QueuedChooser : public FolderChooser {
public:
    QStringList answers;
    QStringList titles;
    void choose(const QString& title, bool, Completion completion) override {
        titles.append(title);
        const std::optional<QString> answer =
                answers.isEmpty() ? std::nullopt : std::optional(answers.takeFirst());
        QTimer::singleShot(0, [completion, answer] { completion(answer); });
    }
};

class FakeCalendar : public CalendarBackend {
public:
    QList<Event> eventList;
    QList<Reminder> reminderList;
    QStringList completed;

    void requestAccess(Kind, QObject* receiver, std::function<void(bool)> done) override {
        QTimer::singleShot(0, receiver, [done] { done(true); });
    }
    void events(const QDateTime&, const QDateTime&, QObject* receiver,
                Answer<QList<Event>> done) override {
        QTimer::singleShot(0, receiver, [done, list = eventList] { done(list); });
    }
    void reminders(QObject* receiver, Answer<QList<Reminder>> done) override {
        QTimer::singleShot(0, receiver, [done, list = reminderList] { done(list); });
    }
    void complete(const QString& id, QObject* receiver,
                  std::function<void(bool, const std::optional<QString>&)> done) override {
        const bool found =
                reminderList.removeIf([&](const Reminder& r) { return r.identifier == id; }) > 0;
        if (found)
            completed.append(id);
        QTimer::singleShot(0, receiver, [done, found] { done(found, std::nullopt); });
    }
};

struct IncludedWidgetTest : StoreFixture {
    std::vector<std::unique_ptr<WebWidget>> widgets;
    QStringList scriptErrors;
    std::function<void(IntegrationPlatform&)> platform;

    void SetUp() override {
        customize = [this](TarnStore::Environment& environment) {
            environment.resources = TABLORA_RESOURCES_DIRECTORY;
            if (platform)
                platform(environment.integrations);
        };
    }

    void TearDown() override {
        widgets.clear(); // web views before the store
        store.reset();
    }

    // Shows the widget without waiting for its page.
    WebWidget& add(const QString& id, const QString& instance, QSize size = {364, 502}) {
        if (!store)
            open();
        const auto package = store->widgets().package(id);
        EXPECT_TRUE(package.has_value()) << id.toStdString();
        widgets.push_back(std::make_unique<WebWidget>(*package, *store, instance));
        WebWidget& widget = *widgets.back();
        QObject::connect(widget.page(), &WidgetPage::scriptError,
                         [this, id](const QString& message, int line, const QString&) {
                             scriptErrors.append(
                                     QString("%1:%2: %3").arg(id).arg(line).arg(message));
                         });
        widget.resize(size);
        widget.show();
        return widget;
    }

    WebWidget& show(const QString& id, const QString& instance, QSize size = {364, 502}) {
        WebWidget& widget = add(id, instance, size);
        EXPECT_TRUE(waitUntil([&] { return widget.isReady(); }, 30000)) << id.toStdString();
        return widget;
    }

    QVariant evaluate(WebWidget& widget, const QString& script) {
        auto result = std::make_shared<std::optional<QVariant>>();
        widget.page()->runJavaScript(script, [result](const QVariant& value) { *result = value; });
        EXPECT_TRUE(waitUntil([&] { return result->has_value(); }, 20000)) << script.toStdString();
        return result->value_or(QVariant());
    }

    QString pageText(WebWidget& widget) {
        return evaluate(widget, "document.body.innerText").toString();
    }

    bool shows(WebWidget& widget, const QString& text, int timeout = 10000) {
        return waitUntil([&] { return pageText(widget).contains(text); }, timeout);
    }

    // Taps the element as the touchscreen would: through the control the page reported for it.
    bool tap(WebWidget& widget, const QString& selector) {
        const QString script =
                QString("(() => { const e = document.querySelector(%1); if (!e) return null;"
                        " const b = e.getBoundingClientRect();"
                        " return [b.left + b.width / 2, b.top + b.height / 2]; })()")
                        .arg(QString::fromUtf8(QJsonDocument(QJsonArray{selector})
                                                       .toJson(QJsonDocument::Compact))
                                     .mid(1)
                                     .chopped(1));
        std::optional<qint64> id;
        waitUntil([&] {
            const QVariantList centre = evaluate(widget, script).toList();
            if (centre.size() != 2)
                return false;
            const QPointF point(centre[0].toDouble(), centre[1].toDouble());
            for (const WidgetControl& control : widget.controls()) {
                if (control.enabled && control.frame.contains(point))
                    id = control.id;
            }
            return id.has_value();
        });
        if (!id) {
            ADD_FAILURE() << "no enabled control at " << selector.toStdString();
            return false;
        }
        widget.activate(*id);
        return true;
    }

    static QJsonObject state(const QString& name) {
        QFile file(QDir(states).filePath(name + ".json"));
        EXPECT_TRUE(file.open(QIODevice::ReadOnly)) << name.toStdString();
        return QJsonDocument::fromJson(file.readAll()).object();
    }

    // Runs the heartbeat until the script's value is true.
    bool tickUntilTrue(WebWidget& widget, const QString& script) {
        return waitUntil(
                [&] {
                    clock->advance(1.0);
                    store->tick(clock->now());
                    spin(100);
                    return evaluate(widget, script).toBool();
                },
                20000);
    }

    void tickUntil(WebWidget& widget, const QString& text) {
        EXPECT_TRUE(waitUntil(
                [&] {
                    clock->advance(1.0);
                    store->tick(clock->now());
                    spin(100);
                    return pageText(widget).contains(text);
                },
                20000))
                << "never showed " << text.toStdString() << "; shows "
                << pageText(widget).toStdString();
    }
};

// ---- Every new package, every recorded state

// What a reader of the tile cannot read, one line each: text smaller than 10 points, text cut short
// (but for names that show a good part of themselves) or clipped by the tile or a box around it (a
// list that scrolls aside), and text or controls that overlap.
const char* const unreadable = R"(
(() => {
  const shown = e => {
    const s = getComputedStyle(e);
    return s.display !== 'none' && s.visibility !== 'hidden' && parseFloat(s.opacity) > 0 &&
           e.getClientRects().length > 0;
  };
  const scrolls = s => /auto|scroll/.test(s.overflowX + s.overflowY);
  const label = e => (e.id ? '#' + e.id : e.tagName.toLowerCase() +
      (typeof e.className === 'string' && e.className.trim()
           ? '.' + e.className.trim().split(/\s+/).join('.') : '')) +
      ' "' + e.textContent.trim().replace(/\s+/g, ' ').slice(0, 24) + '"';
  // At the size, and two frames later: the page's own resize handlers have run.
  if (innerWidth !== %1 || innerHeight !== %2)
    return null;
  if (window.checkedSize !== '%1x%2') {
    window.checkedSize = '%1x%2';
    window.framesSince = 0;
    requestAnimationFrame(() => requestAnimationFrame(() => { window.framesSince = 2; }));
    return null;
  }
  if (window.framesSince !== 2)
    return null;
  // What users and programs name may end in "…" once a good part of it shows: a process, a
  // track, a branch, an event.
  const named = ['.process .name', '.disk-name', '#device', '.outputs .name', '#project',
                 '.session .name', '#branch', '#subject', '#title', '#artist', '#album',
                 '.event-title', '.row .title', '.shortcut .name', '#os'];
  // Ends in "…" itself, or its box does after a few lines.
  const elided = (e, s) => s.textOverflow === 'ellipsis' || s.webkitLineClamp !== 'none' ||
      e.parentElement && getComputedStyle(e.parentElement).webkitLineClamp !== 'none';
  const longEnough = (e, s) => elided(e, s) && named.some(n => e.matches(n)) &&
                               e.getBoundingClientRect().width >= 4 * parseFloat(s.fontSize);
  const problems = [];
  const read = [];
  for (const e of document.body.querySelectorAll('*')) {
    if (e.closest('svg') || !shown(e))
      continue;
    const text = [...e.childNodes].some(n => n.nodeType === 3 && n.textContent.trim());
    const control = e.matches('button, input, textarea, [data-tarn-control]');
    if (!text && !control)
      continue;
    const r = e.getBoundingClientRect();
    if (r.width < 1 || r.height < 1)
      continue;
    const s = getComputedStyle(e);
    // A glyph stays inside its line even when the line is shorter than the font's full height.
    const leading = Math.max(1, parseFloat(s.fontSize) * 0.3);
    if (text && parseFloat(s.fontSize) < 10)
      problems.push('too small: ' + label(e));
    if (text && !scrolls(s) && !longEnough(e, s) &&
        (e.scrollWidth > e.clientWidth + 1 && s.overflowX !== 'visible' ||
         e.scrollHeight > e.clientHeight + leading && s.overflowY !== 'visible'))
      problems.push('cut short: ' + label(e));
    let box = { left: 0, top: 0, right: innerWidth, bottom: innerHeight };
    let scrolled = false;
    for (let a = e.parentElement; a && a !== document.documentElement; a = a.parentElement) {
      const as = getComputedStyle(a);
      if (as.overflowX === 'visible' && as.overflowY === 'visible')
        continue;
      scrolled = scrolled || scrolls(as);
      const ar = a.getBoundingClientRect();
      box = { left: Math.max(box.left, ar.left), top: Math.max(box.top, ar.top),
              right: Math.min(box.right, ar.right), bottom: Math.min(box.bottom, ar.bottom) };
    }
    if (!scrolled && !longEnough(e, s) &&
        (r.left < box.left - 1 || r.top < box.top - leading || r.right > box.right + 1 ||
         r.bottom > box.bottom + leading))
      problems.push('clipped: ' + label(e));
    // What shows of the glyphs, line by line: a line box may be shorter than its font, a list
    // scrolls.
    const seen = [...e.getClientRects()].map(f => ({
        left: Math.max(f.left, box.left), right: Math.min(f.right, box.right),
        top: Math.max(f.top + leading, box.top), bottom: Math.min(f.bottom - leading, box.bottom)
    })).filter(f => f.right > f.left && f.bottom > f.top);
    if (seen.length)
      read.push({ e, seen });
  }
  for (let i = 0; i < read.length; ++i) {
    for (let j = i + 1; j < read.length; ++j) {
      const a = read[i], b = read[j];
      if (a.e.contains(b.e) || b.e.contains(a.e))
        continue;
      const meet = (p, q) => Math.min(p.right, q.right) - Math.max(p.left, q.left) > 2 &&
                             Math.min(p.bottom, q.bottom) - Math.max(p.top, q.top) > 2;
      if (a.seen.some(p => b.seen.some(q => meet(p, q))))
        problems.push('overlap: ' + label(a.e) + ' / ' + label(b.e));
    }
  }
  return problems;
})()
)";

TEST_F(IncludedWidgetTest, EveryIncludedWidgetIsReadableInEveryStateAtEverySectionSize) {
    // Each state with a text that only that state brings to the screen.
    const QList<std::pair<QString, QString>> expected = {
            {"ai-working", "Running tests"},
            {"ai-completed", "51.8K tokens"},
            {"ai-none", PlatformTexts::noAISessions()},
            {"ai-looking", "Looking for sessions"},
            {"project-status-building", "Failed"},
            {"project-status-clean", "Clean"},
            {"project-status-unconfigured", "No project chosen"},
            {"project-status-broken", "Project unavailable or not a Git repository"},
            {"automations-ready", "Tidy downloads"},
            {"automations-running", "Running deploy_staging"},
            {"automations-empty", PlatformTexts::noAutomations()},
            {"audio-playing", "USB Headset"},
            {"audio-muted-fixed", "This output has fixed volume"},
            {"audio-no-server", "No sound server"},
            {"activity-busy", "QtWebEngineProcess"},
            {"activity-starting", "Listing processes"},
            {"activity-failing", "did not finish within 8 seconds"},
            {"spotify-controls-limited", "Aphex Twin"},
            {"spotify-controls-closed", "Rhythmbox isn’t open"},
            {"spotify-artwork-limited", "Windowlicker"},
    };
    QTemporaryDir empty;
    QString out;
    QString err;
    QTextStream outStream(&out);
    QTextStream errStream(&err);
    WidgetTool tool(empty.path(), TABLORA_RESOURCES_DIRECTORY, outStream, errStream);
    // The corners of what the layout editor allows: a tenth to all of the page's width and a
    // third to all of its height on the landscape canvas (1892 x 516 points inside its margins,
    // 7 points around each tile), a third to all of the width and a tenth to all of the height on
    // the portrait one (512 x 1896).
    // Under the sanitizers, every widget and state at two of them, a small landscape tile and a
    // tall portrait one: the other sizes differ only in the renderers' layout, which the plain
    // build checks and the sanitizers do not see.
    const QList<QSize> sizes =
            underSanitizers ? QList<QSize>{{175, 158}, {498, 1882}}
                            : QList<QSize>{{175, 158}, {175, 502},  {1878, 158}, {1878, 502},
                                           {156, 175}, {156, 1882}, {498, 175},  {498, 1882}};
    QStringList unreadableFound;
    const QStringList ids = QDir(QString(TABLORA_RESOURCES_DIRECTORY) + "/Widgets")
                                    .entryList({"*.tarnwidget"}, QDir::Dirs)
                                    .replaceInStrings(".tarnwidget", "");
    ASSERT_EQ(ids.size(), 19);
    // Each widget goes through its states and the sizes on its own, all of them at once: what
    // takes the time is waiting for pages to draw, and pages draw side by side.
    struct Reading {
        QString id;
        WebWidget* widget;
        QStringList names;
        qsizetype step = -1; // through names x sizes
        bool done = false;
        std::shared_ptr<std::optional<QVariant>> answer = nullptr;
        QElapsedTimer since = {};
    };
    const auto nameOf = [&](const Reading& r) { return r.names.at(r.step / sizes.size()); };
    const auto sizeOf = [&](const Reading& r) { return sizes.at(r.step % sizes.size()); };
    std::vector<Reading> readings;
    for (const QString& id : ids) {
        out.clear();
        EXPECT_EQ(tool.run({"validate", QString(TABLORA_RESOURCES_DIRECTORY) + "/Widgets/" + id +
                                                ".tarnwidget"}),
                  0)
                << err.toStdString();
        EXPECT_TRUE(out.startsWith("ok " + id + " ")) << out.toStdString();
        // Its recorded states; the others: the store's own (no readings, nothing connected),
        // then every section busy.
        QStringList names = QDir(states).entryList({id + "-*.json"}).replaceInStrings(".json", "");
        if (names.isEmpty())
            names = QStringList{"", "busy"};
        readings.push_back({id, &add(id, id + "@test"), names});
    }
    for (Reading& r : readings)
        EXPECT_TRUE(waitUntil([&] { return r.widget->isReady(); }, 30000)) << r.id.toStdString();

    const auto advance = [&](Reading& r) {
        r.done = ++r.step >= r.names.size() * sizes.size();
        if (r.done)
            return;
        if (r.step % sizes.size() == 0 && !nameOf(r).isEmpty())
            r.widget->setFixedState(state(nameOf(r)));
        r.widget->resize(sizeOf(r));
        r.since.restart();
    };
    // The problems at this size once drawn, with what the page reads by then.
    const auto check = [&](Reading& r) {
        const QString script =
                QString("(() => { const problems = %1;"
                        " return problems && {problems, text: document.body.innerText};"
                        " })()")
                        .arg(QString::fromUtf8(unreadable)
                                     .arg(sizeOf(r).width())
                                     .arg(sizeOf(r).height()));
        r.answer = std::make_shared<std::optional<QVariant>>();
        r.widget->page()->runJavaScript(script,
                                        [answer = r.answer](const QVariant& v) { *answer = v; });
    };
    for (Reading& r : readings)
        advance(r);
    const auto unfinished = [&] {
        return std::any_of(readings.begin(), readings.end(),
                           [](const Reading& r) { return !r.done; });
    };
    while (unfinished()) {
        for (Reading& r : readings)
            if (!r.done && !r.answer)
                check(r);
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
        for (Reading& r : readings) {
            if (r.done || !r.answer || !r.answer->has_value())
                continue;
            const QVariantMap answer = r.answer->value().toMap();
            r.answer.reset();
            const bool late = r.since.elapsed() > 10000;
            const QString where = QString("%1 (%2) at %3x%4: ")
                                          .arg(r.id, nameOf(r).isEmpty() ? "live" : nameOf(r))
                                          .arg(sizeOf(r).width())
                                          .arg(sizeOf(r).height());
            if (answer.isEmpty()) {
                if (late) {
                    ADD_FAILURE() << where.toStdString() << "never drawn at this size";
                    advance(r);
                }
                continue;
            }
            const auto known = std::find_if(expected.begin(), expected.end(),
                                            [&](const auto& e) { return e.first == nameOf(r); });
            // Smaller tiles may leave secondary lines out, as long as what they show reads.
            const QString text =
                    known == expected.end() || sizeOf(r).width() < 300 || sizeOf(r).height() < 300
                            ? QString()
                            : known->second;
            if (!answer.value("text").toString().contains(text)) {
                if (!late)
                    continue;
                ADD_FAILURE() << where.toStdString() << "no " << text.toStdString();
            }
            for (const QVariant& problem : answer.value("problems").toList())
                unreadableFound.append(where + problem.toString());
            advance(r);
        }
    }
    EXPECT_TRUE(unreadableFound.isEmpty()) << unreadableFound.size() << " unreadable:\n"
                                           << unreadableFound.join("\n").toStdString();
    EXPECT_TRUE(scriptErrors.isEmpty()) << scriptErrors.join("\n").toStdString();
}

// ---- AI sessions

TEST_F(IncludedWidgetTest, AISessionsFollowTheLiveTranscriptAndATapBringsAnotherIntoView) {
    const QString sessions = folder.filePath("home/.codex/sessions/2026/01/02");
    QDir().mkpath(sessions);
    QFile transcript(sessions + "/rollout-2026-01-02T10-00-00-live.jsonl");
    ASSERT_TRUE(transcript.open(QIODevice::WriteOnly));
    transcript.write(
            R"({"type":"session_meta","payload":{"cwd":"/work/lathe"}})"
            "\n"
            R"({"type":"turn_context","payload":{"model":"gpt-5-codex"}})"
            "\n"
            R"({"timestamp":"2026-01-02T10:00:01.000Z","type":"event_msg","payload":{"type":"task_started"}})"
            "\n"
            R"({"timestamp":"2026-01-02T10:00:02.000Z","type":"response_item","payload":{"type":"function_call","name":"apply_patch","call_id":"c1"}})"
            "\n");
    transcript.close();
    WebWidget& widget = show("ai", "ai");
    tickUntil(widget, "lathe");
    EXPECT_TRUE(shows(widget, "Editing code"));

    widget.setFixedState(state("ai-working"));
    EXPECT_TRUE(waitUntil([&] {
        return evaluate(widget, "document.getElementById('project').textContent") == "tablora";
    }));
    ASSERT_TRUE(tap(widget, ".session:not(.focused) .name"));
    EXPECT_TRUE(waitUntil([&] {
        return evaluate(widget, "document.getElementById('project').textContent") ==
               "website-redesign-with-a-rather-long-folder-name";
    }));
    EXPECT_TRUE(scriptErrors.isEmpty()) << scriptErrors.join("\n").toStdString();
}

// ---- Project

TEST_F(IncludedWidgetTest, EachProjectWidgetChoosesItsOwnRepositoryAndBuildLog) {
    const QString repository = folder.filePath("lathe");
    QDir().mkpath(repository);
    auto git = [&](const QStringList& arguments) {
        QProcess process;
        process.setWorkingDirectory(repository);
        process.start("git", QStringList{"-c", "user.name=Test", "-c", "user.email=t@example.org"} +
                                     arguments);
        ASSERT_TRUE(process.waitForFinished(10000));
        ASSERT_EQ(process.exitCode(), 0) << process.readAllStandardError().toStdString();
    };
    git({"init", "-q", "-b", "trunk"});
    QFile(repository + "/README").open(QIODevice::WriteOnly);
    git({"add", "README"});
    git({"commit", "-q", "-m", "Turn the first shavings"});
    QFile untracked(repository + "/notes.txt");
    ASSERT_TRUE(untracked.open(QIODevice::WriteOnly));
    untracked.close();
    QFile log(folder.filePath("build.log"));
    ASSERT_TRUE(log.open(QIODevice::WriteOnly));
    log.write("[1/2] compiling\nerror: expected ';' before '}'\n");
    log.close();

    auto chooser = std::make_shared<QueuedChooser>();
    chooser->answers = {repository, log.fileName()};
    platform = [chooser](IntegrationPlatform& integrations) {
        integrations.chooser = chooser;
        integrations.projectPrograms.repository = std::make_shared<LibgitRepositoryReader>();
    };
    WebWidget& widget = show("project-status", "project-status@one");
    WebWidget& shared = show("project-status", "project-status");
    EXPECT_TRUE(shows(widget, "No project chosen"));

    ASSERT_TRUE(tap(widget, "#choose-first"));
    EXPECT_TRUE(shows(widget, "trunk"));
    EXPECT_TRUE(shows(widget, "Turn the first shavings"));
    EXPECT_TRUE(shows(widget, "1 file"));
    ASSERT_TRUE(tap(widget, "#log"));
    EXPECT_TRUE(shows(widget, "Failed"));
    EXPECT_TRUE(shows(widget, "build.log"));
    EXPECT_EQ(chooser->titles, QStringList({"Choose a Git project", "Choose a build log"}));

    // The copy placed as the built-in status widget keeps the shared service, still unset.
    EXPECT_TRUE(shows(shared, "No project chosen"));
    EXPECT_EQ(store->services().projectFor("project-status@one").project(), repository);
    EXPECT_FALSE(store->services().project().project().has_value());
    EXPECT_TRUE(scriptErrors.isEmpty()) << scriptErrors.join("\n").toStdString();
}

// ---- Automations

TEST_F(IncludedWidgetTest, AutomationsRunWithATapAndAFailureSaysWhy) {
    const QString automations = folder.filePath("automations");
    platform = [automations](IntegrationPlatform& integrations) {
        integrations.automations = std::make_shared<AutomationsFolder>(automations);
    };
    WebWidget& widget = show("automations", "automations");
    // An empty folder says where automations go.
    EXPECT_TRUE(shows(widget, PlatformTexts::noAutomations()));

    QDir().mkpath(automations);
    const QString marker = folder.filePath("ran");
    auto script = [&](const QString& name, const QByteArray& body) {
        QFile file(automations + "/" + name);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write("#!/bin/sh\n" + body + "\n");
        file.close();
        file.setPermissions(file.permissions() | QFile::ExeOwner);
    };
    script("lights-off.sh", "echo dark > '" + marker.toUtf8() + "'");
    script("broken", "exit 3");
    ASSERT_TRUE(tap(widget, "#refresh"));
    EXPECT_TRUE(shows(widget, "Lights off"));

    ASSERT_TRUE(tap(widget, "#list li:last-child button"));
    EXPECT_TRUE(waitUntil([&] { return QFile::exists(marker); }));
    EXPECT_TRUE(shows(widget, "Finished lights-off.sh"));

    // Sorted by name: "broken" comes first.
    ASSERT_TRUE(tap(widget, "#list li:first-child button"));
    EXPECT_TRUE(shows(widget, "Shortcut failed or exceeded two minutes"));
    EXPECT_TRUE(waitUntil(
            [&] { return !evaluate(widget, "document.getElementById('toast').hidden").toBool(); }));
    EXPECT_TRUE(scriptErrors.isEmpty()) << scriptErrors.join("\n").toStdString();
}

// ---- Sound

TEST_F(IncludedWidgetTest, SoundSwitchesOutputsSetsVolumeAndMutesOnTheSoundServer) {
    PulseServer server;
    auto backend = std::make_shared<PulseAudioBackend>();
    ASSERT_TRUE(waitUntil([&] { return backend->isConnected() && backend->outputs().size() == 2; },
                          10000));
    platform = [backend](IntegrationPlatform& integrations) { integrations.audio = backend; };
    WebWidget& widget = show("audio", "audio");
    tickUntil(widget, "Test Sink B");
    QString sinkB;
    for (const AudioBackend::Output& output : backend->outputs()) {
        if (output.name == "Test Sink B")
            sinkB = output.id;
    }

    ASSERT_TRUE(tap(widget, ".output:not(.current) .name"));
    EXPECT_TRUE(waitUntil([&] { return backend->defaultOutput() == sinkB; }));
    EXPECT_TRUE(waitUntil([&] {
        return evaluate(widget, "document.getElementById('device').textContent") == "Test Sink B";
    }));

    // The seventh tenth of the track.
    ASSERT_TRUE(tap(widget, ".step:nth-child(7)"));
    EXPECT_TRUE(waitUntil([&] { return std::abs(backend->volume().value_or(0) - 0.7) < 0.01; }));
    ASSERT_TRUE(tap(widget, "#up"));
    EXPECT_TRUE(waitUntil([&] { return std::abs(backend->volume().value_or(0) - 0.75) < 0.01; }));
    EXPECT_TRUE(waitUntil([&] {
        return evaluate(widget, "document.getElementById('percent').textContent") == "75";
    }));

    ASSERT_TRUE(tap(widget, "#mute"));
    EXPECT_TRUE(waitUntil([&] { return backend->muted() == true; }));
    EXPECT_TRUE(shows(widget, "Muted"));

    ASSERT_TRUE(tap(widget, "#mic"));
    EXPECT_TRUE(waitUntil([&] { return store->services().audio().isMicrophoneOn(); }, 10000));
    EXPECT_TRUE(shows(widget, "Turn off"));
    EXPECT_TRUE(scriptErrors.isEmpty()) << scriptErrors.join("\n").toStdString();
}

// ---- Processes and disks

TEST_F(IncludedWidgetTest, TheLatencyProbeSwitchesOnAndOffWithATap) {
    const QString ping = folder.filePath("ping");
    QFile file(ping);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write("#!/bin/sh\necho '64 bytes from 1.1.1.1: icmp_seq=1 ttl=57 time=12.5 ms'\n");
    file.close();
    file.setPermissions(file.permissions() | QFile::ExeOwner);
    platform = [ping](IntegrationPlatform& integrations) {
        integrations.activityPrograms.ping = ping;
    };
    WebWidget& widget = show("activity", "activity");
    EXPECT_TRUE(shows(widget, "Latency probe is off"));
    ASSERT_TRUE(tap(widget, "#probe"));
    EXPECT_TRUE(shows(widget, "13 ms"));
    EXPECT_TRUE(store->services().activity().latencyEnabled());
    ASSERT_TRUE(tap(widget, "#probe"));
    EXPECT_TRUE(shows(widget, "Latency probe is off"));
    EXPECT_FALSE(store->services().activity().latency().has_value());
    EXPECT_TRUE(scriptErrors.isEmpty()) << scriptErrors.join("\n").toStdString();
}

// ---- Music

TEST_F(IncludedWidgetTest, TheMusicWidgetsFollowAnyPlayerAndShowItsCoverThroughTheirOwnScheme) {
    QByteArray png;
    QBuffer buffer(&png);
    buffer.open(QIODevice::WriteOnly);
    QImage picture(40, 40, QImage::Format_RGB32);
    picture.fill(Qt::red);
    picture.save(&buffer, "PNG");
    FakeCoverServer covers;
    covers.answer = FakeCoverServer::reply("image/png", png);
    const QString cover = covers.url("/cover.png");
    const QString coverFile = ::writeFile(folder.filePath("cover.png"), png);

    PrivateBus bus;
    FakePlayer vlc(bus.connect("vlc"), "vlc", "VLC media player");
    vlc.state.canGoNext = false;
    vlc.state.playbackStatus = "Playing";
    vlc.state.metadata["mpris:length"] = qlonglong(240000000);
    vlc.state.metadata["mpris:artUrl"] = cover;
    ASSERT_TRUE(vlc.start());
    QDBusConnection dashboard = bus.connect("dashboard");
    platform = [dashboard](IntegrationPlatform& integrations) {
        integrations.player = std::make_shared<MprisPlayerTransport>(nullptr, dashboard);
        integrations.artwork = std::make_shared<ArtworkFetcher>();
    };

    // Pages of their own: one with the permission that knows the player's addresses and tries
    // them, one without it that tries the dashboard's copy.
    PackageBuilder builder(QDir(directory()).filePath("Widgets"));
    const auto page = [&](const QString& id, const QJsonArray& permissions, const QString& tries) {
        QJsonObject manifest = PackageBuilder::validManifest(id);
        manifest["permissions"] = permissions;
        builder.write(id + ".tarnwidget", manifest);
        builder.file(id + ".tarnwidget/index.html", "<script src=\"page.js\"></script>");
        builder.file(id + ".tarnwidget/page.js",
                     QString("window.outcome = {};"
                             "for (const [name, src] of Object.entries(%1)) {"
                             "  const image = new Image();"
                             "  image.onload = () => { window.outcome[name] = 'loaded'; };"
                             "  image.onerror = () => { window.outcome[name] = 'refused'; };"
                             "  image.src = src; }")
                             .arg(tries)
                             .toUtf8());
    };
    page("com.example.prying", {"spotify"},
         QString("{web: '%1', file: '%2'}").arg(cover, QUrl::fromLocalFile(coverFile).toString()));
    page("com.example.stranger", {}, "{copy: '/_tarn/artwork/1'}");

    WebWidget& controls = show("spotify-controls", "spotify-controls@1");
    tickUntil(controls, "VLC media player song");
    EXPECT_EQ(evaluate(controls, "document.getElementById('source').textContent"),
              QString::fromUtf8("· VLC media player"));
    EXPECT_EQ(evaluate(controls, "document.getElementById('next').disabled"), true);
    EXPECT_EQ(evaluate(controls, "document.getElementById('previous').disabled"), false);
    ASSERT_TRUE(tap(controls, "#previous"));
    EXPECT_TRUE(waitUntil([&] { return vlc.state.calls == QStringList({"Previous"}); }));

    const QString shown = "(() => { const c = [...document.querySelectorAll('.cover')]"
                          ".find((i) => !i.hidden); return c && c.naturalWidth ? c.src : ''; })()";
    const QString served = "tarn-widget://widget/_tarn/artwork/";
    WebWidget& artwork = show("spotify-artwork", "spotify-artwork@1");
    ASSERT_TRUE(tickUntilTrue(artwork, shown + ".startsWith('" + served + "1')"));
    EXPECT_TRUE(shows(artwork, "VLC MEDIA PLAYER"));

    WebWidget& prying = show("com.example.prying", "com.example.prying");
    WebWidget& stranger = show("com.example.stranger", "com.example.stranger");
    const QString outcome = "JSON.stringify(window.outcome)";
    EXPECT_TRUE(waitUntil([&] {
        return evaluate(prying, outcome) == R"({"web":"refused","file":"refused"})";
    })) << evaluate(prying, outcome).toString().toStdString();
    EXPECT_TRUE(waitUntil([&] { return evaluate(stranger, outcome) == R"({"copy":"refused"})"; }))
            << evaluate(stranger, outcome).toString().toStdString();
    EXPECT_EQ(covers.requests, 1); // the dashboard's own

    // A cover from a file takes the place of the one from the web.
    vlc.state.metadata["mpris:artUrl"] = QUrl::fromLocalFile(coverFile).toString();
    EXPECT_TRUE(tickUntilTrue(artwork, shown + ".startsWith('" + served + "2')"));
    // The prying page's refusals are its own.
    const QStringList errors = scriptErrors.filter(QRegularExpression("^spotify-"));
    EXPECT_TRUE(errors.isEmpty()) << errors.join("\n").toStdString();
}

// ---- Agenda

TEST_F(IncludedWidgetTest, TheClockFollowsTheWallClockBeingSetAndTheTimeZoneChangingAtOnce) {
    WebWidget& widget = show("today", "today");
    // The zone the page finds in force, as the web engine reports it after the computer's
    // changed; looked up again a second later.
    const auto zone = [&](const QString& name) {
        evaluate(widget,
                 QString("(() => { const real = Intl.DateTimeFormat.prototype.resolvedOptions;"
                         " Intl.DateTimeFormat.prototype.resolvedOptions = function () {"
                         " return Object.assign(real.call(this), {timeZone: '%1'}); };"
                         " })()")
                         .arg(name));
        spin(1100);
    };
    zone("UTC");
    tickUntil(widget, "9:00");
    clock->set(clock->now().addSecs(2 * 3600));
    tickUntil(widget, "11:00");
    zone("Asia/Tokyo");
    tickUntil(widget, "8:00");
    EXPECT_TRUE(pageText(widget).contains("PM"));
    EXPECT_TRUE(scriptErrors.isEmpty()) << scriptErrors.join("\n").toStdString();
}

TEST_F(IncludedWidgetTest, TheAgendaJoinsAMeetingAndCompletesATaskWithATap) {
    auto calendar = std::make_shared<FakeCalendar>();
    QList<QUrl> opened;
    platform = [calendar, &opened](IntegrationPlatform& integrations) {
        integrations.calendar = calendar;
        integrations.openUrl = [&opened](const QUrl& url) {
            opened.append(url);
            return true;
        };
    };
    open();
    const QDateTime now = clock->now();
    calendar->eventList = {{"standup",
                            "Standup",
                            "Work",
                            now.addSecs(300),
                            now.addSecs(1200),
                            false,
                            {},
                            "Room 4",
                            "Join: https://meet.google.com/abc-defg-hij"}};
    calendar->reminderList = {{"task-1", "Water the plants", "Home", std::nullopt}};
    WebWidget& widget = show("agenda", "agenda", {720, 502});
    ASSERT_TRUE(tap(widget, "#connectCalendar"));
    ASSERT_TRUE(tap(widget, "#connectReminders"));
    EXPECT_TRUE(shows(widget, "Water the plants"));

    ASSERT_TRUE(tap(widget, ".join"));
    EXPECT_TRUE(waitUntil([&] { return !opened.isEmpty(); }));
    EXPECT_EQ(opened.value(0), QUrl("https://meet.google.com/abc-defg-hij"));

    ASSERT_TRUE(tap(widget, ".check"));
    EXPECT_TRUE(waitUntil([&] { return calendar->completed == QStringList{"task-1"}; }));
    EXPECT_TRUE(shows(widget, "No open reminders"));
    EXPECT_TRUE(scriptErrors.isEmpty()) << scriptErrors.join("\n").toStdString();
}

} // namespace
