#include "ui/qt/web_pages.h"

#include <QDesktopServices>
#include <QUrl>

namespace marvok::ui {

bool open_web_page(const std::string& url) { return QDesktopServices::openUrl(QUrl(QString::fromStdString(url))); }

}  // namespace marvok::ui
