"""Simulated price-computing scale for the far end of a COM port
(ptypeer.py --device pricescale).

The scale speaks two protocols on one line. At its price rate (9600 baud
unless set with PRICE RATE) it is the price bus: it parses what the driver
writes, checks each frame's check byte, answers as the test configured it,
keeps its memory and logs every byte it received. At any other rate the
bytes go to the weighing scale of scalesim.py, which the SCALE commands
steer; so a test opens the weighing link at another rate and sees it step
aside during a transfer and come back.

Input at the price rate, as logged:
  cmd       a one-byte command: 0x44, 0x05 or 0x12
  short     the short command 01 FE
  frame     a data frame: Dt, RAM area, address (2 bytes, high first),
            length n, n data bytes, check byte
  request   an upload request: 0x55, RAM area, address, length n, check
  badframe  a frame or request whose check byte is wrong
  raw       a byte that begins none of these; also the first byte of
            input that is still incomplete after 100 ms without new bytes
The check byte makes the bytes of a frame or request add up to 0 modulo 256.

Answers:
  - cmd, short and frame: the next reply configured for the input's first
    byte (PRICE ON), by default 06;
  - request: by default the data reply, the lead byte 06, the request's five
    bytes, n bytes of memory and the check over the five bytes and the data;
  - badframe: 15; raw: nothing.
A reply is 06 or 02 (acknowledge; for a request the data reply with that
lead byte), 15 or AA (refuse), or SILENT.

Memory: RAM area F9 holds 0x200 bytes. A data frame with Dt 0x77 to area F9
writes them, a request to F9 reads them; other areas read as zeros. The PLU
table is addresses 00E0 to 01F7: 70 slots of 4 bytes (unit code, price in
hundredths as 3 bytes, high first); the single price is at address 0.

Control commands (after the word PRICE), each answered with one line:
  RESET                       defaults (rate 9600, default replies, nothing
                              sent before answers), memory zeroed, log
                              emptied                                   -> OK
  RATE <baud>                 the rate of the price bus                 -> OK
  ON <dthex2> <reply>...      replies for inputs beginning with that
                              byte, one per input, the last repeating   -> OK
  ON <dthex2> DEFAULT         back to the default reply                 -> OK
  BEFORE <dthex2> <hex>|OFF   send these bytes on their own before the
                              answer to each input beginning with that
                              byte; the answer follows 100 ms later     -> OK
  PUSH <hex>                  send the bytes now                        -> OK
  TABLE [<hex>]               set the 70 slots (280 bytes), or read them
                                                                        -> TABLE <hex>
  MEMORY <addrhex4> <count>   read memory of area F9                    -> MEMORY <hex>
  LOG [<count> <ms>]          what was received at the price rate,
                              oldest first, after waiting up to ms for
                              count entries          -> LOG <t_ms>:<baud>:<kind>:<hex>;...
Times are milliseconds since the simulator started.
"""

import time

import scalesim
import simcore
from simcore import next_reply

PRICE_RATE = 9600
ONE_BYTE_COMMANDS = (0x44, 0x05, 0x12)
SHORT_COMMAND = bytes((0x01, 0xFE))
UPLOAD_REQUEST = 0x55
WRITE_FRAME = 0x77
PRICE_RAM = 0xF9
MEMORY_SIZE = 0x200
TABLE_START = 0x00E0
TABLE_SIZE = 70 * 4
HEADER_SIZE = 5
ACKS = (0x06, 0x02)
REFUSALS = (0x15, 0xAA)
BAD_CHECK_ANSWER = 0x15
BEFORE_PAUSE_S = 0.1


def check_byte(data):
    """The two's complement of the 8-bit sum of data."""
    return (-sum(data)) & 0xFF


class PriceParser(simcore.TokenParser):
    """Splits the bytes received at the price rate into (kind, bytes) tokens.

    Bytes that cannot be judged yet wait for the next chunk; idle() judges
    them as they stand."""

    def _token(self, final):
        data = self.pending
        first = data[0]
        if first in ONE_BYTE_COMMANDS:
            return "cmd", 1
        if first == SHORT_COMMAND[0]:
            if len(data) < 2:
                return ("raw", 1) if final else None
            if data[1] == SHORT_COMMAND[1]:
                return "short", 2
        if len(data) < HEADER_SIZE:
            return ("raw", 1) if final else None
        request = first == UPLOAD_REQUEST
        size = HEADER_SIZE + 1 if request else data[4] + HEADER_SIZE + 1
        if len(data) < size:
            return ("raw", 1) if final else None
        if sum(data[:size]) & 0xFF:
            return "badframe", size
        return ("request" if request else "frame"), size


def parse_byte(word):
    value = int(word, 16)
    if not 0 <= value <= 0xFF or len(word) != 2:
        raise ValueError("a byte has two hex digits: " + word)
    return value


