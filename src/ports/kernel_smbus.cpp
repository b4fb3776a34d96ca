#include "ports/kernel_smbus.h"

#include <linux/i2c-dev.h>
#include <linux/i2c.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include <cerrno>

namespace kev::ports {
namespace {

constexpr uint32_t kLastSlave = 0x7F;

uint16_t Swapped(uint16_t w) { return static_cast<uint16_t>(w >> 8 | (w & 0xFF) << 8); }

class FdI2cNode : public I2cNode {
 public:
  explicit FdI2cNode(int fd) : fd_(fd) {}
  ~FdI2cNode() override { close(fd_); }
  FdI2cNode(const FdI2cNode&) = delete;
  FdI2cNode& operator=(const FdI2cNode&) = delete;

  int selectSlave(uint8_t address) override {
    return ioctl(fd_, I2C_SLAVE, static_cast<unsigned long>(address)) == 0 ? 0 : errno;
  }
  int transfer(bool read, uint8_t command, Size size, uint16_t& word) override {
    i2c_smbus_data data{};
    data.word = word;
    i2c_smbus_ioctl_data request{};
    request.read_write = read ? I2C_SMBUS_READ : I2C_SMBUS_WRITE;
    request.command = command;
    request.size = size == Size::WordData ? I2C_SMBUS_WORD_DATA : I2C_SMBUS_BYTE_DATA;
    request.data = &data;
    if (ioctl(fd_, I2C_SMBUS, &request) != 0) return errno;
    word = size == Size::WordData ? data.word : data.byte;
    return 0;
  }

 private:
  int fd_;
};

}  // namespace

std::unique_ptr<I2cNode> OpenI2cNode(int fd) { return std::make_unique<FdI2cNode>(fd); }

KernelSmbus::KernelSmbus(std::unique_ptr<I2cNode> node) : node_(std::move(node)) {}

int32_t KernelSmbus::transfer(const SmbusTransfer& t) {
  if (t.slave > kLastSlave) return -1;
  const int selected = node_->selectSlave(t.slave);
  if (selected == EBUSY) held_.insert(t.slave);
  if (selected != 0) return -1;
  const I2cNode::Size size = t.word ? I2cNode::Size::WordData : I2cNode::Size::ByteData;
  // The host protocols carry a word's first byte in bits 15-8, the kernel in 7-0.
  uint16_t word = t.read ? 0 : (t.word ? Swapped(t.data) : static_cast<uint16_t>(t.data & 0xFF));
  if (node_->transfer(t.read, t.command, size, word) != 0) return -1;
  if (!t.read) return 0;
  return t.word ? Swapped(word) : word & 0xFF;
}

}  // namespace kev::ports
