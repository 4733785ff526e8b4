#include "graph/CChargeGraphWnd.h"

#include <QApplication>
#include <QBuffer>
#include <QRegularExpression>
#include <QCloseEvent>
#include <QDir>
#include <QFileDialog>
#include <QFutureWatcher>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QMouseEvent>
#include <QPdfWriter>
#include <QPushButton>
#include <QRubberBand>
#include <QScreen>
#include <QSplitter>
#include <QSvgGenerator>
#include <QTimer>
#include <QTreeWidget>
#include <QVBoxLayout>
#include <QtConcurrent/QtConcurrentRun>
#include <algorithm>
#include <cmath>
#include <map>

#include "charge/CycleTexts.h"
#include "controls/Accessibility.h"
#include "curves/ChargeLogReader.h"
#include "history/ChargeHistory.h"
#include "platform/Profile.h"
#include "platform/WriteFailure.h"

const QColor ChargeGraphView::kVoltsColour(0, 60, 160);
const QColor ChargeGraphView::kAmpsColour(210, 110, 0);

namespace {

// The backup cut-offs' lines: black, apart from the end test's blue and red and from every
// curve, each with a dash of its own.
const QColor kTimeLimitColour(0, 0, 0);
const QColor kCapacityLimitColour(0, 0, 0);
const QColor kPeakColour(90, 130, 210);
const QColor kThresholdColour(200, 0, 0);

// Colours of the past charges: apart from this charge's blue and orange and from each other, for
// the common colour-vision deficiencies too (Paul Tol's "muted" scheme, its lightest two
// darkened to read on white, and grey in place of its indigo, which is this charge's blue).
const QColor kOverlayColours[CChargeGraphWnd::kMostOverlays] = {
    QColor(0x11, 0x77, 0x33), QColor(0xCC, 0x66, 0x77), QColor(0x44, 0xAA, 0x99),
    QColor(0x88, 0x22, 0x55), QColor(0x99, 0x99, 0x33), QColor(0xAA, 0x44, 0x99),
    QColor(0x77, 0x77, 0x77), QColor(0x4C, 0x9E, 0xC2),
};

QString Clock(double seconds, bool withSeconds = true) {
    return QString::fromStdString(ClockText(seconds, withSeconds));
}

// Our tick choice in place of the library's: 1, 2, 5 × 10^n with the decimals the step needs,
// and a clock for time.
class ScaleTicker : public QCPAxisTicker {
public:
    explicit ScaleTicker(bool time) : m_time(time) {}
    int most = 6;
    void generate(const QCPRange& range, const QLocale&, QChar, int, QVector<double>& ticks,
                  QVector<double>* subTicks, QVector<QString>* tickLabels) override {
        const AxisTicks t = m_time ? TimeTicks(range.lower, range.upper, most)
                                   : ValueTicks(range.lower, range.upper, most);
        ticks = QVector<double>(t.values.begin(), t.values.end());
        if (subTicks != nullptr) {
            subTicks->clear();
        }
        if (tickLabels != nullptr) {
            tickLabels->clear();
            for (const std::string& label : t.labels) {
                tickLabels->append(QString::fromStdString(label));
            }
        }
    }

private:
    bool m_time;
};

// The curve over the time shown, thinned to the plot's pixel columns so no peak is ever lost
// however long the charge, with the samples just outside so the line runs to the edges.
void SetThinned(QCPGraph* graph, const std::vector<CurvePoint>& points, float CurvePoint::*value,
                TimeSpan shown, int columns) {
    QVector<double> keys, values;
    auto before = [](const CurvePoint& p, double t) { return p.seconds < t; };
    auto first = std::lower_bound(points.begin(), points.end(), shown.from, before);
    auto past = std::upper_bound(points.begin(), points.end(), shown.to,
                                 [](double t, const CurvePoint& p) { return t < p.seconds; });
    if (first != points.begin() && first != points.end()) {
        keys << std::prev(first)->seconds;
        values << (*std::prev(first)).*value;
    }
    if (columns > 0 && shown.Length() > 0 && first != past) {
        const std::vector<ColumnSpan> spans =
            ThinToColumns(std::span<const CurvePoint>(&*first, size_t(past - first)), value,
                          shown.from, shown.to, columns);
        const double width = shown.Length() / columns;
        keys.reserve(keys.size() + qsizetype(spans.size()) * 4 + 1);
        values.reserve(keys.capacity());
        for (size_t i = 0; i < spans.size(); ++i) {
            const ColumnSpan& s = spans[i];
            if (!s.filled) {
                continue;
            }
            const double x = shown.from + (double(i) + 0.5) * width;
            keys << x;
            values << s.first;
            if (s.low != s.high) {
                keys << x << x;
                values << s.low << s.high;
            }
            keys << x;
            values << s.last;
        }
    }
    if (past != points.end() && past != points.begin()) {
        keys << past->seconds;
        values << (*past).*value;
    }
    graph->setData(keys, values, true);
}

QCPGraph* AddLine(QCustomPlot* plot, QCPAxis* valueAxis, const QString& name, const QPen& pen) {
    QCPGraph* graph = plot->addGraph(plot->xAxis, valueAxis);
    graph->setName(name);
    graph->setPen(pen);
    graph->setAdaptiveSampling(false);
    graph->removeFromLegend();
    graph->setLayer("grid");  // under the curves, never hiding them
    return graph;
}

void ShowInLegend(QCPGraph* graph, bool shown) {
    if (shown) {
        graph->addToLegend();
    } else {
        graph->removeFromLegend();
        graph->data()->clear();
    }
}

}  // namespace

