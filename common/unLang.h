// The interface language: "A" Simplified Chinese (the default), "B"
// Traditional Chinese, "C" English, stored per user as "CurLang" under
// HKEY_CURRENT_USER "SoftWare\Tenvox" and cached for the whole process.
#pragma once

#include <string>

extern std::string sCurLang;  // the cached code; "A" when nothing is stored
extern bool bLangRead;        // the cache and the flags are valid
extern bool bLangA;           // sCurLang is exactly "A"
extern bool bLangB;           // sCurLang is exactly "B"
extern bool bLangC;           // sCurLang is exactly "C"

// The current language code; reads the registry only while bLangRead is false.
std::string GetLangFlag();

// The text for the current language, tested in the order A, B, C; English
// when no flag is set; the Simplified text whenever the chosen one is empty.
std::string LangText(const std::string& textA, const std::string& textB,
                     const std::string& textC);
