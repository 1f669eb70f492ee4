"""Finding and loading the library: libw_pclog.so on Linux, w_pclog.dll on
Windows (stdcall, so WinDLL; the DLL must match the interpreter: the 32-bit
one for a 32-bit Python, the 64-bit one for a 64-bit Python)."""

import ctypes
import os
import sys
import sysconfig
import threading
from pathlib import Path

from ._exports import declare

WINDOWS = os.name == "nt"
FILE_NAME = "w_pclog.dll" if WINDOWS else "libw_pclog.so"

_lock = threading.Lock()
_loaded = None


def candidates():
    """Where the library is looked for, in order: W_PCLOG_LIBRARY alone when
    it is set; else beside this package, the interpreter's prefix, the usual
    install prefixes, then the system's own search (LD_LIBRARY_PATH, PATH)."""
    chosen = os.environ.get("W_PCLOG_LIBRARY")
    if chosen:
        return [chosen]
    here = Path(__file__).resolve().parent
    places = [here / FILE_NAME]
    if not WINDOWS:
        libdirs = [sysconfig.get_config_var("LIBDIR") or "", os.path.join(sys.prefix, "lib")]
        libdirs += ["/usr/local/lib", "/usr/lib", "/usr/lib/x86_64-linux-gnu"]
        for d in dict.fromkeys(d for d in libdirs if d):
            places += [Path(d) / FILE_NAME, Path(d) / (FILE_NAME + ".1")]
    return [str(p) for p in places if p.exists()] + [FILE_NAME]


def load():
    """The loaded library with every export declared; loaded once."""
    global _loaded
    with _lock:
        if _loaded is None:
            loader = ctypes.WinDLL if WINDOWS else ctypes.CDLL
            tried = []
            for path in candidates():
                try:
                    _loaded = declare(loader(path))
                    break
                except OSError as e:
                    tried.append(f"{path}: {e}")
            else:
                raise OSError("w_pclog library not found (set W_PCLOG_LIBRARY): "
                              + "; ".join(tried))
        return _loaded
