// What makes the reference pictures comparable: the test's entry point, which
// keeps Qt to the drawing code every machine runs, and the comparison with
// the stored pictures.
#include "screen/reference_pictures.h"

#include <unistd.h>

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QString>
#include <cstdio>
#include <cstdlib>

#include "support/offscreen_screen.h"

namespace marvok::testing {

namespace {

// Qt picks faster code for blending, scaling and conversions by what the
// processor offers, and those paths may round differently. These are every
// feature Qt 6 looks for beyond SSE2, which every x86-64 has, for
// QT_NO_CPU_FEATURE to turn off. (Qt 6.4 matches none of the names it is
// given: with it the pictures follow the processor's features.)
constexpr char kFeaturesBeyondSse2[] =
    "sse3 ssse3 fma sse4.1 sse4.2 movbe popcnt aes avx f16c rdrnd bmi avx2 bmi2 avx512f avx512dq rdseed avx512ifma "
    "avx512cd sha avx512bw avx512vl avx512vbmi avx512vbmi2 shstk gfni vaes avx512vnni avx512bitalg avx512vpopcntdq "
    "hybrid ibt avx512fp16";

QString reference_path(const std::string& scene) {
  return QDir(QStringLiteral(MARVOK_REFERENCE_PICTURES_DIR)).filePath(QString::fromStdString(scene) + ".png");
}

bool recording() { return qEnvironmentVariable("MARVOK_RECORD_PICTURES") == QLatin1String("1"); }

QString colour_text(QRgb pixel) { return QStringLiteral("#%1").arg(pixel, 8, 16, QLatin1Char('0')); }

// The bits of a pixel that count: an opaque picture's alpha byte is not shown.
QRgb shown_bits(const QImage& image) { return image.hasAlphaChannel() ? 0xFFFFFFFFu : 0x00FFFFFFu; }

// Differing pixels in red over a dimmed grey copy of the reference.
QImage difference_map(const QImage& reference, const QImage& rendered) {
  const QRgb mask = shown_bits(rendered);
  QImage map(reference.size(), QImage::Format_RGB32);
  for (int y = 0; y < map.height(); ++y) {
    const auto* expected = reinterpret_cast<const QRgb*>(reference.constScanLine(y));
    const auto* actual = reinterpret_cast<const QRgb*>(rendered.constScanLine(y));
    auto* out = reinterpret_cast<QRgb*>(map.scanLine(y));
    for (int x = 0; x < map.width(); ++x) {
      const int grey = qGray(expected[x]) / 3;
      out[x] = ((expected[x] ^ actual[x]) & mask) == 0 ? qRgb(grey, grey, grey) : qRgb(255, 0, 0);
    }
  }
  return map;
}

QDir failures_folder() { return QDir(QStringLiteral(MARVOK_PICTURE_FAILURES_DIR)); }

// Leaves the rendered picture, and the difference map when there is a
// reference of the same size, where the failure message says.
QString keep_failure(const std::string& scene, const QImage& rendered, const QImage& reference) {
  const QDir folder = failures_folder();
  folder.mkpath(QStringLiteral("."));
  const QString name = QString::fromStdString(scene);
  rendered.save(folder.filePath(name + ".actual.png"));
  if (reference.size() == rendered.size())
    difference_map(reference, rendered).save(folder.filePath(name + ".diff.png"));
  return folder.filePath(name + ".actual.png");
}

}  // namespace

::testing::AssertionResult matches_reference_picture(const std::string& scene, const QImage& rendered) {
  if (rendered.isNull()) return ::testing::AssertionFailure() << scene << ": the scene drew nothing";
  const QImage::Format format = rendered.hasAlphaChannel() ? QImage::Format_ARGB32 : QImage::Format_RGB32;
  const QImage actual = rendered.convertToFormat(format);
  const QString path = reference_path(scene);

  if (recording()) {
    QDir().mkpath(QFileInfo(path).absolutePath());
    if (!actual.save(path)) return ::testing::AssertionFailure() << "could not write " << path.toStdString();
    std::printf("Recorded the reference picture %s\n", qPrintable(path));
    return ::testing::AssertionSuccess();
  }

  const QImage stored(path);
  if (stored.isNull()) {
    return ::testing::AssertionFailure() << "no reference picture " << path.toStdString()
                                         << " (record it with MARVOK_RECORD_PICTURES=1); rendered picture in "
                                         << keep_failure(scene, actual, {}).toStdString();
  }
  const QImage reference = stored.convertToFormat(format);
  if (reference.size() != actual.size()) {
    return ::testing::AssertionFailure() << scene << " is " << actual.width() << " × " << actual.height()
                                         << ", its reference " << reference.width() << " × " << reference.height()
                                         << "; rendered picture in " << keep_failure(scene, actual, {}).toStdString();
  }

  const QRgb mask = shown_bits(actual);
  long differing = 0;
  QPoint first;
  for (int y = 0; y < actual.height(); ++y) {
    const auto* expected = reinterpret_cast<const QRgb*>(reference.constScanLine(y));
    const auto* got = reinterpret_cast<const QRgb*>(actual.constScanLine(y));
    for (int x = 0; x < actual.width(); ++x) {
      if (((expected[x] ^ got[x]) & mask) == 0) continue;
      if (differing++ == 0) first = QPoint(x, y);
    }
  }
  if (differing == 0) {
    // What an earlier failing run left of this scene no longer stands.
    for (const char* kept : {".actual.png", ".diff.png"})
      QFile::remove(failures_folder().filePath(QString::fromStdString(scene) + kept));
    return ::testing::AssertionSuccess();
  }
  return ::testing::AssertionFailure() << differing << " pixels of " << scene << " differ from " << path.toStdString()
                                       << ", the first at (" << first.x() << ", " << first.y() << "): expected "
                                       << colour_text(reference.pixel(first)).toStdString() << ", drawn "
                                       << colour_text(actual.pixel(first)).toStdString() << "; rendered picture in "
                                       << keep_failure(scene, actual, reference).toStdString() << " and a map of "
                                       << "the differences beside it";
}

}  // namespace marvok::testing

int main(int argc, char** argv) {
  // Qt reads the processor's features as its libraries load, before main:
  // the test starts itself again with them turned off.
  if (std::getenv("QT_NO_CPU_FEATURE") == nullptr) {
    setenv("QT_NO_CPU_FEATURE", marvok::testing::kFeaturesBeyondSse2, 1);
    execv("/proc/self/exe", argv);
    std::perror("screen_picture_tests: starting again with Qt's processor features turned off");
    return 1;
  }
  ::testing::InitGoogleTest(&argc, argv);
  qputenv("QT_QPA_PLATFORM", marvok::testing::offscreen_platform_with_full_hd_screen());
  QApplication app(argc, argv);
  QApplication::setQuitOnLastWindowClosed(false);
  // The client reads its pictures from the current folder.
  if (!QDir::setCurrent(QStringLiteral(MARVOK_RESOURCE_DIR))) return 1;
  return RUN_ALL_TESTS();
}
