#include "gfx/Bitmap.h"

#include <gdk-pixbuf/gdk-pixbuf.h>

#include <filesystem>
#include <fstream>
#include <iterator>

namespace gfx {

namespace {

struct LoaderState {
    bool tooLarge = false;
};

void OnSizePrepared(GdkPixbufLoader* loader, int width, int height, gpointer data) {
    if (static_cast<std::int64_t>(width) * height > Bitmap::kMaxPixels || width > 32767 ||
        height > 32767) {
        static_cast<LoaderState*>(data)->tooLarge = true;
        // Decoding goes on, but into one pixel instead of the announced size.
        gdk_pixbuf_loader_set_size(loader, 1, 1);
    }
}

// gdk-pixbuf gives straight RGB(A) bytes; cairo wants premultiplied native-endian ARGB32.
cairo_surface_t* SurfaceFromPixbuf(const GdkPixbuf* pixbuf) {
    const int w = gdk_pixbuf_get_width(pixbuf);
    const int h = gdk_pixbuf_get_height(pixbuf);
    const int channels = gdk_pixbuf_get_n_channels(pixbuf);
    const bool alpha = gdk_pixbuf_get_has_alpha(pixbuf);
    const int srcStride = gdk_pixbuf_get_rowstride(pixbuf);
    const guint8* src = gdk_pixbuf_read_pixels(pixbuf);
    cairo_surface_t* surface = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, w, h);
    if (cairo_surface_status(surface) != CAIRO_STATUS_SUCCESS) {
        cairo_surface_destroy(surface);
        return nullptr;
    }
    cairo_surface_flush(surface);
    unsigned char* dst = cairo_image_surface_get_data(surface);
    const int dstStride = cairo_image_surface_get_stride(surface);
    for (int y = 0; y < h; ++y) {
        const guint8* s = src + static_cast<std::ptrdiff_t>(y) * srcStride;
        auto* d =
            reinterpret_cast<std::uint32_t*>(dst + static_cast<std::ptrdiff_t>(y) * dstStride);
        for (int x = 0; x < w; ++x, s += channels) {
            const unsigned a = alpha ? s[3] : 255;
            const unsigned r = (s[0] * a + 127) / 255;
            const unsigned g = (s[1] * a + 127) / 255;
            const unsigned b = (s[2] * a + 127) / 255;
            d[x] = (a << 24) | (r << 16) | (g << 8) | b;
        }
    }
    cairo_surface_mark_dirty(surface);
    return surface;
}

std::uint16_t Le16(std::span<const unsigned char> b, std::size_t at) {
    return static_cast<std::uint16_t>(b[at] | (b[at + 1] << 8));
}

// Skips a chain of data sub-blocks; returns the position after the terminator or 0 on overrun.
std::size_t SkipSubBlocks(std::span<const unsigned char> b, std::size_t at) {
    while (at < b.size()) {
        const std::size_t len = b[at];
        ++at;
        if (len == 0) {
            return at;
        }
        at += len;
    }
    return 0;
}

} // namespace

std::vector<unsigned> ReadGifFrameDelays(std::span<const unsigned char> b) {
    std::vector<unsigned> delays;
    if (b.size() < 13 || b[0] != 'G' || b[1] != 'I' || b[2] != 'F') {
        return {};
    }
    std::size_t at = 13;
    if (b[10] & 0x80) {
        at += 3u << ((b[10] & 0x07) + 1);
    }
    unsigned pendingDelay = 0;
    while (at < b.size()) {
        const unsigned char block = b[at++];
        if (block == 0x3B) {
            return delays;
        }
        if (block == 0x21) {
            if (at >= b.size()) {
                break;
            }
            const unsigned char label = b[at++];
            if (label == 0xF9 && at + 5 < b.size() && b[at] >= 4) {
                pendingDelay = Le16(b, at + 2);
            }
            at = SkipSubBlocks(b, at);
        } else if (block == 0x2C) {
            if (at + 9 > b.size()) {
                break;
            }
            const unsigned char packed = b[at + 8];
            at += 9;
            if (packed & 0x80) {
                at += 3u << ((packed & 0x07) + 1);
            }
            at = SkipSubBlocks(b, at + 1); // after the LZW minimum code size
            if (at == 0) {
                // A truncated last frame still counts, as decoders show what they have.
                delays.push_back(pendingDelay);
                return delays;
            }
            delays.push_back(pendingDelay);
            pendingDelay = 0;
        } else {
            break;
        }
        if (at == 0) {
            break;
        }
    }
    return delays;
}

