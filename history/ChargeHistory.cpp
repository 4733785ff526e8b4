#include "history/ChargeHistory.h"

#include <QAtomicInteger>
#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QStandardPaths>
#include <QThread>
#include <QVariant>
#include <QtEndian>
#include <algorithm>
#include <cstring>

#include "charge/CycleTexts.h"
#include "curves/ChargeLogReader.h"
#include "curves/GraphScale.h"
#include "packs/PackFormats.h"
#include "platform/WriteFailure.h"

namespace {

constexpr int kSampleBytes = 12;
QAtomicInteger<quint64> g_connections = 0;

const char* const kSchema[] = {
    // 0 → 1: the charges.
    "CREATE TABLE charges ("
    " id INTEGER PRIMARY KEY,"
    " pack_id TEXT NOT NULL DEFAULT '',"
    " pack_name TEXT NOT NULL,"
    " started TEXT NOT NULL,"
    " ended TEXT NOT NULL,"
    " end_reason TEXT NOT NULL,"
    " settings TEXT NOT NULL DEFAULT '',"
    " limits TEXT NOT NULL DEFAULT '',"
    " mah REAL NOT NULL,"
    " peak_volts REAL NOT NULL,"
    " seconds INTEGER NOT NULL,"
    " average_amps REAL NOT NULL,"
    " samples INTEGER NOT NULL,"
    " curve BLOB NOT NULL,"
    " source TEXT UNIQUE);"
    "CREATE INDEX charges_by_pack ON charges (pack_id, pack_name, started);",
};

constexpr const char* kTimeFormat = "yyyy-MM-ddTHH:mm:ss";
// The end reason of a charge taken in from a log, which does not say how it ended.
constexpr const char* kUnknownEnd = "unknown";

QString Columns(bool withCurves) {
    // Without the curves, their first minute, for the voltage each charge began with.
    return QString(
               "id, pack_id, pack_name, started, ended, end_reason, settings, limits, mah, "
               "peak_volts, seconds, average_amps, samples, source, %1")
        .arg(withCurves ? QString("curve")
                        : QString("substr(curve, 1, %1)")
                              .arg(kSampleBytes * (kStartSampleSeconds + 1)));
}

HistoryCharge FromRow(const QSqlQuery& q, bool withCurve) {
    HistoryCharge c;
    c.id = q.value(0).toLongLong();
    c.packId = q.value(1).toString();
    c.packName = q.value(2).toString();
    c.started = QDateTime::fromString(q.value(3).toString(), kTimeFormat);
    c.ended = QDateTime::fromString(q.value(4).toString(), kTimeFormat);
    c.endReason = q.value(5).toString();
    c.settings = q.value(6).toString();
    c.limits = q.value(7).toString();
    c.mah = q.value(8).toDouble();
    c.peakVolts = q.value(9).toDouble();
    c.seconds = q.value(10).toInt();
    c.averageAmps = q.value(11).toDouble();
    c.samples = q.value(12).toInt();
    c.source = q.value(13).toString();
    if (withCurve) {
        c.curve = UnpackCurve(q.value(14).toByteArray());
        c.startVolts = StartVolts(c.curve);
    } else {
        // Only the first minute of the curve is read, for the voltage the charge began with.
        c.startVolts = StartVolts(UnpackCurve(q.value(14).toByteArray()));
    }
    return c;
}

// What SQLite said, in words a user can act on.
QString Reason(const QSqlError& error, const QString& path) {
    const QString text = error.databaseText().isEmpty() ? error.text() : error.databaseText();
    // SQLite says "disk I/O error" for a disk that is full (its journal cannot grow): what is
    // in the way, said as for any file the program writes.
    if (text.contains("I/O error") || text.contains("disk is full")) {
        if (QString why = WhyNotWritten(path); !why.isEmpty()) {
            why.chop(1);  // its full stop
            return why + " (" + text + ")";
        }
    }
    if (text.contains("not a database") || text.contains("malformed")) {
        return "it is damaged (" + text + ")";
    }
    if (text.contains("locked") || text.contains("busy")) {
        return "another program holds it locked (" + text + ")";
    }
    if (text.contains("readonly") || text.contains("read-only") ||
        text.contains("unable to open")) {
        return "it cannot be written there (" + text + ")";
    }
    return text;
}

}  // namespace

