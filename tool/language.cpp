#include "tool/language.h"

#include <windows.h>

namespace {

Language g_language = Language::English;

}  // namespace

Language UserLanguage() {
    return PRIMARYLANGID(::GetUserDefaultUILanguage()) == LANG_JAPANESE ? Language::Japanese : Language::English;
}

std::optional<Language> LanguageNamed(std::string_view name) {
    if (name == "ja") return Language::Japanese;
    if (name == "en") return Language::English;
    return std::nullopt;
}

void UseLanguage(Language language) { g_language = language; }

Language SpokenLanguage() { return g_language; }
