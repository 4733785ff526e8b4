#pragma once
// The per-user application profile: sections of integer and string values in an INI file.
// Every write is on disk (atomically) when the call returns; a write that cannot be saved is
// reported once, in plain words, and the program goes on with the value kept in memory.

#include <QLockFile>
#include <QSettings>
#include <QString>
#include <functional>
#include <initializer_list>
#include <memory>
#include <utility>

class Profile {
public:
    // The profile of organisation "Quillmark", application "KVC410", in the user's config folder.
    static std::unique_ptr<Profile> ForUser();
    // That profile's file.
    static QString UserPath();
    // Empty when that file and its lock are regular files or absent; else what is in the way
    // (a pipe or a device there would hold the program in open()).
    static QString UserFileProblem();
    // A profile in the given INI file (tests). A file, or a lock of it, that is not a regular
    // file (a pipe put there, a device) is never opened: the program would wait in open() for
    // good. The profile then reads as empty and its writes fail, said as for a full disk.
    explicit Profile(const QString& iniPath);
    ~Profile();
    Profile(const Profile&) = delete;
    Profile& operator=(const Profile&) = delete;

    int GetProfileInt(const QString& section, const QString& key, int defaultValue);
    bool WriteProfileInt(const QString& section, const QString& key, int value);
    // Several integers of one section, saved together in one write.
    bool WriteProfileInts(const QString& section,
                          std::initializer_list<std::pair<const char*, int>> values);
    // Values of any sections, saved together in one write.
    struct Value {
        const char* section;
        QString key;
        QVariant value;
    };
    bool WriteProfileValues(std::initializer_list<Value> values);
    // How many times the file has been written (tests count the writes of one action).
    int WriteCount() const { return m_nWrites; }
    // At most kLongestValue characters of the stored value.
    QString GetProfileString(const QString& section, const QString& key,
                             const QString& defaultValue);
    static constexpr int kLongestValue = 4096;
    bool WriteProfileString(const QString& section, const QString& key, const QString& value);
    // Removes a key; the file is written only when the key was there.
    bool RemoveProfileKey(const QString& section, const QString& key);

    QString FileName() const { return m_path; }

    // Reads what another program wrote since this one last read or wrote the file.
    void Refresh();
    // Held around a change that depends on what is stored (a free slot, a pack's slot): the
    // programs that share the profile make such changes one at a time, each on fresh contents.
    class ChangeLock {
    public:
        explicit ChangeLock(Profile& profile);
        ~ChangeLock();
        ChangeLock(const ChangeLock&) = delete;
        ChangeLock& operator=(const ChangeLock&) = delete;

    private:
        std::unique_ptr<QLockFile> m_lock;
    };

    // Who tells the user that the profile could not be saved. Called at most once per profile.
    void SetFailureReporter(std::function<void(const QString& message)> reporter);

private:
    bool Commit();
    QString DescribeFailure() const;
    // Empty when the file and QSettings' lock of it can be opened without waiting; else why not.
    QString OpenProblem() const;

    QString m_path;
    // Never null; see the destructor.
    std::unique_ptr<QSettings> m_settings;
    std::function<void(const QString&)> m_reporter;
    bool m_bFailureReported = false;
    int m_nWrites = 0;
};

// The program's profile, set up at start-up: organisation "Quillmark", application "KVC410".
Profile& AppProfile();
// Replaces the program's profile; returns the previous one.
std::unique_ptr<Profile> SetAppProfile(std::unique_ptr<Profile> profile);
