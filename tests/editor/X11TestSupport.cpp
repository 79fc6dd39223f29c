#include "X11TestSupport.h"

#include <X11/Xatom.h>
#include <X11/Xutil.h>
#include <X11/extensions/XRes.h>
#include <dirent.h>
#include <png.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <set>
#include <memory>

namespace talven::test {
namespace {

int ignoreErrors(Display*, XErrorEvent*)
{
    return 0;
}

Atom atom(const char* name)
{
    return XInternAtom(testDisplay(), name, False);
}

// The property's items (format 8 or 32), empty when it is not there.
template <typename Item>
std::vector<Item> readProperty(Window window, Atom property, Atom type)
{
    std::vector<Item> items;
    Atom actualType = None;
    int format = 0;
    unsigned long count = 0;
    unsigned long after = 0;
    unsigned char* data = nullptr;
    if (XGetWindowProperty(testDisplay(), window, property, 0, 65536, False, type, &actualType, &format, &count,
                           &after, &data)
            != Success
        || !data)
        return items;
    // Xlib hands 32-bit items as longs.
    for (unsigned long i = 0; i < count; ++i) {
        if (format == 32)
            items.push_back(static_cast<Item>(reinterpret_cast<unsigned long*>(data)[i]));
        else if (format == 8)
            items.push_back(static_cast<Item>(data[i]));
    }
    XFree(data);
    return items;
}

pid_t parentProcessOf(pid_t process)
{
    std::ifstream stat("/proc/" + std::to_string(process) + "/stat");
    std::string line;
    std::getline(stat, line);
    // "pid (name) state ppid ...": the name may hold spaces and parentheses.
    const std::size_t nameEnd = line.rfind(')');
    if (nameEnd == std::string::npos)
        return -1;
    char state = 0;
    int parent = -1;
    if (std::sscanf(line.c_str() + nameEnd + 1, " %c %d", &state, &parent) != 2)
        return -1;
    return parent;
}

// The process behind the display's client whose windows' ids start at base;
// -1 when the server cannot tell.
pid_t processOfClient(Display* display, XID base)
{
    XResClientIdSpec client{base, XRES_CLIENT_ID_PID_MASK};
    long count = 0;
    XResClientIdValue* ids = nullptr;
    // Unlike the older requests, this one answers Success (0).
    if (XResQueryClientIds(display, 1, &client, &count, &ids) != Success)
        return -1;
    const pid_t process = count > 0 ? XResGetClientPid(&ids[0]) : -1;
    XResClientIdsDestroy(count, ids);
    return process;
}

// The display's clients made by this process or by a process it started (an
// isolated plug-in's talven-host). The tests count only their windows: other
// suites may show editors on the same display meanwhile.
class OwnClients {
public:
    OwnClients()
    {
        Display* const display = testDisplay();
        int eventBase = 0;
        int errorBase = 0;
        int clientCount = 0;
        XResClient* clients = nullptr;
        if (!XResQueryExtension(display, &eventBase, &errorBase)
            || !XResQueryClients(display, &clientCount, &clients))
            return; // without the extension every window counts
        known_ = true;
        const pid_t self = getpid();
        for (int i = 0; i < clientCount; ++i) {
            mask_ = clients[i].resource_mask;
            const pid_t process = processOfClient(display, clients[i].resource_base);
            if (process == self || (process > 0 && parentProcessOf(process) == self))
                own_.insert(clients[i].resource_base);
        }
        XFree(clients);
    }

