"""The object layer: Plugin (one plug-in on one BASS channel) and the
functions that concern no single plug-in."""

import ctypes
import os
import threading
from dataclasses import dataclass

from . import _native
from ._native import TALVEN_ALL_PARAMETERS, library

# A plug-in's display text is a String128: at most 128 UTF-16 units, each of
# at most three bytes in UTF-8, and the terminating zero.
PARAMETER_TEXT_BYTES = 128 * 3 + 1


class TalvenError(Exception):
    """A call the library answered with failure."""


@dataclass(frozen=True)
class ParameterInfo:
    id: int
    title: str
    short_title: str
    units: str
    step_count: int          # 0: continuous
    default_value: float     # normalized, 0 to 1
    unit_id: int
    flags: int               # VST 3 ParameterInfo::ParameterFlags


@dataclass(frozen=True)
class ClassInfo:
    name: str
    vendor: str
    version: str
    category: str
    sub_categories: str
    sdk_version: str
    class_id: str


@dataclass(frozen=True)
class Info:
    plugin: ClassInfo
    input_channels: int
    output_channels: int
    latency_samples: int
    tail_samples: int        # 0xFFFFFFFF: infinite
    has_editor: bool
    parameter_count: int


def _text(value):
    """str or path-like to the NUL-terminated UTF-8 the library takes."""
    if value is None:
        return None
    value = os.fspath(value)
    return value if isinstance(value, bytes) else value.encode("utf-8")


def _class_info(raw):
    return ClassInfo(*(_native.utf8(getattr(raw, f)) for f in
                       ("name", "vendor", "version", "category", "subCategories", "sdkVersion", "classId")))


def version():
    """TALVEN_GetVersion as (major, minor, revision, build)."""
    v = library().TALVEN_GetVersion()
    return (v >> 24, (v >> 16) & 0xFF, (v >> 8) & 0xFF, v & 0xFF)


def set_trace(enabled):
    """Switches the trace file (my_log.txt) on or off; the previous state."""
    return library().TALVEN_SetTrace(1 if enabled else 0) != 0


def module_classes(path):
    """Every class of the VST 3 module at path, in the factory's order."""
    lib = library()
    count = lib.TALVEN_GetModuleClasses(_text(path), None, 0)
    if count < 0:
        raise TalvenError(f"not a loadable VST 3 module: {path}")
    classes = (_native.TALVEN_CLASSINFO * max(count, 1))()
    classes[0].size = ctypes.sizeof(_native.TALVEN_CLASSINFO)
    count = lib.TALVEN_GetModuleClasses(_text(path), classes, len(classes))
    if count < 0:
        raise TalvenError(f"not a loadable VST 3 module: {path}")
    return [_class_info(c) for c in classes[:min(count, len(classes))]]


def channel_free(channel):
    """BASS_StreamFree through the library; its plug-ins go with it."""
    return library().TALVEN_ChannelFree(channel) != 0


# Every attached plug-in, so that the callbacks the library may call stay
# alive however the program drops its references.
_attached = {}
_attached_lock = threading.Lock()


