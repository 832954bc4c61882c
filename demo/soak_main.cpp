// quillory-soak: plays the painting demo headless for a given time with
// random input (strokes, wipes, keys, the middle button, moves far outside
// the window) and reports frames, stamps, resident memory and any error the
// framework recorded. The run fails when the peak resident memory grows after
// the warm-up or when an error is recorded.
//
//   quillory-soak MINUTES [SEED]      (run from the demo's data directory)
#include <cerrno>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <random>
#include <string>

#include "core/error.h"
#include "core/memory.h"
#include "demo/demo_app.h"
#include "platform/backend.h"
#include "platform/headless.h"
#include "platform/window.h"

namespace {

// Frames drawn before the starting memory is taken: every lazily made buffer
// (stamps, wipes, the title) exists by then.
constexpr std::uint64_t kWarmUpFrames = 600;
// Slack for the allocator's own bookkeeping; anything the frame loop leaks
// grows far beyond it over a soak.
constexpr long kRssSlackKiB = 512;

// A field of /proc/self/status in KiB, 0 when the system has none.
long StatusKiB(const char* field) {
    std::FILE* f = std::fopen("/proc/self/status", "r");
    if (!f) return 0;
    char line[256];
    long value = 0;
    const std::size_t length = std::strlen(field);
    while (std::fgets(line, sizeof line, f)) {
        if (std::strncmp(line, field, length) == 0 && line[length] == ':') {
            value = std::strtol(line + length + 1, nullptr, 10);
            break;
        }
    }
    std::fclose(f);
    return value;
}

// A user at the mouse and keyboard: mostly strokes with the left button,
// now and then a wipe, a key, the middle button or a wild move.
class RandomUser {
public:
    explicit RandomUser(std::uint32_t seed) : m_random(seed) {}

    // Queues this frame's input, if any.
    void Act() {
        if (Pick(2) != 0) return;  // input on about every other frame
        Win_HeadlessEvent event;
        const std::uint32_t roll = Pick(100);
        if (roll < 60) {
            Wander(event);
        } else if (roll < 72) {
            event.kind = m_leftDown ? WIN_HEADLESS_MOUSEUP : WIN_HEADLESS_MOUSEDOWN;
            event.code = 1;
            m_leftDown = !m_leftDown;
            Place(event);
        } else if (roll < 80) {
            Click(event, 3);  // the eraser
            return;
        } else if (roll < 84) {
            Click(event, 2);
            return;
        } else if (roll < 94) {
            event.kind = WIN_HEADLESS_KEYDOWN;
            event.code = static_cast<std::int32_t>('A' + Pick(26));
            Win_Headless_Post(event);
            event.kind = WIN_HEADLESS_KEYUP;
        } else {
            // Far outside the window, as a captured drag can report.
            m_x = static_cast<std::int32_t>(Pick(40001)) - 20000;
            m_y = static_cast<std::int32_t>(Pick(40001)) - 20000;
            event.kind = WIN_HEADLESS_MOUSEMOVE;
            Place(event);
        }
        Win_Headless_Post(event);
    }

private:
    std::uint32_t Pick(std::uint32_t n) { return static_cast<std::uint32_t>(m_random() % n); }

    void Place(Win_HeadlessEvent& event) const {
        event.x = m_x;
        event.y = m_y;
    }

    // A short step of the pointer, kept near the window (up to 100 pixels
    // outside it).
    void Wander(Win_HeadlessEvent& event) {
        if (m_x < -100 || m_x > DEMO_WIDTH + 100 || m_y < -100 || m_y > DEMO_HEIGHT + 100) {
            m_x = static_cast<std::int32_t>(Pick(DEMO_WIDTH));
            m_y = static_cast<std::int32_t>(Pick(DEMO_HEIGHT));
        }
        m_x += static_cast<std::int32_t>(Pick(81)) - 40;
        m_y += static_cast<std::int32_t>(Pick(81)) - 40;
        event.kind = WIN_HEADLESS_MOUSEMOVE;
        Place(event);
    }

    void Click(Win_HeadlessEvent& event, std::int32_t button) {
        event.code = button;
        Place(event);
        event.kind = WIN_HEADLESS_MOUSEDOWN;
        Win_Headless_Post(event);
        event.kind = WIN_HEADLESS_MOUSEUP;
        Win_Headless_Post(event);
    }

    std::mt19937 m_random;
    std::int32_t m_x = DEMO_WIDTH / 2;
    std::int32_t m_y = DEMO_HEIGHT / 2;
    bool m_leftDown = false;
};

struct Errors {
    std::uint64_t count = 0;

