// The scale link: every scale command of the driver goes through it.
//
// It opens the transport that Mode names (a serial port, or UDP datagrams to
// Host:Port), sends one command frame at a time, waits for the answer with
// retries, judges the answer by the command's kind and reports through three
// events. Over a serial port the answers, the scale's own measurement
// frames, IS1 weight frames and AD frames come in through the receive path
// (CommReceiveData), which runs whenever the owning thread pumps its
// messages; the waits pump, so events can be raised in the middle of a
// transfer.
//
// Everything runs on the thread that created the link, except that a
// firmware download or a price transfer on another thread closes and opens
// it from there: one lock keeps that apart from the receive path.
// One wait for the scale's answer at a time (a transfer, or the wait of a raw
// write that the scale answers): a command started from an event handler
// while another waits fails at once and sends nothing. A wait started from an
// event handler that the receive path raised gets only its own answer; the
// other frames that arrive meanwhile are held back and raised, in the order
// of the line, once the handler returns.
#pragma once

#include "IPlatform.h"
#include "LinkBaudTable.h"
#include "ReceivedFrameScan.h"
#include "TCommunicationMode.h"
#include "THecrCommandTable.h"
#include "THecrprotocolCheck.h"
#include "THeldFrames.h"
#include "TIS1.h"
#include "TLinkLog.h"
#include "TLinkProcessFlags.h"
#include "TPelqoEchoDetector.h"
#include "TPelqoEventArgs.h"

#include <array>
#include <cstdint>
#include <deque>
#include <filesystem>
#include <functional>
#include <memory>
#include <mutex>
#include <span>
#include <string>
#include <vector>

namespace pondrex {

class THecrLink;

using TLinkStatusEvent = std::function<void(THecrLink &Sender, TPelqoEventArgs &Args)>;
using TLinkErrorEvent = std::function<void(THecrLink &Sender, int32_t Code)>;
using TLinkIS1Event = std::function<void(THecrLink &Sender, TIS1 &Frame)>;

class THecrLink : public THecrCommandTable {
  // One export's wait for the scale's answer; its outcome is its own, so a
  // wait never reads what another one set.
  struct TWait {
    // A framed command's transfer; otherwise a raw write's wait.
    bool Framed = false;
    // Started inside a running scan (from an event handler): only its answer
    // is taken, the other frames are held back for that scan.
    bool Held = false;
    bool Answered = false;
    bool Refused = false;
    bool Closed = false;
    // Taken when the request is written: the number of the last chunk that
    // the port had read, and how many bytes the receive path had taken by
    // then. A frame whose first byte lies before FenceByte came before the
    // request and answers nothing; a chunk read by then that is handed out
    // later moves FenceByte past its bytes.
    uint64_t FenceChunk = 0;
    uint64_t FenceByte = 0;
  };

public:
  // Codes raised through OnError besides the frame errors 1 to 6 (UDP only)
  // and the scale's refusal codes 0 to 255.
  static constexpr int32_t ErrNotActive = -1;
  static constexpr int32_t ErrOpenFailed = -2;
  static constexpr int32_t ErrRetriesExhausted = 50004;
  static constexpr int32_t ErrSendFailed = 50007;
  static constexpr int32_t ErrRetrying = 50008;

  // The longest frame that the receive path waits for; a longer one is no
  // frame. The serial component hands out chunks of at most this size too.
  static constexpr size_t MaxFrameSize = 4096;
  // Room for what is held (at most one frame that is not complete yet) plus
  // one whole chunk, so that a full chunk never pushes a partial frame out.
  static constexpr size_t ReceiveBufferSize = 2 * MaxFrameSize;
  static constexpr size_t TransReceiveBufferSize = 4096;
  // How deep the scans nest when event handlers pump by themselves; the
  // frames of a chunk that comes deeper are held back for the scans that
  // run, which raise them in the order of the line once the handlers return.
  static constexpr size_t MaxScanDepth = 8;

  // The platform and the flags must outlive the link.
  THecrLink(IPlatform &platform, TLinkProcessFlags &flags);
  // Stops the serial port when it is still open.
  ~THecrLink() override;
  THecrLink(const THecrLink &) = delete;
  THecrLink &operator=(const THecrLink &) = delete;

