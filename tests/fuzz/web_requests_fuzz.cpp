// Feeds requests to the web service as it is set up to serve, through the
// HTTP library's request handling on an in-memory connection and a member
// store in memory. Every answer must be one HTTP response, whole, and what
// the client reads from it must read: a 64-byte identification, a card whose
// every field the client takes, a PNG picture within its size.
//
// The input is a series of up to four requests, each:
//   byte 0     the method (GET, POST, HEAD, PUT, OPTIONS, DELETE)
//   byte 1     the route: which path the parameter goes into, or the raw path
//   byte 2     the length of the parameter
//   byte 3     the length of the query
//   bytes 4-5  the length of the body, little-endian
//   then the parameter, the query and the body, cut where the input ends.
// The upload route sends the body as the start of a whole upload record.
#include <httplib.h>

#include <QByteArray>
#include <QImage>
#include <algorithm>
#include <array>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <optional>
#include <span>
#include <string>
#include <string_view>

#include "accessory_icons.h"
#include "member_store.h"
#include "request_log.h"
#include "web/identification_reply.h"
#include "web/member_card.h"
#include "web/parameters_record.h"
#include "web_server.h"
#include "wire_records.h"

namespace {

using namespace marvok::web_server;

constexpr std::array<std::string_view, 6> kMethods = {"GET", "POST", "HEAD", "PUT", "OPTIONS", "DELETE"};

enum class Route { Identify, Card, Params, MemberPicture, SharedPicture, Upload, Parameters, Icon, Page, Raw };
constexpr int kRouteCount = 10;

std::string path_of(Route route, std::string_view parameter) {
  const std::string value(parameter);
  switch (route) {
    case Route::Identify: return "/Tr8mQe2xVk.php";
    case Route::Card: return "/users/" + value + "/client.xml";
    case Route::Params: return "/users/" + value + "/params.xml";
    case Route::MemberPicture: return "/users/images.php";
    case Route::SharedPicture: return "/echange/pc_img_share_get.php";
    case Route::Upload: return "/echange/pc_img_share_post.php";
    case Route::Parameters: return "/users/params.php";
    case Route::Icon: return "/usb/" + value;
    case Route::Page: return value.empty() ? "/" : "/FR-Marvok.php";
    case Route::Raw: return value;
  }
  return value;
}

// An upload record the size the client always sends, the body at its start
// and its last 12 bytes taken from the body's last 12.
std::string upload_record(std::string_view body) {
  std::string record(kUploadRecordBytes, '\0');
  const std::size_t data = std::min(body.size(), kUploadDataBytes);
  std::copy_n(body.begin(), data, record.begin());
  if (body.size() >= 12) std::copy(body.end() - 12, body.end(), record.end() - 12);
  return record;
}

// The client's connection, in memory: the request to read, the answer written.
class MemoryStream : public httplib::Stream {
 public:
  explicit MemoryStream(std::string request) : request_(std::move(request)) {}

  bool is_readable() const override { return true; }
  bool is_writable() const override { return true; }
  ssize_t read(char* ptr, std::size_t size) override {
    const std::size_t count = std::min(size, request_.size() - read_);
    std::copy_n(request_.data() + read_, count, ptr);
    read_ += count;
    return static_cast<ssize_t>(count);
  }
  ssize_t write(const char* ptr, std::size_t size) override {
    answer_.append(ptr, size);
    return static_cast<ssize_t>(size);
  }
  void get_remote_ip_and_port(std::string& ip, int& port) const override {
    ip = "127.0.0.1";
    port = 50000;
  }
  void get_local_ip_and_port(std::string& ip, int& port) const override {
    ip = "127.0.0.1";
    port = 8443;
  }
  socket_t socket() const override { return INVALID_SOCKET; }

  const std::string& answer() const { return answer_; }

