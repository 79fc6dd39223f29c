// Talven for .NET: every function of talven.h as a P/Invoke declaration
// (TalvenNative, with the header's structs and callback types), and a small
// object layer over them (TalvenPlugin, TalvenLibrary).
//
// Drop this file into a project; talven.dll (Windows) or libtalven.so
// (Linux) must be where the runtime finds native libraries, and BASS beside
// it. Strings cross as UTF-8 on every platform. The library calls back on its
// own threads (the editor's, or the audio thread): TalvenPlugin keeps the
// delegates it hands over alive until the plug-in is detached.
using System;
using System.Collections.Concurrent;
using System.Collections.Generic;
using System.Runtime.InteropServices;
using System.Text;

namespace Talven
{
    // TALVEN_POSITIONPROC: the editor window's outer left and top edge, and
    // closing = 1 when it was hidden or closed. Called on the window's thread.
    [UnmanagedFunctionPointer(CallingConvention.Winapi)]
    public delegate void TalvenPositionProc(int left, int top, int closing);

    // TALVEN_PARAMPROC: an edit the plug-in made itself, on the thread that
    // reported it; id TALVEN_ALL_PARAMETERS with value -1 for "all changed".
    [UnmanagedFunctionPointer(CallingConvention.Winapi)]
    public delegate void TalvenParamProc(uint handle, uint id, double value, IntPtr user);

    // TALVEN_EDITORPROC: the embedded view resized itself to width x height
    // (pixels); called on the view's thread after its child window took the
    // size.
    [UnmanagedFunctionPointer(CallingConvention.Winapi)]
    public delegate void TalvenEditorProc(uint handle, int width, int height, IntPtr user);

    // TALVEN_PARAMETERINFO: VST 3's ParameterInfo, 792 bytes, texts UTF-16.
    [StructLayout(LayoutKind.Sequential, CharSet = CharSet.Unicode)]
    public struct TALVEN_PARAMETERINFO
    {
        public uint id;
        [MarshalAs(UnmanagedType.ByValTStr, SizeConst = 128)] public string title;
        [MarshalAs(UnmanagedType.ByValTStr, SizeConst = 128)] public string shortTitle;
        [MarshalAs(UnmanagedType.ByValTStr, SizeConst = 128)] public string units;
        public int stepCount;
        public double defaultNormalizedValue;
        public int unitId;
        public int flags;
    }

    // TALVEN_CLASSINFO: texts are NUL-terminated UTF-8 in fixed fields; read
    // them through the properties. New() sets size and the fields.
    [StructLayout(LayoutKind.Sequential)]
    public struct TALVEN_CLASSINFO
    {
        public uint size;
        [MarshalAs(UnmanagedType.ByValArray, SizeConst = 128)] public byte[] name;
        [MarshalAs(UnmanagedType.ByValArray, SizeConst = 128)] public byte[] vendor;
        [MarshalAs(UnmanagedType.ByValArray, SizeConst = 64)] public byte[] version;
        [MarshalAs(UnmanagedType.ByValArray, SizeConst = 64)] public byte[] category;
        [MarshalAs(UnmanagedType.ByValArray, SizeConst = 128)] public byte[] subCategories;
        [MarshalAs(UnmanagedType.ByValArray, SizeConst = 64)] public byte[] sdkVersion;
        [MarshalAs(UnmanagedType.ByValArray, SizeConst = 33)] public byte[] classId;

        public static TALVEN_CLASSINFO New()
        {
            return new TALVEN_CLASSINFO {
                size = (uint)Marshal.SizeOf(typeof(TALVEN_CLASSINFO)),
                name = new byte[128], vendor = new byte[128], version = new byte[64], category = new byte[64],
                subCategories = new byte[128], sdkVersion = new byte[64], classId = new byte[33],
            };
        }

        public string Name { get { return Utf8.Read(name); } }
        public string Vendor { get { return Utf8.Read(vendor); } }
        public string Version { get { return Utf8.Read(version); } }
        public string Category { get { return Utf8.Read(category); } }
        public string SubCategories { get { return Utf8.Read(subCategories); } }
        public string SdkVersion { get { return Utf8.Read(sdkVersion); } }
        public string ClassId { get { return Utf8.Read(classId); } }
    }

