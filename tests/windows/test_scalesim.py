"""Tests of the simulated scale: its frames, its stream parser and its answers."""

import time
import unittest

import scalesim
from scalesim import ScaleModel, StreamParser, build_frame, build_is1, crc16_xmodem
from simtest import DeviceTestMixin, FakeClock, hex_tokens

TARE = bytes.fromhex("ab0001e2408004000000000052")


class FrameTest(unittest.TestCase):
    def test_known_frames(self):
        cases = [
            # ECR ID, code, packet, data, expected frame
            (123456, 0x80040000, 0, b"", "ab" "0001e240" "80040000" "00" "0000" "52"),
            (123456, 0xA0030000, 1, b"", "ab" "e240" "0000" "a003" "01" "00" "01" "0000" "72"),
            (123456, 0x50210000, 0, b"", "aa" "0001e240" "50210000" "00" "0000" "3e"),
            (0x1_0000_0005, 0x80040000, 0, b"", "ab" "00000005" "80040000" "00" "0000" "34"),
            (1, 0x80110000, 2, b"123456789", "ab" "00000001" "80110000" "02" "0009" "48" "313233343536373839"
             "31c3"),
        ]
        for ecr_id, code, packet, data, expected in cases:
            with self.subTest(code=hex(code), ecr_id=ecr_id):
                self.assertEqual(build_frame(ecr_id, code, data, packet).hex(), expected)

    def test_crc_check_value(self):
        self.assertEqual(crc16_xmodem(b"123456789"), 0x31C3)

    def test_is1_frame_carries_its_block_check(self):
        frame = scalesim.build_is1("S", " ", "  1.25", "kg", 0x20)
        self.assertEqual(frame.hex(), "0102" "5320" "2020312e3235" "6b67" "67" "0304" "20")


class ParserTest(unittest.TestCase):
    def tokens(self, chunks, idle=False):
        return hex_tokens(StreamParser(), chunks, idle)

    def test_frame_split_into_single_bytes_comes_once(self):
        frame = build_frame(7, 0x80110000, b"\x11\xab\x05")
        self.assertEqual(self.tokens([bytes((b,)) for b in frame]), [("frame", frame.hex())])

    def test_garbage_and_broken_headers_are_skipped(self):
        broken = bytearray(TARE)
        broken[12] ^= 1
        tokens = self.tokens([b"\x00\xab\x7f" + bytes(broken) + TARE])
        self.assertEqual(tokens[-1], ("frame", TARE.hex()))
        self.assertTrue(all(kind == "raw" for kind, _ in tokens[:-1]))
        self.assertEqual("".join(data for _, data in tokens[:-1]), "00ab7f" + broken.hex())

    def test_wrong_crc_is_a_bad_frame(self):
        frame = bytearray(build_frame(7, 0x80110000, b"abc"))
        frame[-1] ^= 0xFF
        self.assertEqual(
            self.tokens([bytes(frame), TARE]), [("badframe", frame.hex()), ("frame", TARE.hex())]
        )

    def test_incomplete_frame_is_given_up_when_idle(self):
        self.assertEqual(self.tokens([TARE[:5]]), [])
        tokens = self.tokens([TARE[:5]], idle=True)
        self.assertEqual([kind for kind, _ in tokens], ["raw"] * 5)

    def test_weight_requests_and_the_raw_writes_that_contain_0x11(self):
        ad_request = "44110000" "0000ef55" "38000002" "71"
        cases = [
            ("11", [("is1req", "11")]),
            ("0511", [("is1req", "0511")]),
            ("05", []),
            ("114144", [("raw", "114144")]),
            ("115441", [("raw", "115441")]),
            ("114111", [("is1req", "11"), ("raw", "41"), ("is1req", "11")]),
            (ad_request, [("raw", ad_request)]),
            ("44" + ad_request, [("raw", "44"), ("raw", ad_request)]),
        ]
        for stream, expected in cases:
            with self.subTest(stream=stream):
                self.assertEqual(self.tokens([bytes.fromhex(stream)]), expected)


