#include "history/window/CPackHistoryWnd.h"

#include <qcustomplot.h>

#include <QBuffer>
#include <QComboBox>
#include <QFileDialog>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QPdfWriter>
#include <QPushButton>
#include <QSplitter>
#include <QTableWidget>
#include <QTimer>
#include <QVBoxLayout>

#include "charge/ChargeLogFile.h"
#include "controls/Accessibility.h"
#include "curves/GraphScale.h"
#include "platform/WriteFailure.h"

namespace {

constexpr int kIdRole = Qt::UserRole;
enum Column { kShow, kDate, kDuration, kMah, kPeak, kEnd, kKind, kEstimate, kColumns };

// A cell of text.
QTableWidgetItem* Cell(const QString& text) {
    auto* item = new QTableWidgetItem(text);
    item->setFlags(Qt::ItemIsEnabled | Qt::ItemIsSelectable);
    return item;
}

// A cell that sorts by its number, shown as text.
class NumberCell : public QTableWidgetItem {
public:
    NumberCell(const QString& text, double value) : m_value(value) {
        setText(text);
        setFlags(Qt::ItemIsEnabled | Qt::ItemIsSelectable);
        setTextAlignment(Qt::AlignRight | Qt::AlignVCenter);
    }
    bool operator<(const QTableWidgetItem& other) const override {
        const auto* number = dynamic_cast<const NumberCell*>(&other);
        return number != nullptr ? m_value < number->m_value : QTableWidgetItem::operator<(other);
    }

private:
    double m_value;
};

}  // namespace

QString DescribeHealth(const PackHealth& health) {
    if (health.estimates == 0 || health.referenceMah <= 0) {
        return "Health: not known yet. It is estimated from full charges that began with the "
               "pack nearly empty; top-ups, part charges and charges cut short do not count.";
    }
    return QString("Health: about %1 mAh (the median estimate of the last %2 full charges from "
                   "empty: charge put in \u00f7 %3), %4 % of %5 %6 mAh: %7.")
        .arg(health.medianMah, 0, 'f', 0)
        .arg(std::min(health.estimates, 5))
        .arg(health.chargeFactor, 0, 'f', 1)
        .arg(health.percent, 0, 'f', 0)
        .arg(health.againstRated ? "the rated" : "its best")
        .arg(health.referenceMah, 0, 'f', 0)
        .arg(health.worn ? "worn" : "good");
}

