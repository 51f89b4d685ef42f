#include "imaging/resample.h"
#include "imaging/tcsbitmap.h"
#include "imaging/widgets/tcsimagecontainer.h"
#include "imaging/widgets/tcsimagecontrol.h"
#include "imaging/widgets/tcsimagescroller.h"
#include "imaging/widgets/tcsimageviewer.h"
#include "imaging/widgets/tcsscreenscaler.h"
#include "testpage.h"

#include <QScrollBar>
#include <QSignalSpy>
#include <QTest>

#include <gtest/gtest.h>

using namespace lystra;

namespace {

// A 1080-pixel display 240 mm high with 17-pixel scroll bars.
const TDisplayMetrics kMetrics{1080, 240, 17, 17};

TBitmapInfoHeader imageHeader(int width, int height, int pixelsPerMetre)
{
    TBitmapInfoHeader h;
    h.width = width;
    h.height = height;
    h.xPelsPerMeter = pixelsPerMetre;
    return h;
}

const QImage& page()
{
    static const QImage image = lystra::testing::renderReportPage();
    return image;
}

// A viewer as the preview window sets it up, with a container and a
// transformer.
struct PreviewFixture {
    TcsImageContainer container;
    TcsImageTransformer transformer;
    TcsImageViewer viewer{nullptr, kMetrics};

    PreviewFixture()
    {
        transformer.setContainer(&container);
        viewer.setCenter(true);
        viewer.setFitMode(fmInWindow);
        viewer.setInnerColor(Qt::gray);
        viewer.setContainer(&container);
        viewer.resize(700, 400);
        viewer.show();
        EXPECT_TRUE(QTest::qWaitForWindowExposed(&viewer));
    }
    TcsImageScroller& scroller() { return *viewer.scroller(); }
    TcsImageControl& control() { return *scroller().imageControl(); }
};

} // namespace

TEST(ScreenScaler, Layouts)
{
    const struct {
        const char* name;
        TFitMode mode;
        bool center;
        TBitmapInfoHeader image;
        TRect client;
        double scale;
        TRect dest;
    } cases[] = {
        {"normalized: 4.5 / 12 pixels per mm", fmNormalized, false,
         imageHeader(2520, 3564, 12000), {0, 0, 700, 400}, 0.375, {0, 0, 941, 1330}},
        {"normalized never enlarges", fmNormalized, false, imageHeader(100, 50, 2000),
         {0, 0, 700, 400}, 1.0, {0, 0, 96, 44}},
        {"in window", fmInWindow, false, imageHeader(2520, 3564, 12000), {0, 0, 700, 400},
         400.0 / 3564, {0, 0, 279, 394}},
        {"in window may enlarge", fmInWindow, false, imageHeader(100, 50, 0), {0, 0, 700, 400},
         7.0, {0, 0, 696, 344}},
        {"to width, room for the vertical scroll bar", fmToWidth, false,
         imageHeader(2520, 3564, 12000), {0, 0, 700, 400}, 683.0 / 2520, {0, 0, 679, 960}},
        {"to width, fits", fmToWidth, false, imageHeader(700, 100, 0), {0, 0, 350, 400}, 0.5,
         {0, 0, 346, 44}},
        {"to height, room for the horizontal scroll bar", fmToHeight, false,
         imageHeader(3564, 2520, 12000), {0, 0, 400, 700}, 683.0 / 2520, {0, 0, 962, 677}},
        {"none", fmNone, false, imageHeader(30, 20, 0), {0, 0, 700, 400}, 1.0, {0, 0, 26, 14}},
        {"zoom shows 1:1", fmZoom, false, imageHeader(30, 20, 0), {0, 0, 700, 400}, 1.0,
         {0, 0, 26, 14}},
        {"centred, narrower but taller: less the vertical scroll bar", fmToWidth, true,
         imageHeader(2520, 3564, 12000), {0, 0, 720, 400}, 703.0 / 2520, {2, 0, 701, 988}},
        {"centred, as wide as the client: less the horizontal scroll bar", fmNone, true,
         imageHeader(704, 100, 0), {0, 0, 700, 400}, 1.0, {0, 144, 700, 238}},
        {"centred both ways", fmNone, true, imageHeader(104, 106, 0), {0, 0, 700, 400}, 1.0,
         {300, 150, 400, 250}},
        {"no image", fmInWindow, true, TBitmapInfoHeader{}, {0, 0, 700, 400}, 1.0,
         {352, 203, 348, 197}},
    };
    for (const auto& c : cases) {
        TcsScreenScaler scaler(kMetrics);
        int scaled = 0;
        scaler.setOnScale([&](TcsScreenScaler&, const TRect&, const TRect&) { ++scaled; });
        scaler.setCenter(c.center);
        scaler.setFitMode(c.mode);
        scaler.setImage(c.image.width ? &c.image : nullptr);
        scaler.setClientRect(c.client);
        EXPECT_DOUBLE_EQ(scaler.scale(), c.scale) << c.name;
        EXPECT_EQ(scaler.destRect(), c.dest)
            << c.name << ": " << scaler.destRect().left << "," << scaler.destRect().top << ","
            << scaler.destRect().right << "," << scaler.destRect().bottom;
        EXPECT_GE(scaled, 1) << c.name;
    }
}

