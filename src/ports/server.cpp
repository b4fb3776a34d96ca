#include "ports/server.h"

#include <sys/socket.h>

#include <cerrno>
#include <cstring>
#include <utility>

namespace kev::ports {
namespace {

template <class T>
std::vector<std::byte> Bytes(const T& record) {
  std::vector<std::byte> out(sizeof record);
  std::memcpy(out.data(), &record, sizeof record);
  return out;
}

bool ValidWidth(uint8_t width) { return width == 1 || width == 2 || width == 4; }

bool Valid(const Request& r) {
  switch (r.op) {
    case Op::In:
    case Op::Out:
      return ValidWidth(r.width);
    case Op::Delay:
      return r.width == 0;
    case Op::Smbus:
      return (r.width & ~(kSmbusRead | kSmbusWord)) == 0;
  }
  return false;
}

SmbusTransfer TransferOf(const Request& r) {
  return {(r.width & kSmbusRead) != 0, (r.width & kSmbusWord) != 0, static_cast<uint8_t>(r.value),
          static_cast<uint8_t>(r.value >> 8), static_cast<uint16_t>(r.value >> 16)};
}

}  // namespace

std::string RefusalLogLine(const std::string& refusal) {
  return "kevatra-ports: refused: " + refusal;
}

PortServer::PortServer(PolicedPorts& ports, PortAccessRefusal access, int accessErrno,
                       std::function<void(const std::string&)> log)
    : ports_(ports), access_(access), accessErrno_(accessErrno), log_(std::move(log)) {}

std::vector<std::byte> PortServer::hello(std::span<const std::byte> message) {
  Hello h;
  if (message.size() != sizeof h) return {};
  std::memcpy(&h, message.data(), sizeof h);
  if (h.magic != kMagic || h.version != kVersion) return {};
  greeted_ = true;
  Hello answer;
  answer.refusal = static_cast<uint8_t>(access_);
  answer.accessErrno = accessErrno_;
  // Without port access there is nothing to serve.
  done_ = access_ != PortAccessRefusal::None;
  return Bytes(answer);
}

std::vector<std::byte> PortServer::handle(std::span<const std::byte> message) {
  if (done_) return {};
  if (!greeted_) {
    std::vector<std::byte> reply = hello(message);
    if (reply.empty()) done_ = true;
    return reply;
  }
  const size_t count = message.size() / sizeof(Request);
  if (count == 0 || count > kMaxRecords || message.size() % sizeof(Request) != 0) {
    done_ = true;
    return {};
  }
  std::vector<Request> requests(count);
  std::memcpy(requests.data(), message.data(), message.size());
  for (const Request& r : requests) {
    if (!Valid(r)) {
      done_ = true;
      return {};
    }
  }
  Reply reply{Status::Ok, {}, 0};
  for (const Request& r : requests) {
    if (!run(r, reply.value)) reply.status = Status::Refused;
  }
  return Bytes(reply);
}

bool PortServer::run(const Request& r, uint32_t& value) {
  const uint64_t before = ports_.refusalCount();
  switch (r.op) {
    case Op::In:
      value = r.width == 1   ? ports_.inb(r.port)
              : r.width == 2 ? ports_.inw(r.port)
                             : ports_.inl(r.port);
      break;
    case Op::Out:
      if (r.width == 1)
        ports_.outb(r.port, static_cast<uint8_t>(r.value));
      else if (r.width == 2)
        ports_.outw(r.port, static_cast<uint16_t>(r.value));
      else
        ports_.outl(r.port, r.value);
      break;
    case Op::Delay:
      IoDelay(ports_);
      break;
    case Op::Smbus:
      value =
          static_cast<uint32_t>(ports_.smbusTransfer(r.pmId, r.port, TransferOf(r)).value_or(-1));
      break;
  }
  for (const std::string& line : ports_.takeRefusals()) log_(RefusalLogLine(line));
  return ports_.refusalCount() == before;
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
