"""Simulated boot loader for the far end of a COM port (ptypeer.py --device bootloader).

The device is a scale (scalesim.ScaleModel, steered with the SCALE control
commands) that holds a boot loader. It starts as the scale; the text
"force update", a wake-up burst or a bus frame makes it the boot loader,
which it stays until it has acknowledged the end of a download (the scale
then starts its new program) or the test sends BOOT LEAVE. While it is the
boot loader, the scale sees nothing of the line.

The boot loader reads what the driver writes and logs every token it
recognises, with the time and rate of the token's first byte:

  force     the 12 bytes "force update"
  burst     a run of 0x66 bytes (the wake-up and pulse bursts)
  frame     a bus frame: 0x03, 299 bytes with bit 7 set, 0x04; logged as
            its decoded 261-byte packet (command, sub-command or address
            low byte, address high byte, 256 data bytes, 16-bit sum low byte
            first); "badframe" when the sum does not check
  raw       other bytes; consecutive raw bytes form one entry, which ends at
            the next token, when the rate changes or after 100 ms without
            new bytes

A burst ends at the first other byte or after 100 ms without new bytes. A
frame or "force update" still incomplete after 100 ms without new bytes is
given up: its first byte is taken as raw and the rest searched again.

Frames are answered as configured, by the kind of request (packet bytes 0
and 1): CONNECT (14 1), DISCONNECT (14 2), STATUS (14 16), CHECK (14 21),
START (15 0, address high 0), END (15 1, address high 0), BLOCK (any other
packet of command 15) and OTHER. By default every request is acknowledged
(0x02), STATUS and CHECK are answered with a data frame (the status block,
resp. zeros). Answers go out only while the line runs at the rate set with
BOOT RATE (any rate by default); an acknowledged CONNECT moves the boot
loader to the rate that the packet announces in byte 13 (0 9600, 1 19200,
2 38400, 3 57600, 4 115200). A frame whose sum does not check gets nothing.

Control commands (after the word BOOT), each answered with one line:
  RESET                       defaults, the scale's too, and empty logs -> OK
  RATE <baud>|ANY             answer only at that rate, or at any    -> OK
  ON <request> <reply>...     answers for that kind of request, one per
                              request, the last one repeating; a reply is
                              ACK, REFUSE, SILENT, DATA <hex>|- (a frame
                              that repeats the request's first three
                              packet bytes, with these data bytes),
                              BADSUM <hex>|- (the same with a wrong sum) or
                              RAW <hex> (the bytes as they stand)     -> OK
  ON <request> DEFAULT        back to the default answer             -> OK
  STATUS <hex>|-              data bytes of the default STATUS answer -> OK
  LEAVE                       back to being the scale                -> OK
  LOG [<count> <ms>]          what the boot loader recognised, oldest
                              first, after waiting up to ms for count
                              entries                -> LOG <t_ms>:<baud>:<kind>:<hex>;...
Times are milliseconds since the simulator started.
"""

import time

import scalesim
import simcore
from simcore import next_reply

FRAME_SIZE = 301
PACKET_SIZE = 261
SUMMED = 259
GROUP = 7
FRAME_START = 0x03
FRAME_END = 0x04
ACK = 0x02
REFUSE = 0x55
FORCE_UPDATE = b"force update"
BURST_BYTE = 0x66
RATES = (9600, 19200, 38400, 57600, 115200)
REQUESTS = ("CONNECT", "DISCONNECT", "STATUS", "CHECK", "START", "END", "BLOCK", "OTHER")


def package_sum(packet):
    """16-bit sum of packet bytes 0 to 258."""
    return sum(packet[:SUMMED]) & 0xFFFF


def stamped_packet(command, sub, high, data=b""):
    """The 261-byte packet with its sum."""
    packet = bytearray(PACKET_SIZE)
    packet[0:3] = bytes((command, sub, high))
    data = bytes(data)[:256]
    packet[3 : 3 + len(data)] = data
    total = package_sum(packet)
    packet[259] = total & 0xFF
    packet[260] = total >> 8
    return bytes(packet)


