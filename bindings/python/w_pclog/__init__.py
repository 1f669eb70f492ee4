"""w_pclog for Python: KORVANE time-attendance terminals through the
w_pclog library.

    from w_pclog import NetworkTerminal
    for record in NetworkTerminal("127.0.0.2", data_dir="/tmp/site").download():
        print(record.person, record.datetime, record.tag)

The low layer is `w_pclog.load()`: the library with all exports declared
for ctypes (their names, argument and result types as in w_pclog.h).
"""

from ._exports import EXPORTS
from ._library import load
from .counted import CountedText
from .records import INDEPENDENT, SIXTY_ELSE_THIRTY, Record, decode_record, iter_records, \
    read_records
from .terminal import NetworkTerminal, SerialTerminal, WPclogError, copy_name

__version__ = "1.0.0"
__all__ = ["EXPORTS", "load", "CountedText", "Record", "decode_record", "iter_records",
           "read_records", "SIXTY_ELSE_THIRTY", "INDEPENDENT", "NetworkTerminal",
           "SerialTerminal", "WPclogError", "copy_name"]
