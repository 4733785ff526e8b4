#pragma once
// The Charge Graph window: voltage and current of the running or last charge against time, where
// the end-of-charge test stands, and past charges from the CSV logs laid over it.

#include <QColor>
#include <QPointer>
#include <QWidget>
#include <vector>

#include "graph/ChargeCurve.h"

class QLabel;
class QTreeWidget;
class QTreeWidgetItem;
class QPainter;

// A past charge on the graph.
struct GraphOverlay {
    QString label;
    std::vector<CurvePoint> points;
    QColor colour;
};

// The drawing: axes, curves, the end test, the legend and the hover readout.
class ChargeGraphView : public QWidget {
    Q_OBJECT
public:
    explicit ChargeGraphView(const ChargeRecorder& recorder, QWidget* parent = nullptr);

    void SetOverlays(std::vector<GraphOverlay> overlays);
    const std::vector<GraphOverlay>& Overlays() const { return m_overlays; }

    // What the axes cover, and where the plot is, as last drawn.
    struct Axes {
        double fromSeconds = 0, toSeconds = 0;
        double lowVolts = 0, highVolts = 0;
        double lowAmps = 0, highAmps = 0;
        QRect plot;
    };
    Axes AxesFor(const QRect& area) const;

    // Draws the whole graph into any painter (the screen, a picture, an SVG file).
    void Draw(QPainter& painter, const QRect& area) const;
    // PNG, or SVG by the ".svg" ending. False when the file could not be written.
    // PNG, or SVG by the name; false with why (when asked for) when it could not be written.
    bool SaveImage(const QString& path, QString* why = nullptr) const;

    // The readout for the sample nearest the given time: "0:47:12  12.69 V  0.99 A".
    QString ReadoutAt(double seconds) const;

    static const QColor kVoltsColour;
    static const QColor kAmpsColour;

protected:
    void paintEvent(QPaintEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void leaveEvent(QEvent* event) override;

private:
    const ChargeRecorder& m_recorder;
    std::vector<GraphOverlay> m_overlays;
    int m_hoverX = -1;
};

class CChargeGraphWnd : public QWidget {
    Q_OBJECT
public:
    // logFolder: where the CSV logs are listed from.
    CChargeGraphWnd(const ChargeRecorder& recorder, const QString& logFolder,
                    QWidget* parent = nullptr);

    ChargeGraphView* View() const { return m_view; }
    QTreeWidget* LogList() const { return m_logs; }
    // What the window last had to say (a refused file, skipped lines, the overlay limit).
    QString Status() const;

    // Lists the logs in the folder again, keeping the ticks of those still there.
    void RefreshLogs();
    // Reads the newest data of the running charge (called each second).
    void Refresh();

    // The geometry and whether the window is open, in the profile under keys of its own.
    void SaveState(bool open) const;
    void RestoreGeometry();

    static constexpr int kMostOverlays = 8;

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    void OnLogTicked(QTreeWidgetItem* item);
    void SavePicture();

    const ChargeRecorder& m_recorder;
    QString m_strLogFolder;
    ChargeGraphView* m_view;
    QTreeWidget* m_logs;
    QLabel* m_status;
    uint64_t m_shownRevision = ~uint64_t{0};
    bool m_bShownRunning = false;
};

// The profile keys of the graph window (a section the charger's own keys never use).
inline constexpr const char* kGraphSection = "ChargeGraph";
