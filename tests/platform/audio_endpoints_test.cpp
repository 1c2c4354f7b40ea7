// Against the test run's PulseAudio server: the default input "USB Headset
// Mic" is its one input; the outputs "Speaker" and "MicFeed" have monitors.
#include "platform/audio_endpoints.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <array>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "audio/input_device_table.h"
#include "platform/linux/pulse_connection.h"

namespace marvok::platform {
namespace {

using namespace std::chrono_literals;

// Loads a module and moves the defaults for one test, undoing it all at the end.
class ServerChange {
 public:
  ServerChange(const char* module, const std::string& arguments) {
    run([&](pa_context* context) {
      return pa_context_load_module(
          context, module, arguments.c_str(),
          [](pa_context*, std::uint32_t loaded, void* out) { *static_cast<std::uint32_t*>(out) = loaded; }, &module_);
    });
    EXPECT_NE(module_, PA_INVALID_INDEX) << arguments;
  }
  ~ServerChange() {
    set_default(pa_context_set_default_sink, "spk");
    set_default(pa_context_set_default_source, "headsetmic");
    run([this](pa_context* context) { return pa_context_unload_module(context, module_, nullptr, nullptr); });
  }
  using Setter = pa_operation* (*)(pa_context*, const char*, pa_context_success_cb_t, void*);
  void set_default(Setter setter, const char* name) {
    run([&](pa_context* context) { return setter(context, name, nullptr, nullptr); });
  }

 private:
  template <typename Start>
  void run(Start start) {
    ASSERT_TRUE(connection_);
    const PulseConnection::Lock lock(*connection_);
    EXPECT_TRUE(connection_->finish(PulseOperation(start(connection_->context())), 2s));
  }

  int error_code_ = 0;
  std::unique_ptr<PulseConnection> connection_ = PulseConnection::open(error_code_);
  std::uint32_t module_ = PA_INVALID_INDEX;
};

// What a call wrote to standard output.
template <typename Call>
std::string printed_by(Call call) {
  std::fflush(stdout);
  testing::internal::CaptureStdout();
  call();
  return testing::internal::GetCapturedStdout();
}

TEST(AudioEndpointsTest, CaptureEndpointsAreTheInputsInCaptureOrder) {
  const std::string long_name = "Studio Microphone With A Name Longer Than Thirty One";
  const std::u16string long_name16(long_name.begin(), long_name.end());
  ServerChange change("module-remap-source",
                      "master=spk.monitor source_name=studiomic source_properties='device.description=\"" + long_name +
                          "\" device.icon_name=\"\"'");
  const struct {
    int index;
    int status;
    std::u16string name, icon;
  } cases[] = {
      {0, kEndpointOk, u"USB Headset Mic", u"audio-headset"},
      {1, kEndpointOk, long_name16, u"unchanged"},  // no icon: the path is left as it was
      {2, kEndpointFailed, u"unchanged", u"unchanged"},
      {-1, kEndpointFailed, u"unchanged", u"unchanged"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.index);
    DeviceDescription description{u"unchanged", 7, u"unchanged"};
    EXPECT_EQ(describe_capture_endpoint(c.index, description), c.status);
    EXPECT_EQ(description.name, c.name);
    EXPECT_EQ(description.icon_path, c.icon);
  }
  // Capture knows the long name cut short, and the table still finds its endpoint.
  EXPECT_EQ(list_input_devices(), (std::vector<std::u16string>{u"USB Headset Mic", long_name16.substr(0, 31)}));
  std::array<InputDeviceEntry, kInputDeviceSlots> table{};
  refresh_input_device_table(table, list_input_devices(), describe_capture_endpoint);
  EXPECT_EQ(table[1].endpoint_name, long_name16);

  EXPECT_EQ(default_capture_endpoint_index(), 0);
  change.set_default(pa_context_set_default_source, "studiomic");
  EXPECT_EQ(default_capture_endpoint_index(), 1);
  // A monitor can be the default, but is no input.
  change.set_default(pa_context_set_default_source, "spk.monitor");
  EXPECT_EQ(default_capture_endpoint_index(), std::nullopt);
}

TEST(AudioEndpointsTest, DefaultOutputGivesItsNameAndIconOrSaysThereIsNone) {
  ServerChange change("module-null-sink",
                      "sink_name=bare sink_properties='device.description=Barré device.icon_name=\"\"'");
  const struct {
    const char* sink;
    int status;
    std::u16string name, icon;
    std::string printed;
  } cases[] = {
      // The server gives every output a generic icon unless told otherwise.
      {"spk", kEndpointOk, u"Speaker", u"audio-card", "Endpoint friendly name: Speaker\n"},
      // Names are printed in the console's UTF-8.
      {"bare", kEndpointNoIcon, u"Barré", u"unchanged",
       "Endpoint friendly name: Barré\nVirgule non trouvée dans la chaîne.\n"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.sink);
    change.set_default(pa_context_set_default_sink, c.sink);
    DeviceDescription description{u"unchanged", 7, u""};
    int status = 0;
    EXPECT_EQ(printed_by([&] { status = describe_default_output_device(description); }), c.printed);
    EXPECT_EQ(status, c.status);
    EXPECT_EQ(description.name, c.name);
    EXPECT_EQ(description.icon_path, c.icon);
  }
}

TEST(AudioEndpointsTest, NoServerMeansNothingFound) {
  const char* const server = std::getenv("PULSE_SERVER");
  const std::string kept = server ? server : "";
  ::setenv("PULSE_SERVER", "unix:/nonexistent/pulse/native", 1);
  DeviceDescription description;
  EXPECT_EQ(describe_capture_endpoint(0, description), kEndpointFailed);
  EXPECT_EQ(printed_by([&] { EXPECT_EQ(describe_default_output_device(description), kEndpointFailed); }), "");
  EXPECT_EQ(default_capture_endpoint_index(), std::nullopt);
  EXPECT_TRUE(list_input_devices().empty());
  server ? ::setenv("PULSE_SERVER", kept.c_str(), 1) : ::unsetenv("PULSE_SERVER");
}

}  // namespace
}  // namespace marvok::platform
