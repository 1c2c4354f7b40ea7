#include "file_formats.h"

#include <QBuffer>
#include <QFile>

namespace {

void append_u16(QByteArray& out, uint16_t value) {
  out.append(char(value & 0xff));
  out.append(char(value >> 8));
}

void append_u32(QByteArray& out, uint32_t value) {
  for (int shift = 0; shift < 32; shift += 8) out.append(char((value >> shift) & 0xff));
}

QByteArray encode_with_qt(const QImage& image, const char* format) {
  QByteArray bytes;
  QBuffer buffer(&bytes);
  buffer.open(QIODevice::WriteOnly);
  image.save(&buffer, format);
  return bytes;
}

constexpr int kBmfNameLength = 32;
constexpr int kBmfEntrySize = kBmfNameLength + 8;

}  // namespace

QByteArray bmp24_bytes(const QImage& image) {
  // Qt writes 24 bits per pixel only for opaque 32-bit images, so alpha is dropped first.
  return encode_with_qt(image.convertToFormat(QImage::Format_RGB32), "BMP");
}

QByteArray png_bytes(const QImage& image) {
  return encode_with_qt(image.convertToFormat(QImage::Format_ARGB32), "PNG");
}

QByteArray ico_bytes(const std::vector<QImage>& sizes) {
  QByteArray out;
  append_u16(out, 0);  // reserved
  append_u16(out, 1);  // an icon, not a cursor
  append_u16(out, uint16_t(sizes.size()));
  std::vector<QByteArray> images;
  uint32_t offset = 6 + 16 * uint32_t(sizes.size());
  for (const QImage& image : sizes) {
    images.push_back(png_bytes(image));
    // A side of 256 is written as 0.
    out.append(char(image.width() & 0xFF));
    out.append(char(image.height() & 0xFF));
    out.append(char(0));  // no palette
    out.append(char(0));
    append_u16(out, 1);   // planes
    append_u16(out, 32);  // bits per pixel
    append_u32(out, uint32_t(images.back().size()));
    append_u32(out, offset);
    offset += uint32_t(images.back().size());
  }
  for (const QByteArray& image : images) out.append(image);
  return out;
}

QByteArray bmf_directory(const std::vector<NamedBlob>& entries) {
  QByteArray out;
  append_u32(out, uint32_t(entries.size()));
  uint32_t blob_offset = 4 + uint32_t(entries.size()) * kBmfEntrySize;
  for (const NamedBlob& entry : entries) {
    QByteArray name = entry.name.toLatin1().left(kBmfNameLength - 1);
    name.append(QByteArray(kBmfNameLength - name.size(), '\0'));
    out.append(name);
    append_u32(out, blob_offset);
    append_u32(out, uint32_t(entry.bytes.size()));
    blob_offset += uint32_t(entry.bytes.size());
  }
  for (const NamedBlob& entry : entries) out.append(entry.bytes);
  return out;
}

QByteArray wav_pcm16(const std::vector<int16_t>& interleaved, int channels, int sample_rate_hz) {
  const uint32_t data_size = uint32_t(interleaved.size() * sizeof(int16_t));
  const uint16_t block_align = uint16_t(channels * 2);
  QByteArray out;
  out.append("RIFF");
  append_u32(out, 36 + data_size);
  out.append("WAVEfmt ");
  append_u32(out, 16);
  append_u16(out, 1);  // Format 1 is plain PCM.
  append_u16(out, uint16_t(channels));
  append_u32(out, uint32_t(sample_rate_hz));
  append_u32(out, uint32_t(sample_rate_hz) * block_align);
  append_u16(out, block_align);
  append_u16(out, 16);
  out.append("data");
  append_u32(out, data_size);
  for (int16_t sample : interleaved) append_u16(out, uint16_t(sample));
  return out;
}

bool write_bytes(const QString& path, const QByteArray& bytes) {
  QFile file(path);
  return file.open(QIODevice::WriteOnly | QIODevice::Truncate) && file.write(bytes) == bytes.size();
}
