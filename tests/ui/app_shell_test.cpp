// The application shell's own rules: preferences, window placement, the state word, the
// command line, the recent files and the document's save question.
#include <gtest/gtest.h>

#include <fstream>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSettings>

#include "engine/controller.h"
#include "model/project.h"
#include "support/settings_scope.h"
#include "support/temp_dir.h"
#include "ui/app_globals.h"
#include "ui/gui_engine_ui.h"
#include "ui/main_frame.h"
#include "ui/project_document.h"
#include "ui/quarn_app.h"
#include "ui/recent_file_list.h"

namespace {

QSettings UserSettings() {
    return QSettings(QStringLiteral("Tolvane"), QStringLiteral("Quarn"));
}

// A home folder of the test's own, so that the sites folder made on a first run is not the
// user's.
class HomeScope {
public:
    HomeScope() : m_before(qgetenv("HOME")) {
        qputenv("HOME", QByteArray::fromStdString(m_home.path().string()));
    }
    ~HomeScope() { qputenv("HOME", m_before); }
    const std::filesystem::path& path() const { return m_home.path(); }

private:
    TempDir m_home;
    QByteArray m_before;
};

} // namespace

TEST(AppPreferences, OnlyAStoredOneIsTrueAndFlagsAreWrittenBackAsZeroOrOne) {
    SettingsScope scope;
    HomeScope home;
    {
        QSettings settings = UserSettings();
        settings.setValue(QStringLiteral("BeepWhenDone"), 2);
        settings.setValue(QStringLiteral("SplitterMove"), 1);
        settings.setValue(QStringLiteral("UseProxy"), QStringLiteral("yes"));
        settings.setValue(QStringLiteral("Window/Maximized"), 5);
    }
    bool maximized = false;
    ReadPreferences(maximized);
    EXPECT_FALSE(g_bBeepWhenDone.load());
    EXPECT_TRUE(g_bSplitterMove);
    EXPECT_FALSE(g_bUseProxy);
    EXPECT_TRUE(maximized); // any nonzero value opens the window maximized

    WritePreferences();
    QSettings settings = UserSettings();
    EXPECT_EQ(settings.value(QStringLiteral("BeepWhenDone")).toInt(), 0);
    EXPECT_EQ(settings.value(QStringLiteral("SplitterMove")).toInt(), 1);
    EXPECT_EQ(settings.value(QStringLiteral("UseProxy")).toInt(), 0);
    g_bSplitterMove = false;
}

TEST(AppPreferences, MissingSitesDirIsMadeInTheHomeFolderAndAStoredOneWins) {
    SettingsScope scope;
    TempDir work;
    HomeScope homeDir;
    const QString before = QDir::currentPath();
    // Started from a build tree or a checkout, the copies still go to the home folder.
    QDir::setCurrent(QString::fromStdString(work.path().string()));
    const QString home = QString::fromStdString((homeDir.path() / "Sites").string());
    bool maximized = true;
    ReadPreferences(maximized);
    EXPECT_FALSE(maximized);
    EXPECT_EQ(SitesDir(), home);
    EXPECT_TRUE(QFileInfo(home).isDir());
    EXPECT_FALSE(QFileInfo::exists(QDir::current().filePath(QStringLiteral("Sites"))));

    UserSettings().setValue(QStringLiteral("SitesDir"), QString(300, QLatin1Char('x')));
    ReadPreferences(maximized);
    EXPECT_EQ(SitesDir(), home);
    QDir(home).removeRecursively();

    // A stored folder is taken as it is, and not made before it is needed.
    TempDir temp;
    const QString stored = QString::fromStdString((temp.path() / "mirrors").string());
    UserSettings().setValue(QStringLiteral("SitesDir"), stored);
    ReadPreferences(maximized);
    EXPECT_EQ(SitesDir(), stored);
    EXPECT_FALSE(QFileInfo::exists(stored));
    EXPECT_FALSE(QFileInfo::exists(home));
    QDir::setCurrent(before);
}

TEST(AppPreferences, InstallDirComesFromTheSystemSettingWhenPresent) {
    SettingsScope scope;
    QSettings system(QSettings::SystemScope, QStringLiteral("Tolvane"), QStringLiteral("Quarn"));
    system.setValue(QStringLiteral("InstallDir"), QStringLiteral("/opt/quarn"));
    system.sync();
    EXPECT_EQ(FindInstallDir(), QStringLiteral("/opt/quarn"));
}

