#!/usr/bin/env python3
"""Writes a tiny seed corpus for the tag reader fuzz targets into the given folder."""
import base64
import os
import struct
import sys


def syncsafe(n):
    return bytes([(n >> 21) & 0x7F, (n >> 14) & 0x7F, (n >> 7) & 0x7F, n & 0x7F])


def id3v2_tag(version, frames, flags=0, padding=16):
    body = b"".join(frames)
    return b"ID3" + bytes([version, 0, flags]) + syncsafe(len(body) + padding) + body + bytes(padding)


def frame(version, fid, content, flags=0):
    if version == 2:
        return fid + struct.pack(">I", len(content))[1:] + content
    size = syncsafe(len(content)) if version == 4 else struct.pack(">I", len(content))
    return fid + size + bytes([0, flags]) + content


def id3v1(title=b"Title", track=3, genre=17):
    b = bytearray(128)
    b[0:3] = b"TAG"
    b[3:3 + len(title)] = title
    b[97:104] = b"Comment"
    b[126] = track
    b[127] = genre
    return bytes(b)


def lyrics3(fields):
    body = b"LYRICSBEGIN" + b"".join(k + b"%05d" % len(v) + v for k, v in fields)
    return body + b"%06d" % len(body) + b"LYRICS200"


def ape(items, header=True, version=2000):
    data = b"".join(struct.pack("<II", len(v), f) + k + b"\0" + v for k, v, f in items)
    size = len(data) + 32
    rec = lambda flags: b"APETAGEX" + struct.pack("<IIII", version, size, len(items), flags) + bytes(8)
    return (rec(0xA0000000) if header else b"") + data + rec(0x80000000 if header else 0)


def wav(trailer=b""):
    data = bytes(range(64))
    fmt = b"fmt " + struct.pack("<IHHIIHH", 16, 1, 1, 8000, 16000, 2, 16)
    riff = b"WAVE" + fmt + b"data" + struct.pack("<I", len(data)) + data
    return b"RIFF" + struct.pack("<I", len(riff)) + riff + trailer


def wav_trailer(fields, track):
    text = b"".join(f + b"\0" for f in fields)
    return text + struct.pack("<II", track, len(text) + 12) + b"W3DI"


def flac_block(btype, data, last=False):
    return bytes([btype | (0x80 if last else 0)]) + struct.pack(">I", len(data))[1:] + data


def vorbis_comments(vendor, comments):
    return (struct.pack("<I", len(vendor)) + vendor + struct.pack("<I", len(comments))
            + b"".join(struct.pack("<I", len(c)) + c for c in comments))


def flac(blocks, samples=4410):
    # STREAMINFO: block sizes, frame sizes, 44100 Hz, 2 channels, 16 bits, sample count, MD5.
    info = struct.pack(">HH", 4096, 4096) + bytes(6)
    packed = (44100 << 44) | (1 << 41) | (15 << 36) | samples
    info += packed.to_bytes(8, "big") + bytes(16)
    out = b"fLaC" + flac_block(0, info, last=not blocks)
    for i, (t, d) in enumerate(blocks):
        out += flac_block(t, d, last=i == len(blocks) - 1)
    return out + b"\xff\xf8" + audio


def ogg_crc(data):
    crc = 0
    for b in data:
        crc ^= b << 24
        for _ in range(8):
            crc = ((crc << 1) ^ 0x04C11DB7) if crc & 0x80000000 else crc << 1
            crc &= 0xFFFFFFFF
    return crc


