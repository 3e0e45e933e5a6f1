// The live mode's message loop: poll()ed non-blocking sockets, the tool window and the timer.
#include "live/PDSServer.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>

#include "live/LiveAssets.h"
#include "live/LiveFrame.h"
#include "platform/Messages.h"
#include "platform/Window.h"
#include "timeline/ShowClock.h"

namespace {
constexpr int ListenBacklog = 16;
// More clients than this are turned away at once rather than starving the ones being served.
constexpr size_t MaxClients = 64;
// A client's share of one turn: a fast sender cannot keep the others (or the timer) waiting.
constexpr int PacketsPerTurn = 8;
// How long one turn may sleep in poll(): the windows' events are taken between turns.
constexpr int EventLatencyMs = 10;
}  // namespace

TPDSServerObject::TPDSServerObject(uint16_t port, bool openToolWindow) {
  DrawPacketFrame = [] { DrawLiveFrame(); };
  if (openToolWindow && ToolWindow.Open("PDSServerObject", 1414, 422, 178, 60)) {
    ToolWindow.SetCaption1(offline_);
    ToolWindow.SetCaption2(label1_);
    ToolWindow.Refresh();
  }
  Listen(port);
  LiveTimer.Reset();
  ClearStreamValues(StreamValues);
  nextTimer_ = std::chrono::steady_clock::now() + TimerInterval;
}

TPDSServerObject::~TPDSServerObject() {
  for (auto& client : clients_) close(client->socket);
  if (listener_ >= 0) close(listener_);
}

void TPDSServerObject::Listen(uint16_t port) {
  const int fd = socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
  int error = fd < 0 ? errno : 0;
  if (fd >= 0) {
    const int yes = 1;
    setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &yes, sizeof yes);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_ANY);
    address.sin_port = htons(port);
    if (bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
        listen(fd, ListenBacklog) != 0)
      error = errno;
  }
  if (error != 0) {
    if (fd >= 0) close(fd);
    const std::string number = std::to_string(port);
    if (error == EADDRINUSE)
      ShowMessage("Error", "Port " + number +
                               " is already in use by another program: the live mode runs without "
                               "its stream server and draws only the show's timer frames.");
    else
      ShowMessage("Error", "The stream server cannot listen on port " + number + " (" +
                               std::strerror(error) +
                               "): the live mode draws only the show's timer frames.");
    return;
  }
  sockaddr_in bound{};
  socklen_t length = sizeof bound;
  getsockname(fd, reinterpret_cast<sockaddr*>(&bound), &length);
  listener_ = fd;
  port_ = ntohs(bound.sin_port);
}

void TPDSServerObject::Run() {
  while (!closed_) Step(EventLatencyMs);
}

void TPDSServerObject::Step(int maxWaitMs) {
  if (ToolWindow.PumpEvents() || QuitRequested()) {
    closed_ = true;
    return;
  }

  const auto now = std::chrono::steady_clock::now();
  int timeout = std::max(0, maxWaitMs);
  const auto untilTimer =
      std::chrono::duration_cast<std::chrono::milliseconds>(nextTimer_ - now).count() + 1;
  timeout = static_cast<int>(std::clamp<long long>(untilTimer, 0, timeout));
  for (const auto& client : clients_)
    if (client->assembler.HasEvent() || client->ended) timeout = 0;

  std::vector<pollfd> fds;
  fds.reserve(clients_.size() + 1);
  if (listener_ >= 0) fds.push_back({listener_, POLLIN, 0});
  for (const auto& client : clients_) fds.push_back({client->socket, POLLIN, 0});
  if (!fds.empty())
    poll(fds.data(), fds.size(), timeout);
  else if (timeout > 0)
    poll(nullptr, 0, timeout);

  if (listener_ >= 0 && (fds[0].revents & POLLIN)) AcceptClients();

  // Served in turn; a client may be removed while its share is handled, so walk by index.
  for (size_t i = 0; i < clients_.size() && !closed_;) {
    Client& client = *clients_[i];
    ServeClient(client);
    if (client.ended && !client.assembler.HasEvent()) {
      close(client.socket);
      clients_.erase(clients_.begin() + static_cast<long>(i));
      if (clients_.empty()) SetOffline("Offline");
    } else {
      ++i;
    }
    // With many busy clients a turn draws many packets; the show's timer frames come between
    // clients' shares so that they keep their pace.
    if (!closed_ && std::chrono::steady_clock::now() >= nextTimer_) RunTimer();
  }

  if (!closed_ && std::chrono::steady_clock::now() >= nextTimer_) RunTimer();
  if (QuitRequested()) closed_ = true;
  ToolWindow.Refresh();
}

void TPDSServerObject::AcceptClients() {
  for (;;) {
    const int fd = accept4(listener_, nullptr, nullptr, SOCK_NONBLOCK | SOCK_CLOEXEC);
    if (fd < 0) return;
    if (clients_.size() >= MaxClients) {
      close(fd);
      continue;
    }
    auto client = std::make_unique<Client>();
    client->socket = fd;
    clients_.push_back(std::move(client));
    SetOffline("ONLINE");
  }
}

void TPDSServerObject::ServeClient(Client& client) {
  if (!client.ended) {
    size_t room = 0;
    uint8_t* target = client.assembler.Reserve(room);
    if (room > 0) {
      const ssize_t received = recv(client.socket, target, room, 0);
      if (received > 0)
        client.assembler.Commit(static_cast<size_t>(received));
      else if (received == 0 || (errno != EAGAIN && errno != EWOULDBLOCK && errno != EINTR))
        client.ended = true;
    }
  }
  // Out-of-sync counts draw nothing and cost little; only whole packets use up the share.
  int packets = 0;
  StreamEvent event;
  while (packets < PacketsPerTurn && !closed_ && client.assembler.Next(event)) {
    HandleEvent(event);
    if (event.kind == StreamEvent::Kind::Packet) ++packets;
  }
  // A client that went away loses only the packet it had not finished sending.
  if (client.ended && !client.assembler.HasEvent()) client.assembler.Clear();
}

void TPDSServerObject::HandleEvent(const StreamEvent& event) {
  if (event.kind == StreamEvent::Kind::OutOfSync) {
    ++OutOfSyncCounts;
    SetLabel1("Out of sync");
    return;
  }
  SetLabel1("Reading " + std::to_string(event.count) + " streams");
  ToolWindow.Refresh();
  StreamValues = event.values;
  ++PacketsHandled;
  LivePacketSeconds = LiveTimer.Now();
  if (DrawPacketFrame) DrawPacketFrame();
  if (QuitRequested()) closed_ = true;
}

void TPDSServerObject::RunTimer() {
  ShowTime = LiveTimer.Tick();
  FrameDelta = LiveTimer.Delta;
  ++TimerFrames;
  if (DrawTimerFrame) DrawTimerFrame();
  nextTimer_ += TimerInterval;
  // After a long stall the timer fires once and starts counting again, like a window timer.
  const auto now = std::chrono::steady_clock::now();
  if (nextTimer_ <= now) nextTimer_ = now + TimerInterval;
}

void TPDSServerObject::SetOffline(const std::string& text) {
  offline_ = text;
  ToolWindow.SetCaption1(text);
}

void TPDSServerObject::SetLabel1(const std::string& text) {
  label1_ = text;
  ToolWindow.SetCaption2(text);
}
