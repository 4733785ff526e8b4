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

#include "curves/ChargeCurve.h"

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
    float startVolts = 0;           // the voltage as the first minute ends (StartVolts)
    // The log this charge was read from or written to (a file name); a log is taken in once.
    QString source;
};

// The curve as stored: 12 bytes a sample (seconds int32, volts and amps float32, little-endian).
QByteArray PackCurve(const std::vector<CurvePoint>& curve);
std::vector<CurvePoint> UnpackCurve(const QByteArray& bytes);

// A charge's time as every window names it: "2026-12-08 10:20" (ISO 8601 date, 24-hour time).
QString ChargeTimeText(const QDateTime& time);

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

    // One charge, in one transaction. A log taken in whose source is already there is not
    // added again (and that is no failure). A charge just recorded owns its log (ownsSource): a
    // row that named the same file before (its log deleted, or written over) lets go of it, and
    // the new charge is added all the same.
    bool Add(const HistoryCharge& charge, bool ownsSource = false);

    // The charges of a pack, oldest first: by its id, and those of its name that have none.
    std::vector<HistoryCharge> Charges(const QString& packId, const QString& packName,
                                       bool withCurves) const;
    std::optional<HistoryCharge> Charge(qint64 id) const;
    // A number that changes whenever another connection (another window or program) has
    // written to the history since the last call; -1 while the history is not open.
    qint64 ChangeStamp() const;
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

// The voltage as a charge's first minute ends (the sample nearest one minute, or the last of a
// shorter curve): past the switch-on, before the pack has taken in much.
inline constexpr int kStartSampleSeconds = 60;
float StartVolts(const std::vector<CurvePoint>& curve);

// What one charge tells of the pack. The charge put in is what the box delivered. How full the
// pack was when the charge began is read from its curve: the voltage of a Ni-MH or Ni-Cd cell
// rises from its first minute to its peak by about 0.16 V (Ni-MH) or 0.14 V (Ni-Cd) from empty,
// less the further the pack was charged, and barely (under kTopUpRisePerCell) when it was full.
// A full charge that began nearly empty (a rise of at least kEmptyRisePerCell of its chemistry)
// also estimates the pack's capacity: the charge put in, less what the pack cannot store, which
// a charge ended at full wastes as heat (the charge factor: Ni-MH 1.2, Ni-Cd 1.1).
enum class ChargeStart { Empty, Part, Full, Unknown };
inline constexpr double kEmptyRisePerCellNiMH = 0.155;
inline constexpr double kEmptyRisePerCellNiCd = 0.128;
inline constexpr double kTopUpRisePerCell = 0.03;
inline constexpr double kChargeFactorNiMH = 1.2;
inline constexpr double kChargeFactorNiCd = 1.1;
struct ChargeReading {
    bool endedFull = false;  // the peak, or a backup that ends a full pack
    ChargeStart start = ChargeStart::Unknown;
    double putInMah = 0;
    double chargeFactor = 0;  // of the chemistry; 0: not known
    double capacityMah = 0;   // the estimate; 0: this charge tells nothing of it
};
ChargeReading ReadCharge(const HistoryCharge& charge);
// How the Pack History names the kind of charge: "from empty", "part-charged", "top-up" (full
// charges), "timed", "cut short" or "not known".
QString ChargeKindText(const HistoryCharge& charge, const ChargeReading& reading);

// How a pack holds up: the median of the capacity estimates of its last five full charges
// from empty (top-ups, part charges and charges cut short do not count), against its rated
// capacity where known, else against its best estimate. Worn below 80 %.
struct PackHealth {
    int estimates = 0;
    double medianMah = 0;
    double referenceMah = 0;
    bool againstRated = false;
    double percent = 0;  // 0 when nothing to judge by
    bool worn = false;
    double chargeFactor = 0;  // of the newest estimate's chemistry
};
PackHealth JudgeHealth(const std::vector<HistoryCharge>& oldestFirst, double ratedMah);
bool IsFullCharge(const QString& endReason);
inline constexpr double kWornPercent = 80;
