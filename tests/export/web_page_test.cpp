#include "export/web_page.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cstring>

#include "platform/texts.h"
#include "orbiscope.h"
#include "platform/msgbox.h"
#include "platform/window.h"
#include "platform/window_script.h"
#include "support/test_support.h"

namespace {

using namespace orb;

const char* const kGoldenPage =
    "<!-- To publish this camera, copy this page, its camera file (.cctv) and the control package "
    "\"Halo360_003906.cab\" to your web server. -->\r\n"
    "<!-- Place \"Halo360_003906.cab\" at a suitable path on the server and keep the control's version in its "
    "name in codeBase: \"Halo360_003906.cab#version=3,0,0,97\". -->\r\n"
    "<!-- Give the \"Config\" parameter below the absolute web address of the camera file (.cctv), not only its "
    "name. -->\r\n"
    "<!-- Visitors' browsers then install the control from the package and load the camera from the camera "
    "file. -->\r\n"
    "<!-- These comment lines may be removed once the page is published. -->\r\n"
    "\r\n"
    "<html>\r\n"
    "<body>\r\n"
    "<p>\r\n"
    "<object classid=\"clsid:5E2D7C41-8A3B-4F69-B1D0-2C7E9A4F6B13\" id=\"Halo360 Activex Control\" \r\n"
    "codeBase=\"Halo360_003906.cab#version=3,0,0,97\"\r\n"
    " width=\"2048\" height=\"120\">\r\n"
    "  <param name=\"Config\" value=\"clip.cctv\">\r\n"
    "</object>\r\n"
    "</p>\r\n"
    "</body>\r\n"
    "</html>\r\n";

std::vector<uint8_t> Slot(uint8_t fill, const char* location) {
    std::vector<uint8_t> slot(kSlotSize);
    for (size_t i = 0; i < slot.size(); ++i) slot[i] = static_cast<uint8_t>(fill + i * 7);
    std::memset(slot.data() + 720, 0, 440);
    std::memcpy(slot.data() + 720, location, std::strlen(location));
    return slot;
}

struct WebPage : ::testing::Test {
    orbtest::TempHome home;
    std::vector<uint8_t> config;
    void SetUp() override {
        g_webPageSize = {};
        TakeMessages();
        orbtest::WriteText(home.path("Halo360Web_003906.r"), "[Texts]\n2319=open it?\n2320=page failed\n");
        LoadLanguageResource();
        const auto a = Slot(1, "Gate"), b = Slot(99, "Hall");
        config = a;
        config.insert(config.end(), b.begin(), b.end());
        // A last slot 50 bytes short is not listed by this dialog.
        config.insert(config.end(), kSlotSize - 50, 0);
        orbtest::WriteFile(home.path("Config.ure"), config);
        orbtest::WriteText(home.path("Halo360_003906.cab"), std::string(70001, 'k'));
    }
    void TearDown() override {
        UnloadLanguage();
        TakeMessages();
    }
};

TEST_F(WebPage, GoldenPageAndCameraFileBytes) {
    EXPECT_EQ(WebPageText(2048, 120, "clip"), kGoldenPage);
    const std::string small = WebPageText(640, 480, "x");
    EXPECT_NE(small.find("\r\n width=\"640\" height=\"480\">\r\n  <param name=\"Config\" value=\"x.cctv\">\r\n"),
              std::string::npos);

    WebDialog d = OpenWebDialog(nullptr);
    ASSERT_EQ(d.cameras.size(), 2u);
    EXPECT_EQ(d.cameras[1].location, "Hall");
    EXPECT_EQ(d.selected, 0);
    EXPECT_EQ(d.pathText, "HTML File");
    EXPECT_FALSE(d.createEnabled);
    EXPECT_EQ(d.widthPosition, 160);
    EXPECT_EQ(d.heightPosition, 120);
    EXPECT_EQ(WebSetSize(d, web::kWidth, 512), "2048");
    EXPECT_EQ(WebSetSize(d, web::kHeight, 30), "120");
    EXPECT_EQ(WebSetSize(d, web::kHeight, 7), "120");  // the slider's own range
    EXPECT_EQ(g_webPageSize.width, 2048);
    EXPECT_EQ(g_webPageSize.height, 120);

    const std::string out = home.path("site");
    ASSERT_EQ(::mkdir(out.c_str(), 0755), 0);
    WebChoosePath(d, out + "/clip");  // no extension: ".html" is added
    EXPECT_TRUE(d.createEnabled);
    EXPECT_EQ(d.pathText, out + "/clip");
    d.selected = 1;
    EXPECT_EQ(WebCreate(nullptr, d), 1);
    EXPECT_TRUE(TakeMessages().empty());
    EXPECT_EQ(orbtest::ReadText(out + "/clip.html"), kGoldenPage);
    const std::vector<uint8_t> cctv = orbtest::ReadFile(out + "/clip.cctv");
    EXPECT_EQ(cctv, std::vector<uint8_t>(config.begin() + kSlotSize, config.begin() + kSlotSize + kRecordSize));
    EXPECT_EQ(orbtest::ReadText(out + "/Halo360_003906.cab"), std::string(70001, 'k'));

    // The size is kept for the next dialog.
    EXPECT_EQ(OpenWebDialog(nullptr).widthPosition, 512);
}

TEST_F(WebPage, NamesAndFailures) {
    WebPagePaths p;
    EXPECT_FALSE(DeriveWebPagePaths("clip.html", p));
    ASSERT_TRUE(DeriveWebPagePaths("/w/cam.v2.htm", p));
    EXPECT_EQ(p.page, "/w/cam.v2.htm");
    EXPECT_EQ(p.baseName, "cam");
    EXPECT_EQ(p.settings, "/w/cam.cctv");  // agrees with the page's "Config" value
    ASSERT_TRUE(DeriveWebPagePaths("C:\\w.d\\page", p));
    EXPECT_EQ(p.page, "C:\\w.d\\page.html");
    EXPECT_EQ(p.baseName, "page");

    CameraRecord r;
    std::memset(&r, 0, sizeof r);
    // No folder in the path: nothing is written, no message from the generator.
    EXPECT_EQ(GenerateWebPageFiles(nullptr, r, "page.html"), 0);
    EXPECT_TRUE(TakeMessages().empty());

    // An unwritable output folder: the path as the text, "File Create Fail !!" as caption.
    const std::string bad = home.path("missing/dir/page.html");
    EXPECT_EQ(GenerateWebPageFiles(nullptr, r, bad), 0);
    auto shown = TakeMessages();
    ASSERT_EQ(shown.size(), 1u);
    EXPECT_EQ(shown[0].text, bad);
    EXPECT_EQ(shown[0].caption, "File Create Fail !!");
    EXPECT_EQ(shown[0].flags, kMbOk | kMbIconError);

    // The camera file cannot be created: its own message, with the path as caption.
    ASSERT_EQ(::mkdir(home.path("cam.cctv").c_str(), 0755), 0);
    EXPECT_EQ(GenerateWebPageFiles(nullptr, r, home.path("cam.html")), 0);
    shown = TakeMessages();
    ASSERT_EQ(shown.size(), 1u);
    EXPECT_EQ(shown[0].text, "File Create Fail !!!");
    EXPECT_EQ(shown[0].caption, home.path("cam.cctv"));

    // A missing control package does not change the result.
    std::remove(home.path("Halo360_003906.cab").c_str());
    EXPECT_EQ(GenerateWebPageFiles(nullptr, r, home.path("other.html")), 1);
    struct stat st {};
    EXPECT_EQ(::stat(home.path("other.cctv").c_str(), &st), 0);
    EXPECT_EQ(st.st_size, kRecordSize);

    // Through the dialog's buttons: 2320 on failure; create-and-open asks with 2319.
    WebDialog d = OpenWebDialog(nullptr);
    WebChoosePath(d, bad);
    EXPECT_EQ(WebCreateAndOpen(nullptr, d), 0);
    shown = TakeMessages();
    ASSERT_EQ(shown.size(), 2u);
    EXPECT_EQ(shown[1].text, "page failed");
    const char* oldPath = std::getenv("PATH");
    const std::string savedPath = oldPath ? oldPath : "";
    setenv("PATH", home.dir.c_str(), 1);  // no xdg-open
    WebChoosePath(d, home.path("open.html"));
    SetMessageAnswers({kIdYes});
    EXPECT_EQ(WebCreateAndOpen(nullptr, d), 1);
    setenv("PATH", savedPath.c_str(), 1);
    shown = TakeMessages();
    ASSERT_EQ(shown.size(), 2u);
    EXPECT_EQ(shown[0].text, "open it?");
    EXPECT_EQ(shown[0].caption, "OK");
    EXPECT_EQ(shown[0].flags & kMbYesNo, kMbYesNo);
    EXPECT_NE(shown[1].text.find("xdg-open"), std::string::npos);

    // The dialog through its export: a slider moved, Browse answered by the chooser, Create,
    // Close.
    orbtest::WriteFile(home.path("Halo360Web_003906.r"), orbtest::ReadFile(orbtest::SourcePath("res/Halo360Web_003906.r")));
    LoadLanguageResource();
    ScriptChooserAnswers({home.path("viadialog")});
    ASSERT_TRUE(ScriptDialog("Web", {{DialogStep::SetValue, web::kWidth, "", 200},
                                     {DialogStep::Press, web::kBrowse},
                                     {DialogStep::Press, web::kCreate},
                                     {DialogStep::Press, web::kCancelToo}}));
    EXPECT_EQ(GenerateWebPage(nullptr), -1);
    EXPECT_EQ(g_webPageSize.width, 800);
    EXPECT_NE(orbtest::ReadText(home.path("viadialog.html")).find("800"), std::string::npos);
    EXPECT_EQ(TakeShownChoosers(), (std::vector<std::string>{web::kBrowseTitle}));
    EXPECT_TRUE(TakeResourceMisses().empty());

    // No camera file: the list is empty and nothing can be generated.
    std::remove(home.path("Config.ure").c_str());
    WebDialog empty = OpenWebDialog(nullptr);
    EXPECT_EQ(empty.selected, -1);
    WebChoosePath(empty, home.path("none.html"));
    TakeMessages();
    EXPECT_EQ(WebCreate(nullptr, empty), 0);
    EXPECT_EQ(WebCancel(), -1);
    EXPECT_EQ(GenerateWebPage(nullptr), -1);
}

}  // namespace

