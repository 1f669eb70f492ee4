#!/usr/bin/env python3
"""Writes the declarations of the exports for each host language from
include/w_pclog.h: Python (ctypes), C#, Pascal (Delphi and Free Pascal) and
VB6/VBA, and the list of exports of docs/exports.md. The header's comments
become each language's doc comments.

    tools/bindings_from_header.py            write every file
    tools/bindings_from_header.py --check    fail when a file differs
    tools/bindings_from_header.py --list     print the export table
    tools/bindings_from_header.py --names --out F   the names as a C++ table

The header declares each export as "<type> WPCLOG_CALL _NAME(<args>);",
possibly over several lines. A comment that stands before a group of
declarations describes the group; a comment on a declaration's line
describes that export. An argument marked WPCLOG_COUNTED is a counted text.
"""

import argparse
import difflib
import re
import sys
from dataclasses import dataclass, field
from pathlib import Path

ROOT = Path(__file__).resolve().parent.parent
SCRIPT = "tools/bindings_from_header.py"

# What each generated file is made from; paths relative to the root.
OUTPUTS = {
    "bindings/python/w_pclog/_exports.py": "python",
    "bindings/dotnet/WPclog.cs": "csharp",
    "bindings/delphi/w_pclog.pas": "pascal",
    "bindings/vb/w_pclog.bas": "vb",
    "docs/exports.md": "markdown",
}

INT, TEXT, COUNTED = "int", "text", "counted"


@dataclass
class Param:
    kind: str  # INT, TEXT or COUNTED
    name: str


@dataclass
class Export:
    name: str
    returns: str  # INT or TEXT
    params: list
    group: str  # the comment over its group ("" for none)
    note: str  # the comment on its own line ("" for none)
    first: str  # the first export of its group

    def doc(self):
        """The group's words on the group's first export; on the others a
        pointer to it, so that each comment stands once."""
        group = self.group if self.first == self.name or not self.group else f"See {self.first}."
        return " ".join(t for t in (group, self.note) if t)


@dataclass
class Header:
    exports: list = field(default_factory=list)


def _comment_text(raw):
    text = re.sub(r"^\s*/\*+|\*+/\s*$", "", raw.strip())
    lines = [re.sub(r"^\s*\*(?!/)\s?", "", line) for line in text.splitlines()]
    return " ".join(" ".join(lines).split())


def _kind(decl_type):
    t = " ".join(decl_type.split())
    if t in ("int32_t",):
        return INT
    if t in ("const char*", "const char *"):
        return TEXT
    if t in ("WPCLOG_COUNTED const char*", "WPCLOG_COUNTED const char *"):
        return COUNTED
    raise ValueError(f"an argument or result of type '{t}' has no host form")


def _param(text):
    m = re.fullmatch(r"\s*(.*?[\s*])([A-Za-z_][A-Za-z0-9_]*)\s*", text)
    if not m:
        raise ValueError(f"cannot read the argument '{text}'")
    return Param(_kind(m.group(1).replace(" *", "*").strip()), m.group(2))


DECL = re.compile(r"^\s*(?P<ret>[^;{}()]*?)\s*WPCLOG_CALL\s+(?P<name>_[A-Z0-9_]+)\s*\(")


def parse(text):
    """The exports of the header, in their order, with their comments."""
    header = Header()
    group, first = "", None
    lines = text.splitlines()
    i = 0
    while i < len(lines):
        line = lines[i]
        if re.match(r"^\s*/\*", line):
            raw = line
            while "*/" not in raw and i + 1 < len(lines):
                i += 1
                raw += "\n" + lines[i]
            group, first = _comment_text(raw), None
            i += 1
            continue
        m = DECL.match(line)
        if m:
            decl = line
            while ");" not in decl:
                i += 1
                decl += " " + lines[i].strip()
            args = decl[decl.index("(") + 1 : decl.index(");")]
            tail = decl[decl.index(");") + 2 :]
            note = _comment_text(tail) if "/*" in tail else ""
            params = [_param(a) for a in args.split(",")] if args.strip() else []
            first = first or m.group("name")
            header.exports.append(
                Export(m.group("name"), _kind(m.group("ret")), params, group, note, first)
            )
            i += 1
            continue
        if line.strip():
            group, first = "", None  # a comment describes only the declarations it stands over
        i += 1
    if not header.exports:
        raise ValueError("the header declares no exports")
    return header


