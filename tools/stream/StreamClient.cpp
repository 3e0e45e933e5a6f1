// vantrel-stream: sends stream packets to a live-mode server from arguments, standard input, a
// sweep or a recorded set, over TCP or as OSC; can record what it sends.
#include <fcntl.h>
#include <lo/lo.h>
#include <netdb.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iostream>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include <CLI/CLI.hpp>

#include "app/Version.h"
#include "live/OscInput.h"
#include "live/SetRecording.h"
#include "live/SlotMap.h"
#include "live/StreamPackets.h"
#include "platform/CommandLine.h"

namespace {
constexpr float Pi = 3.14159265f;

struct Options {
  std::string host = "127.0.0.1";
  int port = 1024;
  double rate = 0;       // packets a second; 0 means as fast as the values come
  long count = -1;       // packets to send; -1 means the mode's default, 0 without end
  bool sweep = false;
  bool fromInput = false;
  bool quiet = false;
  std::vector<float> values;
  int oscPort = 0;       // above 0: send OSC messages over UDP to this port instead of TCP
  double timeout = 5;    // seconds for connecting and for each send
  std::string record;    // write every packet sent, with its time, into this file
  std::string replay;    // send a recorded set at its own pace
};

const char* const Usage =
    "Usage: vantrel-stream [--host H] [--port P] [--rate HZ] [--count N] VALUE...\n"
    "       vantrel-stream [--host H] [--port P] [--rate HZ] [--count N] --sweep\n"
    "       vantrel-stream [--host H] [--port P] [--rate HZ] -\n"
    "       vantrel-stream [--host H] [--port P] --replay SET\n"
    "\n"
    "Sends packets of up to 64 float values to a live-mode server (vantrel -pds).\n"
    "  VALUE...     the values of slots 0, 1, 2, ... as one packet; 'nan' leaves a slot absent\n"
    "  --sweep      built-in moving values that switch every layer on in turn (25 packets a\n"
    "               second and no end unless --rate or --count say otherwise)\n"
    "  -            one packet per line of whitespace-separated values from standard input\n"
    "  --host H     server host (127.0.0.1)\n"
    "  --port P     server port (1024)\n"
    "  --rate HZ    packets a second (with VALUE... and --count, repeats the packet)\n"
    "  --count N    packets to send; 0 sends without end (VALUE...: 1)\n"
    "  --replay SET send a set recorded with --record, at its recorded times\n"
    "  --record SET write every packet sent, with its time, into SET\n"
    "  --osc PORT   send each packet as an OSC message /vantrel/packet over UDP to PORT\n"
    "               (vantrel -pds --osc PORT) instead of over TCP\n"
    "  --timeout S  seconds to wait for the connection and for each send (5)\n"
    "  --quiet      no summary at the end\n"
    "  --version    print the version and the build's git commit\n"
    "Numbers too large for a float (1e39) are refused; 'inf' is sent as written.\n";

bool ParseValue(const std::string& text, float& value) { return ParseStreamValue(text, value); }

// What the command line asks for besides sending.
enum class Answer { Send, Help, Version };

// Reads the command line into options; false with the line that says why not. answer is Help for
// --help or Version for --version, and nothing else is then asked of the line.
bool ParseOptions(int argc, char** argv, Options& options, Answer& answer, std::string& error) {
  CLI::App app;
  app.set_help_flag();  // --help prints Usage, written by hand
  // The values are the entries CLI11 does not take as options, in their order: it would read
  // "-inf" or "-.5" as a short option, so they reach the program as extras.
  app.allow_extras();
  app.option_defaults()->multi_option_policy(CLI::MultiOptionPolicy::TakeLast);
  const CLI::Option* helpFlag = app.add_flag("-h,--help");
  const CLI::Option* versionFlag = app.add_flag("--version");
  app.add_option("--host", options.host)->type_name("a host name");
  AddNumberOption(app, "--port", options.port, {1, 65535, true}, "a port number");
  AddNumberOption(app, "--osc", options.oscPort, {1, 65535, true}, "a port number");
  AddNumberOption(app, "--rate", options.rate, {0, 10000, false, true}, "packets a second");
  AddNumberOption(app, "--count", options.count, {0, 1e9, true}, "a number of packets");
  AddNumberOption(app, "--timeout", options.timeout, {0, 3600, false, true}, "seconds");
  app.add_option("--record", options.record)->type_name("a file name");
  app.add_option("--replay", options.replay)->type_name("a file name");
  app.add_flag("--sweep", options.sweep);
  app.add_flag("--quiet", options.quiet);
  if (!ParseCommandLine<CLI::ParseError>(app, argc, argv, error)) return false;
  answer = helpFlag->count() > 0 ? Answer::Help : versionFlag->count() > 0 ? Answer::Version : Answer::Send;
  if (answer != Answer::Send) return true;
  for (const std::string& word : app.remaining()) {
    float value = 0;
    if (word == "-") {
      options.fromInput = true;
    } else if (ParseValue(word, value)) {
      options.values.push_back(value);
    } else {
      error = "not a value or option: " + word;
      return false;
    }
  }
  const int modes = (options.sweep ? 1 : 0) + (options.fromInput ? 1 : 0) +
                    (options.values.empty() ? 0 : 1) + (options.replay.empty() ? 0 : 1);
  if (modes != 1) {
    error = modes == 0 ? "nothing to send: give values, --sweep, - or --replay SET"
                       : "give only one of: values, --sweep, -, --replay SET";
    return false;
  }
  if (options.values.size() > MaxStreamCount) {
    error = "at most 64 values fit in a packet";
    return false;
  }
  return true;
}

// Connects within the timeout, with TCP_NODELAY so that each small packet leaves at once and a
// send timeout; -1 after saying why not.
int Connect(const Options& options) {
  addrinfo hints{};
  hints.ai_family = AF_UNSPEC;
  hints.ai_socktype = SOCK_STREAM;
  addrinfo* found = nullptr;
  const int status = getaddrinfo(options.host.c_str(), std::to_string(options.port).c_str(), &hints, &found);
  if (status != 0) {
    std::fprintf(stderr, "vantrel-stream: cannot resolve %s: %s\n", options.host.c_str(),
                 gai_strerror(status));
    return -1;
  }
  int lastError = 0;
  int fd = -1;
  const int waitMs = static_cast<int>(options.timeout * 1000);
  for (addrinfo* entry = found; entry && fd < 0; entry = entry->ai_next) {
    fd = socket(entry->ai_family, entry->ai_socktype | SOCK_CLOEXEC | SOCK_NONBLOCK, entry->ai_protocol);
    if (fd < 0) {
      lastError = errno;
      continue;
    }
    int result = connect(fd, entry->ai_addr, entry->ai_addrlen) == 0 ? 0 : errno;
    if (result == EINPROGRESS) {
      pollfd one{fd, POLLOUT, 0};
      if (poll(&one, 1, waitMs) == 1) {
        socklen_t length = sizeof result;
        getsockopt(fd, SOL_SOCKET, SO_ERROR, &result, &length);
      } else {
        result = ETIMEDOUT;
      }
    }
    if (result != 0) {
      lastError = result;
      close(fd);
      fd = -1;
    }
  }
  freeaddrinfo(found);
  if (fd < 0) {
    if (lastError == ECONNREFUSED)
      std::fprintf(stderr,
                   "vantrel-stream: connection to %s port %d refused: no live-mode server is "
                   "listening there (start it with: vantrel -pds)\n",
                   options.host.c_str(), options.port);
    else if (lastError == ETIMEDOUT)
      std::fprintf(stderr, "vantrel-stream: no answer from %s port %d within %g s\n",
                   options.host.c_str(), options.port, options.timeout);
    else
      std::fprintf(stderr, "vantrel-stream: cannot connect to %s port %d: %s\n",
                   options.host.c_str(), options.port, std::strerror(lastError));
    return -1;
  }
  fcntl(fd, F_SETFL, fcntl(fd, F_GETFL) & ~O_NONBLOCK);
  const int yes = 1;
  setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &yes, sizeof yes);
  timeval limit{};
  limit.tv_sec = static_cast<time_t>(options.timeout);
  limit.tv_usec = static_cast<suseconds_t>((options.timeout - static_cast<double>(limit.tv_sec)) * 1e6);
  setsockopt(fd, SOL_SOCKET, SO_SNDTIMEO, &limit, sizeof limit);
  return fd;
}

