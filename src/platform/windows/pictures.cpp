// Picture decoding through the Windows Imaging Component: the first frame of
// a file or of bytes in memory, as unpremultiplied 32-bit pixels, so the
// alpha a format carries is kept for the caller to lay on what it likes.
#include "platform/pictures.h"

#include <objbase.h>
#include <wincodec.h>
#include <windows.h>

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

Picture first_frame(IWICImagingFactory& factory, IWICBitmapDecoder& decoder) {
  ComPtr<IWICBitmapFrameDecode> frame;
  ComPtr<IWICFormatConverter> converter;
  if (FAILED(decoder.GetFrame(0, frame.put())) || FAILED(factory.CreateFormatConverter(converter.put())) ||
      FAILED(converter->Initialize(frame.get(), GUID_WICPixelFormat32bppBGRA, WICBitmapDitherTypeNone, nullptr, 0.0,
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

}  // namespace

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
