// The text resource file against the code: every numbered text, menu and dialog template the
// code asks for is in the file exactly once, and the file's own references resolve.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <map>
#include <regex>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "platform/texts.h"
#include "platform/paths.h"
#include "support/test_support.h"

namespace {

namespace fs = std::filesystem;

// A decimal literal as a text number; -1 for one too long to be one.
int Num(const std::string& digits) { return digits.size() <= 6 ? std::stoi(digits) : -1; }

std::string ReadAll(const fs::path& p) {
    std::ifstream in(p, std::ios::binary);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

struct ResourceFile {
    std::map<int, std::vector<std::string>> texts;           // number -> its lines
    std::map<std::string, int> templates;                     // "Dialog X" / "Menu X" -> count
    std::vector<std::pair<int, std::string>> references;     // numbers the file itself uses
};

ResourceFile ReadResources(const fs::path& file) {
    ResourceFile r;
    std::istringstream in(ReadAll(file));
    std::string line, section;
    int lineNo = 0;
    const std::regex item(R"(^\s*ITEM\s+(\d+)\s*$)"), hashRef(R"(#(\d+))");
    while (std::getline(in, line)) {
        ++lineNo;
        if (!line.empty() && line.back() == '\r') line.pop_back();
        if (line.empty() || line[0] == '#') continue;
        const std::string where = file.filename().string() + ":" + std::to_string(lineNo);
        if (line[0] == '[') {
            section = line.substr(1, line.find(']') - 1);
            if (section != "Texts") ++r.templates[section];
            continue;
        }
        if (section == "Texts") {
            const auto eq = line.find('=');
            if (eq != std::string::npos) r.texts[std::stoi(line.substr(0, eq))].push_back(where + ": " + line);
            continue;
        }
        std::smatch m;
        if (std::regex_match(line, m, item)) r.references.emplace_back(std::stoi(m[1]), where);
        for (auto it = std::sregex_iterator(line.begin(), line.end(), hashRef); it != std::sregex_iterator(); ++it)
            r.references.emplace_back(std::stoi((*it)[1]), where);
    }
    return r;
}

struct CodeUses {
    std::map<int, std::string> texts;        // number -> first place that asks for it
    std::map<std::string, std::string> templates;
};

// The argument of a call starting at `open` (the "(").
std::string Argument(const std::string& s, size_t open) {
    int depth = 0;
    for (size_t i = open; i < s.size(); ++i) {
        if (s[i] == '(') ++depth;
        if (s[i] == ')' && --depth == 0) return s.substr(open + 1, i - open - 1);
    }
    return {};
}

CodeUses ReadCode(const fs::path& src) {
    std::vector<std::pair<std::string, std::string>> files;
    for (const auto& e : fs::recursive_directory_iterator(src))
        if (e.path().extension() == ".cpp" || e.path().extension() == ".h")
            files.emplace_back(fs::relative(e.path(), src).string(), ReadAll(e.path()));
    // Named command numbers (kCmdClose = 907, ...).
    std::map<std::string, int> constants;
    const std::regex constant(R"(\b(k[A-Z]\w*)\s*=\s*(\d+)\b)");
    for (const auto& [name, text] : files)
        for (auto it = std::sregex_iterator(text.begin(), text.end(), constant); it != std::sregex_iterator(); ++it)
            constants.emplace((*it)[1], Num((*it)[2].str()));

    CodeUses uses;
    auto use = [&](int n, const std::string& where) {
        if (n >= 0) uses.texts.emplace(n, where);
    };
    const std::regex number(R"(^\s*(\d+)\s*$)"), name(R"(^\s*(k\w+)\s*$)"),
        choice(R"(\?\s*(\d+)\s*:\s*(\d+))"), menuItem(R"(AddMenuItem\(\s*\w+\s*,\s*(k\w+))"),
        chosenText(R"(\btext\s*=\s*[^;]*\?\s*(\d+)\s*:\s*(\d+))"),
        templ(R"(\b(DialogBox|CreateDialog|LoadMenu)\(\s*"([^"]+)\")"), list(R"(\{\s*(\d+(?:\s*,\s*\d+)+)\s*\})");
    for (const auto& [file, text] : files) {
        // Text(...) itself, not SetText, DrawText and the like.
        for (size_t at = text.find("Text("); at != std::string::npos; at = text.find("Text(", at + 1)) {
            if (at > 0 && (std::isalnum(static_cast<unsigned char>(text[at - 1])) || text[at - 1] == '_')) continue;
            const std::string arg = Argument(text, at + 4);
            std::smatch m;
            if (std::regex_match(arg, m, number)) use(Num(m[1].str()), file);
            else if (std::regex_match(arg, m, name) && constants.count(m[1])) use(constants[m[1]], file);
            else if (std::regex_search(arg, m, choice)) use(Num(m[1].str()), file), use(Num(m[2].str()), file);
        }
        for (const std::regex* re : {&menuItem, &chosenText})
            for (auto it = std::sregex_iterator(text.begin(), text.end(), *re); it != std::sregex_iterator(); ++it) {
                if (re == &menuItem && constants.count((*it)[1])) use(constants[(*it)[1]], file);
                if (re == &chosenText) use(Num((*it)[1].str()), file), use(Num((*it)[2].str()), file);
            }
        // The tool bar's view menu names its items by number lists.
        if (file == "ui/toolbar.cpp")
            for (auto it = std::sregex_iterator(text.begin(), text.end(), list); it != std::sregex_iterator(); ++it) {
                std::istringstream nums(std::regex_replace((*it)[1].str(), std::regex(","), " "));
                for (int n; nums >> n;)
                    if (n >= 900) use(n, file);
            }
        for (auto it = std::sregex_iterator(text.begin(), text.end(), templ); it != std::sregex_iterator(); ++it)
            uses.templates.emplace(((*it)[1] == "LoadMenu" ? "Menu " : "Dialog ") + (*it)[2].str(), file);
    }
    return uses;
}

TEST(TextResources, EveryTextAndTemplateTheCodeAsksForIsThereOnce) {
    const fs::path res = fs::path(ORB_SOURCE_DIR) / "res";
    std::vector<fs::path> files;
    for (const auto& e : fs::directory_iterator(res))
        if (e.path().extension() == ".r") files.push_back(e.path());
    ASSERT_EQ(files.size(), 1u);
    const ResourceFile r = ReadResources(files[0]);
    const CodeUses code = ReadCode(fs::path(ORB_SOURCE_DIR) / "src");

    for (const auto& [n, lines] : r.texts) {
        std::string all;
        for (const auto& l : lines) all += "\n  " + l;
        EXPECT_EQ(lines.size(), 1u) << "text " << n << " is defined " << lines.size() << " times:" << all;
    }
    for (const auto& [name, count] : r.templates) EXPECT_EQ(count, 1) << "[" << name << "] appears " << count << " times";
    for (const auto& [n, where] : r.references) EXPECT_TRUE(r.texts.count(n)) << where << " refers to missing text " << n;
    // The reader of these lists must find what the product obviously uses.
    ASSERT_GT(code.texts.size(), 40u);
    ASSERT_TRUE(code.texts.count(2657) && code.texts.count(907) && code.texts.count(2331) && code.texts.count(2329));
    for (const auto& [n, where] : code.texts) EXPECT_TRUE(r.texts.count(n)) << where << " asks for missing text " << n;
    ASSERT_TRUE(code.templates.count("Menu ViewBox"));
    for (const auto& [name, where] : code.templates)
        EXPECT_TRUE(r.templates.count(name)) << where << " asks for missing template [" << name << "]";
}

// The loaded module gives each text as written, and a missing number as "#<number>".
TEST(TextResources, LookupGivesTheOneTextOrItsNumber) {
    orbtest::TempHome home;
    fs::copy_file(fs::path(ORB_SOURCE_DIR) / "res" / orb::kLanguageFile, home.path(orb::kLanguageFile));
    ASSERT_TRUE(orb::LoadLanguageResource());
    EXPECT_EQ(orb::Text(2054), "The package was built.");
    EXPECT_EQ(orb::Text(2100), "Take a snapshot");
    EXPECT_EQ(orb::Text(2657), "Four views");
    EXPECT_EQ(orb::Text(999999), "#999999");
    orb::UnloadLanguage();
}

}  // namespace
