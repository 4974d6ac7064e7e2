// Figures of Pondrex.dll as a 32-bit host sees them under Wine, against the
// simulated scale on the far end of the COM port (run through ptypeer.py
// --device scale). It prints figures and checks no timing; it exits with 1
// only when an exchange gave a wrong result.
//
// Usage: PondrexBench.exe DLL MODE [ARGS]
//   tare ROUNDS BLOCK  the acknowledged Tare through the DLL, and the same
//                      13-byte exchange done directly on the port with the
//                      link's own port settings (one overlapped write and
//                      read), alternating in blocks of BLOCK until each side
//                      has ROUNDS exchanges; median and 90th percentile
//   idle SECONDS       processor time of a host that calls DoEvents every
//                      10 ms with the port open, and of the same host loop
//                      without the DLL
//   memory [COUNT]     resident memory after 100 and after COUNT Tares
//                      (default 10,000)
//   price ROUNDS       DownLoadPlu and UpLoadPlu of all 70 slots against the
//                      simulated price-computing scale (ptypeer.py --device
//                      pricescale), ROUNDS of each; median and 90th
//                      percentile beside the floor of the same exchanges
//   download ROUNDS    DownloadProgramme of a 200-block image against the
//                      simulated boot loader (--device bootloader), ROUNDS
//                      times; median beside the floor
//
// The floor of a transfer is the sum of the pauses that the protocol
// prescribes and one read-interval time-out of the port per answer: the
// time that no driver could go below on the same port settings.
#include "BootLoaderClient.h"
#include "FirmwareImage.h"
#include "PeerClient.h"
#include "Pondrex.h"
#include "PriceScaleClient.h"
#include "ScaleFrames.h"

#include <windows.h>

#include <psapi.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <exception>
#include <fstream>
#include <stdexcept>
#include <string>
#include <vector>

namespace {

using pos::test::ScaleClient;

const char *const EcrId = "123456";
constexpr uint32_t EcrIdValue = pondrex::test::TestEcrId;
constexpr int32_t Rate = 9600;
// The tare command frame, as the link builds it, and the size of its
// acknowledgement.
const std::vector<uint8_t> TareFrame = pondrex::test::ScaleFrame(0x80040000);
constexpr DWORD AckSize = 13;

// The exports as the header declares them, bound by name at run time.
using ConfigFn = decltype(&::Config);
using OpenDeviceFn = decltype(&::OpenDevice);
using SendFn = decltype(&::Tare);
using CloseDeviceFn = decltype(&::CloseDevice);
using DoEventsFn = decltype(&::DoEvents);
using CreateCommFn = decltype(&::CreateComm);
using PluFn = decltype(&::DownLoadPlu);
using DownloadProgrammeFn = decltype(&::DownloadProgramme);

// The pauses and answers of the transfers, as the protocols prescribe them.
// Each transfer closes the weighing link first (50 ms).
constexpr double LinkCloseMs = 50;
// The price bus: 100 ms after its port opens, 45 ms before each slot read;
// 44, 11, 70 slots and 33 each answered; a read interval of 20 ms.
constexpr double PriceSettleMs = 100;
constexpr double SlotReadPauseMs = 45;
constexpr int PriceAnswers = 2 + 70 + 1;
constexpr double PriceReadIntervalMs = 20;
// The download: "force update", 500 ms, again, 2000 ms; the wake-up bursts
// 1 s apart; 350 ms after the pulse; connect, status, start, the blocks and
// the end each answered; a read interval of 1 ms.
constexpr double DownloadPausesMs = 500 + 2000 + 1000 + 350;
constexpr int DownloadBlocks = 200;
constexpr int DownloadAnswers = 3 + DownloadBlocks + 1;
constexpr double BootReadIntervalMs = 1;

double Now() {
  static const double unit = [] {
    LARGE_INTEGER frequency;
    QueryPerformanceFrequency(&frequency);
    return 1000.0 / static_cast<double>(frequency.QuadPart);
  }();
  LARGE_INTEGER count;
  QueryPerformanceCounter(&count);
  return static_cast<double>(count.QuadPart) * unit;
}

double Percentile(std::vector<double> values, double fraction) {
  std::sort(values.begin(), values.end());
  const size_t at = static_cast<size_t>(fraction * static_cast<double>(values.size() - 1) + 0.5);
  return values[at];
}

// Processor time of this process, user and kernel, in milliseconds.
double ProcessCpuMs() {
  FILETIME created, exited, kernel, user;
  GetProcessTimes(GetCurrentProcess(), &created, &exited, &kernel, &user);
  auto ms = [](const FILETIME &t) {
    return static_cast<double>(static_cast<uint64_t>(t.dwHighDateTime) << 32 | t.dwLowDateTime) / 10000.0;
  };
  return ms(kernel) + ms(user);
}

void PumpOnce() {
  MSG message;
  while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
    TranslateMessage(&message);
    DispatchMessageW(&message);
  }
}

