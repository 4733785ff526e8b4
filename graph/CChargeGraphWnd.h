#pragma once
// The Charge Graph window: voltage and current of the running or last charge against time, where
// the end-of-charge test stands, and past charges from the CSV logs laid over it. The plot zooms
// and pans in time, and two cursors read the time, voltage and charge between them.
//
// The plot (ChargeGraphView) is set up, ranged and zoomed in ChargeGraphView.cpp, speaks in words
// in GraphReadouts.cpp, answers the mouse and keys in GraphInput.cpp and is saved as a picture in
// GraphExports.cpp; the window (CChargeGraphWnd) is CChargeGraphWnd.cpp, and its list of past
// charges PastCharges.cpp.

#include <QSet>
#include <map>

#include <qcustomplot.h>

#include <QColor>
#include <QPointer>
#include <QWidget>
#include <optional>
#include <vector>

#include "curves/ChargeCurve.h"
#include "curves/ChargeLogReader.h"
#include "curves/GraphScale.h"

class QLabel;
class QRubberBand;
class QTreeWidget;
class QTreeWidgetItem;

// A past charge on the graph.
struct GraphOverlay {
    QString label;
    QString path;  // the log it was read from
    std::vector<CurvePoint> points;
    QColor colour;  // given by SetOverlays (see OverlayColours)
    // Its envelope in CChargeGraphWnd::kEnvelopeStretches stretches (see Envelope); empty: none.
    std::vector<CurvePoint> envelope;
};

// The plot: axes, curves, the end test's lines, the legend, the cursors and the readout.
class QCPPainter;

class ChargeGraphView : public QCustomPlot {
    Q_OBJECT
public:
    explicit ChargeGraphView(const ChargeRecorder& recorder, QWidget* parent = nullptr);

    // Shows these past charges, each in the colour its path gives it.
    void SetOverlays(std::vector<GraphOverlay> overlays);
    const std::vector<GraphOverlay>& Overlays() const { return m_overlays; }
    // Hands the past charges over without copying them; SetOverlays gives them back.
    std::vector<GraphOverlay> TakeOverlays();

    // Takes the recorder's newest data and draws it; the whole charge stays in view unless the
    // user zoomed.
    void Sync();

    // What the axes show now, and what shows the whole of every curve.
    GraphRanges Shown() const;
    GraphRanges Whole() const;
    // The data area, in the view's pixels.
    QRect PlotArea() const;
    double TimeAtX(double x) const;
    double XOfTime(double seconds) const;

    // Zoom and pan in time; ShowWhole undoes both.
    void ZoomAt(double seconds, double factor);
    void Pan(double seconds);
    void ShowWhole();
    bool Zoomed() const { return m_zoomed; }

    // The two cursors: the first click places A, the second B, later ones move the nearer.
    void PlaceCursor(double seconds);
    void MoveCursor(int which, double seconds);
    void ClearCursors();
    std::optional<double> Cursor(int which) const { return m_cursor[which]; }

    // "0:47:12  12.69 V  0.99 A" for the sample nearest the time (of this charge, or else of the
    // first past one); empty with none.
    QString ReadoutAt(double seconds) const;
    // What the cursors read, on one line; empty with no cursor placed.
    QString CursorReadout() const;
    // What a picture of the graph says of its charge, whatever its format: the pack, then its
    // start (ISO date), duration, delivered mAh, peak and end.
    QStringList Figures() const;
    // A name for a picture of this charge: "AA Pack 2026-12-08 10-20".
    QString PictureName() const;
    // What is shown above and below the plot, as laid out.
    QCPTextElement* StateElement() const { return m_state; }
    QCPTextElement* ReadoutElement() const { return m_readout; }
    // The charge in words, for the accessible description and the PDF page.
    QString Description() const;

    // PNG, SVG or PDF by the name's ending; false with why (when asked for) when it could not be
    // written.
    bool SaveImage(const QString& path, QString* why = nullptr);

