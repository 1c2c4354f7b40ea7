#include "ui/channel_panel.h"

#include <QPainter>

#include "relay/channels.h"
#include "ui/colorref.h"
#include "ui/drawing_helpers.h"
#include "ui/fonts.h"
#include "ui/main_window_layout.h"

namespace marvok::ui {

void draw_channel_panel(QPainter& painter, const ChannelState& channel, const MainWindowImages& images,
                        std::uint32_t background) {
  const QRect& panel = kChannelPanelArea;
  const int n = relay::current_channel(channel);
  if (!images.channel[0].isNull()) painter.drawImage(panel.topLeft(), images.channel[0]);
  if (n > 0 && n < kChannelCount)
    TransparentImage(painter, images.channel[static_cast<std::size_t>(n)], panel.left() + 40, panel.top() + 20);

  painter.save();
  painter.setPen(QPen(QColor(255, 0, 0), 1));
  painter.setBrush(Qt::NoBrush);
  painter.drawRect(panel.adjusted(0, 0, -1, -1));
  painter.restore();

  const QRect name_strip = edges(panel.left() + 10, panel.top() + 5, panel.right() + 1 - 10, panel.top() + 25);
  painter.save();
  painter.setFont(arial_font(16));
  painter.setPen(QColor(255, 255, 0));
  painter.drawText(name_strip, Qt::AlignCenter | Qt::TextSingleLine,
                   QString::fromStdU16String(std::u16string(relay::channel_name(n))));
  painter.restore();

  const int right = panel.left() + panel.width(), bottom = panel.top() + panel.height();
  const QString count = QString::number(channel.ChannelMemberCount.load(std::memory_order_relaxed));
  draw_text_at(painter, right - 30, bottom - 22, count, arial_font(14), kWhite, background);
  draw_text_at(painter, panel.left() + 8, bottom - 8, QStringLiteral("CHANNEL"), arial_font(14), kWhite, background);
}

}  // namespace marvok::ui