class TPondrexDll {
public:
  explicit TPondrexDll(const char *path) : module_(LoadLibraryA(path)) {
    if (module_ == nullptr)
      throw std::runtime_error(std::string("cannot load ") + path);
    Config = Bind<ConfigFn>("Config");
    OpenDevice = Bind<OpenDeviceFn>("OpenDevice");
    Tare = Bind<SendFn>("Tare");
    CloseDevice = Bind<CloseDeviceFn>("CloseDevice");
    DoEvents = Bind<DoEventsFn>("DoEvents");
    CreateComm = Bind<CreateCommFn>("CreateComm");
    DownLoadPlu = Bind<PluFn>("DownLoadPlu");
    UpLoadPlu = Bind<PluFn>("UpLoadPlu");
    DownloadProgramme = Bind<DownloadProgrammeFn>("DownloadProgramme");
  }
  ~TPondrexDll() { FreeLibrary(module_); }
  TPondrexDll(const TPondrexDll &) = delete;
  TPondrexDll &operator=(const TPondrexDll &) = delete;

  void Open(const std::string &port, int32_t rate = Rate) {
    Config(5, 1000, 0, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr);
    if (OpenDevice(port.c_str(), rate) != -1)
      throw std::runtime_error("OpenDevice failed");
  }

  ConfigFn Config;
  OpenDeviceFn OpenDevice;
  SendFn Tare;
  CloseDeviceFn CloseDevice;
  DoEventsFn DoEvents;
  CreateCommFn CreateComm;
  PluFn DownLoadPlu;
  PluFn UpLoadPlu;
  DownloadProgrammeFn DownloadProgramme;

private:
  template <typename F> F Bind(const char *name) {
    FARPROC proc = GetProcAddress(module_, name);
    if (proc == nullptr)
      throw std::runtime_error(std::string("no export ") + name);
    F function;
    std::memcpy(&function, &proc, sizeof function);
    return function;
  }

  HMODULE module_;
};

