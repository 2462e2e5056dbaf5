#include "platform/ui/LiveWindow.h"

#include <dlfcn.h>

#include <chrono>
#include <cmath>
#include <optional>

#include "platform/foundation/RunLoop.h"
#include "platform/ui/Application.h"
#include "platform/ui/KeyInput.h"
#include "platform/ui/KeyboardView.h"
#include "platform/ui/ScreenPointer.h"

// Last: the window-system headers SDL brings in define macros (Bool, None, Status) that clash with names
// in the headers above.
// clang-format off
#include <SDL2/SDL.h>
#include <SDL2/SDL_syswm.h>
// clang-format on

namespace velkora::ui {

namespace {

constexpr double kWheelStep = 40; // points of content per notch
// While SDL itself makes events on time rather than on the display's word (a held key repeating on
// Wayland, an input method's answer after a key), the wait looks again this often.
constexpr int kTimedEventsMs = 10;
// How long after a key an input method's answer may come.
constexpr auto kInputMethodAnswer = std::chrono::milliseconds(250);

// The Wayland connection's descriptor, asked of the client library SDL loaded (not linked here: SDL
// loads it only when it talks Wayland).
int waylandDescriptor(void* display) {
    void* lib = dlopen("libwayland-client.so.0", RTLD_NOW | RTLD_NOLOAD);
    if (!lib) return -1;
    auto getFd = reinterpret_cast<int (*)(void*)>(dlsym(lib, "wl_display_get_fd"));
    const int fd = getFd && display ? getFd(display) : -1;
    dlclose(lib);
    return fd;
}

bool anyKeyHeld() {
    int n = 0;
    const Uint8* keys = SDL_GetKeyboardState(&n);
    for (int i = 0; keys && i < n; ++i)
        if (keys[i]) return true;
    return false;
}

std::optional<Key> keyFor(SDL_Keycode code) {
    switch (code) {
    case SDLK_BACKSPACE:
        return Key::Backspace;
    case SDLK_DELETE:
        return Key::Delete;
    case SDLK_RETURN:
    case SDLK_KP_ENTER:
        return Key::Return;
    case SDLK_TAB:
        return Key::Tab;
    case SDLK_LEFT:
        return Key::Left;
    case SDLK_RIGHT:
        return Key::Right;
    case SDLK_UP:
        return Key::Up;
    case SDLK_DOWN:
        return Key::Down;
    case SDLK_HOME:
        return Key::Home;
    case SDLK_END:
        return Key::End;
    case SDLK_ESCAPE:
        return Key::Escape;
    default:
        return std::nullopt;
    }
}

unsigned modifiersFor(Uint16 mod) {
    unsigned m = KeyModifierNone;
    if (mod & KMOD_SHIFT) m |= KeyModifierShift;
    if (mod & KMOD_CTRL) m |= KeyModifierControl;
    if (mod & KMOD_ALT) m |= KeyModifierAlt;
    return m;
}

} // namespace

struct LiveWindow::Impl : foundation::IoSource {
    SDL_Window* window = nullptr;
    ScreenRenderer renderer;
    double scale;
    int displayFd = -1;
    bool wayland = false;
    std::chrono::steady_clock::time_point lastKey;
    bool closed = false, stopped = false, presentAll = true;
    bool pinching = false;

    explicit Impl(double s) : renderer(s), scale(s) {}

    ~Impl() override {
        foundation::RunLoop::main().removeSource(this);
        ScreenPointer::cancelAll();
        if (window) SDL_DestroyWindow(window);
        SDL_QuitSubSystem(SDL_INIT_VIDEO);
    }

    // The wait sleeps on the display's connection. SDL's pump, just before, has sent what SDL had to
    // send and handled all that had come (X11 and Wayland both queue what they read in the process:
    // waiting on the connection with events queued would keep them waiting), so whatever comes next
    // wakes the wait.
    int prepare(std::vector<pollfd>& fds) override {
        if (closed) return -1;
        SDL_PumpEvents();
        if (SDL_HasEvents(SDL_FIRSTEVENT, SDL_LASTEVENT)) return 0;
        if (displayFd < 0) return 15; // a display without a descriptor to wait on: look again soon
        fds.push_back({displayFd, POLLIN, 0});
        if (wayland && anyKeyHeld()) return kTimedEventsMs;
        if (SDL_IsTextInputActive() && std::chrono::steady_clock::now() - lastKey < kInputMethodAnswer)
            return kTimedEventsMs;
        return -1;
    }

