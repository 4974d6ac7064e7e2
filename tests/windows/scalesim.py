"""Simulated scale for the far end of a COM port (ptypeer.py --device scale).

The model reads what the driver writes to the line, splits it into what a
scale would recognise, answers as the test configured it, and keeps a log of
everything it recognised. It knows three kinds of input:

  frame     a command frame: start byte 0xAA or 0xAB, ECR ID (4 bytes),
            command code (4), packet number (1), data length n (2), header
            sum (8-bit sum of the 12 bytes before it), then, when n > 0, the n
            data bytes and their CRC-16/XMODEM, high byte first; all numbers
            big-endian. A frame whose header sum is wrong is not a frame: its
            start byte counts as a raw byte and the search goes on after it.
            A frame whose CRC is wrong is logged as "badframe" and not answered.
  is1req    a weight request: 0x11, or 0x05 0x11. A 0x11 followed by "AD" or
            "TA" is a raw request instead, and so is the 0x11 inside an AD
            request frame (44 11 00 00 00 00 EF 55 ...).
  raw       every other byte. Consecutive raw bytes form one log entry, which
            ends at the next frame or weight request, when the bytes so far end
            with a configured request (see REPLY and ECHO), when the line's
            rate changes, or after 100 ms without new bytes.

A frame or request that is still incomplete after 100 ms without new bytes is
given up: its first byte is taken as raw and the rest is searched again, so
garbage never blocks the line.

Answers (all of them only while the line's rate, as the pseudo-terminal's
termios show it, is the one set with SCALE RATE, unless that is ANY):
  - a frame gets the next reply configured for its command (SCALE ON), keyed
    by the high 16 bits of its code. Without one, the commands that the scale
    acknowledges (settings, learning, zero, tare, connection commands) get an
    acknowledgement, the reads and unknown codes get nothing. Replies carry
    the configured ECR ID and the packet number of the frame they answer;
    replies to the two reads that use the short header (0xA000 and 0xA003)
    use that header too. An acknowledged set-baud command (0x8000, rate code
    in bits 8 to 15) moves the scale to the rate 115200 / code, when answers
    are bound to a rate.
  - a weight request gets the IS1 bytes set with SCALE IS1 or IS1TEXT.
  - raw bytes that end with a configured request get its answer.

Control commands (after the word SCALE), each answered with one line:
  RESET                         configuration back to the defaults (ID 0, any
                                rate, default replies, no IS1 answer, no echo,
                                no raw replies) and the log emptied    -> OK
  ID <decimal>                  ECR ID of the frames the scale builds (taken
                                modulo 2^32)                            -> OK
  RATE <baud>|ANY               answer only at that rate, or at any     -> OK
  ON <cmdhex8> <reply>...       replies for that command, one per frame
                                received, the last one repeating; a reply is
                                ACK, REFUSE <code> (low 16 bits of the
                                0x800D refusal's code), SILENT or
                                DATA <hex>|- (a frame with the command's own
                                code and that data); FIRST <hex> in front of
                                a reply sends those bytes (weight frames, say)
                                just before its answer, in the same write
                                                                        -> OK
  ON <cmdhex8> DEFAULT          back to the default reply               -> OK
  IS1 <hex>|OFF                 bytes sent for each weight request, or none
                                                                        -> OK
  IS1TEXT <status> <sign> <weight6> <unit2> [<flaghex2>]
                                the same with a 16-byte IS1 frame built from
                                the fields ('_' stands for a blank), with its
                                block check                             -> IS1 <hex>
  ECHO ON|OFF                   echo "PELQO" and the 10-byte second part of
                                the handshake when each arrives         -> OK
  REPLY <requesthex> <hex>|OFF  send the bytes whenever the raw bytes
                                received end with the request           -> OK
  PUSH <hex>                    send the bytes now, whatever the rate   -> OK
  STREAM <count> <ms>           send count IS1 weight frames, one every ms,
                                whatever the rate, the first ms from now:
                                frame n weighs n (right-aligned in six
                                characters, status S, sign blank, unit kg);
                                a new STREAM or RESET ends the one before
                                                                        -> OK
  FRAME <cmdhex8> <datahex>|- [<packet>]
                                build a frame with the configured ID    -> FRAME <hex>
  LOG [<count> <ms>]            what was received, oldest first, after
                                waiting up to ms for count entries      -> LOG <t_ms>:<baud>:<kind>:<hex>;...
Times are milliseconds since the simulator started; baud is the line's rate
when the entry was complete (for raw entries: when its first byte came).
"""