def wrap(text, width, first_prefix, prefix=None):
    """Lines of at most width characters, each starting with a prefix."""
    prefix = first_prefix if prefix is None else prefix
    out, line = [], first_prefix
    for word in text.split():
        if line.strip() and len(line) + 1 + len(word) > width:
            out.append(line.rstrip())
            line = prefix
        line += ("" if line == prefix or line == first_prefix else " ") + word
    out.append(line.rstrip())
    return out


def _banner(comment):
    return [f"{comment} Generated from include/w_pclog.h by {SCRIPT}: do not edit.",
            f"{comment} Run `make bindings` after changing the header."]


# --- Python ---------------------------------------------------------------


def render_python(header):
    ctype = {INT: "c_int32", TEXT: "c_char_p", COUNTED: "c_void_p"}
    out = _banner("#") + [
        '"""The exports of w_pclog as ctypes declarations.',
        "",
        "EXPORTS maps each export's name to its result type, its arguments (name,",
        "ctypes type) and the header's words on it. A text argument takes bytes; a",
        "counted text (c_void_p) takes the address of the first character of a",
        "text laid out as the library reads it (see w_pclog.counted).",
        '"""',
        "",
        "from collections import namedtuple",
        "from ctypes import c_char_p, c_int32, c_void_p",
        "",
        'Export = namedtuple("Export", "restype params counted doc")',
        "",
        "EXPORTS = {",
    ]
    for e in header.exports:
        params = ", ".join(f'("{p.name}", {ctype[p.kind]})' for p in e.params)
        counted = ", ".join(f'"{p.name}"' for p in e.params if p.kind == COUNTED)
        out.append(f'    "{e.name}": Export(')
        out.append(f"        {ctype[e.returns]},")
        out.append(f"        ({params},),")
        out.append(f"        ({counted}{',' if counted else ''}),")
        text = e.doc().replace("\\", "\\\\").replace('"', '\\"')
        doc = wrap(text, 88, '        "', '        "')
        out += [line + ' "' for line in doc[:-1]] + [doc[-1] + '",']
        out.append("    ),")
    out += [
        "}",
        "",
        "",
        "def declare(lib):",
        '    """Sets argtypes, restype and __doc__ of every export of a loaded library."""',
        "    for name, export in EXPORTS.items():",
        "        function = getattr(lib, name)",
        "        function.restype = export.restype",
        "        function.argtypes = [t for _, t in export.params]",
        "        function.__doc__ = export.doc",
        "    return lib",
    ]
    return "\n".join(out) + "\n"


# --- C# -------------------------------------------------------------------

CSHARP_KEYWORDS = {"lock", "params", "checked", "fixed", "object", "string", "base", "event"}


def _xml(text):
    return text.replace("&", "&amp;").replace("<", "&lt;").replace(">", "&gt;")


CSHARP_HELPERS = """
    /// <summary>
    /// A counted text as the library reads it: the pointer passed points at
    /// the first character; the 32-bit length lies in the 4 bytes before it and
    /// a 32-bit reference count in the 4 bytes before those. The library raises
    /// the count for the length of the call and lowers it again. The block is
    /// unmanaged memory; keep the object alive for the call and dispose of it
    /// afterwards.
    /// </summary>
    public sealed class CountedText : IDisposable
    {
        IntPtr block;
        readonly int length;

        public CountedText(string text) : this(text, Encoding.Default) { }

        public CountedText(string text, Encoding encoding)
            : this(encoding.GetBytes(text ?? "")) { }

        public CountedText(byte[] bytes)
        {
            length = bytes.Length;
            block = Marshal.AllocHGlobal(8 + length + 1);
            Marshal.WriteInt32(block, 0, 1);       // reference count: one holder, the host
            Marshal.WriteInt32(block, 4, length);  // length in bytes, without the zero
            Marshal.Copy(bytes, 0, IntPtr.Add(block, 8), length);
            Marshal.WriteByte(block, 8 + length, 0);
        }

        /// <summary>The pointer to pass: the first character.</summary>
        public IntPtr Pointer
        {
            get
            {
                if (block == IntPtr.Zero) throw new ObjectDisposedException("CountedText");
                return IntPtr.Add(block, 8);
            }
        }

        public int Length { get { return length; } }

        /// <summary>The reference count as it stands: 1 again after each call.</summary>
        public int ReferenceCount { get { return Marshal.ReadInt32(block, 0); } }

        public void Dispose()
        {
            if (block != IntPtr.Zero) Marshal.FreeHGlobal(block);
            block = IntPtr.Zero;
        }
    }
"""


