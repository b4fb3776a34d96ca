// Giving up privilege, each case in a child process of its own, since it
// cannot be undone: root, a user who is not root holding CAP_SYS_RAWIO as
// file capabilities leave one, and a drop asked for too late or with nothing
// to give up.
#include <gtest/gtest.h>
#include <sys/capability.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <functional>
#include <string>
#include <thread>

#include "held_capabilities.h"
#include "hw/privilege.h"

namespace kev {
namespace {

constexpr uid_t kNobody = 65534;
constexpr uint64_t kSetGidUidPcapBits = uint64_t{7} << 6;  // CAP_SETGID, CAP_SETUID, CAP_SETPCAP

// What body says in a child process; "" when it has nothing to object.
std::string InChild(const std::function<std::string()>& body) {
  int fds[2];
  if (pipe(fds) != 0) return "no pipe";
  const pid_t pid = fork();
  if (pid == 0) {
    close(fds[0]);
    const std::string said = body();
    const ssize_t written = write(fds[1], said.data(), said.size());
    _exit(written == static_cast<ssize_t>(said.size()) ? 0 : 1);
  }
  close(fds[1]);
  std::string said;
  char buf[256];
  for (ssize_t n; (n = read(fds[0], buf, sizeof buf)) > 0;)
    said.append(buf, static_cast<size_t>(n));
  close(fds[0]);
  int status = 0;
  waitpid(pid, &status, 0);
  return WIFEXITED(status) && WEXITSTATUS(status) == 0 ? said : "child ended badly: " + said;
}

// Keeps only CAP_SYS_RAWIO under the user nobody.
std::string BecomeUserWithRawIo() {
  if (prctl(PR_SET_KEEPCAPS, 1) != 0 || setresgid(kNobody, kNobody, kNobody) != 0 ||
      setresuid(kNobody, kNobody, kNobody) != 0) {
    return "cannot become nobody";
  }
  cap_t rawIo = cap_from_text("cap_sys_rawio=ep");
  const bool ok = rawIo != nullptr && cap_set_proc(rawIo) == 0;
  cap_free(rawIo);
  return ok ? "" : "cannot keep CAP_SYS_RAWIO";
}

TEST(DropPrivileges, NothingIsLeftAndOnlyAUserWhoIsNotRootIsMarked) {
  if ((test::OwnCapabilities() & kSetGidUidPcapBits) != kSetGidUidPcapBits) {
    GTEST_SKIP() << "needs root's capabilities to play the cases";
  }
  struct Case {
    const char* who;
    std::function<std::string()> setUp;
    bool marked;
    bool bounding;  // the bounding set is emptied too (it needs CAP_SETPCAP)
  };
  const Case cases[] = {
      {"root", [] { return std::string(); }, false, true},
      {"user with CAP_SYS_RAWIO", BecomeUserWithRawIo, true, false},
  };
  for (const Case& c : cases) {
    // A container may withhold CAP_SYS_RAWIO from root itself.
    if (c.marked && (test::OwnCapabilities() & (uint64_t{1} << CAP_SYS_RAWIO)) == 0) continue;
    EXPECT_EQ(InChild([&c] {
                const std::string setUp = c.setUp();
                if (!setUp.empty()) return setUp;
                const PrivilegeDrop d = DropPrivileges();
                if (!d.problem.empty()) return d.problem;
                if (d.forNonRootUser != c.marked) return std::string("marked wrongly");
                return test::HeldCapabilities(getpid(), c.bounding);
              }),
              "")
        << c.who;
  }
}

// A second thread keeps a capable process's sets and is reported; a process
// holding nothing (an ordinary user under an emulator) passes.
TEST(DropPrivileges, ASecondThreadStopsOnlyADropOfSomething) {
  for (const bool holds : {true, false}) {
    if (holds && test::OwnCapabilities() == 0) continue;
    EXPECT_EQ(InChild([holds] {
                cap_t none = cap_init();
                const bool cleared = holds || cap_set_proc(none) == 0;
                cap_free(none);
                if (!cleared) return std::string("cannot clear the capabilities");
                std::thread other([] { std::this_thread::sleep_for(std::chrono::seconds(5)); });
                other.detach();
                const PrivilegeDrop d = DropPrivileges();
                if (!holds) return d.problem;
                if (d.problem.find("more than one thread") == std::string::npos) {
                  return "no refusal: " + d.problem;
                }
                return std::string(test::OwnCapabilities() != 0 ? "" : "dropped anyway");
              }),
              "")
        << (holds ? "holding capabilities" : "holding nothing");
  }
}

}  // namespace
}  // namespace kev
