#pragma once
// Byte-level containers for the resources: BMP, PNG, ICO, the BMF image directory and WAV.
#include <QByteArray>
#include <QImage>
#include <QString>
#include <cstdint>
#include <vector>

struct NamedBlob {
  QString name;
  QByteArray bytes;
};

QByteArray bmp24_bytes(const QImage& image);
QByteArray png_bytes(const QImage& image);
// A Windows icon file holding each picture as PNG, the largest 256 pixels square.
QByteArray ico_bytes(const std::vector<QImage>& sizes);
QByteArray bmf_directory(const std::vector<NamedBlob>& entries);
QByteArray wav_pcm16(const std::vector<int16_t>& interleaved, int channels, int sample_rate_hz);
bool write_bytes(const QString& path, const QByteArray& bytes);
