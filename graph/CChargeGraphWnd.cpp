#include "graph/CChargeGraphWnd.h"

#include <QBuffer>
#include <QCloseEvent>
#include <QDir>
#include <QFileDialog>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QMouseEvent>
#include <QPainter>
#include <QPainterPath>
#include <QPushButton>
#include <QSplitter>
#include <QSvgGenerator>
#include <QTimer>
#include <QTreeWidget>
#include <QVBoxLayout>
#include <algorithm>
#include <cmath>
#include <map>

#include "controls/Accessibility.h"
#include "graph/ChargeLogReader.h"
#include "platform/Profile.h"
#include "platform/WriteFailure.h"

const QColor ChargeGraphView::kVoltsColour(0, 60, 160);
const QColor ChargeGraphView::kAmpsColour(210, 110, 0);

namespace {

// The backup cut-offs' lines: apart from the end test's blue and red.
const QColor kLimitColour(150, 60, 0);

// Colours of the past charges: apart from the running charge's and from each other.
const QColor kOverlayColours[CChargeGraphWnd::kMostOverlays] = {
    QColor(0, 150, 60),  QColor(170, 0, 120), QColor(0, 150, 170), QColor(130, 90, 0),
    QColor(120, 0, 200), QColor(200, 0, 0),   QColor(90, 90, 90),  QColor(0, 100, 0),
};

QString Clock(double seconds, bool withSeconds) {
    const long long s = std::llround(std::max(0.0, seconds));
    if (withSeconds) {
        return QString("%1:%2:%3")
            .arg(s / 3600)
            .arg((s / 60) % 60, 2, 10, QChar('0'))
            .arg(s % 60, 2, 10, QChar('0'));
    }
    return QString("%1:%2").arg(s / 3600).arg((s / 60) % 60, 2, 10, QChar('0'));
}

// A step of 1, 2 or 5 times a power of ten that gives at most `most` steps over span.
double NiceStep(double span, int most) {
    if (!(span > 0)) {
        return 1;
    }
    const double rough = span / most;
    const double power = std::pow(10.0, std::floor(std::log10(rough)));
    for (double m : {1.0, 2.0, 5.0, 10.0}) {
        if (m * power >= rough) {
            return m * power;
        }
    }
    return 10 * power;
}

// Time ticks fall on whole minutes and hours.
double TimeStep(double span) {
    for (double step : {60.0, 120.0, 300.0, 600.0, 900.0, 1800.0, 3600.0, 7200.0, 10800.0, 21600.0,
                        43200.0, 86400.0}) {
        if (span / step <= 8) {
            return step;
        }
    }
    return NiceStep(span / 3600, 8) * 3600;
}

struct Range {
    double low = 0, high = 0;
    bool any = false;
    void Take(double v) {
        if (!any) {
            low = high = v;
            any = true;
        }
        low = std::min(low, v);
        high = std::max(high, v);
    }
};

void DrawCurve(QPainter& painter, const std::vector<CurvePoint>& points, float CurvePoint::*value,
               double from, double to, double low, double high, const QRect& plot,
               bool bold = false) {
    const std::vector<ColumnSpan> spans = ThinToColumns(points, value, from, to, plot.width());
    auto y = [&](double v) { return plot.bottom() - (v - low) / (high - low) * plot.height(); };
    // Into each column at its first value, down and up to its extremes, out at its last: one
    // polyline of at most four points a pixel column, whatever the number of samples.
    QPolygonF line;
    line.reserve(static_cast<qsizetype>(spans.size()) * 4);
    for (int i = 0; i < static_cast<int>(spans.size()); ++i) {
        const ColumnSpan& s = spans[static_cast<size_t>(i)];
        if (!s.filled) {
            continue;
        }
        const double x = plot.left() + i + 0.5;
        line << QPointF(x, y(s.first));
        if (s.low != s.high) {
            line << QPointF(x, y(s.low)) << QPointF(x, y(s.high));
        }
        line << QPointF(x, y(s.last));
    }
    // One-pixel pens take the painter's fast line path; a wide pen's joins at every vertex cost
    // twenty times as much. Bold is the line drawn twice, a pixel apart.
    QPen pen = painter.pen();
    pen.setWidth(1);
    painter.setPen(pen);
    painter.drawPolyline(line);
    if (bold) {
        line.translate(0, -1);
        painter.drawPolyline(line);
    }
}

}  // namespace