TEST_F(WebPage, TheChosenNameIsInsertedAsTextNeverAsMarkup) {
    // A page name that closes the attribute and the tag and adds a script.
    const std::string name = "x\"><script>alert('pwned')<b a=\"&";
    const std::string chosen = home.path(name + ".html");
    CameraRecord record{};
    ASSERT_EQ(GenerateWebPageFiles(nullptr, record, chosen), 1);
    const std::string page = orbtest::ReadText(chosen);
    EXPECT_EQ(page.find("<script>"), std::string::npos);
    EXPECT_EQ(page.find("'pwned'"), std::string::npos);
    EXPECT_NE(page.find("  <param name=\"Config\" value=\"x&quot;&gt;&lt;script&gt;alert(&#39;pwned&#39;)"
                        "&lt;b a=&quot;&amp;.cctv\">\r\n"),
              std::string::npos)
        << page;
    // Every tag of the page is still one of its own.
    size_t tags = 0;
    for (size_t at = page.find('<'); at != std::string::npos; at = page.find('<', at + 1)) ++tags;
    EXPECT_EQ(tags, 5u + 9u);  // five comment lines and the page's nine tags
    EXPECT_EQ(HtmlEscape(std::string("a\r\nb\t<")), "a&#13;&#10;b&#9;&lt;");
    EXPECT_EQ(HtmlEscape("plain name"), "plain name");
}
