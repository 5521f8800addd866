#include "transcription/QuilloLanguage.h"

#include "platform/Preferences.h"
#include "settings/Settings.h"

namespace quillo {

const std::vector<QuilloLanguage>& QuilloLanguage::all()
{
    static const std::vector<QuilloLanguage> catalogue = {
        {"en", "English", "English"},
        {"bn", "Bengali", "বাংলা"},
        {"es", "Spanish", "Español"},
        {"fr", "French", "Français"},
        {"de", "German", "Deutsch"},
        {"it", "Italian", "Italiano"},
        {"pt", "Portuguese", "Português"},
        {"nl", "Dutch", "Nederlands"},
        {"ru", "Russian", "Русский"},
        {"uk", "Ukrainian", "Українська"},
        {"pl", "Polish", "Polski"},
        {"cs", "Czech", "Čeština"},
        {"sk", "Slovak", "Slovenčina"},
        {"ro", "Romanian", "Română"},
        {"hu", "Hungarian", "Magyar"},
        {"el", "Greek", "Ελληνικά"},
        {"tr", "Turkish", "Türkçe"},
        {"ar", "Arabic", "العربية"},
        {"he", "Hebrew", "עברית"},
        {"fa", "Persian", "فارسی"},
        {"ur", "Urdu", "اردو"},
        {"hi", "Hindi", "हिन्दी"},
        {"ta", "Tamil", "தமிழ்"},
        {"te", "Telugu", "తెలుగు"},
        {"kn", "Kannada", "ಕನ್ನಡ"},
        {"ml", "Malayalam", "മലയാളം"},
        {"mr", "Marathi", "मराठी"},
        {"gu", "Gujarati", "ગુજરાતી"},
        {"pa", "Punjabi", "ਪੰਜਾਬੀ"},
        {"ne", "Nepali", "नेपाली"},
        {"si", "Sinhala", "සිංහල"},
        {"zh", "Chinese", "中文"},
        {"ja", "Japanese", "日本語"},
        {"ko", "Korean", "한국어"},
        {"th", "Thai", "ไทย"},
        {"vi", "Vietnamese", "Tiếng Việt"},
        {"id", "Indonesian", "Bahasa Indonesia"},
        {"ms", "Malay", "Bahasa Melayu"},
        {"tl", "Tagalog", "Tagalog"},
        {"sv", "Swedish", "Svenska"},
        {"no", "Norwegian", "Norsk"},
        {"da", "Danish", "Dansk"},
        {"fi", "Finnish", "Suomi"},
        {"et", "Estonian", "Eesti"},
        {"lv", "Latvian", "Latviešu"},
        {"lt", "Lithuanian", "Lietuvių"},
        {"hr", "Croatian", "Hrvatski"},
        {"sr", "Serbian", "Српски"},
        {"bg", "Bulgarian", "Български"},
        {"sw", "Swahili", "Kiswahili"},
        {"az", "Azerbaijani", "Azərbaycan"},
        {"kk", "Kazakh", "Қазақша"},
    };
    return catalogue;
}

const QuilloLanguage* QuilloLanguage::find(const std::string& code)
{
    for (const auto& language : all()) {
        if (language.bcp47 == code) {
            return &language;
        }
    }
    return nullptr;
}

LanguageSet QuilloLanguage::enabled(const Preferences& preferences)
{
    LanguageSet result;
    for (const auto& code : Settings(preferences).get(setting::enabledLanguages)) {
        if (find(code)) {
            result.insert(code);
        }
    }
    if (result.empty()) {
        result.insert("en");
    }
    return result;
}

void QuilloLanguage::setEnabled(Preferences& preferences, const LanguageSet& languages)
{
    const LanguageSet toStore = languages.empty() ? LanguageSet{"en"} : languages;
    EditableSettings(preferences)
        .set(setting::enabledLanguages, std::vector<std::string>(toStore.begin(), toStore.end()));
}

} // namespace quillo
