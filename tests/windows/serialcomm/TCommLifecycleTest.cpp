// Opening and closing the serial component: refusals, failed opens that
// leave nothing behind, thread priorities, destruction of an open port and
// a thousand openings in a row.
#include "PeerClient.h"
#include "SerialTestSupport.h"

#include "ECommsError.h"
#include "TComm.h"

#include <windows.h>

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

namespace {

using pondrex::ECommsError;
using pondrex::TComm;
using pos::test::CountProcess;
using pos::test::PeerClient;
using pos::test::ProcessCounts;

// What StartComm raised: the text and the system's error code.
struct StartFailure {
  std::string text = "(no error)";
  uint32_t systemError = 0;
};
StartFailure StartError(TComm &comm) {
  try {
    comm.StartComm();
  } catch (const ECommsError &error) {
    return {error.what(), error.SystemError()};
  }
  return {};
}

class TCommLifecycle : public ::testing::Test {
protected:
  void SetUp() override {
    Prepare(comm_);
    peer_.clear();
  }
  void Prepare(TComm &comm) {
    comm.SetCommName(pos::test::Wide(PeerClient::comPort()));
    pos::test::UseScaleLinkSettings(comm);
  }
  // Proves the port carries data both ways.
  void ExpectWorking(TComm &comm) {
    const std::vector<uint8_t> out = {0x02, 0x11, 0x13, 0x03};
    ASSERT_TRUE(comm.WriteCommData(out.data(), static_cast<uint32_t>(out.size())));
    EXPECT_EQ(peer_.receive(out.size(), 3000), out);
    std::vector<uint8_t> in;
    comm.OnReceiveData = [&in](pondrex::TCommBase &, const uint8_t *bytes, uint16_t count) {
      in.insert(in.end(), bytes, bytes + count);
    };
    const std::vector<uint8_t> sent = {0x05, 0x13, 0x11, 0x00};
    peer_.send(sent);
    EXPECT_TRUE(pos::test::PumpUntil([&] { return in.size() >= sent.size(); }, 3000));
    EXPECT_EQ(in, sent);
    comm.OnReceiveData = nullptr;
  }
  static void ExpectSameCounts(const ProcessCounts &before, const ProcessCounts &after) {
    EXPECT_EQ(after.handles, before.handles) << "handles left behind";
    EXPECT_EQ(after.threads, before.threads) << "threads left behind";
  }

  PeerClient peer_;
  TComm comm_;
};

TEST_F(TCommLifecycle, SecondStartIsRefusedAndTheFirstOpeningKeepsWorking) {
  comm_.StartComm();
  const pondrex::TReadThread *readThread = comm_.ReadThread();
  const StartFailure failure = StartError(comm_);
  EXPECT_EQ(failure.text, "This serial port already opened");
  EXPECT_EQ(failure.systemError, 0u) << "no system call failed";
  EXPECT_TRUE(comm_.IsOpen());
  EXPECT_EQ(comm_.ReadThread(), readThread);
  ExpectWorking(comm_);
}

TEST_F(TCommLifecycle, FailedStartLeavesNothingBehind) {
  struct Case {
    std::u16string name;
    std::string error;
    bool systemFailure; // a system call failed: its error code is kept
  };
  const std::vector<Case> cases = {
      {u"COM99", "Error opening serial port", true},
      {u"pipe\\pondrex-serialcomm-test", "File handle is not a comm handle ", false},
  };
  for (const Case &c : cases) {
    TComm comm;
    comm.SetCommName(c.name);
    const ProcessCounts before = CountProcess();
    for (int attempt = 0; attempt < 5; ++attempt) {
      // A pipe opens but is no character device.
      HANDLE pipe = CreateNamedPipeW(L"\\\\.\\pipe\\pondrex-serialcomm-test", PIPE_ACCESS_DUPLEX,
                                     PIPE_TYPE_BYTE, PIPE_UNLIMITED_INSTANCES, 512, 512, 0, nullptr);
      ASSERT_NE(pipe, INVALID_HANDLE_VALUE);
      const StartFailure failure = StartError(comm);
      EXPECT_EQ(failure.text, c.error);
      // Wine may name a missing port with a code of its own; any non-zero
      // code says why.
      EXPECT_EQ(failure.systemError != 0, c.systemFailure) << failure.systemError;
      CloseHandle(pipe);
    }
    ExpectSameCounts(before, CountProcess());
    EXPECT_FALSE(comm.IsOpen());
    EXPECT_EQ(comm.ReadThread(), nullptr);
    EXPECT_EQ(comm.WriteThread(), nullptr);
  }
}

TEST_F(TCommLifecycle, StopIsHarmlessWhenClosedAndStartOpensAgain) {
  comm_.StopComm();
  EXPECT_EQ(comm_.GetModemState(), 0u);
  comm_.StartComm();
  comm_.StopComm();
  comm_.StopComm();
  EXPECT_FALSE(comm_.IsOpen());
  EXPECT_EQ(comm_.ReadThread(), nullptr);
  EXPECT_EQ(comm_.WriteThread(), nullptr);
  comm_.StartComm();
  ExpectWorking(comm_);
}

TEST_F(TCommLifecycle, ThreadsRunAtTheirPriorities) {
  comm_.StartComm();
  ASSERT_NE(comm_.ReadThread(), nullptr);
  ASSERT_NE(comm_.WriteThread(), nullptr);
  EXPECT_EQ(GetThreadPriority(comm_.ReadThread()->Handle()), THREAD_PRIORITY_HIGHEST);
  EXPECT_EQ(GetThreadPriority(comm_.WriteThread()->Handle()), THREAD_PRIORITY_ABOVE_NORMAL);
}

TEST_F(TCommLifecycle, DestroyingAnOpenPortStopsIt) {
  const ProcessCounts before = CountProcess();
  const long arrays = pos::test::LiveArrays();
  {
    TComm comm;
    Prepare(comm);
    comm.StartComm();
    const std::vector<uint8_t> block = pos::test::Pattern(3000);
    for (int i = 0; i < 20; ++i) {
      comm.WriteCommData(block.data(), static_cast<uint32_t>(block.size()));
    }
  }
  ExpectSameCounts(before, CountProcess());
  EXPECT_EQ(pos::test::LiveArrays(), arrays) << "queued blocks were not freed";
  TComm again;
  Prepare(again);
  again.StartComm();
  peer_.clear();
  ExpectWorking(again);
}

TEST_F(TCommLifecycle, AThousandOpeningsLeaveNothingBehind) {
  for (int i = 0; i < 20; ++i) { // lets the process reach its steady state
    comm_.StartComm();
    comm_.StopComm();
  }
  const ProcessCounts before = CountProcess();
  const long arrays = pos::test::LiveArrays();
  for (int i = 0; i < 1000; ++i) {
    comm_.StartComm();
    comm_.StopComm();
  }
  pos::test::PumpOnce();
  const ProcessCounts after = CountProcess();
  ExpectSameCounts(before, after);
  EXPECT_EQ(pos::test::LiveArrays(), arrays);
  EXPECT_LT(after.privateBytes, before.privateBytes + 512 * 1024)
      << "private bytes grew from " << before.privateBytes << " to " << after.privateBytes;
  comm_.StartComm();
  ExpectWorking(comm_);
}

} // namespace