// The port opened as the link's serial component opens it: overlapped, 4096-
// byte queues, the link's DCB flags and a read interval time-out of 20 ms.
class TRawPort {
public:
  explicit TRawPort(const std::string &name) {
    const std::string path = "\\\\.\\" + name;
    handle_ = CreateFileA(path.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
                          FILE_ATTRIBUTE_NORMAL | FILE_FLAG_OVERLAPPED, nullptr);
    if (handle_ == INVALID_HANDLE_VALUE)
      throw std::runtime_error("cannot open " + name);
    SetupComm(handle_, 4096, 4096);
    PurgeComm(handle_, PURGE_TXABORT | PURGE_RXABORT | PURGE_TXCLEAR | PURGE_RXCLEAR);
    COMMTIMEOUTS timeouts{};
    GetCommTimeouts(handle_, &timeouts);
    timeouts = {20, 0, 0, 0, 0};
    SetCommTimeouts(handle_, &timeouts);
    DCB dcb{};
    dcb.DCBlength = sizeof dcb;
    GetCommState(handle_, &dcb);
    dcb.BaudRate = Rate;
    dcb.fBinary = 1;
    dcb.fParity = 0;
    dcb.fOutxCtsFlow = 0;
    dcb.fOutxDsrFlow = 0;
    dcb.fDtrControl = DTR_CONTROL_DISABLE;
    dcb.fDsrSensitivity = 0;
    dcb.fTXContinueOnXoff = 0;
    dcb.fOutX = 0;
    dcb.fInX = 1;
    dcb.fErrorChar = 0;
    dcb.fNull = 0;
    dcb.fRtsControl = RTS_CONTROL_ENABLE;
    dcb.fAbortOnError = 0;
    dcb.XonLim = 500;
    dcb.XoffLim = 500;
    dcb.ByteSize = 8;
    dcb.Parity = NOPARITY;
    dcb.StopBits = ONESTOPBIT;
    dcb.XonChar = 17;
    dcb.XoffChar = 19;
    dcb.ErrorChar = 0;
    SetCommState(handle_, &dcb);
    readEvent_ = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    writeEvent_ = CreateEventW(nullptr, TRUE, FALSE, nullptr);
  }
  ~TRawPort() {
    CloseHandle(readEvent_);
    CloseHandle(writeEvent_);
    CloseHandle(handle_);
  }
  TRawPort(const TRawPort &) = delete;
  TRawPort &operator=(const TRawPort &) = delete;

  // Writes the tare frame and reads until the 13-byte answer is in; the read
  // is posted before the write, as the link's read thread always has one
  // pending. Returns the bytes read.
  DWORD Exchange() {
    DWORD total = 0;
    bool written = false;
    while (total < AckSize) {
      OVERLAPPED read{};
      read.hEvent = readEvent_;
      ResetEvent(readEvent_);
      DWORD got = 0;
      const BOOL completed = ReadFile(handle_, buffer_, sizeof buffer_, &got, &read);
      if (!completed && GetLastError() != ERROR_IO_PENDING)
        return total;
      if (!written) {
        Write();
        written = true;
      }
      if (!completed && !GetOverlappedResult(handle_, &read, &got, TRUE))
        return total;
      total += got;
    }
    return total;
  }

private:
  void Write() {
    OVERLAPPED write{};
    write.hEvent = writeEvent_;
    ResetEvent(writeEvent_);
    DWORD written = 0;
    if (!WriteFile(handle_, TareFrame.data(), static_cast<DWORD>(TareFrame.size()), &written, &write) &&
        GetLastError() == ERROR_IO_PENDING)
      GetOverlappedResult(handle_, &write, &written, TRUE);
  }

  HANDLE handle_;
  HANDLE readEvent_;
  HANDLE writeEvent_;
  uint8_t buffer_[4096];
};

void PrepareScale(ScaleClient &scale) {
  scale.reset();
  scale.setId(EcrIdValue);
  scale.is1Text('S', ' ', "  1.25", "kg");
  scale.echo(true);
}

int RunTare(TPondrexDll &dll, int rounds, int block) {
  const std::string port = ScaleClient::comPort();
  std::vector<double> viaDll;
  std::vector<double> raw;
  int wrong = 0;
  while (static_cast<int>(viaDll.size()) < rounds) {
    dll.Open(port);
    for (int i = 0; i < block && static_cast<int>(viaDll.size()) < rounds; ++i) {
      const double started = Now();
      const int32_t result = dll.Tare(EcrId);
      viaDll.push_back(Now() - started);
      wrong += result != -1;
    }
    dll.CloseDevice();
    TRawPort rawPort(port);
    for (int i = 0; i < block && static_cast<int>(raw.size()) < rounds; ++i) {
      const double started = Now();
      const DWORD got = rawPort.Exchange();
      raw.push_back(Now() - started);
      wrong += got != AckSize;
    }
  }
  const double dllMedian = Percentile(viaDll, 0.5);
  const double rawMedian = Percentile(raw, 0.5);
  std::printf("tare_dll_ms median=%.2f p90=%.2f n=%zu\n", dllMedian, Percentile(viaDll, 0.9), viaDll.size());
  std::printf("tare_raw_ms median=%.2f p90=%.2f n=%zu\n", rawMedian, Percentile(raw, 0.9), raw.size());
  std::printf("tare_ratio median=%.3f p90=%.3f\n", dllMedian / rawMedian,
              Percentile(viaDll, 0.9) / Percentile(raw, 0.9));
  if (wrong != 0)
    std::printf("tare_wrong %d\n", wrong);
  return wrong == 0 ? 0 : 1;
}

