#!/usr/bin/python3
"""Runs a command while holding a lock named after the TCP ports it takes.

Usage: portlock.py [--wait SECONDS] NAME -- command [argument...]

The lock is an abstract Unix socket (@pos-lock-NAME), which exists once per
network namespace, just as the ports do: every run that could meet this one
on the same ports sees it, also in another container or root with a /tmp of
its own, where a lock file would not be seen. The kernel lets it go when
the holder ends, however it ends. A waiting run connects to the holder and
blocks until that connection breaks, then tries again; it gives up after
SECONDS (default 600) with exit code 75. The command does not inherit the
socket. Exits with the command's exit code.
"""

import argparse
import socket
import subprocess
import sys
import time


def acquire(name, seconds):
    """The bound, listening lock socket; None when the time ran out."""
    address = b"\0pos-lock-" + name.encode()
    deadline = time.monotonic() + seconds
    while True:
        holder = socket.socket(socket.AF_UNIX, socket.SOCK_STREAM)
        try:
            holder.bind(address)
            holder.listen(64)
            return holder
        except OSError:
            holder.close()
        left = deadline - time.monotonic()
        if left <= 0:
            return None
        # Held: wait for the holder to end. Its connections break when its
        # socket goes (or the connection is refused when it has just gone).
        waiter = socket.socket(socket.AF_UNIX, socket.SOCK_STREAM)
        waiter.settimeout(left)
        try:
            waiter.connect(address)
            waiter.recv(1)
        except OSError:
            pass
        finally:
            waiter.close()


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--wait", type=float, default=600.0, help="seconds to wait for the lock")
    parser.add_argument("name", help="name of the lock")
    parser.add_argument("command", nargs=argparse.REMAINDER)
    args = parser.parse_args()
    command = args.command[1:] if args.command[:1] == ["--"] else args.command
    if not command:
        parser.error("a command is needed")
    holder = acquire(args.name, args.wait)
    if holder is None:
        print("portlock: %s stayed taken for %.0f s" % (args.name, args.wait), file=sys.stderr)
        sys.exit(75)
    with holder:
        sys.exit(subprocess.run(command).returncode)


if __name__ == "__main__":
    main()
