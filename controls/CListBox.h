#pragma once
// A sorted single-selection list box. Its selection notification (selChange) comes from every
// selection the user makes (mouse, a click on the entry already selected included, keyboard,
// assistive technology) and never from the program's own calls.

#include <QListWidget>

class CListBox : public QListWidget {
    Q_OBJECT
public:
    explicit CListBox(QWidget* parent = nullptr);

    // Adds in sorted place: alphabetical without regard to case, names equal but for case in
    // byte order, after equal names. Returns the position.
    int AddString(const QString& text);
    bool DeleteString(int index);
    void ResetContent();
    // -1 or a position past the end selects nothing.
    void SetCurSel(int index);
    int GetCurSel() const;
    int GetCount() const { return count(); }
    QString GetText(int index) const;

    // The entry is too long for the list and shows cut with "…" (its tooltip shows it whole).
    bool IsElided(int index) const;

    static bool SortsBefore(const QString& a, const QString& b);

signals:
    void selChange();

protected:
    bool viewportEvent(QEvent* event) override;
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;

private:
    bool m_bProgramSelecting = false;
    bool m_bSwallowRelease = false;
};
