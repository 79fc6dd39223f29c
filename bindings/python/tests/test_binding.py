"""The Python binding end to end: libtalven.so and the BASS-compatible
engine, ZamCompX2 from zam-plugins and the Recorder test plug-in."""

import ctypes
import gc
import os
import re
import subprocess
import sys
import struct

import pytest

import talven
from talven import _native
from conftest import ZAM, SineChannel, dry, rms

HERE = os.path.dirname(os.path.abspath(__file__))


def makeup_id(plugin):
    return next(p.id for p in plugin.parameters if p.title == "Makeup")


def test_structs_have_the_layout_of_the_c_header():
    out = subprocess.run([os.environ["TALVEN_ABI_LAYOUT"]], check=True, capture_output=True, text=True).stdout
    structs = {name: getattr(_native, name) for name in ("TALVEN_PARAMETERINFO", "TALVEN_CLASSINFO", "TALVEN_INFO",
                                                          "TALVEN_MIDI_EVENT", "TALVEN_ATTACH")}
    fields = 0
    for line in out.splitlines():
        struct_name, field, offset, size = line.split()
        cls = structs[struct_name]
        if field == "-":
            assert ctypes.sizeof(cls) == int(size), struct_name
        else:
            fields += 1
            descriptor = getattr(cls, field)
            assert (descriptor.offset, descriptor.size) == (int(offset), int(size)), f"{struct_name}.{field}"
    assert fields == 41


def test_every_export_has_a_prototype_and_nothing_else_does():
    with open(os.environ["TALVEN_DEF"]) as f:
        exported = {line.strip() for line in f if line.strip().startswith("TALVEN_")}
    assert len(exported) == 38
    assert set(_native.PROTOTYPES) == exported
    lib = _native.library()
    for name in exported:
        assert getattr(lib, name).argtypes is not None, name


def test_version_is_the_projects_version():
    assert ".".join(map(str, talven.version())) == os.environ["TALVEN_VERSION"]


def test_a_zam_plugin_lists_its_parameters_and_a_changed_parameter_changes_the_output(channel):
    with talven.Plugin(channel.handle, ZAM) as plugin:
        parameters = plugin.parameters
        assert len(parameters) == plugin.parameter_count > 5
        assert all(p.title for p in parameters)
        makeup = makeup_id(plugin)
        assert next(p for p in parameters if p.id == makeup).units == "dB"

        before = rms(channel.pull()[1])
        plugin[makeup] = 0.5
        assert plugin[makeup] == pytest.approx(0.5, abs=1e-6)
        text = plugin.parameter_text(makeup)
        assert plugin.parse_parameter_text(makeup, text) == pytest.approx(0.5, abs=1e-3)
        assert plugin.parameter_text(makeup, 0.0) != text

        channel.pull()  # the change reaches the next block
        after = rms(channel.pull()[1])
        assert after > 2 * before


def test_module_classes_and_info_describe_the_attached_plugin(channel):
    classes = talven.module_classes(ZAM)
    assert [c.category for c in classes] == ["Audio Module Class", "Component Controller Class"]
    effect = classes[0]
    assert re.fullmatch("[0-9A-F]{32}", effect.class_id) and effect.vendor == "Damien Zammit"
    with talven.Plugin(channel.handle, ZAM, class_id=effect.class_id.lower()) as plugin:
        info = plugin.info
        assert info.plugin == effect
        assert (info.input_channels, info.output_channels) == (2, 2)
        assert info.parameter_count == plugin.parameter_count
        plugin.set_transport(90, 3, 4)
        with pytest.raises(talven.TalvenError):
            plugin.set_transport(90, 3, 5)
    with pytest.raises(talven.TalvenError):
        talven.module_classes("/nonexistent.vst3")