QByteArray PackCurve(const std::vector<CurvePoint>& curve) {
    QByteArray bytes(qsizetype(curve.size()) * kSampleBytes, Qt::Uninitialized);
    char* out = bytes.data();
    for (const CurvePoint& p : curve) {
        quint32 volts, amps;
        std::memcpy(&volts, &p.volts, 4);
        std::memcpy(&amps, &p.amps, 4);
        qToLittleEndian<qint32>(p.seconds, out);
        qToLittleEndian<quint32>(volts, out + 4);
        qToLittleEndian<quint32>(amps, out + 8);
        out += kSampleBytes;
    }
    return bytes;
}

std::vector<CurvePoint> UnpackCurve(const QByteArray& bytes) {
    std::vector<CurvePoint> curve(size_t(bytes.size() / kSampleBytes));
    const char* in = bytes.constData();
    for (CurvePoint& p : curve) {
        p.seconds = qFromLittleEndian<qint32>(in);
        const quint32 volts = qFromLittleEndian<quint32>(in + 4);
        const quint32 amps = qFromLittleEndian<quint32>(in + 8);
        std::memcpy(&p.volts, &volts, 4);
        std::memcpy(&p.amps, &amps, 4);
        in += kSampleBytes;
    }
    return curve;
}

void FillFiguresFromCurve(HistoryCharge& charge) {
    charge.mah = DeliveredMah(charge.curve);
    charge.peakVolts = PeakVolts(charge.curve);
    charge.seconds = charge.curve.empty() ? 0 : charge.curve.back().seconds;
    charge.averageAmps = charge.seconds > 0 ? charge.mah / kMahPerAmpSecond / charge.seconds : 0;
}

QString ChargeHistory::DefaultPath() {
    return QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation) +
           "/Quillmark/KVC410/history.sqlite";
}

ChargeHistory::ChargeHistory(QString path, int busyMilliseconds)
    : m_path(std::move(path)),
      m_connection(QString("kvc410-history-%1").arg(g_connections.fetchAndAddRelaxed(1))),
      m_busyMilliseconds(busyMilliseconds) {}

ChargeHistory::~ChargeHistory() {
    if (QSqlDatabase::contains(m_connection)) {
        QSqlDatabase::database(m_connection, false).close();
        QSqlDatabase::removeDatabase(m_connection);
    }
}

void ChargeHistory::Fail(const QString& what, const QString& why) {
    m_state = State::Failed;
    m_problem = QString(
                    "The charge history \"%1\" %2, because %3. Charging and the packs are "
                    "not affected.")
                    .arg(m_path, what, why);
    QSqlDatabase::database(m_connection, false).close();
}

bool ChargeHistory::Exec(const QString& sql) {
    QSqlQuery q(QSqlDatabase::database(m_connection, false));
    return q.exec(sql);
}

ChargeHistory::State ChargeHistory::Open() {
    const QFileInfo file(m_path);
    if (file.exists() && !file.isFile()) {
        Fail("cannot be opened", "it is no regular file");
        return m_state;
    }
    m_created = !file.exists();
    if (m_created && !QDir().mkpath(file.absolutePath())) {
        Fail("cannot be created", "its folder cannot be made");
        return m_state;
    }
    QSqlDatabase db = QSqlDatabase::addDatabase("QSQLITE", m_connection);
    if (!db.isValid()) {
        Fail("cannot be opened", "Qt's SQLite driver (libqt6sql6-sqlite) is not installed");
        return m_state;
    }
    db.setDatabaseName(m_path);
    // A second program writing meanwhile is waited for, up to five seconds.
    db.setConnectOptions(QString("QSQLITE_BUSY_TIMEOUT=%1").arg(m_busyMilliseconds));
    if (!db.open()) {
        Fail("cannot be opened", Reason(db.lastError(), m_path));
        return m_state;
    }
    QSqlQuery q(db);
    if (!q.exec("PRAGMA user_version") || !q.next()) {
        Fail("cannot be read", Reason(q.lastError(), m_path));
        return m_state;
    }
    const int version = q.value(0).toInt();
    q.finish();
    if (version > kSchemaVersion) {
        // Written by a newer version: shown, never written to.
        db.close();
        db.setConnectOptions(
            QString("QSQLITE_BUSY_TIMEOUT=%1;QSQLITE_OPEN_READONLY").arg(m_busyMilliseconds));
        if (!db.open()) {
            Fail("cannot be opened", Reason(db.lastError(), m_path));
            return m_state;
        }
        m_state = State::ReadOnly;
        m_problem = QString(
                        "The charge history \"%1\" was written by a newer version of KVC410 "
                        "(its form %2, this version knows %3): it is shown but not added to.")
                        .arg(m_path)
                        .arg(version)
                        .arg(kSchemaVersion);
        return m_state;
    }
    // Write-ahead logging: readers never wait for a writer, and a killed writer loses only its
    // unfinished transaction.
    // Switching a new history to it needs the file to itself, and SQLite does not wait for that
    // by itself: another program making the same new history (two ports) is waited for, as long
    // as any other lock.
    QElapsedTimer waited;
    waited.start();
    bool logging = q.exec("PRAGMA journal_mode=WAL");
    while (!logging && q.lastError().databaseText().contains("locked") &&
           waited.elapsed() < m_busyMilliseconds) {
        QThread::msleep(10);
        logging = q.exec("PRAGMA journal_mode=WAL");
    }
    if (!logging || !q.exec("PRAGMA synchronous=NORMAL")) {
        Fail("cannot be opened", Reason(q.lastError(), m_path));
        return m_state;
    }
    // Brought up to date under the write lock, from the form it has then: two programs opening a
    // new history at once (two ports) must not both make its tables, the second then failing.
    for (int v = version; v < kSchemaVersion;) {
        if (!q.exec("BEGIN IMMEDIATE")) {
            Fail("cannot be brought up to date", Reason(q.lastError(), m_path));
            return m_state;
        }
        if (!q.exec("PRAGMA user_version") || !q.next()) {
            const QString why = Reason(q.lastError(), m_path);
            q.finish();
            q.exec("ROLLBACK");
            Fail("cannot be brought up to date", why);
            return m_state;
        }
        v = q.value(0).toInt();
        q.finish();
        if (v >= kSchemaVersion) {
            q.exec("COMMIT");
            break;
        }
        bool ok = true;
        for (const QString& statement : QString(kSchema[v]).split(';', Qt::SkipEmptyParts)) {
            ok = ok && q.exec(statement);
        }
        ok = ok && q.exec(QString("PRAGMA user_version = %1").arg(v + 1));
        if (!ok || !q.exec("COMMIT")) {
            const QString why = Reason(q.lastError(), m_path);
            q.exec("ROLLBACK");
            Fail("cannot be brought up to date", why);
            return m_state;
        }
        ++v;
    }
    m_state = State::Writable;
    return m_state;
}

