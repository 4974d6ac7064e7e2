#!/usr/bin/python3
"""Far end of a COM port of the project's Wine prefix.

Creates a pseudo-terminal, points the prefix's link for the given COM port at
it, and runs a Windows test program (normally through run-in-wine.sh). The
program steers the far end over a line-based control connection on loopback
TCP, whose port it finds in the environment variable POS_PEER_PORT; the COM
port's name is in POS_COM_PORT.

Control commands, one per line, each answered with one line:
  SEND <hex>             write the bytes to the line            -> OK
  RECV <count> <ms>      wait up to ms for count bytes, take
                         what arrived (at most count)           -> DATA <hex>
  TAKE                   take every byte received so far        -> DATA <hex>
  LINE                   line settings the port has set         -> LINE <baud> <bits> <parity> <stop>
  RATES                  baud rate in force for each chunk
                         received so far, in order, repeats
                         folded                                 -> RATES <baud> ...
  CLEAR                  drop everything received so far        -> OK
Unknown or malformed commands answer ERR <reason>.

With --device scale the far end is also a simulated scale (scalesim.py): it
answers what it receives as configured with the control commands that begin
with SCALE (listed in scalesim.py) and logs what it recognised; CLEAR also
empties that log. With --device pricescale it is a price-computing scale
(pricesim.py): the price bus at its rate, steered with the commands that
begin with PRICE, and the simulated scale at every other rate, steered with
SCALE. The default, --device passive, only records and sends.
"""

import argparse
import os
import select
import socket
import subprocess
import sys
import termios
import threading
import time
import tty

import pricesim
import scalesim

BAUDS = {
    getattr(termios, name): int(name[1:])
    for name in dir(termios)
    if name.startswith("B") and name[1:].isdigit()
}


class Line:
    """The pseudo-terminal and everything the far end has received on it."""

    def __init__(self):
        self.master, self.slave = os.openpty()
        # Raw on both sides: the scale protocols use 0x11 and 0x13, which a
        # line discipline with IXON would swallow as XON and XOFF.
        tty.setraw(self.master)
        tty.setraw(self.slave)
        self.name = os.ttyname(self.slave)
        self.received = bytearray()
        self.rates = []
        self.cond = threading.Condition()
        self.stopped = False
        # A simulated device (set before the program starts) sees every chunk,
        # and is told when the line is quiet, on the reader thread.
        self.device = None
        self.reader = threading.Thread(target=self._read, daemon=True)
        self.reader.start()

    def settings(self):
        attrs = termios.tcgetattr(self.slave)
        cflag = attrs[2]
        baud = BAUDS.get(attrs[5], 0)
        size = {termios.CS5: 5, termios.CS6: 6, termios.CS7: 7, termios.CS8: 8}[
            cflag & termios.CSIZE
        ]
        if not cflag & termios.PARENB:
            parity = "N"
        elif cflag & termios.PARODD:
            parity = "O"
        else:
            parity = "E"
        stop = 2 if cflag & termios.CSTOPB else 1
        return baud, size, parity, stop

    def _read(self):
        while not self.stopped:
            poll = 0.1 if self.device is None else 0.02
            ready, _, _ = select.select([self.master], [], [], poll)
            if not ready:
                if self.device is not None:
                    self.device.idle(self.settings()[0])
                continue
            try:
                chunk = os.read(self.master, 65536)
            except OSError:
                time.sleep(0.01)
                continue
            if not chunk:
                continue
            baud = self.settings()[0]
            with self.cond:
                self.received += chunk
                if not self.rates or self.rates[-1] != baud:
                    self.rates.append(baud)
                self.cond.notify_all()
            if self.device is not None:
                self.device.received(chunk, baud)

    def send(self, data):
        view = memoryview(data)
        while view:
            written = os.write(self.master, view)
            view = view[written:]

    def take(self, count=None, timeout_ms=0):
        deadline = time.monotonic() + timeout_ms / 1000.0
        with self.cond:
            while count is not None and len(self.received) < count:
                left = deadline - time.monotonic()
                if left <= 0:
                    break
                self.cond.wait(left)
            n = len(self.received) if count is None else min(count, len(self.received))
            data = bytes(self.received[:n])
            del self.received[:n]
            return data