    bool made(Window window) const
    {
        return !known_ || own_.count(window & ~mask_) != 0;
    }

private:
    bool known_ = false;
    XID mask_ = 0;
    std::set<XID> own_;
};

void collectWindows(Window window, const OwnClients& own, int& count)
{
    Window root = 0;
    Window parent = 0;
    Window* children = nullptr;
    unsigned int childCount = 0;
    if (!XQueryTree(testDisplay(), window, &root, &parent, &children, &childCount))
        return;
    for (unsigned int i = 0; i < childCount; ++i) {
        if (own.made(children[i]))
            ++count;
        collectWindows(children[i], own, count);
    }
    if (children)
        XFree(children);
}

int countEntries(const char* folder, const std::function<bool(const char*)>& counts)
{
    std::unique_ptr<DIR, int (*)(DIR*)> dir(opendir(folder), closedir);
    if (!dir)
        return -1;
    int found = 0;
    while (const dirent* entry = readdir(dir.get())) {
        if (entry->d_name[0] != '.' && counts(entry->d_name))
            ++found;
    }
    return found;
}

} // namespace

Display* testDisplay()
{
    static Display* const display = [] {
        const char* name = std::getenv("DISPLAY");
        if (!name || !*name)
            return static_cast<Display*>(nullptr);
        XSetErrorHandler(ignoreErrors);
        return XOpenDisplay(nullptr);
    }();
    return display;
}

const char* noDisplayReason()
{
    return "no X display: DISPLAY is unset or names no server (scripts/test starts Xvfb)";
}

std::vector<Window> editorWindows()
{
    std::vector<Window> found;
    Display* const display = testDisplay();
    Window root = 0;
    Window parent = 0;
    Window* children = nullptr;
    unsigned int count = 0;
    if (!XQueryTree(display, DefaultRootWindow(display), &root, &parent, &children, &count))
        return found;
    const OwnClients own;
    for (unsigned int i = 0; i < count; ++i) {
        if (!own.made(children[i]))
            continue;
        XClassHint hint{};
        if (XGetClassHint(display, children[i], &hint)) {
            if (hint.res_class && std::strcmp(hint.res_class, "Talven") == 0)
                found.push_back(children[i]);
            XFree(hint.res_name);
            XFree(hint.res_class);
        }
    }
    if (children)
        XFree(children);
    return found;
}

int allWindowCount()
{
    int count = 0;
    collectWindows(DefaultRootWindow(testDisplay()), OwnClients{}, count);
    return count;
}

Window makeProgramWindow(int width, int height)
{
    Display* const display = testDisplay();
    const int screen = DefaultScreen(display);
    const Window window =
        XCreateSimpleWindow(display, RootWindow(display, screen), 20, 20, static_cast<unsigned>(width),
                            static_cast<unsigned>(height), 0, BlackPixel(display, screen), WhitePixel(display, screen));
    if (!window)
        return 0;
    XMapRaised(display, window);
    XSync(display, False);
    return window;
}

std::vector<Window> childrenOf(Window window)
{
    std::vector<Window> found;
    Window root = 0;
    Window parent = 0;
    Window* children = nullptr;
    unsigned int count = 0;
    if (!XQueryTree(testDisplay(), window, &root, &parent, &children, &count))
        return found;
    found.assign(children, children + count);
    if (children)
        XFree(children);
    return found;
}

void destroyProgramWindow(Window window)
{
    XDestroyWindow(testDisplay(), window);
    XSync(testDisplay(), False);
}

Window parentOf(Window window)
{
    Window root = 0;
    Window parent = 0;
    Window* children = nullptr;
    unsigned int count = 0;
    if (!XQueryTree(testDisplay(), window, &root, &parent, &children, &count))
        return 0;
    if (children)
        XFree(children);
    return parent;
}

Geometry geometryOf(Window window)
{
    Geometry geometry;
    XWindowAttributes attributes{};
    if (!XGetWindowAttributes(testDisplay(), window, &attributes))
        return geometry;
    Window child = 0;
    XTranslateCoordinates(testDisplay(), window, DefaultRootWindow(testDisplay()), 0, 0, &geometry.left,
                          &geometry.top, &child);
    geometry.width = attributes.width;
    geometry.height = attributes.height;
    return geometry;
}

bool isViewable(Window window)
{
    XWindowAttributes attributes{};
    return XGetWindowAttributes(testDisplay(), window, &attributes) && attributes.map_state == IsViewable;
}

std::string titleOf(Window window)
{
    const std::vector<char> bytes = readProperty<char>(window, atom("_NET_WM_NAME"), atom("UTF8_STRING"));
    return std::string(bytes.begin(), bytes.end());
}

bool sizeIsFixedAt(Window window, int width, int height)
{
    XSizeHints hints{};
    long supplied = 0;
    if (!XGetWMNormalHints(testDisplay(), window, &hints, &supplied))
        return false;
    return (hints.flags & PMinSize) && (hints.flags & PMaxSize) && hints.min_width == width
           && hints.max_width == width && hints.min_height == height && hints.max_height == height;
}

bool isAbove(Window window)
{
    const Atom above = atom("_NET_WM_STATE_ABOVE");
    for (const Atom state : readProperty<Atom>(window, atom("_NET_WM_STATE"), XA_ATOM)) {
        if (state == above)
            return true;
    }
    return false;
}

void pressCloseButton(Window window)
{
    XEvent event{};
    event.xclient.type = ClientMessage;
    event.xclient.window = window;
    event.xclient.message_type = atom("WM_PROTOCOLS");
    event.xclient.format = 32;
    event.xclient.data.l[0] = static_cast<long>(atom("WM_DELETE_WINDOW"));
    event.xclient.data.l[1] = CurrentTime;
    // No event mask: the event goes to the window's creator, the editor.
    XSendEvent(testDisplay(), window, False, NoEventMask, &event);
    XFlush(testDisplay());
}

void moveWindow(Window window, int left, int top)
{
    XMoveWindow(testDisplay(), window, left, top);
    XFlush(testDisplay());
}

void resizeWindow(Window window, int width, int height)
{
    XResizeWindow(testDisplay(), window, static_cast<unsigned int>(width), static_cast<unsigned int>(height));
    XFlush(testDisplay());
}

int Image::pixelsOtherThanFirst() const
{
    int other = 0;
    for (const unsigned int pixel : pixels)
        other += pixel != pixels.front() ? 1 : 0;
    return other;
}

Image captureWindow(Window window)
{
    Image image;
    const Geometry where = geometryOf(window);
    if (where.width <= 0 || where.height <= 0)
        return image;
    // From the root: what the screen shows there, the view's child windows
    // (of other connections) included.
    Display* const display = testDisplay();
    XImage* shot = XGetImage(display, DefaultRootWindow(display), where.left, where.top,
                             static_cast<unsigned int>(where.width), static_cast<unsigned int>(where.height),
                             AllPlanes, ZPixmap);
    if (!shot)
        return image;
    image.width = where.width;
    image.height = where.height;
    image.pixels.reserve(static_cast<size_t>(where.width) * static_cast<size_t>(where.height));
    for (int y = 0; y < where.height; ++y)
        for (int x = 0; x < where.width; ++x)
            image.pixels.push_back(static_cast<unsigned int>(XGetPixel(shot, x, y) & 0xFFFFFF));
    XDestroyImage(shot);
    return image;
}

bool writePng(const Image& image, const std::string& path)
{
    if (image.pixels.empty())
        return false;
    std::unique_ptr<FILE, int (*)(FILE*)> file(std::fopen(path.c_str(), "wb"), std::fclose);
    if (!file)
        return false;
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    png_infop info = png ? png_create_info_struct(png) : nullptr;
    if (!png || !info) {
        png_destroy_write_struct(&png, &info);
        return false;
    }
    std::vector<unsigned char> row(static_cast<size_t>(image.width) * 3);
    if (setjmp(png_jmpbuf(png))) {
        png_destroy_write_struct(&png, &info);
        return false;
    }
    png_init_io(png, file.get());
    png_set_IHDR(png, info, static_cast<png_uint_32>(image.width), static_cast<png_uint_32>(image.height), 8,
                 PNG_COLOR_TYPE_RGB, PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
    png_write_info(png, info);
    for (int y = 0; y < image.height; ++y) {
        for (int x = 0; x < image.width; ++x) {
            const unsigned int pixel = image.pixels[static_cast<size_t>(y * image.width + x)];
            row[static_cast<size_t>(x) * 3] = static_cast<unsigned char>(pixel >> 16);
            row[static_cast<size_t>(x) * 3 + 1] = static_cast<unsigned char>(pixel >> 8);
            row[static_cast<size_t>(x) * 3 + 2] = static_cast<unsigned char>(pixel);
        }
        png_write_row(png, row.data());
    }
    png_write_end(png, nullptr);
    png_destroy_write_struct(&png, &info);
    return true;
}

int openFdCount()
{
    return countEntries("/proc/self/fd", [](const char*) { return true; });
}

int threadCount()
{
    return countEntries("/proc/self/task", [](const char*) { return true; });
}

int threadsNamed(const std::string& name)
{
    return countEntries("/proc/self/task", [&](const char* task) {
        std::ifstream comm(std::string("/proc/self/task/") + task + "/comm");
        std::string text;
        std::getline(comm, text);
        return text == name;
    });
}

} // namespace talven::test
