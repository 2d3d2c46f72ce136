#include "sandbox/tds/server.h"

#include <algorithm>

#include "sandbox/tds/browser.h"

namespace sandbox::tds {

Server::Server(ServerOptions options, LoginFunction login)
    : options_(std::move(options)), login_(std::move(login)), listener_(options_.port) {
  if (options_.browser_port != 0) {
    browser_ = std::make_unique<DatagramSocket>(std::max(options_.browser_port, 0));
  }
}

Server::~Server() {
  Stop();
}

void Server::Start() {
  accept_thread_ = std::thread([this] { AcceptLoop(); });
  if (browser_) browser_thread_ = std::thread([this] { BrowserLoop(); });
}

void Server::Stop() noexcept {
  {
    std::lock_guard lock(mutex_);
    if (stopped_) return;
    stopped_ = true;
  }
  wake_.Wake();
  if (accept_thread_.joinable()) accept_thread_.join();
  if (browser_thread_.joinable()) browser_thread_.join();
  std::list<Slot> connections;
  {
    std::lock_guard lock(mutex_);
    connections.swap(connections_);
  }
  for (Slot& slot : connections) slot.connection->Close();
  for (Slot& slot : connections) {
    if (slot.thread.joinable()) slot.thread.join();
  }
}

void Server::AcceptLoop() {
  while (true) {
    FileDescriptor fd = listener_.Accept(wake_.ReadFd());
    if (!fd.Valid()) return;
    ReapFinished();
    std::lock_guard lock(mutex_);
    if (stopped_) return;
    Slot slot;
    slot.connection =
        std::make_unique<Connection>(StreamSocket(std::move(fd)), login_, options_.server_name,
                                     next_spid_++, options_.rowversion_as_binary);
    if (next_spid_ == 0) next_spid_ = 51;
    slot.done = std::make_shared<std::atomic<bool>>(false);
    Connection* connection = slot.connection.get();
    auto done = slot.done;
    slot.thread = std::thread([connection, done] {
      connection->Run();
      done->store(true);
    });
    connections_.push_back(std::move(slot));
  }
}

void Server::ReapFinished() {
  std::list<Slot> finished;
  {
    std::lock_guard lock(mutex_);
    for (auto it = connections_.begin(); it != connections_.end();) {
      if (it->done->load()) {
        auto next = std::next(it);
        finished.splice(finished.end(), connections_, it);
        it = next;
      } else {
        ++it;
      }
    }
  }
  for (Slot& slot : finished) slot.thread.join();
}

void Server::BrowserLoop() {
  std::string request;
  while (browser_->Receive(request, wake_.ReadFd())) {
    if (auto reply = BrowserReply(request, options_.instance, options_.host_name, Port())) {
      browser_->Reply(*reply);
    }
  }
}

}  // namespace sandbox::tds
