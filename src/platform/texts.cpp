#include "platform/texts.h"

#include <cstdlib>
#include <fstream>
#include <mutex>

#include "platform/paths.h"

namespace orb {

namespace {

struct Language {
    bool loaded = false;
    std::map<int, std::string> texts;
    std::map<std::string, std::vector<std::string>> sections;
};

std::mutex g_languageLock;
Language& LanguageModule() {
    static auto* v = new Language;
    return *v;
}

// "\n" and "\t" escapes in a text value.
std::string Unescape(const std::string& v) {
    std::string out;
    for (size_t i = 0; i < v.size(); ++i) {
        if (v[i] == '\\' && i + 1 < v.size()) {
            const char c = v[++i];
            out += c == 'n' ? '\n' : c == 't' ? '\t' : c == 'r' ? '\r' : c;
        } else {
            out += v[i];
        }
    }
    return out;
}

}  // namespace

bool LoadLanguageResource() {
    std::ifstream in(DataFile(kLanguageFile), std::ios::binary);
    if (!in) return false;
    Language lang;
    lang.loaded = true;
    std::string line, section;
    while (std::getline(in, line)) {
        if (!line.empty() && line.back() == '\r') line.pop_back();
        if (line.empty() || line[0] == '#') continue;
        if (line[0] == '[' && line.find(']') != std::string::npos) {
            section = line.substr(1, line.find(']') - 1);
            continue;
        }
        if (section == "Texts") {
            const size_t eq = line.find('=');
            if (eq == std::string::npos) continue;
            lang.texts[std::atoi(line.substr(0, eq).c_str())] = Unescape(line.substr(eq + 1));
        } else if (!section.empty()) {
            lang.sections[section].push_back(line);
        }
    }
    std::lock_guard lock(g_languageLock);
    LanguageModule() = std::move(lang);
    return true;
}

bool UnloadLanguage() {
    std::lock_guard lock(g_languageLock);
    const bool was = LanguageModule().loaded;
    LanguageModule() = Language{};
    return was;
}

bool LanguageLoaded() {
    std::lock_guard lock(g_languageLock);
    return LanguageModule().loaded;
}

std::string Text(int id) {
    std::lock_guard lock(g_languageLock);
    if (!LanguageModule().loaded) return {};
    const auto it = LanguageModule().texts.find(id);
    return it != LanguageModule().texts.end() ? it->second : "#" + std::to_string(id);
}

std::vector<std::string> ResourceSection(const std::string& name) {
    std::lock_guard lock(g_languageLock);
    const auto it = LanguageModule().sections.find(name);
    return it != LanguageModule().sections.end() ? it->second : std::vector<std::string>{};
}

}  // namespace orb
