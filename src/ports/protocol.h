// The port helper's wire format: fixed-size records in host byte order over
// a SOCK_SEQPACKET socket pair (the helper's end is its fd 3).
//
// The client opens with one Hello; the helper answers with one Hello that
// says whether the kernel gave it port access. After that every message is
// 1 to kMaxOps whole operations (HwOp) and gets exactly one Reply: the
// status of the whole message, then one value per op (all ones for a
// refused read, 0 for a write). Anything else ends the connection.
#pragma once

#include <cstddef>
#include <cstdint>

#include "hw/hw_op.h"

namespace kev::ports {

inline constexpr uint32_t kMagic = 0x4B505254;  // "KPRT"
inline constexpr uint16_t kVersion = 2;

struct Hello {
  uint32_t magic = kMagic;
  uint16_t version = kVersion;
  uint8_t refusal = 0;      // the helper's PortAccessRefusal; 0: access granted
  uint8_t kernelSmbus = 0;  // 1: SMBus transfers go through the kernel's adapter
  int32_t accessErrno = 0;  // errno of the helper's ioperm
};

enum class Status : uint8_t {
  Ok = 0,
  Refused = 1,  // the policy refused at least one op; the others ran
  Busy = 2,     // another Kevatra program held the hardware: nothing ran
};

struct ReplyHeader {
  Status status;
  uint8_t reserved;
  uint16_t count;  // the values that follow, one per op
};

inline constexpr size_t kMaxOps = 256;
inline constexpr size_t kMaxMessage = kMaxOps * sizeof(HwOp);
inline constexpr size_t kMaxReply = sizeof(ReplyHeader) + kMaxOps * sizeof(uint32_t);

static_assert(sizeof(Hello) == 12 && sizeof(ReplyHeader) == 4, "the records have no padding");

}  // namespace kev::ports
