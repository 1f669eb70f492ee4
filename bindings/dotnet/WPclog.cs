// Generated from include/w_pclog.h by tools/bindings_from_header.py: do not edit.
// Run `make bindings` after changing the header.
using System;
using System.Runtime.InteropServices;
using System.Text;

namespace W_pclog
{
    /// <summary>
    /// The exports of w_pclog (w_pclog.dll on Windows, libw_pclog.so on Linux
    /// and Mono). Text arguments are passed as ANSI texts; counted-text
    /// arguments (IntPtr) take CountedText.Pointer; the two text results
    /// (IntPtr) belong to the library: read them with TextOf, never free them.
    /// </summary>
    public static class WPclog
    {
        /// <summary>A text result of the library as a string.</summary>
        public static string TextOf(IntPtr text)
        {
            return Marshal.PtrToStringAnsi(text);
        }

        /// <summary>Serial basics. Address: terminal number (low byte sent); port: 1..6, the port
        /// the scan starts from. 0 done, 1 failed</summary>
        [DllImport("w_pclog", CallingConvention = CallingConvention.StdCall, CharSet = CharSet.Ansi)]
        public static extern int _DELETE(int address, int port);

        /// <summary>See _DELETE. port number or -1</summary>
        [DllImport("w_pclog", CallingConvention = CallingConvention.StdCall, CharSet = CharSet.Ansi)]
        public static extern int _TESTCOM(int address, int port);

        /// <summary>Network basics. ip: the terminal's IPv4 address as dotted-decimal text; the
        /// terminal listens on TCP port 1024. 0 frame sent, 1 failed</summary>
        [DllImport("w_pclog", CallingConvention = CallingConvention.StdCall, CharSet = CharSet.Ansi)]
        public static extern int _LANDELETE(string ip);

        /// <summary>Downloads every record into pclog.dat, converts it to pclog.txt with backups in
        /// downbak, and clears the terminal: 0 complete, 1 failed.</summary>
        [DllImport("w_pclog", CallingConvention = CallingConvention.StdCall, CharSet = CharSet.Ansi)]
        public static extern int _DOWNLOAD(int address, int port);

        /// <summary>The same over TCP port 1024, clearing with _LANDELETE. _LANDOWNLOAD writes
        /// pclog.dat; _LANMANYDOWNLOAD "pclog" + terminal + ".dat"; _LANDOWNLOADADDR pclog.dat with
        /// the given address byte in the frame. 0 complete, 1 failed.</summary>
        [DllImport("w_pclog", CallingConvention = CallingConvention.StdCall, CharSet = CharSet.Ansi)]
        public static extern int _LANDOWNLOAD(string ip);

        /// <summary>See _LANDOWNLOAD.</summary>
        [DllImport("w_pclog", CallingConvention = CallingConvention.StdCall, CharSet = CharSet.Ansi)]
        public static extern int _LANMANYDOWNLOAD(string ip, int terminal);

        /// <summary>See _LANDOWNLOAD.</summary>
        [DllImport("w_pclog", CallingConvention = CallingConvention.StdCall, CharSet = CharSet.Ansi)]
        public static extern int _LANDOWNLOADADDR(string ip, int address);

        /// <summary>Through a dial-up modem on the port (9600 baud): AT commands, the dial of
        /// number (1 to 32 characters, no control bytes), then the download into pclog.dat and
        /// pclog.txt. The terminal is not cleared. 0 complete, 1 failed.</summary>
        [DllImport("w_pclog", CallingConvention = CallingConvention.StdCall, CharSet = CharSet.Ansi)]
        public static extern int _MODEMDOWNLOAD(int address, int port, string number);