    static const QColor kVoltsColour;
    static const QColor kAmpsColour;

signals:
    // The past charges shown changed (ticked, unticked, read).
    void OverlaysChanged();

protected:
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void wheelEvent(QWheelEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void leaveEvent(QEvent* event) override;

private:
    void ApplyRanges(const GraphRanges& ranges);
    void UpdateZoomed();
    // The voltage axis zoomed by factor around volts (under 1: in), or moved by volts.
    void ZoomVolts(double volts, double factor);
    void PanVolts(double volts);
    void BeforeReplot();
    void UpdateTexts();
    // The state and readout broken where they would be cut, the legend in as many columns as
    // its widest entry leaves room for: nothing a reader needs is ever cut at the window's width.
    void FitTexts();
    void SetLines();
    const std::vector<CurvePoint>& ReadoutPoints() const;
    void WritePdf(QIODevice& device);
    // The plot under the charge's figures (see Figures), in w × h.
    void PaintWithFigures(QCPPainter& painter, int w, int h);

    const ChargeRecorder& m_recorder;
    std::vector<GraphOverlay> m_overlays;
    std::map<QString, int> m_overlayPlaces;  // see OverlayColours
    uint64_t m_shownRevision = ~uint64_t{0};
    bool m_zoomed = false;
    mutable std::optional<GraphRanges> m_whole;
    mutable uint64_t m_wholeRevision = 0;

    QCPTextElement* m_state;
    QCPTextElement* m_readout;
    // Their texts on one line each; shown broken into lines that fit (see FitTexts).
    QString m_stateText, m_readoutText;
    QCPItemText* m_message;
    QCPGraph* m_volts;
    QCPGraph* m_amps;
    // The end test's and the backups' lines, as graphs so the legend names them.
    QCPGraph* m_peakLine;
    QCPGraph* m_thresholdLine;
    QCPGraph* m_cutOffLine;
    QCPGraph* m_timerLine;
    QCPGraph* m_capacityLine;
    QCPItemRect* m_delay;
    std::vector<std::pair<QCPGraph*, QCPGraph*>> m_overlayGraphs;  // volts, amps
    QCPItemStraightLine* m_cursorLine[2];
    QCPItemText* m_cursorName[2];
    std::optional<double> m_cursor[2];
    QCPItemStraightLine* m_hoverLine;
    std::optional<double> m_hover;

    // The mouse: a press becomes a cursor placed (click), a cursor moved, a pan or a box zoomed.
    enum class Drag { None, Pending, Pan, Cursor, Box };
    Drag m_drag = Drag::None;
    QPoint m_pressAt;
    TimeSpan m_pressShown;
    int m_dragCursor = 0;
    int m_keyCursor = 0;  // the cursor the keys move: the one last placed from the keyboard
    QRubberBand* m_band = nullptr;
    // A double click's clicks may have placed a cursor; the double click takes it back.
    ulong m_lastPress = 0;
    bool m_lastWasClick = false;
    std::optional<double> m_beforeClicks[2];
};

class CChargeGraphWnd : public QWidget {
    Q_OBJECT
public:
    // logFolder: where the CSV logs are listed from; historyPath: the charge history whose
    // charges are listed beside them (none when empty).
    CChargeGraphWnd(const ChargeRecorder& recorder, const QString& logFolder,
                    QWidget* parent = nullptr, QString historyPath = QString());
    ~CChargeGraphWnd() override;

    ChargeGraphView* View() const { return m_view; }
    QTreeWidget* LogList() const { return m_logs; }
    // The charges of the history shown, from their log or from the history itself (their rows'
    // ids), so that the Pack History ticks the same ones.
    QSet<qint64> ShownHistoryIds() const;
    // What the window last had to say (a refused file, skipped lines, the overlay limit).
    QString Status() const;
    // Past charges being read.
    int Loading() const { return m_loading; }

    // Lists the logs in the folder again, keeping the ticks of those still there.
    void RefreshLogs();
    // Reads the newest data of the running charge (called each second).
    void Refresh();
    // Lays a past charge from elsewhere (the history) over the graph under a key of its own, or
    // takes it off when there are no points. False when eight are shown already.
    bool ShowPastCharge(const QString& key, const QString& label, std::vector<CurvePoint> points);

    // The geometry and whether the window is open, in the profile under keys of its own.
    void SaveState(bool open) const;
    // The stored place, fitted onto the screen it is on.
    void RestoreGeometry();

    static constexpr int kMostOverlays = 8;
    // A past charge's envelope: more stretches than the widest plot has pixel columns.
    static constexpr int kEnvelopeStretches = 8192;

protected:
    void keyPressEvent(QKeyEvent* event) override;
    void showEvent(QShowEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

private:
    void OnLogTicked(QTreeWidgetItem* item);
    void OnLogRead(QTreeWidgetItem* item, const QString& label, const QString& path,
                   ChargeLogRead read, std::vector<CurvePoint> envelope);
    void SavePicture();

    const ChargeRecorder& m_recorder;
    QString m_strLogFolder;
    QString m_strHistoryPath;
    ChargeGraphView* m_view;
    QTreeWidget* m_logs;
    QLabel* m_status;
    uint64_t m_shownRevision = ~uint64_t{0};
    bool m_bShownRunning = false;
    std::string m_shownLogFile;
    int m_loading = 0;
};

// The profile keys of the graph window (a section the charger's own keys never use).
inline constexpr const char* kGraphSection = "ChargeGraph";

// The colours of the shown past charges, given their logs' paths and the palette places of those
// shown before (kept up to date here): a charge keeps its colour for as long as it is shown; a
// newly shown one takes the colour its name gives it, or, where a shown charge has that one, the
// next free one (newly shown logs in the order of their names).
std::vector<QColor> OverlayColours(const std::vector<QString>& paths,
                                   std::map<QString, int>& places);
