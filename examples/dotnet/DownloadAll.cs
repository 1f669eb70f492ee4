// Downloads every network terminal of a list and prints their records as CSV.
//
//   mono DownloadAll.exe [--data DIR] IP...
//
// Each terminal's files go to DIR/IP (W_PCLOG_DIR, which the library reads
// at every call); the records are read from the pclog.txt the library
// writes: number(6) hour(2) ':' minute(2) year(4) month(2) day(2) tag(2).
// A terminal that fails is reported on stderr and the others still run.
using System;
using System.Collections.Generic;
using System.IO;
using W_pclog;

static class DownloadAll
{
    static int Main(string[] args)
    {
        string data = ".";
        var terminals = new List<string>();
        for (int i = 0; i < args.Length; i++)
        {
            if (args[i] == "--data" && i + 1 < args.Length) data = args[++i];
            else terminals.Add(args[i]);
        }
        if (terminals.Count == 0)
        {
            Console.Error.WriteLine("usage: DownloadAll.exe [--data DIR] IP...");
            return 2;
        }

        Console.WriteLine("terminal,person,date,time,tag");
        int failed = 0;
        foreach (string ip in terminals)
        {
            string folder = Path.Combine(Path.GetFullPath(data), ip);
            Directory.CreateDirectory(folder);
            Environment.SetEnvironmentVariable("W_PCLOG_DIR", folder + Path.DirectorySeparatorChar);
            int result = WPclog._LANDOWNLOAD(ip);
            if (result != 0)
            {
                Console.Error.WriteLine(ip + ": _LANDOWNLOAD returned " + result + ": the download failed");
                failed++;
                continue;
            }
            foreach (string line in File.ReadAllLines(Path.Combine(folder, "pclog.txt")))
            {
                if (line.Length < 21) continue;
                Console.WriteLine(string.Format("{0},{1},{2}-{3}-{4},{5},{6}", ip,
                    int.Parse(line.Substring(0, 6)), line.Substring(11, 4), line.Substring(15, 2),
                    line.Substring(17, 2), line.Substring(6, 5), int.Parse(line.Substring(19, 2))));
            }
        }
        return failed == 0 ? 0 : 1;
    }
}
