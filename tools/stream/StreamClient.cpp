// vantrel-stream: sends stream packets to a live-mode server from arguments, standard input or a sweep.
#include <netdb.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <iostream>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "live/StreamPackets.h"

namespace {
constexpr float Pi = 3.14159265f;

struct Options {
  std::string host = "127.0.0.1";
  std::string port = "1024";
  double rate = 0;       // packets a second; 0 means as fast as the values come
  long count = -1;       // packets to send; -1 means the mode's default, 0 without end
  bool sweep = false;
  bool fromInput = false;
  bool quiet = false;
  std::vector<float> values;
};

const char* const Usage =
    "Usage: vantrel-stream [--host H] [--port P] [--rate HZ] [--count N] VALUE...\n"
    "       vantrel-stream [--host H] [--port P] [--rate HZ] [--count N] --sweep\n"
    "       vantrel-stream [--host H] [--port P] [--rate HZ] -\n"
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
    "  --quiet      no summary at the end\n";

bool ParseValue(const std::string& text, float& value) {
  if (text == "nan" || text == "NaN" || text == "NAN") {
    value = AbsentStreamValue();
    return true;
  }
  char* end = nullptr;
  value = std::strtof(text.c_str(), &end);
  return !text.empty() && end && *end == '\0';
}

bool ParseOptions(int argc, char** argv, Options& options, std::string& error) {
  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i];
    auto next = [&](const char* what) -> const char* {
      if (i + 1 >= argc) {
        error = arg + " needs " + what;
        return nullptr;
      }
      return argv[++i];
    };
    if (arg == "--host") {
      const char* value = next("a host name");
      if (!value) return false;
      options.host = value;
    } else if (arg == "--port") {
      const char* value = next("a port number");
      if (!value) return false;
      char* end = nullptr;
      const long port = std::strtol(value, &end, 10);
      if (*end != '\0' || port < 1 || port > 65535) {
        error = "--port needs a number from 1 to 65535";
        return false;
      }
      options.port = value;
    } else if (arg == "--rate") {
      const char* value = next("packets a second");
      if (!value) return false;
      char* end = nullptr;
      options.rate = std::strtod(value, &end);
      if (*end != '\0' || !(options.rate > 0 && options.rate <= 10000)) {
        error = "--rate needs a number of packets a second above 0 (at most 10000)";
        return false;
      }
    } else if (arg == "--count") {
      const char* value = next("a number of packets");
      if (!value) return false;
      char* end = nullptr;
      options.count = std::strtol(value, &end, 10);
      if (*end != '\0' || options.count < 0) {
        error = "--count needs a whole number, 0 for no end";
        return false;
      }
    } else if (arg == "--sweep") {
      options.sweep = true;
    } else if (arg == "--quiet") {
      options.quiet = true;
    } else if (arg == "-") {
      options.fromInput = true;
    } else if (arg == "--help" || arg == "-h") {
      std::fputs(Usage, stdout);
      std::exit(0);
    } else {
      float value = 0;
      // Negative numbers are values, not options.
      if (!ParseValue(arg, value)) {
        error = "not a value or option: " + arg;
        return false;
      }
      options.values.push_back(value);
    }
  }
  const int modes = (options.sweep ? 1 : 0) + (options.fromInput ? 1 : 0) + (options.values.empty() ? 0 : 1);
  if (modes != 1) {
    error = modes == 0 ? "nothing to send: give values, --sweep or -"
                       : "give only one of: values, --sweep, -";
    return false;
  }
  if (options.values.size() > MaxStreamCount) {
    error = "at most 64 values fit in a packet";
    return false;
  }
  return true;
}