    // TALVEN_INFO. New() sets size (and plugin's).
    [StructLayout(LayoutKind.Sequential)]
    public struct TALVEN_INFO
    {
        public uint size;
        public TALVEN_CLASSINFO plugin;
        public int inputChannels;
        public int outputChannels;
        public int latencySamples;
        public uint tailSamples;
        public int hasEditor;
        public int parameterCount;

        public static TALVEN_INFO New()
        {
            return new TALVEN_INFO { size = (uint)Marshal.SizeOf(typeof(TALVEN_INFO)), plugin = TALVEN_CLASSINFO.New() };
        }
    }

    // TALVEN_MIDI_EVENT: one MIDI message for TALVEN_StreamEvents; frame
    // counts with TALVEN_EVENTS_TIME; system exclusive: size bytes at data.
    [StructLayout(LayoutKind.Sequential)]
    public struct TALVEN_MIDI_EVENT
    {
        public ulong frame;
        public byte status;
        public byte data1;
        public byte data2;
        public byte reserved;
        public uint size;
        public IntPtr data;
    }

    // TALVEN_STATUSPROC: an isolated plug-in's process ended or stopped
    // answering (status TALVEN_STATUS_CRASHED), on a thread of the library's.
    [UnmanagedFunctionPointer(CallingConvention.Winapi)]
    public delegate void TalvenStatusProc(uint handle, int status, IntPtr user);

    // TALVEN_ATTACH: the attach's options; the texts are pointers to
    // NUL-terminated UTF-8 (TalvenPlugin.Attach makes them).
    [StructLayout(LayoutKind.Sequential)]
    public struct TALVEN_ATTACH
    {
        public uint size;
        public IntPtr path;
        public IntPtr classId;
        public int priority;
        public uint flags;
        public byte showEditor;
        public int editorX;
        public int editorY;
        public IntPtr positionCallback;
        public IntPtr title;
    }

    // The exported functions, one to one. Handles are positive; 0 is failure.
    public static class TalvenNative
    {
        // "talven" resolves to talven.dll on Windows and libtalven.so on Linux.
        public const string Library = "talven";
        public const uint TALVEN_ALL_PARAMETERS = 0xFFFFFFFFu;

        // Winapi is the header's TALVEN_CALL: __stdcall on Windows, the
        // platform's C convention elsewhere.
        private const CallingConvention Call = CallingConvention.Winapi;
        private const UnmanagedType Text = UnmanagedType.CustomMarshaler;

        [DllImport(Library, CallingConvention = Call)]
        public static extern uint TALVEN_ChannelSetDSPEx(uint channel,
            [MarshalAs(Text, MarshalTypeRef = typeof(Utf8))] string path, uint reserved, int priority,
            IntPtr reservedPointer, uint reserved2, uint reserved3, byte showEditor, int editorX, int editorY,
            TalvenPositionProc positionCallback, [MarshalAs(Text, MarshalTypeRef = typeof(Utf8))] string title);

        [DllImport(Library, CallingConvention = Call)]
        public static extern uint TALVEN_ChannelSetDSP(uint channel,
            [MarshalAs(Text, MarshalTypeRef = typeof(Utf8))] string path, uint reserved, int priority,
            byte showEditor, int editorX, int editorY, TalvenPositionProc positionCallback,
            [MarshalAs(Text, MarshalTypeRef = typeof(Utf8))] string title);

        [DllImport(Library, CallingConvention = Call)]
        public static extern int TALVEN_ChannelRemoveDSP(uint channel, uint handle);

        [DllImport(Library, CallingConvention = Call)]
        public static extern int TALVEN_ChannelFree(uint channel);

        [DllImport(Library, CallingConvention = Call)]
        public static extern int TALVEN_GetBypass(uint handle);

        [DllImport(Library, CallingConvention = Call)]
        public static extern int TALVEN_SetBypass(uint handle, int request);

        [DllImport(Library, CallingConvention = Call)]
        public static extern int TALVEN_GetParamCount(uint handle);

        [DllImport(Library, CallingConvention = Call)]
        public static extern int TALVEN_GetParamInfo(uint handle, int index, out TALVEN_PARAMETERINFO info);

