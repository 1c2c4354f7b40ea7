#pragma once

#include <httplib.h>

#include <memory>
#include <string>

#include "member_store.h"
#include "request_log.h"
#include "web_server.h"

namespace marvok::web_server::testing {

// A folder of its own under /tmp, removed with everything in it.
class TemporaryFolder {
 public:
  TemporaryFolder();
  TemporaryFolder(const TemporaryFolder&) = delete;
  TemporaryFolder& operator=(const TemporaryFolder&) = delete;
  ~TemporaryFolder();
  std::string path(const std::string& name) const { return folder_ + "/" + name; }

 private:
  std::string folder_;
};

// Whether the suite was asked to run on PostgreSQL (MARVOK_WEB_TEST_DATABASE=
// postgresql) rather than on SQLite files.
bool suite_runs_on_postgresql();
// A new, empty members' database on the suite's engine: a file in the
// folder, or a database of its own on the test program's PostgreSQL server.
std::string fresh_database(const TemporaryFolder& folder);

// The certificate authority and server certificate made at test time by the
// project's script, once per test process.
const TemporaryFolder& test_certificate();

// A client as the Marvok client is one: a new TLS connection per request,
// checking the server's certificate against the test authority.
std::unique_ptr<httplib::SSLClient> https_client(int port);

// The web service in the test process, on a free loopback port, with a
// database of its own. Its request log goes to a file the test may read.
class RunningWebService {
 public:
  // The options' database, certificate, key and port are the service's own.
  explicit RunningWebService(ServeOptions options = {});
  ~RunningWebService();

  httplib::Result get(const std::string& path) const;
  // With the content type the client labels its records with.
  httplib::Result post(const std::string& path, const std::string& body) const;

  MemberStore& store() { return *store_; }
  // What the service has logged so far.
  std::string log_text() const;
  const std::string& database() const { return database_; }
  // A file of the test's own beside the service.
  std::string file(const std::string& name) const { return folder_.path(name); }
  int port() const { return server_->port(); }

 private:
  TemporaryFolder folder_;
  std::string database_;
  std::unique_ptr<MemberStore> store_;
  std::FILE* log_file_ = nullptr;
  std::unique_ptr<RequestLog> log_;
  std::unique_ptr<WebServer> server_;
};

// A picture of the given size in the format ("PNG", "JPEG").
std::string picture_bytes(int width, int height, const char* format);
// The width and height of a picture, or 0 x 0 when it does not decode.
std::pair<int, int> picture_size(const std::string& bytes);

}  // namespace marvok::web_server::testing
