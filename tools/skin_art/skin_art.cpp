#include "skin_art.h"

#include <algorithm>
#include <cmath>
#include <functional>

namespace kv_art {

namespace {

struct Rgb {
  int r, g, b;
};

constexpr Rgb kTeal{42, 212, 170};
constexpr Rgb kTealHover{17, 234, 183};
constexpr Rgb kTealPressed{0, 178, 136};
constexpr Rgb kGrey{204, 204, 204};
constexpr Rgb kHeader{240, 240, 240};
constexpr Rgb kNearWhite{250, 250, 250};

using Shape = std::function<bool(double x, double y)>;

// Fraction of the pixel (x, y) inside `shape`, sampled on a 4 x 4 grid: soft edges without any
// floating-point result depending on evaluation order.
int Coverage16(const Shape& shape, int x, int y) {
  int hits = 0;
  for (int j = 0; j < 4; ++j) {
    for (int i = 0; i < 4; ++i) {
      if (shape(x + (i + 0.5) / 4.0, y + (j + 0.5) / 4.0)) ++hits;
    }
  }
  return hits;
}

uint8_t Mix(int a, int b, int weight16) {
  return static_cast<uint8_t>((a * (16 - weight16) + b * weight16 + 8) / 16);
}

void Paint(Image& image, int x, int y, Rgb c, int alpha = 255) {
  uint8_t* p = image.At(x, y);
  p[0] = static_cast<uint8_t>(c.r);
  p[1] = static_cast<uint8_t>(c.g);
  p[2] = static_cast<uint8_t>(c.b);
  p[3] = static_cast<uint8_t>(alpha);
}

// Blends `colour` over an opaque image where `shape` covers it, within the given box.
void Fill(Image& image, const Shape& shape, Rgb colour, int x0, int y0, int x1, int y1) {
  for (int y = std::max(0, y0); y < std::min(y1, image.height); ++y) {
    for (int x = std::max(0, x0); x < std::min(x1, image.width); ++x) {
      const int c = Coverage16(shape, x, y);
      if (c == 0) continue;
      uint8_t* p = image.At(x, y);
      p[0] = Mix(p[0], colour.r, c);
      p[1] = Mix(p[1], colour.g, c);
      p[2] = Mix(p[2], colour.b, c);
    }
  }
}

Shape RoundRect(double x0, double y0, double x1, double y1, double r) {
  return [=](double x, double y) {
    if (x < x0 || x > x1 || y < y0 || y > y1) return false;
    const double cx = std::clamp(x, x0 + r, x1 - r);
    const double cy = std::clamp(y, y0 + r, y1 - r);
    return (x - cx) * (x - cx) + (y - cy) * (y - cy) <= r * r;
  };
}

// A stroke of half-width `half` along the segment (ax, ay)-(bx, by), with round ends.
Shape Stroke(double ax, double ay, double bx, double by, double half) {
  return [=](double x, double y) {
    const double dx = bx - ax, dy = by - ay;
    const double t = std::clamp(((x - ax) * dx + (y - ay) * dy) / (dx * dx + dy * dy), 0.0, 1.0);
    const double px = ax + t * dx - x, py = ay + t * dy - y;
    return px * px + py * py <= half * half;
  };
}

// Convex polygon, corners in either winding order.
Shape Polygon(std::vector<std::pair<double, double>> points) {
  return [points](double x, double y) {
    bool any_left = false, any_right = false;
    for (size_t i = 0; i < points.size(); ++i) {
      const auto& a = points[i];
      const auto& b = points[(i + 1) % points.size()];
      const double side =
          (b.first - a.first) * (y - a.second) - (b.second - a.second) * (x - a.first);
      any_left |= side < 0;
      any_right |= side > 0;
    }
    return !(any_left && any_right);
  };
}

Shape Union(std::vector<Shape> shapes) {
  return [shapes](double x, double y) {
    for (const Shape& s : shapes) {
      if (s(x, y)) return true;
    }
    return false;
  };
}

constexpr double kPi = 3.14159265358979323846;

// ---- The images -------------------------------------------------------------------------------

Image Background() {
  Image image(640, 390);
  for (int y = 0; y < 390; ++y) {
    // Header band, then white easing to RGB(247, 247, 247) on the last row.
    const int v = y < 80 ? 240 : 255 - (8 * (y - 80) + 154) / 309;
    for (int x = 0; x < 640; ++x) Paint(image, x, y, {v, v, v});
  }
  // Logo: a teal badge holding a white board with a teal play mark, and a two-line word mark.
  Fill(image, RoundRect(24, 20, 64, 60, 9), kTeal, 20, 16, 68, 64);
  Fill(image, RoundRect(31, 29, 57, 49, 3), {255, 255, 255}, 28, 26, 60, 52);
  Fill(image, Polygon({{40, 33}, {50, 39}, {40, 45}}), kTeal, 36, 30, 54, 48);
  Fill(image, Stroke(38, 54, 50, 54, 1.5), {255, 255, 255}, 34, 50, 54, 58);
  Fill(image, RoundRect(76, 29, 164, 39, 5), {88, 96, 102}, 72, 26, 168, 42);
  Fill(image, RoundRect(76, 45, 132, 51, 3), {160, 166, 170}, 72, 42, 136, 54);
  return image;
}

// Four cells of an anti-aliased diagonal cross in the given colours on the header grey.
Image Close() {
  const Rgb colours[4] = {kTeal, kTealHover, kTealPressed, kGrey};
  Image image(44, 11);
  for (int cell = 0; cell < 4; ++cell) {
    const double o = cell * 11;
    const Shape cross =
        Union({Stroke(o + 2.0, 2.0, o + 9.0, 9.0, 0.85), Stroke(o + 9.0, 2.0, o + 2.0, 9.0, 0.85)});
    for (int y = 0; y < 11; ++y) {
      for (int x = cell * 11; x < cell * 11 + 11; ++x) Paint(image, x, y, kHeader);
    }
    Fill(image, cross, colours[cell], cell * 11, 0, cell * 11 + 11, 11);
  }
  return image;
}

Image Solid(int width, int height, Rgb colour) {
  Image image(width, height);
  for (int y = 0; y < height; ++y) {
    for (int x = 0; x < width; ++x) Paint(image, x, y, colour);
  }
  return image;
}

Image ButtonCells() {
  const Rgb colours[4] = {kTeal, kTealHover, kTealPressed, kGrey};
  Image image(120, 30);
  for (int y = 0; y < 30; ++y) {
    for (int x = 0; x < 120; ++x) Paint(image, x, y, colours[x / 30]);
  }
  return image;
}

// The waste bin: handle, lid and a tapering body with rounded bottom corners.
Shape Bin() {
  const Shape handle_outer = RoundRect(31, 3, 53, 12, 3.5);
  const Shape handle_hole = RoundRect(35.5, 6.5, 48.5, 12, 1.5);
  const Shape lid = RoundRect(8, 10, 76, 20, 3);
  const Shape body = Polygon({{13, 24}, {71, 24}, {66, 88}, {18, 88}});
  const Shape body_round = RoundRect(13, 24, 71, 88, 7);
  return [=](double x, double y) {
    return (handle_outer(x, y) && !handle_hole(x, y)) || lid(x, y) ||
           (body(x, y) && body_round(x, y));
  };
}

// Two arrows chasing each other round a circle: the recycling mark cut out of the bin.
Shape CircularArrows(double cx, double cy) {
  const double inner = 9.5, outer = 15.5, mid = (inner + outer) / 2;
  auto arc = [=](double from, double to) {
    return [=](double x, double y) {
      const double dx = x - cx, dy = y - cy;
      const double r = std::sqrt(dx * dx + dy * dy);
      if (r < inner || r > outer) return false;
      double a = std::atan2(dy, dx) * 180 / kPi;
      if (a < 0) a += 360;
      return a >= from && a <= to;
    };
  };
  auto head = [=](double at) {
    const double a = at * kPi / 180, tip = (at + 28) * kPi / 180;
    const double c = std::cos(a), s = std::sin(a);
    return Polygon({{cx + (outer + 3.5) * c, cy + (outer + 3.5) * s},
                    {cx + mid * std::cos(tip), cy + mid * std::sin(tip)},
                    {cx + (inner - 3.5) * c, cy + (inner - 3.5) * s}});
  };
  return Union({arc(200, 320), head(320), arc(20, 140), head(140)});
}

Image Icon(int width, bool finished) {
  Image image(width, 91);
  const Shape bin = Bin();
  const Shape arrows = CircularArrows(42, 56);
  const Shape check = Union({Stroke(28, 57, 38, 67, 3.6), Stroke(38, 67, 57, 46, 3.6)});
  for (int y = 0; y < 91; ++y) {
    for (int x = 0; x < width; ++x) {
      int alpha16 = Coverage16(bin, x, y);
      Rgb colour = kTeal;
      if (finished) {
        const int c = Coverage16(check, x, y);
        colour = {Mix(kTeal.r, kNearWhite.r, c), Mix(kTeal.g, kNearWhite.g, c),
                  Mix(kTeal.b, kNearWhite.b, c)};
      } else {
        alpha16 = std::max(0, alpha16 - Coverage16(arrows, x, y));
      }
      const int alpha = (alpha16 * 255 + 8) / 16;
      if (alpha == 0) {
        Paint(image, x, y, {0, 0, 0}, 0);
      } else {
        Paint(image, x, y, colour, alpha);
      }
    }
  }
  return image;
}

}  // namespace

std::vector<ArtFile> DrawSkinArt() {
  std::vector<ArtFile> files;
  files.push_back({"background.png", 201, Background(), false});
  files.push_back({"close.png", 202, Close(), false});
  files.push_back({"track.png", 203, Solid(546, 9, kGrey), false});
  files.push_back({"fill.png", 204, Solid(9, 9, kTeal), false});
  files.push_back({"uninstalling.png", 205, Icon(85, false), true});
  files.push_back({"finished.png", 206, Icon(84, true), true});
  files.push_back({"button.png", 207, ButtonCells(), false});
  return files;
}

}  // namespace kv_art
