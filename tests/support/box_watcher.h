#pragma once

#include <QObject>
#include <QString>
#include <QTimer>
#include <ostream>
#include <vector>

namespace marvok::testing {

struct SeenBox {
  QString caption;
  QString text;

  bool operator==(const SeenBox&) const = default;
};

inline void PrintTo(const SeenBox& box, std::ostream* out) {
  *out << "{" << box.caption.toStdString() << " | " << box.text.toStdString() << "}";
}

// Answers every message box that shows while it lives, as a member clicking
// OK would, and remembers what each one said.
class BoxWatcher : public QObject {
  Q_OBJECT

 public:
  BoxWatcher();
  const std::vector<SeenBox>& seen() const { return seen_; }

 private:
  void answer_open_box();

  QTimer poll_;
  std::vector<SeenBox> seen_;
};

}  // namespace marvok::testing
