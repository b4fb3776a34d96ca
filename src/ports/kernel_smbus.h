// SMBus transfers through the kernel's adapter driver: when a driver such
// as i2c-piix4 drives the SMBus host, the helper opens its /dev/i2c-N node
// and runs each transfer as one I2C_SMBUS request, never touching the
// host's ports. The kernel serializes the bus with its other users.
#pragma once

#include <cstdint>
#include <memory>
#include <set>

#include "hw/portio.h"

namespace kev::ports {

// The node's two requests, as a seam for tests.
class I2cNode {
 public:
  enum class Size : uint8_t { ByteData, WordData };
  virtual ~I2cNode() = default;
  // I2C_SLAVE (never I2C_SLAVE_FORCE): 0, or the errno; EBUSY when a kernel
  // client driver holds the address.
  virtual int selectSlave(uint8_t address) = 0;
  // I2C_SMBUS: 0, or the errno. word: as the kernel has it, first byte on
  // the bus in bits 7-0.
  virtual int transfer(bool read, uint8_t command, Size size, uint16_t& word) = 0;
};

// The real node, an open /dev/i2c-N; closed with it.
std::unique_ptr<I2cNode> OpenI2cNode(int fd);

class KernelSmbus : public SmbusAdapter {
 public:
  explicit KernelSmbus(std::unique_ptr<I2cNode> node);
  int32_t transfer(const SmbusTransfer& t) override;
  // Addresses a kernel client driver held when asked for.
  const std::set<uint8_t>& held() const { return held_; }

 private:
  std::unique_ptr<I2cNode> node_;
  std::set<uint8_t> held_;
};

}  // namespace kev::ports
