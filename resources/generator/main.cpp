// Writes every picture and sound the Marvok client loads into one directory.
// Usage: marvok-resource-generator OUTPUT_DIR [--preview PNG_DIR]
// The preview option also saves each bitmap as PNG, so it can be checked by eye.
#include <QDir>
#include <QGuiApplication>
#include <cstdio>

#include "chime.h"
#include "file_formats.h"
#include "gif_encoder.h"
#include "pictures.h"

namespace {

class ResourceWriter {
 public:
  ResourceWriter(const QString& output_dir, const QString& preview_dir) : output_(output_dir), preview_(preview_dir) {}

  void bitmap(const QString& name, const QImage& image) {
    file(name, bmp24_bytes(image));
    preview_png(name, image);
  }

  void file(const QString& name, const QByteArray& bytes) {
    if (!write_bytes(output_.filePath(name), bytes)) {
      std::fprintf(stderr, "cannot write %s\n", qPrintable(output_.filePath(name)));
      failed_ = true;
    }
  }

  void preview_png(const QString& name, const QImage& image) {
    if (!preview_.path().isEmpty()) image.save(preview_.filePath(name + QStringLiteral(".png")), "PNG");
  }

  bool ok() const { return !failed_; }

 private:
  QDir output_;
  QDir preview_;
  bool failed_ = false;
};

void write_pictures(ResourceWriter& out) {
  out.bitmap(QStringLiteral("btn-fleche.bmp"), draw_level_knob());
  out.bitmap(QStringLiteral("btn-param.bmp"), draw_params_button());
  out.bitmap(QStringLiteral("doc_img.bmp"), draw_documentation_icon());
  out.bitmap(QStringLiteral("synthe_1.bmp"), draw_voice_help_icon());
  out.bitmap(QStringLiteral("0.bmp"), draw_channel_panel());
  for (int channel = 1; channel <= kChannelCount; ++channel)
    out.bitmap(QStringLiteral("%1.bmp").arg(channel), draw_channel_picture(channel));
  out.bitmap(QStringLiteral("vu_meter_2.bmp"), draw_vu_meter_dial());

  std::vector<NamedBlob> leds;
  for (const auto& [name, image] : draw_status_leds()) {
    leds.push_back({name, bmp24_bytes(image)});
    out.preview_png(name, image);
  }
  out.file(QStringLiteral("mini_leds.bmf"), bmf_directory(leds));

  out.file(QStringLiteral("marvok.png"), png_bytes(draw_app_icon(64)));
  out.file(QStringLiteral("marvok-256.png"), png_bytes(draw_app_icon(256)));
  out.file(QStringLiteral("marvok.ico"),
           ico_bytes({draw_app_icon(256), draw_app_icon(48), draw_app_icon(32), draw_app_icon(16)}));
}

void write_animation_and_sound(ResourceWriter& out) {
  const std::vector<QImage> frames = draw_atom_frames();
  out.file(QStringLiteral("electron-animation.gif"), encode_looping_gif(frames, kAtomFrameDelayCentiseconds));
  for (size_t i = 0; i < frames.size(); i += 8) out.preview_png(QStringLiteral("electron-frame-%1").arg(i), frames[i]);

  out.file(QStringLiteral("chimes.wav"), wav_pcm16(synthesize_startup_chime(), kChimeChannels, kChimeSampleRate));
}

}  // namespace

int main(int argc, char* argv[]) {
  // Text rendering needs a GUI application, but the build machine may have no display.
  qputenv("QT_QPA_PLATFORM", "offscreen");
  QGuiApplication app(argc, argv);

  const QStringList args = app.arguments();
  const bool with_preview = args.size() == 4 && args[2] == QStringLiteral("--preview");
  if (args.size() != 2 && !with_preview) {
    std::fprintf(stderr, "usage: %s OUTPUT_DIR [--preview PNG_DIR]\n", argv[0]);
    return 2;
  }
  const QString& output_dir = args[1];
  const QString preview_dir = with_preview ? args[3] : QString();
  QDir().mkpath(output_dir);
  if (with_preview) QDir().mkpath(preview_dir);

  ResourceWriter out(output_dir, preview_dir);
  write_pictures(out);
  write_animation_and_sound(out);
  return out.ok() ? 0 : 1;
}
