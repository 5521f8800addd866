#include "ui/main/DictionaryView.h"

#include <QAbstractButton>
#include <QLineEdit>
#include <QTest>

#include <gtest/gtest.h>

#include "ui/UiTestSupport.h"

namespace quillo {
namespace {

using Words = std::vector<std::string>;

Words shownWords(const DictionaryView& view)
{
    Words words;
    for (DictionaryWordRow* row : view.rows()) {
        words.push_back(row->word().toStdString());
    }
    return words;
}

TEST(DictionaryViewTest, AddTrimsRefusesBlanksAndDuplicatesAndRemoveDeletesThatWord)
{
    test::UiStore data;
    DictionaryView view(data.store);
    view.show();
    view.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&view));
    const auto type = [&](const QString& text) {
        view.field()->clear();
        QTest::keyClicks(view.field(), text);
    };

    // Blank: the button stays off, Return still clears the field and adds nothing.
    type(QStringLiteral(" \t  "));
    EXPECT_FALSE(view.addButton()->isEnabled());
    QTest::keyClick(view.field(), Qt::Key_Return);
    EXPECT_TRUE(view.field()->text().isEmpty());
    EXPECT_TRUE(data.store.dictionaryWords().empty());

    // The button adds the word without its surrounding blanks, and the field
    // is empty and focused for the next one.
    type(QStringLiteral("  Quillo\t"));
    EXPECT_TRUE(view.addButton()->isEnabled());
    view.field()->clearFocus();
    QTest::mouseClick(view.addButton(), Qt::LeftButton);
    EXPECT_TRUE(view.field()->text().isEmpty());
    EXPECT_TRUE(view.field()->hasFocus());
    EXPECT_EQ(shownWords(view), Words{"Quillo"});

    // Return adds too; an exact duplicate is dropped, another case is a new word.
    type(QStringLiteral("Quillo"));
    QTest::keyClick(view.field(), Qt::Key_Return);
    type(QStringLiteral("quillo"));
    QTest::keyClick(view.field(), Qt::Key_Enter);
    EXPECT_EQ(shownWords(view), (Words{"Quillo", "quillo"}));

    // Remove deletes exactly that word; the list follows the store.
    data.store.addWord("gamma");
    test::UiStore::settle();
    ASSERT_EQ(view.rows().size(), 3U);
    view.rows()[1]->removeButton()->click();
    EXPECT_EQ(data.store.dictionaryWords(), (Words{"Quillo", "gamma"}));
    EXPECT_EQ(shownWords(view), data.store.dictionaryWords());

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
