#include "screen/default_input_device.h"

namespace marvok::screen {

int describe_default_input_device(platform::DeviceDescription& description, const DefaultInputLookup& lookup,
                                  Dialogs& dialogs) {
  const auto warn = [&dialogs](std::u16string_view text) {
    dialogs.message_box(BoxOwner::None, text, u"Error", BoxIcon::Warning);
  };
  const std::optional<int> index = lookup.find_index ? lookup.find_index() : std::nullopt;
  if (!index) {
    warn(u"Impossible de trouver l'index du périphérique !");
    return -1;
  }
  if (!lookup.describe || lookup.describe(*index, description) != platform::kEndpointOk)
    warn(u"Erreur lors de la récupération du périphérique");
  return *index;
}

}  // namespace marvok::screen