        [DllImport(Library, CallingConvention = Call)]
        public static extern double TALVEN_GetParam(uint handle, uint id);

        [DllImport(Library, CallingConvention = Call)]
        public static extern int TALVEN_SetParam(uint handle, uint id, float value);

        [DllImport(Library, CallingConvention = Call)]
        public static extern int TALVEN_StorePreset([MarshalAs(Text, MarshalTypeRef = typeof(Utf8))] string path,
                                                    uint reserved, uint handle);

        [DllImport(Library, CallingConvention = Call)]
        public static extern int TALVEN_RecallPreset([MarshalAs(Text, MarshalTypeRef = typeof(Utf8))] string path,
                                                     uint handle);

        [DllImport(Library, CallingConvention = Call)]
        public static extern int TALVEN_ShowEditor(uint handle, byte visible, int x, int y,
            TalvenPositionProc positionCallback, [MarshalAs(Text, MarshalTypeRef = typeof(Utf8))] string title);

        // parent: an HWND on Windows, an X11 window id on Linux; IntPtr.Zero
        // removes the embedded view.
        [DllImport(Library, CallingConvention = Call)]
        public static extern int TALVEN_EmbedEditor(uint handle, IntPtr parent);

        [DllImport(Library, CallingConvention = Call)]
        public static extern int TALVEN_GetEditorSize(uint handle, out int width, out int height);

        [DllImport(Library, CallingConvention = Call)]
        public static extern int TALVEN_SetEditorSize(uint handle, ref int width, ref int height);

        [DllImport(Library, CallingConvention = Call)]
        public static extern int TALVEN_SetEditorCallback(uint handle, TalvenEditorProc callback, IntPtr user);

        [DllImport(Library, CallingConvention = Call)]
        public static extern int TALVEN_SetTrace(int enabled);

        [DllImport(Library, CallingConvention = Call)]
        public static extern uint TALVEN_GetVersion();

        [DllImport(Library, CallingConvention = Call)]
        public static extern int TALVEN_GetInfo(uint handle, ref TALVEN_INFO info);

        // classes: null with capacity 0 only counts; else classes[0].size set.
        [DllImport(Library, CallingConvention = Call)]
        public static extern int TALVEN_GetModuleClasses([MarshalAs(Text, MarshalTypeRef = typeof(Utf8))] string path,
                                                         [In, Out] TALVEN_CLASSINFO[] classes, int capacity);

        [DllImport(Library, CallingConvention = Call)]
        public static extern uint TALVEN_ChannelSetDSPClass(uint channel,
            [MarshalAs(Text, MarshalTypeRef = typeof(Utf8))] string path,
            [MarshalAs(Text, MarshalTypeRef = typeof(Utf8))] string classId, int priority, byte showEditor,
            int editorX, int editorY, TalvenPositionProc positionCallback,
            [MarshalAs(Text, MarshalTypeRef = typeof(Utf8))] string title);

        [DllImport(Library, CallingConvention = Call)]
        public static extern int TALVEN_SetParamCallback(uint handle, TalvenParamProc callback, IntPtr user);

        // text receives size bytes of UTF-8 (Utf8.Read decodes it).
        [DllImport(Library, CallingConvention = Call)]
        public static extern int TALVEN_GetParamText(uint handle, uint id, double value, [Out] byte[] text, int size);

        [DllImport(Library, CallingConvention = Call)]
        public static extern int TALVEN_GetParamValueFromText(uint handle, uint id,
            [MarshalAs(Text, MarshalTypeRef = typeof(Utf8))] string text, out double value);

        [DllImport(Library, CallingConvention = Call)]
        public static extern int TALVEN_SetTransport(uint handle, double tempo, int numerator, int denominator);

        // data null or capacity too small: the size needed; -1 on failure.
        [DllImport(Library, CallingConvention = Call)]
        public static extern int TALVEN_GetState(uint handle, [Out] byte[] data, int capacity);

        [DllImport(Library, CallingConvention = Call)]
        public static extern int TALVEN_SetState(uint handle, [In] byte[] data, int size);

        [DllImport(Library, CallingConvention = Call)]
        public static extern int TALVEN_GetProgramCount(uint handle);

