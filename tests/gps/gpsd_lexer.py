# Prints the packets gpsd's own lexer finds in a receiver log (after its '#'
# header), one per line: gpsd's packet type, then the packet bytes in hex.
import os
import sys
import tempfile

sys.path = [p for p in sys.path if p not in ("", os.getcwd())]
import gps.packet  # noqa: E402

data = open(sys.argv[1], "rb").read()
while data.startswith(b"#"):
    data = data[data.index(b"\n") + 1:]
fd, path = tempfile.mkstemp()
os.unlink(path)
os.write(fd, data)
os.lseek(fd, 0, 0)
lexer = gps.packet.new()
while True:
    length, kind, packet, _ = lexer.get(fd)
    if length == 0:
        break
    print(kind, packet.hex())
