"""Reads RIFF WAVE files as floats: 16, 24 and 32-bit integer PCM and 32-bit
float, plain or WAVE_FORMAT_EXTENSIBLE (what Ardour's exporter writes)."""
import struct

PCM = 1
FLOAT = 3
EXTENSIBLE = 0xFFFE


def _chunks(data):
    pos = 12
    while pos + 8 <= len(data):
        ident, size = struct.unpack_from("<4sI", data, pos)
        yield ident, data[pos + 8:pos + 8 + size]
        pos += 8 + size + (size & 1)


def _decode(body, tag, bits):
    if tag == FLOAT and bits == 32:
        return list(struct.unpack("<%df" % (len(body) // 4), body[:len(body) // 4 * 4]))
    if tag == PCM and bits in (16, 24, 32):
        width = bits // 8
        scale = float(1 << (bits - 1))
        return [int.from_bytes(body[i:i + width], "little", signed=True) / scale
                for i in range(0, len(body) - width + 1, width)]
    raise ValueError("unsupported WAV sample format %d with %d bits" % (tag, bits))


def read_wav(path):
    """Returns (sample rate, [samples of channel 0, channel 1, ...])."""
    with open(path, "rb") as f:
        data = f.read()
    if data[:4] != b"RIFF" or data[8:12] != b"WAVE":
        raise ValueError("%s is not a RIFF WAVE file" % path)
    fmt = body = None
    for ident, chunk in _chunks(data):
        if ident == b"fmt ":
            fmt = chunk
        elif ident == b"data":
            body = chunk
    if fmt is None or body is None:
        raise ValueError("%s has no fmt or data chunk" % path)
    tag, channels, rate = struct.unpack_from("<HHI", fmt, 0)
    bits = struct.unpack_from("<H", fmt, 14)[0]
    if tag == EXTENSIBLE:
        tag = struct.unpack_from("<H", fmt, 24)[0]
    samples = _decode(body, tag, bits)
    return rate, [samples[c::channels] for c in range(channels)]