import threading
import time

import simcore
from simcore import next_reply

# Start bytes of the frames that the driver sends.
FRAME_STARTS = (0xAA, 0xAB)
HEADER_SIZE = 13
# The two codes that are sent with the short header: the low 16 bits of the
# ECR ID, two zero bytes, the high 16 bits of the code, the packet number, a
# zero byte, and the packet number again in its usual place.
SHORT_HEADER_CODES = (0xA0000000, 0xA0030000)
# The two codes that are sent with the start byte 0xAA instead of 0xAB.
AA_START_CODES = (0x71030000, 0x50210000)
ACK = 0x800E
REFUSAL = 0x800D
SET_BAUD = 0x8000
MEASUREMENT = 0x8300
# High 16 bits of the commands that the scale answers with data.
READ_COMMANDS = frozenset(
    (0x8002, 0x9112, 0x9113, 0x9116, 0xA000, 0x9118, 0x5021, 0x7103, 0x911C, 0x911B, 0xA003)
)
# High 16 bits of the commands that the scale acknowledges (settings, learning,
# zero and tare, and the connection commands set-baud and disconnect).
ACK_COMMANDS = frozenset(
    (0x8000, 0x8001, 0x8003, 0x8004, 0x8005, 0x8006, 0x8007, 0x8008, 0x8009, 0x8010, 0x8011)
    + (0x9000, 0x9001, 0x9002, 0x9003, 0x9004, 0x9005, 0x9006, 0x9007, 0x9008, 0x900B, 0x900E)
    + (0x900F, 0x9110, 0x9111, 0x9114, 0x9115, 0x9117, 0x9119, 0x5020, 0x9200)
)
# A weight request is 0x11, alone or after 0x05; 0x11 "AD" and 0x11 "TA" ask
# for AD values instead.
WEIGHT_REQUEST = 0x11
WEIGHT_REQUEST_PREFIX = 0x05
AD_TEXT_REQUESTS = (b"AD", b"TA")
# AD request frames: this fixed start, then the kind, 00 00, a sub-code and a
# check byte; 13 bytes in all.
AD_REQUEST_START = bytes((0x44, 0x11, 0x00, 0x00, 0x00, 0x00, 0xEF, 0x55))
AD_REQUEST_SIZE = 13
HANDSHAKE = (b"PELQO", bytes((0x03, 0x05, 0x01, 0x04, 0x0C, 0x04, 0x03, 0x04, 0x01, 0x04)))
BASE_RATE = 115200


def crc16_xmodem(data):
    """CRC-16/XMODEM: polynomial 0x1021, initial value 0, no reflection, no final XOR."""
    crc = 0
    for byte in data:
        crc ^= byte << 8
        for _ in range(8):
            crc = ((crc << 1) ^ 0x1021) if crc & 0x8000 else (crc << 1)
            crc &= 0xFFFF
    return crc


def header_sum(header):
    """8-bit sum of the first 12 bytes of a frame, carries dropped."""
    return sum(header[:12]) & 0xFF


def build_frame(ecr_id, code, data=b"", packet=0):
    """The command frame for code with data, as the driver builds it.

    ecr_id is taken modulo 2^32; the two short-header codes carry only its low
    16 bits."""
    ecr_id %= 1 << 32
    packet &= 0xFF
    start = 0xAA if code in AA_START_CODES else 0xAB
    if code in SHORT_HEADER_CODES:
        ident = (ecr_id & 0xFFFF).to_bytes(2, "big") + b"\0\0"
        command = (code >> 16).to_bytes(2, "big") + bytes((packet, 0))
    else:
        ident = ecr_id.to_bytes(4, "big")
        command = code.to_bytes(4, "big")
    header = bytes((start,)) + ident + command + bytes((packet,)) + len(data).to_bytes(2, "big")
    frame = header + bytes((header_sum(header),))
    if data:
        frame += bytes(data) + crc16_xmodem(data).to_bytes(2, "big")
    return frame


