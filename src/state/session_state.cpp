#include "state/session_state.h"

namespace marvok {

LightsState::LightsState() { reset(); }

void LightsState::reset() {
  for (LedCell* cell : {&TstLed, &HttpsLed, &TxRxLed, &UdpLed, &SvcLed, &TcpLed}) set_led(*cell, LedColor::Blue);
  for (LedCell& cell : ErrorLevelLeds) set_led(cell, LedColor::DarkBlue);
  for (LedCell& cell : NetworkRing) set_led(cell, LedColor::Blue);
}

void DeviceState::reset_input_devices() {
  InputDeviceTable.fill(InputDeviceEntry{});
  SelectedInputDevice.store(-1, std::memory_order_relaxed);
}

}  // namespace marvok
