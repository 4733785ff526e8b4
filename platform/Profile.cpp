#include "platform/Profile.h"

#include <QFile>
#include <QFileInfo>
#include <QEvent>
#include <QStandardPaths>

#include <cstdio>
#include <vector>

#include "platform/SafeRead.h"
#include "platform/WriteFailure.h"

namespace {
std::unique_ptr<Profile> g_profile;

QString KeyPath(const QString& section, const QString& key) {
    return section + '/' + key;
}

// What is at path, when it is something a program waits on in open().
QString NotRegular(const QString& path) {
    std::string why;
    return IsRegularOrAbsent(QFile::encodeName(path).toStdString(), why)
               ? QString()
               : QString("\"%1\": %2").arg(path, QString::fromStdString(why));
}

QString NotRegularFiles(const QString& iniPath) {
    for (const QString& path : {iniPath, iniPath + ".lock"}) {
        if (const QString problem = NotRegular(path); !problem.isEmpty()) {
            return problem;
        }
    }
    return QString();
}

// QSettings also writes on its own, from the event loop after a change and when it is
// destroyed; neither may open a pipe that has taken the file's place.
class GuardedSettings final : public QSettings {
public:
    GuardedSettings(const QString& path, const QString& guarded)
        : QSettings(path, QSettings::IniFormat), m_guarded(guarded) {}

protected:
    bool event(QEvent* e) override {
        if (e->type() == QEvent::UpdateRequest && !NotRegularFiles(m_guarded).isEmpty()) {
            return true;  // left to the next write, which says why it cannot be saved
        }
        return QSettings::event(e);
    }

private:
    QString m_guarded;
};

// Settings whose file could not be written when their profile went: QSettings would write
// them as it is destroyed, into whatever holds the file's place. Kept, never destroyed (a
// few of them at most in a program's life).
std::vector<std::unique_ptr<QSettings>>& Abandoned() {
    static auto* const kept = new std::vector<std::unique_ptr<QSettings>>;  // not even at exit
    return *kept;
}
}  // namespace

QString Profile::UserPath() {
    // Where QSettings keeps the user's INI file of organisation "Quillmark", application
    // "KVC410", found without opening it (QSettings reads its file when it is made).
    return QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation) +
           "/Quillmark/KVC410.ini";
}

QString Profile::UserFileProblem() {
    return NotRegularFiles(UserPath());
}

std::unique_ptr<Profile> Profile::ForUser() {
    return std::make_unique<Profile>(UserPath());
}

// QSettings reads its file as it is made: on nothing at all where the file is not one.
Profile::Profile(const QString& iniPath)
    : m_path(iniPath),
      m_settings(std::make_unique<GuardedSettings>(
          NotRegularFiles(iniPath).isEmpty() ? iniPath : QString(), iniPath)) {
    // The program puts a message box here; on its own the profile says it on stderr.
    m_reporter = [](const QString& message) {
        std::fprintf(stderr, "KVC410: %s\n", message.toLocal8Bit().constData());
    };
}

QString Profile::OpenProblem() const {
    if (m_settings->fileName().isEmpty()) {
        return NotRegularFiles(m_path).isEmpty()
                   ? QString("\"%1\": it was not a regular file when it was opened").arg(m_path)
                   : NotRegularFiles(m_path);
    }
    return NotRegularFiles(m_path);
}

Profile::~Profile() {
    if (!OpenProblem().isEmpty()) {
        Abandoned().push_back(std::move(m_settings));
    }
}

void Profile::Refresh() {
    // Nothing of ours is pending (every write is committed at once): this only reads.
    if (OpenProblem().isEmpty()) {
        m_settings->sync();
    }
}

Profile::ChangeLock::ChangeLock(Profile& profile)
    : m_lock(std::make_unique<QLockFile>(profile.FileName() + ".change-lock")) {
    // A program that died holding it leaves a stale lock, which QLockFile takes over; one that
    // hangs holding it is waited for a few seconds, then the change goes ahead unguarded, as it
    // did before there was a lock, rather than freeze this window. So does a change whose lock
    // is not a regular file (QLockFile would wait in open() on a pipe for good).
    constexpr int kLongestWaitMs = 5000;
    if (NotRegular(profile.FileName() + ".change-lock").isEmpty()) {
        m_lock->tryLock(kLongestWaitMs);
    }
    profile.Refresh();
}

Profile::ChangeLock::~ChangeLock() = default;

void Profile::SetFailureReporter(std::function<void(const QString&)> reporter) {
    m_reporter = std::move(reporter);
}

int Profile::GetProfileInt(const QString& section, const QString& key, int defaultValue) {
    QVariant v = m_settings->value(KeyPath(section, key));
    if (!v.isValid()) {
        return defaultValue;
    }
    bool ok = false;
    int value = v.toString().left(kLongestValue).trimmed().toInt(&ok);
    return ok ? value : defaultValue;
}

bool Profile::WriteProfileInt(const QString& section, const QString& key, int value) {
    m_settings->setValue(KeyPath(section, key), value);
    return Commit();
}

bool Profile::WriteProfileInts(const QString& section,
                               std::initializer_list<std::pair<const char*, int>> values) {
    for (const auto& [key, value] : values) {
        m_settings->setValue(KeyPath(section, key), value);
    }
    return Commit();
}

QString Profile::GetProfileString(const QString& section, const QString& key,
                                  const QString& defaultValue) {
    QVariant v = m_settings->value(KeyPath(section, key));
    if (!v.isValid()) {
        return defaultValue;
    }
    // A hand-edited value with commas and no quotes comes back from the INI reader as a list,
    // which as a string is empty, as if it were not there: it is the text it was, for its
    // reader to judge (and to say it is damaged).
    const QString text = v.userType() == QMetaType::QStringList ? v.toStringList().join(',')
                                                                : v.toString();
    // No value the program writes comes near this; a longer one (edited by hand) is cut, and
    // its reader then finds it damaged.
    return text.left(kLongestValue);
}

bool Profile::WriteProfileString(const QString& section, const QString& key, const QString& value) {
    m_settings->setValue(KeyPath(section, key), value);
    return Commit();
}

bool Profile::RemoveProfileKey(const QString& section, const QString& key) {
    if (!m_settings->contains(KeyPath(section, key))) {
        return true;
    }
    m_settings->remove(KeyPath(section, key));
    return Commit();
}

bool Profile::WriteProfileValues(std::initializer_list<Value> values) {
    for (const Value& v : values) {
        m_settings->setValue(KeyPath(v.section, v.key), v.value);
    }
    return Commit();
}

bool Profile::Commit() {
    ++m_nWrites;
    // QSettings writes through a temporary file that replaces the old one, so a crash leaves
    // either the old or the new profile, never half of one. Where a pipe has taken the file's
    // place the values stay in memory, as on a full disk.
    const QString problem = OpenProblem();
    if (problem.isEmpty()) {
        m_settings->sync();
        if (m_settings->status() == QSettings::NoError) {
            return true;
        }
    }
    if (!m_bFailureReported && m_reporter) {
        m_bFailureReported = true;
        m_reporter(DescribeFailure());
    }
    return false;
}

QString Profile::DescribeFailure() const {
    QFileInfo file(m_path);
    QString why = OpenProblem();
    if (!why.isEmpty()) {
        why += ".";
    } else {
        why = WhyNotWritten(file.absoluteFilePath());
    }
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