  // Closes the link when it is active, then opens the transport of Mode.
  // A failure is logged and raised as ErrOpenFailed; Active then says what
  // became of the link.
  void Open();
  // Ends a wait in progress, stops the serial port and clears Active.
  void Close();
  void Abort() { Close(); }

  // One transfer: builds the frame of ACmd (its code OR Orvalue while Orflag
  // is set) with the first BufferLength bytes of wBuf as data, sends it,
  // waits with retries and judges the answer. True when a command of kind
  // ifSend or ifConnection was acknowledged (0x800E), or a read (ifReceive)
  // was answered with the command's own high 16 bits; the read's answer is
  // then raised through OnStatus first.
  virtual bool SendBuffer(TccHecrCommand *ACmd, std::span<const uint8_t> wBuf, int32_t PackageNo,
                          int32_t BufferLength, const std::u16string &EcrID);
  // The baud search with the set-baud command CmdID: tries the rates of
  // LinkBaudTable in order, two attempts each, carrying the code of the
  // configured BaudRate; on the first acknowledgement reopens the port at
  // BaudRate. True when a rate answered and the port is open again; true at
  // once, with nothing sent, after a successful search until Disconnection.
  virtual bool Connection(int32_t CmdID, const std::u16string &EcrID);
  // Sends the command CmdID once a search has succeeded; true with nothing
  // sent otherwise.
  virtual bool Disconnection(int32_t CmdID, const std::u16string &EcrID);

  // The wait of a raw write that the scale answers with a frame of the
  // command protocol (the raw zero and tare, the tare and zero keys): made
  // just before the request is written, it claims the link as a transfer
  // does and clears Terminate and NAKFlag. The frames that the running scan
  // has not reached are held back for it (an incomplete one stays held); no
  // frame that began before the request answers it, nor one from a chunk
  // that the port had read by then. The outcome is the wait's own; the
  // receive path still sets Terminate and NAKFlag as well.
  class TRawAnswerWait {
  public:
    explicit TRawAnswerWait(THecrLink &link);
    ~TRawAnswerWait();
    TRawAnswerWait(const TRawAnswerWait &) = delete;
    TRawAnswerWait &operator=(const TRawAnswerWait &) = delete;
    // False when another wait runs (the caller is an event handler raised
    // inside it): write nothing and fail at once.
    bool Started() const { return started_; }
    // A frame of the command protocol other than a measurement answered.
    bool Answered() const { return wait_.Answered; }
    // That answer was a refusal (0x800D), whose code went to OnError.
    bool Refused() const { return wait_.Refused; }
    // Answered, or Close ended the wait.
    bool Over() const { return wait_.Answered || wait_.Closed; }

  private:
    THecrLink &link_;
    bool started_ = false;
    TWait wait_;
  };

  // Writes the first count bytes of txt to the serial port, unframed and
  // without waiting (nothing in the other modes); ErrNotActive when the link
  // is not active.
  void write(std::string_view txt, int32_t count);

  // Writes the log, one entry a line with CR LF; false when it cannot.
  bool SaveToFile(const std::filesystem::path &FileName) const { return DebugString.SaveToFile(FileName); }

  // USB device selection: no USB scale is ever recognised by this link.
  void setDeviceStr(const std::u16string &) {}
  void setDevice(int32_t) {}
  bool EnumUsbDevs(std::vector<std::u16string> &) { return false; }

  // The data event handler of the serial component: takes a received chunk
  // into the receive buffer and dispatches every complete frame in it. A
  // chunk that the port read before the link was last opened belongs to a
  // closed session and is dropped.
  void CommReceiveData(TCommBase &Sender, const uint8_t *Buffer, uint16_t BufferLength);
  // Raises the frames held back, then dispatches the complete frames at the
  // start of the receive buffer and keeps an incomplete one for the next
  // chunk. Runs nested when a handler pumps; the nested scan goes on from
  // where the outer one stands.
  void ProcessReceiveBuffer();
  // True when the chunk completed the echo of "PELQO", resp. of the 10-byte
  // second handshake part (the match may span chunks).
  bool CheckClearPelqo(std::span<const uint8_t> chunk);
  bool CheckEncryptPelqo(std::span<const uint8_t> chunk);

