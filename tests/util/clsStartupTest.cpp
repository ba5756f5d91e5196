#include "util/clsStartup.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>

#include <gtest/gtest.h>

using util::clsStartup;

namespace {

// Points XDG_CONFIG_HOME at a folder of the test's own and puts the old value back afterwards.
class StartupTest : public testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(temp.isValid());
        savedConfigHome = qgetenv("XDG_CONFIG_HOME");
        qputenv("XDG_CONFIG_HOME", QFile::encodeName(temp.filePath(QStringLiteral("config"))));
    }
    void TearDown() override { qputenv("XDG_CONFIG_HOME", savedConfigHome); }

    QString autostart() const { return temp.filePath(QStringLiteral("config/autostart")); }

    void writeEntry(const QString& fileName, const QByteArray& text) const {
        ASSERT_TRUE(QDir().mkpath(autostart()));
        QFile file(autostart() + u'/' + fileName);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(text);
    }

    static QByteArray readAll(const QString& path) {
        QFile file(path);
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    }

    QTemporaryDir temp;
    QByteArray savedConfigHome;
    clsStartup startup{QStringLiteral("/opt/quorvia/bin/veltrax")};
};

TEST_F(StartupTest, EntryRoundTrips) {
    EXPECT_EQ(clsStartup::autostartFolder(), autostart());
    EXPECT_FALSE(startup.IsSetAtStartup());

    ASSERT_TRUE(startup.LaunchAtStartUp(true));
    const QString entry = autostart() + QStringLiteral("/veltrax.desktop");
    EXPECT_EQ(startup.entryFilePath(), entry);
    EXPECT_EQ(readAll(entry), QByteArray("[Desktop Entry]\n"
                                         "Type=Application\n"
                                         "Name=veltrax\n"
                                         "Exec=/opt/quorvia/bin/veltrax\n"
                                         "X-GNOME-Autostart-enabled=true\n"));
    EXPECT_TRUE(startup.IsSetAtStartup());

    // Written again for a program that moved: replaced, not duplicated.
    clsStartup moved(QStringLiteral("/usr/local/bin/veltrax"));
    ASSERT_TRUE(moved.LaunchAtStartUp(true));
    EXPECT_TRUE(readAll(entry).contains("Exec=/usr/local/bin/veltrax\n"));
    EXPECT_EQ(QDir(autostart()).entryList(QDir::Files).size(), 1);

    EXPECT_TRUE(startup.LaunchAtStartUp(false));
    EXPECT_FALSE(QFileInfo::exists(entry));
    EXPECT_FALSE(startup.IsSetAtStartup());
    // Removing an entry that is not there is no failure.
    EXPECT_TRUE(startup.LaunchAtStartUp(false));
}

TEST_F(StartupTest, OnlyTheProgramsOwnEntryCountsWithRegardToCase) {
    // Another program's entry whose name begins the same way: the check mark can still be
    // cleared, since removing takes away the one entry that counts.
    writeEntry(QStringLiteral("veltrax2.desktop"), "[Desktop Entry]\nType=Application\n");
    EXPECT_FALSE(startup.IsSetAtStartup());
    ASSERT_TRUE(startup.LaunchAtStartUp(true));
    EXPECT_TRUE(startup.IsSetAtStartup());
    ASSERT_TRUE(startup.LaunchAtStartUp(false));
    EXPECT_FALSE(startup.IsSetAtStartup());
    EXPECT_TRUE(QFileInfo::exists(autostart() + QStringLiteral("/veltrax2.desktop")));

    ASSERT_TRUE(QFile::remove(autostart() + QStringLiteral("/veltrax2.desktop")));
    writeEntry(QStringLiteral("Veltrax.desktop"), "[Desktop Entry]\nType=Application\n");
    writeEntry(QStringLiteral("VELTRAX.desktop"), "[Desktop Entry]\nType=Application\n");
    writeEntry(QStringLiteral("velt.desktop"), "[Desktop Entry]\nType=Application\n");
    writeEntry(QStringLiteral("veltrax.txt"), "[Desktop Entry]\nType=Application\n");
    writeEntry(QStringLiteral("veltrax.DESKTOP"), "[Desktop Entry]\nType=Application\n");
    EXPECT_FALSE(startup.IsSetAtStartup());

    // Removing touches only the program's own entry.
    EXPECT_TRUE(startup.LaunchAtStartUp(false));
    EXPECT_TRUE(QFileInfo::exists(autostart() + QStringLiteral("/Veltrax.desktop")));
}

