#include "controls/CListBox.h"

#include <QMouseEvent>

CListBox::CListBox(QWidget* parent) : QListWidget(parent) {
    setSelectionMode(QAbstractItemView::SingleSelection);
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
