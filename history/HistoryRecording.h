#pragma once
// How a charge gets into the history: the lasting id of each pack (kept in the profile beside
// the pack, so a rename keeps the pack's charges together), the row built from the engine before
// its samples are released, and a writer that adds rows on a thread of its own, in order, so a
// slow or failing database never holds up the window.

#include <QDateTime>
#include <QHash>
#include <QObject>
#include <QThreadPool>
#include <functional>

#include "charge/ChargeCycle.h"
#include "history/ChargeHistory.h"
#include "platform/Profile.h"

// [PackIds] n: the lasting id of the pack in slot n, made when first needed; in a file of its
// own beside the profile, which the history never changes.
inline const char* const kPackIdsFile = "KVC410-pack-ids.ini";
inline const char* const kPackIdsSection = "PackIds";
QString PackIdsPath(const Profile& profile);
QString PackHistoryId(Profile& profile, int slot);
// The id of the current pack of that name; "" when there is none (or it has no id yet).
QString PackHistoryIdOf(Profile& profile, const QString& name);
// What a pack holds as its own full charges from empty measured it, in the history at
// historyPath (the Pack History's capacity estimate); 0 when no such charge of it is there, or
// the history is absent or cannot be read. Read when a charge of a pack without a rated capacity
// starts, to judge its rate by (see BackupCutoffs::SetMeasuredCapacity).
double MeasuredCapacity(const QString& historyPath, const QString& packId, const QString& packName);
void ForgetPackHistoryId(Profile& profile, int slot);
// The id of every pack, by name.
QHash<QString, QString> PackHistoryIds(Profile& profile);

// The row of the charge the engine holds (call before Release): its curve, figures, settings
// and limits. logFile: the log written for it, if any (a file name), so an import skips it.
HistoryCharge ChargeForHistory(const ChargeCycle& cycle, ChargeEnd end, const QString& pack,
                               const QString& packId, const QDateTime& started,
                               const ChargeLimits& limits, const QString& logFile);

class HistoryWriter : public QObject {
    Q_OBJECT
public:
    explicit HistoryWriter(QString path = ChargeHistory::DefaultPath(), QObject* parent = nullptr);
    ~HistoryWriter() override;  // waits for the rows in hand

    // Added in the background, in the order given.
    void Submit(HistoryCharge charge);
    // Logs of the folder taken in, in the background (see ChargeHistory::ImportLogs); packIds:
    // the lasting id of each pack name (PackHistoryIds).
    void SubmitImport(QString folder, QHash<QString, QString> packIds);
    // Waits until every row given has been written (or has failed).
    void WaitForDone();

    // Called on the writer's owner thread, once for each kind of problem in a run of the program
    // (a history that cannot be opened is said once, not at every charge).
    std::function<void(const QString& problem)> onProblem;
    // Called on the owner thread after each row is in (tests, the history window).
    std::function<void()> onWritten;

private:
    void Report(const QString& problem, int kind);

    QString m_path;
    QThreadPool m_pool;
    bool m_reported[2] = {false, false};
};
