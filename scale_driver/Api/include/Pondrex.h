/*
 * Pondrex.h: the exported functions of Pondrex.dll, the 32-bit Windows
 * driver of Pelqo weighing scales.
 *
 * Binding. Pondrex.dll exports every function under the undecorated name
 * declared here. Load it by file name and bind each export by name with
 * GetProcAddress; in C++, decltype(&Name) is the pointer type to bind it to.
 *
 * Calling convention. Every export and every callback is stdcall
 * (PONDREX_CALL): arguments are pushed right to left and the callee removes
 * them. Every argument takes one 32-bit slot (a double two); a byte or
 * 16-bit argument uses only the low 8 or 16 bits of its slot.
 *
 * Threads. The weighing link belongs to one thread: the one on which the
 * host first calls an export of the link (every export but the firmware
 * download and the price and PLU exports; as a rule the thread that loaded
 * the library). The host makes every call of those exports on that thread,
 * and that thread pumps its messages (its own message loop, the waits of
 * the exports, or DoEvents): data that the scale sends reaches the driver
 * only then. Callbacks run on that thread, inside the export that pumps,
 * so a callback may run before an export returns.
 *
 * DownloadProgramme, __DownloadProgramme, CreateComm, SetRecvHandle,
 * SendPrice, DownLoadPlu and UpLoadPlu may be called on any thread, also on
 * threads that end afterwards, whichever threads made the earlier calls:
 * a download or transfer opens its port on the calling thread, waits and
 * calls the progress callback there, and leaves nothing behind on it when
 * it returns; none of these calls makes the weighing link. One download or
 * transfer runs at a time (see their sections). When the link is open, a
 * download or transfer closes it and opens it again afterwards from the
 * calling thread (a SENSORERR -2 of that opening comes on the calling
 * thread), and the scale's data then reach the link's own thread as
 * before; while one runs on another thread, the host calls none of the
 * link's exports, nor CreateComm or SetRecvHandle. The weight reports of a
 * transfer are sent (SendMessageW) from the calling thread to the
 * SetRecvHandle window, which gets them only while its own thread processes
 * messages: a host whose window's thread waits for the transfer's thread
 * waits with a message loop (MsgWaitForMultipleObjects), else the transfer
 * waits at its first report until that thread processes messages again.
 *
 * Callbacks inside exports. A callback that runs inside an export (during
 * its wait) calls no export that talks to the scale and waits for its
 * answer (the commands, __Zero and __Tare, udeTare, uCleart, __udeTare,
 * __uCleart): such a call fails at once and sends nothing. A callback
 * raised while the host pumps outside every export (its own message loop
 * or DoEvents) may call any export; one that sends a command (Tare when
 * the weight is stable, say) gets the scale's answer during its own wait,
 * never a frame that came before its request; the other frames that arrive
 * meanwhile reach their callbacks after the callback returns, all in the
 * order of the line.
 *
 * Answers and closes. A wait takes as its answer only a frame that the
 * scale sent after the request: whatever the port had read from the line
 * when the request was written counts as sent before it, however late it
 * reaches the driver. What is left is the bytes still in the port's own
 * buffer at that moment, not yet read; they can pass for an answer. Every
 * frame held back during a callback's command comes after the callback,
 * however many there are. CloseDevice and __Close end the session: the
 * bytes the driver holds and the frames held back are dropped and raise no
 * callback, also when the close is made from a callback, and the next open
 * starts with nothing of the closed session.
 *
 * Results. Unless its comment says otherwise, an export returns -1 for
 * success and 0 for failure. Errors of the link also reach the SENSORERR
 * callback: -1 link not open, -2 open failed, 50008 retrying, 50004 retries
 * used up, 50007 send failed, 1 to 6 frame errors over UDP, and the scale's
 * own refusal codes.
 *
 * Texts. Arguments are zero-terminated single-byte texts in the system code
 * page, except where a parameter is declared wchar_t (UTF-16). A text that
 * the library hands out belongs to the library; the host never frees it. A
 * returned text pointer stays valid until the next call of the same export;
 * the out texts of GetEcrId, __GetEcrId, GetSensorNo and GetScaleNo stay
 * valid for the life of the process; ReadTare hands out the driver's own
 * tare text, valid until the tare next changes.
 *
 * Buffers. An export that writes into the host's buffer takes no size: the
 * host provides at least the PONDREX_*_BUFFER_SIZE bytes given below, the
 * terminating zero byte included. A text that would not fit is cut after
 * its last whole character. A null buffer or out pointer is not written.
 */
