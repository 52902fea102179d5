// The language resource module: a text file beside the library holding the numbered
// texts (and, in its other sections, dialogs and menus).
#pragma once
#include <map>
#include <string>
#include <vector>

namespace orb {

constexpr const char* kLanguageFile = "Halo360Web_003906.r";

// Loads the module from the library's folder; false when it is missing.
bool LoadLanguageResource();
// Releases it; true if one was loaded.
bool UnloadLanguage();
bool LanguageLoaded();
// Text by number: empty when no module is loaded, "#<number>" when the number is absent.
std::string Text(int id);
// The raw lines of a named section ("Dialog Source", "Menu ViewBox", ...), empty if absent.
std::vector<std::string> ResourceSection(const std::string& name);

}  // namespace orb