def render_csharp(header):
    ctype = {INT: "int", TEXT: "string", COUNTED: "IntPtr"}
    out = _banner("//") + [
        "using System;",
        "using System.Runtime.InteropServices;",
        "using System.Text;",
        "",
        "namespace W_pclog",
        "{",
        "    /// <summary>",
        "    /// The exports of w_pclog (w_pclog.dll on Windows, libw_pclog.so on Linux",
        "    /// and Mono). Text arguments are passed as ANSI texts; counted-text",
        "    /// arguments (IntPtr) take CountedText.Pointer; the two text results",
        "    /// (IntPtr) belong to the library: read them with TextOf, never free them.",
        "    /// </summary>",
        "    public static class WPclog",
        "    {",
        "        /// <summary>A text result of the library as a string.</summary>",
        "        public static string TextOf(IntPtr text)",
        "        {",
        "            return Marshal.PtrToStringAnsi(text);",
        "        }",
    ]
    for e in header.exports:
        out.append("")
        out += wrap(_xml(e.doc()), 100, "        /// <summary>", "        /// ")
        out[-1] += "</summary>"
        out.append(
            '        [DllImport("w_pclog", CallingConvention = CallingConvention.StdCall, '
            "CharSet = CharSet.Ansi)]"
        )
        names = [("@" if p.name in CSHARP_KEYWORDS else "") + p.name for p in e.params]
        params = ", ".join(f"{ctype[p.kind]} {n}" for p, n in zip(e.params, names))
        result = "IntPtr" if e.returns == TEXT else "int"
        out.append(f"        public static extern {result} {e.name}({params});")
    out += ["    }", CSHARP_HELPERS.rstrip("\n"), "}"]
    return "\n".join(out) + "\n"


# --- Pascal ---------------------------------------------------------------

PASCAL_RESERVED = {"type", "file", "label", "set", "string", "in", "out", "to", "with", "of"}


