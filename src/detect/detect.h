// Detection and chip set-up: the PM device on PCI bus 0, the monitoring chip
// and the configuration that prepares it for sampling.
#pragma once

#include <cstdint>
#include <optional>
#include <string_view>
#include <vector>

#include "detect/chip_access.h"
#include "detect/records.h"
#include "hw/portio.h"
#include "settings/monitor_settings.h"

namespace kev {

// ---- PM device -------------------------------------------------------------

// Un-hides the SMBus function of the ICH family (LPC bridge register F2h bit 3).
void EnableIchSmbus(PortIo& io);

// Scans bus 0 against the PM-device table; no hardware side effects.
PmDevice ScanPmDevice(PortIo& io);

// True on PIIX4 boards whose 440BX/440GX host bridge has offset 50h bit 15 clear.
bool TestDualCoreVoltage(PortIo& io, int32_t vendorDevice);

// Drives the board switch for the PM device; untouched when asms is off and
// asmsMode is 0. Position 2 when asmsMode is 2, position 1 otherwise.
void ApplyBoardSwitch(PortIo& io, bool asms, uint32_t asmsMode, int32_t vendorDevice,
                      int32_t smbBase);

// Scan, dual core-voltage test, board switch, then the main-chip SMBus probe.
// Fills st.pm, st.DualCoreVoltage, st.chip.MainSmbAddress and MainSmbFound.
void DetectPmDevice(PortIo& io, const MonitorSettings& s, uint32_t asmsMode, DetectState& st);

// The name the information report shows for a PM device, or "Unknown".
// Reads bus 0 device 31 function 0 to tell the ICH2-M from the ICH2.
std::string_view PmDeviceName(PortIo& io, int32_t vendorDevice, int32_t revision);

// Where a board switch acts on ports: a fixed port, or an offset into the
// SMBus host's block; width in bytes. The Super-I/O and PCI switches are
// not listed.
struct BoardSwitchPort {
  int32_t vendorDevice;
  bool smbusOffset;
  uint32_t port;
  uint32_t width;
};
std::vector<BoardSwitchPort> BoardSwitchPorts();

// The board switch of a PM device as its op carries it: kind, target
// (port, configuration port, SMBus offset or PCI address), keep and mask.
struct BoardSwitchRule {
  SwitchKind kind;
  uint32_t target;
  uint32_t keep;
  uint32_t mask;
};
std::optional<BoardSwitchRule> BoardSwitchOf(int32_t vendorDevice);

// The ICH LPC bridges (bus 0 device 31 function 0) that can hide the SMBus
// function; EnableIchSmbus clears the hide bit on these.
bool IsIchLpcBridge(uint32_t vendorDevice);

// ---- Monitoring chip -------------------------------------------------------

// A monitor inside the south bridge as its PCI registers report it
// (configuration reads only): base -1 when there is none, it is switched
// off or its base was never programmed.
struct BridgeMonitorBlock {
  int32_t base = -1;
  ChipPath path = ChipPath::None;
};
BridgeMonitorBlock FindBridgeMonitorBlock(PortIo& io, const PmDevice& pm);

struct SmbProbeResult {
  int32_t MainSmbAddress = -1;
  bool MainSmbFound = false;
};

// First address 28h..2Fh that answers a byte read of register 00h.
SmbProbeResult ProbeMainSmbAddress(PortIo& io, int32_t vendorDevice, int32_t smbBase);

// The SMBus addresses the program writes to: the main chip's 28h..2Fh, and
// the auxiliary sensors'.
bool IsMainChipSmbusAddress(uint32_t slave);
bool IsAuxSensorSmbusAddress(uint32_t slave);

// The blocks of the Super-I/O monitors, as detection finds them: the ITE
// environment controller and the active PC87366 logical devices.
struct SuperIoMonitorBlock {
  uint32_t first;
  uint32_t last;
};
std::vector<SuperIoMonitorBlock> FindSuperIoMonitorBlocks(PortIo& io);

// What IdentifyChip found; -1 means none.
struct ChipIdentity {
  bool FoundOnPort = false;
  int32_t ChipVendor = -1;
  int32_t ChipRevision = -1;
  int32_t ChipKind = -1;
  int32_t FsmBase = -1;  // PC87366 logical-device bases
  int32_t VlmBase = -1;
  int32_t TmsBase = -1;
};

// Identifies the chip. port is the ISA base to try; chips that announce their
// own location overwrite it (south-bridge monitor or ITE base, PC87366
// configuration port). Usable on copies by the information report.
ChipIdentity IdentifyChip(PortIo& io, const PmDevice& pm, int32_t mainSmbAddress, int32_t& port);

// Start-up step around IdentifyChip: uses and writes back
// s.MainChipPortAddress (in place of a stored port st.SettingsPortRestricted
// refuses, the default, noted in st.RefusedSettingsPort), sets
// s.MainChipSMBUse on a first run without a port chip, and fills st.chip
// (keeps MainSmbAddress / MainSmbFound).
void DetectChip(PortIo& io, MonitorSettings& s, DetectState& st);

// Kind from vendor and chip revision; 0 for an unlisted vendor, -1 for a
// listed vendor with an unlisted revision.
int32_t ClassifyChip(int32_t vendor, int32_t revision);

// Shown name of a ChipKind (kind / 10h indexes a 28-entry list); "Unknown"
// for -1 or anything outside the list.
std::string_view ChipName(int32_t kind);

// ---- Configuration ---------------------------------------------------------

// Starts the chip, searches the fan divisors, sets interrupt masks and extra
// inputs, diode modes, access-mode settings and the auxiliary Temp 2 / Temp 3
// sensors. Fills st.FanDivisor, st.SubClientIndex, st.chip.MainSmbOnly and
// st.chip.SmbTempSensorType.
void ConfigureChip(PortIo& io, MonitorSettings& s, DetectState& st);

// Clock divisor times the fan's pulse factor; a factor of 0 or below counts
// as 1 so that no caller divides by zero.
int32_t EffectiveFanDivisor(int32_t clockDivisor, int32_t ppr);

}  // namespace kev
