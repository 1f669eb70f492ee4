"""A PEP 517 build backend from the standard library alone: it packs the
w_pclog folder into a pure-Python wheel (and an sdist), so that
`pip install ./bindings/python` works on a machine without a package index.
It also serves editable installs (PEP 660) with a .pth file."""

import base64
import hashlib
import io
import re
import tarfile
import zipfile
from pathlib import Path

HERE = Path(__file__).resolve().parent.parent
PACKAGE = "w_pclog"


def _project():
    text = (HERE / "pyproject.toml").read_text(encoding="utf-8")
    section = text.split("[project]", 1)[1].split("\n[", 1)[0]

    def field(key):
        m = re.search(rf'^{key}\s*=\s*"([^"]*)"', section, re.M)
        return m.group(1) if m else ""

    return field("name"), field("version"), field("description"), field("requires-python")


def _metadata():
    name, version, summary, requires = _project()
    readme = HERE / "README.md"
    lines = ["Metadata-Version: 2.1", f"Name: {name}", f"Version: {version}",
             f"Summary: {summary}"]
    if requires:
        lines.append(f"Requires-Python: {requires}")
    body = ""
    if readme.exists():
        lines.append("Description-Content-Type: text/markdown")
        body = "\n" + readme.read_text(encoding="utf-8")
    return "\n".join(lines) + "\n" + body


def _sources():
    for path in sorted((HERE / PACKAGE).rglob("*")):
        if path.is_file() and "__pycache__" not in path.parts and path.suffix != ".pyc":
            yield path


class _Wheel:
    def __init__(self, directory, tag="py3-none-any"):
        name, version = _project()[:2]
        self.dist_info = f"{name}-{version}.dist-info"
        self.filename = f"{name}-{version}-{tag}.whl"
        self.tag = tag
        self.zip = zipfile.ZipFile(Path(directory) / self.filename, "w", zipfile.ZIP_DEFLATED)
        self.record = []

    def add(self, arcname, data):
        if isinstance(data, str):
            data = data.encode("utf-8")
        digest = base64.urlsafe_b64encode(hashlib.sha256(data).digest()).rstrip(b"=").decode()
        self.zip.writestr(arcname, data)
        self.record.append(f"{arcname},sha256={digest},{len(data)}")

    def close(self):
        self.add(f"{self.dist_info}/METADATA", _metadata())
        self.add(f"{self.dist_info}/WHEEL", "Wheel-Version: 1.0\nGenerator: wheel_builder\n"
                 f"Root-Is-Purelib: true\nTag: {self.tag}\n")
        record = f"{self.dist_info}/RECORD"
        self.zip.writestr(record, "\n".join(self.record + [f"{record},,"]) + "\n")
        self.zip.close()
        return self.filename


def get_requires_for_build_wheel(config_settings=None):
    return []


get_requires_for_build_sdist = get_requires_for_build_wheel
get_requires_for_build_editable = get_requires_for_build_wheel


def build_wheel(wheel_directory, config_settings=None, metadata_directory=None):
    wheel = _Wheel(wheel_directory)
    for path in _sources():
        wheel.add(path.relative_to(HERE).as_posix(), path.read_bytes())
    return wheel.close()


def build_editable(wheel_directory, config_settings=None, metadata_directory=None):
    wheel = _Wheel(wheel_directory)
    wheel.add(f"{PACKAGE}_editable.pth", str(HERE) + "\n")
    return wheel.close()


def build_sdist(sdist_directory, config_settings=None):
    name, version = _project()[:2]
    base = f"{name}-{version}"
    filename = f"{base}.tar.gz"
    with tarfile.open(Path(sdist_directory) / filename, "w:gz") as tar:
        files = [HERE / "pyproject.toml", HERE / "README.md", *HERE.glob("_build/*.py"),
                 *_sources()]
        for path in files:
            if path.exists():
                tar.add(path, f"{base}/{path.relative_to(HERE).as_posix()}")
        info = tarfile.TarInfo(f"{base}/PKG-INFO")
        data = _metadata().encode("utf-8")
        info.size = len(data)
        tar.addfile(info, io.BytesIO(data))
    return filename
