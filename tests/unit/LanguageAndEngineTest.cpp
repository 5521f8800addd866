#include <gtest/gtest.h>

#include "fakes/FakePreferences.h"
#include "transcription/QuilloLanguage.h"
#include "transcription/TranscriptionEngine.h"

namespace quillo::test {
namespace {

using Json = nlohmann::json;

TEST(EnabledLanguages, ReadRepairsWhatIsStoredAndWritesAreNotFiltered)
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
        {"not all strings", Json::array({"de", 1}), {"en"}},
        {"upper case", Json::array({"DE"}), {"en"}},
    };
    for (const auto& c : cases) {
        FakePreferences prefs;
        if (c.stored) {
            prefs.setObject("enabledLanguages", *c.stored);
        }
        EXPECT_EQ(QuilloLanguage::enabled(prefs), c.expected) << "case " << c.name;
    }

    FakePreferences prefs;
    QuilloLanguage::setEnabled(prefs, {});
    EXPECT_EQ(prefs.stringArrayForKey("enabledLanguages"), std::vector<std::string>{"en"});
    QuilloLanguage::setEnabled(prefs, {"xx", "de"});
    EXPECT_EQ(prefs.stringArrayForKey("enabledLanguages"), (std::vector<std::string>{"de", "xx"}));
}

TEST(TranscriptionEngineChoice, AnythingButAnExactNameReadsAsAuto)
{
    const std::vector<std::pair<std::optional<Json>, TranscriptionEngine>> cases = {
        {std::nullopt, TranscriptionEngine::automatic},
        {"OpenAI", TranscriptionEngine::automatic},
        {3, TranscriptionEngine::automatic},
        {"local", TranscriptionEngine::local},
    };
    for (const auto& [stored, expected] : cases) {
        FakePreferences prefs;
        if (stored) {
            prefs.setObject("quillo.transcriptionEngine", *stored);
        }
        EXPECT_EQ(TranscriptionEngine::current(prefs), expected) << "case " << (stored ? stored->dump() : "unset");
    }
}

} // namespace
} // namespace quillo::test