  // The handshake echo, as the open export uses it: arm the detector of a
  // part, write that part, then poll until the echo has been seen. Arming
  // sets the part's flag and forgets an earlier echo; the receive path clears
  // the flag and marks the echo seen when it completes.
  void ArmClearPelqo();
  bool ClearPelqoSeen() const { return clearPelqoSeen_; }
  void ArmEncryptPelqo();
  bool EncryptPelqoSeen() const { return encryptPelqoSeen_; }

  // Events; each is raised only when set, with the link as sender.
  TLinkStatusEvent OnStatus;
  TLinkErrorEvent OnError;
  TLinkIS1Event OnIS1Event;

  // Published properties.
  bool Active() const { return FActive; }
  bool NAKFlag() const { return FNAKFlag; }
  void SetNAKFlag(bool value) { FNAKFlag = value; }
  bool Terminate() const { return FTerminate; }
  void SetTerminate(bool value) { FTerminate = value; }
  // Stored for callers; the link logs whatever it says.
  bool Debug() const { return FDebug; }
  void SetDebug(bool value) { FDebug = value; }
  int32_t TimeOut() const { return FTimeOut; }
  void SetTimeOut(int32_t value) { FTimeOut = value; }
  int32_t Retrycnt() const { return FRetrycnt; }
  void SetRetrycnt(int32_t value) { FRetrycnt = value; }
  bool Checksum() const { return FChecksum; }
  void SetChecksum(bool value) { FChecksum = value; }
  bool Checkcrc() const { return FCheckcrc; }
  void SetCheckcrc(bool value) { FCheckcrc = value; }
  bool IsCheck() const { return Fischeck; }
  void SetIsCheck(bool value) { Fischeck = value; }
  const std::u16string &Commname() const { return FCommname; }
  void SetCommname(std::u16string value) { FCommname = std::move(value); }
  int32_t BaudRate() const { return FBaudRate; }
  void SetBaudRate(int32_t value) { FBaudRate = value; }
  const std::u16string &Host() const { return FHost; }
  void SetHost(std::u16string value) { FHost = std::move(value); }
  int32_t Port() const { return FPort; }
  void SetPort(int32_t value) { FPort = value; }
  TCommunicationMode Mode() const { return FMode; }
  void SetMode(TCommunicationMode value) { FMode = value; }
  TPelqoencode &Encoding() { return Hecrpchk.Encoding(); }
  const std::u16string &CurrAD() const { return FAD; }
  void SetCurrAD(std::u16string value) { FAD = std::move(value); }
  const std::u16string &TareAD() const { return FTareAD; }
  void SetTareAD(std::u16string value) { FTareAD = std::move(value); }

  // A baud search has succeeded (cleared by Disconnection).
  bool Connectioned() const { return FConnectioned; }

  // Receive-path state that the exports read or reset.
  int32_t offset() const { return static_cast<int32_t>(offset_ - head_); }
  // Drops the bytes held beyond count (0 drops everything held, the frames
  // held back included).
  void SetOffset(int32_t value);
  bool blnReadFlag() const { return FblnReadFlag; }
  void SetblnReadFlag(bool value) { FblnReadFlag = value; }
  const std::u16string &strVersion() const { return FstrVersion; }
  const std::u16string &strOZeroAD() const { return FstrOZeroAD; }
  const std::u16string &strOFullAD() const { return FstrOFullAD; }
  const std::u16string &strTareAD() const { return FstrTareAD; }
  const std::u16string &strZeroAD() const { return FstrZeroAD; }
  // Clears the AD flag and the five AD texts, as the AD exports do before
  // each request.
  void ClearAdReadings();
  const std::u16string &strReturn() const { return FstrReturn; }
  bool ClearPelqoFlag() const { return FClearPelqoFlag; }
  void SetClearPelqoFlag(bool value) { FClearPelqoFlag = value; }
  bool EncryptPelqoFlag() const { return FEncryptPelqoFlag; }
  void SetEncryptPelqoFlag(bool value) { FEncryptPelqoFlag = value; }
  int32_t ClearPelqoIndex() const { return clearDetector_.Index(); }
  int32_t EncryptPelqoIndex() const { return encryptDetector_.Index(); }

