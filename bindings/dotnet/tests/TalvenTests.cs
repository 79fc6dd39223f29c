// The .NET binding end to end under Mono: libtalven.so and the
// BASS-compatible engine, a zam-plugins plug-in and the Recorder test
// plug-in. Environment (set by ctest): TALVEN_ABI_LAYOUT (the C layout
// printer), TALVEN_DEF (the export list), TALVEN_VERSION, TALVEN_TEST_PLUGIN_DIR.
// "TalvenTests.exe exit-child WAV" is the child of the exit test.
using System;
using System.Collections.Generic;
using System.Diagnostics;
using System.IO;
using System.Linq;
using System.Reflection;
using System.Runtime.InteropServices;
using System.Text;
using System.Threading;
using Talven;

static class Bass
{
    public const uint SampleFloat = 256, StreamDecode = 0x200000;

    [UnmanagedFunctionPointer(CallingConvention.Winapi)]
    public delegate uint StreamProc(uint handle, IntPtr buffer, uint length, IntPtr user);

    [DllImport("bass")] public static extern int BASS_Init(int device, uint freq, uint flags, IntPtr win, IntPtr guid);
    [DllImport("bass")] public static extern int BASS_Free();
    [DllImport("bass")] public static extern uint BASS_StreamCreate(uint freq, uint chans, uint flags, StreamProc proc, IntPtr user);
    [DllImport("bass")] public static extern uint BASS_StreamCreateFile(int mem, byte[] file, ulong offset, ulong length, uint flags);
    [DllImport("bass")] public static extern int BASS_StreamFree(uint handle);
    [DllImport("bass")] public static extern uint BASS_ChannelGetData(uint handle, [Out] float[] buffer, uint length);
    [DllImport("bass")] public static extern int BASS_ChannelPlay(uint handle, int restart);
    [DllImport("bass")] public static extern ulong BASS_ChannelGetPosition(uint handle, uint mode);
}

// A decode stream of a stereo sine (440 Hz left, 660 Hz right, amplitude
// 0.5 at 48 kHz), pulled block by block on the calling thread.
sealed class SineChannel : IDisposable
{
    private readonly Bass.StreamProc proc;
    private long frame;
    public readonly uint Handle;

    public SineChannel()
    {
        proc = Fill;
        Handle = Bass.BASS_StreamCreate(48000, 2, Bass.SampleFloat | Bass.StreamDecode, proc, IntPtr.Zero);
        Check.That(Handle != 0, "the engine made a stream");
    }

    public static float Dry(long frame, int channel)
    {
        double hz = channel == 0 ? 440.0 : 660.0;
        return (float)(0.5 * Math.Sin(2 * Math.PI * hz * frame / 48000.0));
    }

    private uint Fill(uint handle, IntPtr buffer, uint length, IntPtr user)
    {
        int frames = (int)length / 8;
        var block = new float[frames * 2];
        for (int j = 0; j < frames; ++j, ++frame)
            for (int c = 0; c < 2; ++c)
                block[2 * j + c] = Dry(frame, c);
        Marshal.Copy(block, 0, buffer, block.Length);
        return length;
    }

    // The next block of 1024 frames, with the frame it started at.
    public float[] Pull(out long first)
    {
        first = frame;
        var block = new float[2048];
        Check.That(Bass.BASS_ChannelGetData(Handle, block, 2048 * 4) == 2048 * 4, "a whole block came");
        return block;
    }

    public static double Rms(float[] block)
    {
        return Math.Sqrt(block.Sum(s => (double)s * s) / block.Length);
    }

    public void Dispose() { Bass.BASS_StreamFree(Handle); }
}

static class Check
{
    public static void That(bool condition, string what)
    {
        if (!condition)
            throw new Exception("expected: " + what);
    }
}

static class Tests
{
    const string Zam = "/usr/lib/vst3/ZamCompX2.vst3";

    static string PluginDir { get { return Environment.GetEnvironmentVariable("TALVEN_TEST_PLUGIN_DIR"); } }

