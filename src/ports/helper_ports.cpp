#include "ports/helper_ports.h"

#include <fcntl.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>

#include "hw/realports.h"
#include "ports/helper_process.h"

extern char** environ;

#ifndef KEV_HELPER_INSTALL_PATH
#define KEV_HELPER_INSTALL_PATH "/usr/local/libexec/kevatra/kevatra-ports"
#endif

namespace kev::ports {
namespace {

constexpr const char* kHelperName = "kevatra-ports";
constexpr const char* kGroup = "kevatra";
constexpr int kExecFailed = 127;

constexpr uint32_t kAllOnes = 0xFFFFFFFFu;
// A batch longer than this is not followed ahead; labels kept at once.
constexpr size_t kMaxBatchOps = 4096;
constexpr size_t kMaxBatches = 8;

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

bool HelperPorts::smbusThroughKernel() const {
  const std::lock_guard lock(mutex_);
  return kernelSmbus_;
}

uint64_t HelperPorts::busyReplies() const {
  const std::lock_guard lock(mutex_);
  return busy_;
}

uint64_t HelperPorts::roundTrips() const {
  const std::lock_guard lock(mutex_);
  return roundTrips_;
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
  kernelSmbus_ = answer.kernelSmbus != 0;
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
  ahead_.clear();
  stopHelper();
  reason_ = "The port helper " + path_ + " ended; the hardware reads as absent from now on.";
  std::fprintf(stderr, "kevatra: %s\n", reason_.c_str());
}

std::optional<std::vector<uint32_t>> HelperPorts::roundTrip(const std::vector<HwOp>& ops) {
  ++roundTrips_;
  const size_t bytes = ops.size() * sizeof(HwOp);
  const ssize_t sent = send(fd_, ops.data(), bytes, MSG_NOSIGNAL);
  reply_.resize(kMaxReply + 1);
  ssize_t n = -1;
  if (sent == static_cast<ssize_t>(bytes)) {
    do {
      n = recv(fd_, reply_.data(), reply_.size(), 0);
    } while (n < 0 && errno == EINTR);
  }
  ReplyHeader header{};
  const size_t expected = sizeof header + ops.size() * sizeof(uint32_t);
  if (n == static_cast<ssize_t>(expected)) std::memcpy(&header, reply_.data(), sizeof header);
  if (n != static_cast<ssize_t>(expected) || header.count != ops.size()) {
    lose();
    return std::nullopt;
  }
  if (header.status == Status::Refused) ++refusals_;
  if (header.status == Status::Busy) {
    ++busy_;
    // The tick has failed: the rest of it asks nothing, so it ends within
    // one wait for the lock.
    if (batch_ != nullptr) batchBusy_ = true;
  }
  std::vector<uint32_t> values(ops.size());
  std::memcpy(values.data(), reply_.data() + sizeof header, values.size() * sizeof(uint32_t));
  return values;
}

void HelperPorts::sendPending() {
  if (live() && !pending_.empty()) {
    const std::vector<HwOp> ops = std::move(pending_);
    pending_.clear();
    roundTrip(ops);
  }
}

uint32_t HelperPorts::fetch(const HwOp& read) {
  std::vector<HwOp> ops = std::move(pending_);
  pending_.clear();
  ops.push_back(read);
  const size_t readAt = ops.size() - 1;
  ahead_.clear();
  if (batch_ != nullptr && batch_->following) {
    // The reads that followed this one last time, up to the next write.
    for (size_t i = batch_->now.size(); i < batch_->last.size() && ops.size() < kMaxOps; ++i) {
      if (!OpReads(batch_->last[i])) break;
      ops.push_back(batch_->last[i]);
    }
  }
  const std::optional<std::vector<uint32_t>> values = roundTrip(ops);
  if (!values) return kAllOnes;
  for (size_t i = readAt + 1; i < ops.size(); ++i) ahead_.emplace_back(ops[i], (*values)[i]);
  return (*values)[readAt];
}

uint32_t HelperPorts::runOne(const HwOp& op) {
  const bool reads = OpReads(op);
  if (!live() || batchBusy_) return reads ? kAllOnes : 0;
  if (batch_ != nullptr) {
    Batch& b = *batch_;
    if (b.now.size() < kMaxBatchOps) b.now.push_back(op);
    const size_t at = b.now.size() - 1;
    if (b.following && (at >= b.last.size() || b.last[at] != op)) b.following = false;
  }
  if (!ahead_.empty()) {
    if (reads && ahead_.front().first == op) {
      const uint32_t value = ahead_.front().second;
      ahead_.pop_front();
      return value;
    }
    ahead_.clear();  // the program went another way: what was read ahead is stale
  }
  if (reads) return fetch(op);
  pending_.push_back(op);
  if (pending_.size() == kMaxOps) sendPending();
  return 0;
}

void HelperPorts::runOps(std::span<const HwOp> ops, std::span<uint32_t> results) {
  const std::lock_guard lock(mutex_);
  if (ops.size() > 1 && batch_ == nullptr && live()) {
    sendAll(ops, results);
    return;
  }
  for (size_t i = 0; i < ops.size(); ++i) {
    const uint32_t r = runOne(ops[i]);
    if (i < results.size()) results[i] = r;
  }
}

void HelperPorts::sendAll(std::span<const HwOp> ops, std::span<uint32_t> results) {
  // Known all at once, so they go in as few messages as they fit, after
  // what is gathered.
  std::vector<HwOp> all = std::move(pending_);
  pending_.clear();
  ahead_.clear();
  const size_t skip = all.size();
  all.insert(all.end(), ops.begin(), ops.end());
  for (size_t at = 0; at < all.size(); at += kMaxOps) {
    const std::vector<HwOp> part(
        all.begin() + static_cast<std::ptrdiff_t>(at),
        all.begin() + static_cast<std::ptrdiff_t>(std::min(all.size(), at + kMaxOps)));
    const std::optional<std::vector<uint32_t>> values = live() ? roundTrip(part) : std::nullopt;
    for (size_t i = 0; i < part.size(); ++i) {
      const size_t r = at + i;
      if (r < skip || r - skip >= results.size()) continue;
      results[r - skip] = values ? (*values)[i] : (OpReads(part[i]) ? kAllOnes : 0);
    }
  }
}

void HelperPorts::beginBatch(uint32_t label) {
  const std::lock_guard lock(mutex_);
  if (batchDepth_++ > 0) return;
  auto it = std::find_if(batches_.begin(), batches_.end(),
                         [label](const Batch& b) { return b.label == label; });
  if (it == batches_.end()) {
    if (batches_.size() == kMaxBatches) batches_.erase(batches_.begin());
    batches_.push_back({label, {}, {}, false});
    it = batches_.end() - 1;
  }
  batch_ = &*it;
  batch_->now.clear();
  batch_->following = !batch_->last.empty();
  ahead_.clear();
}

void HelperPorts::endBatch() {
  const std::lock_guard lock(mutex_);
  if (batchDepth_ == 0 || --batchDepth_ > 0) return;
  batch_->last = std::move(batch_->now);
  batch_->now.clear();
  batch_ = nullptr;
  ahead_.clear();
  if (batchBusy_) pending_.clear();
  batchBusy_ = false;
  sendPending();
}

}  // namespace kev::ports