CPackHistoryWnd::CPackHistoryWnd(
    std::vector<Pack> packs, const QString& current,
    std::function<void(const QString&, const QString&, std::vector<CurvePoint>)> show,
    QWidget* parent)
    : QWidget(parent, Qt::Window),
      m_history(std::make_unique<ChargeHistory>()),
      m_packs(std::move(packs)),
      m_show(std::move(show)) {
    setWindowTitle("Pack History");
    setAccessibleName("Pack History");
    AnnounceAsWindow(this);
    m_chooser = new QComboBox(this);
    m_chooser->setAccessibleName("Pack");
    auto* chooserLabel = new QLabel("&Pack:", this);
    chooserLabel->setBuddy(m_chooser);
    m_health = new QLabel(this);
    m_health->setWordWrap(true);
    m_status = new QLabel(this);
    m_status->setWordWrap(true);
    auto* import = new QPushButton("&Import Charge Logs", this);
    auto* csv = new QPushButton("Export &CSV...", this);
    auto* report = new QPushButton("&Report (PDF)...", this);

    m_table = new QTableWidget(0, kColumns, this);
    m_table->setHorizontalHeaderLabels(
        {"Graph", "Date", "Duration", "mAh put in", "Peak V", "End", "Charge", "Capacity est."});
    m_table->setAccessibleName("Charges of the pack");
    m_table->verticalHeader()->hide();
    m_table->horizontalHeader()->setSectionResizeMode(kEstimate, QHeaderView::Stretch);
    m_table->setSelectionBehavior(QAbstractItemView::SelectRows);
    m_table->setSortingEnabled(true);
    m_table->setTabKeyNavigation(false);  // Tab leaves the table; the arrows move within it

    m_trend = new QCustomPlot(this);
    m_trend->setAccessibleName("Charge put in and estimated capacity of each charge over time");
    AnnounceAsGraphic(m_trend);
    m_trend->setMinimumHeight(180);
    m_trend->xAxis->setTicker(QSharedPointer<QCPAxisTickerDateTime>::create());
    static_cast<QCPAxisTickerDateTime*>(m_trend->xAxis->ticker().data())
        ->setDateTimeFormat("yyyy-MM-dd");
    m_trend->yAxis->setLabel("mAh");
    // The legend under the plot, off the points.
    m_trend->legend->setVisible(true);
    m_trend->axisRect()->insetLayout()->take(m_trend->legend);
    m_trend->plotLayout()->addElement(1, 0, m_trend->legend);
    m_trend->plotLayout()->setRowStretchFactor(1, 0.001);
    m_trend->legend->setFillOrder(QCPLayoutGrid::foColumnsFirst);
    m_trend->legend->setWrap(2);  // whole names, on two rows
    m_trend->legend->setBorderPen(Qt::NoPen);

    auto* top = new QHBoxLayout;
    top->addWidget(chooserLabel);
    top->addWidget(m_chooser, 1);
    top->addWidget(import);
    top->addWidget(csv);
    top->addWidget(report);
    auto* splitter = new QSplitter(Qt::Vertical, this);
    splitter->addWidget(m_table);
    splitter->addWidget(m_trend);
    splitter->handle(1)->setAccessibleName("Divider between the charges and their trend");
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(top);
    layout->addWidget(m_health);
    layout->addWidget(splitter, 1);
    layout->addWidget(m_status);
    resize(820, 600);

    connect(m_table, &QTableWidget::itemChanged, this, &CPackHistoryWnd::OnTicked);
    connect(m_chooser, &QComboBox::currentIndexChanged, this, &CPackHistoryWnd::Reload);
    connect(import, &QPushButton::clicked, this, [this] {
        QHash<QString, QString> ids;
        for (const Pack& p : m_packs) {
            ids.insert(p.name, p.packId);
        }
        ImportLogs(ChargeLogFolder(), ids);
    });
    // Both exports: a file chosen, written, and what came of it said under the table.
    auto exportTo = [this](const QString& title, const QString& filter,
                           bool (CPackHistoryWnd::*write)(const QString&, QString*)) {
        // A name from the pack and the day, with the format's extension.
        const QString extension = filter.section("*.", 1).section(')', 0, 0);
        QString proposed = QString("%1 %2 %3.%4")
                               .arg(m_chooser->currentText(),
                                    extension == "csv" ? "history" : "report",
                                    QDate::currentDate().toString(Qt::ISODate), extension);
        proposed = FileNameSafe(proposed);
        QString chosen;
        const QString path = WithChosenExtension(
            QFileDialog::getSaveFileName(this, title, QDir::home().filePath(proposed), filter,
                                         &chosen),
            chosen);
        QString why;
        if (!path.isEmpty()) {
            m_status->setText(
                (this->*write)(path, &why)
                    ? QString("Saved \"%1\".").arg(path)
                    : QString("\"%1\" could not be written, because %2").arg(path, why));
        }
    };
    connect(csv, &QPushButton::clicked, this,
            [=] { exportTo("Export CSV", "CSV file (*.csv)", &CPackHistoryWnd::ExportCsv); });
    connect(report, &QPushButton::clicked, this,
            [=] { exportTo("Report", "PDF page (*.pdf)", &CPackHistoryWnd::ExportReport); });

    if (m_history->Open() != ChargeHistory::State::Writable) {
        m_status->setText(m_history->Problem());
    }
    FillChooser(current);
    Reload();
    m_stamp = m_history->ChangeStamp();
    // A charge that ends in another window or a terminal appears while the window is open.
    auto* watch = new QTimer(this);
    connect(watch, &QTimer::timeout, this, &CPackHistoryWnd::CatchUp);
    watch->start(kWatchMilliseconds);
}

CPackHistoryWnd::~CPackHistoryWnd() = default;

