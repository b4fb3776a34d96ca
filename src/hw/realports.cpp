#include "hw/realports.h"

#include <cerrno>
#include <cstring>
#include <fstream>
#include <sstream>

#if defined(__linux__) && (defined(__x86_64__) || defined(__i386__))
#define KEV_REAL_PORTS 1
#include <sys/io.h>
#else
#define KEV_REAL_PORTS 0
#endif

namespace kev {

namespace {

constexpr unsigned long kAllPorts = 65536;
constexpr unsigned long kPciFirst = 0xCF8;  // CF8h..CFFh: address and data
constexpr unsigned long kPciCount = 8;

std::string ActiveLockdownMode(std::string_view text) {
  const auto open = text.find('[');
  const auto close = text.find(']', open);
  if (open == std::string_view::npos || close == std::string_view::npos) return {};
  return std::string(text.substr(open + 1, close - open - 1));
}

}  // namespace

bool LockdownRefusesPortIo(std::string_view lockdownFile) {
  const std::string mode = ActiveLockdownMode(lockdownFile);
  return mode == "integrity" || mode == "confidentiality";
}

PortAccessRefusal RefusalFromErrno(int err, bool lockedDown) {
  switch (err) {
    case 0:
      return PortAccessRefusal::None;
    case EPERM:
      return lockedDown ? PortAccessRefusal::LockedDown : PortAccessRefusal::NoPrivilege;
    case ENOSYS:
      return PortAccessRefusal::NoKernelSupport;
    default:
      return PortAccessRefusal::Other;
  }
}

std::string RefusalText(PortAccessRefusal refusal, int err) {
  switch (refusal) {
    case PortAccessRefusal::None:
      return {};
    case PortAccessRefusal::NoPrivilege:
      return "Port access refused: run as root or grant the program CAP_SYS_RAWIO "
             "(setcap cap_sys_rawio+ep).";
    case PortAccessRefusal::LockedDown:
      return "Port access refused: the kernel is locked down (Secure Boot); port I/O is not "
             "allowed.";
    case PortAccessRefusal::NoKernelSupport:
      return "Port access refused: this kernel was built without port I/O support.";
    case PortAccessRefusal::Unsupported:
      return "Port access is only available on x86 Linux.";
    case PortAccessRefusal::Other:
      break;
  }
  return std::string("Port access refused: ") + std::strerror(err) + ".";
}

RealPorts::RealPorts(std::string lockdownPath) : lockdownPath_(std::move(lockdownPath)) {}

bool RealPorts::lockedDown() const {
  std::ifstream in(lockdownPath_);
  if (!in) return false;
  std::ostringstream text;
  text << in.rdbuf();
  return LockdownRefusesPortIo(text.str());
}

#if KEV_REAL_PORTS

// The question is asked with the PCI configuration ports, which every
// machine's monitor needs; grant() adds the rest.
bool RealPorts::requestAccess() {
  if (granted_) return true;
  err_ = ioperm(kPciFirst, kPciCount, 1) == 0 ? 0 : errno;
  refusal_ = RefusalFromErrno(err_, err_ == EPERM && lockedDown());
  reason_ = RefusalText(refusal_, err_);
  granted_ = refusal_ == PortAccessRefusal::None;
  return granted_;
}

bool RealPorts::grant(uint32_t first, uint32_t last) {
  return granted_ && first <= last && last < kAllPorts && ioperm(first, last - first + 1, 1) == 0;
}

uint8_t RealPorts::inb(uint16_t port) { return ::inb(port); }
uint16_t RealPorts::inw(uint16_t port) { return ::inw(port); }
uint32_t RealPorts::inl(uint16_t port) { return ::inl(port); }
// glibc's out* take the value first.
void RealPorts::outb(uint16_t port, uint8_t value) { ::outb(value, port); }
void RealPorts::outw(uint16_t port, uint16_t value) { ::outw(value, port); }
void RealPorts::outl(uint16_t port, uint32_t value) { ::outl(value, port); }

#else

// Elsewhere there is nothing to talk to: reads float high, writes vanish.
bool RealPorts::requestAccess() {
  refusal_ = PortAccessRefusal::Unsupported;
  reason_ = RefusalText(refusal_, 0);
  return false;
}

bool RealPorts::grant(uint32_t, uint32_t) { return false; }

uint8_t RealPorts::inb(uint16_t) { return 0xFF; }
uint16_t RealPorts::inw(uint16_t) { return 0xFFFF; }
uint32_t RealPorts::inl(uint16_t) { return 0xFFFFFFFFu; }
void RealPorts::outb(uint16_t, uint8_t) {}
void RealPorts::outw(uint16_t, uint16_t) {}
void RealPorts::outl(uint16_t, uint32_t) {}

#endif

}  // namespace kev
