"""Compresses one file into a zlib stream: deflate.py LEVEL INPUT OUTPUT.

Streams in pieces so memory stays small; the output appears only when complete.
"""
import os
import sys
import zlib

level, source, target = int(sys.argv[1]), sys.argv[2], sys.argv[3]
partial = target + ".partial"
compressor = zlib.compressobj(level)
with open(source, "rb") as inp, open(partial, "wb") as out:
    while piece := inp.read(1 << 22):
        out.write(compressor.compress(piece))
    out.write(compressor.flush())
os.replace(partial, target)
