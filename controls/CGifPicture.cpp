#include "controls/CGifPicture.h"

#include <QFile>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>

#include "platform/Resources.h"

CGifPicture::CGifPicture(QWidget* parent) : QWidget(parent) {
    setFocusPolicy(Qt::StrongFocus);
    setAccessibleName("Status");
}

bool CGifPicture::Load(int resourceId, const char* type) {
    QFile file(ResourcePath(QString(type).toLower().toUtf8().constData(), resourceId));
    if (!file.open(QIODevice::ReadOnly)) {
        return false;
    }
    return LoadFromMemory(file.readAll());
}

bool CGifPicture::Load(const QString& fileName) {
    QFile file(fileName);
    if (!file.open(QIODevice::ReadOnly)) {
        return false;
    }
    return LoadFromMemory(file.readAll());
}

bool CGifPicture::LoadFromMemory(const QByteArray& data) {
    UnLoad();
    m_image = QImage::fromData(data);
    if (!m_image.isNull()) {
        resize(m_image.size());
    }
    return !m_image.isNull();
}

bool CGifPicture::Draw() {
    m_bDrawn = true;
    update();
    return true;
}

void CGifPicture::Stop() {}

void CGifPicture::UnLoad() {
    m_image = QImage();
    m_bDrawn = false;
    update();
}

void CGifPicture::paintEvent(QPaintEvent*) {
    if (m_bDrawn && !m_image.isNull()) {
        QPainter painter(this);
        painter.drawImage(0, 0, m_image);
    }
}

void CGifPicture::mouseReleaseEvent(QMouseEvent* event) {
    if (event->button() == Qt::LeftButton && rect().contains(event->position().toPoint())) {
        emit clicked();
    }
}

void CGifPicture::keyPressEvent(QKeyEvent* event) {
    if (event->key() == Qt::Key_Space || event->key() == Qt::Key_Return) {
        emit clicked();
        return;
    }
    QWidget::keyPressEvent(event);
}
