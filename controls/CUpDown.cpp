#include "controls/CUpDown.h"

#include <QKeyEvent>
#include <QLineEdit>
#include <QToolButton>

#include "controls/DataExchange.h"

CUpDown::CUpDown(QWidget* parent)
    : QWidget(parent), m_up(new QToolButton(this)), m_down(new QToolButton(this)) {
    m_up->setArrowType(Qt::UpArrow);
    m_down->setArrowType(Qt::DownArrow);
    m_up->setAccessibleName("Increase");
    m_down->setAccessibleName("Decrease");
    // The buddy edit has the keyboard; its arrow keys do what these buttons do.
    m_up->setFocusPolicy(Qt::NoFocus);
    m_down->setFocusPolicy(Qt::NoFocus);
    m_up->setAutoRepeat(true);
    m_down->setAutoRepeat(true);
    connect(m_up, &QToolButton::clicked, this, [this] { StepBy(1); });
    connect(m_down, &QToolButton::clicked, this, [this] { StepBy(-1); });
}

void CUpDown::SetBuddy(QLineEdit* buddy, bool alignRight) {
    m_buddy = buddy;
    m_buddy->installEventFilter(this);
    if (alignRight) {
        // The arrows take the right end of the edit, which gives up that much of its width.
        QRect edit = buddy->geometry();
        int arrows = width();
        buddy->setGeometry(edit.x(), edit.y(), edit.width() - arrows, edit.height());
        setGeometry(edit.right() + 1 - arrows, edit.y(), arrows, edit.height());
    }
}

void CUpDown::SetRange(int lower, int upper) {
    m_lower = lower;
    m_upper = upper;
}

void CUpDown::SetPos(int pos) {
    int lo = std::min(m_lower, m_upper);
    int hi = std::max(m_lower, m_upper);
    m_pos = std::clamp(pos, lo, hi);
    if (m_buddy != nullptr) {
        m_buddy->setText(QString::number(m_pos));
    }
}

int CUpDown::GetPos(bool* error) const {
    int value = 0;
    bool bad = m_buddy == nullptr || !ParseWholeNumber(m_buddy->text(), value) ||
               value < std::min(m_lower, m_upper) || value > std::max(m_lower, m_upper);
    if (error != nullptr) {
        *error = bad;
    }
    return bad ? m_pos : value;
}

void CUpDown::StepBy(int delta) {
    SetPos(GetPos() + delta);
}

bool CUpDown::eventFilter(QObject* watched, QEvent* event) {
    if (watched == m_buddy && event->type() == QEvent::KeyPress) {
        auto* key = static_cast<QKeyEvent*>(event);
        if (key->key() == Qt::Key_Up || key->key() == Qt::Key_Down) {
            StepBy(key->key() == Qt::Key_Up ? 1 : -1);
            return true;
        }
    }
    return QWidget::eventFilter(watched, event);
}

void CUpDown::resizeEvent(QResizeEvent*) {
    int half = height() / 2;
    m_up->setGeometry(0, 0, width(), half);
    m_down->setGeometry(0, half, width(), height() - half);
}
