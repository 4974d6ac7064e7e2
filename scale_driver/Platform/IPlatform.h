// What the portable core of the scale driver needs from the system, as one
// object that every core class receives by reference: pumping and sleeping
// on the calling thread, the tick count and a fine clock for waits, timers, the serial component, a
// datagram client, message boxes and text messages to a host window.
//
// The Windows implementation is the product; native tests pass the fake,
// which has a virtual clock and scripted peers. The timers and serial
// components it creates belong to the thread that creates them.
#pragma once

#include "IUdpClient.h"
#include "TCommBase.h"
#include "TWindowTimer.h"

#include <cstdint>
#include <memory>
#include <string>

namespace pondrex {

enum class TMessageBoxIcon : uint8_t { None, Error };

// A window handle of the host application, as a number; 0 names no window.
using THostWindow = uintptr_t;

class IPlatform {
public:
  virtual ~IPlatform();

  // Dispatches every message already queued for the calling thread, once,
  // and returns without waiting for new ones. This is when serial data,
  // send-empty events and timer events reach the core.
  virtual void PumpMessages() = 0;

  // Blocks the calling thread until a message is queued for it or ms
  // milliseconds have passed, whichever comes first, then pumps as
  // PumpMessages does. A wait built on it notices serial data the moment it
  // is posted and costs no processor time while nothing arrives.
  virtual void WaitAndPump(uint32_t ms) = 0;

  // Sleeps on the calling thread without dispatching anything.
  virtual void Sleep(uint32_t ms) = 0;

  // The system's millisecond tick count; see TickCount.h for elapsed times.
  // On Windows it moves in steps of the system timer (about 15.6 ms) whatever
  // timer resolution the host has asked for, so no wait is measured by it.
  virtual uint32_t TickCount() = 0;

  // Milliseconds of a monotonic clock that moves at least every millisecond,
  // from an arbitrary start; it wraps like the tick count, so elapsed times
  // are taken as in TickCount.h. Every wait measures its steps and bounds by
  // this clock, so that a host that raised the timer resolution gets waits
  // of the length they ask for.
  virtual uint32_t MonotonicMs() = 0;

  // A timer owned by the calling thread, created disabled.
  virtual std::unique_ptr<TWindowTimer> CreateTimer(uint32_t intervalMs, TTimerEvent onTimer) = 0;

  // A closed serial component with its constructor settings. Its events run
  // on the calling thread, only while that thread pumps its messages.
  virtual std::unique_ptr<TCommBase> CreateComm() = 0;

  // A datagram client with no target yet.
  virtual std::unique_ptr<IUdpClient> CreateUdpClient() = 0;

  // Shows a modal message box with one OK button and no owner window, and
  // returns when the user has closed it.
  virtual void ShowMessageBox(const std::u16string &text, const std::u16string &caption,
                              TMessageBoxIcon icon) = 0;

  // Sends message to the host's window with wParam the address of the text
  // (zero-terminated UTF-16, valid during the call) and lParam 0, and returns
  // when the window procedure has returned. To window 0 nothing is sent.
  virtual void SendTextToWindow(THostWindow window, uint32_t message, const std::u16string &text) = 0;
};

} // namespace pondrex