class ModelTest(DeviceTestMixin, unittest.TestCase):
    def setUp(self):
        self.sent = []
        self.clock = FakeClock()
        self.device = ScaleModel(self.sent.append, self.clock)
        self.control("ID 123456")


    def ack(self, packet=0):
        return build_frame(123456, 0x800E0000, packet=packet).hex()

    def test_commands_get_their_configured_replies_in_turn(self):
        self.control("ON 80040000 ACK REFUSE 0x1205")
        for _ in range(3):
            self.receive(TARE)
        refusal = build_frame(123456, 0x800D1205).hex()
        self.assertEqual(self.answers(), [self.ack(), refusal, refusal])

    def test_bytes_first_go_just_before_the_answer_of_their_reply(self):
        is1 = build_is1("S", " ", "  3.00", "kg")
        self.control("ON 80040000 FIRST " + is1.hex() + " ACK SILENT FIRST 0102 SILENT ACK")
        for _ in range(4):
            self.receive(TARE)
        self.assertEqual(self.answers(), [is1.hex() + self.ack(), "0102", self.ack()])
        with self.assertRaises(ValueError):
            self.control("ON 80040000 ACK FIRST 01")

    def test_default_replies(self):
        zero = build_frame(123456, 0x80030000)
        read_weight = build_frame(123456, 0x80020000)
        unknown = build_frame(123456, 0x12340000)
        for frame in (zero, read_weight, unknown):
            self.receive(frame)
        self.assertEqual(self.answers(), [self.ack()])

    def test_data_reply_carries_the_code_and_the_packet(self):
        self.control("ON a0030000 DATA 00000007 SILENT")
        self.control("ON 911c0000 DATA 313233")
        self.receive(build_frame(123456, 0xA0030000, packet=1))
        self.receive(build_frame(123456, 0xA0030000, packet=2))
        self.receive(build_frame(123456, 0x911C0000))
        self.assertEqual(
            self.answers(),
            [
                build_frame(123456, 0xA0030000, b"\0\0\0\7", 1).hex(),
                build_frame(123456, 0x911C0000, b"123").hex(),
            ],
        )

    def test_answers_only_at_its_rate_and_follows_set_baud(self):
        self.control("RATE 38400")
        self.control("ON 80000000 REFUSE 1 ACK")
        set_baud_9600 = build_frame(123456, 0x80000C00)
        for baud in (9600, 115200, 38400, 38400):
            self.receive(set_baud_9600, baud)
        self.assertEqual(self.answers(), [build_frame(123456, 0x800D0001).hex(), self.ack()])
        self.receive(TARE, 38400)
        self.assertEqual(self.answers(), [])
        self.receive(TARE, 9600)
        self.assertEqual(self.answers(), [self.ack()])
        log = self.control("LOG")
        bauds = [entry.split(":")[1] for entry in log[4:].split(";")]
        self.assertEqual(bauds, ["9600", "115200", "38400", "38400", "38400", "9600"])

    def test_weight_request_gets_the_is1_frame(self):
        self.receive(b"\x11")
        self.assertEqual(self.answers(), [])
        frame = self.control("IS1TEXT S _ __1.25 kg").split()[1]
        self.receive(b"\x05\x11")
        self.receive(b"\x11")
        self.control("IS1 OFF")
        self.receive(b"\x11")
        self.assertEqual(self.answers(), [frame, frame])

    def test_echo_and_raw_replies_answer_as_soon_as_the_request_is_complete(self):
        self.control("ECHO ON")
        self.control("REPLY 3c544b3e09 " + self.ack())
        self.receive(b"PEL")
        self.receive(b"QO")
        self.receive(scalesim.HANDSHAKE[1])
        self.receive(b"\x7f<TK>\t")
        self.assertEqual(self.answers(), ["50454c514f", scalesim.HANDSHAKE[1].hex(), self.ack()])
        entries = self.control("LOG").split(";")
        self.assertEqual([entry.split(":", 2)[2] for entry in entries], [
            "raw:50454c514f", "raw:" + scalesim.HANDSHAKE[1].hex(), "raw:7f3c544b3e09"])

    def test_log_entries_are_timed_and_raw_runs_end_when_idle(self):
        self.receive(b"<ZQ>\t", after_ms=10)
        self.clock.now += 0.2
        self.device.idle(9600)
        self.receive(b"\x11", baud=19200, after_ms=5)
        self.receive(TARE[:7], baud=19200, after_ms=5)
        self.receive(TARE[7:], baud=19200, after_ms=5)
        self.assertEqual(
            self.control("LOG"),
            "LOG 10:9600:raw:3c5a513e09;215:19200:is1req:11;225:19200:frame:" + TARE.hex(),
        )
        self.device.clear()
        self.assertEqual(self.control("LOG"), "LOG")

    def test_push_and_frame_builder(self):
        frame = self.control("FRAME 83000000 01020304 5").split()[1]
        self.assertEqual(frame, build_frame(123456, 0x83000000, b"\1\2\3\4", 5).hex())
        self.control("PUSH " + frame)
        self.assertEqual(self.answers(), [frame])

    def test_stream_sends_numbered_weight_frames_until_it_is_ended(self):
        self.control("STREAM 3 1")
        deadline = time.monotonic() + 5
        while len(self.sent) < 3 and time.monotonic() < deadline:
            time.sleep(0.01)
        expected = [build_is1("S", " ", "%6d" % n, "kg").hex() for n in (1, 2, 3)]
        self.assertEqual(self.answers(), expected)
        self.control("STREAM 5 50")
        self.control("RESET")
        time.sleep(0.3)
        self.assertEqual(self.answers(), [])

    def test_malformed_commands_are_refused(self):
        self.assert_refused(
            ("ON 8004 ACK", "ON 80040000 MAYBE", "ON 80040000", "IS1TEXT S _ 1.25 kg", "STREAM 5", "STREAM -1 5", "NOPE")
        )


if __name__ == "__main__":
    unittest.main()