TEST_F(StartupTest, EntryTheDesktopSkipsIsNotSetUntilWrittenAgain) {
    writeEntry(QStringLiteral("veltrax.desktop"),
               "[Desktop Entry]\nType=Application\nExec=/old/veltrax\n"
               "X-GNOME-Autostart-enabled=false\n");
    EXPECT_FALSE(startup.IsSetAtStartup());
    writeEntry(QStringLiteral("veltrax.desktop"),
               "[Desktop Entry]\nType=Application\nHidden = true\n");
    EXPECT_FALSE(startup.IsSetAtStartup());
    // The same keys in another group do not count.
    writeEntry(QStringLiteral("veltrax.desktop"),
               "[Desktop Entry]\nType=Application\n[Desktop Action x]\nHidden=true\n");
    EXPECT_TRUE(startup.IsSetAtStartup());

    writeEntry(QStringLiteral("veltrax.desktop"), "[Desktop Entry]\nHidden=true\n");
    ASSERT_TRUE(startup.LaunchAtStartUp(true));
    EXPECT_TRUE(startup.IsSetAtStartup());
}

TEST_F(StartupTest, UnwritableFolderIsReported) {
    QFile blocker(temp.filePath(QStringLiteral("file")));
    ASSERT_TRUE(blocker.open(QIODevice::WriteOnly));
    blocker.close();
    qputenv("XDG_CONFIG_HOME", QFile::encodeName(blocker.fileName()));

    EXPECT_FALSE(startup.LaunchAtStartUp(true));
    EXPECT_FALSE(startup.IsSetAtStartup());
    EXPECT_TRUE(startup.LaunchAtStartUp(false));
}

TEST_F(StartupTest, RelativeOrMissingConfigHomeFallsBackToHome) {
    const QString home = QDir::homePath() + QStringLiteral("/.config/autostart");
    qputenv("XDG_CONFIG_HOME", "relative/config");
    EXPECT_EQ(clsStartup::autostartFolder(), home);
    qunsetenv("XDG_CONFIG_HOME");
    EXPECT_EQ(clsStartup::autostartFolder(), home);
}

TEST(StartupNamesTest, ValueNameAndPaths) {
    EXPECT_EQ(clsStartup(QStringLiteral("/opt/x/veltrax")).valueName(), QStringLiteral("veltrax"));
    EXPECT_EQ(clsStartup(QStringLiteral("/opt/x/veltrax.bin")).valueName(),
              QStringLiteral("veltrax"));
    const QString odd = QStringLiteral("/opt/My Audio/v~1");
    EXPECT_EQ(clsStartup().GetShortPath(odd), odd);
}

TEST(StartupNamesTest, ExecValueQuotesAndEscapes) {
    EXPECT_EQ(clsStartup::execValue(QStringLiteral("/usr/bin/veltrax")),
              QStringLiteral("/usr/bin/veltrax"));
    EXPECT_EQ(clsStartup::execValue(QStringLiteral("/opt/My Apps/veltrax")),
              QStringLiteral("\"/opt/My Apps/veltrax\""));
    EXPECT_EQ(clsStartup::execValue(QStringLiteral("/opt/100%/veltrax")),
              QStringLiteral("/opt/100%%/veltrax"));
    // A literal "$" in a quoted argument is written \\$, a literal backslash four backslashes.
    EXPECT_EQ(clsStartup::execValue(QStringLiteral("/opt/a$b/v")),
              QStringLiteral("\"/opt/a\\\\$b/v\""));
    EXPECT_EQ(clsStartup::execValue(QStringLiteral("/opt/a\\b/v")),
              QStringLiteral("\"/opt/a\\\\\\\\b/v\""));
    EXPECT_EQ(clsStartup::execValue(QStringLiteral("/opt/say \"hi\"/v")),
              QStringLiteral("\"/opt/say \\\\\"hi\\\\\"/v\""));
    // A line break cannot end the value early and start a key of its own.
    const QString injected = clsStartup::execValue(QStringLiteral("/opt/a\nHidden=true/v"));
    EXPECT_FALSE(injected.contains(u'\n'));
    EXPECT_EQ(injected, QStringLiteral("\"/opt/a\\nHidden=true/v\""));
}

} // namespace
