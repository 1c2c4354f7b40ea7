// Master levels of the default speaker and microphone through their endpoint
// volume, the scalar the system's own volume slider shows.
#include "platform/master_volume.h"

#include <windows.h>
// Windows headers after windows.h.
#include <endpointvolume.h>
#include <mmdeviceapi.h>

#include <algorithm>
#include <array>
#include <cmath>

#include "platform/windows/core_audio.h"

namespace marvok::platform {

namespace {

using core_audio::EndpointId;

EDataFlow flow_of(AudioEndpoint endpoint) { return endpoint == AudioEndpoint::DefaultRender ? eRender : eCapture; }

// The volume of the default endpoint in the console role, and that endpoint's
// identifier when asked for.
ComPtr<IAudioEndpointVolume> open_volume(IMMDeviceEnumerator& enumerator, AudioEndpoint endpoint, EndpointId& id,
                                         HRESULT& status) {
  ComPtr<IMMDevice> device;
  ComPtr<IAudioEndpointVolume> volume;
  status = enumerator.GetDefaultAudioEndpoint(flow_of(endpoint), eConsole, device.put());
  if (SUCCEEDED(status)) status = device->GetId(id.put());
  if (SUCCEEDED(status))
    status = device->Activate(__uuidof(IAudioEndpointVolume), CLSCTX_ALL, nullptr, volume.put_void());
  if (FAILED(status)) volume.reset();
  return volume;
}

ComPtr<IAudioEndpointVolume> open_volume(AudioEndpoint endpoint) {
  HRESULT status = S_OK;
  const ComPtr<IMMDeviceEnumerator> enumerator = core_audio::open_enumerator(status);
  if (!enumerator) return {};
  EndpointId id;
  return open_volume(*enumerator.get(), endpoint, id, status);
}

std::optional<float> level_of(IAudioEndpointVolume& volume) {
  float level = 0.0f;
  if (FAILED(volume.GetMasterVolumeLevelScalar(&level))) return std::nullopt;
  return level;
}

// Keeps the multithreaded apartment alive, so that the objects made in it
// outlive the scope of each read, whichever thread reads.
class MtaUsage {
 public:
  MtaUsage() {
    if (FAILED(CoIncrementMTAUsage(&cookie_))) cookie_ = nullptr;
  }
  ~MtaUsage() {
    if (cookie_) CoDecrementMTAUsage(cookie_);
  }
  MtaUsage(const MtaUsage&) = delete;
  MtaUsage& operator=(const MtaUsage&) = delete;

 private:
  CO_MTA_USAGE_COOKIE cookie_ = nullptr;
};

}  // namespace

std::optional<float> get_master_level(AudioEndpoint endpoint) {
  const ComApartment com(COINIT_APARTMENTTHREADED);
  const ComPtr<IAudioEndpointVolume> volume = open_volume(endpoint);
  if (!volume) return std::nullopt;
  return level_of(*volume.get());
}

bool set_master_level(AudioEndpoint endpoint, float level) {
  if (std::isnan(level)) return false;
  const ComApartment com(COINIT_APARTMENTTHREADED);
  const ComPtr<IAudioEndpointVolume> volume = open_volume(endpoint);
  return volume && SUCCEEDED(volume->SetMasterVolumeLevelScalar(std::clamp(level, 0.0f, 1.0f), nullptr));
}

struct MasterLevelReader::Connection {
  // Released last: the objects below live in the apartment it keeps.
  MtaUsage apartment;
  ComPtr<IMMDeviceEnumerator> enumerator;
  struct Opened {
    EndpointId id;
    ComPtr<IAudioEndpointVolume> volume;
  };
  std::array<Opened, 2> opened;
};

MasterLevelReader::MasterLevelReader() = default;
MasterLevelReader::~MasterLevelReader() = default;

std::optional<float> MasterLevelReader::read(AudioEndpoint endpoint) {
  const ComApartment com(COINIT_MULTITHREADED);
  if (!connection_) connection_ = std::make_unique<Connection>();
  Connection& connection = *connection_;
  HRESULT status = S_OK;
  if (!connection.enumerator) connection.enumerator = core_audio::open_enumerator(status);
  if (!connection.enumerator) return std::nullopt;

  // The default endpoint can change between reads: its volume is opened
  // again when it does.
  Connection::Opened& opened = connection.opened[endpoint == AudioEndpoint::DefaultRender ? 0 : 1];
  ComPtr<IMMDevice> device;
  EndpointId id;
  status = connection.enumerator->GetDefaultAudioEndpoint(flow_of(endpoint), eConsole, device.put());
  if (SUCCEEDED(status)) status = device->GetId(id.put());
  if (FAILED(status)) {
    opened.volume.reset();
    // A missing device is no reason to start again; a failing service is.
    if (status != E_NOTFOUND) connection.enumerator.reset();
    return std::nullopt;
  }
  if (!opened.volume || !(opened.id == id)) {
    opened.volume = open_volume(*connection.enumerator.get(), endpoint, opened.id, status);
    if (!opened.volume) return std::nullopt;
  }
  const std::optional<float> level = level_of(*opened.volume.get());
  if (!level) opened.volume.reset();
  return level;
}

}  // namespace marvok::platform
