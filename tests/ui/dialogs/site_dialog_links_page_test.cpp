// The Links page: its filter lists read and written as text, entries added and deleted
// through the entry dialogs, and groups that switch with their Restrict boxes.
#include <gtest/gtest.h>

#include <QCheckBox>
#include <QGroupBox>
#include <QLabel>
#include <QListWidget>
#include <QRadioButton>
#include <QTest>

#include "model/address_pattern.h"
#include "tests/ui/dialogs/site_dialog_test_support.h"
#include "ui/controls/spin_edit.h"
#include "ui/dialogs/add_entry_dialogs.h"
#include "ui/dialogs/site_dialog_links_page.h"
#include "ui/dialogs/site_dialog_site_page.h"

using namespace sheet_test;

namespace {
struct Entry {
    QString name;
    bool ticked;
    bool operator==(const Entry&) const = default;
};

std::vector<Entry> EntriesOf(QListWidget* list) {
    std::vector<Entry> entries;
    for (int i = 0; i < list->count(); ++i)
        entries.push_back({list->item(i)->text(), list->item(i)->checkState() == Qt::Checked});
    return entries;
}

void PrintTo(const Entry& entry, std::ostream* out) {
    *out << entry.name.toStdString() << (entry.ticked ? "=1" : "=0");
}
} // namespace

TEST(LinksPage, FilterTextsAreReadLeniently) {
    CSite site("Example");
    MakePlain(site);
    site.m_servers = "a=1,,b=0";
    site.m_directories = "/x/=00,/y/=yes,/z/,/w/==0";
    site.m_files = ",,";
    OnPage(site, 1, [&](CSiteDialog* sheet) {
        EXPECT_EQ(EntriesOf(Child<QListWidget>(sheet, "serversList")),
                  (std::vector<Entry>{{QStringLiteral("a"), true}, {QStringLiteral("b"), false}}));
        // Only "0" leaves an entry unticked; "=" at the front of a value is skipped.
        EXPECT_EQ(EntriesOf(Child<QListWidget>(sheet, "directoriesList")),
                  (std::vector<Entry>{{QStringLiteral("/w/"), false},
                                      {QStringLiteral("/x/"), true},
                                      {QStringLiteral("/y/"), true},
                                      {QStringLiteral("/z/"), true}}));
        EXPECT_EQ(Child<QListWidget>(sheet, "filesList")->count(), 0);
    });
    EXPECT_EQ(site.m_servers, "a=1,b=0");
    EXPECT_EQ(site.m_directories, "/w/=0,/x/=1,/y/=1,/z/=1");
    EXPECT_EQ(site.m_files, "");
}

TEST(LinksPage, ListsAreStoredSortedOnceThePageIsLeftButUntouchedOtherwise) {
    CSite site("Example");
    MakePlain(site);
    site.m_servers = "b=1,a=0";
    RunSheet(site, [](CSiteDialog* sheet) { Click(sheet, "okButton"); });
    EXPECT_EQ(site.m_servers, "b=1,a=0");

    OnPage(site, 1, [](CSiteDialog*) {});
    EXPECT_EQ(site.m_servers, "a=0,b=1");
}

TEST(LinksPage, TickingAnEntryIsStoredOnOkAndDroppedOnCancel) {
    CSite site("Example");
    MakePlain(site);
    site.m_files = "*.gif=1";
    site.m_useTypes = true;
    const auto untick = [](CSiteDialog* sheet) {
        QListWidgetItem* entry = Child<QListWidget>(sheet, "filesList")->item(0);
        entry->setCheckState(Qt::Unchecked);
    };
    RunSheet(site, [&](CSiteDialog* sheet) {
        ClickTab(sheet, 1);
        untick(sheet);
        Click(sheet, "cancelButton");
    });
    EXPECT_EQ(site.m_files, "*.gif=1");
    OnPage(site, 1, untick);
    EXPECT_EQ(site.m_files, "*.gif=0");
}

