// How long the window thread is held when the speaker changes: the poll's
// two requests (large picture, then card) with the picture decoded, against
// a local HTTPS service and against one that accepts connections and never
// answers. Prints figures; never fails on time.
//   speaker_poll_bench [changes]
#include <QBuffer>
#include <QImage>
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "support/https_test_server.h"
#include "web/account.h"

namespace {

using namespace marvok;
using Clock = std::chrono::steady_clock;

std::string picture_png() {
  QImage picture(150, 190, QImage::Format_RGB32);
  picture.fill(QColor(30, 120, 200));
  QByteArray bytes;
  QBuffer buffer(&bytes);
  picture.save(&buffer, "PNG");
  return bytes.toStdString();
}

void measure(const char* title, const platform::WebServiceAddress& address, int changes) {
  SessionState state;
  web::WebClient client(address, state.lights.HttpsLed);
  int pictures = 0;
  web::Account account(client, state, web::SpeakerDisplay{[&](const Picture&) { ++pictures; }, [](const auto&) {}});
  std::vector<double> held_ms;
  for (int speaker = 1; speaker <= changes; ++speaker) {
    state.channel.SpeakerId = speaker;
    const auto started = Clock::now();
    account.poll_speaker();
    held_ms.push_back(std::chrono::duration<double, std::milli>(Clock::now() - started).count());
  }
  std::sort(held_ms.begin(), held_ms.end());
  std::printf("%-28s %3d speaker changes: median %8.1f ms, max %8.1f ms, pictures drawn %d\n", title, changes,
              held_ms[held_ms.size() / 2], held_ms.back(), pictures);
}

}  // namespace

int main(int argc, char** argv) {
  const int changes = argc > 1 ? std::max(1, static_cast<int>(std::strtol(argv[1], nullptr, 10))) : 50;
  marvok::testing::TestHttpsServer service;
  const std::string png = picture_png();
  service.get("/users/images.php",
              [&](const httplib::Request&, httplib::Response& response) { response.set_content(png, "image/png"); });
  for (int speaker = 1; speaker <= changes; ++speaker) {
    service.get("/users/" + std::to_string(speaker) + "/client.xml",
                [](const httplib::Request&, httplib::Response& response) {
                  response.set_content("<CLIENT><PRENOM>Ana</PRENOM><VILLE>Lyon</VILLE><PHRASE>Salut</PHRASE></CLIENT>",
                                       "text/xml");
                });
  }
  measure("local service", service.address(), changes);

  marvok::testing::SilentServer silent;
  platform::WebServiceAddress black_hole = service.address();
  black_hole.port = silent.port();
  measure("service that never answers", black_hole, std::min(changes, 3));
  return 0;
}
