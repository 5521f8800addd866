#include "ui/main/SnippetsView.h"

#include <QAbstractButton>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QTest>

#include <gtest/gtest.h>

#include "ui/UiTestSupport.h"
#include "ui/main/SnippetFormSheet.h"

namespace quillo {
namespace {

class SnippetsViewTest : public ::testing::Test
{
protected:
    // Opens the sheet with `open`, fills both fields and presses Save.
    static void saveThroughSheet(SnippetsView& view, const QString& trigger, const QString& expansion)
    {
        SnippetFormSheet* sheet = view.sheet();
        ASSERT_NE(sheet, nullptr);
        sheet->triggerField()->setText(trigger);
        sheet->expansionEditor()->setPlainText(expansion);
        ASSERT_TRUE(sheet->saveButton()->isEnabled()) << trigger.toStdString();
        sheet->saveButton()->click();
        test::UiStore::settle();
    }
    static QStringList shownTriggers(const SnippetsView& view)
    {
        QStringList triggers;
        for (SnippetRow* row : view.rows()) {
            triggers << QString::fromStdString(row->snippet().trigger);
        }
        return triggers;
    }

    test::UiStore data;
};

TEST_F(SnippetsViewTest, SaveNeedsBothFieldsAndStoresThemTrimmed)
{
    SnippetsView view(data.store);
    view.show();
    EXPECT_TRUE(view.showsEmptyState());
    view.newSnippetButton()->click();
    SnippetFormSheet* sheet = view.sheet();
    ASSERT_NE(sheet, nullptr);

    struct Case
    {
        const char* name;
        QString trigger;
        QString expansion;
        bool allowed;
    };
    const Case cases[] = {
        {"blank trigger", QStringLiteral(" \t "), QStringLiteral("text"), false},
        // Would be stored as an empty expansion once its line breaks are trimmed.
        {"expansion of line breaks", QStringLiteral("sig"), QStringLiteral("\n \n"), false},
        {"both filled", QStringLiteral("sig"), QStringLiteral("x"), true},
    };
    for (const Case& c : cases) {
        sheet->triggerField()->setText(c.trigger);
        sheet->expansionEditor()->setPlainText(c.expansion);
        EXPECT_EQ(sheet->saveButton()->isEnabled(), c.allowed) << "case " << c.name;
    }

    // The trigger loses spaces and tabs, the expansion all surrounding white space.
    saveThroughSheet(view, QStringLiteral("  my email\t"), QStringLiteral("\n anna@example.com\n\n"));
    EXPECT_EQ(view.sheet(), nullptr);
    ASSERT_EQ(data.store.snippets().size(), 1U);
    EXPECT_EQ(data.store.snippets()[0].trigger, "my email");
    EXPECT_EQ(data.store.snippets()[0].expansion, "anna@example.com");

    // The same trigger again makes a second snippet; Cancel adds nothing.
    view.newSnippetButton()->click();
    saveThroughSheet(view, QStringLiteral("my email"), QStringLiteral("work@example.com"));
    view.newSnippetButton()->click();
    view.sheet()->triggerField()->setText(QStringLiteral("dropped"));
    view.sheet()->expansionEditor()->setPlainText(QStringLiteral("dropped"));
    view.sheet()->cancelButton()->click();
    test::UiStore::settle();
    EXPECT_EQ(shownTriggers(view), (QStringList{QStringLiteral("my email"), QStringLiteral("my email")}));
}

TEST_F(SnippetsViewTest, EditKeepsIdentityAndPlaceAndDeleteGoesById)
{
    data.store.addSnippet("one", "first");
    data.store.addSnippet("two", "second");
    data.store.addSnippet("three", "third");
    const std::vector<Snippet> before = data.store.snippets();
    SnippetsView view(data.store);
    view.resize(900, 700);
    view.show();
    ASSERT_EQ(view.rows().size(), 3U);

    view.rows()[1]->editButton()->click();
    ASSERT_NE(view.sheet(), nullptr);
    EXPECT_EQ(view.sheet()->expansionEditor()->toPlainText(), QStringLiteral("second"));
    saveThroughSheet(view, QStringLiteral("TWO "), QStringLiteral("second, edited"));
    EXPECT_EQ(data.store.snippets(),
              (std::vector<Snippet>{before[0], {before[1].id, "TWO", "second, edited"}, before[2]}));
    EXPECT_EQ(shownTriggers(view),
              (QStringList{QStringLiteral("one"), QStringLiteral("TWO"), QStringLiteral("three")}));

    // Delete goes by id: a card whose snippet is gone from the store deletes nothing.
    SnippetRow* first = view.rows()[0];
    data.store.removeSnippet({0});
    first->deleteButton()->click();
    EXPECT_EQ(data.store.snippets().size(), 2U);
    view.rows()[0]->deleteButton()->click();
    EXPECT_EQ(shownTriggers(view), QStringList{QStringLiteral("three")});
}

} // namespace
} // namespace quillo