def render_pascal(header):
    ptype = {INT: "Integer", TEXT: "PAnsiChar", COUNTED: "PAnsiChar"}
    out = ["{ " + line[3:] + " }" for line in _banner("//")] + [
        "{ The exports of w_pclog for Delphi and Free Pascal (-Mdelphi). On",
        "  Windows they are stdcall functions of w_pclog.dll (the 32-bit DLL for a",
        "  32-bit program, the 64-bit one for a 64-bit program); elsewhere C",
        "  functions of libw_pclog.so.",
        "",
        "  Counted texts. The arguments marked 'counted text' read the length",
        "  and reference count stored before the first character. Delphi's",
        "  AnsiString has that layout (32-bit count and length, also in 64-bit",
        "  programs): pass PAnsiChar(Pointer(S)) of an AnsiString S; Pointer(S)",
        "  is nil for an empty string, which the library takes as the empty",
        "  text, where PAnsiChar(S) would point at a constant without the",
        "  fields. Free Pascal's AnsiString keeps 64-bit fields on 64-bit",
        "  targets, so there use NewCountedText and FreeCountedText, which lay a",
        "  text out as the library reads it under every compiler. }",
        "unit w_pclog;",
        "",
        "interface",
        "",
        "const",
        "  WPCLOG_LIB = {$IFDEF MSWINDOWS}'w_pclog.dll'{$ELSE}'libw_pclog.so'{$ENDIF};",
        "",
        "{ A counted text of S (its bytes as they are), to pass where a counted",
        "  text is asked for; FreeCountedText releases it after the call. }",
        "function NewCountedText(const S: AnsiString): PAnsiChar;",
        "procedure FreeCountedText(P: PAnsiChar);",
    ]
    for e in header.exports:
        out.append("")
        counted = [p.name for p in e.params if p.kind == COUNTED]
        doc = e.doc()
        if counted:
            doc += " Counted text: " + ", ".join(counted) + "."
        lines = wrap(doc, 90, "{ ", "  ")
        lines[-1] += " }"
        out += lines
        params = "; ".join(
            f"{p.name}{'_' if p.name.lower() in PASCAL_RESERVED else ''}: {ptype[p.kind]}"
            for p in e.params
        )
        result = "PAnsiChar" if e.returns == TEXT else "Integer"
        out.append(
            f"function {e.name}({params}): {result};"
            " {$IFDEF MSWINDOWS}stdcall{$ELSE}cdecl{$ENDIF};"
            f" external WPCLOG_LIB name '{e.name}';"
        )
    out += [
        "",
        "implementation",
        "",
        "type",
        "  PCountedHead = ^TCountedHead;",
        "  TCountedHead = packed record",
        "    RefCount: Longint;",
        "    Length: Longint;",
        "  end;",
        "",
        "function NewCountedText(const S: AnsiString): PAnsiChar;",
        "var",
        "  Head: PCountedHead;",
        "begin",
        "  GetMem(Head, SizeOf(TCountedHead) + Length(S) + 1);",
        "  Head^.RefCount := 1;",
        "  Head^.Length := Length(S);",
        "  Result := PAnsiChar(Head) + SizeOf(TCountedHead);",
        "  if Length(S) > 0 then",
        "    Move(S[1], Result^, Length(S));",
        "  Result[Length(S)] := #0;",
        "end;",
        "",
        "procedure FreeCountedText(P: PAnsiChar);",
        "begin",
        "  if P <> nil then",
        "    FreeMem(P - SizeOf(TCountedHead));",
        "end;",
        "",
        "end.",
    ]
    return "\r\n".join(out) + "\r\n"


# --- VB6 and VBA ----------------------------------------------------------

VB_RESERVED = {"name", "lock", "open", "close", "get", "put", "print", "input", "type", "text"}


def _vb_name(name):
    return name + "Arg" if name.lower() in VB_RESERVED else name


VB_HELPERS = """
' A counted text of s as the library reads it, in the caller's array
' buffer: a 32-bit reference count, the 32-bit length, the characters (ANSI)
' and a zero. Pass CountedTextPointer(buffer); keep the array for the call.
Public Sub MakeCountedText(ByVal s As String, buffer() As Byte)
    Dim ansi() As Byte, n As Long, i As Long
    ansi = StrConv(s, vbFromUnicode)
    n = UBound(ansi) - LBound(ansi) + 1
    ReDim buffer(0 To 8 + n) As Byte
    buffer(0) = 1                        ' reference count 1: the caller holds it
    buffer(4) = n And &HFF&              ' length, low byte first
    buffer(5) = (n \\ &H100&) And &HFF&
    buffer(6) = (n \\ &H10000) And &HFF&
    buffer(7) = (n \\ &H1000000) And &HFF&
    For i = 0 To n - 1
        buffer(8 + i) = ansi(LBound(ansi) + i)
    Next i
End Sub

#If VBA7 Then
Public Function CountedTextPointer(buffer() As Byte) As LongPtr
    CountedTextPointer = VarPtr(buffer(8))
End Function
#Else
Public Function CountedTextPointer(buffer() As Byte) As Long
    CountedTextPointer = VarPtr(buffer(8))
End Function
#End If

' A text result of the library (it stays the library's) as a String.
#If VBA7 Then
Public Function WpclogText(ByVal p As LongPtr) As String
#Else
Public Function WpclogText(ByVal p As Long) As String
#End If
    Dim n As Long
    If p = 0 Then Exit Function
    n = lstrlenA(p)
    Dim bytes() As Byte
    If n = 0 Then Exit Function
    ReDim bytes(0 To n - 1) As Byte
    CopyMemory bytes(0), ByVal p, n
    WpclogText = StrConv(bytes, vbUnicode)
End Function
"""


