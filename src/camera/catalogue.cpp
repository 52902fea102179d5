#include "camera/catalogue.h"

#include <cctype>
#include <cstdio>
#include <cstring>
#include <initializer_list>

#include "platform/base64.h"
#include "config/camera_record.h"

namespace orb {
namespace {

#define ORB_CAM_HEAD(path) "GET " path " HTTP/1.1\r\nUser-Agent: CamClient\r\nConnection: Keep-Alive\r\nCache-Control: no-cache\r\nAuthorization: Basic "
#define ORB_JAVA(path) "GET " path " HTTP/1.1\r\nUser-Agent: Java1.3.1_05\r\nConnection: Keep-Alive\r\nCache-Control: no-cache\r\nAuthorization: Basic "
#define ORB_IMAGE(query) "GET /image?" query " HTTP/1.1\r\nHost: LocalHost\r\nSerial=%d\r\nAuthorization: Basic "
#define ORB_CLIENT(path) "GET " path " HTTP/1.1\r\nUser-Agent: OrbiscopeClient\r\nConnection: Keep-Alive\r\nCache-Control: no-cache\r\nAuthorization: Basic "
#define ORB_CLIENT_HOST(path) "GET " path " HTTP/1.1\r\nUser-Agent: OrbiscopeClient\r\nHost: LocalHost\r\nConnection: Keep-Alive\r\nCache-Control: no-cache\r\nAuthorization: Basic "

struct TemplateEntry {
    std::initializer_list<int32_t> models;
    const char* text;
};

const TemplateEntry kTemplates[] = {
    {{1}, ORB_CAM_HEAD("/axis-cgi/mjpg/video.cgi?resolution=704x480")},
    {{2}, ORB_CAM_HEAD("/axis-cgi/mjpg/video.cgi?resolution=640x480")},
    {{3}, ORB_CAM_HEAD("/axis-cgi/mjpg/video.cgi?resolution=1280x720")},
    {{4}, ORB_CAM_HEAD("/axis-cgi/mjpg/video.cgi?resolution=1920x1080")},
    {{6}, ORB_CAM_HEAD("/axis-cgi/mjpg/video.cgi?resolution=1280x800")},
    {{7}, ORB_CAM_HEAD("/axis-cgi/mjpg/video.cgi?resolution=800x600")},
    {{10}, ORB_CAM_HEAD("/mjpg/video.mjpg?resolution=640x480")},
    {{11}, ORB_CAM_HEAD("/axis-cgi/mjpg/video.cgi?resolution=704x576")},
    {{12}, ORB_CAM_HEAD("/mjpg/video.mjpg?resolution=1280x1024")},
    {{13}, ORB_CAM_HEAD("/mjpg/video.mjpg?resolution=1600x1200")},
    {{16, 17, 19, 20, 61, 90, 91, 92},
     "GET /cgi-usr/image?ignore=0.%d HTTP/1.1\r\nHost: %s\r\nConnection: Keep-Alive\r\nAuthorization: Basic "},
    {{21},
     "GET /record/current.jpg?rand=%06d HTTP/1.1\r\nUser-Agent: Mozilla/4.0\r\nHost: %s\r\nConnection: "
     "Keep-Alive\r\nCache-Control: no-cache\r\nAuthorization: Basic "},
    {{22, 26, 67, 68},
     "GET /cgi-bin/stream.jpg HTTP/1.1\r\nUser-Agent: Mozilla/4.0\r\nHost: %s\r\nConnection: "
     "Keep-Alive\r\nCache-Control: no-cache\r\nAuthorization: Basic "},
    {{27, 28, 29, 30}, ORB_CAM_HEAD("/video.mjpg?cam=1&camera=1&size=4&quality=4")},
    {{35, 55, 69, 70, 71, 130, 131, 132, 133},
     "GET /GetStream.cgi?Video=0 HTTP/1.1\r\nUser-Agent: CamClient\r\nConnection: Keep-Alive\r\nCache-Control: "
     "no-cache\r\nAuthorization:Basic "},
    {{36}, ORB_JAVA("/now.jpg?snap=spush?ww=1280?wh=1024?wx=0?wy=0")},
    {{37}, ORB_JAVA("/now.jpg?snap=spush?ww=1600?wh=1200?wx=0?wy=0")},
    {{38}, ORB_JAVA("/now.jpg?snap=spush?ww=2048?wh=1536?wx=0?wy=0")},
    {{39}, ORB_JAVA("/now.jpg?snap=spush?ww=2560?wh=1920?wx=0?wy=0")},
    {{41}, ORB_JAVA("/now.jpg?snap=spush?ww=720?wh=480?wx=0?wy=0")},
    {{49}, ORB_IMAGE("res=full&x0=0&y0=0&x1=2560&y1=1920&quality=15&doublescan=0")},
    {{50}, ORB_IMAGE("res=full&x0=0&y0=0&x1=2048&y1=1536&quality=15&doublescan=0")},
    {{51}, ORB_IMAGE("res=full&x0=0&y0=0&x1=1600&y1=1200&quality=15&doublescan=0")},
    {{52}, ORB_IMAGE("res=full&x0=0&y0=0&x1=1280&y1=1024&quality=15&doublescan=0")},
    {{53}, ORB_IMAGE("res=full&x0=0&y0=0&x1=100%%&y1=100%%&quality=15&doublescan=0")},
    {{54}, ORB_IMAGE("res=full&x0=0&y0=0&x1=3648&y1=2752&quality=15&doublescan=0")},
    {{62}, "GET /video.cgi?resolution=sxga HTTP/1.1\r\nAuthorization: Basic "},
    {{63}, "GET /video.cgi?resolution=ntsc HTTP/1.1\r\nAuthorization: Basic "},
    {{64}, "GET /video.cgi?resolution=pal HTTP/1.1\r\nAuthorization: Basic "},
    {{65}, "GET /video.cgi?resolution=vga HTTP/1.1\r\nAuthorization: Basic "},
    {{66}, "GET /video.cgi HTTP/1.1\r\nAuthorization: Basic "},
    {{72, 73, 74, 75, 76, 77, 78, 79},
     "GET /jpeg.cgi HTTP/1.0\r\nUser-Agent: Orbiscope\r\nConnection: Keep-Alive\r\nCache-Control: "
     "no-cache\r\nAuthorization: Basic "},
    {{85}, ORB_IMAGE("res=half&x0=0&y0=0&x1=2048&y1=1536&quality=15&doublescan=0")},
    {{86}, ORB_IMAGE("res=half&x0=0&y0=0&x1=2048&y1=1536&quality=7&doublescan=0")},
    {{87}, ORB_IMAGE("res=half&x0=0&y0=0&x1=2048&y1=1536&quality=3&doublescan=0")},
    {{150, 151, 152, 153, 154, 155}, "GET /ipcam/mjpeg.cgi HTTP/1.1\r\nAuthorization: Basic "},
    {{198},
     "GET /-wvhttp-01-/video.cgi?v=jpg:320x240:4:30000 HTTP/1.1\r\nUser-Agent: Orbiscope\r\nHost: "
     "LocalHost\r\nConnection: Keep-Alive\r\nAuthorization: Basic "},
    {{199},
     "GET /-wvhttp-01-/video.cgi?v=jpg:640x480:4:30000 HTTP/1.1\r\nUser-Agent: Orbiscope\r\nHost: "
     "LocalHost\r\nConnection: Keep-Alive\r\nAuthorization: Basic "},
    {{220, 221, 222, 223}, ORB_CLIENT("/cgi-bin/mjpg?stream=0")},
    {{250, 253}, ORB_CLIENT("/")},
    {{280}, ORB_CLIENT_HOST("/record/current.jpg?rand=727644")},
    {{320, 370, 371}, ORB_CLIENT_HOST("/ipcam/mjpeg.cgi?language=1")},
    {{340}, ORB_CLIENT_HOST("/onvif/snapshot")},
};

bool In(int32_t model, std::initializer_list<int32_t> list) {
    for (int32_t m : list)
        if (m == model) return true;
    return false;
}

}  // namespace

CaptureRoutine CaptureLoopFor(int32_t model) {
    if (IsVideoModel(model)) return kVideoLoop;
    if (model == kGenericSnapshot) return kLengthPollLoop;  // its answer reader takes any framing
    if (In(model, {16, 17, 18, 19, 20, 21, 61, 90, 91, 92, 280})) return kLengthPollLoop;
    if (In(model, {49, 50, 51, 52, 53, 54, 72, 73, 74, 75, 76, 77, 78, 79, 85, 86, 87, 340})) return kClosePollLoop;
    return kStreamLoop;
}

const char* RequestTemplate(int32_t model) {
    for (const TemplateEntry& e : kTemplates)
        if (In(model, e.models)) return e.text;
    return nullptr;
}

bool IsGenericModel(int32_t model) { return model >= kGenericStream && model <= kGenericStream10; }

std::string GenericPath(const CameraRecord& record) {
    const char* p = reinterpret_cast<const char*>(record.preserved1204);
    std::string path(p, strnlen(p, sizeof record.preserved1204));
    return path.empty() || path[0] != '/' ? "/" + path : path;
}

bool SetGenericPath(CameraRecord& record, const std::string& path) {
    if (path.size() > kGenericPathMax || path.find_first_of("\r\n ") != std::string::npos) return false;
    std::memset(record.preserved1204, 0, sizeof record.preserved1204);
    std::memcpy(record.preserved1204, path.data(), path.size());
    return true;
}

bool IsVideoModel(int32_t model) { return model == kRtspCamera; }

int32_t RtspPort(const CameraRecord& record) {
    return record.secondPort > 0 && record.secondPort < 65536 ? record.secondPort : 554;
}

namespace {

// Percent-encoding of what may not stand as it is in a URL's user information.
std::string UrlEscape(const std::string& text) {
    static const char kHex[] = "0123456789ABCDEF";
    std::string out;
    for (unsigned char c : text) {
        if (std::isalnum(c) || c == '-' || c == '.' || c == '_' || c == '~') {
            out += static_cast<char>(c);
        } else {
            out += '%';
            out += kHex[c >> 4];
            out += kHex[c & 15];
        }
    }
    return out;
}

std::string RtspUrlWith(const CameraRecord& record, const std::string& host, bool password) {
    char address[sizeof record.address + 1];
    TextOf(record.address, address);
    std::string url = "rtsp://";
    const std::string account = DecodedAccount(record);
    if (!account.empty()) {
        url += UrlEscape(account);
        const std::string secret = DecodedPassword(record);
        if (password && !secret.empty()) {
            url += ':';
            url += UrlEscape(secret);
        }
        url += "@";
    }
    url += host.empty() ? std::string(address) : host;
    url += ':';
    url += std::to_string(RtspPort(record));
    url += GenericPath(record);
    return url;
}

}  // namespace

std::string RtspUrl(const CameraRecord& record, const std::string& host) { return RtspUrlWith(record, host, true); }
std::string RtspUrlShown(const CameraRecord& record) { return RtspUrlWith(record, "", false); }

namespace {

// A generic camera's request: its URL's path, its host as the URL named it, and the usual
// lines. The polled one is formatted per picture, so its own percent signs are doubled.
std::string GenericTemplate(const CameraRecord& record) {
    const int32_t model = record.modelIndex;
    char address[sizeof record.address + 1];
    TextOf(record.address, address);
    std::string host = address;
    if (record.httpPort != 80) host += ":" + std::to_string(record.httpPort);
    std::string path = GenericPath(record);
    if (model == kGenericSnapshot) {
        std::string escaped;
        for (char c : path + "\x01" + host) escaped += c == '%' ? std::string("%%") : std::string(1, c);
        const size_t cut = escaped.find('\x01');
        path = escaped.substr(0, cut);
        host = escaped.substr(cut + 1);
    }
    const char* version = model == kGenericStream10 ? "HTTP/1.0" : "HTTP/1.1";
    const char* accept = model == kGenericSnapshot ? "image/jpeg" : "multipart/x-mixed-replace, image/jpeg";
    return "GET " + path + " " + version + "\r\nHost: " + host + "\r\nUser-Agent: OrbiscopeClient\r\nAccept: " + accept +
           "\r\nConnection: Keep-Alive\r\nCache-Control: no-cache\r\nAuthorization: Basic ";
}

}  // namespace

bool GetRequestTemplate(const CameraRecord& record, std::string& out) {
    if (IsGenericModel(record.modelIndex)) {
        out = GenericTemplate(record);
        return true;
    }
    const char* t = RequestTemplate(record.modelIndex);
    if (!t) return false;
    out = t;
    return true;
}

bool UsesBinaryLogin(int32_t model) { return model == 110 || model == 111; }

int32_t StreamPort(const CameraRecord& record) {
    return UsesBinaryLogin(record.modelIndex) ? 6002 : record.httpPort;
}

std::string DecodedAccount(const CameraRecord& record) {
    char text[sizeof record.account + 1];
    return Base64Decode(TextOf(record.account, text));
}

std::string DecodedPassword(const CameraRecord& record) {
    char text[sizeof record.password + 1];
    return Base64Decode(TextOf(record.password, text));
}

std::string FormatPollRequest(const std::string& completed, int32_t number, const char* address) {
    std::string out;
    out.reserve(completed.size() + 64);
    for (size_t i = 0; i < completed.size(); ++i) {
        char c = completed[i];
        if (c != '%' || i + 1 >= completed.size()) {
            out += c;
            continue;
        }
        size_t j = i + 1;
        if (completed[j] == '%') {
            out += '%';
            i = j;
            continue;
        }
        // Optional zero flag and width, then the conversion.
        size_t k = j;
        while (k < completed.size() && k - j < 3 && completed[k] >= '0' && completed[k] <= '9') ++k;
        if (k < completed.size() && completed[k] == 'd') {
            const std::string conversion = "%" + completed.substr(j, k - j) + "d";
            char buf[32];
            std::snprintf(buf, sizeof buf, conversion.c_str(), number);
            out += buf;
            i = k;
        } else if (k == j && completed[k] == 's') {
            out += address ? address : "";
            i = k;
        } else {
            out += c;
        }
    }
    return out;
}

std::string CompleteRequest(const CameraRecord& record, const std::string& requestTemplate) {
    const int32_t model = record.modelIndex;
    const bool stream = CaptureLoopFor(model) == kStreamLoop;
    std::string request = requestTemplate;
    if (stream && In(model, {22, 26, 67, 68})) {
        char address[sizeof record.address + 1];
        TextOf(record.address, address);
        // Only "Host: %s" is a placeholder in these templates.
        size_t at = request.find("%s");
        if (at != std::string::npos) request.replace(at, 2, address);
    }
    char storedAccount[sizeof record.account + 1], storedPassword[sizeof record.password + 1];
    TextOf(record.account, storedAccount);
    TextOf(record.password, storedPassword);
    const bool hasAccount = stream ? storedAccount[0] != 0 : storedAccount[0] != 0 && storedPassword[0] != 0;
    if (hasAccount) {
        request += Base64Encode(DecodedAccount(record) + ":" + DecodedPassword(record));
        request += "\r\n\r\n";
    } else {
        size_t at = request.find("Authorization");
        if (at != std::string::npos) request.replace(at, std::string::npos, "\r\n");
    }
    return request;
}

std::array<uint8_t, 128> BuildLoginRecord(const CameraRecord& record) {
    std::array<uint8_t, 128> login{};
    std::string account = DecodedAccount(record), password = DecodedPassword(record);
    std::memcpy(login.data(), account.data(), std::min<size_t>(account.size(), 63));
    std::memcpy(login.data() + 64, password.data(), std::min<size_t>(password.size(), 63));
    return login;
}

}  // namespace orb
