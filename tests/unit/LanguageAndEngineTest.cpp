#include <gtest/gtest.h>

#include "fakes/FakePreferences.h"
#include "transcription/QuilloLanguage.h"
#include "transcription/TranscriptionEngine.h"

namespace quillo::test {
namespace {

using Json = nlohmann::json;

TEST(EnabledLanguages, ReadRepairsWhatIsStoredAndWritesAreNotFiltered)
{
    const std::vector<std::pair<std::optional<Json>, LanguageSet>> cases = {
        {std::nullopt, {"en"}},
        {Json::array({"xx", "yy"}), {"en"}}, // codes outside the catalogue
        {Json::array({"fr", "xx"}), {"fr"}},
        {Json::array({"de", 1}), {"en"}}, // not all strings
    };
    for (const auto& [stored, expected] : cases) {
        FakePreferences prefs;
        if (stored) {
            prefs.setObject("enabledLanguages", *stored);
        }
        EXPECT_EQ(QuilloLanguage::enabled(prefs), expected) << "case " << (stored ? stored->dump() : "unset");
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
