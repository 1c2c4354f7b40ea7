#include "pairing_memory.h"

#include <charconv>
#include <cstdio>

namespace marvok::relay_server {

namespace {

std::optional<platform::Endpoint> parse_endpoint(std::string_view text) {
  const auto colon = text.rfind(':');
  if (colon == std::string_view::npos) return std::nullopt;
  const auto address = platform::parse_ipv4(text.substr(0, colon));
  const std::string_view port_text = text.substr(colon + 1);
  unsigned port = 0;
  const auto [end, error] = std::from_chars(port_text.data(), port_text.data() + port_text.size(), port);
  if (!address || error != std::errc{} || end != port_text.data() + port_text.size() || port == 0 || port > 0xFFFF)
    return std::nullopt;
  return platform::Endpoint{*address, static_cast<std::uint16_t>(port)};
}

}  // namespace

PairingMemory::PairingMemory(std::size_t capacity) : capacity_(capacity), by_voice_(capacity) {
  pairings_.reserve(capacity);
}

void PairingMemory::load(const std::string& path) {
  clear();
  std::FILE* file = std::fopen(path.c_str(), "r");
  if (file == nullptr) return;
  char line[128];
  while (pairings_.size() < capacity_ && std::fgets(line, sizeof line, file) != nullptr) {
    std::string_view text(line);
    while (!text.empty() && (text.back() == '\n' || text.back() == '\r')) text.remove_suffix(1);
    if (const auto pairing = parse_line(text)) add(*pairing);
  }
  std::fclose(file);
}

void PairingMemory::add(const Pairing& pairing) {
  if (pairings_.size() >= capacity_ || by_voice_.find(pairing.voice) != EndpointIndex::kNone) return;
  by_voice_.insert(pairing.voice, static_cast<std::uint16_t>(pairings_.size()));
  pairings_.push_back(pairing);
  taken_.push_back(false);
  ++unclaimed_;
}

std::optional<platform::Endpoint> PairingMemory::take(const platform::Endpoint& voice) {
  const std::uint16_t at = by_voice_.find(voice);
  if (at == EndpointIndex::kNone) return std::nullopt;
  by_voice_.erase(voice);
  taken_[at] = true;
  --unclaimed_;
  return pairings_[at].control;
}

void PairingMemory::clear() {
  for (const Pairing& pairing : pairings_) by_voice_.erase(pairing.voice);
  pairings_.clear();
  taken_.clear();
  unclaimed_ = 0;
}

std::vector<Pairing> PairingMemory::remaining() const {
  std::vector<Pairing> left;
  for (std::size_t i = 0; i < pairings_.size(); ++i)
    if (!taken_[i]) left.push_back(pairings_[i]);
  return left;
}

std::optional<Pairing> PairingMemory::parse_line(std::string_view line) {
  const auto space = line.find(' ');
  if (space == std::string_view::npos) return std::nullopt;
  const auto voice = parse_endpoint(line.substr(0, space));
  const auto control = parse_endpoint(line.substr(space + 1));
  if (!voice || !control) return std::nullopt;
  return Pairing{*voice, *control};
}

bool PairingMemory::save(const std::string& path, std::span<const Pairing> pairings) {
  const std::string draft = path + ".new";
  std::FILE* file = std::fopen(draft.c_str(), "w");
  if (file == nullptr) return false;
  bool written = true;
  for (const Pairing& pairing : pairings) {
    const std::string voice = platform::format_endpoint(pairing.voice);
    const std::string control = platform::format_endpoint(pairing.control);
    written = written && std::fprintf(file, "%s %s\n", voice.c_str(), control.c_str()) > 0;
  }
  written = std::fclose(file) == 0 && written;
  return written && std::rename(draft.c_str(), path.c_str()) == 0;
}

}  // namespace marvok::relay_server
