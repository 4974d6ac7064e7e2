// The exported functions of Morvale.dll, as a host binds them by name
// (GetProcAddress) after loading the library by file name. All use the
// standard 64-bit calling convention; texts are zero-terminated 8-bit texts.
//
// One port per process, opened by initComPort and closed by closeComPort.
// Call the functions from one thread at a time.
#pragma once

#include <cstdint>

namespace morvale {

// initComPort(portName): opens the port by the name given (for COM10 and
// above "\\.\COM10"), closing the library's open port first, at 2400 baud
// 8N1, reads returning at once, a write of n bytes taking at most
// 10 n + 50 ms. 1 ok, 0 failed (no name, the port cannot be opened, or its
// settings cannot be read or applied; the port is then closed).
using TInitComPortFn = int32_t (*)(const char *portName);
// sendData(data, length): writes length bytes. 1 when the port is open and
// all were written, else 0 (also for null data or a negative length); the
// port stays open after a failed write.
using TSendDataFn = int32_t (*)(const uint8_t *data, int32_t length);
// initDisplay(): 1B 40. clearDisplay(): 0C. openCashBox(): 02 4D.
using TDisplayCommandFn = void (*)();
// sendDisplayData(text): 1B 51 41, the text's bytes, 0D in one write;
// nothing for an empty or null text.
using TSendDisplayDataFn = void (*)(const char *text);
// setLightStatus(status): 1B 73 and the digit of status, for 0 to 4 only.
using TSetLightStatusFn = void (*)(int32_t status);
// closeComPort(): closes the port; nothing when it is closed.
using TCloseComPortFn = void (*)();
// getComPortList(): the COM ports among COM1 to COM256 that exist, free or
// in use, as ["COM1","COM3"]; null when the text cannot be allocated.
// Release with freeNativeMemory.
using TGetComPortListFn = char *(*)();
// freeNativeMemory(text): releases a text of getComPortList; null is ignored.
using TFreeNativeMemoryFn = void (*)(char *text);

} // namespace morvale
