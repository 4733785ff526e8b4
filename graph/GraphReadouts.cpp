// What the Charge Graph says in words: the readout at the pointer and between the cursors, the
// state line above the plot, and the description a screen reader gives of the plot; fitted to the
// window's width.

#include "graph/CChargeGraphWnd.h"

#include <QRegularExpression>
#include <algorithm>

#include "graph/GraphClock.h"

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
