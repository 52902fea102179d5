#include "support/video_support.h"

#include <dirent.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <sstream>

extern "C" {
#include <libavformat/avformat.h>
}

#include "common/fake_camera.h"
#include "common/simulated_cameras.h"
#include "config/library_state.h"
#include "config/settings.h"
#include "platform/clock.h"
#include "platform/dib.h"
#include "platform/msgbox.h"
#include "platform/paths.h"
#include "platform/texts.h"
#include "record/video_file.h"

namespace videotest {

orb::VideoPacket Clip::Packet(size_t i) const {
    const ClipPacket& p = packets[i];
    orb::VideoPacket v;
    v.data = p.data.data();
    v.size = p.data.size();
    v.pts = p.pts;
    v.dts = p.dts;
    v.key = p.key;
    return v;
}

std::string Output(const std::string& command) {
    std::string out;
    if (FILE* p = popen(command.c_str(), "r")) {
        char buf[4096];
        size_t n;
        while ((n = fread(buf, 1, sizeof buf, p)) > 0) out.append(buf, n);
        pclose(p);
    }
    return out;
}

bool MakeClip(const std::string& folder, const ClipRecipe& recipe, Clip& clip) {
    const orbtools::SimulatedCamera cam =
        orbtools::MakeSimulatedCamera(orbtools::SimulatedLens::Fisheye, recipe.width, recipe.height, recipe.frames, recipe.step);
    orb::MakeDirs(folder);
    for (size_t i = 0; i < cam.frames.size(); ++i) {
        char name[32];
        std::snprintf(name, sizeof name, "/f%03zu.jpg", i);
        // Numbered pictures: every frame differs plainly from its neighbours, so a step can
        // be told from the frame beside it whatever the scene shows.
        orbtest::WriteFile(folder + name, orbtools::NumberedJpeg(recipe.width, recipe.height, static_cast<int>(i)));
    }
    const std::string enc = recipe.encoder;
    const std::string out = folder + "/clip-" + enc + ".ts";
    std::string codec;
    if (enc == "libx264")
        codec = "-c:v libx264 -preset veryfast -pix_fmt yuv420p -sc_threshold 0 -g " + std::to_string(recipe.gop) +
                " -bf " + std::to_string(recipe.bframes);
    else if (enc == "libx265")
        codec = "-c:v libx265 -preset veryfast -pix_fmt yuv420p -x265-params log-level=error:scenecut=0:keyint=" +
                std::to_string(recipe.gop) + ":min-keyint=" + std::to_string(recipe.gop) +
                ":bframes=" + std::to_string(recipe.bframes);
    else
        codec = "-c:v mjpeg -q:v 4";
    const std::string cmd = "ffmpeg -nostdin -v error -y -framerate 15 -i '" + folder + "/f%03d.jpg' " + codec +
                            " -f mpegts '" + out + "'";
    if (orbtest::Run(cmd) != 0) return false;
    if (!DemuxClip(out, clip)) return false;
    clip.record = cam.record;
    return true;
}

bool DemuxClip(const std::string& path, Clip& clip) {
    clip = Clip{};
    clip.path = path;
    AVFormatContext* ctx = nullptr;
    if (avformat_open_input(&ctx, path.c_str(), nullptr, nullptr) < 0) return false;
    if (avformat_find_stream_info(ctx, nullptr) < 0) {
        avformat_close_input(&ctx);
        return false;
    }
    const int v = av_find_best_stream(ctx, AVMEDIA_TYPE_VIDEO, -1, -1, nullptr, 0);
    if (v < 0) {
        avformat_close_input(&ctx);
        return false;
    }
    const AVStream* st = ctx->streams[v];
    clip.info.codecId = st->codecpar->codec_id;
    clip.info.width = st->codecpar->width;
    clip.info.height = st->codecpar->height;
    clip.info.timeBaseNum = st->time_base.num;
    clip.info.timeBaseDen = st->time_base.den;
    if (st->codecpar->extradata_size > 0)
        clip.info.extradata.assign(st->codecpar->extradata, st->codecpar->extradata + st->codecpar->extradata_size);
    clip.info.generation = 1;
    AVPacket* pkt = av_packet_alloc();
    while (av_read_frame(ctx, pkt) >= 0) {
        if (pkt->stream_index == v) {
            ClipPacket p;
            p.data.assign(pkt->data, pkt->data + pkt->size);
            p.pts = pkt->pts == AV_NOPTS_VALUE ? orb::kNoVideoTime : pkt->pts;
            p.dts = pkt->dts == AV_NOPTS_VALUE ? orb::kNoVideoTime : pkt->dts;
            p.key = (pkt->flags & AV_PKT_FLAG_KEY) != 0;
            clip.packets.push_back(std::move(p));
        }
        av_packet_unref(pkt);
    }
    av_packet_free(&pkt);
    avformat_close_input(&ctx);
    return !clip.packets.empty();
}

std::vector<std::vector<uint8_t>> FfmpegFrames(const std::string& path, int width, int height) {
    const std::string raw = Output("ffmpeg -nostdin -v error -i '" + path +
                                   "' -fps_mode passthrough -f rawvideo -pix_fmt bgr24 - 2>/dev/null");
    const size_t size = static_cast<size_t>(width) * height * 3;
    std::vector<std::vector<uint8_t>> frames;
    for (size_t at = 0; at + size <= raw.size(); at += size)
        frames.emplace_back(raw.begin() + static_cast<long>(at), raw.begin() + static_cast<long>(at + size));
    return frames;
}

std::vector<std::string> FrameChecksums(const std::string& path) {
    std::istringstream in(Output("ffmpeg -nostdin -v error -i '" + path + "' -map 0:v -fps_mode passthrough -f framemd5 - 2>/dev/null"));
    std::vector<std::string> sums;
    std::string line;
    while (std::getline(in, line)) {
        if (line.empty() || line[0] == '#') continue;
        sums.push_back(line.substr(line.find_last_of(',') + 1));
    }
    return sums;
}

std::vector<double> ProbePacketTimes(const std::string& path) {
    std::istringstream in(Output("ffprobe -v error -select_streams v:0 -show_entries packet=pts_time -of csv=p=0 '" +
                                 path + "' 2>/dev/null"));
    std::vector<double> times;
    std::string line;
    while (std::getline(in, line))
        if (!line.empty() && line != "N/A") times.push_back(std::atof(line.c_str()));
    return times;
}

std::string ProbeCodec(const std::string& path) {
    std::string s = Output("ffprobe -v error -select_streams v:0 -show_entries stream=codec_name -of csv=p=0 '" +
                           path + "' 2>/dev/null");
    while (!s.empty() && (s.back() == '\n' || s.back() == ',')) s.pop_back();
    return s;
}

double MeanDifference(HDIB picture, const std::vector<uint8_t>& bgr) {
    orb::DibLock lock(picture);
    if (!lock || lock.bitCount() != 24) return 1e9;
    const int w = lock.width(), h = lock.height();
    if (bgr.size() != static_cast<size_t>(w) * h * 3) return 1e9;
    double sum = 0;
    for (int y = 0; y < h; ++y) {
        const uint8_t* row = lock.rowFromTop(y);
        const uint8_t* ref = bgr.data() + static_cast<size_t>(y) * w * 3;
        for (int x = 0; x < w * 3; ++x) sum += std::abs(int(row[x]) - int(ref[x]));
    }
    return sum / (static_cast<double>(w) * h * 3);
}

int NearestFrame(HDIB picture, const std::vector<std::vector<uint8_t>>& frames, double* difference) {
    int best = -1;
    double least = 1e18;
    for (size_t i = 0; i < frames.size(); ++i) {
        const double d = MeanDifference(picture, frames[i]);
        if (d < least) least = d, best = static_cast<int>(i);
    }
    if (difference) *difference = least;
    return best;
}

VideoWorld::VideoWorld() {
    orb::SetDriveProbe({[] { return std::vector<orb::MountEntry>{}; },
                        [this](const std::string& root, double& f, double& t) {
                            auto it = sizes.find(root);
                            if (it == sizes.end()) return false;
                            f = it->second.first, t = it->second.second;
                            return true;
                        }});
    orb::SetLocalClock([this] { return now; });
    orb::SetStatusSink([this](orb::RecordView*, int, const std::string& t) { status.push_back(t); });
    orbtest::WriteFile(home.path(orb::kLanguageFile), orbtest::ReadFile(orbtest::SourcePath("res/Halo360Web_003906.r")));
    orb::LoadLanguageResource();
    orb::g_lib.callerId = 0;
    orb::g_lib.recording = 1;
    orb::g_recorderSwitches.skipSystemDisk = 0;
    orb::ClearRecordingSlots();
    orb::TakeMessages();
}

VideoWorld::~VideoWorld() {
    orb::SetDriveProbe({});
    orb::SetLocalClock({});
    orb::SetStatusSink({});
    orb::g_lib.callerId = 4;
    orb::g_drives = orb::DriveTable{};
    orb::ClearRecordingSlots();
}

std::string VideoWorld::AddRoot(const std::string& name, double freeBytes) {
    const std::string root = home.path(name);
    orb::MakeDirs(root);
    sizes[root] = {freeBytes, 1e12};
    return root;
}

void VideoWorld::UseRoots(const std::vector<std::string>& roots) {
    std::string v;
    for (const auto& r : roots) v += r + ";";
    orb::WriteSetting("DVR", "StorageRoots", v);
    orb::BuildDriveTable();
}

std::vector<std::string> VideoWorld::Files(const std::string& root) const {
    std::vector<std::string> names;
    if (DIR* d = opendir((root + "/RECVAULT").c_str())) {
        while (dirent* e = readdir(d))
            if (e->d_name[0] != '.') names.emplace_back(e->d_name);
        closedir(d);
    }
    std::sort(names.begin(), names.end());
    return names;
}

void VideoWorld::Advance(int ms) {
    now = orb::LocalTimeAt(orb::LocalMilliseconds(now) + ms);
}

VideoCamera::VideoCamera(const char* location, int slot, const Clip* lens) {
    if (lens) view.record = lens->record;
    std::memset(view.record.location, 0, sizeof view.record.location);
    std::strcpy(view.record.location, location);
    std::strcpy(view.record.account, "YWRtaW4=");
    std::strcpy(view.record.password, "c2VjcmV0");
    if (!lens) {
        view.record.sourceWidth = 320;
        view.record.sourceHeight = 240;
        view.record.lensType = 2;
    }
    orb::StartRecordingContext(&view);
    orb::AssignRecordingSlot(&view, slot, 4);
}

VideoCamera::~VideoCamera() {
    orb::StopRecordingContext(&view);
    orb::ReleaseRecordingSlot(&view);
}

int VideoCamera::Record(const Clip& clip, size_t i, int motion) {
    return orb::RecordVideoPacket(&view, clip.info, clip.Packet(i), motion);
}

}  // namespace videotest
