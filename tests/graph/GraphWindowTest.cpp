// The Charge Graph window as a user meets it: a charge drawn as it runs, past charges ticked from
// the log folder (and files that are no logs refused), its place kept in the profile.

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QTreeWidget>
#include <QtTest/QTest>
#include <set>

#include "app/CChargerDlg.h"
#include "graph/CChargeGraphWnd.h"
#include "hardware/SimulatedChargerBox.h"
#include "tests/TestSupport.h"

namespace {

void WriteFile(const QString& path, const QByteArray& bytes) {
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(bytes);
}

// A charge of the simulated box, driven second by second with the graph watching.
struct Charge {
    explicit Charge(SimOptions options = {})
        : box([&] {
              options.steppedTime = true;
              return options;
          }()) {}
    void Run(int seconds) {
        for (int i = 0; i < seconds && cycle.IsCharging(); ++i) {
            box->AdvanceSeconds(1);
            cycle.MeasurementTick();
            if (cycle.IsCharging()) {
                cycle.ClockTick();
            }
        }
    }
    PortSandbox<SimulatedChargerBox> box;
    ChargeCycle cycle;
    ChargeRecorder recorder{cycle};
};

}  // namespace

TEST(GraphWindow, DrawsTheChargeWithAxesThatCoverItAndLaysPastChargesOverIt) {
    ProfileSandbox profile;
    QTemporaryDir logs;
    Charge charge({.capacityMah = 400});
    charge.cycle.Start();
    charge.Run(60 * 60);
    ASSERT_FALSE(charge.cycle.IsCharging());  // a 400 mAh pack at 1 A peaks well inside the hour

    // Past charges: one log of the program's form, one file that is no log, one of another
    // name (not listed).
    WriteFile(logs.filePath("AA 12-1-2026 19-05.csv"),
              "Total Seconds, Voltage, Current, Charge Duration\r\n"
              "4000, 15.5, 1.20, 1:6:40\r\n2, 9.5, 1.00, 0:0:2\r\n1, 9.4, 1.00, 0:0:1\r\nbad\r\n");
    WriteFile(logs.filePath("AA 12-2-2026 19-05.csv"), QByteArray("\x89PNG\r\n\x1a\n\0\0", 10));
    WriteFile(logs.filePath("notes.csv"), "a,b\n");
    CChargeGraphWnd window(charge.recorder, logs.path());
    window.resize(900, 500);
    window.show();
    QTreeWidget* list = window.LogList();
    ASSERT_EQ(list->topLevelItemCount(), 1);
    QTreeWidgetItem* pack = list->topLevelItem(0);
    EXPECT_EQ(pack->text(0), "AA");
    ASSERT_EQ(pack->childCount(), 2);
    EXPECT_EQ(pack->child(0)->text(0), "12-2-2026 19:05");  // newest first

    pack->child(0)->setCheckState(0, Qt::Checked);
    EXPECT_EQ(pack->child(0)->checkState(0), Qt::Unchecked);
    EXPECT_TRUE(window.Status().contains("AA 12-2-2026 19-05.csv cannot be shown: it holds binary"))
        << window.Status().toStdString();
    pack->child(1)->setCheckState(0, Qt::Checked);
    EXPECT_EQ(window.Status(),
              "AA 12-1-2026 19-05.csv: 1 line(s) could not be read and were skipped.");
    ASSERT_EQ(window.View()->Overlays().size(), 1u);

    // The axes cover the charge and the past one (its last second is beyond the charge's end).
    ChargeGraphView* view = window.View();
    const ChargeGraphView::Axes axes = view->AxesFor(view->rect());
    float low = 1e9f, high = -1e9f, most = 0;
    for (const CurvePoint& p : charge.recorder.Points()) {
        low = std::min(low, p.volts);
        high = std::max(high, p.volts);
        most = std::max(most, p.amps);
    }
    EXPECT_LE(axes.fromSeconds, 0);
    EXPECT_GE(axes.toSeconds, 4000);
    EXPECT_LE(axes.lowVolts, std::min(low, 9.4f));
    EXPECT_GE(axes.highVolts, std::max(high, 15.5f));
    EXPECT_LE(axes.lowAmps, 0);
    EXPECT_GE(axes.highAmps, std::max(most, 1.2f));

    // The picture is not empty: the voltage curve runs across the plot, the past charge in its
    // own colour beside it; the end is named.
    const QImage shot = view->grab().toImage();
    EXPECT_GT(PixelsOfColour(shot, ChargeGraphView::kVoltsColour, axes.plot),
              axes.plot.width() / 4);
    EXPECT_GT(PixelsOfColour(shot, view->Overlays().front().colour, axes.plot), 20);
    EXPECT_EQ(charge.recorder.EndReason(), "Peak detected");
    // Hover reads the nearest sample.
    const CurvePoint& second = charge.recorder.Points()[2];
    EXPECT_EQ(
        view->ReadoutAt(1.6),
        QString("0:00:02  %1 V  %2 A").arg(second.volts, 0, 'f', 2).arg(second.amps, 0, 'f', 2));
    EXPECT_TRUE(view->ReadoutAt(1e9).startsWith(QString("0:%1:").arg(
        charge.recorder.Points().back().seconds / 60 % 60, 2, 10, QChar('0'))));

    // Saved as PNG and as SVG.
    EXPECT_TRUE(view->SaveImage(logs.filePath("graph.png")));
    EXPECT_FALSE(QImage(logs.filePath("graph.png")).isNull());
    EXPECT_TRUE(view->SaveImage(logs.filePath("graph.svg")));
    QFile svg(logs.filePath("graph.svg"));
    ASSERT_TRUE(svg.open(QIODevice::ReadOnly));
    EXPECT_TRUE(svg.readAll().contains("<svg"));
    EXPECT_FALSE(view->SaveImage("/nonexistent/folder/graph.png"));
    // On a full disk: refused, with the reason, and no half picture under its name.
    if (FullDisk disk; disk.Ready()) {
        disk.Fill(2000);
        for (const char* name : {"/graph.png", "/graph.svg"}) {
            QString why;
            EXPECT_FALSE(view->SaveImage(disk.Path() + name, &why)) << name;
            EXPECT_TRUE(why.contains("full")) << why.toStdString();
            EXPECT_FALSE(QFileInfo::exists(disk.Path() + name)) << name;
        }
    }

    // The log of a charge that ends while the window is open is listed at once.
    charge.cycle.Start();
    charge.Run(3);
    window.Refresh();
    EXPECT_TRUE(charge.recorder.Points().size() == 3 && view->Overlays().size() == 1);
    WriteFile(logs.filePath("AA 12-3-2026 19-05.csv"),
              "Total Seconds, Voltage, Current, Charge Duration\r\n1, 9.4, 1.00, 0:0:1\r\n");
    charge.cycle.Stop();
    window.Refresh();
    ASSERT_EQ(list->topLevelItemCount(), 1);
    EXPECT_EQ(list->topLevelItem(0)->childCount(), 3);
    // The ticked past charge stays ticked.
    EXPECT_EQ(list->topLevelItem(0)->child(2)->checkState(0), Qt::Checked);
}

