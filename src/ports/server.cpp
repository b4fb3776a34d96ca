#include "ports/server.h"

#include <sys/socket.h>

#include <cerrno>
#include <cstring>
#include <utility>

namespace kev::ports {
namespace {

template <class T>
void Append(std::vector<std::byte>& out, const T& record) {
  const size_t at = out.size();
  out.resize(at + sizeof record);
  std::memcpy(out.data() + at, &record, sizeof record);
}

}  // namespace

std::string RefusalLogLine(const std::string& refusal) {
  return "kevatra-ports: refused: " + refusal;
}

PortServer::PortServer(OpPolicy& policy, MachineLock* lock, PortAccessRefusal access,
                       int accessErrno, std::function<void(const std::string&)> log)
    : policy_(policy),
      lock_(lock),
      access_(access),
      accessErrno_(accessErrno),
      log_(std::move(log)) {}

std::vector<std::byte> PortServer::hello(std::span<const std::byte> message) {
  Hello h;
  if (message.size() != sizeof h) return {};
  std::memcpy(&h, message.data(), sizeof h);
  if (h.magic != kMagic || h.version != kVersion) return {};
  greeted_ = true;
  Hello answer;
  answer.refusal = static_cast<uint8_t>(access_);
  answer.accessErrno = accessErrno_;
  answer.kernelSmbus = kernelSmbus_ ? 1 : 0;
  // Without port access there is nothing to serve.
  done_ = access_ != PortAccessRefusal::None;
  std::vector<std::byte> out;
  Append(out, answer);
  return out;
}

std::vector<std::byte> PortServer::handle(std::span<const std::byte> message) {
  if (done_) return {};
  if (!greeted_) {
    std::vector<std::byte> reply = hello(message);
    if (reply.empty()) done_ = true;
    return reply;
  }
  const size_t count = message.size() / sizeof(HwOp);
  if (count == 0 || count > kMaxOps || message.size() % sizeof(HwOp) != 0) {
    done_ = true;
    return {};
  }
  std::vector<HwOp> ops(count);
  std::memcpy(ops.data(), message.data(), message.size());
  for (const HwOp& o : ops) {
    if (!OpWellFormed(o)) {
      done_ = true;
      return {};
    }
  }
  return runOps(ops);
}

std::vector<std::byte> PortServer::runOps(std::span<const HwOp> ops) {
  std::vector<uint32_t> values(ops.size(), 0xFFFFFFFFu);
  ReplyHeader header{Status::Ok, 0, static_cast<uint16_t>(ops.size())};
  if (lock_ != nullptr && !lock_->acquire(kLockWait)) {
    header.status = Status::Busy;
    if (!busy_) log_("kevatra-ports: another Kevatra program held the hardware for a second");
    busy_ = true;
  } else {
    busy_ = false;
    std::vector<std::string> refusals;
    policy_.run(ops, values, refusals);
    if (lock_ != nullptr) lock_->release();
    if (!refusals.empty()) header.status = Status::Refused;
    for (const std::string& line : refusals) log_(RefusalLogLine(line));
  }
  std::vector<std::byte> out;
  out.reserve(sizeof header + values.size() * sizeof(uint32_t));
  Append(out, header);
  for (uint32_t v : values) Append(out, v);
  return out;
}

void Serve(int fd, PortServer& server) {
  // One byte more than the longest message: a longer one arrives cut and too long.
  std::vector<std::byte> buffer(kMaxMessage + 1);
  for (;;) {
    const ssize_t n = recv(fd, buffer.data(), buffer.size(), 0);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return;
    const std::vector<std::byte> reply =
        server.handle(std::span<const std::byte>(buffer.data(), static_cast<size_t>(n)));
    if (reply.empty()) return;
    if (send(fd, reply.data(), reply.size(), MSG_NOSIGNAL) < 0) return;
    if (server.done()) return;
  }
}

}  // namespace kev::ports