void CPackHistoryWnd::SetShown(const QSet<qint64>& ids) {
    m_ticked = ids;
    QSignalBlocker quiet(m_table);
    for (int row = 0; row < m_table->rowCount(); ++row) {
        QTableWidgetItem* box = m_table->item(row, kShow);
        const Qt::CheckState state =
            ids.contains(box->data(kIdRole).toLongLong()) ? Qt::Checked : Qt::Unchecked;
        if (box->checkState() != state) {
            box->setCheckState(state);
        }
    }
}

void CPackHistoryWnd::CatchUp() {
    const qint64 stamp = m_history->ChangeStamp();
    if (stamp == m_stamp) {
        return;
    }
    m_stamp = stamp;
    FillChooser(m_chooser->currentText());
    Reload();
}

void CPackHistoryWnd::keyPressEvent(QKeyEvent* event) {
    if (IsCloseWindowKey(event)) {
        close();
        return;
    }
    QWidget::keyPressEvent(event);
}

QString CPackHistoryWnd::HealthText() const {
    return m_health->text();
}

QString CPackHistoryWnd::Status() const {
    return m_status->text();
}

void CPackHistoryWnd::FillChooser(const QString& current) {
    // The profile's packs first, then what only the history knows (deleted or renamed-away
    // packs, charges of no pack).
    for (const ChargeHistory::PackEntry& entry : m_history->Packs()) {
        const bool known = std::any_of(m_packs.begin(), m_packs.end(), [&](const Pack& p) {
            return entry.packId.isEmpty() ? p.packId.isEmpty() && p.name == entry.name
                                          : p.packId == entry.packId;
        });
        if (!known) {
            m_packs.push_back({entry.packId, entry.name, 0});
        }
    }
    QSignalBlocker quiet(m_chooser);
    m_chooser->clear();
    for (const Pack& p : m_packs) {
        m_chooser->addItem(p.name);
    }
    const int at = m_chooser->findText(current);
    m_chooser->setCurrentIndex(at >= 0 ? at : 0);
}

const CPackHistoryWnd::Pack* CPackHistoryWnd::Chosen() const {
    const int at = m_chooser->currentIndex();
    return at >= 0 && at < int(m_packs.size()) ? &m_packs[size_t(at)] : nullptr;
}

void CPackHistoryWnd::Reload() {
    const Pack* pack = Chosen();
    m_charges = pack != nullptr ? m_history->Charges(pack->packId, pack->name, false)
                                : std::vector<HistoryCharge>{};
    QSignalBlocker quiet(m_table);
    m_table->setSortingEnabled(false);
    m_table->setRowCount(int(m_charges.size()));
    // Newest first.
    for (int row = 0; row < int(m_charges.size()); ++row) {
        const HistoryCharge& c = m_charges[m_charges.size() - 1 - size_t(row)];
        auto* show = new QTableWidgetItem();
        show->setFlags(Qt::ItemIsEnabled | Qt::ItemIsUserCheckable | Qt::ItemIsSelectable);
        show->setCheckState(m_ticked.contains(c.id) ? Qt::Checked : Qt::Unchecked);
        show->setData(kIdRole, c.id);
        show->setData(Qt::AccessibleTextRole, QString("Show on the Charge Graph"));
        m_table->setItem(row, kShow, show);
        m_table->setItem(row, kDate, Cell(ChargeTimeText(c.started)));
        m_table->setItem(
            row, kDuration,
            new NumberCell(QString::fromStdString(ClockText(c.seconds, true)), c.seconds));
        m_table->setItem(row, kMah, new NumberCell(QString::number(c.mah, 'f', 0), c.mah));
        m_table->setItem(row, kPeak,
                         new NumberCell(QString::number(c.peakVolts, 'f', 2), c.peakVolts));
        m_table->setItem(row, kEnd, Cell(c.endReason));
        const ChargeReading reading = ReadCharge(c);
        m_table->setItem(row, kKind, Cell(ChargeKindText(c, reading)));
        m_table->setItem(row, kEstimate,
                         reading.capacityMah > 0
                             ? new NumberCell(QString::number(reading.capacityMah, 'f', 0),
                                              reading.capacityMah)
                             : new NumberCell(QString(), 0));
    }
    m_table->setSortingEnabled(true);
    m_table->sortItems(kDate, Qt::DescendingOrder);
    m_table->resizeColumnsToContents();
    m_health->setText(pack != nullptr ? DescribeHealth(JudgeHealth(m_charges, pack->ratedMah))
                                      : QString());
    // What the trend shows, for whoever cannot see it.
    m_trend->setAccessibleDescription(
        m_charges.empty()
            ? QString("No charges.")
            : QString("%1 charge(s) from %2 to %3. %4")
                  .arg(m_charges.size())
                  .arg(ChargeTimeText(m_charges.front().started), ChargeTimeText(m_charges.back().started),
                       m_health->text()));
    DrawTrend();
    // A ticked charge that is gone from the history (an import replaced it with its log's
    // whole record) is taken off the graph too.
    for (const qint64 id : QSet<qint64>(m_ticked)) {
        const bool listed = std::any_of(m_charges.begin(), m_charges.end(),
                                        [&](const HistoryCharge& c) { return c.id == id; });
        if (!listed && !m_history->Charge(id)) {
            m_ticked.remove(id);
            if (m_show) {
                m_show(QString("history:%1").arg(id), QString(), {});
            }
        }
    }
}

