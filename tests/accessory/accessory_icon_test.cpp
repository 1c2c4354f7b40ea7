#include "accessory/accessory_icon.h"

#include <gtest/gtest.h>

#include <QBuffer>
#include <QImage>
#include <map>
#include <mutex>

#include "support/https_test_server.h"

namespace marvok::accessory {
namespace {

std::string png_of(QColor colour) {
  QImage picture(4, 4, QImage::Format_RGB32);
  picture.fill(colour);
  QByteArray bytes;
  QBuffer buffer(&bytes);
  return buffer.open(QIODevice::WriteOnly) && picture.save(&buffer, "PNG") ? bytes.toStdString() : "";
}

TEST(AccessoryIconTest, FetchesEachChangeOnceAndKeepsThePictureWhenAFetchFails) {
  enum class Answer { Png, NotFound, NotPng };
  marvok::testing::TestHttpsServer server;
  std::mutex mutex;  // shared with the server's thread
  std::map<std::string, int> fetches;
  Answer answer = Answer::Png;
  for (const auto& [name, colour] :
       {std::pair{"black", Qt::black}, std::pair{"green", Qt::green}, std::pair{"red", Qt::red}}) {
    server.get("/usb/usb_" + std::string(name) + ".png",
               [&, name = std::string(name), png = png_of(colour)](const httplib::Request&, httplib::Response& out) {
                 const std::scoped_lock lock(mutex);
                 ++fetches[name];
                 if (answer == Answer::NotFound) out.status = 404;
                 out.set_content(answer == Answer::NotPng ? "GIF89a" : png, "image/png");
               });
  }
  LedCell light;
  web::WebClient web(server.address(), light);
  std::vector<QRgb> drawn;
  AccessoryIcon icon(web, [&](const Picture& picture) { drawn.push_back(picture.pixel(0, 0)); });

  using enum AccessoryState;
  const QRgb black = qRgb(0, 0, 0);
  const QRgb green = qRgb(0, 255, 0);
  const struct {
    AccessoryState state;
    Answer answer;
    const char* name;
    int fetches;
    std::optional<QRgb> picture;
    std::size_t draws;  // each of the picture then kept
  } steps[] = {
      // The first picture is only kept: the window shows it when it next paints.
      {NoAccessory, Answer::Png, "black", 1, black, 0},
      {NoAccessory, Answer::Png, "black", 1, black, 0},
      {Released, Answer::Png, "green", 1, green, 1},
      {Pressed, Answer::NotFound, "red", 1, green, 1},
      {Pressed, Answer::Png, "red", 1, green, 1},
      {Released, Answer::Png, "green", 2, green, 2},
      {NoAccessory, Answer::NotPng, "black", 2, std::nullopt, 2},
  };
  for (std::size_t i = 0; i < std::size(steps); ++i) {
    SCOPED_TRACE(i);
    const auto& step = steps[i];
    {
      const std::scoped_lock lock(mutex);
      answer = step.answer;
    }
    icon.show_accessory_state(step.state);
    const Picture picture = icon.picture();
    EXPECT_EQ(picture.empty() ? std::nullopt : std::optional(picture.pixel(0, 0)), step.picture);
    EXPECT_EQ(drawn, std::vector<QRgb>(step.draws, green));
    const std::scoped_lock lock(mutex);
    EXPECT_EQ(fetches[step.name], step.fetches);
  }
}

}  // namespace
}  // namespace marvok::accessory
