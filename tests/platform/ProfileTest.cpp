#include <gtest/gtest.h>

#include <QDir>
#include <QFile>

#include "tests/TestSupport.h"

namespace {

TEST(Profile, StringsReadBackByteForByte) {
    ProfileSandbox sandbox;
    const QString values[] = {
        "plain",
        "a, b, c",
        "\"quoted\"",
        "key=value",
        "; not a comment",
        "# not a comment either",
        "[Section]",
        "  leading and trailing  ",
        "back\\slash\\",
        "Akku Größe ÄÖÜ — 電池",
        "@ByteArray(x)",
        "@Invalid()",
        "",
        "0",
        "line\nbreak\ttab",
        "ends with a backslash \\",
    };
    int n = 0;
    for (const QString& value : values) {
        sandbox.profile().WriteProfileString("Packs", QString::number(n++), value);
    }
    // A fresh profile on the same file sees exactly what was written.
    Profile reread(sandbox.Path());
    n = 0;
    for (const QString& value : values) {
        QString back = reread.GetProfileString("Packs", QString::number(n++), "absent");
        EXPECT_EQ(back.toUtf8(), value.toUtf8()) << value.toStdString();
    }
    EXPECT_TRUE(sandbox.failures.empty());
    // Typed by hand without quotes, commas and all: the text, not nothing.
    QFile file(sandbox.Path());
    ASSERT_TRUE(file.open(QIODevice::Append));
    file.write("[Limits]\nCurrent=100,1,150,1,0,1,30,1\n");
    file.close();
    Profile edited(sandbox.Path());
    EXPECT_EQ(edited.GetProfileString("Limits", "Current", "absent"), "100,1,150,1,0,1,30,1");
}

TEST(Profile, IntegersAndDefaults) {
    ProfileSandbox sandbox;
    Profile& p = sandbox.profile();
    EXPECT_EQ(p.GetProfileInt("Properties", "Delta", 8), 8);
    EXPECT_EQ(p.GetProfileString("Properties", "PackName", "None"), "None");
    p.WriteProfileInt("Properties", "LastSelected", -1);
    p.WriteProfileInt("Properties", "Delta", 20);
    p.WriteProfileString("Properties", "Garbage", "twelve");
    Profile reread(sandbox.Path());
    EXPECT_EQ(reread.GetProfileInt("Properties", "LastSelected", 0), -1);
    EXPECT_EQ(reread.GetProfileInt("Properties", "Delta", 8), 20);
    EXPECT_EQ(reread.GetProfileInt("Properties", "Garbage", 5), 5);
    // Sections keep their keys apart.
    EXPECT_EQ(reread.GetProfileInt("Packs", "Delta", 3), 3);
}

TEST(Profile, AFailedWriteIsReportedOnceWithThePlace) {
    QTemporaryDir dir;
    // A file where the profile's folder should be: nothing can be written there, even by root.
    QFile blocker(dir.path() + "/not-a-folder");
    ASSERT_TRUE(blocker.open(QIODevice::WriteOnly));
    blocker.close();
    Profile profile(dir.path() + "/not-a-folder/KVC410.ini");
    std::vector<QString> reports;
    profile.SetFailureReporter([&](const QString& message) { reports.push_back(message); });

    EXPECT_FALSE(profile.WriteProfileInt("Properties", "Cells", 6));
    EXPECT_FALSE(profile.WriteProfileString("Packs", "0", "AA"));
    ASSERT_EQ(reports.size(), 1u);
    EXPECT_TRUE(reports[0].contains(dir.path() + "/not-a-folder/KVC410.ini"));
    EXPECT_TRUE(reports[0].contains("could not save"));
    // The program goes on with what the user set.
    EXPECT_EQ(profile.GetProfileInt("Properties", "Cells", 8), 6);
}

TEST(Profile, AFullDiskKeepsTheStoredProfileWholeAndSaysSo) {
    FullDisk disk;
    if (!disk.Ready()) {
        GTEST_SKIP() << disk.why;
    }
    const QString path = disk.Path() + "/KVC410.ini";
    {
        Profile profile(path);
        ASSERT_TRUE(profile.WriteProfileString("Packs", "0", "Kept"));
    }
    QFile stored(path);
    ASSERT_TRUE(stored.open(QIODevice::ReadOnly));
    const QByteArray before = stored.readAll();
    stored.close();
    disk.Fill();
    Profile profile(path);
    std::vector<QString> reports;
    profile.SetFailureReporter([&](const QString& message) { reports.push_back(message); });
    // A value larger than anything left on the disk.
    EXPECT_FALSE(profile.WriteProfileString("Packs", "1", QString(8000, 'n')));
    ASSERT_EQ(reports.size(), 1u);
    EXPECT_TRUE(reports[0].contains(path)) << reports[0].toStdString();
    EXPECT_TRUE(reports[0].contains("full")) << reports[0].toStdString();
    ASSERT_TRUE(stored.open(QIODevice::ReadOnly));
    EXPECT_EQ(stored.readAll(), before);
}

TEST(Profile, LeavesNoTemporaryFilesBehind) {
    ProfileSandbox sandbox;
    for (int i = 0; i < 20; ++i) {
        sandbox.profile().WriteProfileInt("Properties", "Sens", i);
    }
    QStringList files = QDir(sandbox.Folder()).entryList(QDir::Files | QDir::Hidden);
    EXPECT_EQ(files, QStringList{"KVC410.ini"});
}

}  // namespace
