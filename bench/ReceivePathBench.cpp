// Throughput of the scale link's receive path, for scripts/bench.sh: a mixed
// stream of weight, measurement and AD frames with junk between them is
// handed to the link in chunks of 4096 bytes, as the serial component hands
// them out, and timed against a loop that only copies the same chunks and
// computes their CRC-16; the fastest of three runs counts. Run in a release
// build without sanitizers; it prints figures and checks no timing. It exits
// with 1 when the link did not report every frame of the stream.
//
// Usage: receive_path_bench [MB ...]   (default: 8 64)
#include "ScaleFrames.h"
#include "TFakeComm.h"
#include "TFakePlatform.h"
#include "THecrLink.h"

#include <algorithm>
#include <array>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

namespace {

using pondrex::THecrLink;
using pondrex::test::Bytes;

constexpr size_t ChunkSize = 4096;
constexpr int Repeats = 3;

// One period of the stream and the number of frames the link reports for it.
struct TPattern {
  Bytes Stream;
  size_t Frames = 0;
};

TPattern Pattern() {
  using namespace pondrex::test;
  const Bytes measurement = ScaleFrame(0x83000000, MeasurementPayload());
  const std::vector<Bytes> reported = {
      Is1Frame('S', ' ', "  1.25", "kg", 0x30),
      measurement,
      ExtendedIs1Frame('S', ' ', " 0.500", "kg", {.Price = 1234, .Total = 617, .WeightAd = 300}),
      Is1Frame('U', '-', "  0.75", "kg", 0x31),
      measurement,
      ShortIs1Frame('S', ' ', "  2.00", "lb"),
  };
  const std::vector<Bytes> quiet = {AdU8Frame("V12", 0x0102, 0xFFFE), AdU9Frame(0x0010, 0x00FF),
                                    Bytes{0x00, 0x55, 0x07, 0x13}};
  TPattern pattern;
  for (const Bytes &frame : reported)
    pattern.Stream.insert(pattern.Stream.end(), frame.begin(), frame.end());
  for (const Bytes &bytes : quiet)
    pattern.Stream.insert(pattern.Stream.end(), bytes.begin(), bytes.end());
  pattern.Frames = reported.size();
  return pattern;
}

double Seconds(std::chrono::steady_clock::duration d) {
  return std::chrono::duration<double>(d).count();
}

double MegaBytes(size_t bytes) {
  return static_cast<double>(bytes) / (1024.0 * 1024.0);
}

// CRC-16/XMODEM, one table lookup a byte.
const std::array<uint16_t, 256> &CrcTable() {
  static const std::array<uint16_t, 256> table = [] {
    std::array<uint16_t, 256> t{};
    for (unsigned i = 0; i < 256; ++i) {
      uint16_t crc = static_cast<uint16_t>(i << 8);
      for (int bit = 0; bit < 8; ++bit)
        crc = static_cast<uint16_t>((crc & 0x8000) ? (crc << 1) ^ 0x1021 : crc << 1);
      t[i] = crc;
    }
    return t;
  }();
  return table;
}

// The floor: copy each chunk once and compute the CRC of its bytes.
double CopyAndCrc(const Bytes &stream, uint16_t &crcOut) {
  const std::array<uint16_t, 256> &table = CrcTable();
  std::vector<uint8_t> copy(ChunkSize);
  uint16_t crc = 0;
  const auto started = std::chrono::steady_clock::now();
  for (size_t at = 0; at < stream.size(); at += ChunkSize) {
    const size_t size = std::min(ChunkSize, stream.size() - at);
    std::memcpy(copy.data(), stream.data() + at, size);
    for (size_t i = 0; i < size; ++i)
      crc = static_cast<uint16_t>(crc << 8 ^ table[(crc >> 8 ^ copy[i]) & 0xFF]);
  }
  crcOut = crc;
  return Seconds(std::chrono::steady_clock::now() - started);
}

struct TRun {
  double Time = 0;
  size_t Frames = 0;
};

TRun ReceivePath(const Bytes &stream) {
  pondrex::TFakePlatform platform;
  pondrex::TLinkProcessFlags flags;
  THecrLink link(platform, flags);
  link.SetCommname(u"COM3");
  link.SetBaudRate(9600);
  link.Open();
  if (!link.Active()) {
    std::fprintf(stderr, "the link did not open\n");
    std::exit(1);
  }
  size_t frames = 0;
  link.OnIS1Event = [&frames](THecrLink &, pondrex::TIS1 &) { ++frames; };
  link.OnStatus = [&frames](THecrLink &, pondrex::TPelqoEventArgs &) { ++frames; };
  const auto started = std::chrono::steady_clock::now();
  for (size_t at = 0; at < stream.size(); at += ChunkSize) {
    const size_t size = std::min(ChunkSize, stream.size() - at);
    static_cast<pondrex::TFakeComm &>(link.Comm())
        .DeliverNow(stream.data() + at, static_cast<uint16_t>(size));
  }
  return {Seconds(std::chrono::steady_clock::now() - started), frames};
}

} // namespace

int main(int argc, char **argv) {
  std::vector<size_t> sizesMb;
  for (int i = 1; i < argc; ++i)
    sizesMb.push_back(static_cast<size_t>(std::strtoul(argv[i], nullptr, 10)));
  if (sizesMb.empty())
    sizesMb = {8, 64};

  const TPattern pattern = Pattern();
  int status = 0;
  for (const size_t mb : sizesMb) {
    const size_t periods = mb * 1024 * 1024 / pattern.Stream.size();
    Bytes stream;
    stream.reserve(periods * pattern.Stream.size());
    for (size_t i = 0; i < periods; ++i)
      stream.insert(stream.end(), pattern.Stream.begin(), pattern.Stream.end());

    // The fastest of a few runs each, so that a start-up cost or a busy
    // moment of the machine does not count.
    uint16_t crc = 0;
    double floorSeconds = CopyAndCrc(stream, crc);
    TRun run = ReceivePath(stream);
    for (int repeat = 1; repeat < Repeats; ++repeat) {
      floorSeconds = std::min(floorSeconds, CopyAndCrc(stream, crc));
      const TRun again = ReceivePath(stream);
      if (again.Time < run.Time)
        run = again;
    }
    const double size = MegaBytes(stream.size());
    std::printf("receive_path size_mb=%.1f seconds=%.4f mb_per_s=%.1f copy_crc_mb_per_s=%.1f ratio=%.3f "
                "frames=%zu expected=%zu crc=%04x\n",
                size, run.Time, size / run.Time, size / floorSeconds,
                (size / run.Time) / (size / floorSeconds), run.Frames, periods * pattern.Frames, crc);
    if (run.Frames != periods * pattern.Frames)
      status = 1;
  }
  return status;
}
