#include "platform/Profile.h"

#include <QFile>
#include <QFileInfo>
#include <QStandardPaths>

#include <cstdio>

#include "platform/SafeRead.h"
#include "platform/WriteFailure.h"

namespace {
std::unique_ptr<Profile> g_profile;

QString KeyPath(const QString& section, const QString& key) {
    return section + '/' + key;
}
}  // namespace

QString Profile::UserPath() {
    // Where QSettings keeps the user's INI file of organisation "Quillmark", application
    // "KVC410", found without opening it (QSettings reads its file when it is made).
    return QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation) +
           "/Quillmark/KVC410.ini";
}

QString Profile::UserFileProblem() {
    for (const QString& path : {UserPath(), UserPath() + ".lock"}) {
        std::string why;
        if (!IsRegularOrAbsent(QFile::encodeName(path).toStdString(), why)) {
            return QString("\"%1\": %2").arg(path, QString::fromStdString(why));
        }
    }
    return QString();
}

std::unique_ptr<Profile> Profile::ForUser() {
    return std::make_unique<Profile>(UserPath());
}

Profile::Profile(const QString& iniPath) : m_settings(iniPath, QSettings::IniFormat) {
    // The program puts a message box here; on its own the profile says it on stderr.
    m_reporter = [](const QString& message) {
        std::fprintf(stderr, "KVC410: %s\n", message.toLocal8Bit().constData());
    };
}

void Profile::Refresh() {
    // Nothing of ours is pending (every write is committed at once): this only reads.
    m_settings.sync();
}

Profile::ChangeLock::ChangeLock(Profile& profile)
    : m_lock(std::make_unique<QLockFile>(profile.FileName() + ".change-lock")) {
    // A program that died holding it leaves a stale lock, which QLockFile takes over; one that
    // hangs holding it is waited for a few seconds, then the change goes ahead unguarded, as it
    // did before there was a lock, rather than freeze this window.
    constexpr int kLongestWaitMs = 5000;
    m_lock->tryLock(kLongestWaitMs);
    profile.Refresh();
}

Profile::ChangeLock::~ChangeLock() = default;

void Profile::SetFailureReporter(std::function<void(const QString&)> reporter) {
    m_reporter = std::move(reporter);
}

int Profile::GetProfileInt(const QString& section, const QString& key, int defaultValue) {
    QVariant v = m_settings.value(KeyPath(section, key));
    if (!v.isValid()) {
        return defaultValue;
    }
    bool ok = false;
    int value = v.toString().left(kLongestValue).trimmed().toInt(&ok);
    return ok ? value : defaultValue;
}

bool Profile::WriteProfileInt(const QString& section, const QString& key, int value) {
    m_settings.setValue(KeyPath(section, key), value);
    return Commit();
}

bool Profile::WriteProfileInts(const QString& section,
                               std::initializer_list<std::pair<const char*, int>> values) {
    for (const auto& [key, value] : values) {
        m_settings.setValue(KeyPath(section, key), value);
    }
    return Commit();
}

QString Profile::GetProfileString(const QString& section, const QString& key,
                                  const QString& defaultValue) {
    QVariant v = m_settings.value(KeyPath(section, key));
    // No value the program writes comes near this; a longer one (edited by hand) is cut, and
    // its reader then finds it damaged.
    return v.isValid() ? v.toString().left(kLongestValue) : defaultValue;
}

bool Profile::WriteProfileString(const QString& section, const QString& key, const QString& value) {
    m_settings.setValue(KeyPath(section, key), value);
    return Commit();
}

bool Profile::RemoveProfileKey(const QString& section, const QString& key) {
    if (!m_settings.contains(KeyPath(section, key))) {
        return true;
    }
    m_settings.remove(KeyPath(section, key));
    return Commit();
}

bool Profile::WriteProfileValues(std::initializer_list<Value> values) {
    for (const Value& v : values) {
        m_settings.setValue(KeyPath(v.section, v.key), v.value);
    }
    return Commit();
}

bool Profile::Commit() {
    ++m_nWrites;
    // QSettings writes through a temporary file that replaces the old one, so a crash leaves
    // either the old or the new profile, never half of one.
    m_settings.sync();
    if (m_settings.status() == QSettings::NoError) {
        return true;
    }
    if (!m_bFailureReported && m_reporter) {
        m_bFailureReported = true;
        m_reporter(DescribeFailure());
    }
    return false;
}

QString Profile::DescribeFailure() const {
    QFileInfo file(m_settings.fileName());
    QString why = WhyNotWritten(file.absoluteFilePath());
    if (why.isEmpty()) {
        why = "the file could not be written.";
    }
    return QString(
               "KVC410 could not save your settings and packs to \"%1\", because %2\n\n"
               "The program goes on, but changes made from now on will be lost when it is "
               "closed. Free the disk or fix the permissions to keep them.")
        .arg(file.absoluteFilePath(), why);
}

Profile& AppProfile() {
    if (!g_profile) {
        g_profile = Profile::ForUser();
    }
    return *g_profile;
}

std::unique_ptr<Profile> SetAppProfile(std::unique_ptr<Profile> profile) {
    std::swap(g_profile, profile);
    return profile;
}
