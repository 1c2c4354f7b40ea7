#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace marvok::web_server {

// A request as the routes see it, whatever server read it off the wire.
struct WebRequest {
  std::string method;                                      // HEAD is answered as GET, without the body
  std::string path;                                        // percent-decoded, without the query
  std::vector<std::pair<std::string, std::string>> query;  // decoded, in order
  std::string body;
  std::string remote_address;  // numeric, as the connection came from

  // The first value of a query parameter; empty when it is absent.
  std::string_view parameter(std::string_view name) const {
    for (const auto& [key, value] : query) {
      if (key == name) return value;
    }
    return {};
  }
};

struct WebAnswer {
  int status = 404;
  std::string body;
  std::string content_type;
};

}  // namespace marvok::web_server
