#include "platform/termination_signals.h"

#include <sys/socket.h>
#include <unistd.h>

#include <csignal>
#include <initializer_list>

namespace marvok::platform {

namespace {

int signal_pipe[2] = {-1, -1};

void forward_signal(int) {
  const char byte = 1;
  [[maybe_unused]] const ssize_t written = ::write(signal_pipe[1], &byte, 1);
}

}  // namespace

void catch_termination_signals() {
  // One pair for the life of the process: the signal handler may write at any time.
  if (signal_pipe[0] >= 0 || ::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, signal_pipe) != 0) return;
  struct sigaction action {};
  action.sa_handler = forward_signal;
  sigemptyset(&action.sa_mask);
  action.sa_flags = SA_RESTART;
  for (int signal_number : {SIGINT, SIGTERM, SIGHUP}) ::sigaction(signal_number, &action, nullptr);
}

int termination_request_descriptor() {
  catch_termination_signals();
  return signal_pipe[0];
}

void take_termination_request() {
  if (signal_pipe[0] < 0) return;
  char byte = 0;
  [[maybe_unused]] const ssize_t got = ::read(signal_pipe[0], &byte, 1);
}

}  // namespace marvok::platform
