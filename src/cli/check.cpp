#include "cli/check.h"

#include <cstdio>
#include <fstream>
#include <ostream>
#include <sstream>
#include <string>
#include <vector>

#include "detect/detect.h"
#include "detect/ownership.h"
#include "hw/realports.h"
#include "session/board_opener.h"
#include "session/privileged_start.h"
#include "session/settings_file.h"

namespace kev::cli {
namespace {

constexpr size_t kItemWidth = 16;

struct CheckLine {
  std::string item;
  std::string text;
  bool blocks = false;  // real monitoring cannot start until it is dealt with
};

std::string PmLine(const PmDevice& pm, std::string_view name, bool baseHidden) {
  if (pm.VendorDevice == -1) {
    return "none of the supported south bridges on PCI bus 0; only chips on the ISA bus or "
           "in the Super-I/O can be found";
  }
  std::string text(name);
  if (pm.PciDevice == -1) return text + ", its PM I/O space is switched off: no SMBus";
  char where[64];
  std::snprintf(where, sizeof where, " at PCI 00:%02x.%x", static_cast<unsigned>(pm.PciDevice),
                static_cast<unsigned>(pm.PciFunction));
  text += where;
  if (baseHidden) return text + ", SMBus base not shown to this user (run check as root)";
  if (pm.SmbBase == -1) return text + ", SMBus base never programmed by the BIOS: no SMBus";
  std::snprintf(where, sizeof where, ", SMBus host at %04Xh", static_cast<unsigned>(pm.SmbBase));
  return text + where;
}

constexpr const char* kChipNotProbed =
    "not probed: asking the chip writes its index port or the SMBus host, which check never "
    "does; \"kevatra-cli info\" identifies it";

std::string LockdownLine(const std::string& sysRoot, bool& blocks) {
  std::ifstream in(sysRoot + "/kernel/security/lockdown");
  if (!in) return "not in this kernel (nothing to do)";
  std::ostringstream text;
  text << in.rdbuf();
  std::string modes = text.str();
  while (!modes.empty() && modes.back() == '\n') modes.pop_back();
  blocks = LockdownRefusesPortIo(modes);
  if (!blocks) return "off (" + modes + ")";
  return "on (" + modes +
         "): port I/O is refused; turn Secure Boot off in the firmware set-up, or boot without "
         "lockdown (see real-hardware.md)";
}

std::string BusLine(BusNames& buses, BusKind kind, const char* name, const char* ok,
                    const char* missing, const char* noBus) {
  const BusNameAnswer a = buses.HasOwner(kind, name);
  if (!a.reached) return noBus;
  return a.owned ? ok : missing;
}

void PrivilegeLine(const session::PrivilegedStart& start, std::vector<CheckLine>& lines) {
  if (!start.privileges.problem.empty())
    lines.push_back({"Privileges", start.privileges.problem, true});
}

void RealMachineLines(const CliOptions& o, const CliEnv& env, const session::PrivilegedStart& start,
                      std::vector<CheckLine>& lines) {
  CheckLine access{"Port access", "granted"};
  if (!start.accessGranted) {
    access.text = start.ports->refusalReason();
    access.blocks = true;
  }
  lines.push_back(access);
  PrivilegeLine(start, lines);
  CheckLine lockdown{"Kernel lockdown", {}};
  lockdown.text = LockdownLine(env.roots.sys, lockdown.blocks);
  lines.push_back(lockdown);

  HiveFileRegistry hive(session::SettingsPath(o.settingsFile, env.env));
  if (!hive.path().empty()) hive.load();
  const OwnershipFacts& facts = *start.ownership;
  const bool throughKernel =
      start.ports && start.accessGranted && start.ports->smbusThroughKernel();
  const std::vector<HardwareOwner> owners =
      FindOwners(facts, session::ChipPortSetting(hive), throughKernel);
  for (const HardwareOwner& owner : owners)
    lines.push_back({"Kernel driver", OwnerLine(owner), true});
  for (const HardwareOwner& held :
       throughKernel ? KernelHeldAddresses(facts) : std::vector<HardwareOwner>{}) {
    lines.push_back({"Kernel driver", OwnerLine(held)});
  }
  if (owners.empty()) {
    lines.push_back(
        {"Kernel drivers", facts.claimAddressesHidden
                               ? "none found (run check as root to see the /proc/ioports addresses)"
                               : "none drives the SMBus host or the chip's ports"});
  }
  lines.push_back({"PM device", PmLine(facts.pm, facts.pmName, facts.smbBaseHidden)});
  lines.push_back({"SMBus", SmbusTransportText(facts, throughKernel)});
  lines.push_back({"Monitoring chip", kChipNotProbed});
}

void BoardLines(const CliOptions& o, std::vector<CheckLine>& lines, std::string& error) {
  std::unique_ptr<sim::SimBoard> board = session::OpenBoard(*o.board, error);
  if (!board) return;
  const std::string simulated = "not needed (simulated board)";
  lines.push_back({"Port access", simulated});
  lines.push_back({"Kernel lockdown", simulated});
  lines.push_back({"Kernel drivers", "none on a simulated board"});
  PortIo& io = board->machine();
  const PmDevice pm = ScanPmDevice(io);
  lines.push_back({"PM device", PmLine(pm, PmDeviceName(io, pm.VendorDevice, pm.Revision), false)});
  lines.push_back({"SMBus", "port I/O"});
  lines.push_back({"Monitoring chip", kChipNotProbed});
}

}  // namespace

int RunCheck(const CliOptions& o, const CliEnv& env, std::ostream& out, std::ostream& err) {
  std::vector<CheckLine> lines;
  std::string error;
  // Everything a run does while privileged, as a run does it; the rest
  // (settings and board files, buses) goes without privilege.
  const session::PrivilegedStart start =
      session::StartPrivileged(!o.board, {env.roots, env.openRealPorts, env.dropPrivileges});
  if (o.board) {
    PrivilegeLine(start, lines);
    BoardLines(o, lines, error);
    if (!error.empty()) {
      err << "kevatra-cli: " << error << '\n';
      return 1;
    }
  } else {
    RealMachineLines(o, env, start, lines);
  }
  SdBusNames systemBuses;
  BusNames& buses = env.buses ? *env.buses : systemBuses;
  lines.push_back(
      {"Tray icon", BusLine(buses, BusKind::Session, kTrayWatcherName,
                            "a StatusNotifier host runs: the desktop program's icon shows",
                            "no StatusNotifier host on the session bus: the icon shows only in an "
                            "XEmbed tray; add a tray (on GNOME the AppIndicator extension)",
                            "no session bus: run check from your desktop session as your own "
                            "user")});
  lines.push_back(
      {"Login manager", BusLine(buses, BusKind::System, kLoginManagerName,
                                "logind answers: shutdown and suspend actions and resume work",
                                "systemd-logind is not running: shutdown and suspend actions are "
                                "refused, and the chip is not set up again after a resume",
                                "no system bus: shutdown and suspend actions are refused")});
  bool blocked = false;
  for (const CheckLine& l : lines) {
    const std::string head = l.item + ":";
    out << head << std::string(head.size() < kItemWidth ? kItemWidth - head.size() : 1, ' ')
        << l.text << '\n';
    blocked = blocked || l.blocks;
  }
  return blocked ? 1 : 0;
}

}  // namespace kev::cli