 private:
  std::string request_;
  std::size_t read_ = 0;
  std::string answer_;
};

// The library's own handling of one request on a connection, without a listening socket.
class MemoryServer : public httplib::Server {
 public:
  std::string serve(std::string request) {
    MemoryStream stream(std::move(request));
    bool closed = false;
    process_request(stream, true, closed, [](httplib::Request&) {});
    return stream.answer();
  }
};

struct Answer {
  int status = 0;
  std::string content_type;
  std::string body;
};

std::optional<std::string_view> header_value(std::string_view headers, std::string_view name) {
  for (std::size_t at = 0; at < headers.size();) {
    const std::size_t end = headers.find("\r\n", at);
    const std::string_view line = headers.substr(at, end - at);
    if (line.size() > name.size() + 1 && line.substr(0, name.size()) == name && line[name.size()] == ':')
      return line.substr(name.size() + 2);
    at = end + 2;
  }
  return std::nullopt;
}

// One HTTP response, with a 100 Continue before it when the request asked;
// its body exactly as long as it says.
Answer read_answer(std::string_view bytes, bool head) {
  constexpr std::string_view kContinue = "HTTP/1.1 100 Continue\r\n\r\n";
  if (bytes.starts_with(kContinue)) bytes.remove_prefix(kContinue.size());
  if (!bytes.starts_with("HTTP/1.1 ") || bytes.size() < 13) __builtin_trap();
  Answer answer;
  for (std::size_t i = 9; i < 12; ++i) {
    if (bytes[i] < '0' || bytes[i] > '9') __builtin_trap();
    answer.status = answer.status * 10 + (bytes[i] - '0');
  }
  const std::size_t head_end = bytes.find("\r\n\r\n");
  if (head_end == std::string_view::npos) __builtin_trap();
  const std::string_view headers = bytes.substr(bytes.find("\r\n") + 2, head_end + 2 - (bytes.find("\r\n") + 2));
  for (std::size_t at = 0; at < headers.size();) {
    const std::size_t end = headers.find("\r\n", at);
    const std::string_view line = headers.substr(at, end - at);
    if (line.find(": ") == std::string_view::npos || line.find_first_of("\r\n") != std::string_view::npos)
      __builtin_trap();
    at = end + 2;
  }
  answer.body = std::string(bytes.substr(head_end + 4));
  const auto length = header_value(headers, "Content-Length");
  if (length) {
    const std::size_t declared = std::stoul(std::string(*length));
    if (!head && declared != answer.body.size()) __builtin_trap();
  } else if (!answer.body.empty()) {
    __builtin_trap();
  }
  if (head && !answer.body.empty()) __builtin_trap();
  if (const auto type = header_value(headers, "Content-Type")) answer.content_type = *type;
  return answer;
}

bool is_png_within(std::string_view body, int width, int height) {
  const QImage picture =
      QImage::fromData(QByteArray::fromRawData(body.data(), static_cast<qsizetype>(body.size())), "PNG");
  return !picture.isNull() && picture.width() <= width && picture.height() <= height;
}

// What the client reads from a successful answer must read.
void check_read_by_client(Route route, const Answer& answer) {
  if (answer.status != 200) return;
  switch (route) {
    case Route::Identify: {
      const std::span bytes(reinterpret_cast<const std::uint8_t*>(answer.body.data()), answer.body.size());
      const auto identification = marvok::web::read_identification_reply(bytes);
      if (answer.body.size() != 64 || !identification || identification->member_id == 0) __builtin_trap();
      break;
    }
    case Route::Card: {
      // Every field fits the client's: filled over a marked card, none is left as it was.
      marvok::web::MemberCard card;
      for (auto* field : {card.first_name.data(), card.nickname.data(), card.city.data(), card.phrase.data(),
                          card.day.data(), card.email.data(), card.folder.data()})
        field[0] = '#';
      marvok::web::fill_member_card(card, answer.body);
      for (const auto* field : {card.first_name.data(), card.nickname.data(), card.city.data(), card.phrase.data(),
                                card.day.data(), card.email.data(), card.folder.data()})
        if (field[0] == '#') __builtin_trap();
      break;
    }
    case Route::Params:
      if (!marvok::web::read_background_colour(answer.body)) __builtin_trap();
      break;
    case Route::MemberPicture:
      if (answer.content_type != "image/png" || !is_png_within(answer.body, 150, 190)) __builtin_trap();
      break;
    case Route::Icon:
      if (answer.content_type != "image/png" || !is_png_within(answer.body, 32, 32)) __builtin_trap();
      break;
    default: break;
  }
}

std::string request_text(std::string_view method, const std::string& target, std::string_view body,
                         std::string_view content_type) {
  std::string request = std::string(method) + " " + target + " HTTP/1.1\r\nHost: localhost\r\n";
  if (!content_type.empty()) request += "Content-Type: " + std::string(content_type) + "\r\n";
  if (method != "GET" && method != "HEAD") request += "Content-Length: " + std::to_string(body.size()) + "\r\n";
  request += "\r\n";
  if (method != "GET" && method != "HEAD") request += body;
  return request;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  static const AccessoryIcons icons = draw_accessory_icons();
  static std::FILE* const null_file = std::fopen("/dev/null", "w");
  MemberStore store(":memory:");
  RequestLog log(null_file);
  MemoryServer server;
  prepare_web_server(server, store, log, icons);

  std::string_view input(reinterpret_cast<const char*>(data), size);
  for (int request = 0; request < 4 && input.size() >= 6; ++request) {
    const auto byte = [&](std::size_t i) { return static_cast<std::uint8_t>(input[i]); };
    const std::string_view method = kMethods[byte(0) % kMethods.size()];
    const auto route = static_cast<Route>(byte(1) % kRouteCount);
    std::size_t lengths[3] = {byte(2), byte(3), std::size_t{byte(4)} | std::size_t{byte(5)} << 8};
    input.remove_prefix(6);
    std::string_view parts[3];
    for (std::size_t i = 0; i < 3; ++i) {
      parts[i] = input.substr(0, lengths[i]);
      input.remove_prefix(parts[i].size());
    }
    const auto& [parameter, query, body] = parts;

    std::string target = path_of(route, parameter);
    if (!query.empty()) target += "?" + std::string(query);
    // The client labels its records this way, with no boundary.
    const bool record = route == Route::Upload || route == Route::Parameters;
    const std::string sent_body = route == Route::Upload && method == "POST" ? upload_record(body) : std::string(body);
    const std::string answer_bytes =
        server.serve(request_text(method, target, sent_body, record ? "multipart/form-data" : ""));
    const Answer answer = read_answer(answer_bytes, method == "HEAD");
    if (answer.status == 500) __builtin_trap();
    if (method == "GET") check_read_by_client(route, answer);
  }
  return 0;
}