        // name receives size bytes of UTF-8 (Utf8.Read decodes it).
        [DllImport(Library, CallingConvention = Call)]
        public static extern int TALVEN_GetProgramName(uint handle, int index, [Out] byte[] name, int size);

        [DllImport(Library, CallingConvention = Call)]
        public static extern int TALVEN_GetProgram(uint handle);

        [DllImport(Library, CallingConvention = Call)]
        public static extern int TALVEN_SetProgram(uint handle, int index);

        [DllImport(Library, CallingConvention = Call)]
        public static extern int TALVEN_SetSidechain(uint handle, uint channel, int priority);

        public const uint TALVEN_EVENTS_RAW = 0;
        public const uint TALVEN_EVENTS_STRUCT = 1;
        public const uint TALVEN_EVENTS_TIME = 0x10000;

        // classId null: the module's first instrument. handle: the
        // instrument's Talven handle (0 on failure).
        [DllImport(Library, CallingConvention = Call)]
        public static extern uint TALVEN_StreamCreate(uint freq, uint chans,
            [MarshalAs(Text, MarshalTypeRef = typeof(Utf8))] string path,
            [MarshalAs(Text, MarshalTypeRef = typeof(Utf8))] string classId, uint flags, out uint handle);

        // Raw MIDI bytes (TALVEN_EVENTS_RAW).
        [DllImport(Library, CallingConvention = Call)]
        public static extern int TALVEN_StreamEvents(uint handle, uint mode, byte[] events, uint length);

        // TALVEN_MIDI_EVENTs (TALVEN_EVENTS_STRUCT, optionally | TALVEN_EVENTS_TIME).
        [DllImport(Library, CallingConvention = Call, EntryPoint = "TALVEN_StreamEvents")]
        public static extern int TALVEN_StreamEventsStruct(uint handle, uint mode, [In] TALVEN_MIDI_EVENT[] events,
                                                           uint length);

        public const uint TALVEN_ATTACH_ISOLATED = 1;
        public const int TALVEN_STATUS_RUNNING = 0;
        public const int TALVEN_STATUS_CRASHED = 1;

        [DllImport(Library, CallingConvention = Call)]
        public static extern uint TALVEN_ChannelSetDSPWith(uint channel, ref TALVEN_ATTACH attach);

        // TALVEN_STATUS_RUNNING or TALVEN_STATUS_CRASHED; -1 for an unknown handle.
        [DllImport(Library, CallingConvention = Call)]
        public static extern int TALVEN_GetStatus(uint handle);

        [DllImport(Library, CallingConvention = Call)]
        public static extern int TALVEN_SetStatusCallback(uint handle, TalvenStatusProc callback, IntPtr user);
    }

    // Strings to NUL-terminated UTF-8 and back, whatever the platform's
    // "ANSI" code page is.
    public sealed class Utf8 : ICustomMarshaler
    {
        private static readonly Utf8 instance = new Utf8();

        public static ICustomMarshaler GetInstance(string cookie) { return instance; }

        // The text of a NUL-terminated UTF-8 field (all of it without a NUL).
        public static string Read(byte[] field)
        {
            if (field == null)
                return "";
            int length = Array.IndexOf(field, (byte)0);
            return Encoding.UTF8.GetString(field, 0, length < 0 ? field.Length : length);
        }

        public IntPtr MarshalManagedToNative(object managed)
        {
            var text = managed as string;
            if (text == null)
                return IntPtr.Zero;
            byte[] bytes = Encoding.UTF8.GetBytes(text);
            IntPtr native = Marshal.AllocHGlobal(bytes.Length + 1);
            Marshal.Copy(bytes, 0, native, bytes.Length);
            Marshal.WriteByte(native, bytes.Length, 0);
            return native;
        }

        public void CleanUpNativeData(IntPtr native)
        {
            if (native != IntPtr.Zero)
                Marshal.FreeHGlobal(native);
        }

        public object MarshalNativeToManaged(IntPtr native) { throw new NotSupportedException(); }
        public void CleanUpManagedData(object managed) { }
        public int GetNativeDataSize() { return -1; }
    }

