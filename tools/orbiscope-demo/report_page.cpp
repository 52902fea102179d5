#include "report_page.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <fstream>
#include <sstream>

namespace demo {
namespace {

constexpr const char* kStageNames[kStages] = {"receive", "decode", "motion", "dewarp", "paint", "record"};
constexpr const char* kStageColours[kStages] = {"#7f7f7f", "#1f77b4", "#d62728", "#2ca02c", "#9467bd", "#ff7f0e"};

std::string Escape(const std::string& text) {
    std::string out;
    for (char c : text) {
        switch (c) {
        case '&': out += "&amp;"; break;
        case '<': out += "&lt;"; break;
        case '>': out += "&gt;"; break;
        case '"': out += "&quot;"; break;
        default: out += c;
        }
    }
    return out;
}

std::string Format(const char* format, double value) {
    char text[64];
    std::snprintf(text, sizeof text, format, value);
    return text;
}

// A round number at or above v for an axis's top: 1, 2 or 5 times a power of ten.
double AxisTop(double v) {
    if (v <= 0) return 1;
    const double p = std::pow(10.0, std::floor(std::log10(v)));
    for (double m : {1.0, 2.0, 5.0, 10.0})
        if (m * p >= v) return m * p;
    return 10 * p;
}

struct Series {
    std::string name, colour;
    std::vector<double> values;  // one a second
};

// A line plot: seconds across, the values up, a legend under it.
std::string Plot(const std::string& title, const std::string& unit, const std::vector<double>& seconds,
                 const std::vector<Series>& series) {
    constexpr int W = 640, H = 230, left = 56, right = 16, top = 28, bottom = 34;
    double most = 0, last = seconds.empty() ? 1 : std::max(1.0, seconds.back());
    for (const Series& s : series)
        for (double v : s.values) most = std::max(most, v);
    const double yTop = AxisTop(most);
    auto X = [&](double t) { return left + (W - left - right) * t / last; };
    auto Y = [&](double v) { return top + (H - top - bottom) * (1 - v / yTop); };
    std::ostringstream o;
    o << "<svg class=\"plot\" role=\"img\" aria-label=\"" << Escape(title) << "\" viewBox=\"0 0 " << W << " "
      << H + 22 * ((series.size() + 3) / 4) << "\" width=\"" << W << "\" xmlns=\"http://www.w3.org/2000/svg\">\n";
    o << "<text x=\"" << left << "\" y=\"16\" class=\"t\">" << Escape(title) << " (" << Escape(unit) << ")</text>\n";
    for (int k = 0; k <= 4; ++k) {
        const double v = yTop * k / 4, y = Y(v);
        o << "<line x1=\"" << left << "\" x2=\"" << W - right << "\" y1=\"" << y << "\" y2=\"" << y << "\" class=\"g\"/>"
          << "<text x=\"" << left - 6 << "\" y=\"" << y + 4 << "\" class=\"a\" text-anchor=\"end\">"
          << Format(yTop >= 10 ? "%.0f" : "%.2g", v) << "</text>\n";
    }
    // A label every 1, 2 or 5 times a power of ten seconds: about ten across however long the run.
    const double step = std::max(1.0, AxisTop(last / 10));
    for (double t = 0; t <= last + 1e-9; t += step)
        o << "<text x=\"" << X(t) << "\" y=\"" << H - bottom + 16 << "\" class=\"a\" text-anchor=\"middle\">"
          << Format("%.0f", t) << "</text>\n";
    o << "<text x=\"" << W - right << "\" y=\"" << H - 4 << "\" class=\"a\" text-anchor=\"end\">seconds</text>\n";
    for (size_t s = 0; s < series.size(); ++s) {
        o << "<polyline fill=\"none\" stroke-width=\"2\" stroke=\"" << series[s].colour << "\" points=\"";
        for (size_t i = 0; i < series[s].values.size() && i < seconds.size(); ++i)
            o << Format("%.1f", X(seconds[i])) << "," << Format("%.1f", Y(series[s].values[i])) << " ";
        o << "\"/>\n";
        const double lx = left + 150.0 * (s % 4), ly = H + 8 + 22.0 * (s / 4);
        o << "<rect x=\"" << lx << "\" y=\"" << ly << "\" width=\"14\" height=\"4\" fill=\"" << series[s].colour
          << "\"/><text x=\"" << lx + 20 << "\" y=\"" << ly + 6 << "\" class=\"a\">" << Escape(series[s].name) << "</text>\n";
    }
    o << "</svg>\n";
    return o.str();
}

const char* kStyle = R"(
body { font-family: "DejaVu Sans", sans-serif; margin: 24px 32px; background: #f5f5f2; color: #222; max-width: 1400px; }
h1 { font-size: 26px; margin-bottom: 4px; } h2 { font-size: 19px; margin-top: 32px; border-bottom: 1px solid #ccc; }
p.lead { color: #555; margin-top: 0; }
.views { display: grid; grid-template-columns: repeat(2, minmax(0, 1fr)); gap: 14px; }
figure { margin: 0; background: #fff; border: 1px solid #ddd; padding: 8px; }
figure img { width: 100%; height: auto; display: block; }
figcaption { font-size: 13px; color: #444; margin-top: 6px; }
table { border-collapse: collapse; background: #fff; }
th, td { padding: 5px 12px; border-bottom: 1px solid #e2e2e2; text-align: right; font-size: 14px; }
th:first-child, td:first-child { text-align: left; }
.plots { display: flex; flex-wrap: wrap; gap: 16px; } svg.plot { background: #fff; border: 1px solid #ddd; }
svg .t { font-size: 14px; font-weight: bold; } svg .a { font-size: 11px; fill: #444; } svg .g { stroke: #e4e4e4; }
.strip { display: flex; gap: 10px; overflow-x: auto; padding-bottom: 8px; }
.strip figure { flex: 0 0 220px; }
pre { background: #fff; border: 1px solid #ddd; padding: 10px; font-size: 12px; overflow-x: auto; }
)";

}  // namespace

bool WritePage(const std::string& path, const Page& page) {
    std::ostringstream o;
    o << "<!DOCTYPE html>\n<html lang=\"en\">\n<head>\n<meta charset=\"utf-8\">\n<title>" << Escape(page.title)
      << "</title>\n<style>" << kStyle << "</style>\n</head>\n<body>\n";
    o << "<h1>" << Escape(page.title) << "</h1>\n<p class=\"lead\">Run started " << Escape(page.started) << "; "
      << page.cameras.size() << " simulated camera(s) on 127.0.0.1";
    if (!page.samples.empty()) o << "; " << Format("%.1f", page.samples.back().seconds) << " seconds";
    o << ".</p>\n";

    o << "<h2>What the views showed</h2>\n<div class=\"views\">\n";
    for (size_t i = 0; i < page.views.size(); ++i)
        o << "<figure><img src=\"" << Escape(page.views[i]) << "\" alt=\"view " << i << "\"><figcaption>View " << i + 1
          << (i < page.cameras.size() ? ": " + Escape(page.cameras[i].name) : "") << "</figcaption></figure>\n";
    o << "</div>\n";
    if (!page.window.empty())
        o << "<h2>The whole window</h2>\n<figure><img src=\"" << Escape(page.window)
          << "\" alt=\"the demo's window\"><figcaption>The main window with every view</figcaption></figure>\n";

    o << "<h2>Cameras</h2>\n<table>\n<tr><th>camera</th><th>address</th><th>sent</th><th>shown</th><th>dropped</th>"
         "<th>recorded</th><th>connections</th><th>motion pictures</th><th>motion events</th><th>status</th></tr>\n";
    for (const PageCamera& c : page.cameras)
        o << "<tr><td>" << Escape(c.name) << "</td><td>" << Escape(c.url) << "</td><td>" << c.sent << "</td><td>" << c.shown
          << "</td><td>" << c.dropped << "</td><td>" << c.recorded << "</td><td>" << c.connections << "</td><td>"
          << (c.motion ? std::to_string(c.motionPictures) : "off") << "</td><td>" << (c.motion ? std::to_string(c.events) : "off")
          << "</td><td>" << Escape(c.status) << "</td></tr>\n";
    o << "</table>\n";

    // Per second: the differences between the samples.
    std::vector<double> seconds;
    Series rate{"all views", "#1f77b4", {}};
    std::vector<Series> stages;
    for (int k = 0; k < kStages; ++k) stages.push_back({kStageNames[k], kStageColours[k], {}});
    for (size_t i = 1; i < page.samples.size(); ++i) {
        const RunSample &a = page.samples[i - 1], &b = page.samples[i];
        const double dt = b.seconds - a.seconds;
        if (dt <= 0) continue;
        seconds.push_back(b.seconds);
        rate.values.push_back((b.shown - a.shown) / dt);
        for (int k = 0; k < kStages; ++k) stages[k].values.push_back((b.stageCpuNs[k] - a.stageCpuNs[k]) / 1e6 / dt);
    }
    o << "<h2>Over the run</h2>\n<div class=\"plots\">\n"
      << Plot("Pictures shown per second", "all views", seconds, {rate})
      << Plot("Library CPU time per stage", "ms per second, all views", seconds, stages) << "</div>\n";

    o << "<h2>Motion events</h2>\n";
    if (page.events.empty()) {
        o << "<p>No motion events.</p>\n";
    } else {
        o << "<p>" << page.events.size()
          << " event(s) (a pause of 1.5 seconds ends one): each picture is the view half a second into the event; it "
             "links to the camera picture in which the detector saw the motion begin.</p>\n<div class=\"strip\">\n";
        for (const MotionEvent& e : page.events) {
            const std::string name =
                e.camera < static_cast<int>(page.cameras.size()) ? page.cameras[static_cast<size_t>(e.camera)].name : "";
            o << "<figure>";
            if (!e.view.empty()) {
                if (!e.picture.empty()) o << "<a href=\"" << Escape(e.picture) << "\">";
                o << "<img src=\"" << Escape(e.view) << "\" alt=\"motion in " << Escape(name) << "\">";
                if (!e.picture.empty()) o << "</a>";
            }
            o << "<figcaption>" << Escape(name) << " at " << Format("%.1f", e.start) << " s, "
              << Format("%.1f", e.end - e.start) << " s long, " << e.pictures << " pictures</figcaption></figure>\n";
        }
        o << "</div>\n";
    }

    o << "<h2>Summary</h2>\n<pre>";
    for (const std::string& line : page.summary) o << Escape(line) << "\n";
    o << "</pre>\n";
    // Every picture's own size once loaded, for a reader (or a test) to check them all.
    o << "<script>\nwindow.addEventListener('load', function () {\n"
         "  var sizes = Array.prototype.map.call(document.images, function (i) {\n"
         "    return i.getAttribute('src') + ' ' + i.naturalWidth + 'x' + i.naturalHeight; });\n"
         "  document.body.setAttribute('data-pictures', sizes.join(';'));\n});\n</script>\n";
    o << "</body>\n</html>\n";
    std::ofstream f(path);
    f << o.str();
    return static_cast<bool>(f);
}

}  // namespace demo
