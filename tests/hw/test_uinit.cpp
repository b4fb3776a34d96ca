#include <gtest/gtest.h>

#include <cerrno>

#include "hw/realports.h"
#include "hw/uinit.h"
#include "sim/machine.h"

namespace kev {
namespace {

TEST(OsFamily, PredicatesFollowPlatformAndMajor) {
  struct Case {
    OsVersion v;
    bool nt, nt5, win9x;
  };
  const Case cases[] = {
      {{1, 4}, false, false, true}, {{2, 4}, true, false, false}, {{2, 5}, true, true, false},
      {{2, 6}, true, false, false}, {{1, 5}, false, false, true}, {{0, 5}, false, false, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << c.v.platformId << "/" << c.v.majorVersion);
    EXPECT_EQ(IsNtFamily(c.v), c.nt);
    EXPECT_EQ(IsNt5(c.v), c.nt5);
    EXPECT_EQ(Is9xFamily(c.v), c.win9x);
  }
  EXPECT_TRUE(IsNt5(CurrentOsVersion()));
}

TEST(PortAccessProbe, AsksTheBackend) {
  sim::SimMachine m;
  EXPECT_TRUE(GiveioPresent(m));
  m.setAccessAllowed(false, "no");
  EXPECT_FALSE(GiveioPresent(m));
}

TEST(CommandLine, LastSwitchWinsCaseInsensitive) {
  EXPECT_EQ(ParseCommandLine({}), 0u);
  EXPECT_EQ(ParseCommandLine({"/asms2", "/asms1"}), 1u);
  EXPECT_EQ(ParseCommandLine({"/ASMS2"}), 2u);
  EXPECT_EQ(ParseCommandLine({"/asms2", "/minimized"}), 2u);
  EXPECT_EQ(ParseCommandLine({"/asms1", "/AsMs0"}), 0u);
  EXPECT_EQ(ParseCommandLine({"/asms3", "asms1", "/asms1x", "-asms2"}), 0u);
}

TEST(RealPortsRefusal, LockdownModes) {
  EXPECT_FALSE(LockdownRefusesPortIo("[none] integrity confidentiality\n"));
  EXPECT_TRUE(LockdownRefusesPortIo("none [integrity] confidentiality\n"));
  EXPECT_TRUE(LockdownRefusesPortIo("none integrity [confidentiality]\n"));
  EXPECT_FALSE(LockdownRefusesPortIo(""));
  EXPECT_FALSE(LockdownRefusesPortIo("garbage [integrity"));
}

TEST(RealPortsRefusal, ErrnoNamesTheCause) {
  EXPECT_EQ(RefusalFromErrno(0, false), PortAccessRefusal::None);
  EXPECT_EQ(RefusalFromErrno(EPERM, false), PortAccessRefusal::NoPrivilege);
  EXPECT_EQ(RefusalFromErrno(EPERM, true), PortAccessRefusal::LockedDown);
  EXPECT_EQ(RefusalFromErrno(ENOSYS, false), PortAccessRefusal::NoKernelSupport);
  EXPECT_EQ(RefusalFromErrno(EINVAL, false), PortAccessRefusal::Other);

  EXPECT_NE(RefusalText(PortAccessRefusal::NoPrivilege, EPERM).find("CAP_SYS_RAWIO"),
            std::string::npos);
  EXPECT_NE(RefusalText(PortAccessRefusal::LockedDown, EPERM).find("locked down"),
            std::string::npos);
  EXPECT_NE(RefusalText(PortAccessRefusal::NoKernelSupport, ENOSYS).find("without port I/O"),
            std::string::npos);
  EXPECT_TRUE(RefusalText(PortAccessRefusal::None, 0).empty());
  for (auto r : {PortAccessRefusal::Other, PortAccessRefusal::Unsupported})
    EXPECT_EQ(RefusalText(r, EINVAL).find('\n'), std::string::npos);
}

}  // namespace
}  // namespace kev
