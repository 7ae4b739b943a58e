#pragma once
// Driving the site properties sheet from a test: EditSite runs modally, so the test acts on
// the sheet from a watcher, and every message box the sheet raises on the way is caught,
// remembered and closed.

#include <gtest/gtest.h>

#include <QApplication>
#include <QLineEdit>
#include <QMessageBox>
#include <QTabBar>
#include <QTabWidget>
#include <QTest>
#include <QTimer>
#include <functional>

#include "model/site.h"
#include "tests/ui/dialogs/dialog_test_support.h"
#include "ui/controls/image_button.h"
#include "ui/dialogs/message_dialog.h"
#include "ui/dialogs/site_dialog.h"
#include "ui/dialogs/site_dialog_limits_page.h"
#include "ui/dialogs/site_dialog_links_page.h"
#include "ui/dialogs/site_dialog_options_page.h"
#include "ui/dialogs/site_dialog_site_page.h"

namespace sheet_test {

template <class T> T* Child(QWidget* parent, const char* name) {
    auto* child = parent->findChild<T*>(QString::fromLatin1(name));
    EXPECT_NE(child, nullptr) << name;
    return child;
}

// A site that leaves the Site page without a word: a good address, not new, no sizes.
inline void MakePlain(CSite& site) {
    site.m_url = "http://127.0.0.1/";
    site.m_new = false;
    site.m_fileMin = 0;
    site.m_fileMax = 0;
}

// Opens the sheet on the site as the sites tree does, lets act drive it, and returns the
// sheet's result. A sheet that act leaves open is cancelled.
inline int RunSheet(CSite& site, const std::function<void(CSiteDialog*)>& act,
                    const std::function<bool(const QString&)>& isNameTaken = {}) {
    ModalWatcher<CSiteDialog> watcher([&](CSiteDialog* sheet) {
        EXPECT_TRUE(QTest::qWaitForWindowActive(sheet));
        act(sheet);
    });
    CSiteDialog sheet(QStringLiteral("Site Properties"), nullptr, 0);
    sheet.SitePage().isNameTaken = isNameTaken;
    const int result = sheet.EditSite(site);
    EXPECT_TRUE(watcher.Seen());
    return result;
}

// Every message the program or the toolkit shows while it lives: the program's own message
// dialog as "message: TEXT", a toolkit message box as "warning: TEXT" (or "box: TEXT" for
// another icon). Each is closed as soon as it shows.
class MessageCatcher {
public:
    MessageCatcher() {
        m_timer.setInterval(5);
        QObject::connect(&m_timer, &QTimer::timeout, &m_timer, [this] { Poll(); });
        m_timer.start();
    }
    const QStringList& Messages() const { return m_messages; }
    QString Last() const { return m_messages.isEmpty() ? QString() : m_messages.last(); }
    void Clear() { m_messages.clear(); }

private:
    void Poll() {
        QWidget* modal = QApplication::activeModalWidget();
        if (auto* own = qobject_cast<CMessageDialog*>(modal); own && own->isVisible()) {
            m_messages << QStringLiteral("message: ") + own->Message();
            own->accept();
        } else if (auto* box = qobject_cast<QMessageBox*>(modal); box && box->isVisible()) {
            const bool warning = box->icon() == QMessageBox::Warning &&
                                 box->windowTitle() == QStringLiteral("Quarn");
            m_messages << (warning ? QStringLiteral("warning: ") : QStringLiteral("box: ")) +
                              box->text();
            box->accept();
        }
    }

    QTimer m_timer;
    QStringList m_messages;
};

inline void Click(QWidget* sheet, const char* button) {
    QTest::mouseClick(Child<QAbstractButton>(sheet, button), Qt::LeftButton);
}

// Replaces the text of an edit box (or a spin box) by typing.
inline void Retype(QWidget* edit, const QString& text) {
    edit->setFocus(Qt::MouseFocusReason);
    QTest::keyClick(edit, Qt::Key_A, Qt::ControlModifier);
    QTest::keyClick(edit, Qt::Key_Delete);
    QTest::keyClicks(edit, text);
}

// Clicks the tab of a page; the sheet decides whether it switches.
inline void ClickTab(CSiteDialog* sheet, int index) {
    QTabBar* bar = sheet->Tabs();
    QTest::mouseClick(bar, Qt::LeftButton, {}, bar->tabRect(index).center());
}

// Clicks an Add button of the Links page and answers its entry dialog with text and OK;
// false when no dialog of that kind came up.
template <class Dialog>
bool AddThroughEntryDialog(CSiteDialog* sheet, const char* button, const QString& text) {
    ModalWatcher<Dialog> answer([text](Dialog* dialog) {
        QTest::keyClicks(Child<QLineEdit>(dialog, "entryEdit"), text);
        Click(dialog, "okButton");
    });
    Click(sheet, button);
    return answer.Seen();
}

// The page on show, -1 for none; its tab must be the current one.
inline int ShownPage(CSiteDialog* sheet) {
    const QWidget* pages[] = {&sheet->SitePage(), &sheet->LinksPage(), &sheet->LimitsPage(),
                              &sheet->OptionsPage()};
    for (int i = 0; i < 4; ++i)
        if (pages[i]->isVisible()) {
            EXPECT_EQ(sheet->Tabs()->currentIndex(), i);
            return i;
        }
    return -1;
}

// The box that has the sheet's focus, which it gets back as soon as the sheet is active again
// after a message box (on the offscreen platform nothing reactivates it).
inline bool HoldsFocus(QWidget* widget) {
    return widget->window()->focusWidget() == widget;
}

// Shows page index, runs act on it and presses OK; the sheet's result is returned.
inline int OnPage(CSite& site, int index, const std::function<void(CSiteDialog*)>& act) {
    return RunSheet(site, [&](CSiteDialog* sheet) {
        ClickTab(sheet, index);
        EXPECT_EQ(ShownPage(sheet), index);
        act(sheet);
        Click(sheet, "okButton");
    });
}

} // namespace sheet_test
