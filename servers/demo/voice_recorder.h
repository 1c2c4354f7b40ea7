#pragma once

#include <cstdint>
#include <cstdio>
#include <memory>
#include <span>
#include <string>

#include "relay/datagrams.h"

namespace marvok::demo {

// A wave file of 8 kHz 16-bit stereo sound that voice blocks are added to as
// they arrive. Its header is completed when the recorder is destroyed, so the
// file is whole after any orderly exit.
class VoiceRecorder {
 public:
  // Nothing, with the reason in `error`, when the file cannot be created.
  static std::unique_ptr<VoiceRecorder> open(const std::string& path, std::string& error);
  ~VoiceRecorder();
  VoiceRecorder(const VoiceRecorder&) = delete;
  VoiceRecorder& operator=(const VoiceRecorder&) = delete;

  // From one thread at a time. Blocks past what a wave file can count are dropped.
  void add_block(std::span<const std::uint8_t, relay::kVoiceBlockSize> block);

 private:
  struct FileCloser {
    void operator()(std::FILE* file) const { std::fclose(file); }
  };
  explicit VoiceRecorder(std::FILE* file) : file_(file) {}
  void write_header();

  std::unique_ptr<std::FILE, FileCloser> file_;
  std::uint32_t data_bytes_ = 0;
};

}  // namespace marvok::demo
