#!/usr/bin/env python3
# Shrinks a 3DS file of the generator's form (main > 0x0002, editor > 0x3D3E, object > mesh >
# vertices, faces, mapping) to its first N vertices and the faces among them, keeping every
# other chunk, so the fuzz corpus holds the generator's real layout in a few hundred bytes.
# Usage: shrink_3ds.py IN OUT [N]
import struct, sys

def chunks(data, start, end):
    while start + 6 <= end:
        cid, length = struct.unpack_from('<HI', data, start)
        yield cid, data[start + 6:start + length]
        start += length

def chunk(cid, payload):
    return struct.pack('<HI', cid, len(payload) + 6) + payload

def shrink(cid, payload, keep):
    if cid in (0x4D4D, 0x3D3D, 0x4100):
        return chunk(cid, b''.join(shrink(c, p, keep) for c, p in chunks(payload, 0, len(payload))))
    if cid == 0x4000:
        name = payload[:payload.index(b'\0') + 1]
        rest = payload[len(name):]
        return chunk(cid, name + b''.join(shrink(c, p, keep) for c, p in chunks(rest, 0, len(rest))))
    if cid == 0x4110:
        n = min(keep, struct.unpack_from('<H', payload)[0])
        return chunk(cid, struct.pack('<H', n) + payload[2:2 + 12 * n])
    if cid == 0x4140:
        n = min(keep, struct.unpack_from('<H', payload)[0])
        return chunk(cid, struct.pack('<H', n) + payload[2:2 + 8 * n])
    if cid == 0x4120:
        n = struct.unpack_from('<H', payload)[0]
        faces = [payload[2 + 8 * i:10 + 8 * i] for i in range(n)]
        kept = [f for f in faces if max(struct.unpack('<HHHH', f)[:3]) < keep]
        return chunk(cid, struct.pack('<H', len(kept)) + b''.join(kept) + payload[2 + 8 * n:])
    return chunk(cid, payload)

data = open(sys.argv[1], 'rb').read()
keep = int(sys.argv[3]) if len(sys.argv) > 3 else 12
cid, payload = next(chunks(data, 0, len(data)))
open(sys.argv[2], 'wb').write(shrink(cid, payload, keep))
