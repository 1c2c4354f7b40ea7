#include "app/termination_requests.h"

#include <QObject>
#include <QSocketNotifier>

#include "platform/termination_signals.h"

namespace marvok {

void on_termination_request(QObject& context, std::function<void()> on_request) {
  const int descriptor = platform::termination_request_descriptor();
  if (descriptor < 0) return;
  auto* notifier = new QSocketNotifier(descriptor, QSocketNotifier::Read, &context);
  QObject::connect(notifier, &QSocketNotifier::activated, notifier, [on_request = std::move(on_request)] {
    platform::take_termination_request();
    on_request();
  });
}

}  // namespace marvok
