#include "ui/settings/LanguagePickerModal.h"

#include <QLineEdit>
#include <QPointer>
#include <QPushButton>
#include <QTest>
#include <QToolButton>

#include <gtest/gtest.h>

#include "fakes/FakePreferences.h"
#include "settings/Settings.h"

namespace quillo {
namespace {

class LanguagePickerModalTest : public ::testing::Test
{
protected:
    void open()
    {
        host.resize(1000, 860);
        host.show();
        modal = new LanguagePickerModal(prefs, &host);
    }

    // The codes of the languages with a widget named prefix + code, in catalogue
    // order; for the grid's cards only those shown.
    QStringList codes(const QString& prefix, bool shownOnly) const
    {
        QStringList found;
        for (const QuilloLanguage& language : QuilloLanguage::all()) {
            const QString code = QString::fromStdString(language.bcp47);
            if (auto* widget = modal->findChild<QWidget*>(prefix + code);
                widget != nullptr && !(shownOnly && widget->isHidden())) {
                found << code;
            }
        }
        return found;
    }
    QStringList shownCodes() const { return codes(QStringLiteral("language-"), true); }
    QStringList chips() const { return codes(QStringLiteral("chip-"), false); }

    void search(const QString& text) { modal->findChild<QLineEdit*>(QStringLiteral("search"))->setText(text); }
    void clickCard(const char* code)
    {
        modal->findChild<QAbstractButton*>(QStringLiteral("language-") + QString::fromLatin1(code))->click();
    }
    void clickRemove(const char* code)
    {
        modal->findChild<QToolButton*>(QStringLiteral("remove-") + QString::fromLatin1(code))->click();
        settle();
    }
    static void settle() { QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete); }

    test::FakePreferences prefs;
    QWidget host;
    QPointer<LanguagePickerModal> modal;
};

TEST_F(LanguagePickerModalTest, SearchMatchesEnglishOrNativeNamesIgnoringCaseAndPadding)
{
    open();
    const std::pair<QString, QStringList> cases[] = {
        // "Deutsch" and "Nederlands", in catalogue order.
        {QStringLiteral(" \tDE\t "), {QStringLiteral("de"), QStringLiteral("nl")}},
        {QStringLiteral("ČEŠTINA"), {QStringLiteral("cs")}},
        {QStringLiteral("zh"), {}}, // codes are not names
    };
    for (const auto& [text, expected] : cases) {
        search(text);
        EXPECT_EQ(shownCodes(), expected) << "search '" << text.toStdString() << "'";
    }

    search(QStringLiteral("   "));
    EXPECT_EQ(shownCodes().size(), 52) << "blank shows all";
}

TEST_F(LanguagePickerModalTest, TheLastSelectedLanguageCannotBeRemoved)
{
    open();
    ASSERT_EQ(chips(), QStringList{QStringLiteral("en")});
    clickCard("en");
    clickRemove("en");
    EXPECT_EQ(chips(), QStringList{QStringLiteral("en")});

    clickCard("fr");
    clickCard("de");
    EXPECT_EQ(chips(), (QStringList{QStringLiteral("en"), QStringLiteral("fr"), QStringLiteral("de")}));
    clickCard("fr");
    clickRemove("en");
    clickCard("de");
    EXPECT_EQ(chips(), QStringList{QStringLiteral("de")});
}

TEST_F(LanguagePickerModalTest, SaveStoresTheSelectionAndStreamsOnlyForEnglishAloneAndCancelWritesNothing)
{
    QuilloLanguage::setEnabled(prefs, {"en", "de"});
    const auto before = prefs.object(setting::enabledLanguages.key);
    const auto cancelBy = [&](const char* how, const std::function<void()>& act) {
        open();
        clickCard("de");
        clickCard("ja");
        act();
        settle();
        EXPECT_TRUE(modal.isNull()) << how;
        EXPECT_EQ(prefs.object(setting::enabledLanguages.key), before) << how;
        EXPECT_FALSE(prefs.object(setting::streamingEnabled.key)) << how;
    };
    cancelBy("escape",
             [&] { QTest::keyClick(modal->findChild<QLineEdit*>(QStringLiteral("search")), Qt::Key_Escape); });
    cancelBy("close button", [&] { modal->findChild<QToolButton*>(QStringLiteral("close"))->click(); });
    cancelBy("backdrop", [&] { QTest::mouseClick(modal.data(), Qt::LeftButton, {}, QPoint(5, 5)); });

    prefs.setObject(setting::streamingEnabled.key, false);
    open();
    clickCard("de");
    modal->findChild<QPushButton*>(QStringLiteral("save"))->click();
    EXPECT_EQ(QuilloLanguage::enabled(prefs), LanguageSet{"en"});
    EXPECT_TRUE(prefs.boolForKey(setting::streamingEnabled.key));
    settle();
    EXPECT_TRUE(modal.isNull());

    // Return saves too.
    open();
    clickCard("fr");
    QTest::keyClick(modal->findChild<QLineEdit*>(QStringLiteral("search")), Qt::Key_Return);
    EXPECT_EQ(QuilloLanguage::enabled(prefs), (LanguageSet{"en", "fr"}));
}

} // namespace
} // namespace quillo
