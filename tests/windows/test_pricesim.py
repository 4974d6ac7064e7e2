"""Tests of the simulated price-computing scale: its parser, answers, memory
and the hand-over to the weighing scale at other rates."""

import unittest

import scalesim
from pricesim import PriceParser, PriceScaleModel, check_byte
from simtest import DeviceTestMixin, FakeClock, hex_tokens

OPEN = bytes.fromhex("11000000" "00ef")
PRICE = bytes.fromhex("77f9000004000004e2a6")


def request(address, count=4):
    head = bytes((0x55, 0xF9, address >> 8, address & 0xFF, count))
    return head + bytes((check_byte(head),))


class ParserTest(unittest.TestCase):
    def tokens(self, chunks, idle=False):
        return hex_tokens(PriceParser(), chunks, idle)

    def test_inputs_are_told_apart_by_their_first_byte_and_length(self):
        broken = bytearray(PRICE)
        broken[-1] ^= 1
        stream = b"\x44" + OPEN + b"\x01\xfe" + PRICE + request(0xE0) + bytes(broken) + b"\x05\x12"
        self.assertEqual(
            self.tokens([stream]),
            [
                ("cmd", "44"),
                ("frame", OPEN.hex()),
                ("short", "01fe"),
                ("frame", PRICE.hex()),
                ("request", request(0xE0).hex()),
                ("badframe", broken.hex()),
                ("cmd", "05"),
                ("cmd", "12"),
            ],
        )

    def test_frames_in_single_bytes_come_once_and_incomplete_ones_are_given_up(self):
        self.assertEqual(self.tokens([bytes((b,)) for b in PRICE]), [("frame", PRICE.hex())])
        self.assertEqual(self.tokens([PRICE[:4]]), [])
        self.assertEqual(self.tokens([PRICE[:4]], idle=True), [("raw", "77"), ("raw", "f9"), ("raw", "00"),
                                                               ("raw", "00")])


class ModelTest(DeviceTestMixin, unittest.TestCase):
    def setUp(self):
        self.sent = []
        self.pauses = []
        self.clock = FakeClock()
        self.device = PriceScaleModel(self.sent.append, self.clock, self.pauses.append)


    def test_default_answers(self):
        broken = bytearray(OPEN)
        broken[-1] ^= 1
        for data in (b"\x44", OPEN, b"\x01\xfe", bytes(broken), b"\x7f"):
            self.receive(data)
        self.assertEqual(self.answers(), ["06", "06", "06", "15"])

    def test_configured_replies_in_turn(self):
        self.control("ON 44 SILENT 15 aa 02")
        for _ in range(5):
            self.receive(b"\x44")
        self.assertEqual(self.answers(), ["15", "aa", "02", "02"])
        self.control("ON 44 DEFAULT")
        self.receive(b"\x44")
        self.assertEqual(self.answers(), ["06"])

    def test_writes_fill_the_memory_that_requests_read(self):
        slot2 = bytes.fromhex("030186a0")
        write = bytes((0x77, 0xF9, 0x00, 0xE4, 0x04)) + slot2
        self.receive(write + bytes((check_byte(write),)))
        self.receive(PRICE)
        self.receive(request(0xE4))
        reply = bytes.fromhex(self.answers()[-1])
        self.assertEqual(reply, b"\x06" + request(0xE4)[:5] + slot2 + bytes((check_byte(request(0xE4)[:5] + slot2),)))
        self.assertEqual(self.control("MEMORY 0000 4"), "MEMORY 000004e2")
        self.assertEqual(self.control("TABLE")[6 + 8 : 6 + 16], slot2.hex())

        # A refused write changes nothing; a refused request gets no data.
        self.control("ON 77 15")
        self.control("ON 55 aa")
        zero = bytes((0x77, 0xF9, 0x00, 0xE4, 0x04, 0, 0, 0, 0))
        self.receive(zero + bytes((check_byte(zero),)))
        self.receive(request(0xE4))
        self.assertEqual(self.answers(), ["15", "aa"])
        self.assertEqual(self.control("MEMORY 00e4 4"), "MEMORY " + slot2.hex())

    def test_table_is_set_whole(self):
        table = bytes(range(256)) + bytes(24)
        self.control("TABLE " + table.hex())
        self.receive(request(0x01F4))
        self.assertEqual(bytes.fromhex(self.answers()[0])[6:10], table[-4:])
        with self.assertRaises(ValueError):
            self.device.command(["TABLE", "0011"])

    def test_bytes_before_the_answer_go_on_their_own(self):
        self.control("BEFORE 11 530504d2")
        self.receive(OPEN)
        self.assertEqual(self.answers(), ["530504d2", "06"])
        self.assertEqual(self.pauses, [0.1])
        self.control("BEFORE 11 OFF")
        self.receive(OPEN)
        self.assertEqual(self.answers(), ["06"])

    def test_log_is_timed_and_other_rates_go_to_the_weighing_scale(self):
        self.receive(b"\x44", after_ms=10)
        self.receive(OPEN, after_ms=5)
        tare = scalesim.build_frame(0, 0x80040000)
        self.receive(tare, baud=19200, after_ms=5)
        self.assertEqual(self.control("LOG"), "LOG 10:9600:cmd:44;15:9600:frame:" + OPEN.hex())
        self.assertEqual(self.device.weighing.command(["LOG"]), "LOG 20:19200:frame:" + tare.hex())
        self.assertEqual(self.answers(), ["06", "06", scalesim.build_frame(0, 0x800E0000).hex()])
        self.device.clear()
        self.assertEqual(self.control("LOG"), "LOG")
        self.assertEqual(self.device.weighing.command(["LOG"]), "LOG")

    def test_malformed_commands_are_refused(self):
        self.assert_refused(("ON 4 06", "ON 44 07", "ON 44", "BEFORE 444 00", "NOPE"))


if __name__ == "__main__":
    unittest.main()