def build_is1(status, sign, weight, unit, flag=0):
    """A 16-byte IS1 weight frame: 01 02, status, sign, six weight characters,
    two unit characters, the XOR of those ten bytes, 03 04 and the flag byte."""
    fields = (status + sign + weight + unit).encode("latin-1")
    if len(status) != 1 or len(sign) != 1 or len(weight) != 6 or len(unit) != 2:
        raise ValueError("IS1 fields are 1, 1, 6 and 2 characters")
    check = 0
    for byte in fields:
        check ^= byte
    return b"\x01\x02" + fields + bytes((check, 0x03, 0x04, flag & 0xFF))


class Frame:
    """A command frame as received."""

    def __init__(self, raw):
        self.raw = bytes(raw)
        self.code = int.from_bytes(raw[5:9], "big")
        self.packet = raw[9]
        self.data = self.raw[HEADER_SIZE : HEADER_SIZE + int.from_bytes(raw[10:12], "big")]

    @property
    def command(self):
        """The high 16 bits of the code, which select the command."""
        return self.code >> 16

    @property
    def short_header(self):
        return (self.command << 16) in SHORT_HEADER_CODES


class StreamParser(simcore.TokenParser):
    """Splits the received byte stream into (kind, bytes) tokens.

    Kinds: "frame", "badframe", "is1req" and "raw"; raw tokens come one byte
    at a time, except the protected runs (0x11 "AD", 0x11 "TA", AD request
    frames), which come whole. Bytes that cannot be judged yet wait for the
    next chunk; idle() judges them as they stand."""

    def _token(self, final):
        """(kind, size) of the token at the start of pending, or None when it
        needs more bytes. With final set it always decides."""
        data = self.pending
        first = data[0]
        if first in FRAME_STARTS:
            return self._frame_token(final)
        if first == WEIGHT_REQUEST_PREFIX:
            if len(data) < 2:
                return ("raw", 1) if final else None
            return ("is1req", 2) if data[1] == WEIGHT_REQUEST else ("raw", 1)
        if first == WEIGHT_REQUEST:
            if len(data) >= 2 and data[1] in b"AT":
                if len(data) < 3:
                    return ("is1req", 1) if final else None
                if bytes(data[1:3]) in AD_TEXT_REQUESTS:
                    return "raw", 3
            return "is1req", 1
        if first == AD_REQUEST_START[0]:
            known = min(len(data), len(AD_REQUEST_START))
            if data[:known] != AD_REQUEST_START[:known]:
                return "raw", 1
            if len(data) < AD_REQUEST_SIZE:
                return ("raw", 1) if final else None
            return "raw", AD_REQUEST_SIZE
        return "raw", 1

    def _frame_token(self, final):
        data = self.pending
        if len(data) < HEADER_SIZE:
            return ("raw", 1) if final else None
        if header_sum(data) != data[12]:
            return "raw", 1
        length = int.from_bytes(data[10:12], "big")
        size = HEADER_SIZE if length == 0 else length + HEADER_SIZE + 2
        if len(data) < size:
            return ("raw", 1) if final else None
        if length:
            body = data[HEADER_SIZE : HEADER_SIZE + length]
            if crc16_xmodem(body) != int.from_bytes(data[size - 2 : size], "big"):
                return "badframe", size
        return "frame", size


