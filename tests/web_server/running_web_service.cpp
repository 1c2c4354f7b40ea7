#include "running_web_service.h"

#include <gtest/gtest.h>

#include <QBuffer>
#include <QImage>
#include <atomic>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string_view>

#include "support/postgres_server.h"

namespace marvok::web_server::testing {

TemporaryFolder::TemporaryFolder() {
  char pattern[] = "/tmp/marvok-web-test-XXXXXX";
  if (::mkdtemp(pattern) == nullptr) throw std::runtime_error("no temporary folder");
  folder_ = pattern;
}

TemporaryFolder::~TemporaryFolder() {
  std::error_code ignored;
  std::filesystem::remove_all(folder_, ignored);
}

const TemporaryFolder& test_certificate() {
  static const TemporaryFolder folder;
  static const bool made = [] {
    const std::string command = std::string(MARVOK_WEB_CERTIFICATE_SCRIPT) + " " + folder.path("tls");
    return std::system(command.c_str()) == 0;
  }();
  if (!made) throw std::runtime_error("the certificate script failed");
  return folder;
}

std::unique_ptr<httplib::SSLClient> https_client(int port) {
  auto client = std::make_unique<httplib::SSLClient>("localhost", port);
  client->set_ca_cert_path(test_certificate().path("tls/ca.pem"));
  client->enable_server_certificate_verification(true);
  client->set_read_timeout(std::chrono::seconds(20));
  return client;
}

bool suite_runs_on_postgresql() {
  const char* engine = std::getenv("MARVOK_WEB_TEST_DATABASE");
  return engine != nullptr && std::string_view(engine) == "postgresql";
}

std::string fresh_database(const TemporaryFolder& folder) {
  if (!suite_runs_on_postgresql()) return folder.path("members.sqlite");
  static std::atomic<int> made = 0;
  const std::string name = "members_" + std::to_string(++made);
  marvok::testing::shared_postgres_server().create_database(name);
  return marvok::testing::shared_postgres_server().url_of(name);
}

RunningWebService::RunningWebService(ServeOptions options) : database_(fresh_database(folder_)) {
  store_ = std::make_unique<MemberStore>(database_);
  log_file_ = std::fopen(folder_.path("requests.log").c_str(), "w");
  log_ = std::make_unique<RequestLog>(log_file_);
  server_ = std::make_unique<WebServer>(*store_, *log_);
  options.database = database_;
  options.certificate = test_certificate().path("tls/server.pem");
  options.key = test_certificate().path("tls/server.key");
  options.port = 0;
  std::string error;
  if (!server_->start(options, error)) throw std::runtime_error(error);
}

RunningWebService::~RunningWebService() {
  server_.reset();
  log_.reset();
  std::fclose(log_file_);
}

std::string RunningWebService::log_text() const {
  std::fflush(log_file_);
  std::ifstream file(folder_.path("requests.log"));
  return {std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>()};
}

httplib::Result RunningWebService::get(const std::string& path) const { return https_client(port())->Get(path); }

httplib::Result RunningWebService::post(const std::string& path, const std::string& body) const {
  return https_client(port())->Post(path, body, "multipart/form-data");
}

std::string picture_bytes(int width, int height, const char* format) {
  QImage image(width, height, QImage::Format_RGB32);
  image.fill(QColor(200, 40, 40));
  QByteArray bytes;
  QBuffer buffer(&bytes);
  buffer.open(QIODevice::WriteOnly);
  image.save(&buffer, format);
  return bytes.toStdString();
}

std::pair<int, int> picture_size(const std::string& bytes) {
  const QImage image = QImage::fromData(QByteArray::fromStdString(bytes));
  return {image.width(), image.height()};
}

}  // namespace marvok::web_server::testing
