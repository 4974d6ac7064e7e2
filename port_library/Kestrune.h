// The exported functions of Kestrune.dll, as a host binds them by name
// (GetProcAddress) after loading the library by file name. All use the
// standard 64-bit calling convention; texts are zero-terminated 8-bit texts.
//
// One serial port per process, opened by init and closed by close or by any
// failure of init, sendData or receiveData. Call the port functions from one
// thread at a time. Diagnostics are one-line messages on standard output.
#pragma once

#include <cstdint>

namespace kestrune {

// init(portName, baudRate): opens the port by the name given (for COM10 and
// above "\\.\COM10"), closing the library's open port first, and sets
// baudRate 8N1 with a read time-out of 50 ms between bytes, 50 ms per byte
// plus 1000 ms in all, and no write time-out.
// 1 opened; -1 the port cannot be opened (or no name); -2 its settings cannot
// be read; -3 the settings cannot be applied.
using TInitFn = int32_t (*)(const char *portName, int32_t baudRate);
// sendData(data): writes exactly 8 bytes from data. 8, or 0 on failure (no
// port, null data, or a failed write, which also closes the port).
using TSendDataFn = int32_t (*)(const uint8_t *data);
// receiveData(out): reads up to 22 bytes into out (room for 22 bytes); the
// count read (0 when nothing came within the time-outs), or 1 on failure (no
// port, null out, or a failed read, which also closes the port); out is
// untouched on failure.
using TReceiveDataFn = int32_t (*)(uint8_t *out);
// close(): closes the port, if any; always 1.
using TCloseFn = int32_t (*)();
// findAvailablePort(): the data of the values under HKLM
// HARDWARE\DEVICEMAP\SERIALCOMM as a JSON array of texts, e.g. ["COM1", "COM3"];
// null when the key cannot be opened. Release with cJSON_free.
using TFindAvailablePortFn = char *(*)();
// findAvailableUSB(mode): a JSON array of objects with the keys deviceId,
// friendlyName, hardwareId (USB printer-class devices, mode other than 1) and
// vpid (devices with the USB device interface); null when the device set
// cannot be had. Release with cJSON_free.
using TFindAvailableUsbFn = char *(*)(int32_t mode);
// getSystemVolume(): the master volume of the default output, 0.0 to 1.0; or
// -1.0 (COM cannot be used on this thread, also when the thread is in a
// single-threaded apartment), 1.0 (no device enumerator), 2.0 (no default
// output), 3.0 (no volume interface), 4.0 (the level cannot be read).
using TGetSystemVolumeFn = float (*)();
// isAppRunning(): 1 when the mutex "windows_cashRegister" already existed, 0
// when this call created it (the process keeps it until it ends) or it
// cannot be created.
using TIsAppRunningFn = int32_t (*)();
// getLocalIPAddress(): the last IPv4 address of the machine's host name as
// dotted text, or null. The text belongs to the library and stays valid
// until the next call; do not free it.
using TGetLocalIpAddressFn = const char *(*)();

} // namespace kestrune
