#include "support/offscreen_screen.h"

#include <unistd.h>

#include <QDir>
#include <QFile>

namespace marvok::testing {

QByteArray offscreen_platform_with_full_hd_screen() {
  const QString config = QDir::temp().filePath(QStringLiteral("marvok-offscreen-%1.json").arg(getpid()));
  QFile file(config);
  if (file.open(QIODevice::WriteOnly)) {
    file.write(R"({"screens":[{"name":"main","x":0,"y":0,"width":1920,"height":1080,)"
               R"("logicalDpi":96,"logicalBaseDpi":96,"dpr":1}]})");
  }
  return "offscreen:configfile=" + config.toLocal8Bit();
}

}  // namespace marvok::testing
