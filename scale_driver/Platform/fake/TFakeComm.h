// The serial component of the fake platform. It keeps the rules of the real
// one that the core depends on: received bytes and send-empty events reach
// the events only inside a pump, never inside WriteCommData; chunks hold at
// most 4096 bytes with a zero byte after the last; one send-empty event
// follows StartComm and each run of writes; the port is opened without
// sharing; setters re-apply the DCB or the time-outs only while it is open.
#pragma once

#include "TCommBase.h"

#include <cstdint>
#include <vector>

namespace pondrex {

class TFakePlatform;
class TFakeSerialLine;

class TFakeComm final : public TCommBase {
public:
  explicit TFakeComm(TFakePlatform &platform);
  ~TFakeComm() override;

  void StartComm() override;
  void StopComm() override;
  bool WriteCommData(const uint8_t *pDataToWrite, uint32_t dwSizeofDataToWrite) override;
  uint32_t GetModemState() override { return 0; }
  bool IsOpen() const override { return line_ != nullptr; }
  // A chunk is read when its bytes arrive, and handed out by a later pump.
  uint64_t LastChunkRead() const override { return chunksRead_; }

  // Hands bytes to OnReceiveData at once, as one chunk read now: for tests
  // that feed a receiver directly, as a pump would.
  void DeliverNow(const uint8_t *bytes, uint16_t count);

  // The settings in force on the port: those of the last time the DCB and
  // the time-outs were applied.
  const TCommSettings &Applied() const { return applied_; }

protected:
  void ApplyCommState() override;
  void ApplyCommTimeouts() override;

private:
  friend class TFakeSerialLine;

  void Fail(TFakeSerialLine &line, const std::string &message);
  void PostSendDataEmpty();
  void Received(const std::vector<uint8_t> &chunk);
  void Deliver(uint64_t number, const uint8_t *bytes, uint16_t count);

  TFakePlatform &platform_;
  TFakeSerialLine *line_ = nullptr;
  TCommSettings applied_;
  bool opening_ = false;
  bool sendEmptyQueued_ = false;
  uint64_t chunksRead_ = 0;
};

} // namespace pondrex
