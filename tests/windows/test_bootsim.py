"""Tests of the simulated boot loader: its frames, its stream parser, its
answers and its hand-over with the scale."""

import unittest

import bootsim
import scalesim
from bootsim import BootLoaderModel, BootParser, decode_frame, encode_frame, stamped_packet
from simtest import DeviceTestMixin, FakeClock

TARE = bytes.fromhex("ab0001e2408004000000000052")


class FrameTest(unittest.TestCase):
    def test_zero_packet_is_start_299_times_80_and_end(self):
        self.assertEqual(encode_frame(bytes(261)), b"\x03" + b"\x80" * 299 + b"\x04")

    def test_top_bits_gathered_after_each_group_and_after_the_sum(self):
        packet = bytearray(261)
        packet[0] = 0x8F  # group 0, bit 0
        packet[13] = 0xFF  # group 1, bit 6
        packet[259] = 0x81  # sum low byte
        packet[260] = 0x7F  # sum high byte
        frame = encode_frame(bytes(packet))
        self.assertEqual(frame[1], 0x8F)
        self.assertEqual(frame[8], 0x81)
        self.assertEqual(frame[15], 0xFF)
        self.assertEqual(frame[16], 0xC0)
        self.assertEqual(frame[297:301], bytes((0x81, 0xFF, 0x81, 0x04)))

    def test_packets_come_back_and_a_changed_byte_fails_the_sum(self):
        packet = stamped_packet(15, 0x23, 0x01, bytes(range(256)))
        frame = bytearray(encode_frame(packet))
        self.assertEqual(decode_frame(bytes(frame)), (packet, True))
        frame[100] ^= 0x01
        self.assertFalse(decode_frame(bytes(frame))[1])

    def test_requests_by_their_first_bytes(self):
        cases = [
            ((14, 1, 0), "CONNECT"),
            ((14, 2, 0), "DISCONNECT"),
            ((14, 16, 0), "STATUS"),
            ((14, 21, 0), "CHECK"),
            ((15, 0, 0), "START"),
            ((15, 1, 0), "END"),
            ((15, 16, 0), "BLOCK"),
            ((15, 1, 1), "BLOCK"),
            ((14, 99, 0), "OTHER"),
            ((9, 0, 0), "OTHER"),
        ]
        for first, expected in cases:
            with self.subTest(first=first):
                self.assertEqual(bootsim.request_of(stamped_packet(*first)), expected)


class ParserTest(unittest.TestCase):
    def tokens(self, chunks, idle=False):
        parser = BootParser()
        tokens = []
        for when, chunk in enumerate(chunks):
            tokens += parser.feed(chunk, when, 9600)
        if idle:
            tokens += parser.idle()
        return [(kind, data.hex(), when) for kind, data, when, _ in tokens]

    def test_force_update_bursts_and_frames(self):
        frame = encode_frame(stamped_packet(14, 1, 0, b"\x34\x12"))
        self.assertEqual(
            self.tokens([b"force up", b"date" + b"\x66" * 64, frame[:10], frame[10:] + b"\x00"]),
            [("force", bootsim.FORCE_UPDATE.hex(), 0), ("burst", "66" * 64, 1), ("frame", frame.hex(), 2),
             ("raw", "00", 3)],
        )

    def test_a_burst_ends_when_the_line_goes_quiet(self):
        self.assertEqual(self.tokens([b"\x66" * 10]), [])
        self.assertEqual(self.tokens([b"\x66" * 10], idle=True), [("burst", "66" * 10, 0)])

    def test_broken_frames_and_junk_are_raw_and_a_start_byte_inside_starts_again(self):
        frame = encode_frame(stamped_packet(15, 16, 0, b"\xAA"))
        broken = bytearray(frame)
        broken[50] = 0x10
        tokens = self.tokens([b"\x03\x85\x03" + bytes(broken) + frame])
        self.assertEqual(tokens[-1], ("frame", frame.hex(), 0))
        self.assertTrue(all(kind == "raw" for kind, _, _ in tokens[:-1]))
        self.assertEqual(self.tokens([frame[:100]], idle=True)[0], ("raw", "03", 0))


