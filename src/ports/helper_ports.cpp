#include "ports/helper_ports.h"

#include <fcntl.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>

#include "hw/realports.h"
#include "ports/helper_process.h"

extern char** environ;

#ifndef KEV_HELPER_INSTALL_PATH
#define KEV_HELPER_INSTALL_PATH "/usr/local/bin/kevatra-ports"
#endif

namespace kev::ports {
namespace {

constexpr const char* kHelperName = "kevatra-ports";
constexpr const char* kGroup = "kevatra";
constexpr int kExecFailed = 127;

uint32_t AllOnes(uint8_t width) { return width == 4 ? 0xFFFFFFFFu : (1u << (8 * width)) - 1u; }

std::string Reinstall(const std::string& path, const std::string& what) {
  return "The port helper " + path + " " + what + ": reinstall Kevatra.";
}

// The file problem that keeps this user from running the helper, if any.
std::string FileProblem(const std::string& path) {
  struct stat st {};
  if (stat(path.c_str(), &st) != 0 || !S_ISREG(st.st_mode)) return Reinstall(path, "is missing");
  if (access(path.c_str(), X_OK) == 0) return {};
  return "The port helper " + path + " may not be run by this user: join the group " + kGroup +
         " (sudo usermod -aG " + kGroup + " $USER) and log in again.";
}

std::string HelperRefusalText(const std::string& path, uint8_t code, int err) {
  auto refusal = static_cast<PortAccessRefusal>(code);
  if (code > static_cast<uint8_t>(PortAccessRefusal::Other)) refusal = PortAccessRefusal::Other;
  if (refusal != PortAccessRefusal::NoPrivilege) return RefusalText(refusal, err);
  return "Port access refused: the port helper " + path +
         " lacks CAP_SYS_RAWIO: reinstall Kevatra (its install runs setcap cap_sys_rawio=ep on "
         "it), or start the program as root.";
}

// Everything the child needs, made before fork: after it, only calls that
// are safe in a child of a threaded program.
struct ExecPlan {
  std::vector<std::string> strings;
  std::vector<char*> argv;
  std::vector<char*> envp;

