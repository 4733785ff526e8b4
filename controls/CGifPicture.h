#pragma once
// The status picture of the main window.

#include <QImage>
#include <QWidget>

class CGifPicture : public QWidget {
    Q_OBJECT
public:
    explicit CGifPicture(QWidget* parent = nullptr);

    bool Load(int resourceId, const char* type);
    bool Load(const QString& fileName);
    bool LoadFromMemory(const QByteArray& data);
    bool Draw();
    void Stop();
    void UnLoad();

    bool IsReady() const { return !m_image.isNull(); }

signals:
    void clicked();

protected:
    void paintEvent(QPaintEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

private:
    QImage m_image;
    bool m_bDrawn = false;
};
