"""Every function of talven.h through ctypes, with the header's structs and
callback types. Loaded on first use: see library()."""

import ctypes
import os
import sys
import threading

_WINDOWS = sys.platform == "win32"

# TALVEN_CALL: __stdcall on Windows, the platform's C convention elsewhere.
_FUNCTYPE = ctypes.WINFUNCTYPE if _WINDOWS else ctypes.CFUNCTYPE

TALVEN_ALL_PARAMETERS = 0xFFFFFFFF

# Editor window position: left, top, closing (1 when hidden or closed).
POSITIONPROC = _FUNCTYPE(None, ctypes.c_int32, ctypes.c_int32, ctypes.c_int32)
# A plug-in's own edit: handle, parameter id, normalized value, user pointer.
PARAMPROC = _FUNCTYPE(None, ctypes.c_uint32, ctypes.c_uint32, ctypes.c_double, ctypes.c_void_p)
# An embedded editor view's own new size: handle, width, height, user pointer.
EDITORPROC = _FUNCTYPE(None, ctypes.c_uint32, ctypes.c_int32, ctypes.c_int32, ctypes.c_void_p)
# An isolated plug-in's status: handle, TALVEN_STATUS_*, user pointer.
STATUSPROC = _FUNCTYPE(None, ctypes.c_uint32, ctypes.c_int32, ctypes.c_void_p)
# ctypes takes no None for a callback argument: pass these for "none".
NO_POSITIONPROC = POSITIONPROC()
NO_PARAMPROC = PARAMPROC()
NO_STATUSPROC = STATUSPROC()

TALVEN_ATTACH_ISOLATED = 1
TALVEN_STATUS_RUNNING = 0
TALVEN_STATUS_CRASHED = 1
NO_EDITORPROC = EDITORPROC()


class TALVEN_PARAMETERINFO(ctypes.Structure):
    """VST 3's ParameterInfo (792 bytes); texts are UTF-16 (read as str)."""
    _fields_ = [
        ("id", ctypes.c_uint32),
        ("title", ctypes.c_uint16 * 128),
        ("shortTitle", ctypes.c_uint16 * 128),
        ("units", ctypes.c_uint16 * 128),
        ("stepCount", ctypes.c_int32),
        ("defaultNormalizedValue", ctypes.c_double),
        ("unitId", ctypes.c_int32),
        ("flags", ctypes.c_int32),
    ]


class TALVEN_CLASSINFO(ctypes.Structure):
    """A class of a VST 3 module; texts are NUL-terminated UTF-8."""
    _fields_ = [
        ("size", ctypes.c_uint32),
        ("name", ctypes.c_char * 128),
        ("vendor", ctypes.c_char * 128),
        ("version", ctypes.c_char * 64),
        ("category", ctypes.c_char * 64),
        ("subCategories", ctypes.c_char * 128),
        ("sdkVersion", ctypes.c_char * 64),
        ("classId", ctypes.c_char * 33),
    ]


class TALVEN_INFO(ctypes.Structure):
    _fields_ = [
        ("size", ctypes.c_uint32),
        ("plugin", TALVEN_CLASSINFO),
        ("inputChannels", ctypes.c_int32),
        ("outputChannels", ctypes.c_int32),
        ("latencySamples", ctypes.c_int32),
        ("tailSamples", ctypes.c_uint32),
        ("hasEditor", ctypes.c_int32),
        ("parameterCount", ctypes.c_int32),
    ]


TALVEN_EVENTS_RAW = 0
TALVEN_EVENTS_STRUCT = 1
TALVEN_EVENTS_TIME = 0x10000


class TALVEN_MIDI_EVENT(ctypes.Structure):
    """One MIDI message for TALVEN_StreamEvents; frame counts with
    TALVEN_EVENTS_TIME; system exclusive: size bytes at data (F0 ... F7)."""
    _fields_ = [
        ("frame", ctypes.c_uint64),
        ("status", ctypes.c_uint8),
        ("data1", ctypes.c_uint8),
        ("data2", ctypes.c_uint8),
        ("reserved", ctypes.c_uint8),
        ("size", ctypes.c_uint32),
        ("data", ctypes.POINTER(ctypes.c_uint8)),
    ]


class TALVEN_ATTACH(ctypes.Structure):
    """The attach's options for TALVEN_ChannelSetDSPWith; texts UTF-8."""
    _fields_ = [
        ("size", ctypes.c_uint32),
        ("path", ctypes.c_char_p),
        ("classId", ctypes.c_char_p),
        ("priority", ctypes.c_int32),
        ("flags", ctypes.c_uint32),
        ("showEditor", ctypes.c_uint8),
        ("editorX", ctypes.c_int32),
        ("editorY", ctypes.c_int32),
        ("positionCallback", POSITIONPROC),
        ("title", ctypes.c_char_p),
    ]


def utf16(units):
    """The text of a NUL-terminated uint16_t[] field."""
    data = bytes(units)
    text = data.decode("utf-16-le", errors="replace")
    return text.split("\0", 1)[0]


def utf8(field):
    """The text of a NUL-terminated char[] field (ctypes stops at the NUL)."""
    return field.decode("utf-8", errors="replace")


_u32, _i32, _u8, _dbl, _flt = ctypes.c_uint32, ctypes.c_int32, ctypes.c_uint8, ctypes.c_double, ctypes.c_float
_str, _ptr = ctypes.c_char_p, ctypes.c_void_p

