// The charge history: every charge kept whole, a pack's charges kept through a rename, logs taken
// in once, a database in trouble said once while charging goes on, kills at any moment survived,
// and the health figure of a pack.

#include <gtest/gtest.h>

#include <QAccessible>
#include <signal.h>

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QRandomGenerator>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QTemporaryDir>
#include <QThread>
#include <QTreeWidget>
#include <QtTest/QTest>
#include <set>
#include "controls/CListBox.h"

#include "app/CChargerDlg.h"
#include "app/Templates.h"
#include "curves/ChargeCurve.h"
#include "graph/CChargeGraphWnd.h"
#include "hardware/SimulatedChargerBox.h"
#include "history/HistoryRecording.h"
#include "history/window/CPackHistoryWnd.h"
#include "packs/PackBook.h"
#include "packs/PackFormats.h"
#include "settings/ChargeSettingsStore.h"
#include "tests/TestSupport.h"

namespace {

HistoryCharge MadeUp(const QString& pack, int seconds, float amps, const QString& reason) {
    HistoryCharge c;
    c.packId = pack.isEmpty() ? QString() : "id-" + pack;
    c.packName = pack;
    c.started = QDateTime(QDate(2026, 11, 2), QTime(19, 5, 7));
    c.ended = c.started.addSecs(seconds);
    c.endReason = reason;
    c.settings = "12080101080000000";
    c.limits = "2000 1 150 1 0 1 30 1";
    for (int t = 1; t <= seconds; ++t) {
        c.curve.push_back({t, 11.0f + t * 1e-4f, amps});
    }
    FillFiguresFromCurve(c);
    return c;
}

QByteArray FileDigest(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// Runs SQL on the file directly, as another program (or a newer version) would.
void RawSql(const QString& path, const QString& sql) {
    {
        QSqlDatabase db = QSqlDatabase::addDatabase("QSQLITE", "raw");
        db.setDatabaseName(path);
        ASSERT_TRUE(db.open());
        QSqlQuery q(db);
        EXPECT_TRUE(q.exec(sql)) << sql.toStdString();
    }
    QSqlDatabase::removeDatabase("raw");
}

// One value of a query, run on the file directly.
QString SqlValue(const QString& path, const QString& sql) {
    QString value;
    {
        QSqlDatabase db = QSqlDatabase::addDatabase("QSQLITE", "value");
        db.setDatabaseName(path);
        db.open();
        QSqlQuery q(db);
        if (q.exec(sql) && q.next()) {
            value = q.value(0).toString();
        }
    }
    QSqlDatabase::removeDatabase("value");
    return value;
}

// The window on the simulated box, charging for a few seconds at a time.
struct Window {
    explicit Window(const ChargeSettings& settings, const QString& pack = {},
                    const SimOptions& options = {})
        : box(SteppedSim(options)) {
        StoreChargeSettings(profile.profile(), settings);
        if (!pack.isEmpty()) {
            profile.profile().WriteProfileString("Packs", "0", pack);
            profile.profile().WriteProfileString("Properties", "PackName", pack);
            profile.profile().WriteProfileInt("Properties", "LastSelected", 0);
        }
        dlg.m_playWave = [](const QByteArray&) { return 1; };
        dlg.m_reportFailure = [this](const QString& m) { said.push_back(m); };
        dlg.m_notify = nullptr;
        dlg.Initialise();
    }
    bool ChargeToEnd() {
        dlg.OnOK();
        for (int i = 0; i < 600 && dlg.m_bCharging; ++i) {
            box->AdvanceSeconds(1.0);
            dlg.OnTimer(1);
            if (dlg.HasTimer(2)) {
                dlg.OnTimer(2);
            }
        }
        return dlg.m_bCharging == 0;
    }
    ProfileSandbox profile;
    PortSandbox<SimulatedChargerBox> box;
    CChargerDlg dlg;
    std::vector<QString> said;
};

// A history of its own for each test.
struct HistoryHome {
    HistoryHome() : previous(qgetenv("XDG_DATA_HOME")) {
        qputenv("XDG_DATA_HOME", QFile::encodeName(dir.path()));
    }
    ~HistoryHome() { qputenv("XDG_DATA_HOME", previous); }
    QTemporaryDir dir;
    QByteArray previous;
};

}  // namespace

TEST(History, KeepsEveryFieldAndTheWholeCurveAndAPackThroughItsRename) {
    QTemporaryDir dir;
    const QString path = dir.filePath("sub/history.sqlite");
    HistoryCharge sent = MadeUp("AA", 36000, 1.25f, "Capacity limit");
    sent.curve[17].volts = -1.5f;  // a reading as odd as the box may give
    FillFiguresFromCurve(sent);
    sent.source = "AA 11-2-2026 19-05.csv";
    {
        ChargeHistory history(path);
        ASSERT_EQ(history.Open(), ChargeHistory::State::Writable)
            << history.Problem().toStdString();
        EXPECT_TRUE(history.Created());
        ASSERT_TRUE(history.Add(sent));
        EXPECT_TRUE(history.Add(sent));  // the same log again: no second row, no failure
    }
    ChargeHistory history(path);
    ASSERT_EQ(history.Open(), ChargeHistory::State::Writable);
    EXPECT_FALSE(history.Created());
    const std::vector<HistoryCharge> back = history.Charges("id-AA", "AA", true);
    ASSERT_EQ(back.size(), 1u);
    const HistoryCharge& got = back[0];
    EXPECT_EQ(got.packId, sent.packId);
    EXPECT_EQ(got.packName, sent.packName);
    EXPECT_EQ(got.started, sent.started);
    EXPECT_EQ(got.ended, sent.ended);
    EXPECT_EQ(got.endReason, sent.endReason);
    EXPECT_EQ(got.settings, sent.settings);
    EXPECT_EQ(got.limits, sent.limits);
    EXPECT_DOUBLE_EQ(got.mah, 12500.0);  // ten hours at 1.25 A
    EXPECT_DOUBLE_EQ(got.peakVolts, sent.peakVolts);
    EXPECT_EQ(got.seconds, 36000);
    EXPECT_DOUBLE_EQ(got.averageAmps, 1.25);
    EXPECT_EQ(got.source, sent.source);
    ASSERT_EQ(got.curve.size(), sent.curve.size());
    EXPECT_EQ(got.samples, 36000);
    for (size_t i = 0; i < got.curve.size(); ++i) {
        ASSERT_TRUE(got.curve[i].seconds == sent.curve[i].seconds &&
                    got.curve[i].volts == sent.curve[i].volts &&
                    got.curve[i].amps == sent.curve[i].amps)
            << i;
    }
    // Without curves (the table), and one by its id with it.
    EXPECT_TRUE(history.Charges("id-AA", "AA", false)[0].curve.empty());
    EXPECT_EQ(history.Charge(got.id)->curve.size(), 36000u);

    // A pack renamed keeps its lasting id, so its charges; a pack made in a freed slot does not.
    ProfileSandbox profile;
    int position = 0;
    PackBook book(profile.profile());
    ASSERT_EQ(book.Create("Sub-C", ChargeSettings{}, false, position), PackBook::Created::Yes);
    const int slot = book.FindSlot("Sub-C");
    const QString id = PackHistoryId(profile.profile(), slot);
    HistoryCharge charge = MadeUp("Sub-C", 60, 1.0f, "Peak detected");
    charge.packId = id;
    ASSERT_TRUE(history.Add(charge));
    ASSERT_EQ(book.Edit(slot, "Sub-C 3000", 1), PackBook::Edited::Saved);
    EXPECT_EQ(PackHistoryIdOf(profile.profile(), "Sub-C 3000"), id);
    EXPECT_EQ(history.Charges(id, "Sub-C 3000", false).size(), 1u);
    const std::string before = FileDigest(profile.Path()).toStdString();
    ForgetPackHistoryId(profile.profile(), slot);
    EXPECT_NE(PackHistoryId(profile.profile(), slot), id);
    // The ids live beside the profile, which they never change.
    EXPECT_EQ(FileDigest(profile.Path()).toStdString(), before);
}

TEST(History, TakesEachLogInOnceAndNotTheLogOfAChargeAlreadyIn) {
    QTemporaryDir dir;
    QTemporaryDir logs;
    auto log = [&](const QString& name, const QByteArray& text) {
        QFile file(logs.filePath(name));
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(text);
    };
    const QByteArray header = "Total Seconds, Voltage, Current, Charge Duration\r\n";
    log("AA 12-1-2026 19-05.csv", header + "2, 9.5, 1.00, 0:0:2\r\n1, 9.4, 1.00, 0:0:1\r\n");
    log("AA 12-1-2026 19-05 (2).csv", header + "1, 9.4, 0.50, 0:0:1\r\n");
    log("Gone 12-3-2026 08-00.csv", header + "3600, 9.4, 2.00, 1:0:0\r\n");
    log("Live 12-4-2026 08-00.csv", header + "1, 9.4, 2.00, 0:0:1\r\n");
    log("AA 12-2-2026 19-05.csv", "\x89PNG\r\n");  // no log: refused, counted
    log("notes.csv", header);                      // not one of ours: passed over
    ChargeHistory history(dir.filePath("history.sqlite"));
    ASSERT_EQ(history.Open(), ChargeHistory::State::Writable);
    HistoryCharge live = MadeUp("Live", 1, 2.0f, "Peak detected");
    live.source = "Live 12-4-2026 08-00.csv";
    ASSERT_TRUE(history.Add(live));
    const auto ids = [](const QString& name) {
        return name == "AA" ? QString("id-AA") : QString();
    };
    int refused = 0;
    EXPECT_EQ(history.ImportLogs(logs.path(), ids, &refused), 3);
    EXPECT_EQ(refused, 1);
    EXPECT_EQ(history.ImportLogs(logs.path(), ids, &refused), 0);
    std::vector<HistoryCharge> aa = history.Charges("id-AA", "AA", true);
    ASSERT_EQ(aa.size(), 2u);
    std::sort(aa.begin(), aa.end(), [](auto& a, auto& b) { return a.seconds > b.seconds; });
    EXPECT_EQ(aa[0].source, "AA 12-1-2026 19-05.csv");
    // Its name is the minute it ended (a log is written as its charge ends).
    EXPECT_EQ(aa[0].ended, QDateTime(QDate(2026, 12, 1), QTime(19, 5)));
    EXPECT_EQ(aa[0].started, QDateTime(QDate(2026, 12, 1), QTime(19, 4, 58)));
    EXPECT_EQ(aa[0].endReason, "unknown");
    EXPECT_EQ(aa[0].seconds, 2);
    EXPECT_NEAR(aa[0].mah + aa[1].mah, (2 * 1.0 + 0.5) / 3.6, 1e-9);
    // A pack no longer there is kept under its name.
    ASSERT_EQ(history.Charges("", "Gone", false).size(), 1u);
    EXPECT_NEAR(history.Charges("", "Gone", false)[0].mah, 2000.0, 1e-9);
    EXPECT_EQ(history.Charges("id-Live", "Live", false).size(), 1u);
    EXPECT_EQ(history.Packs().size(), 3u);
    // A charge that ends in the same minute as one whose log was deleted (or written over by
    // another port's) gets the same log name: it is kept too, and the name is its own now.
    HistoryCharge again = MadeUp("Live", 2, 2.0f, "Peak detected");
    again.source = live.source;
    ASSERT_TRUE(history.Add(again, true));
    const std::vector<HistoryCharge> lives = history.Charges("id-Live", "Live", false);
    ASSERT_EQ(lives.size(), 2u);
    EXPECT_TRUE(lives[0].source.isEmpty());
    EXPECT_EQ(lives[1].source, live.source);
    EXPECT_EQ(history.ImportLogs(logs.path(), ids, &refused), 0);
    // A charge whose own log an import took in first (the first start's import, running late)
    // takes that row's place.
    HistoryCharge own = MadeUp("AA", 1, 0.5f, "Timed");
    own.source = "AA 12-1-2026 19-05 (2).csv";
    ASSERT_TRUE(history.Add(own, true));
    aa = history.Charges("id-AA", "AA", false);
    ASSERT_EQ(aa.size(), 2u);
    EXPECT_EQ(aa[0].endReason, "Timed");  // started before the other
    EXPECT_EQ(aa[0].source, own.source);
    EXPECT_EQ(aa[1].endReason, "unknown");
}

TEST(History, ADatabaseInTroubleIsSaidWithItsPlaceAndNothingElseIsTouched) {
    QTemporaryDir dir;
    struct Case {
        const char* what;
        std::function<QString()> make;  // the path to open
        ChargeHistory::State state;
        const char* says;
    } const cases[] = {
        {"newer",
         [&] {
             const QString path = dir.filePath("newer.sqlite");
             {
                 ChargeHistory h(path);
                 h.Open();
                 h.Add(MadeUp("AA", 10, 1.0f, "Peak detected"));
             }
             RawSql(path, "PRAGMA user_version = 7");
             return path;
         },
         ChargeHistory::State::ReadOnly, "newer version"},
        {"damaged",
         [&] {
             QFile file(dir.filePath("damaged.sqlite"));
             file.open(QIODevice::WriteOnly);
             file.write(QByteArray(4096, 'x'));
             return file.fileName();
         },
         ChargeHistory::State::Failed, "damaged"},
        {"folder in the way",
         [&] {
             QFile file(dir.filePath("file"));
             file.open(QIODevice::WriteOnly);
             return dir.filePath("file/history.sqlite");
         },
         ChargeHistory::State::Failed, "folder cannot be made"},
        {"a folder",
         [&] {
             QDir().mkpath(dir.filePath("folder.sqlite"));
             return dir.filePath("folder.sqlite");
         },
         ChargeHistory::State::Failed, "no regular file"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const QString path = c.make();
        ChargeHistory history(path);
        EXPECT_EQ(history.Open(), c.state);
        EXPECT_TRUE(history.Problem().contains("\"" + path + "\""))
            << history.Problem().toStdString();
        EXPECT_TRUE(history.Problem().contains(c.says)) << history.Problem().toStdString();
        EXPECT_FALSE(history.Add(MadeUp("AA", 10, 1.0f, "Peak detected")));
        if (c.state == ChargeHistory::State::ReadOnly) {
            EXPECT_EQ(history.Charges("id-AA", "AA", false).size(), 1u);  // still shown
        }
    }

    // On a full disk: said as a full disk (SQLite's own words are "disk I/O error").
    if (FullDisk disk; disk.Ready()) {
        const QString path = disk.Path() + "/history.sqlite";
        {
            ChargeHistory h(path);
            ASSERT_EQ(h.Open(), ChargeHistory::State::Writable);
        }
        disk.Fill();
        ChargeHistory history(path);
        const bool opened = history.Open() == ChargeHistory::State::Writable;
        const bool added = opened && history.Add(MadeUp("BB", 600, 1.0f, "Peak detected"));
        EXPECT_FALSE(added);
        EXPECT_TRUE(history.Problem().contains("the disk is full")) << history.Problem().toStdString();
    }

    // Held locked by another program: waited for, then said; nothing is lost from it.
    const QString locked = dir.filePath("locked.sqlite");
    {
        ChargeHistory h(locked);
        h.Open();
    }
    QProcess holder;
    holder.start(KVC410_SAFETY_CHILD, {"hold-history", locked});
    ASSERT_TRUE(holder.waitForReadyRead(10000));
    ASSERT_EQ(holder.readLine().trimmed(), "locked");
    {
        ChargeHistory history(locked, 200);
        history.Open();
        EXPECT_FALSE(history.Add(MadeUp("AA", 10, 1.0f, "Peak detected")));
        EXPECT_TRUE(history.Problem().contains("locked")) << history.Problem().toStdString();
    }
    holder.closeWriteChannel();
    ASSERT_TRUE(holder.waitForFinished(10000));
    {
        ChargeHistory history(locked);
        history.Open();
        EXPECT_TRUE(history.Add(MadeUp("AA", 10, 1.0f, "Peak detected")));
    }

    // The window with a damaged history: both charges end as ever, each record is written, and
    // the trouble is said once.
    HistoryHome home;
    QDir().mkpath(QFileInfo(ChargeHistory::DefaultPath()).absolutePath());
    {
        QFile damaged(ChargeHistory::DefaultPath());
        ASSERT_TRUE(damaged.open(QIODevice::WriteOnly));
        damaged.write(QByteArray(4096, 'x'));
    }
    Window window(ChargeSettings{.timedSeconds = 3, .chargeType = kTimedCharge});
    for (int i = 0; i < 2; ++i) {
        ASSERT_TRUE(window.ChargeToEnd());
        window.dlg.m_history->WaitForDone();
        QCoreApplication::processEvents();
    }
    ASSERT_EQ(window.said.size(), 1u);
    EXPECT_TRUE(window.said[0].contains(ChargeHistory::DefaultPath()))
        << window.said[0].toStdString();
    EXPECT_TRUE(window.said[0].contains("damaged"));
}

// A window charge that ends without a full pack (no battery) is in the history all the same, with
// its log as its source, once: also when the first start's import of the log folder runs after
// the log is written. Import Charge Logs then takes nothing in twice. Written ahead (WAL), so
// that a reader never waits for a writer.
TEST(History, AWindowsDisconnectedChargeIsInOnceWithItsLog) {
    HistoryHome home;
    QDir(CChargerDlg::OutputFolder()).removeRecursively();
    Window window(ChargeSettings{.exportCsv = 1}, "AA", {.fault = BoxFault::NoBattery});
    ASSERT_TRUE(window.ChargeToEnd());
    window.dlg.m_history->WaitForDone();
    ChargeHistory history;
    ASSERT_EQ(history.Open(), ChargeHistory::State::Writable);
    const QString id = PackHistoryIdOf(window.profile.profile(), "AA");
    const std::vector<HistoryCharge> charges = history.Charges(id, "AA", false);
    ASSERT_EQ(charges.size(), 1u);
    EXPECT_EQ(charges[0].endReason, "Battery disconnected");
    const QStringList logs = QDir(CChargerDlg::OutputFolder()).entryList(QDir::Files);
    ASSERT_EQ(logs.size(), 1);
    EXPECT_EQ(charges[0].source, logs[0]);
    int refused = 0;
    EXPECT_EQ(history.ImportLogs(
                  CChargerDlg::OutputFolder(), [&](const QString&) { return id; }, &refused),
              0);
    EXPECT_EQ(history.Charges(id, "AA", false).size(), 1u);
    EXPECT_EQ(SqlValue(ChargeHistory::DefaultPath(), "PRAGMA journal_mode"), "wal");
    QDir(CChargerDlg::OutputFolder()).removeRecursively();
}

TEST(History, EveryChargeOfTheWindowGoesInWhole) {
    HistoryHome home;
    Window window(ChargeSettings{.timedSeconds = 20, .chargeType = kTimedCharge}, "AA");
    ASSERT_TRUE(window.ChargeToEnd());
    const QString mah = window.dlg.GetDlgItemText(IDC_MAH);
    // Stopped by hand after two seconds, not saved to the pack: still a charge in the history.
    window.dlg.OnOK();
    for (int i = 0; i < 2; ++i) {
        window.box->AdvanceSeconds(1.0);
        window.dlg.OnTimer(1);
        window.dlg.OnTimer(2);
    }
    auto no = WhenModalOpens([](QWidget* question) { ClickButtonWithText(question, "Cancel"); });
    window.dlg.OnOK();
    window.dlg.m_history->WaitForDone();
    QCoreApplication::processEvents();
    EXPECT_TRUE(window.said.empty()) << window.said[0].toStdString();

    ChargeHistory history;
    ASSERT_EQ(history.Open(), ChargeHistory::State::Writable);
    const QString id = PackHistoryIdOf(window.profile.profile(), "AA");
    const std::vector<HistoryCharge> charges = history.Charges(id, "AA", true);
    ASSERT_EQ(charges.size(), 2u);
    EXPECT_EQ(charges[0].endReason, "Timed");
    EXPECT_EQ(charges[0].seconds, 20);
    EXPECT_EQ(charges[0].curve.back().seconds, 20);
    EXPECT_EQ(size_t(charges[0].samples), charges[0].curve.size());
    EXPECT_EQ(QString::number(charges[0].mah, 'f', 2).left(mah.size()), mah);
    EXPECT_EQ(charges[0].settings.size(), 17);
    EXPECT_EQ(charges[1].endReason, "Stopped");
    EXPECT_EQ(charges[1].curve.size(), 2u);

    // The Charge Graph lists the charges of the history beside the logs (there are none: no CSV
    // export), all but the one it shows as the last charge; ticked, one is read and laid over.
    window.dlg.OnChargeGraph();
    auto* graph = window.dlg.findChild<CChargeGraphWnd*>();
    ASSERT_NE(graph, nullptr);
    ASSERT_EQ(graph->LogList()->topLevelItemCount(), 1);
    QTreeWidgetItem* pack = graph->LogList()->topLevelItem(0);
    EXPECT_EQ(pack->text(0), "AA");
    ASSERT_EQ(pack->childCount(), 1);
    pack->child(0)->setCheckState(0, Qt::Checked);
    ASSERT_TRUE(QTest::qWaitFor([&] { return graph->Loading() == 0; }, 10000));
    ASSERT_EQ(graph->View()->Overlays().size(), 1u);
    EXPECT_EQ(graph->View()->Overlays()[0].points.size(), charges[0].curve.size());
    pack->child(0)->setCheckState(0, Qt::Unchecked);
    ASSERT_TRUE(graph->View()->Overlays().empty());

    // The Pack History (Ctrl+H): the pack's charges, newest first, sortable; ticking one lays
    // it over the Charge Graph; written out as CSV and as a PDF page.
    window.dlg.show();
    window.dlg.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&window.dlg));
    QTest::keyClick(&window.dlg, Qt::Key_H, Qt::ControlModifier);
    auto* wnd = window.dlg.findChild<CPackHistoryWnd*>();
    ASSERT_NE(wnd, nullptr);
    EXPECT_EQ(wnd->Chooser()->currentText(), "AA");
    ASSERT_EQ(wnd->Table()->rowCount(), 2);
    EXPECT_EQ(wnd->Table()->item(0, 5)->text(), "Stopped");
    wnd->Table()->sortItems(3, Qt::DescendingOrder);  // by mAh
    EXPECT_EQ(wnd->Table()->item(0, 5)->text(), "Timed");
    EXPECT_TRUE(wnd->HealthText().contains("not known")) << wnd->HealthText().toStdString();
    // For a screen reader: the trend is a picture that says what it shows, a Graph box says what
    // it does, and Tab leaves the table.
    QAccessibleInterface* trend = QAccessible::queryAccessibleInterface(wnd->Trend());
    EXPECT_EQ(trend->role(), QAccessible::Graphic);
    EXPECT_TRUE(trend->text(QAccessible::Description).startsWith("2 charge(s) from "))
        << trend->text(QAccessible::Description).toStdString();
    EXPECT_EQ(wnd->Table()->item(0, 0)->data(Qt::AccessibleTextRole), "Show on the Charge Graph");
    EXPECT_FALSE(wnd->Table()->tabKeyNavigation());
    wnd->Table()->item(0, CPackHistoryWnd::kColumnShow)->setCheckState(Qt::Checked);
    ASSERT_EQ(graph->View()->Overlays().size(), 1u);
    EXPECT_EQ(graph->View()->Overlays()[0].points.size(), charges[0].curve.size());
    // One charge, one identity: the graph's entry for it is ticked too, starts with the date the
    // Pack History gives it, and says how long it ran, what it put in and how it ended.
    QTreeWidgetItem* listed = graph->LogList()->topLevelItem(0)->child(0);
    EXPECT_EQ(listed->checkState(0), Qt::Checked);
    const QString date = wnd->Table()->item(0, 1)->text();
    EXPECT_TRUE(listed->text(0).startsWith(date + "\n0:00:20, ") &&
                listed->text(0).contains(" mAh\nTimed"))
        << listed->text(0).toStdString() << " / " << date.toStdString();
    EXPECT_EQ(graph->View()->Overlays()[0].label, "AA " + date);
    // It stays current, its ticks kept: a charge that ends while it is open appears in it, and
    // an import (of nothing here) leaves the ticks and the graph as they were.
    auto ticked = [&] {
        int n = 0;
        for (int row = 0; row < wnd->Table()->rowCount(); ++row) {
            n += wnd->Table()->item(row, CPackHistoryWnd::kColumnShow)->checkState() == Qt::Checked;
        }
        return n;
    };
    ASSERT_TRUE(window.ChargeToEnd());
    window.dlg.m_history->WaitForDone();
    EXPECT_TRUE(QTest::qWaitFor([&] { return wnd->Table()->rowCount() == 3; },
                                4 * CPackHistoryWnd::kWatchMilliseconds));
    EXPECT_EQ(ticked(), 1);
    QTemporaryDir noLogs;
    wnd->ImportLogs(noLogs.path(), {});
    EXPECT_EQ(ticked(), 1);
    EXPECT_EQ(graph->View()->Overlays().size(), 1u);
    for (int row = 0; row < wnd->Table()->rowCount(); ++row) {
        wnd->Table()->item(row, CPackHistoryWnd::kColumnShow)->setCheckState(Qt::Unchecked);
    }
    EXPECT_TRUE(graph->View()->Overlays().empty());
    // And the other way: ticked in the graph's list, ticked in the Pack History.
    graph->RefreshLogs();
    QTreeWidgetItem* inGraph = graph->LogList()->topLevelItem(0)->child(0);
    inGraph->setCheckState(0, Qt::Checked);
    ASSERT_TRUE(QTest::qWaitFor([&] { return graph->Loading() == 0; }, 10000));
    EXPECT_EQ(ticked(), 1);
    inGraph->setCheckState(0, Qt::Unchecked);
    EXPECT_EQ(ticked(), 0);
    EXPECT_EQ(wnd->ReportCharges().size(), 3u);
    QTemporaryDir out;
    ASSERT_TRUE(wnd->ExportCsv(out.filePath("aa.csv")));
    QFile csv(out.filePath("aa.csv"));
    ASSERT_TRUE(csv.open(QIODevice::ReadOnly));
    const QList<QByteArray> lines = csv.readAll().split('\n');
    EXPECT_TRUE(lines[1].startsWith("AA, ") && lines[1].contains(", 0:00:20, ") &&
                lines[1].endsWith(", Timed, timed, \r"))
        << lines[1].toStdString();
    ASSERT_TRUE(wnd->ExportReport(out.filePath("aa.pdf")));
    QFile pdf(out.filePath("aa.pdf"));
    ASSERT_TRUE(pdf.open(QIODevice::ReadOnly));
    EXPECT_EQ(pdf.read(5), "%PDF-");
    wnd->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(wnd));
    QTest::keyClick(wnd->Table(), Qt::Key_Escape);
    EXPECT_FALSE(wnd->isVisible());

    // Deleting the pack asks whether to keep its history: Delete History empties it.
    window.dlg.m_lstPacks->SetCurSel(0);
    auto sure = WhenModalOpens([](QWidget* w) { ClickButtonWithText(w, "OK"); });
    auto forget = WhenModalOpens([](QWidget* w) { ClickButtonWithText(w, "Delete History"); });
    window.dlg.OnDeletePack();
    EXPECT_TRUE(history.Charges(id, "AA", false).empty());
}