  ExecPlan(const std::string& path, const std::vector<std::string>& args) {
    strings.push_back(path);
    strings.insert(strings.end(), args.begin(), args.end());
    const size_t argc = strings.size();
    const std::string parentPrefix = std::string(kParentVariable) + "=";
    for (char** e = environ; e != nullptr && *e != nullptr; ++e) {
      if (!std::string_view(*e).starts_with(parentPrefix)) strings.emplace_back(*e);
    }
    strings.push_back(parentPrefix + std::to_string(getpid()));
    for (size_t i = 0; i < strings.size(); ++i) {
      (i < argc ? argv : envp).push_back(strings[i].data());
    }
    argv.push_back(nullptr);
    envp.push_back(nullptr);
  }
};

}  // namespace

std::string DefaultHelperPath() {
  std::error_code ec;
  const std::filesystem::path self = std::filesystem::read_symlink("/proc/self/exe", ec);
  if (!ec) {
    const std::filesystem::path beside = self.parent_path() / kHelperName;
    if (std::filesystem::exists(beside, ec)) return beside.string();
  }
  return KEV_HELPER_INSTALL_PATH;
}

HelperPorts::HelperPorts(std::string helperPath, std::vector<std::string> args)
    : path_(std::move(helperPath)), args_(std::move(args)) {}

HelperPorts::~HelperPorts() {
  const std::lock_guard lock(mutex_);
  sendPending();
  stopHelper();
}

std::string HelperPorts::refusalReason() const {
  const std::lock_guard lock(mutex_);
  return reason_;
}

pid_t HelperPorts::helperPid() const {
  const std::lock_guard lock(mutex_);
  return pid_;
}

uint64_t HelperPorts::refusals() const {
  const std::lock_guard lock(mutex_);
  return refusals_;
}

bool HelperPorts::lost() const {
  const std::lock_guard lock(mutex_);
  return lost_;
}

bool HelperPorts::requestAccess() {
  const std::lock_guard lock(mutex_);
  if (state_ == State::NotAsked) {
    reason_ = FileProblem(path_);
    if (reason_.empty()) reason_ = startHelper();
    if (reason_.empty()) reason_ = greet();
    if (!reason_.empty()) stopHelper();
    state_ = reason_.empty() ? State::Granted : State::Refused;
  }
  return live();
}

std::string HelperPorts::startHelper() {
  int sv[2];
  if (socketpair(AF_UNIX, SOCK_SEQPACKET | SOCK_CLOEXEC, 0, sv) != 0) {
    return std::string("Cannot start the port helper: ") + std::strerror(errno) + ".";
  }
  ExecPlan plan(path_, args_);
  pid_ = fork();
  if (pid_ == 0) {
    // dup2 onto the same number would keep close-on-exec set.
    if (sv[1] == kServedFd ? fcntl(kServedFd, F_SETFD, 0) == 0 : dup2(sv[1], kServedFd) >= 0) {
      execve(plan.argv[0], plan.argv.data(), plan.envp.data());
    }
    _exit(kExecFailed);
  }
  close(sv[1]);
  if (pid_ < 0) {
    close(sv[0]);
    return std::string("Cannot start the port helper: ") + std::strerror(errno) + ".";
  }
  fd_ = sv[0];
  return {};
}

std::string HelperPorts::greet() {
  const Hello hello;
  Hello answer;
  ssize_t n = send(fd_, &hello, sizeof hello, MSG_NOSIGNAL);
  if (n == static_cast<ssize_t>(sizeof hello)) {
    do {
      n = recv(fd_, &answer, sizeof answer, 0);
    } while (n < 0 && errno == EINTR);
  }
  if (n != static_cast<ssize_t>(sizeof answer)) {
    return Reinstall(path_, "ended before it answered (see its message above)");
  }
  if (answer.magic != kMagic || answer.version != kVersion) {
    return Reinstall(path_, "is from another version of Kevatra");
  }
  if (answer.refusal != 0) return HelperRefusalText(path_, answer.refusal, answer.accessErrno);
  return {};
}

void HelperPorts::stopHelper() {
  if (fd_ >= 0) close(fd_);  // the helper ends when it sees the socket closed
  fd_ = -1;
  if (pid_ > 0) {
    while (waitpid(pid_, nullptr, 0) < 0 && errno == EINTR) {
    }
  }
}

void HelperPorts::lose() {
  lost_ = true;
  pending_.clear();
  stopHelper();
  reason_ = "The port helper " + path_ + " ended; the hardware reads as absent from now on.";
  std::fprintf(stderr, "kevatra: %s\n", reason_.c_str());
}

std::optional<uint32_t> HelperPorts::roundTrip() {
  const size_t bytes = pending_.size() * sizeof(Request);
  const ssize_t sent = send(fd_, pending_.data(), bytes, MSG_NOSIGNAL);
  pending_.clear();
  Reply reply{};
  ssize_t n = -1;
  if (sent == static_cast<ssize_t>(bytes)) {
    do {
      n = recv(fd_, &reply, sizeof reply, 0);
    } while (n < 0 && errno == EINTR);
  }
  if (n != static_cast<ssize_t>(sizeof reply)) {
    lose();
    return std::nullopt;
  }
  if (reply.status != Status::Ok) ++refusals_;
  return reply.value;
}

void HelperPorts::gather(const Request& r) {
  const std::lock_guard lock(mutex_);
  if (!live()) return;
  pending_.push_back(r);
  if (pending_.size() == kMaxRecords) roundTrip();
}

void HelperPorts::sendPending() {
  if (live() && !pending_.empty()) roundTrip();
}

void HelperPorts::flush() {
  const std::lock_guard lock(mutex_);
  sendPending();
}

uint32_t HelperPorts::read(uint8_t width, uint16_t port) {
  const std::lock_guard lock(mutex_);
  if (!live()) return AllOnes(width);
  pending_.push_back({Op::In, width, port, 0, 0});
  return roundTrip().value_or(AllOnes(width));
}

uint8_t HelperPorts::inb(uint16_t port) { return static_cast<uint8_t>(read(1, port)); }
uint16_t HelperPorts::inw(uint16_t port) { return static_cast<uint16_t>(read(2, port)); }
uint32_t HelperPorts::inl(uint16_t port) { return read(4, port); }

void HelperPorts::outb(uint16_t port, uint8_t value) {
  // The helper makes the I/O delays itself.
  if (port == kIoDelayPort) {
    gather({Op::Delay, 0, 0, 0, 0});
  } else {
    gather({Op::Out, 1, port, value, 0});
  }
}
void HelperPorts::outw(uint16_t port, uint16_t value) { gather({Op::Out, 2, port, value, 0}); }
void HelperPorts::outl(uint16_t port, uint32_t value) { gather({Op::Out, 4, port, value, 0}); }

std::optional<int32_t> HelperPorts::smbusTransfer(uint32_t pmId, uint32_t base,
                                                  const SmbusTransfer& t) {
  constexpr int32_t kFailed = -1;
  const std::lock_guard lock(mutex_);
  if (!live() || base > kLastPort) return kFailed;
  const auto flags = static_cast<uint8_t>((t.read ? kSmbusRead : 0) | (t.word ? kSmbusWord : 0));
  const uint32_t packed = t.slave | uint32_t{t.command} << 8 | uint32_t{t.data} << 16;
  pending_.push_back({Op::Smbus, flags, static_cast<uint16_t>(base), packed, pmId});
  const std::optional<uint32_t> v = roundTrip();
  return v ? static_cast<int32_t>(*v) : kFailed;
}

}  // namespace kev::ports
