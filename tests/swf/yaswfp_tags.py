"""Lists the tags of an SWF file as Debian's yaswfp parses them, one line per tag:
<kind> <name> <payload bytes>. A tag yaswfp knows whose body it read short or long shows
as kind FailingObject; one it doesn't know as UnknownObject with its raw bytes."""
import sys

from yaswfp import swfparser

with open(sys.argv[1], "rb") as f:
    parser = swfparser.SWFParser(f)
    rest = f.read()
h = parser.header
print("header", h.Version, h.FileLength, h.FrameRate, h.FrameCount, len(rest))
for tag in parser.tags:
    kind = type(tag).__name__
    payload = getattr(tag, "raw_payload", b"")
    print(kind, tag.name, len(payload))