def render_vb(header):
    def declare(e, ptr):
        kinds = {INT: "Long", TEXT: "String", COUNTED: ptr}
        params = ", ".join(f"ByVal {_vb_name(p.name)} As {kinds[p.kind]}" for p in e.params)
        result = ptr if e.returns == TEXT else "Long"
        safe = "PtrSafe " if ptr == "LongPtr" else ""
        return (
            f'Public Declare {safe}Function WPCLOG{e.name} Lib "w_pclog.dll" '
            f'Alias "{e.name}" ({params}) As {result}'
        )

    out = ["Attribute VB_Name = \"w_pclog\""] + _banner("'") + [
        "' The exports of w_pclog.dll for VB6 and VBA: each export _NAME is the",
        "' function WPCLOG_NAME. 64-bit Office (VBA7) loads the 64-bit DLL, VB6",
        "' and 32-bit Office the 32-bit one. Texts are passed as ANSI strings;",
        "' a counted-text argument takes CountedTextPointer of a buffer made by",
        "' MakeCountedText (VB's own strings have no reference count before",
        "' them); the two text results are read with WpclogText.",
        "Option Explicit",
        "",
        "#If VBA7 Then",
        'Private Declare PtrSafe Function lstrlenA Lib "kernel32" (ByVal p As LongPtr) As Long',
        'Private Declare PtrSafe Sub CopyMemory Lib "kernel32" Alias "RtlMoveMemory" '
        "(destination As Any, source As Any, ByVal length As LongPtr)",
        "#Else",
        'Private Declare Function lstrlenA Lib "kernel32" (ByVal p As Long) As Long',
        'Private Declare Sub CopyMemory Lib "kernel32" Alias "RtlMoveMemory" '
        "(destination As Any, source As Any, ByVal length As Long)",
        "#End If",
    ]
    for e in header.exports:
        out.append("")
        counted = [_vb_name(p.name) for p in e.params if p.kind == COUNTED]
        doc = e.doc()
        if counted:
            doc += " Counted text: " + ", ".join(counted) + "."
        out += wrap(doc, 90, "' ", "' ")
        out += ["#If VBA7 Then", declare(e, "LongPtr"), "#Else", declare(e, "Long"), "#End If"]
    out.append(VB_HELPERS.rstrip("\n"))
    return "\r\n".join(out).replace("\n", "\r\n").replace("\r\r\n", "\r\n") + "\r\n"


# --- The list of exports -------------------------------------------------


def render_markdown(header):
    out = [
        "# Exports",
        "",
        f"<!-- Generated from include/w_pclog.h by {SCRIPT}: do not edit. -->",
        "",
        "Each export in one line, from the comments of `include/w_pclog.h`: the comment",
        "over a group of declarations, then each declaration with its arguments and",
        "the comment beside it. `make bindings` renews this page with the language",
        "bindings; the test `bindings.generated` fails when it differs from the header.",
        "How each family behaves on the wire is told in [behaviour.md](behaviour.md).",
    ]
    for e in header.exports:
        if e.first == e.name and e.group:
            out += ["", e.group, ""]
        elif e.first == e.name:
            out.append("")
        args = ", ".join(p.name for p in e.params)
        out.append(f"- `{e.name}({args})`" + (f": {e.note}" if e.note else ""))
    return "\n".join(out) + "\n"


RENDER = {"markdown": render_markdown, "python": render_python, "csharp": render_csharp, "pascal": render_pascal, "vb": render_vb}


def render_def(header, processor):
    """The DLL's export table: on i686 each plain name is an alias of its
    stdcall symbol "_NAME@4N" (the callee removes 4 bytes an argument, every
    argument being a 32-bit integer or a pointer); x86-64 has one calling
    convention and no decoration, so the names stand alone."""
    lines = ["LIBRARY w_pclog", "EXPORTS"]
    for e in sorted(header.exports, key=lambda e: e.name):
        if processor == "i686":
            lines.append(f"  {e.name} = {e.name}@{4 * len(e.params)}")
        else:
            lines.append(f"  {e.name}")
    return "\n".join(lines) + "\n"


