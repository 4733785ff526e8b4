// The Charge Graph window as a user meets it: a charge drawn as it runs, past charges ticked from
// the log folder (and files that are no logs refused), its place kept in the profile.

#include <gtest/gtest.h>

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QTreeWidget>
#include <QWheelEvent>
#include <QtTest/QTest>
#include <map>
#include <set>

#include "app/CChargerDlg.h"
#include "curves/ChargeLogReader.h"
#include "graph/CChargeGraphWnd.h"
#include "hardware/SimulatedChargerBox.h"
#include "platform/WriteFailure.h"
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

// Ticks a past charge and waits until it has been read (off the window's thread).
void Tick(CChargeGraphWnd& window, QTreeWidgetItem* item) {
    item->setCheckState(0, Qt::Checked);
    ASSERT_TRUE(QTest::qWaitFor([&] { return window.Loading() == 0; }, 10000));
}

// The columns of the plot, between two times, where the colour is nowhere to be seen.
int ColumnsWithout(const QImage& shot, const QColor& colour, const ChargeGraphView& view,
                   double from, double to) {
    const QRect plot = view.PlotArea();
    int missing = 0;
    for (int x = int(view.XOfTime(from)) + 2; x < int(view.XOfTime(to)) - 1; ++x) {
        missing += PixelsOfColour(shot, colour, QRect(x, plot.top(), 1, plot.height())) == 0;
    }
    return missing;
}

}  // namespace

