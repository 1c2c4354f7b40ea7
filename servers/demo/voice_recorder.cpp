#include "voice_recorder.h"

#include <array>
#include <cerrno>
#include <cstring>
#include <limits>

#include "state/little_endian.h"
#include "state/voice_format.h"

namespace marvok::demo {

namespace {

constexpr std::size_t kHeaderBytes = 44;
// The RIFF size counts everything after its own field, header included.
constexpr std::uint32_t kMostDataBytes = std::numeric_limits<std::uint32_t>::max() - (kHeaderBytes - 8);

}  // namespace

std::unique_ptr<VoiceRecorder> VoiceRecorder::open(const std::string& path, std::string& error) {
  std::FILE* file = std::fopen(path.c_str(), "wb");
  if (file == nullptr) {
    error = path + ": cannot be created: " + std::strerror(errno);
    return nullptr;
  }
  std::unique_ptr<VoiceRecorder> recorder(new VoiceRecorder(file));
  recorder->write_header();
  return recorder;
}

VoiceRecorder::~VoiceRecorder() { write_header(); }

void VoiceRecorder::add_block(std::span<const std::uint8_t, relay::kVoiceBlockSize> block) {
  if (kMostDataBytes - data_bytes_ < block.size()) return;
  if (std::fwrite(block.data(), 1, block.size(), file_.get()) == block.size())
    data_bytes_ += static_cast<std::uint32_t>(block.size());
}

// Written once with no data at the start, then again over itself with the
// final sizes.
void VoiceRecorder::write_header() {
  std::array<std::uint8_t, kHeaderBytes> header{};
  const auto put_tag = [&header](std::size_t at, const char* tag) { std::memcpy(header.data() + at, tag, 4); };
  put_tag(0, "RIFF");
  write_u32_le(header, 4, static_cast<std::uint32_t>(kHeaderBytes - 8) + data_bytes_);
  put_tag(8, "WAVE");
  put_tag(12, "fmt ");
  write_u32_le(header, 16, 16);
  write_u16_le(header, 20, 1);  // integer PCM
  write_u16_le(header, 22, kVoiceChannels);
  write_u32_le(header, 24, kVoiceFramesPerSecond);
  write_u32_le(header, 28, kVoiceFramesPerSecond * kVoiceFrameBytes);
  write_u16_le(header, 32, kVoiceFrameBytes);
  write_u16_le(header, 34, 16);
  put_tag(36, "data");
  write_u32_le(header, 40, data_bytes_);
  std::fseek(file_.get(), 0, SEEK_SET);
  std::fwrite(header.data(), 1, header.size(), file_.get());
  std::fseek(file_.get(), 0, SEEK_END);
  std::fflush(file_.get());
}

}  // namespace marvok::demo