ChargeGraphView::ChargeGraphView(const ChargeRecorder& recorder, QWidget* parent)
    : QCustomPlot(parent), m_recorder(recorder) {
    setMouseTracking(true);
    setMinimumSize(360, 240);
    setFocusPolicy(Qt::StrongFocus);
    setAccessibleName("Charge graph");
    AnnounceAsGraphic(this);
    setNoAntialiasingOnDrag(true);
    setInteractions({});  // zoom, pan and cursors are ours
    // Curves in crisp one-colour pixels: thinned to a point or four a column, smoothing would
    // only blur the extremes.
    setNotAntialiasedElements(QCP::aePlottables | QCP::aeItems);

    // Above the plot the end test's state; below it the legend and the cursors' readout.
    QFont bold = font();
    bold.setBold(true);
    plotLayout()->insertRow(0);
    m_state = new QCPTextElement(this, QString(), bold);
    plotLayout()->addElement(0, 0, m_state);
    axisRect()->insetLayout()->take(legend);
    plotLayout()->addElement(2, 0, legend);
    legend->setVisible(true);
    legend->setFillOrder(QCPLayoutGrid::foColumnsFirst);
    legend->setWrap(4);
    legend->setBorderPen(Qt::NoPen);
    legend->setFont(font());

    plotLayout()->setRowStretchFactor(2, 0.001);
    m_readout = new QCPTextElement(this, QString(), font());
    plotLayout()->addElement(3, 0, m_readout);
    plotLayout()->setRowStretchFactor(3, 0.001);
    plotLayout()->setRowSpacing(0);

    xAxis->setTicker(QSharedPointer<QCPAxisTicker>(new ScaleTicker(true)));
    yAxis->setTicker(QSharedPointer<QCPAxisTicker>(new ScaleTicker(false)));
    yAxis2->setTicker(QSharedPointer<QCPAxisTicker>(new ScaleTicker(false)));
    yAxis2->setVisible(true);
    xAxis->setLabel("Time (h:mm:ss)");
    yAxis->setLabel("Volts");
    yAxis2->setLabel("Amps");
    yAxis->setLabelColor(kVoltsColour);
    yAxis->setTickLabelColor(kVoltsColour);
    yAxis2->setLabelColor(kAmpsColour);
    yAxis2->setTickLabelColor(kAmpsColour);
    for (QCPAxis* axis : {xAxis, yAxis, yAxis2}) {
        axis->setSubTicks(false);
        axis->grid()->setPen(QPen(QColor(225, 225, 225)));
    }
    // One grid across the plot, the voltage's: the current's lines fell between them, two grids
    // that never lined up.
    yAxis2->grid()->setVisible(false);

    m_delay = new QCPItemRect(this);
    m_delay->setLayer("background");
    m_delay->setPen(Qt::NoPen);
    m_delay->setBrush(QColor(240, 240, 200));
    m_delay->setVisible(false);

    m_amps = addGraph(xAxis, yAxis2);
    m_amps->setName("Current");
    m_amps->setPen(QPen(kAmpsColour, 1));
    m_volts = addGraph(xAxis, yAxis);
    m_volts->setName("This charge");
    m_volts->setPen(QPen(kVoltsColour, 2));
    for (QCPGraph* g : {m_amps, m_volts}) {
        g->setAdaptiveSampling(false);  // thinned by us, keeping every column's extremes
        g->removeFromLegend();
    }
    // The current is drawn under the voltage, but named after it.
    m_volts->addToLegend();
    m_amps->addToLegend();
    m_peakLine = AddLine(this, yAxis, "Peak", QPen(kPeakColour, 1, Qt::DashLine));
    m_thresholdLine =
        AddLine(this, yAxis, "Peak − threshold", QPen(kThresholdColour, 1, Qt::DashLine));
    m_cutOffLine = AddLine(this, yAxis, "Timed cut-off", QPen(kThresholdColour, 1, Qt::DashLine));
    m_timerLine = AddLine(this, yAxis, "Time limit", QPen(kTimeLimitColour, 1, Qt::DashDotLine));
    m_capacityLine =
        AddLine(this, yAxis, "Capacity limit", QPen(kCapacityLimitColour, 2, Qt::DotLine));

    const char* names[2] = {"A", "B"};
    for (int i = 0; i < 2; ++i) {
        m_cursorLine[i] = new QCPItemStraightLine(this);
        m_cursorLine[i]->setPen(QPen(Qt::black, 1));
        m_cursorLine[i]->setVisible(false);
        m_cursorName[i] = new QCPItemText(this);
        m_cursorName[i]->setText(names[i]);
        m_cursorName[i]->position->setTypeY(QCPItemPosition::ptAxisRectRatio);
        m_cursorName[i]->setPositionAlignment(Qt::AlignLeft | Qt::AlignTop);
        m_cursorName[i]->setPadding(QMargins(3, 2, 3, 2));
        m_cursorName[i]->setBrush(QColor(255, 255, 255, 220));
        m_cursorName[i]->setVisible(false);
    }
    m_hoverLine = new QCPItemStraightLine(this);
    m_hoverLine->setPen(QPen(QColor(100, 100, 100), 1, Qt::DotLine));
    m_hoverLine->setVisible(false);

    m_message = new QCPItemText(this);
    m_message->position->setType(QCPItemPosition::ptAxisRectRatio);
    m_message->position->setCoords(0.5, 0.5);
    QFont large = font();
    large.setPointSizeF(large.pointSizeF() * 1.4);
    m_message->setFont(large);
    m_message->setColor(QColor(110, 110, 110));
    m_message->setText("No charge yet");

    connect(this, &QCustomPlot::beforeReplot, this, &ChargeGraphView::BeforeReplot);
    Sync();
}

void ChargeGraphView::SetOverlays(std::vector<GraphOverlay> overlays) {
    for (auto& [volts, amps] : m_overlayGraphs) {
        removeGraph(volts);
        removeGraph(amps);
    }
    m_overlayGraphs.clear();
    m_overlays = std::move(overlays);
    m_whole.reset();
    std::vector<QString> paths;
    for (const GraphOverlay& o : m_overlays) {
        paths.push_back(o.path);
    }
    const std::vector<QColor> colours = OverlayColours(paths, m_overlayPlaces);
    for (size_t i = 0; i < m_overlays.size(); ++i) {
        m_overlays[i].colour = colours[i];
    }
    for (const GraphOverlay& o : m_overlays) {
        // Under this charge's curves, which are drawn last.
        QCPGraph* volts = addGraph(xAxis, yAxis);
        // A charge that found no pack is said to be one: its readings are the charger's open
        // circuit, which the voltage axis leaves out beside any pack's.
        volts->setName(AllDisconnected(o.points) ? o.label + " (no pack)" : o.label);
        volts->setPen(QPen(o.colour, 1));
        QCPGraph* amps = addGraph(xAxis, yAxis2);
        amps->setPen(QPen(o.colour, 1, Qt::DotLine));
        amps->removeFromLegend();
        for (QCPGraph* g : {volts, amps}) {
            g->setAdaptiveSampling(false);
            g->setLayer("grid");
        }
        m_overlayGraphs.emplace_back(volts, amps);
    }
    m_shownRevision = ~uint64_t{0};
    Sync();
    emit OverlaysChanged();
}

GraphRanges ChargeGraphView::Whole() const {
    // Every sample is looked at: worked out once for each change of the curves.
    if (m_wholeRevision != m_recorder.Revision() || !m_whole) {
        std::vector<std::span<const CurvePoint>> curves{m_recorder.Points()};
        for (const GraphOverlay& o : m_overlays) {
            curves.emplace_back(o.points);
        }
        m_whole = WholeRanges(curves, m_recorder.EndTest(), !m_recorder.Points().empty());
        m_wholeRevision = m_recorder.Revision();
    }
    return *m_whole;
}

std::vector<GraphOverlay> ChargeGraphView::TakeOverlays() {
    m_whole.reset();
    return std::move(m_overlays);
}

GraphRanges ChargeGraphView::Shown() const {
    GraphRanges shown = Whole();
    shown.time = {xAxis->range().lower, xAxis->range().upper};
    shown.lowVolts = yAxis->range().lower;
    shown.highVolts = yAxis->range().upper;
    shown.lowAmps = yAxis2->range().lower;
    shown.highAmps = yAxis2->range().upper;
    return shown;
}

QRect ChargeGraphView::PlotArea() const {
    return axisRect()->rect();
}

double ChargeGraphView::TimeAtX(double x) const {
    return xAxis->pixelToCoord(x);
}

double ChargeGraphView::XOfTime(double seconds) const {
    return xAxis->coordToPixel(seconds);
}

void ChargeGraphView::ApplyRanges(const GraphRanges& ranges) {
    xAxis->setRange(ranges.time.from, ranges.time.to);
    yAxis->setRange(ranges.lowVolts, ranges.highVolts);
    yAxis2->setRange(ranges.lowAmps, ranges.highAmps);
}

void ChargeGraphView::Sync() {
    if (m_recorder.Revision() == m_shownRevision) {
        return;
    }
    if (m_recorder.Points().empty() && m_overlays.empty()) {
        m_zoomed = false;
    }
    const GraphRanges whole = Whole();
    if (!m_zoomed) {
        ApplyRanges(whole);
    }
    for (QCPAxis* axis : {xAxis, yAxis, yAxis2}) {
        // An empty graph shows its message and no numbers.
        axis->setTickLabels(!whole.empty);
        axis->setTicks(!whole.empty);
        axis->grid()->setVisible(!whole.empty);
    }
    for (int i = 0; i < 2; ++i) {
        if (whole.empty) {
            m_cursor[i].reset();
        }
    }
    m_shownRevision = m_recorder.Revision();
    UpdateTexts();
    replot();
}

void ChargeGraphView::ShowWhole() {
    m_zoomed = false;
    ApplyRanges(Whole());
    replot();
}

