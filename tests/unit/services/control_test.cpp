#include "services/control.h"

#include <gtest/gtest.h>

#include <cwchar>
#include <memory>
#include <string>
#include <vector>

#include "services_test_util.h"
#include "test_files.h"
#include "text/coredict.h"

namespace {

using svctest::Clock;
using svctest::Log;
using svctest::RaisedBy;
using svctest::Scm;

constexpr unsigned kLimit = 10000;

std::unique_ptr<Q::TqService> Record(const wchar_t* name, const wchar_t* computer = nullptr) {
  return std::make_unique<Q::TqService>(name, name, Q::kListServices, SERVICE_WIN32_OWN_PROCESS,
                                        SERVICE_STOPPED, 0, 0, 0, 0, 0, computer);
}

std::vector<std::wstring> ControlTargets() {
  std::vector<std::wstring> out;
  for (const sim::Call& c : Log().Of("ControlService")) out.push_back(c.args[0]);
  return out;
}

class ControlTest : public testing::Test {
 protected:
  void SetUp() override { Q::ResetCoreDictionaryForTesting(); }
  void TearDown() override {
    // Every operation closes what it opened, on every path.
    EXPECT_EQ(0, Scm().OpenHandleCount());
    Q::ResetCoreDictionaryForTesting();
  }
};

TEST_F(ControlTest, StoppingAStoppedServiceSendsNothing) {
  Scm().AddService(L"Spooler").Stopped().AcceptsStop();
  auto service = Record(L"Spooler");
  EXPECT_EQ(L"(none)", RaisedBy([&] { Q::ControlServiceAndWait(service.get(), 1, true, kLimit); }));
  EXPECT_EQ(0u, Log().Count("ControlService"));
  EXPECT_EQ(0u, Log().Count("EnumDependentServicesW"));
}

TEST_F(ControlTest, StopStopsActiveDependentsFirstInOrderEachWaitedFor) {
  // Spooler <- Fax <- FaxUI (transitive), Printer <- Spooler stays stopped.
  Scm().AddService(L"Spooler").Running().AcceptsStop().StopTakes(1500, 500);
  Scm().AddService(L"Fax").DependsOn(L"Spooler").Running().AcceptsStop().StopTakes(2000, 700);
  Scm().AddService(L"FaxUI").DependsOn(L"Fax").Running().AcceptsStop().StopTakes(900, 300);
  Scm().AddService(L"Idle").DependsOn(L"Spooler").Stopped().AcceptsStop();
  auto service = Record(L"Spooler");
  EXPECT_EQ(L"(none)", RaisedBy([&] { Q::ControlServiceAndWait(service.get(), 1, true, kLimit); }));
  // The manager refuses to stop a service whose dependents still run, so reaching the
  // end proves each dependent was waited for before the next request.
  EXPECT_EQ((std::vector<std::wstring>{L"FaxUI", L"Fax", L"Spooler"}), ControlTargets());
  for (const wchar_t* name : {L"Spooler", L"Fax", L"FaxUI", L"Idle"})
    EXPECT_EQ(static_cast<DWORD>(SERVICE_STOPPED), Scm().StateOf(name)) << name;
  // Only active dependents are asked for.
  ASSERT_EQ(2u, Log().Count("EnumDependentServicesW"));
  EXPECT_EQ(L"1", Log().Of("EnumDependentServicesW")[0].args[1]);
  // The record keeps the status it had; the views refresh it.
  EXPECT_EQ(static_cast<DWORD>(SERVICE_STOPPED), service->Status.dwCurrentState);
}

TEST_F(ControlTest, PauseAndResumeLeaveDependentsAlone) {
  Scm().AddService(L"W3SVC").Running().AcceptsStop().AcceptsPauseContinue().PauseTakes(800, 400)
      .ContinueTakes(600, 300);
  Scm().AddService(L"Child").DependsOn(L"W3SVC").Running().AcceptsStop().AcceptsPauseContinue();
  auto service = Record(L"W3SVC");
  Q::ControlServiceAndWait(service.get(), 2, false, kLimit);
  EXPECT_EQ(static_cast<DWORD>(SERVICE_PAUSED), Scm().StateOf(L"W3SVC"));
  Q::ControlServiceAndWait(service.get(), 3, false, kLimit);
  EXPECT_EQ(static_cast<DWORD>(SERVICE_RUNNING), Scm().StateOf(L"W3SVC"));
  EXPECT_EQ((std::vector<std::wstring>{L"W3SVC", L"W3SVC"}), ControlTargets());
  EXPECT_EQ(static_cast<DWORD>(SERVICE_RUNNING), Scm().StateOf(L"Child"));
}

TEST_F(ControlTest, PausePendingIsWaitedForWithoutASecondRequest) {
  Scm().AddService(L"W3SVC").AcceptsPauseContinue().PauseTakes(3000, 1000).InState(SERVICE_PAUSE_PENDING);
  auto service = Record(L"W3SVC");
  Q::ControlServiceAndWait(service.get(), 2, false, kLimit);
  EXPECT_EQ(0u, Log().Count("ControlService"));
  EXPECT_EQ(static_cast<DWORD>(SERVICE_PAUSED), Scm().StateOf(L"W3SVC"));
}

TEST_F(ControlTest, DependentThatCannotBeOpenedStopsNothingMore) {
  Scm().AddService(L"RPCSS").Running().AcceptsStop();
  Scm().AddService(L"Locked").DependsOn(L"RPCSS").Running().AcceptsStop().OpenFails();
  auto service = Record(L"RPCSS");
  EXPECT_EQ(L"!!: Access to Servise depend on this Service denied!",
            RaisedBy([&] { Q::ControlServiceAndWait(service.get(), 1, true, kLimit); }));
  EXPECT_EQ(0u, Log().Count("ControlService"));
  EXPECT_EQ(static_cast<DWORD>(SERVICE_RUNNING), Scm().StateOf(L"RPCSS"));
}

TEST_F(ControlTest, DependentThatIsAlreadyStoppingIsWaitedFor) {
  Scm().AddService(L"RPCSS").Running().AcceptsStop();
  Scm().AddService(L"Going").DependsOn(L"RPCSS").AcceptsStop().StopTakes(2000, 500)
      .InState(SERVICE_STOP_PENDING);
  auto service = Record(L"RPCSS");
  EXPECT_EQ(L"(none)", RaisedBy([&] { Q::ControlServiceAndWait(service.get(), 1, true, kLimit); }));
  EXPECT_EQ(static_cast<DWORD>(SERVICE_STOPPED), Scm().StateOf(L"RPCSS"));
}

TEST_F(ControlTest, StuckInStopPendingEndsAtTheTimeLimit) {
  struct Case {
    DWORD waitHint;
  } cases[] = {{1000}, {0}, {0xFFFFFFFF}};  // a zero hint must not spin, a huge one not block
  for (const Case& c : cases) {
    const std::wstring name = L"Stuck" + std::to_wstring(c.waitHint);
    Scm().AddService(name).Running().AcceptsStop().StopTakes(0, c.waitHint).NeverStops();
    auto service = Record(name.c_str());
    const uint64_t before = Clock().Now();
    EXPECT_EQ(L"!!: Limit of Sevice answer expectation has exceeded!",
              RaisedBy([&] { Q::ControlServiceAndWait(service.get(), 1, true, kLimit); }));
    const uint64_t waited = Clock().Now() - before;
    EXPECT_GT(waited, kLimit) << c.waitHint;
    EXPECT_LE(waited, kLimit + 1000 + Q::kMinPollMs) << c.waitHint;
    EXPECT_EQ(static_cast<DWORD>(SERVICE_STOP_PENDING), Scm().StateOf(name));
  }
}

TEST_F(ControlTest, TheTimeLimitCoversTheDependentsToo) {
  Scm().AddService(L"Base").Running().AcceptsStop().StopTakes(100, 100);
  Scm().AddService(L"Slow1").DependsOn(L"Base").Running().AcceptsStop().StopTakes(6000, 1000);
  Scm().AddService(L"Slow2").DependsOn(L"Base").Running().AcceptsStop().StopTakes(6000, 1000);
  auto service = Record(L"Base");
  EXPECT_EQ(L"!!: Limit of Sevice answer expectation has exceeded!",
            RaisedBy([&] { Q::ControlServiceAndWait(service.get(), 1, true, kLimit); }));
  EXPECT_EQ(static_cast<DWORD>(SERVICE_RUNNING), Scm().StateOf(L"Base"));
}

TEST_F(ControlTest, UnsupportedControlIsRefusedBeforeAnythingIsOpened) {
  Scm().AddService(L"Spooler").Running().AcceptsStop();
  auto service = Record(L"Spooler");
  for (unsigned control : {0u, 4u, 5u, 0xFFFFFFFFu}) {
    EXPECT_EQ(L"!!: Control operatop not supported!",
              RaisedBy([&] { Q::ControlServiceAndWait(service.get(), control, true, kLimit); }));
  }
  EXPECT_TRUE(Log().Calls().empty());
}

TEST_F(ControlTest, EachFailureGivesItsOutcomeText) {
  struct Case {
    const char* call;
    DWORD error;
    int times;
    const wchar_t* message;
    bool stopDependents = true;
  } cases[] = {
      {"OpenSCManagerW", ERROR_ACCESS_DENIED, 1, L"!!: Failed to open Services database!"},
      {"OpenServiceW", ERROR_ACCESS_DENIED, 1, L"!!: Access to Service denied!"},
      {"QueryServiceStatus", ERROR_INVALID_HANDLE, 1, L"!!: Getting Service Status failed!"},
      {"EnumDependentServicesW", ERROR_ACCESS_DENIED, 1, L"!!: Unknown error!"},
      {"ControlService", ERROR_ACCESS_DENIED, 1, L"!!: Access to Service denied!", false},
      {"ControlService", ERROR_ACCESS_DENIED, 1,
       L"!!: Access to Servise depend on this Service denied!"},  // the dependent's
      // the dependent's own open is the second OpenServiceW
      {"OpenServiceW#2", ERROR_ACCESS_DENIED, 1,
       L"!!: Access to Servise depend on this Service denied!"},
  };
  int n = 0;
  for (const Case& c : cases) {
    const std::wstring base = L"Base" + std::to_wstring(++n);
    Scm().AddService(base).Running().AcceptsStop();
    auto dep = Scm().AddService(L"Dep" + std::to_wstring(n)).DependsOn(base).Running().AcceptsStop();
    const std::string call = c.call;
    if (call == "OpenServiceW#2") {
      dep.OpenFails();
    } else {
      sim::Active()->failures().Fail(call, c.error, c.times);
    }
    auto service = Record(base.c_str());
    EXPECT_EQ(c.message, RaisedBy([&] {
                Q::ControlServiceAndWait(service.get(), 1, c.stopDependents, kLimit);
              })) << c.call;
    EXPECT_EQ(static_cast<DWORD>(SERVICE_RUNNING), Scm().StateOf(base)) << c.call;
    EXPECT_EQ(0, Scm().OpenHandleCount()) << c.call;
  }
}

TEST_F(ControlTest, SecondDependentsEnumerationFailureIsCodeFive) {
  Scm().AddService(L"Base").Running().AcceptsStop();
  Scm().AddService(L"Dep").DependsOn(L"Base").Running().AcceptsStop();
  auto service = Record(L"Base");
  // The first call says "more data" without a size; the second one, given no room,
  // fails: a failing second enumeration stops nothing.
  sim::Active()->failures().Fail("EnumDependentServicesW", ERROR_MORE_DATA, 1);
  EXPECT_EQ(L"!!: Access to Servise depend on this Service denied!",
            RaisedBy([&] { Q::ControlServiceAndWait(service.get(), 1, true, kLimit); }));
  EXPECT_EQ(static_cast<DWORD>(SERVICE_RUNNING), Scm().StateOf(L"Base"));
}

TEST_F(ControlTest, OutcomeTextIsTranslatedInACopyCutToTheEnglishLength) {
  testsupport::TempDir dir;
  const std::string english = "Limit of Sevice answer expectation has exceeded!";
  const std::string path = dir.Write(
      "corelang.dic", english + "===Zeitlimit fuer die Antwort des Dienstes ueberschritten, viel zu lang!\n");
  Q::LoadCoreDictionary(path.c_str());
  Scm().AddService(L"Stuck").Running().AcceptsStop().StopTakes(0, 1000).NeverStops();
  auto service = Record(L"Stuck");
  const std::wstring expected =
      L"!!: " + std::wstring(L"Zeitlimit fuer die Antwort des Dienstes ueberschritten, viel zu lang!")
                    .substr(0, english.size());
  for (int round = 0; round < 2; ++round) {
    EXPECT_EQ(expected,
              RaisedBy([&] { Q::ControlServiceAndWait(service.get(), 1, true, kLimit); }));
  }
  EXPECT_STREQ(L"Limit of Sevice answer expectation has exceeded!", Q::ControlOutcomeTable[4]);
}

TEST_F(ControlTest, StartPassesArgumentsAndWaitsForRunning) {
  Scm().AddService(L"Agent").StartTakes(3000, 1000).AcceptsStop();
  auto service = Record(L"Agent");
  const wchar_t* argv[] = {L"-verbose", L"%s%n", L"C:\\dir with space\\"};
  Q::StartServiceAndWait(service.get(), kLimit, 3, argv);
  EXPECT_EQ(static_cast<DWORD>(SERVICE_RUNNING), Scm().StateOf(L"Agent"));
  EXPECT_EQ((std::vector<std::wstring>{L"-verbose", L"%s%n", L"C:\\dir with space\\"}),
            Scm().Service(L"Agent").Record().lastStartArguments);
  EXPECT_GE(Log().Count("QueryServiceStatus"), 3u);
}

TEST_F(ControlTest, StartOutcomes) {
  struct Case {
    const char* name;
    std::function<void(sim::ServiceBuilder)> setup;
    const wchar_t* message;
    DWORD finalState;
  } cases[] = {
      {"refused", [](sim::ServiceBuilder b) { b.RefusesToStart(ERROR_SERVICE_LOGON_FAILED); },
       L"!!: Failed to start Service!", SERVICE_STOPPED},
      {"disabled", [](sim::ServiceBuilder b) { b.StartType(SERVICE_DISABLED); },
       L"!!: Failed to start Service!", SERVICE_STOPPED},
      {"already running", [](sim::ServiceBuilder b) { b.Running(); },
       L"!!: Failed to start Service!", SERVICE_RUNNING},
      {"fails while starting", [](sim::ServiceBuilder b) { b.StartTakes(2000, 500).FailsWhileStarting(3); },
       L"(none)", SERVICE_STOPPED},
      {"never starts", [](sim::ServiceBuilder b) { b.StartTakes(0, 2000).NeverStarts(); },
       L"!!: Failed to start Service!", SERVICE_START_PENDING},
  };
  int n = 0;
  for (const Case& c : cases) {
    const std::wstring name = L"Svc" + std::to_wstring(++n);
    c.setup(Scm().AddService(name));
    auto service = Record(name.c_str());
    EXPECT_EQ(c.message, RaisedBy([&] { Q::StartServiceAndWait(service.get(), kLimit, 0, nullptr); }))
        << c.name;
    EXPECT_EQ(c.finalState, Scm().StateOf(name)) << c.name;
    EXPECT_EQ(0, Scm().OpenHandleCount()) << c.name;
  }
}

TEST_F(ControlTest, StartOpenFailures) {
  Scm().AddService(L"Svc");
  auto missing = Record(L"Missing");
  EXPECT_EQ(L"!!: Access to Service denied!",
            RaisedBy([&] { Q::StartServiceAndWait(missing.get(), kLimit, 0, nullptr); }));
  sim::Active()->failures().Fail("OpenSCManagerW", ERROR_ACCESS_DENIED, 1);
  auto service = Record(L"Svc");
  EXPECT_EQ(L"!!: Access to Services database denied!",
            RaisedBy([&] { Q::StartServiceAndWait(service.get(), kLimit, 0, nullptr); }));
}

TEST_F(ControlTest, RefreshServiceStatusReadsEverySevenValues) {
  Scm().AddService(L"Svc").Running().Accepts(SERVICE_ACCEPT_STOP | SERVICE_ACCEPT_PAUSE_CONTINUE)
      .ExitCodes(0, 0);
  auto service = Record(L"Svc");
  Q::RefreshServiceStatus(service.get());
  EXPECT_EQ(static_cast<DWORD>(SERVICE_RUNNING), service->Status.dwCurrentState);
  EXPECT_EQ(3u, service->Status.dwControlsAccepted);
  Scm().Service(L"Svc").StopTakes(5000, 2500).InState(SERVICE_STOP_PENDING);
  Clock().Advance(2600);
  Q::RefreshServiceStatus(service.get());
  EXPECT_EQ(static_cast<DWORD>(SERVICE_STOP_PENDING), service->Status.dwCurrentState);
  EXPECT_EQ(2500u, service->Status.dwWaitHint);
  EXPECT_EQ(2u, service->Status.dwCheckPoint);

  const struct {
    const char* call;
    const wchar_t* message;
  } failures[] = {{"OpenSCManagerW", L"!!: Failed to open Services database!"},
                  {"OpenServiceW", L"!!: Access to Service denied!"},
                  {"QueryServiceStatus", L"!!: Getting Service state failed!"}};
  for (const auto& f : failures) {
    sim::Active()->failures().Fail(f.call, ERROR_ACCESS_DENIED, 1);
    EXPECT_EQ(f.message, RaisedBy([&] { Q::RefreshServiceStatus(service.get()); })) << f.call;
  }
}

TEST_F(ControlTest, RefreshDependentsListsEveryStateAndReplacesTheOldList) {
  Scm().AddService(L"Base").Running();
  auto service = Record(L"Base");
  Q::RefreshDependents(service.get());
  EXPECT_NE(nullptr, service->DependentsBlock);
  EXPECT_EQ(0u, service->DependentsCount);

  Scm().AddService(L"A").DependsOn(L"Base").Running().Display(L"Alpha");
  Scm().AddService(L"B").DependsOn(L"A").Stopped();
  Q::RefreshDependents(service.get());
  ASSERT_EQ(2u, service->DependentsCount);
  EXPECT_STREQ(L"B", service->Dependents()[0].lpServiceName);
  EXPECT_STREQ(L"A", service->Dependents()[1].lpServiceName);
  EXPECT_STREQ(L"Alpha", service->Dependents()[1].lpDisplayName);
  EXPECT_EQ(static_cast<DWORD>(SERVICE_STOPPED), service->Dependents()[0].ServiceStatus.dwCurrentState);
  EXPECT_EQ(L"3", Log().Of("EnumDependentServicesW").back().args[1]);

  sim::Active()->failures().Fail("EnumDependentServicesW", ERROR_ACCESS_DENIED);
  EXPECT_EQ(L"!!: Getting Services depend on this Service failed!",
            RaisedBy([&] { Q::RefreshDependents(service.get()); }));
  EXPECT_EQ(0u, service->DependentsCount);
}

TEST(PollIntervalTest, BoundsTheWaitHint) {
  EXPECT_EQ(500u, Q::PollInterval(500, 0, 10000));
  EXPECT_EQ(Q::kMinPollMs, Q::PollInterval(0, 0, 10000));
  EXPECT_EQ(10001u, Q::PollInterval(0xFFFFFFFF, 0, 10000));
  EXPECT_EQ(1001u, Q::PollInterval(5000, 9000, 10000));
  EXPECT_EQ(Q::kMinPollMs, Q::PollInterval(5000, 12000, 10000));
  // A limit of 0xFFFFFFFF leaves the hint as it is: the step past it must not wrap to 0.
  EXPECT_EQ(3000u, Q::PollInterval(3000, 0, 0xFFFFFFFF));
  EXPECT_EQ(0xFFFFFFFFu, Q::PollInterval(0xFFFFFFFF, 0, 0xFFFFFFFF));
}

}  // namespace

