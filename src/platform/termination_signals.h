#pragma once

// The process's requests to end (SIGINT, SIGTERM, SIGHUP), held so that the
// program can close in its own order: each request becomes a byte to read on
// a descriptor that the program's event loop watches.
namespace marvok::platform {

// Holds requests to end from now on, instead of letting them end the process
// on the spot. Call first thing in main: start-up takes a while before it can
// close in order. Calling again changes nothing.
void catch_termination_signals();

// The descriptor that becomes readable while a request is held, also for one
// held since before it was asked for; -1 when the requests could not be
// caught. Catches them if that was not done yet.
int termination_request_descriptor();

// Takes one held request, so that the descriptor is readable again only for
// the next one. Call when the descriptor is readable.
void take_termination_request();

}  // namespace marvok::platform
