// The web page generator: an HTML page embedding the browser control, the camera file it
// loads (one camera record, name ".cctv"), and a copy of the control's package beside them.
#pragma once
#include <string>
#include <vector>

#include "config/camera_record.h"
#include "config/config_file.h"

namespace orb {

constexpr const char* kControlPackage = "Halo360_003906.cab";

// The page size, kept between calls; 640 x 480 when either is 0.
struct WebPageSize {
    int width = 0, height = 0;
};
extern WebPageSize g_webPageSize;

// Text made safe inside an HTML attribute value or element: & < > " ' and control
// characters become character references.
std::string HtmlEscape(const std::string& text);
// The page's bytes (CR LF line ends) for a size and the camera file's base name.
std::string WebPageText(int width, int height, const std::string& baseName);

// Where the page and its camera file go for a chosen path.
struct WebPagePaths {
    std::string page;      // with ".html" added when the last component has no dot
    std::string baseName;  // the last component up to its first dot
    std::string settings;  // the camera file: page folder, base name, ".cctv"
};
// False when the path has no folder separator ("/" or "\").
bool DeriveWebPagePaths(const std::string& chosen, WebPagePaths& out);

// Writes the page and the camera file for this record, then copies the control package.
// 1 when page and camera file were written, 0 otherwise (with a message).
int GenerateWebPageFiles(void* owner, const CameraRecord& record, const std::string& chosenPath);

// The "Web" dialog's logic; the window layer shows the state and forwards the clicks.
namespace web {
constexpr int kBrowse = 717, kCreate = 718, kCreateOpen = 107, kWidth = 1220, kHeight = 1222;
constexpr int kCancel = 2, kCancelToo = 104;
constexpr const char* kBrowseTitle = "Create HTML Web Page";
constexpr const char* kBrowseExtension = "html";
constexpr const char* kBrowseFilter = "HTML Files(*.html)";
constexpr const char* kNoPathText = "HTML File";
}  // namespace web

struct WebDialog {
    std::vector<ListedCamera> cameras;
    int selected = 0;             // -1 with an empty list
    std::string path;             // empty until chosen
    std::string pathText = web::kNoPathText;
    bool createEnabled = false;   // 718 and 107
    int widthPosition = 0, heightPosition = 0;  // 30 .. 512
};

// Opening: default size, camera list (size / 3000 slots), path text, slider positions.
WebDialog OpenWebDialog(void* owner);
// Browse result (empty: cancelled).
void WebChoosePath(WebDialog& d, const std::string& chosen);
// A slider moved: the size becomes position x 4 and is kept. Returns the text shown beside it.
std::string WebSetSize(WebDialog& d, int controlId, int position);
// Create (718): 1 or 0 (message 2320 on failure).
int WebCreate(void* owner, const WebDialog& d);
// Create and open (107): on success asks (text 2319, Yes / No); on Yes opens the page.
// Returns 1 when written.
int WebCreateAndOpen(void* owner, const WebDialog& d);
// Opens a written page with the desktop's default program; a message when none is present.
bool OpenWebPage(void* owner, const std::string& page);
// Cancel (2 or 104).
inline int WebCancel() { return -1; }

}  // namespace orb
