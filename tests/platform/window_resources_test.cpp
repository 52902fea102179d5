// The text resource file holds every dialog template and menu the system opens, each with
// the control ids and commands its code uses; code that asks for something the file lacks
// is caught at run time too.
#include <gtest/gtest.h>

#include <fstream>
#include <map>
#include <regex>
#include <set>
#include <sstream>
#include <vector>

#include "platform/accelerators.h"
#include "platform/texts.h"
#include "platform/window.h"
#include "platform/window_script.h"
#include "support/test_support.h"

namespace {

struct Home {
    orbtest::TempHome home;
    Home() {
        orbtest::WriteFile(home.path(orb::kLanguageFile), orbtest::ReadFile(orbtest::SourcePath("res/Halo360Web_003906.r")));
        orb::LoadLanguageResource();
    }
    ~Home() {
        orb::ResetWindowing();
        orb::UnloadLanguage();
    }
};

std::set<int> Ids(const orb::DialogTemplate& t) {
    std::set<int> ids;
    for (const auto& c : t.controls) ids.insert(c.id);
    return ids;
}

void Commands(orb::HMENU m, std::set<int>& out) {
    for (const auto& item : orb::GetMenuItems(m)) {
        if (item.id) out.insert(item.id);
        if (item.submenu) Commands(item.submenu, out);
        EXPECT_EQ(item.text.find('#'), std::string::npos) << "a menu text names a missing text: " << item.text;
    }
}

}  // namespace

TEST(WindowResources, EveryTemplateWithItsControls) {
    Home h;
    const std::map<std::string, std::vector<int>> templates = {
        {"Source", {1000, 1, 2}},
        {"Cruise", {1220, 1221, 1, 2}},
        {"Blank", {}},
        {"hOrz", {1301, 1303, 1305, 1307, 1309, 1314, 1315, 1, 2}},
        {"hOrz2", {1301, 1303, 1305, 1309, 1314, 1315, 1316, 1, 2}},
        {"hOrz21", {1301, 1303, 1305, 1309, 1314, 1315, 1316, 1, 2}},
        {"hOrz3", {1301, 1303, 1305, 1309, 1314, 1315, 1320, 1321, 1322, 1323, 1324, 1330, 1, 2}},
        {"Backup", {1300, 1301, 1302, 1303, 1304, 1305, 1306, 1307, 1308, 1309, 1310, 930, 1, 2}},
        {"Playback", {1303, 1304, 1306, 1307, 1310, 1, 2}},
        {"Stop", {2}},
        {"Root", {3400, 3401, 3402, 363, 1, 2}},
        {"Check", {3400, 1, 2}},
        {"Advance", {1850, 1851, 1852, 1853, 1855, 1856, 1857, 1, 2}},
        {"DVR", {1801, 1803, 1804, 1805, 1806, 363, 1, 2}},
        {"DVRFile", {100, 102, 930, 2063, 2026, 2}},
        {"Mask", {110, 111, 112, 1, 2}},
        {"MaskZone", {301, 302, 303, 304, 305, 306, 307, 308, 1, 2}},
        {"Balance", {350, 351, 352, 353, 354, 355, 356, 357, 358, 359, 362, 1315, 1, 2}},
        {"Event", {1811, 1812, 1814, 1816, 1, 2}},
        {"Web", {1000, 716, 717, 718, 107, 1220, 1221, 1222, 1223, 104}},
        {"ExportCamera", {1000, 1, 2}},
    };
    EXPECT_EQ(templates.size(), 21u);
    for (const auto& [name, ids] : templates) {
        orb::DialogTemplate t;
        ASSERT_TRUE(orb::LoadDialogTemplate(name, t)) << name;
        const std::set<int> have = Ids(t);
        for (int id : ids) EXPECT_TRUE(have.count(id)) << name << " lacks control " << id;
        // Ids are unique within a template, and every control lies inside it.
        EXPECT_EQ(have.size(), t.controls.size()) << name;
        for (const auto& c : t.controls) {
            EXPECT_LE(c.x + c.width, t.width) << name << " " << c.id;
            EXPECT_LE(c.y + c.height, t.height) << name << " " << c.id;
            EXPECT_EQ(c.text.find("#"), std::string::npos) << name << " " << c.id;
        }
    }
    // The kinds the file names: password fields hide what is typed, lists of several choices.
    orb::DialogTemplate root, backup, balance;
    ASSERT_TRUE(orb::LoadDialogTemplate("Root", root));
    ASSERT_TRUE(orb::LoadDialogTemplate("Backup", backup));
    ASSERT_TRUE(orb::LoadDialogTemplate("Balance", balance));
    for (const auto& c : root.controls)
        if (c.id >= 3400 && c.id <= 3402) EXPECT_EQ(c.kind, orb::ControlKind::Password);
    for (const auto& c : backup.controls) {
        if (c.id == 1304 || c.id == 1305) EXPECT_EQ(c.kind, orb::ControlKind::MultiList);
        if (c.id == 1300) EXPECT_EQ(c.kind, orb::ControlKind::Progress);
    }
    for (const auto& c : balance.controls)
        if (c.id >= 350 && c.id <= 358 && c.id % 2 == 0) EXPECT_EQ(c.kind, orb::ControlKind::Slider);
}

