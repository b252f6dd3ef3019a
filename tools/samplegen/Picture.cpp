// Tamra sample images: synthetic inspection pictures drawn with integer geometry only.
#include "samplegen/Picture.h"

#include <algorithm>

namespace tamra::samples {

namespace {

// Channel values whose 5-bit form expands back to themselves.
constexpr std::uint8_t kLevels[9] = {0, 33, 66, 99, 132, 165, 197, 230, 255};

// Indices into the sample palette.
enum Colour : std::size_t {
    kGrey0 = 0,  // nine grey levels 0..8, black to white
    kBackground = 9,
    kBackgroundAlt,
    kBrass,
    kSteel,
    kHole,
    kDefect,
    kMarker,
    kHighlight,
    kColourCount
};

Rgb colour(Colour index) {
    return samplePalette()[index];
}
Rgb grey(std::size_t level) {
    return samplePalette()[kGrey0 + level % 9];
}

void drawRulers(Picture& picture) {
    const std::uint32_t band = std::max<std::uint32_t>(2, picture.height() / 24);
    for (std::uint32_t y = 0; y < std::min(band, picture.height()); ++y) {
        for (std::uint32_t x = 0; x < picture.width(); ++x) picture.set(x, y, grey(x));
    }
    const std::uint32_t column = std::max<std::uint32_t>(2, picture.width() / 32);
    for (std::uint32_t y = 0; y < picture.height(); ++y) {
        for (std::uint32_t x = 0; x < std::min(column, picture.width()); ++x) {
            picture.set(x, y, grey(y + 4));
        }
    }
}

void drawMarker(Picture& picture) {
    const std::int64_t w = picture.width();
    const std::int64_t h = picture.height();
    const std::int64_t x0 = std::max<std::int64_t>(2, w / 32) + w / 40 + 1;
    const std::int64_t y0 = std::max<std::int64_t>(2, h / 24) + h / 30 + 1;
    picture.fillRect(x0, y0, x0 + w / 12 + 1, y0 + h / 16 + 1, colour(kMarker));
    picture.fillRect(x0, y0, x0 + w / 24 + 1, y0 + h / 32 + 1, colour(kHighlight));
}

void drawPart(Picture& picture, int camera, int index, bool failed) {
    const std::int64_t w = picture.width();
    const std::int64_t h = picture.height();
    const std::int64_t cx = w / 2 + (index % 5 - 2) * (w / 40);
    const std::int64_t cy = h / 2 + (index % 3 - 1) * (h / 30);
    const std::int64_t rx = w / 5 + 1;
    const std::int64_t ry = h / 4 + 1;
    if (camera % 2 == 0) {
        picture.fillEllipse(cx, cy, rx, ry, colour(kBrass));
        picture.fillEllipse(cx - rx / 2, cy, rx / 5 + 1, ry / 5 + 1, colour(kHole));
        picture.fillEllipse(cx + rx / 2, cy, rx / 5 + 1, ry / 5 + 1, colour(kHole));
    } else {
        picture.fillRect(cx - rx, cy - ry / 2, cx + rx, cy + ry / 2, colour(kSteel));
        picture.fillRect(cx - rx / 3, cy - ry / 4, cx + rx / 3, cy + ry / 4, colour(kHole));
    }
    picture.fillRect(cx - rx / 8, cy - ry + ry / 8, cx + rx / 8, cy - ry + ry / 3,
                     grey(static_cast<std::size_t>(index + camera + 2)));
    if (failed) {
        const std::int64_t dx = cx + rx / 4 - (index % 2) * (rx / 2);
        picture.fillEllipse(dx, cy + ry / 3, rx / 9 + 1, ry / 9 + 1, colour(kDefect));
        picture.fillRect(cx - rx / 2, cy + ry / 2, cx + rx / 3, cy + ry / 2 + h / 120 + 1,
                         colour(kDefect));
    }
}

void drawTarget(Picture& picture) {
    const std::uint32_t cell = std::max<std::uint32_t>(2, picture.width() / 16);
    for (std::uint32_t y = 0; y < picture.height(); ++y) {
        for (std::uint32_t x = 0; x < picture.width(); ++x) {
            const bool dark = ((x / cell) + (y / cell)) % 2 == 0;
            picture.set(x, y, dark ? grey(0) : grey(8));
        }
    }
    const std::int64_t w = picture.width();
    const std::int64_t h = picture.height();
    picture.fillEllipse(w / 2, h / 2, w / 10 + 1, w / 10 + 1, colour(kMarker));
}

}  // namespace

const std::vector<Rgb>& samplePalette() {
    static const std::vector<Rgb> palette = [] {
        std::vector<Rgb> colours;
        for (std::uint8_t level : kLevels) colours.push_back({level, level, level});
        colours.push_back({kLevels[2], kLevels[3], kLevels[4]});  // background
        colours.push_back({kLevels[3], kLevels[3], kLevels[5]});  // alternate background
        colours.push_back({kLevels[6], kLevels[5], kLevels[3]});  // brass
        colours.push_back({kLevels[5], kLevels[6], kLevels[7]});  // steel
        colours.push_back({kLevels[1], kLevels[1], kLevels[2]});  // hole
        colours.push_back({kLevels[7], kLevels[1], kLevels[1]});  // defect
        colours.push_back({kLevels[1], kLevels[6], kLevels[2]});  // marker
        colours.push_back({kLevels[8], kLevels[7], kLevels[4]});  // highlight
        return colours;
    }();
    return palette;
}

Picture::Picture(std::uint32_t width, std::uint32_t height, Rgb fill)
    : width_(width), height_(height), pixels_(static_cast<std::size_t>(width) * height, fill) {}

void Picture::fillRect(std::int64_t x0, std::int64_t y0, std::int64_t x1, std::int64_t y1,
                       Rgb colour) {
    x0 = std::max<std::int64_t>(x0, 0);
    y0 = std::max<std::int64_t>(y0, 0);
    x1 = std::min<std::int64_t>(x1, width_);
    y1 = std::min<std::int64_t>(y1, height_);
    for (std::int64_t y = y0; y < y1; ++y) {
        for (std::int64_t x = x0; x < x1; ++x) {
            set(static_cast<std::uint32_t>(x), static_cast<std::uint32_t>(y), colour);
        }
    }
}

void Picture::fillEllipse(std::int64_t cx, std::int64_t cy, std::int64_t rx, std::int64_t ry,
                          Rgb colour) {
    if (rx <= 0 || ry <= 0) return;
    const std::int64_t limit = rx * rx * ry * ry;
    for (std::int64_t y = std::max<std::int64_t>(cy - ry, 0);
         y <= std::min<std::int64_t>(cy + ry, std::int64_t{height_} - 1); ++y) {
        for (std::int64_t x = std::max<std::int64_t>(cx - rx, 0);
             x <= std::min<std::int64_t>(cx + rx, std::int64_t{width_} - 1); ++x) {
            const std::int64_t dx = (x - cx) * ry;
            const std::int64_t dy = (y - cy) * rx;
            if (dx * dx + dy * dy <= limit) {
                set(static_cast<std::uint32_t>(x), static_cast<std::uint32_t>(y), colour);
            }
        }
    }
}

Picture renderScene(Scene scene, int camera, int index, std::uint32_t width, std::uint32_t height) {
    const Colour background = camera % 2 == 0 ? kBackground : kBackgroundAlt;
    Picture picture(width, height, colour(background));
    if (scene == Scene::Calibration) {
        drawTarget(picture);
    } else {
        drawPart(picture, camera, index, scene == Scene::Fail);
    }
    drawRulers(picture);
    drawMarker(picture);
    return picture;
}

}  // namespace tamra::samples