// The server never writes, so anything to read means it closed its side (or reset it).
bool ServerHasClosed(int fd) {
  pollfd one{fd, POLLIN | POLLRDHUP, 0};
  return poll(&one, 1, 0) == 1 && (one.revents & (POLLIN | POLLRDHUP | POLLHUP | POLLERR));
}

void ReportServerClosed(long sent) {
  if (sent == 0)
    std::fprintf(stderr,
                 "vantrel-stream: the server closed the connection before a packet was read "
                 "(it may be full, or it found this client silent for too long)\n");
  else
    std::fprintf(stderr,
                 "vantrel-stream: the server closed the connection after %ld packets were sent; "
                 "the last of them may not have been read\n", sent);
}

bool SendAll(int fd, const std::vector<uint8_t>& bytes, long sent, double timeout) {
  if (ServerHasClosed(fd)) {
    ReportServerClosed(sent);
    return false;
  }
  size_t done = 0;
  while (done < bytes.size()) {
    const ssize_t n = send(fd, bytes.data() + done, bytes.size() - done, MSG_NOSIGNAL);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) {
      std::fprintf(stderr, "vantrel-stream: the server took nothing for %g s; giving up\n", timeout);
      return false;
    }
    if (n <= 0) {
      ReportServerClosed(sent);
      return false;
    }
    done += static_cast<size_t>(n);
  }
  return true;
}