    public class TalvenException : Exception
    {
        public TalvenException(string message) : base(message) { }
    }

    public sealed class ParameterChangedEventArgs : EventArgs
    {
        public ParameterChangedEventArgs(uint id, double value) { Id = id; Value = value; }
        // TalvenNative.TALVEN_ALL_PARAMETERS (and Value -1) when many changed.
        public uint Id { get; private set; }
        public double Value { get; private set; }
        public bool AllChanged { get { return Id == TalvenNative.TALVEN_ALL_PARAMETERS; } }
    }

    // Functions that concern no single plug-in.
    public sealed class EditorResizedEventArgs : EventArgs
    {
        public EditorResizedEventArgs(int width, int height) { Width = width; Height = height; }
        public int Width { get; private set; }
        public int Height { get; private set; }
    }

    public static class TalvenLibrary
    {
        // TALVEN_GetVersion as major.minor.revision.build.
        public static Version Version
        {
            get
            {
                uint v = TalvenNative.TALVEN_GetVersion();
                return new Version((int)(v >> 24), (int)((v >> 16) & 0xFF), (int)((v >> 8) & 0xFF), (int)(v & 0xFF));
            }
        }

        // Hears exceptions thrown by a plug-in's event handlers: they cannot
        // travel through the library's frames, so they end here, on the
        // thread that raised them.
        public static event Action<Exception> CallbackFailed;

        internal static void ReportCallbackFailure(Exception e)
        {
            try {
                var handler = CallbackFailed;
                if (handler != null)
                    handler(e);
            } catch (Exception) {
                // A failing failure handler has nowhere left to report to.
            }
        }

        // Switches the trace file (my_log.txt) on or off; returns the previous state.
        public static bool SetTrace(bool enabled) { return TalvenNative.TALVEN_SetTrace(enabled ? 1 : 0) != 0; }

        // Every class of the module at path, in the factory's order.
        public static TALVEN_CLASSINFO[] GetModuleClasses(string path)
        {
            int count = TalvenNative.TALVEN_GetModuleClasses(path, null, 0);
            if (count < 0)
                throw new TalvenException("not a loadable VST 3 module: " + path);
            var classes = new TALVEN_CLASSINFO[Math.Max(count, 1)];
            for (int i = 0; i < classes.Length; ++i)
                classes[i] = TALVEN_CLASSINFO.New();
            count = TalvenNative.TALVEN_GetModuleClasses(path, classes, classes.Length);
            if (count < 0)
                throw new TalvenException("not a loadable VST 3 module: " + path);
            Array.Resize(ref classes, Math.Min(count, classes.Length));
            return classes;
        }
    }

    // One plug-in attached to one BASS channel. Dispose detaches it (freeing
    // the channel also does, but dispose the object still, so that it lets
    // go of its callbacks). The parameter members may be called from any
    // threads: the library lets one call at a time into the plug-in.
    public sealed class TalvenPlugin : IDisposable
    {
        // Every attached plug-in, so that the delegates the library holds
        // stay alive even when the program drops its last reference.
        private static readonly ConcurrentDictionary<uint, TalvenPlugin> attached =
            new ConcurrentDictionary<uint, TalvenPlugin>();

        private readonly TalvenPositionProc positionThunk;
        private readonly TalvenParamProc paramThunk;
        private readonly TalvenEditorProc editorThunk;
        private readonly TalvenStatusProc statusThunk;
        private EventHandler crashed;
        private readonly object gate = new object();
        private EventHandler<EditorResizedEventArgs> editorResized;
        private Action<int, int, bool> positionHandler;
        private EventHandler<ParameterChangedEventArgs> parameterChanged;
        private bool disposed;

        private TalvenPlugin()
        {
            positionThunk = OnPosition;
            paramThunk = OnParameterChanged;
            editorThunk = OnEditorResized;
            statusThunk = OnStatus;
        }

