#include "export/web_page.h"

#include <cstdio>
#include <cstring>
#include <memory>

#include "export/export_files.h"
#include "platform/texts.h"
#include "orbiscope.h"
#include "platform/msgbox.h"
#include "platform/paths.h"
#include "platform/spawn.h"

namespace orb {

WebPageSize g_webPageSize;

namespace {

struct FileCloser {
    void operator()(std::FILE* f) const { std::fclose(f); }
};
using FilePtr = std::unique_ptr<std::FILE, FileCloser>;

void UseDefaultSize() {
    if (g_webPageSize.width == 0 || g_webPageSize.height == 0) g_webPageSize = {640, 480};
}

bool WriteAll(std::FILE* f, const std::string& bytes) {
    return std::fwrite(bytes.data(), 1, bytes.size(), f) == bytes.size();
}

}  // namespace

std::string HtmlEscape(const std::string& text) {
    std::string out;
    out.reserve(text.size());
    for (const char c : text) {
        switch (c) {
            case '&': out += "&amp;"; break;
            case '<': out += "&lt;"; break;
            case '>': out += "&gt;"; break;
            case '"': out += "&quot;"; break;
            case '\'': out += "&#39;"; break;
            default:
                // Line breaks and other control characters would end the tag's line.
                if (static_cast<unsigned char>(c) < 0x20 || c == 0x7F) {
                    char code[8];
                    std::snprintf(code, sizeof code, "&#%d;", static_cast<int>(static_cast<unsigned char>(c)));
                    out += code;
                } else {
                    out += c;
                }
        }
    }
    return out;
}

std::string WebPageText(int width, int height, const std::string& baseName) {
    const char* const lines[] = {
        "<!-- To publish this camera, copy this page, its camera file (.cctv) and the control package "
        "\"Halo360_003906.cab\" to your web server. -->",
        "<!-- Place \"Halo360_003906.cab\" at a suitable path on the server and keep the control's version "
        "in its name in codeBase: \"Halo360_003906.cab#version=3,0,0,97\". -->",
        "<!-- Give the \"Config\" parameter below the absolute web address of the camera file (.cctv), "
        "not only its name. -->",
        "<!-- Visitors' browsers then install the control from the package and load the camera from the "
        "camera file. -->",
        "<!-- These comment lines may be removed once the page is published. -->",
        "",
        "<html>",
        "<body>",
        "<p>",
        "<object classid=\"clsid:5E2D7C41-8A3B-4F69-B1D0-2C7E9A4F6B13\" id=\"Halo360 Activex Control\" ",
        "codeBase=\"Halo360_003906.cab#version=3,0,0,97\"",
    };
    std::string page;
    for (const char* line : lines) {
        page += line;
        page += "\r\n";
    }
    page += " width=\"" + std::to_string(width) + "\" height=\"" + std::to_string(height) + "\">\r\n";
    // The name is the user's: inserted as text, never as markup.
    page += "  <param name=\"Config\" value=\"" + HtmlEscape(baseName) + ".cctv\">\r\n";
    page += "</object>\r\n</p>\r\n</body>\r\n</html>\r\n";
    return page;
}

bool DeriveWebPagePaths(const std::string& chosen, WebPagePaths& out) {
    if (chosen.find_first_of("/\\") == std::string::npos) return false;
    out.page = chosen;
    std::string last = LastComponent(chosen);
    if (last.find('.') == std::string::npos) {
        out.page += ".html";
        last += ".html";
    }
    out.baseName = last.substr(0, last.find('.'));
    // Named from the same base as the page's "Config" value, so the two always agree.
    out.settings = FolderOf(out.page) + out.baseName + ".cctv";
    return true;
}

int GenerateWebPageFiles(void* owner, const CameraRecord& record, const std::string& chosenPath) {
    WebPagePaths paths;
    if (!DeriveWebPagePaths(chosenPath, paths)) return 0;
    UseDefaultSize();
    {
        FilePtr page(std::fopen(paths.page.c_str(), "wb+e"));  // made to be published
        if (!page) {
            MessageBox(owner, paths.page, "File Create Fail !!", kMbOk | kMbIconError);
            return 0;
        }
        if (!WriteAll(page.get(), WebPageText(g_webPageSize.width, g_webPageSize.height, paths.baseName)))
            return 0;
        if (std::fclose(page.release()) != 0) return 0;
    }
    {
        FilePtr settings(std::fopen(paths.settings.c_str(), "wb+e"));
        if (!settings) {
            MessageBox(owner, "File Create Fail !!!", paths.settings, kMbOk | kMbIconError);
            return 0;
        }
        std::fwrite(&record, 1, sizeof record, settings.get());
    }
    // The control package is a convenience beside the page; its copy does not decide success.
    const std::string package = DataFile(kControlPackage);
    if (FileExists(package)) CopyFileTo(package, FolderOf(paths.page) + kControlPackage);
    return 1;
}

WebDialog OpenWebDialog(void* owner) {
    UseDefaultSize();
    WebDialog d;
    ListCamerasWhole(d.cameras, owner);
    d.selected = d.cameras.empty() ? -1 : 0;
    d.widthPosition = g_webPageSize.width / 4;
    d.heightPosition = g_webPageSize.height / 4;
    return d;
}

void WebChoosePath(WebDialog& d, const std::string& chosen) {
    if (chosen.empty()) return;
    d.path = chosen.substr(0, 259);
    d.pathText = d.path;
    d.createEnabled = true;
}

std::string WebSetSize(WebDialog& d, int controlId, int position) {
    position = position < 30 ? 30 : position > 512 ? 512 : position;
    if (controlId == web::kWidth) {
        d.widthPosition = position;
        g_webPageSize.width = position * 4;
    } else {
        d.heightPosition = position;
        g_webPageSize.height = position * 4;
    }
    return std::to_string(position * 4);
}

namespace {
int GenerateSelected(void* owner, const WebDialog& d) {
    if (d.path.empty() || d.selected < 0 || d.selected >= static_cast<int>(d.cameras.size())) return 0;
    CameraRecord record;
    std::memcpy(&record, d.cameras[static_cast<size_t>(d.selected)].slot.data(), sizeof record);
    return GenerateWebPageFiles(owner, record, d.path);
}
}  // namespace

int WebCreate(void* owner, const WebDialog& d) {
    const int ok = GenerateSelected(owner, d);
    if (!ok) MessageBox(owner, Text(2320), "", kMbOk | kMbIconError);
    return ok;
}

int WebCreateAndOpen(void* owner, const WebDialog& d) {
    const int ok = GenerateSelected(owner, d);
    if (!ok) {
        MessageBox(owner, Text(2320), "", kMbOk | kMbIconError);
        return 0;
    }
    if (MessageBox(owner, Text(2319), "OK", kMbYesNo | kMbIconQuestion) == kIdYes) {
        WebPagePaths paths;
        DeriveWebPagePaths(d.path, paths);
        OpenWebPage(owner, paths.page);
    }
    return 1;
}

bool OpenWebPage(void* owner, const std::string& page) {
    const std::vector<std::string> opener = ShellOpenCommand(page);
    if (opener.empty()) {
        MessageBox(owner, "The web page was written to " + page +
                              ". No program is present to open it (xdg-open was not found).",
                   "", kMbOk | kMbIconInfo);
        return false;
    }
    if (!RunProgram(opener, true, kNoWait).ran()) {
        MessageBox(owner, "The web page could not be opened: xdg-open could not be started.", "",
                   kMbOk | kMbIconWarning);
        return false;
    }
    return true;
}

}  // namespace orb

