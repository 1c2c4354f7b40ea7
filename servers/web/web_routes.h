#pragma once

namespace httplib {
class Server;
}

namespace marvok::web_server {

class MemberStore;
struct AccessoryIcons;

// Every request the client makes, and the product's web pages; anything
// else is left to the server's 404.
void add_web_routes(httplib::Server& server, MemberStore& store, const AccessoryIcons& icons);

}  // namespace marvok::web_server