TEST(History, TwoWritersKilledAtAnyMomentLeaveEveryWrittenChargeWhole) {
    QTemporaryDir dir;
    const QString path = dir.filePath("history.sqlite");
    int said = 0;  // the charges the killed programs said were in
    for (int kill = 1; kill <= 30; ++kill) {
        // Two programs (two boxes on two ports) write at once, and both are killed.
        QProcess children[2];
        for (QProcess& child : children) {
            child.start(KVC410_SAFETY_CHILD, {"history-charges", path});
            ASSERT_TRUE(child.waitForStarted(10000));
        }
        // Killed anywhere: before the first row, inside a transaction, between two.
        QThread::msleep(QRandomGenerator::global()->bounded(5, 150));
        for (QProcess& child : children) {
            ::kill(pid_t(child.processId()), SIGKILL);
            ASSERT_TRUE(child.waitForFinished(10000));
            said += int(QString(child.readAllStandardOutput()).count("written"));
        }
        ChargeHistory history(path);
        ASSERT_NE(history.Open(), ChargeHistory::State::Failed) << history.Problem().toStdString();
        // Whole: every row has every sample of its hour, as written; the file is sound.
        if (kill % 10 == 0) {
            EXPECT_EQ(SqlValue(path, "PRAGMA integrity_check"), "ok") << "kill " << kill;
        }
        EXPECT_EQ(SqlValue(path,
                           "SELECT COUNT(*) FROM charges WHERE samples <> 3600 OR "
                           "length(curve) <> 3600 * 12"),
                  "0");
        if (const auto last =
                history.Charge(SqlValue(path, "SELECT MAX(id) FROM charges").toLongLong())) {
            ASSERT_EQ(last->curve.size(), 3600u);
            EXPECT_EQ(last->curve.back().amps, last->packName.mid(5).toFloat());
        }
        const int rows = SqlValue(path, "SELECT COUNT(*) FROM charges").toInt();
        // Every charge said to be in is in; at most one a killed program went in unsaid.
        EXPECT_GE(rows, said) << "kill " << kill;
        EXPECT_LE(rows, said + 2 * kill) << "kill " << kill;
    }
}

