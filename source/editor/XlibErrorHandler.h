#pragma once

namespace talven {

// Xlib's default error handler ends the process, and a plug-in's GUI that
// talks to the X server through Xlib (JUCE's does) can raise an error the
// program never caused: an atom a window manager would have made, on a bare
// display. While Talven hosts an editor, one of these is installed and the
// process's Xlib error handler is Talven's: errors raised on the editor
// thread, where the plug-ins' GUI code runs, are written to the trace and
// ignored; errors on other threads go to the handler the program had set, if
// it had set one (never to Xlib's default, which would end the process).
// Libraries are found at run time (libX11.so.6): without Xlib loaded or
// loadable nothing is done, and no plug-in could use Xlib either.
//
// Installed on construction; on destruction the program's handler is put
// back when Talven's is still the current one (if something else replaced it
// meanwhile, that one stays). Editor thread (or wherever the X connection
// ends at exit).
class XlibErrorHandler {
public:
    XlibErrorHandler();
    ~XlibErrorHandler();
    XlibErrorHandler(const XlibErrorHandler&) = delete;
    XlibErrorHandler& operator=(const XlibErrorHandler&) = delete;

private:
    bool installed_ = false;
};

} // namespace talven
