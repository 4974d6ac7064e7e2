// The single-instance checks of Quillon64.dll, Quillon.dll and Kestrune.dll
// across host processes: each case runs InstanceProbe.exe, which loads one
// library by file name and calls isAppRunning, and reads what it printed.
#include <windows.h>

#include <gtest/gtest.h>

#include <string>

namespace {

// The probe program beside this test program.
std::wstring probePath() {
  wchar_t path[MAX_PATH] = {};
  const DWORD length = GetModuleFileNameW(nullptr, path, MAX_PATH);
  std::wstring folder(path, length);
  folder.resize(folder.find_last_of(L'\\') + 1);
  return folder + L"InstanceProbe.exe";
}

// One running probe: its standard input and output are pipes of the test.
class Probe {
public:
  Probe(const std::wstring &library, int calls, bool hold) {
    SECURITY_ATTRIBUTES inherit{sizeof inherit, nullptr, TRUE};
    HANDLE childIn = nullptr;
    HANDLE childOut = nullptr;
    EXPECT_TRUE(CreatePipe(&childIn, &input_, &inherit, 0));
    EXPECT_TRUE(CreatePipe(&output_, &childOut, &inherit, 0));
    SetHandleInformation(input_, HANDLE_FLAG_INHERIT, 0);
    SetHandleInformation(output_, HANDLE_FLAG_INHERIT, 0);
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdInput = childIn;
    startup.hStdOutput = childOut;
    startup.hStdError = GetStdHandle(STD_ERROR_HANDLE);
    std::wstring command =
        L"\"" + probePath() + L"\" " + library + L" " + std::to_wstring(calls) + (hold ? L" hold" : L"");
    EXPECT_TRUE(CreateProcessW(nullptr, command.data(), nullptr, nullptr, TRUE, 0, nullptr, nullptr, &startup,
                               &process_))
        << "error " << GetLastError();
    CloseHandle(childIn);
    CloseHandle(childOut);
    if (hold) {
      // Until it holds the mutex, the probe is no "first process" yet.
      while (output().find("holding\n") == std::string::npos && readSome()) {
      }
    }
  }
  ~Probe() {
    finish();
    CloseHandle(output_);
  }
  Probe(const Probe &) = delete;
  Probe &operator=(const Probe &) = delete;

  // Ends the probe (its standard input closes) and returns all it printed.
  std::string finish() {
    if (input_ != nullptr) {
      CloseHandle(input_);
      input_ = nullptr;
      while (readSome()) {
      }
      WaitForSingleObject(process_.hProcess, 30000);
      DWORD code = 0;
      GetExitCodeProcess(process_.hProcess, &code);
      EXPECT_EQ(code, 0u);
      CloseHandle(process_.hThread);
      CloseHandle(process_.hProcess);
    }
    return output_text_;
  }

  const std::string &output() const { return output_text_; }

private:
  bool readSome() {
    char buffer[256];
    DWORD read = 0;
    if (!ReadFile(output_, buffer, sizeof buffer, &read, nullptr) || read == 0) {
      return false;
    }
    // The C runtime writes standard output in text mode: "\n" arrives as
    // "\r\n". The texts are compared with plain line ends.
    for (DWORD i = 0; i < read; ++i) {
      if (buffer[i] != '\r') {
        output_text_ += buffer[i];
      }
    }
    return true;
  }

  HANDLE input_ = nullptr;
  HANDLE output_ = nullptr;
  PROCESS_INFORMATION process_{};
  std::string output_text_;
};

// What a probe prints for one library, call by call.
const std::string QuillonFirst = "Application is starting for the first time.\n@0\n";
const std::string QuillonAgain = "Application is already running.\n@1\n";
const std::string KestruneFirst = "CreateMutex not_exist@0\n";
const std::string KestruneAgain = "CreateMutex ERROR_ALREADY_EXISTS (183)\n@1\n";

std::string run(const wchar_t *library, int calls) {
  return Probe(library, calls, false).finish();
}

TEST(InstanceCheck, ZeroThenOneInOneProcess) {
  struct Case {
    const wchar_t *library;
    int calls;
    std::string expected;
  };
  const Case cases[] = {
      {L"Quillon64.dll", 3, QuillonFirst + QuillonAgain + QuillonAgain},
      {L"Quillon.dll", 2, QuillonFirst + QuillonAgain},
      {L"Kestrune.dll", 2, KestruneFirst + KestruneAgain},
  };
  for (const Case &c : cases) {
    SCOPED_TRACE(testing::Message() << c.calls << " calls");
    EXPECT_EQ(run(c.library, c.calls), c.expected);
  }
}

TEST(InstanceCheck, SecondProcessSeesTheFirstUntilItEnds) {
  for (const wchar_t *library : {L"Quillon64.dll", L"Quillon.dll"}) {
    SCOPED_TRACE(testing::Message() << (library[7] == L'6' ? "Quillon64.dll" : "Quillon.dll"));
    Probe first(library, 1, true);
    EXPECT_EQ(first.output(), QuillonFirst + "holding\n");
    EXPECT_EQ(run(library, 1), QuillonAgain);
    first.finish();
    EXPECT_EQ(run(library, 1), QuillonFirst);
  }
}

TEST(InstanceCheck, BothQuillonNamesShareOneMutex) {
  Probe first(L"Quillon64.dll", 1, true);
  EXPECT_EQ(run(L"Quillon.dll", 1), QuillonAgain);
  first.finish();
  Probe second(L"Quillon.dll", 1, true);
  EXPECT_EQ(run(L"Quillon64.dll", 1), QuillonAgain);
}

TEST(InstanceCheck, KestruneAndQuillonChecksAreIndependent) {
  {
    Probe quillon(L"Quillon64.dll", 1, true);
    EXPECT_EQ(run(L"Kestrune.dll", 2), KestruneFirst + KestruneAgain);
  }
  Probe kestrune(L"Kestrune.dll", 1, true);
  EXPECT_EQ(kestrune.output(), KestruneFirst + "holding\n");
  EXPECT_EQ(run(L"Quillon64.dll", 1), QuillonFirst);
  EXPECT_EQ(run(L"Kestrune.dll", 1), KestruneAgain);
}

TEST(InstanceCheck, ANameTakenByAnotherKindOfObjectIsNoMutex) {
  // An event under the mutex's name: the mutex cannot be created or opened.
  // Quillon then reports an instance (1); Kestrune reports none (0).
  struct Case {
    const wchar_t *library;
    const wchar_t *name;
    std::string expected;
  };
  const Case cases[] = {
      {L"Quillon64.dll", L"fs_windows_cashRegister",
       "CreateMutex failed with error: " + std::to_string(ERROR_INVALID_HANDLE) + "\n@1\n"},
      {L"Kestrune.dll", L"windows_cashRegister", KestruneFirst},
  };
  for (const Case &c : cases) {
    SCOPED_TRACE(testing::Message() << c.name);
    HANDLE event = CreateEventW(nullptr, TRUE, FALSE, c.name);
    ASSERT_NE(event, nullptr);
    EXPECT_EQ(run(c.library, 1), c.expected);
    CloseHandle(event);
  }
}

} // namespace
