// The sound server's latency for our playback stream, asked with libpulse's threaded main loop.
#include "platform/ServerLatency.h"

#include <pulse/pulseaudio.h>
#include <unistd.h>

#include <cmath>
#include <cstdlib>
#include <deque>
#include <limits>
#include <string>

#include "platform/SteadyClock.h"

namespace {
constexpr double Nan = std::numeric_limits<double>::quiet_NaN();
// A server that went away (or never answered) is connected to again this often.
constexpr double ReconnectSeconds = 1.0;

struct Reading {
  double at;      // steady seconds when it was taken
  double buffer;  // the stream's buffer on the server
  double sink;    // the sink's own latency
};
}  // namespace

// Everything here but construction and the stop runs on libpulse's thread, from its callbacks.
struct ServerLatency::Connection {
  ServerLatency* owner = nullptr;
  pa_threaded_mainloop* loop = nullptr;
  pa_context* context = nullptr;
  pa_time_event* timer = nullptr;
  bool asking = false;      // a question is in flight
  double connectedAt = -1;  // when the current context was made (steady seconds)
  std::string processId = std::to_string(getpid());
  // The stream the last answer found, since when it has been seen, and whether this answer has
  // found it yet.
  uint32_t stream = PA_INVALID_INDEX;
  double streamSince = 0;
  bool foundThisAnswer = false;
  Reading latest{};
  std::deque<Reading> recent;

  void Publish(double seconds, double buffer) {
    owner->seconds_.store(seconds, std::memory_order_release);
    owner->bufferSeconds_.store(buffer, std::memory_order_release);
  }

  void Forget() {
    recent.clear();
    stream = PA_INVALID_INDEX;
    Publish(Nan, Nan);
  }

  void DropContext() {
    if (!context) return;
    pa_context_disconnect(context);
    pa_context_unref(context);
    context = nullptr;
    asking = false;
    Forget();
  }

  void Connect(double now) {
    connectedAt = now;
    context = pa_context_new(pa_threaded_mainloop_get_api(loop), "Vantrel Kelvara latency");
    if (context && pa_context_connect(context, nullptr, PA_CONTEXT_NOAUTOSPAWN, nullptr) < 0) {
      pa_context_unref(context);
      context = nullptr;
    }
  }

  // One stream of the server's list, or the list's end (eol > 0) or a failure (eol < 0).
  static void Answer(pa_context*, const pa_sink_input_info* info, int eol, void* user) {
    auto& self = *static_cast<Connection*>(user);
    if (eol != 0) {
      self.asking = false;
      if (eol > 0) self.Answered();
      return;
    }
    if (!info || self.foundThisAnswer) return;
    const char* pid = pa_proplist_gets(info->proplist, PA_PROP_APPLICATION_PROCESS_ID);
    if (!pid || self.processId != pid) return;
    self.foundThisAnswer = true;
    const double now = SteadySeconds();
    if (info->index != self.stream) {
      // A new stream (the device was opened again): its readings start afresh.
      self.recent.clear();
      self.stream = info->index;
      self.streamSince = now;
    }
    self.latest = {now, static_cast<double>(info->buffer_usec) / 1e6, static_cast<double>(info->sink_usec) / 1e6};
  }

  void Answered() {
    if (!foundThisAnswer) {
      Forget();
      return;
    }
    foundThisAnswer = false;
    if (latest.at - streamSince < SettlingSeconds) return;
    recent.push_back(latest);
    while (!recent.empty() && latest.at - recent.front().at > AveragedSeconds) recent.pop_front();
    double total = 0, buffer = 0;
    for (const Reading& reading : recent) {
      total += reading.buffer + reading.sink;
      buffer += reading.buffer;
    }
    const double count = static_cast<double>(recent.size());
    Publish(total / count, buffer / count);
    owner->readings_.fetch_add(1, std::memory_order_acq_rel);
  }

  static void Tick(pa_mainloop_api* api, pa_time_event* event, const timeval*, void* user) {
    auto& self = *static_cast<Connection*>(user);
    const double now = SteadySeconds();
    if (self.context) {
      const pa_context_state_t state = pa_context_get_state(self.context);
      if (state == PA_CONTEXT_FAILED || state == PA_CONTEXT_TERMINATED) {
        self.DropContext();
      } else if (state == PA_CONTEXT_READY && !self.asking) {
        if (pa_operation* asked = pa_context_get_sink_input_info_list(self.context, Answer, &self)) {
          self.asking = true;
          pa_operation_unref(asked);
        }
      }
    }
    if (!self.context && now - self.connectedAt >= ReconnectSeconds) self.Connect(now);
    timeval next{};
    pa_timeval_add(pa_gettimeofday(&next), static_cast<pa_usec_t>(PollSeconds * 1e6));
    api->time_restart(event, &next);
  }
};

ServerLatency::ServerLatency() : seconds_(Nan), bufferSeconds_(Nan) {}

ServerLatency::~ServerLatency() { Stop(); }

bool ServerLatency::Start() {
  if (connection_) return true;
  auto connection = std::make_unique<Connection>();
  connection->owner = this;
  connection->loop = pa_threaded_mainloop_new();
  if (!connection->loop) return false;
  pa_mainloop_api* api = pa_threaded_mainloop_get_api(connection->loop);
  timeval now{};
  pa_gettimeofday(&now);
  // The first tick connects at once.
  connection->timer = api->time_new(api, &now, Connection::Tick, connection.get());
  if (!connection->timer || pa_threaded_mainloop_start(connection->loop) < 0) {
    if (connection->timer) api->time_free(connection->timer);
    pa_threaded_mainloop_free(connection->loop);
    return false;
  }
  connection_ = std::move(connection);
  return true;
}

void ServerLatency::Stop() {
  if (!connection_) return;
  Connection& connection = *connection_;
  pa_threaded_mainloop_lock(connection.loop);
  pa_mainloop_api* api = pa_threaded_mainloop_get_api(connection.loop);
  api->time_free(connection.timer);
  connection.DropContext();
  pa_threaded_mainloop_unlock(connection.loop);
  pa_threaded_mainloop_stop(connection.loop);
  pa_threaded_mainloop_free(connection.loop);
  connection_.reset();
  seconds_.store(Nan, std::memory_order_release);
  bufferSeconds_.store(Nan, std::memory_order_release);
}
