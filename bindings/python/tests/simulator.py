"""pclog-sim as a child process for a test: terminals on ptys and on
loopback addresses, the serial port variables pointed at the pty links, and
what the terminals hold read back when it stops."""

import json
import os
import shutil
import signal
import subprocess
import tempfile
import time
from pathlib import Path

ROOT = Path(__file__).resolve().parents[3]


def tool(variable, default):
    return os.environ.get(variable) or str(ROOT / default)


SIM = tool("PCLOG_SIM", "build/tools/sim/pclog-sim")
CLI = tool("PCLOG_CLI", "build/tools/pclog/pclog")
os.environ.setdefault("W_PCLOG_LIBRARY", str(ROOT / "build/libw_pclog.so"))


class Simulator:
    """Starts `pclog-sim ARGS --ready ... --state ...` in a temporary folder;
    port(n) is the pty link a serial terminal for port n should use."""

    def __init__(self, *args):
        self.dir = Path(tempfile.mkdtemp(prefix="wpl-py-"))
        self.state_file = self.dir / "state.jsonl"
        ready = self.dir / "ready"
        args = [a.format(dir=self.dir) for a in args]
        self.process = subprocess.Popen(
            [SIM, *args, "--ready", str(ready), "--state", str(self.state_file)],
            stdout=subprocess.DEVNULL, stderr=subprocess.PIPE)
        deadline = time.monotonic() + 10
        while not ready.exists():
            if self.process.poll() is not None or time.monotonic() > deadline:
                self.process.kill()
                raise RuntimeError("pclog-sim did not come up: "
                                   + self.process.stderr.read().decode(errors="replace"))
            time.sleep(0.01)
        self._ports = {}

    def port(self, n):
        return str(self.dir / f"com{n}")

    def point_ports(self):
        """Points W_PCLOG_COM1..9 at the links {dir}/com<n>, so that no port of
        a scan reaches a real device."""
        for n in range(1, 10):
            os.environ[f"W_PCLOG_COM{n}"] = self.port(n)

    def stop(self):
        """Stops the simulator; the state of each terminal, by its name
        (the pty link or the loopback address)."""
        if self.process.poll() is None:
            self.process.send_signal(signal.SIGTERM)
            self.process.wait(timeout=10)
        self.process.stderr.close()
        states = {}
        if self.state_file.exists():
            for line in self.state_file.read_text().splitlines():
                state = json.loads(line)
                states[state["terminal"]] = state
        return states

    def close(self):
        self.stop()
        shutil.rmtree(self.dir, ignore_errors=True)

    def __enter__(self):
        return self

    def __exit__(self, *exc):
        self.close()