def parse_reply(word):
    if word.upper() == "SILENT":
        return None
    value = parse_byte(word)
    if value not in ACKS + REFUSALS:
        raise ValueError("unknown reply " + word)
    return value


class PriceScaleModel(simcore.DeviceModel):
    """The price-computing scale: configuration, memory, answers and log.

    send(bytes) writes to the line. received() and idle() are called by the
    line's reader; command() by the control connection (PRICE commands), and
    the weighing scale's command() for the SCALE commands. clock and pause
    can be given for tests."""

    NAME = "PRICE"

    def __init__(self, send, clock=time.monotonic, pause=time.sleep):
        super().__init__(send, clock)
        self.pause = pause
        self.parser = PriceParser()
        self.weighing = scalesim.ScaleModel(send, clock)
        self.reset()

    def reset(self):
        with self.cond:
            self.rate = PRICE_RATE
            self.replies = {}  # first byte -> [list of replies, index]
            self.before = {}  # first byte -> bytes sent before the answer
            self.memory = bytearray(MEMORY_SIZE)
            self._clear_input()

    def clear(self):
        """Drops both logs and any input not yet judged."""
        with self.cond:
            self._clear_input()
        self.weighing.clear()

    def _clear_input(self):
        self.log.clear()
        self.parser.clear()
        self.last_input = None

    # Input -------------------------------------------------------------

    def received(self, chunk, baud, now=None):
        if baud != self.rate:
            self.weighing.received(chunk, baud, now)
            return
        now = self.clock() if now is None else now
        with self.cond:
            if self._quiet_since_last_input(now):
                self._handle(self.parser.idle(), baud, now)
            self.last_input = now
            self._handle(self.parser.feed(chunk), baud, now)

    def idle(self, baud, now=None):
        self.weighing.idle(baud, now)
        now = self.clock() if now is None else now
        with self.cond:
            if not self._quiet_since_last_input(now):
                return
            self._handle(self.parser.idle(), baud, now)
            self.last_input = None

    def _handle(self, tokens, baud, now):
        for kind, data in tokens:
            self._append(now, baud, kind, data)
            if kind == "raw":
                continue
            before = self.before.get(data[0])
            if before:
                self.send(before)
                self.pause(BEFORE_PAUSE_S)
            answer = self._answer(kind, data)
            if answer:
                self.send(answer)

    def _answer(self, kind, data):
        if kind == "badframe":
            return bytes((BAD_CHECK_ANSWER,))
        reply = self._next_reply(data[0])
        if reply is None:
            return b""
        if kind == "frame" and reply in ACKS and data[0] == WRITE_FRAME and data[1] == PRICE_RAM:
            self._write(int.from_bytes(data[2:4], "big"), data[5:-1])
        if kind == "request" and reply in ACKS:
            covered = data[:5] + self._read(data[1], int.from_bytes(data[2:4], "big"), data[4])
            return bytes((reply,)) + covered + bytes((check_byte(covered),))
        return bytes((reply,))

    def _next_reply(self, first):
        configured = self.replies.get(first)
        if configured is None:
            return ACKS[0]
        return next_reply(configured)

    def _write(self, address, data):
        for i, byte in enumerate(data):
            if address + i < MEMORY_SIZE:
                self.memory[address + i] = byte

    def _read(self, area, address, count):
        if area != PRICE_RAM:
            return bytes(count)
        return bytes(self.memory[a] if a < MEMORY_SIZE else 0 for a in range(address, address + count))

    # Control -----------------------------------------------------------

    def _control(self, verb, args):
        """Runs one control command other than LOG; returns the answer line."""
        with self.cond:
            if verb == "RESET":
                self.reset()
            elif verb == "RATE":
                self.rate = int(args[0])
            elif verb == "ON":
                first = parse_byte(args[0])
                if len(args) == 2 and args[1].upper() == "DEFAULT":
                    self.replies.pop(first, None)
                elif len(args) < 2:
                    raise ValueError("no reply given")
                else:
                    self.replies[first] = [[parse_reply(word) for word in args[1:]], 0]
            elif verb == "BEFORE":
                first = parse_byte(args[0])
                if args[1].upper() == "OFF":
                    self.before.pop(first, None)
                else:
                    self.before[first] = bytes.fromhex(args[1])
            elif verb == "PUSH":
                self.send(bytes.fromhex(args[0]) if args else b"")
            elif verb == "TABLE":
                if args:
                    table = bytes.fromhex(args[0])
                    if len(table) != TABLE_SIZE:
                        raise ValueError("the table has %d bytes" % TABLE_SIZE)
                    self.memory[TABLE_START : TABLE_START + TABLE_SIZE] = table
                return "TABLE " + self.memory[TABLE_START : TABLE_START + TABLE_SIZE].hex()
            elif verb == "MEMORY":
                return "MEMORY " + self._read(PRICE_RAM, int(args[0], 16), int(args[1])).hex()
            else:
                return "ERR unknown price command " + verb
        return "OK"
