#pragma once

#include <string>
#include <vector>

namespace marvok::bench {

enum class Connection { NewPerRequest, KeptAlive };

struct Load {
  long requests = 0;  // answered 200
  long failures = 0;
  double seconds = 0;
  // Of the requests answered, in seconds.
  double median = 0;
  double p99 = 0;
  double slowest = 0;
};

// GETs the path over HTTPS again and again for that long from several client
// threads; thread i asks the service on ports[i % ports.size()]. The server's
// certificate is checked against the authority in `ca`, as the client does.
Load https_load(const std::vector<int>& ports, const std::string& ca, Connection connection, int threads,
                double seconds, const std::string& path = "/users/1/client.xml");

}  // namespace marvok::bench
