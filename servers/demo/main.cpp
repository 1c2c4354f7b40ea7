#include <cstdio>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "command_line.h"
#include "demo_member.h"
#include "sentence_source.h"
#include "sound_file_source.h"
#include "stop_signals.h"
#include "usage.h"
#include "voice_recorder.h"
#include "web/web_client.h"

namespace {

using namespace std::chrono_literals;
using marvok::demo::CommandLine;
using marvok::demo::DemoMember;
using marvok::demo::DemoOptions;
using marvok::demo::Identification;
using marvok::demo::StopSignals;

constexpr int kExitCannotStart = 1;
constexpr auto kRetryPeriod = 5s;
// Long enough for the others' clients to list the newcomer before it speaks.
constexpr auto kFirstUtteranceDelay = 3s;

// One line for the run script, seen at once even through a pipe.
void report(const std::string& line) {
  std::fputs((line + "\n").c_str(), stdout);
  std::fflush(stdout);
}

std::unique_ptr<marvok::demo::UtteranceSource> open_source(const DemoOptions& options, std::string& error) {
  if (!options.sound_file.empty()) return marvok::demo::SoundFileSource::open(options.sound_file, error);
  return marvok::demo::SentenceSource::open(error);
}

// Asks until the web service knows the member; false when asked to end first.
bool identify(DemoMember& member, const DemoOptions& options, StopSignals& signals) {
  marvok::web::WebClient web({options.web_host, options.web_port, options.ca_file}, member.https_light());
  for (;;) {
    std::string problem;
    if (member.identify(web, problem) == Identification::Identified) return true;
    std::fprintf(stderr, "marvok-demo: the web service at https://%s:%u %s; trying again in 5 s\n",
                 options.web_host.c_str(), static_cast<unsigned>(options.web_port), problem.c_str());
    if (signals.wait_for(kRetryPeriod)) return false;
  }
}

}  // namespace

int main(int argc, char** argv) {
  const std::vector<std::string_view> arguments(argv + 1, argv + argc);
  const CommandLine command_line = marvok::demo::parse_command_line(arguments);
  if (command_line.action == CommandLine::Action::Help)
    return marvok::command_line::print_usage(marvok::demo::usage_text());
  if (command_line.action == CommandLine::Action::Error) {
    return marvok::command_line::refuse_arguments("marvok-demo", command_line.error, marvok::demo::usage_text());
  }
  const DemoOptions& options = command_line.options;

  StopSignals signals;
  std::string error;
  const auto source = open_source(options, error);
  std::unique_ptr<marvok::demo::VoiceRecorder> recorder;
  if (source && !options.record_file.empty()) recorder = marvok::demo::VoiceRecorder::open(options.record_file, error);
  if (!source || (!options.record_file.empty() && !recorder)) {
    std::fprintf(stderr, "marvok-demo: %s\n", error.c_str());
    return kExitCannotStart;
  }

  DemoMember member(options.machine_id);
  if (!identify(member, options, signals)) return 0;
  member.join(options.relay_address, options.channel, recorder.get());
  report("marvok-demo: member " + std::to_string(member.member_id()) + " \"" + member.member_name() + "\" (machine " +
         member.machine_id() + ") on channel " + std::to_string(options.channel) + " via relay " + options.relay_text);

  if (signals.wait_for(kFirstUtteranceDelay)) return 0;
  const auto pace = [&signals](std::chrono::steady_clock::time_point at) { return !signals.wait_until(at); };
  for (long spoken = 0; options.count == 0 || spoken < options.count; ++spoken) {
    if (spoken > 0 && signals.wait_for(std::chrono::duration_cast<std::chrono::steady_clock::duration>(
                          std::chrono::duration<double>(options.pause_seconds))))
      return 0;
    const std::optional<marvok::demo::Utterance> utterance = source->next(error);
    if (!utterance) {
      std::fprintf(stderr, "marvok-demo: %s\n", error.c_str());
      continue;
    }
    char seconds[32];
    std::snprintf(seconds, sizeof seconds, "%.1f", utterance->seconds());
    report("marvok-demo: speaking \"" + utterance->label + "\" (" + seconds + " s)");
    if (!member.speak(*utterance, pace)) return 0;
  }
  return 0;
}