    void dispatch(const pollfd*, size_t) override { handleEvents(); }

    Point toScreen(int x, int y) const {
        Rect s = Screen::main().bounds();
        return {s.x() + x / scale, s.y() + y / scale};
    }
    Point mirrored(Point p) const {
        Rect s = Screen::main().bounds();
        return {2 * s.midX() - p.x, 2 * s.midY() - p.y};
    }

    void handle(const SDL_Event& e) {
        switch (e.type) {
        case SDL_QUIT:
            closed = true;
            break;
        case SDL_WINDOWEVENT:
            if (e.window.event == SDL_WINDOWEVENT_EXPOSED || e.window.event == SDL_WINDOWEVENT_SIZE_CHANGED)
                presentAll = true;
            if (e.window.event == SDL_WINDOWEVENT_CLOSE) closed = true;
            break;
        case SDL_MOUSEBUTTONDOWN:
            if (e.button.button != SDL_BUTTON_LEFT) break;
            {
                Point p = toScreen(e.button.x, e.button.y);
                ScreenPointer::down(0, p);
                pinching = (SDL_GetModState() & (KMOD_CTRL | KMOD_ALT)) != 0;
                if (pinching) ScreenPointer::down(1, mirrored(p));
            }
            break;
        case SDL_MOUSEMOTION:
            if (!(e.motion.state & SDL_BUTTON_LMASK)) break;
            {
                Point p = toScreen(e.motion.x, e.motion.y);
                ScreenPointer::move(0, p);
                if (pinching) ScreenPointer::move(1, mirrored(p));
            }
            break;
        case SDL_MOUSEBUTTONUP:
            if (e.button.button != SDL_BUTTON_LEFT) break;
            {
                Point p = toScreen(e.button.x, e.button.y);
                if (pinching) ScreenPointer::up(1, mirrored(p));
                ScreenPointer::up(0, p);
                pinching = false;
            }
            break;
        case SDL_MOUSEWHEEL: {
            int x = 0, y = 0;
            SDL_GetMouseState(&x, &y);
            double dy = -e.wheel.preciseY * kWheelStep, dx = e.wheel.preciseX * kWheelStep;
            if (e.wheel.direction == SDL_MOUSEWHEEL_FLIPPED) dx = -dx, dy = -dy;
            ScreenPointer::scroll(toScreen(x, y), dx, dy);
            break;
        }
        case SDL_KEYUP:
            lastKey = std::chrono::steady_clock::now();
            break;
        case SDL_TEXTINPUT:
            KeyInput::instance().insertText(e.text.text);
            break;
        case SDL_TEXTEDITING:
            KeyInput::instance().setMarkedText(e.edit.text);
            break;
        case SDL_KEYDOWN:
            lastKey = std::chrono::steady_clock::now();
            if (auto key = keyFor(e.key.keysym.sym)) KeyInput::instance().keyDown(*key, modifiersFor(e.key.keysym.mod));
            break;
        default:
            break;
        }
    }

    void handleEvents() {
        SDL_Event e;
        while (SDL_PollEvent(&e))
            handle(e);
        if (closed || stopped) foundation::RunLoop::main().wakeUp();
    }

