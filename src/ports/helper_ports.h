// Port I/O through the port helper: the program holds no privilege; the
// helper (kevatra-ports) holds port access and runs each access through its
// policy.
#pragma once

#include <sys/types.h>

#include <cstdint>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "hw/portio.h"
#include "ports/protocol.h"

namespace kev::ports {

// The helper next to the running program, else where it is installed.
std::string DefaultHelperPath();

// Starts the helper on requestAccess(). Writes and delays are gathered and
// go to the helper with the next read, SMBus transaction or flush(), in
// their order. Each call is whole when several threads use the ports. Start it before the program
// sets no-new-privileges (or the helper's file capability does not apply) and from the thread that
// lives as long as the program: the helper dies with that thread.
class HelperPorts : public PortIo {
 public:
  // args: for a test helper only; the installed helper takes none.
  explicit HelperPorts(std::string helperPath = DefaultHelperPath(),
                       std::vector<std::string> args = {});
  ~HelperPorts() override;
  HelperPorts(const HelperPorts&) = delete;
  HelperPorts& operator=(const HelperPorts&) = delete;

  // Without a working helper, reads return all ones and writes vanish.
  // The first time the helper is found gone is reported on stderr.
  uint8_t inb(uint16_t port) override;
  uint16_t inw(uint16_t port) override;
  uint32_t inl(uint16_t port) override;
  void outb(uint16_t port, uint8_t value) override;
  void outw(uint16_t port, uint16_t value) override;
  void outl(uint16_t port, uint32_t value) override;

  // Starts the helper and greets it once; false with a reason when the
  // helper is missing, may not be run by this user, or got no port access.
  bool requestAccess() override;
  std::string refusalReason() const override;

  std::optional<int32_t> smbusTransfer(uint32_t pmId, uint32_t base,
                                       const SmbusTransfer& t) override;

  // Sends the gathered writes now.
  void flush();

  pid_t helperPid() const;
  // Messages in which the helper refused something.
  uint64_t refusals() const;
  // The helper ended while in use.
  bool lost() const;

 private:
  enum class State { NotAsked, Granted, Refused };

  bool live() const { return state_ == State::Granted && !lost_; }
  std::string startHelper();
  std::string greet();
  uint32_t read(uint8_t width, uint16_t port);
  void gather(const Request& r);
  void sendPending();
  // Sends what is gathered and waits for the reply's value.
  std::optional<uint32_t> roundTrip();
  void lose();
  void stopHelper();

  mutable std::mutex mutex_;
  std::string path_;
  std::vector<std::string> args_;
  State state_ = State::NotAsked;
  std::string reason_;
  int fd_ = -1;
  pid_t pid_ = -1;
  std::vector<Request> pending_;
  uint64_t refusals_ = 0;
  bool lost_ = false;
};

}  // namespace kev::ports