        // Attaches the first audio effect of the module at path (or the class
        // with that class ID) to a float BASS channel; isolated: in a process
        // of its own (talven-host), whose crash only ends that process.
        public static TalvenPlugin Attach(uint channel, string path, int priority = 0, string classId = null,
                                          bool isolated = false)
        {
            var plugin = new TalvenPlugin();
            uint handle = isolated ? AttachIsolated(channel, path, priority, classId)
                : classId == null
                ? TalvenNative.TALVEN_ChannelSetDSP(channel, path, 0, priority, 0, 0, 0, null, null)
                : TalvenNative.TALVEN_ChannelSetDSPClass(channel, path, classId, priority, 0, 0, 0, null, null);
            if (handle == 0)
                throw new TalvenException("could not attach " + path + " to channel " + channel);
            plugin.Handle = handle;
            attached[handle] = plugin;
            return plugin;
        }

        private static uint AttachIsolated(uint channel, string path, int priority, string classId)
        {
            var text = (Utf8)Utf8.GetInstance(null);
            var options = new TALVEN_ATTACH {
                size = (uint)Marshal.SizeOf(typeof(TALVEN_ATTACH)),
                path = text.MarshalManagedToNative(path),
                classId = text.MarshalManagedToNative(classId),
                priority = priority,
                flags = TalvenNative.TALVEN_ATTACH_ISOLATED,
            };
            try {
                return TalvenNative.TALVEN_ChannelSetDSPWith(channel, ref options);
            } finally {
                text.CleanUpNativeData(options.path);
                text.CleanUpNativeData(options.classId);
            }
        }

        public uint Handle { get; private set; }

        // TalvenNative.TALVEN_STATUS_RUNNING or TALVEN_STATUS_CRASHED (an
        // isolated plug-in's process ended or stopped answering).
        public int Status { get { return TalvenNative.TALVEN_GetStatus(Handle); } }

        // An isolated plug-in's process ended or stopped answering: raised
        // once, on a thread of the library's; the channel plays on dry.
        public event EventHandler Crashed
        {
            add
            {
                lock (gate) {
                    if (crashed == null &&
                        TalvenNative.TALVEN_SetStatusCallback(Handle, statusThunk, IntPtr.Zero) == 0)
                        throw new TalvenException("the plug-in is detached");
                    crashed += value;
                }
            }
            remove
            {
                lock (gate) {
                    crashed -= value;
                    if (crashed == null)
                        TalvenNative.TALVEN_SetStatusCallback(Handle, null, IntPtr.Zero);
                }
            }
        }

        public bool Bypass
        {
            get { return TalvenNative.TALVEN_GetBypass(Handle) != 0; }
            set
            {
                if (TalvenNative.TALVEN_SetBypass(Handle, value ? 1 : 0) == 0)
                    throw new TalvenException("the plug-in refused to switch bypass " + (value ? "on" : "off"));
            }
        }

        public int ParameterCount { get { return TalvenNative.TALVEN_GetParamCount(Handle); } }

        public TALVEN_PARAMETERINFO GetParameterInfo(int index)
        {
            TALVEN_PARAMETERINFO info;
            if (TalvenNative.TALVEN_GetParamInfo(Handle, index, out info) != 0)
                throw new TalvenException("no parameter at index " + index);
            return info;
        }

        public IList<TALVEN_PARAMETERINFO> Parameters
        {
            get
            {
                var list = new List<TALVEN_PARAMETERINFO>();
                int count = ParameterCount;
                for (int i = 0; i < count; ++i)
                    list.Add(GetParameterInfo(i));
                return list;
            }
        }

        // The normalized value (0 to 1) of the parameter with that id.
        public double this[uint id]
        {
            get { return TalvenNative.TALVEN_GetParam(Handle, id); }
            set
            {
                int result = TalvenNative.TALVEN_SetParam(Handle, id, (float)value);
                if (result != 0)
                    throw new TalvenException("the plug-in refused parameter " + id + " (result " + result + ")");
            }
        }

        // A plug-in's display text is a String128: at most 128 UTF-16 units,
        // each of at most three bytes in UTF-8, and the terminating zero.
        public const int ParameterTextBytes = 128 * 3 + 1;

        // The value as the plug-in shows it; value below 0: the current one.
        public string GetParameterText(uint id, double value = -1)
        {
            var text = new byte[ParameterTextBytes];
            if (TalvenNative.TALVEN_GetParamText(Handle, id, value, text, text.Length) == 0)
                throw new TalvenException("no text for parameter " + id);
            return Utf8.Read(text);
        }

