#include "ui/main/DictionaryView.h"

#include <QAbstractButton>
#include <QLineEdit>
#include <QTest>

#include <gtest/gtest.h>

#include "ui/UiTestSupport.h"

namespace quillo {
namespace {

class DictionaryViewTest : public ::testing::Test
{
protected:
    static QStringList shownWords(const DictionaryView& view)
    {
        QStringList words;
        for (DictionaryWordRow* row : view.rows()) {
            words << row->word();
        }
        return words;
    }
    QStringList storedWords() const
    {
        QStringList words;
        for (const std::string& word : data.store.dictionaryWords()) {
            words << QString::fromStdString(word);
        }
        return words;
    }
    static void type(DictionaryView& view, const QString& text)
    {
        view.field()->clear();
        QTest::keyClicks(view.field(), text);
    }

    test::UiStore data;
};

TEST_F(DictionaryViewTest, AddAndReturnTrimRefuseBlanksAndKeepTheFieldReady)
{
    DictionaryView view(data.store);
    view.show();
    view.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&view));

    // Blank: the button stays off, Return still clears the field and adds nothing.
    type(view, QStringLiteral(" \t  "));
    EXPECT_FALSE(view.addButton()->isEnabled());
    QTest::keyClick(view.field(), Qt::Key_Return);
    EXPECT_TRUE(view.field()->text().isEmpty());
    EXPECT_TRUE(storedWords().isEmpty());

    // The button adds the word without its surrounding blanks, and the field
    // is empty and focused for the next one.
    type(view, QStringLiteral("  Quillo\t"));
    EXPECT_TRUE(view.addButton()->isEnabled());
    view.field()->clearFocus();
    QTest::mouseClick(view.addButton(), Qt::LeftButton);
    EXPECT_TRUE(view.field()->text().isEmpty());
    EXPECT_TRUE(view.field()->hasFocus());
    EXPECT_EQ(shownWords(view), QStringList{QStringLiteral("Quillo")});

    // Return adds too; an exact duplicate is dropped, another case is a new word.
    type(view, QStringLiteral("Quillo"));
    QTest::keyClick(view.field(), Qt::Key_Return);
    type(view, QStringLiteral("quillo"));
    QTest::keyClick(view.field(), Qt::Key_Enter);
    EXPECT_EQ(shownWords(view), (QStringList{QStringLiteral("Quillo"), QStringLiteral("quillo")}));
    EXPECT_EQ(storedWords(), shownWords(view));
}

TEST_F(DictionaryViewTest, RemoveDeletesExactlyThatWordAndTheListFollowsTheStore)
{
    DictionaryView view(data.store);
    for (const char* word : {"alpha", "beta", "gamma"}) {
        data.store.addWord(word);
    }
    test::UiStore::settle();
    ASSERT_EQ(view.rows().size(), 3U);
    view.rows()[1]->removeButton()->click();
    EXPECT_EQ(storedWords(), (QStringList{QStringLiteral("alpha"), QStringLiteral("gamma")}));
    EXPECT_EQ(storedWords(), shownWords(view));

    // A new dictation must not rebuild the rows (one may be under the pointer).
    DictionaryWordRow* row = view.rows()[0];
    data.store.addEntry("hello", 1, std::nullopt, std::nullopt);
    test::UiStore::settle();
    EXPECT_EQ(view.rows()[0], row);

    data.store.removeWord({0, 1});
    test::UiStore::settle();
    EXPECT_TRUE(view.showsEmptyState());
}

} // namespace
} // namespace quillo
