// The Charge Graph's list of past charges: logs and the history's charges listed, read aside,
// ticked onto the plot in colours that stay with them, and kept in step with the Pack History.

#include "graph/CChargeGraphWnd.h"

#include <QDir>
#include <QFutureWatcher>
#include <QtConcurrent/QtConcurrentRun>
#include <algorithm>
#include <map>

#include "curves/ChargeLogReader.h"
#include "history/ChargeHistory.h"

namespace {

// Colours of the past charges: apart from this charge's blue and orange and from each other, for
// the common colour-vision deficiencies too (Paul Tol's "muted" scheme, its lightest two
// darkened to read on white, and grey in place of its indigo, which is this charge's blue).
const QColor kOverlayColours[CChargeGraphWnd::kMostOverlays] = {
    QColor(0x11, 0x77, 0x33), QColor(0xCC, 0x66, 0x77), QColor(0x44, 0xAA, 0x99),
    QColor(0x88, 0x22, 0x55), QColor(0x99, 0x99, 0x33), QColor(0xAA, 0x44, 0x99),
    QColor(0x77, 0x77, 0x77), QColor(0x4C, 0x9E, 0xC2),
};

constexpr int kPathRole = Qt::UserRole;
// The overlays that come from the history, not from a log file.
const QString kHistoryKey = "history:";
constexpr int kWhenRole = Qt::UserRole + 1;
constexpr int kTextRole = Qt::UserRole + 2;
constexpr int kHistoryIdRole = Qt::UserRole + 3;  // the charge's row in the history, where known

bool SameFile(const QString& a, const std::string& b) {
    return !b.empty() &&
           QFileInfo(a).absoluteFilePath() ==
               QFileInfo(QFile::decodeName(QByteArray::fromStdString(b))).absoluteFilePath();
}
}  // namespace

std::vector<QColor> OverlayColours(const std::vector<QString>& paths,
                                   std::map<QString, int>& places) {
    std::map<QString, int> kept;
    bool taken[CChargeGraphWnd::kMostOverlays] = {};
    std::vector<size_t> order;
    for (size_t i = 0; i < paths.size(); ++i) {
        if (auto it = places.find(paths[i]); it != places.end()) {
            kept[paths[i]] = it->second;
            taken[it->second] = true;
        } else {
            order.push_back(i);
        }
    }
    std::sort(order.begin(), order.end(), [&](size_t a, size_t b) { return paths[a] < paths[b]; });
    for (size_t i : order) {
        // The colour the file's name gives it (FNV-1a, the same in every run), else the next free.
        uint32_t hash = 2166136261u;
        for (char c : QFileInfo(paths[i]).fileName().toUtf8()) {
            hash = (hash ^ uint8_t(c)) * 16777619u;
        }
        size_t c = hash % CChargeGraphWnd::kMostOverlays;
        for (int tries = 0; taken[c] && tries < CChargeGraphWnd::kMostOverlays; ++tries) {
            c = (c + 1) % CChargeGraphWnd::kMostOverlays;
        }
        taken[c] = true;
        kept[paths[i]] = static_cast<int>(c);
    }
    places = std::move(kept);
    std::vector<QColor> colours;
    for (const QString& path : paths) {
        colours.push_back(kOverlayColours[places[path]]);
    }
    return colours;
}