def serve(line, server):
    while True:
        try:
            conn, _ = server.accept()
        except OSError:
            return
        threading.Thread(target=handle, args=(line, conn), daemon=True).start()


def handle(line, conn):
    with conn, conn.makefile("rwb", buffering=0) as stream:
        for raw in stream:
            words = raw.decode("ascii", "replace").split()
            try:
                reply = command(line, words)
            except (ValueError, IndexError) as error:
                reply = "ERR " + str(error)
            stream.write((reply + "\n").encode("ascii"))


def command(line, words):
    if not words:
        return "ERR empty"
    verb = words[0].upper()
    if verb == "SEND":
        line.send(bytes.fromhex(words[1] if len(words) > 1 else ""))
        return "OK"
    if verb == "RECV":
        return "DATA " + line.take(int(words[1]), int(words[2])).hex()
    if verb == "TAKE":
        return "DATA " + line.take().hex()
    if verb == "LINE":
        return "LINE %d %d %s %d" % line.settings()
    if verb == "RATES":
        with line.cond:
            return " ".join(["RATES"] + [str(rate) for rate in line.rates])
    if verb == "CLEAR":
        with line.cond:
            line.received.clear()
            line.rates.clear()
        if line.device is not None:
            line.device.clear()
        return "OK"
    if verb == "SCALE" and isinstance(line.device, scalesim.ScaleModel):
        return line.device.command(words[1:])
    if verb == "SCALE" and isinstance(line.device, pricesim.PriceScaleModel):
        return line.device.weighing.command(words[1:])
    if verb == "PRICE" and isinstance(line.device, pricesim.PriceScaleModel):
        return line.device.command(words[1:])
    return "ERR unknown command " + verb


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--port", required=True, help="COM port to map, e.g. COM9")
    parser.add_argument("--wine-dir", default=os.environ.get("POS_WINE_DIR"))
    parser.add_argument("--timeout", type=float, default=240.0, help="seconds before the program is killed")
    parser.add_argument(
        "--device", choices=("passive", "scale", "pricescale"), default="passive", help="what sits on the far end"
    )
    parser.add_argument("program", nargs=argparse.REMAINDER)
    args = parser.parse_args()
    program = args.program[1:] if args.program[:1] == ["--"] else args.program
    if not args.wine_dir or not program:
        parser.error("a Wine folder and a program are needed")

    line = Line()
    if args.device == "scale":
        line.device = scalesim.ScaleModel(line.send)
    elif args.device == "pricescale":
        line.device = pricesim.PriceScaleModel(line.send)
    link = os.path.join(args.wine_dir, "ptys", args.port.lower())
    os.makedirs(os.path.dirname(link), exist_ok=True)
    if os.path.lexists(link):
        os.unlink(link)
    os.symlink(line.name, link)

    server = socket.socket(socket.AF_INET, socket.SOCK_STREAM)
    server.bind(("127.0.0.1", 0))
    server.listen(4)
    threading.Thread(target=serve, args=(line, server), daemon=True).start()

    env = dict(os.environ, POS_PEER_PORT=str(server.getsockname()[1]), POS_COM_PORT=args.port.upper())
    try:
        result = subprocess.run(program, env=env, timeout=args.timeout).returncode
    except subprocess.TimeoutExpired:
        print("ptypeer: %s did not finish in %.0f s" % (program[0], args.timeout), file=sys.stderr)
        result = 124
    finally:
        line.stopped = True
        server.close()
        try:
            os.unlink(link)
        except OSError:
            pass
    sys.exit(result)


if __name__ == "__main__":
    main()
