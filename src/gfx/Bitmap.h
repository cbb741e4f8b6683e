#pragma once
// A decoded picture (PNG, GIF, JPEG, anything gdk-pixbuf reads) with its pixel size and, for
// animated pictures, every frame and its delay in milliseconds. Frames are kept as cairo image
// surfaces ready to draw; one frame is the active one.
#include <cairo.h>

#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <vector>

namespace gfx {

class Bitmap {
public:
    // Pictures larger than this are refused rather than decoded into gigabytes.
    static constexpr std::int64_t kMaxPixels = 64LL * 1024 * 1024;
    static constexpr unsigned kMaxFrames = 1000;
    static constexpr std::uintmax_t kMaxFileBytes = 64u * 1024 * 1024;

    // None when the bytes are not a picture gdk-pixbuf can decode.
    static std::unique_ptr<Bitmap> FromBytes(std::span<const unsigned char> bytes);
    static std::unique_ptr<Bitmap> FromFile(const std::string& path);
    // One frame from premultiplied ARGB32 pixels (takes a reference to the surface).
    static std::unique_ptr<Bitmap> FromSurface(cairo_surface_t* surface);

    ~Bitmap();
    Bitmap(const Bitmap&) = delete;
    Bitmap& operator=(const Bitmap&) = delete;

    int Width() const { return width_; }
    int Height() const { return height_; }
    unsigned FrameCount() const { return static_cast<unsigned>(frames_.size()); }
    // Milliseconds per frame; empty for a still picture.
    const std::vector<unsigned>& FrameDelays() const { return delays_; }
    unsigned ActiveFrame() const { return active_; }
    // Out-of-range indices are ignored.
    void SelectActiveFrame(unsigned index);

    cairo_surface_t* Surface() const { return frames_.empty() ? nullptr : frames_[active_]; }

private:
    Bitmap() = default;
    int width_ = 0;
    int height_ = 0;
    std::vector<cairo_surface_t*> frames_;
    std::vector<unsigned> delays_;
    unsigned active_ = 0;
};

// The frame count and delays (hundredths of a second, as stored) of a GIF's blocks; empty when
// the bytes are not a well-formed GIF up to its last frame.
std::vector<unsigned> ReadGifFrameDelays(std::span<const unsigned char> bytes);

} // namespace gfx
