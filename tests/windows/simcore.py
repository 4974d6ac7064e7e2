"""What the simulated devices of ptypeer.py have in common: the splitting of
the received byte stream into tokens, the log of what a device recognised
(with the LOG control command that waits for it), the collection of
consecutive raw bytes into one log entry, and configured replies that are
used in turn."""

import threading
import time

# Input that waits this long without new bytes is taken as it stands.
IDLE_MS = 100


class TokenParser:
    """Splits a received byte stream into (kind, bytes) tokens.

    A device's parser supplies _token(final): the (kind, size) of the token
    at the start of pending, or None when it needs more bytes; with final set
    it must decide. Bytes that cannot be judged yet wait for the next chunk;
    idle() judges them as they stand."""

    def __init__(self):
        self.pending = bytearray()

    def feed(self, chunk):
        self.pending += chunk
        return self._scan(final=False)

    def idle(self):
        """No more bytes for a while: whatever waits is judged as it stands."""
        return self._scan(final=True)

    def clear(self):
        self.pending.clear()

    def _scan(self, final):
        tokens = []
        while self.pending:
            token = self._token(final)
            if token is None:
                break
            kind, size = token
            tokens.append(self._take(kind, size))
        return tokens

    def _take(self, kind, size):
        """The token of the first size pending bytes, which it removes."""
        data = bytes(self.pending[:size])
        del self.pending[:size]
        return kind, data

    def _token(self, final):
        raise NotImplementedError


def next_reply(configured):
    """The next of the replies configured as [list of replies, index]: one per
    call, the last one repeating."""
    replies, index = configured
    configured[1] = index + 1
    return replies[min(index, len(replies) - 1)]


class DeviceModel:
    """A simulated device's log and the state that guards it.

    send(bytes) writes to the line; clock (seconds, monotonic) can be given
    for tests. The log holds (t_ms, baud, kind, bytes) entries, t_ms counted
    from when the device started; cond guards it and the device's state and
    is notified on each new entry. NAME is the word that begins the device's
    control commands; command() answers LOG itself and hands every other verb
    to _control(verb, args)."""

    NAME = ""

    def __init__(self, send, clock=time.monotonic):
        self.send = send
        self.clock = clock
        self.started = clock()
        self.cond = threading.Condition()
        self.log = []
        self.raw_run = None  # [time, baud, bytearray] of the raw entry being collected
        self.last_input = None

    def _quiet_since_last_input(self, now):
        """Whether input is waiting and no new bytes came for IDLE_MS."""
        return self.last_input is not None and (now - self.last_input) * 1000 >= IDLE_MS

    def _append(self, when, baud, kind, data):
        self.log.append((round((when - self.started) * 1000), baud, kind, bytes(data)))
        self.cond.notify_all()

    def _raw_run_at(self, when, baud):
        """The raw bytes being collected, as one entry begun at when; a rate
        change closes the entry before it and begins a new one."""
        if self.raw_run is not None and self.raw_run[1] != baud:
            self._close_raw()
        if self.raw_run is None:
            self.raw_run = [when, baud, bytearray()]
        return self.raw_run[2]

    def _close_raw(self):
        if self.raw_run is not None and self.raw_run[2]:
            start, baud, data = self.raw_run
            self._append(start, baud, "raw", bytes(data))
        self.raw_run = None

    def command(self, words):
        """Runs one control command (the words after NAME); returns the answer line."""
        if not words:
            return "ERR %s needs a command" % self.NAME
        verb, args = words[0].upper(), list(words[1:])
        if verb == "LOG":
            count = int(args[0]) if args else 0
            wait_ms = int(args[1]) if len(args) > 1 else 0
            entries = ["%d:%d:%s:%s" % (t, b, k, d.hex()) for t, b, k, d in self.entries(count, wait_ms)]
            return "LOG " + ";".join(entries) if entries else "LOG"
        return self._control(verb, args)

    def _control(self, verb, args):
        raise NotImplementedError

    def entries(self, count=0, wait_ms=0):
        """The log, after waiting up to wait_ms for at least count entries."""
        deadline = time.monotonic() + wait_ms / 1000.0
        with self.cond:
            while len(self.log) < count:
                left = deadline - time.monotonic()
                if left <= 0:
                    break
                self.cond.wait(left)
            return list(self.log)
