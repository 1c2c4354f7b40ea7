#pragma once

#include <cstddef>
#include <string_view>

#include "web_request.h"

namespace marvok::web_server {

class EnrolmentLimit;
class MemberStore;
class RequestLog;
struct AccessoryIcons;

// What the routes answer from.
struct Routes {
  MemberStore& store;
  const AccessoryIcons& icons;
  EnrolmentLimit& enrolments;
  RequestLog& log;
};

// How long a request's body may be, and the status that answers a longer one
// without reading it further.
struct BodyRule {
  std::size_t limit = 0;
  int status_when_longer = 413;
};
BodyRule body_rule(std::string_view method, std::string_view path);

// Every request the client makes, and the product's web pages; 404 for
// anything else.
WebAnswer answer_request(const WebRequest& request, const Routes& routes);

}  // namespace marvok::web_server
