#include "database_pool.h"

namespace marvok::web_server {

DatabasePool::DatabasePool(std::string where, std::size_t most_postgresql_connections)
    : where_(std::move(where)),
      most_(names_postgresql(where_) ? std::max<std::size_t>(most_postgresql_connections, 1) : 1) {
  idle_.push_back(open_database(where_));
  open_ = 1;
}

DatabasePool::Lease DatabasePool::lease() {
  std::unique_lock lock(mutex_);
  returned_.wait(lock, [&] { return !idle_.empty() || open_ < most_; });
  while (!idle_.empty()) {
    std::unique_ptr<Database> connection = std::move(idle_.back());
    idle_.pop_back();
    if (connection->usable()) return Lease(*this, std::move(connection));
    --open_;
  }
  // Opened outside the lock: reaching a server may take a while, and other
  // callers may meanwhile take connections given back.
  ++open_;
  lock.unlock();
  try {
    return Lease(*this, open_database(where_));
  } catch (...) {
    lock.lock();
    --open_;
    returned_.notify_one();
    throw;
  }
}

void DatabasePool::give_back(std::unique_ptr<Database> connection) {
  {
    std::lock_guard lock(mutex_);
    if (connection && connection->usable()) {
      idle_.push_back(std::move(connection));
    } else {
      --open_;
    }
  }
  returned_.notify_one();
}

}  // namespace marvok::web_server