// Percent of one processor that the loop took over seconds.
double IdleLoopCpu(double seconds, DoEventsFn doEvents) {
  const double cpuBefore = ProcessCpuMs();
  const double started = Now();
  while (Now() - started < seconds * 1000) {
    if (doEvents != nullptr)
      doEvents();
    else
      PumpOnce();
    Sleep(10);
  }
  return 100.0 * (ProcessCpuMs() - cpuBefore) / (Now() - started);
}

int RunIdle(const char *dllPath, double seconds) {
  const double without = IdleLoopCpu(seconds, nullptr);
  double with = 0;
  {
    TPondrexDll dll(dllPath);
    dll.Open(ScaleClient::comPort());
    with = IdleLoopCpu(seconds, dll.DoEvents);
    dll.CloseDevice();
  }
  std::printf("idle_cpu_percent without_dll=%.2f with_dll=%.2f difference=%.2f\n", without, with,
              with - without);
  return 0;
}

double ResidentMb() {
  PROCESS_MEMORY_COUNTERS counters{};
  counters.cb = sizeof counters;
  GetProcessMemoryInfo(GetCurrentProcess(), &counters, sizeof counters);
  return static_cast<double>(counters.WorkingSetSize) / (1024.0 * 1024.0);
}

double PrivateMb() {
  PROCESS_MEMORY_COUNTERS counters{};
  counters.cb = sizeof counters;
  GetProcessMemoryInfo(GetCurrentProcess(), &counters, sizeof counters);
  return static_cast<double>(counters.PagefileUsage) / (1024.0 * 1024.0);
}

int RunMemory(TPondrexDll &dll, int last) {
  dll.Open(ScaleClient::comPort());
  int wrong = 0;
  int done = 0;
  for (const int mark : {100, last}) {
    for (; done < mark; ++done)
      wrong += dll.Tare(EcrId) != -1;
    std::printf("memory_after_%d resident_mb=%.2f private_mb=%.2f\n", mark, ResidentMb(), PrivateMb());
    std::fflush(stdout);
  }
  dll.CloseDevice();
  if (wrong != 0)
    std::printf("tare_wrong %d\n", wrong);
  return wrong == 0 ? 0 : 1;
}

// A file beside the bench in the temporary folder.
std::string TempFile(const char *name) {
  char folder[MAX_PATH] = {};
  GetTempPathA(MAX_PATH, folder);
  return std::string(folder) + "pondrex-bench-" + std::to_string(GetCurrentProcessId()) + "-" + name;
}

void PrintTimes(const char *name, const std::vector<double> &times, double floorMs) {
  const double median = Percentile(times, 0.5);
  std::printf("%s median=%.0f p90=%.0f floor=%.0f gap=%.0f n=%zu\n", name, median, Percentile(times, 0.9),
              floorMs, median - floorMs, times.size());
}

