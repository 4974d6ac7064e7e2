// The far end of one serial port of the fake platform: the device that a
// test scripts. It sees every block that a component writes to the port,
// with the virtual time and the line settings in force, and sends bytes back
// after a virtual delay. It also records what the components did with the
// port.
#pragma once

#include "CommTypes.h"

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace pondrex {

class TFakePlatform;
class TFakeComm;

enum class TSerialEventKind : uint8_t {
  Started,
  StartFailed,
  Stopped,
  Written,
  StateApplied,
  TimeoutsApplied
};

// One thing a component did with the port. Settings are those in force on
// the line afterwards (for StartFailed, those the component tried to open
// with); Bytes only for Written; Error only for StartFailed. An opening
// applies the time-outs and the DCB as part of Started; StateApplied and
// TimeoutsApplied are the re-applications by setters on an open port.
struct TSerialEvent {
  TSerialEventKind Kind;
  uint32_t Tick;
  TCommSettings Settings;
  std::vector<uint8_t> Bytes;
  std::string Error;
};

// A block written to the port, as the device sees it.
struct TWrittenBlock {
  uint32_t Tick;
  std::vector<uint8_t> Bytes;
  TCommSettings Settings;
};

class TFakeSerialLine {
public:
  // Only the platform makes lines.
  class TKey {
    friend class TFakePlatform;
    TKey() = default;
  };
  TFakeSerialLine(TKey, TFakePlatform &platform, std::u16string name);

  using TResponder = std::function<void(TFakeSerialLine &line, const TWrittenBlock &block)>;

  TFakeSerialLine(const TFakeSerialLine &) = delete;
  TFakeSerialLine &operator=(const TFakeSerialLine &) = delete;

  const std::u16string &Name() const { return name_; }

  // Called inside every WriteCommData that queues a block; whatever it sends
  // arrives only in a later pump.
  void SetResponder(TResponder responder) { responder_ = std::move(responder); }

  // Bytes from the device. They arrive delayMs from now at the component that
  // has the port open then, and reach its OnReceiveData during the first pump
  // after that, in chunks of at most 4096 bytes. Bytes that arrive while the
  // port is closed are lost; bytes that arrived before a StopComm are still
  // handed out by the next pump, as messages already posted are.
  void Send(std::vector<uint8_t> bytes, uint32_t delayMs = 0);

  // Every StartComm on this port fails with this message until it is given
  // std::nullopt.
  void FailStart(std::optional<std::string> message) { startFailure_ = std::move(message); }

  bool IsOpen() const { return owner_ != nullptr; }
  // The settings in force on the line; only meaningful while it is open.
  const TCommSettings &Settings() const;

  const std::vector<TSerialEvent> &Events() const { return events_; }
  // The bytes of each Written event, in order.
  std::vector<std::vector<uint8_t>> Writes() const;
  // Events of one kind, in order.
  std::vector<TSerialEvent> EventsOf(TSerialEventKind kind) const;
  void ClearEvents() { events_.clear(); }

private:
  friend class TFakePlatform;
  friend class TFakeComm;

  void Record(TSerialEventKind kind, const TCommSettings &settings, std::vector<uint8_t> bytes = {},
              std::string error = {});
  void Arrive(const std::vector<uint8_t> &bytes);

  TFakePlatform &platform_;
  std::u16string name_;
  TResponder responder_;
  std::optional<std::string> startFailure_;
  TFakeComm *owner_ = nullptr;
  std::vector<TSerialEvent> events_;
};

} // namespace pondrex
