#pragma once

#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

namespace marvok::screen {

enum class BoxIcon { None, Error, Question, Warning, Information };

// Which window a box belongs to: the main window, or none.
enum class BoxOwner { None, MainWindow };

// The system's boxes and dialogs, and the member's browser. Each returns once
// the member is done with it; the window thread's windows and timers keep
// running meanwhile.
class Dialogs {
 public:
  virtual ~Dialogs() = default;
  // A box with an OK button.
  virtual void message_box(BoxOwner owner, std::u16string_view text, std::u16string_view caption, BoxIcon icon) = 0;
  // The supervisor's notice window beside the main window: it closes by
  // itself after ten seconds, or when the member closes it.
  virtual void notice(std::u16string_view text) = 0;
  // Who made Marvok and which version runs.
  virtual void about_box() = 0;
  // Opens a web page in the member's browser; false when none could be started.
  virtual bool open_web_page(const std::string& url) = 0;
  // A picture file (PNG, JPEG, BMP or GIF) the member picks; nothing when they cancel.
  virtual std::optional<std::filesystem::path> choose_picture_file() = 0;
};

}  // namespace marvok::screen