std::unique_ptr<Bitmap> Bitmap::FromBytes(std::span<const unsigned char> bytes) {
    if (bytes.empty()) {
        return nullptr;
    }
    GdkPixbufLoader* loader = gdk_pixbuf_loader_new();
    LoaderState state;
    g_signal_connect(loader, "size-prepared", G_CALLBACK(OnSizePrepared), &state);
    bool ok = gdk_pixbuf_loader_write(loader, bytes.data(), bytes.size(), nullptr) != FALSE;
    ok = gdk_pixbuf_loader_close(loader, nullptr) != FALSE && ok;
    GdkPixbufAnimation* animation = ok ? gdk_pixbuf_loader_get_animation(loader) : nullptr;
    if (!animation || state.tooLarge) {
        g_object_unref(loader);
        return nullptr;
    }
    std::unique_ptr<Bitmap> bitmap(new Bitmap());
    bitmap->width_ = gdk_pixbuf_animation_get_width(animation);
    bitmap->height_ = gdk_pixbuf_animation_get_height(animation);

    std::vector<unsigned> gifDelays;
    if (!gdk_pixbuf_animation_is_static_image(animation)) {
        gifDelays = ReadGifFrameDelays(bytes);
    }
    if (gifDelays.size() > 1) {
        // Step the decoder's own clock from frame to frame; it knows the disposal rules.
        const std::int64_t frameBytes =
            static_cast<std::int64_t>(bitmap->width_) * bitmap->height_ * 4;
        std::size_t count = std::min<std::size_t>(gifDelays.size(), kMaxFrames);
        if (frameBytes > 0) {
            count = std::min<std::size_t>(count,
                                          std::max<std::int64_t>(1, kMaxPixels * 4 / frameBytes));
        }
        G_GNUC_BEGIN_IGNORE_DEPRECATIONS
        GTimeVal clock{0, 0};
        GdkPixbufAnimationIter* iter = gdk_pixbuf_animation_get_iter(animation, &clock);
        for (std::size_t i = 0; i < count; ++i) {
            if (cairo_surface_t* s =
                    SurfaceFromPixbuf(gdk_pixbuf_animation_iter_get_pixbuf(iter))) {
                bitmap->frames_.push_back(s);
                // Stored in hundredths of a second; the program counts milliseconds.
                bitmap->delays_.push_back(gifDelays[i] * 10);
            }
            const int step = gdk_pixbuf_animation_iter_get_delay_time(iter);
            if (step < 0) {
                break;
            }
            g_time_val_add(&clock, static_cast<glong>(step) * 1000);
            gdk_pixbuf_animation_iter_advance(iter, &clock);
        }
        G_GNUC_END_IGNORE_DEPRECATIONS
        g_object_unref(iter);
        if (bitmap->frames_.size() < 2) {
            bitmap->delays_.clear();
        }
    } else if (GdkPixbuf* still = gdk_pixbuf_animation_get_static_image(animation)) {
        if (cairo_surface_t* s = SurfaceFromPixbuf(still)) {
            bitmap->frames_.push_back(s);
        }
    }
    g_object_unref(loader);
    if (bitmap->frames_.empty()) {
        return nullptr;
    }
    return bitmap;
}

std::unique_ptr<Bitmap> Bitmap::FromFile(const std::string& path) {
    // Only regular files of a sane size: a path such as /dev/zero must not read forever.
    std::error_code ec;
    if (!std::filesystem::is_regular_file(path, ec) ||
        std::filesystem::file_size(path, ec) > kMaxFileBytes || ec) {
        return nullptr;
    }
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        return nullptr;
    }
    const std::vector<unsigned char> bytes((std::istreambuf_iterator<char>(in)),
                                           std::istreambuf_iterator<char>());
    return FromBytes(bytes);
}

std::unique_ptr<Bitmap> Bitmap::FromSurface(cairo_surface_t* surface) {
    if (!surface || cairo_surface_get_type(surface) != CAIRO_SURFACE_TYPE_IMAGE ||
        cairo_surface_status(surface) != CAIRO_STATUS_SUCCESS) {
        return nullptr;
    }
    std::unique_ptr<Bitmap> bitmap(new Bitmap());
    bitmap->width_ = cairo_image_surface_get_width(surface);
    bitmap->height_ = cairo_image_surface_get_height(surface);
    bitmap->frames_.push_back(cairo_surface_reference(surface));
    return bitmap;
}

Bitmap::~Bitmap() {
    for (cairo_surface_t* s : frames_) {
        cairo_surface_destroy(s);
    }
}

void Bitmap::SelectActiveFrame(unsigned index) {
    if (index < frames_.size()) {
        active_ = index;
    }
}

} // namespace gfx