    static uint ParameterId(TalvenPlugin plugin, string title)
    {
        return plugin.Parameters.First(p => p.title == title).id;
    }

    static void StructsHaveTheLayoutOfTheCHeader()
    {
        var types = new Dictionary<string, Type> {
            { "TALVEN_PARAMETERINFO", typeof(TALVEN_PARAMETERINFO) },
            { "TALVEN_CLASSINFO", typeof(TALVEN_CLASSINFO) },
            { "TALVEN_INFO", typeof(TALVEN_INFO) },
            { "TALVEN_MIDI_EVENT", typeof(TALVEN_MIDI_EVENT) },
            { "TALVEN_ATTACH", typeof(TALVEN_ATTACH) },
        };
        var layout = Run(Environment.GetEnvironmentVariable("TALVEN_ABI_LAYOUT"), "");
        int fields = 0;
        foreach (var line in layout.Split('\n').Where(l => l.Length > 0)) {
            var part = line.Split(' ');
            Type type = types[part[0]];
            int offset = int.Parse(part[2]), size = int.Parse(part[3]);
            if (part[1] == "-") {
                Check.That(Marshal.SizeOf(type) == size, part[0] + " is " + size + " bytes, not " + Marshal.SizeOf(type));
                continue;
            }
            ++fields;
            int managed = (int)Marshal.OffsetOf(type, part[1]);
            Check.That(managed == offset, part[0] + "." + part[1] + " at " + offset + ", not " + managed);
        }
        Check.That(fields == 8 + 8 + 8 + 7 + 10, "every field of the five structs was compared");
    }

    static void EveryExportHasADeclarationWithTheHeadersCallingConvention()
    {
        var exported = File.ReadAllLines(Environment.GetEnvironmentVariable("TALVEN_DEF"))
                           .Select(l => l.Trim()).Where(l => l.StartsWith("TALVEN_")).OrderBy(n => n).ToList();
        var declared = new List<string>();
        foreach (var method in typeof(TalvenNative).GetMethods(BindingFlags.Public | BindingFlags.Static)) {
            var import = method.GetCustomAttributes(typeof(DllImportAttribute), false);
            if (import.Length == 0)
                continue;
            var attribute = (DllImportAttribute)import[0];
            Check.That(attribute.CallingConvention == CallingConvention.Winapi, method.Name + " uses TALVEN_CALL");
            // Two declarations may share an entry point (one per argument form).
            declared.Add(attribute.EntryPoint ?? method.Name);
        }
        declared = declared.Distinct().ToList();
        declared.Sort();
        Check.That(exported.Count == 38 && exported.SequenceEqual(declared),
                   "the declarations are the exports: missing " + string.Join(",", exported.Except(declared)) +
                   ", extra " + string.Join(",", declared.Except(exported)));
    }

    static void VersionIsTheProjectsVersion()
    {
        var expected = Environment.GetEnvironmentVariable("TALVEN_VERSION");
        Check.That(TalvenLibrary.Version.ToString() == expected, "version " + expected + ", not " + TalvenLibrary.Version);
    }

    static void AZamPluginListsItsParametersAndAChangedParameterChangesTheOutput()
    {
        using (var channel = new SineChannel())
        using (var plugin = TalvenPlugin.Attach(channel.Handle, Zam)) {
            var parameters = plugin.Parameters;
            Check.That(parameters.Count == plugin.ParameterCount && parameters.Count > 5, "parameters listed");
            Check.That(parameters.All(p => p.title.Length > 0), "every parameter has a UTF-16 title");
            uint makeup = ParameterId(plugin, "Makeup");
            Check.That(parameters.First(p => p.id == makeup).units == "dB", "Makeup is in dB");

            long first;
            double before = SineChannel.Rms(channel.Pull(out first));
            plugin[makeup] = 0.5;
            Check.That(Math.Abs(plugin[makeup] - 0.5) < 1e-6, "Makeup reads back 0.5, not " + plugin[makeup]);
            string text = plugin.GetParameterText(makeup);
            double? parsed = plugin.ParseParameterText(makeup, text);
            Check.That(parsed.HasValue && Math.Abs(parsed.Value - 0.5) < 1e-3, "'" + text + "' reads back as 0.5");

            channel.Pull(out first); // the change reaches the next block
            double after = SineChannel.Rms(channel.Pull(out first));
            Check.That(after > 2 * before, "15 dB of makeup raised the level: " + before + " -> " + after);
        }
    }

