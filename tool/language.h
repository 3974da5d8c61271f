// The language favtool speaks: Japanese for a user whose Windows speaks
// Japanese, English otherwise, or what --lang chose. Every message is written
// in both at the place it is made, Say(english, japanese), so that none can
// lack one; names a user types (commands, options, registry values, JSON
// keys, history reasons) stay as they are in both.
#pragma once

#include <optional>
#include <string>
#include <string_view>

enum class Language { English, Japanese };

// From the user's interface language.
Language UserLanguage();
// "ja" or "en", as --lang takes them.
std::optional<Language> LanguageNamed(std::string_view name);

void UseLanguage(Language language);
Language SpokenLanguage();
inline bool SpeaksJapanese() { return SpokenLanguage() == Language::Japanese; }

// The message in the language spoken.
inline std::string Say(std::string english, std::string japanese) {
    return SpeaksJapanese() ? std::move(japanese) : std::move(english);
}
