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
#include "platform/pulse_connection.h"

namespace marvok::platform {
namespace {

using namespace std::chrono_literals;

// Loads modules and moves the defaults for one test, undoing it all at the end.
class ServerChange {
 public:
  ~ServerChange() {
    set_default(pa_context_set_default_sink, "spk");
    set_default(pa_context_set_default_source, "headsetmic");
    for (const std::uint32_t module : modules_)
      run([&](pa_context* context) { return pa_context_unload_module(context, module, nullptr, nullptr); });
  }
  void load(const char* module, const std::string& arguments) {
    std::uint32_t index = PA_INVALID_INDEX;
    run([&](pa_context* context) {
      return pa_context_load_module(
          context, module, arguments.c_str(),
          [](pa_context*, std::uint32_t loaded, void* out) { *static_cast<std::uint32_t*>(out) = loaded; }, &index);
    });
    ASSERT_NE(index, PA_INVALID_INDEX) << arguments;
    modules_.insert(modules_.begin(), index);
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
  std::vector<std::uint32_t> modules_;
};

// What a call wrote to standard output.
template <typename Call>
std::string printed_by(Call call) {
  std::fflush(stdout);
  testing::internal::CaptureStdout();
  call();
  return testing::internal::GetCapturedStdout();
}

const std::string kLongNameText = "Studio Microphone With A Name Longer Than Thirty One";
const std::u16string kLongName(kLongNameText.begin(), kLongNameText.end());

TEST(AudioEndpointsTest, CaptureEndpointsAreTheInputsInCaptureOrder) {
  ServerChange change;
  change.load("module-remap-source",
              "master=spk.monitor source_name=studiomic source_properties='device.description=\"" + kLongNameText +
                  "\" device.icon_name=\"\"'");
  const struct {
    int index;
    int status;
    std::u16string name, icon;
  } cases[] = {
      {0, kEndpointOk, u"USB Headset Mic", u"audio-headset"},
      {1, kEndpointOk, kLongName, u"unchanged"},  // no icon: the path is left as it was
      {2, kEndpointFailed, u"unchanged", u"unchanged"},
      {-1, kEndpointFailed, u"unchanged", u"unchanged"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.index);
    DeviceDescription description{u"unchanged", 7, u"unchanged"};
    EXPECT_EQ(describe_capture_endpoint(c.index, description), c.status);
    EXPECT_EQ(description.name, c.name);
    EXPECT_EQ(description.icon_path, c.icon);
    EXPECT_EQ(description.icon_index, c.status == kEndpointOk ? 0 : 7);
  }
  EXPECT_EQ(list_input_devices(), (std::vector<std::u16string>{u"USB Headset Mic", kLongName.substr(0, 31)}));
  std::array<InputDeviceEntry, kInputDeviceSlots> table{};
  refresh_input_device_table(table, list_input_devices(), describe_capture_endpoint);
  EXPECT_EQ(table[1].endpoint_name, kLongName);

  EXPECT_EQ(default_capture_endpoint_index(), 0);
  change.set_default(pa_context_set_default_source, "studiomic");
  EXPECT_EQ(default_capture_endpoint_index(), 1);
  // A monitor can be the default, but is no input.
  change.set_default(pa_context_set_default_source, "spk.monitor");
  EXPECT_EQ(default_capture_endpoint_index(), std::nullopt);
}

TEST(AudioEndpointsTest, DefaultOutputGivesItsNameAndIconOrSaysThereIsNone) {
  ServerChange change;
  change.load("module-null-sink", "sink_name=bare sink_properties='device.description=Bare device.icon_name=\"\"'");
  const struct {
    const char* sink;
    int status;
    std::u16string name, icon;
    std::string printed;
  } cases[] = {
      // The server gives every output a generic icon unless told otherwise.
      {"spk", kEndpointOk, u"Speaker", u"audio-card", "Endpoint friendly name: Speaker\n"},
      {"bare", kEndpointNoIcon, u"Bare", u"unchanged",
       "Endpoint friendly name: Bare\nVirgule non trouv\xe9"
       "e dans la cha\xee"
       "ne.\n"},
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
    EXPECT_EQ(description.icon_index, 0);
  }
}

TEST(AudioEndpointsTest, NoServerMeansNothingFound) {
  const std::string server = std::getenv("PULSE_SERVER") ? std::getenv("PULSE_SERVER") : "";
  ::setenv("PULSE_SERVER", "unix:/nonexistent/pulse/native", 1);
  DeviceDescription description{u"unchanged", 7, u"unchanged"};
  EXPECT_EQ(describe_capture_endpoint(0, description), kEndpointFailed);
  EXPECT_EQ(printed_by([&] { EXPECT_EQ(describe_default_output_device(description), kEndpointFailed); }), "");
  EXPECT_EQ(description.name, u"unchanged");
  EXPECT_EQ(default_capture_endpoint_index(), std::nullopt);
  EXPECT_TRUE(list_input_devices().empty());
  if (server.empty())
    ::unsetenv("PULSE_SERVER");
  else
    ::setenv("PULSE_SERVER", server.c_str(), 1);
}

}  // namespace
}  // namespace marvok::platform
