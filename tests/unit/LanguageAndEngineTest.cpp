#include <gtest/gtest.h>

#include "fakes/FakePreferences.h"
#include "transcription/QuilloLanguage.h"
#include "transcription/TranscriptionEngine.h"

namespace quillo::test {
namespace {

using Json = nlohmann::json;

TEST(EnabledLanguages, ReadRepairsWhatIsStored)
{
    struct Case
    {
        const char* name;
        std::optional<Json> stored;
        LanguageSet expected;
    };
    const std::vector<Case> cases = {
        {"unset", std::nullopt, {"en"}},
        {"codes outside the catalogue", Json::array({"xx", "yy"}), {"en"}},
        {"one good code among bad", Json::array({"fr", "xx"}), {"fr"}},
        {"duplicates", Json::array({"de", "de", "ja"}), {"de", "ja"}},
        {"empty array", Json::array(), {"en"}},
        {"not all strings", Json::array({"de", 1}), {"en"}},
        {"a string", "de", {"en"}},
        {"upper case", Json::array({"DE"}), {"en"}},
    };
    for (const auto& c : cases) {
        FakePreferences prefs;
        if (c.stored) {
            prefs.setObject("enabledLanguages", *c.stored);
        }
        EXPECT_EQ(QuilloLanguage::enabled(prefs), c.expected) << "case " << c.name;
    }
}

TEST(EnabledLanguages, WritingTheEmptySetStoresEnglishAndCodesAreNotFiltered)
{
    FakePreferences prefs;
    QuilloLanguage::setEnabled(prefs, {});
    EXPECT_EQ(prefs.stringArrayForKey("enabledLanguages"), std::vector<std::string>{"en"});
    QuilloLanguage::setEnabled(prefs, {"xx", "de"});
    EXPECT_EQ(prefs.stringArrayForKey("enabledLanguages"), (std::vector<std::string>{"de", "xx"}));
    EXPECT_EQ(QuilloLanguage::enabled(prefs), LanguageSet{"de"});
}

TEST(LanguageCatalogue, HasFiftyTwoUniqueTwoLetterCodesStartingWithEnglish)
{
    const auto& all = QuilloLanguage::all();
    ASSERT_EQ(all.size(), 52u);
    EXPECT_EQ(all.front().bcp47, "en");
    EXPECT_EQ(all.back().bcp47, "kk");
    LanguageSet seen;
    for (const auto& language : all) {
        EXPECT_EQ(language.bcp47.size(), 2u) << language.bcp47;
        EXPECT_TRUE(seen.insert(language.bcp47).second) << "duplicate " << language.bcp47;
    }
    EXPECT_EQ(QuilloLanguage::find("kk")->native, "Қазақша");
    EXPECT_EQ(QuilloLanguage::find("zh")->native, "中文");
}

TEST(TranscriptionEngineRouting, CurrentAndResolved)
{
    FakePreferences prefs;
    EXPECT_EQ(TranscriptionEngine::current(prefs), TranscriptionEngine::automatic);
    prefs.setObject("quillo.transcriptionEngine", "OpenAI");
    EXPECT_EQ(TranscriptionEngine::current(prefs), TranscriptionEngine::automatic);
    prefs.setObject("quillo.transcriptionEngine", 3);
    EXPECT_EQ(TranscriptionEngine::current(prefs), TranscriptionEngine::automatic);
    prefs.setObject("quillo.transcriptionEngine", "deepgram");
    EXPECT_EQ(TranscriptionEngine::current(prefs), TranscriptionEngine::deepgram);

    const TranscriptionEngine automatic = TranscriptionEngine::automatic;
    EXPECT_EQ(automatic.resolved({"en"}), TranscriptionEngine::deepgram);
    EXPECT_EQ(automatic.resolved({"en", "es"}), TranscriptionEngine::openai);
    EXPECT_EQ(automatic.resolved({"es"}), TranscriptionEngine::openai);
    EXPECT_EQ(automatic.resolved({}), TranscriptionEngine::openai);
    EXPECT_EQ(TranscriptionEngine(TranscriptionEngine::deepgram).resolved({"ja"}), TranscriptionEngine::deepgram);
    EXPECT_EQ(TranscriptionEngine(TranscriptionEngine::openai).resolved({"en"}), TranscriptionEngine::openai);
    EXPECT_EQ(automatic.rawValue(), "auto");
    EXPECT_EQ(automatic.displayName(), "Auto (recommended)");
}

} // namespace
} // namespace quillo::test