void ChargeGraphView::ZoomAt(double seconds, double factor) {
    const GraphRanges whole = Whole();
    const TimeSpan shown =
        ZoomTime({xAxis->range().lower, xAxis->range().upper}, whole.time, seconds, factor);
    xAxis->setRange(shown.from, shown.to);
    UpdateZoomed();
    replot(rpQueuedReplot);
}

void ChargeGraphView::UpdateZoomed() {
    const GraphRanges whole = Whole();
    m_zoomed = xAxis->range().lower > whole.time.from || xAxis->range().upper < whole.time.to ||
               yAxis->range().lower != whole.lowVolts || yAxis->range().upper != whole.highVolts;
}

void ChargeGraphView::Pan(double seconds) {
    const TimeSpan shown =
        PanTime({xAxis->range().lower, xAxis->range().upper}, Whole().time, seconds);
    xAxis->setRange(shown.from, shown.to);
    UpdateZoomed();
    replot(rpQueuedReplot);
}

void ChargeGraphView::PlaceCursor(double seconds) {
    int which = !m_cursor[0] ? 0 : !m_cursor[1] ? 1 : -1;
    if (which < 0) {
        which = std::abs(*m_cursor[0] - seconds) <= std::abs(*m_cursor[1] - seconds) ? 0 : 1;
    }
    MoveCursor(which, seconds);
}

void ChargeGraphView::MoveCursor(int which, double seconds) {
    // On a sample: the readout is of what was measured then.
    const CurvePoint* at = NearestSample(ReadoutPoints(), seconds);
    m_cursor[which] = at != nullptr ? double(at->seconds) : seconds;
    UpdateTexts();
    replot(rpQueuedReplot);
}

void ChargeGraphView::ClearCursors() {
    m_cursor[0].reset();
    m_cursor[1].reset();
    UpdateTexts();
    replot(rpQueuedReplot);
}

const std::vector<CurvePoint>& ChargeGraphView::ReadoutPoints() const {
    if (m_recorder.Points().empty() && !m_overlays.empty()) {
        return m_overlays.front().points;
    }
    return m_recorder.Points();
}

QString ChargeGraphView::ReadoutAt(double seconds) const {
    const CurvePoint* p = NearestSample(ReadoutPoints(), seconds);
    if (p == nullptr) {
        return QString();
    }
    return QString("%1  %2 V  %3 A")
        .arg(Clock(p->seconds))
        .arg(p->volts, 0, 'f', 2)
        .arg(p->amps, 0, 'f', 2);
}

QString ChargeGraphView::CursorReadout() const {
    QStringList parts;
    const char* names[2] = {"A", "B"};
    for (int i = 0; i < 2; ++i) {
        if (m_cursor[i]) {
            parts << QString("%1: %2").arg(names[i], ReadoutAt(*m_cursor[i]));
        }
    }
    if (m_cursor[0] && m_cursor[1]) {
        const CursorSpan between = BetweenCursors(ReadoutPoints(), *m_cursor[0], *m_cursor[1]);
        parts << QString("between: %1  %2%3 V  %4 mAh")
                     .arg(Clock(between.seconds))
                     .arg(between.voltsChange >= 0 ? "+" : "")
                     .arg(between.voltsChange, 0, 'f', 2)
                     .arg(between.mah, 0, 'f', 1);
    }
    return parts.join("     ");
}

QString ChargeGraphView::Description() const {
    const std::vector<CurvePoint>& points = m_recorder.Points();
    QString text;
    if (points.empty()) {
        text = "No charge yet.";
    } else {
        const float peak = PeakVolts(points);
        const QString pack = QString::fromStdString(m_recorder.Pack());
        text = QString("%1 of %2: %3, %4 mAh, peak %5 V; %6.")
                   .arg(m_recorder.Running() ? "This charge" : "The last charge",
                        pack.isEmpty() ? QString("no pack") : pack, Clock(points.back().seconds))
                   .arg(DeliveredMah(points), 0, 'f', 0)
                   .arg(peak, 0, 'f', 2)
                   .arg(m_recorder.Running() ? QString("running")
                                             : QString::fromStdString(m_recorder.EndReason()));
    }
    if (!m_overlays.empty()) {
        text += QString(" %1 past charge(s) laid over it.").arg(m_overlays.size());
    }
    return text;
}

void ChargeGraphView::UpdateTexts() {
    const EndTestState& test = m_recorder.EndTest();
    const bool live = !m_recorder.Points().empty();
    QString state;
    if (!m_recorder.EndReason().empty()) {
        state = QString::fromStdString(m_recorder.EndReason());
    } else if (live && test.timed) {
        state = "Timed charge: ends at " + Clock(test.cutOffSeconds);
    } else if (live && test.delayLeft > 0) {
        state = QString("Peak detection begins in %1 s").arg(test.delayLeft);
    } else if (live) {
        state = QString("Peak %1 V   line %2 V   below the line %3 of %4 s")
                    .arg(test.peak, 0, 'f', 2)
                    .arg(test.line, 0, 'f', 2)
                    .arg(test.secondsBelow)
                    .arg(test.sensitivity);
    }
    if (m_recorder.Running() && live) {
        if (test.capacitySeconds > 0) {
            state += "   capacity limit at " + Clock(test.capacitySeconds);
        }
        if (test.timerSeconds > 0) {
            state += "   time limit at " + Clock(test.timerSeconds);
        }
    }
    m_stateText = state.isEmpty() ? QString(" ") : state;
    m_message->setVisible(!live && m_overlays.empty());
    QString readout = m_hover ? ReadoutAt(*m_hover) : QString();
    const QString cursors = CursorReadout();
    if (!cursors.isEmpty()) {
        readout = readout.isEmpty() ? cursors : readout + "     " + cursors;
    }
    m_readoutText = readout.isEmpty() ? QString(" ") : readout;
    FitTexts();
    setAccessibleDescription(Description());
}

void ChargeGraphView::FitTexts() {
    const int room = std::max(width() - 16, 100);
    const QFontMetrics metrics(m_readout->font());
    // Broken only between the parts the texts set apart with three spaces or more (`gap` on
    // one line).
    auto fit = [&](const QString& text, const QFontMetrics& m, const QString& gap) {
        static const QRegularExpression gaps(" {3,}");
        QStringList lines;
        QString line;
        for (const QString& part : text.split(gaps)) {
            if (line.isEmpty()) {
                line = part;
            } else if (m.horizontalAdvance(line + gap + part) > room) {
                lines << line;
                line = part;
            } else {
                line += gap + part;
            }
        }
        lines << line;
        return lines.join('\n');
    };
    m_state->setText(fit(m_stateText, QFontMetrics(m_state->font()), "   "));
    m_readout->setText(fit(m_readoutText, metrics, "     "));
    // The legend in as many columns as its widest entry leaves room for.
    int widest = 1;
    for (int i = 0; i < legend->itemCount(); ++i) {
        if (const QCPAbstractLegendItem* item = legend->item(i)) {  // a cell may be empty
            widest = std::max(widest, item->minimumOuterSizeHint().width());
        }
    }
    const int columns = std::clamp(room / (widest + legend->columnSpacing()), 1, 4);
    if (legend->wrap() != columns) {
        legend->setWrap(columns);
    }
}

