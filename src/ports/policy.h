// What the port helper lets a client do: every port access it makes goes
// through PolicedPorts, which lets through only what the program itself
// does, so that even a client that is taken over cannot reach a disk
// controller, reprogram PCI devices or write a memory module's EEPROM.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "detect/detect.h"
#include "hw/portio.h"

namespace kev::ports {

class PolicedPorts : public PortIo {
 public:
  // raw: the ports the helper holds; never touched for a refused access.
  explicit PolicedPorts(PortIo& raw);

  // A refused read returns all ones, as where nothing answers; a refused
  // write does nothing.
  uint8_t inb(uint16_t port) override;
  uint16_t inw(uint16_t port) override;
  uint32_t inl(uint16_t port) override;
  void outb(uint16_t port, uint8_t value) override;
  void outw(uint16_t port, uint16_t value) override;
  void outl(uint16_t port, uint32_t value) override;
  bool requestAccess() override { return raw_.requestAccess(); }
  std::string refusalReason() const override { return raw_.refusalReason(); }

  // Runs a permitted transaction port by port on these policed ports; a
  // refused one fails (-1) without touching the host.
  std::optional<int32_t> smbusTransfer(uint32_t pmId, uint32_t base,
                                       const SmbusTransfer& t) override;

  // One line per refusal since the last call, e.g.
  // "outb 1F5h: not a port the program uses".
  std::vector<std::string> takeRefusals();
  uint64_t refusalCount() const { return refusalCount_; }

 private:
  struct Access {
    bool out;
    uint8_t width;
    uint16_t port;
    uint32_t value;
  };
  struct Block {
    uint32_t first;
    uint32_t last;
  };
  struct SmbusHost {
    uint32_t pmId;
    uint32_t base;
    uint32_t span;
  };
  // Per Super-I/O configuration pair: what the index and the logical
  // device select, and what its base registers read.
  struct SuperIoPair {
    uint16_t indexPort;
    uint8_t index = 0;
    uint8_t ldn = 0;
    int32_t chipId = -1;
    int32_t baseHigh = -1;  // read for ldn; -1: not yet
  };

  uint32_t in(uint8_t width, uint16_t port);
  void out(uint8_t width, uint16_t port, uint32_t value);
  void refuse(const Access& a, const std::string& why);

  // Why an access is refused; empty when it is allowed.
  std::string verdict(const Access& a);
  std::string pciVerdict(const Access& a);
  std::string pciWriteVerdict(const Access& a);
  std::string superIoVerdict(const SuperIoPair& p, const Access& a) const;
  std::string learnedVerdict(const Access& a);
  std::string smbusVerdict(uint32_t pmId, uint32_t base, const SmbusTransfer& t);
  SuperIoPair* superIoPairAt(uint16_t port);

  // What an allowed access tells about the hardware.
  void observe(const Access& a);
  void observeSuperIo(SuperIoPair& p, const Access& a);
  // The PM device's SMBus host and the south bridge's monitor, from
  // configuration reads the helper makes itself.
  void learnIfStale();
  uint32_t rawConfigRead(uint32_t address);

  PortIo& raw_;
  std::vector<BoardSwitchPort> switches_;
  uint32_t latched_ = 0;  // the address last written to CF8h
  std::vector<SuperIoPair> pairs_;
  bool learned_ = false;
  int32_t pmId_ = -1;  // the PM device's vendor/device ID; -1: none
  std::optional<SmbusHost> host_;
  std::optional<Block> bridgeMonitor_;
  std::vector<Block> superIoBlocks_;
  std::optional<SmbusHost> transaction_;  // the host a running transaction may write
  std::vector<std::string> refusals_;
  uint64_t refusalCount_ = 0;
};

}  // namespace kev::ports
