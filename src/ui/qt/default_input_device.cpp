#include "ui/qt/default_input_device.h"

#include <QString>

#include "ui/qt/message_box.h"

namespace marvok::ui {

namespace {

void warn(const QString& text) { show_message_box(nullptr, text, QStringLiteral("Error"), BoxIcon::Warning); }

}  // namespace

int describe_default_input_device(platform::DeviceDescription& description, const DefaultInputLookup& lookup) {
  const std::optional<int> index = lookup.find_index ? lookup.find_index() : std::nullopt;
  if (!index) {
    warn(QStringLiteral(u"Impossible de trouver l'index du périphérique !"));
    return -1;
  }
  if (!lookup.describe || lookup.describe(*index, description) != platform::kEndpointOk)
    warn(QStringLiteral(u"Erreur lors de la récupération du périphérique"));
  return *index;
}

}  // namespace marvok::ui