# name: (result, argument types), in the header's order.
PROTOTYPES = {
    "TALVEN_ChannelSetDSPEx": (_u32, [_u32, _str, _u32, _i32, _ptr, _u32, _u32, _u8, _i32, _i32, POSITIONPROC, _str]),
    "TALVEN_ChannelSetDSP": (_u32, [_u32, _str, _u32, _i32, _u8, _i32, _i32, POSITIONPROC, _str]),
    "TALVEN_ChannelRemoveDSP": (_i32, [_u32, _u32]),
    "TALVEN_ChannelFree": (_i32, [_u32]),
    "TALVEN_GetBypass": (_i32, [_u32]),
    "TALVEN_SetBypass": (_i32, [_u32, _i32]),
    "TALVEN_GetParamCount": (_i32, [_u32]),
    "TALVEN_GetParamInfo": (_i32, [_u32, _i32, ctypes.POINTER(TALVEN_PARAMETERINFO)]),
    "TALVEN_GetParam": (_dbl, [_u32, _u32]),
    "TALVEN_SetParam": (_i32, [_u32, _u32, _flt]),
    "TALVEN_StorePreset": (_i32, [_str, _u32, _u32]),
    "TALVEN_RecallPreset": (_i32, [_str, _u32]),
    "TALVEN_ShowEditor": (_i32, [_u32, _u8, _i32, _i32, POSITIONPROC, _str]),
    "TALVEN_EmbedEditor": (_i32, [_u32, _ptr]),
    "TALVEN_GetEditorSize": (_i32, [_u32, ctypes.POINTER(_i32), ctypes.POINTER(_i32)]),
    "TALVEN_SetEditorSize": (_i32, [_u32, ctypes.POINTER(_i32), ctypes.POINTER(_i32)]),
    "TALVEN_SetEditorCallback": (_i32, [_u32, EDITORPROC, _ptr]),
    "TALVEN_SetTrace": (_i32, [_i32]),
    "TALVEN_GetVersion": (_u32, []),
    "TALVEN_GetInfo": (_i32, [_u32, ctypes.POINTER(TALVEN_INFO)]),
    "TALVEN_GetModuleClasses": (_i32, [_str, ctypes.POINTER(TALVEN_CLASSINFO), _i32]),
    "TALVEN_ChannelSetDSPClass": (_u32, [_u32, _str, _str, _i32, _u8, _i32, _i32, POSITIONPROC, _str]),
    "TALVEN_SetParamCallback": (_i32, [_u32, PARAMPROC, _ptr]),
    "TALVEN_GetParamText": (_i32, [_u32, _u32, _dbl, ctypes.c_char_p, _i32]),
    "TALVEN_GetParamValueFromText": (_i32, [_u32, _u32, _str, ctypes.POINTER(_dbl)]),
    "TALVEN_SetTransport": (_i32, [_u32, _dbl, _i32, _i32]),
    "TALVEN_GetState": (_i32, [_u32, _ptr, _i32]),
    "TALVEN_SetState": (_i32, [_u32, _ptr, _i32]),
    "TALVEN_GetProgramCount": (_i32, [_u32]),
    "TALVEN_GetProgramName": (_i32, [_u32, _i32, ctypes.c_char_p, _i32]),
    "TALVEN_GetProgram": (_i32, [_u32]),
    "TALVEN_SetProgram": (_i32, [_u32, _i32]),
    "TALVEN_SetSidechain": (_i32, [_u32, _u32, _i32]),
    "TALVEN_StreamCreate": (_u32, [_u32, _u32, _str, _str, _u32, ctypes.POINTER(_u32)]),
    "TALVEN_StreamEvents": (_i32, [_u32, _u32, _ptr, _u32]),
    "TALVEN_ChannelSetDSPWith": (_u32, [_u32, ctypes.POINTER(TALVEN_ATTACH)]),
    "TALVEN_GetStatus": (_i32, [_u32]),
    "TALVEN_SetStatusCallback": (_i32, [_u32, STATUSPROC, _ptr]),
}

_lock = threading.Lock()
_library = None


def _candidates():
    explicit = os.environ.get("TALVEN_LIBRARY")
    if explicit:
        return [explicit]
    names = ["talven.dll"] if _WINDOWS else ["libtalven.so.1", "libtalven.so"]
    here = os.path.dirname(os.path.abspath(__file__))
    # Beside the package first (a program that ships the library with it),
    # then wherever the system's loader looks.
    return [os.path.join(here, n) for n in names if os.path.exists(os.path.join(here, n))] + names


def library():
    """The loaded library with every prototype set. The path comes from
    TALVEN_LIBRARY, else talven.dll / libtalven.so.1 beside this package or
    on the loader's path. It stays loaded for the life of the process."""
    global _library
    with _lock:
        if _library is None:
            loader = ctypes.WinDLL if _WINDOWS else ctypes.CDLL
            errors = []
            for candidate in _candidates():
                try:
                    lib = loader(candidate)
                    break
                except OSError as error:
                    errors.append(f"{candidate}: {error}")
            else:
                raise OSError("cannot load Talven: " + "; ".join(errors))
            for name, (restype, argtypes) in PROTOTYPES.items():
                function = getattr(lib, name)
                function.restype = restype
                function.argtypes = argtypes
            _library = lib
        return _library
