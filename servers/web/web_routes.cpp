#include "web_routes.h"

#include <httplib.h>

#include <charconv>

#include "accessory_icons.h"
#include "card_documents.h"
#include "command_line.h"
#include "identification_reply.h"
#include "member_store.h"
#include "pictures.h"
#include "site_pages.h"
#include "wire_records.h"

namespace marvok::web_server {

namespace {

constexpr int kOk = 200;
constexpr int kBadRequest = 400;
constexpr int kNotFound = 404;
constexpr int kTooLarge = 413;
constexpr int kNotAPicture = 415;
constexpr int kFull = 503;

constexpr char kUploadPath[] = "/echange/pc_img_share_post.php";
constexpr char kParametersPath[] = "/users/params.php";
// A parameters body larger than this is not read to its end.
constexpr std::size_t kLongestParametersBody = 1024;

constexpr char kBinary[] = "application/octet-stream";
constexpr char kXml[] = "text/xml; charset=UTF-8";
constexpr char kHtml[] = "text/html; charset=UTF-8";
constexpr char kPng[] = "image/png";

void answer(httplib::Response& response, int status) { response.status = status; }

void answer(httplib::Response& response, std::string_view body, const char* content_type) {
  response.status = kOk;
  response.set_content(body.data(), body.size(), content_type);
}

std::optional<int> parse_channel(std::string_view text) {
  int channel = -1;
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), channel);
  if (error != std::errc{} || end != text.data() + text.size() || channel < 0 || channel >= kChannelCount)
    return std::nullopt;
  return channel;
}

std::optional<std::uint64_t> declared_length(const httplib::Request& request) {
  if (!request.has_header("Content-Length")) return std::nullopt;
  const std::string text = request.get_header_value("Content-Length");
  std::uint64_t length = 0;
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), length);
  if (error != std::errc{} || end != text.data() + text.size()) return std::nullopt;
  return length;
}

// Reads the body up to `limit` bytes; false when it is longer or the read
// failed. A body declared longer than the server's payload limit is read and
// dropped by the library itself, so the client still gets the answer.
bool read_body(const httplib::Request& request, httplib::Response& response,
               const httplib::ContentReader& content_reader, std::size_t limit, std::string& body, bool& too_long) {
  const std::optional<std::uint64_t> declared = declared_length(request);
  too_long = declared && *declared > limit;
  if (declared && !too_long) body.reserve(static_cast<std::size_t>(*declared));
  const bool complete = content_reader([&](const char* data, std::size_t length) {
    if (body.size() + length > limit) {
      too_long = true;
      return false;
    }
    body.append(data, length);
    return true;
  });
  // What is left of the body is not read: the connection cannot serve again.
  if (!complete) response.set_header("Connection", "close");
  return complete && !too_long;
}

void identify(MemberStore& store, const httplib::Request& request, httplib::Response& response) {
  const std::string machine = request.get_param_value("I");
  if (!is_machine_identifier(machine)) return answer(response, kBadRequest);
  const std::optional<Member> member = store.identify(machine);
  if (!member) return answer(response, kFull);
  const IdentificationReply reply = identification_reply(member->number, member->name);
  answer(response, std::string_view(reply.data(), reply.size()), kBinary);
}

void card(MemberStore& store, const httplib::Request& request, httplib::Response& response) {
  const std::optional<int> number = parse_member_number(request.matches[1].str());
  const std::optional<Member> member = number ? store.find(*number) : std::nullopt;
  if (!member) return answer(response, kNotFound);
  answer(response, client_document(*member), kXml);
}

void parameters(MemberStore& store, const httplib::Request& request, httplib::Response& response) {
  const std::optional<int> number = parse_member_number(request.matches[1].str());
  const std::optional<Member> member = number ? store.find(*number) : std::nullopt;
  if (!member || !member->background) return answer(response, kNotFound);
  answer(response, params_document(*member->background), kXml);
}

void member_picture(MemberStore& store, const httplib::Request& request, httplib::Response& response) {
  const std::string size = request.get_param_value("N");
  if (size != "1" && size != "2") return answer(response, kBadRequest);
  const std::optional<int> number = parse_member_number(request.get_param_value("F"));
  const std::optional<std::string> png =
      number ? store.picture(*number, size == "1" ? PictureSize::Small : PictureSize::Large) : std::nullopt;
  if (!png) return answer(response, kNotFound);
  answer(response, *png, kPng);
}