TEST(WindowPlacement, FirstStartAndOutOfRangeValuesFallBackOneByOne) {
    SettingsScope scope;
    const QSize screen(1920, 1080);
    // The free area of a screen with a panel along its top.
    const QRect available(0, 30, 1920, 1050);
    EXPECT_EQ(CMainFrame::PlacementFromSettings(screen, available), QRect(192, 135, 1536, 840));
    EXPECT_EQ(CMainFrame::PlacementFromSettings(QSize(1400, 950), QRect(0, 0, 1400, 950)),
              QRect(140, 95, 1120, 760));

    QSettings settings = UserSettings();
    settings.setValue(QStringLiteral("Window/Left"), 5000); // beyond the screen
    settings.setValue(QStringLiteral("Window/Top"), -20);   // negative
    settings.setValue(QStringLiteral("Window/Width"), 1024);
    settings.setValue(QStringLiteral("Window/Height"), 700);
    settings.sync();
    // A stored size keeps the window centred where no position is taken.
    EXPECT_EQ(CMainFrame::PlacementFromSettings(screen, available), QRect(448, 205, 1024, 700));

    settings.setValue(QStringLiteral("Window/Left"), 1920); // the edge itself is accepted
    settings.setValue(QStringLiteral("Window/Height"), 1081);
    settings.sync();
    EXPECT_EQ(CMainFrame::PlacementFromSettings(screen, available), QRect(1920, 135, 1024, 840));
}

TEST(ControllerStateWord, NamesEachStateAndLeavesQuittingAlone) {
    EXPECT_EQ(ControllerStateWord(kControllerRunning), QStringLiteral("Quarning"));
    EXPECT_EQ(ControllerStateWord(kControllerPaused), QStringLiteral("Paused"));
    EXPECT_EQ(ControllerStateWord(kControllerIdle), QStringLiteral("Ready"));
    EXPECT_FALSE(ControllerStateWord(kControllerQuitting).has_value());
    for (int other : {0, 5, -1, 99})
        EXPECT_EQ(ControllerStateWord(other), QStringLiteral("???")) << other;
}

TEST(CommandLine, TakesTheProjectFileAndTurnsTheSplashOffForAutomation) {
    const CCommandLine plain = ParseCommandLine({QStringLiteral("/tmp/project.xml")});
    EXPECT_EQ(plain.projectFile, QStringLiteral("/tmp/project.xml"));
    EXPECT_TRUE(plain.splash);

    for (const char* automation : {"-Embedding", "-Automation", "--embedding"}) {
        const CCommandLine line = ParseCommandLine({QString::fromLatin1(automation)});
        EXPECT_FALSE(line.splash) << automation;
        EXPECT_TRUE(line.projectFile.isEmpty()) << automation;
    }
}

TEST(RecentFiles, NewestFirstAtMostTenAndStoredAsFile1ToFile10) {
    SettingsScope scope;
    CRecentFileList recent;
    for (int i = 1; i <= 12; ++i)
        recent.Add(QStringLiteral("/p/project%1.xml").arg(i));
    recent.Add(QStringLiteral("/p/project5.xml"));
    ASSERT_EQ(recent.Files().size(), 10);
    EXPECT_EQ(recent.Files().first(), QStringLiteral("/p/project5.xml"));
    EXPECT_EQ(recent.Files().count(QStringLiteral("/p/project5.xml")), 1);
    EXPECT_FALSE(recent.Files().contains(QStringLiteral("/p/project2.xml")));
    recent.Save();

    QSettings settings = UserSettings();
    EXPECT_EQ(settings.value(QStringLiteral("Recent File List/File1")).toString(),
              QStringLiteral("/p/project5.xml"));
    EXPECT_FALSE(settings.contains(QStringLiteral("Recent File List/File11")));
    CRecentFileList loaded;
    loaded.Load();
    EXPECT_EQ(loaded.Files(), recent.Files());
}

TEST(RecentFiles, MenuTextIsAbbreviatedToThirtyCharactersKeepingTheFileName) {
    const QString sep = QDir::separator();
    const QString longPath = sep + QStringLiteral("home") + sep + QStringLiteral("someone") + sep +
                             QStringLiteral("projects") + sep + QStringLiteral("mirrors") + sep +
                             QStringLiteral("news.xml");
    const QString shortened = AbbreviatePath(longPath, 30);
    EXPECT_LE(shortened.size(), 30);
    EXPECT_TRUE(
        shortened.endsWith(sep + QStringLiteral("mirrors") + sep + QStringLiteral("news.xml")))
        << shortened.toStdString();
    EXPECT_TRUE(shortened.contains(QStringLiteral("..."))) << shortened.toStdString();
    EXPECT_EQ(AbbreviatePath(QStringLiteral("short.xml"), 30), QStringLiteral("short.xml"));
    const QString longName = QString(40, QLatin1Char('n')) + QStringLiteral(".xml");
    EXPECT_EQ(AbbreviatePath(sep + QStringLiteral("a") + sep + longName, 30), longName);

    CRecentFileList recent;
    recent.Add(QStringLiteral("/a&b.xml"));
    EXPECT_TRUE(recent.MenuText(0).startsWith(QStringLiteral("&1 ")));
    EXPECT_TRUE(recent.MenuText(0).contains(QStringLiteral("a&&b.xml")));
}

