// The information window's summary: a fresh probe of the PM device, the
// monitoring chip and up to three SMBus monitoring devices, and its texts.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <string_view>

#include "detect/records.h"
#include "hw/portio.h"

namespace kev::report {

inline constexpr size_t kSummaryLines = 8;

// Captions of the eight summary lines, in table order (doubled blanks exact).
inline constexpr std::array<std::string_view, kSummaryLines> kSummaryCaptions{
    "PM Device Chip",           "PM Device Number",    "PM Function Number", "SMBus Base Address",
    "Hardware Monitoring Chip", "SMBus  1st  Address", "SMBus  2nd Address", "SMBus  3rd  Address"};

// Indexes into InfoSummary::texts.
enum SummaryLine : size_t {
  kLinePmChip,
  kLinePmDevice,
  kLinePmFunction,
  kLineSmbBase,
  kLineChip,
  kLineMainAddress,
  kLineSecondAddress,
  kLineThirdAddress,
};

// The text shown for anything the probe did not find.
inline constexpr std::string_view kNotFoundText = "*****";

struct InfoSummary {
  PmDevice pm;                 // the fresh scan; pm id and pm base are two of its fields
  uint32_t PmId = 0xFFFFFFFF;  // VendorDevice of the scan, -1 when none
  int32_t PmBase = -1;         // SmbBase of the scan
  int32_t MainSmbAddress = -1;
  int32_t SecondSmbAddress = -1;
  int32_t ThirdSmbAddress = -1;
  int32_t ChipKind = -1;
  int32_t ChipPort = 0x290;
  bool IsaFlag = false;  // the chip answered through a port path
  int32_t FsmBase = -1;  // PC87366 logical-device bases as this probe read them
  int32_t VlmBase = -1;
  int32_t TmsBase = -1;
  std::array<std::string, kSummaryLines> texts;
};

// The chip kind the report names: the monitor of a VT82C686B south bridge
// (PM revision bit 6) is sampled as the VT82C686A but named as what it is.
int32_t NamedChipKind(int32_t chipKind, const PmDevice& pm);

// Probes the hardware afresh (PM scan, SMBus probe, identification, further
// devices) and fills the summary with its texts.
InfoSummary GatherSummary(PortIo& io);

}  // namespace kev::report
