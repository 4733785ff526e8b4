#include "controls/CGifPicture.h"

#include <QBuffer>
#include <QFile>
#include <QImageReader>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <chrono>
#include <cstdio>

#include "controls/Accessibility.h"
#include "controls/ControlLooks.h"
#include "controls/GifWalker.h"
#include "platform/Resources.h"

namespace {
constexpr int kStopWaitMs = 5000;
constexpr int kDisposeBackground = 2;
constexpr int kDisposePrevious = 3;
constexpr double kMetersPerInch = 0.0254;

// Non-GIF pictures take their size from their own resolution, as many screen pixels as they
// measure at the screen's logical resolution.
int ScreenPixels(int pixels, int dotsPerMeter, int screenDpi) {
    double dpi = dotsPerMeter * kMetersPerInch;
    if (dpi <= 0 || screenDpi <= 0) {
        return pixels;
    }
    return static_cast<int>(pixels * screenDpi / dpi + 0.5);
}
}  // namespace

CGifPicture::CGifPicture(QWidget* parent) : QWidget(parent) {
    // Announced as what it is: a picture that works as a button (it opens the About box).
    InstallAccessibility();
    setFocusPolicy(Qt::StrongFocus);
    setAccessibleName("Status");
    setAccessibleDescription("Shows the state of the charge; press it for About KVC410.");
    setAttribute(Qt::WA_OpaquePaintEvent, false);
}

CGifPicture::~CGifPicture() {
    UnLoad();
}

namespace {
int64_t PictureBytes(int width, int height, int pictures) {
    return int64_t{4} * width * height * pictures;
}
}  // namespace

QImage CGifPicture::DecodeFrame(const std::vector<uint8_t>& bytes) {
    QByteArray data(reinterpret_cast<const char*>(bytes.data()),
                    static_cast<qsizetype>(bytes.size()));
    QBuffer buffer(&data);
    QImageReader reader(&buffer, "gif");
    return reader.read();
}

bool CGifPicture::Load(int resourceId, const char* type) {
    return Load(ResourcePath(QByteArray(type).toLower().constData(), resourceId));
}

bool CGifPicture::Load(const QString& fileName) {
    // A built-in picture has its twice-size art for a high-resolution screen; a file of the
    // user's is shown as it is.
    const QString twin = HighResolutionTwin(fileName, devicePixelRatioF());
    QFile file(twin.isEmpty() ? fileName : twin);
    if (!file.open(QIODevice::ReadOnly)) {
        return false;
    }
    QByteArray data = file.readAll();
    if (data.isEmpty()) {
        return false;
    }
    return LoadFromMemory(data, twin.isEmpty() ? 1.0 : 2.0);
}

bool CGifPicture::LoadFromMemory(const QByteArray& data, qreal scale) {
    UnLoad();
    m_dPictureScale = scale;
    const auto* bytes = reinterpret_cast<const uint8_t*>(data.constData());
    GifWalker walker(bytes, static_cast<size_t>(data.size()));
    if (!walker.IsGif()) {
        // A few bytes may claim a picture of gigabytes: ask its size before decoding.
        QBuffer buffer(const_cast<QByteArray*>(&data));
        QImageReader probe(&buffer);
        const QSize size = probe.size();
        if (size.isValid() && PictureBytes(size.width(), size.height(), 2) > kMemoryBudget) {
            return false;
        }
        m_pPicture = QImage::fromData(data);
        if (m_pPicture.isNull()) {
            return false;
        }
        m_nWidth = ScreenPixels(m_pPicture.width(), m_pPicture.dotsPerMeterX(), logicalDpiX());
        m_nHeight = ScreenPixels(m_pPicture.height(), m_pPicture.dotsPerMeterY(), logicalDpiY());
        return PrepareMemoryPicture(m_nWidth, m_nHeight);
    }
    m_bIsGif = true;
    m_nWidth = walker.ScreenWidth();
    m_nHeight = walker.ScreenHeight();
    const int graphics = walker.CountGraphics();
    if (graphics == 0) {
        return false;
    }
    // Every frame decodes onto the whole logical screen and is kept; the memory picture and the
    // area kept for disposal come on top. A 127-byte file can ask for gigabytes that way.
    if (PictureBytes(m_nWidth, m_nHeight, graphics + 2) > kMemoryBudget) {
        m_bIsGif = false;
        return false;
    }
    if (graphics == 1) {
        m_pPicture = QImage::fromData(data, "GIF");
        if (m_pPicture.isNull()) {
            return false;
        }
        return PrepareMemoryPicture(m_nWidth, m_nHeight);
    }
    walker.SetPosition(walker.FirstBlock());
    while (std::optional<GifFrameData> frame = walker.NextFrameData()) {
        QImage picture = DecodeFrame(frame->bytes);
        if (picture.isNull()) {
            continue;  // the other frames still play
        }
        // The decoder gives the frame on its whole logical screen; what is drawn at the frame's
        // place is the frame's own area.
        const QRect area(frame->x, frame->y, frame->cx, frame->cy);
        if (picture.size() != area.size() && picture.rect().contains(area)) {
            picture = picture.copy(area);
        }
        m_Frames.push_back(GifFrame{picture, frame->cx, frame->cy, frame->x, frame->y,
                                    frame->nDelay, frame->nDisposal});
    }
    if (m_Frames.empty()) {
        return false;
    }
    return PrepareMemoryPicture(m_nWidth, m_nHeight);
}

bool CGifPicture::PrepareMemoryPicture(int width, int height) {
    if (width <= 0 || height <= 0) {
        return false;
    }
    resize(qRound(width / m_dPictureScale), qRound(height / m_dPictureScale));
    m_crBackground = palette().color(QPalette::Button);
    std::lock_guard<std::mutex> lock(m_memoryLock);
    m_memory = QImage(width, height, QImage::Format_ARGB32_Premultiplied);
    m_memory.fill(palette().color(QPalette::Window));
    m_bReady = true;
    return true;
}