void CChargeGraphWnd::RefreshLogs() {
    m_shownLogFile = m_recorder.LogFile();
    QStringList ticked;
    for (const GraphOverlay& o : m_view->Overlays()) {
        ticked << o.path;
    }
    QStringList loading;
    for (QTreeWidgetItemIterator it(m_logs); *it != nullptr; ++it) {
        if ((*it)->parent() != nullptr && (*it)->checkState(0) == Qt::Checked) {
            loading << (*it)->data(0, kPathRole).toString();
        }
    }
    // The logs of the folder, and the charges of the history that have no log there; grouped
    // by pack, the newest first in each.
    struct Entry {
        long long sortKey;
        QString when;  // the charge's name in the legend, after its pack's
        QString path;
        QString tip;
        QString text;  // the list's
        qint64 historyId = 0;
    };
    std::map<QString, std::vector<Entry>, std::less<>> packs;
    // A charge is known by its start, as the Pack History knows it ("2026-12-08 10:20"); its
    // entry says too how long it ran, what it put in and how it ended, where that is known.
    auto figures = [](const HistoryCharge& c) {
        return QString("%1, %2 mAh\n%3")
            .arg(QString::fromStdString(ClockText(c.seconds, true)))
            .arg(c.mah, 0, 'f', 0)
            .arg(c.endReason);
    };
    // The history's charges: by the log they came from, and those of no log in the folder.
    std::vector<HistoryCharge> recorded;
    std::vector<QString> groupOf;  // the pack each is listed under: its newest name
    std::map<QString, size_t> byLog;
    if (!m_strHistoryPath.isEmpty() && QFileInfo::exists(m_strHistoryPath)) {
        ChargeHistory history(m_strHistoryPath, 200);
        if (history.Open() != ChargeHistory::State::Failed) {
            for (const ChargeHistory::PackEntry& pack : history.Packs()) {
                for (HistoryCharge& c : history.Charges(pack.packId, pack.name, false)) {
                    groupOf.push_back(pack.name);
                    if (!c.source.isEmpty()) {
                        byLog[c.source] = recorded.size();
                    }
                    recorded.push_back(std::move(c));
                }
            }
        }
    }
    const QDir folder(m_strLogFolder);
    QSet<QString> listed;
    for (const QString& file : folder.entryList({"*.csv"}, QDir::Files)) {
        if (SameFile(folder.filePath(file), m_shownLogFile)) {
            listed.insert(file);
            continue;  // this charge, already drawn as such
        }
        if (auto name = ParseChargeLogName(file.toStdString())) {
            listed.insert(file);
            Entry e{name->SortKey(), QString(), folder.filePath(file), file, QString()};
            if (auto known = byLog.find(file); known != byLog.end()) {
                const HistoryCharge& c = recorded[known->second];
                e.when = ChargeTimeText(c.started);
                e.text = e.when + "\n" + figures(c);
                e.historyId = c.id;
            } else {
                // Only its name is known: the minute it ended.
                e.when = "ended " + ChargeTimeText(QDateTime(
                                        QDate(name->year, name->month, name->day),
                                        QTime(name->hour, name->minute)));
                if (name->copy > 1) {
                    e.when += QString(" (%1)").arg(name->copy);
                }
                e.text = e.when;
            }
            packs[QString::fromStdString(name->pack)].push_back(std::move(e));
        }
    }
    const LocalTime& started = m_recorder.Started();
    for (size_t i = 0; i < recorded.size(); ++i) {
        const HistoryCharge& c = recorded[i];
        const QDate d = c.started.date();
        const QTime t = c.started.time();
        // This charge's own row: its pack, its minute and its number of samples.
        const bool thisCharge = !m_recorder.Points().empty() && !m_recorder.Running() &&
                                size_t(c.samples) == m_recorder.Points().size() &&
                                c.packName.toStdString() == m_recorder.Pack() &&
                                d.year() == started.year && d.month() == started.month &&
                                d.day() == started.day && t.hour() == started.hour &&
                                t.minute() == started.minute;
        if (listed.contains(c.source) || thisCharge) {
            continue;  // drawn from its log, or as this charge
        }
        ChargeLogName name;
        name.year = d.year();
        name.month = d.month();
        name.day = d.day();
        name.hour = t.hour();
        name.minute = t.minute();
        name.copy = 0;
        const QString when = ChargeTimeText(c.started);
        packs[groupOf[i]].push_back({name.SortKey(), when, kHistoryKey + QString::number(c.id),
                                     "From the charge history",
                                     when + "\n" + figures(c) + " (history)", c.id});
    }
    QSignalBlocker quiet(m_logs);
    m_logs->clear();
    for (auto& [pack, entries] : packs) {
        std::sort(entries.begin(), entries.end(),
                  [](const Entry& a, const Entry& b) { return a.sortKey > b.sortKey; });
        auto* group = new QTreeWidgetItem(m_logs, {pack});
        group->setFlags(Qt::ItemIsEnabled);
        for (const Entry& e : entries) {
            auto* item = new QTreeWidgetItem(group, {e.text});
            item->setFlags(Qt::ItemIsEnabled | Qt::ItemIsUserCheckable | Qt::ItemIsSelectable);
            item->setData(0, kPathRole, e.path);
            item->setData(0, kWhenRole, e.when);
            item->setData(0, kTextRole, e.text);
            if (e.historyId > 0) {
                item->setData(0, kHistoryIdRole, e.historyId);
            }
            item->setToolTip(0, e.tip);
            const bool shown = ticked.contains(e.path);
            item->setCheckState(0, shown || loading.contains(e.path) ? Qt::Checked : Qt::Unchecked);
            if (!shown && loading.contains(e.path)) {
                item->setText(0, e.text + "  (reading...)");
            }
        }
    }
    // A shown past charge whose log has gone (or is this charge's) leaves the graph.
    auto gone = [&](const GraphOverlay& o) {
        return !o.path.startsWith(kHistoryKey) &&
               (!QFileInfo::exists(o.path) || SameFile(o.path, m_shownLogFile));
    };
    if (std::any_of(m_view->Overlays().begin(), m_view->Overlays().end(), gone)) {
        std::vector<GraphOverlay> overlays = m_view->TakeOverlays();
        std::erase_if(overlays, gone);
        m_view->SetOverlays(std::move(overlays));
    }
    m_logs->expandAll();
}