  // Owned parts.
  THecrprotocolCheck &Checker() { return Hecrpchk; }
  TPelqoEventArgs &PelqoEventArgs() { return PelqoEventArgs1; }
  TIS1 &IS1() { return IS1_; }
  const TLinkLog &Log() const { return DebugString; }
  TLinkLog &Log() { return DebugString; }
  TLinkProcessFlags &Flags() { return flags_; }
  // The serial component, for its settings; events go to CommReceiveData.
  TCommBase &Comm() { return *com1; }

private:
  // The answer that ended the wait of the transfer in progress, taken from
  // the first frame that passed its check while the command waited. Frames
  // that arrive after it cannot change how the transfer is judged.
  struct TAnswer {
    bool Taken = false;
    uint32_t Command = 0;
    std::vector<uint8_t> Data;
  };

  bool SendCommandValue(TccHecrCommand *cmd, uint8_t code, const std::u16string &EcrID);
  bool Judge(TccHecrCommand &ACmd, int32_t PackageNo);
  bool Transmit(const std::vector<uint8_t> &frame);
  bool TransmitCom(const std::vector<uint8_t> &frame);
  bool TransmitUdp(const std::vector<uint8_t> &frame);
  bool TransmitUsbPrinter();
  bool AttemptCom(const std::vector<uint8_t> &frame);
  bool AttemptUdp(const std::vector<uint8_t> &frame);
  bool AttemptUsbPrinter();
  bool TransmitTcp() { return true; }
  // Nothing is sent in cmUSB mode, so no answer can come: the transfer fails.
  bool TransmitUsb() { return false; }
  // How a transport takes part in the attempts of one transfer.
  struct TAttempts {
    // The transport sends once more than Retrycnt says.
    bool ExtraAttempt = false;
    // The "Retry:" line names Retrycnt instead of the attempt number.
    bool RetryLineNamesRetrycnt = false;
    // One attempt: send and wait. False when the transport failed, which
    // ends the transfer at once (the attempt has reported it).
    std::function<bool()> Attempt;
    // Runs after every attempt that did not fail; may be empty.
    std::function<void()> AfterAttempt;
  };
  bool RunAttempts(const TAttempts &attempts);
  // Pumps until Terminate is set or boundMs have passed by the fine clock,
  // waking at least every stepMs; true when Terminate ended the wait.
  bool WaitForTerminate(uint32_t boundMs, uint32_t stepMs);
  // Takes one datagram's bytes into Commstream and checks them.
  void TakeDatagram(size_t received);
  bool SerialInUse() const;
  void StartSerial();
  void StopSerial();
  void TakeAnswer();
  // Claims the link for wait; false when another wait runs.
  bool BeginWait(TWait &wait);
  void EndWait() { wait_ = nullptr; }
  void CollectPacket(int32_t PackageNo, const std::vector<uint8_t> &data);

  void TakeChunk(std::span<const uint8_t> chunk, uint64_t number);
  // Drops every byte held in the receive buffer.
  void DropHeld() { head_ = offset_ = 0; }
  // Drops everything of the session: the bytes held and the frames held back.
  void DropSession();
  // Moves the bytes held to the start of the buffer.
  void CompactHeld();
  // Makes room for a chunk of size bytes behind the bytes held.
  void MakeRoom(size_t size);
  // The position in the stream of received bytes of ReceiveBuffer[at].
  uint64_t StreamPosition(size_t at) const { return takenBytes_ - (offset_ - at); }
  // Moves the whole frames at the start of the receive buffer behind the
  // frames held back, up to the first frame that is not complete yet.
  void HoldBackComplete();
  // At every attempt of a transfer: drops an incomplete frame held, which
  // can be no answer to the frame about to be written. Inside a scan the
  // whole frames that it has not reached yet are held back for it. Then
  // takes the fence of the request.
  void SetAsideHeld();
  // Before a raw write that the scale answers: as SetAsideHeld, but an
  // incomplete frame stays held; it began before the request.
  void SetAsideForRawWrite();
  void SetFence();
  // Whether a frame that starts at start came after the request of the wait
  // that runs (false when none runs).
  bool AfterFence(uint64_t start) const { return wait_ != nullptr && start >= wait_->FenceByte; }
  // Whether a frame that a held wait's scan found is the wait's answer (or
  // may be: its check decides); every other frame is held back.
  bool MayAnswerHeldWait(TReceivedKind kind, const std::vector<uint8_t> &frame, bool afterFence) const;
  // mayAnswer: the frame began after the request of the wait that runs, if
  // any, so it may answer it.
  void DispatchFrame(TReceivedKind kind, const std::vector<uint8_t> &frame, bool mayAnswer);
  void DispatchProtocolFrame(const std::vector<uint8_t> &frame, bool mayAnswer);
  void DispatchAdFrame(TReceivedKind kind, const std::vector<uint8_t> &frame);
  std::u16string AdText(const std::vector<uint8_t> &frame, int32_t position);

