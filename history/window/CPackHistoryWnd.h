#pragma once
// The Pack History window: a pack's charges from the history, its capacity over time against
// the rated capacity, and its health; ticked charges go onto the Charge Graph; the history can
// be written out as CSV and as a one-page PDF report.

#include <QSet>
#include <QWidget>
#include <functional>
#include <memory>

#include "history/ChargeHistory.h"

class QComboBox;
class QCustomPlot;
class QLabel;
class QTableWidget;
class QTableWidgetItem;

class CPackHistoryWnd : public QWidget {
    Q_OBJECT
public:
    // A pack as the chooser offers it: its lasting id, its name now, its rated capacity (0:
    // not known).
    struct Pack {
        QString packId;
        QString name;
        double ratedMah = 0;
    };
    // packs: the packs of the profile; the history's others (deleted, renamed away, no pack)
    // are added from the history itself. show: lays a charge over the Charge Graph (or takes it
    // off, with no points).
    CPackHistoryWnd(std::vector<Pack> packs, const QString& current,
                    std::function<void(const QString& key, const QString& label,
                                       std::vector<CurvePoint> points)>
                        show,
                    QWidget* parent = nullptr);
    ~CPackHistoryWnd() override;

    QComboBox* Chooser() const { return m_chooser; }
    QTableWidget* Table() const { return m_table; }
    QCustomPlot* Trend() const { return m_trend; }
    QString HealthText() const;
    QString Status() const;
    const std::vector<HistoryCharge>& Charges() const { return m_charges; }

    // Reads the chosen pack's charges again; the ticked ones stay ticked.
    void Reload();
    // The charges the Charge Graph shows (ticked there too): their boxes ticked here.
    void SetShown(const QSet<qint64>& ids);
    // Reads the packs and charges again if another window or program has written to the
    // history (looked at every kWatchMilliseconds).
    void CatchUp();
    static constexpr int kWatchMilliseconds = 1500;
    // Takes the logs of the log folder in (and reloads).
    void ImportLogs(const QString& folder, const QHash<QString, QString>& packIds);
    bool ExportCsv(const QString& path, QString* why = nullptr);
    bool ExportReport(const QString& path, QString* why = nullptr);
    // The charges whose curves the report draws: the ticked ones of the pack, else its last five.
    std::vector<qint64> ReportCharges() const;

    static constexpr int kColumnShow = 0;

protected:
    void keyPressEvent(QKeyEvent* event) override;

private:
    void FillChooser(const QString& current);
    void OnTicked(QTableWidgetItem* item);
    void DrawTrend();
    const Pack* Chosen() const;

    std::unique_ptr<ChargeHistory> m_history;
    std::vector<Pack> m_packs;
    std::vector<HistoryCharge> m_charges;
    // The charges laid over the Charge Graph, whichever pack the table shows.
    QSet<qint64> m_ticked;
    qint64 m_stamp = -1;
    std::function<void(const QString&, const QString&, std::vector<CurvePoint>)> m_show;
    QComboBox* m_chooser;
    QTableWidget* m_table;
    QCustomPlot* m_trend;
    QLabel* m_health;
    QLabel* m_status;
};

// "1,820 mAh, 91 % of the rated 2,000 mAh: good" and the like; empty with nothing to judge by.
QString DescribeHealth(const PackHealth& health);
