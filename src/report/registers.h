// Chip registers the information report reads on its own, beyond what
// detection and sampling use.
#pragma once

#include <cstdint>

namespace kev::report {

// Winbond family: bank select, serial-bus address, vendor ID.
inline constexpr uint32_t kWbRegBankSelect = 0x4E;
inline constexpr uint32_t kWbRegSerialAddress = 0x4A;
inline constexpr uint32_t kWbRegVendorId = 0x4F;
inline constexpr uint32_t kWbBank0High = 0x80;  // bank 0, vendor ID high byte
inline constexpr uint32_t kWbBank0Low = 0x00;   // bank 0, vendor ID low byte

// Serial-bus address register: a set disable bit hides that sub-client; the
// address field is added to the sub-clients' base address.
inline constexpr uint32_t kWbSub1Disable = 0x08;
inline constexpr uint32_t kWbSub2Disable = 0x80;
inline constexpr uint32_t kWbSub1Mask = 0x07;
inline constexpr uint32_t kWbSub2Shift = 4;
inline constexpr int32_t kWbSubClientBase = 0x48;

// Temperature sensors on the SMBus: register 00h answers on every kind; the
// manufacturer ID register FEh separates real sensors from other devices.
inline constexpr uint32_t kSensorRegTemp = 0x00;
inline constexpr uint32_t kSensorRegConfig = 0x01;
inline constexpr uint32_t kSensorRegMfrId = 0xFE;
inline constexpr int32_t kSensorMfrIdA = 0x4D;
inline constexpr int32_t kSensorMfrIdB = 0x49;
// Only the first candidates of the address list need the manufacturer test.
inline constexpr int kSensorMfrTestedCandidates = 6;

// The PM device whose later revision carries a different monitor.
inline constexpr uint32_t kVt82c686PmId = 0x30571106;
inline constexpr int32_t kVt82c686bRevisionBit = 0x40;

}  // namespace kev::report