bool ChargeHistory::Add(const HistoryCharge& c, bool ownsSource) {
    if (m_state != State::Writable) {
        return false;
    }
    QSqlDatabase db = QSqlDatabase::database(m_connection, false);
    if (!db.transaction()) {
        Fail("cannot be added to", Reason(db.lastError(), m_path));
        return false;
    }
    QSqlQuery q(db);
    // Not written this time; the next charge tries again.
    auto failed = [&](const QSqlError& error) {
        const QString why = Reason(error, m_path);
        db.rollback();
        m_problem = QString(
                        "The charge history \"%1\" cannot be added to, because %2. Charging "
                        "and the packs are not affected.")
                        .arg(m_path, why);
        return false;
    };
    if (ownsSource && !c.source.isEmpty()) {
        // This very charge's log, taken in by an import that read the folder between the log's
        // writing and this row (the first start's import, running late): this row, with its end
        // and settings, takes its place rather than stand beside it.
        q.prepare("DELETE FROM charges WHERE source = ? AND end_reason = ? AND samples = ?");
        q.addBindValue(c.source);
        q.addBindValue(QString(kUnknownEnd));
        q.addBindValue(qlonglong(c.curve.size()));
        if (!q.exec()) {
            return failed(q.lastError());
        }
        q.prepare("UPDATE charges SET source = NULL WHERE source = ?");
        q.addBindValue(c.source);
        if (!q.exec()) {
            return failed(q.lastError());
        }
    }
    q.prepare(
        "INSERT INTO charges (pack_id, pack_name, started, ended, end_reason, settings, limits, "
        "mah, peak_volts, seconds, average_amps, samples, curve, source) VALUES "
        "(?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?) ON CONFLICT (source) DO NOTHING");
    // An empty text is bound as one, not as NULL.
    auto text = [](const QString& s) { return s.isNull() ? QString("") : s; };
    q.addBindValue(text(c.packId));
    q.addBindValue(text(c.packName));
    q.addBindValue(c.started.toString(kTimeFormat));
    q.addBindValue(c.ended.toString(kTimeFormat));
    q.addBindValue(text(c.endReason));
    q.addBindValue(text(c.settings));
    q.addBindValue(text(c.limits));
    q.addBindValue(c.mah);
    q.addBindValue(c.peakVolts);
    q.addBindValue(c.seconds);
    q.addBindValue(c.averageAmps);
    q.addBindValue(qlonglong(c.curve.size()));
    q.addBindValue(PackCurve(c.curve));
    q.addBindValue(c.source.isEmpty() ? QVariant(QMetaType(QMetaType::QString)) : c.source);
    if (!q.exec() || !db.commit()) {
        return failed(q.lastError().isValid() ? q.lastError() : db.lastError());
    }
    return true;
}

