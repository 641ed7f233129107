// An outside observer for bench/run: it sees the programs only through the X server, as a person would, and
// speaks X11 directly (xcb), so it can look every 5 ms where a command-line tool would look every half second.
//
//   bench_xprobe launch RESULT TITLE -- PROGRAM ARGS...
//       Starts PROGRAM and writes into the file RESULT how long after the fork its window titled TITLE was
//       mapped (looked for on each change to the root's children, as the X server reports it) ("mapped-ms N pid P
//       window W x X y Y w W h H", or "timeout pid P"). Then stays PROGRAM's parent until it ends, passing TERM and INT
//       on, and exits with its status.
//   bench_xprobe wait TITLE TIMEOUT_MS
//       Waits for a mapped window titled TITLE and prints the same line (without pid).
//   bench_xprobe keys TITLE KEY...
//       Focuses the window titled TITLE and types each KEY (a letter, Escape or F1..F12) through XTest.
//   bench_xprobe keylatency TITLE COUNT KEY X Y W H GAP_MS
//       Presses KEY COUNT times; each time it polls the screen inside the window's rectangle X, Y, W, H until
//       the pixels change, and notes the time from the press. Prints percentiles and the misses.
//
// XTest is sent as a raw request over libxcb, so nothing beyond libxcb itself is needed.

#include <xcb/xcb.h>
#include <xcb/xcbext.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cmath>
#include <csignal>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <memory>
#include <optional>
#include <poll.h>
#include <string>
#include <string_view>
#include <sys/uio.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;

double nowMs() { return std::chrono::duration<double, std::milli>(Clock::now().time_since_epoch()).count(); }

void sleepUs(long us) { std::this_thread::sleep_for(std::chrono::microseconds(us)); }

template <typename T> using Reply = std::unique_ptr<T, decltype(&std::free)>;
template <typename T> Reply<T> owned(T* reply) { return Reply<T>(reply, &std::free); }

struct Connection {
    xcb_connection_t* c = nullptr;
    xcb_window_t root = 0;
    xcb_atom_t netWmName = 0;

    Connection()
    {
        c = xcb_connect(nullptr, nullptr);
        if (xcb_connection_has_error(c)) {
            std::fprintf(stderr, "bench_xprobe: cannot connect to the X server\n");
            std::exit(2);
        }
        // The programs it starts must not inherit the connection.
        fcntl(xcb_get_file_descriptor(c), F_SETFD, FD_CLOEXEC);
        root = xcb_setup_roots_iterator(xcb_get_setup(c)).data->root;
        const char name[] = "_NET_WM_NAME";
        auto atom = owned(xcb_intern_atom_reply(c, xcb_intern_atom(c, 0, sizeof name - 1, name), nullptr));
        netWmName = atom ? atom->atom : xcb_atom_t(XCB_ATOM_NONE);
    }
    ~Connection() { xcb_disconnect(c); }
    Connection(const Connection&) = delete;
    Connection& operator=(const Connection&) = delete;
};

struct Found {
    xcb_window_t window;
    int x, y, w, h;
};