        /// <summary>Conversions. Reads directory + name + ".dat" and rewrites directory + name +
        /// ".txt", keeping a dated copy of the text in directory + "downbak"; the directory ends
        /// with a path separator. 0 done, 1 failed. _CONVERFILE takes 6-byte clocking records,
        /// _CONVERXFFILE 17-byte consumption records.</summary>
        [DllImport("w_pclog", CallingConvention = CallingConvention.StdCall, CharSet = CharSet.Ansi)]
        public static extern int _CONVERFILE(string directory, string name);

        /// <summary>See _CONVERFILE.</summary>
        [DllImport("w_pclog", CallingConvention = CallingConvention.StdCall, CharSet = CharSet.Ansi)]
        public static extern int _CONVERXFFILE(string directory, string name);

        /// <summary>Clock, identity and line speed. The values are sent as the host gives them
        /// (their low byte; a password as bits 8-15 then 0-7). 0 the terminal acknowledged, 1
        /// failed.</summary>
        [DllImport("w_pclog", CallingConvention = CallingConvention.StdCall, CharSet = CharSet.Ansi)]
        public static extern int _SETTIME(int address, int port, int c1, int c2, int c3, int c4, int c5, int c6, int c7);

        /// <summary>See _SETTIME.</summary>
        [DllImport("w_pclog", CallingConvention = CallingConvention.StdCall, CharSet = CharSet.Ansi)]
        public static extern int _LANSETTIME(string ip, int c1, int c2, int c3, int c4, int c5, int c6, int c7);

        /// <summary>See _SETTIME.</summary>
        [DllImport("w_pclog", CallingConvention = CallingConvention.StdCall, CharSet = CharSet.Ansi)]
        public static extern int _SETMACHINEID(int address, int port, int machine);

        /// <summary>See _SETTIME.</summary>
        [DllImport("w_pclog", CallingConvention = CallingConvention.StdCall, CharSet = CharSet.Ansi)]
        public static extern int _SETPASSWORD(int address, int port, int password);

        /// <summary>See _SETTIME.</summary>
        [DllImport("w_pclog", CallingConvention = CallingConvention.StdCall, CharSet = CharSet.Ansi)]
        public static extern int _LANANSWER(string ip, int value);

        /// <summary>The line speed, on the given port only (no address, no scan of ports): the
        /// request is r1..r12 then `last`, tried at 57600, 38400, ... 1200 and 57600 again.</summary>
        [DllImport("w_pclog", CallingConvention = CallingConvention.StdCall, CharSet = CharSet.Ansi)]
        public static extern int _SETBAUDRATE(int port, int last, int r1, int r2, int r3, int r4, int r5, int r6, int r7, int r8, int r9, int r10, int r11, int r12);

        /// <summary>Users: all at once, or one person (0..65535). 0 acknowledged, 1 failed.</summary>
        [DllImport("w_pclog", CallingConvention = CallingConvention.StdCall, CharSet = CharSet.Ansi)]
        public static extern int _ENABLEALL(int address, int port);

        /// <summary>See _ENABLEALL.</summary>
        [DllImport("w_pclog", CallingConvention = CallingConvention.StdCall, CharSet = CharSet.Ansi)]
        public static extern int _DISABLEALL(int address, int port);

        /// <summary>See _ENABLEALL.</summary>
        [DllImport("w_pclog", CallingConvention = CallingConvention.StdCall, CharSet = CharSet.Ansi)]
        public static extern int _ENABLEPERSON(int address, int port, int person);

        /// <summary>See _ENABLEALL.</summary>
        [DllImport("w_pclog", CallingConvention = CallingConvention.StdCall, CharSet = CharSet.Ansi)]
        public static extern int _DISABLEPERSON(int address, int port, int person);

        /// <summary>See _ENABLEALL.</summary>
        [DllImport("w_pclog", CallingConvention = CallingConvention.StdCall, CharSet = CharSet.Ansi)]
        public static extern int _RESTORE(int address, int port);

        /// <summary>See _ENABLEALL.</summary>
        [DllImport("w_pclog", CallingConvention = CallingConvention.StdCall, CharSet = CharSet.Ansi)]
        public static extern int _RESTOREALL(int address, int port);

