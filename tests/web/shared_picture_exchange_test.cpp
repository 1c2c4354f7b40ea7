#include "web/shared_picture_exchange.h"

#include <gtest/gtest.h>

#include <QBuffer>
#include <QImage>
#include <QTemporaryDir>
#include <algorithm>
#include <fstream>
#include <mutex>
#include <string>
#include <thread>

#include "state/little_endian.h"
#include "support/https_test_server.h"
#include "web/picture_decoding.h"

namespace marvok::web {
namespace {

using marvok::testing::TestHttpsServer;

class SharedPictureExchangeTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(folder.isValid());
    server.post("/echange/pc_img_share_post.php", [this](const httplib::Request& request, httplib::Response&) {
      const std::scoped_lock lock(mutex);
      posted = request.body;
    });
  }

  std::filesystem::path file_of(const std::string& name, std::size_t size) {
    std::filesystem::path path = std::filesystem::path(folder.path().toStdString()) / name;
    std::ofstream(path, std::ios::binary) << std::string(size, 'p');
    return path;
  }

  std::int32_t upload(const std::optional<std::filesystem::path>& chosen) {
    return exchange.upload_shared_image(
        4, [&] { return chosen; }, [this](const std::string& text) { warnings.push_back(text); });
  }

  QTemporaryDir folder;
  TestHttpsServer server;
  LedCell light;
  WebClient web{server.address(), light};
  SharedPictureExchange exchange{web};
  // What the server's thread and the test share.
  std::mutex mutex;
  std::string posted;
  std::string stored;
  std::vector<std::string> warnings;

  std::string last_posted() {
    const std::scoped_lock lock(mutex);
    return posted;
  }
  void store(const QByteArray& bytes) {
    const std::scoped_lock lock(mutex);
    stored = bytes.toStdString();
  }
};

// Resident memory of the process, from the kernel's own count.
std::size_t resident_bytes() {
  std::ifstream status("/proc/self/status");
  std::string line;
  while (std::getline(status, line))
    if (line.rfind("VmRSS:", 0) == 0) return std::stoul(line.substr(6)) * 1024;
  return 0;
}

// The web client's two ten-megabyte areas are the client's largest: until a
// large answer or an upload fills them, they must cost no memory.
TEST(LargeAreasTest, TakeNoMemoryUntilFilled) {
#if defined(__SANITIZE_THREAD__)
  GTEST_SKIP() << "ThreadSanitizer's calloc writes every page it hands out";
#endif
  const std::size_t before = resident_bytes();
  LedCell light;
  WebClient web{{"localhost", 1, ""}, light};
  SharedPictureExchange exchange{web};
  const std::size_t after = resident_bytes();
  EXPECT_LT(after - std::min(after, before), 4u << 20) << "of 20 MB";
  EXPECT_EQ(web.response().whole().back(), 0);
  EXPECT_EQ(exchange.upload_record().back(), 0);
}

TEST_F(SharedPictureExchangeTest, SendsTheWholeRecordWithTheFileAndItsName) {
  EXPECT_EQ(upload(file_of("photo été.jpg", 9'999'999)), 200);
  std::string record_sent = last_posted();
  ASSERT_EQ(record_sent.size(), kUploadRecordBytes);
  const auto* record = reinterpret_cast<const std::uint8_t*>(record_sent.data());
  const std::span<const std::uint8_t> bytes(record, record_sent.size());
  EXPECT_EQ(read_u32_le(bytes, kUploadSizeAt), 9'999'999u);
  EXPECT_EQ(read_u32_le(bytes, kUploadNameLengthAt), 13u);
  EXPECT_EQ(read_u32_le(bytes, kUploadGroupAt), 4u);
  EXPECT_EQ(record_sent.substr(kUploadNameAt, 14), std::string("photo \xE9t\xE9.jpg\0", 14));
  EXPECT_EQ(record_sent[9'999'998], 'p');
  EXPECT_EQ(record_sent[9'999'999], '\0');

  // A smaller picture afterwards does not carry the tail of the first one.
  EXPECT_EQ(upload(file_of("petit.png", 10)), 200);
  record_sent = last_posted();
  EXPECT_EQ(record_sent.find_first_not_of('\0', 10), kUploadNameAt);
  EXPECT_TRUE(warnings.empty());
}