void ChargeGraphView::SetLines() {
    const EndTestState& test = m_recorder.EndTest();
    const bool live = !m_recorder.Points().empty();
    const QCPRange t = xAxis->range();
    const QCPRange v = yAxis->range();
    auto horizontal = [&](QCPGraph* g, bool shown, double volts) {
        ShowInLegend(g, shown);
        if (shown) {
            g->setData({t.lower, t.upper}, {volts, volts}, true);
        }
    };
    auto vertical = [&](QCPGraph* g, bool shown, double seconds) {
        ShowInLegend(g, shown);
        if (shown) {
            g->setData({seconds, seconds}, {v.lower, v.upper}, true);
        }
    };
    const bool peakTest = live && !test.timed && test.peak > 0;
    horizontal(m_peakLine, peakTest, test.peak);
    horizontal(m_thresholdLine, peakTest, test.line);
    vertical(m_cutOffLine, live && test.timed, test.cutOffSeconds);
    const double end = Whole().time.to;
    vertical(m_timerLine, live && test.timerSeconds > 0 && test.timerSeconds <= end,
             test.timerSeconds);
    vertical(m_capacityLine, live && test.capacitySeconds > 0 && test.capacitySeconds <= end,
             test.capacitySeconds);
    // The end test's delay, shaded.
    m_delay->setVisible(live && !test.timed && test.delayLeft > 0);
    if (m_delay->visible()) {
        m_delay->topLeft->setCoords(0, v.upper);
        m_delay->bottomRight->setCoords(m_recorder.Points().back().seconds + test.delayLeft,
                                        v.lower);
    }
}

void ChargeGraphView::BeforeReplot() {
    FitTexts();
    const QRect plot = axisRect()->rect();
    const int columns = plot.width() > 10 ? plot.width() : std::max(width() - 120, 10);
    static_cast<ScaleTicker*>(xAxis->ticker().data())->most = std::max(2, columns / 90);
    const int rows = plot.height() > 10 ? plot.height() : std::max(height() - 120, 10);
    for (QCPAxis* axis : {yAxis, yAxis2}) {
        static_cast<ScaleTicker*>(axis->ticker().data())->most = std::max(2, rows / 45);
    }
    const TimeSpan shown{xAxis->range().lower, xAxis->range().upper};
    const int most = static_cast<ScaleTicker*>(xAxis->ticker().data())->most;
    xAxis->setLabel(TimeTicks(shown.from, shown.to, most).step < 60 ? "Time (h:mm:ss)"
                                                                    : "Time (h:mm)");
    SetThinned(m_volts, m_recorder.Points(), &CurvePoint::volts, shown, columns);
    SetThinned(m_amps, m_recorder.Points(), &CurvePoint::amps, shown, columns);
    ShowInLegend(m_volts, !m_recorder.Points().empty());
    ShowInLegend(m_amps, !m_recorder.Points().empty());
    m_volts->setName(m_recorder.Running() ? "This charge" : "Last charge");
    for (size_t i = 0; i < m_overlays.size(); ++i) {
        // A long past charge seen whole is drawn from its envelope: the same picture, as every
        // column spans a stretch or more, without looking at each of its samples.
        const GraphOverlay& o = m_overlays[i];
        const double stretch =
            o.points.empty() ? 0
                             : (double(o.points.back().seconds) - o.points.front().seconds + 1) /
                                   CChargeGraphWnd::kEnvelopeStretches;
        const bool wide = !o.envelope.empty() && shown.Length() / columns >= stretch;
        const std::vector<CurvePoint>& points = wide ? o.envelope : o.points;
        SetThinned(m_overlayGraphs[i].first, points, &CurvePoint::volts, shown, columns);
        SetThinned(m_overlayGraphs[i].second, points, &CurvePoint::amps, shown, columns);
    }
    SetLines();
    for (int i = 0; i < 2; ++i) {
        m_cursorLine[i]->setVisible(m_cursor[i].has_value());
        m_cursorName[i]->setVisible(m_cursor[i].has_value());
        if (m_cursor[i]) {
            m_cursorLine[i]->point1->setCoords(*m_cursor[i], 0);
            m_cursorLine[i]->point2->setCoords(*m_cursor[i], 1);
            m_cursorName[i]->position->setCoords(*m_cursor[i], 0.0);
        }
    }
    // An empty legend's widest is its margins, to which it would narrow the whole plot: it
    // leaves the layout while it has nothing to say.
    const bool named = legend->itemCount() > 0;
    const bool laidOut = plotLayout()->hasElement(2, 0);
    if (named && !laidOut) {
        plotLayout()->addElement(2, 0, legend);
    } else if (!named && laidOut) {
        plotLayout()->take(legend);
    }
    legend->setVisible(named);
    m_hoverLine->setVisible(m_hover.has_value());
    if (m_hover) {
        m_hoverLine->point1->setCoords(*m_hover, 0);
        m_hoverLine->point2->setCoords(*m_hover, 1);
    }
}

bool ChargeGraphView::SaveImage(const QString& path, QString* why) {
    const int w = std::max(width(), 640);
    const int h = std::max(height(), 400);
    // Drawn in memory first, then written whole: a full disk leaves no half picture.
    QBuffer buffer;
    buffer.open(QIODevice::WriteOnly);
    if (path.endsWith(".svg", Qt::CaseInsensitive)) {
        QSvgGenerator svg;
        svg.setOutputDevice(&buffer);
        svg.setSize(QSize(w, h));
        svg.setViewBox(QRect(0, 0, w, h));
        const QStringList figures = Figures();
        svg.setTitle(figures.front());
        svg.setDescription(figures.mid(1).join('\n'));
        QCPPainter painter;
        if (!painter.begin(&svg)) {
            return false;
        }
        PaintWithFigures(painter, w, h);
        painter.end();
    } else if (path.endsWith(".pdf", Qt::CaseInsensitive)) {
        WritePdf(buffer);
    } else {
        QImage image(w, h, QImage::Format_ARGB32);
        image.fill(Qt::white);
        QCPPainter painter;
        if (!painter.begin(&image)) {
            return false;
        }
        PaintWithFigures(painter, w, h);
        painter.end();
        // Said in the file too, for whatever lists pictures by their text.
        const QStringList figures = Figures();
        image.setText("Title", figures.front());
        image.setText("Description", figures.mid(1).join('\n'));
        image.save(&buffer, "PNG");
    }
    QString reason;
    const bool written =
        !buffer.data().isEmpty() && WriteFileAtomically(path, buffer.data(), reason);
    if (why != nullptr) {
        *why = reason;
    }
    return written;
}

void ChargeGraphView::WritePdf(QIODevice& device) {
    QPdfWriter pdf(&device);
    pdf.setTitle("Charge graph");
    pdf.setCreator("KVC410");
    pdf.setPageSize(QPageSize(QPageSize::A4));
    pdf.setPageOrientation(QPageLayout::Landscape);
    pdf.setPageMargins(QMarginsF(12, 12, 12, 12), QPageLayout::Millimeter);
    pdf.setResolution(96);
    QCPPainter painter;
    if (!painter.begin(&pdf)) {
        return;
    }
    const QRect page = painter.viewport();
    PaintWithFigures(painter, page.width(), page.height());
    painter.end();
}

QStringList ChargeGraphView::Figures() const {
    const std::vector<CurvePoint>& points = m_recorder.Points();
    QStringList lines;
    const QString pack = QString::fromStdString(m_recorder.Pack());
    lines << QString("Charge graph: %1").arg(pack.isEmpty() ? QString("no pack") : pack);
    if (!points.empty()) {
        const LocalTime& s = m_recorder.Started();
        const float peak = PeakVolts(points);
        lines << QString(
                     "Started %1-%2-%3 %4:%5    Duration %6    Delivered %7 mAh    Peak %8 V"
                     "    Ended: %9")
                     .arg(s.year)
                     .arg(s.month, 2, 10, QChar('0'))
                     .arg(s.day, 2, 10, QChar('0'))
                     .arg(s.hour, 2, 10, QChar('0'))
                     .arg(s.minute, 2, 10, QChar('0'))
                     .arg(Clock(points.back().seconds))
                     .arg(DeliveredMah(points), 0, 'f', 0)
                     .arg(peak, 0, 'f', 2)
                     .arg(m_recorder.Running() ? QString("still running")
                                               : QString::fromStdString(m_recorder.EndReason()));
    }
    return lines;
}

