// Draws the runtime's own resource images and writes them as Windows icon and
// cursor files for the resource script: the program icon (103) and the
// FINGER_POINT (104) and SAMPLE_PIPET (105) cursors. Built and run on the
// build machine; the shapes are distance fields, sampled 4 x 4 per pixel.
//
//   draw_images OUTPUT_FOLDER
#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <functional>
#include <string>
#include <vector>

namespace {

struct Rgba {
    float r, g, b, a;
};

struct Image {
    int size;
    std::vector<Rgba> pixels;  // rows top to bottom
};

// Signed distance of a shape in pixel units: negative inside.
using Shape = std::function<float(float x, float y)>;

float segmentDistance(float x, float y, float ax, float ay, float bx, float by) {
    const float px = x - ax, py = y - ay, dx = bx - ax, dy = by - ay;
    const float t = std::clamp((px * dx + py * dy) / (dx * dx + dy * dy), 0.0f, 1.0f);
    return std::hypot(px - dx * t, py - dy * t);
}

Shape capsule(float ax, float ay, float bx, float by, float radius) {
    return [=](float x, float y) { return segmentDistance(x, y, ax, ay, bx, by) - radius; };
}

Shape roundedBox(float left, float top, float right, float bottom, float radius) {
    return [=](float x, float y) {
        const float cx = (left + right) * 0.5f, cy = (top + bottom) * 0.5f;
        const float hx = (right - left) * 0.5f - radius, hy = (bottom - top) * 0.5f - radius;
        const float qx = std::fabs(x - cx) - hx, qy = std::fabs(y - cy) - hy;
        const float outside = std::hypot(std::max(qx, 0.0f), std::max(qy, 0.0f));
        return outside + std::min(std::max(qx, qy), 0.0f) - radius;
    };
}

Shape unite(std::vector<Shape> shapes) {
    return [shapes](float x, float y) {
        float d = 1e9f;
        for (const Shape& s : shapes) d = std::min(d, s(x, y));
        return d;
    };
}

// A shape filled with `fill`, outlined `outline` pixels wide in `edge`.
Image draw(int size, const Shape& shape, Rgba fill, Rgba edge, float outline) {
    Image image{size, std::vector<Rgba>(static_cast<size_t>(size * size))};
    constexpr int SAMPLES = 4;
    for (int py = 0; py < size; ++py) {
        for (int px = 0; px < size; ++px) {
            Rgba sum{0, 0, 0, 0};
            for (int sy = 0; sy < SAMPLES; ++sy) {
                for (int sx = 0; sx < SAMPLES; ++sx) {
                    const float d = shape(px + (sx + 0.5f) / SAMPLES, py + (sy + 0.5f) / SAMPLES);
                    if (d > 0.0f) continue;
                    const Rgba& c = d > -outline ? edge : fill;
                    sum.r += c.r * c.a;
                    sum.g += c.g * c.a;
                    sum.b += c.b * c.a;
                    sum.a += c.a;
                }
            }
            const float n = SAMPLES * SAMPLES;
            Rgba& out = image.pixels[static_cast<size_t>(py * size + px)];
            out.a = sum.a / n;
            if (sum.a > 0.0f) out = Rgba{sum.r / sum.a, sum.g / sum.a, sum.b / sum.a, out.a};
        }
    }
    return image;
}

// The program icon: a white V on a rounded blue square.
Image programIcon(int size) {
    const float s = size / 32.0f;
    const Shape plate = roundedBox(1 * s, 1 * s, 31 * s, 31 * s, 6 * s);
    const Image back = draw(size, plate, Rgba{0.12f, 0.30f, 0.62f, 1}, Rgba{0.05f, 0.12f, 0.30f, 1}, 1.2f * s);
    const Shape vee = unite({capsule(8 * s, 8 * s, 16 * s, 24 * s, 2.6f * s), capsule(24 * s, 8 * s, 16 * s, 24 * s, 2.6f * s)});
    const Image letter = draw(size, vee, Rgba{1, 1, 1, 1}, Rgba{1, 1, 1, 1}, 0);
    Image out = back;
    for (size_t i = 0; i < out.pixels.size(); ++i) {
        const Rgba& top = letter.pixels[i];
        Rgba& p = out.pixels[i];
        p.r = top.r * top.a + p.r * (1 - top.a);
        p.g = top.g * top.a + p.g * (1 - top.a);
        p.b = top.b * top.a + p.b * (1 - top.a);
        p.a = std::max(p.a, top.a);
    }
    return out;
}

// A hand pointing up with its index finger; the hot spot is the fingertip.
Image fingerPoint() {
    const Shape hand = unite({
        capsule(12.5f, 3.0f, 12.5f, 17.0f, 2.4f),      // index finger
        capsule(16.5f, 13.0f, 16.5f, 18.0f, 2.2f),     // folded fingers
        capsule(20.0f, 14.0f, 20.0f, 19.0f, 2.1f),
        capsule(23.3f, 15.5f, 23.3f, 20.0f, 2.0f),
        roundedBox(10.2f, 16.0f, 25.3f, 29.5f, 3.5f),  // palm
        capsule(6.5f, 17.5f, 11.0f, 24.0f, 2.2f),      // thumb
    });
    return draw(32, hand, Rgba{1, 1, 1, 1}, Rgba{0, 0, 0, 1}, 1.2f);
}

// An eyedropper lying from the bottom-left tip (the hot spot) to its bulb.
Image samplePipet() {
    const Shape pipet = unite({
        capsule(2.0f, 29.0f, 17.0f, 14.0f, 2.0f),   // glass tube
        capsule(14.0f, 12.0f, 19.5f, 17.5f, 2.2f),  // collar
        capsule(19.0f, 12.5f, 25.0f, 6.5f, 4.0f),   // rubber bulb
    });
    return draw(32, pipet, Rgba{1, 1, 1, 1}, Rgba{0, 0, 0, 1}, 1.2f);
}

void put16(std::vector<uint8_t>& out, unsigned v) {
    out.push_back(static_cast<uint8_t>(v));
    out.push_back(static_cast<uint8_t>(v >> 8));
}

void put32(std::vector<uint8_t>& out, uint32_t v) {
    put16(out, v & 0xFFFF);
    put16(out, v >> 16);
}

// One image as stored in icon and cursor files: a 32-bit DIB of twice the
// height (colour rows bottom-up, then the 1-bit mask of transparent pixels).
std::vector<uint8_t> dib(const Image& image) {
    const int size = image.size;
    const int maskStride = ((size + 31) / 32) * 4;
    std::vector<uint8_t> out;
    put32(out, 40);
    put32(out, static_cast<uint32_t>(size));
    put32(out, static_cast<uint32_t>(size * 2));
    put16(out, 1);
    put16(out, 32);
    put32(out, 0);
    put32(out, static_cast<uint32_t>(size * size * 4 + maskStride * size));
    for (int i = 0; i < 4; ++i) put32(out, 0);
    auto byte = [](float v) { return static_cast<uint8_t>(std::lround(std::clamp(v, 0.0f, 1.0f) * 255.0f)); };
    for (int y = size - 1; y >= 0; --y) {
        for (int x = 0; x < size; ++x) {
            const Rgba& p = image.pixels[static_cast<size_t>(y * size + x)];
            out.push_back(byte(p.b));
            out.push_back(byte(p.g));
            out.push_back(byte(p.r));
            out.push_back(byte(p.a));
        }
    }
    for (int y = size - 1; y >= 0; --y) {
        std::vector<uint8_t> row(static_cast<size_t>(maskStride), 0);
        for (int x = 0; x < size; ++x) {
            if (byte(image.pixels[static_cast<size_t>(y * size + x)].a) == 0) row[x / 8] |= 0x80 >> (x % 8);
        }
        out.insert(out.end(), row.begin(), row.end());
    }
    return out;
}

struct Entry {
    Image image;
    int hotX, hotY;  // cursors only
};

// An icon (type 1) or cursor (type 2) file.
bool writeIconFile(const std::string& path, int type, const std::vector<Entry>& entries) {
    std::vector<uint8_t> out;
    put16(out, 0);
    put16(out, static_cast<unsigned>(type));
    put16(out, static_cast<unsigned>(entries.size()));
    std::vector<std::vector<uint8_t>> bitmaps;
    uint32_t offset = static_cast<uint32_t>(6 + 16 * entries.size());
    for (const Entry& entry : entries) {
        bitmaps.push_back(dib(entry.image));
        out.push_back(static_cast<uint8_t>(entry.image.size));
        out.push_back(static_cast<uint8_t>(entry.image.size));
        out.push_back(0);  // no palette
        out.push_back(0);
        put16(out, type == 1 ? 1u : static_cast<unsigned>(entry.hotX));   // planes, or hot spot x
        put16(out, type == 1 ? 32u : static_cast<unsigned>(entry.hotY));  // bits, or hot spot y
        put32(out, static_cast<uint32_t>(bitmaps.back().size()));
        put32(out, offset);
        offset += static_cast<uint32_t>(bitmaps.back().size());
    }
    for (const auto& bitmap : bitmaps) out.insert(out.end(), bitmap.begin(), bitmap.end());
    std::FILE* file = std::fopen(path.c_str(), "wb");
    if (!file) return false;
    const bool ok = std::fwrite(out.data(), 1, out.size(), file) == out.size();
    return std::fclose(file) == 0 && ok;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s OUTPUT_FOLDER\n", argv[0]);
        return 2;
    }
    const std::string folder = argv[1];
    const bool ok = writeIconFile(folder + "/vozer.ico", 1, {{programIcon(32), 0, 0}, {programIcon(16), 0, 0}}) &&
                    writeIconFile(folder + "/finger_point.cur", 2, {{fingerPoint(), 12, 1}}) &&
                    writeIconFile(folder + "/sample_pipet.cur", 2, {{samplePipet(), 1, 30}});
    if (!ok) std::fprintf(stderr, "draw_images: cannot write into %s\n", folder.c_str());
    return ok ? 0 : 1;
}
