#include "ui/main/SnippetsView.h"

#include <tuple>

#include <QAbstractButton>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QTest>

#include <gtest/gtest.h>

#include "ui/UiTestSupport.h"
#include "ui/main/SnippetFormSheet.h"

namespace quillo {
namespace {

QStringList shownTriggers(const SnippetsView& view)
{
    QStringList triggers;
    for (SnippetRow* row : view.rows()) {
        triggers << QString::fromStdString(row->snippet().trigger);
    }
    return triggers;
}

TEST(SnippetsViewTest, SaveNeedsBothFieldsStoresThemTrimmedEditKeepsIdentityAndDeleteGoesById)
{
    test::UiStore data;
    SnippetsView view(data.store);
    // Fills the open sheet's fields and presses Save.
    const auto saveThroughSheet = [&](const QString& trigger, const QString& expansion) {
        SnippetFormSheet* sheet = view.sheet();
        ASSERT_NE(sheet, nullptr);
        sheet->triggerField()->setText(trigger);
        sheet->expansionEditor()->setPlainText(expansion);
        ASSERT_TRUE(sheet->saveButton()->isEnabled()) << trigger.toStdString();
        sheet->saveButton()->click();
        test::UiStore::settle();
    };
    view.resize(900, 700);
    view.show();
    EXPECT_TRUE(view.showsEmptyState());
    view.newSnippetButton()->click();
    SnippetFormSheet* sheet = view.sheet();
    ASSERT_NE(sheet, nullptr);

    const std::tuple<const char*, QString, QString, bool> cases[] = {
        {"blank trigger", QStringLiteral(" \t "), QStringLiteral("text"), false},
        // Would be stored as an empty expansion once its line breaks are trimmed.
        {"expansion of line breaks", QStringLiteral("sig"), QStringLiteral("\n \n"), false},
        {"both filled", QStringLiteral("sig"), QStringLiteral("x"), true},
    };
    for (const auto& [name, trigger, expansion, allowed] : cases) {
        sheet->triggerField()->setText(trigger);
        sheet->expansionEditor()->setPlainText(expansion);
        EXPECT_EQ(sheet->saveButton()->isEnabled(), allowed) << "case " << name;
    }

    // The trigger loses spaces and tabs, the expansion all surrounding white space.
    saveThroughSheet(QStringLiteral("  my email\t"), QStringLiteral("\n anna@example.com\n\n"));
    EXPECT_EQ(view.sheet(), nullptr);
    ASSERT_EQ(data.store.snippets().size(), 1U);
    EXPECT_EQ(data.store.snippets()[0].trigger, "my email");
    EXPECT_EQ(data.store.snippets()[0].expansion, "anna@example.com");

    // The same trigger again makes a second snippet; Cancel adds nothing.
    view.newSnippetButton()->click();
    saveThroughSheet(QStringLiteral("my email"), QStringLiteral("work@example.com"));
    view.newSnippetButton()->click();
    view.sheet()->triggerField()->setText(QStringLiteral("dropped"));
    view.sheet()->expansionEditor()->setPlainText(QStringLiteral("dropped"));
    view.sheet()->cancelButton()->click();
    test::UiStore::settle();
    EXPECT_EQ(shownTriggers(view), (QStringList{QStringLiteral("my email"), QStringLiteral("my email")}));

    // An edit keeps the snippet's identity and place.
    const std::vector<Snippet> before = data.store.snippets();
    view.rows()[0]->editButton()->click();
    ASSERT_NE(view.sheet(), nullptr);
    EXPECT_EQ(view.sheet()->expansionEditor()->toPlainText(), QStringLiteral("anna@example.com"));
    saveThroughSheet(QStringLiteral("home "), QStringLiteral("anna@example.org"));
    EXPECT_EQ(data.store.snippets(), (std::vector<Snippet>{{before[0].id, "home", "anna@example.org"}, before[1]}));
    EXPECT_EQ(shownTriggers(view), (QStringList{QStringLiteral("home"), QStringLiteral("my email")}));

    // Delete goes by id: a card whose snippet is gone from the store deletes nothing.
    SnippetRow* first = view.rows()[0];
    data.store.removeSnippet({0});
    first->deleteButton()->click();
    EXPECT_EQ(data.store.snippets().size(), 1U);
    view.rows()[0]->deleteButton()->click();
    EXPECT_TRUE(view.showsEmptyState());
}

} // namespace
} // namespace quillo