TEST(GraphWindow, DrawsTheChargeWithAxesThatCoverItAndLaysPastChargesOverIt) {
    ProfileSandbox profile;
    QTemporaryDir logs;
    Charge charge({.capacityMah = 400});
    charge.recorder.SetPack("AA");
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
    // Newest first; what is known of a log that is not in the history is the minute it ended.
    EXPECT_EQ(pack->child(0)->text(0), "ended 2026-12-02 19:05");

    Tick(window, pack->child(0));
    EXPECT_EQ(pack->child(0)->checkState(0), Qt::Unchecked);
    EXPECT_TRUE(window.Status().contains("AA 12-2-2026 19-05.csv cannot be shown: it holds binary"))
        << window.Status().toStdString();
    Tick(window, pack->child(1));
    EXPECT_EQ(window.Status(),
              "AA 12-1-2026 19-05.csv: 1 line(s) could not be read and were skipped.");
    ASSERT_EQ(window.View()->Overlays().size(), 1u);

    // The axes cover the charge and the past one (its last second is beyond the charge's end).
    ChargeGraphView* view = window.View();
    view->replot();
    const GraphRanges axes = view->Shown();
    float low = 1e9f, high = -1e9f, most = 0;
    for (const CurvePoint& p : charge.recorder.Points()) {
        low = std::min(low, p.volts);
        high = std::max(high, p.volts);
        most = std::max(most, p.amps);
    }
    EXPECT_LE(axes.time.from, 0);
    EXPECT_GE(axes.time.to, 4000);
    EXPECT_LE(axes.lowVolts, std::min(low, 9.4f));
    EXPECT_GE(axes.highVolts, std::max(high, 15.5f));
    EXPECT_LE(axes.lowAmps, 0);
    EXPECT_GE(axes.highAmps, std::max(most, 1.2f));

    // The voltage curve is seen in every column of the charge (nothing, the legend least of
    // all, covers it), the past charge in its own colour beside it; the end is named.
    const QImage shot = view->grab().toImage();
    const double end = charge.recorder.Points().back().seconds;
    EXPECT_EQ(ColumnsWithout(shot, ChargeGraphView::kVoltsColour, *view, 0, end), 0);
    EXPECT_GT(PixelsOfColour(shot, view->Overlays().front().colour, view->PlotArea()), 20);
    EXPECT_EQ(charge.recorder.EndReason(), "Peak detected");
    // Hover reads the nearest sample.
    const CurvePoint& second = charge.recorder.Points()[2];
    EXPECT_EQ(
        view->ReadoutAt(1.6),
        QString("0:00:02  %1 V  %2 A").arg(second.volts, 0, 'f', 2).arg(second.amps, 0, 'f', 2));
    EXPECT_TRUE(view->ReadoutAt(1e9).startsWith(QString("0:%1:").arg(
        charge.recorder.Points().back().seconds / 60 % 60, 2, 10, QChar('0'))));

    // Saved as PNG, SVG and PDF; the PNG and the SVG say the pack, the start, the delivered mAh
    // and the end, in the picture and in the file's own text.
    EXPECT_TRUE(view->SaveImage(logs.filePath("graph.png")));
    const QImage png(logs.filePath("graph.png"));
    EXPECT_FALSE(png.isNull());
    const QString said = png.text("Title") + "\n" + png.text("Description");
    for (const QString& figure :
         {QString("AA"), QString("Peak detected"), QString("mAh"),
          QString::number(QDate::currentDate().year()) + "-"}) {
        EXPECT_TRUE(said.contains(figure)) << said.toStdString();
    }
    for (const char* name : {"graph.svg", "graph.pdf"}) {
        EXPECT_TRUE(view->SaveImage(logs.filePath(name)));
        QFile file(logs.filePath(name));
        ASSERT_TRUE(file.open(QIODevice::ReadOnly));
        const QByteArray bytes = file.readAll();
        EXPECT_TRUE(bytes.startsWith(QByteArray(name).endsWith("svg") ? "<?xml" : "%PDF-")) << name;
        if (QByteArray(name).endsWith("svg")) {
            EXPECT_TRUE(bytes.contains("Peak detected") && bytes.contains("Charge graph: AA"));
        }
    }
    EXPECT_TRUE(view->PictureName().startsWith("AA " + QString::number(QDate::currentDate().year())))
        << view->PictureName().toStdString();
    EXPECT_FALSE(view->SaveImage("/nonexistent/folder/graph.png"));
    // A name typed without an extension takes the kind chosen in the save dialog's list.
    const char* const kinds = "PNG picture (*.png);;SVG drawing (*.svg);;PDF page (*.pdf)";
    const std::pair<const char*, const char*> typed[] = {
        {"/home/u/graph", "/home/u/graph.svg"},
        {"/home/u/graph.PNG", "/home/u/graph.PNG"},  // a name with its own is left as typed
        {"/home/u.d/graph", "/home/u.d/graph.svg"},  // a dot in a folder's name is no extension
        {"", ""},                                    // cancelled
    };
    for (const auto& [name, saved] : typed) {
        EXPECT_EQ(WithChosenExtension(name, QString(kinds).section(";;", 1, 1)), saved) << name;
    }
    EXPECT_EQ(WithChosenExtension("/home/u/aa", "CSV file (*.csv)"), "/home/u/aa.csv");
    // On a full disk: refused, with the reason, and no half picture under its name.
    if (FullDisk disk; disk.Ready()) {
        disk.Fill(2000);
        for (const char* name : {"/graph.png", "/graph.svg", "/graph.pdf"}) {
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
    // Empty, the plot still takes the window's width (an empty legend once narrowed it).
    window.show();
    QApplication::processEvents();
    window.View()->replot();
    EXPECT_GT(window.View()->PlotArea().width(), window.View()->width() / 2);
    for (int i = 0; i < 9; ++i) {
        Tick(window, pack->child(i));
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
    Tick(window, pack->child(8));
    EXPECT_EQ(window.View()->Overlays().size(), 8u);
    EXPECT_EQ(pack->child(8)->checkState(0), Qt::Checked);
    // The names of the logs of the 1st and the 9th give them one colour: shown with the 1st, the
    // 9th takes a free one (here the 8th's), and keeps it when the 1st goes.
    pack->child(1)->setCheckState(0, Qt::Unchecked);
    Tick(window, pack->child(0));
    std::map<QString, QRgb> before;
    for (const GraphOverlay& o : window.View()->Overlays()) {
        before[o.path] = o.colour.rgb();
    }
    pack->child(8)->setCheckState(0, Qt::Unchecked);
    EXPECT_EQ(window.View()->Overlays().size(), 7u);
    for (const GraphOverlay& o : window.View()->Overlays()) {
        EXPECT_EQ(o.colour.rgb(), before[o.path]) << o.path.toStdString();
    }
}

TEST(GraphWindow, PastChargesAreReadAsideKeepTheirColoursAndStartWhereTheyStarted) {
    ProfileSandbox profile;
    QTemporaryDir logs;
    // Three past charges of 40 minutes that began at different times into their logs (a log
    // cut short at the front), and the log of the charge on the graph itself.
    const int starts[] = {1, 1200, 1800};
    QStringList names;
    for (int i = 0; i < 3; ++i) {
        QByteArray text = "Total Seconds, Voltage, Current, Charge Duration\r\n";
        for (int t = starts[i] + 2400; t >= starts[i]; --t) {
            text += QByteArray::number(t) + ", " + QByteArray::number(5 + i + t * 1e-4) +
                    ", 1.00, 0:0:0\r\n";
        }
        names << QString("AA 12-%1-2026 19-05.csv").arg(i + 1);
        WriteFile(logs.filePath(names.back()), text);
    }
    Charge charge({.capacityMah = 400});
    charge.cycle.Start();
    charge.Run(600);
    WriteFile(logs.filePath("AA 12-9-2026 19-05.csv"),
              "Total Seconds, Voltage, Current, Charge Duration\r\n1, 9.4, 1.00, 0:0:1\r\n");
    charge.recorder.SetLogFile(
        QFile::encodeName(logs.filePath("AA 12-9-2026 19-05.csv")).toStdString());

    auto coloursWhenTicked = [&](std::vector<int> order) {
        CChargeGraphWnd window(charge.recorder, logs.path());
        QTreeWidgetItem* pack = window.LogList()->topLevelItem(0);
        // The charge shown as this charge is not listed again from its log.
        EXPECT_EQ(pack->childCount(), 3);
        for (int i : order) {
            QTreeWidgetItem* item = pack->child(2 - i);  // newest first
            item->setCheckState(0, Qt::Checked);
            // Not read yet: the window goes on answering while it is.
            EXPECT_EQ(window.Loading(), 1);
            EXPECT_TRUE(item->text(0).contains("reading")) << item->text(0).toStdString();
            EXPECT_TRUE(QTest::qWaitFor([&] { return window.Loading() == 0; }, 10000));
        }
        std::map<QString, QRgb> colours;
        for (const GraphOverlay& o : window.View()->Overlays()) {
            colours[QFileInfo(o.path).fileName()] = o.colour.rgb();
        }
        EXPECT_EQ(colours.size(), 3u);
        if (order.front() == 2) {
            // A past charge is drawn from its first sample on, not from 0:00.
            window.resize(900, 500);
            window.show();
            ChargeGraphView* view = window.View();
            view->replot();
            const QImage shot = view->grab().toImage();
            const QColor late = window.View()->Overlays().front().colour;
            const QRect before(view->PlotArea().left(), view->PlotArea().top(),
                               int(view->XOfTime(1800)) - 2 - view->PlotArea().left(),
                               view->PlotArea().height());
            EXPECT_EQ(PixelsOfColour(shot, late, before), 0);
            EXPECT_EQ(ColumnsWithout(shot, late, *view, 1800, 4200), 0);
        }
        return colours;
    };
    EXPECT_EQ(coloursWhenTicked({0, 1, 2}), coloursWhenTicked({2, 0, 1}));
    EXPECT_EQ(coloursWhenTicked({1, 2, 0}), coloursWhenTicked({2, 1, 0}));

    // A long log: ticking it returns long before the log could have been read.
    QByteArray text = "Total Seconds, Voltage, Current, Charge Duration\r\n";
    for (int t = 1; text.size() < (16 << 20); ++t) {
        text += QByteArray::number(t) + ", 12.345, 1.00, 0:0:0\r\n";
    }
    WriteFile(logs.filePath("BB 12-1-2026 19-05.csv"), text);
    QElapsedTimer clock;
    clock.start();
    ASSERT_TRUE(ReadChargeLogFile(QFile::encodeName(logs.filePath("BB 12-1-2026 19-05.csv"))
                                      .toStdString())
                    .ok);
    const qint64 reading = clock.nsecsElapsed();
    CChargeGraphWnd window(charge.recorder, logs.path());
    QTreeWidgetItem* item = window.LogList()->topLevelItem(1)->child(0);
    clock.restart();
    item->setCheckState(0, Qt::Checked);
    EXPECT_LT(clock.nsecsElapsed(), reading / 4);
    EXPECT_TRUE(QTest::qWaitFor([&] { return window.Loading() == 0; }, 30000));
    EXPECT_EQ(window.View()->Overlays().size(), 1u);
}

TEST(GraphWindow, ZoomsPansAndReadsBetweenCursorsFromMouseAndKeyboard) {
    ProfileSandbox profile;
    QTemporaryDir logs;
    Charge charge({.capacityMah = 400});
    charge.cycle.Start();
    charge.Run(60 * 60);
    CChargeGraphWnd window(charge.recorder, logs.path());
    window.resize(1000, 560);
    window.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
    ChargeGraphView* view = window.View();
    view->replot();
    const GraphRanges whole = view->Whole();
    const QRect plot = view->PlotArea();
    auto shown = [&] { return view->Shown().time; };

    // The wheel zooms in time around the pointer: the time under it stays under it.
    const int x = plot.left() + plot.width() * 3 / 4;
    const double under = view->TimeAtX(x);
    QWheelEvent wheel(QPointF(x, plot.center().y()),
                      view->mapToGlobal(QPointF(x, plot.center().y())), QPoint(), QPoint(0, 240),
                      Qt::NoButton, Qt::NoModifier, Qt::NoScrollPhase, false);
    QApplication::sendEvent(view, &wheel);
    view->replot();
    EXPECT_NEAR(shown().Length(), whole.time.Length() * 0.64, 1e-6);
    EXPECT_NEAR(view->TimeAtX(x), under, shown().Length() / plot.width());
    EXPECT_TRUE(view->Zoomed());
    // A drag to the left moves later times into view.
    const TimeSpan before = shown();
    QTest::mousePress(view, Qt::LeftButton, {}, QPoint(x, plot.center().y()));
    QTest::mouseMove(view, QPoint(x - 100, plot.center().y()));
    QTest::mouseRelease(view, Qt::LeftButton, {}, QPoint(x - 100, plot.center().y()));
    EXPECT_GT(shown().from, before.from);
    // Keys: + halves, Left moves back, Home shows it all again.
    view->setFocus();
    const double length = shown().Length();
    QTest::keyClick(view, Qt::Key_Plus);
    EXPECT_NEAR(shown().Length(), length / 2, 1e-6);
    const double from = shown().from;
    QTest::keyClick(view, Qt::Key_Left);
    EXPECT_LT(shown().from, from);
    // The voltage: Ctrl with the wheel zooms it around the pointer, Ctrl+- zooms it out again.
    const double volts = view->yAxis->pixelToCoord(plot.center().y());
    const double height = view->yAxis->range().size();
    QWheelEvent ctrlWheel(QPointF(x, plot.center().y()),
                          view->mapToGlobal(QPointF(x, plot.center().y())), QPoint(),
                          QPoint(0, 120), Qt::NoButton, Qt::ControlModifier, Qt::NoScrollPhase,
                          false);
    QApplication::sendEvent(view, &ctrlWheel);
    EXPECT_NEAR(view->yAxis->range().size(), height * 0.8, 1e-9);
    EXPECT_NEAR(view->yAxis->pixelToCoord(plot.center().y()), volts, height / plot.height());
    QTest::keyClick(view, Qt::Key_Minus, Qt::ControlModifier);
    EXPECT_NEAR(view->yAxis->range().size(), height * 1.6, 1e-9);
    QTest::keyClick(view, Qt::Key_Home);
    EXPECT_EQ(shown().from, whole.time.from);
    EXPECT_EQ(shown().to, whole.time.to);
    EXPECT_FALSE(view->Zoomed());
    // The cursors from the keyboard: B in the middle, then moved on by a hundredth of the time.
    QTest::keyClick(view, Qt::Key_B);
    ASSERT_TRUE(view->Cursor(1));
    EXPECT_NEAR(*view->Cursor(1), whole.time.Length() / 2, 1.0);
    const double placed = *view->Cursor(1);
    QTest::keyClick(view, Qt::Key_Right, Qt::ShiftModifier);
    EXPECT_NEAR(*view->Cursor(1) - placed, whole.time.Length() / 100, 1.0);
    view->ClearCursors();

    // Two clicks place the cursors; the readout gives the charge between them, summed here
    // from the samples.
    view->replot();
    const double end = charge.recorder.Points().back().seconds;
    const int xa = int(view->XOfTime(end / 4));
    const int xb = int(view->XOfTime(end / 2));
    QTest::mouseClick(view, Qt::LeftButton, {}, QPoint(xa, plot.center().y()));
    QTest::mouseClick(view, Qt::LeftButton, {}, QPoint(xb, plot.center().y()));
    ASSERT_TRUE(view->Cursor(0) && view->Cursor(1));
    double ampSeconds = 0;
    for (const CurvePoint& p : charge.recorder.Points()) {
        if (p.seconds > *view->Cursor(0) && p.seconds <= *view->Cursor(1)) {
            ampSeconds += p.amps;
        }
    }
    EXPECT_TRUE(view->CursorReadout().contains(QString("%1 mAh").arg(ampSeconds / 3.6, 0, 'f', 1)))
        << view->CursorReadout().toStdString();
    // At the window's smallest, the readout, the state and the legend are whole: broken into
    // lines, the legend in fewer columns.
    const QSize size = window.size();
    window.resize(window.minimumSizeHint());
    QApplication::processEvents();
    view->replot();
    for (QCPTextElement* text : {view->StateElement(), view->ReadoutElement()}) {
        const QFontMetrics metrics(text->font());
        for (const QString& line : text->text().split('\n')) {
            EXPECT_LE(metrics.horizontalAdvance(line), text->outerRect().width())
                << line.toStdString();
        }
    }
    EXPECT_GT(view->ReadoutElement()->text().count('\n'), 0);
    for (int i = 0; i < view->legend->itemCount(); ++i) {
        if (QCPAbstractLegendItem* item = view->legend->item(i)) {
            EXPECT_GE(item->outerRect().width(), item->minimumOuterSizeHint().width()) << i;
        }
    }
    window.resize(size);
    QApplication::processEvents();
    view->replot();
    // A cursor is dragged along; a double click shows the whole and places none.
    QTest::mousePress(view, Qt::LeftButton, {}, QPoint(xb, plot.center().y()));
    QTest::mouseMove(view, QPoint(xb + 60, plot.center().y()));
    QTest::mouseRelease(view, Qt::LeftButton, {}, QPoint(xb + 60, plot.center().y()));
    EXPECT_NEAR(*view->Cursor(1), view->TimeAtX(xb + 60), 2 * whole.time.Length() / plot.width());
    const double a = *view->Cursor(0), b = *view->Cursor(1);
    // (As a real double click comes: a click, then the double click and its release.)
    const QPoint left(plot.left() + 5, plot.center().y());
    QTest::mouseClick(view, Qt::LeftButton, {}, left);
    QTest::mouseDClick(view, Qt::LeftButton, {}, left);
    QTest::mouseRelease(view, Qt::LeftButton, {}, left);
    EXPECT_EQ(*view->Cursor(0), a);
    EXPECT_EQ(*view->Cursor(1), b);

    // Escape and Ctrl+W close the window.
    for (QKeyCombination keys :
         {QKeyCombination(Qt::Key_Escape), QKeyCombination(Qt::ControlModifier, Qt::Key_W)}) {
        window.show();
        window.activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(&window));
        QTest::keyClick(view, keys.key(), keys.keyboardModifiers());
        EXPECT_FALSE(window.isVisible());
    }
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
        // Ctrl+G closes it again.
        graph->activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(graph));
        QTest::keyClick(graph->View(), Qt::Key_G, Qt::ControlModifier);
        EXPECT_FALSE(graph->isVisible());
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
        // A place off the screen (stored at another scale) is fitted onto it.
        profile.profile().WriteProfileString(kGraphSection, "Geometry", "3000 2000 700 5000");
        CChargerDlg dlg;
        dlg.Initialise();
        dlg.OnChargeGraph();
        const QRect free = dlg.findChild<CChargeGraphWnd*>()->screen()->availableGeometry();
        EXPECT_TRUE(free.contains(dlg.findChild<CChargeGraphWnd*>()->geometry()))
            << free.width() << "x" << free.height();
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