    static void ModuleClassesAndInfoDescribeTheAttachedPlugin()
    {
        var classes = TalvenLibrary.GetModuleClasses(Zam);
        Check.That(classes.Length == 2, "a processor and a controller class");
        var effect = classes.First(c => c.Category == "Audio Module Class");
        Check.That(effect.ClassId.Length == 32 && effect.Vendor == "Damien Zammit", "class ID and vendor");
        using (var channel = new SineChannel())
        using (var plugin = TalvenPlugin.Attach(channel.Handle, Zam, 0, effect.ClassId.ToLowerInvariant())) {
            var info = plugin.Info;
            Check.That(info.plugin.Name == "ZamCompX2" && info.plugin.ClassId == effect.ClassId, "the attached class");
            Check.That(info.inputChannels == 2 && info.outputChannels == 2, "stereo buses");
            Check.That(info.parameterCount == plugin.ParameterCount, "the parameter count");
            plugin.SetTransport(90, 3, 4);
            Check.That(TalvenNative.TALVEN_SetTransport(plugin.Handle, 90, 3, 5) == 0, "a denominator of 5 is refused");
        }
        Check.That(TalvenNative.TALVEN_GetModuleClasses("/nonexistent.vst3", null, 0) == -1, "no module, -1");
    }

    static void BypassPassesTheChannelThroughUntouched()
    {
        using (var channel = new SineChannel())
        using (var plugin = TalvenPlugin.Attach(channel.Handle, Zam)) {
            plugin[ParameterId(plugin, "Makeup")] = 0.5;
            plugin.Bypass = true;
            Check.That(plugin.Bypass, "bypassed");
            long first;
            var block = channel.Pull(out first);
            for (int i = 0; i < block.Length; ++i)
                Check.That(block[i] == SineChannel.Dry(first + i / 2, i % 2), "sample " + i + " untouched");
            plugin.Bypass = false;
            Check.That(!plugin.Bypass, "processing again");
        }
    }

    static void AStoredPresetRecallsTheValuesItHeld()
    {
        string path = Path.Combine(Path.GetTempPath(), "talven-dotnet-" + Process.GetCurrentProcess().Id + ".vstpreset");
        try {
            using (var channel = new SineChannel())
            using (var plugin = TalvenPlugin.Attach(channel.Handle, Zam)) {
                uint makeup = ParameterId(plugin, "Makeup");
                plugin[makeup] = 0.25;
                long first;
                channel.Pull(out first); // the value reaches the processor with the next block
                plugin.StorePreset(path);
                Check.That(new FileInfo(path).Length > 0, "a preset file");
                plugin[makeup] = 0.75;
                plugin.RecallPreset(path);
                Check.That(Math.Abs(plugin[makeup] - 0.25) < 1e-6, "Makeup recalled as 0.25, not " + plugin[makeup]);
                bool threw = false;
                try { plugin.RecallPreset(path + ".missing"); } catch (TalvenException) { threw = true; }
                Check.That(threw, "a missing preset is an exception");
            }
        } finally {
            File.Delete(path);
        }
    }

    static void AStateGivenToAFreshPluginGivesBackTheSameBytes()
    {
        byte[] state;
        using (var channel = new SineChannel())
        using (var plugin = TalvenPlugin.Attach(channel.Handle, Zam)) {
            plugin[ParameterId(plugin, "Makeup")] = 0.25;
            long first;
            channel.Pull(out first);
            state = plugin.State;
            Check.That(state.Length > 48 && state[0] == 'V' && state[3] == '3', "a preset's bytes");
        }
        using (var channel = new SineChannel())
        using (var fresh = TalvenPlugin.Attach(channel.Handle, Zam)) {
            uint makeup = ParameterId(fresh, "Makeup");
            fresh.State = state;
            Check.That(Math.Abs(fresh[makeup] - 0.25) < 1e-6, "Makeup set as 0.25, not " + fresh[makeup]);
            Check.That(fresh.State.SequenceEqual(state), "the same bytes back");
            bool threw = false;
            try { fresh.State = state.Take(40).ToArray(); } catch (TalvenException) { threw = true; }
            Check.That(threw, "a damaged state is an exception");
            Check.That(fresh.State.SequenceEqual(state), "and changed nothing");
        }
    }