def test_bypass_passes_the_channel_through_untouched(channel):
    with talven.Plugin(channel.handle, ZAM) as plugin:
        plugin[makeup_id(plugin)] = 0.5
        plugin.bypass = True
        assert plugin.bypass
        first, block = channel.pull()
        assert block == [ctypes.c_float(dry(first + i // 2, i % 2)).value for i in range(len(block))]
        plugin.bypass = False
        assert not plugin.bypass


def test_a_stored_preset_recalls_the_values_it_held(channel, tmp_path):
    path = tmp_path / "Comp ünïcode.vstpreset"
    with talven.Plugin(channel.handle, ZAM) as plugin:
        makeup = makeup_id(plugin)
        plugin[makeup] = 0.25
        channel.pull()  # the value reaches the processor with the next block
        plugin.store_preset(path)
        assert path.stat().st_size > 0
        plugin[makeup] = 0.75
        plugin.recall_preset(path)
        assert plugin[makeup] == pytest.approx(0.25, abs=1e-6)
        with pytest.raises(talven.TalvenError):
            plugin.recall_preset(tmp_path / "missing.vstpreset")


def test_a_state_given_to_a_fresh_plugin_gives_back_the_same_bytes(bass, channel):
    with talven.Plugin(channel.handle, ZAM) as plugin:
        plugin[makeup_id(plugin)] = 0.25
        channel.pull()
        state = plugin.state
        assert state[:4] == b"VST3"
    other = SineChannel(bass)
    try:
        with talven.Plugin(other.handle, ZAM) as fresh:
            assert fresh[makeup_id(fresh)] != pytest.approx(0.25, abs=1e-6)
            fresh.state = state
            assert fresh[makeup_id(fresh)] == pytest.approx(0.25, abs=1e-6)
            assert fresh.state == state
            for damaged in (b"", state[:40], b"RIFF" + state[4:]):
                with pytest.raises(talven.TalvenError):
                    fresh.state = damaged
            assert fresh.state == state
    finally:
        bass.BASS_StreamFree(other.handle)


def test_programs_are_named_and_selected(channel):
    with talven.Plugin(channel.handle, ZAM) as plugin:
        names = plugin.programs
        assert len(names) > 1 and all(names)
        assert plugin.program == 0
        plugin.program = len(names) - 1
        assert plugin.program == len(names) - 1
        with pytest.raises(talven.TalvenError):
            plugin.program = len(names)


def test_parameter_edits_reach_the_handler_after_the_program_dropped_the_plugin(channel):
    heard = []
    recorder = os.path.join(os.environ["TALVEN_TEST_PLUGIN_DIR"], "Recorder.vst3")
    plugin = talven.Plugin(channel.handle, recorder)
    plugin.on_parameter_change = lambda parameter_id, value: heard.append((parameter_id, value))
    handle = plugin.handle
    del plugin
    gc.collect()

    module = ctypes.CDLL(os.path.join(recorder, "Contents", "x86_64-linux", "Recorder.so"))
    results = (ctypes.c_int * 3)()
    module.TalvenTestControllerEdit.argtypes = [ctypes.c_uint, ctypes.c_double, ctypes.POINTER(ctypes.c_int)]
    assert module.TalvenTestControllerEdit(0, 0.375, results) == 0
    assert heard == [(0, 0.375)]
    assert _native.library().TALVEN_ChannelRemoveDSP(0, handle) == 1


def test_parameter_texts_arrive_whole_up_to_the_longest_a_plugin_can_show(channel):
    recorder = os.path.join(os.environ["TALVEN_TEST_PLUGIN_DIR"], "Recorder.vst3")
    mix = 1
    cases = [
        (0.0, "\u97f3" * 127),  # 127 UTF-16 units of three UTF-8 bytes each
        (0.5, None),  # the plug-in's own short text
    ]
    with talven.Plugin(channel.handle, recorder) as plugin:
        for value, expected in cases:
            text = plugin.parameter_text(mix, value)
            if expected is None:
                assert text and text.isascii(), value
            else:
                assert text == expected, value


def test_an_isolated_plugin_sounds_as_an_attached_one_and_runs(bass, channel):
    apart = type(channel)(bass)
    try:
        with talven.Plugin(channel.handle, ZAM) as plugin, talven.Plugin(apart.handle, ZAM, isolated=True) as isolated:
            crashes = []
            isolated.on_crash = lambda: crashes.append(1)
            assert isolated.status == plugin.status == _native.TALVEN_STATUS_RUNNING
            assert len(isolated.parameters) == len(plugin.parameters)
            plugin[makeup_id(plugin)] = 0.5
            isolated[makeup_id(isolated)] = 0.5
            for _ in range(8):
                assert channel.pull() == apart.pull()
            assert crashes == []
    finally:
        bass.BASS_StreamFree(apart.handle)


def test_close_detaches_the_plugin_and_its_handle_stops_answering(channel):
    plugin = talven.Plugin(channel.handle, ZAM)
    plugin[makeup_id(plugin)] = 0.5
    plugin.close()
    assert _native.library().TALVEN_GetParamCount(plugin.handle) == 0
    first, block = channel.pull()
    assert block == [ctypes.c_float(dry(first + i // 2, i % 2)).value for i in range(len(block))]
    plugin.close()

    second = talven.Plugin(channel.handle, ZAM)
    assert talven.channel_free(channel.handle)
    assert _native.library().TALVEN_GetParamCount(second.handle) == 0
    second.close()
    with pytest.raises(talven.TalvenError):
        talven.Plugin(channel.handle, ZAM)


def write_sine_wav(path, frames):
    data = struct.pack(f"<{2 * frames}f", *(dry(j, c) for j in range(frames) for c in (0, 1)))
    header = struct.pack("<4sI4s4sIHHIIHH4sI", b"RIFF", 36 + len(data), b"WAVE", b"fmt ", 16, 3, 2, 48000,
                         48000 * 8, 8, 32, b"data", len(data))
    path.write_bytes(header + data)


EXIT_CHILD = r"""
import sys, time
sys.path[:0] = [sys.argv[1], sys.argv[2]]
import talven
from conftest import ZAM, load_bass
talven.set_trace(False)
bass = load_bass()
assert bass.BASS_Init(0, 48000, 0, None, None)
stream = bass.BASS_StreamCreateFile(0, sys.argv[3].encode(), 0, 0, 256)
assert stream
plugin = talven.Plugin(stream, ZAM)
plugin[8] = 0.5
assert bass.BASS_ChannelPlay(stream, 0)
deadline = time.monotonic() + 30
while bass.BASS_ChannelGetPosition(stream, 0) < 48000 * 8 // 10 and time.monotonic() < deadline:
    time.sleep(0.01)
print("playing through the plug-in", flush=True)
"""


def test_a_program_ending_with_a_plugin_on_a_playing_channel_exits_cleanly(tmp_path):
    # The engine's thread renders the file stream, with no Python in the
    # audio path; the child then ends with everything in place.
    wav = tmp_path / "sine.wav"
    write_sine_wav(wav, 48000 * 10)
    child = subprocess.run([sys.executable, "-c", EXIT_CHILD, os.path.join(HERE, ".."), HERE, str(wav)],
                           capture_output=True, text=True, timeout=120)
    assert "playing through the plug-in" in child.stdout, child.stderr
    assert child.returncode == 0, child.stderr


EDITOR_CHILD = r"""
import gc, sys, time
sys.path[:0] = [sys.argv[1], sys.argv[2]]
import talven
from conftest import SineChannel, load_bass
bass = load_bass()
assert bass.BASS_Init(0, 48000, 0, None, None)
channel = SineChannel(bass)
heard = []
for _ in range(10):
    plugin = talven.Plugin(channel.handle, sys.argv[3])
    plugin.show_editor(30, 40, on_position=lambda left, top, closing: heard.append(closing))
    plugin.close()
    del plugin
    gc.collect()
time.sleep(1)
print("closed", len(heard), flush=True)
"""


@pytest.mark.skipif(not os.environ.get("DISPLAY"), reason="needs an X display")
def test_closing_a_plugin_with_its_editor_shown_leaves_no_callback_to_a_dropped_object():
    # The editor closes on the library's editor thread after close()
    # returned; the object and its callbacks are gone by then.
    editor = os.path.join(os.environ["TALVEN_TEST_PLUGIN_DIR"], "EditorEffect.vst3")
    child = subprocess.run([sys.executable, "-c", EDITOR_CHILD, os.path.join(HERE, ".."), HERE, editor],
                           capture_output=True, text=True, timeout=120)
    assert child.returncode == 0, child.stderr
    assert "closed" in child.stdout, child.stderr


@pytest.mark.skipif(not os.environ.get("DISPLAY"), reason="needs an X display")
def test_an_editor_embeds_in_the_programs_window_and_reports_its_size(channel):
    # The program's own X window stands for a toolkit's panel.
    x11 = ctypes.CDLL("libX11.so.6")
    x11.XOpenDisplay.restype = ctypes.c_void_p
    x11.XOpenDisplay.argtypes = [ctypes.c_char_p]
    x11.XDefaultRootWindow.restype = ctypes.c_ulong
    x11.XDefaultRootWindow.argtypes = [ctypes.c_void_p]
    x11.XCreateSimpleWindow.restype = ctypes.c_ulong
    x11.XCreateSimpleWindow.argtypes = [ctypes.c_void_p, ctypes.c_ulong, ctypes.c_int, ctypes.c_int, ctypes.c_uint,
                                        ctypes.c_uint, ctypes.c_uint, ctypes.c_ulong, ctypes.c_ulong]
    for name in ("XMapWindow", "XDestroyWindow"):
        getattr(x11, name).argtypes = [ctypes.c_void_p, ctypes.c_ulong]
    x11.XSync.argtypes = [ctypes.c_void_p, ctypes.c_int]
    x11.XCloseDisplay.argtypes = [ctypes.c_void_p]
    display = x11.XOpenDisplay(None)
    assert display
    panel = x11.XCreateSimpleWindow(display, x11.XDefaultRootWindow(display), 0, 0, 640, 480, 0, 0, 0xFFFFFF)
    x11.XMapWindow(display, panel)
    x11.XSync(display, 0)
    editor = os.path.join(os.environ["TALVEN_TEST_PLUGIN_DIR"], "EditorEffect.vst3")
    heard = []
    try:
        with talven.Plugin(channel.handle, editor) as plugin:
            assert plugin.editor_size is None
            plugin.on_editor_resize = lambda width, height: heard.append((width, height))
            plugin.embed_editor(panel)
            assert plugin.editor_size == (400, 300)
            assert plugin.resize_editor(500, 350) is None  # a view of fixed size keeps it
            with pytest.raises(talven.TalvenError):
                plugin.embed_editor(0x1FFFFFF0)
            plugin.remove_embedded_editor()
            assert plugin.editor_size is None
            plugin.on_editor_resize = None
    finally:
        x11.XDestroyWindow(display, panel)
        x11.XCloseDisplay(display)
    assert heard == []


def test_an_instrument_stream_plays_a_timed_note_from_its_frame(bass):
    lib = _native.library()
    path = os.path.join(os.environ["TALVEN_TEST_PLUGIN_DIR"], "EventRecorder.vst3").encode()
    handle = ctypes.c_uint32()
    stream = lib.TALVEN_StreamCreate(48000, 2, path, None, 0x200000, ctypes.byref(handle))
    assert stream and handle.value
    note = (_native.TALVEN_MIDI_EVENT * 1)(_native.TALVEN_MIDI_EVENT(frame=700, status=0x90, data1=60, data2=100))
    mode = _native.TALVEN_EVENTS_STRUCT | _native.TALVEN_EVENTS_TIME
    assert lib.TALVEN_StreamEvents(handle.value, mode, note, 1) == 1
    raw = (ctypes.c_uint8 * 3)(0x80, 60, 0)
    assert lib.TALVEN_StreamEvents(handle.value, _native.TALVEN_EVENTS_RAW | _native.TALVEN_EVENTS_TIME, raw, 3) == -1
    block = (ctypes.c_float * 2048)()
    assert bass.BASS_ChannelGetData(stream, block, 2048 * 4) == 2048 * 4
    assert (block[2 * 699], block[2 * 700]) == (0.0, 0.5)
    assert bass.BASS_StreamFree(stream)
    assert lib.TALVEN_GetParamCount(handle.value) == 0
