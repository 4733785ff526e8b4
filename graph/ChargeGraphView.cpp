// The plot of the Charge Graph: its axes, curves, limit lines and overlays, the ranges shown and
// their zoom, and the cursors.

#include "graph/CChargeGraphWnd.h"

#include <algorithm>
#include <cmath>

#include "controls/Accessibility.h"

const QColor ChargeGraphView::kVoltsColour(0, 60, 160);
const QColor ChargeGraphView::kAmpsColour(210, 110, 0);

namespace {

// The backup cut-offs' lines: black, apart from the end test's blue and red and from every
// curve, each with a dash of its own.
const QColor kTimeLimitColour(0, 0, 0);
const QColor kCapacityLimitColour(0, 0, 0);
const QColor kPeakColour(90, 130, 210);
const QColor kThresholdColour(200, 0, 0);

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
