#include "sapi_speaker.h"

#include <windows.h>
// After windows.h, which they need.
#include <objbase.h>
#include <sapi.h>

#include <array>
#include <cstdio>
#include <utility>

#include "platform/windows/com.h"
#include "platform/windows/wide_text.h"
#include "platform/worker_threads.h"

namespace marvok::talksrv {

namespace {

using platform::ComPtr;

std::string hex_code(HRESULT result) {
  std::array<char, 16> text{};
  std::snprintf(text.data(), text.size(), "0x%08lX", static_cast<unsigned long>(result));
  return text.data();
}

// French of France first, then that of Canada, Belgium and Switzerland: the
// engine names a voice's languages by hexadecimal language identifiers.
constexpr std::array<const wchar_t*, 4> kFrenchVoices = {L"Language=40C", L"Language=C0C", L"Language=80C",
                                                         L"Language=100C"};

// The first installed French voice; nothing when there is none or the
// voices cannot be listed.
ComPtr<ISpObjectToken> french_voice() {
  ComPtr<ISpObjectTokenCategory> voices;
  if (FAILED(CoCreateInstance(__uuidof(SpObjectTokenCategory), nullptr, CLSCTX_ALL, __uuidof(ISpObjectTokenCategory),
                              voices.put_void())) ||
      FAILED(voices->SetId(SPCAT_VOICES, FALSE)))
    return {};
  for (const wchar_t* language : kFrenchVoices) {
    ComPtr<IEnumSpObjectTokens> found;
    ComPtr<ISpObjectToken> voice;
    if (SUCCEEDED(voices->EnumTokens(language, nullptr, found.put())) && found &&
        found->Next(1, voice.put(), nullptr) == S_OK)
      return voice;
  }
  return {};
}

}  // namespace

SapiSpeaker::SapiSpeaker(Tell tell)
    : tell_(std::move(tell)), thread_([this](const std::stop_token& stop) { run(stop); }) {}

SapiSpeaker::~SapiSpeaker() {
  thread_.request_stop();
  wake_.notify_all();
}

void SapiSpeaker::say(std::string utf8_text) {
  {
    const std::lock_guard lock(mutex_);
    next_text_ = std::move(utf8_text);
  }
  wake_.notify_all();
}

void SapiSpeaker::run(const std::stop_token& stop) {
  // The engine is made and used on this thread only. Its calls do not wait for
  // the speech, so this thread needs no message loop of its own.
  const platform::ComApartment apartment(COINIT_MULTITHREADED);
  ComPtr<ISpVoice> voice;
  const HRESULT made = apartment.usable() ? CoCreateInstance(__uuidof(SpVoice), nullptr, CLSCTX_ALL, __uuidof(ISpVoice),
                                                             voice.put_void())
                                          : CO_E_NOTINITIALIZED;
  if (FAILED(made)) {
    tell_("talksrv: no speech engine (error " + hex_code(made) + "): texts are not spoken");
  } else if (const ComPtr<ISpObjectToken> french = french_voice(); !french || FAILED(voice->SetVoice(french.get()))) {
    tell_("talksrv: no French voice: texts are spoken in the default voice");
  }

  // Said once for the run: an engine that refuses one text refuses them all,
  // and a line per help text would drown the other messages. Each text is
  // still tried, in case the engine comes back.
  bool refusal_told = false;
  while (true) {
    std::string text;
    {
      std::unique_lock lock(mutex_);
      if (!wait_unless_stopped(wake_, lock, stop, [this] { return next_text_.has_value(); })) break;
      text = std::move(*next_text_);
      next_text_.reset();
    }
    if (!voice) continue;
    const std::wstring wide = platform::to_wide(text);
    // Asynchronous, so the next text is taken at once; the purge drops what
    // is still being said. No text at all is the engine's way to only purge.
    const HRESULT spoken = text.empty()
                               ? voice->Speak(nullptr, SPF_ASYNC | SPF_PURGEBEFORESPEAK, nullptr)
                               : voice->Speak(wide.c_str(), SPF_ASYNC | SPF_PURGEBEFORESPEAK | SPF_IS_NOT_XML, nullptr);
    if (FAILED(spoken) && !refusal_told) {
      refusal_told = true;
      tell_("talksrv: the speech engine refuses to speak (error " + hex_code(spoken) +
            "): texts are not heard; push-to-talk still works");
    }
  }
  if (voice) voice->Speak(nullptr, SPF_PURGEBEFORESPEAK, nullptr);
}

}  // namespace marvok::talksrv