QString ChargeGraphView::PictureName() const {
    const QString pack = QString::fromStdString(m_recorder.Pack());
    QString name = pack.isEmpty() ? QString("Charge") : pack;
    if (!m_recorder.Points().empty()) {
        const LocalTime& s = m_recorder.Started();
        name += QString(" %1-%2-%3 %4-%5")
                    .arg(s.year)
                    .arg(s.month, 2, 10, QChar('0'))
                    .arg(s.day, 2, 10, QChar('0'))
                    .arg(s.hour, 2, 10, QChar('0'))
                    .arg(s.minute, 2, 10, QChar('0'));
    }
    return FileNameSafe(name);
}

void ChargeGraphView::PaintWithFigures(QCPPainter& painter, int w, int h) {
    const QStringList lines = Figures();
    QFont heading = font();
    heading.setPointSizeF(heading.pointSizeF() * 1.3);
    heading.setBold(true);
    painter.setFont(heading);
    painter.setPen(Qt::black);
    const QFontMetrics hm(heading, painter.device());
    int y = hm.ascent();
    painter.drawText(0, y, lines.front());
    y += hm.descent() + 2;
    painter.setFont(font());
    const QFontMetrics fm(font(), painter.device());
    for (int i = 1; i < lines.size(); ++i) {
        painter.drawText(0, y + fm.ascent(), lines[i]);
        y += fm.height();
    }
    y += fm.height() / 2;
    painter.save();
    painter.translate(0, y);
    toPainter(&painter, w, h - y);
    painter.restore();
}

void ChargeGraphView::mousePressEvent(QMouseEvent* event) {
    const QPoint at = event->position().toPoint();
    // The first press of what may become a double click: the cursors as they were before it.
    if (!m_lastWasClick ||
        event->timestamp() - m_lastPress > ulong(QApplication::doubleClickInterval())) {
        m_beforeClicks[0] = m_cursor[0];
        m_beforeClicks[1] = m_cursor[1];
    }
    m_lastPress = event->timestamp();
    m_pressAt = at;
    m_pressShown = {xAxis->range().lower, xAxis->range().upper};
    if (event->button() == Qt::RightButton ||
        (event->button() == Qt::LeftButton && (event->modifiers() & Qt::ShiftModifier))) {
        m_drag = Drag::Box;
        if (m_band == nullptr) {
            m_band = new QRubberBand(QRubberBand::Rectangle, this);
        }
        m_band->setGeometry(QRect(at, QSize()));
        m_band->show();
        return;
    }
    if (event->button() != Qt::LeftButton) {
        return;
    }
    m_drag = Drag::Pending;
    for (int i = 0; i < 2; ++i) {
        if (m_cursor[i] && std::abs(XOfTime(*m_cursor[i]) - at.x()) <= 4) {
            m_drag = Drag::Cursor;
            m_dragCursor = i;
        }
    }
}

void ChargeGraphView::mouseMoveEvent(QMouseEvent* event) {
    const QPoint at = event->position().toPoint();
    switch (m_drag) {
        case Drag::Box:
            m_band->setGeometry(QRect(m_pressAt, at).normalized());
            return;
        case Drag::Cursor:
            MoveCursor(m_dragCursor,
                       std::clamp(TimeAtX(at.x()), xAxis->range().lower, xAxis->range().upper));
            return;
        case Drag::Pending:
            if ((at - m_pressAt).manhattanLength() < QApplication::startDragDistance()) {
                break;
            }
            m_drag = Drag::Pan;
            [[fallthrough]];
        case Drag::Pan: {
            const double perPixel = m_pressShown.Length() / std::max(1, PlotArea().width());
            const TimeSpan shown =
                PanTime(m_pressShown, Whole().time, -(at.x() - m_pressAt.x()) * perPixel);
            xAxis->setRange(shown.from, shown.to);
            replot(rpQueuedReplot);
            return;
        }
        case Drag::None:
            break;
    }
    if (PlotArea().contains(at)) {
        m_hover = TimeAtX(at.x());
    } else {
        m_hover.reset();
    }
    UpdateTexts();
    replot(rpQueuedReplot);
}

void ChargeGraphView::mouseReleaseEvent(QMouseEvent* event) {
    const Drag drag = std::exchange(m_drag, Drag::None);
    const QPoint at = event->position().toPoint();
    m_lastWasClick = drag == Drag::Pending;
    if (drag == Drag::Box) {
        m_band->hide();
        const QRect box = QRect(m_pressAt, at).normalized().intersected(PlotArea());
        if (box.width() > 4 && box.height() > 4) {
            // The box's time and voltage; the current keeps its scale.
            xAxis->setRange(TimeAtX(box.left()), TimeAtX(box.right()));
            yAxis->setRange(yAxis->pixelToCoord(box.bottom()), yAxis->pixelToCoord(box.top()));
            UpdateZoomed();
            replot(rpQueuedReplot);
        }
    } else if (drag == Drag::Pending && PlotArea().contains(at)) {
        PlaceCursor(TimeAtX(at.x()));
    } else if (drag == Drag::Pan) {
        UpdateZoomed();
    }
}

void ChargeGraphView::mouseDoubleClickEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton) {
        return;
    }
    // The double click's clicks placed a cursor: take it back.
    m_cursor[0] = m_beforeClicks[0];
    m_cursor[1] = m_beforeClicks[1];
    UpdateTexts();
    m_drag = Drag::None;
    ShowWhole();
}

void ChargeGraphView::wheelEvent(QWheelEvent* event) {
    const double notches = event->angleDelta().y() / 120.0;
    if (notches == 0) {
        return;
    }
    // The wheel zooms time; with Ctrl it zooms the voltage around the pointer, with Shift it
    // moves the voltage.
    if (event->modifiers() & Qt::ControlModifier) {
        ZoomVolts(yAxis->pixelToCoord(event->position().y()), std::pow(0.8, notches));
    } else if (event->modifiers() & Qt::ShiftModifier) {
        PanVolts(yAxis->range().size() / 10 * notches);
    } else {
        ZoomAt(TimeAtX(event->position().x()), std::pow(0.8, notches));
    }
    event->accept();
}

void ChargeGraphView::ZoomVolts(double volts, double factor) {
    const QCPRange v = yAxis->range();
    // Never thinner than a millivolt, never wider than a hundred volts.
    const double size = std::clamp(v.size() * factor, 0.001, 100.0);
    const double share = v.size() > 0 ? (volts - v.lower) / v.size() : 0.5;
    yAxis->setRange(volts - share * size, volts - share * size + size);
    UpdateZoomed();
    replot(rpQueuedReplot);
}

void ChargeGraphView::PanVolts(double volts) {
    yAxis->setRange(yAxis->range().lower + volts, yAxis->range().upper + volts);
    UpdateZoomed();
    replot(rpQueuedReplot);
}