        /// <summary>See _ENABLEALL.</summary>
        [DllImport("w_pclog", CallingConvention = CallingConvention.StdCall, CharSet = CharSet.Ansi)]
        public static extern int _LANENABLEALL(string ip);

        /// <summary>See _ENABLEALL.</summary>
        [DllImport("w_pclog", CallingConvention = CallingConvention.StdCall, CharSet = CharSet.Ansi)]
        public static extern int _LANDISABLEALL(string ip);

        /// <summary>See _ENABLEALL.</summary>
        [DllImport("w_pclog", CallingConvention = CallingConvention.StdCall, CharSet = CharSet.Ansi)]
        public static extern int _LANENABLEPERSON(string ip, int person);

        /// <summary>See _ENABLEALL.</summary>
        [DllImport("w_pclog", CallingConvention = CallingConvention.StdCall, CharSet = CharSet.Ansi)]
        public static extern int _LANDISABLEPERSON(string ip, int person);

        /// <summary>See _ENABLEALL.</summary>
        [DllImport("w_pclog", CallingConvention = CallingConvention.StdCall, CharSet = CharSet.Ansi)]
        public static extern int _LANRESTOREALL(string ip);

        /// <summary>Door and bell (low bytes sent). The serial open-or-closed flag 1 sends 0x55,
        /// any other 0x00; the network form sends its value as it is. 0 acknowledged, 1 failed.</summary>
        [DllImport("w_pclog", CallingConvention = CallingConvention.StdCall, CharSet = CharSet.Ansi)]
        public static extern int _SETOPENMODE(int address, int port, int value);

        /// <summary>See _SETOPENMODE.</summary>
        [DllImport("w_pclog", CallingConvention = CallingConvention.StdCall, CharSet = CharSet.Ansi)]
        public static extern int _LANSETOPENMODE(string ip, int value);

        /// <summary>See _SETOPENMODE.</summary>
        [DllImport("w_pclog", CallingConvention = CallingConvention.StdCall, CharSet = CharSet.Ansi)]
        public static extern int _SETOPENTIME(int address, int port, int value);

        /// <summary>See _SETOPENMODE.</summary>
        [DllImport("w_pclog", CallingConvention = CallingConvention.StdCall, CharSet = CharSet.Ansi)]
        public static extern int _LANSETOPENTIME(string ip, int value);

        /// <summary>See _SETOPENMODE.</summary>
        [DllImport("w_pclog", CallingConvention = CallingConvention.StdCall, CharSet = CharSet.Ansi)]
        public static extern int _SETOPENCLOSE(int address, int port, int flag);

        /// <summary>See _SETOPENMODE.</summary>
        [DllImport("w_pclog", CallingConvention = CallingConvention.StdCall, CharSet = CharSet.Ansi)]
        public static extern int _LANSETOPENCLOSE(string ip, int value);

        /// <summary>See _SETOPENMODE.</summary>
        [DllImport("w_pclog", CallingConvention = CallingConvention.StdCall, CharSet = CharSet.Ansi)]
        public static extern int _SETBELL(int address, int port, int first, int second, int third);

        /// <summary>Card numbers. SN and lock numbers are 16-bit (bits 8-15 sent first, higher bits
        /// dropped); the mode and wait bytes their low byte. 0 acknowledged, 1 failed. _SETSN and
        /// _DELSN give the terminal 30 s to answer the block.</summary>
        [DllImport("w_pclog", CallingConvention = CallingConvention.StdCall, CharSet = CharSet.Ansi)]
        public static extern int _SETSN(int address, int port, int first, int second);

        /// <summary>See _SETSN.</summary>
        [DllImport("w_pclog", CallingConvention = CallingConvention.StdCall, CharSet = CharSet.Ansi)]
        public static extern int _LANSETSN(string ip, int first, int second);