  void RaiseStatus();
  void RaiseError(int32_t code);
  void RaiseIS1();
  void AddLog(std::string line) { DebugString.Add(std::move(line)); }

  IPlatform &platform_;
  TLinkProcessFlags &flags_;

  bool FDebug = false;
  bool FConnectioned = false;
  bool Fischeck = true;
  bool FActive = false;
  bool FTerminate = false;
  bool FNAKFlag = false;
  std::unique_ptr<TCommBase> com1;
  std::unique_ptr<IUdpClient> udp1;
  std::vector<uint8_t> Commstream;
  TPelqoEventArgs PelqoEventArgs1;
  TIS1 IS1_;
  THecrprotocolCheck Hecrpchk;
  bool FChecksum = true;
  bool FCheckcrc = true;
  int32_t FBaudRate = 0;
  std::u16string FCommname;
  int32_t FRetrycnt = 5;
  int32_t FTimeOut = 5000;
  TLinkLog DebugString;
  std::u16string FHost;
  int32_t FPort = 5002;
  std::vector<uint8_t> TransReceiveBuffer = std::vector<uint8_t>(TransReceiveBufferSize, 0);
  std::array<uint8_t, ReceiveBufferSize> ReceiveBuffer{};
  // The bytes held are ReceiveBuffer[head_, offset_): head_ moves past each
  // frame taken, and the rest moves to the front only when a chunk needs the
  // room or the scan stops at an incomplete frame.
  size_t head_ = 0;
  size_t offset_ = 0;
  // Bytes taken into the receive buffer since the link was made.
  uint64_t takenBytes_ = 0;
  // The number of the first chunk of the session that the last Open began;
  // earlier chunks belong to a closed session.
  uint64_t sessionFirstChunk_ = 1;
  // The frames held back, in the order of the line; they are older than
  // every byte in the receive buffer.
  THeldFrames held_;
  // The frame that each running scan dispatches, the outermost first;
  // scanDepth_ of them run. A frame is taken out of the receive buffer (or
  // the frames held back) before it is raised, so that chunks that come
  // meanwhile cannot change it; kept to reuse its room.
  std::deque<std::vector<uint8_t>> scanFrames_;
  size_t scanDepth_ = 0;
  // Where the check of Commstream goes on with the next datagram: the
  // measurement frames in front of it have been skipped already.
  int32_t commstreamChecked_ = 0;
  TCommunicationMode FMode = TCommunicationMode::cmCOM;
  std::u16string FAD;
  std::u16string FTareAD;
  bool FblnReadFlag = false;
  std::u16string FstrReturn;
  std::u16string FstrOFullAD;
  std::u16string FstrVersion;
  std::u16string FstrOZeroAD;
  std::u16string FstrTareAD;
  std::u16string FstrZeroAD;
  bool FClearPelqoFlag = false;
  bool FEncryptPelqoFlag = false;
  TPelqoEchoDetector clearDetector_{PelqoClearPart};
  TPelqoEchoDetector encryptDetector_{PelqoEncryptPart};
  bool clearPelqoSeen_ = false;
  bool encryptPelqoSeen_ = false;

  // Whether received chunks are taken (the receive handler is attached).
  bool receiveAttached_ = false;
  // Held while the receive path takes a chunk (the callbacks it raises
  // included), and while Close or the start of a serial session changes
  // what it works on. A firmware download or a price transfer may run on
  // another thread than the link's own; it closes and opens the link there,
  // while the link's thread may still hand out chunks posted before the
  // close.
  std::recursive_mutex receiveMutex_;
  // The wait in progress, if any.
  TWait *wait_ = nullptr;
  TAnswer answer_;
};

} // namespace pondrex