void ChargeGraphView::keyPressEvent(QKeyEvent* event) {
    const QCPRange t = xAxis->range();
    const double centre = t.center();
    const Qt::KeyboardModifiers mods = event->modifiers() & ~Qt::KeypadModifier;
    // The voltage from the keyboard: Ctrl with + and − zooms it.
    if (mods == Qt::ControlModifier &&
        (event->key() == Qt::Key_Plus || event->key() == Qt::Key_Equal ||
         event->key() == Qt::Key_Minus)) {
        ZoomVolts(yAxis->range().center(), event->key() == Qt::Key_Minus ? 2.0 : 0.5);
        event->accept();
        return;
    }
    // The cursors from the keyboard: A and B place one in the middle of what is shown, Shift
    // with Left and Right moves the one placed last by a hundredth of it.
    if (mods == Qt::NoModifier && (event->key() == Qt::Key_A || event->key() == Qt::Key_B)) {
        m_keyCursor = event->key() == Qt::Key_A ? 0 : 1;
        MoveCursor(m_keyCursor, centre);
        event->accept();
        return;
    }
    if (mods == Qt::ShiftModifier &&
        (event->key() == Qt::Key_Left || event->key() == Qt::Key_Right)) {
        if (m_cursor[m_keyCursor]) {
            const double step = std::max(1.0, t.size() / 100);
            MoveCursor(m_keyCursor,
                       *m_cursor[m_keyCursor] + (event->key() == Qt::Key_Left ? -step : step));
        }
        event->accept();
        return;
    }
    switch (event->key()) {
        case Qt::Key_Plus:
        case Qt::Key_Equal:
            ZoomAt(centre, 0.5);
            break;
        case Qt::Key_Minus:
            ZoomAt(centre, 2);
            break;
        case Qt::Key_Left:
            Pan(-t.size() / 10);
            break;
        case Qt::Key_Right:
            Pan(t.size() / 10);
            break;
        case Qt::Key_Up:
        case Qt::Key_Down:
            PanVolts(yAxis->range().size() / 10 * (event->key() == Qt::Key_Up ? 1 : -1));
            break;
        case Qt::Key_Home:
            ShowWhole();
            break;
        case Qt::Key_Delete:
        case Qt::Key_Backspace:
            ClearCursors();
            break;
        default:
            QCustomPlot::keyPressEvent(event);
            return;
    }
    event->accept();
}

void ChargeGraphView::leaveEvent(QEvent* event) {
    m_hover.reset();
    UpdateTexts();
    replot(rpQueuedReplot);
    QCustomPlot::leaveEvent(event);
}

// --- The window -------------------------------------------------------------------------------

namespace {
constexpr int kPathRole = Qt::UserRole;
// The overlays that come from the history, not from a log file.
const QString kHistoryKey = "history:";
constexpr int kWhenRole = Qt::UserRole + 1;
constexpr int kTextRole = Qt::UserRole + 2;
constexpr int kHistoryIdRole = Qt::UserRole + 3;  // the charge's row in the history, where known

bool SameFile(const QString& a, const std::string& b) {
    return !b.empty() &&
           QFileInfo(a).absoluteFilePath() ==
               QFileInfo(QFile::decodeName(QByteArray::fromStdString(b))).absoluteFilePath();
}
}  // namespace

std::vector<QColor> OverlayColours(const std::vector<QString>& paths,
                                   std::map<QString, int>& places) {
    std::map<QString, int> kept;
    bool taken[CChargeGraphWnd::kMostOverlays] = {};
    std::vector<size_t> order;
    for (size_t i = 0; i < paths.size(); ++i) {
        if (auto it = places.find(paths[i]); it != places.end()) {
            kept[paths[i]] = it->second;
            taken[it->second] = true;
        } else {
            order.push_back(i);
        }
    }
    std::sort(order.begin(), order.end(), [&](size_t a, size_t b) { return paths[a] < paths[b]; });
    for (size_t i : order) {
        // The colour the file's name gives it (FNV-1a, the same in every run), else the next free.
        uint32_t hash = 2166136261u;
        for (char c : QFileInfo(paths[i]).fileName().toUtf8()) {
            hash = (hash ^ uint8_t(c)) * 16777619u;
        }
        size_t c = hash % CChargeGraphWnd::kMostOverlays;
        for (int tries = 0; taken[c] && tries < CChargeGraphWnd::kMostOverlays; ++tries) {
            c = (c + 1) % CChargeGraphWnd::kMostOverlays;
        }
        taken[c] = true;
        kept[paths[i]] = static_cast<int>(c);
    }
    places = std::move(kept);
    std::vector<QColor> colours;
    for (const QString& path : paths) {
        colours.push_back(kOverlayColours[places[path]]);
    }
    return colours;
}

CChargeGraphWnd::CChargeGraphWnd(const ChargeRecorder& recorder, const QString& logFolder,
                                 QWidget* parent, QString historyPath)
    : QWidget(parent, Qt::Window),
      m_recorder(recorder),
      m_strLogFolder(logFolder),
      m_strHistoryPath(std::move(historyPath)) {
    setWindowTitle("Charge Graph");
    AnnounceAsWindow(this);
    setAccessibleName("Charge Graph");
    setAttribute(Qt::WA_DeleteOnClose, false);
    m_view = new ChargeGraphView(recorder, this);
    auto* side = new QWidget(this);
    auto* sideLayout = new QVBoxLayout(side);
    sideLayout->setContentsMargins(4, 4, 4, 4);
    auto* heading = new QLabel("Past charges (tick up to eight):", side);
    m_logs = new QTreeWidget(side);
    m_logs->setHeaderHidden(true);
    // Entries keep their whole text (the list scrolls sideways) rather than lose their end to an
    // ellipsis.
    m_logs->setTextElideMode(Qt::ElideNone);
    m_logs->header()->setSectionResizeMode(0, QHeaderView::ResizeToContents);
    m_logs->header()->setStretchLastSection(false);
    m_logs->setAccessibleName("Past charges");
    heading->setBuddy(m_logs);
    m_status = new QLabel(side);
    m_status->setWordWrap(true);
    auto* help = new QLabel(
        "Wheel: zoom time; Ctrl+wheel: zoom volts. Drag: pan. Shift+drag or right drag: zoom a "
        "box. Click, or A and B: place cursor; Shift+arrows move it. Double click or Home: whole "
        "charge.",
        side);
    help->setWordWrap(true);
    help->setForegroundRole(QPalette::PlaceholderText);
    auto* refresh = new QPushButton("&Refresh", side);
    auto* save = new QPushButton("&Save Picture...", side);
    sideLayout->addWidget(heading);
    sideLayout->addWidget(m_logs, 1);
    sideLayout->addWidget(m_status);
    sideLayout->addWidget(help);
    sideLayout->addWidget(refresh);
    sideLayout->addWidget(save);
    auto* splitter = new QSplitter(this);
    splitter->addWidget(m_view);
    splitter->addWidget(side);
    splitter->handle(1)->setAccessibleName("Divider between the graph and the past charges");
    splitter->setStretchFactor(0, 1);
    auto* layout = new QHBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(splitter);
    resize(900, 480);
    connect(m_logs, &QTreeWidget::itemChanged, this, &CChargeGraphWnd::OnLogTicked);
    connect(refresh, &QPushButton::clicked, this, &CChargeGraphWnd::RefreshLogs);
    connect(save, &QPushButton::clicked, this, &CChargeGraphWnd::SavePicture);
    // The curve grows each second; a look twice a second redraws only when it changed.
    auto* tick = new QTimer(this);
    connect(tick, &QTimer::timeout, this, &CChargeGraphWnd::Refresh);
    tick->start(500);
    RefreshLogs();
    m_view->setFocus();
}

CChargeGraphWnd::~CChargeGraphWnd() = default;

QString CChargeGraphWnd::Status() const {
    return m_status->text();
}

void CChargeGraphWnd::Refresh() {
    if (m_recorder.Revision() != m_shownRevision) {
        m_shownRevision = m_recorder.Revision();
        m_view->Sync();
        // A charge that just ended may have left a new log to lay over the next one, and its
        // own log is not listed as a past charge.
        if ((m_bShownRunning && !m_recorder.Running()) || m_recorder.LogFile() != m_shownLogFile) {
            RefreshLogs();
        }
        m_bShownRunning = m_recorder.Running();
    }
}

