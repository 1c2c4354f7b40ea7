// Picture decoding through the Windows Imaging Component: the first frame of
// a file or of bytes in memory, as unpremultiplied 32-bit pixels, so the
// alpha a format carries is kept for the caller to lay on what it likes; and
// the frames of an animation, which the component hands out as the file
// holds them, composed here into the pictures they show.
#include "platform/pictures.h"

#include <objbase.h>
#include <wincodec.h>
#include <windows.h>

#include <algorithm>
#include <cstring>

#include "platform/windows/com.h"

namespace marvok::platform {

namespace {

// Pictures beyond 256 MiB of pixels are refused, as Qt's readers do, rather
// than taking the memory of a client that shows them in a few hundred pixels.
constexpr std::uint64_t kLargestPixelCount = (256u << 20) / sizeof(std::uint32_t);

ComPtr<IWICImagingFactory> imaging_factory() {
  ComPtr<IWICImagingFactory> factory;
  if (FAILED(CoCreateInstance(CLSID_WICImagingFactory, nullptr, CLSCTX_INPROC_SERVER, __uuidof(IWICImagingFactory),
                              factory.put_void())))
    return {};
  return factory;
}

// The decoder of the format asked for, which refuses content of another
// format whatever it looks like; or, for any format, the one the content shows.
ComPtr<IWICBitmapDecoder> decoder_for(IWICImagingFactory& factory, IStream* stream, PictureFormat format) {
  ComPtr<IWICBitmapDecoder> decoder;
  if (format == PictureFormat::Any) {
    if (FAILED(factory.CreateDecoderFromStream(stream, nullptr, WICDecodeMetadataCacheOnDemand, decoder.put())))
      return {};
    return decoder;
  }
  const GUID& container = format == PictureFormat::Bmp ? GUID_ContainerFormatBmp : GUID_ContainerFormatPng;
  if (FAILED(factory.CreateDecoder(container, nullptr, decoder.put())) ||
      FAILED(decoder->Initialize(stream, WICDecodeMetadataCacheOnDemand)))
    return {};
  return decoder;
}

// A decoded frame's pixels as they are stored, without composing.
Picture frame_pixels(IWICImagingFactory& factory, IWICBitmapFrameDecode* frame) {
  ComPtr<IWICFormatConverter> converter;
  if (FAILED(factory.CreateFormatConverter(converter.put())) ||
      FAILED(converter->Initialize(frame, GUID_WICPixelFormat32bppBGRA, WICBitmapDitherTypeNone, nullptr, 0.0,
                                   WICBitmapPaletteTypeCustom)))
    return {};
  UINT width = 0;
  UINT height = 0;
  if (FAILED(converter->GetSize(&width, &height)) || width == 0 || height == 0 ||
      std::uint64_t{width} * height > kLargestPixelCount)
    return {};
  // Blue, green, red, alpha in memory: 0xAARRGGBB read as a little-endian word.
  Picture picture{static_cast<int>(width), static_cast<int>(height), {}};
  picture.pixels.resize(std::size_t{width} * height);
  const UINT stride = width * static_cast<UINT>(sizeof(std::uint32_t));
  const auto bytes = static_cast<UINT>(picture.pixels.size() * sizeof(std::uint32_t));
  if (FAILED(converter->CopyPixels(nullptr, stride, bytes, reinterpret_cast<BYTE*>(picture.pixels.data())))) return {};
  return picture;
}

Picture first_frame(IWICImagingFactory& factory, IWICBitmapDecoder& decoder) {
  ComPtr<IWICBitmapFrameDecode> frame;
  if (FAILED(decoder.GetFrame(0, frame.put()))) return {};
  return frame_pixels(factory, frame.get());
}

// A number the GIF metadata holds under `name`; nothing when it is missing.
std::optional<unsigned> metadata_number(IWICMetadataQueryReader* reader, const wchar_t* name) {
  if (reader == nullptr) return std::nullopt;
  PROPVARIANT value;
  PropVariantInit(&value);
  std::optional<unsigned> number;
  if (SUCCEEDED(reader->GetMetadataByName(name, &value))) {
    if (value.vt == VT_UI1) number = value.bVal;
    if (value.vt == VT_UI2) number = value.uiVal;
  }
  PropVariantClear(&value);
  return number;
}

ComPtr<IWICMetadataQueryReader> metadata_of(IWICBitmapDecoder& decoder) {
  ComPtr<IWICMetadataQueryReader> reader;
  if (FAILED(decoder.GetMetadataQueryReader(reader.put()))) return {};
  return reader;
}

ComPtr<IWICMetadataQueryReader> metadata_of(IWICBitmapFrameDecode& frame) {
  ComPtr<IWICMetadataQueryReader> reader;
  if (FAILED(frame.GetMetadataQueryReader(reader.put()))) return {};
  return reader;
}

// What a frame leaves for the next one.
enum class Disposal { Keep, Clear, Restore };

Disposal disposal_of(std::optional<unsigned> code) {
  if (code == 2u) return Disposal::Clear;
  if (code == 3u) return Disposal::Restore;
  return Disposal::Keep;
}

// Lays the frame's opaque pixels on the picture at (left, top), cut to it.
void lay(Picture& canvas, const Picture& frame, int left, int top) {
  for (int y = 0; y < frame.height; ++y) {
    const int row = top + y;
    if (row < 0 || row >= canvas.height) continue;
    for (int x = 0; x < frame.width; ++x) {
      const int column = left + x;
      const std::uint32_t pixel = frame.pixel(x, y);
      if (column < 0 || column >= canvas.width || pixel >> 24 == 0) continue;
      canvas.pixels[static_cast<std::size_t>(row) * static_cast<std::size_t>(canvas.width) +
                    static_cast<std::size_t>(column)] = pixel;
    }
  }
}

void clear(Picture& canvas, int left, int top, int width, int height) {
  for (int y = std::max(top, 0); y < std::min(top + height, canvas.height); ++y) {
    const auto row = static_cast<std::size_t>(y) * static_cast<std::size_t>(canvas.width);
    for (int x = std::max(left, 0); x < std::min(left + width, canvas.width); ++x)
      canvas.pixels[row + static_cast<std::size_t>(x)] = 0;
  }
}

template <typename Fill>
Picture decode_stream(PictureFormat format, Fill fill) {
  // COM for the time of one decoding, on whatever thread asks. A thread that
  // has COM already, in either model, keeps it as it was.
  const ComApartment com(COINIT_MULTITHREADED);
  if (!com.usable()) return {};
  const ComPtr<IWICImagingFactory> factory = imaging_factory();
  ComPtr<IWICStream> stream;
  if (!factory || FAILED(factory->CreateStream(stream.put())) || FAILED(fill(*stream.get()))) return {};
  const ComPtr<IWICBitmapDecoder> decoder = decoder_for(*factory.get(), stream.get(), format);
  if (!decoder) return {};
  return first_frame(*factory.get(), *decoder.get());
}

Animation decode_animation(IWICImagingFactory& factory, IWICBitmapDecoder& decoder, std::size_t max_frames) {
  Animation animation;
  UINT count = 0;
  if (FAILED(decoder.GetFrameCount(&count)) || count == 0) return animation;
  const ComPtr<IWICMetadataQueryReader> screen = metadata_of(decoder);
  ComPtr<IWICBitmapFrameDecode> first;
  UINT first_width = 0;
  UINT first_height = 0;
  if (FAILED(decoder.GetFrame(0, first.put())) || FAILED(first->GetSize(&first_width, &first_height))) return animation;
  // The picture is the file's logical screen, or its first frame's size where it gives none.
  const unsigned width = metadata_number(screen.get(), L"/logscrdesc/Width").value_or(first_width);
  const unsigned height = metadata_number(screen.get(), L"/logscrdesc/Height").value_or(first_height);
  if (width == 0 || height == 0 || std::uint64_t{width} * height > kLargestPixelCount) return animation;
  Picture canvas{static_cast<int>(width), static_cast<int>(height),
                 std::vector<std::uint32_t>(std::size_t{width} * height, 0)};
  for (UINT index = 0; index < count && animation.frames.size() < max_frames; ++index) {
    ComPtr<IWICBitmapFrameDecode> frame;
    if (FAILED(decoder.GetFrame(index, frame.put()))) break;
    const Picture pixels = frame_pixels(factory, frame.get());
    if (pixels.empty()) break;
    const ComPtr<IWICMetadataQueryReader> metadata = metadata_of(*frame.get());
    const int left = static_cast<int>(metadata_number(metadata.get(), L"/imgdesc/Left").value_or(0));
    const int top = static_cast<int>(metadata_number(metadata.get(), L"/imgdesc/Top").value_or(0));
    if (index == 0) {
      // Hundredths of a second.
      if (const auto delay = metadata_number(metadata.get(), L"/grctlext/Delay"))
        animation.first_delay = std::chrono::milliseconds(*delay * 10);
    }
    const Picture before = canvas;
    lay(canvas, pixels, left, top);
    animation.frames.push_back(canvas);
    switch (disposal_of(metadata_number(metadata.get(), L"/grctlext/Disposal"))) {
      case Disposal::Keep: break;
      case Disposal::Clear: clear(canvas, left, top, pixels.width, pixels.height); break;
      case Disposal::Restore: canvas = before; break;
    }
  }
  return animation;
}

}  // namespace

Animation load_animation_file(const std::filesystem::path& path, std::size_t max_frames) {
  const ComApartment com(COINIT_MULTITHREADED);
  if (!com.usable()) return {};
  const ComPtr<IWICImagingFactory> factory = imaging_factory();
  ComPtr<IWICStream> stream;
  ComPtr<IWICBitmapDecoder> decoder;
  if (!factory || FAILED(factory->CreateStream(stream.put())) ||
      FAILED(stream->InitializeFromFilename(path.c_str(), GENERIC_READ)) ||
      FAILED(factory->CreateDecoder(GUID_ContainerFormatGif, nullptr, decoder.put())) ||
      FAILED(decoder->Initialize(stream.get(), WICDecodeMetadataCacheOnDemand)))
    return {};
  return decode_animation(*factory.get(), *decoder.get(), max_frames);
}

Picture decode_picture(std::span<const std::uint8_t> bytes, PictureFormat format) {
  if (bytes.empty() || bytes.size() > MAXDWORD) return {};
  return decode_stream(format, [&](IWICStream& stream) {
    // Only read from: the stream never writes to the memory it is given.
    return stream.InitializeFromMemory(const_cast<BYTE*>(bytes.data()), static_cast<DWORD>(bytes.size()));
  });
}

Picture load_picture_file(const std::filesystem::path& path, PictureFormat format) {
  return decode_stream(format,
                       [&](IWICStream& stream) { return stream.InitializeFromFilename(path.c_str(), GENERIC_READ); });
}

}  // namespace marvok::platform