void CPackHistoryWnd::DrawTrend() {
    m_trend->clearGraphs();
    m_trend->clearItems();
    // The estimates are what the health is judged by; the charge put in is shown for every
    // charge, filled where it was a full charge.
    QCPGraph* estimate = m_trend->addGraph();
    estimate->setName("capacity estimate (full charge from empty)");
    estimate->setLineStyle(QCPGraph::lsLine);
    estimate->setPen(QPen(QColor(0, 60, 160), 1.5));
    estimate->setScatterStyle(QCPScatterStyle(QCPScatterStyle::ssDisc, QColor(0, 60, 160), 7));
    QCPGraph* full = m_trend->addGraph();
    full->setName("put in, full charge");
    full->setLineStyle(QCPGraph::lsNone);
    full->setScatterStyle(QCPScatterStyle(QCPScatterStyle::ssSquare, QColor(0, 130, 60), 6));
    QCPGraph* other = m_trend->addGraph();
    other->setName("put in, cut short or not known");
    other->setLineStyle(QCPGraph::lsNone);
    other->setScatterStyle(QCPScatterStyle(QCPScatterStyle::ssCross, QColor(110, 110, 110), 7));
    double low = 0, high = 100, first = 0, last = 0;
    for (const HistoryCharge& c : m_charges) {
        const double t = double(c.started.toSecsSinceEpoch());
        const ChargeReading reading = ReadCharge(c);
        (reading.endedFull ? full : other)->addData(t, c.mah);
        if (reading.capacityMah > 0) {
            estimate->addData(t, reading.capacityMah);
        }
        high = std::max(high, c.mah);
        first = first == 0 ? t : std::min(first, t);
        last = std::max(last, t);
    }
    const Pack* pack = Chosen();
    if (pack != nullptr && pack->ratedMah > 0) {
        QCPGraph* rated = m_trend->addGraph();
        rated->setName(QString("rated %1 mAh").arg(pack->ratedMah, 0, 'f', 0));
        rated->setPen(QPen(QColor(200, 0, 0), 1, Qt::DashLine));
        const double pad = std::max(86400.0, (last - first) * 0.05);
        rated->setData({first - pad, last + pad}, {pack->ratedMah, pack->ratedMah});
        high = std::max(high, pack->ratedMah);
    }
    const double pad = std::max(86400.0, (last - first) * 0.05);
    m_trend->xAxis->setRange(first - pad, last + pad);
    m_trend->yAxis->setRange(low, high * 1.15);
    m_trend->replot();
}

void CPackHistoryWnd::OnTicked(QTableWidgetItem* item) {
    if (item->column() != kShow || !m_show) {
        return;
    }
    const qint64 id = item->data(kIdRole).toLongLong();
    const QString key = QString("history:%1").arg(id);
    if (item->checkState() != Qt::Checked) {
        m_ticked.remove(id);
        m_show(key, QString(), {});
        return;
    }
    const std::optional<HistoryCharge> charge = m_history->Charge(id);
    if (!charge) {
        return;
    }
    m_ticked.insert(id);
    m_show(key, QString("%1 %2").arg(charge->packName, ChargeTimeText(charge->started)), charge->curve);
}

