#include "controls/CListBox.h"

#include <QHelpEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QStyledItemDelegate>
#include <QToolTip>

#include "controls/ControlLooks.h"

namespace {
// Entries never ask for more width than the list shows, so a long name is cut with "…" where
// the list ends instead of growing a horizontal scroll bar.
class FittingDelegate : public QStyledItemDelegate {
public:
    explicit FittingDelegate(QListWidget* list) : QStyledItemDelegate(list), m_list(list) {}

    QSize sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const override {
        QSize size = QStyledItemDelegate::sizeHint(option, index);
        size.setWidth(std::min(size.width(), m_list->viewport()->width()));
        return size;
    }

private:
    QListWidget* m_list;
};
}  // namespace

CListBox::CListBox(QWidget* parent) : QListWidget(parent) {
    setSelectionMode(QAbstractItemView::SingleSelection);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    setTextElideMode(Qt::ElideRight);
    setItemDelegate(new FittingDelegate(this));
    connect(this, &QListWidget::itemSelectionChanged, this, [this] {
        if (!m_bProgramSelecting) {
            emit selChange();
        }
    });
}

bool CListBox::SortsBefore(const QString& a, const QString& b) {
    int folded = QString::compare(a.toCaseFolded(), b.toCaseFolded(), Qt::CaseSensitive);
    if (folded != 0) {
        return folded < 0;
    }
    return a.toUtf8() < b.toUtf8();
}

int CListBox::AddString(const QString& text) {
    int row = 0;
    while (row < count() && !SortsBefore(text, item(row)->text())) {
        ++row;
    }
    m_bProgramSelecting = true;
    insertItem(row, text);
    m_bProgramSelecting = false;
    return row;
}

bool CListBox::DeleteString(int index) {
    if (index < 0 || index >= count()) {
        return false;
    }
    m_bProgramSelecting = true;
    delete takeItem(index);
    m_bProgramSelecting = false;
    return true;
}

void CListBox::ResetContent() {
    m_bProgramSelecting = true;
    clear();
    m_bProgramSelecting = false;
}

void CListBox::SetCurSel(int index) {
    m_bProgramSelecting = true;
    if (index >= 0 && index < count()) {
        setCurrentRow(index);
    } else {
        clearSelection();
        setCurrentItem(nullptr);
    }
    m_bProgramSelecting = false;
}

int CListBox::GetCurSel() const {
    QList<QListWidgetItem*> selected = selectedItems();
    return selected.isEmpty() ? -1 : row(selected.first());
}

QString CListBox::GetText(int index) const {
    QListWidgetItem* it = item(index);
    return it ? it->text() : QString();
}

void CListBox::mousePressEvent(QMouseEvent* event) {
    // A click on the entry that is already selected changes no selection, but it is a
    // selection the user made all the same. It is taken whole here, so that the view does not
    // select the entry again when the button comes up.
    QListWidgetItem* hit = itemAt(event->position().toPoint());
    if (event->button() == Qt::LeftButton && hit != nullptr && row(hit) == GetCurSel()) {
        setFocus(Qt::MouseFocusReason);
        m_bSwallowRelease = true;
        event->accept();
        emit selChange();
        return;
    }
    QListWidget::mousePressEvent(event);
}

void CListBox::mouseReleaseEvent(QMouseEvent* event) {
    if (m_bSwallowRelease) {
        m_bSwallowRelease = false;
        event->accept();
        return;
    }
    QListWidget::mouseReleaseEvent(event);
}

bool CListBox::IsElided(int index) const {
    QListWidgetItem* it = item(index);
    if (it == nullptr) {
        return false;
    }
    QStyleOptionViewItem option;
    initViewItemOption(&option);
    // The width the entry would take uncapped, against the width the list gives it.
    const QStyledItemDelegate uncapped;
    return uncapped.sizeHint(option, indexFromItem(it)).width() > viewport()->width();
}

bool CListBox::viewportEvent(QEvent* event) {
    if (event->type() == QEvent::ToolTip) {
        // A name cut short shows whole in its tooltip.
        auto* help = static_cast<QHelpEvent*>(event);
        QListWidgetItem* hit = itemAt(help->pos());
        if (hit != nullptr && IsElided(row(hit))) {
            QToolTip::showText(help->globalPos(), hit->text(), viewport(), visualItemRect(hit));
        } else {
            QToolTip::hideText();
            event->ignore();
        }
        return true;
    }
    return QListWidget::viewportEvent(event);
}

void CListBox::paintEvent(QPaintEvent* event) {
    QListWidget::paintEvent(event);
    // With nothing selected there is no highlighted entry to show the focus; the list shows it.
    if (hasFocus() && GetCurSel() < 0) {
        QPainter painter(viewport());
        DrawFocusRim(painter, viewport()->rect(), 3);
    }
}
