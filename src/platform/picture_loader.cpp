#include "platform/picture_loader.h"

#include <cstring>

#include "platform/dib.h"

#ifdef ORBISCOPE_HAVE_GTK
#include <gdk-pixbuf/gdk-pixbuf.h>
#endif
#ifdef ORBISCOPE_HAVE_FREEIMAGE
#include <FreeImage.h>
#endif

namespace orb {

namespace {

#ifdef ORBISCOPE_HAVE_GTK
HDIB FromPixbuf(GdkPixbuf* pb) {
    const int w = gdk_pixbuf_get_width(pb), h = gdk_pixbuf_get_height(pb);
    const int channels = gdk_pixbuf_get_n_channels(pb), stride = gdk_pixbuf_get_rowstride(pb);
    const bool alpha = gdk_pixbuf_get_has_alpha(pb);
    if (gdk_pixbuf_get_bits_per_sample(pb) != 8 || channels < 3) return nullptr;
    HDIB dib = CreateDIB(w, h, 24);
    if (!dib) return nullptr;
    DibLock l(dib);
    const guchar* pixels = gdk_pixbuf_read_pixels(pb);
    for (int y = 0; y < h; ++y) {
        const guchar* s = pixels + static_cast<size_t>(y) * stride;
        uint8_t* d = l.rowFromTop(y);
        for (int x = 0; x < w; ++x, s += channels, d += 3) {
            // Transparent parts show as black, as they would over an empty view.
            const unsigned a = alpha ? s[3] : 255;
            d[0] = static_cast<uint8_t>(s[2] * a / 255);
            d[1] = static_cast<uint8_t>(s[1] * a / 255);
            d[2] = static_cast<uint8_t>(s[0] * a / 255);
        }
    }
    return dib;
}

HDIB LoadWithPixbuf(const std::string& path, int maxSide) {
    int w = 0, h = 0;
    if (!gdk_pixbuf_get_file_info(path.c_str(), &w, &h)) return nullptr;
    if (w < 1 || h < 1 || w > maxSide || h > maxSide) return nullptr;
    GError* error = nullptr;
    GdkPixbuf* pb = gdk_pixbuf_new_from_file(path.c_str(), &error);
    if (error) g_error_free(error);
    if (!pb) return nullptr;
    HDIB dib = FromPixbuf(pb);
    g_object_unref(pb);
    return dib;
}
#endif

#ifdef ORBISCOPE_HAVE_FREEIMAGE
void Quiet(FREE_IMAGE_FORMAT, const char*) {}

HDIB LoadWithFreeImage(const std::string& path, int maxSide) {
    static const bool ready = [] {
        FreeImage_SetOutputMessage(Quiet);  // the library prints nothing of its own
        return true;
    }();
    (void)ready;
    FREE_IMAGE_FORMAT fif = FreeImage_GetFileType(path.c_str(), 0);
    if (fif == FIF_UNKNOWN) fif = FreeImage_GetFIFFromFilename(path.c_str());
    if (fif == FIF_UNKNOWN || !FreeImage_FIFSupportsReading(fif)) return nullptr;
    FIBITMAP* header = FreeImage_Load(fif, path.c_str(), FIF_LOAD_NOPIXELS);
    if (!header) return nullptr;
    const int w = static_cast<int>(FreeImage_GetWidth(header)), h = static_cast<int>(FreeImage_GetHeight(header));
    FreeImage_Unload(header);
    if (w < 1 || h < 1 || w > maxSide || h > maxSide) return nullptr;
    FIBITMAP* any = FreeImage_Load(fif, path.c_str(), 0);
    if (!any) return nullptr;
    FIBITMAP* rgb = FreeImage_ConvertTo24Bits(any);
    FreeImage_Unload(any);
    if (!rgb) return nullptr;
    HDIB dib = CreateDIB(w, h, 24);
    if (dib) {
        DibLock l(dib);
        // Both keep rows bottom-up as B, G, R.
        for (int y = 0; y < h; ++y)
            std::memcpy(l.rowFromTop(h - 1 - y), FreeImage_GetScanLine(rgb, y), static_cast<size_t>(w) * 3);
    }
    FreeImage_Unload(rgb);
    return dib;
}
#endif

}  // namespace

HDIB LoadPictureFile(const std::string& path, int maxSide) {
    HDIB dib = nullptr;
#ifdef ORBISCOPE_HAVE_GTK
    dib = LoadWithPixbuf(path, maxSide);
#endif
#ifdef ORBISCOPE_HAVE_FREEIMAGE
    if (!dib) dib = LoadWithFreeImage(path, maxSide);
#endif
    (void)path;
    (void)maxSide;
    return dib;
}

std::string PictureLoaders() {
    std::string names;
#ifdef ORBISCOPE_HAVE_GTK
    names += "GdkPixbuf";
#endif
#ifdef ORBISCOPE_HAVE_FREEIMAGE
    names += names.empty() ? "FreeImage" : " FreeImage";
#endif
    return names;
}

}  // namespace orb
