#include "ui/params_window.h"

#include <QApplication>
#include <QCloseEvent>
#include <QDir>
#include <QEventLoop>
#include <QFileInfo>
#include <QIcon>
#include <QMouseEvent>
#include <QPaintEvent>
#include <QPainter>
#include <QTimer>
#include <QWindow>
#include <cstdio>
#include <utility>

#include "state/session_state.h"
#include "ui/colorref.h"
#include "ui/drawing_helpers.h"
#include "ui/window_growth.h"
#include "web/xml_record.h"

namespace marvok::ui {

namespace {

const QColor kParamsBackground(255, 0, 0);
constexpr int kDeviceIconSize = 64;
constexpr int kGrowthStep = 10;
constexpr int kFirstStageEnd = 200;
constexpr int kSecondStageEnd = 450;

// Without a desktop session no icon theme is named, or only "hicolor", which
// has no device icons: then the first of the usual full themes installed serves.
void name_an_installed_theme() {
  const QString current = QIcon::themeName();
  if (!current.isEmpty() && current != QLatin1String("hicolor")) return;
  for (const char* theme : {"Adwaita", "hicolor"}) {
    for (const QString& root : QIcon::themeSearchPaths()) {
      if (QFileInfo::exists(QDir(root).filePath(QString::fromLatin1(theme) + QStringLiteral("/index.theme")))) {
        QIcon::setThemeName(QString::fromLatin1(theme));
        return;
      }
    }
  }
}

// A device's icon on a square of the menu colour, when its theme name gives one.
void draw_device_icon(QPainter& painter, const std::u16string& theme_name, QPoint at) {
  if (theme_name.empty()) return;
  name_an_installed_theme();
  const QIcon icon = QIcon::fromTheme(QString::fromStdU16String(theme_name));
  if (icon.isNull()) return;
  const QRect area(at, QSize(kDeviceIconSize, kDeviceIconSize));
  painter.fillRect(area, QApplication::palette("QMenu").color(QPalette::Window));
  icon.paint(&painter, area);
}

void draw_device_name(QPainter& painter, const std::u16string& name, int x, int y) {
  if (!name.empty()) DrawLabel(painter, QString::fromStdU16String(name), x, y, kRed);
}

// A description as far as its lookup succeeded: a failed one gives nothing,
// one without an icon gives its name alone.
platform::DeviceDescription usable_part(int status, platform::DeviceDescription description) {
  if (status == platform::kEndpointOk) return description;
  if (status == platform::kEndpointNoIcon) return {{}, 0, std::move(description.name)};
  return {};
}

}  // namespace

ParamsWindow::ParamsWindow(QWidget& main, DisplayState& display, const DeviceState& devices,
                           const ParamsServices& services, CustomColours& custom_colours, QPoint position)
    : QWidget(&main, Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                         Qt::WindowCloseButtonHint),
      main_(main),
      display_(display),
      devices_(devices),
      services_(services),
      custom_colours_(custom_colours),
      surface_(kParamsWindowSize, QImage::Format_RGB32) {
  setObjectName(QStringLiteral("ParamWndClass"));
  setWindowTitle(QStringLiteral("Marvok Params"));
  setAttribute(Qt::WA_DeleteOnClose);
  setAttribute(Qt::WA_ShowWithoutActivating);
  setAttribute(Qt::WA_OpaquePaintEvent);
  surface_.fill(kParamsBackground);
  move(position);
  resize(10, 10);
}

void ParamsWindow::start() {
  ready_ = true;
  repaint_content();
}

void ParamsWindow::repaint_content() {
  content_stale_ = true;
  update();
}

void ParamsWindow::paintEvent(QPaintEvent*) {
  if (ready_ && content_stale_) {
    content_stale_ = false;
    surface_.fill(kParamsBackground);
    QPainter painter(&surface_);
    draw_content(painter);
  }
  QPainter(this).drawImage(QPoint(0, 0), surface_);
}

void ParamsWindow::draw_content(QPainter& painter) {
  draw_input_device(painter);
  draw_output_device(painter);
  draw_member_card(painter);
  draw_colour(painter);
}

void ParamsWindow::draw_input_device(QPainter& painter) {
  const std::int32_t selected = devices_.SelectedInputDevice.load(std::memory_order_relaxed);
  platform::DeviceDescription found;
  if (selected == -1) {
    platform::DeviceDescription description;
    // The index is only where the default stands; the description is filled or left empty.
    if (services_.describe_default_input && services_.describe_default_input(description) >= 0)
      found = std::move(description);
    std::snprintf(input_caption_.data(), input_caption_.size(), "INPUT DEVICE (%s)", "Default");
  } else {
    // A selection outside the table, or an entry no endpoint matched, has nothing to describe.
    if (selected >= 0 && selected < kInputDeviceSlots && services_.describe_capture_endpoint) {
      const std::int32_t endpoint = devices_.InputDeviceTable[static_cast<std::size_t>(selected)].endpoint_index;
      platform::DeviceDescription description;
      if (endpoint >= 0) {
        const int status = services_.describe_capture_endpoint(endpoint, description);
        found = usable_part(status, std::move(description));
      }
    }
    std::snprintf(input_caption_.data(), input_caption_.size(), "INPUT DEVICE (%ld)          ",
                  static_cast<long>(selected));
  }
  DrawLabel(painter, QString::fromLatin1(input_caption_.data()), 50, 10, kRed);
  draw_device_icon(painter, found.icon_path, QPoint(50, 30));
  draw_device_name(painter, found.name, 20, 100);
}

void ParamsWindow::draw_output_device(QPainter& painter) {
  DrawLabel(painter, QStringLiteral("OUTPUT DEVICE"), 50, 140, kRed);
  platform::DeviceDescription found;
  if (services_.describe_default_output) {
    platform::DeviceDescription description;
    const int status = services_.describe_default_output(description);
    found = usable_part(status, std::move(description));
  }
  draw_device_icon(painter, found.icon_path, QPoint(50, 160));
  draw_device_name(painter, found.name, 20, 230);
}

void ParamsWindow::draw_member_card(QPainter& painter) const {
  const web::MemberCard card = services_.member_card ? services_.member_card() : web::MemberCard{};
  DrawUtf8Text(painter, web::field_text(card.first_name), 10, 260, kWhite);
  DrawUtf8Text(painter, "City: ", 10, 280, kWhite);
  DrawUtf8Text(painter, web::field_text(card.city), 50, 280, kWhite);
  DrawUtf8Text(painter, web::field_text(card.phrase), 10, 300, kYellow);
  DrawUtf8Text(painter, "-", 10, 320, kWhite);
  DrawUtf8Text(painter, web::field_text(card.email), 10, 340, kYellow);
  DrawUtf8Text(painter, "User: ", 10, 360, kYellow);
  DrawUtf8Text(painter, web::field_text(card.folder), 55, 360, kYellow);
  DrawUtf8Text(painter, "Color: ", 10, 380, kYellow);
}

void ParamsWindow::draw_colour(QPainter& painter) {
  const std::uint32_t colour = display_.BackgroundColor.load(std::memory_order_relaxed);
  // Framed, then filled over the same square: the colour covers its frame.
  painter.save();
  painter.setPen(QApplication::palette("QScrollBar").color(QPalette::Mid));
  painter.setBrush(Qt::NoBrush);
  painter.drawRect(kColourSwatch.adjusted(0, 0, -1, -1));
  painter.restore();
  painter.fillRect(kColourSwatch, from_colorref(colour));

  std::snprintf(colour_caption_.data(), colour_caption_.size(), "%ld.%ld.%ld", static_cast<long>(colour & 0xFF),
                static_cast<long>(colour >> 8 & 0xFF), static_cast<long>(colour >> 16 & 0xFF));
  DrawUtf8Text(painter, colour_caption_.data(), 80, 380, kYellow);
}

void ParamsWindow::mousePressEvent(QMouseEvent* event) {
  // Clicks during the opening are not for the window yet.
  if (event->button() != Qt::LeftButton || !ready_) {
    QWidget::mousePressEvent(event);
    return;
  }
  const QPoint at = event->position().toPoint();
  const QPoint point(static_cast<std::int16_t>(at.x()), static_cast<std::int16_t>(at.y()));
  if (kColourSwatch.contains(point)) {
    const QPointer<ParamsWindow> alive(this);
    pick_colour();
    if (!alive) return;
  }
  if (kDeviceArea.contains(point) && services_.toggle_input_device_window) services_.toggle_input_device_window();
}

void ParamsWindow::pick_colour() {
  // Everything the picking touches outlives this window, which the picker's
  // event loop may see closed and deleted.
  const QPointer<ParamsWindow> alive(this);
  QWidget& main = main_;
  DisplayState& display = display_;
  const ParamsServices& services = services_;

  std::optional<std::uint32_t> chosen;
  if (services.choose_colour) chosen = services.choose_colour(this, custom_colours_);
  if (chosen) {
    display.BackgroundColor.store(*chosen, std::memory_order_relaxed);
    if (services.post_parameters) services.post_parameters(*chosen);
  }
  if (services.repaint_main) services.repaint_main();
  if (alive) repaint_content();
  main.activateWindow();
}

void ParamsWindow::closeEvent(QCloseEvent* event) {
  closing_ = true;
  event->accept();
}

ParamsWindowToggle::ParamsWindowToggle(QWidget& main, DisplayState& display, const DeviceState& devices,
                                       ParamsServices services, std::chrono::milliseconds growth_pause)
    : main_(main), display_(display), devices_(devices), services_(std::move(services)), growth_pause_(growth_pause) {}

// The window refers to this object's services and custom colours.
ParamsWindowToggle::~ParamsWindowToggle() { delete window_.data(); }

ParamsWindow* ParamsWindowToggle::window() const { return window_ && !window_->closing() ? window_.data() : nullptr; }

void ParamsWindowToggle::repaint_content() {
  if (ParamsWindow* open = window()) open->repaint_content();
}

int ParamsWindowToggle::toggle() {
  if (ParamsWindow* open = window()) {
    open->close();
    return 1;
  }

  const QRect frame = main_.frameGeometry();
  const int left = frame.x(), top = frame.y();
  const QPointer<ParamsWindow> window =
      new ParamsWindow(main_, display_, devices_, services_, custom_colours_, QPoint(left - 200, top + 200));
  window->winId();
  if (window->windowHandle() == nullptr || window->windowHandle()->handle() == nullptr) {
    // Not kept: the next click tries to open it again rather than to close a
    // window that never was.
    delete window.data();
    return 0;
  }
  window_ = window;

  window->show();
  for (int s = 0; s <= kFirstStageEnd; s += kGrowthStep)
    if (!grow_step(window, QPoint(left - s, top + 200 - s), QSize(s, s), growth_pause_)) return 1;
  const QPoint corner = window->pos();
  for (int h = kFirstStageEnd; h <= kSecondStageEnd; h += kGrowthStep)
    if (!grow_step(window, corner, QSize(kParamsWindowSize.width(), h), growth_pause_)) return 1;
  window->start();
  main_.activateWindow();
  return 1;
}

}  // namespace marvok::ui
