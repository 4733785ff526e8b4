#pragma once
// An up-down control: two small arrow buttons beside a buddy edit. It writes its position into
// the edit as a decimal number, reads it back from there, and answers the arrow keys in the
// edit. The edit itself accepts any text.

#include <QWidget>

class QLineEdit;
class QToolButton;

class CUpDown : public QWidget {
    Q_OBJECT
public:
    explicit CUpDown(QWidget* parent = nullptr);

    void SetBuddy(QLineEdit* buddy, bool alignRight = false);
    QLineEdit* Buddy() const { return m_buddy; }
    void SetRange(int lower, int upper);
    // Moves to pos (kept in range) and writes it into the buddy.
    void SetPos(int pos);
    // The number in the buddy when it is a whole number in range; otherwise the last good
    // position and error set, so that a caller can tell a bad field from a good one.
    int GetPos(bool* error = nullptr) const;
    int Lower() const { return m_lower; }
    int Upper() const { return m_upper; }

    void StepBy(int delta);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    QLineEdit* m_buddy = nullptr;
    QToolButton* m_up;
    QToolButton* m_down;
    int m_lower = 0;
    int m_upper = 100;
    int m_pos = 0;
};
