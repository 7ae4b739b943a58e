#include <gtest/gtest.h>

#include <QDateTime>
#include <QHeaderView>
#include <QLabel>
#include <QTest>
#include <QTreeWidget>
#include <algorithm>

#include "model/clock.h"
#include "model/site.h"
#include "tests/ui/dialogs/dialog_test_support.h"
#include "ui/controls/image_button.h"
#include "ui/dialogs/errors_dialog.h"
#include "web/status_text.h"
#include "web/url.h"

namespace {
constexpr std::int64_t kNow = 1'700'000'000;
const QString kMissing = QStringLiteral("http://127.0.0.1:1/missing.html");

// A site and a clock that stands still, so the time column can be known in advance.
class ErrorsDialogTest : public ::testing::Test {
protected:
    void SetUp() override {
        SetClockForTesting([] { return kNow; });
    }
    void TearDown() override { SetClockForTesting({}); }

    void AddError(const QString& address, int code, std::string reason = {}) {
        m_site.AddError(CUrl(nullptr, address.toStdString(), kLinkFollowed), code,
                        std::move(reason));
    }
    static QTreeWidget* List(QWidget& dialog) {
        auto* list = dialog.findChild<QTreeWidget*>(QStringLiteral("errorList"));
        EXPECT_NE(list, nullptr);
        return list;
    }
    static CImageButton* Button(QWidget& dialog, const char* name) {
        auto* button = dialog.findChild<CImageButton*>(QString::fromLatin1(name));
        EXPECT_NE(button, nullptr) << name;
        return button;
    }
    static void Click(QWidget& dialog, const char* name) {
        QTest::mouseClick(Button(dialog, name), Qt::LeftButton);
    }

    CSite m_site{"Alpha"};
};
} // namespace

TEST_F(ErrorsDialogTest, TheListHasFourColumnsBesideAnIconWithOkRefreshAndClearOnTheRight) {
    CErrorsDialog dialog(m_site);
    dialog.show();
    EXPECT_EQ(dialog.windowTitle(), QStringLiteral("Errors"));
    EXPECT_NEAR(dialog.width(), 654, 6);
    EXPECT_NEAR(dialog.height(), 354, 6);

    auto* list = List(dialog);
    ASSERT_NE(list, nullptr);
    const struct {
        QString title;
        Qt::Alignment alignment;
        int width;
    } columns[] = {{QStringLiteral("Time"), Qt::AlignHCenter, 50},
                   {QStringLiteral("Code"), Qt::AlignHCenter, 0},
                   {QStringLiteral("Error"), Qt::AlignLeft, 75},
                   {QStringLiteral("URL"), Qt::AlignLeft, 300}};
    ASSERT_EQ(list->columnCount(), 4);
    for (int i = 0; i < 4; ++i) {
        EXPECT_EQ(list->headerItem()->text(i), columns[i].title);
        if (i == 0) // at least as wide as a time needs in the list's font
            EXPECT_GE(list->columnWidth(i),
                      std::max(columns[i].width,
                               list->fontMetrics().horizontalAdvance(QStringLiteral("23:59:59"))));
        else if (i == 1) // narrow, yet a three-digit status shows whole
            EXPECT_GE(list->columnWidth(i),
                      list->fontMetrics().horizontalAdvance(QStringLiteral("404")));
        else
            EXPECT_EQ(list->columnWidth(i), columns[i].width) << columns[i].title.toStdString();
        EXPECT_EQ(Qt::Alignment(list->headerItem()->textAlignment(i)) & Qt::AlignHorizontal_Mask,
                  columns[i].alignment)
            << columns[i].title.toStdString();
    }
    EXPECT_TRUE(list->header()->sectionsMovable());
    EXPECT_FALSE(list->rootIsDecorated());
    EXPECT_EQ(list->selectionMode(), QAbstractItemView::SingleSelection);
    EXPECT_EQ(list->selectionBehavior(), QAbstractItemView::SelectRows);

    auto* icon = dialog.findChild<QLabel*>(QStringLiteral("iconLabel"));
    ASSERT_NE(icon, nullptr);
    EXPECT_FALSE(icon->pixmap().isNull());
    EXPECT_LT(icon->geometry().right(), list->geometry().left());

    auto* ok = Button(dialog, "okButton");
    auto* refresh = Button(dialog, "refreshButton");
    auto* clear = Button(dialog, "clearButton");
    ASSERT_TRUE(ok && refresh && clear);
    EXPECT_TRUE(ok->isDefault());
    for (auto [button, text] : {std::pair{ok, "OK"}, {refresh, "Refresh"}, {clear, "Clear"}}) {
        EXPECT_EQ(button->text(), QString::fromLatin1(text));
        EXPECT_GT(button->geometry().left(), list->geometry().right()) << text;
    }
    // OK at the top, then a gap, then the two buttons that act on the list close together.
    EXPECT_EQ(ok->geometry().top(), list->geometry().top());
    const int afterOk = refresh->geometry().top() - ok->geometry().bottom();
    const int betweenRefreshAndClear = clear->geometry().top() - refresh->geometry().bottom();
    EXPECT_GT(betweenRefreshAndClear, 0);
    EXPECT_GT(afterOk, 2 * betweenRefreshAndClear);
}