#ifndef PONDREX_H
#define PONDREX_H

#if !defined(_WIN32) || defined(_WIN64)
#error "Pondrex.dll is a 32-bit Windows library: include Pondrex.h in 32-bit Windows programs only"
#endif

#include <stddef.h>
#include <stdint.h>

#define PONDREX_CALL __stdcall

/* The most that the buffer exports write, terminating zero byte included. */
#define PONDREX_WEIGHT_BUFFER_SIZE 35     /* GetWeightEx, __GetWeightEx */
#define PONDREX_TARE_BUFFER_SIZE 32       /* __ReadTare */
#define PONDREX_SENSOR_NO_BUFFER_SIZE 13  /* __GetSensorNo */
#define PONDREX_SCALE_NO_BUFFER_SIZE 14   /* __GetScaleNo */
#define PONDREX_WIND_LEVEL_BUFFER_SIZE 15 /* __GetWindLevel */
#define PONDREX_AD_BUFFER_SIZE 6          /* each buffer of __ReadFullAD, __ReadMultiAD, __ReadTZAD */
#define PONDREX_UTF8EX_BUFFER_SIZE 10     /* __GetUTF8EX: exactly this many, no terminator */

#ifdef __cplusplus
extern "C" {
#endif

/* --- Callbacks ----------------------------------------------------------
 * Registered with Config (by position) or SetCallBackFunc (by name). Text
 * arguments are valid only during the call. */

/* "SENSORERR": an error code of the link, or the scale's refusal code. */
typedef void(PONDREX_CALL *TPondrexSensorErrProc)(int32_t code);
/* "SENSORINFO": a measurement result; the flag is a byte, zero-extended. */
typedef void(PONDREX_CALL *TPondrexSensorInfoProc)(double net, double tare, double gross, int32_t mode,
                                                   int32_t decimals, int32_t unit, int32_t oldAd,
                                                   int32_t filterAd, int32_t zeroAd, int32_t weightAd,
                                                   uint32_t flag);
/* "OPBOXINFO": the OP box state. */
typedef void(PONDREX_CALL *TPondrexOpBoxInfoProc)(int32_t softFlag, int32_t hardware, int32_t mainUnit,
                                                  int32_t scaleType, int32_t precision, int32_t gravity);
/* "LEADINFO": the certified or the real seal. */
typedef void(PONDREX_CALL *TPondrexLeadInfoProc)(const char *version, int32_t year, int32_t month,
                                                 int32_t day);
/* "IS1INFO": an IS1 weight frame. */
typedef void(PONDREX_CALL *TPondrexIs1InfoProc)(const char *status, const char *sign, const char *weight,
                                                const char *unit, int32_t flag);
/* "RKV_IS1INFO": an IS1 weight frame with its extension. */
typedef void(PONDREX_CALL *TPondrexRkvIs1InfoProc)(const char *status, const char *sign, const char *weight,
                                                   const char *unit, const char *price, const char *total,
                                                   const char *keyValue, const char *weightSum,
                                                   const char *tareWeight, const char *originalAd,
                                                   const char *weightAd, const char *tareAd, int32_t number,
                                                   int32_t flag);
/* "TEMCOMPENSATEINFO": the OP box temperature-compensation table: the
 * reply's parameter value, the function flag, the number of learned points,
 * then value1, value2 and value3 of each of the 15 points. */
#define PONDREX_POINT_(i) int32_t value1_##i, int32_t value2_##i, double value3_##i
typedef void(PONDREX_CALL *TPondrexTemCompensateInfoProc)(
    int32_t paraValue, int32_t functionFlag, int32_t learnedPoints, PONDREX_POINT_(1), PONDREX_POINT_(2),
    PONDREX_POINT_(3), PONDREX_POINT_(4), PONDREX_POINT_(5), PONDREX_POINT_(6), PONDREX_POINT_(7),
    PONDREX_POINT_(8), PONDREX_POINT_(9), PONDREX_POINT_(10), PONDREX_POINT_(11), PONDREX_POINT_(12),
    PONDREX_POINT_(13), PONDREX_POINT_(14), PONDREX_POINT_(15));
#undef PONDREX_POINT_
/* "OPBOXCOUNTRYCODEINFO": the OP box country code. */
typedef void(PONDREX_CALL *TPondrexOpBoxCountryCodeInfoProc)(int32_t countryCode);
/* The progress of a firmware download (DownloadProgramme): the current
 * block (from 1) or 0, the total (blocks, or the file's size in bytes for
 * the failures before the first block), the status (0 failed, 1 complete,
 * 2 in progress, 3 waiting) and the report's text. */
typedef void(PONDREX_CALL *TPondrexDownloadProgressProc)(int32_t current, int32_t total, int32_t status,
                                                         const char *message);
/* Any callback, as SetCallBackFunc takes it: cast the callback of the
 * name's type to this type. "PROGRESSBAR" and "GETUSBDEVICE" are stored and
 * never called. */
typedef void(PONDREX_CALL *TPondrexProc)(void);

/* --- Set-up and link control --------------------------------------------
 * Config before the open: the link reads the retry count (attempts per
 * command, default 5), the time-out (ms per attempt, default 5000) and the
 * mode when it opens and sends. */

/* No result. Overwrites all six slots, also with null. */
void PONDREX_CALL Config(int32_t retryCount, int32_t timeOutMs, uint8_t debug,
                         TPondrexSensorErrProc sensorErr, TPondrexSensorInfoProc sensorInfo,
                         TPondrexOpBoxInfoProc opBoxInfo, TPondrexLeadInfoProc leadInfo,
                         TPondrexIs1InfoProc is1Info, TPondrexTemCompensateInfoProc temCompensateInfo);
/* As Config; when is1Routing is not zero, is1Info is a TPondrexRkvIs1InfoProc
 * (cast) for "RKV_IS1INFO" and the "IS1INFO" slot keeps its value. */
void PONDREX_CALL __Config(int32_t retryCount, int32_t timeOutMs, uint8_t debug,
                           TPondrexSensorErrProc sensorErr, TPondrexSensorInfoProc sensorInfo,
                           TPondrexOpBoxInfoProc opBoxInfo, TPondrexLeadInfoProc leadInfo,
                           TPondrexIs1InfoProc is1Info, TPondrexTemCompensateInfoProc temCompensateInfo,
                           uint8_t is1Routing);
/* No result. The name in any case of its ASCII letters; a name that
 * matches none changes nothing; a null callback clears the slot. Only
 * __SetCallBackFunc knows "RKV_IS1INFO". */
void PONDREX_CALL SetCallBackFunc(const char *name, TPondrexProc callback);
void PONDREX_CALL __SetCallBackFunc(const char *name, TPondrexProc callback);
/* The link's mode: 0 UDP, 1 serial port (default), 2 TCP, 3 USB, 4 USB
 * printer port; takes effect at the next open. The result carries nothing. */
int32_t PONDREX_CALL SetCommMode(uint8_t mode);
int32_t PONDREX_CALL __SetCommMode(uint8_t mode);
/* Always -1. */
int32_t PONDREX_CALL SetUsbDeviceStr(const char *deviceString);
int32_t PONDREX_CALL __SetUsbDeviceStr(const char *deviceString);
/* -1 and the device list through *devices when the link reports devices;
 * otherwise 0, and *devices is not written. */
int32_t PONDREX_CALL EnumUsbDeviceStr(const wchar_t **devices);
int32_t PONDREX_CALL __EnumUsbDeviceStr(const char **devices);
/* Closes the link; always -1. */
int32_t PONDREX_CALL CloseDevice(void);
int32_t PONDREX_CALL __Close(void);
/* The baud search: brings the scale to the rate of the open. */
int32_t PONDREX_CALL Connection(const char *ecrId);
int32_t PONDREX_CALL __Connection(const char *ecrId);
int32_t PONDREX_CALL Disconnection(const char *ecrId);
int32_t PONDREX_CALL __Disconnection(const char *ecrId);
/* No result. Dispatches the messages already queued for the calling
 * thread once: for hosts without a message loop of their own. */
void PONDREX_CALL DoEvents(void);
void PONDREX_CALL __DoEvents(void);

/* --- Opening the scale --------------------------------------------------
 * -1 when the link is open and a scale answered; the port stays open also
 * when the result is 0, until CloseDevice. */
int32_t PONDREX_CALL OpenDevice(const char *portName, int32_t baudRate);
int32_t PONDREX_CALL __Open(const char *portName, int32_t baudRate);

/* --- Scale commands -----------------------------------------------------
 * One command each; -1 when the scale took it. The ECR ID is the scale's
 * identity as decimal text. A byte or 16-bit parameter goes into the
 * command code. The data that a read brings back reaches its callback
 * before the export returns. */
int32_t PONDREX_CALL Frequency(uint8_t frequency, const char *ecrId);
int32_t PONDREX_CALL __Frequency(uint8_t frequency, const char *ecrId);
/* Reads a measurement result: SENSORINFO, GetWeightPB. */
int32_t PONDREX_CALL Weight(const char *ecrId);
int32_t PONDREX_CALL __Weight(const char *ecrId);
int32_t PONDREX_CALL Zero(const char *ecrId);
int32_t PONDREX_CALL Tare(const char *ecrId);
/* Zero and tare by one raw byte (0xFD, 0xFE) and a short wait for the
 * scale's answer; the argument is not read. */
int32_t PONDREX_CALL __Zero(uint32_t unused);
int32_t PONDREX_CALL __Tare(uint32_t unused);
int32_t PONDREX_CALL Taref(uint16_t presetTare, const char *ecrId);
int32_t PONDREX_CALL __Taref(uint16_t presetTare, const char *ecrId);
int32_t PONDREX_CALL ExitTare(const char *ecrId);
int32_t PONDREX_CALL __ExitTare(const char *ecrId);
int32_t PONDREX_CALL ZeroStudy(const char *ecrId);
int32_t PONDREX_CALL __ZeroStudy(const char *ecrId);
int32_t PONDREX_CALL FullWeightStudy(const char *ecrId);
int32_t PONDREX_CALL __FullWeightStudy(const char *ecrId);
int32_t PONDREX_CALL study25weight(const char *ecrId);
int32_t PONDREX_CALL __study25weight(const char *ecrId);
int32_t PONDREX_CALL __study13weight(const char *ecrId);
int32_t PONDREX_CALL __study23weight(const char *ecrId);
int32_t PONDREX_CALL LinearityStudy(const char *ecrId);
int32_t PONDREX_CALL __LinearityStudy(const char *ecrId);
/* Gravity adjustment: flag and city IDs are bytes, the gravity values
 * signed. */
int32_t PONDREX_CALL Adjust(uint8_t aFlag, uint8_t aCityId, int32_t aValue, uint8_t bCityId, int32_t bValue,
                            const char *ecrId);
int32_t PONDREX_CALL __Adjust(uint8_t aFlag, uint8_t aCityId, int32_t aValue, uint8_t bCityId, int32_t bValue,
                              const char *ecrId);
int32_t PONDREX_CALL FullWeightf(uint8_t fullRange, const char *ecrId);
int32_t PONDREX_CALL __FullWeightf(uint8_t fullRange, const char *ecrId);
int32_t PONDREX_CALL PrecisionValue(uint8_t precision, const char *ecrId);
int32_t PONDREX_CALL __PrecisionValue(uint8_t precision, const char *ecrId);
int32_t PONDREX_CALL SetUnitValue(uint8_t unit, const char *ecrId);
int32_t PONDREX_CALL __SetUnitValue(uint8_t unit, const char *ecrId);
int32_t PONDREX_CALL SetWindLevel(uint8_t level, const char *ecrId);
int32_t PONDREX_CALL __SetWindLevel(uint8_t level, const char *ecrId);
/* Writes at most PONDREX_WIND_LEVEL_BUFFER_SIZE bytes. */
int32_t PONDREX_CALL __GetWindLevel(const char *ecrId, char *buffer);
int32_t PONDREX_CALL TemperatureExpiation(uint8_t on, const char *ecrId);
int32_t PONDREX_CALL __TemperatureExpiation(uint8_t on, const char *ecrId);
int32_t PONDREX_CALL ClearTemperatureValue(const char *ecrId);
int32_t PONDREX_CALL __ClearTemperatureValue(const char *ecrId);
/* Reads the OP box temperature-compensation table: TEMCOMPENSATEINFO. */
int32_t PONDREX_CALL Temperatureex(const char *ecrId);
int32_t PONDREX_CALL __Temperatureex(const char *ecrId);
/* Writes the table from the file (UTF-16 name) in 32-byte blocks. */
int32_t PONDREX_CALL SetTemperatureex(const wchar_t *fileName, const char *ecrId);
int32_t PONDREX_CALL __SetTemperatureex(const wchar_t *fileName, const char *ecrId);
/* The numbers are sent in fields of 12 (sensor) and 13 bytes (scale). */
int32_t PONDREX_CALL SetSensorNo(const char *number, const char *ecrId);
int32_t PONDREX_CALL __SetSensorNo(const char *number, const char *ecrId);
int32_t PONDREX_CALL SetScaleNo(const char *number, const char *ecrId);
int32_t PONDREX_CALL __SetScaleNo(const char *number, const char *ecrId);
/* -1 when a text came back through *text (valid for the life of the
 * process), else 0 and null. */
int32_t PONDREX_CALL GetEcrId(const char *ecrId, const char **text);
int32_t PONDREX_CALL __GetEcrId(const char *ecrId, const char **text);
int32_t PONDREX_CALL GetSensorNo(const char *ecrId, const char **text);
int32_t PONDREX_CALL GetScaleNo(const char *ecrId, const char **text);
/* Write at most PONDREX_SENSOR_NO_BUFFER_SIZE and
 * PONDREX_SCALE_NO_BUFFER_SIZE bytes; the buffer is untouched on 0. */
int32_t PONDREX_CALL __GetSensorNo(const char *ecrId, char *buffer);
int32_t PONDREX_CALL __GetScaleNo(const char *ecrId, char *buffer);
/* *tare receives the driver's own tare text (UTF-16), or null, whatever
 * the result. */
int32_t PONDREX_CALL ReadTare(const char *ecrId, const wchar_t **tare);
/* Writes at most PONDREX_TARE_BUFFER_SIZE bytes; the buffer is untouched
 * on 0. */
int32_t PONDREX_CALL __ReadTare(const char *ecrId, char *buffer);
/* Seal information: LEADINFO. */
int32_t PONDREX_CALL Getleadinfo(const char *ecrId);
int32_t PONDREX_CALL __Getleadinfo(const char *ecrId);
int32_t PONDREX_CALL GetleadinfoEx(const char *ecrId);
int32_t PONDREX_CALL __GetleadinfoEx(const char *ecrId);
/* OP box state: OPBOXINFO; country code: OPBOXCOUNTRYCODEINFO. */
int32_t PONDREX_CALL GetOpBoxInfo(const char *ecrId);
int32_t PONDREX_CALL __GetOpBoxInfo(const char *ecrId);
int32_t PONDREX_CALL GetOpBoxCountryCode(const char *ecrId);
int32_t PONDREX_CALL __GetOpBoxCountryCode(const char *ecrId);
int32_t PONDREX_CALL SetOpBoxCountryCode(uint8_t countryCode, const char *ecrId);
int32_t PONDREX_CALL __SetOpBoxCountryCode(uint8_t countryCode, const char *ecrId);
int32_t PONDREX_CALL LoginfactoryMode(const char *ecrId);
int32_t PONDREX_CALL __LoginfactoryMode(const char *ecrId);
int32_t PONDREX_CALL LogoutfactoryMode(const char *ecrId);
int32_t PONDREX_CALL __LogoutfactoryMode(const char *ecrId);
int32_t PONDREX_CALL UnlockSafe(const char *ecrId);
int32_t PONDREX_CALL __UnlockSafe(const char *ecrId);
int32_t PONDREX_CALL lockSafe(const char *ecrId);
int32_t PONDREX_CALL __lockSafe(const char *ecrId);
int32_t PONDREX_CALL Rehab(const char *ecrId);
int32_t PONDREX_CALL __Rehab(const char *ecrId);
int32_t PONDREX_CALL Clearparameter(const char *ecrId);
int32_t PONDREX_CALL __Clearparameter(const char *ecrId);
int32_t PONDREX_CALL ResetOrigin(const char *ecrId);
int32_t PONDREX_CALL __ResetOrigin(const char *ecrId);

/* --- Raw writes ---------------------------------------------------------
 * Fixed byte strings written to the scale without a frame. */

/* Protocol switches by kind (only the low 16 bits count): 0 on a closed
 * link, else -1 after 500 ms, also for a kind that writes nothing. */
int32_t PONDREX_CALL ChangeProtocol(uint16_t kind);
int32_t PONDREX_CALL __ChangeProtocol(uint16_t kind);
int32_t PONDREX_CALL ChangePelqoProtocol(uint16_t kind);
int32_t PONDREX_CALL __ChangePelqoProtocol(uint16_t kind);
/* Always 0. */
int32_t PONDREX_CALL SwitchProtocol(uint16_t kind);
int32_t PONDREX_CALL __SwitchProtocol(uint16_t kind);
int32_t PONDREX_CALL IdentifyHard(void);
int32_t PONDREX_CALL __IdentifyHard(void);
int32_t PONDREX_CALL __KQTare(void);
int32_t PONDREX_CALL __KQZero(void);
/* 1 when the scale took it, else 0. */
int32_t PONDREX_CALL udeTare(void);
int32_t PONDREX_CALL uCleart(void);
/* Always 1. */
int32_t PONDREX_CALL __udeTare(void);
int32_t PONDREX_CALL __uCleart(void);

/* --- Polled weights -----------------------------------------------------
 * Each weight text is handed out once; null when there is none. */
const char *PONDREX_CALL GetWeight(void);
const char *PONDREX_CALL __GetWeight(void);
/* Writes at most PONDREX_WEIGHT_BUFFER_SIZE bytes; the buffer is untouched
 * on 0. */
int32_t PONDREX_CALL GetWeightEx(char *buffer);
int32_t PONDREX_CALL __GetWeightEx(char *buffer);
/* The last measurement text (after Weight or a measurement the scale sent
 * by itself). */
const wchar_t *PONDREX_CALL GetWeightPB(void);
const char *PONDREX_CALL __GetWeightPB(void);
/* Ask the scale for a fresh weight frame and return its text, or null. */
const wchar_t *PONDREX_CALL udeWeight(void);
const char *PONDREX_CALL __udeWeight(void);

/* --- AD reads -----------------------------------------------------------
 * Each buffer receives at most PONDREX_AD_BUFFER_SIZE bytes and is
 * untouched on 0. */

/* Never null: an empty text when no value came. */
const char *PONDREX_CALL __GetCurrentAD(void);
const char *PONDREX_CALL __GetTareAD(void);
int32_t PONDREX_CALL __ReadFullAD(char *fullAd);
int32_t PONDREX_CALL __ReadMultiAD(char *zeroAd, char *version, char *fullAd);
int32_t PONDREX_CALL __ReadTZAD(char *zeroAd, char *tareAd);

/* --- Price and PLU transfer ---------------------------------------------
 * A second protocol, the price bus, at 9600 baud on the weighing link's
 * serial port: open the link first (OpenDevice, __Open). A transfer closes
 * the link, borrows its port and opens the link again afterwards; when the
 * scale does not acknowledge, the transfer fails and the link stays closed
 * with the port free (reopen it with OpenDevice). SetRecvHandle, SendPrice,
 * DownLoadPlu and UpLoadPlu fail (or do nothing) before CreateComm, and the
 * transfers fail at once, sending nothing, before the host called any
 * export of the weighing link (there is no port to borrow). A
 * transfer started while another transfer or a firmware download runs
 * (from another thread, from the report window during a transfer, or from
 * a download's progress callback) fails at once and leaves the running one
 * alone. */

/* No result. Makes the price bus; a second call replaces it. */
void PONDREX_CALL CreateComm(void);
/* No result. The window (an HWND) that receives the weight reports of the
 * scale during transfers: PONDREX_WEIGHT_REPORT_MESSAGE, sent with
 * SendMessageW, wParam a zero-terminated UTF-16 text valid during the call,
 * lParam 0. The text is "stable:value:weight:unit:flag", e.g.
 * "1:5:1234:KG:0" or "1:3:12.345:N:KG:0". */
void PONDREX_CALL SetRecvHandle(void *window);
#define PONDREX_WEIGHT_REPORT_MESSAGE 0x0400 /* WM_USER */
/* -1 when the scale took the unit price, else 0 (a 16-bit result). The
 * price is rounded to hundredths first (halves to even); 0 at once for a
 * price that is not a number or that, so rounded, is below 0 or above
 * 42949672.95 (so -0.004 sends 0 and succeeds). */
int16_t PONDREX_CALL SendPrice(double price);
/* 1 when the 70 PLU slots were written from the file, else 0 (a one-byte
 * result). One line per slot: price, TAB, unit text (KG, 500G, 600G, G, LB,
 * 100G); at most 70 lines, prices up to 167772.15 with the locale's decimal
 * separator; UTF-8 or UTF-16 with a byte-order mark, else the system code
 * page. A file that cannot be read or holds a line that is no PLU fails at
 * once, before anything is sent. */
uint8_t PONDREX_CALL DownLoadPlu(const char *fileName);
/* 1 when the 70 slots were read into the file, else 0 (a one-byte result):
 * 70 lines ended by CR LF in the system code page. A relative name is taken
 * in the current folder of the moment of the call. The file is replaced
 * only once the whole transfer, its closing frame included, succeeded; on
 * failure it stays as it was. The new table is written beside it in a file
 * of its own (the name, a dot, 8 hex digits, ".~tmp"), never in one that
 * existed. A destination that cannot be replaced (a read-only file, a
 * folder, a folder that does not exist, a file that another program holds,
 * also one held open without delete sharing, as fopen(name, "rb") holds
 * it, a name that cannot be made) fails at once, before anything is
 * sent. */
uint8_t PONDREX_CALL UpLoadPlu(const char *fileName);

/* --- Text self-test ----------------------------------------------------- */

/* A fixed five-character UTF-16 text. */
const wchar_t *PONDREX_CALL __GetUTF8(void);
/* Copies exactly PONDREX_UTF8EX_BUFFER_SIZE bytes of that text (no
 * terminator); returns 1 (0, writing nothing, for a null buffer). */
uint8_t PONDREX_CALL __GetUTF8EX(uint8_t *buffer);

/* --- Firmware download --------------------------------------------------
 * No result. Downloads the firmware image fileName to the scale through
 * portName at baudRate (9600, 19200, 38400, 57600 or 115200; another value
 * keeps the rate of the previous download, 9600 at first) and returns when
 * the download has ended. The scale link gives up its port for the
 * download and, when it was open, is open again afterwards.
 *
 * When both parts of the image check, only its program part is sent; it is
 * written beside the image as "Prgfile.^tmp", which stays there (an image
 * that is itself named "Prgfile.^tmp" is not written over). An image of
 * more than 65520 blocks after its first 4096 bytes (16 MB) is refused as
 * "Not a valid file!". The download also writes the (empty) file DEBUG.LOG
 * in the folder of the host's executable; when it cannot (a host installed
 * in a folder it may not write to), the download goes on and its outcome is
 * the boot loader's. A port that cannot be opened shows an error box
 * first.
 *
 * One download or price transfer runs at a time: a call made while one
 * runs leaves it alone and returns. From another thread, or from a price
 * transfer's report window, it first reports "Download Program fail"
 * (0, 0, status 0) to its own progress callback; made on the thread whose
 * download runs (from its progress callback, say), it returns without a
 * report, as does a call made inside such a refusal report.
 *
 * progress, unless null, is called on the calling thread inside the call for
 * every step: "Download Program... " before each block (status 2), then
 * "Download Program complete" (status 1) or "waiting..." (status 3, USB
 * printer ports); every report with status 0 is a failure and the last
 * one. An image that cannot be read or a "Prgfile.^tmp" that cannot be
 * written ends the download with "Download Program fail" (0, 0, status
 * 0). */
void PONDREX_CALL DownloadProgramme(const char *fileName, const char *portName, int32_t baudRate,
                                    TPondrexDownloadProgressProc progress);
void PONDREX_CALL __DownloadProgramme(const char *fileName, const char *portName, int32_t baudRate,
                                      TPondrexDownloadProgressProc progress);

/* --- Java entry points --------------------------------------------------
 * Called by a Java virtual machine, not by plain callers: JNI_OnLoad when
 * it loads the library, and the native methods of the Java class
 * Pondrex.DLL (the README shows the class and its use). Each native method
 * takes the JNI environment of the calling thread and the class (or object)
 * first. The JNI types appear as what they are on 32-bit Windows: JavaVM *,
 * JNIEnv * and every Java reference a pointer, jint int32_t, jboolean
 * uint8_t (1 or 0). A null Java string argument fails (0) without reaching
 * the scale. JNI_OnUnLoad runs only when a host calls it itself: it
 * releases both callback objects and unbinds both Java callbacks. */
/* Returns 0x00010004. jni.h, when included first, declares it. */
#ifndef JNI_VERSION_1_4
int32_t PONDREX_CALL JNI_OnLoad(void *vm, void *reserved);
#endif
void PONDREX_CALL JNI_OnUnLoad(void *vm, void *reserved);
/* 1 when a scale answered (as __Open). */
uint8_t PONDREX_CALL Java_Pondrex_DLL_Open(void *env, void *cls, void *port, int32_t rate);
/* Always 1. */
uint8_t PONDREX_CALL Java_Pondrex_DLL_Close(void *env, void *cls);
/* The weight text as a new Java string, handed out once; null when none. */
void *PONDREX_CALL Java_Pondrex_DLL_GetWeight(void *env, void *cls);
/* The single byte 0xFD or 0xFE (as __Zero, __Tare); 1 when the scale took
 * it. */
uint8_t PONDREX_CALL Java_Pondrex_DLL_Zero(void *env, void *cls, void *ecrId);
uint8_t PONDREX_CALL Java_Pondrex_DLL_Tare(void *env, void *cls, void *ecrId);
/* Sets the transport of the next open; the result carries no information. */
uint8_t PONDREX_CALL Java_Pondrex_DLL_SetCommMode(void *env, void *cls, int32_t mode);
/* A Java string, "" when no device is found; never null. */
void *PONDREX_CALL Java_Pondrex_DLL_EnumUsbDeviceStr(void *env, void *cls);
uint8_t PONDREX_CALL Java_Pondrex_DLL_SetUsbDeviceStr(void *env, void *cls, void *device);
void PONDREX_CALL Java_Pondrex_DLL_DoEvents(void *env, void *cls);
/* Binds the Java method IS1INFO or SENSORINFO on a new object of the class
 * className (JNI form, "com/example/ScaleEvents"). */
void PONDREX_CALL Java_Pondrex_DLL_SetCallBackFunc(void *env, void *cls, void *name, void *className);

#ifdef __cplusplus
}
#endif

#endif /* PONDREX_H */