ChargeGraphView::ChargeGraphView(const ChargeRecorder& recorder, QWidget* parent)
    : QWidget(parent), m_recorder(recorder) {
    setMouseTracking(true);
    setMinimumSize(360, 240);
    setAttribute(Qt::WA_OpaquePaintEvent);
    setAccessibleName("Charge graph");
}

void ChargeGraphView::SetOverlays(std::vector<GraphOverlay> overlays) {
    m_overlays = std::move(overlays);
    update();
}

ChargeGraphView::Axes ChargeGraphView::AxesFor(const QRect& area) const {
    Axes axes;
    const QFontMetrics fm(font());
    const int left = fm.horizontalAdvance("00.00 V") + 12;
    const int right = fm.horizontalAdvance("0.00 A") + 12;
    axes.plot = area.adjusted(left, fm.height() * 2 + 8, -right, -(fm.height() * 2 + 12));

    Range volts, amps;
    double last = 60;
    auto take = [&](const std::vector<CurvePoint>& points) {
        for (const CurvePoint& p : points) {
            volts.Take(p.volts);
            amps.Take(p.amps);
        }
        if (!points.empty()) {
            last = std::max(last, static_cast<double>(points.back().seconds));
        }
    };
    take(m_recorder.Points());
    for (const GraphOverlay& o : m_overlays) {
        take(o.points);
    }
    const EndTestState& test = m_recorder.EndTest();
    if (!m_recorder.Points().empty()) {
        if (test.timed) {
            last = std::max(last, static_cast<double>(test.cutOffSeconds));
        } else if (test.peak > 0) {
            volts.Take(test.peak);
            volts.Take(test.line);
        }
        // A backup's time is shown when it is near: the curve keeps most of the width.
        const double charged = m_recorder.Points().back().seconds;
        for (int32_t limit : {test.timerSeconds, test.capacitySeconds}) {
            if (limit > 0 && limit <= 2 * charged) {
                last = std::max(last, static_cast<double>(limit));
            }
        }
    }
    axes.fromSeconds = 0;
    axes.toSeconds = std::ceil(last / TimeStep(last)) * TimeStep(last);
    if (!volts.any) {
        volts.Take(0);
        volts.Take(1);
    }
    const double vPad = std::max(0.05, (volts.high - volts.low) * 0.05);
    const double vStep = NiceStep(volts.high - volts.low + 2 * vPad, 6);
    axes.lowVolts = std::floor((volts.low - vPad) / vStep) * vStep;
    axes.highVolts = std::ceil((volts.high + vPad) / vStep) * vStep;
    amps.Take(0);
    const double aStep = NiceStep(std::max(0.1, amps.high - amps.low) * 1.1, 6);
    axes.lowAmps = std::floor(amps.low / aStep) * aStep;
    axes.highAmps = std::ceil(amps.high * 1.1 / aStep) * aStep;
    if (!(axes.highAmps > axes.lowAmps)) {
        axes.highAmps = axes.lowAmps + aStep;
    }
    return axes;
}

