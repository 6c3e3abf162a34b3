"""Taking installer files apart and putting them together again, for tests that
need a file the builder would never write (a payload moved, tampered or grafted
onto another stub)."""
import gzip
import hashlib
import struct
import zlib

MAGIC = bytes(0xA3 - i for i in range(8))
HEADER_SIZE = 1024
FIRST_OFFSET = 204800


class Installer:
    def __init__(self, data):
        self.data = bytes(data)
        for offset in range(FIRST_OFFSET, len(self.data) - 20, 1024):
            if self.data[offset:offset + 8] == MAGIC:
                self.offset = offset
                self.stub_length, self.setuplen, self.headersize = struct.unpack_from("<III", self.data, offset + 8)
                return
        raise ValueError("no payload header")

    @property
    def digest_offset(self):
        return self.headersize + self.setuplen

    @property
    def stub(self):
        return self.data[:self.stub_length]

    @property
    def member(self):
        return self.data[self.offset + 20:self.digest_offset]

    def stream(self):
        return zlib.decompress(self.member, 31)


def assemble(stub, stream, payload_offset=None, level=6):
    """An installer of `stub` carrying `stream` (the decompressed payload)."""
    if payload_offset is None:
        payload_offset = max(FIRST_OFFSET, (len(stub) + 1023) // 1024 * 1024)
    member = gzip.compress(stream, compresslevel=level, mtime=0)
    body = stub + bytes(payload_offset - len(stub))
    setuplen = payload_offset + 20 + len(member) - HEADER_SIZE
    body += MAGIC + struct.pack("<III", len(stub), setuplen, HEADER_SIZE) + member
    return body + hashlib.md5(body[HEADER_SIZE:]).digest()


def split_stream(stream):
    """The manifest text and the records (sizes and bytes) of a payload stream."""
    (length,) = struct.unpack_from("<I", stream, 0)
    manifest = stream[4:4 + length]
    records, at = [], 4 + length
    while at < len(stream):
        (size,) = struct.unpack_from("<I", stream, at)
        records.append(stream[at + 4:at + 4 + size])
        at += 4 + size
    return manifest, records


def join_stream(manifest, records):
    out = struct.pack("<I", len(manifest)) + manifest
    for record in records:
        out += struct.pack("<I", len(record)) + record
    return out


def signature_of(stub):
    return stub[23040:23056].hex().upper().encode()