        // The normalized value the plug-in reads out of text, or null.
        public double? ParseParameterText(uint id, string text)
        {
            double value;
            return TalvenNative.TALVEN_GetParamValueFromText(Handle, id, text, out value) != 0 ? value : (double?)null;
        }

        public TALVEN_INFO Info
        {
            get
            {
                TALVEN_INFO info = TALVEN_INFO.New();
                if (TalvenNative.TALVEN_GetInfo(Handle, ref info) == 0)
                    throw new TalvenException("the plug-in is detached");
                return info;
            }
        }

        public void SetTransport(double tempo, int numerator, int denominator)
        {
            if (TalvenNative.TALVEN_SetTransport(Handle, tempo, numerator, denominator) == 0)
                throw new TalvenException("transport refused");
        }

        public void StorePreset(string path)
        {
            if (TalvenNative.TALVEN_StorePreset(path, 0, Handle) == 0)
                throw new TalvenException("could not store the preset to " + path);
        }

        public void RecallPreset(string path)
        {
            if (TalvenNative.TALVEN_RecallPreset(path, Handle) == 0)
                throw new TalvenException("could not recall the preset " + path);
        }

        // The plug-in's whole state: the bytes of a preset file, made in memory.
        public byte[] State
        {
            get
            {
                int size = TalvenNative.TALVEN_GetState(Handle, null, 0);
                if (size < 0)
                    throw new TalvenException("the plug-in gave no state");
                var state = new byte[size];
                if (TalvenNative.TALVEN_GetState(Handle, state, size) != size)
                    throw new TalvenException("the plug-in's state changed its size while it was read");
                return state;
            }
            set
            {
                if (value == null || value.Length == 0 || TalvenNative.TALVEN_SetState(Handle, value, value.Length) == 0)
                    throw new TalvenException("the plug-in did not take the state");
            }
        }

        // The names of the plug-in's programs, in order.
        public string[] Programs
        {
            get
            {
                var names = new string[Math.Max(TalvenNative.TALVEN_GetProgramCount(Handle), 0)];
                for (int i = 0; i < names.Length; ++i) {
                    var name = new byte[256];
                    if (TalvenNative.TALVEN_GetProgramName(Handle, i, name, name.Length) == 0)
                        throw new TalvenException("no name for program " + i);
                    names[i] = Utf8.Read(name);
                }
                return names;
            }
        }

        // The current program's index (-1: none); setting selects one.
        public int Program
        {
            get { return TalvenNative.TALVEN_GetProgram(Handle); }
            set
            {
                if (TalvenNative.TALVEN_SetProgram(Handle, value) == 0)
                    throw new TalvenException("program " + value + " cannot be selected");
            }
        }

        // Shows the plug-in's editor (x and y both 0: centred). positionChanged
        // hears (left, top, closing) on the window's thread.
        public void ShowEditor(int x = 0, int y = 0, string title = null, Action<int, int, bool> positionChanged = null)
        {
            positionHandler = positionChanged;
            if (TalvenNative.TALVEN_ShowEditor(Handle, 1, x, y, positionThunk, title) == 0)
                throw new TalvenException("the plug-in is detached");
        }

        public void HideEditor()
        {
            TalvenNative.TALVEN_ShowEditor(Handle, 0, 0, 0, null, null);
        }

        // Puts the plug-in's editor inside a window of the program's: parent is
        // a WinForms Control.Handle (an HWND), a WPF HwndHost's handle, or an
        // X11 window id on Linux. The view sits at the window's top-left
        // corner; size the panel to EditorSize. On Windows call it on the
        // window's thread, or from another while that thread dispatches.
        public void EmbedEditor(IntPtr parent)
        {
            if (parent == IntPtr.Zero)
                throw new ArgumentException("no window: RemoveEmbeddedEditor takes the view out", "parent");
            if (TalvenNative.TALVEN_EmbedEditor(Handle, parent) == 0)
                throw new TalvenException("the editor cannot go into that window (not a window, the plug-in " +
                                          "is detached, or its own editor window shows: hide it first)");
        }

        public void RemoveEmbeddedEditor()
        {
            TalvenNative.TALVEN_EmbedEditor(Handle, IntPtr.Zero);
        }

