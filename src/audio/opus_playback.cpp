#include "audio/opus_playback.h"

#include <array>
#include <string>

#include "audio/level_meter.h"
#include "platform/console.h"

namespace marvok {

const char* opus_error_line(int code) {
  switch (code) {
    case -1: return "Erreur : argument invalide\n";
    case -2: return "Erreur : myRingBuffer trop petit\n";
    case -3: return "Erreur interne Opus\n";
    case -4: return "Erreur : paquet Opus invalide/corrompu\n";
    case -5: return "Erreur : fonctionnalité non implémentée\n";
    case -6: return "Erreur : état du décodeur invalide\n";
    case -7: return "Erreur : allocation mémoire échouée\n";
    default: return nullptr;
  }
}

int decode_opus_packet(OpusSpeechDecoder& decoder, std::span<const std::uint8_t> packet, std::span<std::int16_t> area,
                       int capacity, LineRateLimit& error_lines) {
  if (!decoder.exists()) return -1;
  const int result = decoder.decode(packet, area.first(static_cast<std::size_t>(capacity) * 2));
  if (result >= 0) return result;
  const LineRateLimit::Admission admission = error_lines.admit(LineRateLimit::Clock::now());
  if (!admission.print) return result;
  std::string lines;
  if (admission.held_back > 0)
    lines = "(" + std::to_string(admission.held_back) + " erreurs de décodage Opus non affichées)\n";
  if (const char* line = opus_error_line(result)) {
    lines += line;
  } else {
    lines += "Erreur inconnue : " + std::to_string(result) + "\n";
  }
  platform::print_console_text(lines);
  return result;
}

void upsample_by_six(std::span<const std::int16_t> samples, std::vector<std::int16_t>& out) {
  out.resize(samples.size() * 6);
  if (samples.empty()) return;
  for (std::size_t i = 0; i + 1 < samples.size(); ++i) {
    const float from = samples[i], to = samples[i + 1];
    for (int j = 0; j < 6; ++j) {
      out[6 * i + static_cast<std::size_t>(j)] =
          static_cast<std::int16_t>(static_cast<float>(6 - j) / 6.0f * from + static_cast<float>(j) / 6.0f * to);
    }
  }
  std::fill(out.end() - 6, out.end(), samples.back());
}

int play_opus_packet(std::span<const std::uint8_t> packet, const OpusPlayback& playback) {
  std::array<std::int16_t, 2 * kMaxDecodedFrames> decoded{};
  const int frames = decode_opus_packet(playback.decoder, packet, decoded, kMaxDecodedFrames, playback.error_lines);
  if (frames <= 0) return frames;

  // Reused between packets of the receiving thread: nothing is allocated per packet.
  thread_local std::vector<std::int16_t> upsampled;
  thread_local std::vector<float> as_float;
  upsample_by_six(std::span<const std::int16_t>(decoded.data(), static_cast<std::size_t>(frames) * 2), upsampled);
  as_float.resize(upsampled.size());
  for (std::size_t i = 0; i < upsampled.size(); ++i) as_float[i] = static_cast<float>(upsampled[i]) * (1.0f / 32768.0f);
  playback.ring.write(as_float);

  measure_block_levels(std::span<const std::int16_t>(decoded.data(), static_cast<std::size_t>(frames) * 2),
                       MeterBars::Update, playback.meters);
  return frames;
}

}  // namespace marvok