// A viewable window whose title is exactly `title`, searched from the root three levels down: the window
// manager puts each client inside a frame of its own.
std::optional<Found> findMapped(Connection& x, std::string_view title)
{
    std::vector<xcb_window_t> level { x.root };
    for (int depth = 0; depth < 3 && !level.empty(); ++depth) {
        std::vector<xcb_query_tree_cookie_t> trees;
        for (xcb_window_t w : level)
            trees.push_back(xcb_query_tree(x.c, w));
        std::vector<xcb_window_t> children;
        for (auto cookie : trees) {
            if (auto tree = owned(xcb_query_tree_reply(x.c, cookie, nullptr))) {
                const xcb_window_t* ids = xcb_query_tree_children(tree.get());
                children.insert(children.end(), ids, ids + xcb_query_tree_children_length(tree.get()));
            }
        }
        std::vector<xcb_get_property_cookie_t> names;
        std::vector<xcb_get_property_cookie_t> oldNames;
        std::vector<xcb_get_window_attributes_cookie_t> attributes;
        for (xcb_window_t w : children) {
            names.push_back(xcb_get_property(x.c, 0, w, x.netWmName, XCB_GET_PROPERTY_TYPE_ANY, 0, 256));
            oldNames.push_back(xcb_get_property(x.c, 0, w, XCB_ATOM_WM_NAME, XCB_GET_PROPERTY_TYPE_ANY, 0, 256));
            attributes.push_back(xcb_get_window_attributes(x.c, w));
        }
        std::optional<xcb_window_t> hit;
        for (std::size_t i = 0; i < children.size(); ++i) {
            auto name = owned(xcb_get_property_reply(x.c, names[i], nullptr));
            auto oldName = owned(xcb_get_property_reply(x.c, oldNames[i], nullptr));
            auto attr = owned(xcb_get_window_attributes_reply(x.c, attributes[i], nullptr));
            const auto text = [](const xcb_get_property_reply_t* reply) {
                if (!reply || reply->format != 8)
                    return std::string_view();
                return std::string_view(
                    static_cast<const char*>(xcb_get_property_value(reply)), xcb_get_property_value_length(reply));
            };
            const bool named
                = text(name.get()) == title || ((!name || name->format != 8) && text(oldName.get()) == title);
            if (!hit && named && attr && attr->map_state == XCB_MAP_STATE_VIEWABLE)
                hit = children[i];
        }
        if (hit) {
            auto geometry = owned(xcb_get_geometry_reply(x.c, xcb_get_geometry(x.c, *hit), nullptr));
            auto origin = owned(
                xcb_translate_coordinates_reply(x.c, xcb_translate_coordinates(x.c, *hit, x.root, 0, 0), nullptr));
            if (!geometry || !origin)
                return std::nullopt;
            return Found { *hit, origin->dst_x, origin->dst_y, geometry->width, geometry->height };
        }
        level = std::move(children);
    }
    return std::nullopt;
}

// Looks at once, then again whenever a window on the root is mapped, unmapped or changed (a window manager maps a
// client's frame there once it has mapped the client) and at the latest every 50 ms, until the window shows up or
// the time is out. The observer stays off the processors while the program starts, and sees the map as the X server
// reports it rather than at the next tick of a polling grid.
std::optional<Found> waitMapped(Connection& x, std::string_view title, double timeoutMs, double startMs)
{
    const std::uint32_t mask = XCB_EVENT_MASK_SUBSTRUCTURE_NOTIFY;
    xcb_change_window_attributes(x.c, x.root, XCB_CW_EVENT_MASK, &mask);
    xcb_flush(x.c);
    const auto drained = [&x] {
        bool any = false;
        while (xcb_generic_event_t* event = xcb_poll_for_event(x.c)) {
            std::free(event);
            any = true;
        }
        return any;
    };
    for (;;) {
        if (auto found = findMapped(x, title))
            return found;
        const double left = timeoutMs - (nowMs() - startMs);
        if (left <= 0)
            return std::nullopt;
        if (!drained()) {
            pollfd fd { xcb_get_file_descriptor(x.c), POLLIN, 0 };
            poll(&fd, 1, int(std::clamp(left, 1.0, 50.0)));
            drained();
        }
    }
}

std::string describe(const Found& found)
{
    char text[160];
    std::snprintf(text, sizeof text, "window %u x %d y %d w %d h %d", found.window, found.x, found.y, found.w, found.h);
    return text;
}

// --- launch ------------------------------------------------------------------------------------

pid_t g_child = 0;

void passOn(int signal)
{
    if (g_child > 0)
        kill(g_child, signal);
}

void writeResult(const char* path, const std::string& line)
{
    // Written under another name and renamed, so a reader never sees half a line.
    const std::string partial = std::string(path) + ".part";
    FILE* file = std::fopen(partial.c_str(), "w");
    if (!file)
        return;
    std::fprintf(file, "%s\n", line.c_str());
    std::fclose(file);
    std::rename(partial.c_str(), path);
}

