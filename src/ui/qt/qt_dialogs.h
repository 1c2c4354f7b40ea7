#pragma once

#include <QWidget>
#include <functional>

#include "screen/dialogs.h"

namespace marvok::ui {

// The screen's boxes and dialogs as Qt's, owned by the main window while it exists.
class QtDialogs final : public screen::Dialogs {
 public:
  explicit QtDialogs(std::function<QWidget*()> main_window) : main_window_(std::move(main_window)) {}

  void message_box(screen::BoxOwner owner, std::u16string_view text, std::u16string_view caption,
                   screen::BoxIcon icon) override;
  void notice(std::u16string_view text) override;
  void about_box() override;
  bool open_web_page(const std::string& url) override;
  std::optional<std::filesystem::path> choose_picture_file() override;

 private:
  std::function<QWidget*()> main_window_;
};

}  // namespace marvok::ui