std::vector<HistoryCharge> ChargeHistory::Charges(const QString& packId, const QString& packName,
                                                  bool withCurves) const {
    std::vector<HistoryCharge> charges;
    QSqlQuery q(QSqlDatabase::database(m_connection, false));
    q.setForwardOnly(true);
    q.prepare(QString("SELECT %1 FROM charges WHERE (pack_id <> '' AND pack_id = ?) OR "
                      "(pack_id = '' AND pack_name = ?) ORDER BY started, id")
                  .arg(Columns(withCurves)));
    q.addBindValue(packId.isEmpty() ? QString("\x01") : packId);
    q.addBindValue(packName);
    if (m_state == State::Writable || m_state == State::ReadOnly) {
        if (q.exec()) {
            while (q.next()) {
                charges.push_back(FromRow(q, withCurves));
            }
        }
    }
    return charges;
}

std::optional<HistoryCharge> ChargeHistory::Charge(qint64 id) const {
    QSqlQuery q(QSqlDatabase::database(m_connection, false));
    q.prepare(QString("SELECT %1 FROM charges WHERE id = ?").arg(Columns(true)));
    q.addBindValue(id);
    if ((m_state != State::Writable && m_state != State::ReadOnly) || !q.exec() || !q.next()) {
        return std::nullopt;
    }
    return FromRow(q, true);
}

qint64 ChargeHistory::ChangeStamp() const {
    QSqlQuery q(QSqlDatabase::database(m_connection, false));
    if ((m_state != State::Writable && m_state != State::ReadOnly) ||
        !q.exec("PRAGMA data_version") || !q.next()) {
        return -1;
    }
    return q.value(0).toLongLong();
}

std::vector<ChargeHistory::PackEntry> ChargeHistory::Packs() const {
    std::vector<PackEntry> packs;
    QSqlQuery q(QSqlDatabase::database(m_connection, false));
    // One entry a lasting id (under its newest name: SQLite takes the bare column from the row
    // of the MAX), one a name among those without.
    if ((m_state == State::Writable || m_state == State::ReadOnly) &&
        q.exec("SELECT pack_id, pack_name, MAX(started), COUNT(*) FROM charges GROUP BY pack_id, "
               "CASE WHEN pack_id = '' THEN pack_name ELSE '' END ORDER BY pack_name")) {
        while (q.next()) {
            packs.push_back({q.value(0).toString(), q.value(1).toString(), q.value(3).toInt()});
        }
    }
    return packs;
}

bool ChargeHistory::Forget(const QString& packId, const QString& packName) {
    if (m_state != State::Writable) {
        return false;
    }
    QSqlQuery q(QSqlDatabase::database(m_connection, false));
    q.prepare(
        "DELETE FROM charges WHERE (pack_id <> '' AND pack_id = ?) OR (pack_id = '' AND "
        "pack_name = ?)");
    q.addBindValue(packId.isEmpty() ? QString("\x01") : packId);
    q.addBindValue(packName);
    if (!q.exec()) {
        m_problem = QString("The charge history \"%1\" cannot be changed, because %2.")
                        .arg(m_path, Reason(q.lastError(), m_path));
        return false;
    }
    return true;
}

int ChargeHistory::ImportLogs(const QString& folder,
                              const std::function<QString(const QString&)>& packIdOf,
                              int* refused) {
    int taken = 0;
    int bad = 0;
    if (m_state != State::Writable) {
        return 0;
    }
    // The sources already in, so a log is neither read nor added twice.
    QSet<QString> known;
    {
        QSqlQuery q(QSqlDatabase::database(m_connection, false));
        q.setForwardOnly(true);
        if (q.exec("SELECT source FROM charges WHERE source IS NOT NULL")) {
            while (q.next()) {
                known.insert(q.value(0).toString());
            }
        }
    }
    const QDir dir(folder);
    for (const QString& file : dir.entryList({"*.csv"}, QDir::Files, QDir::Name)) {
        if (known.contains(file)) {
            continue;
        }
        const std::optional<ChargeLogName> name = ParseChargeLogName(file.toStdString());
        if (!name) {
            continue;  // not one of ours
        }
        ChargeLogRead read = ReadChargeLogFile(QFile::encodeName(dir.filePath(file)).toStdString());
        if (!read.ok || read.points.empty()) {
            ++bad;
            continue;
        }
        HistoryCharge c;
        c.packName = QString::fromStdString(name->pack);
        c.packId = packIdOf ? packIdOf(c.packName) : QString();
        // A log is named when it is written, as its charge ends: the start is its length before.
        c.curve = std::move(read.points);
        FillFiguresFromCurve(c);
        c.ended =
            QDateTime(QDate(name->year, name->month, name->day), QTime(name->hour, name->minute));
        c.started = c.ended.addSecs(-c.seconds);
        c.endReason = kUnknownEnd;
        c.source = file;
        if (!Add(c)) {
            break;
        }
        ++taken;
    }
    if (refused != nullptr) {
        *refused = bad;
    }
    return taken;
}