// Connects with TCP_NODELAY so that each small packet leaves at once; -1 after saying why not.
int Connect(const Options& options) {
  addrinfo hints{};
  hints.ai_family = AF_UNSPEC;
  hints.ai_socktype = SOCK_STREAM;
  addrinfo* found = nullptr;
  const int status = getaddrinfo(options.host.c_str(), options.port.c_str(), &hints, &found);
  if (status != 0) {
    std::fprintf(stderr, "vantrel-stream: cannot resolve %s: %s\n", options.host.c_str(),
                 gai_strerror(status));
    return -1;
  }
  int lastError = 0;
  int fd = -1;
  for (addrinfo* entry = found; entry && fd < 0; entry = entry->ai_next) {
    fd = socket(entry->ai_family, entry->ai_socktype | SOCK_CLOEXEC, entry->ai_protocol);
    if (fd < 0) {
      lastError = errno;
      continue;
    }
    if (connect(fd, entry->ai_addr, entry->ai_addrlen) != 0) {
      lastError = errno;
      close(fd);
      fd = -1;
    }
  }
  freeaddrinfo(found);
  if (fd < 0) {
    if (lastError == ECONNREFUSED)
      std::fprintf(stderr,
                   "vantrel-stream: connection to %s port %s refused: no live-mode server is "
                   "listening there (start it with: vantrel -pds)\n",
                   options.host.c_str(), options.port.c_str());
    else
      std::fprintf(stderr, "vantrel-stream: cannot connect to %s port %s: %s\n",
                   options.host.c_str(), options.port.c_str(), std::strerror(lastError));
    return -1;
  }
  const int yes = 1;
  setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &yes, sizeof yes);
  return fd;
}

bool SendAll(int fd, const std::vector<uint8_t>& bytes) {
  size_t sent = 0;
  while (sent < bytes.size()) {
    const ssize_t n = send(fd, bytes.data() + sent, bytes.size() - sent, MSG_NOSIGNAL);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) {
      std::fprintf(stderr, "vantrel-stream: the server closed the connection (%s)\n",
                   std::strerror(errno));
      return false;
    }
    sent += static_cast<size_t>(n);
  }
  return true;
}

// Moving values that switch the layers on in turn, eight seconds a round, so every layer and
// the flash, the overlay pictures and the feedback picture are seen within a few rounds.
std::vector<float> SweepValues(float t) {
  std::vector<float> v(11, AbsentStreamValue());
  const int phase = static_cast<int>(t / 2.0f) % 4;
  const int round = static_cast<int>(t / 8.0f);
  const float slow = 0.5f + 0.5f * std::sin(t * 0.7f);
  v[1] = 0.4f + 0.6f * slow;                                 // background warp, always on
  const float beat = std::max(0.0f, std::sin(t * Pi * 2.0f * 157.0f / 60.0f / 4.0f));
  v[0] = std::pow(beat, 16.0f) * 0.6f;                       // a flash once a bar
  switch ((phase + round) % 4) {
    case 0: v[9] = 1; v[4] = slow; break;                    // warp picture, then the ring over it
    case 1: v[2] = slow; v[8] = 1 - slow; break;             // the swarm, fed back and plain
    case 2: v[3] = 1; v[5] = 1; break;                       // the crowd, then the pillars
    case 3: v[10] = slow; v[6] = 4; break;                   // the feedback picture full screen
  }
  if (v[6] != 4) {
    v[6] = static_cast<float>(static_cast<int>(t) % 4);      // overlay pictures 0 to 3 in turn
    v[7] = 0.3f + 0.3f * std::sin(t * 2.0f);
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
  if (!ParseOptions(argc, argv, options, error)) {
    std::fprintf(stderr, "vantrel-stream: %s\n\n%s", error.c_str(), Usage);
    return 2;
  }
  if (options.sweep && options.rate == 0) options.rate = 25;
  long count = options.count;
  if (count < 0) count = options.sweep ? 0 : 1;

  const int fd = Connect(options);
  if (fd < 0) return 1;

  using Clock = std::chrono::steady_clock;
  const auto start = Clock::now();
  const auto period = options.rate > 0 ? std::chrono::duration<double>(1.0 / options.rate)
                                       : std::chrono::duration<double>(0);
  long sent = 0;
  int exitCode = 0;
  for (;;) {
    if (!options.fromInput && count > 0 && sent >= count) break;
    std::vector<float> values;
    if (options.fromInput) {
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
    if (!SendAll(fd, EncodeStreamPacket(values.data(), static_cast<int32_t>(values.size())))) {
      exitCode = 1;
      break;
    }
    ++sent;
    if (period.count() > 0)
      std::this_thread::sleep_until(start + std::chrono::duration_cast<Clock::duration>(period * sent));
  }
  close(fd);
  if (!options.quiet) std::fprintf(stderr, "vantrel-stream: sent %ld packets\n", sent);
  return exitCode;
}
