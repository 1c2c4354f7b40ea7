// Feeds requests to the web service's routes, as its server hands them over
// once read, with a member store in memory. No request may fail the service,
// and what the client reads from an answer must read: a 64-byte
// identification, a card whose every field the client takes, a PNG picture
// within its size.
//
// The input is a series of up to four requests, each:
//   byte 0     the method (GET, POST, HEAD, PUT, OPTIONS, DELETE)
//   byte 1     the route: which path the parameter goes into, or the raw path
//   byte 2     the length of the parameter
//   byte 3     the length of the query
//   bytes 4-5  the length of the body, little-endian
//   then the parameter, the query and the body, cut where the input ends.
// The upload route sends the body as the start of a whole upload record.
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
#include <utility>
#include <vector>

#include "accessory_icons.h"
#include "enrolment_limit.h"
#include "member_store.h"
#include "request_log.h"
#include "web/identification_reply.h"
#include "web/member_card.h"
#include "web/parameters_record.h"
#include "web_routes.h"
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

// The query as the server decodes it: pairs split at '&' and the first '='.
std::vector<std::pair<std::string, std::string>> query_of(std::string_view text) {
  std::vector<std::pair<std::string, std::string>> query;
  while (!text.empty()) {
    const std::string_view pair = text.substr(0, text.find('&'));
    text.remove_prefix(std::min(text.size(), pair.size() + 1));
    const std::size_t equals = pair.find('=');
    query.emplace_back(pair.substr(0, equals), equals == std::string_view::npos ? "" : pair.substr(equals + 1));
  }
  return query;
}

bool is_png_within(std::string_view body, int width, int height) {
  const QImage picture =
      QImage::fromData(QByteArray::fromRawData(body.data(), static_cast<qsizetype>(body.size())), "PNG");
  return !picture.isNull() && picture.width() <= width && picture.height() <= height;
}

// What the client reads from a successful answer must read.
void check_read_by_client(Route route, const WebAnswer& answer) {
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

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  static const AccessoryIcons icons = draw_accessory_icons();
  static std::FILE* const null_file = std::fopen("/dev/null", "w");
  MemberStore store(":memory:");
  RequestLog log(null_file);
  EnrolmentLimit enrolments(store.pool(), 3, false);
  const Routes routes{store, icons, enrolments, log};

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

    WebRequest sent;
    sent.method = method;
    sent.path = path_of(route, parameter);
    sent.query = query_of(query);
    sent.body = route == Route::Upload && method == "POST" ? upload_record(body) : std::string(body);
    sent.remote_address = "127.0.0.1";
    // The server answers a body past its limit itself, without the routes.
    if (sent.body.size() > body_rule(sent.method, sent.path).limit) continue;
    const WebAnswer answered = answer_request(sent, routes);
    if (answered.status < 200 || answered.status > 599 || answered.status == 500) __builtin_trap();
    if (method == "GET") check_read_by_client(route, answered);
  }
  return 0;
}