void CChargeGraphWnd::RefreshLogs() {
    m_shownLogFile = m_recorder.LogFile();
    QStringList ticked;
    for (const GraphOverlay& o : m_view->Overlays()) {
        ticked << o.path;
    }
    QStringList loading;
    for (QTreeWidgetItemIterator it(m_logs); *it != nullptr; ++it) {
        if ((*it)->parent() != nullptr && (*it)->checkState(0) == Qt::Checked) {
            loading << (*it)->data(0, kPathRole).toString();
        }
    }
    // The logs of the folder, and the charges of the history that have no log there; grouped
    // by pack, the newest first in each.
    struct Entry {
        long long sortKey;
        QString when;  // the charge's name in the legend, after its pack's
        QString path;
        QString tip;
        QString text;  // the list's
        qint64 historyId = 0;
    };
    std::map<QString, std::vector<Entry>, std::less<>> packs;
    // A charge is known by its start, as the Pack History knows it ("2026-12-08 10:20"); its
    // entry says too how long it ran, what it put in and how it ended, where that is known.
    auto figures = [](const HistoryCharge& c) {
        return QString("%1, %2 mAh\n%3")
            .arg(QString::fromStdString(ClockText(c.seconds, true)))
            .arg(c.mah, 0, 'f', 0)
            .arg(c.endReason);
    };
    // The history's charges: by the log they came from, and those of no log in the folder.
    std::vector<HistoryCharge> recorded;
    std::vector<QString> groupOf;  // the pack each is listed under: its newest name
    std::map<QString, size_t> byLog;
    if (!m_strHistoryPath.isEmpty() && QFileInfo::exists(m_strHistoryPath)) {
        ChargeHistory history(m_strHistoryPath, 200);
        if (history.Open() != ChargeHistory::State::Failed) {
            for (const ChargeHistory::PackEntry& pack : history.Packs()) {
                for (HistoryCharge& c : history.Charges(pack.packId, pack.name, false)) {
                    groupOf.push_back(pack.name);
                    if (!c.source.isEmpty()) {
                        byLog[c.source] = recorded.size();
                    }
                    recorded.push_back(std::move(c));
                }
            }
        }
    }
    const QDir folder(m_strLogFolder);
    QSet<QString> listed;
    for (const QString& file : folder.entryList({"*.csv"}, QDir::Files)) {
        if (SameFile(folder.filePath(file), m_shownLogFile)) {
            listed.insert(file);
            continue;  // this charge, already drawn as such
        }
        if (auto name = ParseChargeLogName(file.toStdString())) {
            listed.insert(file);
            Entry e{name->SortKey(), QString(), folder.filePath(file), file, QString()};
            if (auto known = byLog.find(file); known != byLog.end()) {
                const HistoryCharge& c = recorded[known->second];
                e.when = ChargeTimeText(c.started);
                e.text = e.when + "\n" + figures(c);
                e.historyId = c.id;
            } else {
                // Only its name is known: the minute it ended.
                e.when = "ended " + ChargeTimeText(QDateTime(
                                        QDate(name->year, name->month, name->day),
                                        QTime(name->hour, name->minute)));
                if (name->copy > 1) {
                    e.when += QString(" (%1)").arg(name->copy);
                }
                e.text = e.when;
            }
            packs[QString::fromStdString(name->pack)].push_back(std::move(e));
        }
    }
    const LocalTime& started = m_recorder.Started();
    for (size_t i = 0; i < recorded.size(); ++i) {
        const HistoryCharge& c = recorded[i];
        const QDate d = c.started.date();
        const QTime t = c.started.time();
        // This charge's own row: its pack, its minute and its number of samples.
        const bool thisCharge = !m_recorder.Points().empty() && !m_recorder.Running() &&
                                size_t(c.samples) == m_recorder.Points().size() &&
                                c.packName.toStdString() == m_recorder.Pack() &&
                                d.year() == started.year && d.month() == started.month &&
                                d.day() == started.day && t.hour() == started.hour &&
                                t.minute() == started.minute;
        if (listed.contains(c.source) || thisCharge) {
            continue;  // drawn from its log, or as this charge
        }
        ChargeLogName name;
        name.year = d.year();
        name.month = d.month();
        name.day = d.day();
        name.hour = t.hour();
        name.minute = t.minute();
        name.copy = 0;
        const QString when = ChargeTimeText(c.started);
        packs[groupOf[i]].push_back({name.SortKey(), when, kHistoryKey + QString::number(c.id),
                                     "From the charge history",
                                     when + "\n" + figures(c) + " (history)", c.id});
    }
    QSignalBlocker quiet(m_logs);
    m_logs->clear();
    for (auto& [pack, entries] : packs) {
        std::sort(entries.begin(), entries.end(),
                  [](const Entry& a, const Entry& b) { return a.sortKey > b.sortKey; });
        auto* group = new QTreeWidgetItem(m_logs, {pack});
        group->setFlags(Qt::ItemIsEnabled);
        for (const Entry& e : entries) {
            auto* item = new QTreeWidgetItem(group, {e.text});
            item->setFlags(Qt::ItemIsEnabled | Qt::ItemIsUserCheckable | Qt::ItemIsSelectable);
            item->setData(0, kPathRole, e.path);
            item->setData(0, kWhenRole, e.when);
            item->setData(0, kTextRole, e.text);
            if (e.historyId > 0) {
                item->setData(0, kHistoryIdRole, e.historyId);
            }
            item->setToolTip(0, e.tip);
            const bool shown = ticked.contains(e.path);
            item->setCheckState(0, shown || loading.contains(e.path) ? Qt::Checked : Qt::Unchecked);
            if (!shown && loading.contains(e.path)) {
                item->setText(0, e.text + "  (reading...)");
            }
        }
    }
    // A shown past charge whose log has gone (or is this charge's) leaves the graph.
    auto gone = [&](const GraphOverlay& o) {
        return !o.path.startsWith(kHistoryKey) &&
               (!QFileInfo::exists(o.path) || SameFile(o.path, m_shownLogFile));
    };
    if (std::any_of(m_view->Overlays().begin(), m_view->Overlays().end(), gone)) {
        std::vector<GraphOverlay> overlays = m_view->TakeOverlays();
        std::erase_if(overlays, gone);
        m_view->SetOverlays(std::move(overlays));
    }
    m_logs->expandAll();
}

QSet<qint64> CChargeGraphWnd::ShownHistoryIds() const {
    QSet<qint64> ids;
    for (const GraphOverlay& o : m_view->Overlays()) {
        if (o.path.startsWith(kHistoryKey)) {
            ids.insert(o.path.mid(kHistoryKey.size()).toLongLong());
            continue;
        }
        for (QTreeWidgetItemIterator it(m_logs); *it != nullptr; ++it) {
            if ((*it)->data(0, kPathRole).toString() == o.path &&
                (*it)->data(0, kHistoryIdRole).isValid()) {
                ids.insert((*it)->data(0, kHistoryIdRole).toLongLong());
            }
        }
    }
    return ids;
}