def ogg_page(packets, seq, granule=0, flags=0, serial=0x1234, last_open=False):
    lacing, data = b"", b""
    for i, p in enumerate(packets):
        n = len(p)
        lacing += b"\xff" * (n // 255)
        if not (last_open and i == len(packets) - 1):
            lacing += bytes([n % 255])
        data += p
    head = b"OggS\0" + bytes([flags]) + struct.pack("<qIII", granule, serial, seq, 0) + bytes([len(lacing)])
    page = head + lacing + data
    crc = ogg_crc(page)
    return page[:22] + struct.pack("<I", crc) + page[26:]


def vorbis(comment_packet, tail=b""):
    ident = b"\x01vorbis" + struct.pack("<IBIiiiBB", 0, 2, 44100, 0, 128000, 0, 0xB8, 1)
    setup = b"\x05vorbis" + bytes(40)
    return (ogg_page([ident], 0, flags=2) + ogg_page([comment_packet, setup], 1)
            + ogg_page([audio[:100]], 2, granule=44100, flags=4) + tail)


def cda(track, serial, start, length):
    msf = lambda s: bytes([s % 75, s // 75 % 60, s // 4500, 0])
    return (b"RIFF" + struct.pack("<I", 36) + b"CDDAfmt " + struct.pack("<IHHIII", 24, 1, track, serial, start, length)
            + msf(start + 150) + msf(length))


def wavpack_v3(flags, bits=0, samples=4410):
    # The old encoder's header right after the data chunk's header.
    head = b"wvpk" + struct.pack("<IHHHHI", 24, 3, bits, flags, 0, samples) + bytes(12)
    fmt = b"fmt " + struct.pack("<IHHIIHH", 16, 1, 2, 44100, 176400, 4, 16)
    riff = b"WAVE" + fmt + b"data" + struct.pack("<I", len(head) + 64) + head + bytes(64)
    return b"RIFF" + struct.pack("<I", len(riff)) + riff


audio = bytes((i * 37) & 0xFF for i in range(200))
comments = vorbis_comments(b"reference libFLAC 1.4.2", [b"TITLE=t", b"artist=a", b"ARTIST=b"])
vcomment = b"\x03vorbis" + vorbis_comments(b"Xiph", [b"TITLE=t", b"TRACKNUMBER=3/9", b"PERFORMER=p"]) + b"\x01"
vlong = b"\x03vorbis" + vorbis_comments(b"Xiph", [b"COMMENT=" + b"c" * 300, b"TITLE=t"]) + b"\x01"
seeds = {
    "FuzzID3v2": {
        "v22": id3v2_tag(2, [frame(2, b"TT2", b"\0Title"), frame(2, b"COM", b"\0eng\0Hi")]) + audio,
        "v23": id3v2_tag(3, [frame(3, b"TIT2", b"\x01\xff\xfeT\0i\0"), frame(3, b"TRCK", b"\x003/9"),
                             frame(3, b"COMM", b"\0eng\0c"), frame(3, b"WXXX", b"\0\0http://a/")]) + audio,
        "v23unsync": id3v2_tag(3, [frame(3, b"TIT2", b"\0a\xff\0b")], flags=0xC0)[:10]
        + b"\0\0\0\x06" + bytes(6) + frame(3, b"TIT2", b"\0a\xff\0b") + audio,
        "v24": id3v2_tag(4, [frame(4, b"TIT2", b"\x03Tit\xc3\xa9"), frame(4, b"TCON", b"\0(17)Rock"),
                             frame(4, b"TPE1", bytes(4) + b"\0x\xff\0y", 0x03)], flags=0x10) + b"3DI" + bytes(7),
        "empty": b"",
    },
    "FuzzID3v1": {
        "tag": audio + id3v1(),
        "lyrics": audio + lyrics3([(b"IND", b"10"), (b"LYR", b"a\rb\r\nc"), (b"ETT", b"T" * 40), (b"AUT", b"Au")]) + id3v1(),
        "lyricsonly": audio + lyrics3([(b"EAR", b"Artist")]),
        "badsize": audio + b"999999LYRICS200" + id3v1(),
    },
    "FuzzAPETag": {
        "v2": audio + ape([(b"Title", b"T", 0), (b"Artist", b"A", 0), (b"Cover", b"\0\1", 2)]),
        "v2id3": audio + ape([(b"Title", b"T", 0)]) + id3v1(),
        "v1": audio + ape([(b"Title", b"T", 0)], header=False, version=1000),
        "short": b"APETAGEX",
        # A footer ending 128 bytes before the end, in front of "TAG", inside a later tag.
        "lookalike": base64.b64decode(
            "ACWeb5S53gP51/whRmuWu+AFKk90mb5wlbrfBClOc5i94gcsACVKb54DKE1yl7zhBitQdWCav1RtAAAAgGOXAsgAEAAAAABU"
            "QUdUaXRsAABlAAAAAAAAAAAAX2l0bKEAVEFQRVRBR0VY6AMAAC8AAAAAAAAAAAAAAAAAAABDbwIAVEFHACVKb5QDKE1yl7zh"
            "BitQdWCav1RtAEVY0AAAgGOXAsgAEAAHAABPAAAAVA=="),
    },
    "FuzzWavFile": {
        "plain": wav(),
        "trailer": wav(wav_trailer([b"Title", b"Artist", b"", b"1999", b"Rock", b"Comment"], 4)),
        "junk": wav(b"LIST\4\0\0\0INFO"),
        "notriff": b"RIFX" + wav()[4:],
    },
    "FuzzFLACfile": {
        "padding": flac([(3, bytes(18)), (4, comments), (1, bytes(64))]),
        "nopadding": flac([(4, comments)]),
        "picture": flac([(4, comments), (6, b"\0\0\0\3" + bytes(40)), (1, bytes(16)), (1, b"")]),
        "nocomment": flac([(1, bytes(32))]),
        "streaminfoonly": flac([]),
        "id3": id3v2_tag(3, [frame(3, b"TIT2", b"\0x")]) + flac([(4, comments), (1, bytes(8))]),
    },
    "FuzzOggVorbis": {
        "plain": vorbis(vcomment),
        "id3": id3v2_tag(3, [frame(3, b"TIT2", b"\0x")]) + vorbis(vcomment),
        "spanning": ogg_page([b"\x01vorbis" + struct.pack("<IBIiiiBB", 0, 1, 8000, 0, 32000, 0, 0xB8, 1)], 0, flags=2)
        + ogg_page([vlong[:255]], 1, granule=-1, last_open=True)
        + ogg_page([vlong[255:]], 2, flags=1) + ogg_page([audio], 3, granule=8000, flags=4),
        "spanningsetup": ogg_page([b"\x01vorbis" + struct.pack("<IBIiiiBB", 0, 1, 8000, 0, 32000, 0, 0xB8, 1)], 0, flags=2)
        + ogg_page([vlong[:255]], 1, granule=-1, last_open=True)
        + ogg_page([vlong[255:], b"\x05vorbis" + bytes(20)], 2, flags=1)
        + ogg_page([audio], 3, granule=8000) + ogg_page([audio[:50]], 4, granule=9000, flags=4),
    },
    "FuzzCDAtrack": {
        "named": cda(3, 0x1234ABCD, 17000, 13500)
        + b"\xef\xbb\xbf[1234ABCD]\r\nartist = \xc3\x84rtist\r\ntitle=Album\r\n3=Track three\r\n[Other]\r\n3=x\r\n",
        "later": cda(1, 0xFF, 0, 1) + b"; comment\n[ff]\n1=a\n[FF]\n1=b\n",
        "norecord": b"RIFF" + bytes(40) + b"[0]\n0=x\n",
        "short": cda(1, 1, 0, 1)[:30],
    },
    "FuzzWAVPackfile": {
        "v3fast": wavpack_v3(0x0),
        "v3high": wavpack_v3(0x10 | 0x8000),
        "v3hybrid": wavpack_v3(0x400 | 0x80 | 0x1, bits=4),
        "v3lossy": wavpack_v3(0x1, bits=3),
    },
}

out = sys.argv[1]
for target, files in seeds.items():
    d = os.path.join(out, target)
    os.makedirs(d, exist_ok=True)
    for name, data in files.items():
        with open(os.path.join(d, name), "wb") as f:
            f.write(data)
