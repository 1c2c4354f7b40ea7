#include <gtest/gtest.h>

#include <fstream>
#include <functional>

#include "member_commands.h"
#include "running_web_service.h"
#include "wire_records.h"

namespace marvok::web_server::testing {
namespace {

constexpr std::string_view kPngSignature = "\x89PNG\r\n\x1A\n";

std::string upload_record(const std::string& data, std::int32_t size, const std::string& name, std::int32_t name_length,
                          std::int32_t channel) {
  std::string record(kUploadRecordBytes, '\0');
  record.replace(0, data.size(), data);
  record.replace(kUploadDataBytes, name.size(), name);
  std::size_t at = kUploadDataBytes + kUploadNameBytes;
  for (const std::int32_t value : {size, name_length, channel}) {
    for (int shift = 0; shift < 32; shift += 8)
      record[at++] = static_cast<char>(static_cast<std::uint32_t>(value) >> shift);
  }
  return record;
}

std::string upload_of(const std::string& data, std::int32_t channel) {
  return upload_record(data, static_cast<std::int32_t>(data.size()), "photo \xE9t\xE9.jpg", 13, channel);
}

int set_picture_file(RunningWebService& service, int number, const std::string& bytes) {
  const std::string file = service.file("picture");
  std::ofstream(file, std::ios::binary) << bytes;
  MemberEdit edit;
  edit.number = number;
  edit.picture_file = file;
  std::FILE* quiet = std::tmpfile();
  const int code = run_member_set(service.database(), edit, quiet, quiet);
  std::fclose(quiet);
  return code;
}

TEST(MemberPicture, IsScaledToBothSizesAsPngAndFollowsAChangedPicture) {
  struct Case {
    int width, height;
    std::pair<int, int> large, small;
  };
  const Case cases[] = {
      {400, 200, {150, 75}, {66, 33}},
      {100, 400, {47, 190}, {20, 83}},
      {15, 19, {150, 190}, {65, 83}},  // small ones are enlarged
  };
  RunningWebService service;
  service.store().create(5);
  for (const Case& test : cases) {
    ASSERT_EQ(set_picture_file(service, 5, picture_bytes(test.width, test.height, "JPEG")), 0);
    for (const auto& [path, expected] :
         {std::pair{"/users/images.php?N=2&F=5", test.large}, std::pair{"/users/images.php?F=5&N=1", test.small}}) {
      const httplib::Result reply = service.get(path);
      ASSERT_TRUE(reply);
      ASSERT_EQ(reply->status, 200);
      EXPECT_TRUE(reply->body.starts_with(kPngSignature));
      EXPECT_EQ(reply->get_header_value("Content-Type"), "image/png");
      EXPECT_EQ(picture_size(reply->body), expected) << path << " from " << test.width << "x" << test.height;
    }
  }
}

TEST(MemberPicture, NewMembersHaveAPictureAndAFileThatIsNoPictureIsRefused) {
  RunningWebService service;
  service.store().create(9);
  const httplib::Result reply = service.get("/users/images.php?N=2&F=9");
  ASSERT_TRUE(reply);
  EXPECT_EQ(picture_size(reply->body), std::make_pair(150, 190));
  EXPECT_EQ(set_picture_file(service, 9, "not a picture"), 1);
  EXPECT_EQ(service.get("/users/images.php?N=2&F=9")->body, reply->body);
}

TEST(SharedPicture, EachChannelKeepsTheLastPictureSentToIt) {
  RunningWebService service;
  const std::string jpeg = picture_bytes(300, 150, "JPEG");
  const std::string png = picture_bytes(20, 10, "PNG");
  ASSERT_EQ(service.post("/echange/pc_img_share_post.php", upload_of(png, 3))->status, 200);
  ASSERT_EQ(service.post("/echange/pc_img_share_post.php", upload_of(jpeg, 3))->status, 200);
  ASSERT_EQ(service.post("/echange/pc_img_share_post.php", upload_of(png, 10))->status, 200);

  const httplib::Result three = service.get("/echange/pc_img_share_get.php?F=3&N=1");
  ASSERT_TRUE(three);
  EXPECT_EQ(three->status, 200);
  EXPECT_EQ(three->body, jpeg);
  EXPECT_EQ(three->get_header_value("Content-Type"), "image/jpeg");
  EXPECT_EQ(service.store().shared_picture(3)->file_name, "photo \xE9t\xE9.jpg");
  const httplib::Result ten = service.get("/echange/pc_img_share_get.php?F=10&N=1");
  ASSERT_TRUE(ten);
  EXPECT_EQ(ten->body, png);
  EXPECT_EQ(ten->get_header_value("Content-Type"), "image/png");
  EXPECT_EQ(service.get("/echange/pc_img_share_get.php?F=0&N=1")->status, 404);
}

TEST(SharedPicture, RefusesWrongRecordsAndKeepsThePreviousPicture) {
  struct Case {
    const char* what;
    std::function<std::string()> body;  // made when sent: each is 10 MB
    int status;
  };
  const std::string png = picture_bytes(20, 10, "PNG");
  const auto size = static_cast<std::int32_t>(png.size());
  const Case cases[] = {
      {"one byte too many", [&] { return upload_of(png, 2) + '\0'; }, 413},
      {"one byte short", [&] { return upload_of(png, 2).substr(0, kUploadRecordBytes - 1); }, 400},
      {"empty", [] { return std::string(); }, 400},
      {"no picture", [] { return upload_of("GIF89a but not really a picture", 2); }, 415},
      {"truncated picture", [&] { return upload_record(png, size / 2, "a.png", 5, 2); }, 415},
      {"size 0", [&] { return upload_record(png, 0, "a.png", 5, 2); }, 400},
      {"size past the data", [&] { return upload_record(png, 10'000'001, "a.png", 5, 2); }, 400},
      {"channel 11", [&] { return upload_record(png, size, "a.png", 5, 11); }, 400},
      {"channel -1", [&] { return upload_record(png, size, "a.png", 5, -1); }, 400},
      {"name length 256", [&] { return upload_record(png, size, "a.png", 256, 2); }, 400},
  };
  RunningWebService service;
  const std::string jpeg = picture_bytes(30, 30, "JPEG");
  ASSERT_EQ(service.post("/echange/pc_img_share_post.php", upload_of(jpeg, 2))->status, 200);
  for (const Case& test : cases) {
    const httplib::Result reply = service.post("/echange/pc_img_share_post.php", test.body());
    ASSERT_TRUE(reply) << test.what << ": " << httplib::to_string(reply.error());
    EXPECT_EQ(reply->status, test.status) << test.what;
    EXPECT_EQ(service.get("/echange/pc_img_share_get.php?F=2&N=1")->body, jpeg) << test.what;
  }
}

TEST(AccessoryIcons, AreThreeDifferent32PixelPngs) {
  RunningWebService service;
  std::vector<std::string> icons;
  for (const char* name : {"usb_black", "usb_green", "usb_red"}) {
    const httplib::Result reply = service.get(std::string("/usb/") + name + ".png");
    ASSERT_TRUE(reply) << name;
    EXPECT_EQ(reply->status, 200);
    EXPECT_EQ(reply->get_header_value("Content-Type"), "image/png");
    EXPECT_TRUE(reply->body.starts_with(kPngSignature));
    EXPECT_EQ(picture_size(reply->body), std::make_pair(32, 32)) << name;
    icons.push_back(reply->body);
  }
  EXPECT_NE(icons[0], icons[1]);
  EXPECT_NE(icons[1], icons[2]);
}

}  // namespace
}  // namespace marvok::web_server::testing
