"""Counted texts: the form in which _LANSENDNAME, _COPYNAME, _SENDVOICE and
_LANSENDVOICE read their text. The pointer passed points at the first
character; the 32-bit length lies in the 4 bytes before it and a 32-bit
reference count in the 4 bytes before those. The library raises the count
for the length of the call and lowers it again before it returns (a count
of -1 marks a constant and is left alone)."""

import ctypes
import struct

_HEAD = struct.Struct("<ii")  # reference count, length


class CountedText:
    """A counted text held in memory the caller owns. Pass `pointer` to the
    export, and keep the object alive until the call has returned."""

    def __init__(self, data: bytes, reference_count: int = 1):
        data = bytes(data)
        self._buffer = ctypes.create_string_buffer(_HEAD.size + len(data) + 1)
        _HEAD.pack_into(self._buffer, 0, reference_count, len(data))
        ctypes.memmove(ctypes.addressof(self._buffer) + _HEAD.size, data, len(data))
        self.length = len(data)

    @property
    def pointer(self) -> int:
        return ctypes.addressof(self._buffer) + _HEAD.size

    @property
    def reference_count(self) -> int:
        return _HEAD.unpack_from(self._buffer, 0)[0]

    @property
    def data(self) -> bytes:
        return self._buffer.raw[_HEAD.size:_HEAD.size + self.length]
