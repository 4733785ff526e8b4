// The Charge Graph as a picture: PNG, SVG and PDF, with the charge's figures written in and a
// file name proposed from the charge.

#include "graph/CChargeGraphWnd.h"

#include <QBuffer>
#include <QPdfWriter>
#include <QSvgGenerator>
#include <algorithm>

#include "graph/GraphClock.h"
#include "platform/WriteFailure.h"

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