TEST(History, HealthIsTheMedianEstimateOfTheLastFiveFullChargesFromEmpty) {
    // An 8-cell Ni-MH pack; how full it was at the start shows in how far its voltage rose
    // from the first minute to the peak: 0.17 V a cell from empty, 0.08 from half, 0.01 full.
    enum Start { kEmpty, kHalf, kFull };
    auto charges = [](std::vector<std::tuple<double, const char*, Start>> made) {
        std::vector<HistoryCharge> list;
        for (const auto& [mah, reason, start] : made) {
            HistoryCharge c;
            c.mah = mah;
            c.endReason = reason;
            c.settings = "12080101080000001";  // Ni-MH, 8 cells
            c.peakVolts = 13.70;
            c.startVolts = start == kEmpty ? 12.34f : start == kHalf ? 13.06f : 13.62f;
            list.push_back(c);
        }
        return list;
    };
    struct Case {
        const char* what;
        std::vector<HistoryCharge> oldestFirst;
        double rated;
        int estimates;
        double median, percent;
        bool worn;
    } const cases[] = {
        {"none", {}, 2000, 0, 0, 0, false},
        {"only stopped ones", charges({{500, "Stopped", kEmpty}, {2100, "unknown", kEmpty}}), 2000,
         0, 0, 0, false},
        // Top-ups put in little and part charges less than a full one: neither counts.
        {"top-ups and part charges",
         charges({{300, "Peak detected", kFull}, {1200, "Peak detected", kHalf}}), 2000, 0, 0, 0,
         false},
        {"against its best",
         charges({{2400, "Peak detected", kEmpty},
                  {2280, "Peak detected", kEmpty},
                  {1500, "Stopped", kEmpty},
                  {200, "Peak detected", kFull}}),
         0, 2, 1950, 97.5, false},
        {"the last five only, the odd one in the middle",
         charges({{2880, "Peak detected", kEmpty},
                  {1800, "Peak detected", kEmpty},
                  {1860, "Voltage plateau", kEmpty},
                  {1824, "Capacity limit", kEmpty},
                  {900, "Battery disconnected", kEmpty},
                  {1920, "Time limit", kEmpty},
                  {400, "Peak detected", kFull},
                  {1680, "Peak detected (averaged)", kEmpty}}),
         2000, 6, 1520, 76, true},
        {"against the rated capacity", charges({{2040, "Peak detected", kEmpty}}), 2000, 1, 1700,
         85, false},
        {"just under", charges({{1918.8, "Peak detected", kEmpty}}), 2000, 1, 1599, 79.95, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const PackHealth health = JudgeHealth(c.oldestFirst, c.rated);
        EXPECT_EQ(health.estimates, c.estimates);
        EXPECT_NEAR(health.medianMah, c.median, 1e-9);
        EXPECT_NEAR(health.percent, c.percent, 1e-9);
        EXPECT_EQ(health.worn, c.worn);
    }
}

namespace {

// One charge of a simulated pack through the engine, kept as the window keeps it.
HistoryCharge SimulatedCharge(double age, double initialPercent, uint32_t seed) {
    SimOptions options;
    options.steppedTime = true;
    options.capacityMah = 2000;
    options.currentA = 1.0;
    options.age = age;
    options.initialChargePercent = initialPercent;
    options.noiseCounts = 3;
    options.seed = seed;
    auto owned = std::make_unique<SimulatedChargerBox>(options);
    SimulatedChargerBox* box = owned.get();
    auto previous = InstallPortDriver(std::move(owned));
    ChargeCycle cycle;
    ChargeRecorder recorder(cycle);
    const ChargeSettings settings;  // Ni-MH, 8 cells, 0.08 V
    cycle.SetSettings(settings);
    cycle.SetLimits({.ratedMah = 2000});
    cycle.Start();
    for (int s = 0; s < 10 * 3600 && cycle.IsCharging(); ++s) {
        box->AdvanceSeconds(1.0);
        cycle.MeasurementTick();
        if (cycle.IsCharging()) {
            cycle.ClockTick();
        }
    }
    HistoryCharge c;
    c.endReason = QString::fromStdString(EndReasonText(cycle.LastEnd(), settings.chargeType));
    c.settings = QString::fromStdString(EncodePackProperties(settings));
    c.mah = std::stod(cycle.Texts().mah);
    c.peakVolts = std::stod(cycle.Texts().maxVolts);
    c.curve = recorder.Points();
    c.startVolts = StartVolts(c.curve);
    cycle.Stop();
    cycle.Release();
    InstallPortDriver(std::move(previous));
    return c;
}

}  // namespace

TEST(History, HealthFollowsASimulatedPackThroughItsLife) {
    // 33 charges while the pack wears from all of its rated capacity to 60 % of it; every
    // third is a top-up of a full pack, the others begin nearly empty.
    std::vector<HistoryCharge> life;
    constexpr int kCharges = 33;
    int judged = 0;
    for (int i = 0; i < kCharges; ++i) {
        const double age = 1.0 - 0.4 * i / (kCharges - 1);
        const bool topUp = i % 3 == 2;
        life.push_back(SimulatedCharge(age, topUp ? 97.0 : 3.0 * (i % 2), 100u + uint32_t(i)));
        const ChargeReading reading = ReadCharge(life.back());
        EXPECT_EQ(reading.start, topUp ? ChargeStart::Full : ChargeStart::Empty)
            << i << " " << life.back().endReason.toStdString();
        const PackHealth health = JudgeHealth(life, 2000);
        if (health.estimates == 0) {
            continue;
        }
        ++judged;
        const double truth = 2000 * age;
        EXPECT_NEAR(health.medianMah, truth, truth * 0.10) << "charge " << i;
        if (age >= 0.9) {
            EXPECT_FALSE(health.worn) << "charge " << i;
        }
        if (age <= 0.7) {
            EXPECT_TRUE(health.worn) << "charge " << i;
        }
    }
    EXPECT_GE(judged, kCharges - 2);
}

// A pack with no rated capacity typed whose history has measured it: a charge of it is judged by
// what it holds. A full pack that shows no drop, charged at 1C, ends on the plateau before 130 %
// (with nothing known, the plateau's 30 minutes take it past 150 %).
TEST(History, APacksMeasuredCapacityEndsAFullPackWithoutADropInTime) {
    HistoryHome home;
    Window window(ChargeSettings{}, "AA",
                  {.currentA = 2.0, .initialChargePercent = 100, .noiseCounts = 3, .noPeak = true});
    const QString id = PackHistoryIdOf(window.profile.profile(), "AA");
    {
        ChargeHistory history;
        ASSERT_EQ(history.Open(), ChargeHistory::State::Writable) << history.Problem().toStdString();
        for (uint32_t seed : {7u, 8u, 9u}) {
            HistoryCharge c = SimulatedCharge(1.0, 2.0, seed);
            c.packId = id;
            c.packName = "AA";
            c.started = QDateTime(QDate(2026, 11, 1), QTime(int(seed), 0));
            c.ended = c.started.addSecs(c.curve.back().seconds);
            FillFiguresFromCurve(c);
            ASSERT_TRUE(history.Add(c)) << history.Problem().toStdString();
        }
    }
    EXPECT_NEAR(MeasuredCapacity(ChargeHistory::DefaultPath(), id, "AA"), 2000, 200);
    EXPECT_EQ(MeasuredCapacity(ChargeHistory::DefaultPath(), "id-BB", "BB"), 0);
    window.dlg.OnOK();
    for (int s = 0; s < 3600 && window.dlg.m_bCharging; ++s) {
        window.box->AdvanceSeconds(1.0);
        window.dlg.OnTimer(1);
        if (window.dlg.m_bCharging) {
            window.dlg.OnTimer(2);
        }
    }
    ASSERT_EQ(window.dlg.m_bCharging, 0);
    EXPECT_EQ(window.dlg.m_lastEnd, ChargeEnd::VoltagePlateau);
    EXPECT_LE(window.box->StateOfChargePercent(), 130.0);
    window.dlg.m_history->WaitForDone();
}