int launch(const char* resultPath, std::string_view title, char** command)
{
    Connection x;
    struct sigaction action { };
    action.sa_handler = passOn;
    sigaction(SIGTERM, &action, nullptr);
    sigaction(SIGINT, &action, nullptr);

    const double started = nowMs();
    g_child = fork();
    if (g_child < 0)
        return 2;
    if (g_child == 0) {
        execvp(command[0], command);
        std::fprintf(stderr, "bench_xprobe: cannot run %s: %s\n", command[0], std::strerror(errno));
        _exit(127);
    }
    const auto found = waitMapped(x, title, 10'000, started);
    const double mappedMs = nowMs() - started;
    char line[256];
    if (found)
        std::snprintf(line, sizeof line, "mapped-ms %.1f pid %d %s", mappedMs, int(g_child), describe(*found).c_str());
    else
        std::snprintf(line, sizeof line, "timeout pid %d", int(g_child));
    writeResult(resultPath, line);

    int status = 0;
    while (waitpid(g_child, &status, 0) < 0 && errno == EINTR) { }
    if (WIFEXITED(status))
        return WEXITSTATUS(status);
    return 128 + (WIFSIGNALED(status) ? WTERMSIG(status) : 0);
}

// --- keys --------------------------------------------------------------------------------------

std::optional<std::uint32_t> keysymFor(std::string_view name)
{
    if (name.size() == 1 && name[0] >= 'a' && name[0] <= 'z')
        return std::uint32_t(name[0]);
    if (name == "Escape")
        return 0xFF1Bu;
    if (name.size() >= 2 && name[0] == 'F') {
        const int number = std::atoi(std::string(name.substr(1)).c_str());
        if (number >= 1 && number <= 12)
            return 0xFFBEu + std::uint32_t(number - 1);
    }
    return std::nullopt;
}

std::optional<xcb_keycode_t> keycodeFor(Connection& x, std::uint32_t keysym)
{
    const xcb_setup_t* setup = xcb_get_setup(x.c);
    const int count = setup->max_keycode - setup->min_keycode + 1;
    auto map = owned(xcb_get_keyboard_mapping_reply(
        x.c, xcb_get_keyboard_mapping(x.c, setup->min_keycode, std::uint8_t(count)), nullptr));
    if (!map)
        return std::nullopt;
    const xcb_keysym_t* syms = xcb_get_keyboard_mapping_keysyms(map.get());
    for (int code = 0; code < count; ++code) {
        if (syms[code * map->keysyms_per_keycode] == keysym)
            return xcb_keycode_t(setup->min_keycode + code);
    }
    return std::nullopt;
}

// XTEST FakeInput, laid out as the protocol has it.
struct FakeInput {
    std::uint8_t majorOpcode;
    std::uint8_t minorOpcode;
    std::uint16_t length;
    std::uint8_t type;
    std::uint8_t detail;
    std::uint8_t pad0[2];
    std::uint32_t time;
    std::uint32_t root;
    std::uint8_t pad1[8];
    std::int16_t rootX;
    std::int16_t rootY;
    std::uint8_t pad2[7];
    std::uint8_t deviceId;
};
static_assert(sizeof(FakeInput) == 36);

xcb_extension_t g_xtest { "XTEST", 0 };

void fakeKey(Connection& x, xcb_keycode_t code, bool press)
{
    FakeInput request {};
    request.type = press ? XCB_KEY_PRESS : XCB_KEY_RELEASE;
    request.detail = code;
    static const xcb_protocol_request_t kind { 1, &g_xtest, 2 /* FakeInput */, 1 };
    iovec parts[3] {};
    parts[2].iov_base = &request;
    parts[2].iov_len = sizeof request;
    // libxcb fills in the opcodes and the length, and needs the two slots before the request for itself.
    xcb_send_request(x.c, 0, parts + 2, &kind);
}

bool hasXtest(Connection& x)
{
    const xcb_query_extension_reply_t* data = xcb_get_extension_data(x.c, &g_xtest);
    return data && data->present;
}

// Gives the window the keyboard, as a click on it would, unless it has it already.
void focus(Connection& x, xcb_window_t window)
{
    auto current = owned(xcb_get_input_focus_reply(x.c, xcb_get_input_focus(x.c), nullptr));
    if (current && current->focus == window)
        return;
    xcb_set_input_focus(x.c, XCB_INPUT_FOCUS_PARENT, window, XCB_CURRENT_TIME);
    xcb_flush(x.c);
    sleepUs(50'000);
}

void sync(Connection& x) { std::free(xcb_get_input_focus_reply(x.c, xcb_get_input_focus(x.c), nullptr)); }

int keys(std::string_view title, int count, char** names)
{
    Connection x;
    if (!hasXtest(x)) {
        std::fprintf(stderr, "bench_xprobe: the X server has no XTEST\n");
        return 2;
    }
    const auto found = findMapped(x, title);
    if (!found) {
        std::fprintf(stderr, "bench_xprobe: no mapped window titled %.*s\n", int(title.size()), title.data());
        return 1;
    }
    focus(x, found->window);
    for (int i = 0; i < count; ++i) {
        const auto sym = keysymFor(names[i]);
        const auto code = sym ? keycodeFor(x, *sym) : std::nullopt;
        if (!code) {
            std::fprintf(stderr, "bench_xprobe: no key %s\n", names[i]);
            return 2;
        }
        fakeKey(x, *code, true);
        fakeKey(x, *code, false);
    }
    sync(x);
    return 0;
}

// --- keylatency --------------------------------------------------------------------------------

std::optional<std::uint64_t> regionHash(Connection& x, int left, int top, int width, int height)
{
    auto image = owned(xcb_get_image_reply(x.c,
        xcb_get_image(x.c, XCB_IMAGE_FORMAT_Z_PIXMAP, x.root, std::int16_t(left), std::int16_t(top),
            std::uint16_t(width), std::uint16_t(height), ~0u),
        nullptr));
    if (!image)
        return std::nullopt;
    const std::uint8_t* bytes = xcb_get_image_data(image.get());
    const int length = xcb_get_image_data_length(image.get());
    std::uint64_t hash = 1469598103934665603ull;
    for (int i = 0; i < length; ++i)
        hash = (hash ^ bytes[i]) * 1099511628211ull;
    return hash;
}

double percentile(std::vector<double> values, double p)
{
    if (values.empty())
        return NAN;
    std::sort(values.begin(), values.end());
    const auto rank = std::size_t(std::ceil(p / 100.0 * double(values.size())));
    return values[std::clamp<std::size_t>(rank, 1, values.size()) - 1];
}

int keyLatency(std::string_view title, int count, const char* keyName, int rx, int ry, int rw, int rh, int gapMs)
{
    Connection x;
    if (!hasXtest(x)) {
        std::fprintf(stderr, "bench_xprobe: the X server has no XTEST\n");
        return 2;
    }
    const auto found = findMapped(x, title);
    const auto sym = keysymFor(keyName);
    const auto code = sym ? keycodeFor(x, *sym) : std::nullopt;
    if (!found || !code) {
        std::fprintf(stderr, "bench_xprobe: no mapped window titled %.*s, or no key %s\n", int(title.size()),
            title.data(), keyName);
        return 1;
    }
    focus(x, found->window);
    const int left = found->x + rx;
    const int top = found->y + ry;

    std::vector<double> latencies;
    int missed = 0;
    for (int i = 0; i < count; ++i) {
        const auto before = regionHash(x, left, top, rw, rh);
        if (!before)
            return 2;
        fakeKey(x, *code, true);
        fakeKey(x, *code, false);
        xcb_flush(x.c);
        const double pressed = nowMs();
        bool changed = false;
        while (nowMs() - pressed < 1000) {
            const auto now = regionHash(x, left, top, rw, rh);
            if (now && *now != *before) {
                latencies.push_back(nowMs() - pressed);
                changed = true;
                break;
            }
            // Short naps keep the poll from taking the X server's time away from the program being timed.
            sleepUs(200);
        }
        missed += changed ? 0 : 1;
        sleepUs(long(gapMs) * 1000);
    }
    std::printf("key-latency-ms p50 %.2f p99 %.2f min %.2f max %.2f n %zu missed %d\n", percentile(latencies, 50),
        percentile(latencies, 99), percentile(latencies, 0), percentile(latencies, 100), latencies.size(), missed);
    return missed == 0 ? 0 : 1;
}

int usage()
{
    std::fprintf(stderr,
        "usage: bench_xprobe launch RESULT TITLE -- PROGRAM ARGS...\n"
        "       bench_xprobe wait TITLE TIMEOUT_MS\n"
        "       bench_xprobe keys TITLE KEY...\n"
        "       bench_xprobe keylatency TITLE COUNT KEY X Y W H GAP_MS\n");
    return 2;
}

} // namespace

int main(int argc, char* argv[])
{
    if (argc < 2)
        return usage();
    const std::string_view command = argv[1];
    if (command == "launch" && argc >= 6 && std::string_view(argv[4]) == "--")
        return launch(argv[2], argv[3], argv + 5);
    if (command == "wait" && argc == 4) {
        Connection x;
        const auto found = waitMapped(x, argv[2], std::atof(argv[3]), nowMs());
        if (!found)
            return 1;
        std::printf("%s\n", describe(*found).c_str());
        return 0;
    }
    if (command == "keys" && argc >= 4)
        return keys(argv[2], argc - 3, argv + 3);
    if (command == "keylatency" && argc == 10)
        return keyLatency(argv[2], std::atoi(argv[3]), argv[4], std::atoi(argv[5]), std::atoi(argv[6]),
            std::atoi(argv[7]), std::atoi(argv[8]), std::atoi(argv[9]));
    return usage();
}
