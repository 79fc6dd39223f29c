"""Talven for Python: VST 3 effect plug-ins on BASS channels, through ctypes.

    import talven
    with talven.Plugin(stream, "/usr/lib/vst3/ZamComp.vst3") as fx:
        fx[0] = 0.25

talven._native holds every function of talven.h one to one. The library
(talven.dll or libtalven.so.1) is loaded on first use: from TALVEN_LIBRARY,
beside this package, or from the system loader's path; BASS must be found
the same way.
"""

from .plugin import (TALVEN_ALL_PARAMETERS, ClassInfo, Info, ParameterInfo, Plugin, TalvenError, channel_free,
                     module_classes, set_trace, version)

__all__ = ["Plugin", "TalvenError", "ParameterInfo", "ClassInfo", "Info", "version", "set_trace",
           "module_classes", "channel_free", "TALVEN_ALL_PARAMETERS"]