TEST_F(ErrorsDialogTest, AFailedAddressShowsItsTimeCodeDescriptionAndFullAddress) {
    AddError(kMissing, 404);
    AddError(QStringLiteral("http://127.0.0.1:1/a/very/long/path/that/the/column/cuts.html"),
             500);
    CErrorsDialog dialog(m_site);
    dialog.show();

    auto* list = List(dialog);
    ASSERT_EQ(list->topLevelItemCount(), 2);
    auto* row = list->topLevelItem(0);
    const QString time = QDateTime::fromSecsSinceEpoch(kNow).toString(QStringLiteral("HH:mm:ss"));
    EXPECT_EQ(row->text(0), time);
    EXPECT_EQ(row->text(1), QStringLiteral("404"));
    EXPECT_EQ(row->text(2), QString::fromStdString(StatusText(404)));
    EXPECT_FALSE(row->text(2).isEmpty());
    EXPECT_EQ(row->text(3), kMissing);
    EXPECT_EQ(list->topLevelItem(1)->text(1), QStringLiteral("500"));
    // The tip holds the whole text, which the narrow column cuts.
    EXPECT_EQ(list->topLevelItem(1)->toolTip(3), list->topLevelItem(1)->text(3));
    EXPECT_EQ(row->toolTip(2), row->text(2));
    EXPECT_EQ(row->textAlignment(1) & Qt::AlignHorizontal_Mask, Qt::AlignHCenter);
}

TEST_F(ErrorsDialogTest, AFailureWithoutAnAnswerShowsWhatHappenedInWordsAndItsCodeOnlyAsATip) {
    AddError(kMissing, -7, "Could not connect to the server");
    AddError(kMissing, 404);
    CErrorsDialog dialog(m_site);
    dialog.show();
    auto* list = List(dialog);
    ASSERT_EQ(list->topLevelItemCount(), 2);
    EXPECT_EQ(list->topLevelItem(0)->text(1), QString());
    EXPECT_EQ(list->topLevelItem(0)->toolTip(1), QStringLiteral("-7"));
    EXPECT_EQ(list->topLevelItem(0)->text(2), QStringLiteral("Could not connect to the server"));
    EXPECT_EQ(list->topLevelItem(1)->toolTip(1), QStringLiteral("404"));
    EXPECT_LT(list->columnWidth(1), list->columnWidth(2));
    EXPECT_EQ(list->topLevelItem(1)->text(2), QString::fromStdString(StatusText(404)));
    EXPECT_GE(list->columnWidth(2), list->fontMetrics().horizontalAdvance(
                                        QStringLiteral("Could not connect to the server")));
}

TEST_F(ErrorsDialogTest, CellsAreSeparatedByGridLines) {
    AddError(kMissing, 404);
    CErrorsDialog dialog(m_site);
    dialog.show();
    auto* list = List(dialog);
    ASSERT_EQ(list->topLevelItemCount(), 1);

    const QRect cell = list->visualItemRect(list->topLevelItem(0));
    const QImage picture = list->viewport()->grab().toImage();
    const QRgb grid = list->palette().color(QPalette::Mid).rgb();
    EXPECT_EQ(picture.pixel(list->columnWidth(0) - 1, cell.center().y()), grid);
    EXPECT_EQ(picture.pixel(cell.left() + 2, cell.bottom()), grid);
    EXPECT_NE(picture.pixel(list->columnWidth(0) / 4, cell.top() + 1), grid);
    // The centred text keeps clear of the bottom line, so underscores ("/_static/") show.
    EXPECT_GE(cell.height(), list->fontMetrics().height() + 4);
}

TEST_F(ErrorsDialogTest, RefreshPicksUpErrorsAddedSinceTheDialogOpened) {
    CErrorsDialog dialog(m_site);
    dialog.show();
    auto* list = List(dialog);
    EXPECT_EQ(list->topLevelItemCount(), 0);

    AddError(kMissing, 404);
    EXPECT_EQ(list->topLevelItemCount(), 0);
    Click(dialog, "refreshButton");
    ASSERT_EQ(list->topLevelItemCount(), 1);
    EXPECT_EQ(list->topLevelItem(0)->text(3), kMissing);
    // Filling again replaces the rows rather than adding to them.
    Click(dialog, "refreshButton");
    EXPECT_EQ(list->topLevelItemCount(), 1);
    EXPECT_TRUE(dialog.isVisible());
}

TEST_F(ErrorsDialogTest, ClearEmptiesTheSitesListButKeepsItsErrorCount) {
    AddError(kMissing, 404);
    AddError(kMissing, 403);
    CErrorsDialog dialog(m_site);
    dialog.show();
    ASSERT_EQ(List(dialog)->topLevelItemCount(), 2);

    Click(dialog, "clearButton");
    EXPECT_EQ(List(dialog)->topLevelItemCount(), 0);
    EXPECT_TRUE(m_site.GetErrors().empty());
    EXPECT_EQ(m_site.m_errorsTotal, 2);
    EXPECT_TRUE(dialog.isVisible());
}

TEST_F(ErrorsDialogTest, OkAcceptsAndEscRejects) {
    CErrorsDialog accepted(m_site);
    accepted.show();
    Click(accepted, "okButton");
    EXPECT_EQ(accepted.result(), QDialog::Accepted);
    EXPECT_FALSE(accepted.isVisible());

    CErrorsDialog escaped(m_site);
    escaped.show();
    QTest::keyClick(List(escaped), Qt::Key_Escape);
    EXPECT_EQ(escaped.result(), QDialog::Rejected);
    EXPECT_FALSE(escaped.isVisible());
}