QSet<qint64> CChargeGraphWnd::ShownHistoryIds() const {
    QSet<qint64> ids;
    for (const GraphOverlay& o : m_view->Overlays()) {
        if (o.path.startsWith(kHistoryKey)) {
            ids.insert(o.path.mid(kHistoryKey.size()).toLongLong());
            continue;
        }
        for (QTreeWidgetItemIterator it(m_logs); *it != nullptr; ++it) {
            if ((*it)->data(0, kPathRole).toString() == o.path &&
                (*it)->data(0, kHistoryIdRole).isValid()) {
                ids.insert((*it)->data(0, kHistoryIdRole).toLongLong());
            }
        }
    }
    return ids;
}

void CChargeGraphWnd::OnLogTicked(QTreeWidgetItem* item) {
    if (item->parent() == nullptr) {
        return;
    }
    const QString path = item->data(0, kPathRole).toString();
    const QString label = item->parent()->text(0) + " " + item->data(0, kWhenRole).toString();
    const std::vector<GraphOverlay>& shownNow = m_view->Overlays();
    const bool shown = std::any_of(shownNow.begin(), shownNow.end(),
                                   [&](const GraphOverlay& o) { return o.path == path; });
    if (item->checkState(0) != Qt::Checked) {
        if (shown) {
            std::vector<GraphOverlay> overlays = m_view->TakeOverlays();
            std::erase_if(overlays, [&](const GraphOverlay& o) { return o.path == path; });
            m_view->SetOverlays(std::move(overlays));
        }
        return;
    }
    if (shown) {
        return;
    }
    QSignalBlocker quiet(m_logs);
    if (int(shownNow.size()) + m_loading >= kMostOverlays) {
        item->setCheckState(0, Qt::Unchecked);
        m_status->setText("At most eight past charges can be shown at a time.");
        return;
    }
    // Read off the window's thread: a long log must not freeze the window.
    item->setText(0, item->data(0, kTextRole).toString() + "  (reading...)");
    ++m_loading;
    using Read = std::pair<ChargeLogRead, std::vector<CurvePoint>>;
    auto* watcher = new QFutureWatcher<Read>(this);
    connect(watcher, &QFutureWatcherBase::finished, this, [=, this] {
        --m_loading;
        auto [read, envelope] = watcher->future().takeResult();
        watcher->deleteLater();
        // Found again by its path: the list may have been built anew meanwhile.
        QTreeWidgetItem* now = nullptr;
        for (QTreeWidgetItemIterator it(m_logs); *it != nullptr; ++it) {
            if ((*it)->parent() != nullptr && (*it)->data(0, kPathRole).toString() == path) {
                now = *it;
            }
        }
        OnLogRead(now, label, path, std::move(read), std::move(envelope));
    });
    const std::string file = QFile::encodeName(path).toStdString();
    const QString historyPath = m_strHistoryPath;
    watcher->setFuture(QtConcurrent::run([file, path, historyPath] {
        ChargeLogRead read;
        if (path.startsWith(kHistoryKey)) {
            // A charge of the history: its curve, read on this thread's own connection.
            ChargeHistory history(historyPath);
            history.Open();
            if (auto charge = history.Charge(path.mid(kHistoryKey.size()).toLongLong())) {
                read.ok = true;
                read.points = std::move(charge->curve);
            } else {
                read.error = "it is no longer in the charge history";
            }
        } else {
            read = ReadChargeLogFile(file);
        }
        std::vector<CurvePoint> envelope = Envelope(read.points, kEnvelopeStretches);
        return Read{std::move(read), std::move(envelope)};
    }));
}