    static void ProgramsAreNamedAndSelected()
    {
        using (var channel = new SineChannel())
        using (var plugin = TalvenPlugin.Attach(channel.Handle, Zam)) {
            var names = plugin.Programs;
            Check.That(names.Length > 1 && names.All(n => n.Length > 0), "named programs");
            Check.That(plugin.Program == 0, "the first program at the start");
            plugin.Program = names.Length - 1;
            Check.That(plugin.Program == names.Length - 1, "the last program selected");
            bool threw = false;
            try { plugin.Program = names.Length; } catch (TalvenException) { threw = true; }
            Check.That(threw, "a program past the last is an exception");
        }
    }

    [DllImport("libdl.so.2")] static extern IntPtr dlopen(string file, int mode);
    [DllImport("libdl.so.2")] static extern IntPtr dlsym(IntPtr handle, string name);
    [UnmanagedFunctionPointer(CallingConvention.Cdecl)]
    delegate int ControllerEdit(uint id, double value, [Out] int[] results);

    // Attaches the Recorder and subscribes, keeping nothing but the handle.
    static uint AttachRecorderAndForgetIt(uint channel, List<KeyValuePair<uint, double>> heard)
    {
        var plugin = TalvenPlugin.Attach(channel, Path.Combine(PluginDir, "Recorder.vst3"));
        plugin.ParameterChanged += (sender, e) => { lock (heard) heard.Add(new KeyValuePair<uint, double>(e.Id, e.Value)); };
        return plugin.Handle;
    }

    static void ParameterEditsReachTheEventAfterTheProgramDroppedThePlugin()
    {
        var heard = new List<KeyValuePair<uint, double>>();
        using (var channel = new SineChannel()) {
            uint handle = AttachRecorderAndForgetIt(channel.Handle, heard);
            for (int i = 0; i < 3; ++i) {
                GC.Collect();
                GC.WaitForPendingFinalizers();
            }
            IntPtr module = dlopen(Path.Combine(PluginDir, "Recorder.vst3/Contents/x86_64-linux/Recorder.so"), 2);
            Check.That(module != IntPtr.Zero, "the Recorder module is loaded");
            var edit = (ControllerEdit)Marshal.GetDelegateForFunctionPointer(dlsym(module, "TalvenTestControllerEdit"),
                                                                              typeof(ControllerEdit));
            Check.That(edit(0, 0.375, new int[3]) == 0, "the controller made an edit");
            lock (heard)
                Check.That(heard.Count == 1 && heard[0].Key == 0 && heard[0].Value == 0.375, "the edit was heard");
            Check.That(TalvenNative.TALVEN_ChannelRemoveDSP(0, handle) == 1, "detached");
        }
    }

    static void ParameterTextsArriveWholeUpToTheLongestAPluginCanShow()
    {
        const uint mix = 1;
        var cases = new[] {
            new { Value = 0.0, Expected = new string('\u97f3', 127) }, // three UTF-8 bytes a unit
            new { Value = 0.5, Expected = (string)null },              // the plug-in's own short text
        };
        using (var channel = new SineChannel())
        using (var plugin = TalvenPlugin.Attach(channel.Handle, Path.Combine(PluginDir, "Recorder.vst3"))) {
            foreach (var c in cases) {
                string text = plugin.GetParameterText(mix, c.Value);
                if (c.Expected == null)
                    Check.That(text.Length > 0 && text.All(ch => ch < 128), "short text at " + c.Value + ": " + text);
                else
                    Check.That(text == c.Expected, "whole text at " + c.Value + ": " + text.Length + " characters");
            }
        }
    }