class Plugin:
    """A VST 3 effect attached to a BASS channel of float samples.

    Use it as a context manager, or call close(): that detaches it (freeing
    the channel does too, but close the object still, so that it lets go of
    its callbacks). The parameter members may be called from any threads:
    the library lets one call at a time into the plug-in.
    """

    def __init__(self, channel, path, priority=0, class_id=None, isolated=False):
        lib = library()
        self._position_handler = None
        self._parameter_handler = None
        self._editor_resize_handler = None
        # One ctypes thunk each for the life of the object.
        self._position_thunk = _native.POSITIONPROC(self._on_position)
        self._parameter_thunk = _native.PARAMPROC(self._on_parameter)
        self._editor_thunk = _native.EDITORPROC(self._on_editor_resize)
        self._status_thunk = _native.STATUSPROC(self._on_status)
        self._crash_handler = None
        self._closed = False
        if isolated:
            # In a process of its own (talven-host): its crash ends only that.
            options = _native.TALVEN_ATTACH(size=ctypes.sizeof(_native.TALVEN_ATTACH), path=_text(path),
                                            classId=_text(class_id) if class_id is not None else None,
                                            priority=priority, flags=_native.TALVEN_ATTACH_ISOLATED,
                                            positionCallback=_native.NO_POSITIONPROC)
            handle = lib.TALVEN_ChannelSetDSPWith(channel, ctypes.byref(options))
        elif class_id is None:
            handle = lib.TALVEN_ChannelSetDSP(channel, _text(path), 0, priority, 0, 0, 0,
                                               _native.NO_POSITIONPROC, None)
        else:
            handle = lib.TALVEN_ChannelSetDSPClass(channel, _text(path), _text(class_id), priority, 0, 0, 0,
                                                   _native.NO_POSITIONPROC, None)
        if not handle:
            raise TalvenError(f"could not attach {path} to channel {channel}")
        self.handle = handle
        with _attached_lock:
            _attached[handle] = self

    def __enter__(self):
        return self

    def __exit__(self, *exc):
        self.close()
        return False

    def __repr__(self):
        return f"<talven.Plugin handle={self.handle}{' closed' if self._closed else ''}>"

    @property
    def bypass(self):
        return library().TALVEN_GetBypass(self.handle) != 0

    @bypass.setter
    def bypass(self, on):
        if not library().TALVEN_SetBypass(self.handle, 1 if on else 0):
            raise TalvenError(f"the plug-in refused to switch bypass {'on' if on else 'off'}")

    @property
    def parameter_count(self):
        return library().TALVEN_GetParamCount(self.handle)

    def parameter_info(self, index):
        raw = _native.TALVEN_PARAMETERINFO()
        if library().TALVEN_GetParamInfo(self.handle, index, ctypes.byref(raw)) != 0:
            raise TalvenError(f"no parameter at index {index}")
        return ParameterInfo(raw.id, _native.utf16(raw.title), _native.utf16(raw.shortTitle),
                             _native.utf16(raw.units), raw.stepCount, raw.defaultNormalizedValue,
                             raw.unitId, raw.flags)

    @property
    def parameters(self):
        return [self.parameter_info(i) for i in range(self.parameter_count)]

    def __getitem__(self, parameter_id):
        """The normalized value (0 to 1) of the parameter with that id."""
        return library().TALVEN_GetParam(self.handle, parameter_id)

    def __setitem__(self, parameter_id, value):
        result = library().TALVEN_SetParam(self.handle, parameter_id, value)
        if result != 0:
            raise TalvenError(f"the plug-in refused parameter {parameter_id} (result {result})")

    def parameter_text(self, parameter_id, value=-1.0):
        """The value as the plug-in shows it; value below 0: the current one."""
        text = ctypes.create_string_buffer(PARAMETER_TEXT_BYTES)
        if not library().TALVEN_GetParamText(self.handle, parameter_id, value, text, len(text)):
            raise TalvenError(f"no text for parameter {parameter_id}")
        return text.value.decode("utf-8", errors="replace")

    def parse_parameter_text(self, parameter_id, text):
        """The normalized value the plug-in reads out of text, or None."""
        value = ctypes.c_double()
        if not library().TALVEN_GetParamValueFromText(self.handle, parameter_id, _text(text), ctypes.byref(value)):
            return None
        return value.value

    @property
    def info(self):
        raw = _native.TALVEN_INFO()
        raw.size = ctypes.sizeof(_native.TALVEN_INFO)
        if not library().TALVEN_GetInfo(self.handle, ctypes.byref(raw)):
            raise TalvenError("the plug-in is detached")
        return Info(_class_info(raw.plugin), raw.inputChannels, raw.outputChannels, raw.latencySamples,
                    raw.tailSamples, raw.hasEditor != 0, raw.parameterCount)

    def set_transport(self, tempo, numerator=4, denominator=4):
        if not library().TALVEN_SetTransport(self.handle, tempo, numerator, denominator):
            raise TalvenError("transport refused")

    def store_preset(self, path):
        if not library().TALVEN_StorePreset(_text(path), 0, self.handle):
            raise TalvenError(f"could not store the preset to {path}")

    def recall_preset(self, path):
        if not library().TALVEN_RecallPreset(_text(path), self.handle):
            raise TalvenError(f"could not recall the preset {path}")

    @property
    def state(self):
        """The plug-in's whole state: the bytes of a preset file, made in memory."""
        size = library().TALVEN_GetState(self.handle, None, 0)
        if size < 0:
            raise TalvenError("the plug-in gave no state")
        buffer = ctypes.create_string_buffer(size)
        written = library().TALVEN_GetState(self.handle, buffer, size)
        if written != size:
            raise TalvenError("the plug-in's state changed its size while it was read")
        return buffer.raw

    @state.setter
    def state(self, data):
        data = bytes(data)
        buffer = ctypes.create_string_buffer(data, len(data))
        if not data or not library().TALVEN_SetState(self.handle, buffer, len(data)):
            raise TalvenError("the plug-in did not take the state")

    @property
    def programs(self):
        """The names of the plug-in's programs, in order."""
        names = []
        for index in range(library().TALVEN_GetProgramCount(self.handle)):
            name = ctypes.create_string_buffer(256)
            if not library().TALVEN_GetProgramName(self.handle, index, name, len(name)):
                raise TalvenError(f"no name for program {index}")
            names.append(name.value.decode("utf-8", errors="replace"))
        return names

    @property
    def program(self):
        """The current program's index, or None."""
        index = library().TALVEN_GetProgram(self.handle)
        return None if index < 0 else index

    @program.setter
    def program(self, index):
        if not library().TALVEN_SetProgram(self.handle, index):
            raise TalvenError(f"program {index} cannot be selected")

    def show_editor(self, x=0, y=0, title=None, on_position=None):
        """Shows the plug-in's editor (x and y both 0: centred). on_position
        hears (left, top, closing) on the window's thread."""
        self._position_handler = on_position
        if not library().TALVEN_ShowEditor(self.handle, 1, x, y, self._position_thunk, _text(title)):
            raise TalvenError("the plug-in is detached")

    def hide_editor(self):
        library().TALVEN_ShowEditor(self.handle, 0, 0, 0, _native.NO_POSITIONPROC, None)

    def embed_editor(self, parent):
        """Puts the plug-in's editor inside a window of the program's: parent
        is an X11 window id (Linux) or an HWND (Windows), as an int. The view
        sits at the window's top-left corner; editor_size tells its size."""
        if not parent:
            raise ValueError("no window: remove_embedded_editor takes the view out")
        if not library().TALVEN_EmbedEditor(self.handle, ctypes.c_void_p(parent)):
            raise TalvenError("the editor cannot go into that window (not a window, the plug-in is detached, "
                              "or its own editor window shows: hide it first)")

    def remove_embedded_editor(self):
        library().TALVEN_EmbedEditor(self.handle, None)

    @property
    def editor_size(self):
        """The shown view's (width, height) in pixels, or None."""
        width, height = ctypes.c_int32(), ctypes.c_int32()
        if not library().TALVEN_GetEditorSize(self.handle, ctypes.byref(width), ctypes.byref(height)):
            return None
        return width.value, height.value

    def resize_editor(self, width, height):
        """Asks the view for this size: the (width, height) it took, or None
        when it does not resize."""
        w, h = ctypes.c_int32(width), ctypes.c_int32(height)
        if not library().TALVEN_SetEditorSize(self.handle, ctypes.byref(w), ctypes.byref(h)):
            return None
        return w.value, h.value

    @property
    def on_editor_resize(self):
        return self._editor_resize_handler

    @on_editor_resize.setter
    def on_editor_resize(self, handler):
        """handler(width, height) hears that the embedded view resized itself,
        on the view's thread, after its window took the size; None stops it."""
        thunk = self._editor_thunk if handler is not None else _native.NO_EDITORPROC
        if not library().TALVEN_SetEditorCallback(self.handle, thunk, None):
            raise TalvenError("the plug-in is detached")
        self._editor_resize_handler = handler

    @property
    def status(self):
        """TALVEN_STATUS_RUNNING, or TALVEN_STATUS_CRASHED once an isolated
        plug-in's process ended or stopped answering."""
        return library().TALVEN_GetStatus(self.handle)

    @property
    def on_crash(self):
        return self._crash_handler

    @on_crash.setter
    def on_crash(self, handler):
        """handler() hears, once and on a thread of the library's, that an
        isolated plug-in's process ended or stopped answering (the channel
        plays on dry); None stops it."""
        thunk = self._status_thunk if handler is not None else _native.NO_STATUSPROC
        if not library().TALVEN_SetStatusCallback(self.handle, thunk, None):
            raise TalvenError("the plug-in is detached")
        self._crash_handler = handler

    @property
    def on_parameter_change(self):
        return self._parameter_handler

    @on_parameter_change.setter
    def on_parameter_change(self, handler):
        """handler(id, value) hears the edits the plug-in makes itself, on the
        thread that reported them (id TALVEN_ALL_PARAMETERS, value -1: many
        changed); None stops them."""
        thunk = self._parameter_thunk if handler is not None else _native.NO_PARAMPROC
        if not library().TALVEN_SetParamCallback(self.handle, thunk, None):
            raise TalvenError("the plug-in is detached")
        self._parameter_handler = handler

    def close(self):
        """Detaches the plug-in. The callbacks are let go only once the
        library cannot call them any more: after the detach, or when the
        handle names no instance (the channel was freed). A refused detach
        (from inside the plug-in's processing, or while another is under
        way) leaves the object usable, so that a later close can finish it."""
        if self._closed:
            return
        lib = library()
        if not (lib.TALVEN_ChannelRemoveDSP(0, self.handle) or
                lib.TALVEN_ShowEditor(self.handle, 0, 0, 0, _native.NO_POSITIONPROC, None) == 0):
            return
        self._closed = True
        with _attached_lock:
            _attached.pop(self.handle, None)

    # The window's thread; ctypes reports an exception here and returns.
    def _on_position(self, left, top, closing):
        handler = self._position_handler
        if handler is not None:
            handler(left, top, closing != 0)

    # The thread on which the plug-in reported the edit.
    # The view's thread.
    def _on_editor_resize(self, handle, width, height, user):
        handler = self._editor_resize_handler
        if handler is not None:
            handler(width, height)

    # A thread of the library's.
    def _on_status(self, handle, status, user):
        handler = self._crash_handler
        if handler is not None and status == _native.TALVEN_STATUS_CRASHED:
            handler()

    def _on_parameter(self, handle, parameter_id, value, user):
        handler = self._parameter_handler
        if handler is not None:
            handler(parameter_id, value)


__all__ = ["Plugin", "TalvenError", "ParameterInfo", "ClassInfo", "Info", "version", "set_trace",
           "module_classes", "channel_free", "TALVEN_ALL_PARAMETERS"]
