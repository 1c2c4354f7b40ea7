#include "ui/main_images.h"

namespace marvok::ui {

MainWindowImages MainImages;

}  // namespace marvok::ui