TEST(LinksPage, AddAndDeleteGoThroughTheEntryDialogs) {
    CSite site("Example");
    MakePlain(site);
    site.m_useDirectory = true;
    site.m_directories = "/Images/=0";
    site.m_useServers = true;
    site.m_servers = "b.example=1,a.example=1";
    MessageCatcher messages;
    OnPage(site, 1, [&](CSiteDialog* sheet) {
        auto* directories = Child<QListWidget>(sheet, "directoriesList");
        // The duplicate test is exact: another case is another entry.
        EXPECT_TRUE(AddThroughEntryDialog<CAddDirectoryDialog>(sheet, "directoriesAddButton",
                                                               QStringLiteral("images")));
        AddThroughEntryDialog<CAddDirectoryDialog>(sheet, "directoriesAddButton",
                                                   QStringLiteral("/images/"));
        EXPECT_EQ(messages.Messages(),
                  QStringList{QStringLiteral("message: The directory '/images/' already exists.")});
        EXPECT_EQ(EntriesOf(directories), (std::vector<Entry>{{QStringLiteral("/Images/"), false},
                                                              {QStringLiteral("/images/"), true}}));
        // A cancelled dialog adds nothing.
        {
            ModalWatcher<CAddServerDialog> cancel([](CAddServerDialog* dialog) {
                QTest::keyClicks(Child<QLineEdit>(dialog, "entryEdit"), QStringLiteral("c"));
                QTest::keyClick(dialog, Qt::Key_Escape);
            });
            Click(sheet, "serversAddButton");
        }
        auto* servers = Child<QListWidget>(sheet, "serversList");
        EXPECT_EQ(servers->count(), 2);
        // Delete takes the selected entry; with none selected it does nothing.
        servers->clearSelection();
        Click(sheet, "serversDeleteButton");
        EXPECT_EQ(servers->count(), 2);
        QTest::mouseClick(servers->viewport(), Qt::LeftButton, {},
                          servers->visualItemRect(servers->item(0)).center());
        Click(sheet, "serversDeleteButton");
        EXPECT_EQ(EntriesOf(servers), (std::vector<Entry>{{QStringLiteral("b.example"), true}}));
        EXPECT_EQ(sheet->LinksPage().m_servers, QStringLiteral("b.example=1"));
    });
    EXPECT_EQ(site.m_directories, "/Images/=0,/images/=1");
    EXPECT_EQ(site.m_servers, "b.example=1");
}

TEST(LinksPage, RestrictBoxesSwitchTheirGroupsButKeepTheirEntries) {
    CSite site("Example");
    MakePlain(site);
    site.m_useServers = false;
    site.m_includeServers = false;
    site.m_servers = "127.0.0.1=1";
    site.m_useLevels = true;
    site.m_levels = 3;
    OnPage(site, 1, [&](CSiteDialog* sheet) {
        auto* list = Child<QListWidget>(sheet, "serversList");
        auto* include = Child<QRadioButton>(sheet, "serversIncludeRadio");
        auto* exclude = Child<QRadioButton>(sheet, "serversExcludeRadio");
        auto* restrict = Child<QCheckBox>(sheet, "serversRestrictCheckBox");
        QLabel* explanation = nullptr;
        for (QLabel* label : Child<QGroupBox>(sheet, "serversGroupBox")->findChildren<QLabel*>())
            if (label->objectName() == QStringLiteral("explanationLabel"))
                explanation = label;
        ASSERT_NE(explanation, nullptr);
        EXPECT_FALSE(list->isEnabled());
        EXPECT_FALSE(include->isEnabled());
        EXPECT_FALSE(Child<QWidget>(sheet, "serversAddButton")->isEnabled());
        EXPECT_TRUE(exclude->isChecked());
        EXPECT_TRUE(restrict->isEnabled());
        EXPECT_TRUE(explanation->isEnabled());

        QTest::mouseClick(restrict, Qt::LeftButton);
        EXPECT_TRUE(list->isEnabled());
        EXPECT_TRUE(include->isEnabled());
        QTest::mouseClick(include, Qt::LeftButton);
        EXPECT_TRUE(include->isChecked());

        auto* levels = Child<CSpinEdit>(sheet, "levelsEdit");
        EXPECT_TRUE(levels->isEnabled());
        QTest::mouseClick(Child<QCheckBox>(sheet, "restrictLevelsCheckBox"), Qt::LeftButton);
        EXPECT_FALSE(levels->isEnabled());
    });
    EXPECT_TRUE(site.m_useServers);
    EXPECT_TRUE(site.m_includeServers);
    EXPECT_EQ(site.m_servers, "127.0.0.1=1");
    EXPECT_FALSE(site.m_useLevels);
    EXPECT_EQ(site.m_levels, 3);
}

