#include "ui/main/HistoryView.h"

#include <QClipboard>
#include <QGuiApplication>
#include <QLineEdit>
#include <QListView>
#include <QMessageBox>
#include <QPushButton>
#include <QTest>
#include <QToolButton>

#include <gtest/gtest.h>

#include "base/DictationEntry.h"
#include "store/KeptDictations.h"
#include "ui/UiTestSupport.h"
#include "ui/main/HistoryListModel.h"
#include "ui/main/HistoryRowDelegate.h"
#include "ui/main/KeptDictationsSection.h"

namespace quillo {
namespace {

class HistoryViewTest : public ::testing::Test
{
protected:
    QStringList shownTexts(const HistoryView& view) const
    {
        QStringList texts;
        for (int row = 0; row < view.model()->rowCount(); ++row) {
            texts << view.model()->index(row).data().toString();
        }
        return texts;
    }
    test::UiStore data;
};

TEST_F(HistoryViewTest, SearchNarrowsTheListCopyCopiesThatRowAndClearAllAsksFirst)
{
    for (const char* text : {"Hello World from Berlin", "Grüße aus MÜNCHEN", "ok"}) {
        data.store.addEntry(text, 0, std::nullopt, std::nullopt);
    }
    HistoryView view(data.store);
    EXPECT_EQ(view.subtitle(), QStringLiteral("3 dictations \u00B7 8 words"));
    EXPECT_EQ(shownTexts(view).first(), QStringLiteral("ok")) << "newest first";

    const std::pair<QString, QStringList> cases[] = {
        {QStringLiteral("HELLO"), {QStringLiteral("Hello World from Berlin")}},
        {QStringLiteral("münchen"), {QStringLiteral("Grüße aus MÜNCHEN")}},
        {QStringLiteral("Zürich"), {}},
    };
    for (const auto& [term, expected] : cases) {
        view.searchField()->setText(term);
        EXPECT_EQ(shownTexts(view), expected) << "term " << term.toStdString();
        EXPECT_EQ(view.showsEmptyState(), expected.isEmpty()) << "term " << term.toStdString();
    }
    EXPECT_EQ(view.emptyTitle(), QStringLiteral("No results"));

    view.searchClearButton()->click(); // the copy below needs the rows back
    view.resize(900, 700);
    view.show();
    QTest::qWait(50); // the list lays out its rows
    QListView* list = view.list();
    const QModelIndex second = view.model()->index(1);
    const QRect row = list->visualRect(second);
    ASSERT_TRUE(row.isValid());
    const QPoint button = view.delegate()->copyButtonRect(row, false).center();
    const QString id = second.data(HistoryListModel::IdRole).toString();

    QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, button);
    EXPECT_EQ(QGuiApplication::clipboard()->text(), QStringLiteral("Grüße aus MÜNCHEN"));
    EXPECT_TRUE(view.delegate()->isCopied(id));

    // A click on the card's text copies nothing.
    QGuiApplication::clipboard()->setText(QStringLiteral("untouched"));
    QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, row.topLeft() + QPoint(70, 30));
    EXPECT_EQ(QGuiApplication::clipboard()->text(), QStringLiteral("untouched"));

    const auto clearAll = [&](const char* answer) {
        view.clearAllButton()->click();
        ASSERT_NE(view.confirmation(), nullptr);
        view.confirmation()->findChild<QPushButton*>(QString::fromLatin1(answer))->click();
        test::UiStore::settle();
    };
    clearAll("cancelClear");
    EXPECT_EQ(data.store.history().size(), 3U);
    clearAll("confirmClear");
    EXPECT_TRUE(data.store.history().empty());
    EXPECT_EQ(view.subtitle(), QStringLiteral("No dictations yet"));
    EXPECT_TRUE(view.clearAllButton()->isHidden());
}

