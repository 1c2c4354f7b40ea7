// Frames of the "electron" activity animation: a glowing nucleus with three
// tilted orbits. Everything moves a whole number of turns per loop, so the
// last frame runs seamlessly into the first.
#include <QPainterPath>
#include <QRadialGradient>
#include <cmath>
#include <cstdint>
#include <numbers>

#include "paint_helpers.h"
#include "pictures.h"

namespace {

constexpr int kSizePx = 150;
constexpr int kFrameCount = 20;
constexpr QPointF kCentre(75, 75);
constexpr double kTwoPi = 2 * std::numbers::pi;
constexpr int kTrailLength = 6;

struct Orbit {
  double tilt_degrees;
  double radius_x;
  double radius_y;
  int turns_per_loop;  // The sign gives the direction.
  double phase_radians;
  QColor colour;
};

const Orbit kOrbits[] = {
    {0, 64, 20, 1, 0.0, rgb(0x50d0ff)},
    {60, 64, 20, 2, 2.1, rgb(0xc078ff)},
    {120, 64, 20, -1, 4.2, rgb(0x60ffa0)},
};

// A small fixed-seed generator, because the star field must be identical on every run.
class Lcg {
 public:
  explicit Lcg(uint32_t seed) : state_(seed) {}
  double next() {
    state_ = state_ * 1664525u + 1013904223u;
    return (state_ >> 8) / double(1u << 24);
  }

 private:
  uint32_t state_;
};

QPointF orbit_point(const Orbit& orbit, double angle_radians) {
  const double tilt_radians = orbit.tilt_degrees * std::numbers::pi / 180;
  const double x = orbit.radius_x * std::cos(angle_radians), y = orbit.radius_y * std::sin(angle_radians);
  return kCentre + QPointF(x * std::cos(tilt_radians) - y * std::sin(tilt_radians),
                           x * std::sin(tilt_radians) + y * std::cos(tilt_radians));
}

// The half of the ellipse where the sine is negative is taken as the far side.
bool is_behind_nucleus(double angle_radians) { return std::sin(angle_radians) < 0; }

void draw_background(QPainter& p) {
  QRadialGradient space(kCentre, 106);
  space.setColorAt(0.0, rgb(0x1a2240));
  space.setColorAt(1.0, rgb(0x060810));
  p.fillRect(QRect(0, 0, kSizePx, kSizePx), space);
  Lcg random(20240611u);
  for (int i = 0; i < 28; ++i) {
    const QPointF star(random.next() * kSizePx, random.next() * kSizePx);
    const int brightness = 90 + int(random.next() * 120);
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(brightness, brightness, std::min(255, brightness + 30)));
    p.drawEllipse(star, 0.7, 0.7);
  }
}

void draw_orbit_half(QPainter& p, const Orbit& orbit, bool far_side) {
  QPainterPath path;
  const double start_radians = far_side ? std::numbers::pi : 0;
  for (int i = 0; i <= 48; ++i) {
    const QPointF point = orbit_point(orbit, start_radians + std::numbers::pi * i / 48);
    i == 0 ? path.moveTo(point) : path.lineTo(point);
  }
  QColor glow = orbit.colour, line = orbit.colour.lighter(120);
  glow.setAlpha(far_side ? 25 : 55);
  line.setAlpha(far_side ? 90 : 210);
  p.setBrush(Qt::NoBrush);
  p.setPen(QPen(glow, 5, Qt::SolidLine, Qt::RoundCap));
  p.drawPath(path);
  p.setPen(QPen(line, 1.3, Qt::SolidLine, Qt::RoundCap));
  p.drawPath(path);
}

void draw_electron(QPainter& p, QPointF at, const QColor& colour, double scale, int alpha) {
  QColor halo = colour;
  halo.setAlpha(alpha * 4 / 5);
  draw_glow(p, at, 11 * scale, halo);
  QRadialGradient core(at, 4.4 * scale, at - QPointF(1, 1) * scale);
  core.setColorAt(0.0, QColor(255, 255, 255, alpha));
  QColor rim = colour;
  rim.setAlpha(alpha);
  core.setColorAt(1.0, rim);
  p.setBrush(core);
  p.drawEllipse(at, 4.2 * scale, 4.2 * scale);
}

void draw_electrons(QPainter& p, int frame, bool far_side) {
  for (const Orbit& orbit : kOrbits) {
    const double head_radians = orbit.phase_radians + kTwoPi * orbit.turns_per_loop * frame / kFrameCount;
    const double step_radians = 0.1 * (orbit.turns_per_loop > 0 ? 1 : -1);
    for (int j = kTrailLength; j >= 0; --j) {
      const double angle_radians = head_radians - step_radians * j;
      if (is_behind_nucleus(angle_radians) != far_side) continue;
      const double fade = 1.0 - double(j) / (kTrailLength + 1);
      const double depth = far_side ? 0.75 : 1.0;
      draw_electron(p, orbit_point(orbit, angle_radians), orbit.colour, depth * (0.45 + 0.55 * fade),
                    int(255 * depth * fade * (j == 0 ? 1.0 : 0.5)));
    }
  }
}

void draw_nucleus(QPainter& p, int frame) {
  const double pulse = std::sin(kTwoPi * frame / kFrameCount);
  draw_glow(p, kCentre, 30 + 3 * pulse, QColor(0xff, 0xb0, 0x40, 170));
  draw_glow(p, kCentre, 17 + 2 * pulse, QColor(0xff, 0xe8, 0xa0, 200));
  struct Particle {
    double dx, dy;
    bool proton;
  };
  const Particle particles[] = {{-5, -4, true}, {5, -5, false}, {-6, 4, false}, {4, 5, true},
                                {0, -9, false}, {9, 1, true},   {-9, -1, true}, {0, 0, true}};
  for (const Particle& particle : particles) {
    draw_glossy_disc(p, kCentre + QPointF(particle.dx, particle.dy), 5.6,
                     particle.proton ? rgb(0xf04a30) : rgb(0x8aa0d0));
  }
}

QImage draw_frame(int frame) {
  QImage image(kSizePx, kSizePx, QImage::Format_RGB32);
  QPainter p(&image);
  smooth_painting(p);
  draw_background(p);
  for (const Orbit& orbit : kOrbits) draw_orbit_half(p, orbit, true);
  draw_electrons(p, frame, true);
  draw_nucleus(p, frame);
  for (const Orbit& orbit : kOrbits) draw_orbit_half(p, orbit, false);
  draw_electrons(p, frame, false);
  p.end();
  return image;
}

}  // namespace

std::vector<QImage> draw_atom_frames() {
  std::vector<QImage> frames;
  frames.reserve(kFrameCount);
  for (int frame = 0; frame < kFrameCount; ++frame) frames.push_back(draw_frame(frame));
  return frames;
}
