#pragma once
// The status picture: shows one picture from a resource, a file or memory, and animates a GIF
// of several frames on a worker thread of its own. The worker composes the frames into a memory
// picture, following each frame's delay and disposal method; painting copies that picture. A
// mutex guards it, so a repaint never shows a half-rendered frame.

#include <QImage>
#include <QWidget>
#include <atomic>
#include <condition_variable>
#include <mutex>
#include <thread>
#include <vector>

class CGifPicture : public QWidget {
    Q_OBJECT
public:
    struct GifFrame {
        QImage picture;
        int cx = 0, cy = 0, x = 0, y = 0;
        uint32_t nDelay = 0;
        int nDisposal = 0;
    };

    explicit CGifPicture(QWidget* parent = nullptr);
    ~CGifPicture() override;

    bool Load(int resourceId, const char* type);
    bool Load(const QString& fileName);
    // Refuses a picture whose decoded frames together would take more than kMemoryBudget bytes.
    // scale 2: the data is twice-size art, shown at half its pixel size.
    bool LoadFromMemory(const QByteArray& data, qreal scale = 1.0);
    static constexpr int64_t kMemoryBudget = int64_t{64} << 20;
    // Renders a still picture, or starts the animation (then returns false, as it always did).
    bool Draw();
    // Ends the animation; a later Draw goes on from the frame it stopped at.
    void Stop();
    void UnLoad();

    bool IsReady() const { return m_bReady; }
    bool IsGif() const { return m_bIsGif; }
    bool IsAnimated() const { return m_bIsGif && m_Frames.size() > 1; }
    bool IsAnimating() const { return m_thread.joinable(); }
    int FrameCount() const { return static_cast<int>(m_Frames.size()); }
    const GifFrame& Frame(int index) const { return m_Frames[static_cast<size_t>(index)]; }
    int CurrentFrame() const { return m_nCurrentFrame.load(); }
    QSize PictureSize() const { return QSize(m_nWidth, m_nHeight); }
    // 2 while twice-size art is shown.
    qreal PictureScale() const { return m_dPictureScale; }
    QImage MemoryPicture() const;
    QColor Background() const { return m_crBackground; }

    // One step of the animation as the worker takes it; tests call them without the worker.
    void RenderFrame(int index);
    void DisposeFrame(int index);
    void AdvanceFrame();

    // The stand-alone GIF data of one frame, decoded; null when it does not decode.
    static QImage DecodeFrame(const std::vector<uint8_t>& bytes);

signals:
    void clicked();

protected:
    void paintEvent(QPaintEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

private:
    bool PrepareMemoryPicture(int width, int height);
    void AnimationThread();
    void ScheduleRepaint();

    int m_nWidth = 0;
    int m_nHeight = 0;
    qreal m_dPictureScale = 1.0;
    QColor m_crBackground = Qt::white;
    std::atomic<int> m_nCurrentFrame{0};
    bool m_bIsGif = false;
    bool m_bReady = false;
    QImage m_pPicture;  // the single picture of a still GIF or other data
    std::vector<GifFrame> m_Frames;

    mutable std::mutex m_memoryLock;
    QImage m_memory;
    QImage m_disposeArea;  // what lay under a frame with disposal method 3

    std::thread m_thread;
    std::atomic<bool> m_bExitThread{false};
    std::mutex m_exitLock;
    std::condition_variable m_exitEvent;
    bool m_bExitSignalled = false;
    bool m_bThreadDone = false;
};