TEST(ScreenScaler, DisplayHeight)
{
    TcsScreenScaler scaler(kMetrics);
    EXPECT_EQ(scaler.crtHeight(), 240);
    EXPECT_DOUBLE_EQ(scaler.screenPixelsPerMm(), 4.5);
    EXPECT_DOUBLE_EQ(scaler.imagePixelsPerMm(), 20000.0 / 2539);
    TcsScreenScaler unknown({1080, 0, 17, 17});
    EXPECT_EQ(unknown.crtHeight(), 240) << "a display that does not say";
    scaler.setCrtHeight(300);
    EXPECT_DOUBLE_EQ(scaler.screenPixelsPerMm(), 3.6);
    EXPECT_THROW(scaler.setCrtHeight(0), Exception);
}

TEST(ImageViewer, ShowsThePageFittedWithFrameAndShadow)
{
    PreviewFixture f;
    QSignalSpy viewerChanged(&f.viewer, &TcsImageViewer::changed);
    QSignalSpy containerChanged(&f.container, &TcsImageContainer::changed);
    f.container.bitmap().assignGraphic(page(), 300);
    EXPECT_EQ(viewerChanged.count(), 1);
    EXPECT_EQ(containerChanged.count(), 1);

    const TcsScreenScaler& scaler = f.scroller().scaler();
    EXPECT_DOUBLE_EQ(scaler.scale(), 400.0 / 3564);
    // 279 x 394, centred in 700 x 400 (no scroll bar: it fits).
    EXPECT_EQ(f.control().geometry(), QRect(210, 3, 279, 394));

    // The picture is the page resampled by the 24-bit resampler.
    TcsBitmap expected(279, 394, pf24bit);
    f.container.bitmap().resample(expected);
    EXPECT_EQ(f.control().displayImage().convertToFormat(QImage::Format_RGB888),
              expected.toImage().convertToFormat(QImage::Format_RGB888));

    const QImage shown = f.control().grab().toImage();
    const int w = shown.width(), h = shown.height();
    ASSERT_EQ(QSize(w, h), QSize(279, 394));
    const QRgb black = qRgb(0, 0, 0), background = QColor(Qt::gray).rgb(),
               white = qRgb(255, 255, 255);
    const struct {
        int x, y;
        QRgb color;
    } pixels[] = {
        {0, 0, black},          {w - 2, 0, black},          {0, h - 2, black},
        {w - 2, h - 2, black},  {w / 2, 0, black},          {0, h / 2, black},
        {0, h - 1, background}, {2, h - 1, background},     {3, h - 1, black},
        {w - 2, h - 1, black},  {w - 1, h - 1, black},      {w - 1, 4, black},
        {w - 1, 3, background}, {w - 1, 0, background},     {w / 2, h - 3, white},
        {1, 1, white},
    };
    for (const auto& p : pixels)
        EXPECT_EQ(shown.pixel(p.x, p.y) | 0xFF000000u, p.color) << p.x << "," << p.y;
    EXPECT_EQ(f.scroller().cursor().shape(), f.viewer.cursor().shape());
}

TEST(ImageViewer, DragScrollingMovesAgainstTheMouse)
{
    PreviewFixture f;
    f.viewer.setFitMode(fmNone);
    f.container.bitmap().assignGraphic(page().copy(0, 0, 1200, 900), 300);
    EXPECT_EQ(f.scroller().cursor().shape(), scrollHandCursor().shape());

    QSignalSpy down(&f.viewer, &TcsImageViewer::mouseDown);
    QSignalSpy up(&f.viewer, &TcsImageViewer::mouseUp);
    QWidget* surface = f.scroller().viewport();
    QScrollBar* horizontal = f.scroller().horizontalScrollBar();
    QScrollBar* vertical = f.scroller().verticalScrollBar();
    horizontal->setValue(100);
    vertical->setValue(50);
    QTest::mousePress(surface, Qt::LeftButton, {}, QPoint(300, 200));
    EXPECT_TRUE(f.scroller().isDragging());
    QTest::mouseMove(surface, QPoint(260, 170));
    EXPECT_EQ(horizontal->value(), 140);
    EXPECT_EQ(vertical->value(), 80);
    QTest::mouseMove(surface, QPoint(600, 380));
    EXPECT_EQ(horizontal->value(), 0) << "clamped to the range";
    QTest::mouseRelease(surface, Qt::LeftButton, {}, QPoint(600, 380));
    EXPECT_FALSE(f.scroller().isDragging());
    horizontal->setValue(77);
    QTest::mouseMove(surface, QPoint(500, 300));
    EXPECT_EQ(horizontal->value(), 77) << "no dragging after the button is up";

    ASSERT_EQ(down.count(), 1);
    EXPECT_EQ(down[0][0].value<QObject*>(), &f.scroller());
    EXPECT_EQ(down[0][3].toPoint(), QPoint(300, 200));
    ASSERT_EQ(up.count(), 1);
    EXPECT_EQ(up[0][0].value<QObject*>(), &f.scroller());
}

