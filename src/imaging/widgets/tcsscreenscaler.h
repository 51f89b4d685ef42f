#pragma once

#include <cstdint>
#include <functional>
#include <optional>

namespace lystra {

struct TBitmapInfoHeader;

// How the image is fitted into the viewer; the ordinals are stored by name
// in form files and must not change.
enum TFitMode : int {
    fmNone = 0,
    fmZoom = 1,       // no factor of its own: shows the image 1:1
    fmNormalized = 2, // physical size on the screen, never enlarged
    fmInWindow = 3,   // the whole image in the client area
    fmToHeight = 4,
    fmToWidth = 5,
};

// The display facts the layout depends on. They come from Qt by default and
// can be fixed (for tests, or a host that knows better).
struct TDisplayMetrics {
    int screenHeightPixels = 0;
    int screenHeightMillimetres = 0; // 0 when the display does not say
    int hScrollHeight = 0;           // height of a horizontal scroll bar
    int vScrollWidth = 0;            // width of a vertical scroll bar

    // The fixed metrics when set, else those of the primary screen and the
    // application style.
    static TDisplayMetrics current();
    static void setFixed(std::optional<TDisplayMetrics> metrics);
};

// A rectangle as (left, top, right, bottom) in pixels; width is right - left.
struct TRect {
    int left = 0;
    int top = 0;
    int right = 0;
    int bottom = 0;

    int width() const { return right - left; }
    int height() const { return bottom - top; }
    bool operator==(const TRect&) const = default;
};

// The layout calculator of the viewer: from the image size and resolution,
// the client area and the fit mode it works out the scale and the rectangle
// the image is drawn into, and reports them through OnScale.
class TcsScreenScaler {
public:
    using ScaleEvent =
        std::function<void(TcsScreenScaler& sender, const TRect& source, const TRect& dest)>;

    explicit TcsScreenScaler(const TDisplayMetrics& metrics = TDisplayMetrics::current());

    bool center() const { return m_center; }
    // Store and recalculate when the value differs.
    void setCenter(bool center);
    TFitMode fitMode() const { return m_fitMode; }
    void setFitMode(TFitMode mode);
    // Physical height of the display in millimetres; recomputes the screen
    // resolution but not the layout. Throws lystra::Exception for 0 or less.
    int crtHeight() const { return m_crtHeight; }
    void setCrtHeight(int millimetres);

    double scale() const { return m_scale; }
    double screenPixelsPerMm() const { return m_screenPixelsPerMm; }
    double imagePixelsPerMm() const { return m_imagePixelsPerMm; }
    int hScrollHeight() const { return m_hScrollHeight; }
    int vScrollWidth() const { return m_vScrollWidth; }
    const TRect& imageRect() const { return m_imageRect; }
    const TRect& clientRect() const { return m_clientRect; }
    const TRect& destRect() const { return m_destRect; }

    // The image's size and horizontal resolution; none makes both zero.
    void setImage(const TBitmapInfoHeader* header);
    // Stores the rectangle and recalculates unless it is the stored one.
    void setClientRect(const TRect& rect);
    void recalculate();
    void setOnScale(ScaleEvent handler) { m_onScale = std::move(handler); }

private:
    double fitScale() const;
    void centerImage();

    ScaleEvent m_onScale;
    bool m_center = false;
    TFitMode m_fitMode = fmNormalized;
    double m_scale = 1.0;
    int m_crtHeight = 240;
    int m_screenHeightPixels = 0;
    double m_screenPixelsPerMm = 0;
    double m_imagePixelsPerMm = 20000.0 / 2539.0;
    int m_hScrollHeight = 0;
    int m_vScrollWidth = 0;
    TRect m_imageRect;
    TRect m_clientRect;
    TRect m_destRect;
};

} // namespace lystra
