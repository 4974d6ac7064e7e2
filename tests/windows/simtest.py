"""Helpers shared by the tests of the simulated devices."""


class FakeClock:
    """A clock that stands still until a test moves now (seconds)."""

    def __init__(self):
        self.now = 100.0

    def __call__(self):
        return self.now


def hex_tokens(parser, chunks, idle=False):
    """The (kind, hex) tokens that parser makes of chunks, and of what waits
    when idle is set."""
    tokens = []
    for chunk in chunks:
        tokens += parser.feed(chunk)
    if idle:
        tokens += parser.idle()
    return [(kind, data.hex()) for kind, data in tokens]


class DeviceTestMixin:
    """Steers the device under test, self.device, whose answers go to
    self.sent and whose clock is self.clock."""

    def control(self, command):
        reply = self.device.command(command.split())
        self.assertFalse(reply.startswith("ERR"), reply)
        return reply

    def receive(self, data, baud=9600, after_ms=1):
        self.clock.now += after_ms / 1000.0
        self.device.received(data, baud)

    def answers(self):
        """What the device sent since the last call, as hex."""
        answers = [data.hex() for data in self.sent]
        self.sent.clear()
        return answers

    def assert_refused(self, commands):
        """Each control command is answered with an error or raises."""
        for command in commands:
            with self.subTest(command=command):
                try:
                    reply = self.device.command(command.split())
                except (ValueError, IndexError):
                    continue
                self.assertTrue(reply.startswith("ERR"), reply)