void ChargeGraphView::Draw(QPainter& painter, const QRect& area) const {
    const Axes axes = AxesFor(area);
    const QRect plot = axes.plot;
    const QFontMetrics fm(font());
    painter.setFont(font());
    painter.fillRect(area, Qt::white);
    if (plot.width() < 10 || plot.height() < 10) {
        return;
    }
    auto x = [&](double t) {
        return plot.left() +
               (t - axes.fromSeconds) / (axes.toSeconds - axes.fromSeconds) * plot.width();
    };
    auto yVolts = [&](double v) {
        return plot.bottom() -
               (v - axes.lowVolts) / (axes.highVolts - axes.lowVolts) * plot.height();
    };
    auto yAmps = [&](double a) {
        return plot.bottom() - (a - axes.lowAmps) / (axes.highAmps - axes.lowAmps) * plot.height();
    };

    // Grid and axes: time in h:mm below, volts on the left, amps on the right.
    const QColor grid(225, 225, 225);
    const double tStep = TimeStep(axes.toSeconds - axes.fromSeconds);
    for (double t = axes.fromSeconds; t <= axes.toSeconds + 0.5; t += tStep) {
        painter.setPen(grid);
        painter.drawLine(QPointF(x(t), plot.top()), QPointF(x(t), plot.bottom()));
        painter.setPen(Qt::black);
        const QString label = Clock(t, false);
        painter.drawText(
            QPointF(x(t) - fm.horizontalAdvance(label) / 2.0, plot.bottom() + fm.ascent() + 4),
            label);
    }
    const double vStep = NiceStep(axes.highVolts - axes.lowVolts, 6);
    for (double v = axes.lowVolts; v <= axes.highVolts + vStep / 2; v += vStep) {
        painter.setPen(grid);
        painter.drawLine(QPointF(plot.left(), yVolts(v)), QPointF(plot.right(), yVolts(v)));
        painter.setPen(kVoltsColour);
        const QString label = QString::number(v, 'f', vStep < 0.1 ? 2 : 1);
        painter.drawText(QPointF(plot.left() - 6 - fm.horizontalAdvance(label),
                                 yVolts(v) + fm.ascent() / 2.0 - 1),
                         label);
    }
    const double aStep = NiceStep(axes.highAmps - axes.lowAmps, 6);
    painter.setPen(kAmpsColour);
    for (double a = axes.lowAmps; a <= axes.highAmps + aStep / 2; a += aStep) {
        painter.drawText(QPointF(plot.right() + 6, yAmps(a) + fm.ascent() / 2.0 - 1),
                         QString::number(a, 'f', aStep < 0.1 ? 2 : 1));
    }
    painter.setPen(kVoltsColour);
    painter.drawText(QPointF(plot.left() - fm.horizontalAdvance("Volts") / 2.0, plot.top() - 6),
                     "Volts");
    painter.setPen(kAmpsColour);
    painter.drawText(QPointF(plot.right() - fm.horizontalAdvance("Amps") / 2.0, plot.top() - 6),
                     "Amps");
    painter.setPen(Qt::black);
    painter.drawText(QPointF(plot.right() - fm.horizontalAdvance("h:mm"),
                             plot.bottom() + fm.ascent() + fm.height() + 6),
                     "h:mm");
    painter.setPen(QColor(120, 120, 120));
    painter.drawRect(plot);

    const EndTestState& test = m_recorder.EndTest();
    const bool live = !m_recorder.Points().empty();
    painter.save();
    painter.setClipRect(plot.adjusted(0, 0, 1, 1));
    // The end test: the delay shaded, the peak and the line the voltage must stay under, the
    // cut-off of a timed charge.
    if (live && !test.timed) {
        const double delayEnd =
            m_recorder.Points().back().seconds + (test.delayLeft > 0 ? test.delayLeft : 0);
        if (test.delayLeft > 0) {
            painter.fillRect(QRectF(QPointF(x(0), plot.top()), QPointF(x(delayEnd), plot.bottom())),
                             QColor(240, 240, 200));
        }
        if (test.peak > 0) {
            painter.setPen(QPen(QColor(90, 130, 210), 1, Qt::DashLine));
            painter.drawLine(QPointF(plot.left(), yVolts(test.peak)),
                             QPointF(plot.right(), yVolts(test.peak)));
            painter.setPen(QPen(QColor(200, 0, 0), 1, Qt::DashLine));
            painter.drawLine(QPointF(plot.left(), yVolts(test.line)),
                             QPointF(plot.right(), yVolts(test.line)));
        }
    }
    if (live && test.timed) {
        painter.setPen(QPen(QColor(200, 0, 0), 1, Qt::DashLine));
        painter.drawLine(QPointF(x(test.cutOffSeconds), plot.top()),
                         QPointF(x(test.cutOffSeconds), plot.bottom()));
    }
    // The backups in force: where the safety timer runs out, and where the capacity cut-off
    // comes at the present current (drawn only where they fall inside the time shown).
    if (live) {
        const std::pair<int32_t, QString> limits[] = {{test.timerSeconds, "time limit"},
                                                      {test.capacitySeconds, "capacity limit"}};
        for (const auto& [limit, name] : limits) {
            if (limit > 0 && limit <= axes.toSeconds) {
                painter.setPen(QPen(kLimitColour, 1, Qt::DashDotLine));
                painter.drawLine(QPointF(x(limit), plot.top()), QPointF(x(limit), plot.bottom()));
                // Named beside the line, low in the plot where the curves seldom are.
                painter.setPen(kLimitColour);
                const bool twin = limit == test.capacitySeconds && test.timerSeconds > 0 &&
                                  std::abs(x(test.timerSeconds) - x(limit)) < fm.height() * 6;
                painter.drawText(
                    QPointF(x(limit) - fm.horizontalAdvance(name) - 3,
                            plot.bottom() - fm.descent() - 3 - (twin ? fm.height() : 0)),
                    name);
            }
        }
    }
    painter.setRenderHint(QPainter::Antialiasing, false);
    for (const GraphOverlay& o : m_overlays) {
        painter.setPen(QPen(o.colour, 1));
        DrawCurve(painter, o.points, &CurvePoint::volts, axes.fromSeconds, axes.toSeconds,
                  axes.lowVolts, axes.highVolts, plot);
        painter.setPen(QPen(o.colour, 1, Qt::DotLine));
        DrawCurve(painter, o.points, &CurvePoint::amps, axes.fromSeconds, axes.toSeconds,
                  axes.lowAmps, axes.highAmps, plot);
    }
    painter.setPen(QPen(kAmpsColour, 1));
    DrawCurve(painter, m_recorder.Points(), &CurvePoint::amps, axes.fromSeconds, axes.toSeconds,
              axes.lowAmps, axes.highAmps, plot);
    painter.setPen(QPen(kVoltsColour, 1));
    DrawCurve(painter, m_recorder.Points(), &CurvePoint::volts, axes.fromSeconds, axes.toSeconds,
              axes.lowVolts, axes.highVolts, plot, true);
    painter.restore();

    // The state of the end test, in words, above the plot.
    QString state;
    if (!m_recorder.EndReason().empty()) {
        state = QString::fromStdString(m_recorder.EndReason());
    } else if (live && test.timed) {
        state = "Timed charge: ends at " + Clock(test.cutOffSeconds, true);
    } else if (live && test.delayLeft > 0) {
        state = QString("Peak detection begins in %1 s").arg(test.delayLeft);
    } else if (live) {
        state = QString("Peak %1 V   line %2 V   below the line %3 of %4 s")
                    .arg(test.peak, 0, 'f', 2)
                    .arg(test.line, 0, 'f', 2)
                    .arg(test.secondsBelow)
                    .arg(test.sensitivity);
    } else {
        state = "No charge yet";
    }
    if (m_recorder.Running() && live) {
        if (test.capacitySeconds > 0) {
            state += "   capacity limit at " + Clock(test.capacitySeconds, true);
        }
        if (test.timerSeconds > 0) {
            state += "   time limit at " + Clock(test.timerSeconds, true);
        }
    }
    painter.setPen(Qt::black);
    QFont bold = font();
    bold.setBold(true);
    painter.setFont(bold);
    painter.drawText(QPointF(plot.left(), area.top() + fm.ascent() + 2), state);
    painter.setFont(font());

    // The legend, top right inside the plot.
    struct Entry {
        QString label;
        QColor colour;
    };
    std::vector<Entry> legend;
    if (live) {
        legend.push_back({m_recorder.Running() ? "This charge" : "Last charge", kVoltsColour});
    }
    for (const GraphOverlay& o : m_overlays) {
        legend.push_back({o.label, o.colour});
    }
    int widest = 0;
    for (const Entry& e : legend) {
        widest = std::max(widest, fm.horizontalAdvance(e.label));
    }
    if (!legend.empty()) {
        const QRect box(plot.right() - widest - 34, plot.top() + 4, widest + 30,
                        int(legend.size()) * fm.height() + 6);
        painter.fillRect(box, QColor(255, 255, 255, 230));
        painter.setPen(QColor(180, 180, 180));
        painter.drawRect(box);
        int y = box.top() + 3;
        for (const Entry& e : legend) {
            painter.setPen(QPen(e.colour, 2));
            painter.drawLine(box.left() + 4, y + fm.height() / 2, box.left() + 20,
                             y + fm.height() / 2);
            painter.setPen(Qt::black);
            painter.drawText(QPointF(box.left() + 24, y + fm.ascent()), e.label);
            y += fm.height();
        }
    }

    // The hover readout.
    if (m_hoverX >= plot.left() && m_hoverX <= plot.right()) {
        const double t = axes.fromSeconds + (m_hoverX - plot.left()) / double(plot.width()) *
                                                (axes.toSeconds - axes.fromSeconds);
        const QString readout = ReadoutAt(t);
        if (!readout.isEmpty()) {
            painter.setPen(QPen(QColor(100, 100, 100), 1, Qt::DotLine));
            painter.drawLine(m_hoverX, plot.top(), m_hoverX, plot.bottom());
            const QRect box(
                std::min(m_hoverX + 6, plot.right() - fm.horizontalAdvance(readout) - 10),
                plot.bottom() - fm.height() - 10, fm.horizontalAdvance(readout) + 8,
                fm.height() + 4);
            painter.fillRect(box, QColor(255, 255, 225));
            painter.setPen(Qt::black);
            painter.drawRect(box);
            painter.drawText(box.adjusted(4, 2, -4, -2), Qt::AlignLeft | Qt::AlignVCenter, readout);
        }
    }
}