def render_names(header):
    """The names as a C++ table, for the library's compile-time check that
    every row of its export tables is an export of the header."""
    names = sorted(e.name for e in header.exports)
    rows = "\n".join(f'    "{n}",' for n in names)
    return (f"// Made by {SCRIPT} from include/w_pclog.h.\n"
            "#pragma once\n#include <array>\n#include <string_view>\n\n"
            "namespace wpl::exports {\n\n"
            f"inline constexpr std::array<std::string_view, {len(names)}> kHeaderExports = {{\n"
            f"{rows}\n}};\n\n}}  // namespace wpl::exports\n")


# The README's short list of the exports' names, between these lines.
README_BEGIN, README_END = "<!-- exports: begin -->", "<!-- exports: end -->"


def render_readme_names(header):
    """The names alone, grouped as the header groups them, one line a group."""
    lines, group = [], None
    for e in header.exports:
        if e.first != group:
            lines.append("")
            group = e.first
        lines[-1] += ("" if not lines[-1] else ", ") + f"`{e.name}`"
    return "\n".join(f"- {line}" for line in lines) + "\n"


def generate(header_text, root=ROOT):
    header = parse(header_text)
    out = {path: RENDER[lang](header) for path, lang in OUTPUTS.items()}
    readme = root / "README.md"
    if readme.exists():
        text = readme.read_bytes().decode("utf-8")
        if README_BEGIN in text and README_END in text:
            head, rest = text.split(README_BEGIN, 1)
            tail = rest.split(README_END, 1)[1]
            out["README.md"] = f"{head}{README_BEGIN}\n{render_readme_names(header)}{README_END}{tail}"
    return out


def main(argv=None):
    ap = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    ap.add_argument("--header", type=Path, default=ROOT / "include/w_pclog.h")
    ap.add_argument("--root", type=Path, default=ROOT, help="where the generated files lie")
    mode = ap.add_mutually_exclusive_group()
    mode.add_argument("--check", action="store_true", help="fail when a file differs")
    mode.add_argument("--list", action="store_true", help="print the exports read")
    mode.add_argument("--arguments", action="store_true",
                      help='print "NAME ARGUMENTS" a line, by name')
    mode.add_argument("--def", dest="processor", choices=["i686", "x86_64"],
                      help="write the DLL's .def for this processor (to --out)")
    mode.add_argument("--names", action="store_true",
                      help="write the export names as a C++ table (to --out)")
    ap.add_argument("--out", type=Path, help="with --def or --names: the file to write")
    args = ap.parse_args(argv)

    text = args.header.read_text(encoding="utf-8")
    if args.list:
        for e in parse(text).exports:
            params = ", ".join(f"{p.kind} {p.name}" for p in e.params)
            print(f"{e.returns} {e.name}({params})")
        return 0
    if args.arguments:
        for e in sorted(parse(text).exports, key=lambda e: e.name):
            print(e.name, len(e.params))
        return 0
    if args.processor or args.names:
        header = parse(text)
        table = render_names(header) if args.names else render_def(header, args.processor)
        if args.out:
            args.out.write_text(table, encoding="utf-8")
        else:
            sys.stdout.write(table)
        return 0
    stale = []
    for rel, content in generate(text, args.root).items():
        path = args.root / rel
        old = path.read_bytes().decode("utf-8") if path.exists() else None
        if old == content:
            continue
        if args.check:
            stale.append(rel)
            diff = difflib.unified_diff(
                (old or "").splitlines(), content.splitlines(), rel, "from the header",
                lineterm="", n=1)
            sys.stdout.writelines(line + "\n" for line in list(diff)[:40])
        else:
            path.parent.mkdir(parents=True, exist_ok=True)
            path.write_bytes(content.encode("utf-8"))
            print(f"wrote {rel}")
    if stale:
        print(f"differs from {args.header.name}: {' '.join(stale)}; run make bindings")
        return 1
    return 0


if __name__ == "__main__":
    sys.exit(main())