        /// <summary>See _SETSN.</summary>
        [DllImport("w_pclog", CallingConvention = CallingConvention.StdCall, CharSet = CharSet.Ansi)]
        public static extern int _DELSN(int address, int port, int sn);

        /// <summary>See _SETSN.</summary>
        [DllImport("w_pclog", CallingConvention = CallingConvention.StdCall, CharSet = CharSet.Ansi)]
        public static extern int _LANDELSN(string ip, int sn);

        /// <summary>See _SETSN.</summary>
        [DllImport("w_pclog", CallingConvention = CallingConvention.StdCall, CharSet = CharSet.Ansi)]
        public static extern int _SETSNORCARD(int address, int port, int mode);

        /// <summary>See _SETSN.</summary>
        [DllImport("w_pclog", CallingConvention = CallingConvention.StdCall, CharSet = CharSet.Ansi)]
        public static extern int _SETCARDWAITTIME(int address, int port, int wait);

        /// <summary>See _SETSN.</summary>
        [DllImport("w_pclog", CallingConvention = CallingConvention.StdCall, CharSet = CharSet.Ansi)]
        public static extern int _SETLOCKNUM(int address, int port, int @lock);

        /// <summary>See _SETSN.</summary>
        [DllImport("w_pclog", CallingConvention = CallingConvention.StdCall, CharSet = CharSet.Ansi)]
        public static extern int _DELLOCKNUM(int address, int port);

        /// <summary>The SN queries: the terminal's 16-bit value, or 65535 on any failure (a true
        /// value of 65535 reads as a failure).</summary>
        [DllImport("w_pclog", CallingConvention = CallingConvention.StdCall, CharSet = CharSet.Ansi)]
        public static extern int _WHATSN(int address, int port, int sn);

        /// <summary>See _WHATSN.</summary>
        [DllImport("w_pclog", CallingConvention = CallingConvention.StdCall, CharSet = CharSet.Ansi)]
        public static extern int _GETSNLENTH(int address, int port);

        /// <summary>The real-time fetch: the one record the terminal holds ready, as the text
        /// number(6) year(4) month(2) day(2) hour(2) minute(2) tag(2, 3 from 100), or
        /// "00000000000000000000" for no record and any failure. The text lives in the library, one
        /// buffer per export and per thread, valid until the same thread's next call of the same
        /// export; the host does not free it.</summary>
        [DllImport("w_pclog", CallingConvention = CallingConvention.StdCall, CharSet = CharSet.Ansi)]
        public static extern IntPtr _REALDOWNLOAD(int address, int port);

        /// <summary>See _REALDOWNLOAD.</summary>
        [DllImport("w_pclog", CallingConvention = CallingConvention.StdCall, CharSet = CharSet.Ansi)]
        public static extern IntPtr _LANREALDOWNLOAD(string ip);

        /// <summary>Names, keyed by person number (0..65535, high byte first on the wire). The name
        /// of _SENDNAME is zero-terminated; those of _LANSENDNAME and _COPYNAME are counted texts:
        /// the length (32 bits) in the 4 bytes before the first character, a reference count in the
        /// 4 before those, raised for the call unless it is -1; a null pointer is the empty text. A
        /// name is sent whole, at most 253 bytes (longer: 1, nothing sent). _COPYNAME appends
        /// person and the name's first 8 bytes to prefix + "NAM" + MMDD + ".DAT". 0 done, 1 failed.</summary>
        [DllImport("w_pclog", CallingConvention = CallingConvention.StdCall, CharSet = CharSet.Ansi)]
        public static extern int _SENDNAME(int address, int port, int person, string name);

        /// <summary>See _SENDNAME.</summary>
        [DllImport("w_pclog", CallingConvention = CallingConvention.StdCall, CharSet = CharSet.Ansi)]
        public static extern int _LANSENDNAME(string ip, int person, IntPtr name);