// The service may take longer than a silence is allowed over the ten
// megabytes it has just read before it answers.
TEST_F(SharedPictureExchangeTest, WaitsForTheAnswerOfAServiceSlowToStoreThePicture) {
  server.post("/echange/pc_img_share_post.php", [](const httplib::Request&, httplib::Response&) {
    std::this_thread::sleep_for(std::chrono::seconds(4));
  });
  EXPECT_EQ(upload(file_of("photo.jpg", 1000)), 200);
}

TEST_F(SharedPictureExchangeTest, RefusesWhatCannotBeSent) {
  const struct {
    const char* name;
    std::optional<std::filesystem::path> chosen;
    std::int32_t result;
    std::size_t warnings;
  } cases[] = {
      {"cancelled", std::nullopt, 0, 0},
      {"too large", file_of("grand.png", 10'000'000), -1, 1},
      {"empty", file_of("vide.png", 0), -1, 0},
      {"missing", file_of("x", 1).parent_path() / "absent.png", -1, 0},
      {"path too long", std::filesystem::path("/" + std::string(200, 'd') + "/p.png"), -1, 0},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    warnings.clear();
    EXPECT_EQ(upload(c.chosen), c.result);
    EXPECT_TRUE(last_posted().empty());
    ASSERT_EQ(warnings.size(), c.warnings);
    for (const std::string& text : warnings)
      EXPECT_EQ(text, "Fichier superieur a la taille maximale du myRingBuffer\nMaximum =  10000000 octets");
  }
}

TEST_F(SharedPictureExchangeTest, DownloadsTheChannelsPictureInAnyFormat) {
  QImage picture(30, 20, QImage::Format_ARGB32);
  picture.fill(QColor(0, 0, 255, 0));  // fully transparent: shown on black
  QByteArray jpeg, png;
  QBuffer jpeg_buffer(&jpeg), png_buffer(&png);
  picture.save(&jpeg_buffer, "JPEG");
  picture.save(&png_buffer, "PNG");
  server.get("/echange/pc_img_share_get.php", [this](const httplib::Request& request, httplib::Response& response) {
    const std::scoped_lock lock(mutex);
    if (request.get_param_value("F") != "4" || stored.empty()) {
      response.status = 404;
      return;
    }
    response.set_content(stored, "application/octet-stream");
  });

  EXPECT_FALSE(exchange.download_shared_picture(4));  // nothing stored: keep what is shown
  store(png);
  const auto shown = exchange.download_shared_picture(4);
  ASSERT_TRUE(shown);
  EXPECT_EQ(shown->width, 30);
  EXPECT_EQ(shown->height, 20);
  EXPECT_EQ(shown->pixel(5, 5), 0xFF000000u);

  store(jpeg);
  const Picture from_jpeg = exchange.download_shared_picture(4).value_or(Picture());
  EXPECT_EQ(from_jpeg.width, 30);
  EXPECT_EQ(from_jpeg.height, 20);
  {
    // The speaker's picture reads PNG only.
    const LockedResponse response = web.download_web_file(WebFolder::Exchange, 4, 1);
    EXPECT_TRUE(png_to_bitmap(response.result, *response.buffer).empty());
    EXPECT_FALSE(image_to_bitmap(response.result, *response.buffer).empty());
  }
  store("GIF89a but truncated");
  const auto broken = exchange.download_shared_picture(4);
  ASSERT_TRUE(broken);
  EXPECT_TRUE(broken->empty());
}

}  // namespace
}  // namespace marvok::web
