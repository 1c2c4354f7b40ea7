#include "command_line.h"

#include <gtest/gtest.h>

#include <vector>

namespace marvok::demo {
namespace {

CommandLine parse(std::vector<std::string_view> arguments) { return parse_command_line(arguments); }

TEST(DemoCommandLine, ReadsEveryOptionInBothForms) {
  const CommandLine parsed =
      parse({"--machine", "1234", "--relay=10.0.0.2", "--web-host", "web.example", "--web-port=9443", "--ca-file",
             "ca.pem", "--pause", "2.5", "--sound=tone.wav", "--record", "heard.wav", "--count", "3", "--channel=10"});
  ASSERT_EQ(parsed.action, CommandLine::Action::Run) << parsed.error;
  const DemoOptions& options = parsed.options;
  EXPECT_EQ(options.machine_id, "1234");
  EXPECT_EQ(options.relay_address, 0x0A000002u);
  EXPECT_EQ(options.relay_text, "10.0.0.2");
  EXPECT_EQ(options.web_host, "web.example");
  EXPECT_EQ(options.web_port, 9443);
  EXPECT_EQ(options.ca_file, "ca.pem");
  EXPECT_EQ(options.pause_seconds, 2.5);
  EXPECT_EQ(options.sound_file, "tone.wav");
  EXPECT_EQ(options.record_file, "heard.wav");
  EXPECT_EQ(options.count, 3);
  EXPECT_EQ(options.channel, 10);
  EXPECT_EQ(parse({}).options.channel, 0);
  EXPECT_EQ(parse({"--help"}).action, CommandLine::Action::Help);
}

TEST(DemoCommandLine, RefusesWhatItCannotUse) {
  const std::vector<std::vector<std::string_view>> refused = {
      {"--machine", ""},
      {"--machine", "12a4"},
      {"--machine", "12345678901234567890"},
      {"--relay", "localhost"},
      {"--relay", "256.0.0.1"},
      {"--web-host="},
      {"--web-port", "0"},
      {"--web-port", "65536"},
      {"--pause", "-1"},
      {"--pause", "soon"},
      {"--pause", "1e9"},
      {"--pause", "nan"},
      {"--pause", "inf"},
      {"--count", "-1"},
      {"--count", "2x"},
      {"--channel", "11"},
      {"--channel", "-1"},
      {"--channel", "3.0"},
      {"--channel="},
      {"--sound="},
      {"--record"},
      {"--verbose"},
      {"tone.wav"},
  };
  for (const auto& arguments : refused) {
    const CommandLine parsed = parse(arguments);
    EXPECT_EQ(parsed.action, CommandLine::Action::Error) << "accepted " << arguments.front();
    EXPECT_FALSE(parsed.error.empty());
  }
}

}  // namespace
}  // namespace marvok::demo
