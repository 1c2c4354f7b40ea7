#include "accessory/accessory_icon.h"

#include <gtest/gtest.h>

#include <QBuffer>
#include <map>
#include <mutex>

#include "support/https_test_server.h"

namespace marvok::accessory {
namespace {

std::string png_of(QColor colour) {
  QImage picture(40, 40, QImage::Format_RGB32);
  picture.fill(colour);
  QByteArray bytes;
  QBuffer buffer(&bytes);
  buffer.open(QIODevice::WriteOnly);
  picture.save(&buffer, "PNG");
  return bytes.toStdString();
}

TEST(AccessoryIconTest, FetchesEachChangeOnceAndKeepsThePictureWhenAFetchFails) {
  enum class Answer { Png, NotFound, NotPng };
  marvok::testing::TestHttpsServer server;
  std::mutex mutex;  // shared with the server's thread
  std::map<std::string, int> fetches;
  Answer answer = Answer::Png;
  for (const auto& [path, colour] :
       {std::pair{"/usb/usb_black.png", Qt::black}, std::pair{"/usb/usb_green.png", Qt::green},
        std::pair{"/usb/usb_red.png", Qt::red}})
    server.get(path, [&, name = std::string(path), png = png_of(colour)](const httplib::Request&,
                                                                         httplib::Response& response) {
      const std::scoped_lock lock(mutex);
      ++fetches[name];
      if (answer == Answer::NotFound) response.status = 404;
      response.set_content(answer == Answer::NotPng ? "GIF89a........" : png, "image/png");
    });
  LedCell light;
  web::WebClient web(server.address(), light);
  std::vector<QRgb> drawn;
  AccessoryIcon icon(web, [&](const QImage& picture) { drawn.push_back(picture.pixel(0, 0)); });

  using enum AccessoryState;
  const QRgb black = qRgb(0, 0, 0);
  const QRgb green = qRgb(0, 255, 0);
  const struct {
    AccessoryState state;
    Answer answer;
    const char* path;
    int fetches;
    std::optional<QRgb> picture;
    std::vector<QRgb> drawn;
  } steps[] = {
      // The first picture is only kept: the window shows it when it next paints.
      {NoAccessory, Answer::Png, "/usb/usb_black.png", 1, black, {}},
      {NoAccessory, Answer::Png, "/usb/usb_black.png", 1, black, {}},
      {Released, Answer::Png, "/usb/usb_green.png", 1, green, {green}},
      {Pressed, Answer::NotFound, "/usb/usb_red.png", 1, green, {green}},
      {Pressed, Answer::Png, "/usb/usb_red.png", 1, green, {green}},
      {Released, Answer::Png, "/usb/usb_green.png", 2, green, {green, green}},
      {NoAccessory, Answer::NotPng, "/usb/usb_black.png", 2, std::nullopt, {green, green}},
  };
  for (std::size_t i = 0; i < std::size(steps); ++i) {
    SCOPED_TRACE(i);
    const auto& step = steps[i];
    std::unique_lock lock(mutex);
    answer = step.answer;
    lock.unlock();
    icon.show_accessory_state(step.state);
    lock.lock();
    EXPECT_EQ(fetches[step.path], step.fetches);
    lock.unlock();
    const QImage picture = icon.picture();
    EXPECT_EQ(picture.isNull() ? std::nullopt : std::optional(picture.pixel(0, 0)), step.picture);
    EXPECT_EQ(drawn, step.drawn);
  }
}

}  // namespace
}  // namespace marvok::accessory