TEST(GraphWindow, AtMostEightPastCharges) {
    ProfileSandbox profile;
    QTemporaryDir logs;
    for (int day = 1; day <= 9; ++day) {
        WriteFile(logs.filePath(QString("AA 12-%1-2026 19-05.csv").arg(day)),
                  "Total Seconds, Voltage, Current, Charge Duration\r\n1, 9.4, 1.00, 0:0:1\r\n");
    }
    ChargeCycle cycle;
    ChargeRecorder recorder(cycle);
    CChargeGraphWnd window(recorder, logs.path());
    QTreeWidgetItem* pack = window.LogList()->topLevelItem(0);
    ASSERT_EQ(pack->childCount(), 9);
    for (int i = 0; i < 9; ++i) {
        pack->child(i)->setCheckState(0, Qt::Checked);
    }
    EXPECT_EQ(window.View()->Overlays().size(), 8u);
    EXPECT_EQ(pack->child(8)->checkState(0), Qt::Unchecked);
    EXPECT_EQ(window.Status(), "At most eight past charges can be shown at a time.");
    // Each in a colour of its own.
    std::set<QRgb> colours;
    for (const GraphOverlay& o : window.View()->Overlays()) {
        colours.insert(o.colour.rgb());
    }
    EXPECT_EQ(colours.size(), 8u);
    // Unticking one frees its place.
    pack->child(0)->setCheckState(0, Qt::Unchecked);
    pack->child(8)->setCheckState(0, Qt::Checked);
    EXPECT_EQ(window.View()->Overlays().size(), 8u);
    EXPECT_EQ(pack->child(8)->checkState(0), Qt::Checked);
}

TEST(GraphWindow, OpensFromTheMainWindowAndRemembersWhetherItWasOpenAndWhere) {
    ProfileSandbox profile;
    PortSandbox<SimulatedChargerBox> box(SteppedSim());
    const int writes = profile.profile().WriteCount();
    {
        CChargerDlg dlg;
        dlg.Initialise();
        EXPECT_EQ(dlg.findChild<CChargeGraphWnd*>(), nullptr);
        dlg.show();
        dlg.activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(&dlg));
        QTest::keyClick(&dlg, Qt::Key_G, Qt::ControlModifier);
        auto* graph = dlg.findChild<CChargeGraphWnd*>();
        ASSERT_NE(graph, nullptr);
        EXPECT_TRUE(graph->isVisible());
        graph->setGeometry(40, 50, 700, 420);
        graph->close();
        EXPECT_EQ(profile.profile().GetProfileInt(kGraphSection, "Open", -1), 0);
        dlg.OnChargeGraph();  // open again: the same window
        EXPECT_EQ(dlg.findChildren<CChargeGraphWnd*>().size(), 1);
        EXPECT_TRUE(graph->isVisible());
    }
    // Open when the program ended: open again, where it was.
    EXPECT_EQ(profile.profile().GetProfileInt(kGraphSection, "Open", -1), 1);
    {
        CChargerDlg dlg;
        dlg.Initialise();
        auto* graph = dlg.findChild<CChargeGraphWnd*>();
        ASSERT_NE(graph, nullptr);
        EXPECT_TRUE(graph->isVisible());
        EXPECT_EQ(graph->geometry().size(), QSize(700, 420));
        graph->close();
    }
    {
        // A hand-edited place that is no geometry is ignored.
        profile.profile().WriteProfileString(kGraphSection, "Geometry", "x 1 2");
        CChargerDlg dlg;
        dlg.Initialise();
        dlg.OnChargeGraph();
        EXPECT_EQ(dlg.findChild<CChargeGraphWnd*>()->size(), QSize(900, 480));
    }
    EXPECT_GT(profile.profile().WriteCount(), writes);
}
