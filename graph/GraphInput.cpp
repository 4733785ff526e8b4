// The Charge Graph under the mouse and the keyboard: zoom and pan of time and voltage, the
// cursors placed and moved, the rubber band.

#include "graph/CChargeGraphWnd.h"

#include <QApplication>
#include <QMouseEvent>
#include <QRubberBand>
#include <algorithm>
#include <cmath>

#include "controls/Accessibility.h"

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