QString ChargeGraphView::ReadoutAt(double seconds) const {
    const std::vector<CurvePoint>* points = &m_recorder.Points();
    if (points->empty() && !m_overlays.empty()) {
        points = &m_overlays.front().points;
    }
    if (points->empty()) {
        return QString();
    }
    auto it = std::lower_bound(points->begin(), points->end(), seconds,
                               [](const CurvePoint& p, double t) { return p.seconds < t; });
    if (it == points->end() ||
        (it != points->begin() && seconds - std::prev(it)->seconds < it->seconds - seconds)) {
        it = std::prev(it);
    }
    return QString("%1  %2 V  %3 A")
        .arg(Clock(it->seconds, true))
        .arg(it->volts, 0, 'f', 2)
        .arg(it->amps, 0, 'f', 2);
}

bool ChargeGraphView::SaveImage(const QString& path, QString* why) const {
    const QRect area(0, 0, std::max(width(), 640), std::max(height(), 400));
    // Drawn in memory first, then written whole: a full disk leaves no half picture.
    QBuffer buffer;
    buffer.open(QIODevice::WriteOnly);
    if (path.endsWith(".svg", Qt::CaseInsensitive)) {
        QSvgGenerator svg;
        svg.setOutputDevice(&buffer);
        svg.setSize(area.size());
        svg.setViewBox(area);
        svg.setTitle("Charge graph");
        QPainter painter;
        if (!painter.begin(&svg)) {
            return false;
        }
        Draw(painter, area);
        painter.end();
    } else {
        QImage image(area.size(), QImage::Format_RGB32);
        QPainter painter(&image);
        Draw(painter, area);
        painter.end();
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

void ChargeGraphView::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    Draw(painter, rect());
}

void ChargeGraphView::mouseMoveEvent(QMouseEvent* event) {
    m_hoverX = event->position().toPoint().x();
    update();
}

void ChargeGraphView::leaveEvent(QEvent*) {
    m_hoverX = -1;
    update();
}

// --- The window -------------------------------------------------------------------------------

namespace {
constexpr int kPathRole = Qt::UserRole;
}

CChargeGraphWnd::CChargeGraphWnd(const ChargeRecorder& recorder, const QString& logFolder,
                                 QWidget* parent)
    : QWidget(parent, Qt::Window), m_recorder(recorder), m_strLogFolder(logFolder) {
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
    m_logs->setAccessibleName("Past charges");
    heading->setBuddy(m_logs);
    m_status = new QLabel(side);
    m_status->setWordWrap(true);
    auto* refresh = new QPushButton("&Refresh", side);
    auto* save = new QPushButton("&Save Picture...", side);
    sideLayout->addWidget(heading);
    sideLayout->addWidget(m_logs, 1);
    sideLayout->addWidget(m_status);
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
}

QString CChargeGraphWnd::Status() const {
    return m_status->text();
}

void CChargeGraphWnd::Refresh() {
    if (m_recorder.Revision() != m_shownRevision) {
        m_shownRevision = m_recorder.Revision();
        m_view->update();
        // A charge that just ended may have left a new log to lay over the next one.
        if (m_bShownRunning && !m_recorder.Running()) {
            RefreshLogs();
        }
        m_bShownRunning = m_recorder.Running();
    }
}

void CChargeGraphWnd::RefreshLogs() {
    QStringList ticked;
    for (const GraphOverlay& o : m_view->Overlays()) {
        ticked << o.label;
    }
    // Grouped by pack, the newest first in each.
    std::map<QString, std::vector<std::pair<ChargeLogName, QString>>, std::less<>> packs;
    const QDir folder(m_strLogFolder);
    for (const QString& file : folder.entryList({"*.csv"}, QDir::Files)) {
        if (auto name = ParseChargeLogName(file.toStdString())) {
            packs[QString::fromStdString(name->pack)].push_back({*name, file});
        }
    }
    QSignalBlocker quiet(m_logs);
    m_logs->clear();
    for (auto& [pack, logs] : packs) {
        std::sort(logs.begin(), logs.end(), [](const auto& a, const auto& b) {
            return a.first.SortKey() > b.first.SortKey();
        });
        auto* group = new QTreeWidgetItem(m_logs, {pack});
        group->setFlags(Qt::ItemIsEnabled);
        for (const auto& [name, file] : logs) {
            QString when = QString("%1-%2-%3 %4:%5")
                               .arg(name.month)
                               .arg(name.day)
                               .arg(name.year)
                               .arg(name.hour, 2, 10, QChar('0'))
                               .arg(name.minute, 2, 10, QChar('0'));
            if (name.copy > 1) {
                when += QString(" (%1)").arg(name.copy);
            }
            auto* item = new QTreeWidgetItem(group, {when});
            item->setFlags(Qt::ItemIsEnabled | Qt::ItemIsUserCheckable | Qt::ItemIsSelectable);
            item->setData(0, kPathRole, folder.filePath(file));
            item->setToolTip(0, file);
            item->setCheckState(0,
                                ticked.contains(pack + " " + when) ? Qt::Checked : Qt::Unchecked);
        }
    }
    m_logs->expandAll();
}

void CChargeGraphWnd::OnLogTicked(QTreeWidgetItem* item) {
    if (item->parent() == nullptr) {
        return;
    }
    const QString label = item->parent()->text(0) + " " + item->text(0);
    std::vector<GraphOverlay> overlays = m_view->Overlays();
    std::erase_if(overlays, [&](const GraphOverlay& o) { return o.label == label; });
    if (item->checkState(0) == Qt::Checked) {
        QSignalBlocker quiet(m_logs);
        if (overlays.size() >= kMostOverlays) {
            item->setCheckState(0, Qt::Unchecked);
            m_status->setText("At most eight past charges can be shown at a time.");
            return;
        }
        const QString path = item->data(0, kPathRole).toString();
        ChargeLogRead read = ReadChargeLogFile(QFile::encodeName(path).toStdString());
        if (!read.ok) {
            item->setCheckState(0, Qt::Unchecked);
            m_status->setText(
                QString("%1 cannot be shown: %2.")
                    .arg(QFileInfo(path).fileName(), QString::fromStdString(read.error)));
            return;
        }
        // Each past charge keeps a colour no other shown one has.
        QColor colour = kOverlayColours[0];
        for (const QColor& c : kOverlayColours) {
            if (std::none_of(overlays.begin(), overlays.end(),
                             [&](const GraphOverlay& o) { return o.colour == c; })) {
                colour = c;
                break;
            }
        }
        overlays.push_back({label, std::move(read.points), colour});
        m_status->setText(read.skippedLines == 0
                              ? QString()
                              : QString("%1: %2 line(s) could not be read and were skipped.")
                                    .arg(QFileInfo(path).fileName())
                                    .arg(read.skippedLines));
    }
    m_view->SetOverlays(std::move(overlays));
}

void CChargeGraphWnd::SavePicture() {
    const QString path = QFileDialog::getSaveFileName(this, "Save Picture", QDir::homePath(),
                                                      "PNG picture (*.png);;SVG drawing (*.svg)");
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
    if (v[2] >= minimumSizeHint().width() && v[3] >= 200 && v[2] <= 10000 && v[3] <= 10000) {
        setGeometry(v[0], v[1], v[2], v[3]);
    }
}

void CChargeGraphWnd::closeEvent(QCloseEvent* event) {
    // Closed by the user: not open next time.
    SaveState(false);
    QWidget::closeEvent(event);
}