    // Counts an error recorded since the last look and shows the first few.
    void Collect(std::uint64_t frame) {
        if (Gfx_GetErrorMessage()[0] == '\0') return;
        if (++count <= 5)
            std::printf("soak: error at frame %llu: %s (%d: %s)\n", static_cast<unsigned long long>(frame),
                        Gfx_GetErrorMessage(), Gfx_GetErrorDetailCode(), Gfx_GetErrorDetail());
        Gfx_ClearError();
    }
};

bool ParseArguments(int argc, char** argv, double& minutes, std::uint32_t& seed) {
    if (argc < 2 || argc > 3) return false;
    char* end = nullptr;
    minutes = std::strtod(argv[1], &end);
    if (end == argv[1] || *end != '\0' || !(minutes > 0.0) || minutes > 100000.0) return false;
    if (argc == 3) {
        errno = 0;
        const unsigned long value = std::strtoul(argv[2], &end, 10);
        if (end == argv[2] || *end != '\0' || errno != 0 || value > 0xFFFFFFFFul) return false;
        seed = static_cast<std::uint32_t>(value);
    }
    return true;
}

void Report(const char* when, double seconds, const Demo_State& state) {
    std::printf("soak: %-6s %8.1f s %10llu frames %9llu stamps  rss %6ld KiB  peak %6ld KiB  framework %u bytes\n",
                when, seconds, static_cast<unsigned long long>(state.frames),
                static_cast<unsigned long long>(state.stamps), StatusKiB("VmRSS"), StatusKiB("VmHWM"),
                Mem_GetUsage().memCurrent);
    std::fflush(stdout);
}

}  // namespace

int main(int argc, char** argv) {
    double minutes = 0.0;
    std::uint32_t seed = 1;
    if (!ParseArguments(argc, argv, minutes, seed)) {
        std::fprintf(stderr, "usage: quillory-soak MINUTES [SEED]\n");
        return 2;
    }
    if (!Win_SelectPlatform("headless")) {
        std::fprintf(stderr, "quillory-soak: the headless platform is not available\n");
        return 1;
    }
    // A fixed step keeps the brush firing at its rate however fast frames are.
    Win_Headless_SetFixedStep(1.0 / 60.0);

    const std::uint32_t memoryBefore = Mem_GetUsage().memCurrent;
    Demo_State state;
    if (!Demo_Startup(state, "")) {
        std::fprintf(stderr, "quillory-soak: the window could not be created\n");
        return 1;
    }
    if (!state.font || !state.sheetColor) {
        std::fprintf(stderr, "quillory-soak: the demo's data files are missing; run it from build/demo\n");
    }
    Gfx_ClearError();  // start-up of a run without data files records their absence

    using Clock = std::chrono::steady_clock;
    const auto begin = Clock::now();
    const auto seconds = [&] { return std::chrono::duration<double>(Clock::now() - begin).count(); };
    const double limit = minutes * 60.0;
    const double reportEvery = limit / 10.0 < 10.0 ? 10.0 : limit / 10.0;
    double nextReport = reportEvery;

    RandomUser user(seed);
    Errors errors;
    long startPeak = 0;
    std::uint32_t startFramework = 0;
    bool quit = false;
    while (!quit && seconds() < limit) {
        user.Act();
        // One message per frame, as the demo's own loop takes them; the user
        // above queues fewer than one a frame on average.
        if (!Win_ProcessMessages() || state.window->created != 1) {
            quit = true;
            break;
        }
        Demo_Frame(state);
        errors.Collect(state.frames);
        if (state.frames == kWarmUpFrames) {
            startPeak = StatusKiB("VmHWM");
            startFramework = Mem_GetUsage().memCurrent;
            Report("start", seconds(), state);
        }
        if (seconds() >= nextReport) {
            Report("now", seconds(), state);
            nextReport += reportEvery;
        }
    }
    Report("end", seconds(), state);
    const std::uint64_t frames = state.frames;
    const long endPeak = StatusKiB("VmHWM");
    const std::uint32_t endFramework = Mem_GetUsage().memCurrent;
    Demo_Shutdown(state);
    const std::uint32_t memoryAfter = Mem_GetUsage().memCurrent;

    int status = 0;
    if (quit) {
        std::printf("soak: FAIL the window closed by itself\n");
        status = 1;
    }
    if (frames < kWarmUpFrames) {
        std::printf("soak: too short to measure: %llu frames (at least %llu needed)\n",
                    static_cast<unsigned long long>(frames), static_cast<unsigned long long>(kWarmUpFrames));
    } else {
        std::printf("soak: peak resident memory %ld KiB after warm-up, %ld KiB at the end\n", startPeak, endPeak);
        if (endPeak > startPeak + kRssSlackKiB) {
            std::printf("soak: FAIL the peak resident memory grew by %ld KiB\n", endPeak - startPeak);
            status = 1;
        }
        if (endFramework != startFramework) {
            std::printf("soak: FAIL the framework's memory counter moved from %u to %u bytes\n", startFramework,
                        endFramework);
            status = 1;
        }
    }
    if (memoryAfter != memoryBefore) {
        std::printf("soak: FAIL %u bytes of framework memory not released at shut-down\n", memoryAfter - memoryBefore);
        status = 1;
    }
    std::printf("soak: %llu errors recorded\n", static_cast<unsigned long long>(errors.count));
    if (errors.count != 0) status = 1;
    std::printf("soak: %s\n", status == 0 ? "PASS" : "FAIL");
    return status;
}