TEST(LinksPage, AddressPatternsKeepTheirEqualsSignsAndTakeAnyNumberOfStars) {
    CSite site("Example");
    MakePlain(site);
    site.m_useUrls = true;
    site.m_urls = "*returnto=*=0,*action=edit*=1,,*page=1=1,*oldid=*,=1";
    MessageCatcher messages;
    OnPage(site, 1, [&](CSiteDialog* sheet) {
        auto* list = Child<QListWidget>(sheet, "addressesList");
        // Only a final "=1" or "=0" is a flag; an entry without one is all pattern, ticked.
        EXPECT_EQ(EntriesOf(list), (std::vector<Entry>{{QStringLiteral("*action=edit*"), true},
                                                       {QStringLiteral("*oldid=*"), true},
                                                       {QStringLiteral("*page=1"), true},
                                                       {QStringLiteral("*returnto=*"), false}}));
        EXPECT_TRUE(AddThroughEntryDialog<CAddAddressDialog>(sheet, "addressesAddButton",
                                                             QStringLiteral(" *title=*&diff=* ")));
        AddThroughEntryDialog<CAddAddressDialog>(sheet, "addressesAddButton",
                                                 QStringLiteral("*page=1"));
        EXPECT_EQ(list->count(), 5);
    });
    EXPECT_EQ(messages.Messages(),
              QStringList{QStringLiteral("message: The address '*page=1' already exists.")});
    EXPECT_EQ(site.m_urls, "*action=edit*=1,*oldid=*=1,*page=1=1,*returnto=*=0,*title=*&diff=*=1");
    EXPECT_TRUE(site.m_useUrls);
    CAddressPatterns patterns;
    patterns.Compile(site.m_urls);
    EXPECT_EQ(patterns.Patterns(), (std::vector<std::string>{"*action=edit*", "*oldid=*", "*page=1",
                                                             "*title=*&diff=*"}));
}

TEST(LinksPage, TheAddressesBoxSwitchesItsGroupAndTheExactNamesBoxItsSetting) {
    for (const bool on : {false, true}) {
        CSite site("Example");
        MakePlain(site);
        site.m_useUrls = on;
        site.m_exactNames = on;
        site.m_urls = "*action=edit*=1";
        OnPage(site, 1, [&](CSiteDialog* sheet) {
            auto* restrict = Child<QCheckBox>(sheet, "addressesRestrictCheckBox");
            auto* exact = Child<QCheckBox>(sheet, "exactNamesCheckBox");
            EXPECT_EQ(restrict->isChecked(), on);
            EXPECT_EQ(exact->isChecked(), on);
            EXPECT_EQ(Child<QListWidget>(sheet, "addressesList")->isEnabled(), on);
            EXPECT_EQ(Child<QWidget>(sheet, "addressesAddButton")->isEnabled(), on);
            EXPECT_TRUE(restrict->isEnabled());
            QTest::mouseClick(restrict, Qt::LeftButton);
            QTest::mouseClick(exact, Qt::LeftButton);
            EXPECT_EQ(Child<QListWidget>(sheet, "addressesList")->isEnabled(), !on);
        });
        EXPECT_EQ(site.m_useUrls, !on);
        EXPECT_EQ(site.m_exactNames, !on);
        EXPECT_EQ(site.m_urls, "*action=edit*=1");
    }
}

