#pragma once

#include <map>
#include <mutex>
#include <string>

namespace marvok::web_server {

// Room for large request bodies being received: so many at once in all, so
// that slow uploads cannot make the service hold gigabytes, and a few for
// each source address, so that one address sending slowly cannot keep
// everyone else's uploads out.
class LargeBodySlots {
 public:
  LargeBodySlots(int total, int per_source) : total_(total), per_source_(per_source) {}

  bool take(const std::string& source) {
    std::lock_guard lock(mutex_);
    int& held = by_source_[source];
    if (taken_ >= total_ || held >= per_source_) {
      if (held == 0) by_source_.erase(source);
      return false;
    }
    ++held;
    ++taken_;
    return true;
  }

  void give_back(const std::string& source) {
    std::lock_guard lock(mutex_);
    const auto found = by_source_.find(source);
    if (found == by_source_.end()) return;
    --taken_;
    if (--found->second == 0) by_source_.erase(found);
  }

 private:
  std::mutex mutex_;
  int total_;
  int per_source_;
  int taken_ = 0;
  std::map<std::string, int> by_source_;
};

}  // namespace marvok::web_server
