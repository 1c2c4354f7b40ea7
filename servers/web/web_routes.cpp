#include "web_routes.h"

#include <charconv>

#include "accessory_icons.h"
#include "card_documents.h"
#include "command_line.h"
#include "enrolment_limit.h"
#include "identification_reply.h"
#include "member_store.h"
#include "pictures.h"
#include "request_log.h"
#include "site_pages.h"
#include "wire_records.h"

namespace marvok::web_server {

namespace {

constexpr int kOk = 200;
constexpr int kBadRequest = 400;
constexpr int kNotFound = 404;
constexpr int kTooLarge = 413;
constexpr int kNotAPicture = 415;
constexpr int kTooManyEnrolments = 429;
constexpr int kFull = 503;

constexpr char kUploadPath[] = "/echange/pc_img_share_post.php";
constexpr char kParametersPath[] = "/users/params.php";
// Bodies larger than these are not read to their end.
constexpr std::size_t kLongestParametersBody = 1024;
constexpr std::size_t kLongestOtherBody = 1024;

constexpr char kBinary[] = "application/octet-stream";
constexpr char kXml[] = "text/xml; charset=UTF-8";
constexpr char kHtml[] = "text/html; charset=UTF-8";
constexpr char kPng[] = "image/png";

WebAnswer answer(int status) { return WebAnswer{status, {}, {}}; }

WebAnswer answer(std::string_view body, const char* content_type) {
  return WebAnswer{kOk, std::string(body), content_type};
}

std::optional<int> parse_channel(std::string_view text) {
  int channel = -1;
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), channel);
  if (error != std::errc{} || end != text.data() + text.size() || channel < 0 || channel >= kChannelCount)
    return std::nullopt;
  return channel;
}

// The part of `path` between `prefix` and `suffix`, when it is one non-empty path segment.
std::optional<std::string_view> segment_between(std::string_view path, std::string_view prefix,
                                                std::string_view suffix) {
  if (path.size() <= prefix.size() + suffix.size() || !path.starts_with(prefix) || !path.ends_with(suffix))
    return std::nullopt;
  const std::string_view segment = path.substr(prefix.size(), path.size() - prefix.size() - suffix.size());
  if (segment.find('/') != std::string_view::npos) return std::nullopt;
  return segment;
}

WebAnswer identify(const Routes& routes, const WebRequest& request) {
  const std::string machine(request.parameter("I"));
  if (!is_machine_identifier(machine)) return answer(kBadRequest);
  std::optional<Member> member = routes.store.sign_in(machine);
  if (!member) {
    // A refusal the client takes as final for this run, not as a failure to retry soon.
    if (!routes.enrolments.allow(request.remote_address)) {
      routes.log.refusal("marvok-web: no new machine enrolled for " + request.remote_address +
                         ": its enrolments for this hour are used up");
      return answer(kTooManyEnrolments);
    }
    member = routes.store.enrol(machine);
  }
  if (!member) {
    routes.log.refusal("marvok-web: machine " + machine +
                       " not enrolled: every member number is taken (marvok-web member forget frees those of "
                       "machines long unseen)");
    return answer(kFull);
  }
  const IdentificationReply reply = identification_reply(member->number, member->name);
  return answer(std::string_view(reply.data(), reply.size()), kBinary);
}

WebAnswer card(MemberStore& store, std::string_view number_text) {
  const std::optional<int> number = parse_member_number(std::string(number_text));
  const std::optional<Member> member = number ? store.find(*number) : std::nullopt;
  if (!member) return answer(kNotFound);
  return answer(client_document(*member), kXml);
}

WebAnswer parameters(MemberStore& store, std::string_view number_text) {
  const std::optional<int> number = parse_member_number(std::string(number_text));
  const std::optional<Member> member = number ? store.find(*number) : std::nullopt;
  if (!member || !member->background) return answer(kNotFound);
  return answer(params_document(*member->background), kXml);
}

WebAnswer member_picture(MemberStore& store, const WebRequest& request) {
  const std::string_view size = request.parameter("N");
  if (size != "1" && size != "2") return answer(kBadRequest);
  const std::optional<int> number = parse_member_number(std::string(request.parameter("F")));
  const std::optional<std::string> png =
      number ? store.picture(*number, size == "1" ? PictureSize::Small : PictureSize::Large) : std::nullopt;
  if (!png) return answer(kNotFound);
  return answer(*png, kPng);
}

WebAnswer shared_picture(MemberStore& store, const WebRequest& request) {
  const std::optional<int> channel = parse_channel(request.parameter("F"));
  if (!channel) return answer(kBadRequest);
  const std::optional<SharedPicture> picture = store.shared_picture(*channel);
  if (!picture) return answer(kNotFound);
  return answer(picture->data, picture->content_type.c_str());
}

WebAnswer share_picture(MemberStore& store, const WebRequest& request) {
  const std::optional<SharedUpload> upload = read_upload_record(request.body);
  if (!upload) return answer(kBadRequest);
  const std::optional<DecodedPicture> decoded = decode_picture(upload->data);
  if (!decoded) return answer(kNotAPicture);
  store.set_shared_picture(upload->channel,
                           SharedPicture{std::string(upload->name), decoded->content_type, std::string(upload->data)});
  return answer(kOk);
}

WebAnswer choose_background(MemberStore& store, const WebRequest& request) {
  const std::optional<BackgroundChoice> choice = read_parameters_record(request.body);
  if (!choice) return answer(kBadRequest);
  if (!store.set_background(choice->member_number, choice->background)) return answer(kNotFound);
  return answer(kOk);
}

WebAnswer answer_get(const WebRequest& request, const Routes& routes) {
  MemberStore& store = routes.store;
  const std::string_view path = request.path;
  if (path == "/Tr8mQe2xVk.php") return identify(routes, request);
  if (const auto number = segment_between(path, "/users/", "/client.xml")) return card(store, *number);
  if (const auto number = segment_between(path, "/users/", "/params.xml")) return parameters(store, *number);
  if (path == "/users/images.php") return member_picture(store, request);
  if (path == "/echange/pc_img_share_get.php") return shared_picture(store, request);
  if (const auto file = segment_between(path, "/usb/", "")) {
    const std::optional<std::string_view> icon = routes.icons.for_file(std::string(*file));
    if (!icon) return answer(kNotFound);
    return answer(*icon, kPng);
  }
  if (path == "/FR-Marvok.php") return answer(documentation_page(), kHtml);
  if (path == "/" || path == "/telechargement.php" || path == "/installer.php") return answer(installer_page(), kHtml);
  return answer(kNotFound);
}

}  // namespace

BodyRule body_rule(std::string_view method, std::string_view path) {
  if (method == "POST" && path == kUploadPath) return {kUploadRecordBytes, kTooLarge};
  // A parameters record is 20 bytes; the client never sends more.
  if (method == "POST" && path == kParametersPath) return {kLongestParametersBody, kBadRequest};
  return {kLongestOtherBody, kTooLarge};
}

WebAnswer answer_request(const WebRequest& request, const Routes& routes) {
  if (request.method == "GET" || request.method == "HEAD") return answer_get(request, routes);
  if (request.method == "POST" && request.path == kUploadPath) return share_picture(routes.store, request);
  if (request.method == "POST" && request.path == kParametersPath) return choose_background(routes.store, request);
  return answer(kNotFound);
}

}  // namespace marvok::web_server