class Reply:
    """One configured answer to a command frame."""

    def __init__(self, kind, value=None, before=b""):
        self.kind = kind  # "ACK", "REFUSE", "SILENT" or "DATA"
        self.value = value  # refusal code, or the data bytes
        self.before = before  # bytes sent just before the answer

    @staticmethod
    def parse_list(words):
        replies = []
        before = b""
        while words:
            kind = words.pop(0).upper()
            if kind == "FIRST":
                before = parse_hex(words.pop(0))
                continue
            if kind in ("ACK", "SILENT"):
                replies.append(Reply(kind))
            elif kind == "REFUSE":
                replies.append(Reply(kind, int(words.pop(0), 0) & 0xFFFF))
            elif kind == "DATA":
                replies.append(Reply(kind, parse_hex(words.pop(0))))
            else:
                raise ValueError("unknown reply " + kind)
            replies[-1].before, before = before, b""
        if before:
            raise ValueError("FIRST needs a reply after it")
        if not replies:
            raise ValueError("no reply given")
        return replies


def parse_code(word):
    """A command code: eight hex digits."""
    if len(word) != 8:
        raise ValueError("a command code has eight hex digits: " + word)
    return int(word, 16)


def parse_hex(word):
    """Hex bytes; "-" stands for none."""
    return b"" if word == "-" else bytes.fromhex(word)