        // The shown view's size in pixels, or null when no view shows.
        public Tuple<int, int> EditorSize
        {
            get
            {
                int width, height;
                if (TalvenNative.TALVEN_GetEditorSize(Handle, out width, out height) == 0)
                    return null;
                return Tuple.Create(width, height);
            }
        }

        // Asks the view for this size; the size it took, or null when it
        // does not resize.
        public Tuple<int, int> ResizeEditor(int width, int height)
        {
            if (TalvenNative.TALVEN_SetEditorSize(Handle, ref width, ref height) == 0)
                return null;
            return Tuple.Create(width, height);
        }

        // The embedded view resized itself; raised on the view's thread
        // after its window took the size: resize the panel here.
        public event EventHandler<EditorResizedEventArgs> EditorResized
        {
            add
            {
                lock (gate) {
                    if (editorResized == null &&
                        TalvenNative.TALVEN_SetEditorCallback(Handle, editorThunk, IntPtr.Zero) == 0)
                        throw new TalvenException("the plug-in is detached");
                    editorResized += value;
                }
            }
            remove
            {
                lock (gate) {
                    editorResized -= value;
                    if (editorResized == null)
                        TalvenNative.TALVEN_SetEditorCallback(Handle, null, IntPtr.Zero);
                }
            }
        }

        // Edits the plug-in makes itself (its editor, its own automation),
        // raised on the thread that reported them.
        public event EventHandler<ParameterChangedEventArgs> ParameterChanged
        {
            add
            {
                lock (gate) {
                    if (parameterChanged == null &&
                        TalvenNative.TALVEN_SetParamCallback(Handle, paramThunk, IntPtr.Zero) == 0)
                        throw new TalvenException("the plug-in is detached");
                    parameterChanged += value;
                }
            }
            remove
            {
                lock (gate) {
                    parameterChanged -= value;
                    if (parameterChanged == null)
                        TalvenNative.TALVEN_SetParamCallback(Handle, null, IntPtr.Zero);
                }
            }
        }

        // Detaches the plug-in. The callbacks are let go only once the library
        // cannot call them any more: after the detach, or when the handle no
        // longer names an instance (its channel was freed). A detach refused
        // (from inside the plug-in's processing, or while another is under
        // way) leaves the object usable, so a later Dispose can finish it.
        public void Dispose()
        {
            if (disposed)
                return;
            bool gone = TalvenNative.TALVEN_ChannelRemoveDSP(0, Handle) != 0 ||
                        TalvenNative.TALVEN_ShowEditor(Handle, 0, 0, 0, null, null) == 0;
            if (!gone)
                return;
            disposed = true;
            TalvenPlugin ignored;
            attached.TryRemove(Handle, out ignored);
        }

        // The editor's thread. No exception may unwind into the library.
        private void OnPosition(int left, int top, int closing)
        {
            try {
                var handler = positionHandler;
                if (handler != null)
                    handler(left, top, closing != 0);
            } catch (Exception e) {
                TalvenLibrary.ReportCallbackFailure(e);
            }
        }

        // A thread of the library's.
        private void OnStatus(uint handle, int status, IntPtr user)
        {
            try {
                var handler = crashed;
                if (handler != null && status == TalvenNative.TALVEN_STATUS_CRASHED)
                    handler(this, EventArgs.Empty);
            } catch (Exception e) {
                TalvenLibrary.ReportCallbackFailure(e);
            }
        }

        // The view's thread.
        private void OnEditorResized(uint handle, int width, int height, IntPtr user)
        {
            try {
                var handler = editorResized;
                if (handler != null)
                    handler(this, new EditorResizedEventArgs(width, height));
            } catch (Exception e) {
                TalvenLibrary.ReportCallbackFailure(e);
            }
        }

        // The thread on which the plug-in reported the edit.
        private void OnParameterChanged(uint handle, uint id, double value, IntPtr user)
        {
            try {
                var handler = parameterChanged;
                if (handler != null)
                    handler(this, new ParameterChangedEventArgs(id, value));
            } catch (Exception e) {
                TalvenLibrary.ReportCallbackFailure(e);
            }
        }
    }
}
