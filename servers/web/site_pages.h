#pragma once

#include <string>

namespace marvok::web_server {

// The product's web site: the client opens the documentation page from its
// window and the installer page when the relay says the client is too old.
std::string documentation_page();
std::string installer_page();

}  // namespace marvok::web_server
