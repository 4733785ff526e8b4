#include "history/HistoryRecording.h"

#include <QFileInfo>
#include <QMetaObject>
#include <QRandomGenerator>
#include <algorithm>

#include "curves/ChargeCurve.h"
#include "packs/PackBook.h"
#include "packs/PackFormats.h"
#include "packs/PackStore.h"

QString PackIdsPath(const Profile& profile) {
    return QFileInfo(profile.FileName()).absolutePath() + "/" + kPackIdsFile;
}

QString PackHistoryId(Profile& profile, int slot) {
    Profile ids(PackIdsPath(profile));
    // Two programs charging the same pack (two ports) must not each make it an id of its own:
    // the one that comes second reads the first one's.
    const Profile::ChangeLock lock(ids);
    const QString key = QString::number(slot);
    QString id = ids.GetProfileString(kPackIdsSection, key, "");
    if (id.isEmpty() || id.size() > 64) {
        id = QString::number(QRandomGenerator::system()->generate64(), 16);
        ids.WriteProfileString(kPackIdsSection, key, id);
    }
    return id;
}

QString PackHistoryIdOf(Profile& profile, const QString& name) {
    const int slot = PackBook(profile).FindSlot(name);
    return slot >= 0 ? PackHistoryId(profile, slot) : QString();
}

double MeasuredCapacity(const QString& historyPath, const QString& packId,
                        const QString& packName) {
    // Only looked at: a charge's start must not create the history.
    if ((packId.isEmpty() && packName.isEmpty()) || !QFileInfo(historyPath).isFile()) {
        return 0;
    }
    ChargeHistory history(historyPath);
    if (history.Open() == ChargeHistory::State::Failed) {
        return 0;
    }
    // Against no rated capacity: the estimate is all that is asked for.
    return JudgeHealth(history.Charges(packId, packName, false), 0).medianMah;
}

void ForgetPackHistoryId(Profile& profile, int slot) {
    Profile(PackIdsPath(profile)).RemoveProfileKey(kPackIdsSection, QString::number(slot));
}

HistoryCharge ChargeForHistory(const ChargeCycle& cycle, ChargeEnd end, const QString& pack,
                               const QString& packId, const QDateTime& started,
                               const ChargeLimits& limits, const QString& logFile) {
    HistoryCharge c;
    c.packId = packId;
    c.packName = pack;
    c.started = started;
    c.ended = QDateTime::currentDateTime();
    c.endReason = QString::fromStdString(EndReasonText(end, cycle.Settings().chargeType));
    c.settings = QString::fromStdString(EncodePackProperties(cycle.Settings()));
    c.limits = QString::fromStdString(FormatPackLimits(limits));
    // The samples are kept newest first.
    for (const ChargeSample* s = cycle.History().sampleHead; s != nullptr; s = s->next) {
        c.curve.push_back({ElapsedSeconds(*s), s->voltage, s->current});
    }
    std::reverse(c.curve.begin(), c.curve.end());
    FillFiguresFromCurve(c);
    // The charge's own figures where it has them: the mAh as counted and shown, the maximum.
    const ChargeTexts& t = cycle.Texts();
    bool ok = false;
    if (const double mah = QString::fromStdString(t.mah).toDouble(&ok); ok) {
        c.mah = mah;
    }
    if (const double peak = QString::fromStdString(t.maxVolts).toDouble(&ok); ok) {
        c.peakVolts = peak;
    }
    c.source = logFile;
    return c;
}

HistoryWriter::HistoryWriter(QString path, QObject* parent)
    : QObject(parent), m_path(std::move(path)) {
    m_pool.setMaxThreadCount(1);  // one at a time, in order
    m_pool.setExpiryTimeout(-1);
}

HistoryWriter::~HistoryWriter() {
    m_pool.waitForDone();
}

void HistoryWriter::Report(const QString& problem, int kind) {
    if (!m_reported[kind] && onProblem) {
        m_reported[kind] = true;
        onProblem(problem);
    }
}

void HistoryWriter::Submit(HistoryCharge charge) {
    m_pool.start([this, charge = std::move(charge)] {
        ChargeHistory history(m_path);
        const ChargeHistory::State state = history.Open();
        const bool written =
            state == ChargeHistory::State::Writable && history.Add(charge, true);
        const QString problem = history.Problem();
        QMetaObject::invokeMethod(this, [this, written, state, problem] {
            if (!problem.isEmpty()) {
                Report(problem, state == ChargeHistory::State::Writable ? 1 : 0);
            }
            if (written && onWritten) {
                onWritten();
            }
        });
    });
}

void HistoryWriter::SubmitImport(QString folder, QHash<QString, QString> packIds) {
    m_pool.start([this, folder, packIds] {
        ChargeHistory history(m_path);
        history.Open();
        history.ImportLogs(folder, [&](const QString& name) { return packIds.value(name); });
        const QString problem = history.Problem();
        QMetaObject::invokeMethod(this, [this, problem] {
            if (!problem.isEmpty()) {
                Report(problem, 0);
            }
            if (onWritten) {
                onWritten();
            }
        });
    });
}

QHash<QString, QString> PackHistoryIds(Profile& profile) {
    QHash<QString, QString> ids;
    PackBook book(profile);
    for (int slot = 0; slot < kPackSlotCount; ++slot) {
        const QString name = book.Name(slot);
        if (!name.isEmpty() && name != "0") {
            ids.insert(name, PackHistoryId(profile, slot));
        }
    }
    return ids;
}

void HistoryWriter::WaitForDone() {
    m_pool.waitForDone();
}