    // The same plug-in in a process of its own sounds the same, block for block.
    static void AnIsolatedPluginSoundsAsAnAttachedOneAndRuns()
    {
        using (var own = new SineChannel())
        using (var apart = new SineChannel()) {
            using (var plugin = TalvenPlugin.Attach(own.Handle, Zam))
            using (var isolated = TalvenPlugin.Attach(apart.Handle, Zam, isolated: true)) {
                bool crashed = false;
                isolated.Crashed += (sender, e) => crashed = true;
                Check.That(isolated.Status == TalvenNative.TALVEN_STATUS_RUNNING, "the process runs");
                Check.That(plugin.Status == TalvenNative.TALVEN_STATUS_RUNNING, "an attachment in the program runs");
                Check.That(isolated.ParameterCount == plugin.ParameterCount, "the same parameters");
                plugin[ParameterId(plugin, "Makeup")] = 0.5;
                isolated[ParameterId(isolated, "Makeup")] = 0.5;
                for (int i = 0; i < 8; ++i) {
                    long first, firstApart;
                    var block = own.Pull(out first);
                    var blockApart = apart.Pull(out firstApart);
                    Check.That(first == firstApart && block.SequenceEqual(blockApart), "block " + i + " the same");
                }
                Check.That(!crashed, "no crash reported");
            }
        }
    }

    static void DisposeDetachesThePluginAndItsHandleStopsAnswering()
    {
        using (var channel = new SineChannel()) {
            var plugin = TalvenPlugin.Attach(channel.Handle, Zam);
            plugin[ParameterId(plugin, "Makeup")] = 0.5;
            plugin.Dispose();
            Check.That(TalvenNative.TALVEN_GetParamCount(plugin.Handle) == 0, "the handle names no plug-in");
            long first;
            var block = channel.Pull(out first);
            for (int i = 0; i < block.Length; ++i)
                Check.That(block[i] == SineChannel.Dry(first + i / 2, i % 2), "sample " + i + " dry");
            plugin.Dispose();

            var second = TalvenPlugin.Attach(channel.Handle, Zam);
            Check.That(TalvenLibrary.SetTrace(false) == false, "the trace stays off");
            Check.That(TalvenNative.TALVEN_ChannelFree(channel.Handle) == 1, "the channel freed through the library");
            Check.That(TalvenNative.TALVEN_GetParamCount(second.Handle) == 0, "its plug-in went with it");
            second.Dispose();
        }
    }

    // The child attaches a plug-in to a playing file stream (rendered by the
    // engine's own thread, with no managed code in the audio path) and
    // returns from Main with everything still in place.
    static int ExitChild(string wav)
    {
        Check.That(Bass.BASS_Init(0, 48000, 0, IntPtr.Zero, IntPtr.Zero) != 0, "engine up");
        uint stream = Bass.BASS_StreamCreateFile(0, Encoding.UTF8.GetBytes(wav + "\0"), 0, 0, Bass.SampleFloat);
        Check.That(stream != 0, "a file stream");
        var plugin = TalvenPlugin.Attach(stream, Zam);
        plugin[ParameterId(plugin, "Makeup")] = 0.5;
        Check.That(Bass.BASS_ChannelPlay(stream, 0) != 0, "playing");
        var deadline = DateTime.UtcNow.AddSeconds(30);
        while (Bass.BASS_ChannelGetPosition(stream, 0) < 48000 * 8 / 10 && DateTime.UtcNow < deadline)
            Thread.Sleep(10);
        Console.WriteLine("playing through the plug-in");
        return 0;
    }