bool CGifPicture::Draw() {
    if (!m_bReady) {
        return false;
    }
    if (IsAnimated()) {
        if (!m_thread.joinable()) {
            m_bThreadDone = false;
            m_thread = std::thread(&CGifPicture::AnimationThread, this);
        }
        return false;
    }
    if (m_pPicture.isNull()) {
        return false;
    }
    {
        std::lock_guard<std::mutex> lock(m_memoryLock);
        QPainter painter(&m_memory);
        painter.drawImage(QRect(0, 0, m_nWidth, m_nHeight), m_pPicture);
    }
    update();
    return true;
}

void CGifPicture::RenderFrame(int index) {
    const GifFrame& f = m_Frames[static_cast<size_t>(index)];
    if (f.picture.isNull()) {
        return;
    }
    {
        std::lock_guard<std::mutex> lock(m_memoryLock);
        if (f.nDisposal == kDisposePrevious) {
            m_disposeArea = m_memory.copy(f.x, f.y, f.cx, f.cy);
        }
        QPainter painter(&m_memory);
        painter.drawImage(QRect(f.x, f.y, f.cx, f.cy), f.picture);
    }
    ScheduleRepaint();
}

void CGifPicture::DisposeFrame(int index) {
    if (index < 0 || index >= FrameCount()) {
        return;
    }
    const GifFrame& f = m_Frames[static_cast<size_t>(index)];
    std::lock_guard<std::mutex> lock(m_memoryLock);
    if (f.nDisposal == kDisposeBackground) {
        QPainter painter(&m_memory);
        painter.setCompositionMode(QPainter::CompositionMode_Source);
        painter.fillRect(QRect(f.x, f.y, f.cx, f.cy), m_crBackground);
    } else if (f.nDisposal == kDisposePrevious && !m_disposeArea.isNull()) {
        QPainter painter(&m_memory);
        painter.setCompositionMode(QPainter::CompositionMode_Source);
        painter.drawImage(f.x, f.y, m_disposeArea);
        m_disposeArea = QImage();
    }
}

void CGifPicture::AdvanceFrame() {
    int next = m_nCurrentFrame.load() + 1;
    if (next >= FrameCount()) {
        next = 0;
        std::lock_guard<std::mutex> lock(m_memoryLock);
        QPainter painter(&m_memory);
        painter.setCompositionMode(QPainter::CompositionMode_Source);
        painter.fillRect(QRect(0, 0, m_nWidth, m_nHeight), m_crBackground);
    }
    m_nCurrentFrame.store(next);
}

void CGifPicture::AnimationThread() {
    // A disposal left pending by an earlier Stop comes first.
    DisposeFrame(m_nCurrentFrame.load());
    while (!m_bExitThread.load()) {
        const int index = m_nCurrentFrame.load();
        RenderFrame(index);
        if (m_bExitThread.load()) {
            break;
        }
        {
            std::unique_lock<std::mutex> lock(m_exitLock);
            const auto wait = std::chrono::milliseconds(FrameWaitMilliseconds(Frame(index).nDelay));
            m_exitEvent.wait_for(lock, wait, [this] { return m_bExitSignalled; });
        }
        if (m_bExitThread.load()) {
            break;
        }
        DisposeFrame(index);
        AdvanceFrame();
    }
    std::lock_guard<std::mutex> lock(m_exitLock);
    m_bThreadDone = true;
    m_exitEvent.notify_all();
}

void CGifPicture::Stop() {
    m_bExitThread.store(true);
    {
        std::lock_guard<std::mutex> lock(m_exitLock);
        m_bExitSignalled = true;
    }
    m_exitEvent.notify_all();
    if (m_thread.joinable()) {
        std::unique_lock<std::mutex> lock(m_exitLock);
        if (!m_exitEvent.wait_for(lock, std::chrono::milliseconds(kStopWaitMs),
                                  [this] { return m_bThreadDone; })) {
            // The worker draws into this control's memory picture: going on without it would
            // let it use freed memory. Say so, and wait for it.
            std::fprintf(stderr, "KVC410: the status picture's animation is slow to stop\n");
        }
        lock.unlock();
        m_thread.join();
    }
    std::lock_guard<std::mutex> lock(m_exitLock);
    m_bExitSignalled = false;
    m_bExitThread.store(false);
}

void CGifPicture::UnLoad() {
    Stop();
    m_pPicture = QImage();
    m_Frames.clear();
    {
        std::lock_guard<std::mutex> lock(m_memoryLock);
        m_memory = QImage();
        m_disposeArea = QImage();
    }
    m_crBackground = Qt::white;
    m_nCurrentFrame.store(0);
    m_bIsGif = false;
    m_bReady = false;
    update();
}

QImage CGifPicture::MemoryPicture() const {
    std::lock_guard<std::mutex> lock(m_memoryLock);
    return m_memory.copy();
}

void CGifPicture::ScheduleRepaint() {
    // The worker may not touch the widget; the repaint is posted to the GUI thread.
    QMetaObject::invokeMethod(
        this, [this] { update(); }, Qt::QueuedConnection);
}

void CGifPicture::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    {
        std::lock_guard<std::mutex> lock(m_memoryLock);
        if (!m_memory.isNull()) {
            // Twice-size art fills the same place with twice the pixels.
            QImage shown = m_memory;
            shown.setDevicePixelRatio(m_dPictureScale);
            painter.drawImage(0, 0, shown);
        }
    }
    // A Tab stop shows when it has the focus, as the skinned buttons do.
    if (hasFocus()) {
        DrawFocusRim(painter, rect());
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