void CPackHistoryWnd::ImportLogs(const QString& folder, const QHash<QString, QString>& packIds) {
    int refused = 0;
    const int taken = m_history->ImportLogs(
        folder, [&](const QString& name) { return packIds.value(name); }, &refused);
    m_status->setText(
        QString("%1 log(s) taken in%2.")
            .arg(taken)
            .arg(refused > 0 ? QString(", %1 could not be read").arg(refused) : QString()));
    if (!m_history->Problem().isEmpty()) {
        m_status->setText(m_history->Problem());
    }
    const QString current = m_chooser->currentText();
    FillChooser(current);
    Reload();
}

std::vector<qint64> CPackHistoryWnd::ReportCharges() const {
    std::vector<qint64> ids;
    for (int row = 0; row < m_table->rowCount(); ++row) {
        if (m_table->item(row, kShow)->checkState() == Qt::Checked) {
            ids.push_back(m_table->item(row, kShow)->data(kIdRole).toLongLong());
        }
    }
    if (!ids.empty()) {
        return ids;
    }
    for (size_t i = m_charges.size(); i-- > 0 && ids.size() < 5;) {
        ids.push_back(m_charges[i].id);
    }
    return ids;
}

bool CPackHistoryWnd::ExportCsv(const QString& path, QString* why) {
    QByteArray text = "Pack, Started, Ended, Duration, mAh, Peak V, Average A, End, Charge, "
                      "Capacity estimate\r\n";
    for (const HistoryCharge& c : m_charges) {
        QString reason = c.endReason;
        reason.replace(',', ' ');
        QString pack = c.packName;
        pack.replace(',', ' ');  // a comma would make it two fields
        const ChargeReading reading = ReadCharge(c);
        text += QString("%1, %2, %3, %4, %5, %6, %7, %8, %9, %10\r\n")
                    .arg(pack, c.started.toString(Qt::ISODate), c.ended.toString(Qt::ISODate),
                         QString::fromStdString(ClockText(c.seconds, true)))
                    .arg(c.mah, 0, 'f', 1)
                    .arg(c.peakVolts, 0, 'f', 2)
                    .arg(c.averageAmps, 0, 'f', 3)
                    .arg(reason, ChargeKindText(c, reading),
                         reading.capacityMah > 0 ? QString::number(reading.capacityMah, 'f', 0)
                                                 : QString())
                    .toUtf8();
    }
    QString reason;
    const bool written = WriteFileAtomically(path, text, reason);
    if (why != nullptr) {
        *why = reason;
    }
    return written;
}

