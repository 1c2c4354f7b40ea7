#pragma once
// Shared drawing tools. The client treats black as transparent in some
// pictures, so those are painted on a transparent canvas first and then
// flattened onto pure black by flatten_for_black_key().
#include <QColor>
#include <QFont>
#include <QImage>
#include <QPainter>
#include <QPointF>

QImage transparent_canvas(int width_px, int height_px);
QImage flatten_for_black_key(const QImage& art);
void smooth_painting(QPainter& painter);
QFont ui_font(double pixel_size, bool bold = true);

// Returns the opaque colour written as 0xRRGGBB.
inline QColor rgb(unsigned hex) { return QColor::fromRgb(QRgb(hex)); }

// Draws a domed disc lit from the top-left, with a soft shine spot.
void draw_glossy_disc(QPainter& painter, QPointF centre, double radius, const QColor& base);
// Draws the white "glass" reflection on the upper half of a round button.
void draw_top_gloss(QPainter& painter, QPointF centre, double radius, double strength);
void draw_glow(QPainter& painter, QPointF centre, double radius, const QColor& colour);