// Past the inline limit the list loads when first shown and searches on
// another thread; what it ends up showing must be what an inline search shows.
TEST_F(HistoryViewTest, LongHistoryLoadsWhenShownAndSearchesInTheBackground)
{
    for (std::size_t i = 0; i < HistoryView::kInlineEntries; ++i) {
        data.store.addEntry(i % 2 == 0 ? "Even entry" : "odd one", 1, std::nullopt, std::nullopt);
    }
    data.store.addEntry("Über alles", 1, std::nullopt, std::nullopt);
    const int total = static_cast<int>(HistoryView::kInlineEntries) + 1;
    QWidget window;
    auto* view = new HistoryView(data.store, &window);
    auto settled = [&](auto condition) {
        return QTest::qWaitFor([&] { return !view->isUpdating() && condition(); }, 10000);
    };

    window.show();
    ASSERT_TRUE(settled([&] { return view->model()->rowCount() == total; }));
    EXPECT_EQ(view->subtitle(), QStringLiteral("2001 dictations \u00B7 4002 words"));

    // Only the last of quick keystrokes counts.
    view->searchField()->setText(QStringLiteral("e"));
    view->searchField()->setText(QStringLiteral("EVEN"));
    ASSERT_TRUE(settled([&] { return view->model()->filter() == QStringLiteral("EVEN"); }));
    EXPECT_EQ(view->model()->rowCount(), 1000);
    EXPECT_EQ(view->model()->index(0).data().toString(), QStringLiteral("Even entry"));

    // A dictation while searching: the folded texts kept up, the new one matched.
    view->searchField()->setText(QStringLiteral("über"));
    data.store.addEntry("even ÜBERMORGEN", 2, std::nullopt, std::nullopt);
    test::UiStore::settle();
    ASSERT_TRUE(settled([&] { return view->model()->rowCount() == 2; }));
    EXPECT_EQ(shownTexts(*view), (QStringList{QStringLiteral("even ÜBERMORGEN"), QStringLiteral("Über alles")}));
}

TEST_F(HistoryViewTest, KeptDictationsShowAboveTheHistoryWithRetryAndDelete)
{
    KeptDictationStore kept(data.disk, data.log, data.clock, "/fake/data/Quillo/kept");
    data.disk.put("/run/quillo/clip_1.m4a", "speech", 0600);
    ASSERT_TRUE(kept.keep("/run/quillo/clip_1.m4a", KeptDictation{}));
    std::vector<std::string> retried;
    HistoryView view(data.store);
    auto* section = new KeptDictationsSection(
        kept,
        [&](const std::string& id) { retried.push_back(id); },
        [&](const std::string& id) { kept.remove(id); });
    view.setTopSection(section);
    view.show();
    ASSERT_EQ(section->rowCount(), 1);

    section->retryButton(0)->click();
    EXPECT_EQ(retried, std::vector<std::string>{kept.list()[0].id});
    EXPECT_FALSE(section->retryButton(0)->isEnabled()) << "one retry at a time";
    section->deleteAllButton()->click();
    section->confirmation()->findChild<QPushButton*>(QStringLiteral("confirmDeleteAll"))->click();
    test::UiStore::settle();
    EXPECT_TRUE(kept.list().empty());
    EXPECT_FALSE(section->isVisible()) << "nothing kept, no section";
}

TEST(HistoryListContent, ReusesFoldedTextsOnlyForAHistoryThatGrewAtTheFront)
{
    auto history = [](std::initializer_list<std::pair<const char*, const char*>> entries) {
        std::vector<DictationEntry> list;
        for (const auto& [id, text] : entries) {
            list.emplace_back(id, text, 0.0);
        }
        return std::make_shared<const std::vector<DictationEntry>>(std::move(list));
    };
    const auto first =
        HistoryListModel::makeContent(history({{"B", "Éclair"}, {"A", "apple"}}), QStringLiteral("ÉCLAIR"), {});
    EXPECT_EQ(first.rows, std::vector<int>{0});

    // One new entry: only its text is folded, the others are the same strings.
    const auto grown = HistoryListModel::makeContent(history({{"C", "Apple pie"}, {"B", "Éclair"}, {"A", "apple"}}),
                                                     QStringLiteral("apple"),
                                                     first);
    EXPECT_EQ(grown.rows, (std::vector<int>{0, 2}));
    EXPECT_EQ((*grown.folded)[1].constData(), (*first.folded)[0].constData());

    // Cleared and refilled: nothing from before may be reused.
    const auto refilled =
        HistoryListModel::makeContent(history({{"D", "pear"}, {"A", "apple"}}), QStringLiteral("pear"), grown);
    EXPECT_EQ(refilled.rows, std::vector<int>{0});
    EXPECT_EQ(refilled.folded->size(), 2U);
}

} // namespace
} // namespace quillo