class ScaleModel(simcore.DeviceModel):
    """The scale: configuration, answers and log.

    send(bytes) writes to the line. received() and idle() are called by the
    line's reader with each chunk and when the line is quiet; command() by the
    control connection. now (seconds, monotonic) can be given for tests."""

    NAME = "SCALE"

    def __init__(self, send, clock=time.monotonic):
        super().__init__(send, clock)
        self.parser = StreamParser()
        # Moved on by each STREAM and RESET; a stream sends only while it
        # holds the number it began with.
        self.stream_number = 0
        self.reset()

    # Configuration -----------------------------------------------------

    def reset(self):
        with self.cond:
            self.stream_number += 1
            self.ecr_id = 0
            self.rate = None  # None: answer at any rate
            self.replies = {}  # command (high 16 bits) -> [list of Reply, index]
            self.is1 = None
            self.echo = False
            self.raw_replies = {}  # request bytes -> answer bytes
            self._clear_input()

    def clear(self):
        """Drops the log and any input not yet judged."""
        with self.cond:
            self._clear_input()

    def _clear_input(self):
        self.log.clear()
        self.parser.clear()
        self.raw_run = None  # [time, baud, bytearray] of the raw entry being collected
        self.last_input = None

    # Input -------------------------------------------------------------

    def received(self, chunk, baud, now=None):
        now = self.clock() if now is None else now
        with self.cond:
            if self._quiet_since_last_input(now):
                self._handle(self.parser.idle(), baud, now)
                self._close_raw()
            self.last_input = now
            self._handle(self.parser.feed(chunk), baud, now)

    def idle(self, baud, now=None):
        """Called when the line is quiet: judges input that waited long enough."""
        now = self.clock() if now is None else now
        with self.cond:
            if not self._quiet_since_last_input(now):
                return
            self._handle(self.parser.idle(), baud, now)
            self._close_raw()
            self.last_input = None

    def _handle(self, tokens, baud, now):
        for kind, data in tokens:
            if kind == "raw":
                self._raw(data, baud, now)
                continue
            self._close_raw()
            self._append(now, baud, kind, data)
            if kind == "frame":
                self._answer_frame(Frame(data), baud)
            elif kind == "is1req" and self.is1 is not None and self._answers_at(baud):
                self.send(self.is1)

    def _raw(self, data, baud, now):
        run = self._raw_run_at(now, baud)
        for byte in data:
            run.append(byte)
            answer = self._raw_answer(run)
            if answer is not None:
                # The request is complete: it is an entry of its own.
                self._close_raw()
                if self._answers_at(baud):
                    self.send(answer)
                self.raw_run = [now, baud, bytearray()]
                run = self.raw_run[2]
        if not run:
            self.raw_run = None

    def _raw_answer(self, run):
        if self.echo:
            for part in HANDSHAKE:
                if run.endswith(part):
                    return part
        for request, answer in self.raw_replies.items():
            if run.endswith(request):
                return answer
        return None

    def _answers_at(self, baud):
        return self.rate is None or self.rate == baud

    def _answer_frame(self, frame, baud):
        # At another rate the scale would not have understood the frame, so
        # it does not use up a configured reply either.
        if not self._answers_at(baud):
            return
        reply = self._next_reply(frame.command)
        if reply.kind == "SILENT":
            if reply.before:
                self.send(reply.before)
            return
        if reply.kind == "ACK":
            answer = build_frame(self.ecr_id, ACK << 16, packet=frame.packet)
            if frame.command == SET_BAUD and self.rate is not None:
                code = (frame.code >> 8) & 0xFF
                if code and BASE_RATE % code == 0:
                    self.rate = BASE_RATE // code
        elif reply.kind == "REFUSE":
            answer = build_frame(self.ecr_id, (REFUSAL << 16) | reply.value, packet=frame.packet)
        else:
            code = frame.command << 16 if frame.short_header else frame.code
            answer = build_frame(self.ecr_id, code, reply.value, frame.packet)
        self.send(reply.before + answer)

    def _next_reply(self, command):
        configured = self.replies.get(command)
        if configured is None:
            return Reply("ACK" if command in ACK_COMMANDS else "SILENT")
        return next_reply(configured)

    # Streams -----------------------------------------------------------

    def _stream(self, count, interval_ms, number):
        """Sends weight frames 1 to count, one every interval_ms, in real
        time, until another stream or a reset takes its number."""
        start = time.monotonic()
        for n in range(1, count + 1):
            delay = start + n * interval_ms / 1000.0 - time.monotonic()
            if delay > 0:
                time.sleep(delay)
            with self.cond:
                if number != self.stream_number:
                    return
                self.send(build_is1("S", " ", "%6d" % (n % 1000000), "kg"))

    # Control -----------------------------------------------------------

    def _control(self, verb, args):
        """Runs one control command other than LOG; returns the answer line."""
        with self.cond:
            if verb == "PUSH":
                self.send(parse_hex(args[0]) if args else b"")
            elif verb == "RESET":
                self.reset()
            elif verb == "STREAM":
                count, interval_ms = int(args[0]), int(args[1])
                if count < 0 or interval_ms < 0:
                    raise ValueError("a stream needs a count and an interval of 0 or more")
                self.stream_number += 1
                threading.Thread(
                    target=self._stream, args=(count, interval_ms, self.stream_number), daemon=True
                ).start()
            elif verb == "ID":
                self.ecr_id = int(args[0]) % (1 << 32)
            elif verb == "RATE":
                self.rate = None if args[0].upper() == "ANY" else int(args[0])
            elif verb == "ON":
                command = parse_code(args[0]) >> 16
                if len(args) == 2 and args[1].upper() == "DEFAULT":
                    self.replies.pop(command, None)
                else:
                    self.replies[command] = [Reply.parse_list(args[1:]), 0]
            elif verb == "IS1":
                self.is1 = None if args[0].upper() == "OFF" else parse_hex(args[0])
            elif verb == "IS1TEXT":
                status, sign, weight, unit = (word.replace("_", " ") for word in args[:4])
                flag = int(args[4], 16) if len(args) > 4 else 0
                self.is1 = build_is1(status, sign, weight, unit, flag)
                return "IS1 " + self.is1.hex()
            elif verb == "ECHO":
                self.echo = args[0].upper() == "ON"
            elif verb == "REPLY":
                request = parse_hex(args[0])
                if not request:
                    raise ValueError("empty request")
                if args[1].upper() == "OFF":
                    self.raw_replies.pop(request, None)
                else:
                    self.raw_replies[request] = parse_hex(args[1])
            elif verb == "FRAME":
                packet = int(args[2], 0) if len(args) > 2 else 0
                frame = build_frame(self.ecr_id, parse_code(args[0]), parse_hex(args[1]), packet)
                return "FRAME " + frame.hex()
            else:
                return "ERR unknown scale command " + verb
        return "OK"