TEST(ImageViewer, SwitchesSuspendWork)
{
    PreviewFixture f;
    f.container.bitmap().assignGraphic(page(), 300);
    const QRect shown = f.control().geometry();
    const qint64 picture = f.control().displayImage().cacheKey();
    QSignalSpy viewerChanged(&f.viewer, &TcsImageViewer::changed);
    QSignalSpy containerChanged(&f.container, &TcsImageContainer::changed);

    f.viewer.setFitMode(fmInWindow);
    EXPECT_EQ(f.control().displayImage().cacheKey(), picture) << "an unchanged mode";

    // A disabled viewer drops image and size changes; the container still
    // reports its own change.
    f.viewer.setViewerEnabled(false);
    f.container.bitmap().assignGraphic(page().copy(0, 0, 600, 300), 300);
    f.viewer.resize(500, 300);
    EXPECT_EQ(viewerChanged.count(), 0);
    EXPECT_EQ(containerChanged.count(), 1);
    EXPECT_EQ(f.control().geometry(), shown);
    EXPECT_EQ(f.control().displayImage().cacheKey(), picture);
    EXPECT_EQ(f.scroller().scaler().clientRect(), (TRect{0, 0, 700, 400}));

    f.viewer.setViewerEnabled(true);
    f.viewer.refit();
    EXPECT_EQ(f.scroller().scaler().clientRect(), (TRect{0, 0, 500, 300}));
    EXPECT_EQ(f.scroller().scaler().imageRect().right, 2520) << "the missed image is not replayed";

    // A disabled container passes nothing on.
    f.container.setEnabled(false);
    f.container.bitmap().assignGraphic(page().copy(0, 0, 600, 300), 300);
    EXPECT_EQ(containerChanged.count(), 1);
    EXPECT_EQ(viewerChanged.count(), 0);
    EXPECT_EQ(f.scroller().scaler().imageRect().right, 2520);
}

TEST(ImageViewer, LinksAreDroppedWhenEitherSideGoes)
{
    auto container = std::make_unique<TcsImageContainer>();
    TcsImageTransformer transformer;
    transformer.setContainer(container.get());
    EXPECT_EQ(container->transformer(), &transformer);
    {
        TcsImageViewer viewer(nullptr, kMetrics);
        viewer.setContainer(container.get());
        EXPECT_EQ(container->viewers().size(), 1);
        EXPECT_EQ(viewer.scroller()->container(), container.get());
    }
    EXPECT_TRUE(container->viewers().isEmpty());

    TcsImageViewer viewer(nullptr, kMetrics);
    viewer.setContainer(container.get());
    container.reset();
    EXPECT_EQ(viewer.container(), nullptr);
    EXPECT_EQ(viewer.scroller()->container(), nullptr);
    EXPECT_EQ(transformer.container(), nullptr);

    TcsImageContainer other;
    {
        TcsImageTransformer shortLived;
        shortLived.setContainer(&other);
        EXPECT_EQ(other.transformer(), &shortLived);
    }
    EXPECT_EQ(other.transformer(), nullptr);
}

TEST(ImageViewer, IndexedImagesWithoutTransformerAreStretched)
{
    TcsImageContainer container;
    TcsImageViewer viewer(nullptr, kMetrics);
    viewer.setFitMode(fmNone);
    viewer.setContainer(&container);
    viewer.resize(300, 200);
    viewer.show();
    TcsBitmap& bitmap = container.bitmap();
    bitmap.newImage(54, 46, pf8bit);
    bitmap.bitmapInfo()->colors[3] = 0x0000FF;
    std::memset(bitmap.bits(), 3, size_t(bitmap.imageBytes()));
    bitmap.signalChange();
    const QImage& shown = viewer.scroller()->imageControl()->displayImage();
    ASSERT_EQ(shown.size(), QSize(50, 40));
    EXPECT_EQ(shown.pixel(25, 20), qRgb(0, 0, 255));
    EXPECT_EQ(viewer.scroller()->imageControl()->imagePalette().size(), 256);
}
