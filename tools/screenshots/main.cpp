// Draws the README's pictures of the program's windows: each window is built as the program
// builds it, on the simulated box and a throw-away profile, and grabbed off screen.

#include <QApplication>
#include <cmath>
#include <QDialog>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTimer>
#include <QTreeWidget>
#include <cstdio>
#include <functional>

#include "app/CAboutDlg.h"
#include "app/CChargerDlg.h"
#include "charge/ChargeLogFile.h"
#include "graph/CChargeGraphWnd.h"
#include "hardware/SimulatedChargerBox.h"
#include "history/HistoryRecording.h"
#include "history/window/CPackHistoryWnd.h"
#include "limits/ChargeLimitsStore.h"
#include "limits/dialogs/CChargeLimitsDlg.h"
#include "packs/dialogs/CConfirmDlg.h"
#include "packs/dialogs/CNewPackDlg.h"
#include "packs/dialogs/CPackEditorDlg.h"
#include "packs/dialogs/CPackInfoDlg.h"
#include "platform/LocalTime.h"
#include "platform/Profile.h"
#include "settings/ChargeSettingsStore.h"
#include "settings/dialogs/CChargePropertiesDlg.h"

namespace {
int NoSound(const QByteArray&) {
    return 0;
}

// Run with QT_SCALE_FACTOR=2, only the graph's pictures are drawn, named "...-scale2.png".
bool AtScaleTwo() {
    return qgetenv("QT_SCALE_FACTOR") == "2";
}

bool Save(QWidget& w, QString path) {
    if (AtScaleTwo()) {
        if (!path.contains("charge-graph") && !path.contains("pack-history")) {
            return true;
        }
        path.replace(".png", "-scale2.png");
    }
    w.show();
    QApplication::processEvents();
    bool ok = w.grab().save(path);
    std::printf("%s %s\n", ok ? "wrote" : "could not write", qPrintable(path));
    return ok;
}
}  // namespace

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    // The logs of the graph's past charges go to a throw-away home.
    QTemporaryDir dir;
    qputenv("HOME", QFile::encodeName(dir.path()));
    qputenv("XDG_DATA_HOME", QFile::encodeName(dir.path() + "/.local/share"));
    QApplication app(argc, argv);
    // Absolute: the end of a charge with a log makes the log folder the current one.
    const QString out =
        QDir(argc > 1 ? QString::fromLocal8Bit(argv[1]) : QString("docs")).absolutePath();
    SetAppProfile(std::make_unique<Profile>(dir.path() + "/KVC410.ini"));
    Profile& profile = AppProfile();
    profile.WriteProfileString("Packs", "0", "AA Pack");
    profile.WriteProfileString("Packs", "0i", "12080101080000000");  // peak, Ni-MH, 8 cells
    profile.WriteProfileString("Packs", "0j", "0987001234.5020510140703032003099100006");
    profile.WriteProfileString("Packs", "1", "Sub-C 3000");
    profile.WriteProfileString("Packs", "1i", "12080101080000000");
    profile.WriteProfileString("Packs", "2", "Receiver 4.8V");
    profile.WriteProfileString("Packs", "2i", "21080101040130000");  // timed 1:30, Ni-Cd, 4 cells

    bool ok = true;
    // A charge of the selected pack, as the user sees it: the pack current and highlighted,
    // the charge running (or, with seconds 0, run until it ends by itself).
    auto charge = [&](const QString& pack, int listPosition, const ChargeSettings& settings,
                      SimOptions options, int seconds, const QString& file,
                      const std::function<void(CChargerDlg&)>& more = {}) {
        StoreChargeSettings(profile, settings);
        profile.WriteProfileString("Properties", "PackName", pack);
        profile.WriteProfileInt("Properties", "LastSelected", listPosition);
        options.steppedTime = true;
        auto* box = new SimulatedChargerBox(options);
        InstallPortDriver(std::unique_ptr<PortDriver>(box));
        CChargerDlg dlg;
        dlg.m_playWave = &NoSound;
        dlg.Initialise();
        dlg.setWindowTitle(dlg.windowTitle() + " - simulated charger");
        dlg.OnOK();
        for (int i = 0; dlg.m_bCharging && (seconds == 0 || i < seconds); ++i) {
            box->AdvanceSeconds(1);
            dlg.OnTimer(1);
            if (dlg.m_bCharging) {
                dlg.OnTimer(2);
            }
        }
        if (!file.isEmpty()) {
            ok = Save(dlg, file) && ok;
        }
        if (more) {
            more(dlg);
        }
        if (dlg.m_bCharging) {
            // Stopped by hand, the charge of a pack asks whether to keep it: no.
            QTimer::singleShot(0, [] {
                if (auto* question = qobject_cast<QDialog*>(QApplication::activeModalWidget())) {
                    question->reject();
                }
            });
            dlg.OnOK();
        }
    };
    const ChargeSettings aaPack{};  // peak, Ni-MH, 8 cells
    const ChargeSettings receiver{
        .timedHours = 1, .timedMinutes = 30, .batteryType = 1, .chargeType = 2, .cells = 4};
    charge("AA Pack", 0, aaPack, SimOptions{}, 47 * 60 + 12, out + "/main-window.png");
    charge("AA Pack", 0, aaPack, SimOptions{.capacityMah = 1200, .initialChargePercent = 20}, 0,
           out + "/main-window-ended.png");
    charge("Receiver 4.8V", 1, receiver, SimOptions{.chemistry = Chemistry::NiCd, .cells = 4},
           23 * 60 + 5, out + "/main-window-timed.png");

    // The graph: two earlier charges of the pack, logged, laid over the running one.
    ChargeSettings logged = aaPack;
    logged.exportCsv = 1;
    const LocalTime first{2026, 11, 2, 19, 5};
    const LocalTime second{2026, 11, 30, 20, 10};
    SetLocalTimeForTests(&first);
    charge("AA Pack", 0, logged, SimOptions{.capacityMah = 2100, .seed = 3}, 0, QString());
    SetLocalTimeForTests(&second);
    charge("AA Pack", 0, logged,
           SimOptions{.capacityMah = 1900, .initialChargePercent = 8, .seed = 4}, 0, QString());
    SetLocalTimeForTests(nullptr);
    charge("AA Pack", 0, aaPack, SimOptions{.capacityMah = 1800, .seed = 5}, 95 * 60, QString(),
           [&](CChargerDlg& dlg) {
               dlg.OnChargeGraph();
               CChargeGraphWnd* graph = dlg.findChild<CChargeGraphWnd*>();
               QTreeWidget* logs = graph->LogList();
               for (int g = 0; g < logs->topLevelItemCount(); ++g) {
                   for (int i = 0; i < logs->topLevelItem(g)->childCount(); ++i) {
                       logs->topLevelItem(g)->child(i)->setCheckState(0, Qt::Checked);
                   }
               }
               while (graph->Loading() > 0) {
                   QApplication::processEvents(QEventLoop::WaitForMoreEvents, 100);
               }
               graph->resize(960, 480);
               ok = Save(*graph, out + "/charge-graph.png") && ok;
           });
    // The peak of a charge, zoomed in, with both cursors on it; and its PDF page. (A history of
    // its own: measured by the charges above, the pack would be judged by its capacity, and at
    // 0.5C the plateau's window ends it on its rounded top before the drop.)
    qputenv("XDG_DATA_HOME", QFile::encodeName(dir.path() + "/zoom-history"));
    charge("AA Pack", 0, aaPack, SimOptions{.capacityMah = 1800, .seed = 5}, 0, QString(),
           [&](CChargerDlg& dlg) {
               dlg.OnChargeGraph();
               CChargeGraphWnd* graph = dlg.findChild<CChargeGraphWnd*>();
               graph->resize(960, 480);
               QApplication::processEvents();
               ChargeGraphView* view = graph->View();
               view->Sync();
               // The peak and the drop after it are the charge's last minutes.
               const double end = dlg.m_recorder->Points().back().seconds;
               view->ZoomAt(end, 0.1);
               view->replot();
               const double shownFrom = view->Shown().time.from;
               const double shownTo = view->Shown().time.to;
               view->PlaceCursor(shownFrom + (shownTo - shownFrom) * 0.25);
               view->PlaceCursor(shownFrom + (shownTo - shownFrom) * 0.8);
               view->replot();
               ok = Save(*graph, out + "/charge-graph-zoomed.png") && ok;
               if (!AtScaleTwo()) {
                   QString why;
                   const bool written = view->SaveImage(out + "/charge-graph.pdf", &why) &&
                                        view->SaveImage(out + "/charge-graph-saved.png", &why);
                   std::printf("%s %s\n", written ? "wrote" : "could not write",
                               qPrintable(out + "/charge-graph.pdf"));
                   ok = written && ok;
               }
           });
    qputenv("XDG_DATA_HOME", QFile::encodeName(dir.path() + "/.local/share"));
    // A big pack at a slow rate shows no drop: the voltage plateau ends its charge.
    StoreChargeLimits(profile, 1, {.ratedMah = 4000});
    charge("Sub-C 3000", 2, aaPack, SimOptions{.capacityMah = 4000, .seed = 6}, 0, QString(),
           [&](CChargerDlg& dlg) {
               dlg.OnChargeGraph();
               CChargeGraphWnd* graph = dlg.findChild<CChargeGraphWnd*>();
               graph->resize(960, 480);
               ok = Save(*graph, out + "/charge-graph-backup.png") && ok;
               if (!AtScaleTwo()) {
                   // The main window after a backup's end: its picture of its own.
                   ok = Save(dlg, out + "/main-window-backup.png") && ok;
               }
           });
    {
        // The hard case: a running charge with its limits near, eight past charges of packs with
        // long names (one of them a charge that found no pack) and both cursors placed.
        QDir().mkpath(ChargeLogFolder());
        const QString longName = "Glider receiver pack (spare, 2400 mAh)";
        for (int i = 0; i < 8; ++i) {
            const bool failed = i == 7;
            QByteArray text = "Total Seconds, Voltage, Current, Charge Duration\r\n";
            const int seconds = failed ? 3 : 6000 + i * 900;
            for (int t = seconds; t >= 1; t -= failed ? 1 : 10) {
                const double x = double(t) / seconds;
                const double volts = failed ? 20.0 : 6.1 + 0.12 * i / 7.0 + 0.7 * std::pow(x, 3);
                text += QByteArray::number(t) + ", " + QByteArray::number(volts, 'f', 2) + ", " +
                        (failed ? "0.00" : "1.00") + ", 0:0:0\r\n";
            }
            QFile log(ChargeLogFolder() +
                      QString("%1 11-%2-2026 18-%3.csv").arg(longName).arg(i + 1).arg(10 + i));
            if (log.open(QIODevice::WriteOnly)) {
                log.write(text);
            }
        }
        charge("Sub-C 3000", 2, aaPack, SimOptions{.capacityMah = 4000, .seed = 7}, 3 * 3600 + 1500,
               QString(), [&](CChargerDlg& dlg) {
                   dlg.OnChargeGraph();
                   CChargeGraphWnd* graph = dlg.findChild<CChargeGraphWnd*>();
                   QTreeWidget* logs = graph->LogList();
                   for (int g = 0; g < logs->topLevelItemCount(); ++g) {
                       if (logs->topLevelItem(g)->text(0) != longName) {
                           continue;
                       }
                       for (int i = 0; i < logs->topLevelItem(g)->childCount(); ++i) {
                           logs->topLevelItem(g)->child(i)->setCheckState(0, Qt::Checked);
                       }
                   }
                   while (graph->Loading() > 0) {
                       QApplication::processEvents(QEventLoop::WaitForMoreEvents, 100);
                   }
                   graph->resize(960, 600);
                   QApplication::processEvents();
                   ChargeGraphView* view = graph->View();
                   view->Sync();
                   view->replot();
                   view->PlaceCursor(3600);
                   view->PlaceCursor(7200);
                   view->replot();
                   ok = Save(*graph, out + "/charge-graph-hard.png") && ok;
               });
    }
    {
        // Two years of an AA pack's charges, wearing slowly: most from empty, a few top-ups of
        // the full pack and a few stopped by hand (in a history of their own, without the
        // charges above).
        qputenv("XDG_DATA_HOME", QFile::encodeName(dir.path() + "/history-shot"));
        StoreChargeLimits(profile, 0, {.ratedMah = 2000});
        ChargeHistory history;
        history.Open();
        const QString id = PackHistoryId(profile, 0);
        for (int i = 0; i < 30; ++i) {
            HistoryCharge c;
            c.packId = id;
            c.packName = "AA Pack";
            c.settings = "12080101080000001";  // Ni-MH, 8 cells, at 1 A
            c.started = QDateTime(QDate(2025, 1, 10).addDays(i * 24), QTime(19, 5));
            const bool stopped = i % 7 == 3;
            const bool topUp = i % 5 == 4;
            const double capacity = 2080 - i * 14.5 + (i * 37 % 11) * 6;
            // A full charge from empty puts in 1.2 times what the pack holds.
            const double share = topUp ? 0.12 : stopped ? 0.5 : 1.2;
            const int seconds = int(share * capacity * 3.6);
            for (int t = 1; t <= seconds; ++t) {
                const double x = double(t) / seconds;
                const double volts = topUp ? 13.62 + 0.06 * std::min(1.0, x * 3) - 0.05 * x
                                           : 12.25 + 1.4 * std::pow(stopped ? x * 0.4 : x, 3) -
                                                 (x > 0.97 && !stopped ? (x - 0.97) * 3 : 0);
                c.curve.push_back({t, float(volts), 1.0f});
            }
            FillFiguresFromCurve(c);
            c.ended = c.started.addSecs(c.seconds);
            c.endReason = stopped ? "Stopped" : "Peak detected";
            history.Add(c);
        }
        std::vector<CPackHistoryWnd::Pack> packs{{id, "AA Pack", 2000}};
        CPackHistoryWnd wnd(packs, "AA Pack", nullptr);
        wnd.resize(820, 640);
        wnd.Table()->item(0, CPackHistoryWnd::kColumnShow)->setCheckState(Qt::Checked);
        wnd.Table()->selectRow(0);
        ok = Save(wnd, out + "/pack-history.png") && ok;
        // Its report with nothing ticked: the last five charges' curves.
        wnd.Table()->item(0, CPackHistoryWnd::kColumnShow)->setCheckState(Qt::Unchecked);
        QString why;
        if (!wnd.ExportReport(out + "/pack-history-report.pdf", &why)) {
            std::fprintf(stderr, "the report could not be written: %s\n", qPrintable(why));
            ok = false;
        }
    }
    {
        CChargeLimitsDlg dlg({.ratedMah = 4000}, "Sub-C 3000");
        dlg.show();
        ok = Save(dlg, out + "/charge-limits.png") && ok;
    }
    {
        CChargePropertiesDlg dlg;
        dlg.m_edit.cells = 8;
        dlg.Initialise();
        ok = Save(dlg, out + "/charge-properties.png") && ok;
    }
    {
        CAboutDlg dlg;
        dlg.Initialise();
        ok = Save(dlg, out + "/about.png") && ok;
    }
    {
        CPackInfoDlg dlg;
        dlg.m_strSlot = "0";
        dlg.Initialise();
        ok = Save(dlg, out + "/pack-information.png") && ok;
    }
    {
        CNewPackDlg dlg;
        dlg.m_strName = "Transmitter 9.6V";
        dlg.Initialise();
        ok = Save(dlg, out + "/new-pack.png") && ok;
    }
    {
        CPackEditorDlg dlg;
        dlg.m_strName = "AA Pack";
        dlg.m_nCharges = 6;
        dlg.Initialise();
        ok = Save(dlg, out + "/pack-editor.png") && ok;
    }
    {
        CConfirmDlg dlg;
        dlg.m_strMessage = "Save charge information to the selected profile?";
        dlg.Initialise();
        ok = Save(dlg, out + "/confirm.png") && ok;
    }
    return ok ? 0 : 1;
}
