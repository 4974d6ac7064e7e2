#include "TFakePlatform.h"

#include "TFakeComm.h"
#include "TFakeUdpClient.h"

#include <algorithm>

namespace pondrex {

// A timer of the fake platform: due a whole interval after it was armed or
// last fired, fired by the pump.
class TFakeTimer final : public TWindowTimer {
public:
  TFakeTimer(TFakePlatform &platform, uint32_t intervalMs, TTimerEvent onTimer)
      : TWindowTimer(intervalMs, std::move(onTimer)), platform_(platform) {
    platform_.timers_.push_back(this);
  }
  ~TFakeTimer() override { std::erase(platform_.timers_, this); }

  bool Armed() const { return armed_; }
  uint64_t DueUs() const { return dueUs_; }

  // Called by the pump when due: counts the next interval, then fires.
  void Elapse() {
    dueUs_ = platform_.NowUs() + uint64_t{Interval()} * 1000;
    Fire();
  }

protected:
  void Arm(uint32_t intervalMs) override {
    armed_ = true;
    dueUs_ = platform_.NowUs() + uint64_t{intervalMs} * 1000;
  }
  void Disarm() override { armed_ = false; }

private:
  TFakePlatform &platform_;
  bool armed_ = false;
  uint64_t dueUs_ = 0;
};

TFakePlatform::TFakePlatform(uint32_t startTick) : startTick_(startTick), udp_(*this) {}

TFakePlatform::~TFakePlatform() = default;

void TFakePlatform::PumpMessages() {
  ++pumpCount_;
  AdvanceUs(pumpCostUs_);
  for (;;) {
    if (!queue_.empty()) {
      TQueued message = std::move(queue_.front());
      queue_.pop_front();
      message.Run();
      continue;
    }
    // Timer messages come when nothing else is queued; a timer that fired
    // is due again only an interval later, so each fires once per pump.
    if (TFakeTimer *timer = DueTimer()) {
      timer->Elapse();
      continue;
    }
    break;
  }
}

void TFakePlatform::WaitAndPump(uint32_t ms) {
  ++waitCount_;
  const uint64_t boundUs = nowUs_ + uint64_t{ms} * 1000;
  while (queue_.empty() && DueTimer() == nullptr) {
    // The next moment at which something may be queued: a scheduled arrival
    // or an armed timer falling due, at the latest the bound.
    uint64_t nextUs = boundUs;
    for (const TScheduled &scheduled : schedule_) {
      nextUs = std::min(nextUs, scheduled.DueUs);
    }
    for (const TFakeTimer *timer : timers_) {
      if (timer->Armed()) {
        nextUs = std::min(nextUs, timer->DueUs());
      }
    }
    AdvanceToUs(std::max(nextUs, nowUs_));
    if (nowUs_ >= boundUs) {
      break;
    }
  }
  PumpMessages();
}

TFakeTimer *TFakePlatform::DueTimer() const {
  TFakeTimer *due = nullptr;
  for (TFakeTimer *timer : timers_) {
    if (timer->Armed() && timer->DueUs() <= nowUs_ && (due == nullptr || timer->DueUs() < due->DueUs())) {
      due = timer;
    }
  }
  return due;
}

void TFakePlatform::Sleep(uint32_t ms) {
  AdvanceUs(uint64_t{ms} * 1000);
}

uint32_t TFakePlatform::TickCount() {
  const uint64_t ms = nowUs_ / 1000;
  return static_cast<uint32_t>(startTick_ + ms - ms % tickStepMs_);
}

uint32_t TFakePlatform::MonotonicMs() {
  return static_cast<uint32_t>(startTick_ + nowUs_ / 1000);
}

std::unique_ptr<TWindowTimer> TFakePlatform::CreateTimer(uint32_t intervalMs, TTimerEvent onTimer) {
  return std::make_unique<TFakeTimer>(*this, intervalMs, std::move(onTimer));
}

std::unique_ptr<TCommBase> TFakePlatform::CreateComm() {
  return std::make_unique<TFakeComm>(*this);
}

std::unique_ptr<IUdpClient> TFakePlatform::CreateUdpClient() {
  return std::make_unique<TFakeUdpClient>(*this);
}

void TFakePlatform::ShowMessageBox(const std::u16string &text, const std::u16string &caption,
                                   TMessageBoxIcon icon) {
  messageBoxes_.push_back(TShownMessageBox{text, caption, icon});
}

void TFakePlatform::SendTextToWindow(THostWindow window, uint32_t message, const std::u16string &text) {
  if (window != 0) {
    windowTexts_.push_back(TSentWindowText{window, message, text});
  }
}

void TFakePlatform::Post(std::function<void()> task, uint32_t delayMs) {
  At(nowUs_ + uint64_t{delayMs} * 1000,
     [this, task = std::move(task)]() mutable { Enqueue(nullptr, std::move(task)); });
}

TFakeSerialLine &TFakePlatform::Line(const std::u16string &name) {
  std::u16string key = name;
  std::transform(key.begin(), key.end(), key.begin(), [](char16_t c) {
    return c >= u'a' && c <= u'z' ? static_cast<char16_t>(c - u'a' + u'A') : c;
  });
  auto found = lines_.find(key);
  if (found == lines_.end()) {
    found =
        lines_.emplace(key, std::make_unique<TFakeSerialLine>(TFakeSerialLine::TKey{}, *this, name)).first;
  }
  return *found->second;
}

void TFakePlatform::AdvanceUs(uint64_t us) {
  AdvanceToUs(nowUs_ + us);
}

void TFakePlatform::AdvanceToUs(uint64_t dueUs) {
  for (;;) {
    auto next =
        std::min_element(schedule_.begin(), schedule_.end(), [](const TScheduled &a, const TScheduled &b) {
          return a.DueUs != b.DueUs ? a.DueUs < b.DueUs : a.Seq < b.Seq;
        });
    if (next == schedule_.end() || next->DueUs > dueUs) {
      break;
    }
    std::function<void()> arrive = std::move(next->Arrive);
    nowUs_ = std::max(nowUs_, next->DueUs);
    schedule_.erase(next);
    arrive();
  }
  nowUs_ = std::max(nowUs_, dueUs);
}

void TFakePlatform::At(uint64_t dueUs, std::function<void()> arrive) {
  if (dueUs <= nowUs_) {
    arrive();
    return;
  }
  schedule_.push_back(TScheduled{dueUs, nextSeq_++, std::move(arrive)});
}

void TFakePlatform::Enqueue(const void *owner, std::function<void()> run) {
  queue_.push_back(TQueued{owner, std::move(run)});
}

void TFakePlatform::RemoveQueued(const void *owner) {
  std::erase_if(queue_, [owner](const TQueued &message) { return message.Owner == owner; });
}

} // namespace pondrex
