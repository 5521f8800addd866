#pragma once

#include <set>
#include <string>
#include <vector>

namespace quillo {

class Preferences;

// A set of language codes (the `bcp47` field of the catalogue).
using LanguageSet = std::set<std::string>;

// One language the user may dictate in.
struct QuilloLanguage
{
    std::string bcp47;       // two lower-case letters, sent to the providers
    std::string displayName; // English name
    std::string native;      // the name in its own language and script (UTF-8)

    const std::string& id() const { return bcp47; }

    // The 52 languages in their fixed order (the clean-up prompt and the
    // picker list them in this order).
    static const std::vector<QuilloLanguage>& all();
    static const QuilloLanguage* find(const std::string& code);

    // The enabled set: the stored codes that are in the catalogue, or {"en"}
    // when none are. Never empty.
    static LanguageSet enabled(const Preferences& preferences);
    // Stores the set; an empty set stores {"en"}.
    static void setEnabled(Preferences& preferences, const LanguageSet& languages);
};

} // namespace quillo
