// The port helper's wire format: fixed-size records in host byte order over
// a SOCK_SEQPACKET socket pair (the helper's end is its fd 3).
//
// The client opens with one Hello; the helper answers with one Hello that
// says whether the kernel gave it port access. After that every message is
// 1 to kMaxRecords Requests and gets exactly one Reply: the status of the
// whole message and the value of its last read. Writes and delays need no
// answer of their own, so the client gathers them and sends them with the
// next read. Anything else ends the connection.
#pragma once

#include <cstddef>
#include <cstdint>

namespace kev::ports {

inline constexpr uint32_t kMagic = 0x4B505254;  // "KPRT"
inline constexpr uint16_t kVersion = 1;

struct Hello {
  uint32_t magic = kMagic;
  uint16_t version = kVersion;
  uint8_t refusal = 0;  // the helper's PortAccessRefusal; 0: access granted
  uint8_t reserved = 0;
  int32_t accessErrno = 0;  // errno of the helper's ioperm
};

enum class Op : uint8_t {
  In = 1,     // width 1/2/4 at port; the reply carries the value
  Out = 2,    // width 1/2/4 of value at port
  Delay = 3,  // the helper's own write to the I/O-delay port
  Smbus = 4,  // one SMBus transaction; the reply carries its result
};

// Smbus flags, in width.
inline constexpr uint8_t kSmbusRead = 0x01;
inline constexpr uint8_t kSmbusWord = 0x02;

struct Request {
  Op op;
  uint8_t width;   // In/Out: 1, 2 or 4; Smbus: flags; Delay: 0
  uint16_t port;   // In/Out: the port; Smbus: the host's base
  uint32_t value;  // Out: the value; Smbus: slave | command << 8 | data << 16
  uint32_t pmId;   // Smbus: the PM device's vendor/device ID
};

enum class Status : uint8_t {
  Ok = 0,
  Refused = 1,  // the policy refused at least one request of the message
};

struct Reply {
  Status status;
  uint8_t reserved[3];
  uint32_t value;  // the last In's value or Smbus result (as uint32), else 0
};

inline constexpr size_t kMaxRecords = 256;
inline constexpr size_t kMaxMessage = kMaxRecords * sizeof(Request);

static_assert(sizeof(Hello) == 12 && sizeof(Request) == 12 && sizeof(Reply) == 8,
              "the records have no padding");

}  // namespace kev::ports