TEST(WindowResources, EveryMenuWithItsCommands) {
    Home h;
    const std::map<std::string, std::vector<int>> menus = {
        {"ViewBox", {903, 918, 900, 905, 910, 920, 907, 1901, 1805, 2602, 2601, 2600, 935, 938, 3020}},
        {"Snap", {907, 909, 2057, 936, 1603, 2020, 2021, 2064}},
        {"Picture", {907, 909, 2020, 2021, 2064}},
        {"DVR", {1701, 1606, 1601, 1602, 1604, 1605, 1603, 2026, 920, 907, 2750, 2751, 111, 2760, 2761, 1080, 1900, 1901}},
    };
    for (const auto& [name, ids] : menus) {
        orb::HMENU m = orb::LoadMenu(name);
        ASSERT_TRUE(m) << name;
        std::set<int> have;
        Commands(m, have);
        for (int id : ids) EXPECT_TRUE(have.count(id)) << name << " lacks command " << id;
        orb::DestroyMenu(m);
    }
}

// Every template, menu and numbered text the code names literally is in the file.
TEST(WindowResources, WhatTheCodeAsksForIsThere) {
    Home h;
    std::set<std::string> dialogs, menus, keys;
    std::set<int> texts;
    const std::regex dialog(R"re((DialogBox|CreateDialog|ScriptDialog)\("([A-Za-z0-9]+)")re"),
        menu(R"re(LoadMenu\("([A-Za-z0-9]+)"\))re"), text(R"re(\bText\((\d+)\))re"),
        accelerators(R"re(LoadAccelerators\("([A-Za-z0-9]+)"\))re");
    const std::string list = h.home.path("sources.txt");
    ASSERT_EQ(orbtest::Run("cd " + orbtest::SourcePath("") + " && find src tools -name '*.cpp' > " + list), 0);
    std::ifstream files(list);
    for (std::string f; std::getline(files, f);) {
        const std::string code = orbtest::ReadText(orbtest::SourcePath(f));
        for (std::sregex_iterator it(code.begin(), code.end(), dialog), end; it != end; ++it) dialogs.insert((*it)[2]);
        for (std::sregex_iterator it(code.begin(), code.end(), menu), end; it != end; ++it) menus.insert((*it)[1]);
        for (std::sregex_iterator it(code.begin(), code.end(), accelerators), end; it != end; ++it) keys.insert((*it)[1]);
        for (std::sregex_iterator it(code.begin(), code.end(), text), end; it != end; ++it) texts.insert(std::stoi((*it)[1]));
    }
    EXPECT_GE(dialogs.size(), 6u);
    for (const auto& d : dialogs) {
        orb::DialogTemplate t;
        EXPECT_TRUE(orb::LoadDialogTemplate(d, t)) << "the code opens dialog " << d;
    }
    for (const auto& m : menus) {
        orb::HMENU hm = orb::LoadMenu(m);
        EXPECT_TRUE(hm) << "the code loads menu " << m;
        if (hm) orb::DestroyMenu(hm);
    }
    for (int n : texts) EXPECT_NE(orb::Text(n), "#" + std::to_string(n)) << "the code shows text " << n;
    EXPECT_TRUE(keys.count("ViewBox"));
    for (const auto& k : keys) {
        orb::AcceleratorTable table;
        std::string error;
        EXPECT_TRUE(orb::ParseAccelerators(orb::ResourceSection("Accelerators " + k), table, error)) << k << ": " << error;
        EXPECT_FALSE(table.keys.empty()) << "the code loads the keys of " << k;
        // Every key gives a command of the menu of the same name (full screen is the context menu's).
        if (orb::HMENU hm = orb::LoadMenu(k)) {
            for (const auto& a : table.keys)
                if (a.command != 916) EXPECT_GE(orb::GetMenuState(hm, a.command), 0) << k << " " << a.command;
            orb::DestroyMenu(hm);
        }
    }
}

// At run time: a template, a control id or a menu the file lacks is reported.
TEST(WindowResources, MissesAreRecorded) {
    Home h;
    orb::TakeResourceMisses();
    EXPECT_EQ(orb::DialogBox("NoSuchDialog", nullptr, [](orb::HWND, uint32_t, orb::WPARAM, orb::LPARAM) -> orb::LRESULT { return 0; }, 0), -1);
    EXPECT_FALSE(orb::ScriptDialog("NoSuchDialog", {}));
    orb::ScriptDialog("Check", {{orb::DialogStep::Press, orb::IDCANCEL}});
    orb::DialogBox("Check", nullptr, [](orb::HWND d, uint32_t m, orb::WPARAM, orb::LPARAM) -> orb::LRESULT {
        if (m == orb::WM_INITDIALOG) orb::SetDlgItemText(d, 9999, "x");
        return 0;
    }, 0);
    const auto misses = orb::TakeResourceMisses();
    ASSERT_EQ(misses.size(), 2u);
    EXPECT_EQ(misses[0], "dialog: NoSuchDialog");
    EXPECT_EQ(misses[1].rfind("control: 9999", 0), 0u) << misses[1];
}