        /// <summary>See _SENDNAME.</summary>
        [DllImport("w_pclog", CallingConvention = CallingConvention.StdCall, CharSet = CharSet.Ansi)]
        public static extern int _CHANGENAMEID(int address, int port, int first, int second);

        /// <summary>See _SENDNAME.</summary>
        [DllImport("w_pclog", CallingConvention = CallingConvention.StdCall, CharSet = CharSet.Ansi)]
        public static extern int _LANCHANGENAMEID(string ip, int first, int second);

        /// <summary>See _SENDNAME.</summary>
        [DllImport("w_pclog", CallingConvention = CallingConvention.StdCall, CharSet = CharSet.Ansi)]
        public static extern int _DELETEALLNAME(int address, int port);

        /// <summary>See _SENDNAME.</summary>
        [DllImport("w_pclog", CallingConvention = CallingConvention.StdCall, CharSet = CharSet.Ansi)]
        public static extern int _LANDELETEALLNAME(string ip);

        /// <summary>See _SENDNAME.</summary>
        [DllImport("w_pclog", CallingConvention = CallingConvention.StdCall, CharSet = CharSet.Ansi)]
        public static extern int _COPYNAME(string prefix, int person, IntPtr name);

        /// <summary>Voice prompts: thirteen values (2, 3 and 5 sent as 16-bit numbers, the others
        /// by their low byte) and a counted text of at most 99 bytes. Voice number 0 deletes every
        /// entry. 0 done, 1 failed; _LANSENDVOICE returns the terminal's greeting number, 0 on
        /// failure.</summary>
        [DllImport("w_pclog", CallingConvention = CallingConvention.StdCall, CharSet = CharSet.Ansi)]
        public static extern int _SENDVOICE(int address, int port, int v1, int v2, int v3, int v4, int v5, int v6, int v7, int v8, int v9, int v10, int v11, int v12, int v13, IntPtr text);

        /// <summary>See _SENDVOICE.</summary>
        [DllImport("w_pclog", CallingConvention = CallingConvention.StdCall, CharSet = CharSet.Ansi)]
        public static extern int _DELVOICE(int address, int port, int voice);

        /// <summary>See _SENDVOICE.</summary>
        [DllImport("w_pclog", CallingConvention = CallingConvention.StdCall, CharSet = CharSet.Ansi)]
        public static extern int _DELALLVOICE(int address, int port);

        /// <summary>See _SENDVOICE.</summary>
        [DllImport("w_pclog", CallingConvention = CallingConvention.StdCall, CharSet = CharSet.Ansi)]
        public static extern int _LANSENDVOICE(string ip, int v1, int v2, int v3, int v4, int v5, int v6, int v7, int v8, int v9, int v10, int v11, int v12, int v13, IntPtr text);

        /// <summary>See _SENDVOICE.</summary>
        [DllImport("w_pclog", CallingConvention = CallingConvention.StdCall, CharSet = CharSet.Ansi)]
        public static extern int _LANDELVOICE(string ip, int voice);

        /// <summary>See _SENDVOICE.</summary>
        [DllImport("w_pclog", CallingConvention = CallingConvention.StdCall, CharSet = CharSet.Ansi)]
        public static extern int _LANDELALLVOICE(string ip);

        /// <summary>The card-only list: persons who clock with their card alone. 0 acknowledged, 1
        /// failed.</summary>
        [DllImport("w_pclog", CallingConvention = CallingConvention.StdCall, CharSet = CharSet.Ansi)]
        public static extern int _SENDONLYCARD(int address, int port, int person);

        /// <summary>See _SENDONLYCARD.</summary>
        [DllImport("w_pclog", CallingConvention = CallingConvention.StdCall, CharSet = CharSet.Ansi)]
        public static extern int _DELONLYCARD(int address, int port, int person);

        /// <summary>See _SENDONLYCARD.</summary>
        [DllImport("w_pclog", CallingConvention = CallingConvention.StdCall, CharSet = CharSet.Ansi)]
        public static extern int _DELALLONLYCARD(int address, int port);