// Ends the sending side and waits for the server to close its own once it has read everything
// (it closes only after it has taken every byte before the end). False when it closed or reset
// the connection first: then not every packet was read.
bool ConfirmDelivery(int fd, long sent, double timeout) {
  if (ServerHasClosed(fd)) {
    ReportServerClosed(sent);
    return false;
  }
  shutdown(fd, SHUT_WR);
  // A slow server may still be drawing what is queued: allow it more than one send's wait.
  pollfd one{fd, POLLIN | POLLRDHUP, 0};
  if (poll(&one, 1, static_cast<int>(std::max(10.0, timeout) * 1000)) != 1) {
    std::fprintf(stderr, "vantrel-stream: the server has not yet read everything; packets may "
                         "still be waiting there\n");
    return true;
  }
  uint8_t scratch[16];
  const ssize_t n = recv(fd, scratch, sizeof scratch, 0);
  int error = n < 0 ? errno : 0;
  if (error == 0) {
    socklen_t length = sizeof error;
    getsockopt(fd, SOL_SOCKET, SO_ERROR, &error, &length);
  }
  if (error != 0) {
    ReportServerClosed(sent);
    return false;
  }
  return true;
}

// One OSC message /vantrel/packet with the values as floats (NaN for an absent slot).
bool SendOsc(lo_address target, const std::vector<float>& values) {
  lo_message message = lo_message_new();
  for (float value : values) lo_message_add_float(message, value);
  const int result = lo_send_message(target, OscPacketAddress, message);
  lo_message_free(message);
  if (result < 0) {
    std::fprintf(stderr, "vantrel-stream: cannot send OSC: %s\n", lo_address_errstr(target));
    return false;
  }
  return true;
}

// Moving values that switch the layers on in turn, eight seconds a round, so every layer and
// the flash, the overlay pictures and the feedback picture are seen within a few rounds.
std::vector<float> SweepValues(float t) {
  std::vector<float> v(LiveSlotMap.size(), AbsentStreamValue());
  const int phase = static_cast<int>(t / 2.0f) % 4;
  const int round = static_cast<int>(t / 8.0f);
  const float slow = 0.5f + 0.5f * std::sin(t * 0.7f);
  v[BackgroundSlot] = 0.4f + 0.6f * slow;                    // always on
  const float beat = std::max(0.0f, std::sin(t * Pi * 2.0f * 157.0f / 60.0f / 4.0f));
  v[FlashSlot] = std::pow(beat, 16.0f) * 0.6f;               // once a bar
  switch ((phase + round) % 4) {
    case 0: v[RingSlot] = 1; v[WarpSlot] = slow; break;      // warp picture, then the ring over it
    case 1: v[SwarmTrailSlot] = slow; v[SwarmSlot] = 1 - slow; break;
    case 2: v[CrowdSlot] = 1; v[PillarSlot] = 1; break;      // the crowd, then the pillars
    case 3: v[FeedbackSlot] = slow; v[OverlayPictureSlot] = 4; break;  // feedback picture full screen
  }
  if (v[OverlayPictureSlot] != 4) {
    v[OverlayPictureSlot] = static_cast<float>(static_cast<int>(t) % 4);  // pictures 0 to 3 in turn
    v[OverlayOpacitySlot] = 0.3f + 0.3f * std::sin(t * 2.0f);
  }
  return v;
}