bool CPackHistoryWnd::ExportReport(const QString& path, QString* why) {
    QBuffer buffer;
    buffer.open(QIODevice::WriteOnly);
    {
        QPdfWriter pdf(&buffer);
        pdf.setTitle("Pack history");
        pdf.setCreator("KVC410");
        pdf.setPageSize(QPageSize(QPageSize::A4));
        pdf.setPageMargins(QMarginsF(12, 12, 12, 12), QPageLayout::Millimeter);
        pdf.setResolution(96);
        QCPPainter painter;
        if (!painter.begin(&pdf)) {
            return false;
        }
        const QRect page = painter.viewport();
        QFont heading = font();
        heading.setPointSizeF(heading.pointSizeF() * 1.4);
        heading.setBold(true);
        painter.setFont(heading);
        const QFontMetrics hm(heading);
        int y = hm.ascent();
        painter.drawText(0, y, "Pack history: " + m_chooser->currentText());
        y += hm.height();
        painter.setFont(font());
        const QFontMetrics fm(font());
        painter.drawText(QRect(0, y, page.width(), fm.height() * 2), Qt::TextWordWrap,
                         m_health->text());
        y += fm.height() * 2 + 4;

        // The curves: the charges ticked for the graph, else the last five.
        QCustomPlot curves;
        curves.resize(page.width(), page.height() / 3);
        curves.xAxis->setLabel("Time (h:mm)");
        curves.yAxis->setLabel("Volts");
        curves.legend->setVisible(true);
        curves.legend->setFont(font());
        // The legend under the plot, off the curves (in a corner it covered the peak).
        curves.axisRect()->insetLayout()->take(curves.legend);
        curves.plotLayout()->addElement(1, 0, curves.legend);
        curves.plotLayout()->setRowStretchFactor(1, 0.001);
        curves.legend->setFillOrder(QCPLayoutGrid::foColumnsFirst);
        curves.legend->setWrap(3);
        curves.legend->setBorderPen(Qt::NoPen);
        const std::vector<qint64> ids = ReportCharges();
        const QColor colours[] = {QColor(0, 60, 160), QColor(0, 150, 60), QColor(170, 0, 120),
                                  QColor(130, 90, 0), QColor(0, 150, 170)};
        double longest = 60;
        for (size_t i = 0; i < ids.size(); ++i) {
            const std::optional<HistoryCharge> c = m_history->Charge(ids[i]);
            if (!c) {
                continue;
            }
            QCPGraph* g = curves.addGraph();
            g->setName(ChargeTimeText(c->started));
            g->setPen(QPen(colours[i % 5], 1));
            const std::vector<CurvePoint> thin = Envelope(c->curve, 2000);
            for (const CurvePoint& p : thin) {
                g->addData(p.seconds, p.volts);
            }
            longest = std::max(longest, double(c->seconds));
        }
        curves.rescaleAxes();
        curves.xAxis->setRange(0, longest);
        // The Charge Graph's ticks: 1, 2, 5 × 10^n volts, and its steps of time.
        auto ticksOf = [](const AxisTicks& ticks) {
            auto ticker = QSharedPointer<QCPAxisTickerText>::create();
            for (size_t i = 0; i < ticks.values.size(); ++i) {
                ticker->addTick(ticks.values[i], QString::fromStdString(ticks.labels[i]));
            }
            return ticker;
        };
        curves.xAxis->setTicker(ticksOf(TimeTicks(0, longest, 8)));
        const QCPRange fitted = curves.yAxis->range();
        const double margin = std::max(0.05, fitted.size() * 0.05);
        const QCPRange volts(fitted.lower - margin, fitted.upper + margin);
        curves.yAxis->setRange(volts);
        curves.yAxis->setTicker(ticksOf(ValueTicks(volts.lower, volts.upper, 6)));
        painter.save();
        painter.translate(0, y);
        curves.toPainter(&painter, page.width(), page.height() / 3);
        painter.restore();
        y += page.height() / 3 + 8;

        painter.save();
        painter.translate(0, y);
        m_trend->toPainter(&painter, page.width(), page.height() / 4);
        painter.restore();
        y += page.height() / 4 + 8;

        // The table, newest first, as far as the page goes.
        const int columns[] = {0, 130, 200, 270, 330, 480, 580};
        const char* heads[] = {"Date", "Duration", "mAh in", "Peak V", "End", "Charge", "Est. mAh"};
        constexpr int kReportColumns = 7;
        QFont bold = font();
        bold.setBold(true);
        painter.setFont(bold);
        for (int i = 0; i < kReportColumns; ++i) {
            painter.drawText(columns[i], y + fm.ascent(), heads[i]);
        }
        y += fm.height();
        painter.setFont(font());
        for (size_t i = m_charges.size(); i-- > 0 && y + fm.height() < page.height();) {
            const HistoryCharge& c = m_charges[i];
            const ChargeReading reading = ReadCharge(c);
            const QString cells[] = {
                ChargeTimeText(c.started),
                QString::fromStdString(ClockText(c.seconds, true)),
                QString::number(c.mah, 'f', 0),
                QString::number(c.peakVolts, 'f', 2),
                c.endReason,
                ChargeKindText(c, reading),
                reading.capacityMah > 0 ? QString::number(reading.capacityMah, 'f', 0) : QString()};
            for (int k = 0; k < kReportColumns; ++k) {
                painter.drawText(columns[k], y + fm.ascent(), cells[k]);
            }
            y += fm.height();
        }
        painter.end();
    }
    QString reason;
    const bool written =
        !buffer.data().isEmpty() && WriteFileAtomically(path, buffer.data(), reason);
    if (why != nullptr) {
        *why = reason;
    }
    return written;
}
