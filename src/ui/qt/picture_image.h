#pragma once

#include <QImage>

#include "state/picture.h"

namespace marvok::ui {

// Our picture as Qt draws it: opaque pictures as RGB32, the others as ARGB32;
// a null image for an empty picture.
QImage to_qimage(const Picture& picture);

// Qt's image as our picture, every format read through ARGB32, so a format
// without alpha comes out opaque; an empty picture for a null image.
Picture to_picture(const QImage& image);

}  // namespace marvok::ui