    // The event recorder's instrument sounds (0.5) from a timed note on's frame.
    static void AnInstrumentStreamPlaysATimedNoteFromItsFrame()
    {
        string path = Path.Combine(Environment.GetEnvironmentVariable("TALVEN_TEST_PLUGIN_DIR"), "EventRecorder.vst3");
        uint handle;
        uint stream = TalvenNative.TALVEN_StreamCreate(48000, 2, path, null, Bass.StreamDecode, out handle);
        Check.That(stream != 0 && handle != 0, "the stream was made");
        var note = new[] { new TALVEN_MIDI_EVENT { frame = 700, status = 0x90, data1 = 60, data2 = 100 } };
        Check.That(TalvenNative.TALVEN_StreamEventsStruct(handle, TalvenNative.TALVEN_EVENTS_STRUCT | TalvenNative.TALVEN_EVENTS_TIME,
                                                          note, 1) == 1, "the note was taken");
        Check.That(TalvenNative.TALVEN_StreamEvents(handle, TalvenNative.TALVEN_EVENTS_RAW | TalvenNative.TALVEN_EVENTS_TIME,
                                                    new byte[] { 0x80, 60, 0 }, 3) == -1, "raw timed events are refused");
        var block = new float[2048];
        Check.That(Bass.BASS_ChannelGetData(stream, block, 2048 * 4) == 2048 * 4, "a whole block came");
        Check.That(block[2 * 699] == 0f && block[2 * 700] == 0.5f, "the sound starts at frame 700");
        Check.That(Bass.BASS_StreamFree(stream) != 0, "the stream was freed");
        Check.That(TalvenNative.TALVEN_GetParamCount(handle) == 0, "the instrument went with its stream");
    }

    static void AProgramEndingWithAPluginOnAPlayingChannelExitsCleanly()
    {
        string wav = Path.Combine(Path.GetTempPath(), "talven-dotnet-exit-" + Process.GetCurrentProcess().Id + ".wav");
        WriteSineWav(wav, 48000 * 10);
        try {
            var start = new ProcessStartInfo("mono", "\"" + Assembly.GetExecutingAssembly().Location + "\" exit-child \"" + wav + "\"") {
                UseShellExecute = false, RedirectStandardOutput = true,
            };
            using (var child = Process.Start(start)) {
                string output = child.StandardOutput.ReadToEnd();
                Check.That(child.WaitForExit(120000), "the child ended");
                Check.That(output.Contains("playing through the plug-in"), "the child got as far as playing");
                Check.That(child.ExitCode == 0, "the child exited with 0, not " + child.ExitCode);
            }
        } finally {
            File.Delete(wav);
        }
    }

    static void WriteSineWav(string path, int frames)
    {
        using (var w = new BinaryWriter(File.Create(path))) {
            int data = frames * 2 * 4;
            w.Write(Encoding.ASCII.GetBytes("RIFF")); w.Write(36 + data); w.Write(Encoding.ASCII.GetBytes("WAVEfmt "));
            w.Write(16); w.Write((short)3); w.Write((short)2); w.Write(48000); w.Write(48000 * 8); w.Write((short)8);
            w.Write((short)32); w.Write(Encoding.ASCII.GetBytes("data")); w.Write(data);
            for (int j = 0; j < frames; ++j)
                for (int c = 0; c < 2; ++c)
                    w.Write(SineChannel.Dry(j, c));
        }
    }

    [DllImport("libX11.so.6")] static extern IntPtr XOpenDisplay(IntPtr name);
    [DllImport("libX11.so.6")] static extern int XCloseDisplay(IntPtr display);
    [DllImport("libX11.so.6")] static extern IntPtr XDefaultRootWindow(IntPtr display);
    [DllImport("libX11.so.6")] static extern IntPtr XCreateSimpleWindow(IntPtr display, IntPtr parent, int x, int y,
        uint width, uint height, uint border, ulong borderPixel, ulong background);
    [DllImport("libX11.so.6")] static extern int XMapWindow(IntPtr display, IntPtr window);
    [DllImport("libX11.so.6")] static extern int XDestroyWindow(IntPtr display, IntPtr window);
    [DllImport("libX11.so.6")] static extern int XSync(IntPtr display, int discard);

