#include "report/profile.h"

#include <string_view>

#include "hw/usmbus.h"
#include "report/chip_dump.h"
#include "report/registers.h"
#include "report/text_format.h"

namespace kev::report {

namespace {

constexpr std::string_view kProfileVersion = "Ver.2.1.0.0";

// Summary labels, each padded to 30 characters; an empty entry stands for
// the blank line between the PM device and the chip.
constexpr std::array<std::string_view, kSummaryLines> kSummaryLabels{
    "  PM Device Chip:             ", "  PM Device Number:           ",
    "  PM Function Number:         ", "  SMBus Base Address:         ",
    "  Hardware Monitoring Chip:   ", "  SMBus 1st Address:          ",
    "  SMBus 2nd Address:          ", "  SMBus 3rd Address:          "};

constexpr std::array<std::string_view, kWindowRows> kRowPrefixes{
    "  Fan1 [",   "  Fan2 [",  "  Fan3 [",  "  Temp.1 [", "  Temp.2 [",
    "  Temp.3 [", "  Volt1 [", "  Volt2 [", "  Volt3 [",  "  Volt4 [",
    "  Volt5 [",  "  Volt6 [", "  Volt7 [", "  Volt8 [",  "  Volt9 ["};

// The PM identifier's device half with bit 7 cleared, as the set-up code
// compares it.
constexpr uint32_t kPmDeviceIdMask = 0xFF7F;
constexpr uint32_t kPmVendorIdMask = 0xFFFF;
constexpr int kPmDeviceIdShift = 16;

void OpenSection(std::string& out, std::string_view title) {
  out += '\n';
  out += Banner(title);
  out += "\n\n";
}

void CloseSection(std::string& out) {
  out += kSectionRule;
  out += "\n\n";
}

void HexValue(std::string& out, std::string_view label, int32_t v) {
  out += label;
  AppendHex(out, v, 8);
  out += "h\n";
}

void BoolValue(std::string& out, std::string_view label, bool v) {
  out += label;
  out += v ? "true\n" : "false\n";
}

}  // namespace

void AppendTitle(std::string& out) {
  out += "\n--[ Kevatra  ";
  out += kProfileVersion;
  out += " ]--\n\n";
}

void AppendSummarySection(std::string& out, const InfoSummary& s) {
  out += '\n';
  out += Banner("Hardware Monitoring Profile");
  out += '\n';
  for (size_t i = 0; i < kSummaryLines; ++i) {
    if (i == kLineChip) out += '\n';
    out += '\n';
    out += kSummaryLabels[i];
    out += s.texts[i];
  }
  out += '\n';
  out += kSectionRule;
  out += "\n\n";
}

void AppendSettingValues(std::string& out, const MonitorSettings& st, const DetectState& state) {
  const PmDevice& pm = state.pm;
  const HwMonitorChip& chip = state.chip;
  const auto pmId = static_cast<uint32_t>(pm.VendorDevice);
  OpenSection(out, "Setting Value");
  HexValue(out, "  PMCID:     ", pm.VendorDevice);
  HexValue(out, "  PMVID:     ", static_cast<int32_t>(pmId & kPmVendorIdMask));
  HexValue(out, "  PMDID:     ",
           static_cast<int32_t>(static_cast<uint32_t>(pm.VendorDevice >> kPmDeviceIdShift) &
                                kPmDeviceIdMask));
  HexValue(out, "  PMRID:     ", pm.Revision);
  HexValue(out, "  HWMVID:    ", chip.ChipVendor);
  HexValue(out, "  HWMDID:    ", chip.ChipRevision);
  BoolValue(out, "  SETPORT:   ", st.MainChipPortAddressUse);
  BoolValue(out, "  EFCTPORT:  ", chip.FoundOnPort);
  HexValue(out, "  PORTADRS:  ", st.MainChipPortAddress);
  BoolValue(out, "  EFCTMSMB:  ", chip.MainSmbFound);
  BoolValue(out, "  MSMBONLY:  ", chip.MainSmbOnly);
  BoolValue(out, "  MSMBUSE:   ", st.MainChipSMBUse);
  HexValue(out, "  MSMBADRS:  ", chip.MainSmbAddress);
  BoolValue(out, "  T2SMBUSE:  ", st.Temp2SMBUse);
  HexValue(out, "  T2SMBINDX: ", st.Temp2SMBAddress);
  // An index outside the address table (negative or above its end) shows -1.
  HexValue(out, "  T2SMBADRS: ", TempSensorAddress(st.Temp2SMBAddress));
  BoolValue(out, "  T3SMBUSE:  ", st.Temp3SMBUse);
  HexValue(out, "  T3SMBINDX: ", st.Temp3SMBAddress);
  HexValue(out, "  T3SMBADRS: ", TempSensorAddress(st.Temp3SMBAddress));
  BoolValue(out, "  DIODES1:   ", st.Sensor1OnDieDiode);
  BoolValue(out, "  DIODES2:   ", st.Sensor2OnDieDiode);
  BoolValue(out, "  DIODES3:   ", st.Sensor3OnDieDiode);
  HexValue(out, "  FAN1DIV:   ", state.FanDivisor[0]);
  HexValue(out, "  FAN2DIV:   ", state.FanDivisor[1]);
  HexValue(out, "  FAN3DIV:   ", state.FanDivisor[2]);
  CloseSection(out);
}

namespace {

void AppendDeviceWords(std::string& out, PortIo& io, const InfoSummary& s, int32_t address,
                       std::string_view title) {
  if (address == -1) return;
  OpenSection(out, title);
  for (uint32_t reg : {kSensorRegTemp, kSensorRegConfig}) {
    const int32_t word =
        SMBrdw(io, s.PmId, static_cast<uint32_t>(s.PmBase), static_cast<uint32_t>(address), reg);
    out += "  REG ";
    AppendHex(out, reg, 2);
    out += "h : ";
    AppendHex(out, word, 4);
    out += "h  (Address : ";
    AppendHex(out, address, 2);
    out += "h)\n";
  }
  CloseSection(out);
}

}  // namespace

void AppendFurtherDevices(std::string& out, PortIo& io, const InfoSummary& s) {
  AppendDeviceWords(out, io, s, s.SecondSmbAddress, "SMBus 2nd Device - Registers Value");
  AppendDeviceWords(out, io, s, s.ThirdSmbAddress, "SMBus 3rd Device - Registers Value");
}

void AppendMonitorWindow(std::string& out, const MonitorWindowText& rows) {
  OpenSection(out, "Monitor Window");
  for (size_t i = 0; i < kWindowRows; ++i) {
    out += kRowPrefixes[i];
    out += rows.labels[i];
    out += "] : ";
    out += rows.texts[i];
    out += '\n';
  }
  CloseSection(out);
}

void AppendProfileHead(std::string& out, PortIo& io, const InfoSummary& s,
                       const MonitorSettings& settings, const DetectState& state,
                       const MonitorWindowText& rows) {
  AppendTitle(out);
  AppendSummarySection(out, s);
  AppendSettingValues(out, settings, state);
  AppendChipRegisters(out, io, s, state);
  AppendFurtherDevices(out, io, s);
  AppendMonitorWindow(out, rows);
}

std::string BuildProfileText(PortIo& io, const InfoSummary& s, const MonitorSettings& settings,
                             const DetectState& state, const MonitorWindowText& rows) {
  std::string out;
  out.reserve(64 * 1024);
  AppendProfileHead(out, io, s, settings, state, rows);
  AppendPciConfiguration(out, io);
  return out;
}

}  // namespace kev::report
