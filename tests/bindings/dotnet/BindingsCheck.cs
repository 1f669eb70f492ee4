// Calls the library through the generated C# declarations: a serial port
// search, a network download, and a counted text whose reference count the
// library must give back.
//   BindingsCheck.exe PORT IP RECORDS
using System;
using System.IO;
using W_pclog;

static class BindingsCheck
{
    static int failures;

    static void Expect(bool ok, string what)
    {
        Console.WriteLine((ok ? "ok   " : "FAIL ") + what);
        if (!ok) failures++;
    }

    static int Main(string[] args)
    {
        int port = int.Parse(args[0]);
        string ip = args[1];
        int records = int.Parse(args[2]);
        string dir = Environment.GetEnvironmentVariable("W_PCLOG_DIR");

        int found = WPclog._TESTCOM(1, port);
        Expect(found == port, "_TESTCOM(1, " + port + ") = " + found);

        int result = WPclog._LANDOWNLOAD(ip);
        long size = new FileInfo(Path.Combine(dir, "pclog.dat")).Length;
        Expect(result == 0, "_LANDOWNLOAD(\"" + ip + "\") = " + result);
        Expect(size == 6 * records, "pclog.dat holds " + size + " bytes");

        string text = WPclog.TextOf(WPclog._LANREALDOWNLOAD(ip));
        Expect(text == "00000000000000000000", "_LANREALDOWNLOAD with nothing queued: " + text);

        using (var name = new CountedText(new byte[] { 0x41, 0x6E, 0x6E }))
        {
            result = WPclog._COPYNAME(dir, 258, name.Pointer);
            Expect(result == 0 && name.ReferenceCount == 1,
                   "_COPYNAME = " + result + ", reference count " + name.ReferenceCount);
        }
        int nameFiles = Directory.GetFiles(dir, "NAM*.DAT").Length;
        Expect(nameFiles == 1, nameFiles + " name file");
        return failures == 0 ? 0 : 1;
    }
}
