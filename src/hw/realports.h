// Port I/O on the real machine: Linux on x86 through ioperm and IN/OUT.
#pragma once

#include <string>
#include <string_view>

#include "hw/portio.h"

namespace kev {

// Why the kernel refused port access.
enum class PortAccessRefusal {
  None,
  NoPrivilege,      // EPERM without lockdown: needs root or CAP_SYS_RAWIO
  LockedDown,       // kernel lockdown (Secure Boot) forbids port I/O
  NoKernelSupport,  // ENOSYS: kernel built without port I/O
  Unsupported,      // not x86 Linux
  Other,
};

inline constexpr const char* kLockdownPath = "/sys/kernel/security/lockdown";

// The lockdown file lists the modes with the active one in brackets, e.g.
// "none [integrity] confidentiality"; both integrity and confidentiality
// refuse port I/O.
bool LockdownRefusesPortIo(std::string_view lockdownFile);

// Maps the errno of a failed ioperm to a refusal.
PortAccessRefusal RefusalFromErrno(int err, bool lockedDown);

// One line a user can act on.
std::string RefusalText(PortAccessRefusal refusal, int err);

class RealPorts : public PortIo {
 public:
  explicit RealPorts(std::string lockdownPath = kLockdownPath);

  uint8_t inb(uint16_t port) override;
  uint16_t inw(uint16_t port) override;
  uint32_t inl(uint16_t port) override;
  void outb(uint16_t port, uint8_t value) override;
  void outw(uint16_t port, uint16_t value) override;
  void outl(uint16_t port, uint32_t value) override;

  // Asks for the PCI configuration ports. Once granted, later requests
  // answer yes without asking the kernel: the grant outlives the
  // capability the program gives up after it.
  bool requestAccess() override;
  std::string refusalReason() const override { return reason_; }
  // Adds ports first..last to what was granted; false when the kernel
  // refuses or nothing was granted yet.
  bool grant(uint32_t first, uint32_t last);
  PortAccessRefusal refusal() const { return refusal_; }
  int accessErrno() const { return err_; }

 private:
  bool lockedDown() const;

  std::string lockdownPath_;
  bool granted_ = false;
  PortAccessRefusal refusal_ = PortAccessRefusal::None;
  int err_ = 0;
  std::string reason_;
};

}  // namespace kev
