#include <gtest/gtest.h>

#include <QSettings>

#include "support/settings_scope.h"
#include "ui/preferences_registry.h"

namespace {

const QString kRoot = QString::fromLatin1(kRegistryKey);
const QString kWindow = QString::fromLatin1(kWindowKey);

struct RegistryFixture : ::testing::Test {
    SettingsScope scope;
    CPreferencesRegistry registry;
};

} // namespace

TEST_F(RegistryFixture, FlagIsTrueOnlyForOneAndIsWrittenBackAsZeroOrOne) {
    ASSERT_TRUE(
        registry.WriteDword(RegistryRoot::CurrentUser, kRoot, QStringLiteral("BeepWhenDone"), 2));
    EXPECT_FALSE(registry.ReadFlag(kRoot, QStringLiteral("BeepWhenDone")));
    registry.WriteFlag(kRoot, QStringLiteral("BeepWhenDone"),
                       registry.ReadFlag(kRoot, QStringLiteral("BeepWhenDone")));
    std::uint32_t stored = 99;
    ASSERT_TRUE(registry.ReadDword(RegistryRoot::CurrentUser, kRoot, QStringLiteral("BeepWhenDone"),
                                   stored));
    EXPECT_EQ(stored, 0u);

    registry.WriteFlag(kRoot, QStringLiteral("SplitterMove"), true);
    EXPECT_TRUE(registry.ReadFlag(kRoot, QStringLiteral("SplitterMove")));
    ASSERT_TRUE(registry.ReadDword(RegistryRoot::CurrentUser, kRoot, QStringLiteral("SplitterMove"),
                                   stored));
    EXPECT_EQ(stored, 1u);

    ASSERT_TRUE(registry.WriteString(RegistryRoot::CurrentUser, kRoot, QStringLiteral("UseProxy"),
                                     QStringLiteral("yes")));
    EXPECT_FALSE(registry.ReadFlag(kRoot, QStringLiteral("UseProxy")));
}

TEST_F(RegistryFixture, MissingValuesFailAndLeaveTheOutputAlone) {
    std::uint32_t number = 77;
    EXPECT_FALSE(
        registry.ReadDword(RegistryRoot::CurrentUser, kRoot, QStringLiteral("Updates"), number));
    EXPECT_EQ(number, 77u);
    QString text = QStringLiteral("unchanged");
    EXPECT_FALSE(
        registry.ReadString(RegistryRoot::CurrentUser, kRoot, QStringLiteral("SitesDir"), text));
    EXPECT_EQ(text, QStringLiteral("unchanged"));
    EXPECT_FALSE(registry.ReadFlag(kRoot, QStringLiteral("BeepWhenDone")));
    EXPECT_FALSE(
        registry.DeleteValue(RegistryRoot::CurrentUser, kRoot, QStringLiteral("SitesDir")));

    // A value that is not a number is not read as one.
    ASSERT_TRUE(registry.WriteString(RegistryRoot::CurrentUser, kRoot, QStringLiteral("Updates"),
                                     QStringLiteral("often")));
    EXPECT_FALSE(
        registry.ReadDword(RegistryRoot::CurrentUser, kRoot, QStringLiteral("Updates"), number));
    EXPECT_EQ(number, 77u);
}

TEST_F(RegistryFixture, StringsOf255BytesOrMoreCannotBeRead) {
    const QString longest(254, QLatin1Char('d'));
    ASSERT_TRUE(registry.WriteString(RegistryRoot::CurrentUser, kRoot, QStringLiteral("SitesDir"),
                                     longest));
    QString text;
    ASSERT_TRUE(
        registry.ReadString(RegistryRoot::CurrentUser, kRoot, QStringLiteral("SitesDir"), text));
    EXPECT_EQ(text, longest);

    ASSERT_TRUE(registry.WriteString(RegistryRoot::CurrentUser, kRoot, QStringLiteral("SitesDir"),
                                     longest + QLatin1Char('d')));
    text = QStringLiteral("unchanged");
    EXPECT_FALSE(
        registry.ReadString(RegistryRoot::CurrentUser, kRoot, QStringLiteral("SitesDir"), text));
    EXPECT_EQ(text, QStringLiteral("unchanged"));

    // The limit counts bytes, not characters: "é" takes two.
    ASSERT_TRUE(registry.WriteString(RegistryRoot::CurrentUser, kRoot, QStringLiteral("SitesDir"),
                                     QString(127, QChar(0x00e9))));
    EXPECT_TRUE(
        registry.ReadString(RegistryRoot::CurrentUser, kRoot, QStringLiteral("SitesDir"), text));
    ASSERT_TRUE(registry.WriteString(RegistryRoot::CurrentUser, kRoot, QStringLiteral("SitesDir"),
                                     QString(128, QChar(0x00e9))));
    EXPECT_FALSE(
        registry.ReadString(RegistryRoot::CurrentUser, kRoot, QStringLiteral("SitesDir"), text));
}

TEST_F(RegistryFixture, WindowSubKeyIsTheWindowGroup) {
    ASSERT_TRUE(
        registry.WriteDword(RegistryRoot::CurrentUser, kWindow, QStringLiteral("Width"), 1024));
    QSettings settings(QStringLiteral("Tolvane"), QStringLiteral("Quarn"));
    EXPECT_EQ(settings.value(QStringLiteral("Window/Width")).toInt(), 1024);
    EXPECT_FALSE(settings.contains(QStringLiteral("Width")));

    std::uint32_t width = 0;
    EXPECT_FALSE(
        registry.ReadDword(RegistryRoot::CurrentUser, kRoot, QStringLiteral("Width"), width));
    ASSERT_TRUE(
        registry.ReadDword(RegistryRoot::CurrentUser, kWindow, QStringLiteral("Width"), width));
    EXPECT_EQ(width, 1024u);

    EXPECT_TRUE(registry.DeleteValue(RegistryRoot::CurrentUser, kWindow, QStringLiteral("Width")));
    EXPECT_FALSE(
        registry.ReadDword(RegistryRoot::CurrentUser, kWindow, QStringLiteral("Width"), width));
}

TEST_F(RegistryFixture, KeysOutsideOursAndTheMachineScopeStayApart) {
    EXPECT_FALSE(registry.WriteDword(RegistryRoot::CurrentUser, QStringLiteral("Software\\Other"),
                                     QStringLiteral("X"), 1));

    ASSERT_TRUE(registry.WriteString(RegistryRoot::LocalMachine, kRoot,
                                     QStringLiteral("InstallDir"), QStringLiteral("/opt/quarn")));
    QString dir;
    EXPECT_FALSE(
        registry.ReadString(RegistryRoot::CurrentUser, kRoot, QStringLiteral("InstallDir"), dir));
    ASSERT_TRUE(
        registry.ReadString(RegistryRoot::LocalMachine, kRoot, QStringLiteral("InstallDir"), dir));
    EXPECT_EQ(dir, QStringLiteral("/opt/quarn"));
}