void shared_picture(MemberStore& store, const httplib::Request& request, httplib::Response& response) {
  const std::optional<int> channel = parse_channel(request.get_param_value("F"));
  if (!channel) return answer(response, kBadRequest);
  const std::optional<SharedPicture> picture = store.shared_picture(*channel);
  if (!picture) return answer(response, kNotFound);
  answer(response, picture->data, picture->content_type.c_str());
}

void share_picture(MemberStore& store, const httplib::Request& request, httplib::Response& response,
                   const httplib::ContentReader& content_reader) {
  bool too_long = false;
  std::string record;
  if (!read_body(request, response, content_reader, kUploadRecordBytes, record, too_long))
    return answer(response, too_long ? kTooLarge : kBadRequest);
  const std::optional<SharedUpload> upload = read_upload_record(record);
  if (!upload) return answer(response, kBadRequest);
  const std::optional<DecodedPicture> decoded = decode_picture(upload->data);
  if (!decoded) return answer(response, kNotAPicture);
  store.set_shared_picture(upload->channel,
                           SharedPicture{std::string(upload->name), decoded->content_type, std::string(upload->data)});
  answer(response, kOk);
}

void choose_background(MemberStore& store, const httplib::Request& request, httplib::Response& response,
                       const httplib::ContentReader& content_reader) {
  bool too_long = false;
  std::string body;
  if (!read_body(request, response, content_reader, kLongestParametersBody, body, too_long))
    return answer(response, kBadRequest);
  const std::optional<BackgroundChoice> choice = read_parameters_record(body);
  if (!choice) return answer(response, kBadRequest);
  if (!store.set_background(choice->member_number, choice->background)) return answer(response, kNotFound);
  answer(response, kOk);
}

}  // namespace

void add_web_routes(httplib::Server& server, MemberStore& store, const AccessoryIcons& icons) {
  // The client labels its binary records multipart/form-data without a
  // boundary, which the server library would refuse before any handler
  // runs: on these two paths the label is dropped. The request object is
  // the library's own, non-const one, handed here as const.
  server.set_pre_routing_handler([](const httplib::Request& request, httplib::Response&) {
    if (request.method == "POST" && (request.path == kUploadPath || request.path == kParametersPath))
      const_cast<httplib::Request&>(request).headers.erase("Content-Type");
    return httplib::Server::HandlerResponse::Unhandled;
  });

  using Request = httplib::Request;
  using Response = httplib::Response;
  using Reader = httplib::ContentReader;
  server.Get(R"(/Tr8mQe2xVk\.php)", [&store](const Request& q, Response& r) { identify(store, q, r); });
  server.Get(R"(/users/([^/]+)/client\.xml)", [&store](const Request& q, Response& r) { card(store, q, r); });
  server.Get(R"(/users/([^/]+)/params\.xml)", [&store](const Request& q, Response& r) { parameters(store, q, r); });
  server.Get(R"(/users/images\.php)", [&store](const Request& q, Response& r) { member_picture(store, q, r); });
  server.Get(R"(/echange/pc_img_share_get\.php)",
             [&store](const Request& q, Response& r) { shared_picture(store, q, r); });
  server.Post(R"(/echange/pc_img_share_post\.php)",
              [&store](const Request& q, Response& r, const Reader& c) { share_picture(store, q, r, c); });
  server.Post(R"(/users/params\.php)",
              [&store](const Request& q, Response& r, const Reader& c) { choose_background(store, q, r, c); });
  server.Get(R"(/usb/([^/]+))", [&icons](const Request& q, Response& r) {
    const std::optional<std::string_view> icon = icons.for_file(q.matches[1].str());
    if (!icon) return answer(r, kNotFound);
    answer(r, *icon, kPng);
  });

  server.Get("/FR-Marvok\\.php", [](const Request&, Response& r) { answer(r, documentation_page(), kHtml); });
  for (const char* path : {"/", "/telechargement\\.php", "/installer\\.php"})
    server.Get(path, [](const Request&, Response& r) { answer(r, installer_page(), kHtml); });
}

}  // namespace marvok::web_server