// The any-server box stands for its setting and is open only while pages' requisites
// are fetched at all.
TEST(LinksPage, TheAnyServerBoxFollowsTheRequisitesBoxAndKeepsItsSetting) {
    for (const bool on : {false, true}) {
        CSite site("Example");
        MakePlain(site);
        site.m_pageRequisites = on;
        site.m_requisitesAnyServer = !on;
        OnPage(site, 1, [&](CSiteDialog* sheet) {
            auto* requisites = Child<QCheckBox>(sheet, "pageRequisitesCheckBox");
            auto* anyServer = Child<QCheckBox>(sheet, "requisitesAnyServerCheckBox");
            EXPECT_EQ(anyServer->isChecked(), !on);
            EXPECT_EQ(anyServer->isEnabled(), on);
            QTest::mouseClick(requisites, Qt::LeftButton);
            EXPECT_EQ(anyServer->isEnabled(), !on);
            if (anyServer->isEnabled())
                QTest::mouseClick(anyServer, Qt::LeftButton);
        });
        EXPECT_EQ(site.m_pageRequisites, !on);
        // Cleared by the click the opened box took; left as it was by the closed one.
        EXPECT_FALSE(site.m_requisitesAnyServer);
    }
}

TEST(LinksPage, EveryGroupShowsWholeAtTheSheetsSmallestSize) {
    CSite site("Example");
    MakePlain(site);
    OnPage(site, 1, [&](CSiteDialog* sheet) {
        sheet->resize(sheet->minimumSize().expandedTo(sheet->minimumSizeHint()));
        QTest::qWait(20);
        // A 1366x768 screen leaves about this much below its panel and the title bar.
        EXPECT_LE(sheet->height(), 700);
        for (QLabel* label : sheet->findChildren<QLabel*>(QStringLiteral("explanationLabel"))) {
            if (!label->isVisible())
                continue;
            EXPECT_GE(label->height(), label->heightForWidth(label->width()))
                << label->text().toStdString();
        }
        for (const char* name : {"serversList", "directoriesList", "filesList", "addressesList"}) {
            auto* list = Child<QListWidget>(sheet, name);
            // Room for three entries at least.
            EXPECT_GE(list->viewport()->height(), 3 * list->fontMetrics().height()) << name;
        }
        const QRect page = sheet->LinksPage().rect();
        for (const char* name :
             {"exactNamesCheckBox", "pageRequisitesCheckBox", "requisitesAnyServerCheckBox",
              "removeLinksCheckBox", "levelsEdit"}) {
            auto* widget = Child<QWidget>(sheet, name);
            const QRect shown(widget->mapTo(&sheet->LinksPage(), QPoint(0, 0)), widget->size());
            EXPECT_TRUE(page.contains(shown)) << name;
        }
    });
}

TEST(LinksPage, LevelsAreAcceptedFromOneTo9999) {
    CSite site("Example");
    MakePlain(site);
    site.m_useLevels = true;
    MessageCatcher messages;
    OnPage(site, 1, [&](CSiteDialog* sheet) {
        auto* levels = Child<CSpinEdit>(sheet, "levelsEdit");
        // The box takes digits only.
        Retype(levels, QStringLiteral("1x0000"));
        EXPECT_EQ(levels->Text(), QStringLiteral("10000"));
        ClickTab(sheet, 0);
        EXPECT_EQ(messages.Last(),
                  QStringLiteral("warning: Please enter an integer between 1 and 9999."));
        EXPECT_EQ(ShownPage(sheet), 1);
        EXPECT_TRUE(HoldsFocus(levels));
        Retype(levels, QStringLiteral("25"));
    });
    EXPECT_EQ(site.m_levels, 25);
}

TEST(LinksPage, TheServersListFollowsTheSitePage) {
    CSite site("Example");
    MakePlain(site);
    site.m_url = "http://alpha/";
    site.m_servers = "alpha=1";
    RunSheet(site, [&](CSiteDialog* sheet) {
        ClickTab(sheet, 1);
        ClickTab(sheet, 0);
        Retype(Child<QLineEdit>(sheet, "addressEdit"), QStringLiteral("http://beta/"));
        ClickTab(sheet, 1);
        EXPECT_EQ(EntriesOf(Child<QListWidget>(sheet, "serversList")),
                  (std::vector<Entry>{{QStringLiteral("beta"), true}}));
        Click(sheet, "okButton");
    });
    EXPECT_EQ(site.m_servers, "beta=1");
}