bool CChargeGraphWnd::ShowPastCharge(const QString& shownKey, const QString& label,
                                     std::vector<CurvePoint> points) {
    // A charge of the history that the list holds (from its log, or from the history) is the
    // list's entry: one curve, one legend entry, its tick in the list.
    QString key = shownKey;
    QTreeWidgetItem* listed = nullptr;
    const qint64 id = key.startsWith(kHistoryKey) ? key.mid(kHistoryKey.size()).toLongLong() : 0;
    for (QTreeWidgetItemIterator it(m_logs); *it != nullptr; ++it) {
        const QString path = (*it)->data(0, kPathRole).toString();
        if ((*it)->parent() != nullptr &&
            (path == key || (id > 0 && (*it)->data(0, kHistoryIdRole).toLongLong() == id))) {
            listed = *it;
            key = path;
            break;
        }
    }
    const bool showing = !points.empty();
    std::vector<GraphOverlay> overlays = m_view->TakeOverlays();
    std::erase_if(overlays, [&](const GraphOverlay& o) { return o.path == key; });
    bool shown = true;
    if (!points.empty()) {
        if (int(overlays.size()) + m_loading >= kMostOverlays) {
            m_status->setText("At most eight past charges can be shown at a time.");
            shown = false;
        } else {
            std::vector<CurvePoint> envelope = Envelope(points, kEnvelopeStretches);
            overlays.push_back({label, key, std::move(points), QColor(), std::move(envelope)});
        }
    }
    if (listed != nullptr) {
        QSignalBlocker quiet(m_logs);
        listed->setCheckState(0, shown && showing ? Qt::Checked : Qt::Unchecked);
    }
    m_view->SetOverlays(std::move(overlays));
    return shown;
}

void CChargeGraphWnd::OnLogRead(QTreeWidgetItem* item, const QString& label, const QString& path,
                                ChargeLogRead read, std::vector<CurvePoint> envelope) {
    if (item == nullptr) {
        return;  // the log is no longer listed
    }
    QSignalBlocker quiet(m_logs);
    item->setText(0, item->data(0, kTextRole).toString());
    if (item->checkState(0) != Qt::Checked) {
        return;  // unticked while it was read
    }
    if (!read.ok) {
        item->setCheckState(0, Qt::Unchecked);
        m_status->setText(QString("%1 cannot be shown: %2.")
                              .arg(QFileInfo(path).fileName(), QString::fromStdString(read.error)));
        return;
    }
    std::vector<GraphOverlay> overlays = m_view->TakeOverlays();
    overlays.push_back({label, path, std::move(read.points), QColor(), std::move(envelope)});
    m_status->setText(read.skippedLines == 0
                          ? QString()
                          : QString("%1: %2 line(s) could not be read and were skipped.")
                                .arg(QFileInfo(path).fileName())
                                .arg(read.skippedLines));
    m_view->SetOverlays(std::move(overlays));
}