bool ParseLine(const std::string& line, std::vector<float>& values, std::string& error) {
  std::istringstream words(line);
  std::string word;
  values.clear();
  while (words >> word) {
    float value = 0;
    if (!ParseValue(word, value)) {
      error = "not a value: " + word;
      return false;
    }
    values.push_back(value);
  }
  if (values.size() > MaxStreamCount) {
    error = "more than 64 values on one line";
    return false;
  }
  return true;
}
}  // namespace

int main(int argc, char** argv) {
  Options options;
  std::string error;
  Answer answer = Answer::Send;
  if (!ParseOptions(argc, argv, options, answer, error)) return ReportCommandLineMistake("vantrel-stream", error);
  if (answer == Answer::Help) std::fputs(Usage, stdout);
  if (answer == Answer::Version) std::puts(VersionLine("vantrel-stream").c_str());
  if (answer != Answer::Send) return 0;
  if (options.sweep && options.rate == 0) options.rate = 25;
  long count = options.count;
  if (count < 0) count = options.sweep ? 0 : 1;

  std::vector<RecordedPacket> set;
  if (!options.replay.empty()) {
    if (!ReadSetRecording(options.replay, set, error)) {
      std::fprintf(stderr, "vantrel-stream: %s\n", error.c_str());
      return 2;
    }
    count = static_cast<long>(set.size());
  }
  std::ofstream record;
  if (!options.record.empty()) {
    record.open(options.record);
    if (!record) {
      std::fprintf(stderr, "vantrel-stream: cannot write %s\n", options.record.c_str());
      return 2;
    }
    record << "# vantrel-stream recording: seconds since the start, then the values of slots 0, 1, ...\n";
  }

  int fd = -1;
  lo_address osc = nullptr;
  if (options.oscPort == 0) {
    fd = Connect(options);
    if (fd < 0) return 1;
  } else {
    osc = lo_address_new(options.host.c_str(), std::to_string(options.oscPort).c_str());
    if (!osc) {
      std::fprintf(stderr, "vantrel-stream: cannot send OSC to %s port %d\n", options.host.c_str(),
                   options.oscPort);
      return 1;
    }
  }

  using Clock = std::chrono::steady_clock;
  const auto start = Clock::now();
  const auto period = options.rate > 0 ? std::chrono::duration<double>(1.0 / options.rate)
                                       : std::chrono::duration<double>(0);
  long sent = 0;
  int exitCode = 0;
  for (;;) {
    if (!options.fromInput && count > 0 && sent >= count) break;
    if (!options.replay.empty() && sent >= count) break;
    std::vector<float> values;
    if (!options.replay.empty()) {
      // A recorded set keeps its own pace.
      std::this_thread::sleep_until(start + std::chrono::duration_cast<Clock::duration>(
                                                std::chrono::duration<double>(set[sent].time)));
      values = set[sent].values;
    } else if (options.fromInput) {
      std::string line;
      if (!std::getline(std::cin, line)) break;
      if (!ParseLine(line, values, error)) {
        std::fprintf(stderr, "vantrel-stream: line skipped: %s\n", error.c_str());
        continue;
      }
    } else if (options.sweep) {
      values = SweepValues(std::chrono::duration<float>(Clock::now() - start).count());
    } else {
      values = options.values;
    }
    const double time = std::chrono::duration<double>(Clock::now() - start).count();
    const bool ok = osc ? SendOsc(osc, values)
                        : SendAll(fd, EncodeStreamPacket(values.data(), static_cast<int32_t>(values.size())),
                                  sent, options.timeout);
    if (!ok) {
      exitCode = 1;
      break;
    }
    if (record.is_open())
      record << FormatRecordedPacket(time, values.data(), static_cast<int>(values.size())) << std::flush;
    ++sent;
    if (period.count() > 0 && options.replay.empty())
      std::this_thread::sleep_until(start + std::chrono::duration_cast<Clock::duration>(period * sent));
  }
  if (fd >= 0) {
    if (exitCode == 0 && !ConfirmDelivery(fd, sent, options.timeout)) exitCode = 1;
    close(fd);
  }
  if (osc) lo_address_free(osc);
  if (!options.quiet) std::fprintf(stderr, "vantrel-stream: sent %ld packets\n", sent);
  return exitCode;
}