def _groups(packet):
    """The packet's bytes in the groups of the frame: 37 of 7, then the sum."""
    for start in range(0, SUMMED, GROUP):
        yield packet[start : start + GROUP]
    yield packet[SUMMED:PACKET_SIZE]


def encode_frame(packet):
    """The 301-byte frame of a 261-byte packet."""
    frame = bytearray((FRAME_START,))
    for group in _groups(packet):
        tops = 0x80
        for k, byte in enumerate(group):
            frame.append(byte | 0x80)
            tops |= (byte >> 7) << k
        frame.append(tops)
    frame.append(FRAME_END)
    return bytes(frame)


def decode_frame(frame):
    """(packet, sum_ok) of a 301-byte frame."""
    packet = bytearray()
    at = 1
    for size in [GROUP] * (SUMMED // GROUP) + [2]:
        tops = frame[at + size]
        packet += bytes((frame[at + k] & 0x7F) | (((tops >> k) & 1) << 7) for k in range(size))
        at += size + 1
    total = package_sum(packet)
    return bytes(packet), packet[259] == total & 0xFF and packet[260] == total >> 8


def request_of(packet):
    """The kind of request of a packet (one of REQUESTS)."""
    command, sub, high = packet[0], packet[1], packet[2]
    if command == 14:
        return {1: "CONNECT", 2: "DISCONNECT", 16: "STATUS", 21: "CHECK"}.get(sub, "OTHER")
    if command == 15:
        if high == 0 and sub in (0, 1):
            return "START" if sub == 0 else "END"
        return "BLOCK"
    return "OTHER"


class BootParser(simcore.TokenParser):
    """Splits the byte stream into (kind, bytes, when, baud) tokens: "force",
    "burst", "frame" (the 301 frame bytes) and "raw" (one byte). Each byte
    keeps the time and rate at which it arrived; a token takes those of its
    first byte."""

    def __init__(self):
        super().__init__()
        self.marks = []  # (when, baud) of each pending byte

    def feed(self, chunk, when, baud):
        self.marks += [(when, baud)] * len(chunk)
        return super().feed(chunk)

    def clear(self):
        super().clear()
        self.marks.clear()

    def _take(self, kind, size):
        when, baud = self.marks[0]
        del self.marks[:size]
        return super()._take(kind, size) + (when, baud)

    def _token(self, final):
        data = self.pending
        first = data[0]
        if first == FORCE_UPDATE[0]:
            known = min(len(data), len(FORCE_UPDATE))
            if data[:known] == FORCE_UPDATE[:known]:
                if known == len(FORCE_UPDATE):
                    return "force", known
                return ("raw", 1) if final else None
            run = 0
            while run < len(data) and data[run] == BURST_BYTE:
                run += 1
            if run == len(data) and not final:
                return None
            return "burst", run
        if first == FRAME_START:
            for at in range(1, min(len(data), FRAME_SIZE)):
                byte = data[at]
                if at == FRAME_SIZE - 1:
                    if byte != FRAME_END:
                        return "raw", 1
                elif not byte & 0x80:
                    return "raw", 1
            if len(data) < FRAME_SIZE:
                return ("raw", 1) if final else None
            return "frame", FRAME_SIZE
        return "raw", 1


class Reply:
    """One configured answer to a request."""

    def __init__(self, kind, value=b""):
        self.kind = kind  # ACK, REFUSE, SILENT, DATA, BADSUM or RAW
        self.value = value

    @staticmethod
    def parse_list(words):
        replies = []
        while words:
            kind = words.pop(0).upper()
            if kind in ("ACK", "REFUSE", "SILENT"):
                replies.append(Reply(kind))
            elif kind in ("DATA", "BADSUM", "RAW"):
                replies.append(Reply(kind, scalesim.parse_hex(words.pop(0))))
            else:
                raise ValueError("unknown reply " + kind)
        if not replies:
            raise ValueError("no reply given")
        return replies


class BootLoaderModel(simcore.DeviceModel):
    """The scale with its boot loader: routing, answers and the boot loader's
    log. The interface is that of scalesim.ScaleModel: received() and idle()
    from the line's reader, command() for the BOOT control commands, clear()
    for CLEAR; the scale itself is self.scale."""

    NAME = "BOOT"

    def __init__(self, send, clock=time.monotonic):
        super().__init__(send, clock)
        self.scale = scalesim.ScaleModel(send, clock)
        self.scale.started = self.started
        self.parser = BootParser()
        self.reset()

    def reset(self):
        with self.cond:
            self.booting = False
            self.rate = None
            self.replies = {}  # request -> [list of Reply, index]
            self.status_block = bytes(256)
            self._clear_input()
        self.scale.reset()

    def clear(self):
        with self.cond:
            self._clear_input()
        self.scale.clear()

    def _clear_input(self):
        self.log.clear()
        self.parser.clear()
        self.raw_run = None  # [when, baud, bytearray]
        self.last_input = None

    # Input -------------------------------------------------------------

    def received(self, chunk, baud, now=None):
        now = self.clock() if now is None else now
        with self.cond:
            to_scale = not self.booting
            if self._quiet_since_last_input(now):
                self._handle(self.parser.idle(), baud)
                self._close_raw()
            self.last_input = now
            self._handle(self.parser.feed(chunk, now, baud), baud)
        if to_scale:
            self.scale.received(chunk, baud, now)

    def idle(self, baud, now=None):
        now = self.clock() if now is None else now
        with self.cond:
            if self._quiet_since_last_input(now):
                self._handle(self.parser.idle(), baud)
                self._close_raw()
                self.last_input = None
        self.scale.idle(baud, now)

    def _handle(self, tokens, baud):
        for kind, data, when, first_baud in tokens:
            if kind == "raw":
                self._raw_run_at(when, first_baud).extend(data)
                continue
            self._close_raw()
            if kind == "frame":
                packet, sum_ok = decode_frame(data)
                self._append(when, first_baud, "frame" if sum_ok else "badframe", packet)
                self.booting = True
                if sum_ok:
                    self._answer(packet, baud)
            else:
                self._append(when, first_baud, kind, data)
                self.booting = True

    def _answer(self, packet, baud):
        if self.rate is not None and self.rate != baud:
            return
        request = request_of(packet)
        reply = self._next_reply(request)
        if reply.kind == "SILENT":
            return
        if reply.kind == "ACK":
            self.send(bytes((ACK,)))
            if request == "CONNECT" and self.rate is not None and packet[13] < len(RATES):
                self.rate = RATES[packet[13]]
            if request == "END":
                self.booting = False
        elif reply.kind == "REFUSE":
            self.send(bytes((REFUSE,)))
        elif reply.kind == "RAW":
            self.send(reply.value)
        else:
            answer = bytearray(stamped_packet(packet[0], packet[1], packet[2], reply.value))
            if reply.kind == "BADSUM":
                answer[259] ^= 0x01
            self.send(encode_frame(answer))

    def _next_reply(self, request):
        configured = self.replies.get(request)
        if configured is None:
            if request == "STATUS":
                return Reply("DATA", self.status_block)
            if request == "CHECK":
                return Reply("DATA", b"")
            return Reply("ACK")
        return next_reply(configured)

    # Control -----------------------------------------------------------

    def _control(self, verb, args):
        """Runs one control command other than LOG; returns the answer line."""
        if verb == "RESET":
            self.reset()
            return "OK"
        with self.cond:
            if verb == "RATE":
                self.rate = None if args[0].upper() == "ANY" else int(args[0])
            elif verb == "ON":
                request = args[0].upper()
                if request not in REQUESTS:
                    raise ValueError("unknown request " + request)
                if len(args) == 2 and args[1].upper() == "DEFAULT":
                    self.replies.pop(request, None)
                else:
                    self.replies[request] = [Reply.parse_list(args[1:]), 0]
            elif verb == "STATUS":
                self.status_block = scalesim.parse_hex(args[0])
            elif verb == "LEAVE":
                self.booting = False
            else:
                return "ERR unknown boot command " + verb
        return "OK"