    void present(const std::vector<PixelRect>& rects) {
        const int w = renderer.pixelWidth(), h = renderer.pixelHeight();
        if (!renderer.pixels()) return;
        int ww = 0, wh = 0;
        SDL_GetWindowSize(window, &ww, &wh);
        if (ww != w || wh != h) {
            SDL_SetWindowSize(window, w, h);
            presentAll = true;
        }
        SDL_Surface* target = SDL_GetWindowSurface(window);
        if (!target) return;
        // The frame is opaque: to a window of 32-bit XRGB it is the same words, and said so, SDL copies
        // rows instead of converting each pixel.
        const Uint32 format =
            target->format->format == SDL_PIXELFORMAT_RGB888 ? SDL_PIXELFORMAT_RGB888 : SDL_PIXELFORMAT_ARGB8888;
        SDL_Surface* source = SDL_CreateRGBSurfaceWithFormatFrom(const_cast<uint8_t*>(renderer.pixels()), w, h, 32,
                                                                 renderer.bytesPerRow(), format);
        if (!source) return;
        SDL_SetSurfaceBlendMode(source, SDL_BLENDMODE_NONE);
        std::vector<SDL_Rect> parts;
        if (presentAll)
            parts.push_back({0, 0, w, h});
        else
            for (auto& r : rects)
                parts.push_back({r.x, r.y, r.width, r.height});
        for (auto& r : parts) {
            SDL_Rect to = r;
            SDL_BlitSurface(source, &r, target, &to);
        }
        SDL_FreeSurface(source);
        SDL_UpdateWindowSurfaceRects(window, parts.data(), static_cast<int>(parts.size()));
        presentAll = false;
    }

    bool drawIfNeeded() {
        PixelRect changed = renderer.drawFrame();
        if (changed.isEmpty()) {
            if (presentAll) present({});
            return false;
        }
        present(renderer.changedRects());
        return true;
    }
};

LiveWindow::LiveWindow(std::unique_ptr<Impl> impl) : impl_(std::move(impl)) {}

LiveWindow::~LiveWindow() {
    KeyboardKeys::setShown(false);
}

std::unique_ptr<LiveWindow> LiveWindow::open(const Options& options, std::string* error) {
    // Typing goes through the text events, which honour the input method; hints before the start.
    SDL_SetHint(SDL_HINT_IME_SHOW_UI, "1");
    SDL_SetHint(SDL_HINT_VIDEO_ALLOW_SCREENSAVER, "1");
    if (SDL_InitSubSystem(SDL_INIT_VIDEO) != 0) {
        if (error) *error = SDL_GetError();
        return nullptr;
    }
    auto impl = std::make_unique<Impl>(options.scale > 0 ? options.scale : 1.0);
    Rect s = Screen::main().bounds();
    int w = int(std::ceil(s.width() * impl->scale - 1e-9)), h = int(std::ceil(s.height() * impl->scale - 1e-9));
    impl->window =
        SDL_CreateWindow(options.title.c_str(), SDL_WINDOWPOS_CENTERED, SDL_WINDOWPOS_CENTERED, w, h, SDL_WINDOW_SHOWN);
    if (!impl->window) {
        if (error) *error = SDL_GetError();
        return nullptr;
    }
    SDL_SysWMinfo info;
    SDL_VERSION(&info.version);
    if (SDL_GetWindowWMInfo(impl->window, &info)) {
        if (info.subsystem == SDL_SYSWM_X11) impl->displayFd = ConnectionNumber(info.info.x11.display);
        if (info.subsystem == SDL_SYSWM_WAYLAND) {
            impl->wayland = true;
            impl->displayFd = waylandDescriptor(info.info.wl.display);
        }
    }
    SDL_StartTextInput();
    KeyboardKeys::setShown(true);
    foundation::RunLoop::main().addSource(impl.get());
    return std::unique_ptr<LiveWindow>(new LiveWindow(std::move(impl)));
}

void LiveWindow::run() {
    auto& loop = foundation::RunLoop::main();
    impl_->stopped = false;
    drawIfNeeded();
    while (!impl_->closed && !impl_->stopped) {
        loop.runOnce(1.0);
        drawIfNeeded();
    }
}

void LiveWindow::stop() {
    impl_->stopped = true;
    foundation::RunLoop::main().wakeUp();
}

bool LiveWindow::isClosed() const {
    return impl_->closed;
}
void LiveWindow::handleEvents() {
    impl_->handleEvents();
}
bool LiveWindow::drawIfNeeded() {
    return impl_->drawIfNeeded();
}
ScreenRenderer& LiveWindow::renderer() {
    return impl_->renderer;
}
unsigned long LiveWindow::nativeId() const {
    // Asked each time: the window system's window can be made again behind the same SDL window.
    SDL_SysWMinfo info;
    SDL_VERSION(&info.version);
    if (SDL_GetWindowWMInfo(impl_->window, &info) && info.subsystem == SDL_SYSWM_X11) return info.info.x11.window;
    return 0;
}

} // namespace velkora::ui