class ModelTest(DeviceTestMixin, unittest.TestCase):
    def setUp(self):
        self.sent = []
        self.clock = FakeClock()
        self.device = BootLoaderModel(self.sent.append, self.clock)

    def request(self, command, sub, high=0, data=b"", baud=9600):
        self.receive(encode_frame(stamped_packet(command, sub, high, data)), baud)

    def answers(self):
        """What the device sent since the last call, as bytes."""
        answers = list(self.sent)
        self.sent.clear()
        return answers

    def test_acknowledges_by_default_and_answers_uploads_with_data(self):
        self.control("STATUS 5600")
        self.request(14, 1)
        self.request(14, 16, data=bytes(3))
        self.request(15, 16)
        status = encode_frame(stamped_packet(14, 16, 0, b"\x56\x00"))
        self.assertEqual(self.answers(), [b"\x02", status, b"\x02"])

    def test_configured_replies_in_turn_the_last_repeating(self):
        self.control("ON BLOCK ACK ACK SILENT")
        self.control("ON STATUS BADSUM 01 RAW 0255")
        for address in range(16, 20):
            self.request(15, address)
        self.request(14, 16)
        self.request(14, 16)
        bad = bytearray(stamped_packet(14, 16, 0, b"\x01"))
        bad[259] ^= 1
        self.assertEqual(self.answers(), [b"\x02", b"\x02", encode_frame(bytes(bad)), b"\x02\x55"])
        self.control("ON BLOCK DEFAULT")
        self.request(15, 20)
        self.assertEqual(self.answers(), [b"\x02"])

    def test_answers_only_at_its_rate_and_moves_to_the_announced_one(self):
        self.control("RATE 9600")
        connect = bytes(10) + b"\x02"  # byte 13 of the packet: 38400
        self.request(14, 1, data=connect, baud=19200)
        self.assertEqual(self.answers(), [])
        self.request(14, 1, data=connect, baud=9600)
        self.request(15, 0, baud=9600)
        self.request(15, 0, baud=38400)
        self.assertEqual(self.answers(), [b"\x02", b"\x02"])

    def test_frames_with_a_wrong_sum_get_nothing_and_are_logged(self):
        frame = bytearray(encode_frame(stamped_packet(15, 0, 0)))
        frame[5] ^= 0x01
        self.receive(bytes(frame))
        self.assertEqual(self.answers(), [])
        self.assertIn(":badframe:", self.control("LOG"))

    def test_log_has_time_and_rate_of_each_first_byte(self):
        self.receive(b"force update", after_ms=10)
        self.receive(b"\x66" * 64, baud=4800, after_ms=2500)
        self.receive(b"\x00\x01", baud=4800, after_ms=1000)
        self.clock.now += 0.2
        self.device.idle(9600)
        self.request(14, 2)
        entries = [entry.split(":") for entry in self.control("LOG")[4:].split(";")]
        self.assertEqual([(t, b, k) for t, b, k, _ in entries],
                         [("10", "9600", "force"), ("2510", "4800", "burst"), ("3510", "4800", "raw"),
                          ("3711", "9600", "frame")])
        self.assertEqual(entries[3][3], stamped_packet(14, 2, 0).hex())
        self.device.clear()
        self.assertEqual(self.control("LOG"), "LOG")

    def test_scale_hands_the_line_to_the_boot_loader_and_gets_it_back_after_the_end(self):
        self.device.scale.command(["ID", "123456"])
        ack = scalesim.build_frame(123456, 0x800E0000)
        self.receive(TARE)
        self.assertEqual(self.answers(), [ack])
        self.receive(b"force update")
        self.receive(TARE)
        self.request(15, 0)
        self.assertEqual(self.answers(), [b"\x02"])
        self.request(15, 1)
        self.receive(TARE)
        self.assertEqual(self.answers(), [b"\x02", ack])

        self.request(14, 1)
        self.receive(TARE)
        self.control("LEAVE")
        self.receive(TARE)
        self.assertEqual(self.answers(), [b"\x02", ack])
        scale_log = self.device.scale.command(["LOG"])
        self.assertEqual(scale_log.count(":frame:"), 3)

    def test_malformed_commands_are_refused(self):
        self.assert_refused(("ON NOTHING ACK", "ON BLOCK MAYBE", "ON BLOCK", "NOPE", "STATUS zz"))


if __name__ == "__main__":
    unittest.main()