int RunPrice(TPondrexDll &dll, int rounds) {
  pos::test::PriceScaleClient scale;
  scale.resetBoth();
  scale.setId(EcrIdValue);
  scale.is1Text('S', ' ', "  0.00", "kg");
  std::vector<uint8_t> table;
  for (uint32_t slot = 1; slot <= 70; ++slot)
    table.insert(table.end(), {static_cast<uint8_t>(slot % 6), 0, static_cast<uint8_t>(slot), 0x10});
  scale.setTable(table);
  // The weighing link at another rate than the price bus, as the simulator
  // tells the two apart by the rate.
  dll.Open(ScaleClient::comPort(), 19200);
  dll.CreateComm();
  const std::string file = TempFile("plu.txt");
  std::vector<double> down;
  std::vector<double> up;
  int wrong = 0;
  for (int i = 0; i < rounds; ++i) {
    double started = Now();
    wrong += dll.UpLoadPlu(file.c_str()) != 1;
    up.push_back(Now() - started);
    started = Now();
    wrong += dll.DownLoadPlu(file.c_str()) != 1;
    down.push_back(Now() - started);
    scale.clear();
  }
  dll.CloseDevice();
  DeleteFileA(file.c_str());
  DeleteFileA((file + ".~tmp").c_str());
  PrintTimes("plu_download_ms", down, LinkCloseMs + PriceSettleMs + PriceAnswers * PriceReadIntervalMs);
  PrintTimes("plu_upload_ms", up,
             LinkCloseMs + PriceSettleMs + 70 * SlotReadPauseMs + PriceAnswers * PriceReadIntervalMs);
  if (wrong != 0)
    std::printf("transfer_wrong %d\n", wrong);
  return wrong == 0 ? 0 : 1;
}

int32_t lastDownloadStatus = -1;
void __stdcall OnDownloadProgress(int32_t, int32_t, int32_t status, const char *) {
  lastDownloadStatus = status;
}

int RunDownload(TPondrexDll &dll, int rounds) {
  pos::test::BootLoaderClient boot;
  boot.bootReset();
  boot.setId(EcrIdValue);
  const std::string file = TempFile("image.bin");
  {
    const std::vector<uint8_t> image = pondrex::test::ProgramPart(DownloadBlocks, 0x0102, 0x33);
    std::ofstream out(file, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char *>(image.data()), static_cast<std::streamsize>(image.size()));
  }
  std::vector<double> times;
  int wrong = 0;
  for (int i = 0; i < rounds; ++i) {
    lastDownloadStatus = -1;
    const double started = Now();
    dll.DownloadProgramme(file.c_str(), ScaleClient::comPort().c_str(), Rate, &OnDownloadProgress);
    times.push_back(Now() - started);
    wrong += lastDownloadStatus != 1;
    boot.clear();
  }
  DeleteFileA(file.c_str());
  PrintTimes("download_ms", times, DownloadPausesMs + DownloadAnswers * BootReadIntervalMs);
  if (wrong != 0)
    std::printf("transfer_wrong %d\n", wrong);
  return wrong == 0 ? 0 : 1;
}

} // namespace

int main(int argc, char **argv) {
  if (argc < 3) {
    std::fprintf(stderr, "usage: PondrexBench.exe DLL tare ROUNDS BLOCK | idle SECONDS | memory [COUNT] | "
                         "price ROUNDS | download ROUNDS\n");
    return 2;
  }
  try {
    const std::string mode = argv[2];
    if (mode == "price" || mode == "download") {
      TPondrexDll dll(argv[1]);
      const int rounds = argc > 3 ? std::atoi(argv[3]) : 5;
      return mode == "price" ? RunPrice(dll, rounds) : RunDownload(dll, rounds);
    }
    ScaleClient scale;
    PrepareScale(scale);
    if (mode == "idle")
      return RunIdle(argv[1], argc > 3 ? std::atof(argv[3]) : 10.0);
    TPondrexDll dll(argv[1]);
    if (mode == "tare")
      return RunTare(dll, argc > 3 ? std::atoi(argv[3]) : 200, argc > 4 ? std::atoi(argv[4]) : 20);
    if (mode == "memory")
      return RunMemory(dll, argc > 3 ? std::atoi(argv[3]) : 10000);
    std::fprintf(stderr, "unknown mode %s\n", mode.c_str());
    return 2;
  } catch (const std::exception &error) {
    std::printf("bench failed: %s\n", error.what());
    return 1;
  }
}
