#include "running_relay.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdlib>

namespace marvok::relay_server::testing {

RelayConfig test_config() {
  RelayConfig config;
  config.address = kLoopback;
  // Most tests send presence only as they join; this keeps their members
  // through slow sanitizer builds. Tests of forgetting set their own.
  config.client_timeout = std::chrono::seconds(3);
  // The suite runs once on one event loop and once on several.
  if (const char* threads = std::getenv("MARVOK_RELAY_TEST_THREADS"))
    config.threads = static_cast<int>(std::strtol(threads, nullptr, 10));
  return config;
}

RunningRelay::RunningRelay(RelayConfig config) {
  if (::pipe(command_pipe_) != 0) ADD_FAILURE() << "no pipe for operator commands";
  command_output_ = std::tmpfile();
  config.command_fd = command_pipe_[0];
  config.command_output = command_output_;
  server_ = std::make_unique<RelayServer>(config);
  std::string error;
  if (!server_->open(error)) {
    ADD_FAILURE() << "relay did not start: " << error;
    return;
  }
  thread_ = std::thread([this] { server_->run(); });
}

RunningRelay::~RunningRelay() {
  stop();
  for (const int fd : command_pipe_)
    if (fd >= 0) ::close(fd);
  if (command_output_ != nullptr) std::fclose(command_output_);
}

void RunningRelay::command(std::string_view line) {
  const std::string text = std::string(line) + "\n";
  ASSERT_EQ(::write(command_pipe_[1], text.data(), text.size()), static_cast<ssize_t>(text.size()));
}

void RunningRelay::stop() {
  if (!thread_.joinable()) return;
  server_->stop();
  thread_.join();
}

std::string RunningRelay::command_output() const {
  std::string text;
  std::rewind(command_output_);
  char chunk[256];
  while (std::fgets(chunk, sizeof chunk, command_output_) != nullptr) text += chunk;
  return text;
}

}  // namespace marvok::relay_server::testing