class ProjectDocumentTest : public ::testing::Test {
protected:
    ProjectDocumentTest() {
        document.askSaveChanges = [this](const QString& text) {
            questions.push_back(text);
            return answer;
        };
        document.askSavePath = [this](const QString&) { return savePath; };
        document.showError = [this](const QString& text) { errors.push_back(text); };
    }
    void Modify() {
        document.Project().AddGroup(std::make_unique<CSiteGroup>("News"));
        ASSERT_TRUE(document.Project().IsModified());
    }

    SettingsScope scope;
    TempDir dir;
    CProjectDocument document;
    CProjectDocument::Answer answer = CProjectDocument::Answer::Cancel;
    QString savePath;
    QStringList questions;
    QStringList errors;
};

TEST_F(ProjectDocumentTest, UnsavedChangesAreAskedAboutAndCancelKeepsThem) {
    EXPECT_TRUE(document.New()); // nothing to ask about
    EXPECT_TRUE(questions.isEmpty());
    EXPECT_EQ(document.WindowTitle(), QStringLiteral("Untitled - Quarn"));

    Modify();
    answer = CProjectDocument::Answer::Cancel;
    EXPECT_FALSE(document.New());
    EXPECT_EQ(questions, QStringList{QStringLiteral("Save changes to Untitled?")});
    EXPECT_EQ(document.Project().GetGroups().size(), 1u);

    answer = CProjectDocument::Answer::No;
    EXPECT_TRUE(document.New());
    EXPECT_TRUE(document.Project().GetGroups().empty());
}

TEST_F(ProjectDocumentTest, YesSavesUnderANewNameAndRemembersIt) {
    Modify();
    answer = CProjectDocument::Answer::Yes;
    savePath = QString::fromStdString((dir.path() / "mirrors").string()); // no extension given
    EXPECT_TRUE(document.New());
    const QString saved = savePath + QStringLiteral(".xml");
    EXPECT_TRUE(QFile::exists(saved));
    EXPECT_EQ(document.RecentFiles().Files().value(0), saved);

    EXPECT_TRUE(document.Open(saved));
    EXPECT_EQ(document.WindowTitle(), QStringLiteral("mirrors.xml - Quarn"));
    ASSERT_EQ(document.Project().GetGroups().size(), 1u);
    EXPECT_EQ(document.Project().GetGroups()[0]->m_name, "News");
}

TEST_F(ProjectDocumentTest, ADamagedProjectIsReportedAndTheOpenOneStays) {
    Modify();
    answer = CProjectDocument::Answer::Yes;
    savePath = QString::fromStdString((dir.path() / "mirrors.xml").string());
    ASSERT_TRUE(document.Save());
    const QString damaged = QString::fromStdString((dir.path() / "damaged.xml").string());
    std::ofstream(damaged.toStdString(), std::ios::binary) << "<DATA>\r\n   <GROUP>\r\n";

    EXPECT_FALSE(document.Open(damaged));
    EXPECT_EQ(errors,
              QStringList{QStringLiteral("Unexpected file format.\n") + damaged +
                          QStringLiteral(": cut short: <GROUP> is never closed (line 2).")});
    ASSERT_EQ(document.Project().GetGroups().size(), 1u);
    EXPECT_EQ(document.Project().GetGroups()[0]->m_name, "News");
    EXPECT_EQ(document.WindowTitle(), QStringLiteral("mirrors.xml - Quarn"));
}

TEST_F(ProjectDocumentTest, AProjectThatCannotBeOpenedIsReportedAndLeavesTheRecentList) {
    const QString missing = QString::fromStdString((dir.path() / "gone.xml").string());
    document.RecentFiles().Add(missing);
    EXPECT_FALSE(document.Open(missing));
    EXPECT_EQ(errors.size(), 1);
    EXPECT_FALSE(document.RecentFiles().Files().contains(missing));
    EXPECT_EQ(document.WindowTitle(), QStringLiteral("Untitled - Quarn"));
}