        /// <summary>Fingerprint module. Each returns the status byte of the module's reply (0-255;
        /// what it means is the module's), or 255 when the exchange failed. _FDATXDATA and
        /// _GETFDAVER talk to a module on the port directly (9600 baud; the port and the five after
        /// it are tried once each): any command with four 16-bit parameters (low 16 bits used), and
        /// the version.</summary>
        [DllImport("w_pclog", CallingConvention = CallingConvention.StdCall, CharSet = CharSet.Ansi)]
        public static extern int _FDATXDATA(int port, int command, int p1, int p2, int p3, int p4);

        /// <summary>See _FDATXDATA.</summary>
        [DllImport("w_pclog", CallingConvention = CallingConvention.StdCall, CharSet = CharSet.Ansi)]
        public static extern int _GETFDAVER(int port);

        /// <summary>Templates by user ID through the terminal's pass-through, with files in
        /// FINGERREC beside the data files: IDLIST.TXT, and FP + ID to 4 digits + "_" + template
        /// number + ".TXT" (816 bytes). user 0-2047, attribute 0-15 (low byte), template number 1
        /// or 2: anything else gives 255 with no file or port touched. _SENDIDFPREC ignores its
        /// fourth argument; _DELIDFPALL returns 0 on success.</summary>
        [DllImport("w_pclog", CallingConvention = CallingConvention.StdCall, CharSet = CharSet.Ansi)]
        public static extern int _GETIDLIST(int address, int port);

        /// <summary>See _GETIDLIST.</summary>
        [DllImport("w_pclog", CallingConvention = CallingConvention.StdCall, CharSet = CharSet.Ansi)]
        public static extern int _SENDIDFPREC(int address, int port, int user, int ignored, int number);

        /// <summary>See _GETIDLIST.</summary>
        [DllImport("w_pclog", CallingConvention = CallingConvention.StdCall, CharSet = CharSet.Ansi)]
        public static extern int _GETIDFPREC(int address, int port, int user, int attribute, int number);

        /// <summary>See _GETIDLIST.</summary>
        [DllImport("w_pclog", CallingConvention = CallingConvention.StdCall, CharSet = CharSet.Ansi)]
        public static extern int _DELIDFPREC(int address, int port, int user, int attribute, int number);

        /// <summary>See _GETIDLIST.</summary>
        [DllImport("w_pclog", CallingConvention = CallingConvention.StdCall, CharSet = CharSet.Ansi)]
        public static extern int _DELIDFPALL(int address, int port);

        /// <summary>Fingerprint backup. 0 done, 1 failed. _ZWBACKUP puts the terminal into backup
        /// mode (command 0x0E with the mode byte, then the terminal's second ACK within 60 s).
        /// _RXZWFILE receives the module's backup at 19200 baud, two stop bits, into zwbak.txt
        /// beside the data files; it receives into zwbak.new and puts that in the place of
        /// zwbak.txt only when the whole backup has arrived, so a failed receive leaves zwbak.txt
        /// as it was. _TXZWFILE sends zwbak.txt back to the module. Both try the given port and the
        /// five after it once each.</summary>
        [DllImport("w_pclog", CallingConvention = CallingConvention.StdCall, CharSet = CharSet.Ansi)]
        public static extern int _ZWBACKUP(int address, int port, int mode);

        /// <summary>See _ZWBACKUP.</summary>
        [DllImport("w_pclog", CallingConvention = CallingConvention.StdCall, CharSet = CharSet.Ansi)]
        public static extern int _RXZWFILE(int port);

        /// <summary>See _ZWBACKUP.</summary>
        [DllImport("w_pclog", CallingConvention = CallingConvention.StdCall, CharSet = CharSet.Ansi)]
        public static extern int _TXZWFILE(int port);
    }

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
}