QString ChargeTimeText(const QDateTime& time) {
    return time.toString("yyyy-MM-dd HH:mm");
}

float StartVolts(const std::vector<CurvePoint>& curve) {
    float volts = 0;
    for (const CurvePoint& p : curve) {
        volts = p.volts;
        if (p.seconds >= kStartSampleSeconds) {
            break;
        }
    }
    return volts;
}

bool IsFullCharge(const QString& endReason) {
    // The words the charge's end was stored under: the peak, or an end that the pack's being
    // full brought about.
    for (ChargeEnd end : {ChargeEnd::Completed, ChargeEnd::AveragedPeak, ChargeEnd::CapacityLimit,
                          ChargeEnd::TimeLimit, ChargeEnd::VoltagePlateau, ChargeEnd::FullEarly}) {
        if (endReason == QString::fromStdString(EndReasonText(end, kPeakCharge))) {
            return true;
        }
    }
    return false;
}

ChargeReading ReadCharge(const HistoryCharge& c) {
    ChargeReading r;
    r.putInMah = c.mah;
    r.endedFull = IsFullCharge(c.endReason);
    const std::optional<ChargeSettings> settings = ParsePackProperties(c.settings.toStdString());
    if (!settings || settings->cells <= 0 || c.startVolts <= 0 || c.peakVolts <= 0) {
        return r;
    }
    const bool nicd = settings->batteryType == kBatteryNiCd;
    r.chargeFactor = nicd ? kChargeFactorNiCd : kChargeFactorNiMH;
    const double rise = (c.peakVolts - c.startVolts) / settings->cells;
    if (rise >= (nicd ? kEmptyRisePerCellNiCd : kEmptyRisePerCellNiMH)) {
        r.start = ChargeStart::Empty;
    } else if (rise < kTopUpRisePerCell) {
        r.start = ChargeStart::Full;
    } else {
        r.start = ChargeStart::Part;
    }
    if (r.endedFull && r.start == ChargeStart::Empty) {
        r.capacityMah = c.mah / r.chargeFactor;
    }
    return r;
}

QString ChargeKindText(const HistoryCharge& c, const ChargeReading& r) {
    if (!r.endedFull) {
        if (c.endReason == QString::fromStdString(EndReasonText(ChargeEnd::Completed,
                                                                kTimedCharge))) {
            return "timed";
        }
        return c.endReason == kUnknownEnd ? "not known" : "cut short";
    }
    switch (r.start) {
        case ChargeStart::Empty:
            return "from empty";
        case ChargeStart::Part:
            return "part-charged";
        case ChargeStart::Full:
            return "top-up";
        case ChargeStart::Unknown:
            break;
    }
    return "not known";
}

PackHealth JudgeHealth(const std::vector<HistoryCharge>& oldestFirst, double ratedMah) {
    PackHealth health;
    std::vector<double> lastFive;
    double best = 0;
    for (auto it = oldestFirst.rbegin(); it != oldestFirst.rend(); ++it) {
        const ChargeReading r = ReadCharge(*it);
        if (r.capacityMah <= 0) {
            continue;
        }
        if (health.estimates++ == 0) {
            health.chargeFactor = r.chargeFactor;
        }
        best = std::max(best, r.capacityMah);
        if (lastFive.size() < 5) {
            lastFive.push_back(r.capacityMah);
        }
    }
    if (lastFive.empty()) {
        return health;
    }
    std::sort(lastFive.begin(), lastFive.end());
    const size_t n = lastFive.size();
    health.medianMah = n % 2 == 1 ? lastFive[n / 2] : (lastFive[n / 2 - 1] + lastFive[n / 2]) / 2;
    health.againstRated = ratedMah > 0;
    health.referenceMah = health.againstRated ? ratedMah : best;
    if (health.referenceMah > 0) {
        health.percent = health.medianMah / health.referenceMah * 100;
        health.worn = health.percent < kWornPercent;
    }
    return health;
}