namespace {

TEST_F(ControlTest, EveryOperationOpensTheRecordsComputerWithFullAccess) {
  Scm().AddMachineName(L"\\\\SRV");
  Scm().AddService(L"Svc").Running().AcceptsStop().AcceptsPauseContinue();
  auto service = Record(L"Svc", L"\\\\SRV");
  const std::vector<std::function<void()>> operations = {
      [&] { Q::RefreshServiceStatus(service.get()); },
      [&] { Q::RefreshDependents(service.get()); },
      [&] { Q::ControlServiceAndWait(service.get(), 2, false, kLimit); },
      [&] { Q::ControlServiceAndWait(service.get(), 3, false, kLimit); },
      [&] { Q::ControlServiceAndWait(service.get(), 1, true, kLimit); },
      [&] { Q::StartServiceAndWait(service.get(), kLimit, 0, nullptr); },
  };
  for (const auto& operation : operations) {
    Log().Clear();
    EXPECT_EQ(L"(none)", RaisedBy(operation));
    const auto managers = Log().Of("OpenSCManagerW");
    ASSERT_EQ(1u, managers.size());
    EXPECT_EQ((std::vector<std::wstring>{L"\\\\SRV", L"(null)", L"0xF003F"}), managers[0].args);
    const auto services = Log().Of("OpenServiceW");
    ASSERT_EQ(1u, services.size());
    EXPECT_EQ((std::vector<std::wstring>{L"Svc", L"0xF01FF"}), services[0].args);
    // The service handle is closed before the manager's.
    const auto closes = Log().Of("CloseServiceHandle");
    ASSERT_EQ(2u, closes.size());
    EXPECT_EQ(L"Svc", closes[0].args[0]);
    EXPECT_EQ(L"(manager)", closes[1].args[0]);
  }
}

}  // namespace