    // The program's own X window stands for a WinForms panel's Handle.
    static void AnEditorEmbedsInTheProgramsWindowAndReportsItsSize()
    {
        if (string.IsNullOrEmpty(Environment.GetEnvironmentVariable("DISPLAY"))) {
            Console.WriteLine("skip   no X display");
            return;
        }
        IntPtr display = XOpenDisplay(IntPtr.Zero);
        Check.That(display != IntPtr.Zero, "the display opens");
        IntPtr panel = XCreateSimpleWindow(display, XDefaultRootWindow(display), 0, 0, 640, 480, 0, 0, 0xFFFFFF);
        XMapWindow(display, panel);
        XSync(display, 0);
        try {
            using (var channel = new SineChannel())
            using (var plugin = TalvenPlugin.Attach(channel.Handle, Path.Combine(PluginDir, "EditorEffect.vst3"))) {
                Check.That(plugin.EditorSize == null, "no view before the embedding");
                var resized = new List<Tuple<int, int>>();
                plugin.EditorResized += (sender, e) => { lock (resized) resized.Add(Tuple.Create(e.Width, e.Height)); };
                plugin.EmbedEditor(panel);
                Check.That(plugin.EditorSize != null && plugin.EditorSize.Equals(Tuple.Create(400, 300)),
                           "the view's size");
                Check.That(plugin.ResizeEditor(500, 350) == null, "a view of fixed size keeps it");
                bool refused = false;
                try {
                    plugin.EmbedEditor(new IntPtr(0x1FFFFFF0));
                } catch (TalvenException) {
                    refused = true;
                }
                Check.That(refused, "an id that names no window is refused");
                plugin.RemoveEmbeddedEditor();
                Check.That(plugin.EditorSize == null, "no view after the removal");
                lock (resized)
                    Check.That(resized.Count == 0, "the program's own requests make no report");
            }
        } finally {
            XDestroyWindow(display, panel);
            XCloseDisplay(display);
        }
    }

    static string Run(string program, string arguments)
    {
        var start = new ProcessStartInfo(program, arguments) { UseShellExecute = false, RedirectStandardOutput = true };
        using (var process = Process.Start(start)) {
            string output = process.StandardOutput.ReadToEnd();
            process.WaitForExit();
            Check.That(process.ExitCode == 0, program + " ran");
            return output;
        }
    }

    static int Main(string[] args)
    {
        TalvenLibrary.SetTrace(false);
        if (args.Length == 2 && args[0] == "exit-child")
            return ExitChild(args[1]);

        var tests = new List<Action> {
            StructsHaveTheLayoutOfTheCHeader,
            EveryExportHasADeclarationWithTheHeadersCallingConvention,
            VersionIsTheProjectsVersion,
            AZamPluginListsItsParametersAndAChangedParameterChangesTheOutput,
            ModuleClassesAndInfoDescribeTheAttachedPlugin,
            BypassPassesTheChannelThroughUntouched,
            AStoredPresetRecallsTheValuesItHeld,
            AStateGivenToAFreshPluginGivesBackTheSameBytes,
            ProgramsAreNamedAndSelected,
            ParameterEditsReachTheEventAfterTheProgramDroppedThePlugin,
            ParameterTextsArriveWholeUpToTheLongestAPluginCanShow,
            DisposeDetachesThePluginAndItsHandleStopsAnswering,
            AnInstrumentStreamPlaysATimedNoteFromItsFrame,
            AnIsolatedPluginSoundsAsAnAttachedOneAndRuns,
            AProgramEndingWithAPluginOnAPlayingChannelExitsCleanly,
            AnEditorEmbedsInTheProgramsWindowAndReportsItsSize,
        };
        Check.That(Bass.BASS_Init(0, 48000, 0, IntPtr.Zero, IntPtr.Zero) != 0, "engine up");
        int passed = 0, failed = 0;
        foreach (var test in tests) {
            try {
                test();
                ++passed;
                Console.WriteLine("ok     " + test.Method.Name);
            } catch (Exception e) {
                ++failed;
                Console.WriteLine("FAILED " + test.Method.Name + ": " + e.Message);
            }
        }
        Bass.BASS_Free();
        Console.WriteLine(passed + " passed, " + failed + " failed");
        return failed == 0 ? 0 : 1;
    }
}
