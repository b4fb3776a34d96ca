// The desktop program's entry: port access, single instance, the hidden
// monitor window and the event loop.
#pragma once

#include <QString>
#include <QStringList>
#include <functional>
#include <memory>
#include <optional>

#include "detect/ownership.h"
#include "hw/portio.h"
#include "hw/privilege.h"

namespace kev::app {

inline constexpr const char* kErrorCaption = "Kevatra Error";

// What the entry takes from the process; tests replace parts of it.
struct EntryHooks {
  std::function<std::unique_ptr<PortIo>()> openRealPorts;  // the real ports when empty
  std::function<void(const QString& text)> showError;      // a message box when empty
  std::function<int()> exec;                               // the event loop when empty
  OwnershipRoots roots;  // where sysfs and proc are; tests use fixture trees
  // What RunProgram read and gave up while privileged, before Qt started;
  // ownership is read in RunEntry when empty.
  std::optional<OwnershipFacts> ownership;
  PrivilegeDrop privileges;
};

// The whole run inside an existing QApplication; args exclude the program
// name. Returns the exit code: -1 when port access or a start file fails or
// a kernel driver owns the hardware (without --force), 0 otherwise (also when another copy already
// runs).
int RunEntry(const QStringList& args, const EntryHooks& hooks = {});

int RunProgram(int argc, char** argv);

}  // namespace kev::app
