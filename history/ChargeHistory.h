#pragma once
// Every charge kept: one row a charge in an SQLite database of its own (Qt SQL), with the whole
// curve, so that a pack's capacity can be followed over the years. Nothing here is on a
// charge's path: the window writes through HistoryWriter, after the charger is off and the
// pack's record is written, on a thread of its own.

#include <QDateTime>
#include <QString>
#include <functional>
#include <optional>
#include <vector>

#include "graph/ChargeCurve.h"

struct HistoryCharge {
    qint64 id = 0;
    // The pack's lasting id (it survives renames; empty for a charge of no pack, or an imported
    // log whose pack was not known), and its name at the time.
    QString packId;
    QString packName;
    QDateTime started;
    QDateTime ended;
    QString endReason;  // the words of EndReasonText; "unknown" for an imported log
    QString settings;   // the pack's properties as stored (EncodePackProperties)
    QString limits;     // FormatPackLimits
    double mah = 0;
    double peakVolts = 0;
    int seconds = 0;
    double averageAmps = 0;
    std::vector<CurvePoint> curve;  // one sample a second, oldest first
    int samples = 0;                // the curve's length as stored
    // The log this charge was read from or written to (a file name); a log is taken in once.
    QString source;
};

// The curve as stored: 12 bytes a sample (seconds int32, volts and amps float32, little-endian).
QByteArray PackCurve(const std::vector<CurvePoint>& curve);
std::vector<CurvePoint> UnpackCurve(const QByteArray& bytes);

// mAh (each sample's current over the seconds since the one before), peak and average current
// of a curve, for a charge known only by its curve.
void FillFiguresFromCurve(HistoryCharge& charge);

class ChargeHistory {
public:
    enum class State { Closed, Writable, ReadOnly, Failed };
    static constexpr int kSchemaVersion = 1;

    // $XDG_DATA_HOME/Quillmark/KVC410/history.sqlite (~/.local/share/... by default).
    static QString DefaultPath();

    // busyMilliseconds: how long a write waits for another program's before it fails.
    explicit ChargeHistory(QString path = DefaultPath(), int busyMilliseconds = 5000);
    ~ChargeHistory();
    ChargeHistory(const ChargeHistory&) = delete;
    ChargeHistory& operator=(const ChargeHistory&) = delete;

    // Opens (creating or bringing up to date) the database. A newer version's database opens
    // read-only; a damaged, locked or unwritable one fails. Either way Problem() says what and
    // where.
    State Open();
    State GetState() const { return m_state; }
    bool Created() const { return m_created; }
    QString Problem() const { return m_problem; }
    const QString& Path() const { return m_path; }

    // One charge, in one transaction. A charge whose source is already there is not added
    // again (and that is no failure).
    bool Add(const HistoryCharge& charge);

    // The charges of a pack, oldest first: by its id, and those of its name that have none.
    std::vector<HistoryCharge> Charges(const QString& packId, const QString& packName,
                                       bool withCurves) const;
    std::optional<HistoryCharge> Charge(qint64 id) const;
    struct PackEntry {
        QString packId;
        QString name;  // the newest name it was charged under
        int charges = 0;
    };
    std::vector<PackEntry> Packs() const;
    // Removes a pack's charges; false on failure.
    bool Forget(const QString& packId, const QString& packName);

    // Takes the charge logs of the folder in (their pack and start from their names, the end
    // reason unknown), each once, however often this runs. packIdOf gives the lasting id of a
    // pack name ("" when no such pack). Returns the number taken in; `refused` counts the logs
    // that could not be read.
    int ImportLogs(const QString& folder, const std::function<QString(const QString&)>& packIdOf,
                   int* refused = nullptr);

private:
    bool Exec(const QString& sql);
    void Fail(const QString& what, const QString& why);

    QString m_path;
    QString m_connection;
    QString m_problem;
    State m_state = State::Closed;
    bool m_created = false;
    int m_busyMilliseconds;
};

// How a pack holds up: the median of its last five full charges (ended by the peak or a backup
// cut-off, not stopped or disconnected) against its rated capacity where known, else against
// its best full charge. Worn below 80 %.
struct PackHealth {
    int fullCharges = 0;
    double medianMah = 0;
    double referenceMah = 0;
    bool againstRated = false;
    double percent = 0;  // 0 when nothing to judge by
    bool worn = false;
};
PackHealth JudgeHealth(const std::vector<HistoryCharge>& oldestFirst, double ratedMah);
bool IsFullCharge(const QString& endReason);
inline constexpr double kWornPercent = 80;