void CChargeGraphWnd::OnLogTicked(QTreeWidgetItem* item) {
    if (item->parent() == nullptr) {
        return;
    }
    const QString path = item->data(0, kPathRole).toString();
    const QString label = item->parent()->text(0) + " " + item->data(0, kWhenRole).toString();
    const std::vector<GraphOverlay>& shownNow = m_view->Overlays();
    const bool shown = std::any_of(shownNow.begin(), shownNow.end(),
                                   [&](const GraphOverlay& o) { return o.path == path; });
    if (item->checkState(0) != Qt::Checked) {
        if (shown) {
            std::vector<GraphOverlay> overlays = m_view->TakeOverlays();
            std::erase_if(overlays, [&](const GraphOverlay& o) { return o.path == path; });
            m_view->SetOverlays(std::move(overlays));
        }
        return;
    }
    if (shown) {
        return;
    }
    QSignalBlocker quiet(m_logs);
    if (int(shownNow.size()) + m_loading >= kMostOverlays) {
        item->setCheckState(0, Qt::Unchecked);
        m_status->setText("At most eight past charges can be shown at a time.");
        return;
    }
    // Read off the window's thread: a long log must not freeze the window.
    item->setText(0, item->data(0, kTextRole).toString() + "  (reading...)");
    ++m_loading;
    using Read = std::pair<ChargeLogRead, std::vector<CurvePoint>>;
    auto* watcher = new QFutureWatcher<Read>(this);
    connect(watcher, &QFutureWatcherBase::finished, this, [=, this] {
        --m_loading;
        auto [read, envelope] = watcher->future().takeResult();
        watcher->deleteLater();
        // Found again by its path: the list may have been built anew meanwhile.
        QTreeWidgetItem* now = nullptr;
        for (QTreeWidgetItemIterator it(m_logs); *it != nullptr; ++it) {
            if ((*it)->parent() != nullptr && (*it)->data(0, kPathRole).toString() == path) {
                now = *it;
            }
        }
        OnLogRead(now, label, path, std::move(read), std::move(envelope));
    });
    const std::string file = QFile::encodeName(path).toStdString();
    const QString historyPath = m_strHistoryPath;
    watcher->setFuture(QtConcurrent::run([file, path, historyPath] {
        ChargeLogRead read;
        if (path.startsWith(kHistoryKey)) {
            // A charge of the history: its curve, read on this thread's own connection.
            ChargeHistory history(historyPath);
            history.Open();
            if (auto charge = history.Charge(path.mid(kHistoryKey.size()).toLongLong())) {
                read.ok = true;
                read.points = std::move(charge->curve);
            } else {
                read.error = "it is no longer in the charge history";
            }
        } else {
            read = ReadChargeLogFile(file);
        }
        std::vector<CurvePoint> envelope = Envelope(read.points, kEnvelopeStretches);
        return Read{std::move(read), std::move(envelope)};
    }));
}

bool CChargeGraphWnd::ShowPastCharge(const QString& shownKey, const QString& label,
                                     std::vector<CurvePoint> points) {
    // A charge of the history that the list holds (from its log, or from the history) is the
    // list's entry: one curve, one legend entry, its tick in the list.
    QString key = shownKey;
    QTreeWidgetItem* listed = nullptr;
    const qint64 id = key.startsWith(kHistoryKey) ? key.mid(kHistoryKey.size()).toLongLong() : 0;
    for (QTreeWidgetItemIterator it(m_logs); *it != nullptr; ++it) {
        const QString path = (*it)->data(0, kPathRole).toString();
        if ((*it)->parent() != nullptr &&
            (path == key || (id > 0 && (*it)->data(0, kHistoryIdRole).toLongLong() == id))) {
            listed = *it;
            key = path;
            break;
        }
    }
    const bool showing = !points.empty();
    std::vector<GraphOverlay> overlays = m_view->TakeOverlays();
    std::erase_if(overlays, [&](const GraphOverlay& o) { return o.path == key; });
    bool shown = true;
    if (!points.empty()) {
        if (int(overlays.size()) + m_loading >= kMostOverlays) {
            m_status->setText("At most eight past charges can be shown at a time.");
            shown = false;
        } else {
            std::vector<CurvePoint> envelope = Envelope(points, kEnvelopeStretches);
            overlays.push_back({label, key, std::move(points), QColor(), std::move(envelope)});
        }
    }
    if (listed != nullptr) {
        QSignalBlocker quiet(m_logs);
        listed->setCheckState(0, shown && showing ? Qt::Checked : Qt::Unchecked);
    }
    m_view->SetOverlays(std::move(overlays));
    return shown;
}

void CChargeGraphWnd::OnLogRead(QTreeWidgetItem* item, const QString& label, const QString& path,
                                ChargeLogRead read, std::vector<CurvePoint> envelope) {
    if (item == nullptr) {
        return;  // the log is no longer listed
    }
    QSignalBlocker quiet(m_logs);
    item->setText(0, item->data(0, kTextRole).toString());
    if (item->checkState(0) != Qt::Checked) {
        return;  // unticked while it was read
    }
    if (!read.ok) {
        item->setCheckState(0, Qt::Unchecked);
        m_status->setText(QString("%1 cannot be shown: %2.")
                              .arg(QFileInfo(path).fileName(), QString::fromStdString(read.error)));
        return;
    }
    std::vector<GraphOverlay> overlays = m_view->TakeOverlays();
    overlays.push_back({label, path, std::move(read.points), QColor(), std::move(envelope)});
    m_status->setText(read.skippedLines == 0
                          ? QString()
                          : QString("%1: %2 line(s) could not be read and were skipped.")
                                .arg(QFileInfo(path).fileName())
                                .arg(read.skippedLines));
    m_view->SetOverlays(std::move(overlays));
}

void CChargeGraphWnd::SavePicture() {
    QString chosen;
    const QString path = WithChosenExtension(
        QFileDialog::getSaveFileName(this, "Save Picture",
                                     QDir::home().filePath(m_view->PictureName() + ".png"),
                                     "PNG picture (*.png);;SVG drawing (*.svg);;PDF page (*.pdf)",
                                     &chosen),
        chosen);
    if (path.isEmpty()) {
        return;
    }
    QString why;
    m_status->setText(m_view->SaveImage(path, &why)
                          ? QString("Saved \"%1\".").arg(path)
                          : QString("\"%1\" could not be written, because %2").arg(path, why));
}

void CChargeGraphWnd::SaveState(bool open) const {
    const QRect g = geometry();
    AppProfile().WriteProfileInt(kGraphSection, "Open", open ? 1 : 0);
    AppProfile().WriteProfileString(
        kGraphSection, "Geometry",
        QString("%1 %2 %3 %4").arg(g.x()).arg(g.y()).arg(g.width()).arg(g.height()));
}

void CChargeGraphWnd::RestoreGeometry() {
    const QStringList parts =
        AppProfile().GetProfileString(kGraphSection, "Geometry", "").split(' ', Qt::SkipEmptyParts);
    if (parts.size() != 4) {
        return;
    }
    int v[4];
    for (int i = 0; i < 4; ++i) {
        bool ok = false;
        v[i] = parts[i].toInt(&ok);
        if (!ok) {
            return;  // a hand-edited value that is no geometry: the default place
        }
    }
    if (v[2] < minimumSizeHint().width() || v[3] < 200 || v[2] > 10000 || v[3] > 10000) {
        return;
    }
    // Fitted onto the screen it was on (or the nearest): a place stored at another scale or on
    // a screen since removed must not leave the window partly out of reach.
    QRect g(v[0], v[1], v[2], v[3]);
    QScreen* screen = QGuiApplication::screenAt(g.center());
    if (screen == nullptr) {
        screen = QGuiApplication::primaryScreen();
    }
    if (screen != nullptr) {
        const QRect free = screen->availableGeometry();
        g.setSize(g.size().boundedTo(free.size()));
        g.moveLeft(std::clamp(g.left(), free.left(), free.right() + 1 - g.width()));
        g.moveTop(std::clamp(g.top(), free.top(), free.bottom() + 1 - g.height()));
    }
    setGeometry(g);
}

void CChargeGraphWnd::keyPressEvent(QKeyEvent* event) {
    // Closed from the keyboard as any window is (Ctrl+G, the main window's, closes it too).
    if (IsCloseWindowKey(event)) {
        close();
        return;
    }
    QWidget::keyPressEvent(event);
}

void CChargeGraphWnd::showEvent(QShowEvent* event) {
    // Hidden, it looked at no charge: shown again, it starts from the newest.
    Refresh();
    QWidget::showEvent(event);
}

void CChargeGraphWnd::closeEvent(QCloseEvent* event) {
    // Closed by the user: not open next time.
    SaveState(false);
    QWidget::closeEvent(event);
}
