"""Fixtures for the Python binding's tests: the BASS-compatible engine
(libbass.so, found on LD_LIBRARY_PATH as ctest sets it) and a decode
stream of a stereo sine pulled block by block on the test's thread."""

import ctypes
import math
import os
import sys

import pytest

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), ".."))

import talven  # noqa: E402

SAMPLE_FLOAT, STREAM_DECODE = 256, 0x200000
STREAMPROC = ctypes.CFUNCTYPE(ctypes.c_uint32, ctypes.c_uint32, ctypes.c_void_p, ctypes.c_uint32, ctypes.c_void_p)
ZAM = "/usr/lib/vst3/ZamCompX2.vst3"


def load_bass():
    bass = ctypes.CDLL("libbass.so")
    bass.BASS_StreamCreate.argtypes = [ctypes.c_uint32, ctypes.c_uint32, ctypes.c_uint32, STREAMPROC, ctypes.c_void_p]
    bass.BASS_StreamCreateFile.argtypes = [ctypes.c_int, ctypes.c_char_p, ctypes.c_uint64, ctypes.c_uint64,
                                           ctypes.c_uint32]
    bass.BASS_ChannelGetPosition.restype = ctypes.c_uint64
    return bass


def dry(frame, channel):
    """Frame's sample: 440 Hz left, 660 Hz right, amplitude 0.5 at 48 kHz."""
    return 0.5 * math.sin(2 * math.pi * (440.0 if channel == 0 else 660.0) * frame / 48000.0)


class SineChannel:
    FRAMES = 1024

    def __init__(self, bass):
        self.bass = bass
        self.frame = 0
        self._proc = STREAMPROC(self._fill)
        self.handle = bass.BASS_StreamCreate(48000, 2, SAMPLE_FLOAT | STREAM_DECODE, self._proc, None)
        assert self.handle

    def _fill(self, handle, buffer, length, user):
        frames = length // 8
        block = (ctypes.c_float * (frames * 2)).from_address(buffer)
        for j in range(frames):
            block[2 * j] = dry(self.frame + j, 0)
            block[2 * j + 1] = dry(self.frame + j, 1)
        self.frame += frames
        return length

    def pull(self):
        """(first frame, samples) of the next block."""
        first = self.frame
        block = (ctypes.c_float * (2 * self.FRAMES))()
        assert self.bass.BASS_ChannelGetData(self.handle, block, ctypes.sizeof(block)) == ctypes.sizeof(block)
        return first, list(block)


def rms(samples):
    return math.sqrt(sum(s * s for s in samples) / len(samples))


@pytest.fixture(scope="session")
def bass():
    talven.set_trace(False)
    bass = load_bass()
    assert bass.BASS_Init(0, 48000, 0, None, None)
    yield bass
    bass.BASS_Free()


@pytest.fixture
def channel(bass):
    sine = SineChannel(bass)
    yield sine
    bass.BASS_StreamFree(sine.handle)
